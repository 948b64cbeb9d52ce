// Instances of the game (allowed by a feature word) saving the local leaderboards or the
// simulated cloud into one user folder at the same moment, as real processes: a fresh load reads a
// whole file that one of them answered success for, and a start while they save reads a whole file
// and sets nothing aside. A save while another instance keeps the folder longer than the wait
// answers failure and leaves the file as it was; a start then still reads the file.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <thread>

#include "ChildProcess.h"
#include "ServicesTestSupport.h"
#include "UserFileRounds.h"
#include "core/Buffer.h"
#include "core/NamedMutex.h"
#include "data/DMRecords.h"
#include "data/DataManager.h"
#include "filesystem/NativePlatform.h"
#include "services/LocalLeaderboardsDatabase.h"
#include "services/SimulatedCloud.h"

namespace {

const char kLeaderboards[] = "user://leaderboards-db.xml";
const char kCloud[] = "user://simulated.cloud";
const int kRounds = 20;

// Another instance holding the user folder's lock until the object goes: a thread of the test,
// which the lock tells from this one as it tells another process (a process of its own holds it in
// the save tests of the file system).
class FolderHolder {
public:
    explicit FolderHolder(const std::string& folder)
        : thread_([this, folder] {
              intptr_t lock = 0;
              taken_ = ZQI_NativeLockFolder(folder.c_str(), 1000, &lock) == NATIVE_LOCK_TAKEN;
              held_ = true;
              while (!letGo_) {
                  std::this_thread::sleep_for(std::chrono::milliseconds(1));
              }
              if (taken_) {
                  ZQI_NativeUnlockFolder(lock);
              }
          }) {
        while (!held_) {
            std::this_thread::yield();
        }
    }
    ~FolderHolder() {
        letGo_ = true;
        thread_.join();
    }
    bool Taken() const { return taken_; }

private:
    std::atomic<bool> taken_{false}, held_{false}, letGo_{false};
    std::thread thread_;
};

uint64_t Fnv(const uint8_t* bytes, size_t size) {
    uint64_t hash = 14695981039346656037ull;
    for (size_t i = 0; i < size; ++i) {
        hash = (hash ^ bytes[i]) * 1099511628211ull;
    }
    return hash;
}

std::string DescribeBlob(const std::string& key, const uint8_t* bytes, size_t size) {
    return key + ":" + std::to_string(size) + ":" + std::to_string(Fnv(bytes, size)) + ";";
}

// What a whole file of the instance with this tag holds after the round, in the terms Describe
// uses, worked out from the recipe both sides follow.
std::string Expected(bool leaderboards, char tag, int round) {
    using namespace UserFileRounds;
    if (!leaderboards) {
        const std::string blob = CloudBlob(tag, round);
        return DescribeBlob(std::string(1, tag), reinterpret_cast<const uint8_t*>(blob.data()), blob.size());
    }
    std::string text;
    for (int board = 0; board < kFillerBoards; ++board) {
        text += FillerBoard(tag, board) + ":";
        for (int i = 0; i < kFillerScores; ++i) {
            text += std::to_string(FillerPoints(board, i)) + ",";
        }
        text += ";";
    }
    // A board keeps its best 100 scores: from round 100 on, the lowest goes.
    text += std::string(1, tag) + ":";
    for (int i = std::max(0, round - 99); i <= round; ++i) {
        text += std::to_string(i) + ",";
    }
    return text + ";";
}

class TwoInstancesSavingUserFilesTest : public ServicesTest {
protected:
    void SetUp() override {
        ServicesTest::SetUp();
        for (const char* path : {kLeaderboards, kCloud}) {
            RemoveFile(path);
            RemoveFile(std::string(path) + ".tmp");
        }
    }

    // The file as a fresh load reads it: every board and its points, or every key and its blob;
    // "no file", or "unreadable" / "damaged".
    std::string Describe(bool leaderboards) {
        const char* path = leaderboards ? kLeaderboards : kCloud;
        const std::string bytes = ReadFile(path);
        if (!std::filesystem::exists(NativePath(path))) {
            return "no file";
        }
        std::string text;
        if (leaderboards) {
            DMDatabase database("check");
            if (!database.LoadXMLFile(path)) {
                return "unreadable (" + std::to_string(bytes.size()) + " bytes)";
            }
            return DescribeDatabase(database);
        }
        SimulatedCloudStore store;
        bool whole = false;
        ZQI_LoadSimulatedCloudImage(store, reinterpret_cast<const uint8_t*>(bytes.data()),
                                    static_cast<int32_t>(bytes.size()), &whole);
        if (!whole) {
            return "damaged (" + std::to_string(bytes.size()) + " bytes)";
        }
        for (const SimulatedCloudEntry* entry = store.first; entry != nullptr; entry = entry->next) {
            text +=
                DescribeBlob(entry->key.CStr(), entry->blob->data, static_cast<size_t>(entry->blob->size));
        }
        return text;
    }

