// The HighLevelRenderer without a GPU: stack limits and messages, the product order of the world
// stack, render-target pushes, scissor intersection and its mapping to the back buffer, the default
// projection, what reaches the device and in which order, and the small state slots.
#include <cmath>
#include <functional>

#include "RecordingDevice.h"
#include "graphics/BatchRenderer.h"
#include "graphics/Drawing.h"
#include "graphics/GraphicsApi.h"
#include "graphics/HighLevelRenderer.h"
#include "graphics/RendererState.h"
#include "graphics/ScreenMapping.h"
#include "graphics/ShaderManager.h"
#include "graphics/TextSettings.h"

namespace {

using HighLevelRendererTest = DrawingTest;

// Test-side matrix arithmetic: row-major, column vectors.
Matrix4x4 Product(const Matrix4x4& a, const Matrix4x4& b) {
    Matrix4x4 out = {};
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            for (int k = 0; k < 4; ++k) {
                out.m[r * 4 + c] += a.m[r * 4 + k] * b.m[k * 4 + c];
            }
        }
    }
    return out;
}

// Clip-space x and y of a point after the perspective divide.
void Project(const Matrix4x4& m, float x, float y, float z, float* clipX, float* clipY, float* w) {
    const float v[4] = {x, y, z, 1.0f};
    float out[4] = {};
    for (int r = 0; r < 4; ++r) {
        for (int k = 0; k < 4; ++k) {
            out[r] += m.m[r * 4 + k] * v[k];
        }
    }
    *clipX = out[0] / out[3];
    *clipY = out[1] / out[3];
    *w = out[3];
}

Matrix4x4 Numbered(float first) {
    Matrix4x4 m;
    for (int i = 0; i < 16; ++i) {
        m.m[i] = first + static_cast<float>(i);
    }
    return m;
}

void ExpectMatrix(const Matrix4x4& expected, const Matrix4x4& actual) {
    for (int i = 0; i < 16; ++i) {
        EXPECT_FLOAT_EQ(expected.m[i], actual.m[i]) << "element " << i;
    }
}

// A render target with GPU data, in a record of its own.
zq_bitmap_t Target(const char* name, int32_t width, int32_t height, uintptr_t texture) {
    zq_bitmap_t target = DrawableBitmap(width, height, texture);
    target.name = const_cast<char*>(name);
    target.flags = 4;
    return target;
}

struct StackCase {
    const char* push;
    const char* pop;
    int32_t pushes;  // allowed above the starting index
    std::function<void()> Push;
    std::function<void()> Pop;
    HighLevelRendererStack stack;
};

TEST_F(HighLevelRendererTest, StacksRefuseTheirLimitWithThePushOrPopMessage) {
    const Matrix4x4 m = Numbered(1.0f);
    const StackCase cases[] = {
        {"PushWorldTransform", "PopWorldTransform", 31, [&] { HighLevelRenderer::PushWorldTransform(&m); },
         [] { HighLevelRenderer::PopWorldTransform(); }, HLR_STACK_WORLD},
        {"PushViewTransform", "PopViewTransform", 31, [&] { HighLevelRenderer::PushViewTransform(&m); },
         [] { HighLevelRenderer::PopViewTransform(); }, HLR_STACK_VIEW},
        {"PushProjectionTransform", "PopProjectionTransform", 32,
         [] { HighLevelRenderer::PushProjectionTransform(nullptr); },
         [] { HighLevelRenderer::PopProjectionTransform(); }, HLR_STACK_PROJECTION},
        {"PushScissorRectangle", "PopScissorRectangle", 32,
         [] { HighLevelRenderer::PushScissorRectangle(0, 0, 10, 10); },
         [] { HighLevelRenderer::PopScissorRectangle(); }, HLR_STACK_SCISSOR},
        {"PushShader", "PopShader", 32, [] { HighLevelRenderer::PushShader(nullptr); },
         [] { HighLevelRenderer::PopShader(); }, HLR_STACK_SHADER},
    };
    for (const StackCase& c : cases) {
        const int32_t start = HighLevelRenderer::GetStackDepth(c.stack);
        for (int32_t i = 0; i < c.pushes + 1; ++i) {
            c.Push();
        }
        EXPECT_EQ(start + c.pushes, HighLevelRenderer::GetStackDepth(c.stack)) << c.push;
        EXPECT_EQ(1, CountLogged(std::string("[POPUP] HighLevelRenderer::") + c.push +
                                 "(): Attempting to push to full stack."));
        for (int32_t i = 0; i < c.pushes + 1; ++i) {
            c.Pop();
        }
        EXPECT_EQ(start, HighLevelRenderer::GetStackDepth(c.stack)) << c.pop;
        EXPECT_EQ(1, CountLogged(std::string("[POPUP] HighLevelRenderer::") + c.pop +
                                 "(): Attempting to pop from empty stack."));
    }
    ExpectMatrix(Matrix4x4::Identity(), HighLevelRenderer::PeekWorldTransform());
}

