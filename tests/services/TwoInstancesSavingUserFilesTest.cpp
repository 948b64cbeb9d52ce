// Instances of the game (allowed by a feature word) saving the local leaderboards or the
// simulated cloud into one user folder, as real processes; and a save or a start while another
// instance keeps the folder longer than the wait.
#include <algorithm>
#include <atomic>
#include <chrono>
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

// Another instance holding the user folder's lock until the object goes: a thread, which the lock
// tells from this one as it tells another process.
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

std::string Blob(const std::string& key, const void* bytes, size_t size) {
    const std::string data(static_cast<const char*>(bytes), size);
    return key + ":" + std::to_string(size) + ":" + std::to_string(std::hash<std::string>()(data)) + ";";
}

// A whole file of the instance with this tag after the round, as Describe gives it, worked out from
// the recipe the child follows.
std::string Expected(bool leaderboards, char tag, int round) {
    using namespace UserFileRounds;
    if (!leaderboards) {
        const std::string blob = CloudBlob(tag, round);
        return Blob(std::string(1, tag), blob.data(), blob.size());
    }
    std::string text;
    for (int board = 0; board < kFillerBoards; ++board) {
        text += FillerBoard(tag, board) + ":";
        for (int i = 0; i < kFillerScores; ++i) {
            text += std::to_string(FillerPoints(board, i)) + ",";
        }
        text += ";";
    }
    text += std::string(1, tag) + ":";  // a board keeps its best 100 scores
    for (int i = std::max(0, round - 99); i <= round; ++i) {
        text += std::to_string(i) + ",";
    }
    return text + ";";
}

