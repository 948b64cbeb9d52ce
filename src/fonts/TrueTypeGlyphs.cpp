// FreeType rendering of glyph bitmaps and distance images. FreeType is only called here.
#include "fonts/TrueTypeGlyphs.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "fonts/DistanceField.h"
#include "fonts/FontFile.h"
#include "fonts/FontMessages.h"
#include "foundation/TextUtils.h"

namespace {

// Coverage is boosted by half so that thin strokes stay visible at small sizes.
uint8_t CoverageToAlpha(uint32_t coverage) {
    uint32_t alpha = coverage * 3 / 2;
    return static_cast<uint8_t>(alpha > 255 ? 255 : alpha);
}

// The coverage of source pixel (x, y), for 8-bit grey and 1-bit bitmaps.
uint32_t SourceCoverage(const FT_Bitmap* source, uint32_t x, uint32_t y) {
    int32_t pitch = source->pitch;
    // A negative pitch means the rows are stored bottom-up from the buffer's start.
    const uint8_t* row = pitch >= 0 ? source->buffer + static_cast<size_t>(y) * pitch
                                    : source->buffer + static_cast<size_t>(source->rows - 1 - y) * -pitch;
    if (source->pixel_mode == FT_PIXEL_MODE_MONO) {
        return (row[x >> 3] & (0x80 >> (x & 7))) != 0 ? 255 : 0;
    }
    return row[x];
}

bool IsWideSpace(uint32_t code) {
    return code == 32 || code == 160 || code == 0x3002 || code == 0xFF0C;
}

// Replaces the glyph's bordered bitmap by its distance image.
void MakeDistanceImage(FontGlyph* glyph, int32_t factor, int32_t r) {
    uint8_t* image = nullptr;
    int32_t width = 0, height = 0;
    ZQI_BuildDistanceImage(glyph->bitmap.pixels, glyph->bitmap.width, glyph->bitmap.height, factor, r, &image,
                           &width, &height);
    ZQI_FreeGlyphPixels(glyph);
    ZQI_SetGlyphPixels(glyph, image, width, height);
}

struct RenderRequest {
    float renderSize;
    int32_t factor;
    float spread;
    uint32_t style;
};

// Renders one glyph; false leaves it without pixels (and without new placement).
bool RenderGlyph(FT_Face face, uint32_t code, FontGlyph* glyph, const RenderRequest& request, zq_font_t* font,
                 bool* baseSet) {
    uint32_t character = code;
    if ((request.style & FONT_STYLE_ALL_CAPS) != 0 && code < 128 && code >= 'a' && code <= 'z') {
        character = code - 'a' + 'A';
    }
    if (face->charmap == nullptr) {
        ZQI_FontLog(1, "No face charmap!");
        return false;
    }
    if (FT_Get_Char_Index(face, character) == 0) {
        return false;
    }
    FT_Error error = FT_Load_Char(face, character, FT_LOAD_RENDER);
    if (error != 0) {
        ZQI_FontPopup(1, "ZQI_CreateFontGlyphBitmapsFromTTF::FT_Load_Char unicode %u error %d", code, error);
        return false;
    }
    const int32_t border = static_cast<int32_t>(request.spread * static_cast<float>(request.factor));
    if (CopyFreeTypeGlyphBitmap(&face->glyph->bitmap, glyph, border) && request.spread > 0.0f) {
        MakeDistanceImage(glyph, request.factor, border);
    }
    const float factor = static_cast<float>(request.factor);
    const float top = static_cast<float>(face->glyph->bitmap_top) / factor;
    glyph->xOffset = static_cast<int16_t>(-request.spread);
    glyph->yOffset = request.renderSize - top - request.spread;
    if (!*baseSet && top > 0.0f) {
        font->baseMetric = static_cast<int32_t>(lroundf(request.renderSize));
        *baseSet = true;
    }
    float width = static_cast<float>(glyph->bitmap.width) - 2.0f * request.spread;
    glyph->advance = static_cast<int16_t>(code < 256 ? width - 1.0f : width + 1.0f);
    if (IsWideSpace(code)) {
        glyph->advance = static_cast<int16_t>(request.renderSize * 0.4f);
    }
    return true;
}

}  // namespace

