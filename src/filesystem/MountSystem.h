// ZQFileSystem::MountSystem: the save:// scheme. It must be mounted before use. Files opened for
// reading come straight from disk through the inner native system; files opened for writing or
// appending are buffered in memory and reach the disk only when the system is unmounted: each is
// written beside its file ("<file>~.saving"), flushed, committed and closed, and then moved over
// it, so the old save is read (and kept) until the new one is whole on disk. Where the old file
// cannot be replaced (held open elsewhere), the whole new save is first renamed "<file>~.saved",
// which marks it whole: from then on it is the file's save. It is then written in place of the
// old file, without ever cutting it, and removed; where that fails it stays, and every later read
// finds it instead of the file until a mount can put it in the file's place. A "~.saving" file is
// never read: nothing tells a whole one from what a crash or a full disk left.
// Instances of the game may share the save folder: each change to the files of a save folder (a
// save's commit, a mount putting kept saves in place, the probe of a new save, a deletion) and
// each look at them (a read's opening, the copy an append starts from) is made while holding that
// folder's lock, which the instances share (NativePlatform.h), so their steps never interleave.
#pragma once

#include <cstdint>
#include <vector>

#include "filesystem/FileSystem.h"
#include "filesystem/FolderLock.h"
#include "filesystem/MemoryFile.h"

namespace ZQFileSystem {

class MountSystem : public System {
public:
    // Takes ownership of the inner system (a native system with the commit flag set). lockWait:
    // how long each change to a save folder waits for its lock.
    explicit MountSystem(System* inner, uint32_t lockWait = ZQI_SAVE_FOLDER_WAIT_MILLISECONDS);
    // Buffered files that were never unmounted are not written.
    ~MountSystem() override;

    bool CloseFile(File* file) override;
    bool CreateDirectory(SchemeId scheme, const char* nativePath) override;
    bool CreateRootDirectory(SchemeId scheme) override;
    bool DeleteDirectory(SchemeId scheme, const char* nativePath) override;
    // Deletes the file on disk, with a newer save kept beside it, and drops its closed buffers, so
    // unmounting does not bring it back.
    bool DeleteFile(SchemeId scheme, const char* nativePath) override;
    // Moves a file written during this mount over another path of it: its buffer takes that path,
    // dropping the closed buffers there, and unmounting stores it whole as that path's save. A file
    // still open there, a file on disk alone and an exchange are refused.
    bool ReplaceFile(SchemeId scheme, const char* nativeSource, const char* nativeTarget, bool exchange) override;
    // The file, or a newer save kept beside it.
    bool FileExists(SchemeId scheme, const char* nativePath) override;
    void FindFiles(SchemeId scheme, const char* virtualFolder, const char* nativeFolder,
                   const Array<String>& wildcards, bool recursive, Array<String>& out) override;
    // A save on disk, or one written during this mount (open or closed) and not yet stored, is left
    // as it is; otherwise whether a save of the path could be written (its folder takes files). No
    // buffer is made.
    bool CanWriteFile(SchemeId scheme, const char* nativePath) override;
    // Of the save that reads find.
    bool GetFileInfo(SchemeId scheme, const char* nativePath, zq_file_info_t* info) override;
    // Only storage 0. Puts each newer save kept beside its file in the file's place where it now
    // can, and logs the temporaries that earlier unmounts left unfinished; a folder whose lock
    // another instance keeps for the whole wait is left as it is.
    bool Mount(uint32_t storage) override;
    // Reading (and appending) starts from the file's latest save: a newer save kept beside the
    // file where there is one. Writing or appending to a path already written during this mount
    // continues its buffer. A new writing or appending is refused (null, logged) when its
    // folder's lock cannot be taken.
    File* OpenFile(SchemeId scheme, const char* nativePath, FileMode mode) override;
    // Writes every buffered file to disk and forgets it, then unmounts. A save whose folder's lock
    // cannot be taken answers failure (logged) and keeps its previous save; after one wait has
    // run out, the other saves of this unmount no longer wait.
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
    uint32_t lockWait_;
    uint8_t mounted_;

    File* OpenBuffered(SchemeId scheme, const char* nativePath, FileMode mode);
    // The latest buffered, closed file of the path, or null.
    Buffered* FindClosedBuffer(const char* nativePath);
    enum WriteResult { WRITE_WHOLE, WRITE_NOT_OPENED, WRITE_FAILED };

    // The file's latest save opened for reading: the newer save kept beside it, or the file.
    File* OpenLatest(SchemeId scheme, const char* nativePath);
    // Moves each save kept beside its file into the file's place where it can now.
    void SettleLeftSaves();
    // Whether the save's companion file can be made (one made here is removed again; one left
    // there by an earlier run stays).
    bool CanWriteBeside(SchemeId scheme, const char* nativePath);
    // The buffer's bytes as the whole file at the native path, flushed, committed and closed.
    WriteResult WriteWhole(MemoryFile* file, const char* nativePath);
    // Stores the buffer as the file's save under its folder's lock, waiting at most wait ms for it
    // (set to 0 when that ran out). True when the new save is the one later reads find; false (and
    // logged) when the file keeps its previous save.
    bool Commit(MemoryFile* file, const String& nativePath, uint32_t& wait);
    // After the whole new save was marked whole in saved: moves it over the file, or writes the
    // file in place, or leaves it where it is.
    void PutInPlace(MemoryFile* file, const String& nativePath, const String& saved);
    // The buffer's bytes written over the existing file without cutting it first: grown to the
    // new length with the new bytes and committed before anything of the old save is written
    // over, and cut back to the old length when that fails.
    WriteResult RewriteInPlace(MemoryFile* file, const char* nativePath);
    // Cuts the file back to its old length after a failed growth.
    void CutBack(SchemeId scheme, const char* nativePath, uint64_t length);
};

}  // namespace ZQFileSystem
