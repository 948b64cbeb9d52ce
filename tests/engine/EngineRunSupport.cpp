// Running zorqa.exe from end to end (see EngineRunSupport.h).
#include "EngineRunSupport.h"

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

namespace {

// Safety nets only: a healthy run ends within seconds.
const DWORD kRunTimeLimitMilliseconds = 120000;
const DWORD kPollMilliseconds = 20;

std::string ExecutableFolder() {
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, path, sizeof(path));
    std::string text(path, length);
    return text.substr(0, text.find_last_of("\\/") + 1);
}

std::string StagingFolder() {
    return ExecutableFolder() + "e2e-files\\";
}

// Deletes the folder's files and sub-folders, then the folder.
void DeleteTree(const std::string& folder) {
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA((folder + "*").c_str(), &entry);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::string name = entry.cFileName;
            if (name == "." || name == "..") {
                continue;
            }
            std::string path = folder + name;
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                DeleteTree(path + "\\");
            } else if (!DeleteFileA(path.c_str()) &&
                       GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
                SetFullDeviceLink(path, false);  // listed yet without attributes: a run's leftover link
            }
        } while (FindNextFileA(find, &entry));
        FindClose(find);
    }
    RemoveDirectoryA(folder.c_str());
}

struct MessageBoxSearch {
    DWORD processId;
    HWND found;
};

