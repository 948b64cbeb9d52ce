// The crash filter and the stack trace it builds with the debug-help library.
#include "platform/windows/CrashFilter.h"

#include <dbghelp.h>

#include <atomic>
#include <cstdlib>
#include <cstring>

#include "core/CoreState.h"
#include "core/Log.h"

namespace {

const ULONG kMaximumFrames = 128;
const DWORD kSymbolOptions =
    SYMOPT_UNDNAME | SYMOPT_DEFERRED_LOADS | SYMOPT_LOAD_LINES | SYMOPT_FAIL_CRITICAL_ERRORS;
const ULONG kMaximumSymbolName = 256;

std::atomic<int> g_filterEntered(0);

// SYMBOL_INFO ends in a one-character name; the rest of the name follows it.
struct SymbolWithName {
    SYMBOL_INFO info;
    char nameRest[kMaximumSymbolName];
};

void AppendFrame(String& trace, HANDLE process, unsigned index, void* address) {
    SymbolWithName symbol;
    memset(&symbol, 0, sizeof(symbol));
    symbol.info.SizeOfStruct = sizeof(SYMBOL_INFO);
    symbol.info.MaxNameLen = kMaximumSymbolName;
    DWORD64 displacement = 0;
    const DWORD64 where = reinterpret_cast<DWORD64>(address);
    const bool named = SymFromAddr(process, where, &displacement, &symbol.info) != FALSE;

    IMAGEHLP_LINE64 line;
    memset(&line, 0, sizeof(line));
    line.SizeOfStruct = sizeof(line);
    DWORD lineDisplacement = 0;
    const bool located = SymGetLineFromAddr64(process, where, &lineDisplacement, &line) != FALSE;

    trace.AppendFormat(
        "%u. %s:%u %s\n", index, located && line.FileName != nullptr ? line.FileName : "Unknown",
        located ? static_cast<unsigned>(line.LineNumber) : 0u, named ? symbol.info.Name : "Unknown");
}

}  // namespace

String CrashStackTrace() {
    String trace;
    void* frames[kMaximumFrames];
    USHORT count = RtlCaptureStackBackTrace(0, kMaximumFrames, frames, nullptr);
    if (count == 0) {
        return trace;
    }
    HANDLE process = GetCurrentProcess();
    SymSetOptions(kSymbolOptions);
    if (!SymInitialize(process, nullptr, TRUE)) {
        return trace;
    }
    for (USHORT i = 0; i < count; ++i) {
        AppendFrame(trace, process, i, frames[i]);
    }
    SymCleanup(process);
    return trace;
}

LONG WINAPI CrashExceptionFilter(EXCEPTION_POINTERS*) {
    const zq_program_t* program = g_core.program;
    if (program == nullptr || program->HandleCrash == nullptr) {
        return EXCEPTION_CONTINUE_SEARCH;
    }
    // A callback that faults would bring the process back here, over and over.
    if (g_filterEntered.exchange(1) != 0) {
        return EXCEPTION_CONTINUE_SEARCH;
    }
    // The fault may have stopped this thread inside code that logs quietly (the console's drawing,
    // the log's own file writes). That code never resumes, and the callback must be able to log
    // the trace and show a popup.
    while (ZQI_IsLoggingQuiet()) {
        ZQI_EndQuietLogging();
    }
    String trace = CrashStackTrace();
    program->HandleCrash(trace.CStr());
    return EXCEPTION_CONTINUE_SEARCH;
}