    static std::string DescribeDatabase(const DMDatabase& database) {
        std::string text;
        for (const DMArray* array : database.arrays) {
            text += std::string(array->id != nullptr ? array->id : "") + ":";
            for (const DMNode* node : array->nodes) {
                const char* points = node->GetValue("points");
                text += std::string(points != nullptr ? points : "?") + ",";
            }
            text += ";";
        }
        return text;
    }

    // The file as this instance's start loads it (the simulated cloud saves it anew after
    // loading); "set aside" when the load moved it aside as unreadable.
    std::string Load(bool leaderboards) {
        std::string text;
        if (leaderboards) {
            DMDatabase* database = ZQI_OpenLocalLeaderboardsDatabase();
            text = database != nullptr ? DescribeDatabase(*database) : "not available";
            DataManager::UnloadDatabaseByName(kLeaderboards);
        } else {
            SimulatedCloudImplementation cloud;
            cloud.Initialize();
            for (const char* key : {"A", "B"}) {
                if (zq_buffer_t* blob = cloud.Read(key)) {
                    text += DescribeBlob(key, blob->data, blob->size);
                    ZQ_FreeBuffer(blob);
                }
            }
        }
        const std::string setAside = std::string(leaderboards ? kLeaderboards : kCloud) + ".bad";
        return std::filesystem::exists(NativePath(setAside)) ? "set aside" : text;
    }

    // Two other instances save again and again while this one starts: each load reads a whole
    // file one of them saved, never one that changes while it is read, and sets nothing aside.
    void LoadWhileOtherInstancesSave(bool leaderboards) {
#if defined(_WIN32)
        const int rounds = 50;  // every step is slower under Wine
#else
        const int rounds = 150;
#endif
        const std::string sync = NativePath("user://sync");
        std::error_code error;
        std::filesystem::remove_all(sync, error);
        std::filesystem::create_directories(sync);
        std::set<std::string> whole;
        for (int round = 0; round < rounds; ++round) {
            whole.insert(Expected(leaderboards, 'A', round));
            whole.insert(Expected(leaderboards, 'B', round));
        }
        ChildProcess children[2];
        for (int i = 0; i < 2; ++i) {
            ASSERT_TRUE(
                children[i].Start("user_file_child", {UserFolder(), leaderboards ? "leaderboards" : "cloud",
                                                      i == 0 ? "A" : "B", std::to_string(rounds), sync}));
        }
        // Every round goes at once, once both have read the file (neither reads the other's saves).
        for (const char* ready : {"/ready-A", "/ready-B"}) {
            for (int waited = 0; waited < 30000 && !std::filesystem::exists(sync + ready); ++waited) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            ASSERT_TRUE(std::filesystem::exists(sync + ready)) << ready;
        }
        for (int round = 0; round < rounds; ++round) {
            std::ofstream(sync + "/go-" + std::to_string(round));
        }
        const std::string path = NativePath(leaderboards ? kLeaderboards : kCloud);
        const std::string ends[2] = {sync + "/A-" + std::to_string(rounds - 1),
                                     sync + "/B-" + std::to_string(rounds - 1)};
        const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        int loads = 0;
        while (!(std::filesystem::exists(ends[0]) && std::filesystem::exists(ends[1])) &&
               std::chrono::steady_clock::now() < limit && !HasFailure()) {
            if (!std::filesystem::exists(path)) {
                std::this_thread::yield();
                continue;
            }
            const std::string read = Load(leaderboards);
            ++loads;
            EXPECT_TRUE(whole.count(read) > 0)
                << "load " << loads << " read " << Whose(leaderboards, read, rounds - 1);
        }
        for (ChildProcess& child : children) {
            EXPECT_EQ(0, child.Wait(HasFailure() ? 0 : 30000));
        }
        EXPECT_GT(loads, 0);
        std::filesystem::remove_all(sync, error);
    }

    // Which whole save of the rounds up to this one the file read is, for the messages.
    static std::string Whose(bool leaderboards, const std::string& read, int round) {
        for (int r = round; r >= 0; --r) {
            for (char tag : {'A', 'B'}) {
                if (read == Expected(leaderboards, tag, r)) {
                    return std::string(1, tag) + "'s save of round " + std::to_string(r);
                }
            }
        }
        if (read.size() <= 40) {
            return read;
        }
        // The board that changes from save to save ends the text.
        const size_t board = read.rfind(";", read.size() - 2);
        return "none of their saves (" + std::to_string(read.size()) + " characters, ending " +
               read.substr(board == std::string::npos ? 0 : board + 1, 80) + ")";
    }

