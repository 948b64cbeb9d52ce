// Glyph rendering against FreeType's own output for DejaVu Sans: coverage alphas, offsets and
// advances by their formulas, styles, and distance images equal to the literal (2r + 1)^2 scan.
#include <ft2build.h>
#include FT_FREETYPE_H

#include <cstdlib>
#include <cstring>

#include "FontTestSupport.h"
#include "fonts/DistanceField.h"
#include "fonts/TrueTypeGlyphs.h"

namespace {

class TrueTypeGlyphsTest : public FontTest {
protected:
    void SetUp() override {
        FontTest::SetUp();
        CopyDejaVu("DejaVuSans.ttf", "ttf/DejaVuSans.ttf");
        ASSERT_EQ(FT_Init_FreeType(&library_), 0);
        ASSERT_EQ(FT_New_Face(library_, DejaVuPath("DejaVuSans.ttf").c_str(), 0, &face_), 0);
    }
    void TearDown() override {
        FT_Done_Face(face_);
        FT_Done_FreeType(library_);
        FontTest::TearDown();
    }

    zq_font_t* FontWith(const std::vector<uint32_t>& codes) {
        zq_font_t* font = NewFont();
        for (uint32_t c : codes) ZQI_InsertFontGlyph(font->glyphs, c, ZQI_EmptyFontGlyph());
        ZQI_RefillFontGlyphDirectArray(font->glyphs);
        return font;
    }

    // FreeType's rendering of c at pixel height px.
    const FT_Bitmap& Reference(uint32_t c, FT_UInt px) {
        EXPECT_EQ(FT_Set_Pixel_Sizes(face_, 0, px), 0);
        EXPECT_EQ(FT_Load_Char(face_, c, FT_LOAD_RENDER), 0);
        return face_->glyph->bitmap;
    }

