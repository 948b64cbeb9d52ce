// RendererImplementation: the Direct3D 11 back end, one plain record (no virtual operations) that
// the graphics and core code call directly. It exists once, in the core's state record; the
// device lives between Initialize and Release, the adapter and its outputs until the record dies.
#pragma once

#include <d3d11_1.h>
#include <dxgi1_2.h>

#include <cstdint>

#include "foundation/Array.h"
#include "foundation/ErrorCode.h"
#include "foundation/String.h"
#include "zorqa.h"

struct BitmapPacker;
struct RendererBuffer;
struct RendererShader;
struct RendererTexture;

// A display size, as listed for an output.
struct Resolution {
    int32_t width;
    int32_t height;
};

// qsort comparators of Resolution pairs: by width, then height (-1, 0, 1).
int ZQI_CompareSizeAscending(const void* a, const void* b);
int ZQI_CompareSizeDescending(const void* a, const void* b);

// What the back end reads from its host. The core fills it from its own state when it starts the
// renderer; the back end keeps a copy, so the parameters it points at must outlive the device.
struct RendererPlatform {
    HWND window;                        // the game window the swap chain presents into
    const zq_parameters_t* parameters;  // the program's display parameters; null counts as windowed
    uint32_t verticalSync;              // Present's sync interval: 1, or 0 with DISABLE_VSYNC
};

// The opened DXGI adapter and those of its outputs that are attached to the desktop; each
// pointer holds one reference.
struct RendererAdapter {
    IDXGIAdapter* adapter;
    Array<IDXGIOutput*> outputs;
};

// Capability flags found when the device is created.
enum : uint32_t {
    RENDERER_CAPS_DEPTH32 = 1,             // 32-bit float depth buffers
    RENDERER_CAPS_BGRA_VERTEX_COLOR = 2,   // vertex colours may be B8G8R8A8
    RENDERER_CAPS_CONCURRENT_CREATES = 4,  // resources may be created off the render thread
    RENDERER_CAPS_NON_POWER_OF_TWO = 8,    // textures of any size
};

enum {
    RENDERER_COLOR_TARGETS = 4,
    RENDERER_BLEND_MODES = 9,       // blend mode 0 has no state object
    RENDERER_CULL_MODES = 3,        // none, front, back
    RENDERER_SAMPLER_ROWS = 9,      // row 0 anisotropic, rows 1..8 the point/linear filter groups
    RENDERER_SAMPLER_COLUMNS = 27,  // 3 x 3 x 3 address modes
    RENDERER_TEXTURE_SLOTS = 8,
};

// The sampler parameters last sent for one texture slot: (min, mag, mip) and (U, V, W).
struct RendererSamplerSlot {
    uint32_t filter[3];
    uint32_t address[3];
};

// Made with `new RendererImplementation()`: value-initialised, so every field is zero except the
// three defaults below. Deleting it releases the device and the adapter.
struct RendererImplementation {
    // Display modes of an output and their text form (DisplayModes.cpp).
    Array<Resolution> displayModes;
    String displayModesText;

    // The shader whose constants the next geometry bind uploads.
    zq_shader_t* currentShader;

    RendererAdapter adapterBlock;

    ID3D11BlendState* blendStates[RENDERER_BLEND_MODES][2];  // [mode][colour write off, on]

    // The render-target set as last given to the context (not owned).
    ID3D11RenderTargetView* boundColorViews[RENDERER_COLOR_TARGETS];
    ID3D11DepthStencilView* boundDepthView;

    ID3D11DepthStencilState* depthStencilState;

    ID3D11Device* device;
    ID3D11Device1* device1;  // null when the runtime lacks it
    ID3D11DeviceContext* context;

    ID3D11RenderTargetView* backBufferView;
    IDXGISwapChain* swapChain;
    IDXGISwapChain1* swapChain1;  // null when the swap chain was made without IDXGIFactory2
    ID3D11Texture2D* depthTexture;
    ID3D11DepthStencilView* depthView;

    RendererPlatform platform;

    ID3D11RasterizerState* rasterizerStates[RENDERER_CULL_MODES][2];  // [cull][scissor off, on]
    ID3D11SamplerState* samplerStates[RENDERER_SAMPLER_ROWS][RENDERER_SAMPLER_COLUMNS];

    uint32_t depthFunction = 1;  // engine value 0..7
    uint32_t featureLevel = D3D_FEATURE_LEVEL_9_1;
    uint32_t syncInterval = 1;
    uint32_t capabilities;  // RENDERER_CAPS_* bits

    RendererSamplerSlot samplerSlots[RENDERER_TEXTURE_SLOTS];

    uint32_t backBufferWidth;  // the swap chain's buffers, while they exist
    uint32_t backBufferHeight;

