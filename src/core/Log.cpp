// The log writer: level counters, the verbose threshold, the ring of the last lines for the
// console overlay, and the log file, which is opened, appended, flushed and closed for every line
// so that a crash loses no logged line.
#include "core/Log.h"

#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <new>

#include "core/ApiTable.h"
#include "core/Console.h"
#include "core/CoreState.h"
#include "core/Features.h"
#include "core/LogFile.h"
#include "core/NamedMutex.h"
#include "core/Sys.h"
#include "core/Threads.h"

namespace {

// The core's build number, printed in the banner beside the API version.
const int32_t kCoreBuildNumber = 2333;
const int32_t kThreadNameSize = 256;

// How deep the calling thread is in code that serves the log itself (ZQI_BeginQuietLogging).
thread_local int32_t t_quietDepth = 0;

// The log's file operations run quiet: a failure they report concerns the log's own file.
struct QuietScope {
    QuietScope() { ZQI_BeginQuietLogging(); }
    ~QuietScope() { ZQI_EndQuietLogging(); }
    QuietScope(const QuietScope&) = delete;
    QuietScope& operator=(const QuietScope&) = delete;
};

// The engine's console, built in zeroed static storage on first use and never destroyed: threads
// may still log while the process exits.
Console* EngineConsole() {
    alignas(Console) static unsigned char storage[sizeof(Console)];
    static Console* console = [] {
        Console* made = new (storage) Console();
        made->history.shrinkOnRemove = true;
        return made;
    }();
    return console;
}

zq_date_t LocalDate() {
    ZQI_SysDate now;
    ZQI_SysGetLocalDate(&now);
    zq_date_t date;
    date.year = static_cast<uint16_t>(now.year);
    date.month = static_cast<uint8_t>(now.month);
    date.day = static_cast<uint8_t>(now.day);
    date.hour = static_cast<uint8_t>(now.hour);
    date.minute = static_cast<uint8_t>(now.minute);
    date.second = static_cast<uint8_t>(now.second);
    date.unused = 0;
    date.weekday = now.weekday;
    date.day_of_year = now.yearDay;
    return date;
}

void FreeLine(ConsoleLine* line) {
    free(line->text);
    free(line->threadName);
    line->text = nullptr;
    line->threadName = nullptr;
}

// Appends a line; when the ring then holds more than it may, the two oldest lines give way to
// one "..." marker at the front, which brings it back to the limit. The caller holds the mutex.
void AppendToRing(Console* console, const ConsoleLine& line) {
    Array<ConsoleLine>& lines = console->lines;
    lines.Push(line);
    if (lines.count <= ZQI_LOG_RING_LINES) {
        return;
    }
    FreeLine(&lines[0]);
    FreeLine(&lines[1]);
    ConsoleLine& marker = lines[1];
    marker.level = LOG_LEVEL_SYSTEM;
    marker.lineNumber = 0;
    marker.time = line.time;
    marker.text = ZQI_DuplicateString("...");
    marker.threadName = nullptr;
    lines.RemoveAt(0);
}

// The ring's text: the level's name in front for levels 1 to 3, the message alone otherwise.
char* RingText(uint32_t level, const char* text) {
    if (level < LOG_LEVEL_WARNING || level > LOG_LEVEL_SYSTEM) {
        return ZQI_DuplicateString(text);
    }
    String prefixed = String::FromFormat("[%s] %s", ZQI_GetLogLevelName(level), text);
    return ZQI_DuplicateString(prefixed.CStr());
}

// Appends one line to the log file: opened, written, flushed and closed, so a crash loses
// nothing. A file that cannot be opened loses this line only. The line and its end go out in one
// write, so lines from several threads interleave whole.
void AppendToFile(const Console* console, uint32_t level, uint32_t lineNumber, const zq_date_t& time,
                  const char* threadName, bool hasThreadName, const char* text) {
    QuietScope quiet;
    const ZQI_LogFileOps& ops = ZQI_GetLogFileOps();
    void* file = ops.open(console->logFileName, "a");
    if (file == nullptr) {
        return;
    }
    int number = static_cast<int>(lineNumber);
    const char* levelName = ZQI_GetLogLevelName(level);
    // Messages reach here cut at their line ends, so every line gets its own "\n".
    if (hasThreadName) {
        if (level != LOG_LEVEL_INFO) {
            ZQI_LogFilePrintf(file, "%.4d: [%.2d:%.2d.%.2d] [%s]> [%s] %s\n", number, time.hour, time.minute,
                              time.second, threadName, levelName, text);
        } else {
            ZQI_LogFilePrintf(file, "%.4d: [%.2d:%.2d.%.2d] [%s]> %s\n", number, time.hour, time.minute,
                              time.second, threadName, text);
        }
    } else {
        if (level != LOG_LEVEL_INFO) {
            ZQI_LogFilePrintf(file, "%.4d: [%.2d:%.2d.%.2d] [%s] %s\n", number, time.hour, time.minute,
                              time.second, levelName, text);
        } else {
            ZQI_LogFilePrintf(file, "%.4d: [%.2d:%.2d.%.2d] %s\n", number, time.hour, time.minute,
                              time.second, text);
        }
    }
    ops.flush(file);
    ops.close(file);
}

// Writes each non-empty piece of a multi-line text as a message of its own.
void WritePieces(Console* console, uint16_t level, const char* text) {
    char piece[ZQI_LOG_MAX_PIECE];
    const char* start = text;
    for (;;) {
        const char* end = strchr(start, '\n');
        size_t length = end != nullptr ? static_cast<size_t>(end - start) : strlen(start);
        if (length > 0 && length < ZQI_LOG_MAX_PIECE) {
            memcpy(piece, start, length);
            piece[length] = '\0';
            ZQI_LogWrite(console, level, piece);
        }
        if (end == nullptr) {
            return;
        }
        start = end + 1;
    }
}

void WriteBanner(void* file) {
    ZQI_LogFilePrintf(file, "Ostrel ZQ (API %.2d.%.2d.%.2d + core %.4d, built %s %s)\n", ZQ_API_VERSION_MAJOR,
                      ZQ_API_VERSION_MINOR, ZQ_API_VERSION_PATCH, kCoreBuildNumber, __DATE__, __TIME__);
    char rule[66];
    memset(rule, '-', 64);
    rule[64] = '\n';
    rule[65] = '\0';
    ZQI_GetLogFileOps().write(file, rule, 65);
}

// Creates (truncates) the log file and writes the banner. False when it cannot be created.
bool CreateLogFile(Console* console, const char* name) {
    QuietScope quiet;
    const ZQI_LogFileOps& ops = ZQI_GetLogFileOps();
    void* file = ops.open(name, "w");
    if (file == nullptr) {
        return false;
    }
    WriteBanner(file);
    ops.close(file);
    strncpy(console->logFileName, name, sizeof(console->logFileName) - 1);
    console->logFileName[sizeof(console->logFileName) - 1] = '\0';
    return true;
}

// The log's settings from the core's state and the feature words.
LogSettings CurrentLogSettings() {
    const CoreState& core = ZQI_GetCoreState();
    LogSettings settings;
    settings.loggingEnabled = core.consoleEnabled != 0;
    settings.logToFile = core.logging != 0;
    settings.verboseThreshold = core.logVerboseLevel;
    settings.developerMode = core.developerMode != 0;
    settings.consoleToggleKey = core.consoleToggleKey;
    settings.consoleOverlay = ZQI_IsFeatureEnabled("CONSOLE_OVERLAY");
    settings.logsInWorkingDir = ZQI_IsFeatureEnabled("LOGS_IN_WORKING_DIR");
    settings.fixedLogName = ZQI_IsFeatureEnabled("FIXED_LOGNAME");
    settings.programId = core.programRecord.id;
    return settings;
}

}  // namespace

