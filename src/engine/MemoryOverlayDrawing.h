// The memory overlay's picture (F2): the estimates of system, GPU, sound and vertex memory as
// stacked bars over a grid in megabytes, with the current values and their peaks beside them.
#pragma once

struct MemoryOverlayState;

// The whole overlay: layout, grid, the four stacked histories and the labels.
void ZQI_DrawMemoryOverlay(MemoryOverlayState* state);
