// The BatchRenderer without a GPU: when batches are drawn (limits, kind and state changes, the
// order of draw and state), the caller's triangle lists with their limits and faulty arguments,
// and the geometry the drawing slots hand it.
#include <algorithm>
#include <functional>

#include "RecordingDevice.h"
#include "graphics/BatchRenderer.h"
#include "graphics/Drawing.h"
#include "graphics/HighLevelRenderer.h"
#include "graphics/RendererState.h"
#include "graphics/ShaderManager.h"

namespace {

using BatchRendererTest = DrawingTest;

void DrawAt(zq_bitmap_t* bitmap, float x, float y) {
    ZQ_Graphics_DrawBitmap(bitmap, &x, &y);
}

void Line(float x0, float y0, float x1, float y1) {
    ZQ_Graphics_DrawLine(&x0, &y0, &x1, &y1);
}

// The four vertices of quad q of a recorded draw.
const zq_vertex_t* QuadOf(const RecordedDraw& draw, int32_t q) {
    return &draw.vertices[size_t(q) * 4];
}

void ExpectCorners(const zq_vertex_t* quad, const float (&xy)[4][2], const float (&uv)[4][2]) {
    for (int i = 0; i < 4; ++i) {
        EXPECT_NEAR(xy[i][0], quad[i].x, 1e-4f) << "corner " << i;
        EXPECT_NEAR(xy[i][1], quad[i].y, 1e-4f) << "corner " << i;
        EXPECT_NEAR(uv[i][0], quad[i].u, 1e-6f) << "corner " << i;
        EXPECT_NEAR(uv[i][1], quad[i].v, 1e-6f) << "corner " << i;
    }
}

TEST_F(BatchRendererTest, NinetyFiveQuadsAreOneDrawAndTheNinetySixthFlushesThem) {
    zq_bitmap_t sprite = DrawableBitmap(4, 4, 0x100);
    for (int i = 0; i < 95; ++i) {
        DrawAt(&sprite, float(i), 0.0f);
    }
    EXPECT_EQ(0, device_->Count("Draw"));
    DrawAt(&sprite, 95.0f, 0.0f);
    ASSERT_EQ(1, device_->Count("Draw"));
    EXPECT_GE(device_->IndexOf("Draw triangles 570"), 0);
    EXPECT_EQ(4, BatchRenderer::GetVertexCount());
    // The quad index buffer: triangles (0, 1, 2) and (1, 3, 2) of each quad.
    const std::vector<uint16_t>& indices = device_->draws[0].indices;
    const uint16_t quad94[6] = {376, 377, 378, 377, 379, 378};
    EXPECT_TRUE(std::equal(quad94, quad94 + 6, indices.begin() + 94 * 6));
    EXPECT_FLOAT_EQ(94.0f, QuadOf(device_->draws[0], 94)[0].x);
}

TEST_F(BatchRendererTest, LinesCloseAt382AndAlternatingKindsFlushAtEveryChange) {
    for (int i = 0; i < 192; ++i) {
        Line(0, 0, 1, float(i));
    }
    EXPECT_EQ(std::vector<std::string>({"Texture 0xaaaa0", "Draw lines 382"}), device_->calls);
    device_->calls.clear();
    HighLevelRenderer::FlushBatch();
    const float one = 1.0f;
    for (int i = 0; i < 2; ++i) {
        Line(0, 0, 1, 1);
        ZQ_Graphics_DrawRectangle(&one, &one, &one, &one);
    }
    const std::vector<std::string> expected = {"Draw lines 2", "Draw lines 2", "Draw triangles 6",
                                               "Draw lines 2"};
    EXPECT_EQ(expected, device_->calls);
}

TEST_F(BatchRendererTest, AStateChangeDrawsThePendingQuadBeforeTheChangeIsSent) {
    zq_bitmap_t sprite = DrawableBitmap(4, 4, 0x100);
    zq_bitmap_t second = DrawableBitmap(4, 4, 0x200);
    zq_shader_t shader = {};
    shader.name = const_cast<char*>("other");
    shader.flags = SHADER_FLAG_CREATED;
    struct Change {
        std::function<void()> apply;
        const char* sent;
    } changes[] = {
        {[] { ZQ_Graphics_SetBlendMode(ZQ_BLEND_MODE_ADD); }, "Blend 2"},
        {[] { ZQ_Graphics_PushScissorRectangle(1, 2, 3, 4); }, "Scissor 1 2 3 4"},
        {[&] { ZQ_Graphics_SetShader(&shader); }, "Shader other"},
        {[&] { ZQ_Graphics_SetTexture(1, &second); }, "Texture 0x100"},
        {[] { ZQ_Graphics_SetTextureStageAddressMode(0, 2, 2, 2); }, "Address 2 2 2"},
    };
    for (const Change& change : changes) {
        HighLevelRenderer::FlushBatch();
        device_->calls.clear();
        DrawAt(&sprite, 0.0f, 0.0f);
        change.apply();
        DrawAt(&sprite, 0.0f, 0.0f);
        const int32_t draw = device_->IndexOf("Draw triangles 6");
        const int32_t sent = device_->IndexOf(change.sent);
        EXPECT_GE(draw, 0) << change.sent;
        EXPECT_LT(draw, sent) << change.sent;
    }
}

TEST_F(BatchRendererTest, TriangleListsKeepTheirLimitsAndRefuseFaultyArguments) {
    zq_bitmap_t sprite = DrawableBitmap(4, 4, 0x100);
    std::vector<zq_vertex_t> vertices(16385);
    std::vector<uint16_t> indices(16385);
    DrawAt(&sprite, 0.0f, 0.0f);
    device_->calls.clear();
    ZQ_Graphics_DrawTriangles(&sprite, vertices.data(), 16385, indices.data(), 3);
    ZQ_Graphics_DrawTriangles(&sprite, vertices.data(), 3, indices.data(), 16385);
    EXPECT_EQ(
        1, CountLogged("[POPUP] BatchRenderer::DrawTriangles(): too many vertices (16385, max 16384), draw "
                       "using vertex and index buffers instead. Not drawing at this call."));
    EXPECT_EQ(1,
              CountLogged("[POPUP] BatchRenderer::DrawTriangles(): too many indices (16385, max 16384), draw "
                          "using vertex and index buffers instead. Not drawing at this call."));
    EXPECT_EQ(std::vector<std::string>({"Draw triangles 6"}), device_->calls);  // the open batch only
    device_->calls.clear();
    device_->draws.clear();
    ZQ_Graphics_DrawTriangles(&sprite, vertices.data(), -1, indices.data(), 3);
    ZQ_Graphics_DrawTriangles(&sprite, nullptr, 3, indices.data(), 3);
    ZQ_Graphics_DrawTriangles(&sprite, vertices.data(), 3, nullptr, 3);
    ZQ_Graphics_DrawTrianglesFromVertexFormat(15, vertices.data(), 3, indices.data(), -3);
    EXPECT_EQ(0, device_->Count("Draw"));
    // Only whole triangles are drawn; the pair of large buffers alternates.
    for (int32_t i = 0; i < 10; ++i) {
        vertices[i].x = float(i);
        indices[i] = uint16_t(9 - i);
    }
    ZQ_Graphics_DrawTriangles(&sprite, vertices.data(), 10, indices.data(), 10);
    ZQ_Graphics_DrawTrianglesFromVertexFormat(7, vertices.data(), 10, indices.data(), 8);
    EXPECT_EQ(std::vector<std::string>({"Draw triangles 9", "Draw triangles 6"}), device_->calls);
    EXPECT_EQ(9u, device_->draws[0].indices[0]);
    EXPECT_FLOAT_EQ(9.0f, device_->draws[0].vertices[9].x);
}

TEST_F(BatchRendererTest, WithoutItsRingBuffersTheBatchDrawsNothingAndNeverMapsOne) {
    BatchRenderer::Shutdown();
    device_->refuseBuffers = true;
    BatchRenderer::Initialize();
    BatchRenderer::BeginFrame();
    EXPECT_EQ(0, device_->buffersAlive);
    zq_bitmap_t sprite = DrawableBitmap(4, 4, 0x100);
    for (int i = 0; i < 200; ++i) {
        DrawAt(&sprite, 0.0f, 0.0f);
    }
    HighLevelRenderer::FlushBatch();
    EXPECT_EQ(0, device_->Count("Draw"));
    EXPECT_FALSE(BatchRenderer::HasVertices());
}

TEST_F(BatchRendererTest, BitmapDrawsMakeTheirQuads) {
    zq_bitmap_t bitmap = DrawableBitmap(10, 20, 0x100);
    bitmap.gpu.texture_left = 0.25f;
    bitmap.gpu.texture_top = 0.5f;
    bitmap.gpu.texture_right = 0.75f;
    bitmap.gpu.texture_bottom = 1.0f;
    zq_bitmap_t odd = DrawableBitmap(3, 3, 0x200);
    const float x = 100.0f, y = 50.0f, left = 2.0f, top = 4.0f, right = 6.0f, bottom = 12.0f;
    const float angle = 1.5707963f, scale = 1.0f, half = 0.5f;
    DrawAt(&bitmap, x, y);
    ZQ_Graphics_DrawSubBitmap(&bitmap, &x, &y, &left, &top, &right, &bottom);
    ZQ_Graphics_DrawBitmapRotated(&odd, &x, &y, &angle, &scale);
    const float p0[2] = {0.0f, 0.0f}, p1[2] = {10.0f, 0.0f};
    const float red[4] = {1.0f, 0.0f, 0.0f, 1.0f}, blue[4] = {0.0f, 0.0f, 1.0f, 0.5f};
    ZQ_Graphics_DrawBitmapLine(&bitmap, p0, p1, 2.0f, 2.0f, red, blue);
    ZQ_Graphics_SetAlpha(&half);
    DrawAt(&bitmap, x, y);
    HighLevelRenderer::FlushBatch();
    ASSERT_EQ(3u, device_->draws.size());  // one draw per texture change
    const RecordedDraw& first = device_->draws[0];
    ExpectCorners(QuadOf(first, 0), {{100, 50}, {110, 50}, {100, 70}, {110, 70}},
                  {{0.25f, 0.5f}, {0.75f, 0.5f}, {0.25f, 1.0f}, {0.75f, 1.0f}});
    // Texels 2..6 across (0.05 of the texture each) and 4..12 down (0.025 each).
    ExpectCorners(QuadOf(first, 1), {{100, 50}, {104, 50}, {100, 58}, {104, 58}},
                  {{0.35f, 0.6f}, {0.55f, 0.6f}, {0.35f, 0.8f}, {0.55f, 0.8f}});
    // An odd size moves the centre half a unit up and left; a quarter turn takes the top-left
    // corner to the top right.
    ExpectCorners(QuadOf(device_->draws[1], 0), {{101, 48}, {101, 51}, {98, 48}, {98, 51}},
                  {{0, 0}, {1, 0}, {0, 1}, {1, 1}});
    const zq_vertex_t* band = QuadOf(device_->draws[2], 0);
    ExpectCorners(band, {{0, 1}, {0, -1}, {10, 1}, {10, -1}},
                  {{0.25f, 0.5f}, {0.75f, 0.5f}, {0.25f, 1.0f}, {0.75f, 1.0f}});
    EXPECT_EQ(0xFFFF0000u, band[0].color);  // B, G, R, A bytes: opaque red
    EXPECT_EQ(0x7F0000FFu, band[3].color);  // blue at 0.5 x 255 = 127.5, truncated
    // The band's colours were for it alone: the next quad has the current colour (alpha 127).
    EXPECT_EQ(0x7FFFFFFFu, QuadOf(device_->draws[2], 1)[0].color);
}

TEST_F(BatchRendererTest, ZeroAlphaSkipsBitmapsAndRectanglesButNotTheirOtherForms) {
    zq_bitmap_t bitmap = DrawableBitmap(4, 4, 0x100);
    const float zero = 0.0f, one = 1.0f;
    ZQ_Graphics_SetAlpha(&zero);
    DrawAt(&bitmap, 0.0f, 0.0f);
    ZQ_Graphics_DrawRectangle(&one, &one, &one, &one);
    EXPECT_FALSE(BatchRenderer::HasVertices());
    ZQ_Graphics_DrawSubBitmap(&bitmap, &one, &one, &zero, &zero, &one, &one);
    ZQ_Graphics_DrawBitmapRotated(&bitmap, &one, &one, &zero, &one);
    EXPECT_EQ(8, BatchRenderer::GetVertexCount());
    // Unready bitmaps and a segment shorter than 0.000001 draw nothing.
    bitmap.load_state = 2;
    ZQ_Graphics_DrawSubBitmap(&bitmap, &one, &one, &zero, &zero, &one, &one);
    bitmap.load_state = 3;
    const float point[2] = {5.0f, 5.0f};
    const float colour[4] = {1, 1, 1, 1};
    ZQ_Graphics_DrawBitmapLine(&bitmap, point, point, 1.0f, 1.0f, colour, colour);
    EXPECT_EQ(8, BatchRenderer::GetVertexCount());
}

TEST_F(BatchRendererTest, CallerVerticesAreMappedIntoTheTextureRectangle) {
    zq_bitmap_t bitmap = DrawableBitmap(4, 4, 0x100);
    bitmap.gpu.texture_left = 0.5f;
    bitmap.gpu.texture_right = 1.0f;
    zq_vertex_t quad[4] = {{0, 0, 0.5f, 0x11223344u, 0, 0},
                           {1, 0, 0.5f, 0x11223344u, 1, 0},
                           {0, 1, 0.5f, 0x11223344u, 0, 1},
                           {1, 1, 0.5f, 0x11223344u, 1, 1}};
    g_drawing.rendererInitialised = 1;
    ZQ_Graphics_DrawBitmapFromVertices(&bitmap, quad);
    g_drawing.rendererInitialised = 0;  // before the renderer's start red and blue are exchanged
    ZQ_Graphics_DrawBitmapFromVertices(nullptr, quad);
    HighLevelRenderer::FlushBatch();
    ASSERT_EQ(2u, device_->draws.size());
    const zq_vertex_t* mapped = QuadOf(device_->draws[0], 0);
    EXPECT_FLOAT_EQ(0.75f, 0.5f * (mapped[0].u + mapped[1].u));
    EXPECT_EQ(0x11223344u, mapped[0].color);
    const zq_vertex_t* white = QuadOf(device_->draws[1], 0);
    EXPECT_EQ(0x11443322u, white[0].color);
    EXPECT_FLOAT_EQ(1.0f, white[1].u);  // the caller's coordinates on the white texture
}

}  // namespace
