// Drawing the memory overlay from its state's histories (sampled by the debug overlay each frame).
#include "engine/MemoryOverlayDrawing.h"

#include <cstdint>

#include "core/ApiTable.h"
#include "core/MemoryOverlay.h"
#include "engine/OverlayDrawing.h"
#include "engine/RuntimeState.h"
#include "fonts/Font.h"
#include "foundation/Array.h"

namespace {

const double kBytesPerMegabyte = 1048576.0;
const float kGraphIndent = 50.0f;  // the bars start this far right of the panel's left edge
const float kBottomBarHeight = 4.0f;
const float kLabelBoxWidth = 300.0f;
const int32_t kLabelLines = 5;

const float kSoundColor[3] = {0.3f, 0.9f, 0.3f};
const float kGpuColor[3] = {0.9f, 0.3f, 0.3f};
const float kSystemColor[3] = {0.3f, 0.3f, 0.9f};
const float kVertexColor[3] = {0.9f, 0.9f, 0.3f};

float PanelBottom(const MemoryOverlayState* state) {
    return static_cast<float>(state->panelTop + state->panelHeight);
}

// Bytes to pixels on the grid.
float ToPixels(const MemoryOverlayState* state, int64_t bytes) {
    return static_cast<float>(static_cast<double>(bytes) * state->gridStep / state->gridUnit);
}

// The label font, chosen once: the console font when its file exists, else the default font.
zq_font_t* LabelFont(MemoryOverlayState* state) {
    if (state->font == nullptr) {
        zq_api_t* api = ZQI_GetApi();
        if (api->filesystem->FileExists(ZQI_CONSOLE_FONT_NAME)) {
            state->font = api->graphics->GetFont(ZQI_CONSOLE_FONT_NAME);
        }
        if (state->font == nullptr) {
            state->font = ZQI_GetDefaultFont();
        }
    }
    return ZQI_FontOrDefault(state->font);
}

double Megabytes(int64_t bytes) {
    return static_cast<double>(bytes) / kBytesPerMegabyte;
}

int32_t Latest(const Array<int32_t>& history) {
    return history.count > 0 ? history[history.count - 1] : 0;
}

void DrawLabels(MemoryOverlayState* state) {
    zq_font_t* font = LabelFont(state);
    const float lineHeight = static_cast<float>(ZQI_FontLineAdvance(font) + 4);
    const float x = static_cast<float>(state->panelLeft) + static_cast<float>(state->panelWidth) * 0.6f;
    float y = static_cast<float>(state->panelTop) + static_cast<float>(state->panelHeight) * 0.4f;
    ZQI_OverlayColor(0.0f, 0.0f, 0.0f);
    ZQI_OverlayAlpha(0.5f);
    ZQI_OverlayRectangle(x - 5.0f, y - 5.0f, kLabelBoxWidth, lineHeight * kLabelLines);
    ZQI_OverlayAlpha(1.0f);
    struct Label {
        const char* format;
        const Array<int32_t>* history;
        uint32_t peak;
        const float* color;
    };
    static const float kWhite[3] = {1.0f, 1.0f, 1.0f};
    const Label labels[kLabelLines] = {
        {"System mem %.1f MB (peak %.1f MB)", &state->systemHistory, state->systemPeak, kSystemColor},
        {"GPU %.1f MB (peak %.1f MB)", &state->gpuHistory, state->gpuPeak, kGpuColor},
        {"Sound %.1f MB (peak %.1f MB)", &state->soundHistory, state->soundPeak, kSoundColor},
        {"Vertex data %.1f MB (peak %.1f MB)", &state->vertexHistory, state->vertexPeak, kVertexColor},
        {"Total %.1f MB (peak %.1f MB)", &state->totalHistory, state->totalPeak, kWhite},
    };
    for (const Label& label : labels) {
        ZQI_OverlayColor(label.color[0], label.color[1], label.color[2]);
        ZQI_OverlayPrint(font, x, y, label.format, Megabytes(Latest(*label.history)), Megabytes(label.peak));
        y += lineHeight;
    }
}

// The panel's dark background, its bottom bar, and the grid lines with their "%d MB" labels.
void DrawMemoryBar(MemoryOverlayState* state) {
    const float left = static_cast<float>(state->panelLeft);
    const float width = static_cast<float>(state->panelWidth);
    const float bottom = PanelBottom(state);
    ZQI_OverlayBlendMode(1);
    ZQI_OverlayColor(0.0f, 0.0f, 0.0f);
    ZQI_OverlayAlpha(0.6f);
    ZQI_OverlayRectangle(left, static_cast<float>(state->panelTop), width,
                         static_cast<float>(state->panelHeight));
    ZQI_OverlayColor(0.9f, 0.9f, 0.9f);
    ZQI_OverlayAlpha(1.0f);
    ZQI_OverlayRectangle(left, bottom, width, kBottomBarHeight);
    zq_font_t* font = LabelFont(state);
    const float labelRise = static_cast<float>(ZQI_FontLineAdvance(font));
    const uint32_t lines = state->graphScale / state->gridUnit;
    for (uint32_t i = 0; i < lines; ++i) {
        const float y = bottom - 1.0f - static_cast<float>(i) * static_cast<float>(state->gridStep);
        ZQI_OverlayColor(0.4f, 0.4f, 0.4f);
        ZQI_OverlayRectangle(left, y, width, 1.0f);
        const int32_t megabytes = static_cast<int32_t>(static_cast<uint64_t>(i) * state->gridUnit / 1048576u);
        if (megabytes >= 1) {
            ZQI_OverlayColor(0.7f, 0.7f, 0.7f);
            ZQI_OverlayPrint(font, left + 5.0f, y - labelRise, "%d MB", megabytes);
        }
    }
}

// One history as bars standing on the stack heights of the histories drawn before it, which then
// grow by its values. Nothing for fewer than 2 samples.
void DrawMemoryGraph(MemoryOverlayState* state, const Array<int32_t>& history, float r, float g, float b) {
    const int32_t count = history.count;
    if (count < 2 || state->stackHeights.count < count) {
        return;
    }
    const int32_t fitting = state->panelWidth / count;
    const float barWidth = static_cast<float>(fitting < state->barWidth ? fitting : state->barWidth);
    const float left = static_cast<float>(state->panelLeft) + kGraphIndent;
    const float bottom = PanelBottom(state);
    ZQI_OverlayColor(r, g, b);
    ZQI_OverlayAlpha(1.0f);
    for (int32_t i = 0; i < count; ++i) {
        const int64_t below = state->stackHeights[i];
        const int64_t value = history[i] > 0 ? history[i] : 0;
        const float height = ToPixels(state, value);
        const float top = bottom - ToPixels(state, below) - height;
        ZQI_OverlayRectangle(left + static_cast<float>(i) * barWidth, top, barWidth, height);
        const int64_t stacked = below + value;
        state->stackHeights[i] = static_cast<int32_t>(stacked < INT32_MAX ? stacked : INT32_MAX);
    }
}

}  // namespace

void ZQI_DrawMemoryOverlay(MemoryOverlayState* state) {
    if (state == nullptr) {
        return;
    }
    ZQI_LayoutMemoryOverlay(state, g_runtime.displayWidth, g_runtime.displayHeight);
    DrawMemoryBar(state);
    state->stackHeights.Clear();
    for (int32_t i = 0; i < state->totalHistory.count; ++i) {
        state->stackHeights.Push(0);
    }
    DrawMemoryGraph(state, state->soundHistory, kSoundColor[0], kSoundColor[1], kSoundColor[2]);
    DrawMemoryGraph(state, state->gpuHistory, kGpuColor[0], kGpuColor[1], kGpuColor[2]);
    DrawMemoryGraph(state, state->systemHistory, kSystemColor[0], kSystemColor[1], kSystemColor[2]);
    DrawMemoryGraph(state, state->vertexHistory, kVertexColor[0], kVertexColor[1], kVertexColor[2]);
    DrawLabels(state);
    ZQI_OverlayColor(1.0f, 1.0f, 1.0f);
}
