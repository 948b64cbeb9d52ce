// The calls the portable bitmap code makes into the renderer back end. The Direct3D 11 back end
// installs them when its object is created (graphics/d3d11 sits above this folder and cannot be
// called directly). With none installed, or without the core's renderer object, no renderer
// exists: uploads wait for one and give up, and nothing reaches a GPU (the host build, and tests
// that only decode).
#pragma once

#include <cstdint>

#include "zorqa.h"

struct BitmapPacker;
struct RendererTexture;

struct ZQI_RendererBackEndCalls {
    // The device is up and takes work.
    bool (*IsReady)();
    // Textures of any size (capability bit 8); otherwise sides are rounded up to powers of two.
    bool (*SupportsNonPowerOfTwo)();
    // RendererImplementation::CreateTexture: the packer's pixels as the bitmap's texture.
    bool (*CreateTexture)(zq_bitmap_t* bitmap, BitmapPacker* packer);
    // RendererImplementation::CreateRenderTarget.
    bool (*CreateRenderTarget)(zq_bitmap_t* bitmap);
    // RendererImplementation::IsBitmapFormatSupported.
    bool (*IsBitmapFormatSupported)(const zq_bitmap_desc_t* desc);
    // RendererImplementation::FreeTexture.
    void (*FreeTexture)(RendererTexture* texture);
};

// Installs a copy of the calls; null removes them. Main thread, before or after the device.
void ZQI_SetRendererBackEnd(const ZQI_RendererBackEndCalls* calls);
// The installed calls while the core's renderer object exists; null otherwise.
const ZQI_RendererBackEndCalls* ZQI_GetRendererBackEnd();
// The renderer object exists and its device takes work.
bool ZQI_IsRendererReady();
