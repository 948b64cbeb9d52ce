// Automatic kerning of generated Latin-1 fonts: how far each glyph may move toward the one
// before it without their solid pixels coming closer than in their tightest rows.
#include <cmath>
#include <cstdlib>

#include "fonts/FontGenerator.h"
#include "fonts/FontMessages.h"

namespace {

const int32_t kSanityLimit = 120;

bool HasPixels(const FontGlyph* glyph) {
    return glyph != nullptr && glyph->bitmap.pixels != nullptr && glyph->bitmap.width > 0 &&
           glyph->bitmap.height > 0;
}

// For every row of a glyph: the empty columns between each edge and the row's first solid pixel
// (the whole width when the row has none).
struct EdgeProfile {
    int32_t top;     // the glyph's top row in line coordinates (y offset, rounded)
    int32_t height;
    int32_t* fromLeft;
    int32_t* fromRight;
};

bool BuildProfile(const FontGlyph* glyph, float threshold, EdgeProfile* profile) {
    const zq_bitmap_t& bitmap = glyph->bitmap;
    profile->top = static_cast<int32_t>(lroundf(glyph->yOffset));
    profile->height = bitmap.height;
    profile->fromLeft = static_cast<int32_t*>(malloc(sizeof(int32_t) * 2 * bitmap.height));
    if (profile->fromLeft == nullptr) {
        return false;
    }
    profile->fromRight = profile->fromLeft + bitmap.height;
    for (int32_t y = 0; y < bitmap.height; ++y) {
        const uint8_t* row = bitmap.pixels + static_cast<size_t>(y) * bitmap.width * 4;
        int32_t first = bitmap.width, last = -1;
        for (int32_t x = 0; x < bitmap.width; ++x) {
            if (static_cast<float>(row[x * 4 + 3]) / 255.0f >= threshold) {
                if (first == bitmap.width) first = x;
                last = x;
            }
        }
        profile->fromLeft[y] = first;
        profile->fromRight[y] = last < 0 ? bitmap.width : bitmap.width - 1 - last;
    }
    return true;
}

// The smallest gap of the profile over line rows from..to (clipped to the glyph); the whole
// width when none of those rows lies in the glyph.
int32_t WindowGap(const EdgeProfile& profile, const int32_t* gaps, int32_t width, int32_t from, int32_t to) {
    int32_t best = width;
    int32_t first = from - profile.top < 0 ? 0 : from - profile.top;
    int32_t last = to - profile.top > profile.height - 1 ? profile.height - 1 : to - profile.top;
    for (int32_t y = first; y <= last; ++y) {
        if (gaps[y] < best) best = gaps[y];
    }
    return best;
}

int32_t PairDistance(const FontGlyph* a, const EdgeProfile& left, const FontGlyph* b, const EdgeProfile& right,
                     int32_t safeZone) {
    const int32_t leftWidth = a->bitmap.width;
    const int32_t rightWidth = b->bitmap.width;
    int32_t gap = (leftWidth < rightWidth ? leftWidth : rightWidth) - 1;
    const EdgeProfile& taller = left.height >= right.height ? left : right;
    for (int32_t r = taller.top; r < taller.top + taller.height; ++r) {
        int32_t sum = WindowGap(left, left.fromRight, leftWidth, r - safeZone, r + safeZone) +
                      WindowGap(right, right.fromLeft, rightWidth, r - safeZone, r + safeZone);
        if (sum < gap) gap = sum;
    }
    return -gap;
}

// Kerning glyphs are those that keep their own spacing: space, '-', '_' and no-break space.
bool IsExcluded(uint32_t code) {
    return code == ' ' || code == '-' || code == '_' || code == 160;
}

int8_t ClampToKerning(int32_t k) {
    return static_cast<int8_t>(k < -128 ? -128 : (k > 127 ? 127 : k));
}

}  // namespace

int32_t KernPairDistance(const FontGlyph* a, const FontGlyph* b, float threshold, int32_t safeZone) {
    if (!HasPixels(a) || !HasPixels(b)) {
        return 0;
    }
    EdgeProfile left, right;
    if (!BuildProfile(a, threshold, &left)) {
        return 0;
    }
    int32_t k = 0;
    if (BuildProfile(b, threshold, &right)) {
        k = PairDistance(a, left, b, right, safeZone);
        free(right.fromLeft);
    }
    free(left.fromLeft);
    return k;
}

void ZQI_DetermineKernPairs(zq_font_t* font, float threshold, int32_t safeZone) {
    if (font == nullptr || font->glyphs == nullptr) {
        return;
    }
    Array<FontGlyphNode*>& order = font->glyphs->order;
    EdgeProfile* profiles = static_cast<EdgeProfile*>(calloc(order.count > 0 ? order.count : 1, sizeof(EdgeProfile)));
    if (profiles == nullptr) {
        return;
    }
    for (int32_t i = 0; i < order.count; ++i) {
        if (HasPixels(&order[i]->glyph) && !BuildProfile(&order[i]->glyph, threshold, &profiles[i])) {
            profiles[i].fromLeft = nullptr;
        }
    }
    for (int32_t i = 0; i < order.count; ++i) {
        FontGlyphNode* first = order[i];
        // A kerning row has one entry per previous character code 0..255.
        if (first->glyph.kerning == nullptr || IsExcluded(first->code) || first->code >= FONT_KERNING_ROW) {
            continue;
        }
        for (int32_t j = 0; j < order.count; ++j) {
            FontGlyphNode* second = order[j];
            if (second->glyph.kerning == nullptr || IsExcluded(second->code)) {
                continue;
            }
            int32_t k = profiles[i].fromLeft != nullptr && profiles[j].fromLeft != nullptr
                            ? PairDistance(&first->glyph, profiles[i], &second->glyph, profiles[j], safeZone)
                            : 0;
            if (abs(k) > kSanityLimit) {
                ZQI_FontPopup(1,
                              "Sanity check fail: ZQI_DetermineKernPairs for chars 0x%x and 0x%x has too large "
                              "padding (%d) and kern_padding (%d) total. Total needs to fit into 8-bit signed int "
                              "in selected mft format!",
                              first->code, second->code, k, 0);
            }
            second->glyph.kerning[first->code] = ClampToKerning(k);
        }
    }
    for (int32_t i = 0; i < order.count; ++i) {
        free(profiles[i].fromLeft);
    }
    free(profiles);
}
