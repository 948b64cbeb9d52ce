// The local leaderboards (feature word LOCAL_LEADERBOARDS): the leaderboards implementation of
// "Local Fallbacks", kept in the local database file and answered at once. It knows no players:
// a stored score keeps its points, data bytes and the local date and time of its submission.
#pragma once

#include "services/LeaderboardsImplementation.h"
#include "services/LocalLeaderboardsDatabase.h"

class LocalLeaderboardsImplementation final : public BuiltInLeaderboardsImplementation {
public:
    // Opens (or creates) the database, makes the mutex and starts the submit counter at 1.
    LocalLeaderboardsImplementation();

    void Destroy(uint32_t flags) override { ZQI_DestroyEngineObject(this, flags); }
    ImplementationType GetType() override { return IMPLEMENTATION_LEADERBOARDS; }
    const char* GetName() override { return "LocalDatabase"; }

    // The score's id becomes the new key text "<calendar time>_<counter>"; the player is not used.
    void SubmitScore(int32_t player, LeaderboardScore* score, const char* category) override;
    bool RequestScores(int32_t firstRank, int32_t count, int32_t filter, const char* category) override;
    // Answers ranks 1 .. count; the player is not used.
    bool RequestScoresAroundUserRank(int32_t player, int32_t count, const char* category) override;
    // The current key text, whatever the player.
    const char* GetPlayerName(int32_t player) override;

private:
    void FormatKeyText();

    LocalLeaderboardsDatabase database_;
    int32_t counter_;
    char keyText_[64];
};
