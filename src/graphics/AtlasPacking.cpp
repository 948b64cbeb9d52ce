// Atlas packing: the search over power-of-two atlas sizes and the shelf layout.
#include "graphics/AtlasPacking.h"

#include <cstdlib>
#include <cstring>

#include "core/ApiTable.h"
#include "foundation/TextUtils.h"
#include "graphics/BitmapData.h"
#include "graphics/BitmapPacker.h"
#include "graphics/BitmapTable.h"
#include "graphics/PixelTools.h"

namespace {

const int32_t kLargestMaximum = 8192;
const int32_t kGap = 2;  // pixels around and between the packed bitmaps
const int32_t kSearchExponents[] = {10, 11, 12};
const int32_t kExponentSpan = 5;  // each step tries sides from 2^(e-5) to 2^e

struct AtlasSize {
    int32_t width;
    int32_t height;
};

// Where the shelf layout puts bitmap i in an atlas of the given size. False when one does not fit.
// Every shelf is as high as the highest bitmap.
bool LayOut(zq_bitmap_t** bitmaps, int32_t count, int32_t rowHeight, AtlasSize size, int32_t* xs,
            int32_t* ys) {
    int64_t x = kGap;
    int64_t y = kGap;
    for (int32_t i = 0; i < count; ++i) {
        const int64_t width = bitmaps[i]->pixel_width;
        if (x + kGap + width > size.width) {
            x = kGap;
            y += rowHeight + kGap;
        }
        if (y + rowHeight + kGap > size.height || x + kGap + width > size.width) {
            return false;
        }
        if (xs != nullptr) {
            xs[i] = static_cast<int32_t>(x);
            ys[i] = static_cast<int32_t>(y);
        }
        x += width + kGap;
    }
    return true;
}

double Squareness(AtlasSize size) {
    return size.width < size.height ? double(size.width) / size.height : double(size.height) / size.width;
}

// The smallest atlas the bitmaps fit into; among equal areas the squarer one, and between equally
// square ones the later in the search order. False when none up to 4096 fits.
bool FindAtlasSize(zq_bitmap_t** bitmaps, int32_t count, int32_t rowHeight, int64_t usedArea,
                   int32_t maxWidth, int32_t maxHeight, AtlasSize* best) {
    *best = {2 * maxWidth, 2 * maxHeight};
    int64_t bestArea = int64_t(best->width) * best->height;
    bool found = false;
    for (int32_t e : kSearchExponents) {
        for (int32_t a = e - kExponentSpan; a <= e; ++a) {
            for (int32_t b = e - kExponentSpan; b <= e; ++b) {
                const AtlasSize size = {1 << b, 1 << a};
                const int64_t area = int64_t(size.width) * size.height;
                if (size.width > maxWidth || size.height > maxHeight || area > bestArea) {
                    continue;
                }
                if (area == bestArea && Squareness(size) < Squareness(*best)) {
                    continue;
                }
                if (LayOut(bitmaps, count, rowHeight, size, nullptr, nullptr)) {
                    ZQ_Print("Fits into %dx%d (%.2f full)", size.width, size.height,
                             double(usedArea) / double(area));
                    *best = size;
                    bestArea = area;
                    found = true;
                }
            }
        }
        if (found) {
            return true;
        }
    }
    return false;
}

void ResetAtlasRecord(zq_bitmap_t* atlas) {
    free(atlas->pixels);
    free(atlas->name);
    memset(atlas, 0, sizeof(*atlas));
    ZQI_SetUpAtlasRecord(atlas, ZQI_DuplicateText("atlas"));
    // The gaps between the bitmaps are transparent.
    atlas->flags = BITMAP_FLAG_ALPHA;
}

void CopyInto(zq_bitmap_t* atlas, const zq_bitmap_t* bitmap, int32_t x, int32_t y) {
    const size_t rowBytes = size_t(bitmap->pixel_width) * 4;
    for (int32_t row = 0; row < bitmap->pixel_height; ++row) {
        memcpy(atlas->pixels + (int64_t(y + row) * atlas->pixel_width + x) * 4,
               bitmap->pixels + row * rowBytes, rowBytes);
    }
}

bool CheckInputs(zq_bitmap_t** bitmaps, int32_t count) {
    if (bitmaps == nullptr || count < 1) {
        ZQ_Log(2, "ZQI_PackBitmaps: no bitmaps to pack.");
        return false;
    }
    for (int32_t i = 0; i < count; ++i) {
        if (bitmaps[i] == nullptr || bitmaps[i]->pixels == nullptr || bitmaps[i]->pixel_width < 1 ||
            bitmaps[i]->pixel_height < 1) {
            ZQ_Log(2, "ZQI_PackBitmaps: bitmap %d has no pixels.", i);
            return false;
        }
    }
    return true;
}

}  // namespace

