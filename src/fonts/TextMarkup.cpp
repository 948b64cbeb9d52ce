// Markup tags: "|#ff8000|", "|img src='icon' scale=2|", "|shader='glow'|" and the like. Keys are
// searched in the whole rest of the text after the opening bar, so the first occurrence counts
// even when it lies in a later tag.
#include <cstdlib>
#include <cstring>

#include "fonts/FontServices.h"
#include "fonts/TextLayout.h"

namespace {

const float kDegreesToRadians = 3.14159265358979f / 180.0f;

// Copies the value after key: up to the closing quote when quoted (or always, with quoted),
// else up to the next space. False when the value does not fit the buffer or a quote is missing.
bool CopyValue(const char* value, bool quoted, char* out) {
    bool inQuotes = quoted || value[0] == '\'';
    if (!quoted && inQuotes) {
        ++value;
    }
    const char* end = inQuotes ? strchr(value, '\'') : strchr(value, ' ');
    size_t length = end != nullptr ? static_cast<size_t>(end - value) : strlen(value);
    if (inQuotes && end == nullptr) {
        return false;
    }
    if (length >= TEXT_TAG_BUFFER) {
        return false;
    }
    memcpy(out, value, length);
    out[length] = '\0';
    return true;
}

// The key's value when the key occurs before any bar (for keys that must lie in this tag).
const char* FindKey(const char* tag, const char* key, bool withinTag) {
    const char* hit = strstr(tag, key);
    if (hit == nullptr) {
        return nullptr;
    }
    if (withinTag) {
        const char* bar = strchr(tag, '|');
        if (bar != nullptr && bar < hit) {
            return nullptr;
        }
    }
    return hit + strlen(key);
}

bool IsHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

void ParseColourKey(const char* value, float colour[4]) {
    if (*value == '#') {
        ++value;
    }
    int digits = 0;
    while (digits < 9 && IsHexDigit(value[digits])) ++digits;
    if ((digits != 6 && digits != 8) || value[digits] != ' ') {
        return;  // not ended by a space: the key is ignored
    }
    for (int i = 0; i < digits / 2; ++i) {
        colour[i] = static_cast<float>(HexPairToInt(value[i * 2], value[i * 2 + 1])) / 255.0f;
    }
}

}  // namespace

int32_t HexPairToInt(char a, char b) {
    auto digit = [](char c) -> int32_t {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return 0;
    };
    return digit(a) * 16 + digit(b);
}

zq_bitmap_t* ParseMarkupTag(const char* tag, int32_t* offset, float* angle, float* scale, float colour[4],
                            zq_shader_t** shader) {
    const FontGraphicsHooks& hooks = ZQI_GetFontGraphicsHooks();
    char value[TEXT_TAG_BUFFER];
    const char* key;
    if (scale != nullptr) {
        *scale = 1.0f;
        if ((key = FindKey(tag, "scale=", false)) != nullptr && CopyValue(key, false, value)) {
            *scale = static_cast<float>(atof(value));
        }
    }
    if (angle != nullptr) {
        *angle = 0.0f;
        if ((key = FindKey(tag, "angle=", false)) != nullptr && CopyValue(key, false, value)) {
            *angle = static_cast<float>(atof(value)) * kDegreesToRadians;
        }
    }
    if (offset != nullptr) {
        *offset = 0;
        if ((key = FindKey(tag, "offset=", false)) != nullptr && CopyValue(key, false, value)) {
            *offset = atoi(value);
        }
    }
    if (colour != nullptr) {
        if (hooks.getCurrentColor != nullptr) {
            hooks.getCurrentColor(colour);
        } else {
            colour[0] = colour[1] = colour[2] = colour[3] = 1.0f;
        }
        if ((key = FindKey(tag, "color=", false)) != nullptr) {
            ParseColourKey(key, colour);
        }
    }
    if (shader != nullptr) {
        *shader = nullptr;
        if ((key = FindKey(tag, "shader='", true)) != nullptr && CopyValue(key, true, value) &&
            strcmp(value, "NULL") != 0 && hooks.getShader != nullptr) {
            *shader = hooks.getShader(value);
        }
    }
    if (strncmp(tag, "img", 3) != 0) {
        return nullptr;
    }
    if ((key = FindKey(tag, "src='", true)) == nullptr || !CopyValue(key, true, value) || hooks.getBitmap == nullptr) {
        return nullptr;
    }
    return hooks.getBitmap(value);
}
