// Text utilities (see TextUtils.h).
#include "foundation/TextUtils.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "foundation/FoundationHooks.h"
#include "foundation/String.h"

namespace {

// Copies [begin, end) with a NUL into out when it fits in outSize bytes.
char* CopyField(char* out, int32_t outSize, const char* begin, const char* end) {
    size_t length = static_cast<size_t>(end - begin);
    if (outSize < 1 || length + 1 > static_cast<size_t>(outSize)) {
        return nullptr;
    }
    memcpy(out, begin, length);
    out[length] = '\0';
    return out;
}

bool IsWordDelimiter(char c) {
    return c == ' ' || c == ',' || c == ';';
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return 0;
}

float HexByte(const char* two) {
    return static_cast<float>(HexDigit(two[0]) * 16 + HexDigit(two[1])) * 0.003921569f;
}

}  // namespace

char* ZQI_GetField(char* out, int32_t outSize, const char* text, const char* separator, int32_t index) {
    if (text == nullptr || separator == nullptr) {
        return nullptr;
    }
    size_t separatorLength = strlen(separator);
    const char* start = text;
    const char* next = strstr(start, separator);
    for (int32_t i = 0; i < index; ++i) {
        if (next == nullptr) {
            return nullptr;
        }
        start = next + separatorLength;
        if (*start == '\0') {
            return CopyField(out, outSize, start, start);  // "" after a trailing separator
        }
        next = strstr(start, separator);
    }
    const char* end = next != nullptr ? next : start + strlen(start);
    return CopyField(out, outSize, start, end);
}

char* ZQI_GetFieldByChar(char* out, int32_t /*outSize*/, const char* text, char separator, int32_t index) {
    const int32_t kSize = 512;  // the size argument is ignored by definition
    if (text == nullptr || separator == '\0') {
        return nullptr;
    }
    const char* start = text;
    const char* next = strchr(start, separator);
    for (int32_t i = 0; i < index; ++i) {
        if (next == nullptr) {
            return nullptr;
        }
        start = next + 1;
        if (*start == '\0') {
            return CopyField(out, kSize, start, start);
        }
        next = strchr(start, separator);
    }
    const char* end = next != nullptr ? next : start + strlen(start);
    return CopyField(out, kSize, start, end);
}

const char* ZQI_CutField(const char* text, char separator, int32_t index, char* out, size_t size) {
    out[0] = '\0';
    const char stops[2] = {separator, '\0'};
    const char* start = text;
    for (int32_t i = 0; i < index && start != nullptr; ++i) {
        start = strchr(start, separator);
        start = start != nullptr ? start + 1 : nullptr;
    }
    if (start != nullptr) {
        size_t length = strcspn(start, stops);
        snprintf(out, size, "%.*s", static_cast<int>(length < size ? length : size - 1), start);
    }
    return out;
}

bool ZQI_ListContainsWord(const char* list, const char* word) {
    if (list == nullptr || word == nullptr || word[0] == '\0') {
        return false;
    }
    size_t wordLength = strlen(word);
    for (const char* hit = strstr(list, word); hit != nullptr; hit = strstr(hit + 1, word)) {
        bool startOk = hit == list || IsWordDelimiter(hit[-1]);
        char after = hit[wordLength];
        bool endOk = after == '\0' || IsWordDelimiter(after);
        if (startOk && endOk) {
            return true;
        }
    }
    return false;
}

int32_t ZQI_CountFields(const char* text, const char* separator) {
    if (text == nullptr || separator == nullptr || text[0] == '\0') {
        return 0;
    }
    size_t separatorLength = strlen(separator);
    if (separatorLength == 0) {
        return 1;
    }
    int32_t fields = 1;
    for (const char* hit = strstr(text, separator); hit != nullptr;
         hit = strstr(hit + separatorLength, separator)) {
        ++fields;
    }
    return fields;
}

