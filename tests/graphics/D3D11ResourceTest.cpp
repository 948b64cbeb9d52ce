// Textures, render targets, buffers and shaders on the real device, checked through exact texels
// read back from the GPU.
#include <cstdlib>
#include <cstring>

#include "DrawingTestSupport.h"
#include "core/CoreState.h"
#include "graphics/BitmapUpload.h"
#include "graphics/GraphicsResourceApi.h"
#include "graphics/RendererBackEnd.h"
#include "graphics/VertexFormat.h"
#include "graphics/d3d11/D3D11BackEndCalls.h"

namespace {

class D3D11ResourceTest : public DeviceTest {};

TEST_F(D3D11ResourceTest, TexturesHoldTheirPaddingPerPackMode) {
    struct Case {
        const char* what;
        int width, height;
        bool alpha, anySize;
        int textureWidth, textureHeight, borderX, borderY;
    };
    const Case kCases[] = {
        {"100x50 alpha", 100, 50, true, false, 128, 64, 1, 1},
        {"100x50 opaque", 100, 50, false, false, 128, 64, 1, 1},
        {"100x50 any size", 100, 50, true, true, 102, 52, 1, 1},
        {"2048x100", 2048, 100, true, false, 2048, 128, 0, 1},
    };
    const uint32_t capabilities = renderer_->capabilities;
    for (const Case& c : kCases) {
        renderer_->capabilities = c.anySize ? capabilities | RENDERER_CAPS_NON_POWER_OF_TWO
                                            : capabilities & ~RENDERER_CAPS_NON_POWER_OF_TWO;
        const TestImage image = PatternImage(c.width, c.height, 5, !c.alpha);
        zq_bitmap_t bitmap = {};
        GivePixels(&bitmap, image);
        bitmap.name = const_cast<char*>("padded.png");
        bitmap.type = ZQ_TEXTURE_TYPE_2D;
        bitmap.mip_levels = 1;
        bitmap.pack_mode = PAD_DEFAULT;
        bitmap.flags = c.alpha ? BITMAP_FLAG_ALPHA : 0;
        ASSERT_TRUE(ZQI_CallRendererToLoadBitmap(&bitmap)) << c.what;
        EXPECT_EQ(c.textureWidth, bitmap.gpu.texture_width) << c.what;
        EXPECT_EQ(c.textureHeight, bitmap.gpu.texture_height) << c.what;
        EXPECT_FLOAT_EQ(float(c.borderX) / c.textureWidth, bitmap.gpu.texture_left) << c.what;
        EXPECT_FLOAT_EQ(float(c.height + c.borderY) / c.textureHeight, bitmap.gpu.texture_bottom) << c.what;
        UINT width = 0;
        const std::vector<uint8_t> texels = ReadTexels(renderer_, bitmap.gpu.texture->texture, 0, 0, &width);
        EXPECT_EQ(0,
                  CountWrongPaddedTexels(image, c.borderX, c.borderY, c.alpha, texels.data(), int(width) * 4))
            << c.what;
        ZQI_CallRendererToFreeBitmap(&bitmap.gpu);
        EXPECT_EQ(nullptr, bitmap.gpu.texture);
        free(bitmap.pixels);
    }
    renderer_->capabilities = capabilities;
}

TEST_F(D3D11ResourceTest, TexturesFolderGetsAFullMipChain) {
    TestImage image = PatternImage(256, 256, 1, true);
    for (size_t i = 0; i < image.rgba.size(); i += 4) {
        memcpy(&image.rgba[i], "\x20\x80\xC0\xFF", 4);
    }
    WriteResFile("textures/wall.png", EncodePNG(image));
    // Asked for on the main thread with a ready renderer: uploaded at once, pixels then dropped.
    zq_bitmap_t* wall = ZQ_Graphics_GetBitmap("res://textures/wall.png");
    ASSERT_TRUE(wall->gpu.loaded);
    EXPECT_EQ(nullptr, wall->pixels);
    EXPECT_EQ(5, wall->mip_levels);
    EXPECT_EQ(NO_PADDING, wall->pack_mode);
    D3D11_TEXTURE2D_DESC desc;
    wall->gpu.texture->texture->GetDesc(&desc);
    EXPECT_EQ(5u, desc.MipLevels);
    EXPECT_EQ(256u, desc.Width);
    EXPECT_EQ(1, wall->gpu.texture->hasMips);
    UINT width = 0;
    const std::vector<uint8_t> smallest = ReadTexels(renderer_, wall->gpu.texture->texture, 4, 0, &width);
    EXPECT_EQ(16u, width);
    EXPECT_EQ(0, memcmp(smallest.data(), "\x20\x80\xC0\xFF", 4));
}

TEST_F(D3D11ResourceTest, RenderTargetsCubesAndDepthFallBacks) {
    zq_bitmap_t* cube = MakeTarget(16, 16, ZQ_TEXTURE_FORMAT_RGBA8, ZQ_TEXTURE_TYPE_CUBE);
    for (ID3D11RenderTargetView* view : cube->gpu.texture->targetViews) {
        EXPECT_NE(nullptr, view);
    }
    const float blue[4] = {0.0f, 0.0f, 1.0f, 1.0f};
    renderer_->context->ClearRenderTargetView(cube->gpu.texture->targetViews[3], blue);
    EXPECT_EQ(0,
              memcmp(ReadTexels(renderer_, cube->gpu.texture->texture, 0, 3).data(), "\xFF\x00\x00\xFF", 4));
    EXPECT_NE(0,
              memcmp(ReadTexels(renderer_, cube->gpu.texture->texture, 0, 2).data(), "\xFF\x00\x00\xFF", 4));

    const uint32_t capabilities = renderer_->capabilities;
    renderer_->capabilities &= ~RENDERER_CAPS_NON_POWER_OF_TWO;
    zq_bitmap_t* rounded = MakeTarget(300, 200, ZQ_TEXTURE_FORMAT_RGBA8);
    renderer_->capabilities = capabilities;
    EXPECT_EQ(512, rounded->gpu.texture_width);
    EXPECT_EQ(256, rounded->gpu.texture_height);
    EXPECT_FLOAT_EQ(300.0f / 512.0f, rounded->gpu.texture_right);
    EXPECT_FLOAT_EQ(200.0f / 256.0f, rounded->gpu.texture_bottom);

    // A device without 32-bit depth gets the next depth format that it supports.
    static uint32_t refusedFormats;  // bit per format
    refusedFormats = 1u << ZQ_TEXTURE_FORMAT_D32_FLOAT;
    ZQI_RendererBackEndCalls calls = *ZQI_GetRendererBackEnd();
    calls.IsBitmapFormatSupported = [](const zq_bitmap_desc_t* desc) {
        return (refusedFormats & (1u << desc->format)) == 0 &&
               g_core.renderer->IsBitmapFormatSupported(*desc);
    };
    ZQI_SetRendererBackEnd(&calls);
    zq_bitmap_t* depth = MakeTarget(16, 16, ZQ_TEXTURE_FORMAT_D32_FLOAT);
    ASSERT_EQ(ZQ_TEXTURE_FORMAT_D24_FLOAT, depth->format);
    EXPECT_NE(nullptr, depth->gpu.texture->depthView);
    EXPECT_EQ(nullptr, depth->gpu.texture->view);
    refusedFormats = (1u << ZQ_TEXTURE_FORMAT_D16_FLOAT) | (1u << ZQ_TEXTURE_FORMAT_D24_FLOAT) |
                     (1u << ZQ_TEXTURE_FORMAT_D32_FLOAT);
    zq_bitmap_t none = {};
    none.name = const_cast<char*>("none");
    none.format = ZQ_TEXTURE_FORMAT_D32_FLOAT;
    none.type = ZQ_TEXTURE_TYPE_2D;
    none.pixel_width = none.pixel_height = none.depth = none.mip_levels = 1;
    EXPECT_FALSE(ZQI_CallRendererToCreateBitmap(&none));
    EXPECT_EQ(ZQ_TEXTURE_FORMAT_D32_FLOAT, none.format);
    ZQI_InstallD3D11BackEnd();

    zq_bitmap_desc_t desc = {ZQ_TEXTURE_FORMAT_RGBA8, ZQ_TEXTURE_TYPE_CUBE, 1, 16, 16, 1, 1};
    EXPECT_TRUE(ZQ_Graphics_IsTextureFormatSupported(&desc));
    desc.format = 99;
    EXPECT_FALSE(ZQ_Graphics_IsTextureFormatSupported(&desc));
}

TEST_F(D3D11ResourceTest, RenderTargetsReadBackAsRGBA) {
    const float color[4] = {1.0f, 0.2f, 0.6f, 0.4f};  // exact in 8 bits: 255, 51, 153, 102
    for (uint32_t format : {ZQ_TEXTURE_FORMAT_RGBA8, ZQ_TEXTURE_FORMAT_RGBX8}) {
        zq_bitmap_t* target = MakeTarget(4, 2, format);
        renderer_->context->ClearRenderTargetView(target->gpu.texture->targetViews[0], color);
        const std::vector<uint8_t> pixels = ReadTarget(target);
        ASSERT_EQ(32u, pixels.size());
        const uint8_t alpha = format == ZQ_TEXTURE_FORMAT_RGBX8 ? 255 : 102;
        for (size_t i = 0; i < pixels.size(); i += 4) {
            EXPECT_EQ(255, pixels[i]);
            EXPECT_EQ(51, pixels[i + 1]);
            EXPECT_EQ(153, pixels[i + 2]);
            EXPECT_EQ(alpha, pixels[i + 3]);
        }
    }
}

// The bytes of a buffer, copied through a staging buffer.
std::vector<uint8_t> ReadBuffer(RendererImplementation* renderer, ID3D11Buffer* buffer) {
    D3D11_BUFFER_DESC desc;
    buffer->GetDesc(&desc);
    desc.Usage = D3D11_USAGE_STAGING;
    desc.BindFlags = 0;
    desc.CPUAccessFlags = D3D11_CPU_ACCESS_READ;
    desc.MiscFlags = 0;
    desc.StructureByteStride = 0;
    ID3D11Buffer* staging = nullptr;
    std::vector<uint8_t> bytes;
    if (SUCCEEDED(renderer->device->CreateBuffer(&desc, nullptr, &staging))) {
        renderer->context->CopyResource(staging, buffer);
        D3D11_MAPPED_SUBRESOURCE mapped;
        if (SUCCEEDED(renderer->context->Map(staging, 0, D3D11_MAP_READ, 0, &mapped))) {
            bytes.assign(static_cast<uint8_t*>(mapped.pData),
                         static_cast<uint8_t*>(mapped.pData) + desc.ByteWidth);
            renderer->context->Unmap(staging, 0);
        }
        staging->Release();
    }
    return bytes;
}

TEST_F(D3D11ResourceTest, BuffersLockWriteAndUnlock) {
    const zq_vertex_t vertices[2] = {{1, 2, 3, 0x44332211u, 4, 5}, {6, 7, 8, 0x88776655u, 9, 10}};
    for (uint32_t flags : {uint32_t(RENDERER_BUFFER_CPU_COPY), uint32_t(RENDERER_BUFFER_DYNAMIC)}) {
        for (bool bgra : {true, false}) {
            renderer_->capabilities = bgra ? renderer_->capabilities | RENDERER_CAPS_BGRA_VERTEX_COLOR
                                           : renderer_->capabilities & ~RENDERER_CAPS_BGRA_VERTEX_COLOR;
            RendererBuffer* buffer = renderer_->CreateVertexBuffer(7, 2, flags, nullptr);
            ASSERT_NE(nullptr, buffer->buffer);
            void* memory = renderer_->LockVertexBuffer(buffer);
            ASSERT_NE(nullptr, memory);
            EXPECT_EQ(flags == RENDERER_BUFFER_CPU_COPY, memory == buffer->cpuCopy);
            memcpy(memory, vertices, sizeof(vertices));
            renderer_->UnlockVertexBuffer(buffer);
            EXPECT_EQ(0u, buffer->locked);
            if (flags == RENDERER_BUFFER_CPU_COPY) {  // dynamic buffers cannot be copied from
                zq_vertex_t expected[2];
                memcpy(expected, vertices, sizeof(vertices));
                if (!bgra) {  // red and blue of each colour exchanged
                    expected[0].color = 0x44112233u;
                    expected[1].color = 0x88556677u;
                }
                const std::vector<uint8_t> bytes = ReadBuffer(renderer_, buffer->buffer);
                ASSERT_EQ(sizeof(expected), bytes.size());
                EXPECT_EQ(0, memcmp(bytes.data(), expected, sizeof(expected))) << bgra;
            }
            renderer_->FreeBuffer(buffer);
        }
    }
    // More than 32 bits of bytes, or none: the handle comes back with no buffer, and locks fail.
    RendererBuffer* huge = renderer_->CreateVertexBuffer(7, 0x10000000u, 0, nullptr);
    EXPECT_EQ(nullptr, huge->buffer);
    EXPECT_FALSE(Reports().empty());
    EXPECT_EQ(nullptr, renderer_->LockVertexBuffer(huge));
    EXPECT_TRUE(Logged("[POPUP] D3D11 renderer failed to lock a vertex buffer."));
    renderer_->UnlockVertexBuffer(huge);
    renderer_->FreeBuffer(huge);
    RendererBuffer* empty = renderer_->CreateIndexBuffer(0, RENDERER_BUFFER_CPU_COPY, nullptr);
    EXPECT_EQ(nullptr, renderer_->LockIndexBuffer(empty));
    EXPECT_EQ(nullptr, empty->cpuCopy);
    EXPECT_TRUE(Logged("[POPUP] D3D11 renderer failed to lock an index buffer."));
    renderer_->FreeBuffer(empty);
    EXPECT_EQ(24u, ZQI_VertexSize(3));
    EXPECT_EQ(80u, ZQI_VertexSize(495));
}

TEST_F(D3D11ResourceTest, ShadersLayoutsAndConstantBuffers) {
    shader_.vertex_constants.total_size = 16;
    ASSERT_TRUE(CreateQuadShader());
    const RendererShader* objects = static_cast<RendererShader*>(shader_.renderer_data);
    ASSERT_NE(nullptr, objects->vertexConstants);
    D3D11_BUFFER_DESC desc;
    objects->vertexConstants->GetDesc(&desc);
    EXPECT_EQ(32u, desc.ByteWidth);
    EXPECT_EQ(nullptr, objects->pixelConstants);

    zq_shader_t bad = {};
    bad.name = const_cast<char*>("bad");
    const char junk[] = "not shader code";
    EXPECT_FALSE(renderer_->CreateShader(&bad, junk, sizeof(junk), junk, sizeof(junk)));
    EXPECT_EQ(nullptr, bad.renderer_data);
    EXPECT_TRUE(Logged("D3D11 renderer failed to create vertex shader 'bad'."));

    renderer_->capabilities &= ~RENDERER_CAPS_BGRA_VERTEX_COLOR;
    D3D11_INPUT_ELEMENT_DESC elements[9];
    ASSERT_EQ(9u, renderer_->BuildInputLayout(0x1FF, elements));
    const char* semantics[9] = {"POSITION", "COLOR",    "TEXCOORD",     "TEXCOORD",   "NORMAL",
                                "TANGENT",  "BINORMAL", "BLENDINDICES", "BLENDWEIGHT"};
    const UINT offsets[9] = {0, 12, 16, 24, 32, 44, 56, 68, 72};
    for (int i = 0; i < 9; ++i) {
        EXPECT_STREQ(semantics[i], elements[i].SemanticName);
        EXPECT_EQ(offsets[i], elements[i].AlignedByteOffset);
    }
    EXPECT_EQ(1u, elements[3].SemanticIndex);
    EXPECT_EQ(DXGI_FORMAT_R8G8B8A8_UNORM, elements[1].Format);
}

}  // namespace
