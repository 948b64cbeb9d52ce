// Fuzz target: a PAK archive's header and directory read from arbitrary bytes, then every entry
// looked up again by its lowered name and matched against its own name as a pattern. No entry
// kept may claim data beyond the archive's end.
#include <cstddef>
#include <cstdint>

#include "filesystem/MemoryFile.h"
#include "filesystem/PAKDirectory.h"
#include "filesystem/Wildcard.h"

using namespace ZQFileSystem;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    MemoryFile archive(SCHEME_RES);
    if (!archive.SetData(data, size, true)) {
        return 0;
    }
    PAKDirectory directory;
    if (!ZQI_ReadPAKDirectory(&archive, directory)) {
        return 0;
    }
    for (const PAKEntry& entry : directory.entries) {
        String lower = entry.name;
        ZQI_LowerAsciiInPlace(lower);
        if (directory.Find(lower) == nullptr) {
            __builtin_trap();  // every entry kept must be found again
        }
        if (static_cast<uint64_t>(entry.offset) + entry.size > archive.size) {
            __builtin_trap();
        }
        ZQI_MatchWildcard(entry.name.CStr(), lower.CStr());
    }
    return 0;
}
