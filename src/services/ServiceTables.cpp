// The service sub-tables other than leaderboards: each entry reads its service's resolved
// implementation once and forwards its arguments unchanged, or gives the service's fixed
// answer while none is resolved. No entry logs, locks or copies.
#include "services/ServiceTables.h"

#include "core/ApiTable.h"
#include "services/ExtensionModules.h"
#include "services/LeaderboardsTable.h"

namespace {

// An implementation that says it is unavailable counts as missing for the in-app purchase table.
InAppPurchaseImplementation* AvailableInAppPurchase() {
    InAppPurchaseImplementation* implementation = ZQI_GetInAppPurchaseImplementation();
    return implementation != nullptr && implementation->IsAvailable() ? implementation : nullptr;
}

// The smallest profile picture a social network is asked for.
const int32_t kMinimumProfilePictureSize = 4;

void FillAchievementsTable(zq_achievements_api_t* table) {
    table->UnlockAchievement = ZQ_Achievements_UnlockAchievement;
    table->SetAchievementProgress = ZQ_Achievements_SetAchievementProgress;
    table->CanShowAchievements = ZQ_Achievements_CanShowAchievements;
    table->ShowAchievements = ZQ_Achievements_ShowAchievements;
    table->Operation11 = ZQ_Achievements_Operation11;
    table->Operation12 = ZQ_Achievements_Operation12;
}

void FillCloudTable(zq_cloud_api_t* table) {
    table->IsAvailable = ZQ_Cloud_IsAvailable;
    table->Write = ZQ_Cloud_Write;
    table->Read = ZQ_Cloud_Read;
    table->Delete = ZQ_Cloud_Delete;
}

void FillIAPTable(zq_iap_api_t* table) {
    table->IsAvailable = ZQ_IAP_IsAvailable;
    table->PurchaseItem = ZQ_IAP_PurchaseItem;
    table->RequestItemData = ZQ_IAP_RequestItemData;
    table->RestorePurchases = ZQ_IAP_RestorePurchases;
    table->ShowPurchaseProgress = ZQ_IAP_ShowPurchaseProgress;
}

void FillNotificationTable(zq_notification_api_t* table) {
    table->IsAvailable = ZQ_Notification_IsAvailable;
    table->RegisterForLocalNotifications = ZQ_Notification_RegisterForLocalNotifications;
    table->RemoveAllLocalNotifications = ZQ_Notification_RemoveAllLocalNotifications;
    table->SetLocalNotification = ZQ_Notification_SetLocalNotification;
}

void FillSocialTable(zq_social_api_t* table) {
    table->IsAvailable = ZQ_Social_IsAvailable;
    table->Login = ZQ_Social_Login;
    table->Logout = ZQ_Social_Logout;
    table->RequestFriends = ZQ_Social_RequestFriends;
    table->SetLocalUserValue = ZQ_Social_SetLocalUserValue;
    table->GetProfilePicture = ZQ_Social_GetProfilePicture;
}

void FillStatisticTable(zq_statistic_api_t* table) {
    table->Operation7 = ZQ_Statistic_Operation7;
}

void FillUGCTable(zq_ugc_api_t* table) {
    table->IsAvailable = ZQ_UGC_IsAvailable;
    table->Operation7 = ZQ_UGC_Operation7;
    table->Operation8 = ZQ_UGC_Operation8;
    table->Operation9 = ZQ_UGC_Operation9;
    table->Operation10 = ZQ_UGC_Operation10;
    table->Operation11 = ZQ_UGC_Operation11;
    table->Operation12 = ZQ_UGC_Operation12;
    table->Operation13 = ZQ_UGC_Operation13;
    table->Operation14 = ZQ_UGC_Operation14;
}

}  // namespace

