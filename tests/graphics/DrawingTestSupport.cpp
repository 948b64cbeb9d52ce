// Device, shader, targets and quads for the drawing tests (see DrawingTestSupport.h).
#include "DrawingTestSupport.h"

#include <d3dcompiler.h>

#include <cstdlib>
#include <cstring>

#include "core/CoreState.h"
#include "foundation/FoundationHooks.h"
#include "graphics/BitmapUpload.h"
#include "graphics/RendererBackEnd.h"
#include "graphics/d3d11/D3D11BackEndCalls.h"

namespace {

const char kQuadShader[] =
    "struct VSIn { float3 pos : POSITION; float4 col : COLOR; float2 uv : TEXCOORD0; };\n"
    "struct PSIn { float4 pos : SV_Position; float4 col : COLOR; float2 uv : TEXCOORD0; };\n"
    "PSIn vs_main(VSIn i) { PSIn o; o.pos = float4(i.pos, 1.0); o.col = i.col; o.uv = i.uv; return o; }\n"
    "Texture2D tex : register(t0);\n"
    "SamplerState smp : register(s0);\n"
    "float4 ps_main(PSIn i) : SV_Target { return tex.Sample(smp, i.uv) * i.col; }\n";

std::vector<CapturedReport> g_reports;

void CaptureReport(int32_t level, const char* text) {
    g_reports.push_back({level, text});
}

bool NotDeveloperMode() {
    return false;
}

ID3DBlob* Compile(const char* entry, const char* profile) {
    HMODULE library = LoadLibraryA("d3dcompiler_47.dll");
    if (library == nullptr) {
        return nullptr;
    }
    pD3DCompile compile =
        reinterpret_cast<pD3DCompile>(reinterpret_cast<void*>(GetProcAddress(library, "D3DCompile")));
    ID3DBlob* code = nullptr;
    ID3DBlob* errors = nullptr;
    if (compile == nullptr || FAILED(compile(kQuadShader, sizeof(kQuadShader) - 1, "quad.hlsl", nullptr,
                                             nullptr, entry, profile, 0, 0, &code, &errors))) {
        if (errors != nullptr) {
            ADD_FAILURE() << static_cast<const char*>(errors->GetBufferPointer());
        }
        code = nullptr;
    }
    if (errors != nullptr) {
        errors->Release();
    }
    return code;
}

}  // namespace

void DeviceTest::SetUp() {
    GraphicsTest::SetUp();
    g_reports.clear();
    ZQI_ErrorReportSink sink = {CaptureReport, CaptureReport, NotDeveloperMode};
    ZQI_SetErrorReportSink(&sink);
    window_ = new TestWindow(64, 64);
    renderer_ = new RendererImplementation();
    ASSERT_TRUE(renderer_->Initialize(WindowedPlatform(window_->handle())));
    g_core.renderer = renderer_;
    ZQI_InstallD3D11BackEnd();
}

void DeviceTest::TearDown() {
    ZQI_ClearBitmapTable();
    for (zq_bitmap_t* bitmap : made_) {
        ZQI_CallRendererToFreeBitmap(&bitmap->gpu);
        free(bitmap->pixels);
        free(bitmap);
    }
    made_.clear();
    if (renderer_ != nullptr) {
        renderer_->FreeShader(&shader_);
    }
    // A swap chain still alive when the process exits may get it killed under Wine.
    g_core.renderer = nullptr;
    delete renderer_;
    delete window_;
    ZQI_SetErrorReportSink(nullptr);
    GraphicsTest::TearDown();
}

const std::vector<CapturedReport>& DeviceTest::Reports() {
    return g_reports;
}

bool DeviceTest::CreateQuadShader() {
    ID3DBlob* vertex = Compile("vs_main", "vs_4_0");
    ID3DBlob* pixel = Compile("ps_main", "ps_4_0");
    shader_.name = const_cast<char*>("quad");
    shader_.vertex_format = ZQ_VERTEX_FORMAT_POSITION | ZQ_VERTEX_FORMAT_COLOR | ZQ_VERTEX_FORMAT_TEXCOORD0;
    bool created =
        vertex != nullptr && pixel != nullptr &&
        renderer_->CreateShader(&shader_, vertex->GetBufferPointer(), UINT(vertex->GetBufferSize()),
                                pixel->GetBufferPointer(), UINT(pixel->GetBufferSize()));
    if (vertex != nullptr) {
        vertex->Release();
    }
    if (pixel != nullptr) {
        pixel->Release();
    }
    return created;
}

