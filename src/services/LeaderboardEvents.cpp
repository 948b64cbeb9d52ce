// Building and posting the leaderboard events, with the developer prints that announce them.
#include "services/LeaderboardEvents.h"

#include <algorithm>
#include <cstring>

#include "core/ApiTable.h"
#include "core/EventQueue.h"
#include "services/LeaderboardsImplementation.h"

namespace {

const char* OrEmpty(const char* text) {
    return text != nullptr ? text : "";
}

}  // namespace

const char* ZQI_GetLeaderboardFilterName(int32_t filter) {
    switch (filter) {
        case LEADERBOARD_FILTER_GLOBAL:
            return "GLOBAL";
        case LEADERBOARD_FILTER_FRIENDS:
            return "FRIENDS";
        default:
            return "ERROR";
    }
}

char* CopyStringForProgram(const char* text) {
    if (text == nullptr) {
        return nullptr;
    }
    size_t length = strlen(text);
    if (length >= UINT32_MAX) {
        return nullptr;
    }
    char* copy = static_cast<char*>(ZQ_AllocateMemory(static_cast<uint32_t>(length + 1)));
    if (copy != nullptr) {
        memcpy(copy, text, length + 1);
    }
    return copy;
}

LeaderboardScore* ZQI_AllocateLeaderboardScores(int64_t count) {
    if (count <= 0 || count > static_cast<int64_t>(UINT32_MAX / sizeof(LeaderboardScore))) {
        return nullptr;
    }
    uint32_t bytes = static_cast<uint32_t>(count) * static_cast<uint32_t>(sizeof(LeaderboardScore));
    void* scores = ZQ_AllocateMemory(bytes);
    if (scores != nullptr) {
        memset(scores, 0, bytes);
    }
    return static_cast<LeaderboardScore*>(scores);
}

void SendLeaderboardScoresEvent(const char* category, int32_t filter, int32_t firstRank, int32_t count,
                                LeaderboardScore* scores, int32_t total) {
    zq_event_t event;
    ZQ_InitializeEvent(&event, ZQ_EVENT_LEADERBOARD_SCORES);
    event.leaderboard_scores.has_scores = 1;
    event.leaderboard_scores.category = CopyStringForProgram(category);
    event.leaderboard_scores.total = total;
    event.leaderboard_scores.filter = filter;
    event.leaderboard_scores.first_rank = firstRank;
    event.leaderboard_scores.count = count;
    event.leaderboard_scores.scores = count > 0 ? scores : nullptr;
    const char* filterName = ZQI_GetLeaderboardFilterName(filter);
    if (count >= 1) {
        // The last rank is worked out wide: a first rank near the top of the range must not wrap.
        long long lastRank = static_cast<long long>(firstRank) + count - 1;
        ZQ_Print("Sending event with scores %d..%lld (%d scores of %d) for category '%s' with filter '%s'",
                 firstRank, lastRank, count, total, OrEmpty(category), filterName);
    } else {
        ZQ_Print("Sending event with no scores (%d scores in category) for category '%s' with filter '%s'",
                 total, OrEmpty(category), filterName);
        ZQ_FreeMemory(scores);  // an answer without records carries no array
    }
    ZQI_PostEvent(&event);
}

void SendLeaderboardErrorEvent(const char* category, int32_t filter, const char* reason) {
    zq_event_t event;
    ZQ_InitializeEvent(&event, ZQ_EVENT_LEADERBOARD_SCORES);
    event.leaderboard_scores.has_scores = 0;
    event.leaderboard_scores.error = CopyStringForProgram(reason);
    event.leaderboard_scores.category = CopyStringForProgram(category);
    event.leaderboard_scores.filter = filter;
    ZQ_Print("Sending leaderboards error event for category '%s' filter '%s' with reason '%s'.",
             OrEmpty(category), ZQI_GetLeaderboardFilterName(filter), OrEmpty(reason));
    ZQI_PostEvent(&event);
}

int32_t ZQI_GetRequestedPositions(int32_t firstRank, int32_t count, int32_t size, int32_t* begin) {
    int64_t from = std::max<int64_t>(static_cast<int64_t>(firstRank) - 1, 0);
    int64_t to =
        std::min<int64_t>(static_cast<int64_t>(firstRank) - 2 + count, static_cast<int64_t>(size) - 1);
    *begin = static_cast<int32_t>(std::min<int64_t>(from, size));
    return to >= from ? static_cast<int32_t>(to - from + 1) : 0;
}
