// The top-level exception filter. It does not yet build a stack trace for the program's crash
// callback; until it does, every crash takes the system's default path.
#include "platform/windows/CrashFilter.h"

LONG WINAPI CrashExceptionFilter(EXCEPTION_POINTERS*) {
    return EXCEPTION_CONTINUE_SEARCH;
}
