/* A program library for the services' end-to-end tests: it calls the service sub-tables from
 * its Init, records the service events it is sent, and quits once it has what it waited for.
 * Its behaviour comes from the process command line:
 *   --services-submit N     submit a score of N points to "daily" (local leaderboards runs)
 *   --services-simulated    use the simulated cloud and social network as well
 *   --test-quit-after N     quit in the N-th Draw at the latest (default 600)
 * It always requests scores 1..10 of "daily" and quits after the first leaderboard event.
 * At shutdown it writes "run-report.txt" beside itself, one "key=value" per line. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>

#include "zorqa.h"

static zq_program_t* g_program;
static zq_api_t* g_api;
static int g_quitAfter = 600;
static int g_draws;
static int g_simulated;
static int g_quitSignalled;
static uint32_t g_requestTime;

/* What the events brought. */
static int g_scoreEvents;
static uint32_t g_scoresAfterMilliseconds;
static int g_scoresTotal = -1;
static int g_scoresCount = -1;
static char g_points[256];
static int g_loginEvents;
static char g_loginName[64];
static int g_friendsEvents;
static int g_friendsCount = -1;
static char g_friendValues[256];
static int g_cloudRead = -1;
static int g_requestAccepted = -1;

static const char* FindOption(const char* name) {
    const char* found = strstr(GetCommandLineA(), name);
    return found != NULL ? found + strlen(name) : NULL;
}

static void PathBesideLibrary(const char* name, char* path, size_t size) {
    HMODULE self = NULL;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       (LPCSTR)&PathBesideLibrary, &self);
    DWORD length = GetModuleFileNameA(self, path, (DWORD)size);
    while (length > 0 && path[length - 1] != '\\' && path[length - 1] != '/') {
        --length;
    }
    snprintf(path + length, size - length, "%s", name);
}

static void WriteReport(void) {
    char path[MAX_PATH];
    PathBesideLibrary("run-report.txt", path, sizeof(path));
    FILE* file = fopen(path, "w");
    if (file == NULL) {
        return;
    }
    fprintf(file,
            "request_accepted=%d\nscore_events=%d\nscores_after_ms=%u\nscores_total=%d\nscores_count=%d\n"
            "points=%s\nlogin_events=%d\nlogin_name=%s\nfriends_events=%d\nfriends_count=%d\n"
            "friend_values=%s\ncloud_read=%d\ndraws=%d\n",
            g_requestAccepted, g_scoreEvents, g_scoresAfterMilliseconds, g_scoresTotal, g_scoresCount,
            g_points, g_loginEvents, g_loginName, g_friendsEvents, g_friendsCount, g_friendValues,
            g_cloudRead, g_draws);
    fclose(file);
}

static void Quit(void) {
    if (!g_quitSignalled) {
        g_quitSignalled = 1;
        g_api->SignalShutdown();
    }
}

static void UseCloud(void) {
    const char first[] = {1, 2};
    const char second[] = {3};
    const char third[] = {4, 0, 6};
    g_api->cloud->Write("k", first, sizeof(first));
    g_api->cloud->Write("m", second, sizeof(second));
    g_api->cloud->Write("k", third, sizeof(third));
    zq_buffer_t* read = g_api->cloud->Read("k");
    g_cloudRead = read != NULL && read->size == 3 && memcmp(read->data, third, 3) == 0;
    if (read != NULL) {
        g_api->FreeBuffer(read);
    }
}

static bool ServicesInit(void) {
    g_api = g_program->api;
    const char* submit = FindOption("--services-submit ");
    if (submit != NULL) {
        LeaderboardScore score;
        memset(&score, 0, sizeof(score));
        score.points = atoi(submit);
        score.dataLength = 2;
        score.data[0] = 7;
        score.data[1] = 200;
        g_api->leaderboards->SubmitScore(0, &score, "daily");
    }
    if (g_simulated) {
        UseCloud();
        g_api->social->Login();
        g_api->social->RequestFriends();
    }
    g_requestTime = g_api->GetMilliseconds();
    g_requestAccepted = g_api->leaderboards->RequestScores(1, 10, 0, "daily");
    return true;
}

static void ServicesShutdown(void) {
    WriteReport();
}

static void ServicesUpdate(float dt) {
    (void)dt;
}

static void ServicesDraw(float dt) {
    (void)dt;
    ++g_draws;
    if (g_draws >= g_quitAfter || (g_scoreEvents > 0 && (!g_simulated || g_friendsEvents > 0))) {
        Quit();
    }
}

static void RecordScores(const zq_event_t* event) {
    ++g_scoreEvents;
    g_scoresAfterMilliseconds = g_api->GetMilliseconds() - g_requestTime;
    g_scoresTotal = event->leaderboard_scores.total;
    g_scoresCount = event->leaderboard_scores.count;
    size_t used = 0;
    for (int32_t i = 0; i < event->leaderboard_scores.count && event->leaderboard_scores.scores != NULL;
         ++i) {
        const LeaderboardScore* score = &event->leaderboard_scores.scores[i];
        used +=
            (size_t)snprintf(g_points + used, sizeof(g_points) - used, "%s%d/%d/%d", i > 0 ? "," : "",
                             score->points, score->dataLength, score->dataLength > 1 ? score->data[1] : -1);
        if (used >= sizeof(g_points)) {
            break;
        }
    }
}

static void RecordFriends(const zq_event_t* event) {
    ++g_friendsEvents;
    g_friendsCount = event->social_friends.count;
    size_t used = 0;
    for (int32_t i = 0; i < event->social_friends.count; ++i) {
        used += (size_t)snprintf(g_friendValues + used, sizeof(g_friendValues) - used, "%s%u",
                                 i > 0 ? "," : "", event->social_friends.users[i].value);
        if (used >= sizeof(g_friendValues)) {
            break;
        }
    }
}

/* The payloads are the engine's: it frees them after this returns, so nothing is kept. */
static int32_t ServicesHandleEvent(const zq_event_t* event) {
    switch (event->type) {
        case ZQ_EVENT_CHECK_PARAMETERS:
            event->check_parameters.parameters->width = 320;
            event->check_parameters.parameters->height = 240;
            event->check_parameters.parameters->windowed = 1;
            break;
        case ZQ_EVENT_LEADERBOARD_SCORES:
            RecordScores(event);
            break;
        case ZQ_EVENT_SOCIAL_LOGIN:
            ++g_loginEvents;
            snprintf(g_loginName, sizeof(g_loginName), "%s",
                     event->social_login.user != NULL ? event->social_login.user->name : "");
            break;
        case ZQ_EVENT_SOCIAL_FRIENDS:
            RecordFriends(event);
            break;
        default:
            break;
    }
    return 0;
}

__declspec(dllexport) bool ZQ_GetProgramInterface(zq_program_t* program, uint32_t engine_version) {
    (void)engine_version;
    g_program = program;
    const char* quitAfter = FindOption("--test-quit-after ");
    if (quitAfter != NULL) {
        g_quitAfter = atoi(quitAfter);
    }
    g_simulated = FindOption("--services-simulated") != NULL;
    program->interface_version = ZQ_INTERFACE_VERSION;
    program->Init = ServicesInit;
    program->Shutdown = ServicesShutdown;
    program->Update = ServicesUpdate;
    program->Draw = ServicesDraw;
    program->HandleEvent = ServicesHandleEvent;
    return true;
}
