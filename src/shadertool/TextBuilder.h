// A growable character buffer for building long texts (normalised sources, preprocessor output)
// in amortised linear time; String::Append makes a new exact-size block on every call.
#pragma once

#include <cstdint>
#include <cstring>

#include "foundation/Array.h"
#include "foundation/Compiler.h"
#include "foundation/String.h"

namespace ShaderTool {

class TextBuilder {
public:
    TextBuilder() {}
    TextBuilder(const TextBuilder&) = delete;
    TextBuilder& operator=(const TextBuilder&) = delete;

    void Append(const char* text, int32_t count) {
        if (count <= 0) {
            return;
        }
        if (!Reserve(count)) {
            return;
        }
        memcpy(characters.data + characters.count, text, static_cast<size_t>(count));
        characters.count += count;
    }
    void Append(const char* text) { Append(text, text ? static_cast<int32_t>(strlen(text)) : 0); }
    void AppendChar(char c) {
        if (c != '\0') {
            Append(&c, 1);
        }
    }
    // printf-style; out of line, so that its formatting buffer never sits in a caller's frame.
    void AppendFormat(const char* format, ...) ZQ_PRINTF_LIKE(2, 3);

    int32_t Length() const { return characters.count; }
    void Clear() { characters.Clear(); }

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
        int64_t needed = static_cast<int64_t>(characters.count) + extra + 1;
        if (needed > INT32_MAX) {
            return false;
        }
        if (needed > characters.capacity) {
            int64_t grown = static_cast<int64_t>(characters.capacity) * 2;
            if (grown < needed) {
                grown = needed;
            }
            if (grown < 256) {
                grown = 256;
            }
            if (grown > INT32_MAX) {
                grown = needed;
            }
            characters.Reserve(static_cast<int32_t>(grown));
        }
        return characters.capacity >= needed;
    }

    Array<char> characters;
};

}  // namespace ShaderTool
