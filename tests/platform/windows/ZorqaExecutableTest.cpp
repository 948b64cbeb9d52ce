// zorqa.exe from end to end: started in a folder of its own beside a program library that quits
// after five frames, it must run the program's Init, frames and Shutdown and exit with code 0.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "PlatformTestSupport.h"

namespace {

// A safety net only: a run that shows a message box would otherwise wait for a click forever.
const DWORD kRunTimeLimitMilliseconds = 120000;

std::string RunFolder() {
    return TestExecutableFolder() + "zorqa-run\\";
}

std::string ReadFile(const std::string& path) {
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

// What the program library wrote at its shutdown.
struct RunReport {
    int init = -1;
    int draw = -1;
    int update = -1;
    int shutdown = -1;
    int checkParameters = -1;
    int api = -1;
};

bool ReadRunReport(const std::string& path, RunReport* report) {
    std::string text = ReadFile(path);
    return sscanf(text.c_str(), "init=%d draw=%d update=%d shutdown=%d check_parameters=%d api=%d",
                  &report->init, &report->draw, &report->update, &report->shutdown, &report->checkParameters,
                  &report->api) == 6;
}

// The messages of a log file, without line numbers, times and levels.
std::vector<std::string> LogMessages(const std::string& path) {
    std::vector<std::string> messages;
    std::istringstream lines(ReadFile(path));
    std::string line;
    while (std::getline(lines, line)) {
        size_t time = line.find("] [");
        size_t level = time == std::string::npos ? time : line.find("] ", time + 2);
        if (level != std::string::npos) {
            messages.push_back(line.substr(level + 2));
        }
    }
    return messages;
}

int CountStartingWith(const std::vector<std::string>& messages, const std::string& prefix) {
    int count = 0;
    for (const std::string& message : messages) {
        count += message.compare(0, prefix.size(), prefix) == 0 ? 1 : 0;
    }
    return count;
}

// The first message at or after from that starts with prefix; -1 when there is none.
int FindStartingWith(const std::vector<std::string>& messages, const std::string& prefix, int from) {
    for (int i = from < 0 ? 0 : from; i < static_cast<int>(messages.size()); ++i) {
        if (messages[i].compare(0, prefix.size(), prefix) == 0) {
            return i;
        }
    }
    return -1;
}

// Starts the executable in its folder and waits for it; false when it could not be started.
bool RunZorqa(DWORD* exitCode) {
    std::string folder = RunFolder();
    std::string commandLine = "\"" + folder + "zorqa.exe\"";
    STARTUPINFOA startup;
    ZeroMemory(&startup, sizeof(startup));
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process;
    if (!CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(),
                        &startup, &process)) {
        return false;
    }
    if (WaitForSingleObject(process.hProcess, kRunTimeLimitMilliseconds) != WAIT_OBJECT_0) {
        TerminateProcess(process.hProcess, 99);
        WaitForSingleObject(process.hProcess, INFINITE);
    }
    GetExitCodeProcess(process.hProcess, exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

}  // namespace

TEST(ZorqaExecutable, RunsTheProgramUntilItQuitsAndExitsWithZero) {
    std::string reportPath = RunFolder() + "run-report.txt";
    std::string logPath = RunFolder() + "zorqa-end-to-end.log";
    DeleteFileA(reportPath.c_str());
    DeleteFileA(logPath.c_str());
    DWORD exitCode = 12345;
    ASSERT_TRUE(RunZorqa(&exitCode));
    EXPECT_EQ(0u, exitCode);
    RunReport report;
    ASSERT_TRUE(ReadRunReport(reportPath, &report)) << ReadFile(reportPath);
    EXPECT_EQ(1, report.init);
    EXPECT_EQ(5, report.draw);
    // Update is skipped in a frame that follows the previous one within the same millisecond.
    EXPECT_GE(report.update, 1);
    EXPECT_LE(report.update, report.draw);
    EXPECT_EQ(1, report.shutdown);
    EXPECT_EQ(1, report.checkParameters);
    EXPECT_EQ(1, report.api);
}

TEST(ZorqaExecutable, LogsTheProcessEntrysStepsInOrder) {
    std::string logPath = RunFolder() + "zorqa-end-to-end.log";
    DeleteFileA(logPath.c_str());
    DWORD exitCode = 12345;
    ASSERT_TRUE(RunZorqa(&exitCode));
    EXPECT_EQ(0u, exitCode);
    std::vector<std::string> log = LogMessages(logPath);
    ASSERT_FALSE(log.empty()) << ReadFile(logPath);
    // Between the two start-up stages, then the window, the renderer and the sound back end of
    // the initialisation; at the end the window goes and the library is unloaded once.
    const char* const inOrder[] = {"Preinitialization complete.",
                                   "WIN32_WINNT defined to a00.",
                                   "Created window (",
                                   "D3D11 renderer created a ",
                                   "Loading Sound Implementation...",
                                   "Destroying window...",
                                   "Unloading ProgImp Library."};
    int at = 0;
    for (const char* message : inOrder) {
        at = FindStartingWith(log, message, at);
        ASSERT_GE(at, 0) << "missing or out of order: " << message << "\n" << ReadFile(logPath);
    }
    EXPECT_EQ(1, CountStartingWith(log, "WIN32_WINNT defined to"));
    EXPECT_EQ(1, CountStartingWith(log, "Unloading ProgImp Library."));
}
