// The simulated cloud's file, byte for byte and across restarts, its loader on cut data, and
// the simulated social network's login and friends events.
#include <cstring>
#include <filesystem>
#include <thread>

#include "FullDisk.h"
#include "ServicesTestSupport.h"
#include "core/ApiTable.h"
#include "core/Buffer.h"
#include "services/SimulatedCloud.h"
#include "services/SimulatedSocial.h"

namespace {

const char kCloudFile[] = "user://simulated.cloud";

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

class SimulatedCloudTest : public ServicesTest {
protected:
    void SetUp() override {
        ServicesTest::SetUp();
        RemoveFile(kCloudFile);
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

TEST_F(SimulatedCloudTest, TheLoaderStopsAtTheEndOfTheData) {
    const std::string a = Entry("a", "AAAA");
    struct Case {
        std::string image;
        int32_t stored;
    };
    const Case cases[] = {
        {CloudFile(1, a), 1},
        {CloudFile(2, a + Entry("b", "BBBB").substr(0, 5)), 1},  // cut inside the second size
        {CloudFile(2, a + Entry("b", "BBBB").substr(0, 8)), 1},  // size claims more than is left
        {CloudFile(0xFFFFFFFFu, a), 1},                          // the count claims more entries
        {CloudFile(3, a + "no-terminator"), 1},                  // a key without its NUL
        {CloudFile(1, a).substr(0, 18), 0},                      // cut inside the count
        {"SIMULATED_CLOUX" + CloudFile(1, a).substr(15), 0},     // another header
        {"", 0},
    };
    for (const Case& c : cases) {
        SimulatedCloudStore store;
        EXPECT_EQ(ZQI_LoadSimulatedCloudImage(store, reinterpret_cast<const uint8_t*>(c.image.data()),
                                              static_cast<int32_t>(c.image.size())),
                  c.stored);
        if (c.stored > 0) {
            ByteStream image;
            ASSERT_TRUE(ZQI_BuildSimulatedCloudImage(store, &image));
            EXPECT_EQ(std::string(reinterpret_cast<const char*>(image.data), image.size), CloudFile(1, a));
        }
        ZQI_ClearCloudStore(store);
    }
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
