// Online-service sub-tables without a resolved implementation: each entry gives the answer the
// service gives when it is missing. No entry logs, except the two leaderboard entries that speak
// whether or not an implementation exists.
#include "core/ApiServiceTables.h"

#include "core/ApiTable.h"
#include "core/Log.h"

namespace {

// Leaderboards answer 30 from Operation17 without an implementation.
const int32_t kLeaderboardsOperation17Default = 30;

// ---- Achievements ----
void UnlockAchievement(int32_t, const char*) {}
void SetAchievementProgress(int32_t, const char*, int32_t) {}
bool CanShowAchievements() {
    return false;
}
void ShowAchievements(int32_t) {}
void AchievementsOperation11(const char*, int32_t) {}
intptr_t AchievementsOperation12(const char*) {
    return 0;
}

// ---- Cloud ----
bool CloudIsAvailable() {
    return false;
}
void CloudWrite(const char*, const void*, uint32_t) {}
zq_buffer_t* CloudRead(const char*) {
    return nullptr;
}
void CloudDelete(const char*) {}

// ---- In-app purchase: every entry needs an available implementation, else false ----
bool IAPIsAvailable() {
    return false;
}
bool IAPPurchaseItem(const char*) {
    return false;
}
bool IAPRequestItemData(const char*) {
    return false;
}
bool IAPRestorePurchases() {
    return false;
}
bool IAPShowPurchaseProgress() {
    return false;
}

// ---- Leaderboards ----
void SubmitScore(int32_t, const LeaderboardScore* score, const char* category) {
    if (score == nullptr) {
        ZQ_Log(LOG_LEVEL_ERROR, "ZQ_Leaderboards_SubmitScore: score is null.");
        return;
    }
    ZQ_Print("Submitting score of %d points to category '%s'", score->points,
             category != nullptr ? category : "");
}
bool RequestScores(int32_t, int32_t, int32_t, const char*) {
    return false;
}
bool RequestScoresAroundUserRank(int32_t, int32_t, const char*) {
    return false;
}
bool LeaderboardsOperation15() {
    return false;
}
void ShowLeaderboards(int32_t, const char*) {}
const char* GetPlayerName(int32_t) {
    return nullptr;
}
int32_t GetLoginState(int32_t) {
    return 0;
}
void Login(int32_t) {
    ZQ_Popup(LOG_LEVEL_WARNING,
             "No leaderboard implementation defined while calling zq->leaderboards->Login. Requires "
             "feature LEADERBOARDS and a leaderboards implementation. Use fallback feature "
             "LOCAL_LEADERBOARDS for local score lists.");
}
bool LeaderboardsOperation11() {
    return false;
}
void LeaderboardsOperation12(const char*) {}
int32_t GetCategoryCount() {
    return 0;
}
const char* GetCategoryId(int32_t) {
    return nullptr;
}
int32_t GetCategoryIndex(const char*) {
    return -1;
}
bool IsLowestScoreFirst(const char*) {
    return false;
}
int32_t LeaderboardsOperation17() {
    return kLeaderboardsOperation17Default;
}
const char* GetCategoryValue(const char*, const char*) {
    return nullptr;
}

// ---- Notification ----
bool NotificationIsAvailable() {
    return false;
}
void RegisterForLocalNotifications() {}
void RemoveAllLocalNotifications() {}
void SetLocalNotification(const char*, const char*, const char*, int32_t) {}

// ---- Social ----
bool SocialIsAvailable() {
    return false;
}
void SocialLogin() {}
void SocialLogout() {}
void RequestFriends() {}
void SetLocalUserValue(uint32_t) {}
zq_bitmap_t* GetProfilePicture(const char*, int32_t) {
    return nullptr;
}

// ---- Statistic ----
void StatisticOperation7(uint32_t, uint32_t, void*, void*) {}

// ---- UGC ----
bool UGCIsAvailable() {
    return false;
}
void UGCOperation7() {}
bool UGCOperation8() {
    return true;
}
intptr_t UGCOperation9() {
    return 0;
}
intptr_t UGCOperation10(int32_t) {
    return 0;
}
void UGCOperation11(void*) {}
void UGCOperation12(void*) {}
intptr_t UGCOperation13(void*) {
    return 0;
}
void UGCOperation14() {}

}  // namespace

void ZQI_FillAchievementsTable(zq_achievements_api_t* table) {
    table->UnlockAchievement = UnlockAchievement;
    table->SetAchievementProgress = SetAchievementProgress;
    table->CanShowAchievements = CanShowAchievements;
    table->ShowAchievements = ShowAchievements;
    table->Operation11 = AchievementsOperation11;
    table->Operation12 = AchievementsOperation12;
}

void ZQI_FillCloudTable(zq_cloud_api_t* table) {
    table->IsAvailable = CloudIsAvailable;
    table->Write = CloudWrite;
    table->Read = CloudRead;
    table->Delete = CloudDelete;
}

void ZQI_FillIAPTable(zq_iap_api_t* table) {
    table->IsAvailable = IAPIsAvailable;
    table->PurchaseItem = IAPPurchaseItem;
    table->RequestItemData = IAPRequestItemData;
    table->RestorePurchases = IAPRestorePurchases;
    table->ShowPurchaseProgress = IAPShowPurchaseProgress;
}

void ZQI_FillLeaderboardsTable(zq_leaderboards_api_t* table) {
    table->SubmitScore = SubmitScore;
    table->RequestScores = RequestScores;
    table->RequestScoresAroundUserRank = RequestScoresAroundUserRank;
    table->Operation15 = LeaderboardsOperation15;
    table->ShowLeaderboards = ShowLeaderboards;
    table->GetPlayerName = GetPlayerName;
    table->GetLoginState = GetLoginState;
    table->Login = Login;
    table->Operation11 = LeaderboardsOperation11;
    table->Operation12 = LeaderboardsOperation12;
    table->GetCategoryCount = GetCategoryCount;
    table->GetCategoryId = GetCategoryId;
    table->GetCategoryIndex = GetCategoryIndex;
    table->IsLowestScoreFirst = IsLowestScoreFirst;
    table->Operation17 = LeaderboardsOperation17;
    table->GetCategoryValue = GetCategoryValue;
}

void ZQI_FillNotificationTable(zq_notification_api_t* table) {
    table->IsAvailable = NotificationIsAvailable;
    table->RegisterForLocalNotifications = RegisterForLocalNotifications;
    table->RemoveAllLocalNotifications = RemoveAllLocalNotifications;
    table->SetLocalNotification = SetLocalNotification;
}

void ZQI_FillSocialTable(zq_social_api_t* table) {
    table->IsAvailable = SocialIsAvailable;
    table->Login = SocialLogin;
    table->Logout = SocialLogout;
    table->RequestFriends = RequestFriends;
    table->SetLocalUserValue = SetLocalUserValue;
    table->GetProfilePicture = GetProfilePicture;
}

void ZQI_FillStatisticTable(zq_statistic_api_t* table) {
    table->Operation7 = StatisticOperation7;
}

void ZQI_FillUGCTable(zq_ugc_api_t* table) {
    table->IsAvailable = UGCIsAvailable;
    table->Operation7 = UGCOperation7;
    table->Operation8 = UGCOperation8;
    table->Operation9 = UGCOperation9;
    table->Operation10 = UGCOperation10;
    table->Operation11 = UGCOperation11;
    table->Operation12 = UGCOperation12;
    table->Operation13 = UGCOperation13;
    table->Operation14 = UGCOperation14;
}
