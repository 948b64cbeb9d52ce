// Message-box popups: the level's buttons and title, the owner window, the answer codes, and the
// "Popup" thread that shows boxes without stopping the frame loop.
#include "platform/windows/Popups.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/ApiTable.h"
#include "core/CoreState.h"
#include "core/Features.h"
#include "core/Log.h"
#include "core/Threads.h"
#include "foundation/String.h"
#include "platform/windows/CStreamFlush.h"
#include "platform/windows/GameWindow.h"
#include "platform/windows/Keyboard.h"

namespace {

const char kEngineTitle[] = "ZORQA";
const int kCancelExitCode = -1;

// A popup handed to the "Popup" thread, which owns and frees it.
struct QueuedPopup {
    int32_t level;
    char* text;
};

bool ArePopupsOff() {
    return ZQI_IsFeatureEnabled("NO_POPUPS");
}

bool AreNonBlocking() {
    return ZQI_IsFeatureEnabled("NON_BLOCKING_POPUPS");
}

int32_t DefaultModeForLevel(int32_t level) {
    switch (level) {
        case POPUP_LEVEL_WARNING:
        case POPUP_LEVEL_ERROR:
            return POPUP_MODE_OK_CANCEL;
        case POPUP_LEVEL_ERROR_WITH_CHOICES:
            return POPUP_MODE_YES_NO_CANCEL;
        default:
            return POPUP_MODE_OK;
    }
}

// False for modes that have no buttons.
bool MessageBoxTypeForMode(int32_t mode, UINT* type) {
    switch (mode) {
        case POPUP_MODE_OK:
            *type = MB_OK;
            return true;
        case POPUP_MODE_OK_CANCEL:
            *type = MB_OKCANCEL;
            return true;
        case POPUP_MODE_YES_NO_CANCEL:
            *type = MB_YESNOCANCEL;
            return true;
        case POPUP_MODE_CANCEL_TRY_CONTINUE:
            *type = MB_CANCELTRYCONTINUE;
            return true;
        default:
            return false;
    }
}

// "<program title> - Warning" / " - Error"; the engine's name while no program is loaded.
void BuildTitle(int32_t level, char* out, size_t size) {
    const zq_program_t* program = g_core.program;
    if (program == nullptr) {
        snprintf(out, size, "%s", kEngineTitle);
        return;
    }
    const char* suffix = "";
    if (level == POPUP_LEVEL_WARNING) {
        suffix = " - Warning";
    } else if (level == POPUP_LEVEL_ERROR || level == POPUP_LEVEL_ERROR_WITH_CHOICES) {
        suffix = " - Error";
    }
    int titleLength = static_cast<int>(strnlen(program->title, sizeof(program->title)));
    snprintf(out, size, "%.*s%s", titleLength, program->title, suffix);
}

// A fullscreen game window would hide a box it owns, so fullscreen boxes, and boxes shown from
// the popup thread, belong to the desktop.
HWND OwnerWindow() {
    if (AreNonBlocking()) {
        return GetDesktopWindow();
    }
    const zq_program_t* program = g_core.program;
    if (program == nullptr || program->parameters.windowed) {
        return ZQI_GetGameWindow();
    }
    return GetDesktopWindow();
}

// How long the streams may take to reach their files before the process ends anyway: a stream
// that another thread holds must not keep Cancel from ending it.
const uint32_t kFlushWaitMilliseconds = 5000;

// Cancel on an engine popup stops the application at once. exit() would run the exit handlers
// and static destructors while the main and audio threads (and the "Popup" thread, which may be
// the caller) still use those objects, so the process is terminated instead. Terminating drops
// what the C streams still hold in their buffers, so those are flushed first, as exit() would
// have: a file the engine or the program wrote and had not flushed keeps its data. The log loses
// nothing either way: it writes every line through to its file.
[[noreturn]] void EndProcessOnCancel() {
    ZQI_FlushEveryCStream(kFlushWaitMilliseconds);
    TerminateProcess(GetCurrentProcess(), static_cast<UINT>(kCancelExitCode));
    _Exit(kCancelExitCode);  // not reached: terminating the own process does not return
}

// Cancel on an engine popup means "stop the application"; on a box the program asked for with
// explicit buttons it is an answer like the others, so the program can keep its unsaved state.
int32_t AnswerForButton(int button, bool explicitMode) {
    switch (button) {
        case IDOK:
            return POPUP_ANSWER_OK;
        case IDTRYAGAIN:
            return POPUP_ANSWER_TRY_AGAIN;
        case IDCONTINUE:
            return POPUP_ANSWER_CONTINUE;
        case IDYES:
            return POPUP_ANSWER_YES;
        case IDNO:
            return POPUP_ANSWER_NO;
        case IDCANCEL:
            if (explicitMode) {
                return POPUP_ANSWER_CANCEL;
            }
            EndProcessOnCancel();
        default:
            return POPUP_ANSWER_NONE;
    }
}

// The game window keeps receiving raw keyboard input while the box has the keys, so on the main
// thread input is suspended around it: the Enter, Space or Escape that closes the box must not
// reach the program as a key press too. A box shown while a dialog already suspended input
// leaves the resuming to that dialog.
int ShowMessageBoxWithoutInput(const char* text, const char* title, UINT type) {
    const bool suspend = ZQ_Threading_IsMainThread() && !ZQI_IsInputSuspended();
    if (suspend) {
        ZQI_SuspendInput();
    }
    int button = MessageBoxA(OwnerWindow(), text, title, type);
    if (suspend) {
        ZQI_ResumeInput();
    }
    return button;
}

void ShowQueuedPopup(void* argument) {
    QueuedPopup* popup = static_cast<QueuedPopup*>(argument);
    ShowPopupMessageBox(popup->level, POPUP_MODE_DEFAULT, popup->text);
    free(popup->text);
    free(popup);
}

// False when the thread could not be started (the caller then shows the box itself).
bool ShowOnPopupThread(int32_t level, const char* text) {
    zq_threading_api_t* threading = ZQI_GetApi()->threading;
    if (threading == nullptr || threading->CreateThread == nullptr) {
        return false;
    }
    QueuedPopup* popup = static_cast<QueuedPopup*>(malloc(sizeof(QueuedPopup)));
    char* copy = ZQI_DuplicateString(text);
    if (popup == nullptr || copy == nullptr) {
        free(popup);
        free(copy);
        ZQ_Log(LOG_LEVEL_ERROR, "PopupMessage: out of memory for the popup thread's record.");
        return false;
    }
    popup->level = level;
    popup->text = copy;
    if (threading->CreateThread("Popup", ShowQueuedPopup, popup, 0) == 0) {
        free(copy);
        free(popup);
        ZQ_Log(LOG_LEVEL_ERROR, "PopupMessage: the \"Popup\" thread could not be started.");
        return false;
    }
    return true;
}

}  // namespace

