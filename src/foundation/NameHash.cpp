// The engine's name hash (see NameHash.h).
#include "foundation/NameHash.h"

#include <cstring>

uint32_t ZQI_HashName(const char* text) {
    return text != nullptr ? ZQI_HashNameN(text, strlen(text)) : 0;
}

// Four bytes per step: h * 37^4 + b0 * 37^3 + b1 * 37^2 + b2 * 37 + b3 is four single steps, but
// only its first product waits for the previous h, where one byte at a time waits on every
// byte. Loaders hash every key and id they read.
uint32_t ZQI_HashNameN(const char* text, size_t length) {
    uint32_t h = 0;
    if (text == nullptr) {
        return h;
    }
    const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
    size_t i = 0;
    for (; i + 4 <= length; i += 4) {
        h = h * (37u * 37u * 37u * 37u) + p[i] * (37u * 37u * 37u) + p[i + 1] * (37u * 37u) + p[i + 2] * 37u +
            p[i + 3];
    }
    for (; i < length; ++i) {
        h = h * 37u + p[i];
    }
    return h;
}
