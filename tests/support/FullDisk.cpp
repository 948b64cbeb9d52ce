// The full-disk file system of the tests.
#include "FullDisk.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "filesystem/FileSystemTable.h"

namespace EngineTest {

const char* FullDevicePath() {
#if defined(_WIN32)
    return "Z:/dev/full";
#else
    return "/dev/full";
#endif
}

FullDiskSystem::FullDiskSystem(bool commit, const std::string& marker)
    : ZQFileSystem::WindowsPOSIXSystem(commit), marker_(marker) {}

ZQFileSystem::File* FullDiskSystem::OpenFile(SchemeId scheme, const char* nativePath,
                                             ZQFileSystem::FileMode mode) {
    if (mode == ZQFileSystem::FILE_MODE_READ || nativePath == nullptr ||
        std::string(nativePath).find(marker_) == std::string::npos) {
        return WindowsPOSIXSystem::OpenFile(scheme, nativePath, mode);
    }
    // The file is made (and emptied) on disk as a real opening would make it.
    ZQFileSystem::File* onDisk = WindowsPOSIXSystem::OpenFile(scheme, nativePath, mode);
    if (onDisk == nullptr) {
        return nullptr;
    }
    WindowsPOSIXSystem::CloseFile(onDisk);
    FILE* stream = fopen(FullDevicePath(), "wb");
    if (stream == nullptr) {
        ADD_FAILURE() << "the full device " << FullDevicePath() << " cannot be opened";
        return nullptr;
    }
    ++failedOpenings;
    return new ZQFileSystem::POSIXFile(0, scheme, true, stream);
}

ScopedFullDisk::ScopedFullDisk(SchemeId scheme, const std::string& marker)
    : scheme_(scheme), saved_(ZQI_GetFileSystem(scheme)), full_(new FullDiskSystem(false, marker)) {
    ZQI_SetFileSystem(scheme, full_);
}

ScopedFullDisk::~ScopedFullDisk() {
    ZQI_SetFileSystem(scheme_, saved_);
    delete full_;
}

}  // namespace EngineTest
