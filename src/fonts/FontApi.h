// The font subsystem as the engine drives it: its graphics sub-table slots (fonts, text sizes),
// start-up, and the renderer start and stop steps for font atlases.
#pragma once

#include "fonts/FontServices.h"
#include "zorqa.h"

// Puts the font slots into the API's graphics sub-table (nothing when it has none).
void ZQI_InstallFontApi(zq_api_t* api);
// Start-up: takes the run-wide settings, registers the slots' filler and installs them now, and
// hands the text drawers to the graphics text slot.
void ZQI_InitializeFonts(const FontRuntimeSettings& settings);
// Renderer start: every loaded font gets its atlas rebuilt (and uploaded or queued), once no other
// thread reads it; a font still loading is left to its loader, which builds and queues the atlas
// itself.
void ZQI_RecreateFontAtlases();
// Renderer stop: the GPU data of every loaded font's atlas is freed, once no other thread reads it;
// a font another thread holds (loading, refreshing, releasing) is left to that thread, which frees
// any old atlas texture.
void ZQI_FreeFontAtlasGpuData();
// The developer reload's refresh of a font it looked at under "GET_FONT" without taking a reference:
// refreshed (true) only when it is still the font of that name and in use once the refresh has it.
// A font released meanwhile, or whose slot another font took, is left as it is, and so is one that
// a loader, a refresh or a release has (false, nothing logged).
bool ZQI_RefreshFontInUse(zq_font_t* font, const char* name);
