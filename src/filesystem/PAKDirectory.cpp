// Reading a PAK archive's header and directory through any File (native, or in memory for the
// fuzz target). Every read is checked; nothing of a failed read survives.
#include "filesystem/PAKDirectory.h"

#include <cstring>

#include "filesystem/FileSystem.h"
#include "filesystem/FileSystemServices.h"

namespace ZQFileSystem {

const uint8_t kPAKMagic[8] = {0x50, 0x41, 0x4B, 0x00, 0x56, 0x31, 0x31, 0x00};

namespace {

bool ReadU32(File* archive, uint32_t& value) {
    uint8_t bytes[4];
    if (archive->Read(bytes, 4) != 4) {
        return false;
    }
    value = static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
            static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
    return true;
}

bool ReadHeader(File* archive, uint32_t& directoryOffset) {
    uint8_t magic[8];
    uint32_t totalSize = 0;
    if (archive->Read(magic, 8) != 8 || memcmp(magic, kPAKMagic, 8) != 0) {
        return false;
    }
    if (!ReadU32(archive, directoryOffset) || !ReadU32(archive, totalSize)) {
        return false;
    }
    return totalSize == archive->size;
}

bool ReadEntry(File* archive, PAKEntry& entry) {
    return ReadPAK(archive, entry.name) && ReadU32(archive, entry.offset) && ReadU32(archive, entry.size) &&
           ReadU32(archive, entry.time) && ReadU32(archive, entry.fourthWord);
}

// Whether the entry's data lies inside the archive. Readers allocate an entry's declared size
// before reading it, so an entry that claims more than the archive holds is never handed out.
bool LiesInArchive(const PAKEntry& entry, const File* archive) {
    return static_cast<uint64_t>(entry.offset) + entry.size <= archive->size;
}

}  // namespace

PAKDirectory::PAKDirectory() : byLowerName(ZQI_NAME_MAP_INITIAL_BUCKETS) {
    byLowerName.max_load_factor(1.0f);
}

const PAKEntry* PAKDirectory::Find(const String& lowerName) const {
    auto found = byLowerName.find(lowerName);
    return found != byLowerName.end() ? &entries[found->second] : nullptr;
}

void ZQI_LowerAsciiInPlace(String& text) {
    if (text.data == nullptr) {
        return;
    }
    for (char* c = text.data; *c != '\0'; ++c) {
        if (*c >= 'A' && *c <= 'Z') {
            *c = static_cast<char>(*c - 'A' + 'a');
        }
    }
}

bool ReadPAK(File* archive, String& name) {
    char buffer[ZQI_PAK_MAX_NAME + 1];
    uint64_t start = archive->Tell();
    uint64_t got = archive->Read(buffer, sizeof(buffer));
    if (got == 0) {
        return false;
    }
    const void* nul = memchr(buffer, '\0', static_cast<size_t>(got));
    if (nul == nullptr) {
        ZQI_FileSystemLog(1, "File System ReadPAK: PAK has a file with too long name.");
        return false;
    }
    size_t length = static_cast<size_t>(static_cast<const char*>(nul) - buffer);
    name = buffer;
    archive->Seek(static_cast<int64_t>(start + length + 1), SEEK_ORIGIN_START);
    return true;
}

bool ZQI_ReadPAKDirectory(File* archive, PAKDirectory& out) {
    out.entries.clear();
    out.byLowerName.clear();
    uint32_t directoryOffset = 0;
    uint32_t count = 0;
    if (archive == nullptr || !ReadHeader(archive, directoryOffset)) {
        return false;
    }
    archive->Seek(directoryOffset, SEEK_ORIGIN_START);
    if (!ReadU32(archive, count)) {
        return false;
    }
    int32_t entryCount = static_cast<int32_t>(count);
    for (int32_t i = 0; i < entryCount; ++i) {
        PAKEntry entry;
        if (!ReadEntry(archive, entry)) {
            out.entries.clear();
            out.byLowerName.clear();
            return false;
        }
        if (!LiesInArchive(entry, archive)) {
            ZQI_FileSystemLog(1, "File System ReadPAK: PAK entry '%s' lies outside the archive.",
                              entry.name.CStr());
            continue;
        }
        String lower = entry.name;
        ZQI_LowerAsciiInPlace(lower);
        if (out.byLowerName.find(lower) != out.byLowerName.end()) {
            continue;  // the first of two names that differ only in case stays
        }
        out.byLowerName.emplace(lower, out.entries.size());
        out.entries.push_back(entry);
    }
    return true;
}

}  // namespace ZQFileSystem
