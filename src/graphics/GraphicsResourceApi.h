// The graphics API slots of the bitmap table (GraphicsApi.cpp puts them into the sub-table).
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
