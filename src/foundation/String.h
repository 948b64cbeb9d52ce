// String: the engine's own text class. A small value type with a 16-byte inline
// buffer for short texts and an exactly sized heap block for longer ones; no sharing of storage,
// no virtual functions, no exceptions. Also the formatting routine every subsystem shares.
#pragma once

#include <cstdarg>
#include <cstdint>

#include "foundation/Compiler.h"

// Size of the caller-provided buffer of ZQI_FormatToBuffer (a stack buffer in every caller).
enum { ZQI_FORMAT_BUFFER_SIZE = 4096 };

// Formats into buffer (ZQI_FORMAT_BUFFER_SIZE bytes) with C99 snprintf semantics. Returns buffer
// when the text has at most 4095 characters (or "" after a formatting error); otherwise a heap
// block (malloc) holding the whole text, which the caller frees when the pointer != buffer.
char* ZQI_FormatToBuffer(char* buffer, const char* format, va_list args);

// Heap copy (malloc) of exactly strlen + 1 bytes; null counts as "". Null only when out of memory.
char* ZQI_DuplicateString(const char* text);

class String {
public:
    // Fields in declared order; public because records across the engine read them.
    char* data;             // null means empty; else inlineBuffer or an owned heap block
    char inlineBuffer[16];  // texts of up to 14 characters
    int32_t capacity;       // 15 while inline; the text length for a heap block; 0 when new
    int32_t length;         // characters of the text as last assigned or appended

    String();                                // data null, capacity 0, length 0
    String(const char* text);                // empty construction, then Assign(text)
    String(const String& other);             // empty construction, then Assign(other.data)
    ~String();                               // frees a heap block, never the inline buffer
    String& operator=(const String& other);  // Assign(other.data)
    String& operator=(const char* text);     // Assign(text)

    // Replaces the text. Null empties the string (data null, length 0). Texts of up to 14
    // characters go inline; a text not longer than the current one and shorter by less than
    // 256 characters reuses the current storage; a pointer into the own text is safe.
    void Assign(const char* text);
    // Appends the text (null: nothing). With data null it is Assign; otherwise it always makes a
    // new heap block of exactly the new length, so appending the own text is safe.
    void Append(const char* text);
    // Appends one character; NUL does nothing.
    void AppendChar(char c);
    // printf-style: formats through ZQI_FormatToBuffer, then Append / Assign.
    void AppendFormat(const char* format, ...) ZQ_PRINTF_LIKE(2, 3);
    void AppendFormatV(const char* format, va_list args);
    void Format(const char* format, ...) ZQ_PRINTF_LIKE(2, 3);
    void FormatV(const char* format, va_list args);
    static String FromFormat(const char* format, ...) ZQ_PRINTF_LIKE(1, 2);

    // A copy of this string followed by text.
    String operator+(const char* text) const;

    // True when data is null or its first character is NUL.
    bool IsEmpty() const;
    // Characters before the NUL (0 when data is null); does not read the length field.
    int32_t Length() const;
    // Replaces every occurrence of search by replacement, left to right (ZQI_ReplaceAll).
    void Replace(const char* search, const char* replacement);
    // Text from start (0 or more) with at most count characters; a negative count or one past
    // the end keeps the whole rest; start at or past the end gives an empty string (data null).
    String Substring(int32_t start, int32_t count) const;

    // Convenience for callers: the text, or "" when data is null.
    const char* CStr() const { return data ? data : ""; }
    // Exact, case-sensitive comparison with a C string; an empty string equals null and "".
    bool Equals(const char* text) const;

private:
    bool OwnsHeapBlock() const { return data != nullptr && data != inlineBuffer; }
};
