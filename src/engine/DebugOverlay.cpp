// The debug overlay's frame work: the frame-rate meter, in developer mode the memory statistics
// and the resource tools on F4 ("ListResourceUsage") and F5 ("Cache" "ReloadResources"), and
// the console's slide and cursor blink.
#include "engine/DebugOverlay.h"

#include "core/ApiTable.h"
#include "core/ConsoleOverlay.h"
#include "core/CoreState.h"
#include "core/Log.h"
#include "core/MemoryOverlay.h"

namespace {

// Function keys; F4 and F5 act while bit 0 of their state is set.
const int32_t kKeyF4 = 115;
const int32_t kKeyF5 = 116;

const float kMeterPeriod = 1.5f;  // seconds counted before the frame rate is renewed

struct DebugOverlayState {
    float meterTime;  // seconds counted, in whole milliseconds
    int32_t meterFrames;
    float lastFrameRate;         // 0 until the first period has passed
    MemoryOverlayState* memory;  // created on the first developer-mode frame
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

bool IsActing(int32_t key) {
    return (ZQ_GetInputState(key) & 1) != 0;
}

void RunDeveloperTools() {
    if (g_overlay.memory == nullptr) {
        g_overlay.memory = ZQI_CreateMemoryOverlayState();
    }
    ZQI_SampleMemoryStatistics(g_overlay.memory);
    if (IsActing(kKeyF4)) {
        ZQI_CallExtension("ListResourceUsage", nullptr);
    }
    if (IsActing(kKeyF5)) {
        ZQI_CallExtension("Cache", "ReloadResources");
    }
}

}  // namespace

void ZQI_DrawDebugOverlay(float step) {
    AdvanceFrameRateMeter(step);
    if (g_core.developerMode) {
        RunDeveloperTools();
    }
    ZQI_AnimateConsole(ZQI_GetConsole(), step);
}

void ZQI_FreeDebugOverlayState() {
    ZQI_FreeMemoryOverlayState(g_overlay.memory);
    g_overlay.memory = nullptr;
}