    FT_Library library_ = nullptr;
    FT_Face face_ = nullptr;
};

TEST_F(TrueTypeGlyphsTest, PlainGlyphsAreFreeTypeCoverageWithTheirOffsetsAndAdvances) {
    const std::vector<uint32_t> codes = {'A', 'g', 'j', '%', 0xE9, 0x416, ' ', 0xA0};
    zq_font_t* font = FontWith(codes);
    ASSERT_TRUE(ZQI_CreateFontGlyphBitmapsFromTTF(font, "res://ttf/DejaVuSans.ttf", 20, "", 20, 1, 0));
    EXPECT_EQ(font->baseMetric, 20);
    for (uint32_t c : codes) {
        SCOPED_TRACE(c);
        const FontGlyph* glyph = ZQI_FONTS_FindGlyph(font, c);
        const FT_Bitmap& ft = Reference(c, 20);
        if (c == ' ' || c == 0xA0) {
            EXPECT_EQ(glyph->bitmap.pixels, nullptr);
            EXPECT_EQ(glyph->advance, 8);  // 20 x 0.4
            continue;
        }
        ASSERT_EQ(glyph->bitmap.width, static_cast<int32_t>(ft.width));
        ASSERT_EQ(glyph->bitmap.height, static_cast<int32_t>(ft.rows));
        EXPECT_EQ(glyph->xOffset, 0);
        EXPECT_FLOAT_EQ(glyph->yOffset, 20.0f - static_cast<float>(face_->glyph->bitmap_top));
        EXPECT_EQ(glyph->advance, static_cast<int32_t>(ft.width) + (c < 256 ? -1 : 1));
        for (uint32_t y = 0; y < ft.rows; ++y) {
            for (uint32_t x = 0; x < ft.width; ++x) {
                const uint8_t* pixel = glyph->bitmap.pixels + (y * ft.width + x) * 4;
                uint32_t expected = ft.buffer[y * ft.pitch + x] * 3 / 2;
                ASSERT_EQ(pixel[3], expected > 255 ? 255 : expected) << x << "," << y;
                ASSERT_EQ(pixel[0] & pixel[1] & pixel[2], 255);
            }
        }
    }
}

TEST_F(TrueTypeGlyphsTest, AllCapsDrawsCapitalsUnderTheSmallLettersCodes) {
    zq_font_t* font = FontWith({'a', 'A'});
    ASSERT_TRUE(ZQI_CreateFontGlyphBitmapsFromTTF(font, "res://ttf/DejaVuSans.ttf", 20, "BOLD, ALL_CAPS", 20, 1, 0));
    const FontGlyph* small = ZQI_FONTS_FindGlyph(font, 'a');
    const FontGlyph* capital = ZQI_FONTS_FindGlyph(font, 'A');
    ASSERT_EQ(small->bitmap.width, capital->bitmap.width);
    ASSERT_EQ(small->bitmap.height, capital->bitmap.height);
    EXPECT_EQ(memcmp(small->bitmap.pixels, capital->bitmap.pixels, small->bitmap.width * small->bitmap.height * 4), 0);
    struct StyleCase {
        const char* text;
        uint32_t flags;
    };
    for (const StyleCase& c : {StyleCase{"BOLDX", 0u}, StyleCase{"XBOLD", 0u}, StyleCase{"BOLD", FONT_STYLE_BOLD},
                               StyleCase{"ITALIC;BOLD", FONT_STYLE_BOLD | FONT_STYLE_ITALIC},
                               StyleCase{"ALL_CAPS,x", FONT_STYLE_ALL_CAPS}, StyleCase{nullptr, 0u}}) {
        EXPECT_EQ(ZQI_ParseFontStyle(c.text), c.flags) << (c.text ? c.text : "null");
    }
}

TEST_F(TrueTypeGlyphsTest, DistanceImagesEqualTheLiteralScan) {
    const std::vector<uint32_t> codes = {'A', 'W', 'g', 'i', 'o', '@', '&', 'Q', 0xE9, 0x416, 0x44F, '1'};
    zq_font_t* font = FontWith(codes);
    ASSERT_TRUE(ZQI_CreateFontGlyphBitmapsFromTTF(font, "res://ttf/DejaVuSans.ttf", 32, "", 32, 8, 4));
    for (uint32_t c : codes) {
        SCOPED_TRACE(c);
        const FT_Bitmap& ft = Reference(c, 256);
        FontGlyph bordered = ZQI_EmptyFontGlyph();
        ASSERT_TRUE(CopyFreeTypeGlyphBitmap(&ft, &bordered, 32));
        const FontGlyph* glyph = ZQI_FONTS_FindGlyph(font, c);
        ASSERT_EQ(glyph->bitmap.width, static_cast<int32_t>(ft.width + 64) / 8);
        ASSERT_EQ(glyph->bitmap.height, static_cast<int32_t>(ft.rows + 64) / 8);
        EXPECT_EQ(glyph->xOffset, -4);
        EXPECT_FLOAT_EQ(glyph->yOffset, 32.0f - static_cast<float>(face_->glyph->bitmap_top) / 8.0f - 4.0f);
        for (int32_t y = 0; y < glyph->bitmap.height; ++y) {
            for (int32_t x = 0; x < glyph->bitmap.width; ++x) {
                float d = SignedDistanceAt(&bordered.bitmap, 32, x * 8 + 4, y * 8 + 4);
                float v = (d / 32.0f + 1.0f) * 0.5f;
                v = v < 0.0f ? 0.0f : (v > 1.0f ? 1.0f : v);
                ASSERT_EQ(glyph->bitmap.pixels[(y * glyph->bitmap.width + x) * 4 + 3], static_cast<uint8_t>(v * 255.0f))
                    << x << "," << y;
            }
        }
        ZQI_FreeGlyphPixels(&bordered);
    }
}

TEST_F(TrueTypeGlyphsTest, DistanceSaturatesFarFromEdgesAndSizesFollowTheFactor) {
    // 224 x 224: a solid 160-wide square inside a 32-pixel border, as a glyph of 160 plus border.
    const int32_t side = 224;
    std::vector<uint8_t> pixels(side * side * 4, 0);
    for (int32_t y = 32; y < 192; ++y) {
        for (int32_t x = 32; x < 192; ++x) {
            uint8_t* p = &pixels[(y * side + x) * 4];
            p[0] = p[1] = p[2] = p[3] = 255;
        }
    }
    uint8_t* image = nullptr;
    int32_t width = 0, height = 0;
    ASSERT_TRUE(ZQI_BuildDistanceImage(pixels.data(), side, side, 8, 32, &image, &width, &height));
    EXPECT_EQ(width, 28);
    EXPECT_EQ(height, 28);
    EXPECT_EQ(image[(14 * 28 + 14) * 4 + 3], 255);  // deep inside
    EXPECT_EQ(image[3], 0);                         // far outside
    free(image);
}

}  // namespace
