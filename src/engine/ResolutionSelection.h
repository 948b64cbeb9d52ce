// Resolution selection: picks the display size from the manifest's list of resolutions (the
// largest entry that fits the desktop with the aspect closest to the desktop's, then any
// supported entry, the desktop size or the smallest entry), builds that list from the display's
// own modes when the manifest asks for it with "*", and answers whether a size can be used.
#pragma once

#include <cstdint>

#include "graphics/d3d11/RendererImplementation.h"  // Resolution and its comparators

// Sets the pending width, height and windowed flag. False when there is no resolutions text or
// nothing could be found; the pending size then stays as it was.
bool ZQI_SelectOptimalResolution(int32_t displayIndex, bool windowed, bool forcing);
// Rebuilds the resolutions text from the display's modes and the common sizes, largest first.
void BuildDisplayModeList(int32_t displayIndex);
// Whether the device can run width x height in that mode on the display.
bool ZQI_IsResolutionSupported(int32_t displayIndex, int32_t width, int32_t height, bool windowed);

// The typical screen size of a forced variant "PLATFORM/SCREENSIZE" ("IOS/SMALL" gives 960x640).
void ZQI_GetTypicalVariantSize(const char* variant, int32_t* width, int32_t* height);
