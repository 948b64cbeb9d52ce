/* An empty program library for measuring the engine under Wine: it notes when the engine loads
 * it, asks it to check its parameters (late in the first start-up stage), calls Init and calls
 * the first Draw (as Unix wall-clock times and as milliseconds since the
 * process was created), then counts frames for a while (--bench-seconds N, default 3) and quits.
 * The figures go to "bench-report.txt" beside the library, one "key=value" per line. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>

#include "zorqa.h"

/* 100 ns ticks between 1601-01-01 (FILETIME) and 1970-01-01 (Unix). */
#define UNIX_EPOCH_TICKS 116444736000000000ULL

static zq_program_t* g_program;
static double g_benchSeconds = 3.0;
static double g_loadedUnix, g_checkUnix, g_initUnix, g_firstDrawUnix;
static double g_loadedMs, g_checkMs, g_initMs, g_firstDrawMs;
static LARGE_INTEGER g_frequency, g_countStart;
static long long g_frames;
static double g_countedSeconds;
static int g_done;

static unsigned long long Ticks(FILETIME time) {
    return ((unsigned long long)time.dwHighDateTime << 32) | time.dwLowDateTime;
}

/* Now as Unix seconds, and as milliseconds since this process was created. */
static void Stamp(double* unixSeconds, double* sinceCreation) {
    FILETIME now, created, exited, kernel, user;
    GetSystemTimePreciseAsFileTime(&now);
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    *unixSeconds = (double)(Ticks(now) - UNIX_EPOCH_TICKS) / 1e7;
    *sinceCreation = (double)(Ticks(now) - Ticks(created)) / 1e4;
}

static void WriteReport(void) {
    char path[MAX_PATH];
    HMODULE self = NULL;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       (LPCSTR)&WriteReport, &self);
    DWORD length = GetModuleFileNameA(self, path, sizeof(path));
    while (length > 0 && path[length - 1] != '\\' && path[length - 1] != '/') {
        --length;
    }
    strcpy(path + length, "bench-report.txt");
    FILE* file = fopen(path, "w");
    if (file == NULL) {
        return;
    }
    fprintf(
        file,
        "loaded_unix=%.6f\ninit_unix=%.6f\nfirst_draw_unix=%.6f\nloaded_ms=%.2f\ncheck_parameters_ms=%.2f\n"
        "init_ms=%.2f\nfirst_draw_ms=%.2f\nframes=%lld\nseconds=%.4f\n",
        g_loadedUnix, g_initUnix, g_firstDrawUnix, g_loadedMs, g_checkMs, g_initMs, g_firstDrawMs, g_frames,
        g_countedSeconds);
    fclose(file);
}

static bool BenchInit(void) {
    Stamp(&g_initUnix, &g_initMs);
    return true;
}

static void BenchShutdown(void) {
    WriteReport();
}

static void BenchUpdate(float dt) {
    (void)dt;
}

static void BenchDraw(float dt) {
    (void)dt;
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    if (g_frames == 0) {
        Stamp(&g_firstDrawUnix, &g_firstDrawMs);
        g_countStart = now;
    }
    if (g_done) {
        return;
    }
    ++g_frames;
    g_countedSeconds = (double)(now.QuadPart - g_countStart.QuadPart) / (double)g_frequency.QuadPart;
    if (g_countedSeconds >= g_benchSeconds) {
        g_done = 1;
        g_program->api->SignalShutdown();
    }
}

static int32_t BenchHandleEvent(const zq_event_t* event) {
    if (event->type == ZQ_EVENT_CHECK_PARAMETERS) {
        Stamp(&g_checkUnix, &g_checkMs);
    }
    return 0;
}

__declspec(dllexport) bool ZQ_GetProgramInterface(zq_program_t* program, uint32_t engine_version) {
    (void)engine_version;
    Stamp(&g_loadedUnix, &g_loadedMs);
    QueryPerformanceFrequency(&g_frequency);
    const char* seconds = strstr(GetCommandLineA(), "--bench-seconds ");
    if (seconds != NULL) {
        g_benchSeconds = atof(seconds + strlen("--bench-seconds "));
    }
    g_program = program;
    program->interface_version = ZQ_INTERFACE_VERSION;
    program->Init = BenchInit;
    program->Shutdown = BenchShutdown;
    program->Update = BenchUpdate;
    program->Draw = BenchDraw;
    program->HandleEvent = BenchHandleEvent;
    return true;
}
