// What needs a process of its own (platform_child.exe): crash traces through the crash filter,
// and XInput start-up with both libraries switched off by Wine's DLL overrides.
#include <gtest/gtest.h>

#include <windows.h>

#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "PlatformTestSupport.h"

namespace {

const int kChildTimeLimitMilliseconds = 60000;

std::string ReadText(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream stream(text);
    std::string line;
    while (std::getline(stream, line)) {
        lines.push_back(line);
    }
    return lines;
}

// Runs the child with the arguments; its output (Wine's crash report among it) goes nowhere.
// Returns its exit code, or 0xFFFFFFFF when it could not run or did not end.
DWORD RunChild(const std::vector<std::string>& arguments) {
    ChildProcess child;
    if (!child.Start("platform_child", arguments)) {
        return 0xFFFFFFFFu;
    }
    return static_cast<DWORD>(child.Wait(kChildTimeLimitMilliseconds));
}

std::string OutputFile(const char* name) {
    std::string path = TestExecutableFolder() + name;
    DeleteFileA(path.c_str());
    return path;
}

// "N. file:line Function" with N counting from 0.
bool IsTraceLine(const std::string& line, int index) {
    static const std::regex form("([0-9]+)\\. (.+):([0-9]+) (.+)");
    std::smatch match;
    return std::regex_match(line, match, form) && std::stoi(match[1]) == index;
}

}  // namespace

TEST(CrashTrace, TheCallbackGetsOneLinePerFrameWithOwnFramesNamed) {
    std::string path = OutputFile("crash-callback.txt");
    DWORD exitCode = RunChild({"crash", "callback", path});
    // After the filter the system's handling ends the process with the fault's code (Wine's own
    // exit status 5 is its low byte).
    EXPECT_EQ(static_cast<DWORD>(EXCEPTION_ACCESS_VIOLATION), exitCode);
    std::vector<std::string> lines = Lines(ReadText(path));
    ASSERT_GE(lines.size(), 3u) << ReadText(path);
    EXPECT_EQ("--", lines.back());
    bool ownFrame = false;
    bool unknownFrame = false;
    for (size_t i = 0; i + 1 < lines.size(); ++i) {
        EXPECT_TRUE(IsTraceLine(lines[i], static_cast<int>(i))) << lines[i];
        ownFrame |= lines[i].find("PlatformChild.cpp:") != std::string::npos &&
                    lines[i].find(" CrashInOwnFrame") != std::string::npos;
        unknownFrame |= lines[i].find(". Unknown:0 ") != std::string::npos;
    }
    EXPECT_TRUE(ownFrame) << ReadText(path);
    EXPECT_TRUE(unknownFrame) << ReadText(path);  // frames of the system's libraries have no lines
}

TEST(CrashTrace, NoCallbackMeansNoTrace) {
    std::string path = OutputFile("crash-none.txt");
    EXPECT_EQ(static_cast<DWORD>(EXCEPTION_ACCESS_VIOLATION), RunChild({"crash", "none", path}));
    EXPECT_EQ("", ReadText(path));
}

TEST(CrashTrace, ACallbackThatFaultsIsEnteredOnce) {
    std::string path = OutputFile("crash-faulting.txt");
    EXPECT_EQ(static_cast<DWORD>(EXCEPTION_ACCESS_VIOLATION), RunChild({"crash", "faulting", path}));
    std::string text = ReadText(path);
    size_t first = text.find("--\n");
    ASSERT_NE(std::string::npos, first) << text;
    EXPECT_EQ(std::string::npos, text.find("--\n", first + 1)) << text;
}

// A fault can stop a thread inside a span whose messages are dropped (the console's drawing, the
// log's own file writes); that span never ends, yet the program's callback must be able to log
// the trace.
TEST(CrashTrace, TheCallbackLogsEvenWhenTheFaultStoppedAQuietSpan) {
    std::string path = OutputFile("crash-while-quiet.txt");
    EXPECT_EQ(static_cast<DWORD>(EXCEPTION_ACCESS_VIOLATION), RunChild({"crash-while-quiet", path}));
    std::vector<std::string> lines = Lines(ReadText(path));
    ASSERT_EQ(1u, lines.size()) << ReadText(path);
    EXPECT_EQ(0u, lines[0].find("[SYSTEM] crash trace of ")) << lines[0];
}

// Wine's per-program DLL overrides switch both XInput libraries off for the child alone. (A
// WINEDLLOVERRIDES variable set here would not reach the child's loader.)
class XInputSwitchedOff {
public:
    XInputSwitchedOff() {
        RegCreateKeyExA(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key_, nullptr);
        for (const char* library : {"xinput1_4", "xinput1_3"}) {
            RegSetValueExA(key_, library, 0, REG_SZ, reinterpret_cast<const BYTE*>(""), 1);
        }
    }
    ~XInputSwitchedOff() {
        RegCloseKey(key_);
        RegDeleteKeyA(HKEY_CURRENT_USER, kKey);
    }

private:
    static constexpr const char* kKey = "Software\\Wine\\AppDefaults\\platform_child.exe\\DllOverrides";
    HKEY key_ = nullptr;
};

TEST(XInputLoading, WithoutEitherLibraryTheBackEndReportsAndStaysOff) {
    std::string path = OutputFile("xinput-off.txt");
    XInputSwitchedOff switchedOff;
    EXPECT_EQ(0u, RunChild({"xinput", path}));
    EXPECT_EQ(
        "[2] XInput error: failed to load library (0x00050000, platform error 0).\n"
        "initialized=0\n",
        ReadText(path));
}
