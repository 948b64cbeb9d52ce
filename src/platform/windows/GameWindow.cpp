// The game window's placement, creation and destruction, and the window-level state the rest of
// the platform layer reads (handle, active flag, recreating flag, cursor clip).
#include "platform/windows/GameWindow.h"

#include <shellapi.h>

#include <cstring>

#include "core/ApiTable.h"
#include "core/CoreState.h"
#include "core/EventQueue.h"
#include "core/Log.h"
#include "filesystem/FileSystemApi.h"
#include "platform/windows/GameWindow_local.h"
#include "platform/windows/ProcessGlobals.h"
#include "platform/windows/ResourceIds.h"

GameWindowState g_gameWindow;

namespace {

const char kWindowClassName[] = "ZorqaWindowClass";
const WORD kIconResourceId = ZQ_RESOURCE_ICON;

// Windowed: caption, system menu, minimise and maximise boxes; a taskbar button and a raised
// edge. Fullscreen: a borderless popup.
const DWORD kWindowedStyle = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
const DWORD kWindowedExtendedStyle = WS_EX_APPWINDOW | WS_EX_WINDOWEDGE;
const DWORD kFullscreenStyle = WS_POPUP | 0x8u;  // bit 3 is a class style bit; this class reads none
const DWORD kFullscreenExtendedStyle = WS_EX_APPWINDOW;

// Keyboard: generic desktop controls (usage page 1), keyboard (usage 6).
const USHORT kUsagePageGenericDesktop = 1;
const USHORT kUsageKeyboard = 6;

void LogPlatformError(const char* call) {
    DWORD error = GetLastError();
    ZQ_Log(LOG_LEVEL_ERROR, "%s error: %s (0x%08X, platform error %i).", "Window", call,
           static_cast<unsigned>(HRESULT_FROM_WIN32(error)), static_cast<int>(error));
}

// A second creation after a destroyed window finds the class registered already; that is fine.
bool RegisterWindowClass(HINSTANCE instance) {
    WNDCLASSEXA windowClass;
    memset(&windowClass, 0, sizeof(windowClass));
    windowClass.cbSize = sizeof(windowClass);
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(kIconResourceId));
    windowClass.hIconSm = LoadIconA(instance, MAKEINTRESOURCEA(kIconResourceId));
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = kWindowClassName;
    if (RegisterClassExA(&windowClass) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS) {
        return true;
    }
    LogPlatformError("RegisterClassExA");
    return false;
}

// The program's title, which a program may fill to the last byte without a terminator.
void CopyProgramTitle(char* out, size_t size) {
    out[0] = '\0';
    const zq_program_t* program = g_core.program;
    if (program == nullptr) {
        return;
    }
    size_t length = strnlen(program->title, sizeof(program->title));
    if (length > size - 1) {
        length = size - 1;
    }
    memcpy(out, program->title, length);
    out[length] = '\0';
}

bool RegisterKeyboardRawInput(HWND window) {
    RAWINPUTDEVICE device;
    device.usUsagePage = kUsagePageGenericDesktop;
    device.usUsage = kUsageKeyboard;
    device.dwFlags = 0;
    device.hwndTarget = window;
    if (RegisterRawInputDevices(&device, 1, sizeof(device))) {
        return true;
    }
    ZQ_Log(LOG_LEVEL_ERROR, "Failed to initialize Raw Input.");
    return false;
}

// Focus and foreground are asked for on both sides of showing, so that the window ends up in
// front whether or not the system lets the first request through.
void ShowAndFocus(HWND window, const WindowPlacement& placement) {
    MoveWindow(window, placement.x, placement.y, placement.width, placement.height, FALSE);
    SetFocus(window);
    SetForegroundWindow(window);
    ShowWindow(window, SW_SHOW);
    UpdateWindow(window);
    SetForegroundWindow(window);
    SetFocus(window);
}

