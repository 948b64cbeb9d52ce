// The engine's own drawing around the program's Draw: the overlay-zoom render targets, the
// letterbox bars of autoscaling, and the time-step test overlay.
#pragma once

// |overlay zoom - 1| >= 0.000001: the frame renders into the zoom targets this frame.
bool ZQI_IsOverlayZoomActive();
// Creates (first use) or resizes the zoom targets and pushes them as the render targets.
void ZQI_BeginOverlayZoom();
// Pops the zoom targets, clears the screen and draws the zoomed frame through the screen
// transform.
void ZQI_EndOverlayZoom();
// Black bars outside the design area where autoscaling left a margin.
void ZQI_DrawLetterboxBars();
