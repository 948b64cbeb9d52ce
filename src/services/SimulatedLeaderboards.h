// Simulated leaderboards (feature word SIMULATED_LEADERBOARDS): every category of the categories
// file filled with generated players, the local players' submissions kept among them, generated
// players moving after each submission, and answers delivered like a remote service's: later,
// from a registered "SimulatedLeaderboards" thread of their own. Everything lives in memory.
// Programs may call from any thread: the categories change under the implementation's lock.
#pragma once

#include "foundation/Array.h"
#include "foundation/String.h"
#include "foundation/StringMap.h"
#include "services/LeaderboardsImplementation.h"

struct NamedMutex;

// One category: its id and its entries, sorted by the category's order and ranked 1..N after
// every change.
struct SimulatedLeaderboardCategory {
    String id;
    Array<LeaderboardScore> scores;
};

class SimulatedLeaderboardsImplementation final : public BuiltInLeaderboardsImplementation {
public:
    // Number of words in the name pool that generated display names are made from.
    static const int32_t kNamePoolSize = 62;

    SimulatedLeaderboardsImplementation();
    ~SimulatedLeaderboardsImplementation();

    void Destroy(uint32_t flags) override { ZQI_DestroyEngineObject(this, flags); }
    ImplementationType GetType() override { return IMPLEMENTATION_LEADERBOARDS; }
    const char* GetName() override { return "Simulated"; }
    // Fills the categories; false without LEADERBOARDS or without a "CATEGORIES" array.
    bool Initialize() override;
    // Frees every category.
    void Shutdown() override;

    void SubmitScore(int32_t player, LeaderboardScore* score, const char* category) override;
    bool RequestScores(int32_t firstRank, int32_t count, int32_t filter, const char* category) override;
    bool RequestScoresAroundUserRank(int32_t player, int32_t count, const char* category) override;
    // "LOCAL_USER_<player>" for players 0 to 3; null otherwise.
    const char* GetPlayerName(int32_t player) override;

    // For tests and the developer: the category of that id (null when none); read it only while
    // no other thread submits or requests.
    const SimulatedLeaderboardCategory* FindCategory(const char* id) const;
    // The ids of the generated players that count as the local players' friends.
    const Array<String>& Friends() const { return friends_; }

private:
    void FillCategory(const char* id, int32_t index);
    void PlaceLocalPlayers(SimulatedLeaderboardCategory* category);
    void MoveGeneratedPlayers(SimulatedLeaderboardCategory* category);
    void AppendNewGeneratedPlayers(SimulatedLeaderboardCategory* category);
    void RemoveRandomGeneratedPlayers(SimulatedLeaderboardCategory* category);
    void SortAndRank(SimulatedLeaderboardCategory* category);
    void FormatGeneratedName(char* out, size_t size, int32_t number);
    int32_t FindEntry(const SimulatedLeaderboardCategory* category, const char* id) const;
    bool IsFriend(const LeaderboardScore& entry) const;
    void ReleaseCategories();

    StringMap<SimulatedLeaderboardCategory*> categories_;
    Array<String> friends_;
    Array<String> namePool_;
    String localPlayerIds_[LEADERBOARD_LOCAL_PLAYER_COUNT];
    NamedMutex* lock_;
};
