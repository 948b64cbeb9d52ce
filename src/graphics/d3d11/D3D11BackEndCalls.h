// Connects the portable bitmap and drawing code to the Direct3D 11 back end: installs the calls of
// graphics/RendererBackEnd.h and graphics/RendererDevice.h, which reach the core's renderer object
// (g_core.renderer).
#pragma once

#include <cstdint>

// Main thread, when the renderer object is created (and again after it was removed).
void ZQI_InstallD3D11BackEnd();

// The largest texture side of the core's renderer: 2048 without one or at feature levels 9_1 and
// 9_2, 4096 at 9_3, 16384 otherwise.
int32_t ZQI_GetMaximumTextureSize();
