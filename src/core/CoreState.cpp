// The core's run-wide record and its start-up defaults.
#include "core/CoreState.h"

#include "core/Sys.h"

CoreState g_core;

namespace {

// The console toggle character is the low byte (0xA7) of this key word.
const uint32_t kDefaultConsoleToggleKey = 0xC2A7u;
const int32_t kDefaultLogVerboseLevel = 2;

const int32_t kLastKeyboardInput = 255;
const int32_t kFirstMouseButton = 510;
const int32_t kLastMouseButton = 517;

}  // namespace

void ZQI_NoteStartTimes() {
    g_core.startMilliseconds = ZQI_SysMilliseconds();
    g_core.startNanoseconds = ZQI_SysNanoseconds();
}

void ZQI_SetCoreDefaults() {
    g_core.developerMode = 0;
    g_core.logging = 1;
    g_core.consoleEnabled = 1;
    g_core.logVerboseLevel = kDefaultLogVerboseLevel;
    g_core.consoleToggleKey = kDefaultConsoleToggleKey;
    g_core.appliedParameters.command_line = g_core.commandLine;
    ZQI_NoteStartTimes();
}

CoreState& ZQI_GetCoreState() {
    return g_core;
}

bool ZQI_IsQuitSignalled() {
    return ZQI_SysAtomicLoad(&g_core.quitFlag) != 0;
}

void ZQI_ReleaseKeyAndButtonStates() {
    for (int32_t id = 0; id <= kLastKeyboardInput; ++id) {
        g_core.inputStates[id] = 0;
    }
    for (int32_t id = kFirstMouseButton; id <= kLastMouseButton; ++id) {
        g_core.inputStates[id] = 0;
    }
}
