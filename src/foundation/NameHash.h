// The one name hash of the engine: h = h * 37 + byte over the bytes (unsigned), starting at 0,
// in 32-bit arithmetic with wrap-around. Resource tables, data manager records, PAK and memory
// file-system maps and atlas names all use it; lookups compare the hash first, the text second.
#pragma once

#include <cstddef>
#include <cstdint>

// Hash of a NUL-terminated text; null and "" hash to 0.
uint32_t ZQI_HashName(const char* text);
// Hash of the first length bytes of text (which need not be NUL-terminated).
uint32_t ZQI_HashNameN(const char* text, size_t length);
