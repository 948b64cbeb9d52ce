// The value dialogs: modal dialog boxes from the executable's resources in which the user edits
// a text ("Edit Value", also multi-line), edits code ("Code edit") or picks one item of a
// comma-separated list ("Select Value"). They share one value text and one title text. While a
// dialog is open the engine's input is suspended. Main thread only.
#pragma once

#include <windows.h>

#include <cstdint>

enum { ZQI_DIALOG_VALUE_SIZE = 4096, ZQI_DIALOG_TITLE_SIZE = 256 };

// The value text the dialogs show and, after OK, hold (4096 bytes; at most 4095 characters are
// read back from a dialog).
char* ZQI_GetDialogValueText();
// The caption the next dialog shows (cut to 255 characters); "Edit value" until set.
void ZQI_SetDialogTitle(const char* title);

// Runs the dialog resource with the procedure, owned by the game window, with input suspended;
// afterwards the key states 0..255 and the mouse buttons are released. True when it ended with
// OK.
bool ShowValueDialog(int32_t dialogId, DLGPROC procedure);

// 104 and 105: the value text in edit 1001, read back on OK.
INT_PTR CALLBACK EditValueDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
// 106: the value text is a comma-separated list shown in list box 1002; OK leaves the chosen item
// (or nothing) in the value text.
INT_PTR CALLBACK SelectValueDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
// 107: as 104, with a fixed font and an edit that keeps Tab and Enter.
INT_PTR CALLBACK EditCodeDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
