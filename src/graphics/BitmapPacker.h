// BitmapPacker prepares one bitmap's pixels for upload as a texture: a one-pixel border (padding)
// chosen by the bitmap's pack mode and size, sides rounded up to powers of two unless the texture
// may keep its exact size, and the border filled so that filtered sampling at the bitmap's edges
// does not pick up the texels beyond them.
#pragma once

#include <cstdint>

#include "zorqa.h"

struct BitmapPacker {
    uint8_t* pixels;  // the bitmap's own pixels, or a buffer the packer allocated (ownsBuffer)
    int32_t textureWidth;
    int32_t textureHeight;
    int32_t pitch;  // bytes per texture row: textureWidth * 4
    int32_t borderX;
    int32_t borderY;
    uint8_t ownsBuffer;
    zq_bitmap_t* bitmap;
    uint8_t exact;  // the texture keeps the padded size instead of powers of two

    // Chooses the border and the texture size; may change the bitmap's pack mode ("textures/"
    // names, power-of-two sizes, opaque images of the default mode). A null bitmap or one without
    // pixels is reported and leaves the packer empty (no texture size). exact: the caller's
    // texture may have any size (one mip level and a back end without the power-of-two rule).
    void BeginPacking(zq_bitmap_t* target, bool exactSize);
    // Fills the border of the padded image in the buffer by pack mode: 0 copies the edge pixels
    // outwards, 2 does the same and then makes the border transparent, 1 and 3 leave it.
    void FillBorder(uint32_t packMode);
    // Frees the buffer when the packer made it.
    void Release();
};

// Produces the packed pixels: the bitmap's own when the texture has the pixel size, otherwise a new
// buffer of the texture's size with the image at (borderX, borderY) and the border filled. False
// when there is nothing to pack or the buffer cannot be allocated.
bool BitmapTexturePacker(BitmapPacker* packer);

// The smallest power of two at or above value (1 for values below 2).
int32_t ZQI_NextPowerOfTwo(int32_t value);
