// Input of the developer console overlay: line editing, the history, scrolling the log view,
// Tab completion, and the clipboard (through the named calls "Clipboard_GetText" and
// "Clipboard_SetText"). Entered lines go to the program as console-command events; the console
// itself only understands "#" and a line number, which scrolls the view.
#include "core/ConsoleEvents.h"

#include <cstdlib>
#include <cstring>

#include "core/ApiTable.h"
#include "core/Console.h"
#include "core/ConsoleAutocompletion.h"
#include "core/ConsoleFilter.h"
#include "core/CoreState.h"
#include "core/EventQueue.h"
#include "core/Log.h"
#include "core/NamedMutex.h"

namespace {

// Key codes the console reacts to.
enum ConsoleKey : int32_t {
    KEY_BACKSPACE = 8,
    KEY_TAB = 9,
    KEY_ENTER = 13,
    KEY_SHIFT = 16,
    KEY_CTRL = 17,
    KEY_PAGE_UP = 33,
    KEY_PAGE_DOWN = 34,
    KEY_END = 35,
    KEY_HOME = 36,
    KEY_LEFT = 37,
    KEY_UP = 38,
    KEY_RIGHT = 39,
    KEY_DOWN = 40,
    KEY_DELETE = 46,
    KEY_C = 67,
    KEY_V = 86
};

const int32_t kMaxLineLength = 512;    // characters the input line holds
const int32_t kLastPasteCursor = 509;  // pasting stops once the cursor has passed this
const int32_t kPageLines = 10;
const int32_t kWheelStep = 120;            // wheel delta of one notch
const float kClickableOpenFactor = 0.99f;  // lines are clicked only on a fully open console
const int32_t kFirstPrintableCharacter = 32;

int32_t LineLength(const Console* console) {
    return static_cast<int32_t>(strlen(console->inputLine));
}

void RebuildHint(Console* console) {
    ZQI_ListAutocompletions(console, console->inputLine);
}

// Puts a text of any length into the line (cut to what the line holds), cursor at its end.
void LoadLine(Console* console, const char* text) {
    size_t length = strnlen(text, kMaxLineLength);
    memmove(console->inputLine, text, length);
    console->inputLine[length] = '\0';
    console->cursor = static_cast<int32_t>(length);
    RebuildHint(console);
}

// Inserts c at the cursor and moves the cursor past it. The caller checks there is room.
void InsertAtCursor(Console* console, char c) {
    char* at = console->inputLine + console->cursor;
    memmove(at + 1, at, strlen(at) + 1);
    *at = c;
    console->cursor += 1;
}

void RemoveCharacter(Console* console, int32_t index) {
    if (index < 0 || index >= LineLength(console)) {
        return;
    }
    char* at = console->inputLine + index;
    memmove(at, at + 1, strlen(at + 1) + 1);
}

// ---- Scrolling ---------------------------------------------------------------------------------

// Every scroll stops with the oldest shown line at the bottom of the view (the drawing narrows
// the range further to what fits on screen), so repeated scrolling never overflows and the view
// never runs out of lines. The caller holds the console mutex.
void SetScrollOffsetLocked(Console* console, int64_t offset) {
    const int64_t shown = ZQI_CountShownConsoleLines(console);
    const int64_t oldest = shown > 0 ? shown - 1 : 0;
    console->scrollOffset = static_cast<int32_t>(offset < 0 ? 0 : (offset > oldest ? oldest : offset));
}

void SetScrollOffset(Console* console, int64_t offset) {
    ZQ_Threading_LockMutex(console->mutex);
    SetScrollOffsetLocked(console, offset);
    ZQ_Threading_UnlockMutex(console->mutex);
}

void ScrollBy(Console* console, int64_t lines) {
    ZQ_Threading_LockMutex(console->mutex);
    SetScrollOffsetLocked(console, static_cast<int64_t>(console->scrollOffset) + lines);
    ZQ_Threading_UnlockMutex(console->mutex);
}

void ScrollToOldest(Console* console) {
    ZQ_Threading_LockMutex(console->mutex);
    SetScrollOffsetLocked(console, console->lines.count);
    ZQ_Threading_UnlockMutex(console->mutex);
}

// The number after "#": optional blanks and sign, then digits; saturates instead of overflowing.
int64_t ParseLineNumber(const char* text) {
    while (*text == ' ') {
        ++text;
    }
    const bool negative = *text == '-';
    if (*text == '-' || *text == '+') {
        ++text;
    }
    int64_t value = 0;
    for (; *text >= '0' && *text <= '9'; ++text) {
        value = value * 10 + (*text - '0');
        if (value > INT32_MAX) {
            value = INT32_MAX;
        }
    }
    return negative ? -value : value;
}

// ---- History -----------------------------------------------------------------------------------

void RemoveLastHistoryEntry(Console* console) {
    Array<char*>& history = console->history;
    if (history.count > 0) {
        free(history[history.count - 1]);
        history.RemoveAt(history.count - 1);
    }
}

bool AppendHistoryEntry(Console* console, const char* text) {
    char* copy = ZQI_DuplicateString(text);
    if (copy == nullptr) {
        ZQI_LogFormat(LOG_LEVEL_ERROR, "ZQI_ConsoleHandleEvent: out of memory for the history.");
        return false;
    }
    console->history.Push(copy);
    return true;
}

void ShowHistoryEntry(Console* console, int32_t index) {
    if (index >= 0 && index < console->history.count) {
        LoadLine(console, console->history[index]);
    }
}

// Up: the first step keeps the line being typed as a temporary last entry and starts at the
// newest entered line; each step shows the entry at the position, then moves one back (not
// below the oldest).
void BrowseHistoryBack(Console* console) {
    Array<char*>& history = console->history;
    if (!console->historyBrowsing) {
        if (!AppendHistoryEntry(console, console->inputLine)) {
            return;
        }
        console->historyBrowsing = 1;
        if (console->historyPosition > 0) {
            console->historyPosition -= 1;
        }
    }
    ShowHistoryEntry(console, console->historyPosition);
    if (console->historyPosition > 0) {
        console->historyPosition = (console->historyPosition - 1) % history.count;
    }
}

// Down: shows the entry at the position and moves one on, wrapping to the oldest.
void BrowseHistoryForward(Console* console) {
    const int32_t count = console->history.count;
    if (console->historyPosition >= 0 && console->historyPosition < count) {
        ShowHistoryEntry(console, console->historyPosition);
        console->historyPosition = (console->historyPosition + 1) % count;
    }
}

// ---- Enter -------------------------------------------------------------------------------------

void SendCommand(Console* console) {
    zq_event_t event;
    ZQ_InitializeEvent(&event, ZQ_EVENT_CONSOLE_COMMAND);
    event.console_command.line = console->inputLine;
    ZQI_DispatchEvent(&event);
}

void EnterLine(Console* console) {
    String echo = String(console->inputLine) + "\n";
    ZQI_LogWrite(console, LOG_LEVEL_INFO, echo.CStr());
    if (console->historyBrowsing) {
        RemoveLastHistoryEntry(console);
        console->historyBrowsing = 0;
    }
    const bool added = AppendHistoryEntry(console, console->inputLine);
    if (console->inputLine[0] == '#') {
        const int64_t number = ParseLineNumber(console->inputLine + 1);
        console->inputLine[0] = '\0';  // the line no longer filters the view it scrolls
        ZQ_Threading_LockMutex(console->mutex);
        SetScrollOffsetLocked(console, console->lines.count - number);
        ZQ_Threading_UnlockMutex(console->mutex);
        if (added) {
            RemoveLastHistoryEntry(console);
        }
    } else {
        SendCommand(console);
    }
    // After a "#" line too, so that the position never points past the history.
    console->historyPosition = console->history.count;
    console->inputLine[0] = '\0';
    console->cursor = 0;
    RebuildHint(console);
}

void HandleCharacter(Console* console, uint8_t code) {
    if (code == KEY_BACKSPACE) {
        if (console->cursor > 0) {
            RemoveCharacter(console, console->cursor - 1);
            console->cursor -= 1;
        }
        RebuildHint(console);
    } else if (code == KEY_ENTER) {
        EnterLine(console);
    } else if (code >= kFirstPrintableCharacter && LineLength(console) < kMaxLineLength) {
        InsertAtCursor(console, static_cast<char>(code));
        RebuildHint(console);
    }
}

// ---- Clipboard ---------------------------------------------------------------------------------

void PasteClipboard(Console* console) {
    const char* text = ZQI_CallExtension("Clipboard_GetText", nullptr);
    if (text == nullptr) {
        return;
    }
    // The line holds 512 characters: a long line stops the paste as surely as the cursor does.
    for (; *text != '\0' && *text != '\r' && *text != '\n'; ++text) {
        if (console->cursor > kLastPasteCursor || LineLength(console) >= kMaxLineLength) {
            break;
        }
        InsertAtCursor(console, *text);
    }
    RebuildHint(console);
}

// Every ring text, joined without separators, in one heap block (null when out of memory).
char* JoinRingTexts(Console* console) {
    ZQ_Threading_LockMutex(console->mutex);
    size_t total = 0;
    for (int32_t i = 0; i < console->lines.count; ++i) {
        total += strlen(console->lines[i].text);
    }
    char* joined = static_cast<char*>(malloc(total + 1));
    if (joined != nullptr) {
        char* end = joined;
        for (int32_t i = 0; i < console->lines.count; ++i) {
            const size_t length = strlen(console->lines[i].text);
            memcpy(end, console->lines[i].text, length);
            end += length;
        }
        *end = '\0';
    }
    ZQ_Threading_UnlockMutex(console->mutex);
    return joined;
}

void CopyToClipboard(Console* console) {
    if (console->inputLine[0] != '\0') {
        ZQI_CallExtension("Clipboard_SetText", console->inputLine);
        return;
    }
    char* joined = JoinRingTexts(console);
    if (joined == nullptr) {
        ZQI_LogFormat(LOG_LEVEL_ERROR, "ZQI_ConsoleHandleEvent: out of memory copying the log.");
        return;
    }
    ZQI_CallExtension("Clipboard_SetText", joined);
    free(joined);
}

// The line drawn at height y: the newest shown line's band runs from A - 2h - 2 to A - h - 2,
// and each older one lies h higher, up to the top of the screen.
void CopyClickedLine(Console* console, int32_t y) {
    const float lineAdvance = console->drawnLineAdvance;
    if (lineAdvance <= 0.0f) {
        return;  // nothing drawn yet
    }
    String text;
    bool found = false;
    ZQ_Threading_LockMutex(console->mutex);
    float top = static_cast<float>(console->drawnAreaHeight) - 2.0f * lineAdvance - 2.0f;
    int32_t index = ZQI_FindNewestShownConsoleLine(console, console->scrollOffset);
    for (; index >= 0 && top >= 0.0f; top -= lineAdvance) {
        const float pointerY = static_cast<float>(y);
        if (pointerY >= top && pointerY < top + lineAdvance) {
            text.Assign(console->lines[index].text);
            found = true;
            break;
        }
        index = ZQI_FindOlderShownConsoleLine(console, index);
    }
    ZQ_Threading_UnlockMutex(console->mutex);
    if (found) {
        ZQI_CallExtension("Clipboard_SetText", text.CStr());
    }
}

// ---- Keys --------------------------------------------------------------------------------------

void HandleCtrlKey(Console* console, int32_t key) {
    switch (key) {
        case KEY_UP:
            ScrollBy(console, 1);
            break;
        case KEY_DOWN:
            ScrollBy(console, -1);
            break;
        case KEY_V:
            PasteClipboard(console);
            break;
        case KEY_C:
            CopyToClipboard(console);
            break;
        default:
            break;
    }
}

void HandleKeyDown(Console* console, int32_t key) {
    const bool ctrl = console->ctrlHeld != 0;
    switch (key) {
        case KEY_CTRL:
            console->ctrlHeld = 1;
            break;
        case KEY_SHIFT:
            console->shiftHeld = 1;
            break;
        case KEY_DELETE:
            RemoveCharacter(console, console->cursor);
            RebuildHint(console);
            break;
        case KEY_HOME:
            if (ctrl) {
                ScrollToOldest(console);
            } else {
                console->cursor = 0;
            }
            break;
        case KEY_END:
            if (ctrl) {
                SetScrollOffset(console, 0);
            } else {
                console->cursor = LineLength(console);
            }
            break;
        case KEY_LEFT:
            console->cursor = console->cursor > 0 ? console->cursor - 1 : 0;
            break;
        case KEY_RIGHT:
            console->cursor =
                console->cursor < LineLength(console) ? console->cursor + 1 : LineLength(console);
            break;
        case KEY_PAGE_UP:
            ScrollBy(console, kPageLines);
            break;
        case KEY_PAGE_DOWN:
            ScrollBy(console, -kPageLines);
            break;
        case KEY_TAB:
            if (console->toggleCharacter != '\t') {
                // ZQI_SetConsoleInput keeps the line when the command is too long for it.
                const char* completion = ZQI_FindAutocompletion(console, console->inputLine);
                if (completion != nullptr) {
                    ZQI_SetConsoleInput(console, completion);
                }
            }
            break;
        case KEY_UP:
        case KEY_DOWN:
            if (!ctrl && console->history.count > 0) {
                if (key == KEY_UP) {
                    BrowseHistoryBack(console);
                } else {
                    BrowseHistoryForward(console);
                }
            }
            break;
        default:
            break;
    }
    if (ctrl) {
        HandleCtrlKey(console, key);
    }
}

void HandleKeyUp(Console* console, int32_t key) {
    if (key == KEY_CTRL) {
        console->ctrlHeld = 0;
    } else if (key == KEY_SHIFT) {
        console->shiftHeld = 0;
    }
}

}  // namespace

int32_t ZQI_ConsoleHandleEvent(Console* console, const zq_event_t* event) {
    if (console == nullptr || event == nullptr || !console->loggingStarted || !g_core.developerMode) {
        return 0;
    }
    switch (event->type) {
        case ZQ_EVENT_CHARACTER:
            HandleCharacter(console, event->character.character);
            return 1;
        case ZQ_EVENT_KEY_DOWN:
            HandleKeyDown(console, event->key.input_id);
            return console->ctrlHeld ? 1 : 0;
        case ZQ_EVENT_KEY_UP:
            HandleKeyUp(console, event->key.input_id);
            return 0;
        case ZQ_EVENT_POINTER_WHEEL:
            ScrollBy(console, event->pointer.wheel_delta / kWheelStep);
            return 1;
        case ZQ_EVENT_POINTER_DOWN:
            if (console->openFactor >= kClickableOpenFactor) {
                CopyClickedLine(console, event->pointer.y);
            }
            return 1;
        case ZQ_EVENT_POINTER_MOVE:
        case ZQ_EVENT_POINTER_UP:
            return 1;
        default:
            return 0;
    }
}
