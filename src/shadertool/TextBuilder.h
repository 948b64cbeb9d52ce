// A growable character buffer for building long texts (normalised sources, preprocessor output)
// in amortised linear time; String::Append makes a new exact-size block on every call. A text
// never grows past its length limit: an append that would pass it is refused whole, and the
// builder remembers that it overflowed, so no caller can lose text without being able to tell.
#pragma once

#include <cstdint>
#include <cstring>

#include "foundation/Array.h"
#include "foundation/Compiler.h"
#include "foundation/String.h"

namespace ShaderTool {

// The capacity to grow to when `needed` characters (the NUL included) do not fit into
// `capacity`: at least 256, doubling, and capped at the largest block an Array can hold, so the
// copying stays linear up to the last doubling. 0 when `needed` itself is beyond that.
inline int32_t TextBuilderGrownCapacity(int32_t capacity, int64_t needed) {
    if (needed > INT32_MAX) {
        return 0;
    }
    int64_t grown = static_cast<int64_t>(capacity) * 2;
    if (grown < needed) {
        grown = needed;
    }
    if (grown < 256) {
        grown = 256;
    }
    return static_cast<int32_t>(grown > INT32_MAX ? INT32_MAX : grown);
}

class TextBuilder {
public:
    // The longest text any builder holds: its block (text and NUL) fits an Array's capacity.
    static const int32_t kMaxLength = INT32_MAX - 1;

    TextBuilder() : maxLength_(kMaxLength), overflowed_(false) {}
    TextBuilder(const TextBuilder&) = delete;
    TextBuilder& operator=(const TextBuilder&) = delete;

    // Appends count characters; false (nothing appended, overflowed set) when the text would
    // then be longer than the limit or the memory cannot be had.
    bool Append(const char* text, int32_t count) {
        if (count <= 0) {
            return true;
        }
        if (static_cast<int64_t>(characters.count) + count > maxLength_ || !Reserve(count)) {
            overflowed_ = true;
            return false;
        }
        memcpy(characters.data + characters.count, text, static_cast<size_t>(count));
        characters.count += count;
        return true;
    }
    bool Append(const char* text) {
        const size_t length = text != nullptr ? strlen(text) : 0;
        if (length > static_cast<size_t>(INT32_MAX)) {
            overflowed_ = true;
            return false;
        }
        return Append(text, static_cast<int32_t>(length));
    }
    bool AppendChar(char c) { return c == '\0' || Append(&c, 1); }
    // printf-style; out of line, so that its formatting buffer never sits in a caller's frame.
    void AppendFormat(const char* format, ...) ZQ_PRINTF_LIKE(2, 3);

    int32_t Length() const { return characters.count; }
    // Empties the text and forgets an overflow; the limit stays.
    void Clear() {
        characters.Clear();
        overflowed_ = false;
    }
    // A lower limit for this builder's text (at most kMaxLength); the text so far is kept.
    void SetMaxLength(int32_t maxLength) {
        maxLength_ = maxLength < 0 ? 0 : (maxLength > kMaxLength ? kMaxLength : maxLength);
    }
    // Whether an append was refused since the last Clear.
    bool Overflowed() const { return overflowed_; }

    // The text so far as a NUL-terminated C string (valid until the next append).
    const char* CStr() {
        if (!Reserve(0)) {
            return "";
        }
        characters.data[characters.count] = '\0';
        return characters.data;
    }

    // Moves the text into a String.
    void CopyTo(String& target) { target.Assign(CStr()); }

private:
    // Room for `extra` more characters and a terminating NUL.
    bool Reserve(int32_t extra) {
        const int64_t needed = static_cast<int64_t>(characters.count) + extra + 1;
        if (needed > characters.capacity) {
            const int32_t grown = TextBuilderGrownCapacity(characters.capacity, needed);
            if (grown == 0) {
                return false;
            }
            characters.Reserve(grown);
        }
        return characters.capacity >= needed;
    }

    Array<char> characters;
    int32_t maxLength_;
    bool overflowed_;
};

}  // namespace ShaderTool
