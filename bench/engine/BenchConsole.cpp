// Measures, under Wine with vsync off: the engine-side cost of an open console per frame, that is
// one wheel event through the console's input plus the console's drawing, over a full ring of
// 8192 log lines with a filter typed that about one line in seven passes; beside the same frames
// with the console closed, and open without a filter. Also the whole frame's time (what the program
// would see; the open console is drawn twice in it, by the program's Draw and by the engine).
// Usage: bench_console.exe [frames]
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "InProcessEngine.h"
#include "core/ApiTable.h"
#include "core/CommandLine.h"
#include "core/Console.h"
#include "core/ConsoleAutocompletion.h"
#include "core/ConsoleEvents.h"
#include "core/ConsoleFilter.h"
#include "core/CoreState.h"
#include "core/EventQueue.h"
#include "core/Log.h"
#include "engine/ConsoleDrawing.h"
#include "engine/Lifecycle.h"
#include "graphics/d3d11/RendererImplementation.h"
#include "platform/windows/MessagePump.h"

namespace {

const int kRingFill = 8300;  // more than the ring holds, so it is full and has wrapped

LARGE_INTEGER g_frequency;
double g_consoleSeconds = 0.0;  // input plus drawing, summed over the measured frames
int g_wheel = 120;

double Now() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) / static_cast<double>(g_frequency.QuadPart);
}

// The program's Draw: clear, then what the debug overlay does for the console each frame, timed
// on its own (the engine draws the console once more after the program; both are the same work).
void MeasuringDraw(float) {
    g_core.renderer->ClearRenderTargets(0.1f, 0.1f, 0.1f, 1.0f);
    Console* console = ZQI_GetConsole();
    zq_event_t wheel;
    ZQ_InitializeEvent(&wheel, ZQ_EVENT_POINTER_WHEEL);
    wheel.pointer.wheel_delta = static_cast<int16_t>(g_wheel);
    g_wheel = -g_wheel;  // up and down again: the view stays near the newest lines
    const double start = Now();
    if (console->open) {  // the dispatcher hands input to the console only while it is open
        ZQI_ConsoleHandleEvent(console, &wheel);
    }
    ZQI_DrawConsole(console);
    g_consoleSeconds += Now() - start;
}

void NoUpdate(float) {}

struct Measurement {
    double consoleMs;  // per frame
    double frameMs;    // per frame
};

Measurement Measure(bool open, int frames) {
    Console* console = ZQI_GetConsole();
    console->open = open ? 1 : 0;
    console->openFactor = open ? 1.0f : 0.0f;
    g_consoleSeconds = 0.0;
    const double start = Now();
    for (int i = 0; i < frames; ++i) {
        PumpWindowMessages();
        RunFrame();
    }
    const double total = Now() - start;
    return Measurement{g_consoleSeconds * 1000.0 / frames, total * 1000.0 / frames};
}

}  // namespace

int main(int argc, char** argv) {
    const int frames = argc > 1 ? atoi(argv[1]) : 2000;
    QueryPerformanceFrequency(&g_frequency);
    InstallInProcessPlatform();
    ZQI_SetCommandLine("--features NO_POPUPS,LOGS_IN_WORKING_DIR,DISABLE_VSYNC");
    g_core.commandLine = const_cast<char*>(ZQI_GetCommandLine());
    if (!CorePreinitialize() || !CoreInitialize() || !g_core.developerMode || frames <= 0) {
        fprintf(stderr, "bench_console: the engine did not start in developer mode\n");
        return 1;
    }
    g_core.program->Draw = MeasuringDraw;
    g_core.program->Update = NoUpdate;
    for (int i = 0; i < kRingFill; ++i) {
        ZQ_Log(LOG_LEVEL_INFO, i % 7 == 0 ? "wave %d: boss spawned at (%d, %d)" : "wave %d: enemy moved to (%d, %d)",
               i / 50, i % 640, i % 480);
    }
    Console* console = ZQI_GetConsole();
    ZQI_SetConsoleInput(console, "BOSS");
    Measure(true, 50);  // warm up: the font, the batches, the driver
    const Measurement closed = Measure(false, frames);
    const Measurement open = Measure(true, frames);
    printf("console bench: %d frames each, ring %d lines, filter \"BOSS\" (%d lines pass)\n", frames,
           console->lines.count, ZQI_CountShownConsoleLines(console));
    printf("%-16s %22s %14s\n", "console", "input+drawing ms/frame", "frame ms");
    printf("%-16s %22.4f %14.4f\n", "closed", closed.consoleMs, closed.frameMs);
    printf("%-16s %22.4f %14.4f\n", "open", open.consoleMs, open.frameMs);
    ZQI_SetConsoleInput(console, nullptr);
    const Measurement nofilter = Measure(true, frames);
    printf("%-16s %22.4f %14.4f\n", "open, no filter", nofilter.consoleMs, nofilter.frameMs);
    CoreShutdown();
    return 0;
}