const char* ZQI_GetLogLevelName(uint32_t level) {
    switch (level) {
        case LOG_LEVEL_INFO:
            return "INFO";
        case LOG_LEVEL_WARNING:
            return "WARNING";
        case LOG_LEVEL_ERROR:
            return "ERROR";
        case LOG_LEVEL_SYSTEM:
            return "SYSTEM";
        default:
            return "UNKNOWN";
    }
}

Console* ZQI_GetConsole() {
    return EngineConsole();
}

bool ZQI_InitializeLogging() {
    Console* console = EngineConsole();
    ZQI_StartLog(console, CurrentLogSettings());
    if (console->loggingStarted) {
        zq_date_t today = LocalDate();
        ZQ_Print("Logging started on %.2d-%.2d-%.2d.", today.year, today.month, today.day);
    }
    return true;
}

bool ZQI_StartLog(Console* console, const LogSettings& settings) {
    if (settings.developerMode) {
        console->toggleCharacter = static_cast<char>(settings.consoleToggleKey & 0xFF);
        console->overlayMode = settings.consoleOverlay ? 1 : 0;
    }
    console->mutex = ZQI_CreateEngineMutex("ZQ_CONSOLE");
    ZQ_Threading_LockMutex(console->mutex);
    console->open = 0;
    console->loggingStarted = 0;
    console->logFileName[0] = '\0';
    memset(console->levelCounters, 0, sizeof(console->levelCounters));
    console->inputLine[0] = '\0';
    console->cursor = 0;
    console->scrollOffset = 0;
    console->blinkPhase = 0.0f;
    console->verboseThreshold = static_cast<int16_t>(settings.verboseThreshold);
    ZQ_Threading_UnlockMutex(console->mutex);
    if (!settings.loggingEnabled) {
        return true;  // logging never starts: every message is dropped
    }
    console->logToFile = settings.logToFile ? 1 : 0;
    if (console->logToFile) {
        ZQI_SysDate now;
        ZQI_SysGetLocalDate(&now);
        String name = ZQI_BuildLogFileNameAt(settings, now);
        if (!CreateLogFile(console, name.CStr())) {
            console->logToFile = 0;
            // Logging has not started, so this reaches nobody; the log stays in memory only.
            ZQI_LogWrite(console, LOG_LEVEL_WARNING, "Unable to allocate file for the logs.\n");
        }
    }
    console->loggingStarted = 1;
    return true;
}

