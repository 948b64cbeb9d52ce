// The leaderboards sub-table: forwarding with its prints, the login checks of the category ids,
// and the categories file read through the data manager (loaded on first use, kept loaded).
#include "services/LeaderboardsTable.h"

#include <cstring>

#include "core/ApiTable.h"
#include "core/Log.h"
#include "data/DataManager.h"
#include "services/ExtensionModules.h"

namespace {

const int32_t kMaximumCategoryIdLength = 31;
const int32_t kMaximumDataLength = static_cast<int32_t>(sizeof(LeaderboardScore::data));

const char* OrEmpty(const char* text) {
    return text != nullptr ? text : "";
}

// The "CATEGORIES" array of the categories file; null without the file or the array.
DMArray* CategoriesArray() {
    DMDatabase* database = DataManager::GetDatabase(ZQI_LEADERBOARD_CATEGORIES_FILE);
    return database != nullptr ? database->GetArray("CATEGORIES") : nullptr;
}

DMNode* FindCategory(const char* id) {
    DMArray* categories = id != nullptr ? CategoriesArray() : nullptr;
    return categories != nullptr ? categories->GetNode(id) : nullptr;
}

// A request or submission without a category cannot be answered or stored by anybody.
bool HasCategory(const char* function, const char* category) {
    if (category == nullptr) {
        ZQ_Log(LOG_LEVEL_ERROR, "%s: no category given.", function);
        return false;
    }
    return true;
}

bool IsEnglishLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool IsCategoryIdCharacter(char c) {
    return IsEnglishLetter(c) || (c >= '0' && c <= '9') || c == '_';
}

// Developer mode, after a login: every message is a warning popup.
void CheckCategoryId(int32_t index, const char* id) {
    if (id == nullptr || id[0] == '\0') {
        ZQ_Popup(LOG_LEVEL_WARNING, "Leaderboard category with index %d has no id. Id is required.", index);
        return;
    }
    if (strlen(id) > static_cast<size_t>(kMaximumCategoryIdLength)) {
        ZQ_Popup(LOG_LEVEL_WARNING, "Leaderboard category id '%s' is too long (can be max 31 characters).",
                 id);
    }
    if (!IsEnglishLetter(id[0])) {
        ZQ_Popup(LOG_LEVEL_WARNING, "Leaderboard category id '%s' has to start with an English alphabet.",
                 id);
        return;
    }
    for (const char* c = id; *c != '\0'; ++c) {
        if (!IsCategoryIdCharacter(*c)) {
            ZQ_Popup(LOG_LEVEL_WARNING,
                     "Leaderboard category id '%s' can only contain English alphabets, digits, and '_' "
                     "character.",
                     id);
        }
    }
}

void CheckCategoryIds() {
    for (int32_t index = 0; index < ZQ_Leaderboards_GetCategoryCount(); ++index) {
        CheckCategoryId(index, ZQ_Leaderboards_GetCategoryId(index));
    }
}

// The implementation receives a copy it may change; texts are ended inside their fields and the
// data length kept to the data field, so nothing beyond the record is read or handed on.
LeaderboardScore PrivateCopy(const LeaderboardScore& score) {
    LeaderboardScore copy = score;
    copy.id[sizeof(copy.id) - 1] = '\0';
    copy.player[sizeof(copy.player) - 1] = '\0';
    if (copy.dataLength < 0 || copy.dataLength > kMaximumDataLength) {
        int32_t kept = copy.dataLength < 0 ? 0 : kMaximumDataLength;
        ZQ_Log(LOG_LEVEL_WARNING, "ZQ_Leaderboards_SubmitScore: data length %d is outside 0..%d; %d used.",
               copy.dataLength, kMaximumDataLength, kept);
        copy.dataLength = kept;
    }
    return copy;
}

}  // namespace

void ZQ_Leaderboards_SubmitScore(int32_t player, const LeaderboardScore* score, const char* category) {
    if (score == nullptr) {
        ZQ_Log(LOG_LEVEL_ERROR, "ZQ_Leaderboards_SubmitScore: score is null.");
        return;
    }
    ZQ_Print("Submitting score of %d points to category '%s'", score->points, OrEmpty(category));
    LeaderboardsImplementation* implementation = ZQI_GetLeaderboardsImplementation();
    if (implementation == nullptr || !HasCategory("ZQ_Leaderboards_SubmitScore", category)) {
        return;
    }
    LeaderboardScore copy = PrivateCopy(*score);
    implementation->SubmitScore(player, &copy, category);
}

bool ZQ_Leaderboards_RequestScores(int32_t firstRank, int32_t count, int32_t filter, const char* category) {
    LeaderboardsImplementation* implementation = ZQI_GetLeaderboardsImplementation();
    if (implementation == nullptr || !HasCategory("ZQ_Leaderboards_RequestScores", category)) {
        return false;
    }
    long long lastRank = static_cast<long long>(firstRank) + count - 1;
    ZQ_Print("Requesting scores %d..%lld (%d scores) for category '%s' with filter '%s'", firstRank, lastRank,
             count, category, ZQI_GetLeaderboardFilterName(filter));
    bool accepted = implementation->RequestScores(firstRank, count, filter, category);
    if (!accepted) {
        ZQ_Print("RequestScores returned false. No return event will be sent.");
    }
    return accepted;
}

bool ZQ_Leaderboards_RequestScoresAroundUserRank(int32_t player, int32_t count, const char* category) {
    LeaderboardsImplementation* implementation = ZQI_GetLeaderboardsImplementation();
    if (implementation == nullptr || !HasCategory("ZQ_Leaderboards_RequestScoresAroundUserRank", category)) {
        return false;
    }
    ZQ_Print("Requesting %d scores around user #%d for category '%s'", count, player, category);
    bool accepted = implementation->RequestScoresAroundUserRank(player, count, category);
    if (!accepted) {
        ZQ_Print("RequestScoresAroundUserRank returned false. No return event will be sent.");
    }
    return accepted;
}

