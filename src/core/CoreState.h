// CoreState: the core's one static record of run-wide globals (settings, the quit and running
// flags, the program record in use, the display parameters, the input tables). Subsystems with
// state of their own (log, threads, events, features ...) keep it in their own files.
#pragma once

#include <cstdint>

#include "foundation/String.h"
#include "zorqa.h"

struct RendererImplementation;

// Shows a message box for a popup and returns its answer. Installed by the platform layer; while
// none is installed a popup can only be logged.
typedef int32_t (*ZQI_PopupMessageFunction)(int32_t level, const char* text);
// A message box with the given buttons (developer mode only); returns the pressed button's answer.
typedef int32_t (*ZQI_PopupChoiceFunction)(int32_t level, int32_t buttons, const char* text);
enum : int32_t {
    ZQI_POPUP_BUTTONS_CANCEL_TRY_CONTINUE = 4,  // cancel ends the process
    ZQI_POPUP_ANSWER_TRY_AGAIN = 3,
};

struct CoreState {
    // Settings, fixed after pre-initialisation (the developer settings may change them).
    uint8_t developerMode;      // developer mode: popups shown, developer prints written
    uint8_t logging;            // developer setting "logging": lines also go to the log file
    uint8_t consoleEnabled;     // developer setting "console": 0 drops every message
    int32_t logVerboseLevel;    // the log threshold: messages below it are dropped
    uint32_t consoleToggleKey;  // its low byte is the console toggle character

    // Run state.
    volatile int32_t quitFlag;  // set once by SignalShutdown; read from any thread
    uint8_t coreRunning;        // set when initialisation has succeeded
    uint8_t queueInputEvents;   // window events are queued (not dispatched at once)
    uint8_t programInitCalled;  // the program's Init has been called

    // The program.
    zq_program_t* program;        // the record in use; null while none is loaded
    zq_program_t programRecord;   // the core's own record, filled from the manifest
    uint8_t fallbackRecordInUse;  // the built-in fallback record stands in for the library
    char developerName[32];       // developer folder name of the user folders
    char userDirName[128];        // user folder name, restricted to '-', letters and digits
    char* commandLine;            // the process command line (not owned)

    // Display parameters: what the renderer runs with, and what the next start or
    // re-initialisation uses.
    zq_parameters_t appliedParameters;
    zq_parameters_t pendingParameters;
    uint8_t reinitRequest;  // set by ReinitializeWithParameters, consumed by the frame
    uint8_t reinitApply;    // the frame applies the pending parameters
    uint8_t reinitForce;    // rebuild the mode even when the parameters are unchanged

    RendererImplementation* renderer;  // the renderer back end; null until created
    void* gameWindow;                  // the game window (HWND), set by the platform layer; null when none

    // Clock origins taken at start-up.
    uint32_t startMilliseconds;
    int64_t startNanoseconds;

    // Input tables indexed by input id 1..2047 (id 0 is never used): one state word and one
    // value per key, button or control. Written by the event dispatch, read by the program.
    int32_t inputStates[ZQ_INPUT_ID_COUNT];
    float inputValues[ZQ_INPUT_ID_COUNT];

    String systemInfoText;  // answered by GetSystemInfo

    ZQI_PopupMessageFunction popupMessage;  // the platform's message box; null = none
    ZQI_PopupChoiceFunction popupChoice;    // the platform's box with buttons; null = none
};

// The record. Zero (with an empty text) until start-up sets the defaults.
extern CoreState g_core;
// The same record, for code that prefers an accessor.
CoreState& ZQI_GetCoreState();

// Start-up defaults: developer mode off, logging on with the log file, log threshold 2 (ERROR),
// console toggle key 0xC2A7; also notes the clock origins of GetMilliseconds and GetNanoseconds.
void ZQI_SetCoreDefaults();
// Notes the clock origins only.
void ZQI_NoteStartTimes();

// True once SignalShutdown has run.
bool ZQI_IsQuitSignalled();

// Input state 0 for the keyboard (codes 0..255) and the mouse buttons (510..517): after a
// display change or a modal dialog, keys pressed meanwhile must not stay down.
void ZQI_ReleaseKeyAndButtonStates();
