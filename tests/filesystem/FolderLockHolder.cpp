// Another process holding a folder's lock (see the header).
#include "FolderLockHolder.h"

#include <chrono>
#include <cstdio>
#include <thread>

#include "FileSystemTestSupport.h"

bool FolderLockHolder::Start(const std::string& folder, int holdMilliseconds, const std::string& marker) {
    std::remove(marker.c_str());
    if (!child_.Start("folder_lock_child", {folder, std::to_string(holdMilliseconds), marker})) {
        return false;
    }
    for (int waited = 0; waited < 30000; ++waited) {
        if (NativeFileExists(marker)) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
}
