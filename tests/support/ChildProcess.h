// Another program of the test build run as a process of its own (posix_spawn on the host,
// CreateProcess under Windows), for tests of what several engine instances do at once.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class ChildProcess {
public:
    ~ChildProcess() { End(); }  // a child still running is ended

    // Starts the program (a file name in the test executable's folder, without ".exe") with the
    // arguments; its output goes nowhere. False when it could not start.
    bool Start(const std::string& program, const std::vector<std::string>& arguments);
    // The exit code, or -1 when it did not start or end within the limit (it is ended then).
    int Wait(int limitMilliseconds);

private:
    void End();
    intptr_t child_ = -1;  // the process handle, or the process id on the host
};
