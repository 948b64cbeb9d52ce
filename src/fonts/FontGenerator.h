// The font generator: makes a font from its font source file ("<name>.xml", a data-manager
// database) that names a TrueType file or a bitmap strip and sets size, style, spacing, kerning,
// distance-field and colour-effect options.
#pragma once

#include <cstdint>

#include "fonts/Font.h"

struct DMArray;
struct DMDatabase;
struct DMNode;
class String;

// The largest pixel size glyphs are rendered at (size, or distance-field size times its factor).
const float ZQI_MAX_GLYPH_RENDER_SIZE = 2048.0f;

// Fills the font's glyph table, metrics and flags from its source. False, with "Failed to
// generate font from source '%s': %s", when the source is missing or invalid.
bool ZQI_GenerateFontFromSource(zq_font_t* font);
// The generator over a loaded source database; sourcePath names it and anchors "../" paths.
bool ZQI_GenerateFontFromDatabase(zq_font_t* font, DMDatabase* database, const char* sourcePath);
// The source file's path: the path itself when it exists, else "../build/" + path; false with
// "Unable to find font source file %s." when neither exists.
bool FindFontSourceFile(String& out, const char* name, const char* sourcePath);
// Per-glyph "spacing" and "span" of the "glyphs" array on top of the font-wide spacing.
bool ApplyGlyphSpacing(zq_font_t* font, const DMArray* glyphs, float spacing);
// Cuts the glyphs of a bitmap strip (glyphs side by side, separated by transparent columns).
bool CutGlyphsFromBitmap(zq_font_t* font, zq_bitmap_t* image, const DMArray* glyphs, float spacing);
// False when a colour component of an "effects" node is not a finite number.
bool ZQI_FontEffectsAreValid(const DMArray* effects);
// Recolours every glyph with a vertical gradient per "effects" node, keeping alpha.
void ApplyFontEffects(zq_font_t* font, const DMArray* effects);
// How far b may move toward a (negative): the smallest horizontal gap between their facing
// solid profiles over the rows of the taller glyph, each row widened by the safe zone.
int32_t KernPairDistance(const FontGlyph* a, const FontGlyph* b, float threshold, int32_t safeZone);
// Fills every kerning row: b's entry for a is KernPairDistance(a, b), clamped to -128..127.
void ZQI_DetermineKernPairs(zq_font_t* font, float threshold, int32_t safeZone);