void ZQI_InstallServiceTables(zq_api_t* api) {
    if (api == nullptr) {
        return;
    }
    // A record whose sub-table pointers are not set yet has nothing to fill.
    if (api->achievements != nullptr) {
        FillAchievementsTable(api->achievements);
    }
    if (api->cloud != nullptr) {
        FillCloudTable(api->cloud);
    }
    if (api->iap != nullptr) {
        FillIAPTable(api->iap);
    }
    if (api->leaderboards != nullptr) {
        ZQI_FillLeaderboardsTable(api->leaderboards);
    }
    if (api->notification != nullptr) {
        FillNotificationTable(api->notification);
    }
    if (api->social != nullptr) {
        FillSocialTable(api->social);
    }
    if (api->statistic != nullptr) {
        FillStatisticTable(api->statistic);
    }
    if (api->ugc != nullptr) {
        FillUGCTable(api->ugc);
    }
}

void ZQI_ConnectServiceTables() {
    ZQI_RegisterApiTableFiller(ZQI_InstallServiceTables);
    ZQI_InstallServiceTables(ZQI_GetApi());
}

// ---- Achievements ----

void ZQ_Achievements_UnlockAchievement(int32_t player, const char* id) {
    if (AchievementsImplementation* implementation = ZQI_GetAchievementsImplementation()) {
        implementation->UnlockAchievement(player, id);
    }
}

void ZQ_Achievements_SetAchievementProgress(int32_t player, const char* id, int32_t progress) {
    if (AchievementsImplementation* implementation = ZQI_GetAchievementsImplementation()) {
        implementation->SetAchievementProgress(player, id, progress);
    }
}

bool ZQ_Achievements_CanShowAchievements() {
    AchievementsImplementation* implementation = ZQI_GetAchievementsImplementation();
    return implementation != nullptr && implementation->CanShowAchievements();
}

void ZQ_Achievements_ShowAchievements(int32_t player) {
    if (AchievementsImplementation* implementation = ZQI_GetAchievementsImplementation()) {
        implementation->ShowAchievements(player);
    }
}

void ZQ_Achievements_Operation11(const char* text, int32_t value) {
    if (AchievementsImplementation* implementation = ZQI_GetAchievementsImplementation()) {
        implementation->Operation11(text, value);
    }
}

intptr_t ZQ_Achievements_Operation12(const char* text) {
    AchievementsImplementation* implementation = ZQI_GetAchievementsImplementation();
    return implementation != nullptr ? implementation->Operation12(text) : 0;
}

// ---- Cloud ----

bool ZQ_Cloud_IsAvailable() {
    return ZQI_GetCloudImplementation() != nullptr;
}

void ZQ_Cloud_Write(const char* key, const void* data, uint32_t size) {
    if (CloudImplementation* implementation = ZQI_GetCloudImplementation()) {
        implementation->Write(key, data, size);
    }
}

zq_buffer_t* ZQ_Cloud_Read(const char* key) {
    CloudImplementation* implementation = ZQI_GetCloudImplementation();
    return implementation != nullptr ? implementation->Read(key) : nullptr;
}

void ZQ_Cloud_Delete(const char* key) {
    if (CloudImplementation* implementation = ZQI_GetCloudImplementation()) {
        implementation->Delete(key);
    }
}

// ---- In-app purchase ----

bool ZQ_IAP_IsAvailable() {
    return AvailableInAppPurchase() != nullptr;
}

bool ZQ_IAP_PurchaseItem(const char* itemId) {
    InAppPurchaseImplementation* implementation = AvailableInAppPurchase();
    if (implementation == nullptr) {
        return false;
    }
    implementation->PurchaseItem(itemId);
    return true;
}

bool ZQ_IAP_RequestItemData(const char* itemList) {
    InAppPurchaseImplementation* implementation = AvailableInAppPurchase();
    if (implementation == nullptr) {
        return false;
    }
    implementation->RequestItemData(itemList);
    return true;
}

bool ZQ_IAP_RestorePurchases() {
    InAppPurchaseImplementation* implementation = AvailableInAppPurchase();
    if (implementation == nullptr) {
        return false;
    }
    implementation->RestorePurchases();
    return true;
}

bool ZQ_IAP_ShowPurchaseProgress() {
    InAppPurchaseImplementation* implementation = AvailableInAppPurchase();
    return implementation != nullptr && implementation->ShowPurchaseProgress();
}

// ---- Notification ----

