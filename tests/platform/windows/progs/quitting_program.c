/* A program library for running zorqa.exe from end to end: it counts its callbacks, asks the
 * engine to quit after a fixed number of frames, and at shutdown writes what it saw to
 * "run-report.txt" beside itself, for the test to read. */
#include <stdio.h>
#include <string.h>
#include <windows.h>

#include "zorqa.h"

#define QUIT_AFTER_FRAMES 5

static zq_program_t* g_program;
static int g_initCalls;
static int g_updateCalls;
static int g_drawCalls;
static int g_shutdownCalls;
static int g_checkParameterEvents;

static bool QuitInit(void) {
    ++g_initCalls;
    return true;
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
    strcpy(path + length, "run-report.txt");
    FILE* file = fopen(path, "w");
    if (file == NULL) {
        return;
    }
    fprintf(file, "init=%d draw=%d update=%d shutdown=%d check_parameters=%d api=%d\n", g_initCalls,
            g_drawCalls, g_updateCalls, g_shutdownCalls, g_checkParameterEvents, g_program->api != NULL);
    fclose(file);
}

static void QuitShutdown(void) {
    ++g_shutdownCalls;
    WriteReport();
}

static void QuitUpdate(float dt) {
    (void)dt;
    ++g_updateCalls;
}

static void QuitDraw(float dt) {
    (void)dt;
    ++g_drawCalls;
    if (g_drawCalls == QUIT_AFTER_FRAMES) {
        g_program->api->SignalShutdown();
    }
}

static int32_t QuitHandleEvent(const zq_event_t* event) {
    if (event->type == ZQ_EVENT_CHECK_PARAMETERS) {
        ++g_checkParameterEvents;
        event->check_parameters.parameters->width = 320;
        event->check_parameters.parameters->height = 240;
        event->check_parameters.parameters->windowed = 1;
    }
    return 0;
}

__declspec(dllexport) bool ZQ_GetProgramInterface(zq_program_t* program, uint32_t engine_version) {
    (void)engine_version;
    g_program = program;
    program->interface_version = ZQ_INTERFACE_VERSION;
    program->Init = QuitInit;
    program->Shutdown = QuitShutdown;
    program->Update = QuitUpdate;
    program->Draw = QuitDraw;
    program->HandleEvent = QuitHandleEvent;
    return true;
}
