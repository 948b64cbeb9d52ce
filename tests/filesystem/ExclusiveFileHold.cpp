// Native files held open by someone else (see the header).
#if defined(_WIN32)
#include "ExclusiveFileHold.h"

#include <windows.h>

#include <chrono>

namespace {

void* OpenForReading(const std::string& path, DWORD sharing) {
    HANDLE held = CreateFileA(path.c_str(), GENERIC_READ, sharing, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    return held != INVALID_HANDLE_VALUE ? held : nullptr;
}

}  // namespace

void* HoldOpenFile(const std::string& path, bool shareWriting) {
    return OpenForReading(path, FILE_SHARE_READ | (shareWriting ? FILE_SHARE_WRITE : 0));
}

void ReleaseHeldFile(void* held) {
    if (held != nullptr) {
        CloseHandle(held);
    }
}

bool ExclusiveFileHold::Start(const std::string& path, int milliseconds) {
    void* held = release_.joinable() ? nullptr : OpenForReading(path, 0);
    if (held != nullptr) {
        release_ = std::thread([held, milliseconds] {
            std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
            CloseHandle(held);
        });
    }
    return held != nullptr;
}
#endif
