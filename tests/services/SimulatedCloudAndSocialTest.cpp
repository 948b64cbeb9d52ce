// The simulated cloud's file, byte for byte and across restarts (keys of any length), its loader
// on cut data, stored files that cannot be read, what lookups cost, and the simulated social
// network's login and friends events.
#include <cstring>
#include <filesystem>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#endif

#include "FullDisk.h"
#include "ServicesTestSupport.h"
#include "core/ApiTable.h"
#include "core/Buffer.h"
#include "services/SimulatedCloud.h"
#include "services/SimulatedSocial.h"

namespace {

const char kCloudFile[] = "user://simulated.cloud";
const char kSetAside[] = "user://simulated.cloud.bad";
const char kSecondSetAside[] = "user://simulated.cloud-1.bad";  // while the first name is taken

std::string U32(uint32_t value) {
    const char bytes[4] = {static_cast<char>(value), static_cast<char>(value >> 8),
                           static_cast<char>(value >> 16), static_cast<char>(value >> 24)};
    return std::string(bytes, 4);
}

std::string Entry(const std::string& key, const std::string& blob) {
    return key + std::string(1, '\0') + U32(static_cast<uint32_t>(blob.size())) + blob;
}

std::string CloudFile(uint32_t count, const std::string& entries) {
    return std::string("SIMULATED_CLOUD") + std::string(1, '\0') + U32(count) + entries;
}

// A file's size; -1 when there is none.
intmax_t SizeOf(const std::string& nativePath) {
    std::error_code error;
    uintmax_t size = std::filesystem::file_size(nativePath, error);
    return error ? -1 : static_cast<intmax_t>(size);
}

class SimulatedCloudTest : public ServicesTest {
protected:
    void SetUp() override {
        ServicesTest::SetUp();
        RemoveFile(kCloudFile);
        RemoveFile(kSetAside);
        RemoveFile(kSecondSetAside);
    }
    void TearDown() override {
        Stop();
        ServicesTest::TearDown();
    }
    void Start() {
        cloud_ = new SimulatedCloudImplementation();
        cloud_->Initialize();
        module_.offered[IMPLEMENTATION_CLOUD] = cloud_;
        RegisterExtensionModule(&module_);
        ResolveImplementations();
    }
    void Stop() {
        ZQI_ForgetExtensionModules();
        delete cloud_;
        cloud_ = nullptr;
    }
    void Write(const char* key, const std::string& bytes) {
        api_->Write(key, bytes.data(), static_cast<uint32_t>(bytes.size()));
    }
    // The blob of a key as the program reads it; "<null>" when there is none.
    std::string Read(const char* key) {
        zq_buffer_t* buffer = api_->Read(key);
        if (buffer == nullptr) {
            return "<null>";
        }
        std::string bytes(reinterpret_cast<const char*>(buffer->data), buffer->size);
        ZQ_FreeBuffer(buffer);
        return bytes;
    }

