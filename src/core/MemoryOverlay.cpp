// The memory overlay's state and its sampling.
#include "core/MemoryOverlay.h"

#include <initializer_list>
#include <new>

#include "core/ApiTable.h"
#include "core/Log.h"
#include "core/MemoryStatistics.h"

namespace {

const int32_t kSampleInterval = 30;  // frames between samples
const int32_t kEqualTotalsKept = 4;  // a total repeated this often adds no further sample

const uint32_t kStartScale = 33554432;  // 32 MB
const int32_t kStartBarWidth = 2;
const int32_t kStartGridStep = 10;
const int32_t kStartPanelWidth = 800;
const int32_t kStartPanelHeight = 600;
const uint32_t kStartGridUnit = 10485760;  // 10 MB
const int32_t kPanelMargin = 50;
const int32_t kSmallestGridStep = 2;
const uint32_t kScaleGrowthUnits = 2;  // grid units added per total above the scale

// True when the last kEqualTotalsKept totals all equal total.
bool TotalIsSettled(const Array<int32_t>& totals, int32_t total) {
    if (totals.count < kEqualTotalsKept) {
        return false;
    }
    for (int32_t i = totals.count - kEqualTotalsKept; i < totals.count; ++i) {
        if (totals[i] != total) {
            return false;
        }
    }
    return true;
}

void Record(Array<int32_t>& history, uint32_t& peak, int32_t value) {
    history.Push(value);
    if (value > 0 && static_cast<uint32_t>(value) > peak) {
        peak = static_cast<uint32_t>(value);
    }
}

void DropOldestSamples(MemoryOverlayState* state) {
    state->totalHistory.RemoveFirst();
    state->gpuHistory.RemoveFirst();
    state->systemHistory.RemoveFirst();
    state->soundHistory.RemoveFirst();
    state->vertexHistory.RemoveFirst();
}

}  // namespace

MemoryOverlayState* ZQI_CreateMemoryOverlayState() {
    MemoryOverlayState* state = new (std::nothrow) MemoryOverlayState();
    if (state == nullptr) {
        ZQI_LogFormat(LOG_LEVEL_ERROR, "ZQI_CreateMemoryOverlayState: out of memory.");
        return nullptr;
    }
    for (Array<int32_t>* history : {&state->totalHistory, &state->gpuHistory, &state->systemHistory,
                                    &state->soundHistory, &state->vertexHistory}) {
        history->shrinkOnRemove = true;
    }
    state->graphScale = kStartScale;
    state->barWidth = kStartBarWidth;
    state->gridStep = kStartGridStep;
    state->panelWidth = kStartPanelWidth;
    state->panelHeight = kStartPanelHeight;
    state->gridUnit = kStartGridUnit;
    return state;
}

void ZQI_FreeMemoryOverlayState(MemoryOverlayState* state) {
    delete state;
}

void ZQI_SampleMemoryStatistics(MemoryOverlayState* state) {
    if (state == nullptr) {
        return;
    }
    state->sampleCalls += 1;
    if (state->sampleCalls < kSampleInterval) {
        return;
    }
    state->sampleCalls = 0;
    ZQI_CallExtension("RefreshMemUsageEstimates", "");
    const int32_t total = ZQ_GetInputState(MEMORY_STAT_TOTAL);
    const int32_t gpu = ZQ_GetInputState(MEMORY_STAT_GPU);
    const int32_t system = ZQ_GetInputState(MEMORY_STAT_SYSTEM);
    const int32_t sound = ZQ_GetInputState(MEMORY_STAT_SOUND);
    const int32_t vertex = ZQ_GetInputState(MEMORY_STAT_VERTEX);
    if (TotalIsSettled(state->totalHistory, total)) {
        return;
    }
    Record(state->totalHistory, state->totalPeak, total);
    Record(state->gpuHistory, state->gpuPeak, gpu);
    Record(state->systemHistory, state->systemPeak, system);
    Record(state->soundHistory, state->soundPeak, sound);
    Record(state->vertexHistory, state->vertexPeak, vertex);
    if (static_cast<int64_t>(state->totalHistory.count) * state->barWidth > state->panelWidth) {
        DropOldestSamples(state);
    }
}

void ZQI_LayoutMemoryOverlay(MemoryOverlayState* state, int32_t displayWidth, int32_t displayHeight) {
    if (state == nullptr || state->gridUnit == 0) {
        return;
    }
    state->panelLeft = kPanelMargin;
    state->panelTop = kPanelMargin;
    state->panelWidth = displayWidth - 2 * kPanelMargin;
    state->panelHeight = displayHeight - 2 * kPanelMargin;
    const uint32_t gridLines = state->graphScale / state->gridUnit;
    const int32_t step =
        gridLines > 0 ? state->panelHeight / static_cast<int32_t>(gridLines) : state->panelHeight;
    state->gridStep = step > kSmallestGridStep ? step : kSmallestGridStep;
    for (int32_t i = 0; i < state->totalHistory.count; ++i) {
        if (state->totalHistory[i] > 0 && static_cast<uint32_t>(state->totalHistory[i]) > state->graphScale) {
            state->graphScale += kScaleGrowthUnits * state->gridUnit;
        }
    }
}
