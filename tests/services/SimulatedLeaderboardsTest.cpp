// The simulated leaderboards: generated categories from the services' own generator, local
// players among them, submissions, and the delayed answers of every request kind.
#include <chrono>
#include <cstring>
#include <thread>

#include "ServicesTestSupport.h"
#include "core/ApiTable.h"
#include "services/ServiceRandom.h"
#include "services/SimulatedLeaderboards.h"

namespace {

class SimulatedLeaderboardsTest : public ServicesTest {
protected:
    void SetUp() override {
        ServicesTest::SetUp();
        WriteCategories(
            "<node id=\"alpha\"/>\n<node id=\"beta\" sort=\"LOWEST_SCORE_FIRST\"/>\n<node id=\"gamma\"/>\n");
        SetFeatures("LEADERBOARDS");
        module_.offered[IMPLEMENTATION_LEADERBOARDS] = &boards_;
        RegisterExtensionModule(&module_);
        ResolveImplementations();
        // A thread of its own: its generator starts from the seed, as the engine's main thread does.
        std::thread([this] { initialized_ = boards_.Initialize(); }).join();
    }

    void TearDown() override {
        WaitForServiceThreads();
        boards_.Shutdown();
        ServicesTest::TearDown();
    }

    const SimulatedLeaderboardCategory& Category(const char* id) {
        const SimulatedLeaderboardCategory* category = boards_.FindCategory(id);
        EXPECT_NE(category, nullptr) << id;
        static SimulatedLeaderboardCategory none;
        return category != nullptr ? *category : none;
    }

    static int32_t FindEntry(const SimulatedLeaderboardCategory& category, const char* id) {
        for (int32_t i = 0; i < category.scores.count; ++i) {
            if (strcmp(category.scores[i].id, id) == 0) {
                return i;
            }
        }
        return -1;
    }

    zq_leaderboards_api_t* table_ = ZQI_GetApi()->leaderboards;
    SimulatedLeaderboardsImplementation boards_;
    TestModule module_{"Simulation"};
    bool initialized_ = false;
};

TEST_F(SimulatedLeaderboardsTest, TheFirstCategoryOfAFreshThreadHoldsFortyOneRankedPlayers) {
    ASSERT_TRUE(initialized_);
    EXPECT_TRUE(WasLogged("Initializing category 'alpha' with 41 fake scores."));
    const SimulatedLeaderboardCategory& alpha = Category("alpha");
    ASSERT_EQ(alpha.scores.count, 41);
    int32_t locals = 0;
    for (int32_t i = 0; i < alpha.scores.count; ++i) {
        const LeaderboardScore& entry = alpha.scores[i];
        EXPECT_EQ(entry.rank, i + 1);
        if (i > 0) {
            EXPECT_GE(alpha.scores[i - 1].points, entry.points);
        }
        bool local = strncmp(entry.id, "LOCAL_USER_", 11) == 0;
        locals += local ? 1 : 0;
        EXPECT_TRUE(local || strncmp(entry.id, "OTHER_PLAYER_", 13) == 0) << entry.id;
        EXPECT_EQ(strncmp(entry.player, "Local Player ", 13) == 0, local) << entry.player;
    }
    EXPECT_GE(locals, 1);
    const SimulatedLeaderboardCategory& beta = Category("beta");
    for (int32_t i = 1; i < beta.scores.count; ++i) {
        EXPECT_LE(beta.scores[i - 1].points, beta.scores[i].points);  // lowest first
    }
    EXPECT_GE(boards_.Friends().count, 1);
    EXPECT_LE(boards_.Friends().count, 3);  // at most one per category
    EXPECT_STREQ(boards_.GetPlayerName(3), "LOCAL_USER_3");
    EXPECT_EQ(boards_.GetPlayerName(4), nullptr);
}

TEST_F(SimulatedLeaderboardsTest, SubmissionsReplaceTheLocalPlayersPointsOrAppendPlayersWithoutId) {
    LeaderboardScore score = MakeScore(3, {9});
    table_->SubmitScore(0, &score, "alpha");  // worse than anything generated: it still replaces
    table_->SubmitScore(5, &score, "alpha");
    table_->SubmitScore(5, &score, "alpha");
    table_->SubmitScore(0, &score, "no-such-category");
    const SimulatedLeaderboardCategory& alpha = Category("alpha");
    int32_t local = FindEntry(alpha, "LOCAL_USER_0");
    ASSERT_GE(local, 0);
    EXPECT_EQ(alpha.scores[local].points, 3);
    int32_t withoutId = 0;
    for (const LeaderboardScore& entry : alpha.scores) {
        if (entry.id[0] == '\0') {
            ++withoutId;
            EXPECT_STREQ(entry.player, "Local Player 5");
            EXPECT_EQ(entry.data[0], 9);
        }
    }
    EXPECT_EQ(withoutId, 2);
    for (int32_t i = 0; i < alpha.scores.count; ++i) {
        EXPECT_EQ(alpha.scores[i].rank, i + 1);
    }
}

TEST_F(SimulatedLeaderboardsTest, EveryAnswerComesFromItsOwnThreadAfterTheFirstDelay) {
    const SimulatedLeaderboardCategory& alpha = Category("alpha");
    const int32_t size = alpha.scores.count;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(table_->RequestScores(1, 10, 0, "alpha"));
    EXPECT_TRUE(table_->RequestScores(1, 100, 1, "alpha"));
    EXPECT_TRUE(table_->RequestScores(size + 1, 10, 0, "alpha"));
    EXPECT_TRUE(table_->RequestScores(1, 10, 0, "nope"));
    EXPECT_TRUE(DeliverEvents().empty());  // nothing before the delay
    WaitForServiceThreads();
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_GE(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count(), 542);
    std::vector<CapturedEvent> events = DeliverEvents();
    ASSERT_EQ(events.size(), 4u);
    for (const CapturedEvent& event : events) {  // the threads post in any order
        if (event.flag == 0) {
            EXPECT_EQ(event.error, "Unknown leaderboard category 'nope'.");
        } else if (event.filter == 1) {  // friends and local players, ranked among themselves
            EXPECT_EQ(event.count, event.total);
            EXPECT_LT(event.total, size);
            for (int32_t i = 0; i < event.count; ++i) {
                EXPECT_EQ(event.scores[i].rank, i + 1);
            }
        } else if (event.firstRank == 1) {
            ASSERT_EQ(event.count, 10);
            EXPECT_EQ(event.scores[9].rank, 10);
            EXPECT_EQ(event.total, size);
        } else {  // past the end: no records, no array
            EXPECT_EQ(event.count, 0);
            EXPECT_TRUE(event.scoresNull);
        }
    }
}

TEST(ServiceRandomTest, EveryThreadStartsFromTheSameSeed) {
    int32_t draws[2][3];
    for (auto& row : draws) {
        std::thread([&row] {
            for (int32_t& draw : row) {
                draw = ZQI_ServiceRandom();
            }
        }).join();
    }
    // state = state * 214013 + 2531011 from 1, bits 16 to 30.
    EXPECT_EQ(draws[0][0], 41);
    EXPECT_EQ(draws[0][1], 18467);
    EXPECT_EQ(draws[0][2], 6334);
    EXPECT_EQ(draws[1][0], 41);
    EXPECT_EQ(ZQI_ServiceRandomBelow(0), 0);
}

}  // namespace
