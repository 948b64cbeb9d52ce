// Signed distance fields of glyph bitmaps. A pixel is inside when its alpha and one of its colour
// channels are at least 128; a sample's value is its distance to the nearest pixel of the other
// state, saturating at the radius r, positive inside.
#pragma once

#include <cstdint>

#include "zorqa.h"

// The literal definition: the smallest squared distance (starting from r * r) to a pixel of the
// other state in the square of radius r around (x, y), clipped to the bitmap; its root, signed.
float SignedDistanceAt(const zq_bitmap_t* bitmap, int32_t r, int32_t x, int32_t y);
// The alpha a signed distance becomes: ((d / r + 1) / 2) clamped to 0..1, times 255, truncated.
uint8_t ZQI_DistanceToAlpha(float distance, int32_t r);
// The distance image of an RGBA bitmap (width x height) supersampled by factor: one output
// pixel per factor x factor block, sampled at the block's (factor / 2, factor / 2), white with
// the distance alpha. Byte for byte what SignedDistanceAt gives at each sample, by a distance
// transform clipped at r instead of a (2r + 1)^2 scan per sample. The image is malloc'd; false
// when out of memory or when the output would be empty.
bool ZQI_BuildDistanceImage(const uint8_t* rgba, int32_t width, int32_t height, int32_t factor, int32_t r,
                            uint8_t** out, int32_t* outWidth, int32_t* outHeight);
