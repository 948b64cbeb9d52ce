// The debug overlay's frame: the frame-rate meter and its SHOW_FPS box, the developer tools behind
// the function keys (F1 frame rate, F2 memory graph, F3 frame-time graph, F4 "ListResourceUsage",
// F5 "Cache" "ReloadResources", F6 or SHOW_INFO the information panel), the memory sampling, and
// the console's slide, blink and picture.
#include "engine/DebugOverlay.h"

#include <cstdio>

#include "core/ApiTable.h"
#include "core/ConsoleOverlay.h"
#include "core/CoreState.h"
#include "core/Features.h"
#include "core/Log.h"
#include "core/MemoryOverlay.h"
#include "engine/ConsoleDrawing.h"
#include "engine/InformationPanel.h"
#include "engine/MemoryOverlayDrawing.h"
#include "engine/OverlayDrawing.h"
#include "engine/RuntimeState.h"

namespace {

// Function keys; a key counts as held while its state is not 0, F4 and F5 while bit 0 is set.
const int32_t kKeyF1 = 112;
const int32_t kKeyF2 = 113;
const int32_t kKeyF3 = 114;
const int32_t kKeyF4 = 115;
const int32_t kKeyF5 = 116;
const int32_t kKeyF6 = 117;

const float kMeterPeriod = 1.5f;  // seconds counted before the frame rate is renewed

// The frame-time graph: one sample per frame, as many shown as the screen is wide (up to the
// ring), 1000 pixels per second of frame time.
const int32_t kGraphRing = 2048;
const float kGraphTop = 0.1f;  // seconds at the top of the graph
const float kGraphLeft = 10.0f;
const float kGraphBottom = 110.0f;
const float kGraphHeight = 100.0f;
const float kThirtyHertzStep = 0.033333335f;

struct DebugOverlayState {
    float meterTime;  // seconds counted, in whole milliseconds
    int32_t meterFrames;
    float lastFrameRate;         // 0 until the first period has passed
    MemoryOverlayState* memory;  // created on the first developer-mode frame
    float frameSteps[kGraphRing];
    int32_t graphIndex;  // where the next step is written
};

DebugOverlayState g_overlay;

void AdvanceFrameRateMeter(float step) {
    g_overlay.meterTime += static_cast<float>(static_cast<int32_t>(step * 1000.0f)) * 0.001f;
    g_overlay.meterFrames += 1;
    if (g_overlay.meterTime > kMeterPeriod) {
        g_overlay.lastFrameRate = static_cast<float>(g_overlay.meterFrames) / g_overlay.meterTime;
        g_overlay.meterTime = 0.0f;
        g_overlay.meterFrames = 0;
    }
}

// SHOW_FPS, release mode too: the rate in a dark box in the top left corner.
void DrawFrameRateBox() {
    zq_font_t* font = ZQI_GetDefaultFont();
    char text[32];
    snprintf(text, sizeof(text), "%.0f", g_overlay.lastFrameRate);
    const float width = ZQI_OverlayTextWidth(font, text);
    ZQI_OverlayBlendMode(1);
    ZQI_OverlayColor(0.0f, 0.0f, 0.0f);
    ZQI_OverlayAlpha(0.8f);
    ZQI_OverlayRectangle(1.0f, 1.0f, width + 2.0f, static_cast<float>(ZQI_FontPixelSize(font)) + 2.0f);
    ZQI_OverlayColor(1.0f, 1.0f, 1.0f);
    ZQI_OverlayAlpha(1.0f);
    ZQI_OverlayText(font, 2.0f, 2.0f, text);
}

// F3: this frame's step joins the ring; the graph shows the last W steps, oldest on the left,
// against a red line at 1/30 s. Nothing on a screen 20 pixels wide or less (no sample fits).
void DrawFrameTimeGraph(float step) {
    int32_t w = g_runtime.displayWidth - 20;
    w = w < kGraphRing ? w : kGraphRing;
    if (w <= 0) {
        return;
    }
    const float scale = kGraphHeight / kGraphTop;
    g_overlay.graphIndex %= w;  // the screen may have narrowed since the last frame
    g_overlay.frameSteps[g_overlay.graphIndex] = step;
    ZQI_OverlayBlendMode(1);
    ZQI_OverlayColor(0.0f, 0.0f, 0.0f);
    ZQI_OverlayAlpha(0.8f);
    ZQI_OverlayRectangle(kGraphLeft, 10.0f, static_cast<float>(w), kGraphHeight);
    ZQI_OverlayColor(0.0f, 1.0f, 0.0f);
    ZQI_OverlayPrint(ZQI_GetDefaultFont(), 10.0f, 10.0f, "High: %dms",
                     static_cast<int32_t>(kGraphTop * 1000.0f + 0.5f));
    ZQI_OverlayColor(1.0f, 0.0f, 0.0f);
    ZQI_OverlayAlpha(0.5f);
    const float thirtyHertz = kGraphBottom - scale * kThirtyHertzStep;
    ZQI_OverlayLine(kGraphLeft, thirtyHertz, static_cast<float>(w) + kGraphLeft, thirtyHertz);
    ZQI_OverlayColor(0.0f, 1.0f, 0.0f);
    ZQI_OverlayAlpha(1.0f);
    float x = kGraphLeft;
    float y = kGraphBottom;
    for (int32_t i = 0; i < w; ++i) {
        // The entry after the newest is the oldest still in the ring.
        const float sample = g_overlay.frameSteps[(g_overlay.graphIndex + 1 + i) % w];
        const float nextX = kGraphLeft + static_cast<float>(i);
        const float nextY = kGraphBottom - scale * sample;
        ZQI_OverlayLine(x, y, nextX, nextY);
        x = nextX;
        y = nextY;
    }
    ZQI_OverlayColor(1.0f, 1.0f, 1.0f);
    g_overlay.graphIndex = (g_overlay.graphIndex + 1) % w;
}

bool IsHeld(int32_t key) {
    return ZQ_GetInputState(key) != 0;
}

bool IsActing(int32_t key) {
    return (ZQ_GetInputState(key) & 1) != 0;
}

void RunDeveloperTools(float step) {
    if (g_overlay.memory == nullptr) {
        g_overlay.memory = ZQI_CreateMemoryOverlayState();
    }
    ZQI_SampleMemoryStatistics(g_overlay.memory);
    if (IsHeld(kKeyF1)) {
        ZQI_OverlayColor(1.0f, 1.0f, 1.0f);
        ZQI_OverlayAlpha(1.0f);
        ZQI_OverlayPrint(ZQI_GetDefaultFont(), 100.0f, 50.0f, "%.0f", g_overlay.lastFrameRate);
    }
    if (IsHeld(kKeyF2) && g_overlay.memory != nullptr && g_core.program != nullptr) {
        ZQI_DrawMemoryOverlay(g_overlay.memory);
    }
    if (IsHeld(kKeyF3)) {
        DrawFrameTimeGraph(step);
    }
    if (IsActing(kKeyF4)) {
        ZQI_CallExtension("ListResourceUsage", nullptr);
    }
    if (IsActing(kKeyF5)) {
        ZQI_CallExtension("Cache", "ReloadResources");
    }
    if (IsHeld(kKeyF6) || ZQI_IsFeatureEnabled("SHOW_INFO")) {
        ZQI_DrawInformationPanel();
    }
}

bool WritesText() {
    if (g_runtime.showFps) {
        return true;
    }
    return g_core.developerMode && (IsHeld(kKeyF1) || IsHeld(kKeyF2) || IsHeld(kKeyF3) || IsHeld(kKeyF6) ||
                                    ZQI_IsFeatureEnabled("SHOW_INFO"));
}

}  // namespace

void ZQI_DrawDebugOverlay(float step) {
    AdvanceFrameRateMeter(step);
    // The overlays write from the text state's defaults. Reset only when one is shown: a program
    // that sets its text state once must find it as it left it in every other frame.
    if (WritesText()) {
        ZQI_ResetOverlayTextState();
    }
    if (g_runtime.showFps) {
        DrawFrameRateBox();
    }
    if (g_core.developerMode) {
        RunDeveloperTools(step);
    }
    Console* console = ZQI_GetConsole();
    ZQI_AnimateConsole(console, step);
    ZQI_DrawConsole(console);
}

void ZQI_FreeDebugOverlayState() {
    ZQI_FreeMemoryOverlayState(g_overlay.memory);
    g_overlay.memory = nullptr;
}
