// The renderer back-end calls of the portable bitmap and drawing code, on the core's renderer
// object. Without a renderer object, or before its device exists, each does nothing.
#include "graphics/d3d11/D3D11BackEndCalls.h"

#include "core/CoreState.h"
#include "graphics/RendererBackEnd.h"
#include "graphics/RendererDevice.h"
#include "graphics/d3d11/RendererBuffer.h"
#include "graphics/d3d11/RendererImplementation.h"
#include "graphics/d3d11/StateSending.h"

namespace {

const int32_t kSmallestMaximumTextureSize = 2048;
const int32_t kLevel9_3MaximumTextureSize = 4096;
const int32_t kMaximumTextureSize = 16384;

bool IsReady() {
    RendererImplementation* renderer = g_core.renderer;
    return renderer != nullptr && renderer->device != nullptr && renderer->initialised;
}

bool SupportsNonPowerOfTwo() {
    return g_core.renderer != nullptr &&
           (g_core.renderer->capabilities & RENDERER_CAPS_NON_POWER_OF_TWO) != 0;
}

bool CreateTexture(zq_bitmap_t* bitmap, BitmapPacker* packer) {
    return g_core.renderer != nullptr && g_core.renderer->CreateTexture(bitmap, packer);
}

bool CreateRenderTarget(zq_bitmap_t* bitmap) {
    return g_core.renderer != nullptr && g_core.renderer->CreateRenderTarget(bitmap);
}

bool IsBitmapFormatSupported(const zq_bitmap_desc_t* desc) {
    return g_core.renderer != nullptr && desc != nullptr && g_core.renderer->IsBitmapFormatSupported(*desc);
}

void FreeTexture(RendererTexture* texture) {
    if (g_core.renderer != nullptr) {
        g_core.renderer->FreeTexture(texture);
    }
}

// ---- Drawing -----------------------------------------------------------------------------------

// The renderer object while its immediate context exists.
RendererImplementation* Drawing() {
    RendererImplementation* renderer = g_core.renderer;
    return renderer != nullptr && renderer->context != nullptr ? renderer : nullptr;
}

bool HasDevice() {
    return g_core.renderer != nullptr && g_core.renderer->device != nullptr;
}

bool IsLowFeatureLevel() {
    return g_core.renderer != nullptr && g_core.renderer->featureLevel < D3D_FEATURE_LEVEL_10_0;
}

bool AllowsConcurrentCreation() {
    return g_core.renderer != nullptr &&
           (g_core.renderer->capabilities & RENDERER_CAPS_CONCURRENT_CREATES) != 0;
}

void GetBackBufferSize(int32_t* width, int32_t* height) {
    const RendererImplementation* renderer = g_core.renderer;
    *width = renderer != nullptr ? static_cast<int32_t>(renderer->backBufferWidth) : 0;
    *height = renderer != nullptr ? static_cast<int32_t>(renderer->backBufferHeight) : 0;
}

void SetRenderTargets(const zq_render_targets_t* targets) {
    if (RendererImplementation* renderer = Drawing()) {
        renderer->SetRenderTargets(*targets);
    }
}

void SetViewport(int32_t width, int32_t height) {
    if (RendererImplementation* renderer = Drawing()) {
        renderer->SetViewport(0, 0, static_cast<uint32_t>(width), static_cast<uint32_t>(height));
    }
}

void SetScissor(int32_t x, int32_t y, int32_t width, int32_t height, uint32_t cullMode) {
    if (RendererImplementation* renderer = Drawing()) {
        renderer->SetScissorRectangle(x, y, width, height, cullMode);
    }
}

void DisableScissor(uint32_t cullMode) {
    if (RendererImplementation* renderer = Drawing()) {
        renderer->DisableScissor(cullMode);
    }
}

void ClearTargets(float r, float g, float b, float a) {
    if (RendererImplementation* renderer = Drawing()) {
        renderer->ClearRenderTargets(r, g, b, a);
    }
}

bool ClearDepth(float depth) {
    RendererImplementation* renderer = Drawing();
    return renderer != nullptr && renderer->ClearDepth(depth);
}

void BindDepthState() {
    RendererImplementation* renderer = Drawing();
    if (renderer != nullptr && renderer->depthStencilState != nullptr) {
        renderer->context->OMSetDepthStencilState(renderer->depthStencilState, 0);
    }
}

void SendAddressModes(HighLevelRendererState* state) {
    if (RendererImplementation* renderer = Drawing()) {
        ZQI_SendAddressModes(renderer, state);
    }
}

void SendFilters(HighLevelRendererState* state) {
    if (RendererImplementation* renderer = Drawing()) {
        ZQI_SendFilters(renderer, state);
    }
}

void SendBlendState(HighLevelRendererState* state) {
    if (RendererImplementation* renderer = Drawing()) {
        ZQI_SendBlendState(renderer, state);
    }
}

void SendRenderStates(HighLevelRendererState* state) {
    if (RendererImplementation* renderer = Drawing()) {
        ZQI_SendRenderStates(renderer, state);
    }
}

void BindShader(zq_shader_t* shader) {
    if (g_core.renderer != nullptr) {
        g_core.renderer->BindShader(shader);
    }
}

void BindTextures(RendererTexture* const* textures) {
    if (RendererImplementation* renderer = Drawing()) {
        renderer->BindTextures(textures);
    }
}

RendererBuffer* CreateVertexBuffer(uint32_t vertexFormat, uint32_t count, uint32_t flags, const void* data) {
    return g_core.renderer != nullptr ? g_core.renderer->CreateVertexBuffer(vertexFormat, count, flags, data)
                                      : nullptr;
}

RendererBuffer* CreateIndexBuffer(uint32_t count, uint32_t flags, const uint16_t* data) {
    return g_core.renderer != nullptr ? g_core.renderer->CreateIndexBuffer(count, flags, data) : nullptr;
}

bool IsBufferCreated(const RendererBuffer* buffer) {
    return buffer != nullptr && buffer->buffer != nullptr;
}

void* LockBuffer(RendererBuffer* buffer) {
    return g_core.renderer != nullptr ? g_core.renderer->LockVertexBuffer(buffer) : nullptr;
}

// Index buffers have no colour to reorder: their vertex format is 0.
void UnlockBuffer(RendererBuffer* buffer) {
    if (g_core.renderer != nullptr) {
        g_core.renderer->UnlockVertexBuffer(buffer);
    }
}

void FreeBuffer(RendererBuffer* buffer) {
    if (g_core.renderer != nullptr) {
        g_core.renderer->FreeBuffer(buffer);
    }
}

void BindGeometry(RendererBuffer* vertices, RendererBuffer* indices) {
    if (RendererImplementation* renderer = Drawing()) {
        renderer->BindGeometry(vertices, indices);
    }
}

void DrawIndexed(RendererPrimitive primitive, uint32_t indexCount) {
    if (RendererImplementation* renderer = Drawing()) {
        renderer->DrawIndexed(primitive == RENDERER_LINE_LIST, indexCount);
    }
}

void DrawIndexedInstanced(uint32_t indexCount, uint32_t instances) {
    if (RendererImplementation* renderer = Drawing()) {
        renderer->DrawIndexedInstanced(indexCount, instances);
    }
}

bool CreateShader(zq_shader_t* shader, const void* vertexCode, uint32_t vertexSize, const void* pixelCode,
                  uint32_t pixelSize) {
    return g_core.renderer != nullptr &&
           g_core.renderer->CreateShader(shader, vertexCode, vertexSize, pixelCode, pixelSize);
}

void FreeShader(zq_shader_t* shader) {
    if (g_core.renderer != nullptr) {
        g_core.renderer->FreeShader(shader);
    }
}

void Present() {
    if (g_core.renderer != nullptr) {
        g_core.renderer->Present();
    }
}

void SetVerticalSync(bool on) {
    if (g_core.renderer != nullptr) {
        g_core.renderer->syncInterval = on ? 1 : 0;
    }
}

bool ReadRenderTargetPixels(zq_bitmap_t* bitmap) {
    RendererImplementation* renderer = Drawing();
    return renderer != nullptr && renderer->ReadRenderTargetPixels(bitmap);
}

int32_t GetDisplayCount() {
    return g_core.renderer != nullptr ? ZQI_RefreshDisplayOutputs(&g_core.renderer->adapterBlock) : 0;
}

}  // namespace

