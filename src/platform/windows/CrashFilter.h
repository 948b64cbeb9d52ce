// The top-level exception filter the process entry installs for the whole run.
#pragma once

#include <windows.h>

// Lets the system's default handling continue (the process ends). Installed from the start so
// that the program's crash callback can be reached from here once stack traces are built.
LONG WINAPI CrashExceptionFilter(EXCEPTION_POINTERS* exception);
