// Distance images for distance-field fonts.
//
// Only squared distances below r * r can change a result, and every pixel that close lies inside
// the square of radius r, so the windowed search equals a global nearest-opposite search capped
// at r * r. That is computed in two separable steps: per column, the vertical distance from each
// sampled row to the nearest inside and the nearest outside pixel (capped at r + 1); then per
// sample, the minimum of dx^2 + column distance^2 over the 2r + 1 columns around it.
#include "fonts/DistanceField.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

bool IsInside(const uint8_t* pixel) {
    return pixel[3] >= 128 && (pixel[0] >= 128 || pixel[1] >= 128 || pixel[2] >= 128);
}

// Signed root of a capped squared distance; shared by both paths so their bytes agree.
float SignedRoot(int32_t squared, bool inside) {
    float d = sqrtf(static_cast<float>(squared));
    return inside ? d : -d;
}

}  // namespace

float SignedDistanceAt(const zq_bitmap_t* bitmap, int32_t r, int32_t x, int32_t y) {
    const int32_t width = bitmap->width;
    const int32_t height = bitmap->height;
    const uint8_t* pixels = bitmap->pixels;
    bool inside = IsInside(pixels + (static_cast<size_t>(y) * width + x) * 4);
    int32_t best = r * r;
    for (int32_t sy = y - r; sy <= y + r; ++sy) {
        if (sy < 0 || sy >= height) {
            continue;
        }
        for (int32_t sx = x - r; sx <= x + r; ++sx) {
            if (sx < 0 || sx >= width) {
                continue;
            }
            if (IsInside(pixels + (static_cast<size_t>(sy) * width + sx) * 4) != inside) {
                int32_t squared = (sx - x) * (sx - x) + (sy - y) * (sy - y);
                if (squared < best) {
                    best = squared;
                }
            }
        }
    }
    return SignedRoot(best, inside);
}

uint8_t ZQI_DistanceToAlpha(float distance, int32_t r) {
    float v = (distance / static_cast<float>(r) + 1.0f) * 0.5f;
    if (v < 0.0f) {
        v = 0.0f;
    } else if (v > 1.0f) {
        v = 1.0f;
    }
    return static_cast<uint8_t>(v * 255.0f);
}

bool ZQI_BuildDistanceImage(const uint8_t* rgba, int32_t width, int32_t height, int32_t factor, int32_t r,
                            uint8_t** out, int32_t* outWidth, int32_t* outHeight) {
    *out = nullptr;
    if (factor < 1 || r < 1) {
        return false;
    }
    const int32_t ow = width / factor;
    const int32_t oh = height / factor;
    if (ow < 1 || oh < 1) {
        return false;
    }
    const size_t pixels = static_cast<size_t>(width) * height;
    uint8_t* inside = static_cast<uint8_t*>(malloc(pixels));
    // Column distances of the sampled rows: [row][x] to the nearest inside, then outside pixel.
    int32_t* toInside = static_cast<int32_t*>(malloc(sizeof(int32_t) * static_cast<size_t>(oh) * width));
    int32_t* toOutside = static_cast<int32_t*>(malloc(sizeof(int32_t) * static_cast<size_t>(oh) * width));
    int32_t* runIn = static_cast<int32_t*>(malloc(sizeof(int32_t) * height));
    int32_t* runOut = static_cast<int32_t*>(malloc(sizeof(int32_t) * height));
    uint8_t* image = static_cast<uint8_t*>(malloc(static_cast<size_t>(ow) * oh * 4));
    bool ok = inside != nullptr && toInside != nullptr && toOutside != nullptr && runIn != nullptr &&
              runOut != nullptr && image != nullptr;
    if (ok) {
        for (size_t i = 0; i < pixels; ++i) {
            inside[i] = IsInside(rgba + i * 4) ? 1 : 0;
        }
        const int32_t cap = r + 1;  // farther than r vertically: outside every sample's window
        const int32_t half = factor / 2;
        for (int32_t x = 0; x < width; ++x) {
            int32_t in = cap, outside = cap;
            for (int32_t y = 0; y < height; ++y) {
                bool isIn = inside[static_cast<size_t>(y) * width + x] != 0;
                in = isIn ? 0 : (in < cap ? in + 1 : cap);
                outside = isIn ? (outside < cap ? outside + 1 : cap) : 0;
                runIn[y] = in;
                runOut[y] = outside;
            }
            in = cap;
            outside = cap;
            for (int32_t y = height - 1; y >= 0; --y) {
                bool isIn = inside[static_cast<size_t>(y) * width + x] != 0;
                in = isIn ? 0 : (in < cap ? in + 1 : cap);
                outside = isIn ? (outside < cap ? outside + 1 : cap) : 0;
                if (in < runIn[y]) runIn[y] = in;
                if (outside < runOut[y]) runOut[y] = outside;
            }
            for (int32_t row = 0; row < oh; ++row) {
                int32_t y = row * factor + half;
                toInside[static_cast<size_t>(row) * width + x] = runIn[y];
                toOutside[static_cast<size_t>(row) * width + x] = runOut[y];
            }
        }
        for (int32_t row = 0; row < oh; ++row) {
            int32_t sy = row * factor + half;
            for (int32_t col = 0; col < ow; ++col) {
                int32_t sx = col * factor + half;
                bool isIn = inside[static_cast<size_t>(sy) * width + sx] != 0;
                const int32_t* column = (isIn ? toOutside : toInside) + static_cast<size_t>(row) * width;
                int32_t best = r * r;
                int32_t from = sx - r > 0 ? sx - r : 0;
                int32_t to = sx + r < width - 1 ? sx + r : width - 1;
                for (int32_t x = from; x <= to; ++x) {
                    int32_t dy = column[x];
                    if (dy > r) {
                        continue;
                    }
                    int32_t squared = (x - sx) * (x - sx) + dy * dy;
                    if (squared < best) {
                        best = squared;
                    }
                }
                uint8_t* pixel = image + (static_cast<size_t>(row) * ow + col) * 4;
                pixel[0] = pixel[1] = pixel[2] = 255;
                pixel[3] = ZQI_DistanceToAlpha(SignedRoot(best, isIn), r);
            }
        }
        *out = image;
        *outWidth = ow;
        *outHeight = oh;
    } else {
        free(image);
    }
    free(inside);
    free(toInside);
    free(toOutside);
    free(runIn);
    free(runOut);
    return ok;
}
