// The device operations the drawing layer (HighLevelRenderer, BatchRenderer, shaders, buffer
// objects) calls. The Direct3D 11 back end installs them with its object (graphics/d3d11 sits
// above this folder and cannot be called directly); tests install recording ones. Until then every
// operation is a do-nothing default: there is no device, creations fail, locks give null. The
// record is never null and neither is any member, so callers need no checks. Render thread only,
// except the buffer and shader creations, which the back end allows off it with concurrent creation.
#pragma once

#include <cstdint>

#include "zorqa.h"

struct HighLevelRendererState;
struct RendererBuffer;
struct RendererTexture;

enum RendererPrimitive : int32_t { RENDERER_LINE_LIST = 0, RENDERER_TRIANGLE_LIST = 1 };

// RendererBuffer flags as the back end takes them.
enum : uint32_t {
    ZQI_BUFFER_DYNAMIC = 1,   // written with map-and-discard
    ZQI_BUFFER_CPU_COPY = 4,  // written into a CPU copy and sent whole on unlock
};

struct RendererDevice {
    // The device exists and takes work.
    bool (*HasDevice)();
    // Feature levels 9_1 to 9_3: the HLSL11_LOW variant and smaller textures.
    bool (*IsLowFeatureLevel)();
    // Buffers and shaders may be created on threads other than the main thread.
    bool (*AllowsConcurrentCreation)();
    // The swap chain's back buffer; 0 x 0 without one.
    void (*GetBackBufferSize)(int32_t* width, int32_t* height);

    // Binds the set's colour and depth targets (the back buffer and its depth buffer when colour
    // target 0 is null), then the viewport (0, 0, width, height).
    void (*SetRenderTargets)(const zq_render_targets_t* targets);
    void (*SetViewport)(int32_t width, int32_t height);
    // Scissoring on, with the rasterizer state of cullMode, or off.
    void (*SetScissor)(int32_t x, int32_t y, int32_t width, int32_t height, uint32_t cullMode);
    void (*DisableScissor)(uint32_t cullMode);
    // Every bound colour target; the bound depth view, when there is one (false: nothing cleared).
    void (*ClearTargets)(float r, float g, float b, float a);
    bool (*ClearDepth)(float depth);
    // The depth state the render states describe, bound at the start of every frame.
    void (*BindDepthState)();

    // ApplyState's steps 5 to 8: each sends one group of the state and marks it applied.
    void (*SendAddressModes)(HighLevelRendererState* state);
    void (*SendFilters)(HighLevelRendererState* state);
    void (*SendBlendState)(HighLevelRendererState* state);
    void (*SendRenderStates)(HighLevelRendererState* state);
    // The shader's vertex and pixel shaders and input layout; its constants go with the next
    // geometry bind.
    void (*BindShader)(zq_shader_t* shader);
    // The eight stage textures (null unbinds); stale mip chains are rebuilt first.
    void (*BindTextures)(RendererTexture* const* textures);

    // Buffers of count vertices (of the vertex format) or 16-bit indices, filled from data when
    // given. A handle without storage (IsBufferCreated false) when the device refused it; null only
    // when out of memory.
    RendererBuffer* (*CreateVertexBuffer)(uint32_t vertexFormat, uint32_t count, uint32_t flags,
                                          const void* data);
    RendererBuffer* (*CreateIndexBuffer)(uint32_t count, uint32_t flags, const uint16_t* data);
    bool (*IsBufferCreated)(const RendererBuffer* buffer);
    // Where the whole buffer is written; null on failure. Unlock sends what was written.
    void* (*LockBuffer)(RendererBuffer* buffer);
    void (*UnlockBuffer)(RendererBuffer* buffer);
    void (*FreeBuffer)(RendererBuffer* buffer);
    // Depth state, the bound shader's changed constants, then the buffers (either may be null).
    void (*BindGeometry)(RendererBuffer* vertices, RendererBuffer* indices);
    void (*DrawIndexed)(RendererPrimitive primitive, uint32_t indexCount);
    void (*DrawIndexedInstanced)(uint32_t indexCount, uint32_t instances);

    // The back end's objects of a shader from its compiled vertex and pixel code.
    bool (*CreateShader)(zq_shader_t* shader, const void* vertexCode, uint32_t vertexSize,
                         const void* pixelCode, uint32_t pixelSize);
    void (*FreeShader)(zq_shader_t* shader);

    void (*Present)();
    // Present waits for the vertical blank (1) or not (0).
    void (*SetVerticalSync)(bool on);

    // A 2D render target's pixels, as RGBA, into the bitmap's pixel memory (replaced).
    bool (*ReadRenderTargetPixels)(zq_bitmap_t* bitmap);

    // The largest texture side (2048 without a device).
    int32_t (*GetMaximumTextureSize)();
    // Display outputs enumerated again; their count.
    int32_t (*GetDisplayCount)();
    // The display's modes as "%s%ix%i" text (the back end's); null when none.
    const char* (*GetSupportedResolutions)(int32_t display);
};

// Installs a copy; members left null keep their do-nothing default. Null restores the defaults.
void ZQI_SetRendererDevice(const RendererDevice* device);
const RendererDevice& ZQI_GetRendererDevice();
