// ZQFileSystem::MountSystem: forwarding to the inner native system while mounted, and the
// buffered save files that unmounting commits to disk.
#include "filesystem/MountSystem.h"

#include <cstddef>
#include <cstring>
#include <new>

#include "filesystem/EngineTemporaries.h"
#include "filesystem/FileSystemServices.h"
#include "filesystem/NativeListing.h"
#include "filesystem/SchemeRoots.h"

namespace ZQFileSystem {

namespace {

// A save is written beside its file under this added suffix and then moved over it, so the old
// save stays whole until the new one is completely on disk.
String SavingPath(const char* nativePath) {
    return String::FromFormat("%s%s", nativePath, ZQI_SAVING_SUFFIX);
}

// Saves left beside their files by an earlier run: each is either a whole new save that could
// not be put in place (the log of that run said so) or what a crash left of one being written.
// Nothing tells the two apart, so each stays as it is, for the player or support to restore,
// until a new save of its file replaces it; putting a cut one over its file would lose the save.
void ReportLeftSaves() {
    const String& root = ZQI_GetSchemeRoot(SCHEME_SAVE);
    if (root.IsEmpty()) {
        return;
    }
    Array<String> left;
    ZQI_ListNativeTemporaries(String::FromFormat("%s/", root.CStr()).CStr(), left);
    for (const String& path : left) {
        if (!ZQI_IsSavingName(path.CStr())) {
            continue;  // another kind of temporary, not the save system's
        }
        ZQI_FileSystemLog(1,
                          "MountSystem::Mount: '%s' was left by an unmount that could not finish; it is kept "
                          "as it is and may hold a newer save than its file, or a cut one.",
                          path.CStr());
    }
}

}  // namespace

MountSystem::MountSystem(System* inner) : inner_(inner), readCount_(0), mounted_(0) {
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
    ReportLeftSaves();
    return true;
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
    bool deletedOnDisk = inner_->DeleteFile(scheme, nativePath);
    return deletedOnDisk || droppedBuffer;
}

bool MountSystem::FileExists(SchemeId scheme, const char* nativePath) {
    return mounted_ && inner_->FileExists(scheme, nativePath);
}

void MountSystem::FindFiles(SchemeId scheme, const char* virtualFolder, const char* nativeFolder,
                            const Array<String>& wildcards, bool recursive, Array<String>& out) {
    if (mounted_) {
        inner_->FindFiles(scheme, virtualFolder, nativeFolder, wildcards, recursive, out);
    }
}

bool MountSystem::GetFileInfo(SchemeId scheme, const char* nativePath, zq_file_info_t* info) {
    return mounted_ && inner_->GetFileInfo(scheme, nativePath, info);
}

File* MountSystem::OpenFile(SchemeId scheme, const char* nativePath, FileMode mode) {
    if (!mounted_ || nativePath == nullptr) {
        return nullptr;
    }
    if (mode == FILE_MODE_READ) {
        File* file = inner_->OpenFile(scheme, nativePath, mode);
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
        File* existing = inner_->OpenFile(scheme, nativePath, FILE_MODE_READ);
        if (existing != nullptr) {
            bool copied = buffer->CopyFromFile(existing, false);
            inner_->CloseFile(existing);
            if (!copied) {
                delete buffer;
                return nullptr;
            }
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

// Written whole beside the save, committed, then moved over it: a full disk, a failed write or a
// crash meanwhile leaves the old save as it was. A save that an earlier unmount left beside the
// file gives way only to a whole new one: until then the new one is written beside that.
void MountSystem::Commit(MemoryFile* file, const String& nativePath) {
    const String saving = SavingPath(nativePath.CStr());
    const bool keptBeside = inner_->FileExists(file->scheme, saving.CStr());
    String written = keptBeside ? SavingPath(saving.CStr()) : saving;
    const WriteResult beside = WriteWhole(file, written.CStr());
    if (beside == WRITE_NOT_OPENED) {
        ZQI_FileSystemLog(1, "MountSystem::Unmount: '%s' could not be opened for writing; its data is lost.",
                          written.CStr());
        return;
    }
    if (beside == WRITE_FAILED) {
        ZQI_FileSystemLog(
            2,
            "MountSystem::Unmount: '%s' could not be written; the old file is kept and the new data is lost.",
            nativePath.CStr());
        inner_->DeleteFile(file->scheme, written.CStr());
        return;
    }
    if (keptBeside && inner_->ReplaceFile(file->scheme, written.CStr(), saving.CStr(), false)) {
        ZQI_FileSystemLog(
            1, "MountSystem::Unmount: '%s', left by an earlier unmount, gives way to the new save of '%s'.",
            saving.CStr(), nativePath.CStr());
        written = saving;
    }
    if (!inner_->ReplaceFile(file->scheme, written.CStr(), nativePath.CStr(), false)) {
        WriteInPlace(file, nativePath, written);
    }
}

// Windows refuses to move a file over one that another handle holds open without sharing
// deletion: the program reading its save, a second instance of the game. Such holders mostly
// share writing, so the old file is written in place, from the same bytes as the whole new save
// beside it, which goes only once that write is flushed and closed without error. Otherwise the
// new save stays beside the old file, named in the log, and later mounts keep it.
void MountSystem::WriteInPlace(MemoryFile* file, const String& nativePath, const String& saving) {
    const WriteResult inPlace = WriteWhole(file, nativePath.CStr());
    if (inPlace == WRITE_WHOLE) {
        inner_->DeleteFile(file->scheme, saving.CStr());
        ZQI_FileSystemLog(1, "MountSystem::Unmount: '%s' could not be replaced; it was written in place.",
                          nativePath.CStr());
    } else if (inPlace == WRITE_NOT_OPENED) {
        ZQI_FileSystemLog(
            2,
            "MountSystem::Unmount: '%s' could neither be replaced nor opened for writing; it keeps "
            "the old save and the new one is in '%s'.",
            nativePath.CStr(), saving.CStr());
    } else {
        ZQI_FileSystemLog(
            2,
            "MountSystem::Unmount: '%s' could neither be replaced nor written in place and may be "
            "cut; the new save is in '%s'.",
            nativePath.CStr(), saving.CStr());
    }
}

void MountSystem::Unmount() {
    for (Buffered& item : buffered_) {
        Commit(item.file, item.nativePath);
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
