// Exclusive holds of native files (see the header).
#if defined(_WIN32)
#include "ExclusiveFileHold.h"

#include <windows.h>

#include <chrono>

ExclusiveFileHold::~ExclusiveFileHold() {
    if (release_.joinable()) {
        release_.join();
    }
}

bool ExclusiveFileHold::Start(const std::string& path, int milliseconds) {
    HANDLE held = release_.joinable() ? INVALID_HANDLE_VALUE
                                      : CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (held == INVALID_HANDLE_VALUE) {
        return false;
    }
    release_ = std::thread([held, milliseconds] {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
        CloseHandle(held);
    });
    return true;
}
#endif
