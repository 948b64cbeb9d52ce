// Popups: message boxes for the engine's errors and warnings. PopupMessage is what start-up and
// the API's popup slot call; ShowPopupMessageBox turns a level and a button mode into a message
// box and the pressed button into the engine's answer.
#pragma once

#include <cstdint>

// Popup levels.
enum PopupLevel : int32_t {
    POPUP_LEVEL_PLAIN = 0,
    POPUP_LEVEL_WARNING = 1,
    POPUP_LEVEL_ERROR = 2,
    POPUP_LEVEL_ERROR_WITH_CHOICES = 3
};

// Button modes; 0 picks the level's default.
enum PopupMode : int32_t {
    POPUP_MODE_DEFAULT = 0,
    POPUP_MODE_OK = 1,
    POPUP_MODE_OK_CANCEL = 2,
    POPUP_MODE_YES_NO_CANCEL = 3,
    POPUP_MODE_CANCEL_TRY_CONTINUE = 4
};

// Answers. On the engine's own popups (mode 0) Cancel has none: it flushes the C streams of the
// shared C runtimes loaded in the process (waiting at most 5 s for them) and ends the process with
// exit code -1, without exit handlers or static destructors. A box with explicit buttons (the
// program's "ShowPopup") answers Cancel with 2.
enum PopupAnswer : int32_t {
    POPUP_ANSWER_NONE = 0,
    POPUP_ANSWER_OK = 1,
    POPUP_ANSWER_THREAD = 1,  // the popup was handed to the "Popup" thread
    POPUP_ANSWER_CANCEL = 2,
    POPUP_ANSWER_TRY_AGAIN = 3,
    POPUP_ANSWER_CONTINUE = 4,
    POPUP_ANSWER_NOT_SHOWN = 4,
    POPUP_ANSWER_YES = 5,
    POPUP_ANSWER_NO = 6
};

// Shows text at level unless popups are off (NO_POPUPS: answer 4). On the main thread the box is
// modal, or, with NON_BLOCKING_POPUPS while the core runs, shown by a thread of its own (answer
// 1). Other threads only log the text (answer 4).
int32_t PopupMessage(int32_t level, const char* text);

// One message box. An explicit mode is shown only to a developer whose console is on and whose
// log threshold the level reaches (otherwise answer 0), and its Cancel answers 2; mode 0 uses
// the level's default buttons, and Cancel there ends the process. On the main thread input is
// suspended while the box is open, so the keys that close it do not reach the program.
int32_t ShowPopupMessageBox(int32_t level, int32_t mode, const char* text);

// A box with the buttons on the main thread (not shown with NO_POPUPS or off the main thread:
// answer 4).
int32_t PopupWithChoices(int32_t level, int32_t buttons, const char* text);

// Makes PopupMessage and PopupWithChoices the core's message boxes.
void ZQI_InstallPopupMessageBox();
