// Drawing on the real device for the resource and state tests: a renderer connected to the bitmap
// code as the engine connects it, a textured-quad shader compiled at run time by D3DCompile (within
// the HLSL Wine's compiler knows), render targets, a quad drawn through BindGeometry, and texel
// read-back of any 4-byte format.
#pragma once

#include <cstdint>
#include <vector>

#include "GraphicsTestSupport.h"
#include "RendererTestSupport.h"
#include "graphics/d3d11/RendererBuffer.h"
#include "graphics/BitmapTable.h"
#include "graphics/d3d11/RendererTexture.h"

// A device of its own (64 x 64 window), installed as the core's renderer with the back-end calls,
// in the graphics tests' environment (file systems, log ring, empty bitmap table).
class DeviceTest : public GraphicsTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // Compiles the quad shader (vertex format 7: position in clip space, colour, texture
    // coordinate; output = texture sample x colour) into shader_.
    bool CreateQuadShader();
    // A render target of the bitmap code's making (the record lives as long as the test).
    zq_bitmap_t* MakeTarget(int32_t width, int32_t height, uint32_t format,
                            uint32_t type = ZQ_TEXTURE_TYPE_2D);
    // A bitmap with the image's pixels uploaded as a texture (pack mode from the record's rules).
    zq_bitmap_t* MakeTexture(const TestImage& image, const char* name = "texture");
    // Binds the colour target (and depth target) with a viewport of the colour target's size.
    void BindTargets(zq_bitmap_t* color, zq_bitmap_t* depth = nullptr);
    // The full-target quad with vertex colour (bytes R, G, B, A), texture coordinates u0..u1 across
    // and 0..1 down, at depth z; texture bound at stage 0. Sends nothing of the recorded state.
    void DrawQuad(zq_bitmap_t* texture, const uint8_t color[4], float u0, float u1, float z = 0.5f);
    // RGBA bytes of a target through ReadRenderTargetPixels.
    std::vector<uint8_t> ReadTarget(zq_bitmap_t* target);

    static const std::vector<CapturedReport>& Reports();

    TestWindow* window_ = nullptr;
    RendererImplementation* renderer_ = nullptr;
    zq_shader_t shader_ = {};
    std::vector<zq_bitmap_t*> made_;
};