void ZQI_InstallD3D11BackEnd() {
    const ZQI_RendererBackEndCalls calls = {
        IsReady,    SupportsNonPowerOfTwo, CreateTexture, CreateRenderTarget, IsBitmapFormatSupported,
        FreeTexture};
    ZQI_SetRendererBackEnd(&calls);
    RendererDevice device = {};
    device.HasDevice = HasDevice;
    device.IsLowFeatureLevel = IsLowFeatureLevel;
    device.AllowsConcurrentCreation = AllowsConcurrentCreation;
    device.GetBackBufferSize = GetBackBufferSize;
    device.SetRenderTargets = SetRenderTargets;
    device.SetViewport = SetViewport;
    device.SetScissor = SetScissor;
    device.DisableScissor = DisableScissor;
    device.ClearTargets = ClearTargets;
    device.ClearDepth = ClearDepth;
    device.BindDepthState = BindDepthState;
    device.SendAddressModes = SendAddressModes;
    device.SendFilters = SendFilters;
    device.SendBlendState = SendBlendState;
    device.SendRenderStates = SendRenderStates;
    device.BindShader = BindShader;
    device.BindTextures = BindTextures;
    device.CreateVertexBuffer = CreateVertexBuffer;
    device.CreateIndexBuffer = CreateIndexBuffer;
    device.IsBufferCreated = IsBufferCreated;
    device.LockBuffer = LockBuffer;
    device.UnlockBuffer = UnlockBuffer;
    device.FreeBuffer = FreeBuffer;
    device.BindGeometry = BindGeometry;
    device.DrawIndexed = DrawIndexed;
    device.DrawIndexedInstanced = DrawIndexedInstanced;
    device.CreateShader = CreateShader;
    device.FreeShader = FreeShader;
    device.Present = Present;
    device.SetVerticalSync = SetVerticalSync;
    device.ReadRenderTargetPixels = ReadRenderTargetPixels;
    device.GetMaximumTextureSize = ZQI_GetMaximumTextureSize;
    device.GetDisplayCount = GetDisplayCount;
    device.GetSupportedResolutions = ZQI_GetSupportedResolutionsText;
    ZQI_SetRendererDevice(&device);
}

int32_t ZQI_GetMaximumTextureSize() {
    const RendererImplementation* renderer = g_core.renderer;
    if (renderer == nullptr || renderer->featureLevel == D3D_FEATURE_LEVEL_9_1 ||
        renderer->featureLevel == D3D_FEATURE_LEVEL_9_2) {
        return kSmallestMaximumTextureSize;
    }
    return renderer->featureLevel == D3D_FEATURE_LEVEL_9_3 ? kLevel9_3MaximumTextureSize
                                                           : kMaximumTextureSize;
}
