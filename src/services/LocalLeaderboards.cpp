// The local leaderboards implementation: the submit counter and key text, over the database.
#include "services/LocalLeaderboards.h"

#include <cstdio>

#include "core/ApiTable.h"
#include "core/NamedMutex.h"
#include "services/ScopedLock.h"

LocalLeaderboardsImplementation::LocalLeaderboardsImplementation() : counter_(1) {
    database_.database = ZQI_OpenLocalLeaderboardsDatabase();
    database_.mutex = ZQI_CreateEngineMutex("LOCAL_LEADERBOARDS");
    database_.ready = true;
    database_.save = true;
    FormatKeyText();
}

void LocalLeaderboardsImplementation::FormatKeyText() {
    snprintf(keyText_, sizeof(keyText_), "%d_%d",
             static_cast<int32_t>(static_cast<uint32_t>(ZQ_GetCalendarTime())), counter_);
}

void LocalLeaderboardsImplementation::SubmitScore(int32_t, LeaderboardScore* score, const char* category) {
    if (score == nullptr) {
        return;
    }
    // Submissions may come from several threads: the counter and the key text change together.
    ScopedLock lock(database_.mutex);
    counter_ = counter_ < INT32_MAX ? counter_ + 1 : 1;
    FormatKeyText();
    snprintf(score->id, sizeof(score->id), "%s", keyText_);
    database_.WriteScore(score, category);
}

bool LocalLeaderboardsImplementation::RequestScores(int32_t firstRank, int32_t count, int32_t filter,
                                                    const char* category) {
    database_.Answer(firstRank, count, filter, category);
    return true;
}

bool LocalLeaderboardsImplementation::RequestScoresAroundUserRank(int32_t, int32_t count,
                                                                  const char* category) {
    database_.Answer(1, count, 0, category);
    return true;
}

const char* LocalLeaderboardsImplementation::GetPlayerName(int32_t) {
    return keyText_;
}
