// The C99 vsnprintf of every target (see Compiler.h).
#include "foundation/Compiler.h"

#include <cstdio>

int ZQI_VSNPrintf(char* buffer, size_t size, const char* format, va_list args) {
#if defined(__MINGW32__)
    // mingw-w64's C99 implementation; msvcrt's returns -1 for a cut text.
    return __mingw_vsnprintf(buffer, size, format, args);
#else
    return vsnprintf(buffer, size, format, args);
#endif
}