bool CreateAndShowWindow() {
    HINSTANCE instance = ZQI_GetInstanceHandle();
    if (!RegisterWindowClass(instance)) {
        ZQ_Print("! Zorqa FAILED to Create Window.");
        return false;
    }
    const zq_parameters_t& parameters = g_core.appliedParameters;
    bool windowed = parameters.windowed != 0;
    int desktopWidth = GetSystemMetrics(SM_CXSCREEN);
    int desktopHeight = GetSystemMetrics(SM_CYSCREEN);
    int width = windowed ? parameters.width : desktopWidth;
    int height = windowed ? parameters.height : desktopHeight;
    WindowPlacement placement = GetWindowPlacementRect(width, height, windowed);

    char title[sizeof(g_core.programRecord.title) + 1];
    CopyProgramTitle(title, sizeof(title));
    HWND window =
        CreateWindowExA(placement.extendedStyle, kWindowClassName, title, placement.style, placement.x,
                        placement.y, placement.width, placement.height, nullptr, nullptr, instance, nullptr);
    if (window == nullptr) {
        LogPlatformError("CreateWindowExA");
        ZQ_Print("! Zorqa FAILED to Create Window.");
        return false;
    }
    g_gameWindow.window = window;
    g_core.gameWindow = window;  // the sound back ends take it from the core's record
    // The native file dialogs are modal to the game window, so they cannot fall behind it.
    ZQI_SetFileDialogOwner(window);
    g_gameWindow.rawInput = RegisterKeyboardRawInput(window) ? 1 : 0;

    ShowAndFocus(window, GetWindowPlacementRect(width, height, windowed));
    if (!windowed) {
        GetWindowRect(window, &g_gameWindow.savedRect);
    }
    ZQ_Log(LOG_LEVEL_SYSTEM, "Created %swindow (%dx%d) on desktop (%dx%d).", windowed ? "" : "fullscreen ",
           width, height, desktopWidth, desktopHeight);
    // Dropped files are a developer convenience (reloading assets); releases accept none.
    if (g_core.developerMode) {
        DragAcceptFiles(window, TRUE);
    }
    return true;
}

}  // namespace

WindowPlacement GetWindowPlacementRect(int width, int height, bool windowed) {
    WindowPlacement placement;
    int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    int screenHeight = GetSystemMetrics(SM_CYSCREEN);
    if (windowed) {
        bool fillsDesktop = screenWidth <= width || screenHeight <= height;
        placement.style = fillsDesktop ? WS_POPUP : kWindowedStyle;
        placement.extendedStyle = kWindowedExtendedStyle;
    } else {
        placement.style = kFullscreenStyle;
        placement.extendedStyle = kFullscreenExtendedStyle;
    }
    RECT outer = {0, 0, width, height};
    AdjustWindowRectEx(&outer, placement.style, FALSE, placement.extendedStyle);
    placement.width = outer.right - outer.left;
    placement.height = outer.bottom - outer.top;
    if (windowed) {
        placement.x = (screenWidth - placement.width) / 2;
        placement.y = (screenHeight - placement.height) / 2;
        if (placement.y < 0) {
            // Keep the caption reachable rather than centring it off the top of the screen.
            placement.y -= GetSystemMetrics(SM_CYCAPTION) / 2;
        }
    } else {
        placement.x = 0;
        placement.y = 0;
    }
    return placement;
}

bool CreateGameWindow() {
    if (g_gameWindow.window != nullptr) {
        ZQ_Log(LOG_LEVEL_SYSTEM, "Window already created.");
        return true;
    }
    // The new window gets the system's handling of its messages even while the core is
    // re-creating it; only the window being torn down is left without it.
    g_gameWindow.creating = 1;
    bool created = CreateAndShowWindow();
    g_gameWindow.creating = 0;
    return created;
}

void DestroyGameWindow() {
    HWND window = g_gameWindow.window;
    if (window == nullptr) {
        return;
    }
    if (!DestroyWindow(window)) {
        LogPlatformError("DestroyWindow");
    }
    g_gameWindow.window = nullptr;
    g_core.gameWindow = nullptr;
    ZQI_SetFileDialogOwner(nullptr);
}

HWND ZQI_GetGameWindow() {
    return g_gameWindow.window;
}

void ClipCursorToWindow(bool clip) {
    ClipCursor(nullptr);
    HWND window = g_gameWindow.window;
    if (!clip || window == nullptr) {
        return;
    }
    RECT client;
    if (!GetClientRect(window, &client)) {
        return;
    }
    POINT topLeft = {client.left, client.top};
    POINT bottomRight = {client.right, client.bottom};
    ClientToScreen(window, &topLeft);
    ClientToScreen(window, &bottomRight);
    RECT area = {topLeft.x, topLeft.y, bottomRight.x, bottomRight.y};
    ClipCursor(&area);
}

bool ZQI_IsGameWindowActive() {
    return g_gameWindow.active != 0;
}

void ZQI_SetGameWindowRecreating(bool recreating) {
    g_gameWindow.recreating = recreating ? 1 : 0;
}

bool ZQI_IsGameWindowRecreating() {
    return g_gameWindow.recreating != 0;
}

bool ZQI_IsRawInputRegistered() {
    return g_gameWindow.rawInput != 0;
}

void ZQI_SetCursorKeptClipped(bool kept) {
    g_gameWindow.keepClipped = kept ? 1 : 0;
}

bool ZQI_IsCursorKeptClipped() {
    return g_gameWindow.keepClipped != 0;
}

int32_t ZQI_GetWheelTotal() {
    return g_gameWindow.wheelTotal;
}

void ZQI_PostWindowEvent(zq_event_t* event) {
    if (g_core.queueInputEvents) {
        ZQI_PostEvent(event);
    } else {
        ZQI_DispatchEvent(event);
        ZQI_FreeEventPayload(event);  // as the frame does after delivering a queued record
    }
}