uint32_t ZQI_ParseFontStyle(const char* style) {
    uint32_t flags = 0;
    if (ZQI_ListContainsWord(style, "BOLD")) flags |= FONT_STYLE_BOLD;
    if (ZQI_ListContainsWord(style, "ITALIC")) flags |= FONT_STYLE_ITALIC;
    if (ZQI_ListContainsWord(style, "ALL_CAPS")) flags |= FONT_STYLE_ALL_CAPS;
    return flags;
}

bool CopyFreeTypeGlyphBitmap(const FT_Bitmap* source, FontGlyph* glyph, int32_t p) {
    if (source == nullptr || glyph == nullptr || source->width == 0 || source->buffer == nullptr || p < 0) {
        return false;
    }
    const int32_t width = static_cast<int32_t>(source->width) + 2 * p;
    const int32_t height = static_cast<int32_t>(source->rows) + 2 * p;
    uint8_t* pixels = static_cast<uint8_t*>(calloc(static_cast<size_t>(width) * height, 4));
    if (pixels == nullptr) {
        return false;
    }
    for (uint32_t y = 0; y < source->rows; ++y) {
        uint8_t* out = pixels + ((static_cast<size_t>(y) + p) * width + p) * 4;
        for (uint32_t x = 0; x < source->width; ++x, out += 4) {
            out[0] = out[1] = out[2] = 255;
            out[3] = CoverageToAlpha(SourceCoverage(source, x, y));
        }
    }
    ZQI_FreeGlyphPixels(glyph);
    ZQI_SetGlyphPixels(glyph, pixels, width, height);
    return true;
}

bool ZQI_CreateFontGlyphBitmapsFromTTF(zq_font_t* font, const char* path, float size, const char* style,
                                       float renderSize, int32_t factor, float spread) {
    if (font == nullptr || path == nullptr) {
        return false;
    }
    FT_Library library = nullptr;
    FT_Error error = FT_Init_FreeType(&library);
    if (error != 0) {
        ZQI_FontPopup(1, "ZQI_CreateFontGlyphBitmapsFromTTF::FT_Init_FreeType error %d", error);
    }
    size_t length = 0;
    uint8_t* bytes = ZQI_ReadWholeFile(path, &length);
    FT_Face face = nullptr;
    error = bytes == nullptr ? FT_Err_Cannot_Open_Resource
                             : FT_New_Memory_Face(library, bytes, static_cast<FT_Long>(length), 0, &face);
    FT_Error charmapError = error == 0 ? FT_Select_Charmap(face, FT_ENCODING_UNICODE) : 0;
    if (charmapError != 0) {
        ZQI_FontPopup(1, "ZQI_CreateFontGlyphBitmapsFromTTF::FT_Select_Charmap error %d", charmapError);
        FT_Done_Face(face);
        FT_Done_FreeType(library);
        free(bytes);
        return false;
    }
    if (error != 0) {
        ZQI_FontPopup(1,
                      "ZQI_CreateFontGlyphBitmapsFromTTF::FT_New_Face error %d. Does the font file and path '%s' "
                      "exist?",
                      error, path);
        FT_Done_FreeType(library);
        free(bytes);
        return false;
    }
    if (factor < 1) {
        factor = 1;
    }
    font->scale = 1.0f;
    if (renderSize != size && renderSize > 0.0f) {
        font->scale = size / renderSize;
    }
    error = FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(renderSize * static_cast<float>(factor)));
    if (error != 0) {
        ZQI_FontPopup(1, "ZQI_CreateFontGlyphBitmapsFromTTF::FT_Set_Pixel_Sizes error %d", error);
    }
    FT_Set_Transform(face, nullptr, nullptr);
    RenderRequest request = {renderSize, factor, spread, ZQI_ParseFontStyle(style)};
    // FreeType's style flags describe the face; setting them is how a style is asked for.
    if ((request.style & FONT_STYLE_BOLD) != 0) face->style_flags |= FT_STYLE_FLAG_BOLD;
    if ((request.style & FONT_STYLE_ITALIC) != 0) face->style_flags |= FT_STYLE_FLAG_ITALIC;
    bool baseSet = false;
    if (font->glyphs != nullptr) {
        for (FontGlyphNode* node : font->glyphs->order) {
            if (node->glyph.bitmap.pixels == nullptr && node->code != 0) {
                RenderGlyph(face, node->code, &node->glyph, request, font, &baseSet);
            }
        }
    }
    FT_Done_Face(face);
    FT_Done_FreeType(library);
    free(bytes);
    return true;
}
