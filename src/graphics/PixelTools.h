// Small operations on a bitmap's RGBA pixels in memory (bytes R, G, B, A; rows top to bottom;
// pixel_width x pixel_height of them, whatever size a manifest entry draws the bitmap at): a
// clamped fetch, bleeding colour into transparent pixels, bilinear and box sampling, resizing into
// another bitmap, and comparing two bitmaps. Bitmap resizing, atlas packing, sequence optimisation
// and the font generator use them.
#pragma once

#include <cstdint>

#include "zorqa.h"

// A pixel as its four bytes R, G, B, A.
struct RGBAPixel {
    uint8_t r;
    uint8_t g;
    uint8_t b;
    uint8_t a;
};

// The pixel at (x, y) clamped into the image. For a bitmap with alpha, a place outside the image
// gives the edge pixel's colour with alpha 0 (so bleeding treats the outside as transparent).
RGBAPixel GetImagePixelClamped(const zq_bitmap_t* bitmap, int32_t x, int32_t y);

// One pass, in place and in row order: each fully transparent pixel takes the colour of its last
// non-transparent neighbour in the order above, right, below, left, and keeps alpha 0. Returns the
// number of pixels whose value changed (0 without pixels or without alpha); call it until it
// returns 0 to fill every transparent pixel reachable from an opaque one.
int32_t BleedTransparentPixels(zq_bitmap_t* bitmap);

// Bilinear sample at (u, v) in 0..1 with 11-bit fixed-point weights.
RGBAPixel SampleImageBilinear(const zq_bitmap_t* bitmap, double u, double v);

// Average of the bilinear samples over a box of boxWidth x boxHeight pixels from (u, v): colour
// averaged over the samples with alpha above 0, alpha over all of them.
RGBAPixel DownsampleImageBox(const zq_bitmap_t* bitmap, double u, double v, double boxWidth,
                             double boxHeight);

// Resamples source into target's new pixels of width x height (box filter when shrinking by more
// than 1.5 on an axis, else bilinear), with a bleeding pass before and after for images with alpha.
// False, with a popup for null bitmaps or a source without pixels, and for sizes outside 1..65534.
bool ZQI_CreateImageResized(zq_bitmap_t* target, zq_bitmap_t* source, int32_t width, int32_t height);

// True when both bitmaps have the same size and no channel of any pixel differs by more than 3;
// a non-zero total difference is logged.
bool BitmapPixelsMatch(const zq_bitmap_t* a, const zq_bitmap_t* b);
