// ZQFileSystem::MountSystem: the save:// scheme. It must be mounted before use. Files opened for
// reading come straight from disk through the inner native system; files opened for writing or
// appending are buffered in memory and reach the disk only when the system is unmounted: each is
// written beside its file ("<file>~.saving"), flushed and committed, and then moved over it, so
// the old save is read (and kept) until the new one is whole on disk. Where the old file cannot
// be replaced (held open elsewhere) it is written in place; where even that fails the new save
// stays beside it, and mounting keeps and reports every save so left.
#pragma once

#include <cstdint>
#include <vector>

#include "filesystem/FileSystem.h"
#include "filesystem/MemoryFile.h"

namespace ZQFileSystem {

class MountSystem : public System {
public:
    // Takes ownership of the inner system (a native system with the commit flag set).
    explicit MountSystem(System* inner);
    // Buffered files that were never unmounted are not written.
    ~MountSystem() override;

    bool CloseFile(File* file) override;
    bool CreateDirectory(SchemeId scheme, const char* nativePath) override;
    bool CreateRootDirectory(SchemeId scheme) override;
    bool DeleteDirectory(SchemeId scheme, const char* nativePath) override;
    // Deletes the file on disk and drops its closed buffers, so unmounting does not bring it back.
    bool DeleteFile(SchemeId scheme, const char* nativePath) override;
    bool FileExists(SchemeId scheme, const char* nativePath) override;
    void FindFiles(SchemeId scheme, const char* virtualFolder, const char* nativeFolder,
                   const Array<String>& wildcards, bool recursive, Array<String>& out) override;
    bool GetFileInfo(SchemeId scheme, const char* nativePath, zq_file_info_t* info) override;
    // Only storage 0. Logs the saves that earlier unmounts left beside their files.
    bool Mount(uint32_t storage) override;
    // Writing or appending to a path already written during this mount continues its buffer.
    File* OpenFile(SchemeId scheme, const char* nativePath, FileMode mode) override;
    // Writes every buffered file to disk and forgets it, then unmounts.
    void Unmount() override;

    bool IsMounted() const { return mounted_ != 0; }
    uint32_t GetReadCount() const { return readCount_; }

private:
    struct Buffered {
        MemoryFile* file;
        String nativePath;
        bool open;
    };

    System* inner_;
    // In opening order, which is the order unmounting writes them in: when one save file was
    // opened for writing more than once, the file opened last must be the one left on disk.
    std::vector<Buffered> buffered_;
    // Buffered files still held open by a handle when the system was unmounted: their contents
    // went to disk, and the objects live until that handle is closed.
    Array<MemoryFile*> detached_;
    uint32_t readCount_;
    uint8_t mounted_;

    File* OpenBuffered(SchemeId scheme, const char* nativePath, FileMode mode);
    // The latest buffered, closed file of the path, or null.
    Buffered* FindClosedBuffer(const char* nativePath);
    enum WriteResult { WRITE_WHOLE, WRITE_NOT_OPENED, WRITE_FAILED };

    // Whether the save's companion file can be made (one made here is removed again; one left
    // there by an earlier run stays).
    bool CanWriteBeside(SchemeId scheme, const char* nativePath);
    // The buffer's bytes as the whole file at the native path, flushed, committed and closed.
    WriteResult WriteWhole(MemoryFile* file, const char* nativePath);
    void Commit(MemoryFile* file, const String& nativePath);
    // After the whole new save in saving could not be moved over the file at nativePath.
    void WriteInPlace(MemoryFile* file, const String& nativePath, const String& saving);
};

}  // namespace ZQFileSystem
