// Crash stack traces: the top-level exception filter the process entry installs for the whole
// run hands the program's crash callback a symbolised trace of the faulting thread.
#pragma once

#include <windows.h>

#include "foundation/String.h"

// Builds the trace and calls zq_program_t::HandleCrash with it, when the program record has that
// callback; then lets the system's default handling continue (the process ends). A fault inside
// the callback enters the filter again: that second entry does nothing. A quiet-logging span
// the fault cut short on the thread is ended first, so what the callback logs is kept.
LONG WINAPI CrashExceptionFilter(EXCEPTION_POINTERS* exception);

// The calling thread's stack, one line per frame: "%u. %s:%u %s\n" with the frame number, the
// source file and line ("Unknown" and 0 without line information) and the function ("Unknown"
// without a symbol). Empty when no trace can be built.
String CrashStackTrace();
