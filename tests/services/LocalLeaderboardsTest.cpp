// The local leaderboards through the sub-table: the 100-score cap and its ties, data bytes,
// request ranges, restarts from the file, unreadable files set aside, failed saves that keep the
// old file, and submissions from several threads.
#include <cstring>
#include <filesystem>
#include <thread>

#include "DiskCommits.h"
#include "FullDisk.h"
#include "ServicesTestSupport.h"
#include "core/ApiTable.h"
#include "core/CoreState.h"
#include "core/Threads.h"
#include "data/DataManager.h"
#include "data/ScrambledDatabase.h"
#include "filesystem/NativePlatform.h"
#include "services/LocalLeaderboards.h"

namespace {

const char kDatabase[] = "user://leaderboards-db.xml";
const char kUnreadable[] = "user://leaderboards-db.xml.bad";
const char kTemporary[] = "user://leaderboards-db.xml.tmp";

// A text as an attribute value in the reader's own terms, made here rather than by the writer.
std::string AttributeValue(const std::string& text) {
    std::string out;
    for (char c : text) {
        out += c == '"'    ? "&quot;"
               : c == '&'  ? "&amp;"
               : c == '\\' ? "\\\\"
               : c == '\n' ? "\\n"
               : c == '\r' ? "\\r"
                           : std::string(1, c);
    }
    return out;
}

class LocalLeaderboardsTest : public ServicesTest {
protected:
    void SetUp() override {
        ServicesTest::SetUp();
        for (const char* path : {kDatabase, kUnreadable, kTemporary}) {
            RemoveFile(path);
        }
        WriteCategories("<node id=\"daily\"/>\n<node id=\"speedrun\" sort=\"ASCENDING\"/>\n");
        SetFeatures("LEADERBOARDS");
    }

    void TearDown() override {
        Stop();
        ServicesTest::TearDown();
    }

    // A start of the engine: the database is read from the file anew.
    void Start() {
        local_ = new LocalLeaderboardsImplementation();
        module_.offered[IMPLEMENTATION_LEADERBOARDS] = local_;
        RegisterExtensionModule(&module_);
        ResolveImplementations();
    }

    void Stop() {
        ZQI_ForgetExtensionModules();
        delete local_;
        local_ = nullptr;
        DataManager::UnloadDatabaseByName(kDatabase);
    }

    void Submit(const char* category, int32_t points, const std::vector<uint8_t>& data = {}) {
        LeaderboardScore score = MakeScore(points, data);
        table_->SubmitScore(0, &score, category);
    }

    // The one event a request answers with.
    CapturedEvent Request(int32_t first, int32_t count, const char* category, int32_t filter = 0) {
        EXPECT_TRUE(table_->RequestScores(first, count, filter, category));
        std::vector<CapturedEvent> events = DeliverEvents();
        EXPECT_EQ(events.size(), 1u);
        return events.empty() ? CapturedEvent() : events[0];
    }

    static std::vector<int32_t> Points(const CapturedEvent& event) {
        std::vector<int32_t> points;
        for (const LeaderboardScore& score : event.scores) {
            points.push_back(score.points);
        }
        return points;
    }