    zq_cloud_api_t* api_ = ZQI_GetApi()->cloud;
    SimulatedCloudImplementation* cloud_ = nullptr;
    TestModule module_{"Simulation"};
};

TEST_F(SimulatedCloudTest, TheFileListsEveryKeyInPlaceWithItsNewestBytes) {
    Start();
    EXPECT_TRUE(api_->IsAvailable());
    Write("k", std::string("\x01\x02", 2));
    Write("m", std::string("\x03", 1));
    Write("k", std::string("\x04\x00\x06", 3));
    EXPECT_EQ(ReadFile(kCloudFile),
              CloudFile(2, Entry("k", std::string("\x04\x00\x06", 3)) + Entry("m", "\x03")));
    EXPECT_EQ(Read("k"), std::string("\x04\x00\x06", 3));
    EXPECT_EQ(Read("absent"), "<null>");
    zq_buffer_t* first = api_->Read("m");
    zq_buffer_t* second = api_->Read("m");
    EXPECT_NE(first, second);  // a new buffer each time
    ZQ_FreeBuffer(first);
    ZQ_FreeBuffer(second);
}

TEST_F(SimulatedCloudTest, ADeletionReachesTheFileOnlyWithTheNextWrite) {
    Start();
    Write("k", "old");
    Write("m", "mm");
    api_->Delete("k");
    EXPECT_EQ(Read("k"), "<null>");
    Stop();
    Start();  // the file was not rewritten: k is back
    EXPECT_EQ(Read("k"), "old");
    api_->Delete("k");
    Write("z", "");  // an entry of size 0 is written, and skipped when the file is read
    EXPECT_EQ(ReadFile(kCloudFile), CloudFile(2, Entry("m", "mm") + Entry("z", "")));
    Stop();
    Start();
    EXPECT_EQ(Read("k"), "<null>");
    EXPECT_EQ(Read("z"), "<null>");
    EXPECT_EQ(ReadFile(kCloudFile), CloudFile(1, Entry("m", "mm")));
}

TEST_F(SimulatedCloudTest, ASaveThatCannotBeWrittenIsLoggedAndLeavesTheStoredFileWhole) {
    Start();
    Write("k", "old");
    const std::string temporary = std::string(kCloudFile) + ".tmp";
    std::filesystem::create_directories(NativePath(temporary));  // cannot be opened
    Write("k", "new");
    EXPECT_TRUE(WasLogged("SimulatedCloud::Save: could not open 'user://simulated.cloud.tmp' for writing"));
    EXPECT_EQ(Read("k"), "new");
    EXPECT_EQ(ReadFile(kCloudFile), CloudFile(1, Entry("k", "old")));
    std::filesystem::remove(NativePath(temporary));
    RemoveFile(kCloudFile);
}

// Keys are as long as the program makes them: each entry, and every entry after it, survives a
// restart, and the file keeps its bytes.
TEST_F(SimulatedCloudTest, KeysOfAnyLengthSurviveARestart) {
    for (size_t length : {2047u, 2048u, 5000u}) {
        SCOPED_TRACE(length);
        RemoveFile(kCloudFile);
        const std::string longKey(length, 'k');
        Start();
        Write("a", "AA");
        Write(longKey.c_str(), "LL");
        Write("b", "BB");
        const std::string saved = CloudFile(3, Entry("a", "AA") + Entry(longKey, "LL") + Entry("b", "BB"));
        EXPECT_TRUE(ReadFile(kCloudFile) == saved);
        Stop();
        Start();
        EXPECT_EQ(Read("a"), "AA");
        EXPECT_EQ(Read(longKey.c_str()), "LL");
        EXPECT_EQ(Read("b"), "BB");
        EXPECT_TRUE(ReadFile(kCloudFile) == saved) << "start-up saved the store without an entry";
        Stop();
    }
}

// A stored file that cannot be read is never replaced by the next write: it is moved aside, or,
// when even that fails, the store is not saved this run. A file larger than the store can hold
// cannot be read whole (it is made sparse, so it takes no room); on Windows a file that another
// program holds open cannot even be opened.
TEST_F(SimulatedCloudTest, AFileThatCannotBeReadIsSetAsideNeverOverwritten) {
    const std::string stored = CloudFile(1, Entry("k", "old"));
    const intmax_t oversized = intmax_t{1} << 31;
    const intmax_t newFile = static_cast<intmax_t>(CloudFile(1, Entry("m", "new")).size());
    struct Case {
        const char* name;
        intmax_t storedSize;
        bool holdOpen;
        bool blockSetAside;
        intmax_t sizeAfterWrite;
    };
    std::vector<Case> cases = {
        {"too large, moved aside", oversized, false, false, newFile},
        {"too large, cannot be moved", oversized, false, true, oversized},
    };
#ifdef _WIN32
    cases.push_back({"held open, moved aside", static_cast<intmax_t>(stored.size()), true, false, newFile});
#endif
    const std::string movedLine =
        "[ERROR] SimulatedCloud: 'user://simulated.cloud' could not be read; moved to "
        "'user://simulated.cloud.bad'.";
    const std::string keptLine =
        "[ERROR] SimulatedCloud: 'user://simulated.cloud' could not be read and could not be moved to "
        "'user://simulated.cloud.bad'; the store is not saved this run.";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RemoveFile(kSetAside);
        WriteFile(kCloudFile, stored);
        std::filesystem::resize_file(NativePath(kCloudFile), static_cast<uintmax_t>(c.storedSize));
        if (c.blockSetAside) {
            std::filesystem::create_directories(NativePath(kSetAside) + "/blocked");
        }
        const int32_t moved = CountLogged(movedLine);
        const int32_t kept = CountLogged(keptLine);
#ifdef _WIN32
        HANDLE holder = INVALID_HANDLE_VALUE;
        if (c.holdOpen) {  // shares nothing but renaming
            holder = CreateFileA(NativePath(kCloudFile).c_str(), GENERIC_READ, FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, 0, nullptr);
            ASSERT_NE(holder, INVALID_HANDLE_VALUE);
        }
        Start();
        if (holder != INVALID_HANDLE_VALUE) {
            CloseHandle(holder);
        }
#else
        Start();
#endif
        EXPECT_EQ(CountLogged(movedLine), moved + (c.blockSetAside ? 0 : 1));
        EXPECT_EQ(CountLogged(keptLine), kept + (c.blockSetAside ? 1 : 0));
        EXPECT_EQ(Read("k"), "<null>");
        Write("m", "new");
        EXPECT_EQ(Read("m"), "new");
        EXPECT_EQ(SizeOf(NativePath(kCloudFile)), c.sizeAfterWrite);
        if (!c.blockSetAside) {
            EXPECT_EQ(SizeOf(NativePath(kSetAside)), c.storedSize);
        }
        Stop();
        RemoveFile(kCloudFile);
    }
    RemoveFile(kSetAside);
}

