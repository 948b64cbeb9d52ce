// The engine's name hash (see NameHash.h).
#include "foundation/NameHash.h"

uint32_t ZQI_HashName(const char* text) {
    uint32_t h = 0;
    if (text != nullptr) {
        for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; ++p) {
            h = h * 37u + *p;
        }
    }
    return h;
}

uint32_t ZQI_HashNameN(const char* text, size_t length) {
    uint32_t h = 0;
    if (text != nullptr) {
        const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
        for (size_t i = 0; i < length; ++i) {
            h = h * 37u + p[i];
        }
    }
    return h;
}
