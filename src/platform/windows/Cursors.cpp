// The cursor table and the pointer slots of the root API.
#include "platform/windows/Cursors.h"

#include <windows.h>

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "core/ApiTable.h"
#include "foundation/String.h"
#include "platform/windows/GameWindow.h"

namespace {

struct CursorEntry {
    char* name;  // heap copy; null marks the end of the table
    HCURSOR cursor;
    uint32_t spare;
};

enum { CURSOR_TABLE_SIZE = 32 };
CursorEntry g_cursors[CURSOR_TABLE_SIZE];
bool g_cursorHidden = false;

struct SystemCursor {
    const char* name;
    LPCSTR id;
};

const SystemCursor kSystemCursors[] = {
    {"ARROW", IDC_ARROW},
    {"FINGER_POINT", IDC_HAND},
    {"IBEAM", IDC_IBEAM},
    {"WAIT", IDC_WAIT},
    {"CROSS", IDC_CROSS},
    {"UPARROW", IDC_UPARROW},
    {"SIZE_DIAGONAL_DOWN", IDC_SIZENWSE},
    {"SIZE_DIAGONAL_UP", IDC_SIZENESW},
    {"SIZE_HORIZONTAL", IDC_SIZEWE},
    {"SIZE_VERTICAL", IDC_SIZENS},
    {"SIZE_ALL", IDC_SIZEALL},
    {"NO", IDC_NO},
    {"HELP", IDC_HELP},
};

const char kDefaultCursor[] = "ARROW";

bool GetWindowOrigin(POINT* origin) {
    RECT outer;
    HWND window = ZQI_GetGameWindow();
    if (window == nullptr || !GetWindowRect(window, &outer)) {
        return false;
    }
    origin->x = outer.left;
    origin->y = outer.top;
    return true;
}

void FillPointerSlots(zq_api_t* api) {
    api->SetMouseCursor = ZQ_SetMouseCursor;
    api->GetMousePosition = ZQ_GetMousePosition;
    api->SetMousePosition = ZQ_SetMousePosition;
}

}  // namespace

void BuildCursorTable() {
    FreeCursorTable();
    int32_t count = 0;
    for (const SystemCursor& system : kSystemCursors) {
        char* name = ZQI_DuplicateString(system.name);
        if (name == nullptr) {
            break;  // the table ends at the first empty entry
        }
        g_cursors[count].name = name;
        g_cursors[count].cursor = LoadCursorA(nullptr, system.id);
        ++count;
    }
}

void FreeCursorTable() {
    for (CursorEntry& entry : g_cursors) {
        free(entry.name);
        entry.name = nullptr;
        entry.cursor = nullptr;
    }
}

void ZQI_SetCursorHidden(bool hidden) {
    g_cursorHidden = hidden;
}

void ZQ_SetMouseCursor(const char* name) {
    if (g_cursorHidden || name == nullptr || strcmp(name, "NULL") == 0) {
        SetCursor(nullptr);
        return;
    }
    for (const CursorEntry& entry : g_cursors) {
        if (entry.name == nullptr) {
            break;
        }
        if (strcmp(entry.name, name) == 0) {
            SetCursor(entry.cursor);
            return;
        }
    }
    // Without a table (not built yet) even "ARROW" is unknown; asking again would never end.
    if (strcmp(name, kDefaultCursor) != 0) {
        ZQ_SetMouseCursor(kDefaultCursor);
    }
}

zq_float2_t ZQ_GetMousePosition(int32_t pointer) {
    zq_float2_t position = {0.0f, 0.0f};
    POINT cursor;
    POINT origin;
    if (pointer != 0 || !GetCursorPos(&cursor) || !GetWindowOrigin(&origin)) {
        return position;
    }
    position.x = static_cast<float>(cursor.x - origin.x);
    position.y = static_cast<float>(cursor.y - origin.y);
    return position;
}

void ZQ_SetMousePosition(int32_t pointer, float x, float y) {
    POINT origin;
    if (pointer != 0 || !std::isfinite(x) || !std::isfinite(y) || !GetWindowOrigin(&origin)) {
        return;
    }
    // Positions beyond the screen make no sense; bounding them keeps the rounding defined.
    const float kLimit = 1.0e6f;
    if (std::fabs(x) > kLimit || std::fabs(y) > kLimit) {
        return;
    }
    SetCursorPos(origin.x + static_cast<int>(std::lround(x)), origin.y + static_cast<int>(std::lround(y)));
}

void ZQI_InstallPointerApi() {
    ZQI_RegisterApiTableFiller(FillPointerSlots);
    FillPointerSlots(ZQI_GetApi());
}
