// Frame limiter and time-step rules.
#include "engine/FrameTiming.h"

#include "core/ApiTable.h"
#include "core/Log.h"
#include "engine/RuntimePlatform.h"
#include "engine/RuntimeState.h"

namespace {

const float kLongestStep = 0.2f;
const float kStepAfterStall = 0.030303031f;  // 1/33 s
const float kStepForNegative = 0.001f;
// Sleeping ends on the 1 ms system timer, so the last 2 ms are spun to meet the frame time.
const int32_t kSpinMilliseconds = 2;

}  // namespace

int32_t ZQI_WaitForFrameTime(int32_t frameTime) {
    const RuntimeClock& clock = ZQI_GetRuntimeClock();
    if (g_runtime.previousFrameTime == 0) {
        g_runtime.previousFrameTime = clock.Milliseconds();
    }
    int32_t elapsed = 0;
    do {
        g_runtime.currentFrameTime = clock.Milliseconds();
        elapsed = static_cast<int32_t>(g_runtime.currentFrameTime - g_runtime.previousFrameTime);
        if (elapsed < frameTime - kSpinMilliseconds) {
            clock.Sleep(1);
        }
    } while (elapsed < frameTime);
    g_runtime.previousFrameTime = g_runtime.currentFrameTime;
    return elapsed;
}

float ZQI_DetermineFrameTimeDelta(float dt, bool developer) {
    if (dt > kLongestStep) {
        return kStepAfterStall;
    }
    if (dt < 0.0f) {
        if (developer) {
            ZQ_Log(LOG_LEVEL_WARNING, "Found negative time delta in ZQI_DetermineFrameTimeDelta: %g", dt);
        }
        return kStepForNegative;
    }
    return dt;
}

FrameStep ZQI_MakeFrameStep(int32_t elapsedMilliseconds, bool developer) {
    FrameStep result;
    result.dt = ZQI_DetermineFrameTimeDelta(static_cast<float>(elapsedMilliseconds) * 0.001f, developer);
    result.ms = static_cast<int32_t>(result.dt * 1000.0f);
    result.step = static_cast<float>(result.ms) * 0.001f;
    return result;
}