TEST_F(HighLevelRendererTest, WorldPushesMultiplyOnTheRightAndNullRestartsFromIdentity) {
    const Matrix4x4 a = Numbered(1.0f);
    const Matrix4x4 m = Numbered(-3.0f);
    HighLevelRenderer::PushWorldTransform(&a);
    HighLevelRenderer::PushWorldTransform(&m);
    ExpectMatrix(Product(a, m), HighLevelRenderer::PeekWorldTransform());
    HighLevelRenderer::PushViewTransform(&a);
    ExpectMatrix(Product(a, Product(a, m)), *HighLevelRenderer::GetWorldViewTransform());
    HighLevelRenderer::PushWorldTransform(nullptr);
    ExpectMatrix(Matrix4x4::Identity(), HighLevelRenderer::PeekWorldTransform());
}

TEST_F(HighLevelRendererTest, TheDefaultProjectionMakesOneUnitOnePixelAtTheDistance) {
    for (float d : {0.5f, 0.25f}) {
        ZQ_Graphics_SetDepthParameters(0.1f, d, 1.0f);
        const zq_matrix4x4_t projection = ZQ_Graphics_PeekProjectionTransform();
        Matrix4x4 p;
        memcpy(p.m, projection.m, sizeof(p.m));
        float x, y, w;
        Project(p, 0.0f, 0.0f, d, &x, &y, &w);
        EXPECT_NEAR(-1.0f, x, 1e-6f);
        EXPECT_NEAR(1.0f, y, 1e-6f);
        EXPECT_FLOAT_EQ(9.0f * d, w);
        Project(p, 640.0f, 480.0f, d, &x, &y, &w);
        EXPECT_NEAR(1.0f, x, 1e-6f);
        EXPECT_NEAR(-1.0f, y, 1e-6f);
        Project(p, 1.0f, 0.0f, d, &x, &y, &w);
        EXPECT_NEAR(-1.0f + 2.0f / 640.0f, x, 1e-6f);
    }
}

