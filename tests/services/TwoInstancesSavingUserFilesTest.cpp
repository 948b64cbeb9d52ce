// Instances of the game (allowed by a feature word) saving the local leaderboards or the simulated
// cloud into one user folder, and a save or a start while another instance keeps the folder.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "ChildProcess.h"
#include "ServicesTestSupport.h"
#include "UserFileRounds.h"
#include "core/NamedMutex.h"
#include "data/DMRecords.h"
#include "data/DataManager.h"
#include "filesystem/NativePlatform.h"
#include "services/LocalLeaderboardsDatabase.h"
#include "services/SimulatedCloud.h"

namespace {

const char kLeaderboards[] = "user://leaderboards-db.xml";

// Another instance holding the user folder's lock while it lives (state 1; 2 when it could not take
// it): a thread, which the lock tells from this one as it tells another process.
struct FolderHolder {
    explicit FolderHolder(const std::string& folder)
        : thread([this, folder] {
              intptr_t lock = 0;
              const bool taken = ZQI_NativeLockFolder(folder.c_str(), 1000, &lock) == NATIVE_LOCK_TAKEN;
              for (state = taken ? 1 : 2; state != 0;) {
                  std::this_thread::sleep_for(std::chrono::milliseconds(1));
              }
              taken ? ZQI_NativeUnlockFolder(lock) : void();
          }) {
        while (state == 0) {
            std::this_thread::yield();
        }
    }
    ~FolderHolder() {
        state = 0;
        thread.join();
    }
    std::atomic<int> state{0};
    std::thread thread;
};

std::string Blob(const std::string& key, const void* bytes, size_t size) {
    const std::string data(static_cast<const char*>(bytes), size);
    return key + ":" + std::to_string(size) + ":" + std::to_string(std::hash<std::string>()(data)) + ";";
}

// The whole file of the instance with this tag after the round, as Describe gives it.
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

// The parameter: the local leaderboards (true) or the simulated cloud.
class TwoInstancesSavingUserFilesTest : public ServicesTest, public ::testing::WithParamInterface<bool> {
protected:
    void SetUp() override {
        ServicesTest::SetUp();
        leaderboards_ = GetParam();
        path_ = leaderboards_ ? kLeaderboards : "user://simulated.cloud";
        for (const std::string& path : {path_, path_ + ".tmp", std::string("user://sync")}) {
            RemoveFile(path);
        }
        sync_ = NativePath("user://sync");
        folder_ = std::filesystem::path(NativePath(path_)).parent_path().generic_string();
    }

