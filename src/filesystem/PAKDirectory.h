// The directory of a PAK archive: reading it from an archive file and looking entries up by
// name without regard to the case of ASCII letters.
//
// Archive layout (little-endian u32 numbers): magic "PAK\0V11\0"; directory offset; total size
// (must equal the archive's size); at the directory offset an entry count (signed; 0 or less
// means none), then per entry a NUL-terminated name (at most 510 characters, "/"-separated),
// data offset, data size, modification time and a fourth word that is kept but not interpreted.
#pragma once

#include <cstdint>
#include <unordered_map>
#include <vector>

#include "filesystem/NameKey.h"
#include "foundation/String.h"

namespace ZQFileSystem {

class File;

// The archive's first eight bytes.
extern const uint8_t kPAKMagic[8];
// Longest entry name; the reader takes 511 bytes at most and needs the NUL among them.
enum { ZQI_PAK_MAX_NAME = 510 };

struct PAKEntry {
    String name;          // as stored (letter case kept)
    uint32_t fourthWord;  // kept with the entry, never interpreted
    uint32_t offset;      // of the data, from the start of the archive
    uint32_t size;
    uint32_t time;  // modification time, seconds since 1970
};

struct PAKDirectory {
    std::vector<PAKEntry> entries;  // in archive order; the first of equal lowered names only
    std::unordered_map<String, size_t, ZQI_NameKeyHash, ZQI_NameKeyEqual> byLowerName;

    PAKDirectory();
    // The entry whose lowered name equals lowerName, or null.
    const PAKEntry* Find(const String& lowerName) const;
};

// A-Z lowered to a-z in place; other bytes unchanged.
void ZQI_LowerAsciiInPlace(String& text);

// Reads one entry name at the archive's position: up to 511 bytes, the name up to the first
// NUL; the archive is left just after that NUL. False when nothing could be read, or (with the
// warning "File System ReadPAK: PAK has a file with too long name.") when no NUL came.
bool ReadPAK(File* archive, String& name);

// Reads the header and the whole directory. False on a short read, a wrong magic, or a total
// size that differs from the archive's size; out is then left empty. An entry whose data would
// reach past the end of the archive is left out with a warning.
bool ZQI_ReadPAKDirectory(File* archive, PAKDirectory& out);

}  // namespace ZQFileSystem
