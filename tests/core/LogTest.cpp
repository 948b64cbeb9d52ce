// The log writer: levels, counters and the threshold, multi-line texts, the ring and its
// overflow, the log file's banner, line forms and names, and writers on several threads.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "ThreadTestSupport.h"
#include "core/Console.h"
#include "core/CoreState.h"
#include "core/Log.h"
#include "core/LogFile.h"
#include "core/Sys.h"
#include "core/Threads.h"

namespace {

// ---- Log files in memory ----------------------------------------------------------------------

struct MemoryFile {
    std::string path;
};

struct MemoryFiles {
    ZQI_SysCriticalSection* lock = ZQI_SysNewCriticalSection();
    std::map<std::string, std::string> contents;
    std::vector<std::string> openModes;
    int32_t closes = 0;
    bool refuseOpen = false;
    Console* flushesReportTo = nullptr;  // reports each flush as failed, as on a full disk
};

MemoryFiles& Files() {
    static MemoryFiles* files = new MemoryFiles();
    return *files;
}

struct FilesGuard {
    FilesGuard() { ZQI_SysEnterCriticalSection(Files().lock); }
    ~FilesGuard() { ZQI_SysLeaveCriticalSection(Files().lock); }
};

bool MemoryExists(const char* path) {
    FilesGuard guard;
    return Files().contents.count(path) != 0;
}

void* MemoryOpen(const char* path, const char* mode) {
    FilesGuard guard;
    Files().openModes.push_back(mode);
    if (Files().refuseOpen) {
        return nullptr;
    }
    if (mode[0] == 'w') {
        Files().contents[path].clear();
    } else {
        Files().contents[path];
    }
    return new MemoryFile{path};
}

int32_t MemoryWrite(void* file, const char* text, int32_t length) {
    FilesGuard guard;
    Files().contents[static_cast<MemoryFile*>(file)->path].append(text, static_cast<size_t>(length));
    return length;
}

void MemoryFlush(void*) {
    if (Files().flushesReportTo != nullptr) {
        ZQI_LogWrite(Files().flushesReportTo, LOG_LEVEL_ERROR, "the log file could not be flushed");
    }
}

void MemoryClose(void* file) {
    FilesGuard guard;
    ++Files().closes;
    delete static_cast<MemoryFile*>(file);
}

std::string FileText(const std::string& path) {
    FilesGuard guard;
    auto found = Files().contents.find(path);
    return found != Files().contents.end() ? found->second : std::string();
}

// The file's lines after the banner and its rule, with every "[hh:mm.ss]" made "[T]".
std::vector<std::string> LoggedLines(const std::string& path) {
    std::string text = FileText(path);
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    if (lines.size() >= 2 && lines[0].rfind("Ostrel ZQ", 0) == 0) {
        lines.erase(lines.begin(), lines.begin() + 2);
    }
    for (std::string& line : lines) {
        size_t open = line.find(": [");
        if (open != std::string::npos && line.size() >= open + 12 && line[open + 11] == ']') {
            line.replace(open + 2, 10, "[T]");
        }
    }
    return lines;
}

// ---- Fixture ----------------------------------------------------------------------------------

const char* const kFileName = "logs://Log-Test.log";

class LogTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetUpCoreThreading();
        const ZQI_LogFileOps ops = {MemoryExists, MemoryOpen, MemoryWrite, MemoryFlush, MemoryClose};
        ZQI_SetLogFileOps(&ops);
        FilesGuard guard;
        Files().contents.clear();
        Files().openModes.clear();
        Files().closes = 0;
        Files().refuseOpen = false;
        Files().flushesReportTo = nullptr;
    }
    void TearDown() override {
        for (Console* console : consoles_) {
            ZQI_StopLog(console);
            delete console;
        }
        ZQI_SetLogFileOps(nullptr);
    }

    static LogSettings Settings(int32_t threshold, bool toFile) {
        LogSettings settings = {};
        settings.loggingEnabled = true;
        settings.logToFile = toFile;
        settings.verboseThreshold = threshold;
        settings.consoleToggleKey = 0xC2A7u;
        settings.programId = "Log Test";
        return settings;
    }

    Console* StartedConsole(const LogSettings& settings) {
        Console* console = new Console();
        consoles_.push_back(console);
        ZQI_StartLog(console, settings);
        return console;
    }

    std::vector<Console*> consoles_;
};

