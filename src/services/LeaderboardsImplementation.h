// The leaderboards service interface (IMPLEMENTATION_LEADERBOARDS), after the seven
// BaseImplementation slots. Score requests are asynchronous: a request answers only whether it
// was accepted, and the scores (or an error) reach the program later as a
// ZQ_EVENT_LEADERBOARD_SCORES event (LeaderboardEvents.h).
#pragma once

#include <cstdint>

#include "services/ExtensionModule.h"
#include "zorqa.h"

// Request filters.
enum : int32_t { LEADERBOARD_FILTER_GLOBAL = 0, LEADERBOARD_FILTER_FRIENDS = 1 };
// Players 0 to 3 are the local players a leaderboards implementation is asked about.
enum : int32_t { LEADERBOARD_LOCAL_PLAYER_COUNT = 4 };

// "GLOBAL", "FRIENDS", or "ERROR" for any other filter.
const char* ZQI_GetLeaderboardFilterName(int32_t filter);

class LeaderboardsImplementation : public BaseImplementation {
public:
    // score is the sub-table's private copy, which the implementation may change.
    virtual void SubmitScore(int32_t player, LeaderboardScore* score, const char* category) = 0;
    // firstRank is 1-based; count is the number of scores wanted.
    virtual bool RequestScores(int32_t firstRank, int32_t count, int32_t filter, const char* category) = 0;
    virtual bool RequestScoresAroundUserRank(int32_t player, int32_t count, const char* category) = 0;
    virtual const char* GetPlayerName(int32_t player) = 0;
    virtual bool Operation11() = 0;
    virtual void Operation12(const char* text) = 0;
    virtual void Login(int32_t player) = 0;
    // 0 means not logged in.
    virtual int32_t GetLoginState(int32_t player) = 0;
    virtual bool Operation15() = 0;
    virtual void ShowLeaderboards(int32_t player, const char* category) = 0;
    virtual int32_t Operation17() = 0;

protected:
    ~LeaderboardsImplementation() = default;
};

// The engine's own leaderboards (local database and simulation) answer the optional operations
// alike: no login needed (state 2), nothing to show, Operation17 30.
class BuiltInLeaderboardsImplementation : public LeaderboardsImplementation {
public:
    bool Operation11() override { return false; }
    void Operation12(const char*) override {}
    void Login(int32_t) override {}
    int32_t GetLoginState(int32_t) override { return 2; }
    bool Operation15() override { return false; }
    void ShowLeaderboards(int32_t, const char*) override {}
    int32_t Operation17() override { return 30; }

protected:
    ~BuiltInLeaderboardsImplementation() = default;
};
