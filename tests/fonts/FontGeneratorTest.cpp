// Glyph sets and the font generator: exact set sizes, every failure reason, settings on DejaVu
// Sans, kerning, bitmap strips and the TrueType fallback.
#include <cstring>
#include <fstream>
#include <sstream>

#include "FontTestSupport.h"
#include "data/DataManager.h"
#include "filesystem/FileSystemApi.h"
#include "fonts/FontFile.h"
#include "fonts/FontGenerator.h"
#include "fonts/FontLoading.h"
#include "fonts/FontServices.h"
#include "fonts/GlyphSets.h"

namespace {

typedef std::vector<std::pair<std::string, std::string>> Keys;

// A test image format for the image hook: u32 width, u32 height, then RGBA rows.
bool LoadRawImage(const char* path, zq_bitmap_t* out) {
    size_t size = 0;
    uint8_t* bytes = ZQI_ReadWholeFile(path, &size);
    if (bytes == nullptr || size < 8) {
        free(bytes);
        return false;
    }
    memcpy(&out->width, bytes, 4);
    memcpy(&out->height, bytes + 4, 4);
    out->pixels = static_cast<uint8_t*>(malloc(size - 8));
    memcpy(out->pixels, bytes + 8, size - 8);
    free(bytes);
    return true;
}

// Columns: 1-2 '!' (rows 1..4), 4 and 6 '"' (rows 0..1), 9-11 'A' (rows 0..5), 13 an extra block.
std::string StripImage() {
    const int32_t width = 15, height = 6;
    std::string bytes(8 + width * height * 4, '\0');
    memcpy(&bytes[0], &width, 4);
    memcpy(&bytes[4], &height, 4);
    auto set = [&](int x, int y) { bytes[8 + (y * width + x) * 4 + 3] = static_cast<char>(200); };
    for (int y = 1; y <= 4; ++y) set(1, y), set(2, y);
    for (int y = 0; y <= 1; ++y) set(4, y), set(6, y);
    for (int y = 0; y <= 5; ++y) set(9, y), set(10, y), set(11, y);
    set(13, 2);
    return bytes;
}

const std::string kStripGlyphs = SourceArray(
    "glyphs", SourceNode("33", {{"id", "33"}}) + SourceNode("34", {{"id", "34"}, {"span", "2"}}) +
                  SourceNode("65", {{"id", "65"}, {"spacing", "2"}}) +
                  SourceNode("32", {{"id", "32"}, {"span", "0"}, {"spacing", "1"}}) + SourceNode("300", {{"id", "300"}}));

class FontGeneratorTest : public FontTest {
protected:
    void SetUp() override {
        FontTest::SetUp();
        CopyDejaVu("DejaVuSans.ttf", "ttf/DejaVuSans.ttf");
        CopyDejaVu("DejaVuSansMono.ttf", "ttf/DejaVuSansMono.ttf");
    }

    // Writes res://fonts/<name>.mft.xml and generates the font res://fonts/<name>.mft from it.
    zq_font_t* Generate(const std::string& name, const std::string& arrays, bool* ok = nullptr) {
        WriteResFile("fonts/" + name + ".mft.xml", SourceDocument(arrays));
        zq_font_t* font = NewFont(("res://fonts/" + name + ".mft").c_str());
        bool generated = ZQI_GenerateFontFromSource(font);
        if (ok != nullptr) *ok = generated;
        return font;
    }

    void TearDown() override {
        DataManager::UnloadDatabaseByName("res://strings.xml");  // the glyph sets keep it loaded
        FontTest::TearDown();
    }

    static std::string Settings(const std::string& extraNodes, const Keys& input = {{"ttf", "../ttf/DejaVuSans.ttf"}}) {
        return SourceArray("settings", SourceNode("INPUT", input) + extraNodes);
    }

