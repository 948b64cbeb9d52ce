// ZQFileSystem::PAKSystem and PAKFile: finding the archive of a native path, reading archives on
// first use, and opening, describing and listing their entries.
#include "filesystem/PAKSystem.h"

#include <cstdint>
#include <cstring>
#include <new>

#include "core/NamedMutex.h"
#include "filesystem/FileSystemServices.h"
#include "filesystem/SchemeRoots.h"
#include "filesystem/Wildcard.h"
#include "foundation/TextUtils.h"

namespace ZQFileSystem {

// ---- PAKFile ------------------------------------------------------------------------------------

PAKFile::PAKFile(const PAKEntry& entry, SchemeId scheme, File* archive)
    : File(entry.size, FILE_FLAG_IN_PAK, scheme, false), archive(archive), start(entry.offset) {}

int32_t PAKFile::GetNativeHandle(uint32_t* offset) {
    int32_t handle = archive->GetNativeHandle(offset);
    if (offset != nullptr) {
        *offset += start;
    }
    return handle;
}

uint64_t PAKFile::Tell() {
    uint64_t position = archive->Tell();
    return position > start ? position - start : 0;
}

uint64_t PAKFile::Read(void* buffer, uint64_t count) {
    uint64_t position = Tell();
    if (buffer == nullptr || position >= size) {
        return 0;
    }
    uint64_t left = size - position;
    return archive->Read(buffer, count < left ? count : left);
}

void PAKFile::Seek(int64_t offset, int32_t origin) {
    int64_t base = 0;
    if (origin == SEEK_ORIGIN_START) {
        base = static_cast<int64_t>(start);
    } else if (origin == SEEK_ORIGIN_END) {
        base = static_cast<int64_t>(start) + static_cast<int64_t>(size);
    } else if (origin == SEEK_ORIGIN_CURRENT) {
        base = static_cast<int64_t>(archive->Tell());
    } else {
        return;
    }
    // A position before the entry is refused and the position kept, as the C runtime refuses one
    // before the start of a file: the archive's bytes in front of the entry belong to others.
    if (offset < static_cast<int64_t>(start) - base || offset > INT64_MAX - base) {
        return;
    }
    archive->Seek(base + offset, SEEK_ORIGIN_START);
}

// ---- PAKSystem ----------------------------------------------------------------------------------

namespace {

// Whether a candidate name (relative to the listed folder) matches one of the wildcards.
bool MatchesAnyWildcard(const char* candidate, const Array<String>& wildcards) {
    for (const String& wildcard : wildcards) {
        const char* pattern = wildcard.CStr();
        if (strcmp(pattern, "*") == 0 || strcmp(pattern, "*.*") == 0) {
            return true;
        }
        // "*.png" is the common case and needs no pattern matching; an extension pattern with a
        // further "*" ("*.p*g") is matched as a pattern.
        if (strncmp(pattern, "*.", 2) == 0 && ZQI_EndsWith(candidate, pattern + 1)) {
            return true;
        }
        if (ZQI_MatchWildcard(candidate, pattern)) {
            return true;
        }
    }
    return false;
}

}  // namespace

PAKSystem::PAKSystem()
    : openLock_(ZQI_CreateEngineMutex("PAKSystemOpenPAK")), archives_(ZQI_NAME_MAP_INITIAL_BUCKETS) {
    archives_.max_load_factor(1.0f);
}

PAKSystem::~PAKSystem() {
    // The native systems have closed the archive files already; only the records remain. The
    // lock is shared by name with every other archive layer and stays.
    for (auto& item : archives_) {
        delete item.second;
    }
}

void PAKSystem::CloseArchives() {
    for (auto& item : archives_) {
        CloseFile(item.second->archive);
        delete item.second;
    }
    archives_.clear();
}

bool PAKSystem::IsArchiveName(const char* nativePath) {
    return ZQI_EndsWith(nativePath, ".pak") || ZQI_EndsWith(nativePath, ".obb");
}

void PAKSystem::GetPAKFileName(String& out, SchemeId scheme, const char* nativePath) {
    out = "";
    const String& root = ZQI_GetSchemeRoot(scheme);
    int32_t rootLength = root.Length();
    if (nativePath == nullptr || rootLength == 0 ||
        strncmp(nativePath, root.CStr(), static_cast<size_t>(rootLength)) != 0) {
        return;
    }
    const char* afterRoot = nativePath + rootLength;
    if (root.CStr()[rootLength - 1] != '/') {
        if (afterRoot[0] != '/') {
            return;  // "<root>x/..." lies beside the root, not in it
        }
        ++afterRoot;
    }
    const char* folderEnd = strchr(afterRoot, '/');
    if (folderEnd == nullptr || folderEnd == afterRoot) {
        return;
    }
    out.Format("%.*s.pak", static_cast<int>(folderEnd - nativePath), nativePath);
}

void PAKSystem::MakeEntryName(const char* archiveName, String& path) {
    size_t folderLength = strlen(archiveName) - 4;  // without ".pak"
    const char* rest = "";
    if (strlen(path.CStr()) > folderLength) {
        rest = path.CStr() + folderLength + 1;  // skip the separator after the archive's folder
    }
    String entryName(rest);
    ZQI_LowerAsciiInPlace(entryName);
    path = entryName;
}

PAKSystem::OpenedPAK* PAKSystem::LookUpArchive(const String& archiveName) {
    ZQ_Threading_LockMutex(openLock_);
    auto found = archives_.find(archiveName);
    OpenedPAK* pak = found != archives_.end() ? found->second : nullptr;
    ZQ_Threading_UnlockMutex(openLock_);
    return pak;
}

PAKSystem::OpenedPAK* PAKSystem::GetPAK(SchemeId scheme, const char* archiveName) {
    String name(archiveName);
    if (OpenedPAK* known = LookUpArchive(name)) {
        return known;
    }
    if (!FileExists(scheme, archiveName)) {
        return nullptr;
    }
    File* archive = OpenFile(scheme, archiveName, FILE_MODE_READ);
    if (archive == nullptr) {
        return nullptr;
    }
    OpenedPAK* pak = OpenPAK(archive, archiveName);
    if (pak == nullptr) {
        CloseFile(archive);
    }
    return pak;
}

PAKSystem::OpenedPAK* PAKSystem::OpenPAK(File* archive, const char* archiveName) {
    ZQI_FileSystemPrint("Opening PAK '%s'...", archiveName);
    OpenedPAK* pak = new (std::nothrow) OpenedPAK();
    if (pak == nullptr) {
        return nullptr;
    }
    if (!ZQI_ReadPAKDirectory(archive, pak->directory)) {
        ReportUnreadable(archiveName);
        delete pak;
        return nullptr;
    }
    pak->archive = archive;
    String name(archiveName);
    ZQ_Threading_LockMutex(openLock_);
    auto found = archives_.find(name);
    OpenedPAK* published = nullptr;
    if (found != archives_.end()) {
        published = found->second;  // another thread read the same archive meanwhile
    } else {
        archives_.emplace(name, pak);
    }
    ZQ_Threading_UnlockMutex(openLock_);
    if (published != nullptr) {
        CloseFile(archive);
        delete pak;
        return published;
    }
    return pak;
}

void PAKSystem::ReportUnreadable(const char* archiveName) {
    ZQ_Threading_LockMutex(openLock_);
    const bool first = reportedUnreadable_.insert(String(archiveName)).second;
    ZQ_Threading_UnlockMutex(openLock_);
    if (first) {
        ZQI_FileSystemLog(2, "PAKSystem::OpenPAK: '%s' is not a readable PAK archive.", archiveName);
    }
}

const PAKEntry* PAKSystem::FindEntry(const char* archiveName, const char* nativePath, OpenedPAK* pak) {
    String entryName(nativePath);
    MakeEntryName(archiveName, entryName);
    return pak->directory.Find(entryName);
}

const PAKEntry* PAKSystem::FindEntryOfPath(SchemeId scheme, const char* nativePath) {
    if (nativePath == nullptr || IsArchiveName(nativePath)) {
        return nullptr;
    }
    String archiveName;
    GetPAKFileName(archiveName, scheme, nativePath);
    if (archiveName.IsEmpty()) {
        return nullptr;
    }
    OpenedPAK* pak = GetPAK(scheme, archiveName.CStr());
    return pak != nullptr ? FindEntry(archiveName.CStr(), nativePath, pak) : nullptr;
}

bool PAKSystem::FileExists(SchemeId scheme, const char* nativePath) {
    return FindEntryOfPath(scheme, nativePath) != nullptr;
}

bool PAKSystem::GetFileInfo(SchemeId scheme, const char* nativePath, zq_file_info_t* info) {
    const PAKEntry* entry = FindEntryOfPath(scheme, nativePath);
    if (entry == nullptr || info == nullptr) {
        return false;
    }
    info->size = entry->size;
    info->modification_time = entry->time;
    return true;
}

File* PAKSystem::OpenFile(SchemeId scheme, const char* nativePath, FileMode mode) {
    if (mode != FILE_MODE_READ) {
        return nullptr;
    }
    const PAKEntry* entry = FindEntryOfPath(scheme, nativePath);
    if (entry == nullptr) {
        return nullptr;
    }
    String archiveName;
    GetPAKFileName(archiveName, scheme, nativePath);
    // Every entry reads through its own archive handle, so entries can be read concurrently.
    File* handle = OpenFile(scheme, archiveName.CStr(), FILE_MODE_READ);
    if (handle == nullptr) {
        return nullptr;
    }
    handle->Seek(entry->offset, SEEK_ORIGIN_START);
    PAKFile* file = new (std::nothrow) PAKFile(*entry, scheme, handle);
    if (file == nullptr) {
        CloseFile(handle);
    }
    return file;
}

bool PAKSystem::CloseFile(File* file) {
    if (file == nullptr || (file->flags & FILE_FLAG_IN_PAK) == 0) {
        return false;
    }
    PAKFile* entry = dynamic_cast<PAKFile*>(file);
    if (entry == nullptr) {
        return false;
    }
    CloseFile(entry->archive);
    delete entry;
    return true;
}

void PAKSystem::FindFiles(SchemeId scheme, const char* virtualFolder, const char* nativeFolder,
                          const Array<String>& wildcards, bool recursive, Array<String>& out) {
    if (nativeFolder == nullptr) {
        return;
    }
    // The folder itself may be the archive's folder: find the archive as for a path inside it.
    String folderPath = String::FromFormat("%s/", nativeFolder);
    String archiveName;
    GetPAKFileName(archiveName, scheme, folderPath.CStr());
    if (archiveName.IsEmpty()) {
        return;
    }
    OpenedPAK* pak = GetPAK(scheme, archiveName.CStr());
    if (pak == nullptr) {
        return;
    }
    String prefix(nativeFolder);
    MakeEntryName(archiveName.CStr(), prefix);
    if (!prefix.IsEmpty()) {
        prefix.Append("/");
    }
    size_t prefixLength = strlen(prefix.CStr());
    for (const PAKEntry& entry : pak->directory.entries) {
        String lower = entry.name;
        ZQI_LowerAsciiInPlace(lower);
        if (strncmp(lower.CStr(), prefix.CStr(), prefixLength) != 0) {
            continue;
        }
        const char* candidate = entry.name.CStr() + prefixLength;
        if (candidate[0] == '\0' || (!recursive && strchr(candidate, '/') != nullptr)) {
            continue;
        }
        if (MatchesAnyWildcard(candidate, wildcards)) {
            ZQI_AppendUniquePath(out, virtualFolder, candidate);
        }
    }
}

}  // namespace ZQFileSystem