TEST_F(HighLevelRendererTest, ARenderTargetPushBringsItsProjectionAndIdentityWorldAndThePopRestores) {
    zq_bitmap_t target = Target("target", 200, 100, 0xB00);
    const Matrix4x4 scale = Numbered(2.0f);
    HighLevelRenderer::PushWorldTransform(&scale);
    const int32_t worldDepth = HighLevelRenderer::GetStackDepth(HLR_STACK_WORLD);
    // The target's texture was bound to stage 0: it is taken off before it is drawn into.
    ZQ_Graphics_SetTexture(0, &target);
    ZQ_Graphics_PushRenderTarget(&target);
    EXPECT_EQ(nullptr, g_rendererState.stageTextures[0]);
    ExpectMatrix(Matrix4x4::Identity(), HighLevelRenderer::PeekWorldTransform());
    const zq_matrix4x4_t projection = ZQ_Graphics_PeekProjectionTransform();
    Matrix4x4 p;
    memcpy(p.m, projection.m, sizeof(p.m));
    float x, y, w;
    Project(p, 200.0f, 100.0f, 0.5f, &x, &y, &w);
    EXPECT_NEAR(1.0f, x, 1e-6f);
    EXPECT_NEAR(-1.0f, y, 1e-6f);
    EXPECT_EQ(0, HighLevelRenderer::GetStackDepth(HLR_STACK_PROJECTION));
    EXPECT_EQ(&target, ZQ_Graphics_PeekRenderTarget());
    int32_t width = 0, height = 0;
    ZQ_Graphics_GetViewportSize(&width, &height);
    EXPECT_EQ(200, width);
    EXPECT_EQ(100, height);
    EXPECT_LT(device_->IndexOf("Targets target"), device_->IndexOf("Viewport 200x100"));

    ZQ_Graphics_PopRenderTargets();
    EXPECT_EQ(worldDepth, HighLevelRenderer::GetStackDepth(HLR_STACK_WORLD));
    EXPECT_EQ(-1, HighLevelRenderer::GetStackDepth(HLR_STACK_PROJECTION));
    ExpectMatrix(scale, HighLevelRenderer::PeekWorldTransform());
    HighLevelRenderer::FlushBatch();
    EXPECT_EQ("Viewport 640x480", device_->calls.back());
}

// Push C, push B, pop back to C before anything is drawn: C is sent although the device saw C
// neither last nor ever, while returning to what the device holds sends nothing.
TEST_F(HighLevelRendererTest, TargetsAreSentUnlessTheDeviceAlreadyHoldsThem) {
    zq_bitmap_t a = Target("A", 8, 8, 0xA00);
    zq_bitmap_t b = Target("B", 8, 8, 0xB00);
    zq_bitmap_t c = Target("C", 8, 8, 0xC00);
    zq_render_targets_t setA = {}, setB = {}, setC = {};
    setA.color[0] = &a;
    setB.color[0] = &b;
    setC.color[0] = &c;
    HighLevelRenderer::SetRenderTargets(setA, zq_render_targets_t{});
    HighLevelRenderer::ApplyState();
    device_->calls.clear();
    HighLevelRenderer::SetRenderTargets(setC, setA);
    HighLevelRenderer::SetRenderTargets(setB, setC);
    HighLevelRenderer::SetRenderTargets(setC, setB);
    HighLevelRenderer::ApplyState();
    EXPECT_EQ(1, device_->Count("Targets C"));
    device_->calls.clear();
    HighLevelRenderer::SetRenderTargets(setB, setC);
    HighLevelRenderer::SetRenderTargets(setC, setB);
    HighLevelRenderer::ApplyState();
    EXPECT_EQ(0, device_->Count("Targets"));
    // A target without GPU data is replaced by the back buffer.
    a.gpu.loaded = 0;
    HighLevelRenderer::SetRenderTargets(setA, setC);
    EXPECT_EQ(nullptr, g_rendererState.targets.color[0]);
}

TEST_F(HighLevelRendererTest, NestedScissorsIntersectAndApartTheyDrawNothing) {
    ZQ_Graphics_PushScissorRectangle(10, 10, 100, 100);
    ZQ_Graphics_PushScissorRectangle(50, -5, 100, 100);
    HighLevelRenderer::ApplyState();
    ZQ_Graphics_PushScissorRectangle(500, 500, 10, 10);
    HighLevelRenderer::ApplyState();
    ZQ_Graphics_PopScissorRectangle();
    ZQ_Graphics_PopScissorRectangle();
    ZQ_Graphics_PopScissorRectangle();
    HighLevelRenderer::ApplyState();
    const std::vector<std::string> expected = {"Scissor 50 10 60 90", "Scissor 0 0 0 0", "Scissor off"};
    EXPECT_EQ(expected, device_->calls);
}

ScreenMapping g_mapping;

