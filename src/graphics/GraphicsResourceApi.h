// The graphics API slots of the bitmap table and the render states, and their installation into
// the engine API: the core builds the graphics sub-table with stand-ins, and a filler registered
// here puts these slots in place of theirs (now and at every later rebuild).
#pragma once

#include <cstdint>

#include "zorqa.h"

// Get by name with the default cache mode (CACHE_TEXTURE).
zq_bitmap_t* ZQ_Graphics_GetBitmap(const char* name);
zq_bitmap_t* ZQ_Graphics_GetBitmapWithCacheMode(const char* name, int32_t cacheMode);
zq_bitmap_t* ZQ_Graphics_LoadBitmap(const char* name, int32_t cacheMode);
// The bitmap slots in use: one past the highest slot ever taken.
int32_t ZQ_Graphics_GetNumBitmaps();
// Whether the renderer can make textures of the description; false without a renderer.
bool ZQ_Graphics_IsTextureFormatSupported(const zq_bitmap_desc_t* desc);

// Puts the slots into the API's graphics sub-table (nothing when it has none).
void ZQI_InstallGraphicsResourceApi(zq_api_t* api);
// Registers that as an API table filler and installs the slots into the current record.
void ZQI_ConnectGraphicsResourceApi();
