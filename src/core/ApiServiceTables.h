// The online-service sub-tables of the engine API as they answer while no service implementation
// is resolved: every entry gives its fixed answer (false, 0, null, nothing; the UGC entry
// Operation8 true, the leaderboards entry Operation17 30). The leaderboard categories file is not
// readable without the data manager, so the category entries answer as for a missing file.
#pragma once

#include "zorqa.h"

void ZQI_FillAchievementsTable(zq_achievements_api_t* table);
void ZQI_FillCloudTable(zq_cloud_api_t* table);
void ZQI_FillIAPTable(zq_iap_api_t* table);
// SubmitScore still prints its message; Login shows the missing-implementation popup.
void ZQI_FillLeaderboardsTable(zq_leaderboards_api_t* table);
void ZQI_FillNotificationTable(zq_notification_api_t* table);
void ZQI_FillSocialTable(zq_social_api_t* table);
void ZQI_FillStatisticTable(zq_statistic_api_t* table);
void ZQI_FillUGCTable(zq_ugc_api_t* table);
