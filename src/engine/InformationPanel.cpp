// The information panel's five columns, each a white heading over grey lines, separated by white
// vertical lines.
#include "engine/InformationPanel.h"

#include <cstdarg>
#include <cstdio>

#include "audio/SoundResource.h"
#include "core/ApiTable.h"
#include "core/CoreState.h"
#include "core/Features.h"
#include "engine/Lifecycle.h"
#include "engine/OverlayDrawing.h"
#include "engine/RuntimeState.h"
#include "fonts/Font.h"
#include "fonts/FontTable.h"
#include "foundation/EnumNames.h"
#include "graphics/BitmapTable.h"
#include "graphics/ShaderManager.h"

namespace {

const float kPanelHeight = 210.0f;
const float kColumnTop = 5.0f;
const float kFirstColumnX = 5.0f;
const float kColumnSpacing = 200.0f;
const float kSeparatorHeight = 200.0f;
const float kLineGrey = 0.7f;
const int32_t kPointerX = 504;
const int32_t kPointerY = 505;

// Writes one column top-down: the heading first, then its lines.
struct Column {
    zq_font_t* font;
    float x;
    float y;
    float advance;

    Column(zq_font_t* columnFont, int32_t index)
        : font(columnFont),
          x(kFirstColumnX + kColumnSpacing * static_cast<float>(index)),
          y(kColumnTop),
          advance(static_cast<float>(ZQI_FontLineAdvance(columnFont))) {
        if (index > 0) {
            ZQI_OverlayColor(1.0f, 1.0f, 1.0f);
            ZQI_OverlayRectangle(x - 15.0f, kColumnTop, 1.0f, kSeparatorHeight);
        }
    }

    void Heading(const char* text) {
        ZQI_OverlayColor(1.0f, 1.0f, 1.0f);
        Next(text);
        ZQI_OverlayColor(kLineGrey, kLineGrey, kLineGrey);
    }

    void Line(const char* format, ...) ZQ_PRINTF_LIKE(2, 3) {
        char text[512];
        va_list args;
        va_start(args, format);
        vsnprintf(text, sizeof(text), format, args);
        va_end(args);
        Next(text);
    }

    void Next(const char* text) {
        ZQI_OverlayText(font, x, y, text);
        y += advance;
    }
};

const char* OrientationName(uint32_t orientation) {
    if (orientation == ORIENTATION_PORTRAIT || orientation == ORIENTATION_PORTRAIT_UPSIDE_DOWN) {
        return "PORTRAIT";
    }
    if (orientation == ORIENTATION_LANDSCAPE || orientation == ORIENTATION_LANDSCAPE_FLIPPED) {
        return "LANDSCAPE";
    }
    return "UNKNOWN";
}

void DrawDeviceColumn(zq_font_t* font) {
    Column column(font, 0);
    column.Heading("Device Info:");
    column.Line("Screen: %dx%d", g_runtime.displayWidth, g_runtime.displayHeight);
    column.Line("Desktop: %dx%d", g_runtime.desktopWidth, g_runtime.desktopHeight);
    column.Next(ZQI_IsFeatureEnabled("FREE_RESOLUTION") ? "Free resolution" : "Fixed resolution");
    column.Line("Orientation: %s", OrientationName(g_runtime.nativeOrientation));
}

void DrawBootColumn(zq_font_t* font) {
    const RuntimeSettings& settings = g_runtime.settings;
    Column column(font, 1);
    column.Heading("Boot Settings:");
    column.Line("Screen: %dx%d (%s)", settings.bootWidth, settings.bootHeight,
                settings.bootWindowed ? "window" : "fullscreen");
    if (g_runtime.autoscale) {
        column.Next("Autoscaling");
        column.Line("Scale X %.3f", g_runtime.scaleX);
        column.Line("Scale Y %.3f", g_runtime.scaleY);
        column.Line("Offset X %.3f", g_runtime.offsetX);
        column.Line("Offset Y %.3f", g_runtime.offsetY);
    } else {
        column.Next("Not autoscaling");
    }
    if (g_runtime.overlayZoom != 1.0f) {
        column.Next("");
        column.Next("Overlay Zoom");
        column.Line("Zoom %.3f", g_runtime.overlayZoom);
        column.Line("Offset X %.3f", static_cast<double>(g_runtime.zoomOffsetX));
        column.Line("Offset Y %.3f", static_cast<double>(g_runtime.zoomOffsetY));
    }
}

void DrawProgramColumn(zq_font_t* font) {
    Column column(font, 2);
    column.Heading("Program:");
    const zq_program_t* program = g_core.program;
    if (program == nullptr) {
        return;
    }
    const zq_parameters_t& parameters = program->parameters;
    column.Line("Current size %dx%d", parameters.width, parameters.height);
    column.Line("Ref size %dx%d", parameters.design_width, parameters.design_height);
    column.Line("Validated size %dx%d", g_runtime.displayWidth, g_runtime.displayHeight);
    // The record's texts fill their arrays when they are as long as them.
    column.Line("Title: %.*s", static_cast<int>(sizeof(program->title)), program->title);
    column.Line("User dir name: %.*s", static_cast<int>(sizeof(program->user_dir_name)),
                program->user_dir_name);
    column.Line("Version: %.*s", static_cast<int>(sizeof(program->version)), program->version);
}

void DrawSystemColumn(zq_font_t* font) {
    Column column(font, 3);
    column.Heading("System:");
    column.Line("Native platform: %s", ZQI_GetPlatformName(ZQI_GetSystemInfoRecord().platformId));
    column.Line("Mouse %d, %d", ZQ_GetInputState(kPointerX), ZQ_GetInputState(kPointerY));
}

void DrawResourceColumn(zq_font_t* font) {
    Column column(font, 4);
    column.Heading("Resources:");
    column.Line("Bitmaps: %d / %d", ZQI_GetBitmapUsedCount(), static_cast<int32_t>(ZQI_BITMAP_TABLE_SIZE));
    column.Line("Sounds: %d / %d", ZQI_GetSoundPoolCount(), static_cast<int32_t>(SOUND_POOL_SIZE));
    column.Line("Fonts: %d / %d", ZQI_GetFontUsedCount(), static_cast<int32_t>(FONT_TABLE_SIZE));
    column.Line("Shaders: %d / %d", ZQI_GetShaderUsedCount(), static_cast<int32_t>(ZQI_SHADER_TABLE_SIZE));
}

}  // namespace

void ZQI_DrawInformationPanel() {
    zq_font_t* font = ZQI_GetOverlayFont();
    ZQI_OverlayBlendMode(1);
    ZQI_OverlayColor(0.0f, 0.0f, 0.0f);
    ZQI_OverlayAlpha(0.8f);
    ZQI_OverlayRectangle(0.0f, 0.0f, static_cast<float>(g_runtime.displayWidth), kPanelHeight);
    ZQI_OverlayAlpha(1.0f);
    DrawDeviceColumn(font);
    DrawBootColumn(font);
    DrawProgramColumn(font);
    DrawSystemColumn(font);
    DrawResourceColumn(font);
    ZQI_OverlayColor(1.0f, 1.0f, 1.0f);
}