// A damaged file keeps the entries before the damage and is set aside whole before anything is
// saved over it (here under the next name, an earlier run's file keeping the first), or, when it
// cannot be moved, is never written over. The loader's test covers the kinds of damage.
TEST_F(SimulatedCloudTest, ADamagedFileIsSetAsideWholeAndItsReadableEntriesKept) {
    const std::string stored =
        CloudFile(3, Entry("a", "AA") + "b" + std::string(1, '\0') + U32(1000) + "0123" + Entry("c", "CC"));
    for (bool blocked : {false, true}) {
        SCOPED_TRACE(blocked);
        WriteFile(kCloudFile, stored);
        WriteFile(kSetAside, "set aside before");
        if (blocked) {
            std::filesystem::create_directories(NativePath(kSecondSetAside) + "/blocked");
        }
        Start();
        EXPECT_TRUE(
            WasLogged(std::string("[ERROR] SimulatedCloud: 'user://simulated.cloud' is damaged") +
                      (blocked ? " and could not be moved to 'user://simulated.cloud-1.bad'; the store "
                                 "is not saved this run."
                               : "; moved to 'user://simulated.cloud-1.bad'.") +
                      " Entries read before the damage and kept: 1."));
        Write("m", "new");
        EXPECT_EQ(Read("a"), "AA");
        EXPECT_EQ(ReadFile(kCloudFile),
                  blocked ? stored : CloudFile(2, Entry("a", "AA") + Entry("m", "new")));
        EXPECT_EQ(ReadFile(kSetAside), "set aside before");
        if (!blocked) {
            EXPECT_EQ(ReadFile(kSecondSetAside), stored);
        }
        Stop();
        RemoveFile(kSecondSetAside);
    }
    RemoveFile(kSetAside);
    RemoveFile(kCloudFile);
}

TEST_F(SimulatedCloudTest, ASaveOntoAFullDiskIsLoggedAndLeavesTheStoredFileWhole) {
    Start();
    Write("k", "old");
    {
        EngineTest::ScopedFullDisk full(SCHEME_USER, "simulated.cloud.tmp");
        Write("k", "new");
        EXPECT_EQ(full.System().failedOpenings, 1);
    }
    EXPECT_TRUE(WasLogged("SimulatedCloud::Save: could not write 'user://simulated.cloud.tmp'"));
    EXPECT_EQ(Read("k"), "new");
    EXPECT_EQ(ReadFile(kCloudFile), CloudFile(1, Entry("k", "old")));
}

// Only an image exactly as the writer makes it reads whole; anything else is damaged, and the
// loader keeps what lies before the damage.
TEST_F(SimulatedCloudTest, TheLoaderStopsAtTheEndOfTheData) {
    const std::string a = Entry("a", "AAAA");
    struct Case {
        std::string image;
        int32_t stored;
        bool whole;
    };
    const Case cases[] = {
        {CloudFile(1, a), 1, true},
        {CloudFile(2, a + Entry("z", "")), 1, true},                    // size 0: skipped, not damage
        {CloudFile(2, a + Entry("b", "BBBB").substr(0, 5)), 1, false},  // cut inside the second size
        {CloudFile(2, a + Entry("b", "BBBB").substr(0, 8)), 1, false},  // size claims more than is left
        {CloudFile(0xFFFFFFFFu, a), 1, false},                          // the count claims more entries
        {CloudFile(3, a + "no-terminator"), 1, false},                  // a key without its NUL
        {CloudFile(1, a + Entry("b", "BBBB")), 1, false},               // bytes after the counted entries
        {CloudFile(0, ""), 0, true},
        {CloudFile(1, a).substr(0, 18), 0, false},                   // cut inside the count
        {"SIMULATED_CLOUX" + CloudFile(1, a).substr(15), 0, false},  // another header
        {"", 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.image));
        SimulatedCloudStore store;
        bool whole = !c.whole;
        EXPECT_EQ(ZQI_LoadSimulatedCloudImage(store, reinterpret_cast<const uint8_t*>(c.image.data()),
                                              static_cast<int32_t>(c.image.size()), &whole),
                  c.stored);
        EXPECT_EQ(whole, c.whole);
        if (c.stored > 0) {
            ByteStream image;
            ASSERT_TRUE(ZQI_BuildSimulatedCloudImage(store, &image));
            EXPECT_EQ(std::string(reinterpret_cast<const char*>(image.data), image.size), CloudFile(1, a));
        }
        ZQI_ClearCloudStore(store);
    }
}

