// A native file held open with no sharing for a while, as Windows (and Wine) holds a file another
// process is replacing: nobody else can open it for a moment. Windows only.
#pragma once

#if defined(_WIN32)
#include <string>
#include <thread>

class ExclusiveFileHold {
public:
    ~ExclusiveFileHold();  // waits until the hold has ended
    // Holds the file from now on for that long (a thread of its own lets it go); false when it
    // could not be held.
    bool Start(const std::string& path, int milliseconds);

private:
    std::thread release_;
};
#endif