    int CountGlyphsWithNonZeroKerning(zq_font_t* font) {
        int count = 0;
        for (FontGlyphNode* node : font->glyphs->order) {
            for (int i = 0; node->glyph.kerning != nullptr && i < FONT_KERNING_ROW; ++i) {
                if (node->glyph.kerning[i] != 0) {
                    ++count;
                    break;
                }
            }
        }
        return count;
    }
};

TEST_F(FontGeneratorTest, GlyphSetsHoldExactlyTheWantedCodePoints) {
    WriteResFile("strings.xml",
                 SourceDocument(SourceArray("STRINGS", SourceNode("x", {{"to", "\xE3\x81\x82 \xF0\x9F\x98\x80"}}) +
                                                           SourceNode("y", {{"from", "{~}"}}))));
    struct Case {
        const char* strings;
        const char* sets;
        std::string additional;
        int32_t count;
    };
    const Case cases[] = {
        {"!", nullptr, "", 86},
        {"!", "latin-1", "", 86 + 62},
        {"!", "latin-1x", "", 86},
        {"!", "polish;cyrillic", "", 86 + 18 + 256},
        {"!", nullptr, SourceNode("\xC3\xA9", {}) + SourceNode("\xF0\x9F\x98\x80", {}), 87},
        {"res://strings.xml", nullptr, "", 86 + 1 + 3},  // U+3042 and '{', '~', '}'
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.count);
        ForgetMessages();
        DMDatabase source;
        std::string xml = SourceDocument(Settings("", c.sets ? Keys{{"character_sets", c.sets}} : Keys{}) +
                                         SourceArray("additional_utf_characters", c.additional));
        ASSERT_TRUE(source.LoadXMLFromMemory(xml.data(), static_cast<int32_t>(xml.size())));
        zq_font_t* font = NewFont();
        ASSERT_TRUE(ZQI_CreateFontGlyphsArrayFromStrings(font, c.strings, source.GetArray("additional_utf_characters"),
                                                         source.GetArray("settings")));
        EXPECT_EQ(ZQI_GetFontGlyphCount(font), c.count);
    }
    EXPECT_TRUE(HasMessage("UTF32 128512 out of range in ZQI_CreateFontGlyphsArrayFromStrings in translation "
                           "'\xE3\x81\x82 \xF0\x9F\x98\x80'"));
    EXPECT_TRUE(HasMessage("XML 'res://strings.xml' array 'STRINGS' doesn't contain nodes with id and to parameters. "
                           "Node #1 is missing 'to', has 'id' instead."));
}

TEST_F(FontGeneratorTest, EachInvalidSourceFailsWithItsReason) {
    WriteResFile("strip.raw", StripImage());
    FontGraphicsHooks hooks = {};
    hooks.loadImage = LoadRawImage;
    ZQI_SetFontGraphicsHooks(&hooks);
    const std::string field = "DISTANCE_FIELD";
    const Keys v2 = {{"value", "2"}};
    struct Case {
        std::string arrays;
        const char* reason;
    };
    const Case cases[] = {
        {"", "Font database not found or doesn't contain any arrays."},
        {SourceArray("other", SourceNode("x", {})), "Array 'settings' is missing or has bad parms - see specifications."},
        {Settings(SourceNode("VERSION", {{"value", "0"}})), "Font database is of invalid version."},
        {Settings(SourceNode(field, {{"spread", "4"}})),
         "Distance field support requires font database version 2 or later."},
        {Settings(SourceNode("VERSION", v2) + SourceNode(field, {{"size_px", "0"}, {"spread", "4"}})),
         "Distance field size_px must be greater than 0."},
        {Settings(SourceNode("VERSION", v2) + SourceNode(field, {{"size_px", "32"}})), "Distance field spread is invalid."},
        {Settings(SourceNode("VERSION", v2) + SourceNode(field, {{"spread", "4"}, {"smoothing", "-1"}})),
         "Distance field smoothing is invalid."},
        {Settings(SourceNode("VERSION", v2) + SourceNode(field, {{"spread", "4"}, {"scale", "0.5"}})),
         "Distance field scale is invalid."},
        {Settings("", {{"bitmap", "res://strip.raw"}}), "Array 'glyphs' is missing or has bad parms - see specifications."},
        {Settings("", {{"ttf", "res://ttf/none.ttf"}}), "TrueType input could not be opened."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reason);
        ForgetMessages();
        bool ok = true;
        Generate(c.arrays.empty() ? "missing" : "bad", c.arrays.empty() ? "" : c.arrays, &ok);
        EXPECT_FALSE(ok);
        std::string file = c.arrays.empty() ? "missing" : "bad";
        EXPECT_TRUE(HasMessage("Failed to generate font from source 'res://fonts/" + file + ".mft.xml': " + c.reason));
    }
}

