// The log writer every engine and program message ends in: level counters, the verbose
// threshold, the in-memory ring of the last lines (for the console overlay) and the log file,
// which is opened, appended and closed for every line so that a crash loses nothing.
#pragma once

#include <cstdint>

#include "foundation/Compiler.h"
#include "foundation/String.h"

struct Console;
struct ZQI_SysDate;

// Message levels. Levels 4 to 7 are accepted and named "UNKNOWN"; a level above 7 counts as 2.
enum LogLevel : int32_t {
    LOG_LEVEL_INFO = 0,
    LOG_LEVEL_WARNING = 1,
    LOG_LEVEL_ERROR = 2,
    LOG_LEVEL_SYSTEM = 3
};

// Lines kept in the ring; older lines give way to a "..." marker.
enum { ZQI_LOG_RING_LINES = 8192 };
// Pieces of a multi-line text this long or longer are skipped.
enum { ZQI_LOG_MAX_PIECE = 4096 };

// "INFO", "WARNING", "ERROR", "SYSTEM", or "UNKNOWN" for any other level.
const char* ZQI_GetLogLevelName(uint32_t level);

// What starting the log depends on; ZQI_InitializeLogging takes it from the core's settings.
struct LogSettings {
    bool loggingEnabled;       // "console": when clear, logging never starts
    bool logToFile;            // "logging"
    int32_t verboseThreshold;  // "logging_verbose_level"
    bool developerMode;
    uint32_t consoleToggleKey;  // its low byte toggles the console (developer mode only)
    bool consoleOverlay;        // feature word CONSOLE_OVERLAY
    bool logsInWorkingDir;      // feature word LOGS_IN_WORKING_DIR: scheme "res" for "logs"
    bool fixedLogName;          // feature word FIXED_LOGNAME: "<id>.log" in developer mode too
    const char* programId;      // the manifest's program id
};

// The engine's one console record (log ring, counters and console overlay state).
Console* ZQI_GetConsole();

// Opens the log from the core's settings (developer mode, logging flags, verbose threshold,
// program id, feature words). Creates the "ZQ_CONSOLE" mutex. Always returns true: a log file
// that cannot be created leaves the log in memory only.
bool ZQI_InitializeLogging();

// Resets the log state of console and starts logging on it with those settings: creates the file
// (truncated) with the banner when logging to a file. Always returns true; a file that cannot
// be created leaves logging in memory only.
bool ZQI_StartLog(Console* console, const LogSettings& settings);

// Writes one message (see Log.cpp for the rules). Nothing happens before logging has started,
// nor while the calling thread logs quietly (ZQI_BeginQuietLogging). Any thread may call it.
void ZQI_LogWrite(Console* console, uint16_t level, const char* text);
// ZQI_LogWrite of a formatted message on the engine's console.
void ZQI_LogFormat(uint16_t level, const char* format, ...) ZQ_PRINTF_LIKE(2, 3);

// Code that serves the log itself runs between these on its thread: the log's own file
// operations, and the console's drawing of the ring. Whatever such code reports would run it
// again (a log file that cannot be closed reports that, which closes the log file again), so
// messages the thread raises in between are dropped: not counted, not kept, not written, and no
// popup is shown for them. Other threads log as usual. Pairs nest.
void ZQI_BeginQuietLogging();
void ZQI_EndQuietLogging();
// True between ZQI_BeginQuietLogging and its ZQI_EndQuietLogging on the calling thread.
bool ZQI_IsLoggingQuiet();

// The log file's virtual path from the core's settings: "<scheme>://<id>-YYYY-MM-DD-hh-mm.log"
// in developer mode (with "-1" to "-99" while the name is taken), else "<scheme>://<id>.log".
String ZQI_BuildLogFileName();
// The same for the given settings and local date (the minute the name is made in).
String ZQI_BuildLogFileNameAt(const LogSettings& settings, const ZQI_SysDate& date);

// Shutdown: "ZORQA log: %d errors, %d warnings, %d infos." from the engine console's counters.
void ZQI_LogClosingSummary();
// Frees console's ring and switches its logging off; later messages are dropped.
void ZQI_StopLog(Console* console);
// Shutdown: ZQI_StopLog of the engine's console.
void ZQI_ShutdownLogging();
