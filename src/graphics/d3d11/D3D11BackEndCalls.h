// Connects the portable bitmap code to the Direct3D 11 back end: installs the calls of
// graphics/RendererBackEnd.h, which reach the core's renderer object (g_core.renderer).
#pragma once

// Main thread, when the renderer object is created (and again after it was removed).
void ZQI_InstallD3D11BackEnd();