bool ZQ_Notification_IsAvailable() {
    return ZQI_GetNotificationImplementation() != nullptr;
}

void ZQ_Notification_RegisterForLocalNotifications() {
    if (NotificationImplementation* implementation = ZQI_GetNotificationImplementation()) {
        implementation->RegisterForLocalNotifications();
    }
}

void ZQ_Notification_RemoveAllLocalNotifications() {
    if (NotificationImplementation* implementation = ZQI_GetNotificationImplementation()) {
        implementation->RemoveAllLocalNotifications();
    }
}

void ZQ_Notification_SetLocalNotification(const char* text0, const char* text1, const char* text2,
                                          int32_t value) {
    if (NotificationImplementation* implementation = ZQI_GetNotificationImplementation()) {
        implementation->SetLocalNotification(text0, text1, text2, value);
    }
}

// ---- Social ----

bool ZQ_Social_IsAvailable() {
    return ZQI_GetSocialImplementation() != nullptr;
}

void ZQ_Social_Login() {
    if (SocialImplementation* implementation = ZQI_GetSocialImplementation()) {
        implementation->Login();
    }
}

void ZQ_Social_Logout() {
    if (SocialImplementation* implementation = ZQI_GetSocialImplementation()) {
        implementation->Logout();
    }
}

void ZQ_Social_RequestFriends() {
    if (SocialImplementation* implementation = ZQI_GetSocialImplementation()) {
        implementation->RequestFriends();
    }
}

void ZQ_Social_SetLocalUserValue(uint32_t value) {
    if (SocialImplementation* implementation = ZQI_GetSocialImplementation()) {
        implementation->SetLocalUserValue(value);
    }
}

zq_bitmap_t* ZQ_Social_GetProfilePicture(const char* userId, int32_t size) {
    SocialImplementation* implementation = ZQI_GetSocialImplementation();
    if (implementation == nullptr || userId == nullptr || size < kMinimumProfilePictureSize) {
        return nullptr;
    }
    return implementation->GetProfilePicture(userId, size);
}

// ---- Statistic ----

void ZQ_Statistic_Operation7(uint32_t value0, uint32_t value1, void* pointer0, void* pointer1) {
    if (StatisticImplementation* implementation = ZQI_GetStatisticImplementation()) {
        implementation->Operation7(value0, value1, pointer0, pointer1);
    }
}

// ---- UGC ----

bool ZQ_UGC_IsAvailable() {
    UGCImplementation* implementation = ZQI_GetUGCImplementation();
    return implementation != nullptr && implementation->IsAvailable();
}

void ZQ_UGC_Operation7() {
    if (UGCImplementation* implementation = ZQI_GetUGCImplementation()) {
        implementation->Operation7();
    }
}

bool ZQ_UGC_Operation8() {
    UGCImplementation* implementation = ZQI_GetUGCImplementation();
    return implementation != nullptr ? implementation->Operation8() : true;
}

intptr_t ZQ_UGC_Operation9() {
    UGCImplementation* implementation = ZQI_GetUGCImplementation();
    return implementation != nullptr ? implementation->Operation9() : 0;
}

intptr_t ZQ_UGC_Operation10(int32_t value) {
    UGCImplementation* implementation = ZQI_GetUGCImplementation();
    return implementation != nullptr ? implementation->Operation10(value) : 0;
}

void ZQ_UGC_Operation11(void* pointer) {
    if (UGCImplementation* implementation = ZQI_GetUGCImplementation()) {
        implementation->Operation11(pointer);
    }
}

void ZQ_UGC_Operation12(void* pointer) {
    if (UGCImplementation* implementation = ZQI_GetUGCImplementation()) {
        implementation->Operation12(pointer);
    }
}

intptr_t ZQ_UGC_Operation13(void* pointer) {
    UGCImplementation* implementation = ZQI_GetUGCImplementation();
    return implementation != nullptr ? implementation->Operation13(pointer) : 0;
}

void ZQ_UGC_Operation14() {
    if (UGCImplementation* implementation = ZQI_GetUGCImplementation()) {
        implementation->Operation14();
    }
}
