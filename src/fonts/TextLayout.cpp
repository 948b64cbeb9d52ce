// Measuring words and breaking texts into lines under a maximum width, for Latin-1 bytes and for
// UTF-32 code points. Line breaks are written into the text, so laying out allocates nothing.
#include <cstdlib>
#include <cstring>

#include "core/ApiTable.h"
#include "fonts/FontMessages.h"
#include "fonts/FontServices.h"
#include "fonts/TextLayout.h"
#include "foundation/TextUtils.h"

namespace {

const uint32_t kWideCharacters = 1536;  // code points above it may break anywhere
const float kMissingSpaceAdvanceUTF32 = 4.0f;

bool IsMarkupOn() {
    return ZQI_GetThreadTextSettings()->markupDisabled == 0;
}

// Pen state while measuring: width so far and the previous character for kerning.
struct Pen {
    float width;
    uint32_t previous;
};

void StepGlyph(zq_font_t* font, uint32_t c, float spacing, bool kerning, Pen& pen) {
    const FontGlyph* glyph = ZQI_FONTS_FindGlyph(font, c);
    if (glyph == nullptr) {
        return;
    }
    if (kerning && glyph->kerning != nullptr && pen.previous < FONT_KERNING_ROW) {
        pen.width += glyph->kerning[pen.previous];
    }
    pen.width += static_cast<float>(glyph->advance) + spacing;
    pen.previous = c;
}

// An image tag adds the image's width at the tag's scale (in font pixels).
void StepImageTag(zq_font_t* font, const char* tag, float spacing, Pen& pen) {
    float scale = 1.0f;
    zq_bitmap_t* bitmap = ParseMarkupTag(tag, nullptr, nullptr, &scale, nullptr, nullptr);
    if (bitmap != nullptr) {
        pen.width += static_cast<float>(bitmap->width) * (scale / font->scale) + spacing;
        pen.previous = 0;
    }
}

bool IsByteBreak(char c) {
    return c == '\t' || c == '\n' || c == '\r' || c == ' ';
}

// Copies the low bytes of a UTF-32 tag (at most 1023 code points) for the byte tag parser.
void CopyTagBytes(const uint32_t* tag, char* out, size_t size) {
    size_t i = 0;
    for (; tag[i] != 0 && i + 1 < size; ++i) {
        out[i] = static_cast<char>(tag[i] & 0xFF);
    }
    out[i] = '\0';
}

// The index of the tag's closing bar after an opening bar at text[open]; -1 when the text ends.
template <typename Char>
int64_t ClosingBar(const Char* text, int64_t open) {
    for (int64_t i = open + 1; text[i] != 0; ++i) {
        if (text[i] == '|') return i;
    }
    return -1;
}

float LineWidth(float width, float spacing) {
    return width > 0.0f ? width - spacing : 0.0f;
}

// The "|scale=v|" tag (deprecated) divides the remaining lines' maximum width by v.
void ApplyScaleTag(const char* tag, float* maxWidth) {
    if (ZQ_IsDeveloperMode()) {
        ZQI_FontPopup(1, "|scale=x| tag is deprecated. Remove all references to it.");
    }
    const char* value = strstr(tag, "scale=");
    if (value == nullptr) {
        return;
    }
    value += 6;
    char number[16];
    size_t length = 0;
    while (length < 15 && value[length] != '\0' && value[length] != '|') {
        number[length] = value[length];
        ++length;
    }
    number[length] = '\0';
    float v = static_cast<float>(atof(number));
    if (v != 0.0f) {  // a zero scale would divide by zero: ignored
        *maxWidth = static_cast<float>(static_cast<int32_t>(*maxWidth / v));
    }
}

}  // namespace

float MeasureWord(zq_font_t* font, const char* text, float spacing) {
    Pen pen = {0.0f, 0};
    bool markup = IsMarkupOn();
    for (int64_t i = 0; text[i] != '\0' && !IsByteBreak(text[i]); ++i) {
        if (markup && text[i] == '|' && text[i + 1] != '|') {
            if (text[i + 1] == 'i' || text[i + 1] == 'I') {
                StepImageTag(font, text + i + 1, spacing, pen);
            }
            i = ClosingBar(text, i);
            if (i < 0) break;
            continue;
        }
        if (markup && text[i] == '|') {
            ++i;  // "||" is one bar
        }
        StepGlyph(font, static_cast<unsigned char>(text[i]), spacing, true, pen);
    }
    return pen.width;
}

float MeasureWordUTF32(zq_font_t* font, const uint32_t* text, float spacing) {
    Pen pen = {0.0f, 0};
    bool markup = IsMarkupOn();
    char tag[1024];
    for (int64_t i = 0; text[i] != 0 && text[i] != '\t' && text[i] != '\n' && text[i] != '\r' && text[i] != ' ';
         ++i) {
        if (markup && text[i] == '|' && text[i + 1] != '|') {
            if (text[i + 1] == 'i' || text[i + 1] == 'I') {
                CopyTagBytes(text + i + 1, tag, sizeof(tag));
                StepImageTag(font, tag, spacing, pen);
            }
            i = ClosingBar(text, i);
            if (i < 0) break;
            continue;
        }
        if (markup && text[i] == '|') {
            ++i;
        }
        StepGlyph(font, text[i], spacing, false, pen);
        if (text[i] > kWideCharacters) {
            break;  // a wide character is a word of its own
        }
    }
    return pen.width;
}

