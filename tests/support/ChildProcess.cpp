// Child processes of the tests.
#include "ChildProcess.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

extern char** environ;
#endif

namespace {

std::string TestExecutableFolder() {
    char path[4096] = {};
#if defined(_WIN32)
    const std::string full(path, GetModuleFileNameA(nullptr, path, sizeof(path)));
#else
    const ssize_t length = readlink("/proc/self/exe", path, sizeof(path) - 1);
    const std::string full(path, length > 0 ? static_cast<size_t>(length) : 0);
#endif
    return full.substr(0, full.find_last_of("/\\") + 1);
}

}  // namespace

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
    startup.hStdOutput = startup.hStdError = nowhere;
    PROCESS_INFORMATION process = {};
    const BOOL started = CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                                        &startup, &process);
    CloseHandle(nowhere);
    if (!started) {
        return false;
    }
    CloseHandle(process.hThread);
    child_ = reinterpret_cast<intptr_t>(process.hProcess);
    return true;
}

int ChildProcess::Wait(int limitMilliseconds) {
    DWORD exitCode = 0;
    const bool ended = child_ != -1 &&
                       WaitForSingleObject(reinterpret_cast<HANDLE>(child_),
                                           static_cast<DWORD>(limitMilliseconds)) == WAIT_OBJECT_0 &&
                       GetExitCodeProcess(reinterpret_cast<HANDLE>(child_), &exitCode);
    End();  // for a child that ended, only lets its handle go
    return ended ? static_cast<int>(exitCode) : -1;
}

void ChildProcess::End() {
    if (child_ != -1) {
        TerminateProcess(reinterpret_cast<HANDLE>(child_), 99);
        WaitForSingleObject(reinterpret_cast<HANDLE>(child_), 5000);
        CloseHandle(reinterpret_cast<HANDLE>(child_));
        child_ = -1;
    }
}

#else

bool ChildProcess::Start(const std::string& program, const std::vector<std::string>& arguments) {
    std::string path = TestExecutableFolder() + program;
    std::vector<std::string> copies(arguments);
    std::vector<char*> argv{&path[0]};
    for (std::string& argument : copies) {
        argv.push_back(&argument[0]);
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    pid_t pid = -1;
    const bool started = posix_spawn(&pid, path.c_str(), &actions, nullptr, argv.data(), environ) == 0;
    posix_spawn_file_actions_destroy(&actions);
    child_ = started ? pid : -1;
    return started;
}

int ChildProcess::Wait(int limitMilliseconds) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMilliseconds);
    while (child_ != -1 && std::chrono::steady_clock::now() < deadline) {
        int status = 0;
        const pid_t ended = waitpid(static_cast<pid_t>(child_), &status, WNOHANG);
        if (ended != 0) {
            child_ = -1;
            return ended > 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    End();
    return -1;
}

void ChildProcess::End() {
    if (child_ != -1) {
        kill(static_cast<pid_t>(child_), SIGKILL);
        waitpid(static_cast<pid_t>(child_), nullptr, 0);
        child_ = -1;
    }
}

#endif
