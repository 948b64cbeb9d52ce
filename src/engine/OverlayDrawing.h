// What the engine's developer overlays (console, debug overlay, memory graph, sound channels) share
// for drawing: the graphics sub-table's pointer-taking slots called with plain values, and the
// fonts they write with. Everything goes through the engine API record, as a program's drawing does.
#pragma once

#include <cstdint>

#include "foundation/Compiler.h"
#include "zorqa.h"

extern const char* const ZQI_CONSOLE_FONT_NAME;  // "core/console.mft"

void ZQI_OverlayColor(float r, float g, float b);
void ZQI_OverlayAlpha(float alpha);
void ZQI_OverlayBlendMode(int32_t mode);
void ZQI_OverlayRectangle(float x, float y, float w, float h);
void ZQI_OverlayLine(float x0, float y0, float x1, float y1);
void ZQI_OverlayTextTransform(float scaleX, float scaleY);
void ZQI_OverlayTextMaxWidth(float width);
// Alignment 0, no wrapping, scale 1 and no rotation, opaque white: what every overlay starts from.
void ZQI_ResetOverlayTextState();
// Draws text as it stands (no formatting of its own); returns the drawn width.
float ZQI_OverlayText(zq_font_t* font, float x, float y, const char* text);
// Formats (texts of up to 511 characters), then draws; returns the drawn width.
float ZQI_OverlayPrint(zq_font_t* font, float x, float y, const char* format, ...) ZQ_PRINTF_LIKE(4, 5);
float ZQI_OverlayTextWidth(zq_font_t* font, const char* text);

// The engine's default font: the font table's first record (which may hold no glyphs).
zq_font_t* ZQI_GetDefaultFont();
// The font when it has glyphs (its pixel size is above 0), else the default font.
zq_font_t* ZQI_FontOrDefault(zq_font_t* font);
// The console font, got through the graphics sub-table on the first call and kept; the default
// font while it has no glyphs.
zq_font_t* ZQI_GetOverlayFont();
// The font's pixel size, 16 for a font without glyphs (or none).
int32_t ZQI_FontPixelSize(const zq_font_t* font);
// Pixels between two text lines; the pixel size when the font gives none, so that a walk down
// the lines always moves.
int32_t ZQI_FontLineAdvance(const zq_font_t* font);
