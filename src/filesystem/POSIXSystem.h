// ZQFileSystem::POSIXSystem: native files through the C runtime's streams, with the PAK layer in
// front for every scheme except logs, save and user. ZQFileSystem::POSIXFile is one open stream.
#pragma once

#include <cstdio>

#include "filesystem/PAKSystem.h"

namespace ZQFileSystem {

class POSIXFile : public File {
public:
    FILE* stream;
    uint8_t rewriting;    // opened with FILE_MODE_REWRITE over an existing file
    uint8_t uncommitted;  // made, written or cut since a flush last committed it to disk

    POSIXFile(uint64_t size, SchemeId scheme, bool writable, FILE* stream);

    // Flushes the stream and commits to disk what was changed since the last commit, once.
    bool Flush() override;
    // The stream position; 0 when the runtime reports a negative one.
    uint64_t Tell() override;
    uint64_t Read(void* buffer, uint64_t count) override;
    void Seek(int64_t offset, int32_t origin) override;
    uint64_t Write(const void* buffer, uint64_t count) override;
    bool EndRewrite() override;
};

class POSIXSystem : public PAKSystem {
public:
    // With commit set, a writable file is flushed (and so committed to disk) before it closes.
    // Closing reports a failed flush or close, so a write the disk did not take is never
    // mistaken for a saved file.
    explicit POSIXSystem(bool commit);
    // Closes every archive file this system opened.
    ~POSIXSystem() override;

    bool CloseFile(File* file) override;
    bool FileExists(SchemeId scheme, const char* nativePath) override;
    // Lists archive entries only; the native listing is WindowsPOSIXSystem's.
    void FindFiles(SchemeId scheme, const char* virtualFolder, const char* nativeFolder,
                   const Array<String>& wildcards, bool recursive, Array<String>& out) override;
    // stat of the native file; archives are not consulted.
    bool GetFileInfo(SchemeId scheme, const char* nativePath, zq_file_info_t* info) override;
    File* OpenFile(SchemeId scheme, const char* nativePath, FileMode mode) override;

    // False for logs, save and user, whose files never lie in archives.
    static bool SchemeUsesArchives(SchemeId scheme);

protected:
    uint8_t commit_;

    // The PAK layer's answer for a path it may serve.
    bool ExistsInArchive(SchemeId scheme, const char* nativePath);
    // stat says the native path is a regular file.
    static bool IsNativeRegularFile(const char* nativePath);
};

}  // namespace ZQFileSystem
