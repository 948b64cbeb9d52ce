// The leaderboards sub-table: the categories file, the login checks of category ids, the
// prints around requests and submissions, and the private copy of a submitted score.
#include <cstring>

#include "ServicesTestSupport.h"
#include "core/ApiTable.h"

namespace {

class RecordingLeaderboards final : public BuiltInLeaderboardsImplementation {
public:
    void Destroy(uint32_t) override {}
    ImplementationType GetType() override { return IMPLEMENTATION_LEADERBOARDS; }
    const char* GetName() override { return "Recording"; }
    void SubmitScore(int32_t, LeaderboardScore* score, const char*) override {
        submitted.push_back(*score);
        memset(score, 0x5A, sizeof(*score));  // the implementation may change its copy
    }
    bool RequestScores(int32_t first, int32_t count, int32_t filter, const char*) override {
        requests.push_back({first, count, filter});
        return accept;
    }
    bool RequestScoresAroundUserRank(int32_t, int32_t, const char*) override { return accept; }
    const char* GetPlayerName(int32_t) override { return "anyone"; }
    int32_t GetLoginState(int32_t) override { return loginState; }
    void Login(int32_t) override { ++logins; }

    std::vector<LeaderboardScore> submitted;
    std::vector<std::vector<int32_t>> requests;
    bool accept = true;
    int32_t loginState = 0;
    int logins = 0;
};

class LeaderboardsTableTest : public ServicesTest {
protected:
    void Resolve() {
        module_.offered[IMPLEMENTATION_LEADERBOARDS] = &boards_;
        RegisterExtensionModule(&module_);
        SetFeatures("LEADERBOARDS");
        ResolveImplementations();
    }

