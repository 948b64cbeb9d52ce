// zorqa.exe from end to end: started in a folder of its own beside a program library that quits
// after five frames, it must run the program's Init, frames and Shutdown and exit with code 0.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

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
    DeleteFileA(reportPath.c_str());
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
