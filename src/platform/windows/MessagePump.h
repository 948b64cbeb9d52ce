// The main loop's message pump: drains the thread's window messages without ever waiting for one,
// and the main loop that alternates it with the engine's frame.
#pragma once

#include <windows.h>

// When a message is waiting, gets, translates and dispatches messages until none is left. A
// WM_QUIT ends only this pump; the main loop itself ends on the core's quit flag. Returns the
// number of messages dispatched.
int PumpWindowMessages();

// Until the core's quit flag is set: pump the messages, run one frame (runFrame), and, while the
// game window is inactive, idle 15 ms (idle). The process entry passes the engine's RunFrame and
// Sleep.
void RunMainLoop(void (*runFrame)(), void(WINAPI* idle)(DWORD));