std::string RingText(const Console* console, int32_t index) {
    return console->lines[index].text != nullptr ? console->lines[index].text : "<null>";
}

// ---- The console's lock ------------------------------------------------------------------------

// A program can fetch the console's lock by its name; destroying it would leave every later log
// line locking freed memory. At shutdown the engine deletes it, and the engine's console
// forgets it then, so a line logged afterwards runs unguarded instead.
TEST_F(LogTest, TheConsoleLockIsRefusedToTheProgramAndForgottenAtShutdown) {
    Console* console = ZQI_GetConsole();
    ZQI_StartLog(console, Settings(0, false));
    NamedMutex* fetched = ZQ_Threading_CreateMutex("ZQ_CONSOLE");
    ASSERT_EQ(console->mutex, fetched);
    ZQ_Threading_DestroyMutex(fetched);
    EXPECT_EQ(fetched, ZQ_Threading_CreateMutex("ZQ_CONSOLE"));
    EXPECT_STREQ("ZQ_CONSOLE", console->mutex->name);
    ZQI_LogWrite(console, LOG_LEVEL_INFO, "after the refused destroy");
    EXPECT_GE(console->levelCounters[LOG_LEVEL_INFO], 1u);
    ZQI_DeleteCoreMutexes();
    EXPECT_EQ(nullptr, console->mutex);
    ZQI_LogWrite(console, LOG_LEVEL_INFO, "after shutdown deleted the locks");
    ZQI_StopLog(console);
    ZQI_CreateCoreMutexes();
}

// ---- Levels, counters, threshold --------------------------------------------------------------

TEST_F(LogTest, CountersCountEveryMessageButOnlyLevelsFromTheThresholdAreWritten) {
    Console* console = StartedConsole(Settings(2, false));
    ZQI_LogWrite(console, 0, "info");
    ZQI_LogWrite(console, 1, "warning");
    EXPECT_EQ(console->levelCounters[0], 1u);
    EXPECT_EQ(console->levelCounters[1], 1u);
    EXPECT_EQ(console->lines.count, 0);

    ZQI_LogWrite(console, 2, "error");
    ZQI_LogWrite(console, 3, "system");
    ZQI_LogWrite(console, 5, "odd");
    ZQI_LogWrite(console, 9, "too high");
    ZQI_LogWrite(console, 3, "");
    ZQI_LogWrite(console, 3, nullptr);
    ASSERT_EQ(console->lines.count, 4);
    EXPECT_EQ(RingText(console, 0), "[ERROR] error");
    EXPECT_EQ(RingText(console, 1), "[SYSTEM] system");
    EXPECT_EQ(RingText(console, 2), "odd");  // levels 4 to 7 carry no prefix in the ring
    EXPECT_EQ(console->lines[2].level, 5u);
    EXPECT_EQ(RingText(console, 3), "[ERROR] too high");
    EXPECT_EQ(console->lines[3].level, 2u);
    EXPECT_EQ(console->levelCounters[2], 2u);
    EXPECT_EQ(console->levelCounters[3], 3u);  // empty texts are counted, not written
    EXPECT_EQ(console->levelCounters[5], 1u);
    EXPECT_EQ(console->lineCounter, 4u);
    for (int32_t i = 0; i < 4; ++i) {
        EXPECT_EQ(console->lines[i].lineNumber, static_cast<uint32_t>(i + 1));
        EXPECT_STREQ(console->lines[i].threadName, "MAIN");
    }
    EXPECT_STREQ(ZQI_GetLogLevelName(6), "UNKNOWN");
}

