/* A program library for the services' end-to-end tests. Its Init submits a score to "daily"
 * with --services-submit N, uses the simulated cloud and social network with
 * --services-simulated, and requests scores 1..10 of "daily". It quits once that answer (and with
 * the simulation the friends list) has come, or in the --test-quit-after N-th Draw (default
 * 600), and then writes "run-report.txt" into the working folder, one "key=value" per line. */
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
static uint32_t g_requestTime;

/* What the calls and events brought. */
static int g_scoreEvents;
static uint32_t g_scoresAfterMilliseconds;
static int g_scoresTotal = -1;
static char g_points[256]; /* points/dataLength/data[1] per score */
static char g_loginName[64];
static int g_friendsCount = -1;
static char g_friendValues[256];
static int g_cloudRead = -1;

static const char* FindOption(const char* name) {
    const char* found = strstr(GetCommandLineA(), name);
    return found != NULL ? found + strlen(name) : NULL;
}

static void UseCloud(void) {
    const char first[] = {1, 2}, second[] = {3}, third[] = {4, 0, 6};
    g_api->cloud->Write("k", first, sizeof(first));
    g_api->cloud->Write("m", second, sizeof(second));
    g_api->cloud->Write("k", third, sizeof(third));
    zq_buffer_t* read = g_api->cloud->Read("k");
    g_cloudRead = read != NULL && read->size == 3 && memcmp(read->data, third, 3) == 0;
    g_api->FreeBuffer(read);
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
    g_api->leaderboards->RequestScores(1, 10, 0, "daily");
    return true;
}

static void ServicesShutdown(void) {
    FILE* file = fopen("run-report.txt", "w");
    if (file != NULL) {
        fprintf(file,
                "score_events=%d\nscores_after_ms=%u\nscores_total=%d\npoints=%s\nlogin_name=%s\n"
                "friends_count=%d\nfriend_values=%s\ncloud_read=%d\ndraws=%d\n",
                g_scoreEvents, g_scoresAfterMilliseconds, g_scoresTotal, g_points, g_loginName,
                g_friendsCount, g_friendValues, g_cloudRead, g_draws);
        fclose(file);
    }
}

static void ServicesUpdate(float dt) {
    (void)dt;
}

static void ServicesDraw(float dt) {
    (void)dt;
    if (++g_draws >= g_quitAfter || (g_scoreEvents > 0 && (!g_simulated || g_friendsCount >= 0))) {
        g_api->SignalShutdown();
    }
}

/* The payloads are the engine's: it frees them after this returns, so nothing is kept. */
static int32_t ServicesHandleEvent(const zq_event_t* event) {
    size_t used = 0;
    if (event->type == ZQ_EVENT_CHECK_PARAMETERS) {
        event->check_parameters.parameters->width = 320;
        event->check_parameters.parameters->height = 240;
        event->check_parameters.parameters->windowed = 1;
    } else if (event->type == ZQ_EVENT_LEADERBOARD_SCORES) {
        ++g_scoreEvents;
        g_scoresAfterMilliseconds = g_api->GetMilliseconds() - g_requestTime;
        g_scoresTotal = event->leaderboard_scores.total;
        for (int32_t i = 0; i < event->leaderboard_scores.count && used < sizeof(g_points); ++i) {
            const LeaderboardScore* score = &event->leaderboard_scores.scores[i];
            used += (size_t)snprintf(g_points + used, sizeof(g_points) - used, "%s%d/%d/%d", i > 0 ? "," : "",
                                     score->points, score->dataLength, score->data[1]);
        }
    } else if (event->type == ZQ_EVENT_SOCIAL_LOGIN) {
        snprintf(g_loginName, sizeof(g_loginName), "%s", event->social_login.user->name);
    } else if (event->type == ZQ_EVENT_SOCIAL_FRIENDS) {
        g_friendsCount = event->social_friends.count;
        for (int32_t i = 0; i < event->social_friends.count && used < sizeof(g_friendValues); ++i) {
            used += (size_t)snprintf(g_friendValues + used, sizeof(g_friendValues) - used, "%s%u",
                                     i > 0 ? "," : "", event->social_friends.users[i].value);
        }
    }
    return 0;
}

__declspec(dllexport) bool ZQ_GetProgramInterface(zq_program_t* program, uint32_t engine_version) {
    (void)engine_version;
    g_program = program;
    const char* quitAfter = FindOption("--test-quit-after ");
    g_quitAfter = quitAfter != NULL ? atoi(quitAfter) : g_quitAfter;
    g_simulated = FindOption("--services-simulated") != NULL;
    program->interface_version = ZQ_INTERFACE_VERSION;
    program->Init = ServicesInit;
    program->Shutdown = ServicesShutdown;
    program->Update = ServicesUpdate;
    program->Draw = ServicesDraw;
    program->HandleEvent = ServicesHandleEvent;
    return true;
}
