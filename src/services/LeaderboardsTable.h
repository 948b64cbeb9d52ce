// The leaderboards sub-table of the engine API: the requests and submissions forwarded to the
// resolved leaderboards implementation (with the developer prints around them), and the
// categories of "leaderboards/leaderboards.xml", which the table reads itself through the data
// manager whatever implementation is resolved.
#pragma once

#include <cstdint>

#include "zorqa.h"

// The categories file: a plain path, found through the search paths.
#define ZQI_LEADERBOARD_CATEGORIES_FILE "leaderboards/leaderboards.xml"

void ZQI_FillLeaderboardsTable(zq_leaderboards_api_t* table);

// Prints "Submitting score of %d points to category '%s'" (also without an implementation) and
// hands a private copy of the record to the implementation. A null score is refused.
void ZQ_Leaderboards_SubmitScore(int32_t player, const LeaderboardScore* score, const char* category);
bool ZQ_Leaderboards_RequestScores(int32_t firstRank, int32_t count, int32_t filter, const char* category);
bool ZQ_Leaderboards_RequestScoresAroundUserRank(int32_t player, int32_t count, const char* category);
bool ZQ_Leaderboards_Operation15();
void ZQ_Leaderboards_ShowLeaderboards(int32_t player, const char* category);
// Players 0 to 3 only.
const char* ZQ_Leaderboards_GetPlayerName(int32_t player);
int32_t ZQ_Leaderboards_GetLoginState(int32_t player);
// Without an implementation a popup; in developer mode, checks the category ids after login.
void ZQ_Leaderboards_Login(int32_t player);
bool ZQ_Leaderboards_Operation11();
void ZQ_Leaderboards_Operation12(const char* text);
int32_t ZQ_Leaderboards_GetCategoryCount();
const char* ZQ_Leaderboards_GetCategoryId(int32_t index);
int32_t ZQ_Leaderboards_GetCategoryIndex(const char* id);
// True when the category's "sort" is "LOWEST_SCORE_FIRST" or "ASCENDING" (exact).
bool ZQ_Leaderboards_IsLowestScoreFirst(const char* id);
int32_t ZQ_Leaderboards_Operation17();
const char* ZQ_Leaderboards_GetCategoryValue(const char* id, const char* key);