TEST_F(LogTest, NothingIsCountedBeforeStartOrWithLoggingDisabled) {
    Console notStarted{};
    ZQI_LogWrite(&notStarted, 3, "dropped");
    EXPECT_EQ(notStarted.levelCounters[3], 0u);
    EXPECT_EQ(notStarted.lines.count, 0);

    LogSettings settings = Settings(0, true);
    settings.loggingEnabled = false;
    Console* console = StartedConsole(settings);
    ZQI_LogWrite(console, 3, "dropped");
    EXPECT_EQ(console->loggingStarted, 0);
    EXPECT_EQ(console->levelCounters[3], 0u);
    EXPECT_EQ(console->lines.count, 0);
    EXPECT_TRUE(Files().contents.empty());
}

TEST_F(LogTest, MultiLineTextsAreWrittenPieceByPiece) {
    Console* console = StartedConsole(Settings(0, true));
    ZQI_LogWrite(console, 1, "first\nsecond\n");
    ASSERT_EQ(console->lines.count, 2);
    EXPECT_EQ(RingText(console, 0), "[WARNING] first");
    EXPECT_EQ(RingText(console, 1), "[WARNING] second");
    EXPECT_EQ(console->levelCounters[1], 2u);
    std::vector<std::string> lines = LoggedLines(kFileName);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "0001: [T] [WARNING] first");
    EXPECT_EQ(lines[1], "0002: [T] [WARNING] second");

    // Empty pieces and pieces of 4096 characters or more are skipped; 4095 still fits.
    std::string text = "a\n\n" + std::string(4096, 'x') + "\n" + std::string(4095, 'y') + "\nb";
    ZQI_LogWrite(console, 0, text.c_str());
    ASSERT_EQ(console->lines.count, 5);
    EXPECT_EQ(RingText(console, 2), "a");
    EXPECT_EQ(RingText(console, 3), std::string(4095, 'y'));
    EXPECT_EQ(RingText(console, 4), "b");
    EXPECT_EQ(console->levelCounters[0], 3u);
}

// ---- The ring ---------------------------------------------------------------------------------

TEST_F(LogTest, RingKeepsTheLast8192LinesBehindAMarker) {
    Console* console = StartedConsole(Settings(0, false));
    char text[32];
    for (int i = 1; i <= ZQI_LOG_RING_LINES; ++i) {
        snprintf(text, sizeof(text), "line %d", i);
        ZQI_LogWrite(console, 0, text);
    }
    ASSERT_EQ(console->lines.count, ZQI_LOG_RING_LINES);
    EXPECT_EQ(RingText(console, 0), "line 1");

    ZQI_LogWrite(console, 0, "line 8193");
    ASSERT_EQ(console->lines.count, ZQI_LOG_RING_LINES);
    const ConsoleLine& marker = console->lines[0];
    EXPECT_EQ(RingText(console, 0), "...");
    EXPECT_EQ(marker.lineNumber, 0u);
    EXPECT_EQ(marker.level, 3u);
    EXPECT_EQ(marker.threadName, nullptr);
    EXPECT_EQ(console->lines[1].lineNumber, 3u);
    EXPECT_EQ(RingText(console, 1), "line 3");
    EXPECT_EQ(console->lines[ZQI_LOG_RING_LINES - 1].lineNumber, 8193u);

    ZQI_LogWrite(console, 0, "line 8194");
    ASSERT_EQ(console->lines.count, ZQI_LOG_RING_LINES);
    EXPECT_EQ(RingText(console, 0), "...");
    EXPECT_EQ(console->lines[1].lineNumber, 4u);
    EXPECT_EQ(console->lines[ZQI_LOG_RING_LINES - 1].lineNumber, 8194u);
}

TEST_F(LogTest, AScrolledBackViewFollowsNewLines) {
    Console* console = StartedConsole(Settings(0, false));
    ZQI_LogWrite(console, 0, "one");
    EXPECT_EQ(console->scrollOffset, 0);
    console->scrollOffset = 5;
    ZQI_LogWrite(console, 0, "two");
    ZQI_LogWrite(console, 0, "");  // not written, so the view does not move
    EXPECT_EQ(console->scrollOffset, 6);
}

// ---- The log file -----------------------------------------------------------------------------

