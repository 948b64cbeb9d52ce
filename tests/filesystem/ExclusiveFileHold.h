// Native files held open by someone else, as another program or engine instance holds them
// (Windows only; <windows.h> stays out of the tests, whose engine classes it would rename).
#pragma once

#if defined(_WIN32)
#include <string>
#include <thread>

// Opens the existing file for reading sharing reading, and writing too if asked, never deletion:
// Windows then moves no file over it. Null if it cannot be opened.
void* HoldOpenFile(const std::string& path, bool shareWriting);
void ReleaseHeldFile(void* held);  // null is nothing to release

// Holds the file with no sharing for a while, as Windows does to a file another process is
// replacing; a thread of its own lets go, and the destructor waits for that.
class ExclusiveFileHold {
public:
    ~ExclusiveFileHold() {
        if (release_.joinable()) {
            release_.join();
        }
    }
    bool Start(const std::string& path, int milliseconds);  // false if it could not be held

private:
    std::thread release_;
};
#endif
