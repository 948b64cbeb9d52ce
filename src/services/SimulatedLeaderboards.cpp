// The simulated leaderboards: generated categories and friends, submissions that move the
// generated players, and answers sent from a thread of their own after a random delay. Draws
// come from the services' per-thread generator, so a fresh thread's first delay is always the
// same (542 ms) and a run can be replayed.
#include "services/SimulatedLeaderboards.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "core/ApiTable.h"
#include "core/Features.h"
#include "core/Log.h"
#include "core/NamedMutex.h"
#include "core/Threads.h"
#include "data/DataManager.h"
#include "foundation/TextUtils.h"
#include "services/LeaderboardEvents.h"
#include "services/LeaderboardsTable.h"
#include "services/ServiceRandom.h"
#include "services/ScopedLock.h"

namespace {

// 53 first names and surnames, then nine short words (letters, names, animals).
const char kNamePoolText[] =
    "Aino,Bram,Cecile,Dario,Elif,Fenna,Goran,Hana,Ines,Jonas,Kaisa,Lior,Marta,Nils,Olga,Pavel,Quinn,"
    "Rosa,Sven,Tamar,Ugo,Vera,Wim,Xenia,Yusuf,Zofia,Abbott,Brennan,Castillo,Dvorak,Eriksen,Fontaine,"
    "Gallagher,Horvath,Ivanova,Janssen,Kowalski,Lindqvist,Moreau,Nakamura,Okafor,Petrov,Quiroga,"
    "Rossi,Schmidt,Tanaka,Ulrich,Varga,Whitfield,Yilmaz,Zeller,Novak,Haddad";
const char* const kShortWords[] = {"A", "K", "Z", "Bo", "Max", "Sam", "Fox", "Owl", "Yak"};

const int32_t kMaximumGeneratedPlayers = 50000;  // per category at start
const int32_t kGeneratedTimeSpread = 10000;      // seconds before now
const int32_t kGeneratedPointStep = 10000;
const int32_t kMovedPlayers = 3;
const int32_t kMovePointRange = 50000;
const int32_t kNewPlayerPointRange = 100000;
const int32_t kNewPlayers = 3;
const int32_t kRemovedPlayerDraws = 3;
// Answers arrive 501 to 3000 ms after the request.
const int32_t kAnswerDelayRange = 2500;
const int32_t kMinimumAnswerDelay = 501;

const char kGeneratedPrefix[] = "OTHER_PLAYER_";
const char kLocalPrefix[] = "LOCAL_USER_";

bool IsGenerated(const LeaderboardScore& entry) {
    return ZQI_StartsWith(entry.id, kGeneratedPrefix);
}

int32_t CalendarTime() {
    return static_cast<int32_t>(static_cast<uint32_t>(ZQ_GetCalendarTime()));
}

int32_t AddPoints(int32_t points, int32_t more) {
    int64_t sum = static_cast<int64_t>(points) + more;
    return sum > INT32_MAX ? INT32_MAX : static_cast<int32_t>(sum);
}

// ---- Pending answers ----

// A pending answer: what its leaderboard event will carry. Its texts are its own copies; the
// score array passes to the event.
struct SimulatedLeaderboardAnswer {
    uint8_t hasScores;
    char* reason;
    char* category;
    int32_t total;
    int32_t filter;
    int32_t firstRank;
    int32_t count;
    LeaderboardScore* scores;
};

void DeliverAnswer(SimulatedLeaderboardAnswer* answer) {
    if (answer->hasScores) {
        SendLeaderboardScoresEvent(answer->category, answer->filter, answer->firstRank, answer->count,
                                   answer->scores, answer->total);
    } else {
        SendLeaderboardErrorEvent(answer->category, answer->filter, answer->reason);
    }
    ZQ_FreeMemory(answer->reason);
    ZQ_FreeMemory(answer->category);
    free(answer);
}

void RunAnswerThread(void* argument) {
    ZQ_Threading_Sleep(
        static_cast<uint32_t>(ZQI_ServiceRandomBelow(kAnswerDelayRange) + kMinimumAnswerDelay));
    DeliverAnswer(static_cast<SimulatedLeaderboardAnswer*>(argument));
}

// Sends the answer from a thread of its own; when no thread can be had, the answer is sent at
// once rather than lost.
void StartAnswer(SimulatedLeaderboardAnswer* answer) {
    if (ZQ_Threading_CreateThread("SimulatedLeaderboards", RunAnswerThread, answer, 0) == 0) {
        ZQ_Log(LOG_LEVEL_ERROR,
               "SimulatedLeaderboards: no answer thread could be started; answering at once.");
        DeliverAnswer(answer);
    }
}

SimulatedLeaderboardAnswer* NewAnswer(bool hasScores, const char* category, int32_t filter) {
    SimulatedLeaderboardAnswer* answer =
        static_cast<SimulatedLeaderboardAnswer*>(calloc(1, sizeof(SimulatedLeaderboardAnswer)));
    if (answer != nullptr) {
        answer->hasScores = hasScores ? 1 : 0;
        answer->category = CopyStringForProgram(category);
        answer->filter = filter;
    }
    return answer;
}

void StartErrorAnswer(const char* category, int32_t filter, const char* reason) {
    SimulatedLeaderboardAnswer* answer = NewAnswer(false, category, filter);
    if (answer == nullptr) {
        ZQ_Log(LOG_LEVEL_ERROR, "SimulatedLeaderboards: out of memory; no answer for category '%s'.",
               category);
        return;
    }
    answer->reason = CopyStringForProgram(reason);
    StartAnswer(answer);
}

}  // namespace

