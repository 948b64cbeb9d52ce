// Autoscaling and screen orientation: maps the program's design size onto the display (scaled,
// optionally keeping the aspect ratio, centred, letterboxed), the developer overlay zoom about
// the screen centre, and the screen transform pushed before the program draws.
#pragma once

#include <cstdint>

#include "foundation/Matrix4x4.h"

// 4 (landscape) when height < width, else 1 (portrait): a square counts as portrait.
uint32_t ZQI_GetDesignOrientation(int32_t width, int32_t height);
// "PORTRAIT" for 1 and 2, "LANDSCAPE" for 4 and 8, "UNKNOWN" otherwise.
const char* ZQI_GetOrientationName(uint32_t orientation);

// Start-up, after the packages: settles the program size, the display size and the native
// orientation (a square display counts as landscape).
void ZQI_ApplyParameterOverrides();
// At initialisation and after every display change: switches autoscaling off when the design
// size is the program's size, otherwise makes the program draw in design units.
void ZQI_SetupAutoscaling();
// Scale factors, their inverses and the letterbox offsets; only while autoscaling.
void ZQI_UpdateAutoscale();
// The zoom offsets of the overlay zoom.
void ZQI_UpdateAutoscaleOffsets();
// The screen transform: the program's area centred on the origin, scaled, placed at the display
// centre.
Matrix4x4 ZQI_ComputeScreenTransform();
// Maps a client-area position to the program's units: autoscaling (design units past the
// letterbox) first, then the overlay zoom about the screen centre is undone. The window procedure
// applies it to pointer positions.
void ZQI_MapWindowPointToProgram(int32_t* x, int32_t* y);
// Pushes ZQI_ComputeScreenTransform onto the world-transform stack.
void ZQI_BuildScreenTransform();
// Hands the graphics subsystem the screen mapping (autoscaling, overlay zoom, orientation) it maps
// back-buffer scissor rectangles with, and the zoom's set-aside while drawing into a target.
void ZQI_ConnectScreenMapping();
