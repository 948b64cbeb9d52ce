// The held-open file of the save tests: a CreateFile handle without delete sharing. Kept apart
// from the tests themselves, since <windows.h> renames CreateDirectory and DeleteFile, which
// the engine's file-system classes declare.
#if defined(_WIN32)
#include <windows.h>

#include "HeldOpenFile.h"

HeldOpenFile::HeldOpenFile(const std::string& path, Sharing sharing)
    : handle_(CreateFileA(path.c_str(), GENERIC_READ,
                          sharing == SHARE_READING ? FILE_SHARE_READ : FILE_SHARE_READ | FILE_SHARE_WRITE,
                          nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)) {}

HeldOpenFile::~HeldOpenFile() {
    Release();
}

bool HeldOpenFile::IsOpen() const {
    return handle_ != INVALID_HANDLE_VALUE;
}

void HeldOpenFile::Release() {
    if (handle_ != INVALID_HANDLE_VALUE) {
        CloseHandle(handle_);
        handle_ = INVALID_HANDLE_VALUE;
    }
}
#endif