SimulatedLeaderboardsImplementation::SimulatedLeaderboardsImplementation()
    : lock_(ZQI_NewNamedMutex("SimulatedLeaderboards")) {
    const char* start = kNamePoolText;
    for (;;) {
        const char* end = strchr(start, ',');
        size_t length = end != nullptr ? static_cast<size_t>(end - start) : strlen(start);
        namePool_.Push(String::FromFormat("%.*s", static_cast<int>(length), start));
        if (end == nullptr) {
            break;
        }
        start = end + 1;
    }
    for (const char* word : kShortWords) {
        namePool_.PushText(word);
    }
    for (int32_t player = 0; player < LEADERBOARD_LOCAL_PLAYER_COUNT; ++player) {
        localPlayerIds_[player].Format("%s%d", kLocalPrefix, player);
    }
}

SimulatedLeaderboardsImplementation::~SimulatedLeaderboardsImplementation() {
    ReleaseCategories();
    ZQI_DeleteNamedMutex(lock_);
}

bool SimulatedLeaderboardsImplementation::Initialize() {
    if (!ZQI_IsFeatureEnabled("LEADERBOARDS")) {
        return false;
    }
    DMDatabase* database = DataManager::GetDatabase(ZQI_LEADERBOARD_CATEGORIES_FILE);
    DMArray* categories = database != nullptr ? database->GetArray("CATEGORIES") : nullptr;
    if (categories == nullptr) {
        return false;
    }
    ScopedLock lock(lock_);
    for (int32_t index = 0; index < categories->nodes.count; ++index) {
        const char* id = categories->nodes[index]->id;
        if (id != nullptr && !categories_.Contains(id)) {
            FillCategory(id, index);
        }
    }
    return true;
}

void SimulatedLeaderboardsImplementation::Shutdown() {
    ScopedLock lock(lock_);
    ReleaseCategories();
}

void SimulatedLeaderboardsImplementation::ReleaseCategories() {
    for (StringMapEntry<SimulatedLeaderboardCategory*>* entry : categories_) {
        delete entry->value;
    }
    categories_.DeleteAll();
}

const char* SimulatedLeaderboardsImplementation::GetPlayerName(int32_t player) {
    if (player < 0 || player >= LEADERBOARD_LOCAL_PLAYER_COUNT) {
        return nullptr;
    }
    return localPlayerIds_[player].CStr();
}

const SimulatedLeaderboardCategory* SimulatedLeaderboardsImplementation::FindCategory(const char* id) const {
    StringMapEntry<SimulatedLeaderboardCategory*>* entry = categories_.Find(id);
    return entry != nullptr ? entry->value : nullptr;
}

void SimulatedLeaderboardsImplementation::FormatGeneratedName(char* out, size_t size, int32_t number) {
    const char* first = namePool_[ZQI_ServiceRandomBelow(kNamePoolSize)].CStr();
    const char* second = namePool_[ZQI_ServiceRandomBelow(kNamePoolSize)].CStr();
    snprintf(out, size, "%s %d %s", first, number, second);
}

