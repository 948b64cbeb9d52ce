// The graphics sub-table's bitmap slots that make, resize, refresh, release, remove, read back,
// save and re-frame bitmaps. They work on the bitmap table's records under "GET_BITMAP" and each
// record's busy flag, with the loading, upload and freeing operations of BitmapUpload.h.
#pragma once

#include <cstdint>

#include "zorqa.h"

// A new bitmap (pixels of width x height x 4, contents undefined) or render target, or the
// existing one of the name (counted again, resized when the size differs). Sizes are clamped to
// 1..GetMaximumTextureSize with a popup. Null when the table is full.
zq_bitmap_t* ZQ_Graphics_CreateBitmap(const char* name, const zq_bitmap_desc_t* desc);
// Plain bitmaps are resampled (the texture waits for RefreshBitmap); render targets are made again
// at the new size, unless bound as a target.
void ZQ_Graphics_ResizeBitmap(zq_bitmap_t* bitmap, int32_t width, int32_t height);
// Loads a bitmap again from its source, or uploads its pixels; a render target's GPU data is read
// into its pixels instead. Main thread only.
void ZQ_Graphics_RefreshBitmap(zq_bitmap_t* bitmap);
// One reference less: at 0 a reloadable bitmap or render target is hibernated, any other freed.
void ZQ_Graphics_ReleaseBitmap(zq_bitmap_t* bitmap);
// Frees the slot whatever its count.
void ZQ_Graphics_RemoveBitmapHandle(zq_bitmap_t* bitmap);
// Adds *count references (the count stays in 0..4096); a hibernated bitmap comes back.
void ZQ_Graphics_IncreaseBitmapReferenceCount(zq_bitmap_t* bitmap, const int16_t* count);
// A 2D RGBA8/RGBX8 render target's texels into its pixels. False without GPU data.
bool ZQ_Graphics_CopyBitmapRenderTargetDataToPixels(zq_bitmap_t* bitmap);
// The pixels as an image file (the image loader's SaveImage with option).
bool ZQ_Graphics_SaveBitmap(zq_bitmap_t* bitmap, const char* path, uint32_t option);
// The texture rectangle from texels; nothing while the texture size is 0.
void ZQ_Graphics_SetBitmapSourceRectangle(zq_bitmap_t* bitmap, int32_t x, int32_t y, int32_t width,
                                          int32_t height);
// The record of a slot below the used count that has a name; null otherwise.
zq_bitmap_t* ZQ_Graphics_GetBitmapFromHandle(const int32_t* slot);
int32_t ZQ_Graphics_GetMaximumTextureSize();
