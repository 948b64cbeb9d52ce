// The text size the graphics API's measuring slots answer, and the check whether a font has a
// glyph for every character of a text.
#include <cstdlib>
#include <cstring>

#include "fonts/FontHold.h"
#include "fonts/FontServices.h"
#include "fonts/FontTable.h"
#include "fonts/TextLayout.h"
#include "foundation/TextUtils.h"

namespace {

bool IsBlank(uint32_t c) {
    return c == '\t' || c == '\n' || c == '\r' || c == ' ';
}

// Walks text (bytes or code points) and asks glyphOk of every character outside tags. An open
// tag ends the check with true.
template <typename Char, typename GlyphOk>
bool EveryCharacterRenders(const Char* text, bool skipTags, GlyphOk glyphOk) {
    for (size_t i = 0; text[i] != 0; ++i) {
        uint32_t c = static_cast<uint32_t>(text[i]);
        if (skipTags && c == '|') {
            if (text[i + 1] != '|') {
                while (text[++i] != '|') {
                    if (text[i] == 0) return true;
                }
                continue;
            }
            c = static_cast<uint32_t>(text[++i]);
        }
        if (IsBlank(c)) {
            continue;
        }
        if (!glyphOk(c)) {
            return false;
        }
    }
    return true;
}

}  // namespace

void ZQI_FONTS_GetTextSize(zq_font_t* font, char* text, float* width, float* height) {
    float w = 0.0f, h = 0.0f;
    FontReading reading(font);
    if (reading && text != nullptr && text[0] != '\0') {
        const ThreadTextSettings* settings = ZQI_GetThreadTextSettings();
        const float fs = font->scale;
        const float sx = settings->scaleX * fs;
        const float maxWidth = settings->maxLineWidth / sx;
        TextLines* lines = static_cast<TextLines*>(malloc(sizeof(TextLines)));
        int32_t count = 0;
        if (lines != nullptr) {
            if (font->utf8 != 0) {
                uint32_t* converted = ZQI_ConvertTextForLayout(text);
                if (converted != nullptr) {
                    count = LayoutTextLinesUTF32(font, maxWidth, converted, lines);
                    free(converted);
                }
            } else {
                count = LayoutTextLines(font, maxWidth, text, lines);
            }
        }
        if (count > 0) {
            float widest = 0.0f;
            for (int32_t i = 0; i < count; ++i) {
                if (lines->widths[i] > widest) widest = lines->widths[i];
            }
            bool justified = settings->justify != 0 && count >= 2 && settings->maxLineWidth < ZQI_TEXT_NO_WIDTH_LIMIT;
            w = sx * (justified ? maxWidth : widest);
            const float lineHeight = static_cast<float>(font->lineHeight);
            const float first = static_cast<float>(font->size) > lineHeight ? static_cast<float>(font->size) : lineHeight;
            const float extra = static_cast<float>(count - 1);
            h = (first + lineHeight * extra) / fs * (settings->scaleY * fs) + extra * settings->scaleY * settings->lineSpacing;
        }
        free(lines);
    }
    if (width != nullptr) *width = w;
    if (height != nullptr) *height = h;
}

bool ZQI_FONTS_CanRenderText(zq_font_t* font, const char* text) {
    // A font still loading has no glyphs to vouch for yet.
    FontReading reading(font);
    if (!reading) {
        return false;
    }
    if (text == nullptr) {
        return true;
    }
    if (font->utf8 == 0) {
        // Tags are skipped whether or not markup is off.
        return EveryCharacterRenders(reinterpret_cast<const unsigned char*>(text), true, [font](uint32_t c) {
            const FontGlyph* glyph = ZQI_FONTS_FindGlyph(font, c);
            return c <= 32 || (glyph != nullptr && glyph->bitmap.width != 0);
        });
    }
    uint32_t* converted = ZQI_ConvertUTF8ToUTF32(text, static_cast<int32_t>(strlen(text)));
    if (converted == nullptr) {
        return false;
    }
    bool markup = ZQI_GetThreadTextSettings()->markupDisabled == 0;
    bool ok = EveryCharacterRenders(converted, markup,
                                    [font](uint32_t c) { return ZQI_FONTS_FindGlyph(font, c) != nullptr; });
    free(converted);
    return ok;
}
