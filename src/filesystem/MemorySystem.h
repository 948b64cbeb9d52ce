// ZQFileSystem::MemorySystem: the mem:// scheme, named files that exist only in memory for the
// rest of the run. A memory file is open at most once at a time; its contents outlive closing.
#pragma once

#include <unordered_map>

#include "filesystem/FileSystem.h"
#include "filesystem/MemoryFile.h"
#include "filesystem/NameKey.h"

namespace ZQFileSystem {

class MemorySystem : public System {
public:
    MemorySystem();
    ~MemorySystem() override;

    bool CloseFile(File* file) override;
    bool DeleteFile(SchemeId scheme, const char* name) override;
    bool FileExists(SchemeId scheme, const char* name) override;
    void FindFiles(SchemeId scheme, const char* virtualFolder, const char* nativeFolder,
                   const Array<String>& wildcards, bool recursive, Array<String>& out) override;
    bool GetFileInfo(SchemeId scheme, const char* name, zq_file_info_t* info) override;
    File* OpenFile(SchemeId scheme, const char* name, FileMode mode) override;

private:
    struct Entry {
        MemoryFile* file;
        bool open;
    };
    std::unordered_map<String, Entry, ZQI_NameKeyHash, ZQI_NameKeyEqual> files_;
    // Files deleted while a handle still had them open; deleted when that handle closes.
    Array<MemoryFile*> detached_;
};

}  // namespace ZQFileSystem