// Numbers of a source that would make generation take minutes, or that no integer of the font
// can hold, refuse the source before anything is rendered or converted.
TEST_F(FontGeneratorTest, NumbersBeyondWhatTheFontCanHoldAreRefused) {
    const Keys v2 = {{"value", "2"}};
    const std::string one = SourceArray("glyphs", SourceNode("65", {}));
    auto field = [&](const char* spread) {
        return Settings(SourceNode("VERSION", v2) + SourceNode("DISTANCE_FIELD", {{"spread", spread}})) + one;
    };
    auto setting = [&](const char* node, const char* value, const std::string& more = "") {
        return Settings(SourceNode(node, {{"value", value}}) + more) + one;
    };
    struct Case {
        std::string arrays;
        std::string reason;
    };
    const Case cases[] = {
        {field("23"), "Distance field spread is invalid."},  // wider than the 22-pixel glyphs
        {field("100"), "Distance field spread is invalid."},
        {field("40000"), "Distance field spread is invalid."},
        {field("1e10"), "Distance field spread is invalid."},
        {setting("FONT_HEIGHT_MULTIPLIER", "1e30"), "Setting 'FONT_HEIGHT_MULTIPLIER' is out of range."},
        {setting("FONT_HEIGHT_MULTIPLIER", "-1e30"), "Setting 'FONT_HEIGHT_MULTIPLIER' is out of range."},
        {setting("SPACING", "1e30", SourceNode("OUTPUT", {{"scale", "2"}})),
         "Setting 'SPACING' is out of range."},
        {setting("SPACING", "40000"), "Setting 'SPACING' is out of range."},
        {setting("Y_OFFSET", "1e30"), "Setting 'Y_OFFSET' is out of range."},
        {setting("LINE_PADDING_OFFSET", "-1e30"), "Setting 'LINE_PADDING_OFFSET' is out of range."},
        {Settings("") + SourceArray("glyphs", SourceNode("65", {{"id", "65"}, {"spacing", "1e30"}})),
         "Array 'glyphs' has a spacing out of range."},
        {Settings("") + one + SourceArray("effects", SourceNode("e", {{"color_top", "1e39, 0, 0"}})),
         "Array 'effects' has a colour out of range."},
        {Settings("") + one + SourceArray("effects", SourceNode("e", {{"color_bottom", "0 0 -1e39"}})),
         "Array 'effects' has a colour out of range."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reason);
        ForgetMessages();
        bool ok = true;
        Generate("numbers", c.arrays, &ok);
        EXPECT_FALSE(ok);
        EXPECT_TRUE(
            HasMessage("Failed to generate font from source 'res://fonts/numbers.mft.xml': " + c.reason));
    }
    // At the limits the font is made: a spread as wide as the glyphs, large finite colours.
    bool ok = false;
    Generate("limits", field("22"), &ok);
    EXPECT_TRUE(ok);
    zq_font_t* font = Generate(
        "colours",
        Settings("") + one +
            SourceArray("effects",
                        SourceNode("e", {{"color_top", "3e38 -3e38 2"}, {"color_bottom", "-3e38 3e38 0"}})),
        &ok);
    EXPECT_TRUE(ok);
    EXPECT_NE(ZQI_FONTS_FindGlyph(font, 'A')->bitmap.pixels, nullptr);
}

