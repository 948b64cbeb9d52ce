// The single-instance check of start-up: a system mutex named by the program id marks a running
// instance; a second start hands its launch URI to the first one's window and ends.
#include <windows.h>

#include <cstring>

#include "core/ApiTable.h"
#include "core/CommandLine.h"
#include "core/CoreState.h"
#include "core/EventQueue.h"
#include "core/Log.h"
#include "engine/Lifecycle.h"
#include "engine/RuntimePlatform.h"
#include "engine/RuntimeState.h"
#include "engine/SingleInstance.h"

namespace {

const DWORD kMutexAllAccess = 0x1F0001;
const ULONG_PTR kLaunchUriCopyDataTag = 666;
const int kTitleBufferSize = 512;

bool HasLaunchUri() {
    return ZQI_GetLaunchUri()[0] != '\0';
}

}  // namespace

BOOL CALLBACK ZQI_FindOtherInstanceWindow(HWND window, LPARAM) {
    char title[kTitleBufferSize] = "";
    GetWindowTextA(window, title, kTitleBufferSize);
    if (strcmp(title, g_core.program->title) != 0) {
        return TRUE;
    }
    if (HasLaunchUri()) {
        const char* uri = ZQI_GetLaunchUri();
        COPYDATASTRUCT data;
        data.dwData = kLaunchUriCopyDataTag;
        data.cbData = static_cast<DWORD>(strlen(uri) + 1);
        data.lpData = const_cast<char*>(uri);
        SendMessageA(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
    }
    SetForegroundWindow(window);
    ShowWindow(window, SW_RESTORE);
    g_runtime.foundOtherInstance = 1;
    return FALSE;
}

void ZQI_CheckSingleInstance() {
    ZQ_Log(LOG_LEVEL_SYSTEM, "Checking for multiple program instances...");
    const char* id = g_core.program->id;
    HANDLE existing = OpenMutexA(kMutexAllAccess, FALSE, id);
    if (existing == nullptr) {
        g_runtime.singleInstanceMutex = CreateMutexA(nullptr, FALSE, id);
        if (HasLaunchUri()) {
            ZQI_PostLaunchUriEvent(ZQI_GetLaunchUri());
        }
        ZQ_Log(LOG_LEVEL_SYSTEM, "No other instances running.");
        return;
    }
    CloseHandle(existing);
    ZQ_Log(LOG_LEVEL_SYSTEM, "Other instance detected.");
    if (!HasLaunchUri() && g_runtime.allowMultipleInstances) {
        return;
    }
    ZQ_Log(LOG_LEVEL_SYSTEM, "Multiple instances not allowed, terminating...");
    g_runtime.foundOtherInstance = 0;
    EnumWindows(ZQI_FindOtherInstanceWindow, 0);
    if (!g_runtime.foundOtherInstance) {
        return;  // the rival's window is not found (its title changed): run as a further instance
    }
    if (!g_core.fallbackRecordInUse) {
        ZQI_GetRuntimePlatform().UnloadProgramLibrary();
    }
    ExitProcess(0);
}
