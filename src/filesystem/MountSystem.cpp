// ZQFileSystem::MountSystem: forwarding to the inner native system while mounted, and the
// buffered save files that unmounting commits to disk.
#include "filesystem/MountSystem.h"

#include <new>

#include "filesystem/FileSystemServices.h"

namespace ZQFileSystem {

MountSystem::MountSystem(System* inner) : inner_(inner), readCount_(0), mounted_(0) {
    mountable = 1;
}

MountSystem::~MountSystem() {
    for (auto& item : buffered_) {
        delete item.first;
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
    return mounted_ && inner_->DeleteFile(scheme, nativePath);
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

File* MountSystem::OpenBuffered(SchemeId scheme, const char* nativePath, FileMode mode) {
    MemoryFile* buffer = new (std::nothrow) MemoryFile(scheme);
    if (buffer == nullptr) {
        return nullptr;
    }
    if (mode == FILE_MODE_WRITE) {
        // Opening for writing empties the file on disk now, as a native open would. A file that
        // cannot be opened here could not be written at unmount either: refuse it at once.
        File* truncated = inner_->OpenFile(scheme, nativePath, FILE_MODE_WRITE);
        if (truncated == nullptr) {
            delete buffer;
            return nullptr;
        }
        inner_->CloseFile(truncated);
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
    buffered_[buffer] = Buffered{String(nativePath), true};
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
    auto found = buffered_.find(buffer);
    if (found != buffered_.end()) {
        found->second.open = false;
        return true;
    }
    for (int32_t i = 0; i < detached_.count; ++i) {
        if (detached_[i] == buffer) {
            detached_.DeleteAt(i);
            return true;
        }
    }
    return false;
}

void MountSystem::Commit(MemoryFile* file, const String& nativePath) {
    File* target = inner_->OpenFile(file->scheme, nativePath.CStr(), FILE_MODE_WRITE);
    if (target == nullptr) {
        ZQI_FileSystemLog(1, "MountSystem::Unmount: '%s' could not be opened for writing; its data is lost.",
                          nativePath.CStr());
        return;
    }
    uint64_t length = file->GetLength();
    if (length != 0 && target->Write(file->GetData(), length) != length) {
        ZQI_FileSystemLog(2, "MountSystem::Unmount: '%s' was not written completely.", nativePath.CStr());
    }
    inner_->CloseFile(target);
}

void MountSystem::Unmount() {
    for (auto& item : buffered_) {
        Commit(item.first, item.second.nativePath);
        if (item.second.open) {
            detached_.Push(item.first);  // a handle still uses it: delete it when that closes
        } else {
            delete item.first;
        }
    }
    buffered_.clear();
    mounted_ = 0;
}

}  // namespace ZQFileSystem
