// The pipeline state tables, reached through the recorded state and its senders, proven by a quad
// drawn through BindGeometry into a render target and compared with the test's own arithmetic.
#include <cmath>
#include <cstring>

#include "DrawingTestSupport.h"
#include "graphics/RendererState.h"
#include "graphics/d3d11/StateSending.h"

namespace {

class D3D11StateTest : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        ASSERT_TRUE(CreateQuadShader());
        g_rendererState.Reset();
        g_rendererState.SetFrameDefaults();
        SendAll();
    }
    void SendAll() {
        ZQI_SendAddressModes(renderer_, &g_rendererState);
        ZQI_SendFilters(renderer_, &g_rendererState);
        ZQI_SendBlendState(renderer_, &g_rendererState);
        ZQI_SendRenderStates(renderer_, &g_rendererState);
    }
    zq_bitmap_t* MakeWhiteTexture() {
        TestImage white = PatternImage(1, 1, 1, true);
        memset(white.rgba.data(), 255, 4);
        return MakeTexture(white);
    }
    // The target's pixels as RGBA after a quad over a target cleared to clear.
    std::vector<uint8_t> Draw(zq_bitmap_t* target, zq_bitmap_t* texture, const uint8_t color[4], float u0,
                              float u1, const float clear[4]) {
        renderer_->context->ClearRenderTargetView(target->gpu.texture->targetViews[0], clear);
        BindTargets(target);
        SendAll();
        DrawQuad(texture, color, u0, u1);
        return ReadTarget(target);
    }
};

const float kClear[4] = {0.2f, 0.4f, 0.6f, 1.0f};  // bytes 51, 102, 153, 255

// A blend mode's result per channel, computed in floats: source colour s with alpha a over d.
float Blend(int mode, float s, float a, float d, bool alphaChannel) {
    if (mode == ZQ_BLEND_MODE_OPAQUE) {
        return s;
    }
    if (alphaChannel) {
        return std::min(1.0f, a * a + d);  // every blending mode: SRC_ALPHA, ONE, ADD
    }
    switch (mode) {
        case ZQ_BLEND_MODE_ALPHA:
            return s * a + d * (1 - a);
        case ZQ_BLEND_MODE_ADD:
            return std::min(1.0f, s * a + d);
        case ZQ_BLEND_MODE_SUBTRACT:
            return std::max(0.0f, d - s * a);
        case ZQ_BLEND_MODE_MULTIPLY:
            return s * d;
        case ZQ_BLEND_MODE_MULTIPLY_2X:
            return std::min(1.0f, 2 * s * d);
        case ZQ_BLEND_MODE_MULTIPLY_ADD:
            return std::min(1.0f, s * d + d);
        default:  // ZQ_BLEND_MODE_PREMULTIPLIED_ALPHA
            return std::min(1.0f, s + d * (1 - a));
    }
}

TEST_F(D3D11StateTest, EachBlendModeCombinesAsItsFactorsSay) {
    zq_bitmap_t* target = MakeTarget(4, 4, ZQ_TEXTURE_FORMAT_RGBA8);
    zq_bitmap_t* white = MakeWhiteTexture();
    const uint8_t color[4] = {200, 100, 50, 128};
    const float source[4] = {200 / 255.0f, 100 / 255.0f, 50 / 255.0f, 128 / 255.0f};
    for (int mode = ZQ_BLEND_MODE_ALPHA; mode <= ZQ_BLEND_MODE_PREMULTIPLIED_ALPHA; ++mode) {
        ZQ_Graphics_SetBlendMode(mode);
        EXPECT_EQ(mode == ZQ_BLEND_MODE_ALPHA, g_rendererState.applied[STATE_GROUP_BLEND]);  // the default
        const std::vector<uint8_t> pixels = Draw(target, white, color, 0, 1, kClear);
        ASSERT_EQ(64u, pixels.size());
        for (int c = 0; c < 4; ++c) {
            const float expected = Blend(mode, source[c], source[3], kClear[c], c == 3) * 255.0f;
            EXPECT_NEAR(expected, pixels[c], 1.0) << "mode " << mode << " channel " << c;
        }
    }
    // Mode 0 has no state: the last one bound stays.
    ID3D11BlendState* bound = nullptr;
    renderer_->context->OMGetBlendState(&bound, nullptr, nullptr);
    ZQ_Graphics_SetBlendMode(0);
    ZQI_SendBlendState(renderer_, &g_rendererState);
    ID3D11BlendState* after = nullptr;
    renderer_->context->OMGetBlendState(&after, nullptr, nullptr);
    EXPECT_EQ(renderer_->blendStates[ZQ_BLEND_MODE_PREMULTIPLIED_ALPHA][1], after);
    EXPECT_EQ(bound, after);
    bound->Release();
    after->Release();

    // Colour writes off leave the target as it was.
    ZQ_Graphics_SetBlendMode(ZQ_BLEND_MODE_OPAQUE);
    ZQ_Graphics_SetRenderFlag(ZQ_RENDER_STATE_COLOR_WRITE, false);
    const std::vector<uint8_t> unchanged = Draw(target, white, color, 0, 1, kClear);
    EXPECT_EQ(0, memcmp(unchanged.data(), "\x33\x66\x99\xFF", 4));
}