void ZQI_LogWrite(Console* console, uint16_t level, const char* text) {
    if (console == nullptr || !console->loggingStarted || t_quietDepth > 0) {
        return;
    }
    if (text == nullptr) {
        text = "";
    }
    if (strchr(text, '\n') != nullptr) {
        WritePieces(console, level, text);
        return;
    }
    uint32_t effectiveLevel = level > 7 ? static_cast<uint32_t>(LOG_LEVEL_ERROR) : level;
    // The thread's name is looked up before the console mutex is taken, so the registry lock is
    // never taken inside it. The threshold never changes while logging runs.
    bool written = console->verboseThreshold <= static_cast<int32_t>(effectiveLevel) && text[0] != '\0';
    char threadName[kThreadNameSize] = "MAIN";
    bool hasThreadName = written && ZQI_CopyCurrentThreadName(threadName, kThreadNameSize);
    if (written && !hasThreadName) {
        strcpy(threadName, "MAIN");
    }

    ZQ_Threading_LockMutex(console->mutex);
    if (!console->loggingStarted) {  // logging was shut down meanwhile
        ZQ_Threading_UnlockMutex(console->mutex);
        return;
    }
    console->levelCounters[effectiveLevel] += 1;
    if (!written) {
        ZQ_Threading_UnlockMutex(console->mutex);
        return;
    }
    ConsoleLine line;
    line.level = effectiveLevel;
    line.lineNumber = ++console->lineCounter;
    line.time = LocalDate();
    line.text = RingText(effectiveLevel, text);
    line.threadName = ZQI_DuplicateString(threadName);
    AppendToRing(console, line);
    if (console->scrollOffset > 0) {
        console->scrollOffset += 1;  // a scrolled-back view keeps showing the same lines
    }
    bool toFile = console->logToFile != 0;
    ZQ_Threading_UnlockMutex(console->mutex);

    // Outside the mutex: appends from two threads interleave by whole lines only.
    if (toFile) {
        AppendToFile(console, effectiveLevel, line.lineNumber, line.time, threadName, hasThreadName, text);
    }
}

