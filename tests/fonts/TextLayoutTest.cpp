// Markup, word measuring, line breaking, text size and the render check on a hand-built font
// whose advances the expected values are computed from.
#include <cstring>
#include <vector>

#include "FontTestSupport.h"
#include "core/CoreState.h"
#include "fonts/FontServices.h"
#include "fonts/TextDrawing.h"
#include "fonts/TextLayout.h"
#include "graphics/Drawing.h"

namespace {

zq_bitmap_t g_icon;

class TextLayoutTest : public FontTest {
protected:
    void SetUp() override {
        FontTest::SetUp();
        g_icon = {};
        g_icon.width = 10;
        FontGraphicsHooks hooks = {};
        hooks.getBitmap = [](const char* name) { return strcmp(name, "icon") == 0 ? &g_icon : nullptr; };
        hooks.getCurrentColor = [](float colour[4]) {
            colour[0] = colour[1] = colour[2] = 0.25f;
            colour[3] = 0.75f;
        };
        ZQI_SetFontGraphicsHooks(&hooks);
        font_ = NewFont();
        font_->size = 12;
        font_->lineHeight = 14;
        for (uint32_t c = 'a'; c <= 'z'; ++c) AddGlyph(font_, c, 5, 4, 4);
        AddGlyph(font_, 'A', 7, 6, 6);
        AddGlyph(font_, 'B', 6, 5, 6);
        AddGlyph(font_, 'H', 8, 7, 6);
        AddGlyph(font_, ' ', 3);
        AddGlyph(font_, '|', 2, 1, 8);
        AddGlyph(font_, 0x4E00, 11, 10, 10);
        AddGlyph(font_, 0x3002, 11, 10, 10);
        ZQI_EnsureGlyphKerning(ZQI_FONTS_FindGlyph(font_, 'B'));
        ZQI_FONTS_FindGlyph(font_, 'B')->kerning['A'] = -2;
    }

    // Lays out a copy of text (bytes or, with utf8, code points) and returns the line texts.
    std::vector<std::string> Lines(const char* text, float maxWidth, bool utf8 = false) {
        std::vector<std::string> result;
        if (utf8) {
            uint32_t* converted = ZQI_ConvertTextForLayout(text);
            int32_t n = LayoutTextLinesUTF32(font_, maxWidth, converted, &lines_);
            for (int32_t i = 0; i < n; ++i) {
                std::string line;
                for (const uint32_t* c = static_cast<uint32_t*>(lines_.starts[i]); *c != 0; ++c) {
                    line += *c < 128 ? static_cast<char>(*c) : (*c == 0x3002 ? '.' : '#');
                }
                result.push_back(line);
            }
            free(converted);
            return result;
        }
        buffer_.assign(text, text + strlen(text) + 1);
        int32_t n = LayoutTextLines(font_, maxWidth, buffer_.data(), &lines_);
        for (int32_t i = 0; i < n; ++i) result.push_back(static_cast<char*>(lines_.starts[i]));
        return result;
    }