    uint8_t depthStateValid;
    uint8_t depthTestOn;
    uint8_t depthWriteOn;
    uint8_t colorWriteOn;
    uint8_t initialised;
    uint8_t scissorOn;

    // Releases the device and the adapter block, so deleting the record leaves nothing alive.
    ~RendererImplementation();

    // ---- Device, swap chain and frame ----------------------------------------------------------

    // Creates the device, the swap chain for platform.window and the back-buffer targets. Any
    // failure is reported, everything is released again and the result is false.
    bool Initialize(const RendererPlatform& platformBlock);
    // Releases every Direct3D object; the record, its settings and the adapter block stay.
    void Release();
    // Releases the adapter and its outputs and empties the display-mode list.
    void ReleaseAdapter();

    // Creates the device with the hardware driver, else WARP, and finds the capability flags.
    // createDevice is the creation entry point (D3D11CreateDevice).
    bool CreateDevice(PFN_D3D11_CREATE_DEVICE createDevice = D3D11CreateDevice);
    // The swap chain for platform.window: flip model through IDXGIFactory2 when there is one.
    bool CreateSwapChain();
    // The back buffer's colour view, the depth buffer and its view; sets the viewport to the back
    // buffer and binds both. Also used after the swap chain's buffers were resized.
    bool CreateBackBufferTargets();
    // Unbinds and releases the back-buffer view and the depth buffer, so the swap chain's buffers
    // can be resized.
    void ReleaseBackBufferTargets();

    void SetViewport(int32_t x, int32_t y, uint32_t width, uint32_t height);
    // Binds the set's colour targets (faces of cube targets) and depth target. Without colour
    // target 0 the back buffer and the default depth buffer are bound instead. Always true.
    bool SetRenderTargets(const zq_render_targets_t& targets);
    // Clears every bound colour target; depth is cleared by the drawing layer.
    void ClearRenderTargets(float r, float g, float b, float a);
    // Turns scissoring on with the rasterizer state of cullMode (the render state
    // ZQ_RENDER_STATE_CULL_MODE: 0 none, 1 front, 2 back). False without a device.
    bool SetScissorRectangle(int32_t x, int32_t y, int32_t width, int32_t height, uint32_t cullMode);
    // Presents with the sync interval; failures are logged, nothing is re-created.
    void Present();
    // Turns scissoring off with the rasterizer state of cullMode.
    void DisableScissor(uint32_t cullMode);
    // Clears the bound depth view; false without one.
    bool ClearDepth(float depth);
    // The shader's vertex and pixel shader and input layout (none for a shader without objects);
    // its constants go with the next BindGeometry.
    void BindShader(zq_shader_t* shader);
    // The eight pixel-shader textures; a stale mip chain is generated first.
    void BindTextures(RendererTexture* const* textures);
    // One indexed draw of the bound geometry as lines or triangles.
    void DrawIndexed(bool lines, uint32_t indexCount);
    void DrawIndexedInstanced(uint32_t indexCount, uint32_t instances);

    // The error path of every Direct3D call: adds the device-removed reason when there is one.
    void ReportError(ErrorCode code, HRESULT result, const String& message);

    // ---- Textures and render targets (D3D11Textures.cpp) ----------------------------------------

    // Whether the device can make textures of the description (type, mip chain, depth or sampled
    // use, render target).
    bool IsBitmapFormatSupported(const zq_bitmap_desc_t& desc);
    // A colour or depth render target of the bitmap's size (2D: rounded up to powers of two
    // without capability bit 8; cube: six faces). Sets the bitmap's texture record, render-target
    // flag, texture size, texture rectangle and loaded flag.
    bool CreateRenderTarget(zq_bitmap_t* bitmap);
    // The packer's pixels as an R8G8B8A8 texture with the bitmap's mip levels (levels beyond the
    // first generated). Sets the bitmap's texture record and loaded flag.
    bool CreateTexture(zq_bitmap_t* bitmap, BitmapPacker* packer);
    // Releases the texture's views and texture and frees the record. Null is ignored.
    void FreeTexture(RendererTexture* texture);
    // A 2D render target's pixels, as RGBA, into the bitmap's pixel memory (replaced).
    bool ReadRenderTargetPixels(zq_bitmap_t* bitmap);

    // ---- Vertex and index buffers (D3D11Buffers.cpp) -------------------------------------------