TEST_F(HighLevelRendererTest, BackBufferScissorsFollowAutoscaleZoomAndOrientation) {
    struct Case {
        ScreenMapping mapping;
        int32_t rect[4];
        const char* expected;
    } cases[] = {
        {{0, 1, 1, 0, 0, 1, 0, 0, 0}, {20, 30, 40, 50}, "Scissor 20 30 40 50"},
        // Design units: x 20 * 2 + 10 = 50, y 30 * 0.5 - 40 = -25 (so the height loses 25).
        {{1, 2, 0.5f, 10, -40, 1, 0, 0, 0}, {20, 30, 40, 90}, "Scissor 50 0 80 20"},
        // The zoom about the centre.
        {{0, 1, 1, 0, 0, 0.5f, 160, 120, 0}, {0, 0, 1000, 100}, "Scissor 160 120 500 50"},
        // The whole screen is left as it is by the zoom.
        {{0, 1, 1, 0, 0, 0.5f, 160, 120, 0}, {0, 0, 640, 480}, "Scissor 0 0 640 480"},
        // A portrait program on a landscape display clips to the exchanged size.
        {{0, 1, 1, 0, 0, 1, 0, 0, 1}, {0, 0, 1000, 1000}, "Scissor 0 0 480 640"},
        // Edges beyond the integers neither overflow nor wrap; sizes are clipped to the back buffer.
        {{1, 2, 2, 0, 0, 1, 0, 0, 0}, {2000000000, 0, 2000000000, 10}, "Scissor 640 0 640 20"},
    };
    ScreenMappingCalls calls = {[] { return g_mapping; }, nullptr, nullptr};
    ZQI_SetScreenMappingCalls(&calls);
    for (const Case& c : cases) {
        g_mapping = c.mapping;
        device_->calls.clear();
        ZQ_Graphics_SetScissorRectangle(c.rect[0], c.rect[1], c.rect[2], c.rect[3]);
        HighLevelRenderer::ApplyState();
        ASSERT_FALSE(device_->calls.empty());
        EXPECT_EQ(c.expected, device_->calls.back());
    }
    ZQI_SetScreenMappingCalls(nullptr);
}

TEST_F(HighLevelRendererTest, FiltersAreStoredMagMinMipAndReachTheSamplerAsMinMagMip) {
    ZQ_Graphics_SetTextureStageFilter(0, ZQ_TEXTURE_FILTER_POINT, ZQ_TEXTURE_FILTER_LINEAR,
                                      ZQ_TEXTURE_FILTER_POINT);
    EXPECT_EQ(uint32_t(ZQ_TEXTURE_FILTER_LINEAR), g_rendererState.filters[0][FILTER_SLOT_MAG]);
    HighLevelRenderer::ApplyState();
    EXPECT_EQ("Filters 1 2 1", device_->calls.back());
    ZQ_Graphics_SetTextureStageFilter(0, ZQ_TEXTURE_FILTER_POINT, ZQ_TEXTURE_FILTER_LINEAR,
                                      ZQ_TEXTURE_FILTER_ANISOTROPIC);
    HighLevelRenderer::ApplyState();
    EXPECT_EQ("Filters 1 2 2", device_->calls.back());
    EXPECT_EQ(ZQ_TEXTURE_FILTER_LINEAR, ZQ_Graphics_GetTextureFilter());
}