TEST_F(FontGeneratorTest, OutputScaleOutOfRangeGeneratesAtScaleOne) {
    bool ok = false;
    zq_font_t* font = Generate("scaled", Settings(SourceNode("OUTPUT", {{"scale", "20"}})), &ok);
    ASSERT_TRUE(ok);
    EXPECT_TRUE(HasMessage("ZQI_GenerateFontFromSource: scale factor 20 for font res://fonts/scaled.mft is invalid. "
                           "Use values > 0 and < 10."));
    zq_font_t* plain = Generate("plain", Settings(""), &ok);
    ASSERT_TRUE(ok);
    EXPECT_EQ(font->size, plain->size);
    EXPECT_EQ(font->lineHeight, plain->lineHeight);
    EXPECT_EQ(ZQI_FONTS_FindGlyph(font, 'W')->bitmap.width, ZQI_FONTS_FindGlyph(plain, 'W')->bitmap.width);
    EXPECT_EQ(ZQI_GetFontGlyphCount(plain), 256);
    EXPECT_EQ(plain->utf8, 0);
    EXPECT_GT(CountGlyphsWithNonZeroKerning(plain), 10);
}

TEST_F(FontGeneratorTest, KernPairingIsSwitchedOffOnlyByTheWholeWord) {
    bool ok = false;
    zq_font_t* off = Generate("nokern", Settings(SourceNode("TAGS", {{"value", "X, DISABLE_KERN_PAIRING"}})), &ok);
    ASSERT_TRUE(ok);
    EXPECT_EQ(CountGlyphsWithNonZeroKerning(off), 0);
    EXPECT_NE(ZQI_FONTS_FindGlyph(off, 'A')->kerning, nullptr);
    zq_font_t* on = Generate("kern", Settings(SourceNode("TAGS", {{"value", "DISABLE_KERN_PAIRINGS"}})), &ok);
    ASSERT_TRUE(ok);
    EXPECT_GT(CountGlyphsWithNonZeroKerning(on), 10);
}

TEST_F(FontGeneratorTest, KerningIsTheSumOfTheFacingGapsClampedToASignedByte) {
    zq_font_t* font = NewFont();
    auto solidFrom = [](FontGlyph* glyph, int32_t from, int32_t to) {
        for (int32_t y = 0; y < glyph->bitmap.height; ++y) {
            for (int32_t x = 0; x < glyph->bitmap.width; ++x) {
                glyph->bitmap.pixels[(y * glyph->bitmap.width + x) * 4 + 3] = x >= from && x <= to ? 255 : 0;
            }
        }
    };
    FontGlyph* a = AddGlyph(font, 'a', 8, 8, 5);
    FontGlyph* b = AddGlyph(font, 'b', 6, 6, 5);
    solidFrom(a, 0, 4);  // 3 empty columns at the right edge
    solidFrom(b, 2, 5);  // 2 empty columns at the left edge
    EXPECT_EQ(KernPairDistance(a, b, 0.75f, 2), -5);
    FontGlyph* wide = AddGlyph(font, 'W', 300, 300, 4);
    FontGlyph* other = AddGlyph(font, 'M', 300, 300, 4);
    solidFrom(wide, 0, 0);
    solidFrom(other, 299, 299);
    for (FontGlyphNode* node : font->glyphs->order) ZQI_EnsureGlyphKerning(&node->glyph);
    ZQI_DetermineKernPairs(font, 0.75f, 2);
    EXPECT_EQ(b->kerning['a'], -5);
    EXPECT_EQ(other->kerning['W'], -128);  // -299 would wrap to +85 as a byte
    EXPECT_GE(CountMessagesContaining("has too large padding (-299)"), 1);
}