std::string DescribeDatabase(const DMDatabase& database) {
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

// The end of a read, where the board or blob that changes from save to save lies, for the messages.
std::string Tail(const std::string& read) {
    return read.size() > 80 ? "..." + read.substr(read.size() - 80) : read;
}

// The parameter: the local leaderboards (true) or the simulated cloud.
class TwoInstancesSavingUserFilesTest : public ServicesTest, public ::testing::WithParamInterface<bool> {
protected:
    void SetUp() override {
        ServicesTest::SetUp();
        leaderboards_ = GetParam();
        path_ = leaderboards_ ? kLeaderboards : kCloud;
        for (const std::string& path : {path_, path_ + ".tmp", path_ + ".bad"}) {
            RemoveFile(path);
        }
        std::error_code error;
        std::filesystem::remove_all(sync_ = NativePath("user://sync"), error);
    }
    void TearDown() override {
        std::error_code error;
        std::filesystem::remove_all(sync_, error);
        ServicesTest::TearDown();
    }

    std::string UserFolder() {
        return std::filesystem::path(NativePath(path_)).parent_path().generic_string();
    }

    // The file as a fresh load reads it; "no file", "unreadable" or "damaged".
    std::string Describe() {
        const std::string bytes = ReadFile(path_);
        if (!std::filesystem::exists(NativePath(path_))) {
            return "no file";
        }
        if (leaderboards_) {
            DMDatabase database("check");
            return database.LoadXMLFile(path_.c_str()) ? DescribeDatabase(database) : "unreadable";
        }
        SimulatedCloudStore store;
        bool whole = false;
        ZQI_LoadSimulatedCloudImage(store, reinterpret_cast<const uint8_t*>(bytes.data()),
                                    static_cast<int32_t>(bytes.size()), &whole);
        std::string text = whole ? "" : "damaged";
        for (const SimulatedCloudEntry* entry = store.first; entry != nullptr && whole; entry = entry->next) {
            text += Blob(entry->key.CStr(), entry->blob->data, static_cast<size_t>(entry->blob->size));
        }
        return text;
    }

    // The file as this instance's start loads it (the cloud saves it anew after loading); "set
    // aside" when the load moved it aside as unreadable.
    std::string Load(uint32_t wait = ZQFileSystem::ZQI_SAVE_FOLDER_WAIT_MILLISECONDS) {
        std::string text;
        if (leaderboards_) {
            DMDatabase* database = ZQI_OpenLocalLeaderboardsDatabase(wait);
            text = database != nullptr ? DescribeDatabase(*database) : "not available";
            DataManager::UnloadDatabaseByName(kLeaderboards);
        } else {
            SimulatedCloudImplementation cloud(wait);
            text = cloud.Initialize() ? "" : "not available";
            for (const char* key : {"A", "B"}) {
                if (zq_buffer_t* blob = cloud.Read(key)) {
                    text += Blob(key, blob->data, blob->size);
                    ZQ_FreeBuffer(blob);
                }
            }
        }
        return std::filesystem::exists(NativePath(path_ + ".bad")) ? "set aside" : text;
    }

    // Starts instances A and B for the rounds and waits until both have read the file, so that
    // neither reads the other's saves.
    void StartInstances(ChildProcess (&children)[2], int rounds) {
        std::filesystem::create_directories(sync_);
        for (int i = 0; i < 2; ++i) {
            ASSERT_TRUE(
                children[i].Start("user_file_child", {UserFolder(), leaderboards_ ? "leaderboards" : "cloud",
                                                      i == 0 ? "A" : "B", std::to_string(rounds), sync_}));
        }
        for (const char* ready : {"/ready-A", "/ready-B"}) {
            for (int waited = 0; waited < 30000 && !std::filesystem::exists(sync_ + ready); ++waited) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            ASSERT_TRUE(std::filesystem::exists(sync_ + ready)) << ready;
        }
    }

    void WaitForInstances(ChildProcess (&children)[2]) {
        for (ChildProcess& child : children) {
            const int exitCode = child.Wait(HasFailure() ? 0 : 30000);  // ended at once after a failure
            EXPECT_TRUE(exitCode == 0 || HasFailure()) << "an instance ended with " << exitCode;
        }
    }

    bool leaderboards_ = false;
    std::string path_, sync_;
};

// Two instances save in lock-step rounds; after each a fresh load reads what one of them answered
// success for, or, where both answered failure, what it read before.
TEST_P(TwoInstancesSavingUserFilesTest, SavedByTwoInstancesAtOnceReadsWhole) {
    const int rounds = 20;
    ChildProcess children[2];
    StartInstances(children, rounds);
    std::string previous = "no file";
    for (int round = 0; round < rounds && !HasFailure(); ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        std::ofstream(sync_ + "/go-" + std::to_string(round));
        std::vector<std::string> answered;
        std::string answers;
        for (char tag : {'A', 'B'}) {
            // Windows shows a renamed file a moment before it can be opened: looked at until it reads.
            std::string answer;
            for (int waited = 0; waited < 30000; ++waited) {
                std::ifstream in(sync_ + "/" + tag + "-" + std::to_string(round), std::ios::binary);
                if (std::getline(in, answer)) {
                    break;
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            ASSERT_FALSE(answer.empty()) << "instance " << tag << " did not report";
            if (answer == "1") {
                answered.push_back(Expected(leaderboards_, tag, round));
            }
            answers += std::string(1, tag) + (answer == "1" ? " success " : " failure ");
        }
        if (answered.empty()) {
            answered.push_back(previous);
        }
        const std::string read = Describe();
        EXPECT_TRUE(std::find(answered.begin(), answered.end(), read) != answered.end())
            << "read " << Tail(read) << " (" << answers << ")";
        previous = read;
    }
    WaitForInstances(children);
}

// Two other instances save again and again while this one starts: each load reads a whole file one
// of them saved and sets nothing aside.
TEST_P(TwoInstancesSavingUserFilesTest, LoadedWhileOtherInstancesSaveReadsWhole) {
#if defined(_WIN32)
    const int rounds = 50;  // every step is slower under Wine
#else
    const int rounds = 150;
#endif
    std::set<std::string> whole;
    for (int round = 0; round < rounds; ++round) {
        whole.insert(Expected(leaderboards_, 'A', round));
        whole.insert(Expected(leaderboards_, 'B', round));
    }
    ChildProcess children[2];
    StartInstances(children, rounds);
    for (int round = 0; round < rounds; ++round) {
        std::ofstream(sync_ + "/go-" + std::to_string(round));  // every round goes at once
    }
    const std::string last = std::to_string(rounds - 1);
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    int loads = 0;
    while (
        !(std::filesystem::exists(sync_ + "/A-" + last) && std::filesystem::exists(sync_ + "/B-" + last)) &&
        std::chrono::steady_clock::now() < limit && !HasFailure()) {
        if (!std::filesystem::exists(NativePath(path_))) {
            std::this_thread::yield();
            continue;
        }
        const std::string read = Load();
        ++loads;
        EXPECT_TRUE(whole.count(read) > 0) << "load " << loads << " read " << Tail(read);
    }
    WaitForInstances(children);
    EXPECT_GT(loads, 0);
}

// Another instance keeps the user folder longer than a save waits: the save answers failure,
// logged, and leaves the file and the other instance's temporary file; the change stays in memory
// and the next save, once the folder is free, stores it. A start meanwhile reads the file without
// the lock, logged, rather than going without it.
TEST_P(TwoInstancesSavingUserFilesTest, ASaveOrAStartWhileAnotherInstanceKeepsTheFolder) {
    LocalLeaderboardsDatabase local = {nullptr, ZQI_CreateEngineMutex("LOCAL_LEADERBOARDS"), true, true};
    local.folderWait = 100;
    SimulatedCloudImplementation cloud(100);
    if (leaderboards_) {
        ASSERT_NE(nullptr, local.database = ZQI_OpenLocalLeaderboardsDatabase());
    } else {
        ASSERT_TRUE(cloud.Initialize());
    }
    // Save n: the score n on "daily", or the blob "An" under the key "A" (which a start reads).
    auto save = [&](int n) {
        LeaderboardScore score = MakeScore(n);
        const std::string blob = "A" + std::to_string(n);
        leaderboards_ ? local.WriteScore(&score, "daily")
                      : cloud.Write("A", blob.data(), static_cast<uint32_t>(blob.size()));
    };
    auto stored = [&](const char* scores, int n) {
        return leaderboards_ ? "daily:" + std::string(scores) + ";"
                             : Blob("A", ("A" + std::to_string(n)).data(), 2);
    };
    save(1);
    const std::string saved = ReadFile(path_), temporary = path_ + ".tmp";
    ASSERT_EQ(stored("1,", 1), Describe());
    WriteFile(temporary, "the other instance's save, half written");
    {
        FolderHolder holder(UserFolder());
        ASSERT_TRUE(holder.Taken());
        save(2);
        EXPECT_EQ(saved, ReadFile(path_));
        EXPECT_EQ("the other instance's save, half written", ReadFile(temporary));
    }
    EXPECT_TRUE(WasLogged((leaderboards_ ? "Local leaderboards: '" : "SimulatedCloud::Save: '") + path_ +
                          "' is not saved, since another instance of the game still held its folder '"));
    EXPECT_TRUE(WasLogged("' after 100 ms."));
    save(3);
    EXPECT_EQ(stored("1,2,3,", 3), Describe());
    const std::string all = ReadFile(path_);
    if (leaderboards_) {
        DataManager::UnloadDatabaseByName(kLeaderboards);  // the start reads the file anew
    }
    {
        FolderHolder holder(UserFolder());
        ASSERT_TRUE(holder.Taken());
        EXPECT_EQ(stored("1,2,3,", 3), Load(100));  // the cloud's save after its load answers failure
    }
    EXPECT_EQ(all, ReadFile(path_));
    EXPECT_TRUE(WasLogged((leaderboards_ ? "Local leaderboards: '" : "SimulatedCloud: '") + path_ +
                          "' is read without its folder's lock, since another instance of the game still "
                          "held its folder '"));
}

INSTANTIATE_TEST_SUITE_P(UserFiles, TwoInstancesSavingUserFilesTest, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return std::string(info.param ? "LocalLeaderboards" : "SimulatedCloud");
                         });

}  // namespace