char* ZQI_ReplaceAll(const char* text, const char* search, const char* replacement, char* out,
                     int32_t outSize) {
    if (text == nullptr || out == nullptr || outSize < 1) {
        return nullptr;
    }
    size_t length = strlen(text);
    if (length + 1 > static_cast<size_t>(outSize)) {
        return out;
    }
    memmove(out, text, length + 1);
    if (search == nullptr || search[0] == '\0') {
        return out;
    }
    if (replacement == nullptr) {
        replacement = "";
    }
    size_t searchLength = strlen(search);
    size_t replacementLength = strlen(replacement);
    size_t position = 0;
    for (char* hit = strstr(out + position, search); hit != nullptr; hit = strstr(out + position, search)) {
        size_t newLength = length - searchLength + replacementLength;
        if (replacementLength > searchLength && newLength + 1 > static_cast<size_t>(outSize)) {
            break;  // would not fit: keep the replacements made so far
        }
        size_t offset = static_cast<size_t>(hit - out);
        // Move the tail (with its NUL) into place, then drop the replacement in.
        memmove(hit + replacementLength, hit + searchLength, length - offset - searchLength + 1);
        memcpy(hit, replacement, replacementLength);
        length = newLength;
        position = offset + replacementLength;
    }
    return out;
}

bool ZQI_StartsWith(const char* text, const char* prefix) {
    return text != nullptr && prefix != nullptr && strncmp(text, prefix, strlen(prefix)) == 0;
}

bool ZQI_EndsWith(const char* text, const char* suffix) {
    if (text == nullptr || suffix == nullptr) {
        return false;
    }
    size_t textLength = strlen(text);
    size_t suffixLength = strlen(suffix);
    if (suffixLength > textLength) {
        return false;
    }
    return memcmp(text + textLength - suffixLength, suffix, suffixLength) == 0;
}

char* ZQI_DuplicateText(const char* text) {
    return text != nullptr ? ZQI_DuplicateString(text) : nullptr;
}

bool ZQI_EqualsIgnoreCase(const char* a, const char* b) {
    if (a == nullptr || b == nullptr) {
        return false;
    }
    for (;; ++a, ++b) {
        char ca = (*a >= 'A' && *a <= 'Z') ? static_cast<char>(*a - 'A' + 'a') : *a;
        char cb = (*b >= 'A' && *b <= 'Z') ? static_cast<char>(*b - 'A' + 'a') : *b;
        if (ca != cb) {
            return false;
        }
        if (ca == '\0') {
            return true;
        }
    }
}

void ZQI_ParseHexColor(float colour[4], const char* text) {
    if (text == nullptr || text[0] == '\0') {
        return;
    }
    if (text[0] == '#') {
        ++text;
    }
    size_t length = strlen(text);
    if (length < 6) {
        return;
    }
    colour[0] = HexByte(text);
    colour[1] = HexByte(text + 2);
    colour[2] = HexByte(text + 4);
    colour[3] = length >= 8 ? HexByte(text + 6) : 1.0f;
}

uint32_t* ZQI_ConvertUTF8ToUTF32(const char* text, int32_t byteLength) {
    if (byteLength < 0) {
        byteLength = 0;
    }
    uint32_t* result =
        static_cast<uint32_t*>(malloc((static_cast<size_t>(byteLength) + 1) * sizeof(uint32_t)));
    if (result == nullptr) {
        String message = String::FromFormat("Error converting '%s' to utf-32.", text != nullptr ? text : "");
        ZQI_GetErrorReportSink().popup(2, message.CStr());
        return nullptr;
    }
    int32_t written = 0;
    if (text != nullptr) {
        // Never read past byteLength, so the result cannot overflow even if the caller's
        // length is short of the real one.
        const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
        const unsigned char* end = p + byteLength;
        while (p < end && *p != 0) {
            unsigned char lead = *p;
            int following;
            uint32_t value;
            if ((lead & 0xF8) == 0xF0) {
                following = 3;
                value = lead & 0x07;
            } else if ((lead & 0xF0) == 0xE0) {
                following = 2;
                value = lead & 0x0F;
            } else if ((lead & 0xE0) == 0xC0) {
                following = 1;
                value = lead & 0x1F;
            } else {
                result[written++] = lead;  // ASCII, lone continuation byte, 0xF8..0xFF
                ++p;
                continue;
            }
            ++p;
            bool cut = false;
            for (int i = 0; i < following; ++i) {
                if (p >= end || *p == 0) {
                    cut = true;
                    break;
                }
                value = value * 64 + (*p ^ 0x80u);
                ++p;
            }
            if (cut) {
                break;  // a sequence cut short by the NUL ends the conversion
            }
            result[written++] = value;
        }
    }
    result[written] = 0;
    return result;
}
