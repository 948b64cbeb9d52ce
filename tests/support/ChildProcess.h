// Starting another program of the test build as a process of its own and waiting for it, in
// both builds (posix_spawn on the host, CreateProcess under Windows), for tests of what several
// engine instances do at once.
#pragma once

#include <string>
#include <vector>

class ChildProcess {
public:
    ChildProcess() = default;
    ~ChildProcess();  // a child still running is ended
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Starts the program (a file name in the test executable's folder, without ".exe") with the
    // arguments; its output goes nowhere. False when it could not start.
    bool Start(const std::string& program, const std::vector<std::string>& arguments);
    // Waits up to the time limit; the exit code, or -1 when it did not start or end in time
    // (it is ended then).
    int Wait(int limitMilliseconds);

private:
    void End();
#if defined(_WIN32)
    void* process_ = nullptr;
#else
    int pid_ = -1;
#endif
};
