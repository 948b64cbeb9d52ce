// CallPlatformCommand: the command table, and the commands that need no dialog (mouse, clipboard,
// shell, paths, region, user name, gamepad pairing).
#include "platform/windows/PlatformCommands.h"

#include <windows.h>
#include <shellapi.h>

#include <cstring>

#include "core/ApiTable.h"
#include "core/EventQueue.h"
#include "core/Log.h"
#include "filesystem/VirtualPath.h"
#include "foundation/String.h"
#include "foundation/TextUtils.h"
#include "platform/windows/GameWindow.h"
#include "platform/windows/PlatformCommands_local.h"

namespace {

enum { FIELD_RING_SIZE = 8, CLIPBOARD_SIZE = 4096, REGION_SIZE = 60, USER_NAME_SIZE = 257 };

char g_fieldRing[FIELD_RING_SIZE][PLATFORM_FIELD_SIZE];
int g_nextField = 0;
char g_clipboardText[CLIPBOARD_SIZE];
char g_nativePath[PLATFORM_PATH_SIZE];
char g_staticPath[PLATFORM_PATH_SIZE];
char g_region[REGION_SIZE];
char g_userName[USER_NAME_SIZE];
String g_ugcBasePath;

const int32_t kMouseDeltaX = 508;
const int32_t kMouseDeltaY = 509;

typedef const char* (*CommandHandler)(const char* command, const char* parameter);

// ---- Mouse ----

const char* ReadWindowMouseMessages(const char*, const char*) {
    MSG message;
    while (PeekMessageA(&message, nullptr, WM_MOUSEMOVE, WM_MOUSEMOVE, PM_NOREMOVE)) {
        if (GetMessageA(&message, nullptr, WM_MOUSEMOVE, WM_MOUSEMOVE) <= 0) {
            break;
        }
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return nullptr;
}

const char* ClipCursorCommand(const char*, const char* parameter) {
    bool clip = parameter != nullptr && (strcmp(parameter, "1") == 0 || strcmp(parameter, "true") == 0 ||
                                         strcmp(parameter, "TRUE") == 0);
    ZQI_SetCursorKeptClipped(clip);
    ClipCursorToWindow(clip);
    return nullptr;
}

// Relative mouse movement: the distance from the window centre, after which the cursor goes back
// to the centre.
const char* ReadMouseDelta(const char*, const char*) {
    RECT outer;
    POINT cursor;
    HWND window = ZQI_GetGameWindow();
    if (window == nullptr || !GetWindowRect(window, &outer) || !GetCursorPos(&cursor)) {
        return nullptr;
    }
    int centreX = (outer.left + outer.right) / 2;
    int centreY = (outer.top + outer.bottom) / 2;
    SetCursorPos(centreX, centreY);
    ZQ_SetInputState(kMouseDeltaX, cursor.x - centreX);
    ZQ_SetInputState(kMouseDeltaY, cursor.y - centreY);
    return nullptr;
}

// ---- Clipboard ----

const char* SetClipboardText(const char*, const char* parameter) {
    if (parameter == nullptr || !OpenClipboard(ZQI_GetGameWindow())) {
        return nullptr;
    }
    EmptyClipboard();
    size_t length = strlen(parameter);
    if (length > 0) {
        HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, length + 1);
        char* text = block != nullptr ? static_cast<char*>(GlobalLock(block)) : nullptr;
        if (text != nullptr) {
            memcpy(text, parameter, length + 1);
            GlobalUnlock(block);
            if (SetClipboardData(CF_TEXT, block) == nullptr) {
                GlobalFree(block);  // the clipboard did not take it over
            }
        } else if (block != nullptr) {
            GlobalFree(block);
        }
    }
    CloseClipboard();
    return nullptr;
}

// The clipboard's text when it is shorter than the buffer, else empty; null when there is none.
bool ReadClipboardText(char* out, size_t size) {
    HANDLE data = GetClipboardData(CF_TEXT);
    const char* text = data != nullptr ? static_cast<const char*>(GlobalLock(data)) : nullptr;
    if (text == nullptr) {
        return false;
    }
    // The block need not hold a terminator; read no further than its size.
    size_t length = strnlen(text, GlobalSize(data));
    if (length < size - 1) {
        memcpy(out, text, length);
        out[length] = '\0';
    } else {
        out[0] = '\0';
    }
    GlobalUnlock(data);
    return true;
}

const char* GetClipboardText(const char*, const char*) {
    if (!OpenClipboard(ZQI_GetGameWindow())) {
        return nullptr;
    }
    bool read = ReadClipboardText(g_clipboardText, sizeof(g_clipboardText));
    CloseClipboard();
    return read ? g_clipboardText : nullptr;
}

// ---- Shell ----

void OpenWithShell(const char* target) {
    HINSTANCE result = ShellExecuteA(ZQI_GetGameWindow(), "open", target, nullptr, nullptr, SW_SHOWNORMAL);
    ZQ_Print("ShellExecute open '%s' returned %x", target,
             static_cast<unsigned>(reinterpret_cast<uintptr_t>(result)));
}

const char* OpenURL(const char*, const char* parameter) {
    if (parameter == nullptr) {
        return nullptr;
    }
    OpenWithShell(parameter);
    return "OK";
}

const char* ComposeMail(const char*, const char* parameter) {
    if (parameter != nullptr) {
        OpenWithShell(parameter);
    }
    return nullptr;
}

// ---- Paths ----

const char* GetNativeOSPath(const char* command, const char* parameter) {
    if (parameter == nullptr) {
        return nullptr;
    }
    String native;
    ZQ_ConvertStaticPathToNativeOSPath(native, parameter);
    return ZQI_CopyPlatformResult(command, native.CStr(), g_nativePath, sizeof(g_nativePath));
}

const char* ConvertNativeOSPathToStaticPath(const char* command, const char* parameter) {
    if (parameter == nullptr) {
        return nullptr;
    }
    String path;
    ZQI_ConvertNativePathToPath(path, parameter);
    return ZQI_CopyPlatformResult(command, path.CStr(), g_staticPath, sizeof(g_staticPath));
}

const char* SetUGCBasePath(const char*, const char* parameter) {
    zq_filesystem_api_t* files = ZQI_GetApi()->filesystem;
    if (parameter == nullptr || files == nullptr || !files->IsPathValid(parameter)) {
        ZQ_Log(LOG_LEVEL_WARNING, "SetUGCBasePath new path is invalid.");
        return nullptr;
    }
    g_ugcBasePath = parameter;
    return "OK";
}

// ---- System ----

const char* GetRegion(const char*, const char*) {
    GEOID nation = GetUserGeoID(GEOCLASS_NATION);
    if (GetGeoInfoA(nation, GEO_ISO2, g_region, sizeof(g_region), 0) == 0) {
        return nullptr;
    }
    return g_region;
}

const char* GetUserNameCommand(const char*, const char*) {
    DWORD size = sizeof(g_userName);
    if (!GetUserNameA(g_userName, &size)) {
        return nullptr;
    }
    return g_userName;
}

const char* SystemInfo(const char*, const char*) {
    return "DEPRECATED";
}

const char* Accounts(const char*, const char* parameter) {
    const char* action = ZQI_TakePlatformField(parameter, ';', 0);
    if (action == nullptr) {
        return nullptr;
    }
    int32_t result;
    if (strcmp(action, "PairGamepad") == 0) {
        result = 1;
    } else if (strcmp(action, "Logout") == 0) {
        result = 0;
    } else {
        return nullptr;
    }
    zq_event_t event;
    ZQ_InitializeEvent(&event, ZQ_EVENT_PAIR_GAMEPAD);
    event.pair_gamepad.result = result;
    ZQI_PostEvent(&event);
    return nullptr;
}

// ---- Dialogs (PlatformDialogCommands.cpp) ----

const char* FileDialog(const char* command, const char* parameter) {
    return ZQI_RunFileDialogCommand(command, parameter);
}

const char* ValueDialog(const char* command, const char* parameter) {
    return ZQI_RunValueDialogCommand(command, parameter);
}

const char* ShowPopup(const char*, const char* parameter) {
    return ZQI_RunShowPopupCommand(parameter);
}

struct Command {
    const char* name;
    CommandHandler handler;
};

const Command kCommands[] = {
    {"ReadWindowMouseMessages", ReadWindowMouseMessages},
    {"ClipCursor", ClipCursorCommand},
    {"ReadMouseDelta", ReadMouseDelta},
    {"Clipboard_SetText", SetClipboardText},
    {"Clipboard_GetText", GetClipboardText},
    {"OpenURL", OpenURL},
    {"IPHONE_OpenURL", OpenURL},
    {"GetNativeOSPath", GetNativeOSPath},
    {"ConvertStaticPathToNativeOSPath", GetNativeOSPath},
    {"ConvertNativeOSPathToStaticPath", ConvertNativeOSPathToStaticPath},
    {"SetUGCBasePath", SetUGCBasePath},
    {"ComposeMail", ComposeMail},
    {"GetRegion", GetRegion},
    {"GetUserName", GetUserNameCommand},
    {"SystemInfo", SystemInfo},
    {"OpenFileDialog", FileDialog},
    {"SaveFileDialog", FileDialog},
    {"EditValue", ValueDialog},
    {"EditValueMultiline", ValueDialog},
    {"EditCode", ValueDialog},
    {"SelectValue", ValueDialog},
    {"Accounts", Accounts},
    {"ShowPopup", ShowPopup},
};

}  // namespace

const char* ZQI_TakePlatformField(const char* parameter, char separator, int index) {
    char* buffer = g_fieldRing[g_nextField];
    g_nextField = (g_nextField + 1) % FIELD_RING_SIZE;
    return ZQI_GetFieldByChar(buffer, PLATFORM_FIELD_SIZE, parameter, separator, index);
}

const char* ZQI_CopyPlatformResult(const char* command, const char* text, char* buffer, size_t size) {
    size_t length = strlen(text);
    if (length >= size) {
        ZQ_Log(LOG_LEVEL_ERROR, "%s: the result (%u characters) does not fit its buffer of %u bytes.",
               command, static_cast<unsigned>(length), static_cast<unsigned>(size));
        return nullptr;
    }
    memcpy(buffer, text, length + 1);
    return buffer;
}

const char* CallPlatformCommand(const char* command, const char* parameter) {
    if (command == nullptr) {
        return nullptr;
    }
    for (const Command& entry : kCommands) {
        if (strcmp(command, entry.name) == 0) {
            return entry.handler(command, parameter);
        }
    }
    return nullptr;
}

const char* ZQI_GetUGCBasePath() {
    return g_ugcBasePath.CStr();
}
