// ZQFileSystem::WindowsPOSIXSystem: the native file system the engine uses for res, cache, docs,
// logs, project, user and ugc (and, with the commit flag, under the save system). Adds folders,
// deletion and the native listing to POSIXSystem; the platform calls behind them are thin
// (NativePlatform.h).
#pragma once

#include "filesystem/POSIXSystem.h"

namespace ZQFileSystem {

class WindowsPOSIXSystem : public POSIXSystem {
public:
    explicit WindowsPOSIXSystem(bool commit);

    // Makes each folder below the scheme's root that the path names (the root itself is not
    // made here).
    bool CreateDirectory(SchemeId scheme, const char* nativePath) override;
    // Makes the scheme's root folder; an existing one counts as made.
    bool CreateRootDirectory(SchemeId scheme) override;
    bool DeleteDirectory(SchemeId scheme, const char* nativePath) override;
    bool DeleteFile(SchemeId scheme, const char* nativePath) override;
    bool ReplaceFile(SchemeId scheme, const char* nativeSource, const char* nativeTarget, bool exchange) override;
    bool MoveToFreePath(SchemeId scheme, const char* nativeSource, const char* nativeTarget) override;
    // Archives first, then stat, then (Windows) the file attributes.
    bool FileExists(SchemeId scheme, const char* nativePath) override;
    // Archive entries, then the native folder.
    void FindFiles(SchemeId scheme, const char* virtualFolder, const char* nativeFolder,
                   const Array<String>& wildcards, bool recursive, Array<String>& out) override;
};

}  // namespace ZQFileSystem