void ZQI_LogFormat(uint16_t level, const char* format, ...) {
    char buffer[ZQI_FORMAT_BUFFER_SIZE];
    va_list args;
    va_start(args, format);
    char* text = ZQI_FormatToBuffer(buffer, format, args);
    va_end(args);
    ZQI_LogWrite(EngineConsole(), level, text);
    if (text != buffer) {
        free(text);
    }
}

String ZQI_BuildLogFileName() {
    ZQI_SysDate now;
    ZQI_SysGetLocalDate(&now);
    return ZQI_BuildLogFileNameAt(CurrentLogSettings(), now);
}

String ZQI_BuildLogFileNameAt(const LogSettings& settings, const ZQI_SysDate& date) {
    String base(settings.programId != nullptr ? settings.programId : "");
    base.Replace(" ", "-");
    const char* scheme = settings.logsInWorkingDir ? "res" : "logs";
    if (!settings.developerMode || settings.fixedLogName) {
        return String::FromFormat("%s://%s.log", scheme, base.CStr());
    }
    // One file per run in developer mode: the minute it started, then a counter while taken.
    String name = String::FromFormat("%s://%s-%.4d-%.2d-%.2d-%.2d-%.2d.log", scheme, base.CStr(), date.year,
                                     date.month, date.day, date.hour, date.minute);
    QuietScope quiet;
    const ZQI_LogFileOps& ops = ZQI_GetLogFileOps();
    for (int32_t counter = 1; counter <= 99 && ops.exists(name.CStr()); ++counter) {
        name.Format("%s://%s-%.4d-%.2d-%.2d-%.2d-%.2d-%d.log", scheme, base.CStr(), date.year, date.month,
                    date.day, date.hour, date.minute, counter);
    }
    return name;
}

void ZQI_BeginQuietLogging() {
    ++t_quietDepth;
}

void ZQI_EndQuietLogging() {
    if (t_quietDepth > 0) {
        --t_quietDepth;
    }
}

bool ZQI_IsLoggingQuiet() {
    return t_quietDepth > 0;
}

void ZQI_LogClosingSummary() {
    Console* console = EngineConsole();
    ZQ_Threading_LockMutex(console->mutex);
    int errors = static_cast<int>(console->levelCounters[LOG_LEVEL_ERROR]);
    int warnings = static_cast<int>(console->levelCounters[LOG_LEVEL_WARNING]);
    int infos = static_cast<int>(console->levelCounters[LOG_LEVEL_INFO]);
    ZQ_Threading_UnlockMutex(console->mutex);
    ZQI_LogFormat(LOG_LEVEL_SYSTEM, "ZORQA log: %d errors, %d warnings, %d infos.", errors, warnings, infos);
}

void ZQI_StopLog(Console* console) {
    ZQ_Threading_LockMutex(console->mutex);
    console->loggingStarted = 0;
    for (int32_t i = 0; i < console->lines.count; ++i) {
        FreeLine(&console->lines[i]);
    }
    console->lines.count = 0;
    console->lines.Reserve(0);
    ZQ_Threading_UnlockMutex(console->mutex);
}

void ZQI_ShutdownLogging() {
    ZQI_StopLog(EngineConsole());
}
