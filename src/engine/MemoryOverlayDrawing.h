// The memory overlay's picture (F2): the estimates of system, GPU, sound and vertex memory as
// stacked bars over a grid in megabytes, with the current values and their peaks beside them.
#pragma once

#include <cstdint>

#include "foundation/Array.h"

struct MemoryOverlayState;

// The whole overlay: layout, grid, the four stacked histories and the labels.
void ZQI_DrawMemoryOverlay(MemoryOverlayState* state);
// The panel's dark background, its bottom bar, and the grid lines with their "%d MB" labels.
void ZQI_DrawMemoryBar(MemoryOverlayState* state);
// One history as bars standing on the stack heights of the histories drawn before it, which then
// grow by its values. Nothing for fewer than 2 samples.
void ZQI_DrawMemoryGraph(MemoryOverlayState* state, const Array<int32_t>& history, float r, float g, float b);
