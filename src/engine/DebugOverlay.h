// The engine's developer overlays on top of the program's picture, drawn at the end of each
// frame: the frame-rate meter, the tools behind the function keys F1 to F6, the memory
// statistics and the console.
#pragma once

// Once per frame with the frame's step, after the program's Draw.
void ZQI_DrawDebugOverlay(float step);
// Shutdown: frees the memory overlay's state.
void ZQI_FreeDebugOverlayState();
