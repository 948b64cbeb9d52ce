// Drawing laid-out text: one quad per glyph from the font's atlas into the current batch, inline
// images of "img" tags, colour and shader tags, the calling thread's text settings (alignment,
// justification, scale, rotation, spacing) and the smoothing constant of distance-field shaders.
// Render thread only, like every draw.
#pragma once

#include <cstdint>

#include "fonts/Font.h"

// The text transform: x' = ox + (x - ox) m[0] + (y - oy) m[1], y' = oy + (x - ox) m[2] + (y - oy) m[3].
struct TextTransform {
    float m[4];
    float originX;
    float originY;
};

// Latin-1 fonts: text is a writable copy (line breaks are written into it). The drawn width in
// pixels; 0 for no font or a font of size below 1. outerShader: the shader current when the
// graphics slot was entered, for images without a shader of their own.
float ZQI_FONTS_DrawText(zq_font_t* font, float x, float y, char* text, zq_shader_t* outerShader);
// UTF-8 fonts: the text is converted to UTF-32 and laid out without kerning.
float ZQI_FONTS_DrawTextUTF32(zq_font_t* font, float x, float y, const char* text, zq_shader_t* outerShader);

// The shader a font draws with: the font shader, or the distance-field shader for a distance-field
// font while the font shader is the default one.
zq_shader_t* GetFontShader(const zq_font_t* font);
// Pixel constant 0 of a distance-field shader gets the font's smoothing for one unit step at (x, y)
// on the screen, set only when its first value changes.
void ZQI_FONTS_UpdateDistanceFieldSmoothing(zq_font_t* font, zq_shader_t* shader, float x, float y);
// (x, y, z) through the projection (stack top or default) and the current world matrix to pixels of
// a viewport of width x height; y grows downwards.
void ProjectToScreen(const float point[3], int32_t width, int32_t height, float* screenX, float* screenY);
// The vertical centre inline images are placed on: half of the 'a' glyph's bottom, plus 3 / scale
// for fonts without distance fields.
float GetFontCentreLine(const zq_font_t* font);
// The glyph's quad with its top-left corner at (x, y), turned through the transform about its
// origin, into the batch (nothing for a glyph not on the GPU).
void BuildGlyphQuad(zq_bitmap_t* bitmap, float x, float y, const TextTransform& transform);

// Hands the drawers to the graphics text slot.
void ZQI_InstallTextDrawers();