TEST_F(HighLevelRendererTest, TransformConstantsHoldTheProductsAndClearTheCleanBits) {
    float data[32] = {};
    zq_shader_constant_t entries[2] = {};
    entries[0].data = data;
    entries[0].type = 4;  // world x view x projection
    entries[0].size = 64;
    entries[0].clean = 1;
    entries[1].data = data + 16;
    entries[1].type = 2;  // world
    entries[1].size = 64;
    entries[1].clean = 1;
    zq_shader_t shader = {};
    shader.vertex_constants.entries = entries;
    shader.vertex_constants.count = 2;
    shader.flags = 3;
    const Matrix4x4 world = Numbered(1.0f);
    const Matrix4x4 view = Numbered(0.5f);
    HighLevelRenderer::PushWorldTransform(&world);
    HighLevelRenderer::PushViewTransform(&view);
    HighLevelRenderer::ApplyState();
    HighLevelRenderer::UpdateShaderAutomaticConstants(&shader);
    Matrix4x4 projection;
    HighLevelRenderer::BuildDefaultProjection(&projection, true);
    Matrix4x4 written;
    memcpy(written.m, data, sizeof(written.m));
    ExpectMatrix(Product(projection, Product(view, world)), written);
    memcpy(written.m, data + 16, sizeof(written.m));
    ExpectMatrix(world, written);
    EXPECT_EQ(0, entries[0].clean);
    EXPECT_EQ(2, shader.flags);
    // Unchanged matrices are not written again.
    shader.flags = 3;
    entries[0].clean = 1;
    HighLevelRenderer::UpdateShaderAutomaticConstants(&shader);
    EXPECT_EQ(3, shader.flags);
    EXPECT_EQ(1, entries[0].clean);
}

TEST_F(HighLevelRendererTest, ShadersThatAreNotLoadedAreIgnoredAndNullMeansTheDefault) {
    zq_shader_t loaded = {};
    loaded.name = const_cast<char*>("loaded");
    loaded.flags = SHADER_FLAG_CREATED;
    zq_shader_t unloaded = {};
    ZQ_Graphics_SetShader(&loaded);
    ZQ_Graphics_SetShader(&unloaded);
    EXPECT_EQ(&loaded, g_rendererState.shader);
    ZQ_Graphics_PushShader(nullptr);
    EXPECT_EQ(&defaultShader_, g_rendererState.shader);
    ZQ_Graphics_PopShader();
    EXPECT_EQ(&defaultShader_, g_rendererState.shader);  // an emptied stack means the default
    ZQ_Graphics_SetShader(nullptr);
    HighLevelRenderer::ApplyState();
    EXPECT_EQ(1, device_->Count("Shader internal_default"));
}

// A frame's reset in the middle of the frame (before the engine's overlays) reaches the device.
TEST_F(HighLevelRendererTest, TheFrameResetSendsTheDefaultsAgainAfterTheProgramChangedThem) {
    ZQ_Graphics_SetBlendMode(ZQ_BLEND_MODE_ADD);
    HighLevelRenderer::ApplyState();
    HighLevelRenderer::ResetFrameState();
    EXPECT_FALSE(g_stateApplied);
    HighLevelRenderer::ApplyState();
    const std::vector<std::string> expected = {"Blend 2", "Blend 1"};
    EXPECT_EQ(expected, device_->calls);
}

TEST_F(HighLevelRendererTest, ReservedSlotsAnswerAndTextSettingsKeepTheirBounds) {
    zq_graphics_api_t table = {};
    zq_api_t api = {};
    api.graphics = &table;
    ZQI_InstallGraphicsApi(&api);
    EXPECT_EQ(nullptr, table.Reserved0());
    EXPECT_EQ(nullptr, table.Reserved8());
    EXPECT_FALSE(table.Reserved4());
    EXPECT_FALSE(table.Reserved67());
    EXPECT_FALSE(table.Reserved114());
    EXPECT_EQ(3, table.Reserved41());
    EXPECT_EQ(0.0f, table.Reserved47());
    table.Reserved1();
    table.Reserved101();
    table.Reserved116();

    const float zero = 0.0f;
    const float two = 2.0f;
    table.SetTextMaxWidth(&zero);
    table.SetTextTransform(&zero, &two, &two);
    const ThreadTextSettings* settings = ZQI_GetThreadTextSettings();
    EXPECT_EQ(ZQI_TEXT_NO_WIDTH_LIMIT, settings->maxLineWidth);
    EXPECT_EQ(0.000001f, settings->scaleX);
    EXPECT_EQ(2.0f, settings->scaleY);
    table.SetTextMaxWidth(nullptr);  // null values change nothing
    EXPECT_EQ(ZQI_TEXT_NO_WIDTH_LIMIT, settings->maxLineWidth);
}

}  // namespace
