// The drawing slots around the batch: DrawText's steps with drawers standing in for the fonts',
// clears, draws of buffer objects, and the colour setters' bytes.
#include <string>

#include "RecordingDevice.h"
#include "graphics/BatchRenderer.h"
#include "graphics/BufferObjects.h"
#include "graphics/Drawing.h"
#include "graphics/HighLevelRenderer.h"
#include "graphics/RendererState.h"
#include "graphics/ShaderManager.h"

namespace {

struct DrawnText {
    std::string text;
    float x;
    float y;
    zq_shader_t* shader;
    zq_shader_t* outer;  // the shader current when DrawText was entered
    bool utf32;
};
std::vector<DrawnText> g_drawnTexts;
std::vector<zq_shader_t*> g_smoothed;
uint32_t g_description;

float DrawLatin1(zq_font_t*, float x, float y, char* text, zq_shader_t* outer) {
    g_drawnTexts.push_back({text, x, y, g_rendererState.shader, outer, false});
    return 7.5f;
}

float DrawUtf32(zq_font_t*, float x, float y, const char* text, zq_shader_t* outer) {
    g_drawnTexts.push_back({text, x, y, g_rendererState.shader, outer, true});
    return 3.0f;
}

class DrawingSlotsTest : public DrawingTest {
protected:
    void SetUp() override {
        DrawingTest::SetUp();
        g_drawnTexts.clear();
        g_smoothed.clear();
        g_description = ZQI_FONT_LOADED;
        distanceField_.name = const_cast<char*>("internal_distance_field");
        g_drawing.distanceFieldShader = &distanceField_;
        TextDrawers drawers = {
            [](const zq_font_t*) { return g_description; }, DrawLatin1, DrawUtf32,
            [](zq_font_t*, zq_shader_t* shader, float, float) { g_smoothed.push_back(shader); }};
        ZQI_SetTextDrawers(&drawers);
    }
    void TearDown() override {
        ZQI_SetTextDrawers(nullptr);
        DrawingTest::TearDown();
    }

