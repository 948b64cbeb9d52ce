// Rendering a font's glyphs from a TrueType file with FreeType: white RGBA bitmaps whose alpha is
// the coverage, or, for distance-field fonts, glyphs rendered larger by a whole factor and turned
// into distance images at the final size.
#pragma once

#include <cstdint>

#include "fonts/Font.h"

struct FT_Bitmap_;

// Style words (whole words only): "BOLD", "ITALIC", "ALL_CAPS".
enum : uint32_t { FONT_STYLE_BOLD = 1, FONT_STYLE_ITALIC = 2, FONT_STYLE_ALL_CAPS = 4 };
uint32_t ZQI_ParseFontStyle(const char* style);

// Renders every glyph of the font's table that has no pixels (code point 0 excepted) from the
// TrueType file at path (a virtual path, read through the file system). size: the font's pixel
// size; renderSize: the size glyphs are rendered at (font scale = size / renderSize when they
// differ); factor: supersampling (1 for ordinary fonts); spread: distance-field spread in output
// pixels (0 for ordinary fonts). False when the file cannot be opened as a face.
bool ZQI_CreateFontGlyphBitmapsFromTTF(zq_font_t* font, const char* path, float size, const char* style,
                                       float renderSize, int32_t factor, float spread);
// Copies FreeType's 8-bit coverage into the glyph's RGBA bitmap with a transparent border of p
// pixels: white, alpha = min(255, trunc(coverage * 1.5)). False for a missing or empty source.
bool CopyFreeTypeGlyphBitmap(const FT_Bitmap_* source, FontGlyph* glyph, int32_t p);
