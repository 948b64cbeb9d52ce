// Stand-ins for the subsystems the lifecycle drives that are not part of the build yet: the global
// font's glyph pages. Each keeps the name its owner will give it; the owning subsystem replaces
// these declarations (and PendingSubsystems.cpp) when it is built. They do nothing.
#pragma once

#include <cstdint>

#include "zorqa.h"

// ---- Fonts ---------------------------------------------------------------------------------------

// Renderer start and stop: the global font's glyph pages to and from the GPU.
void ZQI_UploadGlobalFontPages();
void ZQI_FreeGlobalFontPages();