TEST_F(LogTest, StartTruncatesTheFileAndWritesTheBanner) {
    Files().contents[kFileName] = "left over from the last run\n";
    Console* console = StartedConsole(Settings(2, true));
    EXPECT_STREQ(console->logFileName, kFileName);
    EXPECT_EQ(console->logToFile, 1);
    EXPECT_EQ(console->loggingStarted, 1);

    std::string text = FileText(kFileName);
    const std::string prefix = "Ostrel ZQ (API 15.46.01 + core 2333, built ";
    ASSERT_EQ(text.compare(0, prefix.size(), prefix), 0) << text;
    // The build's date and time: "Mmm dd yyyy hh:mm:ss", then ")\n" and a rule of 64 '-'.
    size_t close = text.find(")\n");
    ASSERT_NE(close, std::string::npos);
    std::string built = text.substr(prefix.size(), close - prefix.size());
    ASSERT_EQ(built.size(), 20u) << built;
    EXPECT_EQ(built[11], ' ');
    EXPECT_EQ(built[14], ':');
    EXPECT_EQ(built[17], ':');
    EXPECT_EQ(text.substr(close + 2), std::string(64, '-') + "\n");
    EXPECT_EQ(text.find("left over"), std::string::npos);
}

TEST_F(LogTest, EveryLineOpensAppendsAndClosesTheFile) {
    Console* console = StartedConsole(Settings(0, true));
    ZQI_LogWrite(console, 0, "a");
    ZQI_LogWrite(console, 2, "b");
    ZQI_LogWrite(console, 0, "");  // not written: the file is not touched
    FilesGuard guard;
    ASSERT_EQ(Files().openModes.size(), 3u);
    EXPECT_EQ(Files().openModes[0], "w");
    EXPECT_EQ(Files().openModes[1], "a");
    EXPECT_EQ(Files().openModes[2], "a");
    EXPECT_EQ(Files().closes, 3);
}

TEST_F(LogTest, AFileThatCannotBeCreatedLeavesTheLogInMemory) {
    Files().refuseOpen = true;
    Console* console = StartedConsole(Settings(0, true));
    EXPECT_EQ(console->loggingStarted, 1);
    EXPECT_EQ(console->logToFile, 0);
    EXPECT_STREQ(console->logFileName, "");
    ZQI_LogWrite(console, 2, "kept");
    ASSERT_EQ(console->lines.count, 1);
    EXPECT_EQ(RingText(console, 0), "[ERROR] kept");
    EXPECT_EQ(Files().openModes.size(), 1u);  // no further attempt per line
}

TEST_F(LogTest, ALineThatCannotBeAppendedIsOnlyMissingFromTheFile) {
    Console* console = StartedConsole(Settings(0, true));
    ZQI_LogWrite(console, 0, "first");
    Files().refuseOpen = true;
    ZQI_LogWrite(console, 0, "second");
    Files().refuseOpen = false;
    ZQI_LogWrite(console, 0, "third");
    EXPECT_EQ(console->lines.count, 3);
    std::vector<std::string> lines = LoggedLines(kFileName);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "0001: [T] first");
    EXPECT_EQ(lines[1], "0003: [T] third");
}

// What the log's own file operations report must not be logged again: on a full disk each
// report would write the file again, fail and report once more until the stack ran out.
TEST_F(LogTest, WhatTheLogsOwnFileOperationsReportIsNotLoggedAgain) {
    Console* console = StartedConsole(Settings(0, true));
    Files().flushesReportTo = console;
    ZQI_LogWrite(console, LOG_LEVEL_INFO, "first");
    ZQI_LogWrite(console, LOG_LEVEL_INFO, "second");
    Files().flushesReportTo = nullptr;
    ASSERT_EQ(console->lines.count, 2);
    EXPECT_EQ(RingText(console, 1), "second");
    EXPECT_EQ(LoggedLines(kFileName), std::vector<std::string>({"0001: [T] first", "0002: [T] second"}));
}

struct ThreadLines {
    Console* console;
    TestEvent done;
};

