// Exclusive holds of native files (Windows only).
#include "ExclusiveFileHold.h"

#include <chrono>

#if defined(_WIN32)
#include <windows.h>
#endif

ExclusiveFileHold::~ExclusiveFileHold() {
    if (release_.joinable()) {
        release_.join();
    }
}

bool ExclusiveFileHold::Start(const std::string& path, int milliseconds) {
#if defined(_WIN32)
    if (release_.joinable()) {
        return false;
    }
    HANDLE held =
        CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (held == INVALID_HANDLE_VALUE) {
        return false;
    }
    release_ = std::thread([held, milliseconds] {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
        CloseHandle(held);
    });
    return true;
#else
    (void)path;
    (void)milliseconds;
    return false;
#endif
}
