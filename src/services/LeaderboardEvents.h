// How leaderboard answers reach the program: ZQ_EVENT_LEADERBOARD_SCORES events in their scores
// and error forms, posted from any thread and delivered on the main thread. Texts and score
// arrays in them come from the engine's general heap; the event queue owns them once posted and
// frees them after the program's event callback has returned.
#pragma once

#include <cstdint>

#include "zorqa.h"

// A heap copy (ZQ_AllocateMemory) of text with its NUL; null for null or when out of memory.
char* CopyStringForProgram(const char* text);

// Posts the scores form: a copy of the category, the filter, the first rank, count records of
// scores (which the event takes over; null when count is 0) and the total the list holds.
void SendLeaderboardScoresEvent(const char* category, int32_t filter, int32_t firstRank, int32_t count,
                                LeaderboardScore* scores, int32_t total);
// Posts the error form with copies of the reason and the category (which may be null).
void SendLeaderboardErrorEvent(const char* category, int32_t filter, const char* reason);

// A heap array (ZQ_AllocateMemory, zeroed) for count records; null for count <= 0, for a size
// that does not fit the allocator's 32-bit size, or when out of memory.
LeaderboardScore* ZQI_AllocateLeaderboardScores(int64_t count);

// The list positions a request for count scores from firstRank (1-based) covers inside a list of
// size entries: returns how many there are and sets *begin to the first. Worked out wide, so no
// first rank or count wraps; 0 when the request lies outside the list or count <= 0.
int32_t ZQI_GetRequestedPositions(int32_t firstRank, int32_t count, int32_t size, int32_t* begin);