TEST_F(FontGeneratorTest, BitmapStripIsCutIntoItsGlyphs) {
    WriteResFile("strip.raw", StripImage());
    zq_bitmap_t image = {};
    ASSERT_TRUE(LoadRawImage("res://strip.raw", &image));
    DMDatabase source;
    std::string xml = SourceDocument(kStripGlyphs);
    ASSERT_TRUE(source.LoadXMLFromMemory(xml.data(), static_cast<int32_t>(xml.size())));
    zq_font_t* font = NewFont("res://strip.mft");
    CreateFontGlyphTable(font, true);
    ASSERT_TRUE(CutGlyphsFromBitmap(font, &image, source.GetArray("glyphs"), 0.0f));
    free(image.pixels);
    struct Expected {
        uint32_t code;
        int32_t width, height;
        float yOffset;
        int16_t advance;
    };
    for (const Expected& e : {Expected{'!', 2, 4, 1.0f, 2}, Expected{'"', 3, 2, 0.0f, 3}, Expected{'A', 3, 6, 0.0f, 5},
                              Expected{' ', 0, 0, 0.0f, 1}}) {
        const FontGlyph* glyph = ZQI_FONTS_FindGlyph(font, e.code);
        SCOPED_TRACE(e.code);
        EXPECT_EQ(glyph->bitmap.width, e.width);
        EXPECT_EQ(glyph->bitmap.height, e.height);
        EXPECT_FLOAT_EQ(glyph->yOffset, e.yOffset);
        EXPECT_EQ(glyph->advance, e.advance);
    }
    EXPECT_TRUE(HasMessage("Font 'res://strip.mft' Glyph #4 index 300 is out of bounds"));
    EXPECT_TRUE(HasMessage("Input bitmap for 'res://strip.mft' has 1 unused pixel blocks - all glyphs may not have "
                           "been read properly! Hint: check the (\") character on different inputs."));
}

TEST_F(FontGeneratorTest, BitmapInputNearestToTheOutputScaleIsUsed) {
    WriteResFile("strip2x.raw", StripImage());
    FontGraphicsHooks hooks = {};
    hooks.loadImage = LoadRawImage;
    ZQI_SetFontGraphicsHooks(&hooks);
    bool ok = false;
    zq_font_t* font = Generate("strip",
                               SourceArray("settings", SourceNode("INPUT", {{"bitmap", "res://none.raw"}}) +
                                                           SourceNode("INPUT@2x", {{"bitmap", "res://strip2x.raw"}}) +
                                                           SourceNode("OUTPUT", {{"scale", "4/2"}})) +
                                   kStripGlyphs,
                               &ok);
    ASSERT_TRUE(ok);
    EXPECT_TRUE(HasMessage("Selecting bitmap input 'INPUT@2x' for scale 2.00x (closest match)."));
    EXPECT_EQ(font->utf8, 0);
    EXPECT_EQ(ZQI_FONTS_FindGlyph(font, 'A')->bitmap.height, 6);
    EXPECT_EQ(font->size, 6);  // a version-1 source: the tallest glyph
}

TEST_F(FontGeneratorTest, FallbackRendersWhatTheFirstFileLacksAndTheFontIsSavedAndReadBack) {
    const std::string glyphs = SourceArray("glyphs", SourceNode("65", {}) + SourceNode("1488", {}));
    const std::string mono = "../ttf/DejaVuSansMono.ttf";
    Generate("nofallback", Settings("", {{"ttf", mono}}) + glyphs);
    EXPECT_TRUE(HasMessage("Font 'res://fonts/nofallback.mft' glyph with unicode 1488 (0x5d0) is missing!"));
    ForgetMessages();
    WriteResFile("fonts/fallback.mft.xml",
                 SourceDocument(Settings("", {{"ttf", mono}, {"ttf_fallback", "res://ttf/DejaVuSans.ttf"}}) + glyphs));
    zq_font_t* font = NewFont("res://fonts/fallback.mft");
    ASSERT_TRUE(LoadFontFile(font, font->name));  // generated, saved, then read back
    EXPECT_EQ(CountMessagesContaining("is missing!"), 0);
    EXPECT_NE(ZQI_FONTS_FindGlyph(font, 1488)->bitmap.pixels, nullptr);
    EXPECT_TRUE(ZQ_FileSystem_FileExists("res://fonts/fallback.mft"));
    EXPECT_EQ(ZQI_GetFontGlyphCount(font), 2);
}

}  // namespace
