// The message slots of the engine API: developer print, levelled log and popups, with the list of
// popup texts already shown and the popups queued for the main loop. All three format under
// "PRINT"; the popup lists are touched only under it. The foundation's error reports are sent
// through the same slots.
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <new>

#include "core/ApiTable.h"
#include "core/CoreState.h"
#include "core/Log.h"
#include "core/NamedMutex.h"
#include "core/Threads.h"
#include "foundation/Array.h"
#include "foundation/FoundationHooks.h"
#include "foundation/String.h"

namespace {

// Size of the formatting buffer of every message slot: texts are cut to 4095 characters.
const size_t kMessageBufferSize = 4096;

// Answers of ZQ_Popup when no message box answered.
const int32_t kPopupShownOnce = 0;  // shown before the program's Init, answer not passed on
const int32_t kPopupRepeated = 1;   // the text was shown before
const int32_t kPopupNotShown = 4;   // only logged, or queued for the main loop

struct QueuedPopup {
    int32_t level;
    String text;

    QueuedPopup() : level(0) {}
};

// Both popup lists are built in static storage on first use and never destroyed: threads the
// engine never joins may still raise popups while the process exits, after the destructors of
// ordinary static objects have run.
template <typename T>
T& BuildOnce() {
    alignas(T) static unsigned char storage[sizeof(T)];
    static T* made = new (storage) T();
    return *made;
}

// Popup texts shown while the program runs (developer mode); made on first use, never emptied
// until shutdown, so each distinct text reaches the user once.
Array<String>& ShownPopupTexts() {
    return BuildOnce<Array<String>>();
}

// Popups requested off the main thread (or before the core runs), shown by the main loop.
Array<QueuedPopup>& QueuedPopups() {
    return BuildOnce<Array<QueuedPopup>>();
}

// The popups this thread would have shown while it held popups (ZQI_HoldPopups), and its holds.
// A popup of the start-up kept here is shown under "PRINT", as when shown at once.
struct HeldPopup {
    int32_t level;
    bool startUp;
    char text[kMessageBufferSize];
};
const int32_t kMaxHeldPopups = 8;
thread_local int32_t t_popupHolds = 0;
thread_local int32_t t_heldPopupCount = 0;
thread_local HeldPopup* t_heldPopups = nullptr;  // made at the first kept popup

// False when the thread holds no popups. A popup past the room kept is only logged (as it was).
bool KeepPopup(int32_t level, const char* text, bool startUp) {
    if (t_popupHolds == 0) {
        return false;
    }
    if (t_heldPopups == nullptr) {
        t_heldPopups = new (std::nothrow) HeldPopup[kMaxHeldPopups];
    }
    if (t_heldPopups != nullptr && t_heldPopupCount < kMaxHeldPopups) {
        HeldPopup& held = t_heldPopups[t_heldPopupCount++];
        held.level = level;
        held.startUp = startUp;
        snprintf(held.text, sizeof(held.text), "%s", text);
    }
    return true;
}

// The writer takes levels as 16-bit values; anything above 7 it counts as an error.
void WriteLine(int32_t level, const char* text) {
    ZQI_LogWrite(ZQI_GetConsole(), static_cast<uint16_t>(level), text);
}

// Formats into buffer; on a formatting error the buffer holds an empty text. Returns what
// vsnprintf returns: the full length, or a negative value.
int32_t FormatMessage(char* buffer, const char* format, va_list args) {
    if (format == nullptr) {
        buffer[0] = '\0';
        return -1;
    }
    int32_t length = ZQI_VSNPrintf(buffer, kMessageBufferSize, format, args);
    if (length < 0) {
        buffer[0] = '\0';
    }
    return length;
}

// Print and Log: format and write under "PRINT". Returns the vsnprintf length.
int32_t WriteFormatted(const char* slot, int32_t level, const char* format, va_list args) {
    char buffer[kMessageBufferSize];
    ZQI_LockCoreMutex(CORE_MUTEX_PRINT);
    int32_t length = FormatMessage(buffer, format, args);
    if (format == nullptr) {
        char message[128];
        snprintf(message, sizeof(message), "%s: format is null.", slot);
        WriteLine(LOG_LEVEL_ERROR, message);
    } else if (length >= 0) {
        WriteLine(level, buffer);
    }
    ZQI_UnlockCoreMutex(CORE_MUTEX_PRINT);
    return length;
}

// "[POPUP] text" at the popup's level, cut to one writer piece.
void LogPopup(int32_t level, const char* text) {
    char line[kMessageBufferSize];
    snprintf(line, sizeof(line), "[POPUP] %s", text);
    WriteLine(level, line);
}

// The platform's message box; while there is none the popup can only be logged.
int32_t ShowPopup(int32_t level, const char* text) {
    if (g_core.popupMessage == nullptr) {
        LogPopup(level, text);
        return kPopupShownOnce;
    }
    return g_core.popupMessage(level, text);
}

// Developer mode while the program runs: true when the text was shown before; otherwise the
// text is remembered. Caller holds "PRINT".
bool WasShownBefore(const char* text) {
    Array<String>& shown = ShownPopupTexts();
    if (shown.IndexOf(String(text)) >= 0) {
        return true;
    }
    shown.PushText(text);
    return false;
}

// The foundation hands over finished texts, which must not be read as formats.
void LogFoundationReport(int32_t level, const char* text) {
    ZQ_Log(level, "%s", text);
}

void PopupFoundationReport(int32_t level, const char* text) {
    ZQ_Popup(level, "%s", text);
}

void QueuePopup(int32_t level, const char* text) {
    QueuedPopup popup;
    popup.level = level;
    popup.text.Assign(text);
    ZQI_LockCoreMutex(CORE_MUTEX_PRINT);
    QueuedPopups().Push(popup);
    ZQI_UnlockCoreMutex(CORE_MUTEX_PRINT);
}

}  // namespace

