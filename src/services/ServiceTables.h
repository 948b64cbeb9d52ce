// The eight online-service sub-tables of the engine API. Each entry forwards to the
// implementation resolved for its service and gives a fixed answer while there is none. The
// entries take no lock; implementations see to their own thread safety. The leaderboards
// entries are declared in LeaderboardsTable.h.
#pragma once

#include <cstdint>

#include "zorqa.h"

// Fills the achievements, cloud, in-app purchase, leaderboards, notification, social, statistic
// and UGC sub-tables of a built API record (an API table filler).
void ZQI_InstallServiceTables(zq_api_t* api);
// Start-up, right after the API tables are built: installs the service sub-tables into the
// engine's record and registers them for every later rebuild of the tables.
void ZQI_ConnectServiceTables();

// ---- Achievements (without implementation: nothing, false, 0) ----
void ZQ_Achievements_UnlockAchievement(int32_t player, const char* id);
void ZQ_Achievements_SetAchievementProgress(int32_t player, const char* id, int32_t progress);
bool ZQ_Achievements_CanShowAchievements();
void ZQ_Achievements_ShowAchievements(int32_t player);
void ZQ_Achievements_Operation11(const char* text, int32_t value);
intptr_t ZQ_Achievements_Operation12(const char* text);

// ---- Cloud: available whenever one is resolved, whatever it says of itself ----
bool ZQ_Cloud_IsAvailable();
void ZQ_Cloud_Write(const char* key, const void* data, uint32_t size);
zq_buffer_t* ZQ_Cloud_Read(const char* key);
void ZQ_Cloud_Delete(const char* key);

// ---- In-app purchase: every entry needs a resolved implementation that says it is available;
// otherwise it does nothing and answers false ----
bool ZQ_IAP_IsAvailable();
bool ZQ_IAP_PurchaseItem(const char* itemId);
bool ZQ_IAP_RequestItemData(const char* itemList);
bool ZQ_IAP_RestorePurchases();
bool ZQ_IAP_ShowPurchaseProgress();

// ---- Notification ----
bool ZQ_Notification_IsAvailable();
void ZQ_Notification_RegisterForLocalNotifications();
void ZQ_Notification_RemoveAllLocalNotifications();
void ZQ_Notification_SetLocalNotification(const char* text0, const char* text1, const char* text2,
                                          int32_t value);

// ---- Social ----
bool ZQ_Social_IsAvailable();
void ZQ_Social_Login();
void ZQ_Social_Logout();
void ZQ_Social_RequestFriends();
void ZQ_Social_SetLocalUserValue(uint32_t value);
// Asks the implementation only for a non-null id and a size above 3.
zq_bitmap_t* ZQ_Social_GetProfilePicture(const char* userId, int32_t size);

// ---- Statistic ----
void ZQ_Statistic_Operation7(uint32_t value0, uint32_t value1, void* pointer0, void* pointer1);

// ---- UGC (without implementation: unavailable, yet Operation8 answers true) ----
bool ZQ_UGC_IsAvailable();
void ZQ_UGC_Operation7();
bool ZQ_UGC_Operation8();
intptr_t ZQ_UGC_Operation9();
intptr_t ZQ_UGC_Operation10(int32_t value);
void ZQ_UGC_Operation11(void* pointer);
void ZQ_UGC_Operation12(void* pointer);
intptr_t ZQ_UGC_Operation13(void* pointer);
void ZQ_UGC_Operation14();