int32_t LayoutTextLines(zq_font_t* font, float maxWidth, char* text, TextLines* lines) {
    const ThreadTextSettings* settings = ZQI_GetThreadTextSettings();
    const float s = settings->characterSpacing * settings->scaleX;
    const bool markup = settings->markupDisabled == 0;
    const FontGlyph* space = ZQI_FONTS_FindGlyph(font, ' ');
    const float spaceAdvance = space != nullptr ? static_cast<float>(space->advance) : 0.0f;
    int32_t count = 0;
    Pen pen = {0.0f, 0};
    lines->starts[0] = text;
    for (int64_t i = 0; text[i] != '\0'; ++i) {
        char c = text[i];
        if (IsByteBreak(c)) {
            float next = MeasureWord(font, text + i + 1, s);
            if (c == '\n' || pen.width + next + spaceAdvance >= maxWidth) {
                text[i] = '\0';
                lines->widths[count] = LineWidth(pen.width, s);
                if (++count == TEXT_MAX_LINES) {
                    return TEXT_MAX_LINES;
                }
                lines->starts[count] = text + i + 1;
                pen.width = 0.0f;
                if (c == '\n') pen.previous = 0;
                continue;
            }
            StepGlyph(font, static_cast<unsigned char>(c), s, true, pen);
            continue;
        }
        if (markup && c == '|' && text[i + 1] != '|') {
            char first = text[i + 1];
            if (first == 'i' || first == 'I') {
                StepImageTag(font, text + i + 1, s, pen);
            } else if (strncmp(text + i + 1, "scale", 5) == 0) {
                ApplyScaleTag(text + i + 1, &maxWidth);
            }
            i = ClosingBar(text, i);
            if (i < 0) break;
            continue;
        }
        if (markup && c == '|') {
            ++i;
        }
        StepGlyph(font, static_cast<unsigned char>(text[i]), s, true, pen);
    }
    lines->widths[count] = LineWidth(pen.width, s);
    return count + 1;
}

int32_t LayoutTextLinesUTF32(zq_font_t* font, float maxWidth, uint32_t* text, TextLines* lines) {
    const ThreadTextSettings* settings = ZQI_GetThreadTextSettings();
    const float s = settings->characterSpacing * settings->scaleX;
    const bool markup = settings->markupDisabled == 0;
    const FontGlyph* space = ZQI_FONTS_FindGlyph(font, ' ');
    const float spaceAdvance = space != nullptr ? static_cast<float>(space->advance) : kMissingSpaceAdvanceUTF32;
    char tag[1024];
    int32_t count = 0;
    Pen pen = {0.0f, 0};
    lines->starts[0] = text;
    for (int64_t i = 0; text[i] != 0; ++i) {
        uint32_t c = text[i];
        if (c == ' ' || c == '\n') {
            float next = MeasureWordUTF32(font, text + i + 1, s);
            if (c == '\n' || pen.width + next + spaceAdvance >= maxWidth) {
                text[i] = 0;
                lines->widths[count] = LineWidth(pen.width, s);
                if (++count == TEXT_MAX_LINES) {
                    return TEXT_MAX_LINES;
                }
                lines->starts[count] = text + i + 1;
                pen.width = 0.0f;
                pen.previous = 0;
                continue;
            }
            StepGlyph(font, c, s, false, pen);
            continue;
        }
        if (markup && c == '|' && text[i + 1] != '|') {
            if (text[i + 1] == 'i' || text[i + 1] == 'I') {
                CopyTagBytes(text + i + 1, tag, sizeof(tag));
                StepImageTag(font, tag, s, pen);
            }
            i = ClosingBar(text, i);
            if (i < 0) break;
            continue;
        }
        if (markup && c == '|') {
            c = text[++i];
        }
        const FontGlyph* glyph = ZQI_FONTS_FindGlyph(font, c);
        bool breakable = c > kWideCharacters && c != 0x3002 && c != 0xFF0C && c != '.' && c != ',';
        // Never before the first character of a line: the break would repeat forever.
        if (breakable && glyph != nullptr && text + i != lines->starts[count] &&
            pen.width + static_cast<float>(glyph->advance) >= maxWidth) {
            size_t rest = 0;
            while (text[i + rest] != 0) ++rest;
            memmove(text + i + 1, text + i, (rest + 1) * sizeof(uint32_t));
            text[i] = 0;
            lines->widths[count] = LineWidth(pen.width, s);
            if (++count == TEXT_MAX_LINES) {
                return TEXT_MAX_LINES;
            }
            lines->starts[count] = text + i + 1;
            pen.width = 0.0f;
            pen.previous = 0;
            continue;  // the next pass measures c as the new line's first character
        }
        StepGlyph(font, c, s, false, pen);
    }
    lines->widths[count] = LineWidth(pen.width, s);
    return count + 1;
}

uint32_t* ZQI_ConvertTextForLayout(const char* text) {
    size_t length = strlen(text);
    uint32_t* converted = ZQI_ConvertUTF8ToUTF32(text, static_cast<int32_t>(length));
    if (converted == nullptr) {
        return nullptr;
    }
    size_t count = 0;
    while (converted[count] != 0) ++count;
    uint32_t* roomy = static_cast<uint32_t*>(realloc(converted, (count + 1 + TEXT_MAX_LINES) * sizeof(uint32_t)));
    if (roomy == nullptr) {
        free(converted);
        return nullptr;
    }
    return roomy;
}
