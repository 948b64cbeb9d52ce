// ZQFileSystem::MountSystem: forwarding to the inner native system while mounted, and the
// buffered save files that unmounting commits to disk.
#include "filesystem/MountSystem.h"

#include <cstddef>
#include <cstring>
#include <new>

#include "filesystem/EngineTemporaries.h"
#include "filesystem/FolderLock.h"
#include "filesystem/FileSystemServices.h"
#include "filesystem/NativeListing.h"
#include "filesystem/NativePlatform.h"
#include "filesystem/SchemeRoots.h"

namespace ZQFileSystem {

namespace {

// The file's name with the suffix added, for a file beside it. Windows drops the dots and spaces
// that end a file name ("slot.dat." is "slot.dat"), so they are dropped here as well: a save made
// through one spelling of the file is then found through every other.
String BesidePath(const char* nativePath, const char* suffix) {
    const size_t whole = strlen(nativePath);
    size_t length = whole;
#if defined(_WIN32)
    while (length > 0 && (nativePath[length - 1] == '.' || nativePath[length - 1] == ' ')) {
        --length;
    }
    if (length == 0 || nativePath[length - 1] == '/' || nativePath[length - 1] == '\\') {
        length = whole;  // a name of dots and spaces only is no file's name: kept as it is
    }
#endif
    return String::FromFormat("%.*s%s", static_cast<int>(length), nativePath, suffix);
}

// A save is written beside its file under this added suffix and then moved over it, so the old
// save stays whole until the new one is completely on disk.
String SavingPath(const char* nativePath) {
    return BesidePath(nativePath, ZQI_SAVING_SUFFIX);
}

// A whole, committed save that could not take its file's place at once is kept under this name:
// reads find it instead of the file until it can.
String SavedPath(const char* nativePath) {
    return BesidePath(nativePath, ZQI_SAVED_SUFFIX);
}

}  // namespace

MountSystem::MountSystem(System* inner, uint32_t lockWait)
    : inner_(inner), readCount_(0), lockWait_(lockWait), mounted_(0) {
    mountable = 1;
}

MountSystem::~MountSystem() {
    for (Buffered& item : buffered_) {
        delete item.file;
    }
    buffered_.clear();
    detached_.DeleteAll();
    delete inner_;
}

bool MountSystem::Mount(uint32_t storage) {
    if (storage != 0) {
        return false;
    }
    mounted_ = 1;
    SettleLeftSaves();
    return true;
}

// A save kept beside its file is whole and newer than the file: it goes into the file's place
// as soon as nothing holds the file any more. A save being written when the run ended (a crash,
// a full disk) is never read: nothing tells a whole one from a cut one. It stays as it is, for
// the player or support to look at, until a whole new save of its file replaces it. (An older
// version of the engine also left whole saves so, and said so in its log.) Each is looked at again
// under its folder's lock: another instance may have put it in place or replaced it since the
// listing, and a temporary it is writing at the moment is no left one.
void MountSystem::SettleLeftSaves() {
    const String& root = ZQI_GetSchemeRoot(SCHEME_SAVE);
    if (root.IsEmpty()) {
        return;
    }
    Array<String> left;
    ZQI_ListNativeTemporaries(String::FromFormat("%s/", root.CStr()).CStr(), left);
    uint32_t wait = lockWait_;
    for (const String& path : left) {
        FolderLock lock;
        String why;
        const ZQI_NativeLockResult taken = lock.Take(ZQI_FolderOfNativePath(path.CStr()), wait, why);
        if (taken == NATIVE_LOCK_BUSY || taken == NATIVE_LOCK_FAILED) {
            if (taken == NATIVE_LOCK_BUSY) {
                wait = 0;  // a holder that hangs costs one wait per mount, not one per file
            }
            ZQI_FileSystemLog(1, "MountSystem::Mount: '%s' is left as it is for now, since %s.", path.CStr(),
                              why.CStr());
            continue;
        }
        if (taken != NATIVE_LOCK_TAKEN || !inner_->FileExists(SCHEME_SAVE, path.CStr())) {
            continue;
        }
        if (ZQI_IsSavedName(path.CStr())) {
            const String file =
                path.Substring(0, path.Length() - static_cast<int32_t>(sizeof(ZQI_SAVED_SUFFIX) - 1));
            if (inner_->ReplaceFile(SCHEME_SAVE, path.CStr(), file.CStr(), false)) {
                ZQI_FileSystemLog(0, "MountSystem::Mount: the save kept in '%s' now takes the place of '%s'.",
                                  path.CStr(), file.CStr());
            } else {
                ZQI_FileSystemLog(
                    1,
                    "MountSystem::Mount: '%s' cannot be replaced yet; its latest save, in '%s', "
                    "is read in its place.",
                    file.CStr(), path.CStr());
            }
        } else if (ZQI_IsSavingName(path.CStr())) {
            ZQI_FileSystemLog(1,
                              "MountSystem::Mount: '%s' was left by an unmount that could not finish; it is "
                              "never read, since it may be cut, and is kept as it is until a whole new save "
                              "of its file replaces it.",
                              path.CStr());
        }
    }
}

// The kept save is tried first and the file only where there is none: another instance of the
// game may put the kept save in the file's place at any moment, so a look at which of the two
// exists could be out of date by the time it is opened. A kept save that is there but cannot be
// read is not passed over for the older file.
File* MountSystem::OpenLatest(SchemeId scheme, const char* nativePath) {
    const String saved = SavedPath(nativePath);
    if (File* kept = inner_->OpenFile(scheme, saved.CStr(), FILE_MODE_READ)) {
        return kept;
    }
    if (inner_->FileExists(scheme, saved.CStr())) {
        return nullptr;
    }
    return inner_->OpenFile(scheme, nativePath, FILE_MODE_READ);
}

bool MountSystem::CreateDirectory(SchemeId scheme, const char* nativePath) {
    return mounted_ && inner_->CreateDirectory(scheme, nativePath);
}

bool MountSystem::CreateRootDirectory(SchemeId scheme) {
    return mounted_ && inner_->CreateRootDirectory(scheme);
}

bool MountSystem::DeleteDirectory(SchemeId scheme, const char* nativePath) {
    return mounted_ && inner_->DeleteDirectory(scheme, nativePath);
}

bool MountSystem::DeleteFile(SchemeId scheme, const char* nativePath) {
    if (!mounted_ || nativePath == nullptr) {
        return false;
    }
    // Closed buffers of the path are dropped with it: unmounting would otherwise write the
    // deleted save back to disk.
    bool droppedBuffer = false;
    for (size_t i = buffered_.size(); i-- > 0;) {
        if (!buffered_[i].open && strcmp(buffered_[i].nativePath.CStr(), nativePath) == 0) {
            delete buffered_[i].file;
            buffered_.erase(buffered_.begin() + static_cast<std::ptrdiff_t>(i));
            droppedBuffer = true;
        }
    }
    FolderLock lock;
    String why;
    const ZQI_NativeLockResult taken = lock.Take(ZQI_FolderOfNativePath(nativePath), lockWait_, why);
    if (taken == NATIVE_LOCK_NO_FOLDER) {
        return droppedBuffer;  // nothing of it on disk
    }
    if (taken != NATIVE_LOCK_TAKEN) {
        ZQI_FileSystemLog(2, "MountSystem::DeleteFile: '%s' was not deleted, since %s.", nativePath,
                          why.CStr());
        return false;
    }
    const String saved = SavedPath(nativePath);
    if (!inner_->FileExists(scheme, saved.CStr())) {
        return inner_->DeleteFile(scheme, nativePath) || droppedBuffer;
    }
    // The file goes first: were the newer save beside it deleted and the file then refused, the
    // older save would be read again.
    if (inner_->FileExists(scheme, nativePath) && !inner_->DeleteFile(scheme, nativePath)) {
        return false;
    }
    return inner_->DeleteFile(scheme, saved.CStr());
}

// A file written beside its target and moved over it (a font's save) is only a buffer until
// unmounting, which stores each buffer whole: moving it is renaming the buffer.
bool MountSystem::ReplaceFile(SchemeId, const char* nativeSource, const char* nativeTarget, bool exchange) {
    if (!mounted_ || nativeSource == nullptr || nativeTarget == nullptr || exchange ||
        strcmp(nativeSource, nativeTarget) == 0) {
        return false;
    }
    Buffered* moving = FindClosedBuffer(nativeSource);
    if (moving == nullptr) {
        return false;
    }
    for (const Buffered& item : buffered_) {
        if (item.open && strcmp(item.nativePath.CStr(), nativeTarget) == 0) {
            return false;  // a handle still writes the target
        }
    }
    MemoryFile* file = moving->file;
    for (size_t i = buffered_.size(); i-- > 0;) {
        if (strcmp(buffered_[i].nativePath.CStr(), nativeTarget) == 0) {
            delete buffered_[i].file;
            buffered_.erase(buffered_.begin() + static_cast<std::ptrdiff_t>(i));
        }
    }
    for (Buffered& item : buffered_) {
        if (item.file == file) {
            item.nativePath = nativeTarget;
        }
    }
    return true;
}

bool MountSystem::FileExists(SchemeId scheme, const char* nativePath) {
    return mounted_ && nativePath != nullptr &&
           (inner_->FileExists(scheme, SavedPath(nativePath).CStr()) ||
            inner_->FileExists(scheme, nativePath));
}

// A probe that opened the path for writing would reuse and empty a closed buffer of it, and the
// deletion of the probe would drop every closed buffer of it: the program's save, lost before it
// was ever stored.
bool MountSystem::CanWriteFile(SchemeId scheme, const char* nativePath) {
    if (!mounted_ || nativePath == nullptr) {
        return false;
    }
    for (const Buffered& item : buffered_) {
        if (strcmp(item.nativePath.CStr(), nativePath) == 0) {
            return true;
        }
    }
    return FileExists(scheme, nativePath) || CanWriteBeside(scheme, nativePath);
}

void MountSystem::FindFiles(SchemeId scheme, const char* virtualFolder, const char* nativeFolder,
                            const Array<String>& wildcards, bool recursive, Array<String>& out) {
    if (mounted_) {
        inner_->FindFiles(scheme, virtualFolder, nativeFolder, wildcards, recursive, out);
    }
}

bool MountSystem::GetFileInfo(SchemeId scheme, const char* nativePath, zq_file_info_t* info) {
    return mounted_ && nativePath != nullptr &&
           (inner_->GetFileInfo(scheme, SavedPath(nativePath).CStr(), info) ||
            inner_->GetFileInfo(scheme, nativePath, info));
}

File* MountSystem::OpenFile(SchemeId scheme, const char* nativePath, FileMode mode) {
    if (!mounted_ || nativePath == nullptr) {
        return nullptr;
    }
    if (mode == FILE_MODE_READ) {
        // Opened under the folder's lock: on Windows an opening fails while another instance is
        // moving the file, or trying to. A read changes nothing, so one whose lock is not to be had
        // goes ahead without it.
        FolderLock lock;
        String why;
        const ZQI_NativeLockResult taken = lock.Take(ZQI_FolderOfNativePath(nativePath), lockWait_, why);
        if (taken == NATIVE_LOCK_BUSY || taken == NATIVE_LOCK_FAILED) {
            ZQI_FileSystemLog(1, "MountSystem::OpenFile: '%s' is read without its folder's lock, since %s.",
                              nativePath, why.CStr());
        }
        File* file = OpenLatest(scheme, nativePath);
        if (file != nullptr) {
            ++readCount_;
        }
        return file;
    }
    return OpenBuffered(scheme, nativePath, mode);
}

MountSystem::Buffered* MountSystem::FindClosedBuffer(const char* nativePath) {
    for (size_t i = buffered_.size(); i-- > 0;) {
        Buffered& item = buffered_[i];
        if (!item.open && strcmp(item.nativePath.CStr(), nativePath) == 0) {
            return &item;
        }
    }
    return nullptr;
}

File* MountSystem::OpenBuffered(SchemeId scheme, const char* nativePath, FileMode mode) {
    // A path already written during this mount lives on in its buffer, not on disk: writing again
    // reuses (and empties) that buffer, appending continues it. Two buffers of one path would
    // both be written at unmount, the older possibly last.
    if (Buffered* earlier = FindClosedBuffer(nativePath)) {
        earlier->file->Reopen(scheme, mode);
        earlier->open = true;
        // Moved to the end: it is now the latest opening of its path.
        Buffered moved = *earlier;
        buffered_.erase(buffered_.begin() + (earlier - buffered_.data()));
        buffered_.push_back(moved);
        return moved.file;
    }
    MemoryFile* buffer = new (std::nothrow) MemoryFile(scheme);
    if (buffer == nullptr) {
        return nullptr;
    }
    if (mode == FILE_MODE_WRITE) {
        // The file on disk keeps its old contents until unmounting writes the new ones. A save
        // that could not be written there (no such folder) is refused at once instead.
        if (!CanWriteBeside(scheme, nativePath)) {
            delete buffer;
            return nullptr;
        }
    } else {
        // Copied under the folder's lock: another instance's save written in place meanwhile
        // would give a copy that is half its old save and half its new one.
        FolderLock lock;
        String why;
        const ZQI_NativeLockResult taken = lock.Take(ZQI_FolderOfNativePath(nativePath), lockWait_, why);
        if (taken == NATIVE_LOCK_BUSY || taken == NATIVE_LOCK_FAILED) {
            ZQI_FileSystemLog(2, "MountSystem::OpenFile: '%s' cannot be appended to, since %s.", nativePath,
                              why.CStr());
            delete buffer;
            return nullptr;
        }
        // Only a save that is not there starts empty: one that cannot be read now (held by a
        // holder sharing nothing) would be replaced by the appended bytes alone.
        File* existing = OpenLatest(scheme, nativePath);
        bool copied =
            existing != nullptr ? buffer->CopyFromFile(existing, false) : !FileExists(scheme, nativePath);
        if (existing != nullptr) {
            inner_->CloseFile(existing);
        }
        if (!copied) {
            delete buffer;
            return nullptr;
        }
    }
    buffered_.push_back(Buffered{buffer, String(nativePath), true});
    return buffer;
}

bool MountSystem::CloseFile(File* file) {
    if (file == nullptr) {
        return false;
    }
    if (!file->writable) {
        if (readCount_ > 0) {
            --readCount_;
        }
        return inner_->CloseFile(file);
    }
    MemoryFile* buffer = dynamic_cast<MemoryFile*>(file);
    if (buffer == nullptr) {
        return false;  // writable files of this system are always its buffers
    }
    for (Buffered& item : buffered_) {
        if (item.file == buffer) {
            item.open = false;
            return true;
        }
    }
    for (int32_t i = 0; i < detached_.count; ++i) {
        if (detached_[i] == buffer) {
            detached_.DeleteAt(i);
            return true;
        }
    }
    return false;
}

bool MountSystem::CanWriteBeside(SchemeId scheme, const char* nativePath) {
    // The probe is made under the folder's lock: made or removed while another instance writes
    // its save there, it would cut or delete that instance's temporary.
    FolderLock lock;
    String why;
    const ZQI_NativeLockResult taken = lock.Take(ZQI_FolderOfNativePath(nativePath), lockWait_, why);
    if (taken != NATIVE_LOCK_TAKEN) {
        if (taken != NATIVE_LOCK_NO_FOLDER) {  // no folder: no save there, refused quietly as always
            ZQI_FileSystemLog(2, "MountSystem::OpenFile: '%s' cannot be saved, since %s.", nativePath,
                              why.CStr());
        }
        return false;
    }
    String saving = SavingPath(nativePath);
    if (inner_->FileExists(scheme, saving.CStr())) {
        return true;  // a save left there by an earlier run: its folder takes files, and it stays
    }
    File* probe = inner_->OpenFile(scheme, saving.CStr(), FILE_MODE_WRITE);
    if (probe == nullptr) {
        return false;
    }
    inner_->CloseFile(probe);
    inner_->DeleteFile(scheme, saving.CStr());
    return true;
}

MountSystem::WriteResult MountSystem::WriteWhole(MemoryFile* file, const char* nativePath) {
    File* target = inner_->OpenFile(file->scheme, nativePath, FILE_MODE_WRITE);
    if (target == nullptr) {
        return WRITE_NOT_OPENED;
    }
    const uint64_t length = file->GetLength();
    const bool written = length == 0 || target->Write(file->GetData(), length) == length;
    const bool closed = inner_->CloseFile(target);  // flushes and commits first
    return written && closed ? WRITE_WHOLE : WRITE_FAILED;
}

// Written whole beside the save, committed and closed, then moved over it: a full disk, a failed
// write or a crash meanwhile leaves the old save as it was. A save that an earlier unmount left
// unfinished beside the file gives way only to a whole new one: until then the new one is written
// beside that. All of it under the folder's lock: two instances writing one temporary at once
// would mix their bytes, and one deleting the kept save after writing the file in place would
// delete the other's newer save.
bool MountSystem::Commit(MemoryFile* file, const String& nativePath, uint32_t& wait) {
    const SchemeId scheme = file->scheme;
    FolderLock lock;
    String why;
    const ZQI_NativeLockResult taken = lock.Take(ZQI_FolderOfNativePath(nativePath.CStr()), wait, why);
    if (taken != NATIVE_LOCK_TAKEN) {
        if (taken == NATIVE_LOCK_BUSY) {
            wait = 0;  // a holder that hangs costs one wait per unmount, not one per file
        }
        ZQI_FileSystemLog(
            2,
            "MountSystem::Unmount: '%s' could not be saved, since %s; it keeps its previous save "
            "and the new one is lost.",
            nativePath.CStr(), why.CStr());
        return false;
    }
    const String saving = SavingPath(nativePath.CStr());
    const String saved = SavedPath(nativePath.CStr());
    const bool leftSaving = inner_->FileExists(scheme, saving.CStr());
    const String written = leftSaving ? SavingPath(saving.CStr()) : saving;
    const WriteResult beside = WriteWhole(file, written.CStr());
    if (beside != WRITE_WHOLE) {
        if (beside == WRITE_FAILED) {
            inner_->DeleteFile(scheme, written.CStr());
        }
        ZQI_FileSystemLog(2,
                          "MountSystem::Unmount: '%s' could not be saved, since '%s' could not be %s; it "
                          "keeps its previous save and the new one is lost.",
                          nativePath.CStr(), written.CStr(),
                          beside == WRITE_FAILED ? "written whole" : "made");
        return false;
    }
    // Straight into the file's place, unless a newer save waits beside the file: that one must
    // give way first, or it would be read instead of this one.
    bool inPlace = false;
    if (!inner_->FileExists(scheme, saved.CStr()) &&
        inner_->ReplaceFile(scheme, written.CStr(), nativePath.CStr(), false)) {
        inPlace = true;
    } else if (!inner_->ReplaceFile(scheme, written.CStr(), saved.CStr(), false)) {
        inner_->DeleteFile(scheme, written.CStr());
        ZQI_FileSystemLog(2,
                          "MountSystem::Unmount: '%s' could not be saved, since '%s' could not be renamed "
                          "'%s'; it keeps its previous save and the new one is lost.",
                          nativePath.CStr(), written.CStr(), saved.CStr());
        return false;
    }
    if (leftSaving && inner_->DeleteFile(scheme, saving.CStr())) {
        ZQI_FileSystemLog(
            1, "MountSystem::Unmount: '%s', left by an earlier unmount, gives way to the new save of '%s'.",
            saving.CStr(), nativePath.CStr());
    }
    if (!inPlace) {
        PutInPlace(file, nativePath, saved);
    }
    return true;
}

// Windows refuses to move a file over one that another handle holds open without sharing
// deletion: the program reading its save, a second instance of the game. Such holders mostly
// share writing, so the old file is written in place from the same bytes as the whole new save,
// which goes only once that write is committed and closed without error. Otherwise the new save
// stays beside the old file, and reads find it there.
void MountSystem::PutInPlace(MemoryFile* file, const String& nativePath, const String& saved) {
    const SchemeId scheme = file->scheme;
    if (inner_->ReplaceFile(scheme, saved.CStr(), nativePath.CStr(), false)) {
        return;
    }
    const WriteResult inPlace = RewriteInPlace(file, nativePath.CStr());
    if (inPlace == WRITE_WHOLE) {
        inner_->DeleteFile(scheme, saved.CStr());
        ZQI_FileSystemLog(1, "MountSystem::Unmount: '%s' could not be replaced; it was written in place.",
                          nativePath.CStr());
        return;
    }
    ZQI_FileSystemLog(1,
                      "MountSystem::Unmount: '%s' could neither be replaced nor %s; its new save is kept "
                      "whole in '%s', which is read in its place until a mount can put it there.",
                      nativePath.CStr(), inPlace == WRITE_FAILED ? "written in place" : "opened for writing",
                      saved.CStr());
}

MountSystem::WriteResult MountSystem::RewriteInPlace(MemoryFile* file, const char* nativePath) {
    const SchemeId scheme = file->scheme;
    // Emptying the file first ("wb") would leave it cut if the disk filled after that; a system
    // that cannot write over a file without emptying it is not asked to.
    zq_file_info_t old;
    if (!inner_->rewritable || !inner_->GetFileInfo(scheme, nativePath, &old)) {
        return WRITE_NOT_OPENED;
    }
    File* target = inner_->OpenFile(scheme, nativePath, FILE_MODE_REWRITE);
    if (target == nullptr) {
        return WRITE_NOT_OPENED;
    }
    const uint8_t* data = file->GetData();
    const uint64_t length = file->GetLength();
    target->Seek(0, SEEK_ORIGIN_END);
    const uint64_t oldLength = target->Tell();
    if (oldLength != old.size) {
        inner_->CloseFile(target);  // not at the old end: writing here could cut the old save
        return WRITE_FAILED;
    }
    // The new bytes past the old end go first, then a commit, before anything of the old save is
    // written over: a disk too full for the new save fails here, with the old one whole. The
    // commit comes even when the file does not grow: on a journaling file system it writes out
    // the journal, which holds the rename that marked the new save whole, so a power cut during
    // the overwrite cannot leave a mixed file beside nothing but an unmarked temporary.
    const uint64_t growth = length > oldLength ? length - oldLength : 0;
    const bool grown = growth == 0 || target->Write(data + oldLength, growth) == growth;
    if (!grown || !target->Flush()) {
        inner_->CloseFile(target);
        if (growth > 0) {
            CutBack(scheme, nativePath, oldLength);
        }
        return WRITE_FAILED;
    }
    target->Seek(0, SEEK_ORIGIN_START);
    const bool written = (length == 0 || target->Write(data, length) == length) && target->EndRewrite();
    const bool closed = inner_->CloseFile(target);  // flushes and commits first
    return written && closed ? WRITE_WHOLE : WRITE_FAILED;
}

// The stream that failed to grow the file is closed before this, so none of its buffered bytes
// can reach the file afterwards.
void MountSystem::CutBack(SchemeId scheme, const char* nativePath, uint64_t length) {
    File* target = inner_->OpenFile(scheme, nativePath, FILE_MODE_REWRITE);
    bool cut = target != nullptr;
    if (cut) {
        target->Seek(static_cast<int64_t>(length), SEEK_ORIGIN_START);
        cut = target->EndRewrite();
        cut = inner_->CloseFile(target) && cut;
    }
    if (!cut) {
        ZQI_FileSystemLog(1,
                          "MountSystem::Unmount: '%s' could not be cut back to its old length after the disk "
                          "refused its new save; bytes of the new save follow the old one (the new save is "
                          "read from beside it).",
                          nativePath);
    }
}

void MountSystem::Unmount() {
    uint32_t wait = lockWait_;
    for (Buffered& item : buffered_) {
        Commit(item.file, item.nativePath, wait);  // a failure is logged; the file keeps its previous save
        if (item.open) {
            detached_.Push(item.file);  // a handle still uses it: delete it when that closes
        } else {
            delete item.file;
        }
    }
    buffered_.clear();
    mounted_ = 0;
}

}  // namespace ZQFileSystem