    // The user folder as the folder lock's holder names it.
    std::string UserFolder() {
        return std::filesystem::path(NativePath(kLeaderboards)).parent_path().generic_string();
    }

    // Two instances save in lock-step rounds; after each round a fresh load must read what one of
    // them answered success for, or, where both answered failure, what it read before.
    void SaveInRounds(bool leaderboards) {
        const std::string sync = NativePath("user://sync");
        std::error_code error;
        std::filesystem::remove_all(sync, error);
        std::filesystem::create_directories(sync);
        const std::string folder = UserFolder();
        ChildProcess children[2];
        for (int i = 0; i < 2; ++i) {
            ASSERT_TRUE(
                children[i].Start("user_file_child", {folder, leaderboards ? "leaderboards" : "cloud",
                                                      i == 0 ? "A" : "B", std::to_string(kRounds), sync}));
        }
        for (const char* ready : {"/ready-A", "/ready-B"}) {
            for (int waited = 0; waited < 30000 && !std::filesystem::exists(sync + ready); ++waited) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            ASSERT_TRUE(std::filesystem::exists(sync + ready)) << ready;
        }
        std::string previous = "no file";
        for (int round = 0; round < kRounds && !HasFailure(); ++round) {
            SCOPED_TRACE("round " + std::to_string(round));
            FILE* go = fopen((sync + "/go-" + std::to_string(round)).c_str(), "wb");
            ASSERT_NE(nullptr, go);
            fclose(go);
            std::vector<std::string> answered;
            std::string answers;
            for (char tag : {'A', 'B'}) {
                const std::string report = sync + "/" + std::string(1, tag) + "-" + std::to_string(round);
                // Windows shows a renamed file under its new name a moment before the renaming lets
                // go of it, and it cannot be opened meanwhile: looked at again until it reads.
                std::string answer;
                for (int waited = 0; waited < 30000; ++waited) {
                    std::ifstream in(report, std::ios::binary);
                    if (std::getline(in, answer)) {
                        break;
                    }
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
                }
                ASSERT_FALSE(answer.empty()) << "instance " << tag << " did not report";
                if (answer == "1") {
                    answered.push_back(Expected(leaderboards, tag, round));
                }
                answers += std::string(answers.empty() ? "" : ", ") + tag +
                           (answer == "1" ? " success" : " failure");
            }
            if (answered.empty()) {
                answered.push_back(previous);
            }
            const std::string read = Describe(leaderboards);
            EXPECT_TRUE(std::find(answered.begin(), answered.end(), read) != answered.end())
                << "read " << Whose(leaderboards, read, round) << " (" << answers << ")";
            previous = read;
        }
        for (int i = 0; i < 2; ++i) {
            const int exitCode = children[i].Wait(HasFailure() ? 0 : 30000);  // ended at once after a failure
            EXPECT_TRUE(exitCode == 0 || HasFailure()) << "instance " << i << " ended with " << exitCode;
        }
        std::filesystem::remove_all(sync, error);
    }
};

TEST_F(TwoInstancesSavingUserFilesTest, LocalLeaderboardsSavedByTwoInstancesAtOnceReadWhole) {
    SaveInRounds(true);
}

TEST_F(TwoInstancesSavingUserFilesTest, ASimulatedCloudSavedByTwoInstancesAtOnceReadsWhole) {
    SaveInRounds(false);
}

TEST_F(TwoInstancesSavingUserFilesTest, LocalLeaderboardsLoadedWhileOtherInstancesSaveReadWhole) {
    LoadWhileOtherInstancesSave(true);
}

TEST_F(TwoInstancesSavingUserFilesTest, ASimulatedCloudLoadedWhileOtherInstancesSaveReadsWhole) {
    LoadWhileOtherInstancesSave(false);
}

// Another instance keeps the user folder longer than a save waits: the save answers failure,
// saying why, and leaves the file and the other instance's temporary file as they were; the
// score stays in memory and the next save, once the folder is free, stores it.
TEST_F(TwoInstancesSavingUserFilesTest,
       ALocalLeaderboardsSaveWhileAnotherInstanceKeepsTheFolderLeavesTheFile) {
    const std::string temporary = std::string(kLeaderboards) + ".tmp";
    LocalLeaderboardsDatabase local = {ZQI_OpenLocalLeaderboardsDatabase(),
                                       ZQI_CreateEngineMutex("LOCAL_LEADERBOARDS"), true, true};
    local.folderWait = 100;
    ASSERT_NE(nullptr, local.database);
    LeaderboardScore score = MakeScore(1);
    local.WriteScore(&score, "daily");
    const std::string saved = ReadFile(kLeaderboards);
    ASSERT_EQ("daily:1,;", Describe(true));
    WriteFile(temporary, "the other instance's save, half written");
    {
        FolderHolder holder(UserFolder());
        ASSERT_TRUE(holder.Taken());
        score = MakeScore(2);
        local.WriteScore(&score, "daily");
        EXPECT_EQ(saved, ReadFile(kLeaderboards));
        EXPECT_EQ("the other instance's save, half written", ReadFile(temporary));
    }
    EXPECT_TRUE(WasLogged("Local leaderboards: '" + std::string(kLeaderboards) +
                          "' is not saved, since another instance of the game still held its folder '"));
    EXPECT_TRUE(WasLogged("' after 100 ms."));
    score = MakeScore(3);
    local.WriteScore(&score, "daily");
    EXPECT_EQ("daily:1,2,3,;", Describe(true));
}

TEST_F(TwoInstancesSavingUserFilesTest, ASimulatedCloudSaveWhileAnotherInstanceKeepsTheFolderLeavesTheFile) {
    const std::string temporary = std::string(kCloud) + ".tmp";
    SimulatedCloudImplementation cloud(100);
    ASSERT_TRUE(cloud.Initialize());
    cloud.Write("a", "first", 5);
    const std::string saved = ReadFile(kCloud);
    const std::string first = DescribeBlob("a", reinterpret_cast<const uint8_t*>("first"), 5);
    ASSERT_EQ(first, Describe(false));
    WriteFile(temporary, "the other instance's save, half written");
    {
        FolderHolder holder(UserFolder());
        ASSERT_TRUE(holder.Taken());
        cloud.Write("b", "second", 6);
        EXPECT_EQ(saved, ReadFile(kCloud));
        EXPECT_EQ("the other instance's save, half written", ReadFile(temporary));
    }
    EXPECT_TRUE(WasLogged("SimulatedCloud::Save: '" + std::string(kCloud) +
                          "' is not saved, since another instance of the game still held its folder '"));
    EXPECT_TRUE(WasLogged("' after 100 ms."));
    cloud.Write("c", "third", 5);
    EXPECT_EQ(first + DescribeBlob("b", reinterpret_cast<const uint8_t*>("second"), 6) +
                  DescribeBlob("c", reinterpret_cast<const uint8_t*>("third"), 5),
              Describe(false));
}

// A start while another instance keeps the user folder longer than the wait reads the file without
// the lock, saying so, rather than going without it.
TEST_F(TwoInstancesSavingUserFilesTest, AStartWhileAnotherInstanceKeepsTheFolderStillReadsTheFiles) {
    const std::string blob = DescribeBlob("a", reinterpret_cast<const uint8_t*>("first"), 5);
    {
        LocalLeaderboardsDatabase local = {ZQI_OpenLocalLeaderboardsDatabase(),
                                           ZQI_CreateEngineMutex("LOCAL_LEADERBOARDS"), true, true};
        ASSERT_NE(nullptr, local.database);
        LeaderboardScore score = MakeScore(1);
        local.WriteScore(&score, "daily");
        DataManager::UnloadDatabaseByName(kLeaderboards);
        SimulatedCloudImplementation cloud;
        ASSERT_TRUE(cloud.Initialize());
        cloud.Write("a", "first", 5);
    }
    const std::string leaderboards = ReadFile(kLeaderboards), stored = ReadFile(kCloud);
    std::string read;
    {
        FolderHolder holder(UserFolder());
        ASSERT_TRUE(holder.Taken());
        DMDatabase* database = ZQI_OpenLocalLeaderboardsDatabase(100);
        ASSERT_NE(nullptr, database);
        read = DescribeDatabase(*database);
        SimulatedCloudImplementation cloud(100);
        ASSERT_TRUE(cloud.Initialize());  // its save after the load answers failure
        zq_buffer_t* buffer = cloud.Read("a");
        ASSERT_NE(nullptr, buffer);
        read += DescribeBlob("a", buffer->data, buffer->size);
        ZQ_FreeBuffer(buffer);
    }
    EXPECT_EQ("daily:1,;" + blob, read);
    EXPECT_TRUE(
        WasLogged("Local leaderboards: '" + std::string(kLeaderboards) +
                  "' is read without its folder's lock, since another instance of the game still held "
                  "its folder '"));
    EXPECT_TRUE(
        WasLogged("SimulatedCloud: '" + std::string(kCloud) +
                  "' is read without its folder's lock, since another instance of the game still held "
                  "its folder '"));
    EXPECT_TRUE(WasLogged("SimulatedCloud::Save: '" + std::string(kCloud) + "' is not saved, since "));
    EXPECT_EQ(leaderboards, ReadFile(kLeaderboards));
    EXPECT_EQ(stored, ReadFile(kCloud));
}

}  // namespace
