// The local leaderboards database: opening (with unreadable files set aside), storing a score
// within the capacity, safe saving, and answering requests from the stored nodes.
#include "services/LocalLeaderboardsDatabase.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/ApiTable.h"
#include "core/Log.h"
#include "core/NamedMutex.h"
#include "data/DataManager.h"
#include "filesystem/FileSystemApi.h"
#include "services/LeaderboardEvents.h"
#include "services/LeaderboardsTable.h"
#include "services/ScopedLock.h"
#include "services/SetAsideFile.h"

namespace {

const char kTemporaryPath[] = ZQI_LOCAL_LEADERBOARDS_FILE ".tmp";

const int32_t kMaximumDataLength = static_cast<int32_t>(sizeof(LeaderboardScore::data));
// A data piece this long or longer reads as 0.
const size_t kMaximumPieceLength = 512;
// The date and time text: at most 31 characters.
const size_t kPlayerTextSize = 32;

// A decimal integer (0 when missing or not a number), kept to 32 bits.
int32_t ReadDecimal(const char* text) {
    if (text == nullptr) {
        return 0;
    }
    long long value = strtoll(text, nullptr, 10);
    return static_cast<int32_t>(std::min<long long>(std::max<long long>(value, INT32_MIN), INT32_MAX));
}

int32_t ReadPoints(const DMNode* node) {
    return ReadDecimal(node->GetValue("points"));
}

// "data": bytes as decimal numbers separated by single spaces. More pieces than the record
// holds leave the data empty.
void ReadData(const char* text, LeaderboardScore* score) {
    if (text == nullptr || text[0] == '\0') {
        return;
    }
    int32_t pieces = 1;
    for (const char* c = text; *c != '\0'; ++c) {
        pieces += *c == ' ' ? 1 : 0;
    }
    if (pieces > kMaximumDataLength) {
        return;
    }
    char piece[kMaximumPieceLength];
    const char* start = text;
    for (int32_t i = 0; i < pieces; ++i) {
        const char* end = strchr(start, ' ');
        size_t length = end != nullptr ? static_cast<size_t>(end - start) : strlen(start);
        int32_t value = 0;
        if (length > 0 && length < kMaximumPieceLength) {
            memcpy(piece, start, length);
            piece[length] = '\0';
            value = ReadDecimal(piece);
        }
        score->data[i] = static_cast<uint8_t>(value & 0xFF);
        start = end != nullptr ? end + 1 : start + length;
    }
    score->dataLength = pieces;
}

void WriteData(DMNode* node, const LeaderboardScore& score) {
    int32_t length = std::min(score.dataLength, kMaximumDataLength);
    if (length <= 0) {
        return;
    }
    char text[kMaximumDataLength * 4 + 1];
    size_t used = 0;
    for (int32_t i = 0; i < length; ++i) {
        used += static_cast<size_t>(snprintf(text + used, sizeof(text) - used, i == 0 ? "%u" : " %u",
                                             static_cast<unsigned>(score.data[i])));
    }
    node->SetValue("data", text);
}

void FormatSubmissionTime(char* text, size_t size) {
    zq_date_t date = ZQ_GetLocalDate();
    snprintf(text, size, "%d-%.2d-%.2d %.2d:%.2d", date.year, date.month, date.day, date.hour, date.minute);
}

// Removes the worst score: the lowest points (the highest in lower-first categories), and of
// several equally bad ones the last.
void RemoveWorstScore(DMArray* array, bool lowestFirst) {
    int32_t worst = -1;
    int32_t worstPoints = 0;
    for (int32_t i = 0; i < array->nodes.count; ++i) {
        int32_t points = ReadPoints(array->nodes[i]);
        if (worst < 0 || (lowestFirst ? points >= worstPoints : points <= worstPoints)) {
            worst = i;
            worstPoints = points;
        }
    }
    array->DeleteNode(worst);
}

// Characters of a category shown in a message about it: it may be very long.
const int kShownCategoryCharacters = 64;

// A new array for the category; null when out of memory.
DMArray* NewCategoryArray(DMDatabase* database, const char* category) {
    DMArray* array = database->AddArray();
    if (array != nullptr) {
        array->SetId(category);
    }
    return array;
}

void ReportUnstorableCategory(const char* category) {
    size_t length = strlen(category);
    ZQ_Log(
        LOG_LEVEL_ERROR,
        "Local leaderboards: the category '%.*s%s' (%llu characters) cannot be stored in '%s'; the score is "
        "not stored.",
        kShownCategoryCharacters, category,
        length > static_cast<size_t>(kShownCategoryCharacters) ? "..." : "",
        static_cast<unsigned long long>(length), ZQI_LOCAL_LEADERBOARDS_FILE);
}

// A stored node and its points, in the order a request ranks them.
struct RankedNode {
    int32_t points;
    const DMNode* node;
};

}  // namespace

