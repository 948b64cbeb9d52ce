// Bitmap fonts: glyphs drawn side by side in one image, separated by fully transparent columns,
// described in order by the source's "glyphs" array.
#include <cstdlib>
#include <cstring>

#include "data/DMRecords.h"
#include "fonts/FontGenerator.h"
#include "fonts/FontMessages.h"
#include "fonts/FontServices.h"
#include "fonts/FontSource_local.h"

namespace {

struct Strip {
    const zq_bitmap_t* image;
    uint8_t* columnUsed;  // per column: any pixel with alpha
    int32_t top, bottom;  // first and last rows with alpha; bottom < top when the image is empty
};

uint8_t AlphaAt(const zq_bitmap_t* image, int32_t x, int32_t y) {
    return image->pixels[(static_cast<size_t>(y) * image->width + x) * 4 + 3];
}

bool ScanStrip(const zq_bitmap_t* image, Strip* strip) {
    strip->image = image;
    strip->columnUsed = static_cast<uint8_t*>(calloc(image->width > 0 ? image->width : 1, 1));
    if (strip->columnUsed == nullptr) {
        return false;
    }
    strip->top = image->height;
    strip->bottom = -1;
    for (int32_t y = 0; y < image->height; ++y) {
        for (int32_t x = 0; x < image->width; ++x) {
            if (AlphaAt(image, x, y) != 0) {
                strip->columnUsed[x] = 1;
                if (y < strip->top) strip->top = y;
                strip->bottom = y;
            }
        }
    }
    return true;
}

const char* FontName(const zq_font_t* font) {
    return font->name != nullptr ? font->name : "";
}

// Columns [x0, x1) of the strip's rows, trimmed to the rows holding a pixel; false (after the
// sanity message) when those columns hold none.
bool CopyGlyph(zq_font_t* font, const Strip& strip, int32_t index, int32_t x0, int32_t x1, FontGlyph* glyph,
               int32_t* firstRow) {
    int32_t first = -1, last = -1;
    for (int32_t y = strip.top; y <= strip.bottom; ++y) {
        for (int32_t x = x0; x < x1; ++x) {
            if (AlphaAt(strip.image, x, y) != 0) {
                if (first < 0) first = y;
                last = y;
                break;
            }
        }
    }
    if (first < 0 || last < first) {
        ZQI_FontPopup(1,
                      "Sanity check failed for glyph (%d/%d): glyph_end_y <= glyph_start_y (%d <= %d). X0=%d X1=%d. "
                      "Hint: check the (\") character on different inputs.",
                      index, font->glyphs != nullptr ? static_cast<int32_t>(font->glyphs->count) : 0, last, first,
                      x0, x1);
        return false;
    }
    int32_t width = x1 - x0;
    int32_t height = last - first + 1;
    uint8_t* pixels = static_cast<uint8_t*>(malloc(static_cast<size_t>(width) * height * 4));
    if (pixels == nullptr) {
        return false;
    }
    for (int32_t y = 0; y < height; ++y) {
        memcpy(pixels + static_cast<size_t>(y) * width * 4,
               strip.image->pixels + ((static_cast<size_t>(first + y) * strip.image->width) + x0) * 4,
               static_cast<size_t>(width) * 4);
    }
    ZQI_FreeGlyphPixels(glyph);
    ZQI_SetGlyphPixels(glyph, pixels, width, height);
    *firstRow = first;
    return true;
}

int32_t CountUnusedBlocks(const Strip& strip, int32_t cursor) {
    int32_t blocks = 0;
    for (int32_t x = cursor; x < strip.image->width; ++x) {
        if (strip.columnUsed[x] != 0 && (x == cursor || strip.columnUsed[x - 1] == 0)) {
            ++blocks;
        }
    }
    return blocks;
}

bool CutGlyphs(zq_font_t* font, const Strip& strip, const DMArray* glyphs, float spacing) {
    const int32_t width = strip.image->width;
    int32_t cursor = 0;
    for (int32_t i = 0; i < glyphs->nodes.count; ++i) {
        const DMNode* node = glyphs->nodes[i];
        int32_t id = ZQI_NodeInt(node, "id", -1);
        if (id < 32 || id > 255) {
            ZQI_FontPopup(1, "Font '%s' Glyph #%d index %d is out of bounds", FontName(font), i, id);
            continue;
        }
        FontGlyph* glyph = ZQI_FONTS_FindGlyph(font, static_cast<uint32_t>(id));
        if (glyph == nullptr) {
            continue;
        }
        float nodeSpacing = ZQI_NodeFloat(node, "spacing", 0.0f);
        int32_t a = static_cast<int32_t>(ZQI_SaturateToInt16(nodeSpacing + 0.5f));
        if (nodeSpacing > 0.0f && a < 1) {
            a = 1;
        }
        int32_t span = ZQI_NodeInt(node, "span", 1);
        if (span == 0) {
            glyph->xOffset = 0;
            glyph->advance = ZQI_SaturateToInt16(spacing + static_cast<float>(a));
            continue;
        }
        while (cursor < width && strip.columnUsed[cursor] == 0) ++cursor;
        if (cursor >= width) {
            ZQI_FontPopup(1, "Input bitmap for '%s' contains %d glyphs LESS than the XML definition file!",
                          FontName(font), glyphs->nodes.count);
            return false;
        }
        int32_t start = cursor, end = cursor;
        for (int32_t run = 0; run < span && cursor < width; ++run) {
            while (cursor < width && strip.columnUsed[cursor] == 0) ++cursor;
            while (cursor < width && strip.columnUsed[cursor] != 0) ++cursor;
            end = cursor;
        }
        int32_t firstRow = 0;
        if (!CopyGlyph(font, strip, i, start, end, glyph, &firstRow)) {
            return false;
        }
        glyph->xOffset = 0;
        glyph->yOffset = static_cast<float>(firstRow - strip.top);
        glyph->advance =
            ZQI_SaturateToInt16(spacing + static_cast<float>(end - start) + static_cast<float>(a));
    }
    int32_t unused = CountUnusedBlocks(strip, cursor);
    if (unused > 0) {
        ZQI_FontPopup(1,
                      "Input bitmap for '%s' has %d unused pixel blocks - all glyphs may not have been read "
                      "properly! Hint: check the (\") character on different inputs.",
                      FontName(font), unused);
    }
    return true;
}

}  // namespace

bool CutGlyphsFromBitmap(zq_font_t* font, zq_bitmap_t* image, const DMArray* glyphs, float spacing) {
    if (font == nullptr || image == nullptr || image->pixels == nullptr || glyphs == nullptr) {
        return false;
    }
    const FontGraphicsHooks& hooks = ZQI_GetFontGraphicsHooks();
    if (hooks.bleedTransparentPixels != nullptr) {
        hooks.bleedTransparentPixels(image);
    }
    Strip strip;
    if (!ScanStrip(image, &strip)) {
        return false;
    }
    bool ok = CutGlyphs(font, strip, glyphs, spacing);
    free(strip.columnUsed);
    return ok;
}