    zq_font_t* font_;
    TextLines lines_;
    std::vector<char> buffer_;
};

TEST_F(TextLayoutTest, KerningAndSpacingInTheByteFormOnly) {
    ZQI_GetThreadTextSettings()->characterSpacing = 1.5f;
    Lines("AB", 1000.0f);
    EXPECT_FLOAT_EQ(lines_.widths[0], 7 + 6 - 2 + 2 * 1.5f - 1.5f);
    Lines("AB", 1000.0f, true);
    EXPECT_FLOAT_EQ(lines_.widths[0], 7 + 6 + 2 * 1.5f - 1.5f);
}

TEST_F(TextLayoutTest, LinesBreakAtSpacesNewLinesAndTheLineLimit) {
    EXPECT_EQ(Lines("one two", 20.0f), (std::vector<std::string>{"one", "two"}));
    EXPECT_EQ(buffer_[3], '\0');  // the space was overwritten
    EXPECT_EQ(Lines("one two", 100.0f), (std::vector<std::string>{"one two"}));
    EXPECT_EQ(Lines("a\n\nb", 100.0f), (std::vector<std::string>{"a", "", "b"}));
    EXPECT_FLOAT_EQ(lines_.widths[1], 0.0f);
    std::string many(1500, '\n');
    EXPECT_EQ(Lines(many.c_str(), 100.0f).size(), 1024u);
    // "|scale=2|" halves the width limit; "|scale=0|" is ignored rather than dividing by zero.
    EXPECT_EQ(Lines("|scale=2|ab cd", 30.0f).size(), 2u);
    EXPECT_EQ(Lines("|scale=0|ab cd", 30.0f).size(), 1u);
}

TEST_F(TextLayoutTest, IdeographsBreakAnywhereButNotBeforeTheFullStop) {
    // Four ideographs of 11 under a limit of 25: two per line; U+3002 stays with its line.
    EXPECT_EQ(Lines("\xE4\xB8\x80\xE4\xB8\x80\xE4\xB8\x80\xE4\xB8\x80", 25.0f, true),
              (std::vector<std::string>{"##", "##"}));
    EXPECT_EQ(Lines("\xE4\xB8\x80\xE4\xB8\x80\xE3\x80\x82\xE4\xB8\x80", 25.0f, true),
              (std::vector<std::string>{"##.", "#"}));
    // One ideograph wider than the limit stays on its line instead of breaking forever.
    EXPECT_EQ(Lines("\xE4\xB8\x80", 5.0f, true).size(), 1u);
}

TEST_F(TextLayoutTest, MarkupTagsMeasureImagesAndNothingElse) {
    font_->scale = 0.5f;
    // The image adds width x tag scale / font scale + spacing; the colour tag's text adds nothing.
    EXPECT_FLOAT_EQ(MeasureWord(font_, "a|img src='icon' scale=2|b|#ff0000|", 0.0f), 5 + 10 * 2 / 0.5f + 5);
    EXPECT_FLOAT_EQ(MeasureWord(font_, "a||b", 0.0f), 12.0f);
    ZQI_GetThreadTextSettings()->markupDisabled = 1;
    EXPECT_FLOAT_EQ(MeasureWord(font_, "a|b", 0.0f), 12.0f);
}

// An inline image takes its width in a line whether the font is Latin-1 or UTF-8: the same text
// gives the same line widths and breaks in both forms, and the same measured size.
TEST_F(TextLayoutTest, ImagesTakeTheSameWidthInBothForms) {
    struct Case {
        const char* text;
        float maxWidth;
        std::vector<float> widths;
    };
    const Case cases[] = {
        {"A|img src='icon'|B", 1000.0f, {7 + 10 + 6}},
        {"a|img src='icon' scale=2|", 1000.0f, {5 + 2 * 10}},
        {"|img src='icon'| |img src='icon'|", 1000.0f, {10 + 3 + 10}},
        {"ab |img src='icon'|", 20.0f, {5 + 5, 10}},  // 10 + 3 + 10 reaches the limit: the image wraps
        {"a|img src='none'|b", 1000.0f, {5 + 5}},     // no such bitmap: nothing to measure
    };
    for (const Case& c : cases) {
        for (bool utf8 : {false, true}) {
            SCOPED_TRACE(std::string(c.text) + (utf8 ? " (UTF-8)" : " (Latin-1)"));
            const size_t count = Lines(c.text, c.maxWidth, utf8).size();
            ASSERT_EQ(count, c.widths.size());
            for (size_t i = 0; i < count; ++i) EXPECT_FLOAT_EQ(lines_.widths[i], c.widths[i]) << i;
        }
    }
    for (uint8_t utf8 : {0, 1}) {
        font_->utf8 = utf8;
        char text[] = "A|img src='icon'|B";
        float width = 0.0f, height = 0.0f;
        ZQI_FONTS_GetTextSize(font_, text, &width, &height);
        EXPECT_FLOAT_EQ(width, 7 + 10 + 6) << int(utf8);
    }
}

TEST_F(TextLayoutTest, TagKeysParseToTheirValues) {
    struct Case {
        const char* tag;
        float colour[4];
        int32_t offset;
        float angle;
        float scale;
        bool image;
    };
    const Case cases[] = {
        {"color=ff8000 |", {1.0f, 128 / 255.0f, 0.0f, 0.75f}, 0, 0.0f, 1.0f, false},
        {"color=#ff800080 |", {1.0f, 128 / 255.0f, 0.0f, 128 / 255.0f}, 0, 0.0f, 1.0f, false},
        {"color=ff8000|", {0.25f, 0.25f, 0.25f, 0.75f}, 0, 0.0f, 1.0f, false},  // no space: ignored
        {"img src='icon' offset=-3 angle=90 scale='1.5'|",
         {0.25f, 0.25f, 0.25f, 0.75f},
         -3,
         1.5707964f,
         1.5f,
         true},
        {"img|x src='icon'|", {0.25f, 0.25f, 0.25f, 0.75f}, 0, 0.0f, 1.0f, false},  // src in a later tag
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.tag);
        float colour[4], angle, scale;
        int32_t offset;
        zq_bitmap_t* bitmap = ParseMarkupTag(c.tag, &offset, &angle, &scale, colour, nullptr);
        EXPECT_EQ(bitmap != nullptr, c.image);
        for (int i = 0; i < 4; ++i) EXPECT_FLOAT_EQ(colour[i], c.colour[i]);
        EXPECT_EQ(offset, c.offset);
        EXPECT_FLOAT_EQ(angle, c.angle);
        EXPECT_FLOAT_EQ(scale, c.scale);
    }
    EXPECT_EQ(HexPairToInt('f', 'F'), 255);
    EXPECT_EQ(HexPairToInt('0', 'a'), 10);
    EXPECT_EQ(HexPairToInt('g', '1'), 1);
}

