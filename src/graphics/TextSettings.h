// The per-thread text settings the text functions read (alignment, angle, wrap width, scale,
// spacing, markup and justification) and the graphics sub-table's slots that write them. Each
// thread has its own record; the frame resets the main thread's to the defaults.
#pragma once

#include <cstdint>

// Alignment bits.
enum : uint32_t {
    ZQI_TEXT_ALIGN_RIGHT = 1,
    ZQI_TEXT_ALIGN_BOTTOM = 2,
    ZQI_TEXT_ALIGN_VERTICAL_CENTRE = 4,
    ZQI_TEXT_ALIGN_HORIZONTAL_CENTRE = 8,
};

struct ThreadTextSettings {
    uint32_t alignment;  // ZQI_TEXT_ALIGN_* bits
    float angle;         // radians
    float maxLineWidth;  // ZQI_TEXT_NO_WIDTH_LIMIT or more: no limit
    float scaleX;
    float scaleY;
    float characterSpacing;  // extra pixels after each character
    float lineSpacing;       // extra pixels between lines
    uint8_t markupDisabled;  // bars are plain characters
    uint8_t justify;
};

// 64000 and above means a line has no width limit.
const float ZQI_TEXT_NO_WIDTH_LIMIT = 64000.0f;

// The defaults every frame starts from: 0, 0, 64000, 1, 1, 0, 0, 0, 0.
ThreadTextSettings ZQI_DefaultTextSettings();
// The calling thread's record (made with the defaults on the thread's first use).
ThreadTextSettings* ZQI_GetThreadTextSettings();

// Graphics sub-table slots; null pointers change nothing.
uint32_t ZQ_Graphics_GetTextAlignment();
void ZQ_Graphics_SetTextAlignment(const uint32_t* alignment);
void ZQ_Graphics_SetTextCharacterSpacing(const float* spacing);
void ZQ_Graphics_SetTextLineSpacing(const float* spacing);
// Widths below 0.1 mean no limit.
void ZQ_Graphics_SetTextMaxWidth(const float* width);
void ZQ_Graphics_SetTextJustify(bool justify);
void ZQ_Graphics_SetTextMarkupDisabled(bool disabled);
// Scales below 0.000001 are raised to it.
void ZQ_Graphics_SetTextTransform(const float* scaleX, const float* scaleY, const float* angle);
