// Drawing helpers of the developer overlays.
#include "engine/OverlayDrawing.h"

#include <cstdarg>
#include <cstdio>

#include "core/ApiTable.h"
#include "core/Console.h"
#include "core/Log.h"
#include "fonts/FontTable.h"

const char* const ZQI_CONSOLE_FONT_NAME = "core/console.mft";

namespace {

const int32_t kUnloadedFontPixelSize = 16;

zq_graphics_api_t* Graphics() {
    return ZQI_GetApi()->graphics;
}

}  // namespace

void ZQI_OverlayColor(float r, float g, float b) {
    Graphics()->SetColor(&r, &g, &b);
}

void ZQI_OverlayAlpha(float alpha) {
    Graphics()->SetAlpha(&alpha);
}

void ZQI_OverlayBlendMode(int32_t mode) {
    Graphics()->SetBlendMode(mode);
}

void ZQI_OverlayRectangle(float x, float y, float w, float h) {
    Graphics()->DrawRectangle(&x, &y, &w, &h);
}

void ZQI_OverlayLine(float x0, float y0, float x1, float y1) {
    Graphics()->DrawLine(&x0, &y0, &x1, &y1);
}

void ZQI_OverlayTextTransform(float scaleX, float scaleY) {
    float angle = 0.0f;
    Graphics()->SetTextTransform(&scaleX, &scaleY, &angle);
}

void ZQI_OverlayTextMaxWidth(float width) {
    Graphics()->SetTextMaxWidth(&width);
}

void ZQI_ResetOverlayTextState() {
    uint32_t alignment = 0;
    Graphics()->SetTextAlignment(&alignment);
    ZQI_OverlayTextMaxWidth(0.0f);
    ZQI_OverlayTextTransform(1.0f, 1.0f);
    ZQI_OverlayColor(1.0f, 1.0f, 1.0f);
}

float ZQI_OverlayText(zq_font_t* font, float x, float y, const char* text) {
    return Graphics()->DrawText(font, &x, &y, "%s", text);
}

float ZQI_OverlayPrint(zq_font_t* font, float x, float y, const char* format, ...) {
    char text[512];
    va_list args;
    va_start(args, format);
    vsnprintf(text, sizeof(text), format, args);
    va_end(args);
    return ZQI_OverlayText(font, x, y, text);
}

float ZQI_OverlayTextWidth(zq_font_t* font, const char* text) {
    return Graphics()->GetTextWidth(font, "%s", text);
}

zq_font_t* ZQI_GetDefaultFont() {
    return ZQI_GetFontSlot(0);
}

zq_font_t* ZQI_FontOrDefault(zq_font_t* font) {
    return font != nullptr && font->size > 0 ? font : ZQI_GetDefaultFont();
}

zq_font_t* ZQI_GetOverlayFont() {
    Console* console = ZQI_GetConsole();
    if (console->font == nullptr) {
        console->font = Graphics()->GetFont(ZQI_CONSOLE_FONT_NAME);
    }
    return ZQI_FontOrDefault(console->font);
}

int32_t ZQI_FontPixelSize(const zq_font_t* font) {
    return font != nullptr && font->size > 0 ? font->size : kUnloadedFontPixelSize;
}

int32_t ZQI_FontLineAdvance(const zq_font_t* font) {
    return font != nullptr && font->lineHeight > 0 ? font->lineHeight : ZQI_FontPixelSize(font);
}