TEST_F(D3D11StateTest, FiltersAndAddressModes) {
    TestImage pair = PatternImage(2, 1, 1, true);
    memcpy(pair.At(0, 0), "\x00\x00\x00\xFF", 4);
    memcpy(pair.At(1, 0), "\xFF\xFF\xFF\xFF", 4);
    zq_bitmap_t* texture = MakeTexture(pair);
    zq_bitmap_t* target = MakeTarget(4, 1, ZQ_TEXTURE_FORMAT_RGBA8);
    const uint8_t white[4] = {255, 255, 255, 255};
    ZQ_Graphics_SetBlendMode(ZQ_BLEND_MODE_OPAQUE);

    ZQ_Graphics_SetTextureStageFilter(0, ZQ_TEXTURE_FILTER_POINT, ZQ_TEXTURE_FILTER_POINT,
                                      ZQ_TEXTURE_FILTER_POINT);
    std::vector<uint8_t> pixels = Draw(target, texture, white, 0, 1, kClear);
    const uint8_t point[4] = {0, 0, 255, 255};
    for (int x = 0; x < 4; ++x) {
        EXPECT_EQ(point[x], pixels[x * 4]) << "point " << x;
    }
    // Linear between the texel centres (u of the pixel centres: 0.125 .. 0.875), clamped outside.
    ZQ_Graphics_SetTextureFilter(ZQ_TEXTURE_FILTER_LINEAR);
    pixels = Draw(target, texture, white, 0, 1, kClear);
    const float linear[4] = {0, 63.75f, 191.25f, 255};
    for (int x = 0; x < 4; ++x) {
        EXPECT_NEAR(linear[x], pixels[x * 4], 2.0) << "linear " << x;
    }

    // Six pixels over u = -1 .. 2 with point sampling of [black, white].
    zq_bitmap_t* wide = MakeTarget(6, 1, ZQ_TEXTURE_FORMAT_RGBA8);
    ZQ_Graphics_SetTextureFilter(ZQ_TEXTURE_FILTER_POINT);
    const struct {
        uint32_t mode;
        const char* pattern;  // b = black, w = white
    } kModes[] = {{ZQ_TEXTURE_ADDRESS_CLAMP, "bbbwww"},
                  {ZQ_TEXTURE_ADDRESS_WRAP, "bwbwbw"},
                  {ZQ_TEXTURE_ADDRESS_MIRROR, "wbbwwb"}};
    for (const auto& m : kModes) {
        ZQ_Graphics_SetTextureStageAddressMode(0, m.mode, m.mode, m.mode);
        pixels = Draw(wide, texture, white, -1, 2, kClear);
        for (int x = 0; x < 6; ++x) {
            EXPECT_EQ(m.pattern[x] == 'w' ? 255 : 0, pixels[x * 4]) << m.pattern << " " << x;
        }
    }
    // An anisotropic filter selects the anisotropic row; its mip filter is stored as linear.
    ZQ_Graphics_SetTextureStageFilter(0, ZQ_TEXTURE_FILTER_POINT, ZQ_TEXTURE_FILTER_LINEAR,
                                      ZQ_TEXTURE_FILTER_ANISOTROPIC);
    EXPECT_EQ(uint32_t(ZQ_TEXTURE_FILTER_LINEAR), g_rendererState.filters[0][FILTER_SLOT_MIP]);
    EXPECT_EQ(ZQ_TEXTURE_FILTER_LINEAR, ZQ_Graphics_GetTextureFilter());
    ZQ_Graphics_SetTextureFilter(ZQ_TEXTURE_FILTER_ANISOTROPIC);
    ZQI_SendFilters(renderer_, &g_rendererState);
    ID3D11SamplerState* sampler = nullptr;
    renderer_->context->PSGetSamplers(0, 1, &sampler);
    EXPECT_EQ(renderer_->samplerStates[0][9 * 2 + 3 * 2 + 2], sampler);  // mirror, mirror, mirror
    sampler->Release();
}

TEST_F(D3D11StateTest, DepthFunctionsDecideWhatIsDrawn) {
    zq_bitmap_t* target = MakeTarget(4, 4, ZQ_TEXTURE_FORMAT_RGBA8);
    zq_bitmap_t* depth = MakeTarget(4, 4, ZQ_TEXTURE_FORMAT_D24_FLOAT);
    zq_bitmap_t* white = MakeWhiteTexture();
    const uint8_t red[4] = {255, 0, 0, 255};
    ZQ_Graphics_SetBlendMode(ZQ_BLEND_MODE_OPAQUE);
    ZQ_Graphics_SetRenderFlag(ZQ_RENDER_STATE_DEPTH_TEST, true);
    ZQ_Graphics_SetRenderFlag(ZQ_RENDER_STATE_DEPTH_WRITE, true);
    for (uint32_t function : {ZQ_DEPTH_FUNC_ALWAYS, ZQ_DEPTH_FUNC_NEVER, ZQ_DEPTH_FUNC_LESS}) {
        ZQ_Graphics_SetRenderState(ZQ_RENDER_STATE_DEPTH_FUNC, function);
        renderer_->context->ClearRenderTargetView(target->gpu.texture->targetViews[0], kClear);
        renderer_->context->ClearDepthStencilView(depth->gpu.texture->depthView, D3D11_CLEAR_DEPTH, 0.25f, 0);
        BindTargets(target, depth);
        SendAll();
        EXPECT_EQ(0, renderer_->depthStateValid);  // rebuilt at the next geometry bind
        DrawQuad(white, red, 0, 1, 0.5f);
        EXPECT_EQ(1, renderer_->depthStateValid);
        const std::vector<uint8_t> pixels = ReadTarget(target);
        const bool drawn = function == ZQ_DEPTH_FUNC_ALWAYS;  // 0.5 is not less than 0.25
        EXPECT_EQ(drawn ? 255 : 51, pixels[0]) << function;
    }
    EXPECT_EQ(ZQ_DEPTH_FUNC_LESS, ZQ_Graphics_GetRenderState(ZQ_RENDER_STATE_DEPTH_FUNC));
    EXPECT_TRUE(ZQ_Graphics_GetRenderFlag(ZQ_RENDER_STATE_DEPTH_TEST));
}

}  // namespace