int32_t ZQ_Print(const char* format, ...) {
    if (!g_core.consoleEnabled || !g_core.developerMode || g_core.logVerboseLevel > LOG_LEVEL_INFO) {
        return 0;
    }
    va_list args;
    va_start(args, format);
    int32_t length = WriteFormatted("ZQ_Print", LOG_LEVEL_INFO, format, args);
    va_end(args);
    return length;
}

int32_t ZQ_Log(int32_t level, const char* format, ...) {
    if (!g_core.consoleEnabled || level < g_core.logVerboseLevel) {
        return 0;
    }
    va_list args;
    va_start(args, format);
    int32_t length = WriteFormatted("ZQ_Log", level, format, args);
    va_end(args);
    return length;
}

int32_t ZQ_Popup(int32_t level, const char* format, ...) {
    if (level < g_core.logVerboseLevel) {
        return 0;
    }
    if (ZQI_IsLoggingQuiet()) {
        return kPopupNotShown;  // raised by code that serves the log: its line would be dropped too
    }
    char text[kMessageBufferSize];
    va_list args;
    va_start(args, format);
    ZQI_LockCoreMutex(CORE_MUTEX_PRINT);
    FormatMessage(text, format, args);
    va_end(args);

    if (format == nullptr) {
        // Nothing to show: an empty message box would only puzzle the user.
        WriteLine(LOG_LEVEL_ERROR, "ZQ_Popup: format is null.");
        ZQI_UnlockCoreMutex(CORE_MUTEX_PRINT);
        return 0;
    }
    if (!g_core.developerMode) {
        ZQI_UnlockCoreMutex(CORE_MUTEX_PRINT);
        LogPopup(level, text);
        return kPopupNotShown;
    }
    if (!g_core.programInitCalled) {
        // Start-up problems: shown at once, still under "PRINT" so they come one at a time.
        if (!KeepPopup(level, text, true)) {
            ShowPopup(level, text);
        }
        ZQI_UnlockCoreMutex(CORE_MUTEX_PRINT);
        return kPopupShownOnce;
    }
    bool repeated = WasShownBefore(text);
    ZQI_UnlockCoreMutex(CORE_MUTEX_PRINT);
    if (repeated) {
        if (g_core.coreRunning) {
            LogPopup(level, text);
        }
        return kPopupRepeated;
    }
    LogPopup(level, text);
    if (g_core.coreRunning && ZQ_Threading_IsMainThread()) {
        return KeepPopup(level, text, false) ? kPopupNotShown : ShowPopup(level, text);
    }
    QueuePopup(level, text);
    return kPopupNotShown;
}

void ZQI_ShowQueuedPopups() {
    Array<QueuedPopup> pending;
    ZQI_LockCoreMutex(CORE_MUTEX_PRINT);
    Array<QueuedPopup>& queued = QueuedPopups();
    pending = queued;
    queued.Clear();
    ZQI_UnlockCoreMutex(CORE_MUTEX_PRINT);
    // Shown outside the lock: a message box runs a message loop, and other threads may log
    // meanwhile.
    for (int32_t i = 0; i < pending.count; ++i) {
        ShowPopup(pending.data[i].level, pending.data[i].text.CStr());
    }
}

void ZQI_HoldPopups() {
    ++t_popupHolds;
}

void ZQI_ReleaseHeldPopups() {
    if (t_popupHolds == 0 || --t_popupHolds > 0) {
        return;
    }
    // Taken off the thread first: a message box runs a message loop, whose handlers may hold and
    // keep popups again.
    HeldPopup* held = t_heldPopups;
    const int32_t count = t_heldPopupCount;
    t_heldPopups = nullptr;
    t_heldPopupCount = 0;
    for (int32_t i = 0; i < count; ++i) {
        if (held[i].startUp) {
            ZQI_LockCoreMutex(CORE_MUTEX_PRINT);
            ShowPopup(held[i].level, held[i].text);
            ZQI_UnlockCoreMutex(CORE_MUTEX_PRINT);
        } else {
            ShowPopup(held[i].level, held[i].text);
        }
    }
    delete[] held;
}

int32_t ZQI_GetQueuedPopupCount() {
    ZQI_LockCoreMutex(CORE_MUTEX_PRINT);
    int32_t count = QueuedPopups().count;
    ZQI_UnlockCoreMutex(CORE_MUTEX_PRINT);
    return count;
}

void ZQI_ReleasePopupLists() {
    ZQI_LockCoreMutex(CORE_MUTEX_PRINT);
    // Reserve(0) after Clear releases the storage and the texts in it.
    QueuedPopups().Clear();
    QueuedPopups().Reserve(0);
    ShownPopupTexts().Clear();
    ShownPopupTexts().Reserve(0);
    ZQI_UnlockCoreMutex(CORE_MUTEX_PRINT);
}

void ZQI_InstallErrorReportSink() {
    ZQI_ErrorReportSink sink = {LogFoundationReport, PopupFoundationReport, ZQ_IsDeveloperMode};
    ZQI_SetErrorReportSink(&sink);
}
