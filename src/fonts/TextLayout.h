// Text markup (tags between bars: colour, image, shader ...), measuring words, breaking texts
// into lines, the text size and the render check. Each operation has a byte form for Latin-1
// fonts and a UTF-32 form for UTF-8 fonts; only the byte form applies kerning.
#pragma once

#include <cstdint>

#include "fonts/Font.h"

enum { TEXT_MAX_LINES = 1024, TEXT_TAG_BUFFER = 512 };

struct TextLines {
    void* starts[TEXT_MAX_LINES];  // char* (byte form) or uint32_t* (UTF-32 form) into the text
    float widths[TEXT_MAX_LINES];  // in font pixels
};

// Parses the tag text after an opening bar. Outputs that are given get their defaults first
// (offset 0, angle 0, scale 1, the current colour, no shader), then the keys found. Returns the
// bitmap of an "img" tag with "src='", else null.
zq_bitmap_t* ParseMarkupTag(const char* tag, int32_t* offset, float* angle, float* scale, float colour[4],
                            zq_shader_t** shader);
// Two hexadecimal digits (either case; other characters count as 0) as 0..255.
int32_t HexPairToInt(char a, char b);

// Width of the word starting at text (up to tab, new line, carriage return, space or the end).
float MeasureWord(zq_font_t* font, const char* text, float spacing);
float MeasureWordUTF32(zq_font_t* font, const uint32_t* text, float spacing);
// Breaks the writable text into lines in place (breaks are overwritten with 0); returns the
// line count (1..1024). The UTF-32 form may insert breaks before wide characters: the text must
// have room for 1024 more code points.
int32_t LayoutTextLines(zq_font_t* font, float maxWidth, char* text, TextLines* lines);
int32_t LayoutTextLinesUTF32(zq_font_t* font, float maxWidth, uint32_t* text, TextLines* lines);
// UTF-8 to a 0-terminated UTF-32 copy with room for 1024 more code points (malloc'd; null when
// out of memory).
uint32_t* ZQI_ConvertTextForLayout(const char* text);

// The size in screen pixels of the laid-out text under the calling thread's text settings;
// 0 x 0 for no font, a font still loading, or no text. A Latin-1 text is laid out in place.
void ZQI_FONTS_GetTextSize(zq_font_t* font, char* text, float* width, float* height);
// Whether every character outside markup tags has a glyph (with pixels, for Latin-1 fonts);
// false for no font or a font still loading.
bool ZQI_FONTS_CanRenderText(zq_font_t* font, const char* text);
