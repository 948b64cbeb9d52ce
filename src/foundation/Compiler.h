// Compiler helpers shared by every subsystem: printf-format checking and the C99 vsnprintf.
// Must not pull in anything beyond the C runtime.
#pragma once

#include <cstdarg>
#include <cstddef>

// Marks a printf-style function so the compiler checks every call's format against its arguments.
// mingw-w64: the engine formats with the C99 implementation (__mingw_vsnprintf), so the GNU
// archetype is the right one, not the default ms_printf one.
#if defined(__MINGW32__)
#define ZQ_PRINTF_LIKE(formatIndex, firstArgIndex) \
    __attribute__((format(gnu_printf, formatIndex, firstArgIndex)))
#elif defined(__GNUC__)
#define ZQ_PRINTF_LIKE(formatIndex, firstArgIndex) __attribute__((format(printf, formatIndex, firstArgIndex)))
#else
#define ZQ_PRINTF_LIKE(formatIndex, firstArgIndex)
#endif

// vsnprintf with standard C99 semantics on every target: returns the full length the text needs
// (not counting the NUL), or a negative value on a formatting error. msvcrt's own vsnprintf
// returns -1 when the text is cut, which would break the 4096-byte fallback.
int ZQI_VSNPrintf(char* buffer, size_t size, const char* format, va_list args);