// Message boxes are dialogs of the standard dialog class owned by the engine's process.
BOOL CALLBACK FindMessageBox(HWND window, LPARAM context) {
    MessageBoxSearch* search = reinterpret_cast<MessageBoxSearch*>(context);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    char className[32] = "";
    GetClassNameA(window, className, sizeof(className));
    if (owner == search->processId && strcmp(className, "#32770") == 0 && IsWindowVisible(window)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

// The message text of a message box: its static control 0xFFFF.
std::string MessageBoxText(HWND box) {
    char text[4096] = "";
    GetDlgItemTextA(box, 0xFFFF, text, sizeof(text));
    return text;
}

}  // namespace

std::string DescribeRun(const EngineRunResult& result) {
    std::string text = "started=" + std::to_string(result.started) +
                       " finished=" + std::to_string(result.finished) +
                       " exit=" + std::to_string(result.exitCode);
    for (const std::string& box : result.messageBoxTexts) {
        text += "\nmessage box: " + box;
    }
    return text;
}

EngineProcess::~EngineProcess() {
    if (process_.hProcess != nullptr) {
        TerminateProcess(process_.hProcess, 99);
        WaitForSingleObject(process_.hProcess, INFINITE);
        CloseHandle(process_.hThread);
        CloseHandle(process_.hProcess);
    }
}

bool EngineProcess::Start(const std::string& folder, const std::string& arguments,
                          const std::string& environment, const std::string& executable) {
    std::string commandLine = "\"" + folder + executable + "\"";
    if (!arguments.empty()) {
        commandLine += " " + arguments;
    }
    // The engine writes nothing to its output; Wine's report of a crash would fill the test's.
    SECURITY_ATTRIBUTES inheritable = {sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE nowhere = CreateFileA("NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable,
                                 OPEN_EXISTING, 0, nullptr);
    STARTUPINFOA startup;
    ZeroMemory(&startup, sizeof(startup));
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = nowhere;
    startup.hStdError = nowhere;
    result_ = EngineRunResult();
    answered_.clear();
    // The child inherits this process's environment, so the variable is there only while it starts.
    std::string name;
    if (!environment.empty()) {
        name = environment.substr(0, environment.find('='));
        SetEnvironmentVariableA(name.c_str(), environment.substr(name.size() + 1).c_str());
    }
    result_.started = CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr,
                                     folder.c_str(), &startup, &process_) != FALSE;
    CloseHandle(nowhere);
    if (!name.empty()) {
        SetEnvironmentVariableA(name.c_str(), nullptr);
    }
    return result_.started;
}

void EngineProcess::AnswerMessageBoxes() {
    MessageBoxSearch search = {process_.dwProcessId, nullptr};
    EnumWindows(FindMessageBox, reinterpret_cast<LPARAM>(&search));
    if (search.found == nullptr) {
        return;
    }
    // One box may be seen in several polls before it closes; it is recorded once.
    for (HWND answered : answered_) {
        if (answered == search.found) {
            PostMessageA(search.found, WM_COMMAND, IDOK, 0);
            return;
        }
    }
    answered_.push_back(search.found);
    result_.messageBoxTexts.push_back(MessageBoxText(search.found));
    PostMessageA(search.found, WM_COMMAND, IDOK, 0);
}

EngineRunResult EngineProcess::Wait() {
    if (!result_.started) {
        return result_;
    }
    DWORD start = GetTickCount();
    while (WaitForSingleObject(process_.hProcess, kPollMilliseconds) == WAIT_TIMEOUT) {
        AnswerMessageBoxes();
        if (GetTickCount() - start > kRunTimeLimitMilliseconds) {
            TerminateProcess(process_.hProcess, 99);
            WaitForSingleObject(process_.hProcess, INFINITE);
            break;
        }
    }
    DWORD exitCode = 0;
    GetExitCodeProcess(process_.hProcess, &exitCode);
    result_.finished = GetTickCount() - start <= kRunTimeLimitMilliseconds;
    result_.exitCode = exitCode;
    CloseHandle(process_.hThread);
    CloseHandle(process_.hProcess);
    process_ = PROCESS_INFORMATION();
    return result_;
}

bool EngineProcess::WaitForFile(const std::string& path) {
    DWORD start = GetTickCount();
    while (GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
        if (process_.hProcess == nullptr ||
            WaitForSingleObject(process_.hProcess, kPollMilliseconds) != WAIT_TIMEOUT ||
            GetTickCount() - start > kRunTimeLimitMilliseconds) {
            return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
        }
        AnswerMessageBoxes();
    }
    return true;
}

EngineRunFolder::EngineRunFolder(const std::string& name, bool withoutProgram) {
    std::string runs = ExecutableFolder() + "e2e-runs\\";
    CreateDirectoryA(runs.c_str(), nullptr);
    path_ = runs + name + "\\";
    DeleteTree(path_);
    ready_ = CreateDirectoryA(path_.c_str(), nullptr) != FALSE &&
             CopyFileA((StagingFolder() + "zorqa.exe").c_str(), (path_ + "zorqa.exe").c_str(), FALSE);
    if (!withoutProgram) {
        ready_ =
            ready_ && CopyFileA((StagingFolder() + "prog.dll").c_str(), (path_ + "prog.dll").c_str(), FALSE);
    }
}

void EngineRunFolder::WriteStandardManifest(const std::string& programId, const std::string& title) {
    WriteFile("prog.xml",
              "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\n<root>\n<array id=\"PARAMETERS\">\n"
              "<node id=\"APPLICATION\" program_id=\"" +
                  programId + "\" name=\"" + title +
                  "\" user_dir_name=\"ZorqaEngineTests\" developer=\"Ostrel\" version=\"2.5.0\" "
                  "fps_limit=\"1000\"/>\n</array>\n<array id=\"VARIANTS\">\n"
                  "<node id=\"WINDOWS\" resolutions=\"*\"/>\n</array>\n</root>\n");
    WriteFile("developer.xml",
              "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\n<root>\n<array id=\"PARAMETERS\">\n"
              "<node id=\"DEVELOPER\" developer_mode=\"1\" logging_verbose_level=\"INFO\" "
              "features=\"NO_POPUPS,LOGS_IN_WORKING_DIR,FIXED_LOGNAME\"/>\n</array>\n</root>\n");
}

void EngineRunFolder::WriteFile(const std::string& name, const std::string& text) const {
    std::ofstream file(path_ + name, std::ios::binary);
    file << text;
}

bool EngineRunFolder::CopyStagedFile(const std::string& staged, const std::string& name) const {
    return CopyFileA((StagingFolder() + staged).c_str(), (path_ + name).c_str(), FALSE) != FALSE;
}

std::string EngineRunFolder::ReadFile(const std::string& name) const {
    std::ifstream file(path_ + name, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

bool EngineRunFolder::Exists(const std::string& name) const {
    return GetFileAttributesA((path_ + name).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool EngineRunFolder::RenameExecutable(const std::string& name) {
    if (!MoveFileA((path_ + executable_).c_str(), (path_ + name).c_str())) {
        return false;
    }
    executable_ = name;
    return true;
}

EngineRunResult EngineRunFolder::Run(const std::string& arguments, const std::string& environment) const {
    EngineProcess process;
    if (!process.Start(path_, arguments, environment, executable_)) {
        return EngineRunResult();
    }
    return process.Wait();
}

WineDllOverrides::WineDllOverrides(const std::string& program,
                                   const std::vector<std::pair<std::string, std::string>>& orders)
    : key_("Software\\Wine\\AppDefaults\\" + program + "\\DllOverrides") {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, key_.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS) {
        return;
    }
    for (const auto& entry : orders) {
        RegSetValueExA(key, entry.first.c_str(), 0, REG_SZ,
                       reinterpret_cast<const BYTE*>(entry.second.c_str()),
                       static_cast<DWORD>(entry.second.size() + 1));
    }
    RegCloseKey(key);
}

WineDllOverrides::~WineDllOverrides() {
    RegDeleteKeyA(HKEY_CURRENT_USER, key_.c_str());
}

bool SetFullDeviceLink(const std::string& windowsPath, bool linked) {
    typedef char*(CDECL * UnixFileName)(const WCHAR*);
    UnixFileName unixFileName = reinterpret_cast<UnixFileName>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    const std::wstring wide(windowsPath.begin(), windowsPath.end());
    char* unixPath = unixFileName != nullptr ? unixFileName(wide.c_str()) : nullptr;
    if (unixPath == nullptr) {
        return false;
    }
    // Wine starts a Unix program given by its absolute path; it cannot be waited for, so watch the file.
    const std::string command =
        (linked ? "/bin/ln -sf /dev/full \"" : "/bin/rm -f \"") + std::string(unixPath) + "\"";
    HeapFree(GetProcessHeap(), 0, unixPath);
    if (WinExec(command.c_str(), SW_HIDE) <= 31) {
        return false;
    }
    for (const DWORD start = GetTickCount(); GetTickCount() - start < 10000; Sleep(kPollMilliseconds)) {
        if (std::ifstream(windowsPath).is_open() == linked) {
            return true;
        }
    }
    return false;
}

std::map<std::string, std::string> ReadRunReport(const EngineRunFolder& folder) {
    std::map<std::string, std::string> report;
    std::istringstream lines(folder.ReadFile("run-report.txt"));
    std::string line;
    while (std::getline(lines, line)) {
        size_t equals = line.find('=');
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();  // the program writes its report in text mode
        }
        if (equals != std::string::npos) {
            report[line.substr(0, equals)] = line.substr(equals + 1);
        }
    }
    return report;
}

int ReportNumber(const std::map<std::string, std::string>& report, const std::string& key) {
    auto found = report.find(key);
    return found != report.end() ? atoi(found->second.c_str()) : -1;
}

std::vector<std::string> LogMessages(const std::string& logText) {
    std::vector<std::string> messages;
    std::istringstream lines(logText);
    std::string line;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        // "0001: [08:58.50] [SYSTEM] text", or "0001: [08:58.50] text" at level 0.
        size_t time = line.find(": [");
        size_t afterTime = time != std::string::npos ? line.find("] ", time) : std::string::npos;
        if (afterTime == std::string::npos) {
            continue;  // the banner and its rule
        }
        std::string rest = line.substr(afterTime + 2);
        if (!rest.empty() && rest[0] == '[') {
            size_t levelEnd = rest.find("] ");
            if (levelEnd != std::string::npos) {
                rest = rest.substr(levelEnd + 2);
            }
        }
        messages.push_back(rest);
    }
    return messages;
}

int FindMessage(const std::vector<std::string>& messages, const std::string& text, int from) {
    for (size_t i = static_cast<size_t>(from); i < messages.size(); ++i) {
        if (messages[i].find(text) != std::string::npos) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

bool MessagesInOrder(const std::vector<std::string>& messages, const std::vector<std::string>& texts,
                     std::string* missing) {
    int from = 0;
    for (const std::string& text : texts) {
        int found = FindMessage(messages, text, from);
        if (found < 0) {
            *missing = text;
            return false;
        }
        from = found + 1;
    }
    return true;
}
