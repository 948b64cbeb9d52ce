// The single-instance check of start-up and its window-enumeration callback.
#pragma once

#include <windows.h>

// Creates the program's instance mutex, or hands the launch URI to the running instance and
// ends the process (exit code 0) when this one must not run beside it.
void ZQI_CheckSingleInstance();
// Window enumeration: finds the running instance's window by the program's title; FALSE stops.
BOOL CALLBACK ZQI_FindOtherInstanceWindow(HWND window, LPARAM lParam);