void LogFromLoader(void* argument) {
    ThreadLines* job = static_cast<ThreadLines*>(argument);
    ZQI_LogWrite(job->console, 0, "busy");
    ZQI_LogWrite(job->console, 1, "slow");
    job->done.Set();
}

void LogFromNameless(void* argument) {
    ThreadLines* job = static_cast<ThreadLines*>(argument);
    ZQI_LogWrite(job->console, 2, "anonymous");
    job->done.Set();
}

TEST_F(LogTest, FileLinesNameTheThreadWhenItHasAName) {
    int32_t baseline = ZQI_GetLiveThreadCount();
    Console* console = StartedConsole(Settings(0, true));
    ZQI_LogWrite(console, 0, "hello");
    ZQI_LogWrite(console, 2, "bad");
    ZQI_LogWrite(console, 6, "odd");

    ThreadLines loader = {console, {}};
    ASSERT_NE(ZQ_Threading_CreateThread("Loader", LogFromLoader, &loader, 0), 0u);
    loader.done.Wait();
    ThreadLines nameless = {console, {}};
    ASSERT_NE(ZQ_Threading_CreateThread(nullptr, LogFromNameless, &nameless, 0), 0u);
    nameless.done.Wait();
    WaitForApiThreadsToEnd(baseline);

    std::vector<std::string> lines = LoggedLines(kFileName);
    std::vector<std::string> expected = {
        "0001: [T] hello",
        "0002: [T] [ERROR] bad",
        "0003: [T] [UNKNOWN] odd",
        "0004: [T] [Loader]> busy",
        "0005: [T] [Loader]> [WARNING] slow",
        "0006: [T] []> [ERROR] anonymous",
    };
    EXPECT_EQ(lines, expected);
    ASSERT_EQ(console->lines.count, 6);
    EXPECT_STREQ(console->lines[0].threadName, "MAIN");
    EXPECT_STREQ(console->lines[3].threadName, "Loader");
    EXPECT_STREQ(console->lines[5].threadName, "");
    EXPECT_EQ(RingText(console, 4), "[WARNING] slow");
}

struct Writer {
    Console* console;
    int number;
};

const int kWriterLines = 300;

void WriteManyLines(void* argument) {
    Writer* writer = static_cast<Writer*>(argument);
    char text[64];
    for (int i = 0; i < kWriterLines; ++i) {
        snprintf(text, sizeof(text), "writer %d line %d", writer->number, i);
        ZQI_LogWrite(writer->console, 0, text);
    }
}

TEST_F(LogTest, WritersOnManyThreadsInterleaveByWholeLines) {
    const int kWriters = 4;
    int32_t baseline = ZQI_GetLiveThreadCount();
    Console* console = StartedConsole(Settings(0, true));
    std::vector<Writer> writers(kWriters);
    for (int i = 0; i < kWriters; ++i) {
        writers[i] = {console, i};
        std::string name = "Writer" + std::to_string(i);
        ASSERT_NE(ZQ_Threading_CreateThread(name.c_str(), WriteManyLines, &writers[i], 0), 0u);
    }
    WaitForApiThreadsToEnd(baseline);

    const int total = kWriters * kWriterLines;
    EXPECT_EQ(console->lines.count, total);
    EXPECT_EQ(console->levelCounters[0], static_cast<uint32_t>(total));
    std::vector<std::string> lines = LoggedLines(kFileName);
    ASSERT_EQ(lines.size(), static_cast<size_t>(total));
    std::set<int> numbers;
    std::vector<int> nextLine(kWriters, 0);
    for (const std::string& line : lines) {
        int number = 0;
        int writer = -1;
        int writerAgain = -1;
        int index = -1;
        int consumed = 0;
        ASSERT_EQ(sscanf(line.c_str(), "%d: [T] [Writer%d]> writer %d line %d%n", &number, &writer,
                         &writerAgain, &index, &consumed),
                  4)
            << line;
        EXPECT_EQ(static_cast<size_t>(consumed), line.size()) << line;
        ASSERT_EQ(writer, writerAgain);
        ASSERT_GE(writer, 0);
        ASSERT_LT(writer, kWriters);
        EXPECT_EQ(index, nextLine[writer]++);  // each writer's lines in its own order
        numbers.insert(number);
    }
    EXPECT_EQ(numbers.size(), static_cast<size_t>(total));
    EXPECT_EQ(*numbers.begin(), 1);
    EXPECT_EQ(*numbers.rbegin(), total);
}

