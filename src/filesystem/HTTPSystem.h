// ZQFileSystem::HTTPSystem: the http:// scheme. A URL is downloaded once with a GET and kept as a
// file in cache://, written under a temporary name and renamed only once complete; later
// openings read that copy. Files it hands out belong to the native
// system that holds cache://, and are closed through it.
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
    bool StoreInCache(const zq_buffer_t* body, const String& cacheFile);
};

}  // namespace ZQFileSystem
