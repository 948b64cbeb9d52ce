// The memory overlay: a developer graph of the memory estimates over time. The debug overlay
// creates its state on first use, samples once per frame in developer mode and frees the state
// at shutdown.
#pragma once

#include <cstdint>

#include "foundation/Array.h"
#include "zorqa.h"

struct MemoryOverlayState {
    // Sample histories, oldest first; each drops its oldest sample once the panel is full.
    Array<int32_t> totalHistory;
    Array<int32_t> gpuHistory;
    Array<int32_t> systemHistory;
    Array<int32_t> soundHistory;
    Array<int32_t> vertexHistory;
    Array<int32_t> stackHeights;  // per sample, while the stacked bars are drawn
    uint32_t totalPeak;
    uint32_t gpuPeak;
    uint32_t systemPeak;
    uint32_t soundPeak;
    uint32_t vertexPeak;
    zq_font_t* font;      // the label font, chosen on first draw
    uint32_t graphScale;  // bytes at the top of the graph
    int32_t barWidth;     // pixels per sample
    int32_t gridStep;     // pixels between grid lines
    int32_t panelLeft;
    int32_t panelTop;
    int32_t panelWidth;
    int32_t panelHeight;
    uint32_t gridUnit;    // bytes per grid line
    int32_t sampleCalls;  // calls of ZQI_SampleMemoryStatistics since the last sample
};

// A new state with the starting values (32 MB scale, 2-pixel bars, 10 MB grid, an 800 x 600
// panel); null, with a log line, when out of memory.
MemoryOverlayState* ZQI_CreateMemoryOverlayState();
// Frees the state and its histories. Null is ignored.
void ZQI_FreeMemoryOverlayState(MemoryOverlayState* state);

// Once per frame: every 30th call refreshes the estimates ("RefreshMemUsageEstimates") and
// records them, unless the last four totals equal the new one. Peaks follow the samples; once
// the samples no longer fit the panel, the oldest of every history is dropped.
void ZQI_SampleMemoryStatistics(MemoryOverlayState* state);

// Before each draw: the panel fills the display but for a 50-pixel margin, the grid step fits the
// scale's grid lines into the panel (at least 2 pixels), and the scale then grows by two grid
// units for each recorded total above it, so the graph catches up with growing memory over a few
// frames.
void ZQI_LayoutMemoryOverlay(MemoryOverlayState* state, int32_t displayWidth, int32_t displayHeight);
