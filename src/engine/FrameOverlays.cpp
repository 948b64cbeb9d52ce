// Overlay zoom targets, letterbox bars and the time-step test overlay.
#include "engine/FrameOverlays.h"

#include <cmath>

#include "core/ApiTable.h"
#include "core/CoreState.h"
#include "engine/Lifecycle.h"
#include "engine/OverlayDrawing.h"
#include "graphics/HighLevelRenderer.h"
#include "engine/RuntimeState.h"

namespace {

const float kZoomEpsilon = 0.000001f;
const double kTimeDeltaTestPeriod = 3.0;  // seconds for the square to cross the screen
const float kPixelsPerSecond = 3000.0f;   // 100 pixels are 1/30 s

zq_graphics_api_t* Graphics() {
    return ZQI_GetApi()->graphics;
}

zq_bitmap_desc_t ZoomTargetDescription(uint32_t format) {
    zq_bitmap_desc_t desc = {};
    desc.format = format;
    desc.type = ZQ_TEXTURE_TYPE_2D;
    desc.mip_levels = 1;
    desc.width = g_runtime.displayWidth;
    desc.height = g_runtime.displayHeight;
    desc.depth = 1;
    desc.render_target = 1;
    return desc;
}

}  // namespace

bool ZQI_IsOverlayZoomActive() {
    return std::fabs(g_runtime.overlayZoom - 1.0f) >= kZoomEpsilon;
}

void ZQI_BeginOverlayZoom() {
    if (g_runtime.overlayZoomColor == nullptr || g_runtime.overlayZoomDepth == nullptr) {
        zq_bitmap_desc_t color = ZoomTargetDescription(ZQ_TEXTURE_FORMAT_RGBX8);
        zq_bitmap_desc_t depth = ZoomTargetDescription(ZQ_TEXTURE_FORMAT_D32_FLOAT);
        g_runtime.overlayZoomColor = Graphics()->CreateBitmap("OVERLAY_ZOOM_COLOR", &color);
        g_runtime.overlayZoomDepth = Graphics()->CreateBitmap("OVERLAY_ZOOM_DEPTH", &depth);
    } else {
        Graphics()->ResizeBitmap(g_runtime.overlayZoomColor, g_runtime.displayWidth, g_runtime.displayHeight);
        Graphics()->ResizeBitmap(g_runtime.overlayZoomDepth, g_runtime.displayWidth, g_runtime.displayHeight);
    }
    zq_render_targets_t targets = {};
    targets.color[0] = g_runtime.overlayZoomColor;
    targets.depth = g_runtime.overlayZoomDepth;
    HighLevelRenderer::PushRenderTargets(&targets);
}

void ZQI_EndOverlayZoom() {
    HighLevelRenderer::PopRenderTargets();
    Graphics()->ClearScreen(0.0f, 0.0f, 0.0f);
    float x = 0.0f;
    float y = 0.0f;
    Graphics()->DrawBitmap(g_runtime.overlayZoomColor, &x, &y);
}

void ZQI_DrawLetterboxBars() {
    const bool horizontalPair = g_runtime.offsetX > 0.0f;
    const bool verticalPair = g_runtime.offsetY > 0.0f;
    if (!horizontalPair && !verticalPair) {
        return;
    }
    const float w = static_cast<float>(g_core.program->parameters.width);
    const float h = static_cast<float>(g_core.program->parameters.height);
    ZQI_OverlayColor(0.0f, 0.0f, 0.0f);
    if (verticalPair) {  // above and below the design area
        ZQI_OverlayRectangle(-w, h, 3.0f * w, h);
        ZQI_OverlayRectangle(-w, -h, 3.0f * w, h);
    }
    if (horizontalPair) {  // left and right of it
        ZQI_OverlayRectangle(w, -1.0f, w, h + 2.0f);
        ZQI_OverlayRectangle(-w, -1.0f, w, h + 2.0f);
    }
    ZQI_OverlayColor(1.0f, 1.0f, 1.0f);
}

void ZQI_DrawTimeDeltaTest(float step) {
    if (g_core.program == nullptr) {
        return;
    }
    const int32_t width = g_core.program->parameters.width;
    const float w = static_cast<float>(width);
    const float h = static_cast<float>(g_core.program->parameters.height);
    g_runtime.timeDeltaTestTimer += step;
    if (g_runtime.timeDeltaTestTimer > kTimeDeltaTestPeriod) {
        g_runtime.timeDeltaTestTimer = 0.0;
    }
    Array<float>& history = g_runtime.timeDeltaHistory;
    history.shrinkOnRemove = true;
    history.Push(step);  // then moved to the front: newest first
    for (int32_t i = history.count - 1; i > 0; --i) {
        history[i] = history[i - 1];
    }
    history[0] = step;
    if (history.count > width) {
        history.RemoveAt(history.count - 1);
    }

    ZQI_OverlayTextTransform(1.0f, 1.0f);
    uint32_t alignment = 0;
    Graphics()->SetTextAlignment(&alignment);
    ZQI_OverlayAlpha(1.0f);
    ZQI_OverlayColor(1.0f, 1.0f, 1.0f);
    ZQI_OverlayBlendMode(1);
    ZQI_OverlayAlpha(0.8f);
    for (int32_t i = 0; i < history.count; ++i) {
        ZQI_OverlayRectangle(static_cast<float>(i), 5.0f, 1.0f, history[i] * kPixelsPerSecond);
    }
    ZQI_OverlayColor(0.0f, 1.0f, 0.0f);
    ZQI_OverlayRectangle(0.0f, 105.0f, w, 1.0f);  // 1/30 s
    ZQI_OverlayRectangle(0.0f, 55.0f, w, 1.0f);   // 1/60 s
    float x = w * static_cast<float>(g_runtime.timeDeltaTestTimer / kTimeDeltaTestPeriod);
    ZQI_OverlayRectangle(x, h * 0.75f, 23.0f, 23.0f);
}