    // The file as a fresh load reads it, or "unreadable" or "damaged".
    std::string Describe() {
        const std::string bytes = ReadFile(path_);
        if (leaderboards_) {
            DMDatabase database("check");
            std::string text = database.LoadXMLFile(path_.c_str()) ? "" : "unreadable";
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

    bool leaderboards_ = false;
    std::string path_, sync_, folder_;
};

// Two instances save in lock-step rounds; after each a fresh load reads what one of them answered
// success for, or, where both answered failure, what it read before.
TEST_P(TwoInstancesSavingUserFilesTest, SavedByTwoInstancesAtOnceReadsWhole) {
    const int rounds = 20;
    ChildProcess children[2];
    std::filesystem::create_directories(sync_);
    for (int i = 0; i < 2; ++i) {
        ASSERT_TRUE(
            children[i].Start("user_file_child", {folder_, leaderboards_ ? "leaderboards" : "cloud",
                                                  i == 0 ? "A" : "B", std::to_string(rounds), sync_}));
    }
    // An instance's report; Windows shows a renamed file a moment before it can be opened.
    auto report = [&](const std::string& name) {
        std::string line;
        for (int waited = 0; waited < 30000; ++waited) {
            std::ifstream in(sync_ + name, std::ios::binary);
            if (in.is_open()) {
                return std::getline(in, line) ? line : "";
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return std::string("none from " + name);
    };
    // Both have read the file before either saves, so that neither reads the other's saves.
    ASSERT_EQ("", report("/ready-A") + report("/ready-B"));
    std::string previous = Describe();  // no file yet
    for (int round = 0; round < rounds && !HasFailure(); ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        std::ofstream(sync_ + "/go-" + std::to_string(round));
        std::vector<std::string> answered;
        std::string answers;  // A's and B's: "1" success, "0" failure
        for (char tag : {'A', 'B'}) {
            const std::string answer = report("/" + std::string(1, tag) + "-" + std::to_string(round));
            answers += answer;
            if (answer == "1") {
                answered.push_back(Expected(leaderboards_, tag, round));
            }
        }
        ASSERT_EQ(2u, answers.size()) << answers;
        if (answered.empty()) {
            answered.push_back(previous);
        }
        const std::string read = Describe();
        EXPECT_TRUE(std::find(answered.begin(), answered.end(), read) != answered.end())
            << "read ..." << read.substr(std::max<size_t>(read.size(), 80) - 80) << " (A, B: " << answers
            << ")";
        previous = read;
    }
    for (ChildProcess& child : children) {
        const int exitCode = child.Wait(HasFailure() ? 0 : 30000);  // ended at once after a failure
        EXPECT_TRUE(exitCode == 0 || HasFailure()) << "an instance ended with " << exitCode;
    }
}

// Another instance keeps the user folder longer than a wait. A start reads the file without the
// lock, logged, rather than going without it; a save answers failure, logged, and leaves the file
// and the other's temporary file; the next save stores the change kept in memory.
TEST_P(TwoInstancesSavingUserFilesTest, ASaveOrAStartWhileAnotherInstanceKeepsTheFolder) {
    LocalLeaderboardsDatabase local = {nullptr, ZQI_CreateEngineMutex("LOCAL_LEADERBOARDS"), true, true};
    local.folderWait = 100;
    SimulatedCloudImplementation before(100), started(100);
    SimulatedCloudImplementation* cloud = &before;
    ASSERT_TRUE(leaderboards_ ? (local.database = ZQI_OpenLocalLeaderboardsDatabase()) != nullptr
                              : before.Initialize());
    // Save n: the score n on "daily", or a blob under the key "An".
    auto save = [&](int n) {
        LeaderboardScore score = MakeScore(n);
        leaderboards_ ? local.WriteScore(&score, "daily")
                      : cloud->Write(("A" + std::to_string(n)).c_str(), "x", 1);
    };
    const std::string notSaved = (leaderboards_ ? "Local leaderboards: '" : "SimulatedCloud::Save: '") +
                                 path_ +
                                 "' is not saved, since another instance of the game still held its folder '";
    save(1);
    const std::string saved = ReadFile(path_), temporary = path_ + ".tmp";
    WriteFile(temporary, "the other instance's save, half written");
    DataManager::UnloadDatabaseByName(kLeaderboards);  // the start reads the file anew
    {
        FolderHolder holder(folder_);
        ASSERT_EQ(1, holder.state);
        if (leaderboards_) {  // a start: it reads the file, or later saves would lose its scores
            ASSERT_NE(nullptr, local.database = ZQI_OpenLocalLeaderboardsDatabase(100));
        } else {
            ASSERT_TRUE(started.Initialize());  // its save after the load answers failure
        }
        EXPECT_TRUE(WasLogged((leaderboards_ ? "Local leaderboards: '" : "SimulatedCloud: '") + path_ +
                              "' is read without its folder's lock, since another instance of the game still "
                              "held its folder '"));
        cloud = &started;
        const int32_t failures = CountLogged(notSaved);
        save(2);
        EXPECT_EQ(failures + 1, CountLogged(notSaved));
        EXPECT_EQ(saved, ReadFile(path_));
        EXPECT_EQ("the other instance's save, half written", ReadFile(temporary));
    }
    EXPECT_TRUE(WasLogged("' after 100 ms."));
    save(3);
    EXPECT_EQ(leaderboards_ ? "daily:1,2,3,;" : Blob("A1", "x", 1) + Blob("A2", "x", 1) + Blob("A3", "x", 1),
              Describe());
}

INSTANTIATE_TEST_SUITE_P(UserFiles, TwoInstancesSavingUserFilesTest, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return std::string(info.param ? "LocalLeaderboards" : "SimulatedCloud");
                         });

}  // namespace
