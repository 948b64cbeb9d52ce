// ZQFileSystem::MemorySystem: a map from file name (the text after "mem://") to a MemoryFile
// and its open flag.
#include "filesystem/MemorySystem.h"

#include <new>

#include "filesystem/FileSystemServices.h"

namespace ZQFileSystem {

MemorySystem::MemorySystem() : files_(ZQI_NAME_MAP_INITIAL_BUCKETS) {
    files_.max_load_factor(1.0f);
}

MemorySystem::~MemorySystem() {
    for (auto& item : files_) {
        delete item.second.file;
    }
    files_.clear();
    detached_.DeleteAll();
}

File* MemorySystem::OpenFile(SchemeId scheme, const char* name, FileMode mode) {
    if (name == nullptr) {
        return nullptr;
    }
    auto found = files_.find(String(name));
    if (found != files_.end()) {
        Entry& entry = found->second;
        if (entry.open) {
            return nullptr;  // a memory file has one holder at a time
        }
        entry.file->Reopen(scheme, mode);
        entry.open = true;
        return entry.file;
    }
    if (mode == FILE_MODE_READ) {
        return nullptr;
    }
    MemoryFile* file = new (std::nothrow) MemoryFile(scheme);
    if (file == nullptr) {
        return nullptr;
    }
    files_.emplace(String(name), Entry{file, true});
    return file;
}

bool MemorySystem::CloseFile(File* file) {
    for (auto& item : files_) {
        if (item.second.file == file) {
            if (!item.second.open) {
                return false;
            }
            item.second.open = false;
            return true;
        }
    }
    for (int32_t i = 0; i < detached_.count; ++i) {
        if (detached_[i] == file) {
            detached_.DeleteAt(i);
            return true;
        }
    }
    return false;
}

bool MemorySystem::FileExists(SchemeId, const char* name) {
    return name != nullptr && files_.find(String(name)) != files_.end();
}

bool MemorySystem::DeleteFile(SchemeId, const char* name) {
    if (name == nullptr) {
        return false;
    }
    auto found = files_.find(String(name));
    if (found == files_.end()) {
        return false;
    }
    // An open handle keeps using the file until it is closed; only the name is gone.
    if (found->second.open) {
        detached_.Push(found->second.file);
    } else {
        delete found->second.file;
    }
    files_.erase(found);
    return true;
}

void MemorySystem::FindFiles(SchemeId scheme, const char*, const char*, const Array<String>&, bool,
                             Array<String>&) {
    ZQI_FileSystemPopup(1, "File System: %s() is not implemented for files in '%s://' on %s.", "FindFiles",
                        ZQI_GetSchemeName(scheme), "MemorySystem");
}

bool MemorySystem::GetFileInfo(SchemeId scheme, const char*, zq_file_info_t*) {
    ZQI_FileSystemPopup(1, "File System: %s() is not implemented for files in '%s://' on %s.", "GetFileInfo",
                        ZQI_GetSchemeName(scheme), "MemorySystem");
    return false;
}

}  // namespace ZQFileSystem
