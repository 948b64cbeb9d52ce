// zorqa.exe's process entry: brackets the run with a 1 ms timer resolution, installs the crash
// filter, hands the engine the platform's window, popup, program-library, sound, gamepad and
// command functions (and the window procedure the engine's pointer mapping and input activation),
// runs the two start-up stages, loads the cursors, then alternates the message pump with one
// engine frame until the quit flag is set.
#include <windows.h>
#include <mmsystem.h>

#include "core/ApiTable.h"
#include "core/CommandLine.h"
#include "core/CoreState.h"
#include "core/Log.h"
#include "engine/Autoscale.h"
#include "engine/Lifecycle.h"
#include "engine/RuntimePlatform.h"
#include "engine/RuntimeState.h"
#include "platform/windows/CrashFilter.h"
#include "platform/windows/Cursors.h"
#include "platform/windows/GameWindow.h"
#include "platform/windows/InputImpXInput.h"
#include "platform/windows/Keyboard.h"
#include "platform/windows/MessagePump.h"
#include "platform/windows/PlatformCommands.h"
#include "platform/windows/Popups.h"
#include "platform/windows/ProcessGlobals.h"
#include "platform/windows/ProgramLibrary.h"
#include "platform/windows/SoundChoice.h"

namespace {

const char kPreinitializationFailedText[] =
    "Failed to initialize the application. You can try the following: 1) Reboot your system, 2) Update "
    "your drivers, 3) Restart the application.\n\nSee generated log for details.";
const char kInitializationFailedText[] = "Core initialization failed.";
const char kEngineCaption[] = "ZORQA";

// The Windows API level the engine reports in its log (Windows 10).
const unsigned kReportedWin32Winnt = 0xA00;

const int kExitSuccess = 0;
const int kExitInitializationFailed = 1;

void* GetGameWindowHandle() {
    return ZQI_GetGameWindow();
}

void InstallPlatformFunctions() {
    ZQI_InstallPopupMessageBox();
    ZQI_InstallProgramLibraryLoader();
    RuntimePlatform platform = {};
    platform.CreateGameWindow = CreateGameWindow;
    platform.GetGameWindow = GetGameWindowHandle;
    platform.DestroyGameWindow = DestroyGameWindow;
    platform.SetWindowRecreating = ZQI_SetGameWindowRecreating;
    platform.LoadSoundImplementation = LoadSoundImplementation;
    platform.UnloadProgramLibrary = UnloadProgramLibrary;
    platform.CallPlatformCommand = CallPlatformCommand;
    platform.CreateGamepadImplementation = ZQI_CreateXInputImplementation;
    ZQI_SetRuntimePlatform(&platform);
    ZQI_SetPointerMapping(ZQI_MapWindowPointToProgram);
    ZQI_SetActivationHook(ZQI_SetInputBackEndsActive);
    ZQI_InstallPointerApi();
}

int RunEngine(HINSTANCE instance) {
    if (!CorePreinitialize()) {
        PopupMessage(POPUP_LEVEL_ERROR, kPreinitializationFailedText);
        return kExitSuccess;
    }
    ZQ_Log(LOG_LEVEL_SYSTEM, "WIN32_WINNT defined to %x.", kReportedWin32Winnt);
    ZQI_SetInstanceHandle(instance);
    if (!CoreInitialize()) {
        // The failed start destroyed the window, whose WM_DESTROY posted WM_QUIT; a message box
        // that finds WM_QUIT in the queue closes at once, so the user would never see it.
        MSG quit;
        PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
        MessageBoxA(nullptr, kInitializationFailedText, kEngineCaption, MB_ICONEXCLAMATION);
        return kExitInitializationFailed;
    }
    ZQI_SetCursorHidden(g_runtime.hideCursor != 0);
    BuildCursorTable();
    RunMainLoop(RunFrame, Sleep);
    FreeCursorTable();
    CoreShutdown();
    ZQI_ReleaseRawInputReader();
    return kExitSuccess;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
    timeBeginPeriod(1);
    SetUnhandledExceptionFilter(CrashExceptionFilter);
    ZQI_SetCommandLine(commandLine);
    g_core.commandLine = const_cast<char*>(ZQI_GetCommandLine());
    InstallPlatformFunctions();
    int exitCode = RunEngine(instance);
    timeEndPeriod(1);
    return exitCode;
}
