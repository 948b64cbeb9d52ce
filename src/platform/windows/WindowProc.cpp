// The game window's procedure: pointer, wheel, key, activation, close, launch and drop messages
// become engine events; maximising and frame changes ask the core to re-initialise the display.
#include <windows.h>
#include <shellapi.h>

#include <cstring>

#include "core/ApiTable.h"
#include "core/CoreState.h"
#include "core/EventQueue.h"
#include "core/Log.h"
#include "core/Sys.h"
#include "platform/windows/GameWindow.h"
#include "platform/windows/GameWindow_local.h"
#include "platform/windows/Keyboard.h"

namespace {

// Button codes of the pointer events.
const uint16_t kButtonLeft = 0x1FE;
const uint16_t kButtonRight = 0x1FF;
const uint16_t kButtonMiddle = 0x200;  // the extra buttons follow it: 0x201 and 0x202

// Pointer events made here all describe the mouse.
const int8_t kMousePointerIndex = 0;
const uint32_t kMouseDeviceKind = 2;

// Copy-data requests with this tag carry a launch URI from a second instance.
const ULONG_PTR kLaunchUriCopyDataTag = 666;

// The engine's mapping of client positions to the program's units; none until it installs one.
PointerMapping g_pointerMapping = nullptr;
// The engine's input back ends hear of activation changes through this; none until installed.
ActivationHook g_activationHook = nullptr;

// Answer of the close request that keeps the window open.
const int32_t kQuitRequestCancelled = ZQ_EVENT_ANSWER_CANCEL_QUIT;

bool RootApiExists() {
    return ZQI_GetApi()->Log != nullptr;
}

// Unhandled messages: the system's handling, except for the window the core is tearing down to
// re-create it. The new window always gets the system's handling: -1 from WM_CREATE would fail
// its creation, and from WM_NCCALCSIZE it would give it a client area of the whole window.
LRESULT DefaultResult(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (g_gameWindow.recreating && !g_gameWindow.creating) {
        return -1;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

void SetQuitFlag() {
    ZQI_SysAtomicExchange(&g_core.quitFlag, 1);
}

void RequestReinitialization(const zq_parameters_t& parameters) {
    zq_parameters_t copy = parameters;
    g_core.reinitForce = 1;
    zq_api_t* api = ZQI_GetApi();
    if (api->ReinitializeWithParameters != nullptr) {
        api->ReinitializeWithParameters(&copy);
    }
}

void PostPointerEvent(uint32_t type, uint16_t button) {
    zq_event_t event;
    ZQ_InitializeEvent(&event, type);
    event.pointer.pointer_index = kMousePointerIndex;
    event.pointer.x = g_gameWindow.pointerX;
    event.pointer.y = g_gameWindow.pointerY;
    event.pointer.button = button;
    event.pointer.device_kind = kMouseDeviceKind;
    ZQI_PostWindowEvent(&event);
}

// ---- Messages ----

// The quit message only ends the current message pump; the main loop ends on the quit flag.
LRESULT OnDestroy() {
    if (g_gameWindow.recreating) {
        return 1;
    }
    PostQuitMessage(0);
    return 0;
}

// Maximising the windowed window means "go fullscreen": the window is restored and the display
// re-initialised without the windowed flag.
LRESULT OnSize(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (wParam != SIZE_MAXIMIZED || !RootApiExists()) {
        return DefaultResult(window, message, wParam, lParam);
    }
    if (!g_gameWindow.recreating && g_core.program != nullptr) {
        ShowWindow(window, SW_RESTORE);
        ZQ_Log(LOG_LEVEL_SYSTEM, "Window maximized: size %dx%d..", static_cast<int>(LOWORD(lParam)),
               static_cast<int>(HIWORD(lParam)));
        zq_parameters_t parameters = g_core.program->parameters;
        parameters.windowed = 0;
        RequestReinitialization(parameters);
    }
    return 0;
}

void OnActivate(WPARAM wParam) {
    if (!RootApiExists()) {
        return;
    }
    uint8_t active = (LOWORD(wParam) != WA_INACTIVE && HIWORD(wParam) == 0) ? 1 : 0;
    if (!active) {
        ZQI_ResetAltEnterChord();  // the Alt or Enter release will not reach this window
    }
    if (active == g_gameWindow.active) {
        return;
    }
    if (!ZQI_IsQuitSignalled()) {
        zq_event_t event;
        ZQ_InitializeEvent(&event, ZQ_EVENT_ACTIVE_CHANGED);
        event.active.inactive = active ? 0 : 1;
        // Queued even before the core runs: the program must see the state it starts in.
        ZQI_PostEvent(&event);
    }
    g_gameWindow.active = active;
    if (g_activationHook != nullptr) {
        g_activationHook(active != 0);
    }
    // Keys held while the focus moves away are released elsewhere; their key-up never comes.
    ReleaseAllKeys();
}

// The program decides whether the window may close; the window itself is never destroyed here.
LRESULT OnClose() {
    zq_event_t event;
    ZQ_InitializeEvent(&event, ZQ_EVENT_QUIT_REQUEST);
    if (ZQI_DispatchEvent(&event) == kQuitRequestCancelled) {
        return 0;
    }
    SetQuitFlag();
    return g_gameWindow.recreating ? 0 : 1;
}

// A second instance hands over its launch URI; the event carries its own copy of the text.
void OnCopyData(LPARAM lParam) {
    const COPYDATASTRUCT* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
    if (data == nullptr || data->dwData != kLaunchUriCopyDataTag) {
        return;
    }
    // The sender includes the terminator, but nothing guarantees it: read no further than cbData.
    const char* text = static_cast<const char*>(data->lpData);
    size_t length = text != nullptr ? strnlen(text, data->cbData) : 0;
    String received;
    for (size_t i = 0; i < length; ++i) {
        received.AppendChar(text[i]);
    }
    zq_event_t event;
    if (ZQI_MakeLaunchUriEvent(&event, received.CStr())) {
        ZQI_PostWindowEvent(&event);
    }
}

bool ProposedSizeDiffers(HWND window, WPARAM wParam, LPARAM lParam) {
    if (wParam != TRUE) {
        return true;
    }
    const NCCALCSIZE_PARAMS* sizes = reinterpret_cast<const NCCALCSIZE_PARAMS*>(lParam);
    RECT current;
    if (sizes == nullptr || !GetWindowRect(window, &current)) {
        return true;
    }
    const RECT& proposed = sizes->rgrc[0];
    return proposed.right - proposed.left != current.right - current.left ||
           proposed.bottom - proposed.top != current.bottom - current.top;
}

// Any outer-size change the core did not make (a frame change, a drag) brings the display back
// to the requested mode.
void OnNcCalcSize(HWND window, WPARAM wParam, LPARAM lParam) {
    if (g_gameWindow.window == nullptr || !ProposedSizeDiffers(window, wParam, lParam)) {
        return;
    }
    RequestReinitialization(g_core.pendingParameters);
}

// Positions reach the program in its own units: autoscaling and the overlay zoom are undone. In
// fullscreen the back buffer and the client area may differ in size: positions are scaled to the
// back buffer, and a move that lands on the same back-buffer pixel is not posted.
void OnMouseMove(HWND window, LPARAM lParam) {
    int32_t x = static_cast<int16_t>(LOWORD(lParam));
    int32_t y = static_cast<int16_t>(HIWORD(lParam));
    if (g_pointerMapping != nullptr) {
        g_pointerMapping(&x, &y);
    }
    const zq_parameters_t& parameters = g_core.appliedParameters;
    if (!parameters.windowed) {
        RECT client;
        if (GetClientRect(window, &client) && client.right > 0 && client.bottom > 0) {
            x = static_cast<int32_t>(x * (static_cast<float>(parameters.width) / client.right));
            y = static_cast<int32_t>(y * (static_cast<float>(parameters.height) / client.bottom));
        }
        if (x == g_gameWindow.pointerX && y == g_gameWindow.pointerY) {
            return;
        }
    }
    g_gameWindow.pointerXf = static_cast<float>(x);
    g_gameWindow.pointerYf = static_cast<float>(y);
    g_gameWindow.pointerX = x;
    g_gameWindow.pointerY = y;
    PostPointerEvent(ZQ_EVENT_POINTER_MOVE, 0);
}

void OnMouseWheel(WPARAM wParam) {
    int16_t delta = static_cast<int16_t>(HIWORD(wParam));
    g_gameWindow.wheelTotal += delta;
    zq_event_t event;
    ZQ_InitializeEvent(&event, ZQ_EVENT_POINTER_WHEEL);
    event.pointer.pointer_index = kMousePointerIndex;
    event.pointer.x = g_gameWindow.pointerX;
    event.pointer.y = g_gameWindow.pointerY;
    event.pointer.wheel_delta = delta;
    event.pointer.device_kind = kMouseDeviceKind;
    ZQI_PostWindowEvent(&event);
}

// Length of the part of a '/'-separated path that no ".." climbs above: "X:/", "//server/share/",
// a leading "/", or nothing for a relative path.
size_t RootLength(const char* path) {
    if (path[0] != '\0' && path[1] == ':') {
        return path[2] == '/' ? 3 : 2;
    }
    if (path[0] == '/' && path[1] == '/') {
        const char* server = strchr(path + 2, '/');
        const char* share = server != nullptr ? strchr(server + 1, '/') : nullptr;
        return share != nullptr ? static_cast<size_t>(share + 1 - path) : strlen(path);
    }
    return path[0] == '/' ? 1 : 0;
}

// The first ".." that is a whole component (a name such as "..hidden" is not), or null.
char* FindParentComponent(char* from) {
    for (char* dots = strstr(from, ".."); dots != nullptr; dots = strstr(dots + 1, "..")) {
        bool starts = dots == from || dots[-1] == '/';
        bool ends = dots[2] == '/' || dots[2] == '\0';
        if (starts && ends) {
            return dots;
        }
    }
    return nullptr;
}

// Folds each ".." component with the folder before it, in place, as Windows resolves a full
// path: C:/a/b/../c becomes C:/a/c and C:/a/b/.. becomes C:/a. At the root there is no folder
// to go up to and the ".." goes alone: C:/../c becomes C:/c.
void FoldParentFolders(char* path) {
    char* root = path + RootLength(path);
    for (char* dots = FindParentComponent(root); dots != nullptr; dots = FindParentComponent(root)) {
        char* cutFrom = dots;
        char* cutTo = dots[2] == '/' ? dots + 3 : dots + 2;
        if (dots > root) {
            cutFrom = dots - 1;  // the '/' that ends the folder before
            while (cutFrom > root && cutFrom[-1] != '/') {
                --cutFrom;
            }
            // At the end of the path the folder's own '/' goes too, unless it is the root's.
            if (*cutTo == '\0' && cutFrom > root) {
                --cutFrom;
            }
        }
        memmove(cutFrom, cutTo, strlen(cutTo) + 1);
    }
}

// Only the first dropped file reaches the program, with '/' separators and ".." folded.
void OnDropFiles(WPARAM wParam) {
    HDROP drop = reinterpret_cast<HDROP>(wParam);
    zq_event_t event;
    ZQ_InitializeEvent(&event, ZQ_EVENT_FILE_DROPPED);
    POINT point;
    if (DragQueryPoint(drop, &point)) {
        event.file_dropped.x = point.x;
        event.file_dropped.y = point.y;
    }
    char* path = g_gameWindow.dropBuffer;
    UINT length = DragQueryFileA(drop, 0, path, GAME_WINDOW_DROP_BUFFER_SIZE);
    DragFinish(drop);
    if (length == 0) {
        return;
    }
    for (char* c = path; *c != '\0'; ++c) {
        if (*c == '\\') {
            *c = '/';
        }
    }
    FoldParentFolders(path);
    ZQ_Log(LOG_LEVEL_INFO, "Dragged and dropped file '%s'.", path);
    event.file_dropped.path = path;
    ZQI_DispatchEvent(&event);
}

}  // namespace

void ZQI_SetPointerMapping(PointerMapping mapping) {
    g_pointerMapping = mapping;
}

void ZQI_SetActivationHook(ActivationHook hook) {
    g_activationHook = hook;
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_DESTROY:
            return OnDestroy();
        case WM_SIZE:
            return OnSize(window, message, wParam, lParam);
        case WM_ACTIVATE:
            OnActivate(wParam);
            break;
        case WM_PAINT:
            ValidateRect(window, nullptr);
            return 0;
        case WM_CLOSE:
            return OnClose();
        case WM_ERASEBKGND:
            return 1;
        case WM_COPYDATA:
            OnCopyData(lParam);
            break;
        case WM_NCCALCSIZE:
            OnNcCalcSize(window, wParam, lParam);
            break;
        case WM_INPUT:
            // Windows asks that every raw-input packet reach DefWindowProcA once it has been read
            // (or dropped), so the system can clean up the input.
            HandleKeyboardMessage(message, wParam, lParam);
            DefWindowProcA(window, message, wParam, lParam);
            return 0;
        case WM_KEYDOWN:
        case WM_KEYUP:
        case WM_CHAR:
        case WM_SYSKEYDOWN:
        case WM_SYSKEYUP:
            if (HandleKeyboardMessage(message, wParam, lParam)) {
                return 0;
            }
            break;
        case WM_SYSCOMMAND:
            // Alt alone would open the system menu and freeze the frame loop until released.
            if (wParam == SC_KEYMENU) {
                return 0;
            }
            break;
        case WM_MOUSEMOVE:
            OnMouseMove(window, lParam);
            break;
        case WM_LBUTTONDOWN:
            PostPointerEvent(ZQ_EVENT_POINTER_DOWN, kButtonLeft);
            ClipCursorToWindow(true);
            break;
        case WM_RBUTTONDOWN:
            PostPointerEvent(ZQ_EVENT_POINTER_DOWN, kButtonRight);
            ClipCursorToWindow(true);
            break;
        case WM_LBUTTONUP:
            PostPointerEvent(ZQ_EVENT_POINTER_UP, kButtonLeft);
            ClipCursorToWindow(ZQI_IsCursorKeptClipped());
            break;
        case WM_RBUTTONUP:
            PostPointerEvent(ZQ_EVENT_POINTER_UP, kButtonRight);
            ClipCursorToWindow(ZQI_IsCursorKeptClipped());
            break;
        case WM_MBUTTONDOWN:
            PostPointerEvent(ZQ_EVENT_POINTER_DOWN, kButtonMiddle);
            break;
        case WM_MBUTTONUP:
            PostPointerEvent(ZQ_EVENT_POINTER_UP, kButtonMiddle);
            break;
        case WM_XBUTTONDOWN:
            PostPointerEvent(ZQ_EVENT_POINTER_DOWN, static_cast<uint16_t>(kButtonMiddle + HIWORD(wParam)));
            break;
        case WM_XBUTTONUP:
            PostPointerEvent(ZQ_EVENT_POINTER_UP, static_cast<uint16_t>(kButtonMiddle + HIWORD(wParam)));
            break;
        case WM_MOUSEWHEEL:
            OnMouseWheel(wParam);
            break;
        case WM_DROPFILES:
            OnDropFiles(wParam);
            return 0;
        default:
            break;
    }
    return DefaultResult(window, message, wParam, lParam);
}