// Generated players climb from 0 in random steps; the list is then reversed so points descend,
// local players take random places, and the entry at the category's own index may become a
// friend (so friends spread over the categories).
void SimulatedLeaderboardsImplementation::FillCategory(const char* id, int32_t index) {
    SimulatedLeaderboardCategory* category = new (std::nothrow) SimulatedLeaderboardCategory();
    SimulatedLeaderboardCategory** slot = category != nullptr ? categories_.GetOrCreate(id) : nullptr;
    if (slot == nullptr) {
        delete category;
        ZQ_Log(LOG_LEVEL_ERROR, "SimulatedLeaderboards: out of memory for category '%s'.", id);
        return;
    }
    *slot = category;
    category->id.Assign(id);
    int32_t count = ZQI_ServiceRandomBelow(kMaximumGeneratedPlayers + 1);
    ZQ_Print("Initializing category '%s' with %d fake scores.", id, count);
    Array<LeaderboardScore>& scores = category->scores;
    scores.Reserve(count);
    int32_t points = 0;
    for (int32_t i = 0; i < count; ++i) {
        LeaderboardScore entry;
        memset(&entry, 0, sizeof(entry));
        FormatGeneratedName(entry.player, sizeof(entry.player), i);
        snprintf(entry.id, sizeof(entry.id), "%s%d", kGeneratedPrefix, i);
        entry.points = points;
        entry.rank = count - i;
        entry.time = CalendarTime() - ZQI_ServiceRandomBelow(kGeneratedTimeSpread);
        scores.Push(entry);
        points += ZQI_ServiceRandomBelow(kGeneratedPointStep) + 1;
    }
    std::reverse(scores.begin(), scores.end());
    if (scores.count > 0) {
        PlaceLocalPlayers(category);
    }
    if (scores.count > index && IsGenerated(scores[index]) &&
        friends_.IndexOf(String(scores[index].id)) < 0) {
        friends_.PushText(scores[index].id);
    }
    if (scores.count > 0) {
        SortAndRank(category);
    }
}

void SimulatedLeaderboardsImplementation::PlaceLocalPlayers(SimulatedLeaderboardCategory* category) {
    for (int32_t player = 0; player < LEADERBOARD_LOCAL_PLAYER_COUNT; ++player) {
        LeaderboardScore& entry = category->scores[ZQI_ServiceRandomBelow(category->scores.count)];
        snprintf(entry.player, sizeof(entry.player), "Local Player %d", player);
        snprintf(entry.id, sizeof(entry.id), "%s", localPlayerIds_[player].CStr());
    }
}

void SimulatedLeaderboardsImplementation::SortAndRank(SimulatedLeaderboardCategory* category) {
    bool lowestFirst = ZQ_Leaderboards_IsLowestScoreFirst(category->id.CStr());
    Array<LeaderboardScore>& scores = category->scores;
    // Not stable: entries with equal points may come out in any order.
    std::sort(scores.begin(), scores.end(),
              [lowestFirst](const LeaderboardScore& a, const LeaderboardScore& b) {
                  return lowestFirst ? a.points < b.points : a.points > b.points;
              });
    for (int32_t i = 0; i < scores.count; ++i) {
        scores[i].rank = i + 1;
    }
}

int32_t SimulatedLeaderboardsImplementation::FindEntry(const SimulatedLeaderboardCategory* category,
                                                       const char* id) const {
    if (id == nullptr) {
        return -1;
    }
    for (int32_t i = 0; i < category->scores.count; ++i) {
        if (strcmp(category->scores[i].id, id) == 0) {
            return i;
        }
    }
    return -1;
}

bool SimulatedLeaderboardsImplementation::IsFriend(const LeaderboardScore& entry) const {
    return ZQI_StartsWith(entry.id, kLocalPrefix) || friends_.IndexOf(String(entry.id)) >= 0;
}

void SimulatedLeaderboardsImplementation::SubmitScore(int32_t player, LeaderboardScore* score,
                                                      const char* category) {
    if (score == nullptr || category == nullptr) {
        return;
    }
    ScopedLock lock(lock_);
    StringMapEntry<SimulatedLeaderboardCategory*>* found = categories_.Find(category);
    if (found == nullptr) {
        return;  // not a category of the file: ignored
    }
    SimulatedLeaderboardCategory* list = found->value;
    const char* id = GetPlayerName(player);
    snprintf(score->id, sizeof(score->id), "%s", id != nullptr ? id : "");
    snprintf(score->player, sizeof(score->player), "Local Player %d", player);
    int32_t index = FindEntry(list, id);
    if (index >= 0) {
        list->scores[index].points = score->points;  // better or worse, it replaces
    } else {
        list->scores.Push(*score);
    }
    MoveGeneratedPlayers(list);
}

// After every submission: a few generated players gain points, sometimes three new ones join
// and sometimes some leave; then the list is ranked again.
void SimulatedLeaderboardsImplementation::MoveGeneratedPlayers(SimulatedLeaderboardCategory* category) {
    Array<LeaderboardScore>& scores = category->scores;
    if (scores.count > 0) {
        for (int32_t i = 0; i < kMovedPlayers; ++i) {
            LeaderboardScore& entry = scores[ZQI_ServiceRandomBelow(scores.count)];
            if (IsGenerated(entry)) {
                entry.points = AddPoints(entry.points, ZQI_ServiceRandomBelow(kMovePointRange) + 1);
            }
        }
    }
    if (ZQI_ServiceRandomBelow(4) == 0) {
        AppendNewGeneratedPlayers(category);
    }
    if (ZQI_ServiceRandomBelow(4) == 0) {
        RemoveRandomGeneratedPlayers(category);
    }
    SortAndRank(category);
}