DMDatabase* ZQI_OpenLocalLeaderboardsDatabase(uint32_t folderWait) {
    DMDatabase* database = DataManager::CreateDatabase(ZQI_LOCAL_LEADERBOARDS_FILE);
    if (database == nullptr || database->arrays.count > 0) {
        return database;  // already loaded this run
    }
    // Another instance of the game may be saving meanwhile. Where its commit exchanges the two
    // files, the file read here becomes its temporary file, which its next save rewrites in place;
    // elsewhere the file does not open while the commit moves it. Either way a whole file would be
    // taken for an unreadable one and set aside. Held until the file is read or set aside.
    ZQFileSystem::FolderLock lock;
    lock.TakeForFileOrSay(ZQI_LOCAL_LEADERBOARDS_FILE, folderWait, LOG_LEVEL_WARNING, "Local leaderboards",
                          "is read without its folder's lock");
    if (!ZQ_FileSystem_FileExists(ZQI_LOCAL_LEADERBOARDS_FILE)) {
        return database;  // a new one
    }
    if (database->LoadXMLFile(ZQI_LOCAL_LEADERBOARDS_FILE)) {
        return database;
    }
    String setAsidePath;
    if (ZQI_SetAsideFile(ZQI_LOCAL_LEADERBOARDS_FILE, &setAsidePath)) {
        ZQ_Log(LOG_LEVEL_ERROR, "Local leaderboards database '%s' is unreadable; moved to '%s'.",
               ZQI_LOCAL_LEADERBOARDS_FILE, setAsidePath.CStr());
        return database;
    }
    // Starting empty now would overwrite the file at the first submission.
    ZQ_Log(LOG_LEVEL_ERROR,
           "Local leaderboards database '%s' is unreadable and could not be moved to '%s'; local "
           "leaderboards are not available.",
           ZQI_LOCAL_LEADERBOARDS_FILE, setAsidePath.CStr());
    DataManager::UnloadDatabase(database);
    return nullptr;
}

void ZQI_ReadLocalScore(const DMNode* node, LeaderboardScore* score) {
    memset(score, 0, sizeof(*score));
    const char* player = node->GetValue("player");
    snprintf(score->player, sizeof(score->player), "%s", player != nullptr ? player : "");
    score->points = ReadPoints(node);
    snprintf(score->id, sizeof(score->id), "%x", static_cast<uint32_t>(reinterpret_cast<uintptr_t>(node)));
    ReadData(node->GetValue("data"), score);
}

void LocalLeaderboardsDatabase::WriteScore(LeaderboardScore* score, const char* category) {
    if (database == nullptr || score == nullptr || category == nullptr) {
        return;
    }
    ScopedLock lock(mutex);
    DMArray* array = database->GetArray(category);
    if (array == nullptr) {
        // A category whose array the file could not hold is not stored: while the database held
        // it, the save of every category would be refused.
        if (!DMDatabase::CanSaveArrayId(category)) {
            ReportUnstorableCategory(category);
            return;
        }
        array = NewCategoryArray(database, category);
    }
    DMNode* node = array != nullptr ? array->AddNode() : nullptr;
    if (node == nullptr) {
        ZQ_Log(LOG_LEVEL_ERROR,
               "Local leaderboards: out of memory; the score for category '%s' is not stored.", category);
        return;
    }
    char player[kPlayerTextSize];
    FormatSubmissionTime(player, sizeof(player));
    snprintf(score->player, sizeof(score->player), "%s", player);
    char points[16];
    snprintf(points, sizeof(points), "%d", score->points);
    // Every save reads every stored node: a pair table of the size needed (rather than the 32
    // slots a first push reserves) keeps them close together in memory.
    node->values.Reserve(score->dataLength > 0 ? 3 : 2);
    node->SetValue("player", player);
    node->SetValue("points", points);
    WriteData(node, *score);
    if (array->nodes.count > ZQI_LOCAL_LEADERBOARDS_CAPACITY) {
        RemoveWorstScore(array, ZQ_Leaderboards_IsLowestScoreFirst(category));
    }
    if (save) {
        Save();
    }
}