bool ZQI_PackBitmaps(zq_bitmap_t* atlas, zq_bitmap_t** bitmaps, int32_t count, int32_t maxWidth,
                     int32_t maxHeight) {
    if (atlas == nullptr) {
        ZQ_Log(2, "ZQI_PackBitmaps: no atlas record to pack into.");
        return false;
    }
    maxWidth = maxWidth > kLargestMaximum ? kLargestMaximum : maxWidth;
    maxHeight = maxHeight > kLargestMaximum ? kLargestMaximum : maxHeight;
    ResetAtlasRecord(atlas);
    if (!CheckInputs(bitmaps, count)) {
        return false;
    }
    int32_t rowHeight = 0;
    int64_t usedArea = 0;
    int64_t singleArea = 0;
    for (int32_t i = 0; i < count; ++i) {
        const zq_bitmap_t* bitmap = bitmaps[i];
        rowHeight = bitmap->pixel_height > rowHeight ? bitmap->pixel_height : rowHeight;
        usedArea += int64_t(bitmap->pixel_width) * bitmap->pixel_height;
        singleArea +=
            int64_t(ZQI_NextPowerOfTwo(bitmap->pixel_width)) * ZQI_NextPowerOfTwo(bitmap->pixel_height);
    }
    AtlasSize size;
    if (!FindAtlasSize(bitmaps, count, rowHeight, usedArea, maxWidth, maxHeight, &size)) {
        ZQ_Popup(1,
                 "ZQI_PackBitmaps unable to find large enough atlas size for %d bitmaps (first bm size "
                 "%dx%d). All "
                 "bitmaps need to fit into %dx%d atlas for 100%% cross-platform compatibility.",
                 count, bitmaps[0]->pixel_width, bitmaps[0]->pixel_height, maxWidth, maxHeight);
        return false;
    }
    ZQ_Print("Choosing %dx%d, packing pixels... (ratio %.2f vs single images)", size.width, size.height,
             double(singleArea) / (double(size.width) * size.height));
    int32_t* xs = static_cast<int32_t*>(malloc(sizeof(int32_t) * 2 * size_t(count)));
    atlas->pixels = static_cast<uint8_t*>(calloc(size_t(size.width) * size_t(size.height), 4));
    if (xs == nullptr || atlas->pixels == nullptr) {
        ZQ_Log(2, "ZQI_PackBitmaps: out of memory for a %dx%d atlas.", size.width, size.height);
        free(xs);
        free(atlas->pixels);
        atlas->pixels = nullptr;
        return false;
    }
    int32_t* ys = xs + count;
    LayOut(bitmaps, count, rowHeight, size, xs, ys);
    atlas->width = atlas->pixel_width = size.width;
    atlas->height = atlas->pixel_height = size.height;
    for (int32_t i = 0; i < count; ++i) {
        zq_bitmap_t* bitmap = bitmaps[i];
        CopyInto(atlas, bitmap, xs[i], ys[i]);
        bitmap->gpu.texture_left = float(xs[i]) / size.width;
        bitmap->gpu.texture_top = float(ys[i]) / size.height;
        bitmap->gpu.texture_right = float(xs[i] + bitmap->pixel_width) / size.width;
        bitmap->gpu.texture_bottom = float(ys[i] + bitmap->pixel_height) / size.height;
    }
    free(xs);
    BleedTransparentPixels(atlas);
    ZQ_Print("Successfully packed %d bitmaps into %dx%d atlas.", count, size.width, size.height);
    return true;
}