void SimulatedLeaderboardsImplementation::AppendNewGeneratedPlayers(SimulatedLeaderboardCategory* category) {
    for (int32_t i = 0; i < kNewPlayers; ++i) {
        LeaderboardScore entry;
        memset(&entry, 0, sizeof(entry));
        FormatGeneratedName(entry.player, sizeof(entry.player), i);
        snprintf(entry.id, sizeof(entry.id), "%sNEW_%x_%d", kGeneratedPrefix,
                 static_cast<uint32_t>(CalendarTime()), i);
        entry.points = ZQI_ServiceRandomBelow(kNewPlayerPointRange);
        entry.rank = 1;
        entry.time = CalendarTime() - ZQI_ServiceRandomBelow(kGeneratedTimeSpread);
        category->scores.Push(entry);
    }
}

void SimulatedLeaderboardsImplementation::RemoveRandomGeneratedPlayers(
    SimulatedLeaderboardCategory* category) {
    Array<LeaderboardScore>& scores = category->scores;
    for (int32_t i = 0; i < kRemovedPlayerDraws && scores.count > 0; ++i) {
        int32_t position = ZQI_ServiceRandomBelow(scores.count);
        if (IsGenerated(scores[position])) {
            scores.RemoveAt(position);
        }
    }
}

bool SimulatedLeaderboardsImplementation::RequestScores(int32_t firstRank, int32_t count, int32_t filter,
                                                        const char* category) {
    if (category == nullptr) {
        return false;
    }
    ScopedLock lock(lock_);
    StringMapEntry<SimulatedLeaderboardCategory*>* found = categories_.Find(category);
    if (found == nullptr) {
        String reason = String::FromFormat("Unknown leaderboard category '%s'.", category);
        StartErrorAnswer(category, filter, reason.CStr());
        return true;
    }
    SimulatedLeaderboardCategory* list = found->value;
    SortAndRank(list);
    // The list the request is answered from: the whole category, or the friends (and local
    // players) in category order, ranked among themselves.
    Array<const LeaderboardScore*> entries;
    if (filter == LEADERBOARD_FILTER_GLOBAL || filter == LEADERBOARD_FILTER_FRIENDS) {
        entries.Reserve(filter == LEADERBOARD_FILTER_GLOBAL ? list->scores.count : 0);
        for (const LeaderboardScore& entry : list->scores) {
            if (filter == LEADERBOARD_FILTER_GLOBAL || IsFriend(entry)) {
                entries.Push(&entry);
            }
        }
    }
    int32_t begin = 0;
    int32_t copied = ZQI_GetRequestedPositions(firstRank, count, entries.count, &begin);
    LeaderboardScore* scores = ZQI_AllocateLeaderboardScores(copied);
    if (copied > 0 && scores == nullptr) {
        String reason = String::FromFormat("Unable to allocate %d scores.", copied);
        StartErrorAnswer(category, filter, reason.CStr());
        return true;
    }
    for (int32_t i = 0; i < copied; ++i) {
        scores[i] = *entries[begin + i];
        scores[i].rank = begin + i + 1;  // friends are ranked among friends only
    }
    SimulatedLeaderboardAnswer* answer = NewAnswer(true, category, filter);
    if (answer == nullptr) {
        ZQ_FreeMemory(scores);
        ZQ_Log(LOG_LEVEL_ERROR, "SimulatedLeaderboards: out of memory; no answer for category '%s'.",
               category);
        return true;
    }
    answer->total = entries.count;
    answer->firstRank = firstRank;
    answer->count = copied;
    answer->scores = scores;
    StartAnswer(answer);
    return true;
}

bool SimulatedLeaderboardsImplementation::RequestScoresAroundUserRank(int32_t player, int32_t count,
                                                                      const char* category) {
    int64_t firstRank = 1;
    {
        ScopedLock lock(lock_);
        const SimulatedLeaderboardCategory* list = FindCategory(category);
        int32_t index = list != nullptr ? FindEntry(list, GetPlayerName(player)) : -1;
        if (index >= 0) {
            firstRank = static_cast<int64_t>(list->scores[index].rank) - count / 2;
        }
    }
    firstRank = std::min<int64_t>(std::max<int64_t>(firstRank, 1), INT32_MAX);
    return RequestScores(static_cast<int32_t>(firstRank), count, LEADERBOARD_FILTER_GLOBAL, category);
}
