// ZQFileSystem::PAKSystem: the read-only archive layer in front of the native file systems. A
// first-level folder of a scheme root ("<root>/sprites") may be shipped as one archive beside it
// ("<root>/sprites.pak"); archives are opened on first use and stay open, with their
// directories in memory, until the system is destroyed. ZQFileSystem::PAKFile is an opened
// entry, reading through a handle of its own on the archive file.
#pragma once

#include <cstdint>
#include <unordered_map>
#include <unordered_set>

#include "filesystem/FileSystem.h"
#include "filesystem/NameKey.h"
#include "filesystem/PAKDirectory.h"

struct NamedMutex;

namespace ZQFileSystem {

class PAKFile : public File {
public:
    File* archive;   // own handle on the archive file; closed by the system's CloseFile
    uint32_t start;  // offset of the entry's data in the archive

    PAKFile(const PAKEntry& entry, SchemeId scheme, File* archive);

    int32_t GetNativeHandle(uint32_t* offset) override;
    uint64_t Tell() override;
    // Reads from the current position up to the end of the entry, never into what follows it.
    uint64_t Read(void* buffer, uint64_t count) override;
    void Seek(int64_t offset, int32_t origin) override;
};

class PAKSystem : public System {
public:
    PAKSystem();
    ~PAKSystem() override;

    // Entries are closed with their archive handle; any other file is refused.
    bool CloseFile(File* file) override;
    bool FileExists(SchemeId scheme, const char* nativePath) override;
    void FindFiles(SchemeId scheme, const char* virtualFolder, const char* nativeFolder,
                   const Array<String>& wildcards, bool recursive, Array<String>& out) override;
    bool GetFileInfo(SchemeId scheme, const char* nativePath, zq_file_info_t* info) override;
    // Read mode only; never for names ending ".pak" or ".obb".
    File* OpenFile(SchemeId scheme, const char* nativePath, FileMode mode) override;

    // "<root>/<first-level folder>.pak" for a path below that folder; empty for a path directly
    // in the root or outside it.
    virtual void GetPAKFileName(String& out, SchemeId scheme, const char* nativePath);

    // True for names ending ".pak" or ".obb": archives themselves, never looked into.
    static bool IsArchiveName(const char* nativePath);

protected:
    struct OpenedPAK {
        File* archive;  // opened for reading, kept open
        PAKDirectory directory;
    };

    // The archive's record, reading it on first use; null when it is missing or unreadable
    // (looked for again next time).
    OpenedPAK* GetPAK(SchemeId scheme, const char* archiveName);
    // Reads the directory and publishes the record (or the one another thread published first).
    OpenedPAK* OpenPAK(File* archive, const char* archiveName);
    const PAKEntry* FindEntry(const char* archiveName, const char* nativePath, OpenedPAK* pak);
    // The path relative to the archive's folder, with A-Z lowered.
    void MakeEntryName(const char* archiveName, String& path);
    // The entry a native path names inside its archive, or null.
    const PAKEntry* FindEntryOfPath(SchemeId scheme, const char* nativePath);
    // Closes every archive through CloseFile and forgets the records. The native systems call it
    // from their destructors, where CloseFile is still theirs.
    void CloseArchives();

private:
    NamedMutex* openLock_;  // "PAKSystemOpenPAK"
    std::unordered_map<String, OpenedPAK*, ZQI_NameKeyHash, ZQI_NameKeyEqual> archives_;
    // Archives already reported as unreadable: they are read again on every lookup, but a folder
    // with many files would otherwise repeat the same error for each of them.
    std::unordered_set<String, ZQI_NameKeyHash, ZQI_NameKeyEqual> reportedUnreadable_;

    OpenedPAK* LookUpArchive(const String& archiveName);
    // The first time for each archive: logs that it cannot be read.
    void ReportUnreadable(const char* archiveName);
};

}  // namespace ZQFileSystem
