// RGBA pixel tools: clamped fetch, bleeding, bilinear and box sampling, resizing, comparison.
#include "graphics/PixelTools.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "core/ApiTable.h"
#include "graphics/BitmapTable.h"
#include "graphics/ImageLoader.h"

namespace {

const int32_t kWeightOne = 2048;  // 11-bit bilinear weights
const int32_t kWeightShift = 22;  // two weights multiplied
const int32_t kMaxResizeSide = 65534;
const double kChannelScale = 0.0039138943;   // 1 / 255.5
const double kMatchTolerance = 0.011764706;  // 3 / 255: a difference of 3 passes, 4 fails

bool HasAlpha(const zq_bitmap_t* bitmap) {
    return (bitmap->flags & BITMAP_FLAG_ALPHA) != 0;
}

RGBAPixel PixelAt(const zq_bitmap_t* bitmap, int32_t x, int32_t y) {
    RGBAPixel pixel;
    memcpy(&pixel, bitmap->pixels + (int64_t(y) * bitmap->pixel_width + x) * 4, 4);
    return pixel;
}

int32_t Clamp(int32_t value, int32_t low, int32_t high) {
    return value < low ? low : (value > high ? high : value);
}

uint8_t UnitToByte(double value) {
    if (value < 0.0) {
        value = 0.0;
    } else if (value > 1.0) {
        value = 1.0;
    }
    return static_cast<uint8_t>(value * 255.0);
}

uint8_t WeighChannel(uint8_t p00, uint8_t p10, uint8_t p01, uint8_t p11, int64_t fx, int64_t fy) {
    int64_t sum = p00 * (kWeightOne - fx) * (kWeightOne - fy) + p10 * fx * (kWeightOne - fy) +
                  p01 * (kWeightOne - fx) * fy + p11 * fx * fy;
    sum >>= kWeightShift;
    return static_cast<uint8_t>(sum > 255 ? 255 : sum);
}

}  // namespace

RGBAPixel GetImagePixelClamped(const zq_bitmap_t* bitmap, int32_t x, int32_t y) {
    int32_t cx = Clamp(x, 0, bitmap->pixel_width - 1);
    int32_t cy = Clamp(y, 0, bitmap->pixel_height - 1);
    RGBAPixel pixel = PixelAt(bitmap, cx, cy);
    if (HasAlpha(bitmap) && (cx != x || cy != y)) {
        pixel.a = 0;
    }
    return pixel;
}

int32_t BleedTransparentPixels(zq_bitmap_t* bitmap) {
    if (bitmap == nullptr || bitmap->pixels == nullptr || !HasAlpha(bitmap)) {
        return 0;
    }
    static const int32_t kNeighbours[4][2] = {{0, -1}, {1, 0}, {0, 1}, {-1, 0}};  // above, right, below, left
    int32_t changed = 0;
    for (int32_t y = 0; y < bitmap->pixel_height; ++y) {
        for (int32_t x = 0; x < bitmap->pixel_width; ++x) {
            uint8_t* pixel = bitmap->pixels + (int64_t(y) * bitmap->pixel_width + x) * 4;
            if (pixel[3] != 0) {
                continue;
            }
            RGBAPixel chosen;
            memcpy(&chosen, pixel, 4);
            for (const auto& offset : kNeighbours) {
                RGBAPixel neighbour = GetImagePixelClamped(bitmap, x + offset[0], y + offset[1]);
                if (neighbour.a > 0) {
                    chosen = neighbour;
                }
            }
            chosen.a = 0;
            if (memcmp(&chosen, pixel, 4) != 0) {
                memcpy(pixel, &chosen, 4);
                ++changed;
            }
        }
    }
    return changed;
}

RGBAPixel SampleImageBilinear(const zq_bitmap_t* bitmap, double u, double v) {
    const double x = bitmap->pixel_width * u;
    const double y = bitmap->pixel_height * v;
    const int32_t x0 = static_cast<int32_t>(x);
    const int32_t y0 = static_cast<int32_t>(y);
    const RGBAPixel p00 = GetImagePixelClamped(bitmap, x0, y0);
    const RGBAPixel p10 = GetImagePixelClamped(bitmap, x0 + 1, y0);
    const RGBAPixel p01 = GetImagePixelClamped(bitmap, x0, y0 + 1);
    const RGBAPixel p11 = GetImagePixelClamped(bitmap, x0 + 1, y0 + 1);
    const int64_t fx = static_cast<int64_t>((x - x0) * kWeightOne);
    const int64_t fy = static_cast<int64_t>((y - y0) * kWeightOne);
    RGBAPixel out;
    out.r = WeighChannel(p00.r, p10.r, p01.r, p11.r, fx, fy);
    out.g = WeighChannel(p00.g, p10.g, p01.g, p11.g, fx, fy);
    out.b = WeighChannel(p00.b, p10.b, p01.b, p11.b, fx, fy);
    out.a = WeighChannel(p00.a, p10.a, p01.a, p11.a, fx, fy);
    return out;
}

