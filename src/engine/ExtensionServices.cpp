// The named extension calls that reach the online services: in-app purchase, the GameCenter
// commands over achievements and leaderboards, the extension modules, and the test extensions
// (the custom dialog and the social services' availability) of developer builds.
#include <cstdlib>
#include <cstring>

#include "core/ApiTable.h"
#include "core/CoreState.h"
#include "core/EventQueue.h"
#include "core/Features.h"
#include "core/Log.h"
#include "engine/ExtensionCall_local.h"
#include "filesystem/FileSystemApi.h"
#include "foundation/TextUtils.h"
#include "services/ExtensionModules.h"

namespace {

const size_t kGameCenterFieldSize = 2048;
const size_t kDialogFieldSize = 1023;
const uint64_t kLargestAlertImage = 161792;  // 158 KB

int32_t g_alertCount = 0;

bool IsAvailable(BaseImplementation* implementation) {
    return implementation != nullptr && implementation->IsAvailable();
}

// ---- GameCenter ----

struct GameCenterFields {
    char operation[kGameCenterFieldSize];
    char first[kGameCenterFieldSize];
    char second[kGameCenterFieldSize];
};

ExtensionAnswer AchievementCommand(const GameCenterFields& fields) {
    zq_achievements_api_t* achievements = ZQI_GetApi()->achievements;
    if (Is(fields.operation, "UnlockAchievement")) {
        achievements->UnlockAchievement(0, fields.first);
        return ExtensionEnds("OK");
    }
    if (Is(fields.operation, "SetAchievementProgress")) {
        int32_t progress = atoi(fields.second);
        if (progress < 0) {
            return ExtensionGoesOn();
        }
        achievements->SetAchievementProgress(0, fields.first, progress);
        return ExtensionEnds("OK");
    }
    if (Is(fields.operation, "ShowAchievements")) {
        if (achievements->CanShowAchievements()) {
            achievements->ShowAchievements(0);
        }
        return ExtensionEnds("OK");
    }
    return ExtensionGoesOn();
}

ExtensionAnswer LeaderboardCommand(const GameCenterFields& fields) {
    zq_leaderboards_api_t* leaderboards = ZQI_GetApi()->leaderboards;
    if (Is(fields.operation, "SubmitScore")) {
        LeaderboardScore score;
        memset(&score, 0, sizeof(score));
        score.points = atoi(fields.second);
        leaderboards->SubmitScore(0, &score, fields.first);
        return ExtensionEnds("OK");
    }
    if (Is(fields.operation, "ShowLeaderboards")) {
        leaderboards->ShowLeaderboards(0, fields.first);
        return ExtensionEnds("OK");
    }
    return ExtensionGoesOn();
}

// ---- Test extensions ----

bool InTestExtensionsMode() {
    const zq_program_t* program = g_core.program;
    return program != nullptr &&
           (ZQI_IsFeatureEnabled("TEST_EXTENSIONS") || program->parameters.developer != 0);
}

// Shows what a custom dialog would send, checks its image against the size limit and answers
// with a "SEND_OK" event, as the storefront would.
void SendCustomDialog(const char* parameter) {
    char message[kDialogFieldSize];
    char dataName[kDialogFieldSize];
    char dataDetail[kDialogFieldSize];
    char imageName[kDialogFieldSize];
    ZQI_CutField(parameter, ';', 0, message, sizeof(message));
    ZQI_CutField(parameter, ';', 1, dataName, sizeof(dataName));
    ZQI_CutField(parameter, ';', 2, dataDetail, sizeof(dataDetail));
    ZQI_CutField(parameter, ';', 3, imageName, sizeof(imageName));
    ++g_alertCount;
    zq_filesystem_api_t* files = ZQI_GetApi()->filesystem;
    zq_file_t* image = imageName[0] != '\0' ? files->OpenFile(imageName, "r") : nullptr;
    if (image != nullptr) {
        if (image->size > kLargestAlertImage) {
            ZQ_Popup(LOG_LEVEL_INFO, "Game Alert #%d\n\nFile '%s' is too large! It can be max 160KB.",
                     g_alertCount, imageName);
        }
        files->CloseFile(image);
    }
    ZQ_Popup(
        LOG_LEVEL_INFO,
        "Game Alert #%d\n\nUser message: '%s'\nData name: '%s'\nData detail: '%s'\nImage file name: '%s'",
        g_alertCount, message, dataName, dataDetail, imageName);
    zq_event_t event;
    ZQ_InitializeEvent(&event, ZQ_EVENT_LAUNCH_URI);
    event.launch_uri.name = "SEND_OK";
    ZQI_PostEvent(&event);
}

}  // namespace

