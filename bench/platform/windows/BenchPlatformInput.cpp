// Measures, under Wine: InputImpXInput::Update per frame with four missing pads (the real
// library, a 60 Hz clock, so a missing pad is asked once a second) and with four connected pads
// (scripted readings that change every frame, so keys go down and up); and the time to build a
// crash trace (CrashStackTrace, symbols loaded by every call, as the crash filter does).
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "core/ApiTable.h"
#include "core/CoreState.h"
#include "core/EventQueue.h"
#include "core/Threads.h"
#include "platform/windows/CrashFilter.h"
#include "platform/windows/InputImpXInput.h"

namespace {

const int kFrames = 200000;
const uint32_t kFrameMilliseconds = 16;
uint32_t g_now = 0;
uint32_t g_frame = 0;

uint32_t BenchClock() {
    return g_now;
}

DWORD WINAPI ScriptedGetState(DWORD pad, XINPUT_STATE* state) {
    memset(state, 0, sizeof(*state));
    state->dwPacketNumber = g_frame + 1;
    bool odd = (g_frame + pad) % 2 != 0;
    state->Gamepad.wButtons = odd ? XINPUT_GAMEPAD_A | XINPUT_GAMEPAD_DPAD_UP : XINPUT_GAMEPAD_B;
    state->Gamepad.bLeftTrigger = odd ? 200 : 10;
    state->Gamepad.sThumbLX = odd ? 30000 : -12000;
    state->Gamepad.sThumbRY = 20000;
    return ERROR_SUCCESS;
}

DWORD WINAPI IgnoreSetState(DWORD, XINPUT_VIBRATION*) {
    return ERROR_SUCCESS;
}

double Seconds(const LARGE_INTEGER& start, const LARGE_INTEGER& end) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Update alone is timed; the frame's event step drains what it posted, outside the timing.
double TimeUpdates(InputImpXInput& xinput) {
    double seconds = 0.0;
    for (int i = 0; i < kFrames; ++i) {
        g_frame = static_cast<uint32_t>(i);
        g_now += kFrameMilliseconds;
        LARGE_INTEGER start, end;
        QueryPerformanceCounter(&start);
        xinput.Update();
        QueryPerformanceCounter(&end);
        seconds += Seconds(start, end);
        ZQI_ProcessEventQueue();
    }
    return seconds * 1e9 / kFrames;
}

}  // namespace

int main() {
    ZQI_InitializeMainThread();
    ZQI_BuildApiTables();
    ZQI_GetApi()->GetMilliseconds = BenchClock;
    InputImpXInput xinput;
    if (!xinput.Initialize(&g_core)) {
        printf("XInput did not start\n");
        return 1;
    }
    printf("XInput Update, four missing pads (real library): %.1f ns per frame\n", TimeUpdates(xinput));
    ZQI_SetXInputFunctions(ScriptedGetState, IgnoreSetState);
    printf("XInput Update, four connected pads (scripted):   %.1f ns per frame\n", TimeUpdates(xinput));
    xinput.Shutdown();

    for (int i = 0; i < 5; ++i) {
        LARGE_INTEGER start, end;
        QueryPerformanceCounter(&start);
        String trace = CrashStackTrace();
        QueryPerformanceCounter(&end);
        int frames = 0;
        for (const char* c = trace.CStr(); *c != '\0'; ++c) {
            frames += *c == '\n' ? 1 : 0;
        }
        printf("Crash trace %d: %.1f ms (%d frames)\n", i + 1, Seconds(start, end) * 1e3, frames);
    }
    return 0;
}