bool ZQ_Leaderboards_Operation15() {
    LeaderboardsImplementation* implementation = ZQI_GetLeaderboardsImplementation();
    return implementation != nullptr && implementation->Operation15();
}

void ZQ_Leaderboards_ShowLeaderboards(int32_t player, const char* category) {
    if (LeaderboardsImplementation* implementation = ZQI_GetLeaderboardsImplementation()) {
        implementation->ShowLeaderboards(player, category);
    }
}

const char* ZQ_Leaderboards_GetPlayerName(int32_t player) {
    LeaderboardsImplementation* implementation = ZQI_GetLeaderboardsImplementation();
    if (implementation == nullptr || player < 0 || player >= LEADERBOARD_LOCAL_PLAYER_COUNT) {
        return nullptr;
    }
    return implementation->GetPlayerName(player);
}

int32_t ZQ_Leaderboards_GetLoginState(int32_t player) {
    LeaderboardsImplementation* implementation = ZQI_GetLeaderboardsImplementation();
    return implementation != nullptr ? implementation->GetLoginState(player) : 0;
}

void ZQ_Leaderboards_Login(int32_t player) {
    LeaderboardsImplementation* implementation = ZQI_GetLeaderboardsImplementation();
    if (implementation == nullptr) {
        ZQ_Popup(LOG_LEVEL_WARNING,
                 "No leaderboard implementation defined while calling zq->leaderboards->Login. Requires "
                 "feature LEADERBOARDS and a leaderboards implementation. Use fallback feature "
                 "LOCAL_LEADERBOARDS for local score lists.");
        return;
    }
    if (implementation->GetLoginState(player) != 0) {
        return;
    }
    ZQ_Print("Login for player %d", player);
    implementation->Login(player);
    if (ZQ_IsDeveloperMode()) {
        CheckCategoryIds();
    }
}

bool ZQ_Leaderboards_Operation11() {
    LeaderboardsImplementation* implementation = ZQI_GetLeaderboardsImplementation();
    return implementation != nullptr && implementation->Operation11();
}

void ZQ_Leaderboards_Operation12(const char* text) {
    LeaderboardsImplementation* implementation = ZQI_GetLeaderboardsImplementation();
    if (implementation != nullptr && text != nullptr && text[0] != '\0') {
        implementation->Operation12(text);
    }
}

int32_t ZQ_Leaderboards_GetCategoryCount() {
    DMArray* categories = CategoriesArray();
    return categories != nullptr ? categories->nodes.count : 0;
}

const char* ZQ_Leaderboards_GetCategoryId(int32_t index) {
    DMArray* categories = CategoriesArray();
    DMNode* node = categories != nullptr ? categories->GetNodeByIndex(index) : nullptr;
    return node != nullptr ? node->id : nullptr;
}

int32_t ZQ_Leaderboards_GetCategoryIndex(const char* id) {
    DMArray* categories = id != nullptr ? CategoriesArray() : nullptr;
    if (categories == nullptr) {
        return -1;
    }
    for (int32_t i = 0; i < categories->nodes.count; ++i) {
        const char* nodeId = categories->nodes[i]->id;
        if (nodeId != nullptr && strcmp(nodeId, id) == 0) {
            return i;
        }
    }
    return -1;
}

bool ZQ_Leaderboards_IsLowestScoreFirst(const char* id) {
    DMNode* category = FindCategory(id);
    const char* sort = category != nullptr ? category->GetValue("sort") : nullptr;
    return sort != nullptr && (strcmp(sort, "LOWEST_SCORE_FIRST") == 0 || strcmp(sort, "ASCENDING") == 0);
}

int32_t ZQ_Leaderboards_Operation17() {
    LeaderboardsImplementation* implementation = ZQI_GetLeaderboardsImplementation();
    return implementation != nullptr ? implementation->Operation17() : 30;
}

const char* ZQ_Leaderboards_GetCategoryValue(const char* id, const char* key) {
    DMNode* category = FindCategory(id);
    return category != nullptr ? category->GetValue(key) : nullptr;
}

void ZQI_FillLeaderboardsTable(zq_leaderboards_api_t* table) {
    table->SubmitScore = ZQ_Leaderboards_SubmitScore;
    table->RequestScores = ZQ_Leaderboards_RequestScores;
    table->RequestScoresAroundUserRank = ZQ_Leaderboards_RequestScoresAroundUserRank;
    table->Operation15 = ZQ_Leaderboards_Operation15;
    table->ShowLeaderboards = ZQ_Leaderboards_ShowLeaderboards;
    table->GetPlayerName = ZQ_Leaderboards_GetPlayerName;
    table->GetLoginState = ZQ_Leaderboards_GetLoginState;
    table->Login = ZQ_Leaderboards_Login;
    table->Operation11 = ZQ_Leaderboards_Operation11;
    table->Operation12 = ZQ_Leaderboards_Operation12;
    table->GetCategoryCount = ZQ_Leaderboards_GetCategoryCount;
    table->GetCategoryId = ZQ_Leaderboards_GetCategoryId;
    table->GetCategoryIndex = ZQ_Leaderboards_GetCategoryIndex;
    table->IsLowestScoreFirst = ZQ_Leaderboards_IsLowestScoreFirst;
    table->Operation17 = ZQ_Leaderboards_Operation17;
    table->GetCategoryValue = ZQ_Leaderboards_GetCategoryValue;
}
