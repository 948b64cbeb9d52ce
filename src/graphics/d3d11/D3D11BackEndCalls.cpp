// The renderer back-end calls of the portable bitmap code, on the core's renderer object.
#include "graphics/d3d11/D3D11BackEndCalls.h"

#include "core/CoreState.h"
#include "graphics/RendererBackEnd.h"
#include "graphics/d3d11/RendererImplementation.h"

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

}  // namespace

void ZQI_InstallD3D11BackEnd() {
    const ZQI_RendererBackEndCalls calls = {
        IsReady,    SupportsNonPowerOfTwo, CreateTexture, CreateRenderTarget, IsBitmapFormatSupported,
        FreeTexture};
    ZQI_SetRendererBackEnd(&calls);
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