// The temporary file is rewritten in place: after the first saves it is the file the previous
// save replaced, and reusing its storage spares a disk file system emptying and refilling it.
// Another instance of the game saving at the same moment uses the same temporary file: the user
// folder's lock is held from its writing until it has taken the stored file's place, so neither
// writes into the other's temporary nor commits it. It is taken under LOCAL_LEADERBOARDS, never
// the other way round; meanwhile only the data manager's writer, the file system and the log run.
void LocalLeaderboardsDatabase::Save() {
    ZQFileSystem::FolderLock lock;
    if (!lock.TakeForFileOrSay(ZQI_LOCAL_LEADERBOARDS_FILE, folderWait, LOG_LEVEL_ERROR, "Local leaderboards",
                               "is not saved")) {
        return;
    }
    // Without a folder there is nothing on disk to share: the writing below fails and says so.
    if (!database->RewriteFile(kTemporaryPath, !ZQ_IsDeveloperMode())) {
        return;  // reported by the data manager; the stored file is untouched
    }
    if (!ZQI_CommitTemporaryFile(kTemporaryPath, ZQI_LOCAL_LEADERBOARDS_FILE)) {
        ZQ_Log(LOG_LEVEL_ERROR, "Local leaderboards: could not replace '%s' with '%s'.",
               ZQI_LOCAL_LEADERBOARDS_FILE, kTemporaryPath);
    }
}

void LocalLeaderboardsDatabase::Answer(int32_t firstRank, int32_t count, int32_t filter,
                                       const char* category) {
    if (database == nullptr) {
        SendLeaderboardErrorEvent(category, filter, "Not yet initialized.");
        return;
    }
    if (filter != 0) {
        SendLeaderboardScoresEvent(category, filter, 0, 0, nullptr, 0);  // there are no friends locally
        return;
    }
    ScopedLock lock(mutex);
    DMArray* array = category != nullptr ? database->GetArray(category) : nullptr;
    if (array == nullptr) {
        ZQ_Print("No scores in category '%s', returning 0 scores.", category != nullptr ? category : "");
        SendLeaderboardScoresEvent(category, 0, 0, 0, nullptr, 0);
        return;
    }
    bool lowestFirst = ZQ_Leaderboards_IsLowestScoreFirst(category);
    Array<RankedNode> ranked;
    ranked.Reserve(array->nodes.count);
    for (const DMNode* node : array->nodes) {
        ranked.Push(RankedNode{ReadPoints(node), node});
    }
    // Stable: of equal points, the earlier submission ranks first.
    std::stable_sort(ranked.begin(), ranked.end(), [lowestFirst](const RankedNode& a, const RankedNode& b) {
        return lowestFirst ? a.points < b.points : a.points > b.points;
    });
    int32_t begin = 0;
    int32_t copied = ZQI_GetRequestedPositions(firstRank, count, ranked.count, &begin);
    LeaderboardScore* scores = ZQI_AllocateLeaderboardScores(copied);
    if (copied > 0 && scores == nullptr) {
        String reason = String::FromFormat("Unable to allocate %d scores.", copied);
        SendLeaderboardErrorEvent(category, 0, reason.CStr());
        return;
    }
    for (int32_t i = 0; i < copied; ++i) {
        ZQI_ReadLocalScore(ranked[begin + i].node, &scores[i]);
        scores[i].rank = begin + i + 1;
    }
    SendLeaderboardScoresEvent(category, 0, firstRank, copied, scores, ranked.count);
}
