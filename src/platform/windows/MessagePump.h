// The main loop's message pump: drains the thread's window messages without ever waiting for one.
#pragma once

// When a message is waiting, gets, translates and dispatches messages until none is left. A
// WM_QUIT ends only this pump; the main loop itself ends on the core's quit flag. Returns the
// number of messages dispatched.
int PumpWindowMessages();
