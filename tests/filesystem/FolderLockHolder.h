// Another process holding a folder's lock, as another instance of the game does while it changes
// the files of its save folder (the program folder_lock_child).
#pragma once

#include <string>

#include "ChildProcess.h"

class FolderLockHolder {
public:
    // Started, and seen holding the lock (the marker file made), which it lets go holdMilliseconds
    // after taking it. False when it was not seen holding it within 30 s.
    bool Start(const std::string& folder, int holdMilliseconds, const std::string& marker);
    // Its exit code; -1 when it was still running at the limit, and was killed then.
    int Wait(int limitMilliseconds) { return child_.Wait(limitMilliseconds); }

private:
    ChildProcess child_;
};
