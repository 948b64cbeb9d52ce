// The per-thread text settings and their slots.
#include "graphics/TextSettings.h"

namespace {

const float kMinimumMaxWidth = 0.1f;
const float kMinimumTextScale = 0.000001f;

thread_local ThreadTextSettings t_settings = ZQI_DefaultTextSettings();

float AtLeast(float value, float minimum) {
    return value > minimum ? value : minimum;
}

}  // namespace

ThreadTextSettings ZQI_DefaultTextSettings() {
    ThreadTextSettings settings = {};
    settings.maxLineWidth = ZQI_TEXT_NO_WIDTH_LIMIT;
    settings.scaleX = 1.0f;
    settings.scaleY = 1.0f;
    return settings;
}

ThreadTextSettings* ZQI_GetThreadTextSettings() {
    return &t_settings;
}

uint32_t ZQ_Graphics_GetTextAlignment() {
    return t_settings.alignment;
}

void ZQ_Graphics_SetTextAlignment(const uint32_t* alignment) {
    if (alignment != nullptr) {
        t_settings.alignment = *alignment;
    }
}

void ZQ_Graphics_SetTextCharacterSpacing(const float* spacing) {
    if (spacing != nullptr) {
        t_settings.characterSpacing = *spacing;
    }
}

void ZQ_Graphics_SetTextLineSpacing(const float* spacing) {
    if (spacing != nullptr) {
        t_settings.lineSpacing = *spacing;
    }
}

void ZQ_Graphics_SetTextMaxWidth(const float* width) {
    if (width != nullptr) {
        t_settings.maxLineWidth = *width < kMinimumMaxWidth ? ZQI_TEXT_NO_WIDTH_LIMIT : *width;
    }
}

void ZQ_Graphics_SetTextJustify(bool justify) {
    t_settings.justify = justify ? 1 : 0;
}

void ZQ_Graphics_SetTextMarkupDisabled(bool disabled) {
    t_settings.markupDisabled = disabled ? 1 : 0;
}

void ZQ_Graphics_SetTextTransform(const float* scaleX, const float* scaleY, const float* angle) {
    if (scaleX != nullptr) {
        t_settings.scaleX = AtLeast(*scaleX, kMinimumTextScale);
    }
    if (scaleY != nullptr) {
        t_settings.scaleY = AtLeast(*scaleY, kMinimumTextScale);
    }
    if (angle != nullptr) {
        t_settings.angle = *angle;
    }
}