    zq_shader_t distanceField_ = {};
    zq_font_t* font_ = reinterpret_cast<zq_font_t*>(&distanceField_);  // only passed through
};

TEST_F(DrawingSlotsTest, TextIsFormattedDrawnWithTheFontShaderAndTheShaderComesBack) {
    zq_shader_t custom = {};
    custom.name = const_cast<char*>("custom");
    custom.flags = SHADER_FLAG_CREATED;
    const float x = 4.0f, y = 5.0f;
    EXPECT_EQ(7.5f, ZQ_Graphics_DrawText(font_, &x, &y, "%s %d", "score", 12));
    ZQ_Graphics_SetFontShader(&custom);
    g_description = ZQI_FONT_LOADED | ZQI_FONT_UTF8;
    EXPECT_EQ(3.0f, ZQ_Graphics_DrawText(font_, &x, &y, "%s", std::string(5000, 'a').c_str()));
    // A distance-field font takes the distance-field shader in place of the default one, with its
    // smoothing brought up to date first; a font shader of the program's own is kept.
    g_description = ZQI_FONT_LOADED | ZQI_FONT_DISTANCE_FIELD;
    ZQ_Graphics_DrawText(font_, &x, &y, "df");
    ZQ_Graphics_SetFontShader(nullptr);
    ZQ_Graphics_DrawText(font_, &x, &y, "df");
    ASSERT_EQ(4u, g_drawnTexts.size());
    EXPECT_EQ("score 12", g_drawnTexts[0].text);
    EXPECT_EQ(&defaultShader_, g_drawnTexts[0].shader);
    EXPECT_EQ(&defaultShader_, g_drawnTexts[2].outer);
    EXPECT_EQ(5000u, g_drawnTexts[1].text.size());
    EXPECT_TRUE(g_drawnTexts[1].utf32);
    EXPECT_EQ(&custom, g_drawnTexts[2].shader);
    EXPECT_EQ(&distanceField_, g_drawnTexts[3].shader);
    EXPECT_EQ(std::vector<zq_shader_t*>({&custom, &distanceField_}), g_smoothed);
    EXPECT_EQ(&defaultShader_, g_rendererState.shader);
    // Nothing for an empty text, a font that is not loaded, a null font or format.
    EXPECT_EQ(0.0f, ZQ_Graphics_DrawText(font_, &x, &y, "%s", ""));
    g_description = 0;
    EXPECT_EQ(0.0f, ZQ_Graphics_DrawText(font_, &x, &y, "unloaded"));
    EXPECT_EQ(0.0f, ZQ_Graphics_DrawText(nullptr, &x, &y, "no font"));
    EXPECT_EQ(0.0f, ZQ_Graphics_DrawText(font_, &x, &y, nullptr));
    EXPECT_EQ(4u, g_drawnTexts.size());
}

TEST_F(DrawingSlotsTest, ClearsDrawThePendingBatchAndDepthNeedsDepthWrites) {
    const float one = 1.0f;
    ZQ_Graphics_DrawRectangle(&one, &one, &one, &one);
    ZQ_Graphics_ClearScreen(0.25f, 0.5f, 0.75f);
    ZQ_Graphics_ClearDepth(1.0f);
    EXPECT_EQ(
        1, CountLogged("[POPUP] HighLevelRenderer::ClearDepth(): depth writes are disabled, not clearing at "
                       "this call."));
    ZQ_Graphics_SetRenderFlag(ZQ_RENDER_STATE_DEPTH_WRITE, true);
    ZQ_Graphics_ClearDepth(1.0f);
    // Into a colour target without a depth target of its own, depth is not cleared.
    zq_bitmap_t target = DrawableBitmap(8, 8, 0x300);
    target.name = const_cast<char*>("target");
    ZQ_Graphics_PushRenderTarget(&target);
    ZQ_Graphics_ClearDepth(0.5f);
    ZQ_Graphics_PopRenderTargets();
    EXPECT_EQ(1, device_->Count("Clear depth"));
    EXPECT_LT(device_->IndexOf("Draw triangles 6"), device_->IndexOf("Clear 0.25 0.5 0.75 1"));
    EXPECT_GE(device_->IndexOf("Clear depth 1"), 0);
}

TEST_F(DrawingSlotsTest, BufferDrawsTakeWholeTrianglesOfTheirIndexCount) {
    std::vector<zq_vertex_t> vertices(12);
    std::vector<uint16_t> indices(10);
    zq_vertex_buffer_t* vertexBuffer = ZQI_CreateVertexBuffer(7, vertices.data(), 12, 0);
    zq_index_buffer_t* indexBuffer = ZQI_CreateIndexBuffer(indices.data(), 10, 0);
    ASSERT_NE(nullptr, vertexBuffer);
    ASSERT_NE(nullptr, indexBuffer);
    const int32_t six = 6, twenty = 20, negative = -1;
    ZQ_Graphics_DrawTrianglesFromBuffers(vertexBuffer, indexBuffer, nullptr);
    ZQ_Graphics_DrawTrianglesRange(vertexBuffer, indexBuffer, nullptr, &six);
    ZQ_Graphics_DrawTrianglesRange(vertexBuffer, indexBuffer, nullptr, &twenty);  // at most the buffer's
    ZQ_Graphics_DrawTrianglesRange(vertexBuffer, indexBuffer, nullptr, &negative);
    ZQ_Graphics_DrawTrianglesInstanced(vertexBuffer, indexBuffer, 3);
    ZQ_Graphics_DrawTrianglesFromBuffers(nullptr, indexBuffer, nullptr);
    ZQ_Graphics_DrawTrianglesInstanced(vertexBuffer, nullptr, 3);
    const std::vector<std::string> expected = {"Draw triangles 9", "Draw triangles 6", "Draw triangles 9",
                                               "Draw instanced 9 x 3"};
    EXPECT_EQ(expected, device_->calls);
    ZQ_Graphics_FreeVertexBuffer(vertexBuffer);
    ZQ_Graphics_FreeIndexBuffer(indexBuffer);
}

TEST_F(DrawingSlotsTest, ColoursBecomeTruncatedBytesAndOnlyAlphaIsClamped) {
    const float rgba[4] = {0.5f, 1.0f, 2.0f, 1.5f};
    ZQ_Graphics_SetColorRGBA(rgba);
    // 127.5 -> 127, 255, 510 -> its low byte 254, 382.5 -> 382 -> 126.
    EXPECT_EQ(0x7E7FFFFEu, g_drawing.quad[3].color);
    const float half = 0.5f, above = 3.0f;
    ZQ_Graphics_SetAlpha(&above);
    EXPECT_EQ(1.0f, ZQ_Graphics_GetAlpha());
    ZQ_Graphics_SetColor(&half, &half, &half);
    const zq_color_t colour = ZQ_Graphics_GetColor();
    EXPECT_EQ(0.5f, colour.r);
    EXPECT_EQ(1.0f, colour.a);
    EXPECT_EQ(0xFF7F7F7Fu, g_drawing.quad[0].color);
    ZQ_Graphics_SetColor(nullptr, &half, &half);  // a null value changes nothing
    EXPECT_EQ(0xFF7F7F7Fu, g_drawing.quad[0].color);
    const float depth = 0.75f;
    ZQ_Graphics_SetDepth(&depth);
    EXPECT_EQ(0.75f, g_drawing.quad[2].z);
}

}  // namespace