    zq_leaderboards_api_t* table_ = ZQI_GetApi()->leaderboards;
    LocalLeaderboardsImplementation* local_ = nullptr;
    TestModule module_{"Local"};
};

TEST_F(LocalLeaderboardsTest, TheWorstScoreGoesPastOneHundredAndTheLastOfEqualWorstOnes) {
    Start();
    for (int32_t i = 0; i < 99; ++i) {
        Submit("daily", 1000 + i);
        Submit("speedrun", 1000 + i);
    }
    Submit("daily", 5, {1});
    Submit("speedrun", 5000, {1});
    Submit("daily", 5, {2});  // the 101st ties with the worst and is the last of them: it goes
    Submit("speedrun", 5000, {2});
    CapturedEvent daily = Request(100, 5, "daily");
    CapturedEvent speedrun = Request(100, 5, "speedrun");
    EXPECT_EQ(daily.total, 100);
    ASSERT_EQ(daily.scores.size(), 1u);
    EXPECT_EQ(daily.scores[0].points, 5);
    EXPECT_EQ(daily.scores[0].data[0], 1);
    EXPECT_EQ(daily.scores[0].rank, 100);
    ASSERT_EQ(speedrun.scores.size(), 1u);  // lower points first: 5000 is the worst there
    EXPECT_EQ(speedrun.scores[0].points, 5000);
    EXPECT_EQ(speedrun.scores[0].data[0], 1);
    Submit("daily", 7);
    EXPECT_EQ(Points(Request(99, 5, "daily")), (std::vector<int32_t>{1000, 7}));
}

TEST_F(LocalLeaderboardsTest, RequestsCopyOnlyTheRanksInsideTheList) {
    Start();
    Submit("daily", 30);
    Submit("daily", 10, {1});
    Submit("daily", 40);
    Submit("daily", 10, {2});
    struct Case {
        int32_t first;
        int32_t count;
        std::vector<int32_t> points;
        int32_t firstRankedAs;
    };
    const Case cases[] = {
        {1, 10, {40, 30, 10, 10}, 1},
        {3, 5, {10, 10}, 3},
        {5, 3, {}, 0},
        {0, 2, {40}, 1},  // rank 0 lies before the list
        {2, 0, {}, 0},
        {2, -4, {}, 0},
        {INT32_MAX, INT32_MAX, {}, 0},
        {INT32_MIN, INT32_MAX, {}, 0},
    };
    for (const Case& c : cases) {
        CapturedEvent event = Request(c.first, c.count, "daily");
        SCOPED_TRACE(std::to_string(c.first) + " " + std::to_string(c.count));
        EXPECT_EQ(event.flag, 1);
        EXPECT_EQ(event.total, 4);
        EXPECT_EQ(event.firstRank, c.first);
        EXPECT_EQ(Points(event), c.points);
        EXPECT_EQ(event.scoresNull, c.points.empty());
        if (!event.scores.empty()) {
            EXPECT_EQ(event.scores[0].rank, c.firstRankedAs);
        }
    }
    CapturedEvent tie = Request(3, 2, "daily");  // equal points: the earlier submission first
    ASSERT_EQ(tie.scores.size(), 2u);
    EXPECT_EQ(tie.scores[0].data[0], 1);
    EXPECT_EQ(tie.scores[1].data[0], 2);
    EXPECT_STRNE(tie.scores[0].id, tie.scores[1].id);
    CapturedEvent friends = Request(1, 10, "daily", 1);
    EXPECT_EQ(friends.filter, 1);
    EXPECT_EQ(friends.firstRank, 0);
    EXPECT_EQ(friends.total, 0);
    EXPECT_TRUE(friends.scoresNull);
    CapturedEvent empty = Request(1, 10, "weekly");
    EXPECT_TRUE(WasLogged("No scores in category 'weekly', returning 0 scores."));
    EXPECT_EQ(empty.total, 0);
    EXPECT_TRUE(empty.scoresNull);
}

TEST_F(LocalLeaderboardsTest, DataBytesRoundTripAndThePlayerIsTheSubmissionTime) {
    g_core.developerMode = 1;
    Start();
    const char* keyBefore = table_->GetPlayerName(0);
    std::string firstKey = keyBefore != nullptr ? keyBefore : "";
    Submit("daily", 10, {1, 22, 255});
    Submit("daily", 5);
    EXPECT_NE(firstKey, table_->GetPlayerName(2));  // the key text moves on with each submission
    EXPECT_EQ(firstKey.substr(firstKey.find('_')), "_1");
    std::string file = ReadFile(kDatabase);
    EXPECT_NE(file.find("data=\"1 22 255\""), std::string::npos) << file;  // plain XML in developer mode
    EXPECT_EQ(file.find("data=\"\""), std::string::npos);
    CapturedEvent event = Request(1, 2, "daily");
    ASSERT_EQ(event.scores.size(), 2u);
    EXPECT_EQ(event.scores[0].dataLength, 3);
    EXPECT_EQ(std::vector<uint8_t>(event.scores[0].data, event.scores[0].data + 4),
              (std::vector<uint8_t>{1, 22, 255, 0}));
    EXPECT_EQ(event.scores[1].dataLength, 0);
    EXPECT_EQ(strlen(event.scores[0].player), 16u);  // "YYYY-MM-DD hh:mm"
    EXPECT_EQ(event.scores[0].player[4], '-');
    EXPECT_EQ(event.scores[0].time, 0);
}

TEST_F(LocalLeaderboardsTest, ARestartKeepsEveryScoreInTheScrambledFile) {
    g_core.developerMode = 0;
    Start();
    for (int32_t i = 0; i < 30; ++i) {
        Submit(i % 2 == 0 ? "daily" : "speedrun", i, {static_cast<uint8_t>(i)});
    }
    std::string file = ReadFile(kDatabase);
    EXPECT_EQ(file.compare(0, SCRAMBLED_MARKER_LENGTH, kScrambledDatabaseMarker), 0);
    Stop();
    Start();
    CapturedEvent daily = Request(1, 100, "daily");
    CapturedEvent speedrun = Request(1, 100, "speedrun");
    EXPECT_EQ(daily.total, 15);
    EXPECT_EQ(speedrun.total, 15);
    ASSERT_EQ(speedrun.scores.size(), 15u);
    EXPECT_EQ(speedrun.scores[0].points, 1);
    EXPECT_EQ(speedrun.scores[0].data[0], 1);
    EXPECT_EQ(daily.scores[0].points, 28);
}

TEST_F(LocalLeaderboardsTest, AnUnreadableFileIsSetAsideAndAnEmptyDatabaseStarts) {
    const std::string cases[] = {
        "not a database",
        "<?xml version=\"1.0\"?>\n<root>\n<array id=\"daily\">\n<node player=\"x\" points=\"1\"/>\n",
        "",
        std::string(kScrambledDatabaseMarker) + std::string(20, '\0'),
    };
    int32_t moved = 0;
    for (const std::string& bytes : cases) {
        SCOPED_TRACE(bytes);
        WriteFile(kDatabase, bytes);
        RemoveFile(kUnreadable);
        Start();
        EXPECT_EQ(ReadFile(kUnreadable), bytes);
        EXPECT_EQ(
            CountLogged("[ERROR] Local leaderboards database 'user://leaderboards-db.xml' is unreadable; "
                        "moved to 'user://leaderboards-db.xml.bad'."),
            ++moved);
        Submit("daily", 3);
        EXPECT_EQ(Points(Request(1, 10, "daily")), std::vector<int32_t>{3});
        Stop();
    }
}

TEST_F(LocalLeaderboardsTest, AFileThatCannotBeSetAsideIsNeverOverwritten) {
    const std::string bytes = "<root><array id=\"daily\"><node points=\"77\"";
    WriteFile(kDatabase, bytes);
    std::filesystem::create_directories(NativePath(kUnreadable) + "/blocked");
    Start();
    Submit("daily", 3);
    CapturedEvent event = Request(1, 10, "daily");
    EXPECT_EQ(event.flag, 0);
    EXPECT_EQ(event.error, "Not yet initialized.");
    EXPECT_EQ(ReadFile(kDatabase), bytes);
    EXPECT_TRUE(WasLogged("is unreadable and could not be moved"));
}

// A file an earlier run set aside keeps its name; the next one takes the next.
TEST_F(LocalLeaderboardsTest, AnUnreadableFileNeverReplacesOneSetAsideBefore) {
    const char next[] = "user://leaderboards-db.xml-1.bad";
    WriteFile(kUnreadable, "set aside before");
    WriteFile(kDatabase, "unreadable");
    Start();
    EXPECT_TRUE(WasLogged("is unreadable; moved to 'user://leaderboards-db.xml-1.bad'."));
    EXPECT_EQ(ReadFile(kUnreadable), "set aside before");
    EXPECT_EQ(ReadFile(next), "unreadable");
    RemoveFile(next);
}

TEST_F(LocalLeaderboardsTest, AFailedSaveLeavesTheOldFileAndKeepsTheScoreInMemory) {
    Start();
    Submit("daily", 1);
    const std::string saved = ReadFile(kDatabase);
    std::filesystem::create_directories(NativePath(kTemporary));  // the temporary file cannot be made
    Submit("daily", 2);
    EXPECT_EQ(ReadFile(kDatabase), saved);
    EXPECT_EQ(Popups(),
              std::vector<std::string>{"Unable to open file 'user://leaderboards-db.xml.tmp' for writing."});
    EXPECT_EQ(Points(Request(1, 10, "daily")), (std::vector<int32_t>{2, 1}));
}

// A message box waits for the user: one raised by a failing save is shown only once the save has
// let go of the user folder's lock, which other savers would wait for until their saves fail;
// before the program's Init and after it (the main thread then shows its own popups).
TEST_F(LocalLeaderboardsTest, AFailedSaveShowsItsPopupOnlyOnceTheUserFolderIsFree) {
    static std::vector<bool> folderFree;
    folderFree.clear();
    g_core.popupMessage = [](int32_t, const char*) -> int32_t {
        bool free = false;
        std::thread other([&] {
            intptr_t lock = 0;
            free = ZQI_NativeLockFolder(NativePath("user://").c_str(), 0, &lock) == NATIVE_LOCK_TAKEN;
            if (free) {
                ZQI_NativeUnlockFolder(lock);
            }
        });
        other.join();
        folderFree.push_back(free);
        return 0;
    };
    ZQI_InitializeMainThread();
    Start();
    Submit("daily", 1);
    std::filesystem::create_directories(NativePath(kTemporary));  // the temporary file cannot be made
    for (uint8_t initCalled : {0, 1}) {
        g_core.programInitCalled = initCalled;
        Submit(initCalled == 0 ? "daily" : "speedrun", 2);
    }
    g_core.programInitCalled = 0;
    ZQI_ReleasePopupLists();  // the text shown stays shown for this test only
    EXPECT_EQ(folderFree, (std::vector<bool>{true, true}));
}

// On a full disk the temporary file is made but its data never arrives: it must not replace the
// stored file.
TEST_F(LocalLeaderboardsTest, ASaveOntoAFullDiskLeavesTheOldFile) {
    Start();
    Submit("daily", 1);
    const std::string saved = ReadFile(kDatabase);
    {
        EngineTest::ScopedFullDisk full(SCHEME_USER, "leaderboards-db.xml.tmp");
        Submit("daily", 2);
        EXPECT_EQ(full.System().failedOpenings, 1);
    }
    EXPECT_EQ(ReadFile(kDatabase), saved);
    EXPECT_EQ(Popups(),
              std::vector<std::string>{
                  "DMDatabase::SaveFile: could not write all of 'user://leaderboards-db.xml.tmp'."});
    EXPECT_EQ(Points(Request(1, 10, "daily")), (std::vector<int32_t>{2, 1}));
    Stop();
    Start();
    EXPECT_EQ(Points(Request(1, 10, "daily")), (std::vector<int32_t>{1}));
}

#if defined(_WIN32)
// One commit per save, of the temporary file before it takes the stored file's place.
TEST_F(LocalLeaderboardsTest, EachSaveCommitsToTheDiskOnce) {
    Start();
    Submit("daily", 1);
    EngineTest::ScopedDiskCommitCounter commits;
    ASSERT_GT(commits.RedirectedEntries(), 0);
    for (int32_t points = 2; points <= 11; ++points) {
        Submit("daily", points);
    }
    EXPECT_EQ(commits.Count(), 10);
}
#endif

TEST_F(LocalLeaderboardsTest, SubmissionsFromSeveralThreadsAreAllCounted) {
    Start();
    std::vector<std::thread> threads;
    for (int32_t t = 0; t < 4; ++t) {
        threads.emplace_back([this, t] {
            for (int32_t i = 0; i < 30; ++i) {
                Submit("daily", t * 100 + i);
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    CapturedEvent event = Request(1, 1, "daily");
    EXPECT_EQ(event.total, 100);
    EXPECT_EQ(Points(event), std::vector<int32_t>{329});
    const std::string key = table_->GetPlayerName(0);
    EXPECT_EQ(key.substr(key.find('_')), "_121");
}

// Players' texts and a category of every byte value 1-255 in a stored file: a save writes them
// back so that a restart reads them all (a spoilt text got the whole board set aside).
TEST_F(LocalLeaderboardsTest, EveryByteOfPlayersAndCategorySurvivesASaveAndARestart) {
    std::string every;
    for (int b = 1; b <= 255; ++b) {
        every += static_cast<char>(b);
    }
    std::string file = "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\n<root>\n<array id=\"" +
                       AttributeValue(every) + "\">\n";
    for (size_t i = 0; i * 51 < every.size(); ++i) {  // pieces that fit the player field
        file += "<node player=\"" + AttributeValue(every.substr(i * 51, 51)) + "\" points=\"" +
                std::to_string(100 - i) + "\" />\n";
    }
    WriteFile(kDatabase, file + "</array>\n</root>\n");
    Start();
    Submit(every.c_str(), 1);  // saves the whole file
    Stop();
    Start();
    CapturedEvent event = Request(1, 100, every.c_str());
    EXPECT_EQ(event.category, every);
    ASSERT_EQ(event.scores.size(), every.size() / 51 + 1);
    for (size_t i = 0; i + 1 < event.scores.size(); ++i) {
        EXPECT_EQ(std::string(event.scores[i].player), every.substr(i * 51, 51)) << "player #" << i;
    }
}

// A category whose id the file cannot hold (its tag <array id="..."> past the reader's 16383
// characters, a quote written as "&quot;") is not stored, and the other categories are saved. Such
// a score used to be saved, and the next start set every board aside.
TEST_F(LocalLeaderboardsTest, ACategoryTheFileCannotHoldIsNotStoredAndTheOthersAreSaved) {
    const struct {
        std::string category;
        bool stored;
    } cases[] = {
        {std::string(16371, 'c'), true},
        {std::string(16372, 'c'), false},
        {std::string(2728, '"') + "abc", true},
        {std::string(2729, '"'), false},
    };
    int32_t refusals = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.category.size()) + " characters, " + c.category.substr(0, 1));
        RemoveFile(kDatabase);
        Start();
        Submit("daily", 1);
        Submit(c.category.c_str(), 5);
        Submit("daily", 2);
        refusals += c.stored ? 0 : 1;
        EXPECT_EQ(CountLogged("cannot be stored in 'user://leaderboards-db.xml'; the score is not stored."),
                  refusals);
        EXPECT_TRUE(Popups().empty()) << Popups()[0];
        Stop();
        Start();
        EXPECT_EQ(Points(Request(1, 10, "daily")), (std::vector<int32_t>{2, 1}));
        EXPECT_EQ(Points(Request(1, 10, c.category.c_str())),
                  c.stored ? std::vector<int32_t>{5} : std::vector<int32_t>{});
        EXPECT_EQ(ReadFile(kUnreadable).size(), 0u) << "the board was set aside";
        Stop();
    }
}

// A database the reader would not take back is not saved: the file stays and the next start reads
// it. A stored player of 2,800 quotes (16,800 characters written), and a stored node of 512 pairs.
TEST_F(LocalLeaderboardsTest, ASaveTheReaderCouldNotReadBackLeavesTheOldFile) {
    for (bool manyPairs : {false, true}) {
        SCOPED_TRACE(manyPairs ? "512 pairs" : "2,800 quotes");
        std::string quotes;
        for (int32_t i = 0; i < 2800; ++i) {
            quotes += "\\\"";  // read as one quote
        }
        WriteFile(kDatabase, "<?xml version=\"1.0\"?>\n<root>\n<array id=\"daily\">\n<node player=\"" +
                                 (manyPairs ? "" : quotes) + "\" points=\"1\" />\n</array>\n</root>\n");
        Start();
        DMNode* node = DataManager::CreateDatabase(kDatabase)->GetArray("daily")->nodes[0];
        for (int32_t i = 0; manyPairs && i < 510; ++i) {
            node->AppendPair(("k" + std::to_string(i)).c_str(), "v");
        }
        const std::string saved = ReadFile(kDatabase);
        Popups().clear();
        Submit("daily", 2);
        EXPECT_TRUE(ReadFile(kDatabase) == saved) << "the stored file changed";
        ASSERT_EQ(Popups().size(), 1u);
        EXPECT_NE(Popups()[0].find("'user://leaderboards-db.xml.tmp' is not saved"), std::string::npos);
        Stop();
        Start();
        EXPECT_EQ(Points(Request(1, 10, "daily")), std::vector<int32_t>{1});
        EXPECT_EQ(ReadFile(kUnreadable).size(), 0u) << "the board was set aside";
        Stop();
    }
}

}  // namespace
