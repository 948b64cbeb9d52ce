// Packing a set of bitmaps into one atlas bitmap: the smallest power-of-two atlas (32 to 4096 a
// side, within the given maxima) that a shelf layout with 2-pixel gaps fits them into; among equal
// areas the squarer one wins. The distinct frames of a bitmap sequence and the glyphs of a font are
// packed this way.
#pragma once

#include <cstdint>

#include "zorqa.h"

// atlas: a record owned by the caller; its old pixels and name are freed and it becomes a 2D RGBA
// record named "atlas" with the packed pixels (transparent pixels bled once). Each bitmap's GPU
// texture rectangle (texture_left .. texture_bottom) is set to its place in the atlas. The
// bitmaps need pixels and keep them. Maxima above 8192 count as 8192. False, with a popup, when
// they do not fit; the atlas then has no pixels.
bool ZQI_PackBitmaps(zq_bitmap_t* atlas, zq_bitmap_t** bitmaps, int32_t count, int32_t maxWidth,
                     int32_t maxHeight);