RGBAPixel DownsampleImageBox(const zq_bitmap_t* bitmap, double u, double v, double boxWidth,
                             double boxHeight) {
    const double x0 = bitmap->pixel_width * u;
    const double y0 = bitmap->pixel_height * v;
    int32_t total = 0;
    int32_t opaque = 0;
    double sum[4] = {0.0, 0.0, 0.0, 0.0};
    for (double y = y0; y <= y0 + boxHeight; y += 1.0) {
        for (double x = x0; x <= x0 + boxWidth; x += 1.0) {
            RGBAPixel sample = SampleImageBilinear(bitmap, x / bitmap->pixel_width, y / bitmap->pixel_height);
            ++total;
            if (sample.a > 0) {
                ++opaque;
                sum[0] += sample.r / 255.0;
                sum[1] += sample.g / 255.0;
                sum[2] += sample.b / 255.0;
                sum[3] += sample.a / 255.0;
            }
        }
    }
    RGBAPixel out = {0, 0, 0, 0};
    if (opaque > 0) {
        out.r = UnitToByte(sum[0] / opaque);
        out.g = UnitToByte(sum[1] / opaque);
        out.b = UnitToByte(sum[2] / opaque);
        out.a = UnitToByte(sum[3] / total);
    }
    return out;
}

bool ZQI_CreateImageResized(zq_bitmap_t* target, zq_bitmap_t* source, int32_t width, int32_t height) {
    if (target == nullptr) {
        ZQ_Popup(1, "ZQI_CreateImageResized bm_target is null.");
        return false;
    }
    if (source == nullptr) {
        ZQ_Popup(1, "ZQI_CreateImageResized bm_source is null.");
        return false;
    }
    if (source->pixels == nullptr) {
        ZQ_Popup(1, "ZQI_CreateImageResized bm_source '%s' has no pixels.",
                 source->name != nullptr ? source->name : "(null)");
        return false;
    }
    // The target's pixels are replaced first, so it cannot be its own source.
    if (width < 1 || height < 1 || width > kMaxResizeSide || height > kMaxResizeSide || target == source) {
        return false;
    }
    ImageLoaderImp* loader = ZQI_GetImageLoader();
    if (target->pixels != nullptr) {
        loader->FreeImagePixels(target);
    }
    if (!loader->AllocateImagePixels(target, width, height)) {
        return false;
    }
    const bool alpha = HasAlpha(source);
    if (alpha) {
        BleedTransparentPixels(source);
    }
    target->flags =
        static_cast<uint8_t>((target->flags & ~BITMAP_FLAG_ALPHA) | (source->flags & BITMAP_FLAG_ALPHA));
    if (width == source->pixel_width && height == source->pixel_height) {
        memcpy(target->pixels, source->pixels, size_t(width) * size_t(height) * 4);
    } else {
        const double sx = double(source->pixel_width) / width;
        const double sy = double(source->pixel_height) / height;
        const bool box = sx > 1.5 || sy > 1.5;
        for (int32_t y = 0; y < height; ++y) {
            for (int32_t x = 0; x < width; ++x) {
                const double u = double(x) / width;
                const double v = double(y) / height;
                RGBAPixel pixel =
                    box ? DownsampleImageBox(source, u, v, sx, sy) : SampleImageBilinear(source, u, v);
                memcpy(target->pixels + (int64_t(y) * width + x) * 4, &pixel, 4);
            }
        }
    }
    if (alpha) {
        BleedTransparentPixels(target);
    }
    return true;
}

bool BitmapPixelsMatch(const zq_bitmap_t* a, const zq_bitmap_t* b) {
    if (a == nullptr || b == nullptr || a->pixels == nullptr || b->pixels == nullptr) {
        ZQ_Log(1, "BitmapPixelsMatch got bad parameters.");
        return false;
    }
    if (a->pixel_width != b->pixel_width || a->pixel_height != b->pixel_height) {
        return false;
    }
    static const int kChannelOrder[4] = {2, 1, 0, 3};  // blue, green, red, alpha
    const int64_t bytes = int64_t(a->pixel_width) * a->pixel_height * 4;
    double total = 0.0;
    for (int64_t i = 0; i < bytes; i += 4) {
        for (int channel : kChannelOrder) {
            double difference =
                std::abs(int(a->pixels[i + channel]) - int(b->pixels[i + channel])) * kChannelScale;
            if (difference > kMatchTolerance) {
                return false;
            }
            total += difference;
        }
    }
    if (total != 0.0) {
        ZQ_Log(0, "Total difference is %d units", static_cast<int32_t>(total * 255.0));
    }
    return true;
}