// ---- Log file names ---------------------------------------------------------------------------

ZQI_SysDate FixedDate() {
    ZQI_SysDate date = {};
    date.year = 2024;
    date.month = 3;
    date.day = 5;
    date.hour = 7;
    date.minute = 9;
    return date;
}

TEST_F(LogTest, ReleaseModeNamesTheFileAfterTheProgramId) {
    LogSettings settings = Settings(2, true);
    settings.programId = "My Fine Game";
    EXPECT_STREQ(ZQI_BuildLogFileNameAt(settings, FixedDate()).CStr(), "logs://My-Fine-Game.log");
    settings.logsInWorkingDir = true;
    EXPECT_STREQ(ZQI_BuildLogFileNameAt(settings, FixedDate()).CStr(), "res://My-Fine-Game.log");
    // The same name at every start, truncated each time.
    Files().contents["res://My-Fine-Game.log"] = "old";
    EXPECT_STREQ(ZQI_BuildLogFileNameAt(settings, FixedDate()).CStr(), "res://My-Fine-Game.log");
}

TEST_F(LogTest, DeveloperModeNamesTheFileAfterTheMinuteAndCountsWhileTaken) {
    LogSettings settings = Settings(2, true);
    settings.developerMode = true;
    const std::string base = "logs://Log-Test-2024-03-05-07-09";
    EXPECT_EQ(ZQI_BuildLogFileNameAt(settings, FixedDate()).CStr(), base + ".log");
    Files().contents[base + ".log"] = "";
    EXPECT_EQ(ZQI_BuildLogFileNameAt(settings, FixedDate()).CStr(), base + "-1.log");
    Files().contents[base + "-1.log"] = "";
    EXPECT_EQ(ZQI_BuildLogFileNameAt(settings, FixedDate()).CStr(), base + "-2.log");

    for (int i = 2; i <= 99; ++i) {
        Files().contents[base + "-" + std::to_string(i) + ".log"] = "";
    }
    EXPECT_EQ(ZQI_BuildLogFileNameAt(settings, FixedDate()).CStr(), base + "-99.log");

    settings.fixedLogName = true;
    EXPECT_STREQ(ZQI_BuildLogFileNameAt(settings, FixedDate()).CStr(), "logs://Log-Test.log");
}

TEST_F(LogTest, DeveloperModeTakesTheToggleCharacterAndOverlayMode) {
    LogSettings settings = Settings(2, false);
    settings.developerMode = true;
    settings.consoleOverlay = true;
    Console* console = StartedConsole(settings);
    EXPECT_EQ(static_cast<unsigned char>(console->toggleCharacter), 0xA7);
    EXPECT_EQ(console->overlayMode, 1);

    Console* release = StartedConsole(Settings(2, false));
    EXPECT_EQ(release->toggleCharacter, 0);
    EXPECT_EQ(release->overlayMode, 0);
}

// ---- The engine's console ---------------------------------------------------------------------

TEST_F(LogTest, EngineConsoleEndsWithTheClosingSummary) {
    Console* console = ZQI_GetConsole();
    ZQI_StartLog(console, Settings(0, true));
    ZQI_LogFormat(LOG_LEVEL_ERROR, "error %d", 1);
    ZQI_LogFormat(LOG_LEVEL_WARNING, "warning %d", 1);
    ZQI_LogFormat(LOG_LEVEL_WARNING, "warning %d", 2);
    for (int i = 0; i < 3; ++i) {
        ZQI_LogFormat(LOG_LEVEL_INFO, "info %d", i);
    }
    ZQI_LogClosingSummary();
    ASSERT_GT(console->lines.count, 0);
    EXPECT_EQ(RingText(console, console->lines.count - 1),
              "[SYSTEM] ZORQA log: 1 errors, 2 warnings, 3 infos.");
    std::vector<std::string> lines = LoggedLines(kFileName);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back().substr(lines.back().find("[T]")),
              "[T] [SYSTEM] ZORQA log: 1 errors, 2 warnings, 3 infos.");

    ZQI_ShutdownLogging();
    EXPECT_EQ(console->lines.count, 0);
    uint32_t infos = console->levelCounters[0];
    ZQI_LogFormat(LOG_LEVEL_INFO, "after shutdown");
    EXPECT_EQ(console->levelCounters[0], infos);
    EXPECT_EQ(console->lines.count, 0);
}