ExtensionAnswer ZQI_HandlePurchaseCall(const char* function, const char* parameter) {
    InAppPurchaseImplementation* purchases = ZQI_GetInAppPurchaseImplementation();
    if (strncmp(function, "IAP_", 4) != 0 || !IsAvailable(purchases)) {
        return ExtensionGoesOn();
    }
    if (Is(function, "IAP_IsAvailable")) {
        return ExtensionEnds("YES");
    }
    if (Is(function, "IAP_PurchaseItem")) {
        purchases->PurchaseItem(parameter);
        return ExtensionEnds("YES");
    }
    if (Is(function, "IAP_RequestItemData")) {
        purchases->RequestItemData(parameter);
        return ExtensionEnds("OK");
    }
    if (Is(function, "IAP_RestorePurchases")) {
        purchases->RestorePurchases();
        return ExtensionEnds("YES");
    }
    if (Is(function, "IAP_ShowPurchaseProgress")) {
        return ExtensionEnds(purchases->ShowPurchaseProgress() ? "YES" : "NO");
    }
    return ExtensionGoesOn();
}

ExtensionAnswer ZQI_HandleGameCenterCall(const char* function, const char* parameter) {
    // Only their presence and availability matter here: the commands go through the API's
    // sub-tables.
    BaseImplementation* achievements = ZQI_GetResolvedImplementation(IMPLEMENTATION_ACHIEVEMENT);
    BaseImplementation* leaderboards = ZQI_GetResolvedImplementation(IMPLEMENTATION_LEADERBOARDS);
    if (!Is(function, "GameCenter") || (achievements == nullptr && leaderboards == nullptr) ||
        !ZQI_IsFeatureEnabled("GAME_CENTER")) {
        return ExtensionGoesOn();
    }
    GameCenterFields fields;
    ZQI_CutField(parameter, ',', 0, fields.operation, sizeof(fields.operation));
    ZQI_CutField(parameter, ',', 1, fields.first, sizeof(fields.first));
    ZQI_CutField(parameter, ',', 2, fields.second, sizeof(fields.second));
    if (Is(fields.operation, "IsAvailable")) {
        return ExtensionEnds("YES");
    }
    // Each family of commands needs its own service; a game with both keeps its scores even
    // while achievements are available.
    if (IsAvailable(achievements)) {
        ExtensionAnswer answer = AchievementCommand(fields);
        if (answer.ends) {
            return answer;
        }
    }
    if (IsAvailable(leaderboards)) {
        return LeaderboardCommand(fields);
    }
    return ExtensionGoesOn();
}

ExtensionAnswer ZQI_HandleTestExtensionCall(const char* function, const char* parameter) {
    if (!InTestExtensionsMode()) {
        return ExtensionGoesOn();
    }
    if (Is(function, "GameCustomDialogSend")) {
        SendCustomDialog(parameter);
        return ExtensionGoesOn();
    }
    if (Is(function, "Facebook_IsAvailable") || Is(function, "Twitter_IsAvailable") ||
        Is(function, "_SinaWeibo_IsAvailable")) {
        return ExtensionEnds("YES");
    }
    return ExtensionGoesOn();
}