zq_bitmap_t* DeviceTest::MakeTarget(int32_t width, int32_t height, uint32_t format, uint32_t type) {
    zq_bitmap_t* bitmap = static_cast<zq_bitmap_t*>(calloc(1, sizeof(zq_bitmap_t)));
    bitmap->name = const_cast<char*>("target");
    bitmap->width = bitmap->pixel_width = width;
    bitmap->height = bitmap->pixel_height = height;
    bitmap->format = format;
    bitmap->type = type;
    bitmap->depth = 1;
    bitmap->mip_levels = 1;
    bitmap->flags = BITMAP_FLAG_RENDER_TARGET;
    made_.push_back(bitmap);
    EXPECT_TRUE(ZQI_CallRendererToCreateBitmap(bitmap));
    return bitmap;
}

zq_bitmap_t* DeviceTest::MakeTexture(const TestImage& image, const char* name) {
    zq_bitmap_t* bitmap = static_cast<zq_bitmap_t*>(calloc(1, sizeof(zq_bitmap_t)));
    GivePixels(bitmap, image);
    bitmap->name = const_cast<char*>(name);
    bitmap->format = ZQ_TEXTURE_FORMAT_RGBA8;
    bitmap->type = ZQ_TEXTURE_TYPE_2D;
    bitmap->depth = 1;
    bitmap->mip_levels = 1;
    bitmap->flags = BITMAP_FLAG_ALPHA;
    bitmap->pack_mode = NO_PADDING;
    made_.push_back(bitmap);
    EXPECT_TRUE(ZQI_CallRendererToLoadBitmap(bitmap));
    return bitmap;
}

void DeviceTest::BindTargets(zq_bitmap_t* color, zq_bitmap_t* depth) {
    zq_render_targets_t targets = {};
    targets.color[0] = color;
    targets.depth = depth;
    renderer_->SetRenderTargets(targets);
    renderer_->SetViewport(0, 0, UINT(color->pixel_width), UINT(color->pixel_height));
}

void DeviceTest::DrawQuad(zq_bitmap_t* texture, const uint8_t color[4], float u0, float u1, float z) {
    const uint32_t word = uint32_t(color[2]) | uint32_t(color[1]) << 8 | uint32_t(color[0]) << 16 |
                          uint32_t(color[3]) << 24;  // B, G, R, A in memory
    const zq_vertex_t vertices[4] = {
        {-1, 1, z, word, u0, 0}, {1, 1, z, word, u1, 0}, {-1, -1, z, word, u0, 1}, {1, -1, z, word, u1, 1}};
    const uint16_t indices[6] = {0, 1, 2, 2, 1, 3};
    RendererBuffer* vertexBuffer = renderer_->CreateVertexBuffer(7, 4, 0, vertices);
    RendererBuffer* indexBuffer = renderer_->CreateIndexBuffer(6, 0, indices);
    const RendererShader* objects = static_cast<RendererShader*>(shader_.renderer_data);
    renderer_->currentShader = &shader_;
    renderer_->BindGeometry(vertexBuffer, indexBuffer);
    renderer_->context->VSSetShader(objects->vertexShader, nullptr, 0);
    renderer_->context->PSSetShader(objects->pixelShader, nullptr, 0);
    renderer_->context->IASetInputLayout(objects->inputLayout);
    renderer_->context->IASetPrimitiveTopology(D3D11_PRIMITIVE_TOPOLOGY_TRIANGLELIST);
    ID3D11ShaderResourceView* view = texture->gpu.texture->view;
    renderer_->context->PSSetShaderResources(0, 1, &view);
    renderer_->context->DrawIndexed(6, 0, 0);
    renderer_->FreeBuffer(vertexBuffer);
    renderer_->FreeBuffer(indexBuffer);
}

std::vector<uint8_t> DeviceTest::ReadTarget(zq_bitmap_t* target) {
    EXPECT_TRUE(renderer_->ReadRenderTargetPixels(target));
    std::vector<uint8_t> pixels;
    if (target->pixels != nullptr) {
        pixels.assign(target->pixels, target->pixels + size_t(target->width) * target->height * 4);
        free(target->pixels);
        target->pixels = nullptr;
    }
    return pixels;
}
