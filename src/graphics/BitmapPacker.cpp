// Texture padding: the border rules of the pack modes and the packed copy of a bitmap's pixels.
#include "graphics/BitmapPacker.h"

#include <cstdlib>
#include <cstring>

#include "core/ApiTable.h"
#include "graphics/BitmapTable.h"

namespace {

const int32_t kLargeSide = 1023;  // from here on a side that (nearly) fills a power of two loses its border

bool IsPowerOfTwo(int32_t value) {
    return value > 0 && (value & (value - 1)) == 0;
}

// A large side that is a power of two, or one border short of one, would double the texture for
// the sake of a one-pixel border: it goes without.
int32_t BorderForSide(int32_t side, int32_t border) {
    if (side >= 1024 && IsPowerOfTwo(side)) {
        return 0;
    }
    if (side >= kLargeSide && border > 0 && IsPowerOfTwo(side + border)) {
        return 0;
    }
    return border;
}

uint32_t* TexelRow(BitmapPacker* packer, int32_t row) {
    return reinterpret_cast<uint32_t*>(packer->pixels + int64_t(row) * packer->pitch);
}

}  // namespace

int32_t ZQI_NextPowerOfTwo(int32_t value) {
    int32_t result = 1;
    while (result < value && result < (1 << 30)) {
        result <<= 1;
    }
    return result;
}

void BitmapPacker::BeginPacking(zq_bitmap_t* target, bool exactSize) {
    memset(this, 0, sizeof(*this));
    if (target == nullptr) {
        ZQ_Popup(1, "BitmapPacker::BeginPacking got null bitmap pointer. This should never happen.");
        return;
    }
    bitmap = target;
    exact = exactSize ? 1 : 0;
    if (target->pixels == nullptr) {
        ZQ_Popup(1, "BitmapPacker::BeginPacking bitmap '%s' has no pixels. This should never happen.",
                 target->name != nullptr ? target->name : "");
        return;
    }
    if (target->pixel_width == 0 || target->pixel_height == 0) {
        target->pixel_width = target->width;
        target->pixel_height = target->height;
    }
    const int32_t width = target->pixel_width;
    const int32_t height = target->pixel_height;
    if (target->name != nullptr && strstr(target->name, "textures/") != nullptr) {
        target->pack_mode = NO_PADDING;
    }
    if (IsPowerOfTwo(width) && IsPowerOfTwo(height)) {
        target->pack_mode = NO_PADDING;
    }
    if (target->pack_mode == PAD_DEFAULT && (target->flags & BITMAP_FLAG_ALPHA) == 0) {
        target->pack_mode = PAD_EXPAND;
    }
    const int32_t border = target->pack_mode == NO_PADDING ? 0 : 1;
    borderX = BorderForSide(width, border);
    borderY = BorderForSide(height, border);
    if (borderX == 0 && borderY == 0) {
        target->pack_mode = NO_PADDING;
    }
    textureWidth = width + 2 * borderX;
    textureHeight = height + 2 * borderY;
    if (!exact) {
        textureWidth = ZQI_NextPowerOfTwo(textureWidth);
        textureHeight = ZQI_NextPowerOfTwo(textureHeight);
    }
    pitch = textureWidth * 4;
}

bool BitmapTexturePacker(BitmapPacker* packer) {
    zq_bitmap_t* bitmap = packer->bitmap;
    if (bitmap == nullptr || bitmap->pixels == nullptr || packer->textureWidth < 1) {
        return false;
    }
    const int32_t width = bitmap->pixel_width;
    const int32_t height = bitmap->pixel_height;
    packer->pitch = packer->textureWidth * 4;
    if (packer->textureWidth == width && packer->textureHeight == height) {
        packer->pixels = bitmap->pixels;
        packer->ownsBuffer = 0;
        return true;
    }
    packer->pixels = static_cast<uint8_t*>(malloc(size_t(packer->pitch) * size_t(packer->textureHeight)));
    if (packer->pixels == nullptr) {
        ZQ_Log(1, "BitmapTexturePacker unable to get target pixel memory.\n");
        return false;
    }
    packer->ownsBuffer = 1;
    const size_t rowBytes = size_t(width) * 4;
    for (int32_t row = 0; row < height; ++row) {
        memcpy(TexelRow(packer, row + packer->borderY) + packer->borderX, bitmap->pixels + row * rowBytes,
               rowBytes);
    }
    if (packer->borderX != 0 || packer->borderY != 0) {
        packer->FillBorder(bitmap->pack_mode);
    }
    return true;
}

void BitmapPacker::FillBorder(uint32_t packMode) {
    if (packMode != PAD_EXPAND && packMode != PAD_DEFAULT) {
        return;
    }
    const int32_t width = bitmap->pixel_width;
    const int32_t height = bitmap->pixel_height;
    const int32_t paddedRows = height + 2 * borderY;
    const size_t paddedRowBytes = size_t(width + 2 * borderX) * 4;
    if (borderY == 1) {
        memcpy(TexelRow(this, 0), TexelRow(this, 1), paddedRowBytes);
        memcpy(TexelRow(this, height + 1), TexelRow(this, height), paddedRowBytes);
    }
    if (borderX == 1) {
        for (int32_t row = 0; row < paddedRows; ++row) {
            uint32_t* texels = TexelRow(this, row);
            texels[0] = texels[1];
            texels[width + 1] = texels[width];
        }
    }
    if (packMode != PAD_DEFAULT) {
        return;
    }
    if (borderY == 1) {
        for (int32_t x = 0; x < textureWidth; ++x) {
            pixels[x * 4 + 3] = 0;
            pixels[int64_t(height + 1) * pitch + x * 4 + 3] = 0;
        }
    }
    if (borderX == 1) {
        for (int32_t row = 0; row < paddedRows; ++row) {
            uint8_t* texels = reinterpret_cast<uint8_t*>(TexelRow(this, row));
            texels[3] = 0;
            texels[(width + 1) * 4 + 3] = 0;
        }
    }
}

void BitmapPacker::Release() {
    if (ownsBuffer) {
        free(pixels);
    }
    pixels = nullptr;
    ownsBuffer = 0;
}