TEST_F(LogTest, InitializeLoggingReadsTheCoreSettings) {
    CoreState saved = g_core;
    ZQI_SetCoreDefaults();
    g_core.developerMode = 1;
    g_core.logVerboseLevel = 0;
    snprintf(g_core.programRecord.id, sizeof(g_core.programRecord.id), "%s", "Core Log");
    EXPECT_TRUE(ZQI_InitializeLogging());

    Console* console = ZQI_GetConsole();
    EXPECT_EQ(console->loggingStarted, 1);
    const std::string name = console->logFileName;
    EXPECT_EQ(name.rfind("logs://Core-Log-", 0), 0u) << name;
    EXPECT_EQ(name.size(), strlen("logs://Core-Log-2024-03-05-07-09.log")) << name;
    EXPECT_EQ(static_cast<unsigned char>(console->toggleCharacter), 0xA7);
    ASSERT_GE(console->lines.count, 1);
    const std::string started = RingText(console, console->lines.count - 1);
    EXPECT_EQ(started.rfind("Logging started on ", 0), 0u) << started;
    EXPECT_EQ(started.size(), strlen("Logging started on 2024-03-05.")) << started;

    ZQI_ShutdownLogging();
    g_core.developerMode = saved.developerMode;
    g_core.logVerboseLevel = saved.logVerboseLevel;
    g_core.logging = saved.logging;
    g_core.consoleEnabled = saved.consoleEnabled;
    g_core.consoleToggleKey = saved.consoleToggleKey;
    memcpy(g_core.programRecord.id, saved.programRecord.id, sizeof(saved.programRecord.id));
}

// The default file operations: C stdio in the working directory.
TEST(LogFileTest, DefaultOperationsWriteTheFileInTheWorkingDirectory) {
    SetUpCoreThreading();
    ZQI_SetLogFileOps(nullptr);
    const char* nativeName = "zq-log-stdio-test.log";
    remove(nativeName);
    LogSettings settings = {};
    settings.loggingEnabled = true;
    settings.logToFile = true;
    settings.verboseThreshold = 0;
    settings.programId = "zq log stdio test";
    std::unique_ptr<Console> console(new Console());
    ZQI_StartLog(console.get(), settings);
    EXPECT_STREQ(console->logFileName, "logs://zq-log-stdio-test.log");
    ZQI_LogWrite(console.get(), 1, "on disk");
    ZQI_StopLog(console.get());

    EXPECT_TRUE(ZQI_GetLogFileOps().exists("logs://zq-log-stdio-test.log"));
    FILE* file = fopen(nativeName, "rb");
    ASSERT_NE(file, nullptr);
    char buffer[512] = {};
    size_t size = fread(buffer, 1, sizeof(buffer) - 1, file);
    fclose(file);
    remove(nativeName);
    std::string text(buffer, size);
    EXPECT_EQ(text.rfind("Ostrel ZQ (API 15.46.01 + core 2333, built ", 0), 0u) << text;
    EXPECT_NE(text.find(std::string(64, '-') + "\n"), std::string::npos);
    size_t line = text.find("0001: [");
    ASSERT_NE(line, std::string::npos) << text;
    EXPECT_EQ(text.substr(line + 17), "[WARNING] on disk\n");  // "\n" only: binary mode
    EXPECT_FALSE(ZQI_GetLogFileOps().exists("logs://zq-log-stdio-test.log"));
}

}  // namespace
