// Hashing and comparison of String keys for the file systems' hash maps (archive directories,
// memory files), with the engine's one name hash.
#pragma once

#include <cstddef>
#include <cstring>

#include "foundation/NameHash.h"
#include "foundation/String.h"

struct ZQI_NameKeyHash {
    size_t operator()(const String& key) const { return ZQI_HashName(key.CStr()); }
};

struct ZQI_NameKeyEqual {
    bool operator()(const String& a, const String& b) const {
        return a.Length() == b.Length() && strcmp(a.CStr(), b.CStr()) == 0;
    }
};

// The maps start with this many buckets and grow past a load factor of 1.0.
enum { ZQI_NAME_MAP_INITIAL_BUCKETS = 8 };
