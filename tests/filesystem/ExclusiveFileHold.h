// A native file held open with no sharing for a while: what Windows (and Wine) does to a file
// that another process is replacing with a rename, when nobody else can open it for a moment.
// Only Windows has such holds; elsewhere Start is false.
#pragma once

#include <string>
#include <thread>

class ExclusiveFileHold {
public:
    ExclusiveFileHold() = default;
    ~ExclusiveFileHold();  // waits until the hold has ended
    ExclusiveFileHold(const ExclusiveFileHold&) = delete;
    ExclusiveFileHold& operator=(const ExclusiveFileHold&) = delete;

    // Holds the file from now on for the given time (a thread of its own lets it go). False when
    // it could not be held.
    bool Start(const std::string& path, int milliseconds);

private:
    std::thread release_;
};
