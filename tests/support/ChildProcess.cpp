// Child processes of the tests.
#include "ChildProcess.h"

#include <chrono>
#include <thread>

#if defined(_WIN32)
#include <windows.h>
#else
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;
#endif

namespace {

std::string TestExecutableFolder() {
    char path[4096] = {};
#if defined(_WIN32)
    DWORD length = GetModuleFileNameA(nullptr, path, sizeof(path));
    std::string full(path, length);
#else
    ssize_t length = readlink("/proc/self/exe", path, sizeof(path) - 1);
    std::string full(path, length > 0 ? static_cast<size_t>(length) : 0);
#endif
    size_t slash = full.find_last_of("/\\");
    return slash == std::string::npos ? std::string() : full.substr(0, slash + 1);
}

}  // namespace

ChildProcess::~ChildProcess() {
    End();
}

#if defined(_WIN32)

bool ChildProcess::Start(const std::string& program, const std::vector<std::string>& arguments) {
    std::string commandLine = "\"" + TestExecutableFolder() + program + ".exe\"";
    for (const std::string& argument : arguments) {
        commandLine += " \"" + argument + "\"";
    }
    SECURITY_ATTRIBUTES inheritable = {sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE nowhere = CreateFileA("NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable,
                                 OPEN_EXISTING, 0, nullptr);
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = nowhere;
    startup.hStdError = nowhere;
    PROCESS_INFORMATION process = {};
    BOOL started = CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                                  &startup, &process);
    CloseHandle(nowhere);
    if (!started) {
        return false;
    }
    CloseHandle(process.hThread);
    process_ = process.hProcess;
    return true;
}

int ChildProcess::Wait(int limitMilliseconds) {
    if (process_ == nullptr) {
        return -1;
    }
    DWORD exitCode = 0;
    if (WaitForSingleObject(process_, static_cast<DWORD>(limitMilliseconds)) != WAIT_OBJECT_0 ||
        !GetExitCodeProcess(process_, &exitCode)) {
        End();
        return -1;
    }
    CloseHandle(process_);
    process_ = nullptr;
    return static_cast<int>(exitCode);
}

void ChildProcess::End() {
    if (process_ != nullptr) {
        TerminateProcess(process_, 99);
        WaitForSingleObject(process_, 5000);
        CloseHandle(process_);
        process_ = nullptr;
    }
}

#else

bool ChildProcess::Start(const std::string& program, const std::vector<std::string>& arguments) {
    std::string path = TestExecutableFolder() + program;
    std::vector<char*> argv;
    argv.push_back(&path[0]);
    std::vector<std::string> copies(arguments);
    for (std::string& argument : copies) {
        argv.push_back(&argument[0]);
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    int failed = posix_spawn(&pid, path.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (failed != 0) {
        return false;
    }
    pid_ = pid;
    return true;
}

int ChildProcess::Wait(int limitMilliseconds) {
    if (pid_ < 0) {
        return -1;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMilliseconds);
    for (;;) {
        int status = 0;
        pid_t ended = waitpid(pid_, &status, WNOHANG);
        if (ended == pid_) {
            pid_ = -1;
            return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        }
        if (ended < 0 || std::chrono::steady_clock::now() >= deadline) {
            End();
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

void ChildProcess::End() {
    if (pid_ >= 0) {
        kill(pid_, SIGKILL);
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = -1;
    }
}

#endif