    // A buffer of count vertices of the format (flags RENDERER_BUFFER_*), filled from data when
    // given. A handle is returned even when the buffer could not be made: its lock then fails.
    // Null only when out of memory.
    RendererBuffer* CreateVertexBuffer(uint32_t vertexFormat, uint32_t count, uint32_t flags,
                                       const void* data);
    // The same for count 16-bit indices.
    RendererBuffer* CreateIndexBuffer(uint32_t count, uint32_t flags, const uint16_t* data);
    // Where the caller writes the whole buffer: mapped memory, or the CPU copy. Null on failure.
    void* LockVertexBuffer(RendererBuffer* buffer);
    void* LockIndexBuffer(RendererBuffer* buffer);
    // Sends what was written (swapping red and blue of COLOR when the device wants R8G8B8A8).
    void UnlockVertexBuffer(RendererBuffer* buffer);
    // Releases the buffer and frees the handle and its CPU copy. Null is ignored.
    void FreeBuffer(RendererBuffer* buffer);
    // Depth state, the current shader's constants, then the vertex and index buffers (either may
    // be null) on the input assembler. The caller draws.
    void BindGeometry(RendererBuffer* vertices, RendererBuffer* indices);
    // Copies size bytes into a dynamic constant buffer.
    void UpdateConstantBuffer(const void* data, uint32_t size, ID3D11Buffer* buffer);

    // ---- Shaders (D3D11Shaders.cpp) --------------------------------------------------------------

    // Vertex and pixel shader, input layout for the shader's vertex format, and constant buffers
    // for its vertex and pixel constants; attached to shader->renderer_data.
    bool CreateShader(zq_shader_t* shader, const void* vertexCode, uint32_t vertexSize, const void* pixelCode,
                      uint32_t pixelSize);
    // Releases the shader's objects and detaches them. Safe without any.
    void FreeShader(zq_shader_t* shader);
    // The input elements of a vertex format; returns their number (at most 9).
    uint32_t BuildInputLayout(uint32_t vertexFormat, D3D11_INPUT_ELEMENT_DESC* elements);

    // ---- Pipeline state tables (D3D11States.cpp) -------------------------------------------------

    // Steps 6 to 9 of Initialize: rasterizer states, sampler states, depth state, blend states.
    bool CreatePipelineStates();
    // A new depth-stencil state from the depth bytes and function, bound at once.
    bool ApplyDepthState();
    // The blend table [mode][colour write]; mode 0 has no state.
    bool CreateBlendStates();
    ID3D11RasterizerState* CreateRasterizerState(const D3D11_RASTERIZER_DESC& desc);
    // The 27 address-mode combinations of one sampler row; filterGroup -1 is anisotropic.
    bool CreateSamplerStates(const D3D11_SAMPLER_DESC& templateDesc, int32_t row, int32_t filterGroup);

    // ---- Adapters and outputs (DXGIAdapter.cpp), display modes and window style (DisplayModes.cpp)

    // Opens adapter 0 and keeps its outputs attached to the desktop; false when none is kept.
    bool OpenDefaultAdapter();
    IDXGIFactory1* CreateFactory();
    IDXGIFactory1* GetFactoryFromAdapter(IDXGIAdapter* adapter);
    IDXGIFactory1* GetFactoryFromDevice(ID3D11Device* fromDevice);
    // Adds the output's 32-bit display sizes to displayModes, each size once; not cleared here.
    void GetDisplayModes(int32_t outputIndex);
    // Restyles and places the window for a mode on the output. False when there is no window or
    // no such output.
    bool ApplyWindowStyle(int32_t outputIndex, int32_t width, int32_t height, bool windowed);
};

// The sampler for a stage's filters (min, mag, mip: ZQ_TEXTURE_FILTER_*) and address modes (U, V, W:
// ZQ_TEXTURE_ADDRESS_*): the anisotropic row when any filter is anisotropic.
ID3D11SamplerState* ZQI_SelectSamplerState(
    ID3D11SamplerState* const table[RENDERER_SAMPLER_ROWS][RENDERER_SAMPLER_COLUMNS], uint32_t minFilter,
    uint32_t magFilter, uint32_t mipFilter, uint32_t addressU, uint32_t addressV, uint32_t addressW);

// IDXGIFactory2 of a factory, or null (not reported: older runtimes lack it).
IDXGIFactory2* ZQI_QueryDXGIFactory2(IDXGIFactory1* factory);
// Walks the adapter's outputs, keeping those attached to the desktop; true when one was kept.
bool ZQI_EnumerateAdapterOutputs(RendererAdapter* block);
// Enumerates the outputs again; on failure the previous list stays. Returns the output count.
int32_t ZQI_RefreshDisplayOutputs(RendererAdapter* block);
// The output's B8G8R8A8 display modes; empty on failure or for an unknown output.
Array<DXGI_MODE_DESC> ZQI_GetOutputDisplayModes(RendererAdapter* block, int32_t outputIndex);
// The renderer's display sizes of the output as "640x480,800x600,...", ascending; null when
// there are none or no renderer exists. The text belongs to the renderer.
const char* ZQI_GetSupportedResolutionsText(int32_t outputIndex);
// The renderer adapter's name in UTF-8 (at most 127 bytes); empty when there is none.
String ZQI_GetAdapterName();
