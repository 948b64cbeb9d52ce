// ZQFileSystem::HTTPSystem: the http:// scheme. A URL is downloaded once with a GET and kept as a
// file in cache://, written under a temporary name and renamed only once complete; later
// openings read that copy. Files it hands out belong to the native system that holds cache://,
// and are closed through it. Also the one way downloads are stored as cache files
// (ZQI_StoreDownloadedFile), which the http:// images use too.
#pragma once

#include "filesystem/FileSystem.h"

namespace ZQFileSystem {

class HTTPSystem : public System {
public:
    // cacheSystem serves cache:// and is not owned.
    explicit HTTPSystem(System* cacheSystem);

    // Refused: the files are cache files of the native system.
    bool CloseFile(File* file) override;
    // Opens (downloading when needed) and closes again.
    bool FileExists(SchemeId scheme, const char* url) override;
    // Never, and without asking the network: nothing is written to a URL.
    bool CanWriteFile(SchemeId scheme, const char* url) override;
    void FindFiles(SchemeId scheme, const char* virtualFolder, const char* nativeFolder,
                   const Array<String>& wildcards, bool recursive, Array<String>& out) override;
    bool GetFileInfo(SchemeId scheme, const char* url, zq_file_info_t* info) override;
    // Read mode only: the cached copy, or a fresh download stored as one.
    File* OpenFile(SchemeId scheme, const char* url, FileMode mode) override;

    // The cache file's name for a URL: every byte other than A-Z, a-z, 0-9, "-", "." and "_"
    // becomes "_".
    static String MakeCacheName(const char* url);

private:
    System* cache_;

    File* Download(const char* url, const String& cacheFile);
    // The cache file for reading; while it is there but cannot be opened (another instance is
    // replacing it), tried again for up to half a second.
    File* OpenCacheFile(const String& cacheFile);
};

}  // namespace ZQFileSystem

// Stores downloaded bytes as the file nativePath of system (under scheme). They are written
// whole to a temporary file beside it, "~.download-<process id>-<number>" in its folder (unique
// among every thread of every running process, its length whatever the file's name), flushed and
// committed to disk, which then takes the file's name in one step.
// So the file only ever appears complete: a store that fails or is cut off (a full disk, a
// killed process) never leaves a cut file under that name for later readers to take as whole,
// and stores of the same download by several threads or processes never write into one file.
// A failed store removes its temporary and leaves an earlier file as it was. When the file
// cannot be replaced because a reader has it open (Windows), a file already there counts: only
// whole stores ever give it that name. False (logged) when the bytes could not be stored.
bool ZQI_StoreDownloadedFile(ZQFileSystem::System* system, SchemeId scheme, const char* nativePath,
                             const void* data, uint64_t size);
// The same for a virtual path ("cache://name"), through the system that serves its scheme.
// False as well for a path that is not valid or whose scheme has no system.
bool ZQI_StoreDownloadedPath(const char* path, const void* data, uint64_t size);
