// A child process of the platform tests, for what must happen in a process of its own:
//   platform_child crash <callback|none|faulting> <file>
//       installs the crash filter and faults; the crash callback appends the trace it is given
//       (and a line "--") to the file; "faulting" faults again inside the callback.
//   platform_child crash-while-quiet <file>
//       faults inside a quiet-logging span; the callback logs and writes the ring's newest line.
//   platform_child xinput <file>
//       starts the XInput back end and writes "initialized=<0|1>" and every reported message to
//       the file; the parent picks the DLL overrides.
// Built with DWARF 4 debug information like everything else, so its frames have names and lines.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "core/Console.h"
#include "core/CoreState.h"
#include "core/Log.h"
#include "foundation/FoundationHooks.h"
#include "platform/windows/CrashFilter.h"
#include "platform/windows/InputImpXInput.h"

namespace {

std::string g_file;
zq_program_t g_program;

void Append(const char* text) {
    FILE* file = fopen(g_file.c_str(), "ab");
    if (file != nullptr) {
        fputs(text, file);
        fclose(file);
    }
}

void WriteTrace(const char* trace) {
    Append(trace);
    Append("--\n");
}

__attribute__((noinline)) void FaultInCallback(const char* trace) {
    WriteTrace(trace);
    *static_cast<volatile int*>(nullptr) = 2;
}

__attribute__((noinline)) void CrashInOwnFrame() {
    *static_cast<volatile int*>(nullptr) = 1;
}

// What a program's crash callback typically does with the trace: log it.
void LogTrace(const char* trace) {
    ZQI_LogFormat(LOG_LEVEL_SYSTEM, "crash trace of %u characters", static_cast<unsigned>(strlen(trace)));
    const Console* console = ZQI_GetConsole();
    Append(console->lines.count > 0 ? console->lines[console->lines.count - 1].text : "nothing logged");
    Append("\n");
}

int Crash(const char* mode) {
    memset(&g_program, 0, sizeof(g_program));
    if (strcmp(mode, "callback") == 0) {
        g_program.HandleCrash = WriteTrace;
    } else if (strcmp(mode, "faulting") == 0) {
        g_program.HandleCrash = FaultInCallback;
    } else if (strcmp(mode, "while-quiet") == 0) {
        LogSettings settings = {};
        settings.loggingEnabled = true;
        ZQI_StartLog(ZQI_GetConsole(), settings);
        g_program.HandleCrash = LogTrace;
        ZQI_BeginQuietLogging();  // as the console's drawing does
    }
    g_core.program = &g_program;
    SetUnhandledExceptionFilter(CrashExceptionFilter);
    CrashInOwnFrame();
    return 0;
}

void ReportToFile(int32_t level, const char* text) {
    char line[1024];
    snprintf(line, sizeof(line), "[%d] %s\n", static_cast<int>(level), text);
    Append(line);
}

bool NotDeveloper() {
    return false;
}

int StartXInput() {
    ZQI_ErrorReportSink sink = {ReportToFile, ReportToFile, NotDeveloper};
    ZQI_SetErrorReportSink(&sink);
    InputImpXInput xinput;
    bool initialized = xinput.Initialize(&g_core);
    Append(initialized ? "initialized=1\n" : "initialized=0\n");
    xinput.Shutdown();
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && strcmp(argv[1], "crash") == 0) {
        g_file = argv[3];
        return Crash(argv[2]);
    }
    if (argc == 3 && strcmp(argv[1], "crash-while-quiet") == 0) {
        g_file = argv[2];
        return Crash("while-quiet");
    }
    if (argc == 3 && strcmp(argv[1], "xinput") == 0) {
        g_file = argv[2];
        return StartXInput();
    }
    fprintf(stderr,
            "usage: platform_child crash <callback|none|faulting> <file> | crash-while-quiet <file> | "
            "xinput <file>\n");
    return 2;
}
