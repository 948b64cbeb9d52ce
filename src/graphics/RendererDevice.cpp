// The installed device operations, with a do-nothing default for each.
#include "graphics/RendererDevice.h"

namespace {

bool No() {
    return false;
}
void NoSize(int32_t* width, int32_t* height) {
    *width = 0;
    *height = 0;
}
void NoTargets(const zq_render_targets_t*) {}
void NoViewport(int32_t, int32_t) {}
void NoScissor(int32_t, int32_t, int32_t, int32_t, uint32_t) {}
void NoScissorOff(uint32_t) {}
void NoClear(float, float, float, float) {}
bool NoDepthClear(float) {
    return false;
}
void Nothing() {}
void NoSend(HighLevelRendererState*) {}
void NoShaderBind(zq_shader_t*) {}
void NoTextures(RendererTexture* const*) {}
RendererBuffer* NoVertexBuffer(uint32_t, uint32_t, uint32_t, const void*) {
    return nullptr;
}
RendererBuffer* NoIndexBuffer(uint32_t, uint32_t, const uint16_t*) {
    return nullptr;
}
bool NoStorage(const RendererBuffer*) {
    return false;
}
void* NoLock(RendererBuffer*) {
    return nullptr;
}
void NoBuffer(RendererBuffer*) {}
void NoGeometry(RendererBuffer*, RendererBuffer*) {}
void NoDraw(RendererPrimitive, uint32_t) {}
void NoInstances(uint32_t, uint32_t) {}
bool NoShader(zq_shader_t*, const void*, uint32_t, const void*, uint32_t) {
    return false;
}
void NoSync(bool) {}
bool NoPixels(zq_bitmap_t*) {
    return false;
}
int32_t SmallestMaximumTextureSize() {
    return 2048;
}
int32_t NoDisplays() {
    return 0;
}
const char* NoResolutions(int32_t) {
    return nullptr;
}

const RendererDevice kDefaults = {No,
                                  No,
                                  No,
                                  NoSize,
                                  NoTargets,
                                  NoViewport,
                                  NoScissor,
                                  NoScissorOff,
                                  NoClear,
                                  NoDepthClear,
                                  Nothing,
                                  NoSend,
                                  NoSend,
                                  NoSend,
                                  NoSend,
                                  NoShaderBind,
                                  NoTextures,
                                  NoVertexBuffer,
                                  NoIndexBuffer,
                                  NoStorage,
                                  NoLock,
                                  NoBuffer,
                                  NoBuffer,
                                  NoGeometry,
                                  NoDraw,
                                  NoInstances,
                                  NoShader,
                                  NoShaderBind,
                                  Nothing,
                                  NoSync,
                                  NoPixels,
                                  SmallestMaximumTextureSize,
                                  NoDisplays,
                                  NoResolutions};

RendererDevice g_device = kDefaults;

// Each member of the new record, or its default where the record has none.
template <typename Member>
void Take(Member& slot, Member given, Member fallback) {
    slot = given != nullptr ? given : fallback;
}

}  // namespace

void ZQI_SetRendererDevice(const RendererDevice* device) {
    if (device == nullptr) {
        g_device = kDefaults;
        return;
    }
    Take(g_device.HasDevice, device->HasDevice, kDefaults.HasDevice);
    Take(g_device.IsLowFeatureLevel, device->IsLowFeatureLevel, kDefaults.IsLowFeatureLevel);
    Take(g_device.AllowsConcurrentCreation, device->AllowsConcurrentCreation,
         kDefaults.AllowsConcurrentCreation);
    Take(g_device.GetBackBufferSize, device->GetBackBufferSize, kDefaults.GetBackBufferSize);
    Take(g_device.SetRenderTargets, device->SetRenderTargets, kDefaults.SetRenderTargets);
    Take(g_device.SetViewport, device->SetViewport, kDefaults.SetViewport);
    Take(g_device.SetScissor, device->SetScissor, kDefaults.SetScissor);
    Take(g_device.DisableScissor, device->DisableScissor, kDefaults.DisableScissor);
    Take(g_device.ClearTargets, device->ClearTargets, kDefaults.ClearTargets);
    Take(g_device.ClearDepth, device->ClearDepth, kDefaults.ClearDepth);
    Take(g_device.BindDepthState, device->BindDepthState, kDefaults.BindDepthState);
    Take(g_device.SendAddressModes, device->SendAddressModes, kDefaults.SendAddressModes);
    Take(g_device.SendFilters, device->SendFilters, kDefaults.SendFilters);
    Take(g_device.SendBlendState, device->SendBlendState, kDefaults.SendBlendState);
    Take(g_device.SendRenderStates, device->SendRenderStates, kDefaults.SendRenderStates);
    Take(g_device.BindShader, device->BindShader, kDefaults.BindShader);
    Take(g_device.BindTextures, device->BindTextures, kDefaults.BindTextures);
    Take(g_device.CreateVertexBuffer, device->CreateVertexBuffer, kDefaults.CreateVertexBuffer);
    Take(g_device.CreateIndexBuffer, device->CreateIndexBuffer, kDefaults.CreateIndexBuffer);
    Take(g_device.IsBufferCreated, device->IsBufferCreated, kDefaults.IsBufferCreated);
    Take(g_device.LockBuffer, device->LockBuffer, kDefaults.LockBuffer);
    Take(g_device.UnlockBuffer, device->UnlockBuffer, kDefaults.UnlockBuffer);
    Take(g_device.FreeBuffer, device->FreeBuffer, kDefaults.FreeBuffer);
    Take(g_device.BindGeometry, device->BindGeometry, kDefaults.BindGeometry);
    Take(g_device.DrawIndexed, device->DrawIndexed, kDefaults.DrawIndexed);
    Take(g_device.DrawIndexedInstanced, device->DrawIndexedInstanced, kDefaults.DrawIndexedInstanced);
    Take(g_device.CreateShader, device->CreateShader, kDefaults.CreateShader);
    Take(g_device.FreeShader, device->FreeShader, kDefaults.FreeShader);
    Take(g_device.Present, device->Present, kDefaults.Present);
    Take(g_device.SetVerticalSync, device->SetVerticalSync, kDefaults.SetVerticalSync);
    Take(g_device.ReadRenderTargetPixels, device->ReadRenderTargetPixels, kDefaults.ReadRenderTargetPixels);
    Take(g_device.GetMaximumTextureSize, device->GetMaximumTextureSize, kDefaults.GetMaximumTextureSize);
    Take(g_device.GetDisplayCount, device->GetDisplayCount, kDefaults.GetDisplayCount);
    Take(g_device.GetSupportedResolutions, device->GetSupportedResolutions,
         kDefaults.GetSupportedResolutions);
}

const RendererDevice& ZQI_GetRendererDevice() {
    return g_device;
}
