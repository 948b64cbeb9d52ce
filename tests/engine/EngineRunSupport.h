// Running zorqa.exe from end to end: a folder of its own per test (the executable, the recording
// program library and the manifest the test writes), the process started in it and waited for,
// message boxes it shows answered and recorded, and what it leaves behind read back.
#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

// How a run of the executable ended.
struct EngineRunResult {
    bool started = false;   // CreateProcess succeeded
    bool finished = false;  // it ended by itself within the time limit
    DWORD exitCode = 0xFFFFFFFFu;
    std::vector<std::string> messageBoxTexts;  // every message box it showed, in order
};

// The outcome and the message boxes of a run, for failure messages.
std::string DescribeRun(const EngineRunResult& result);

// A started process whose message boxes are answered while the caller waits for it.
class EngineProcess {
public:
    EngineProcess() = default;
    ~EngineProcess();
    EngineProcess(const EngineProcess&) = delete;
    EngineProcess& operator=(const EngineProcess&) = delete;

    // environment: "NAME=value" added to the process's environment, or empty. executable: the
    // file name of the engine's copy in the folder.
    bool Start(const std::string& folder, const std::string& arguments, const std::string& environment = "",
               const std::string& executable = "zorqa.exe");
    // Waits for the process to end (answering its message boxes); a process still running after
    // the time limit is terminated and reported as not finished.
    EngineRunResult Wait();
    // Waits until the file exists or the process has ended; false when the file did not appear.
    bool WaitForFile(const std::string& path);

private:
    void AnswerMessageBoxes();

    PROCESS_INFORMATION process_ = {};
    EngineRunResult result_;
    std::vector<HWND> answered_;
};

// The test's own resource folder below the test executable's folder, emptied, with copies of
// zorqa.exe and (unless withoutProgram) the recording program library.
class EngineRunFolder {
public:
    explicit EngineRunFolder(const std::string& name, bool withoutProgram = false);
    const std::string& Path() const { return path_; }
    bool Ready() const { return ready_; }

    // A manifest with this program id and title, NO_POPUPS, logs in the working folder under a
    // fixed name; and a developer.xml that switches developer mode on and logs every level.
    void WriteStandardManifest(const std::string& programId, const std::string& title);
    void WriteFile(const std::string& name, const std::string& text) const;
    // Copies a file built beside the executable's staging copy into the folder under a new name.
    bool CopyStagedFile(const std::string& staged, const std::string& name) const;
    std::string ReadFile(const std::string& name) const;
    bool Exists(const std::string& name) const;
    // Gives the engine's copy another file name, so that Wine's settings for that program name
    // (WineDllOverrides) concern this folder's runs alone.
    bool RenameExecutable(const std::string& name);

    EngineRunResult Run(const std::string& arguments, const std::string& environment = "") const;

private:
    std::string path_;
    std::string executable_ = "zorqa.exe";
    bool ready_ = false;
};

// Wine's DLL overrides for one program name, for as long as the object lives: each entry is a
// library name and its load order ("" switches the library off, "native,builtin" prefers a
// copy beside the executable). A WINEDLLOVERRIDES variable set by a test would not reach the
// loader of the process it starts.
class WineDllOverrides {
public:
    WineDllOverrides(const std::string& program,
                     const std::vector<std::pair<std::string, std::string>>& orders);
    ~WineDllOverrides();
    WineDllOverrides(const WineDllOverrides&) = delete;
    WineDllOverrides& operator=(const WineDllOverrides&) = delete;

private:
    std::string key_;
};

// Under Wine: makes the file a symbolic link to the Unix always-full device (which takes writes
// into the C runtime's buffer and fails every flush, as a full disk does), or removes that link.
// False when not under Wine or the change did not show.
bool SetFullDeviceLink(const std::string& windowsPath, bool linked);

// "key=value" lines of the recording program's report; empty when there is none.
std::map<std::string, std::string> ReadRunReport(const EngineRunFolder& folder);
int ReportNumber(const std::map<std::string, std::string>& report, const std::string& key);

// The lines of a log file without their "0001: [hh:mm.ss] [LEVEL] " prefixes.
std::vector<std::string> LogMessages(const std::string& logText);
// Index of the first message at or after from that contains text; -1 when none does.
int FindMessage(const std::vector<std::string>& messages, const std::string& text, int from = 0);
// True when every text is found, each in a later message than the one before.
bool MessagesInOrder(const std::vector<std::string>& messages, const std::vector<std::string>& texts,
                     std::string* missing);