TEST_F(TextLayoutTest, TextSizeFollowsTheThreadSettings) {
    char text[] = "ab ab\nH";
    float width, height;
    ZQI_GetThreadTextSettings()->scaleX = 2.0f;
    ZQI_GetThreadTextSettings()->lineSpacing = 3.0f;
    ZQI_FONTS_GetTextSize(font_, text, &width, &height);
    EXPECT_FLOAT_EQ(width, 2.0f * (5 + 5 + 3 + 5 + 5));
    EXPECT_FLOAT_EQ(height, 14 + 14 + 3);
    char justified[] = "ab ab ab";
    ZQI_GetThreadTextSettings()->scaleX = 1.0f;
    ZQI_GetThreadTextSettings()->justify = 1;
    ZQI_GetThreadTextSettings()->maxLineWidth = 20.0f;
    ZQI_FONTS_GetTextSize(font_, justified, &width, &height);
    EXPECT_FLOAT_EQ(width, 20.0f);
    font_->loaded.store(0);  // a font still loading answers nothing
    char again[] = "ab";
    ZQI_FONTS_GetTextSize(font_, again, &width, &height);
    EXPECT_EQ(width, 0.0f);
}

TEST_F(TextLayoutTest, RenderCheckSkipsTagsAndBlanks) {
    EXPECT_TRUE(ZQI_FONTS_CanRenderText(font_, "Hi |some arbitrary words|"));
    EXPECT_TRUE(ZQI_FONTS_CanRenderText(font_, "Hi |open tag"));
    EXPECT_FALSE(ZQI_FONTS_CanRenderText(font_, "Hi!"));
    EXPECT_FALSE(ZQI_FONTS_CanRenderText(nullptr, "Hi"));
    font_->utf8 = 1;
    EXPECT_TRUE(ZQI_FONTS_CanRenderText(font_, "a\xE4\xB8\x80 b"));
    EXPECT_FALSE(ZQI_FONTS_CanRenderText(font_, "a\xE4\xB8\x81"));
    // A character cut short at the end is dropped, not read past the text.
    EXPECT_TRUE(ZQI_FONTS_CanRenderText(font_, "a\xE4\xB8"));
}

// Without a renderer nothing reaches the screen, but the drawers still walk every tag (under the
// sanitizers here) and answer the drawn width: advances, kerning in the byte form only, an image's
// width, twice all of it at scale 2. Colour tags stay in force.
TEST_F(TextLayoutTest, DrawersWalkTagsAndAnswerTheDrawnWidth) {
    struct Case {
        const char* text;
        bool utf8;
        float scale;
        float width;
    };
    const Case cases[] = {
        {"|#00ff0080|AB", false, 1.0f, 7 + 6 - 2},
        {"AB|#ff0000|", true, 1.0f, 7 + 6},
        {"AB", false, 2.0f, 2 * (7 + 6 - 2)},
        {"|scale=0|AB", false, 1.0f, 7 + 6 - 2},
        {"A|img src='icon'|B", false, 1.0f, 7 + 10 + 6},  // no kerning after an image
        {"\xE4\xB8\x80|shader='none'|||\xE4\xB8\x80", true, 1.0f, 11 + 2 + 11},
        {"A|#0000ff", false, 1.0f, 7},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        ZQI_GetThreadTextSettings()->scaleX = ZQI_GetThreadTextSettings()->scaleY = c.scale;
        std::vector<char> text(c.text, c.text + strlen(c.text) + 1);
        const float width = c.utf8 ? ZQI_FONTS_DrawTextUTF32(font_, 0, 0, text.data(), nullptr)
                                   : ZQI_FONTS_DrawText(font_, 0, 0, text.data(), nullptr);
        EXPECT_FLOAT_EQ(width, c.width);
    }
    *ZQI_GetThreadTextSettings() = ZQI_DefaultTextSettings();
    const zq_color_t colour = ZQ_Graphics_GetColor();
    EXPECT_FLOAT_EQ(colour.b, 1.0f);  // the last, unclosed tag still coloured
    EXPECT_FLOAT_EQ(colour.r, 0.0f);

    g_core.developerMode = 1;
    char deprecated[] = "|scale=2|A";
    ZQI_FONTS_DrawTextUTF32(font_, 0, 0, deprecated, nullptr);
    g_core.developerMode = 0;
    EXPECT_GE(CountMessagesContaining("|scale=x| tag is deprecated. Remove all references to it."), 1);
    font_->size = 0;
    EXPECT_EQ(ZQI_FONTS_DrawText(font_, 0, 0, deprecated, nullptr), 0.0f);
}

}  // namespace
