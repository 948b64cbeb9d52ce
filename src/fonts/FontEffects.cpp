// Per-glyph spacing and colour effects of generated fonts, and the value readers of font sources.
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "data/DMRecords.h"
#include "fonts/FontGenerator.h"
#include "fonts/FontMessages.h"
#include "fonts/FontSource_local.h"

namespace {

struct Colour {
    float c[3];
};

// Three components separated by blanks, commas or semicolons; missing ones keep the default.
Colour ParseColour(const char* text, Colour fallback) {
    Colour colour = fallback;
    const char* p = text;
    for (int i = 0; i < 3 && p != nullptr && *p != '\0'; ++i) {
        while (*p == ' ' || *p == ',' || *p == ';') ++p;
        char* end = nullptr;
        float value = strtof(p, &end);
        if (end == p) {
            break;
        }
        colour.c[i] = value;
        p = end;
    }
    return colour;
}

// Large finite colours can still meet as infinity minus infinity in the gradient: NaN is 0.
uint8_t ToByte(float value) {
    float scaled = value * 255.0f;
    if (!(scaled > 0.0f)) {
        return 0;
    }
    return static_cast<uint8_t>(scaled > 255.0f ? 255.0f : scaled);
}

const Colour kDefaultTop = {{1.0f, 0.0f, 0.0f}};
const Colour kDefaultBottom = {{0.0f, 0.0f, 1.0f}};

const char* FontName(const zq_font_t* font) {
    return font->name != nullptr ? font->name : "";
}

}  // namespace

int16_t ZQI_SaturateToInt16(float value) {
    if (!(value > -32768.0f)) {
        return value < 0.0f ? static_cast<int16_t>(-32768) : 0;
    }
    return static_cast<int16_t>(value < 32767.0f ? value : 32767.0f);
}

bool ZQI_FontEffectsAreValid(const DMArray* effects) {
    for (int32_t i = 0; effects != nullptr && i < effects->nodes.count; ++i) {
        const DMNode* node = effects->nodes[i];
        const Colour colours[2] = {ParseColour(node->GetValue("color_top"), kDefaultTop),
                                   ParseColour(node->GetValue("color_bottom"), kDefaultBottom)};
        for (const Colour& colour : colours) {
            for (float component : colour.c) {
                if (!std::isfinite(component)) return false;
            }
        }
    }
    return true;
}

const char* ZQI_FontSetting(const DMArray* settings, const char* nodeId, const char* key) {
    const DMNode* node = settings != nullptr ? settings->GetNode(nodeId) : nullptr;
    return node != nullptr ? node->GetValue(key) : nullptr;
}

bool ZQI_ParseFontScale(const char* text, float* out) {
    if (text == nullptr) {
        return false;
    }
    char cleaned[64];
    size_t length = 0;
    for (const char* p = text; *p != '\0' && length < sizeof(cleaned) - 1; ++p) {
        if (*p != 'x' && *p != 'X') cleaned[length++] = *p;
    }
    cleaned[length] = '\0';
    char* end = nullptr;
    float value = strtof(cleaned, &end);
    if (end == cleaned) {
        return false;
    }
    const char* slash = strchr(end, '/');
    if (slash != nullptr) {
        char* denominatorEnd = nullptr;
        float denominator = strtof(slash + 1, &denominatorEnd);
        if (denominatorEnd == slash + 1 || denominator == 0.0f) {
            return false;
        }
        value /= denominator;
    }
    *out = value;
    return true;
}

float ZQI_NodeFloat(const DMNode* node, const char* key, float fallback) {
    const char* value = node != nullptr ? node->GetValue(key) : nullptr;
    if (value == nullptr) {
        return fallback;
    }
    char* end = nullptr;
    float parsed = strtof(value, &end);
    return end != value ? parsed : fallback;
}

int32_t ZQI_NodeInt(const DMNode* node, const char* key, int32_t fallback) {
    const char* value = node != nullptr ? node->GetValue(key) : nullptr;
    if (value == nullptr) {
        return fallback;
    }
    char* end = nullptr;
    long parsed = strtol(value, &end, 10);
    return end != value ? static_cast<int32_t>(parsed) : fallback;
}

bool ApplyGlyphSpacing(zq_font_t* font, const DMArray* glyphs, float spacing) {
    if (font == nullptr || glyphs == nullptr) {
        return false;
    }
    for (int32_t i = 0; i < glyphs->nodes.count; ++i) {
        const DMNode* node = glyphs->nodes[i];
        if (node->GetValue("id") == nullptr) {
            ZQI_FontPopup(1, "No id defined for glyph #%d in font '%s'", i, FontName(font));
            continue;
        }
        FontGlyph* glyph = ZQI_FONTS_FindGlyph(font, static_cast<uint32_t>(ZQI_NodeInt(node, "id", 0)));
        if (glyph == nullptr) {
            continue;
        }
        float s = ZQI_NodeFloat(node, "spacing", 0.0f) + spacing;
        int32_t a = static_cast<int32_t>(ZQI_SaturateToInt16(s + 0.6f));
        if (s >= 1.0f && a < 1) {
            a = 1;
        }
        if (node->GetValue("span") != nullptr && ZQI_NodeInt(node, "span", 1) == 0) {
            glyph->advance = ZQI_SaturateToInt16(static_cast<float>(a));
            glyph->xOffset = 0;
        } else {
            glyph->advance = ZQI_SaturateToInt16(static_cast<float>(glyph->advance + a));
        }
    }
    return true;
}

void ApplyFontEffects(zq_font_t* font, const DMArray* effects) {
    if (font == nullptr || effects == nullptr || font->glyphs == nullptr || font->size == 0) {
        return;
    }
    for (const DMNode* node : effects->nodes) {
        Colour top = ParseColour(node->GetValue("color_top"), kDefaultTop);
        Colour bottom = ParseColour(node->GetValue("color_bottom"), kDefaultBottom);
        for (FontGlyphNode* entry : font->glyphs->order) {
            zq_bitmap_t& bitmap = entry->glyph.bitmap;
            if (bitmap.pixels == nullptr) {
                continue;
            }
            for (int32_t row = 0; row < bitmap.height; ++row) {
                float t = (static_cast<float>(row) + entry->glyph.yOffset) / static_cast<float>(font->size);
                uint8_t value[3];
                for (int c = 0; c < 3; ++c) {
                    value[c] = ToByte((1.0f - t) * bottom.c[c] + t * top.c[c]);
                }
                uint8_t* pixel = bitmap.pixels + static_cast<size_t>(row) * bitmap.width * 4;
                for (int32_t x = 0; x < bitmap.width; ++x, pixel += 4) {
                    pixel[2] = value[0];
                    pixel[1] = value[1];
                    pixel[0] = value[2];
                }
            }
        }
    }
}