    zq_leaderboards_api_t* table_ = ZQI_GetApi()->leaderboards;
    RecordingLeaderboards boards_;
    TestModule module_{"Boards"};
};

TEST_F(LeaderboardsTableTest, CategoriesComeFromTheFileWhateverIsResolved) {
    RemoveFile("res://leaderboards/leaderboards.xml");
    EXPECT_EQ(table_->GetCategoryCount(), 0);
    EXPECT_EQ(table_->GetCategoryId(0), nullptr);
    EXPECT_EQ(table_->GetCategoryIndex("daily"), -1);
    EXPECT_FALSE(table_->IsLowestScoreFirst("daily"));
    WriteCategories(
        "<node id=\"daily\" sort=\"LOWEST_SCORE_FIRST\" title=\"Daily\"/>\n<node title=\"nameless\"/>\n"
        "<node id=\"weekly\" sort=\"ASCENDING\"/>\n<node id=\"total\" sort=\"ascending\"/>\n");
    EXPECT_EQ(table_->GetCategoryCount(), 4);
    EXPECT_STREQ(table_->GetCategoryId(2), "weekly");
    EXPECT_EQ(table_->GetCategoryId(1), nullptr);
    EXPECT_EQ(table_->GetCategoryId(4), nullptr);
    EXPECT_EQ(table_->GetCategoryId(-1), nullptr);
    EXPECT_EQ(table_->GetCategoryIndex("total"), 3);
    EXPECT_EQ(table_->GetCategoryIndex(nullptr), -1);
    EXPECT_EQ(table_->GetCategoryIndex("monthly"), -1);
    EXPECT_TRUE(table_->IsLowestScoreFirst("daily"));
    EXPECT_TRUE(table_->IsLowestScoreFirst("weekly"));
    EXPECT_FALSE(table_->IsLowestScoreFirst("total"));  // the words are exact
    EXPECT_FALSE(table_->IsLowestScoreFirst(nullptr));
    EXPECT_STREQ(table_->GetCategoryValue("daily", "title"), "Daily");
    EXPECT_EQ(table_->GetCategoryValue("daily", "icon"), nullptr);
    EXPECT_EQ(table_->GetCategoryValue("monthly", "title"), nullptr);
    EXPECT_EQ(table_->GetCategoryValue(nullptr, "title"), nullptr);
}

TEST_F(LeaderboardsTableTest, LoginChecksTheCategoryIdsInDeveloperMode) {
    table_->Login(0);
    ASSERT_EQ(Popups().size(), 1u);
    EXPECT_EQ(
        Popups()[0].rfind("No leaderboard implementation defined while calling zq->leaderboards->Login.", 0),
        0u);
    Popups().clear();
    const std::string forty(40, 'a');
    WriteCategories("<node id=\"good_id_7\"/>\n<node id=\"9lives\"/>\n<node id=\"a-b-c\"/>\n<node id=\"" +
                    forty + "\"/>\n<node title=\"none\"/>\n");
    Resolve();
    table_->Login(1);
    const std::vector<std::string> expected = {
        "Leaderboard category id '9lives' has to start with an English alphabet.",
        "Leaderboard category id 'a-b-c' can only contain English alphabets, digits, and '_' character.",
        "Leaderboard category id 'a-b-c' can only contain English alphabets, digits, and '_' character.",
        "Leaderboard category id '" + forty + "' is too long (can be max 31 characters).",
        "Leaderboard category with index 4 has no id. Id is required.",
    };
    EXPECT_EQ(Popups(), expected);
    EXPECT_EQ(boards_.logins, 1);
    EXPECT_TRUE(WasLogged("Login for player 1"));
    // A player already logged in is left alone, and nothing is checked.
    Popups().clear();
    boards_.loginState = 2;
    table_->Login(1);
    EXPECT_EQ(boards_.logins, 1);
    EXPECT_TRUE(Popups().empty());
}

TEST_F(LeaderboardsTableTest, RequestsPrintTheirRangeAndFilter) {
    Resolve();
    EXPECT_TRUE(table_->RequestScores(5, 10, 0, "daily"));
    EXPECT_TRUE(table_->RequestScores(1, 0, 1, "daily"));
    EXPECT_TRUE(table_->RequestScores(INT32_MAX, 10, 7, "daily"));
    EXPECT_TRUE(WasLogged("Requesting scores 5..14 (10 scores) for category 'daily' with filter 'GLOBAL'"));
    EXPECT_TRUE(WasLogged("Requesting scores 1..0 (0 scores) for category 'daily' with filter 'FRIENDS'"));
    EXPECT_TRUE(WasLogged(
        "Requesting scores 2147483647..2147483656 (10 scores) for category 'daily' with filter 'ERROR'"));
    const std::vector<std::vector<int32_t>> passed = {{5, 10, 0}, {1, 0, 1}, {INT32_MAX, 10, 7}};
    EXPECT_EQ(boards_.requests, passed);  // unchanged, the unknown filter too
    boards_.accept = false;
    EXPECT_FALSE(table_->RequestScores(1, 10, 0, "daily"));
    EXPECT_FALSE(table_->RequestScoresAroundUserRank(2, 10, "daily"));
    EXPECT_TRUE(WasLogged("RequestScores returned false. No return event will be sent."));
    EXPECT_TRUE(WasLogged("Requesting 10 scores around user #2 for category 'daily'"));
    EXPECT_TRUE(WasLogged("RequestScoresAroundUserRank returned false. No return event will be sent."));
    EXPECT_FALSE(table_->RequestScores(1, 10, 0, nullptr));  // refused before the implementation
    EXPECT_EQ(boards_.requests.size(), 4u);
    EXPECT_STREQ(table_->GetPlayerName(3), "anyone");
    EXPECT_EQ(table_->GetPlayerName(4), nullptr);  // only the four local players are asked for
    EXPECT_EQ(table_->GetPlayerName(-1), nullptr);
}

TEST_F(LeaderboardsTableTest, SubmissionsPassAPrivateCopyWithItsDataKeptInTheRecord) {
    LeaderboardScore score = MakeScore(42, {1, 2, 3});
    table_->SubmitScore(0, &score, "daily");  // printed even without an implementation
    EXPECT_EQ(CountLogged("Submitting score of 42 points to category 'daily'"), 1);
    Resolve();
    memset(score.id, 'i', sizeof(score.id));  // no NUL inside the texts
    memset(score.player, 'p', sizeof(score.player));
    const LeaderboardScore original = score;
    table_->SubmitScore(0, &score, "daily");
    EXPECT_EQ(memcmp(&score, &original, sizeof(score)), 0);
    ASSERT_EQ(boards_.submitted.size(), 1u);
    EXPECT_EQ(strlen(boards_.submitted[0].id), sizeof(score.id) - 1);
    EXPECT_EQ(strlen(boards_.submitted[0].player), sizeof(score.player) - 1);
    for (int32_t length : {189, INT32_MAX, -1}) {
        score.dataLength = length;
        table_->SubmitScore(0, &score, "daily");
        EXPECT_EQ(boards_.submitted.back().dataLength, length < 0 ? 0 : 188) << length;
    }
    table_->SubmitScore(0, nullptr, "daily");
    table_->SubmitScore(0, &score, nullptr);
    EXPECT_EQ(boards_.submitted.size(), 4u);
    EXPECT_TRUE(WasLogged("ZQ_Leaderboards_SubmitScore: no category given."));
}

}  // namespace