int32_t PopupMessage(int32_t level, const char* text) {
    if (ArePopupsOff()) {
        return POPUP_ANSWER_NOT_SHOWN;
    }
    if (text == nullptr) {
        text = "";
    }
    if (!ZQ_Threading_IsMainThread()) {
        ZQ_Log(level, "%s", text);
        return POPUP_ANSWER_NOT_SHOWN;
    }
    if (g_core.coreRunning && AreNonBlocking() && ShowOnPopupThread(level, text)) {
        return POPUP_ANSWER_THREAD;
    }
    return ShowPopupMessageBox(level, POPUP_MODE_DEFAULT, text);
}

int32_t ShowPopupMessageBox(int32_t level, int32_t mode, const char* text) {
    const bool explicitMode = mode != POPUP_MODE_DEFAULT;
    if (explicitMode) {
        bool developerSees = g_core.consoleEnabled && g_core.developerMode && level >= g_core.logVerboseLevel;
        if (!developerSees) {
            return POPUP_ANSWER_NONE;
        }
    } else {
        mode = DefaultModeForLevel(level);
    }
    UINT type;
    if (!MessageBoxTypeForMode(mode, &type)) {
        return POPUP_ANSWER_NONE;
    }
    char title[sizeof(g_core.programRecord.title) + 16];
    BuildTitle(level, title, sizeof(title));
    int button = ShowMessageBoxWithoutInput(text != nullptr ? text : "", title, type);
    if (button == 0) {
        ZQ_Log(LOG_LEVEL_ERROR, "%s error: %s (0x%08X, platform error %i).", "Popup", "MessageBoxA",
               static_cast<unsigned>(HRESULT_FROM_WIN32(GetLastError())), static_cast<int>(GetLastError()));
    }
    return AnswerForButton(button, explicitMode);
}

int32_t PopupWithChoices(int32_t level, int32_t buttons, const char* text) {
    if (ArePopupsOff() || !ZQ_Threading_IsMainThread()) {
        return POPUP_ANSWER_NOT_SHOWN;
    }
    return ShowPopupMessageBox(level, buttons, text);
}

void ZQI_InstallPopupMessageBox() {
    static_assert(int32_t(ZQI_POPUP_BUTTONS_CANCEL_TRY_CONTINUE) == int32_t(POPUP_MODE_CANCEL_TRY_CONTINUE) &&
                      int32_t(ZQI_POPUP_ANSWER_TRY_AGAIN) == int32_t(POPUP_ANSWER_TRY_AGAIN),
                  "the core's button set and answer are the popups' own");
    g_core.popupMessage = PopupMessage;
    g_core.popupChoice = PopupWithChoices;
}
