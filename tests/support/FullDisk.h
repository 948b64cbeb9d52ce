// A disk that is full: a native file system whose chosen files are made on disk as usual when
// opened for writing, but whose data goes to the system's full device, which takes writes into
// the C runtime's buffer and fails them when the buffer is flushed, as a real full disk does.
#pragma once

#include <string>

#include "filesystem/WindowsPOSIXSystem.h"

namespace EngineTest {

// The always-full device: "/dev/full" on the host, the same device through Wine's drive for the
// Unix root in the Windows build.
const char* FullDevicePath();

class FullDiskSystem : public ZQFileSystem::WindowsPOSIXSystem {
public:
    // Files opened for writing or appending whose native path contains marker are the ones on
    // the full disk; every other file behaves as on the native system.
    FullDiskSystem(bool commit, const std::string& marker);

    ZQFileSystem::File* OpenFile(SchemeId scheme, const char* nativePath,
                                 ZQFileSystem::FileMode mode) override;

    int failedOpenings = 0;  // openings sent to the full device

private:
    std::string marker_;
};

// Puts a full-disk system in a scheme's slot of the file-system table for as long as it lives,
// then puts the system that was there back.
class ScopedFullDisk {
public:
    ScopedFullDisk(SchemeId scheme, const std::string& marker);
    ~ScopedFullDisk();
    ScopedFullDisk(const ScopedFullDisk&) = delete;
    ScopedFullDisk& operator=(const ScopedFullDisk&) = delete;

    FullDiskSystem& System() { return *full_; }

private:
    SchemeId scheme_;
    ZQFileSystem::System* saved_;
    FullDiskSystem* full_;
};

}  // namespace EngineTest
