// Another process holding a folder's lock for the folder-lock tests: takes the lock, then writes
// the marker file and holds the lock for the given time (or until it is killed), and lets go.
// Arguments: folder, milliseconds to hold, marker file. Exit code 0 when it held the lock.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "filesystem/NativePlatform.h"

int main(int argc, char** argv) {
    if (argc != 4) {
        return 2;
    }
    intptr_t lock = 0;
    if (ZQI_NativeLockFolder(argv[1], 10000, &lock) != NATIVE_LOCK_TAKEN) {
        return 1;
    }
    FILE* marker = fopen(argv[3], "wb");
    if (marker == nullptr || fclose(marker) != 0) {
        return 2;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(atoi(argv[2])));
    ZQI_NativeUnlockFolder(lock);
    return 0;
}