// A file of 40,000 keys once took a minute to load: every lookup walked the whole store. Now a
// lookup costs at most the height of a balanced tree in key comparisons, whatever the keys.
TEST_F(SimulatedCloudTest, LoadingReadingAndDeletingKeysCostLogarithmicallyManyComparisonsEach) {
    const uint32_t keys = 4096;
    const uint64_t perLookup = 2 * 13 + 1;  // 2 log2(keys + 1) rounded up, and one equality test
    std::string entries;
    for (uint32_t i = keys; i > 0; --i) {
        entries += Entry("shared/prefix/key-" + std::to_string(i), "b");
    }
    const std::string image = CloudFile(keys, entries);
    SimulatedCloudStore store;
    ASSERT_EQ(ZQI_LoadSimulatedCloudImage(store, reinterpret_cast<const uint8_t*>(image.data()),
                                          static_cast<int32_t>(image.size()), nullptr),
              static_cast<int32_t>(keys));
    EXPECT_LE(store.keyComparisons, keys * 2 * perLookup) << "a lookup, then the insertion";
    uint64_t before = store.keyComparisons;
    for (uint32_t i = 1; i <= keys; ++i) {
        ASSERT_NE(ZQI_FindCloudBlob(store, ("shared/prefix/key-" + std::to_string(i)).c_str()), nullptr);
    }
    EXPECT_LE(store.keyComparisons - before, keys * perLookup);
    before = store.keyComparisons;
    for (uint32_t i = 1; i <= keys; i += 2) {
        ASSERT_TRUE(ZQI_RemoveCloudBlob(store, ("shared/prefix/key-" + std::to_string(i)).c_str()));
    }
    EXPECT_LE(store.keyComparisons - before, keys / 2 * 2 * perLookup) << "a lookup, then the removal";
    ByteStream saved;
    ASSERT_TRUE(ZQI_BuildSimulatedCloudImage(store, &saved));
    std::string kept;
    for (uint32_t i = keys; i > 0; --i) {
        kept += i % 2 == 0 ? Entry("shared/prefix/key-" + std::to_string(i), "b") : "";
    }
    EXPECT_TRUE(std::string(reinterpret_cast<const char*>(saved.data), saved.size) ==
                CloudFile(keys / 2, kept))
        << "the others keep their order";
}

using SimulatedSocialTest = ServicesTest;

TEST_F(SimulatedSocialTest, FriendsComeLargestValueFirstAndLoginIsAnnouncedOnce) {
    SimulatedSocialImplementation social;
    TestModule module("Simulation");
    module.offered[IMPLEMENTATION_SOCIAL] = &social;
    RegisterExtensionModule(&module);
    ResolveImplementations();
    social.Initialize();
    zq_social_api_t* api = ZQI_GetApi()->social;
    api->RequestFriends();  // before login: nothing
    api->SetLocalUserValue(7);
    EXPECT_TRUE(DeliverEvents().empty());
    // On a thread of its own the values come from the generator's first eleven draws.
    std::thread([api] {
        api->Login();
        api->Login();
    }).join();
    api->RequestFriends();
    std::vector<CapturedEvent> events = DeliverEvents();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].type, ZQ_EVENT_SOCIAL_LOGIN);
    EXPECT_EQ(events[0].flag, 1);
    ASSERT_EQ(events[0].users.size(), 1u);
    EXPECT_EQ(events[0].users[0].name, "Local User");
    EXPECT_EQ(events[0].users[0].value, 11u);  // 41 % 30
    ASSERT_EQ(events[1].type, ZQ_EVENT_SOCIAL_FRIENDS);
    std::vector<uint32_t> values;
    for (const CapturedEvent::User& user : events[1].users) {
        values.push_back(user.value);
    }
    // Friend k gets draw % 40 + 3 + k from the draws 18467, 6334, 26500, 19169, 15724, 11478,
    // 29358, 26962, 24464 and 5705.
    EXPECT_EQ(values, (std::vector<uint32_t>{48, 47, 38, 36, 31, 26, 19, 16, 13, 12, 11}));
    EXPECT_EQ(events[1].users.back().name, "Local User");
    EXPECT_EQ(social.GetLoginState(), 2);

    for (uint32_t value : {100u, static_cast<uint32_t>(-5)}) {
        api->SetLocalUserValue(value);
        api->RequestFriends();
        events = DeliverEvents();
        ASSERT_EQ(events.size(), 1u);
        EXPECT_EQ(events[0].users.front().name, "Local User");
        EXPECT_EQ(events[0].users.front().value, value);
    }
    api->Logout();
    api->RequestFriends();
    EXPECT_TRUE(DeliverEvents().empty());
    api->Login();  // again, with the same users
    events = DeliverEvents();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].users[0].value, static_cast<uint32_t>(-5));
}

}  // namespace
