// Stand-ins for the subsystems the lifecycle drives that are not part of the build yet: the
// graphics state stacks and batches, the shader and buffer tables and their queues, the console
// and developer overlays and input back ends. Each keeps the name its owner will give it; the
// owning subsystem replaces these declarations (and PendingSubsystems.cpp) when it is built. They
// do nothing, or the least that keeps the lifecycle's bookkeeping honest (the transform and
// render-target stacks count their depth, so unbalanced pushes are still found).
#pragma once

#include <cstdint>

#include "foundation/Matrix4x4.h"
#include "zorqa.h"

// ---- Input back ends (Windows platform layer) -------------------------------------------------

class InputImp {
public:
    virtual ~InputImp() {}
    virtual bool IsSupported() { return true; }
    virtual bool Initialize(void* platform) { return platform != nullptr; }
    virtual void Update() {}
    virtual void EndFrame() {}
};

// The built-in XInput gamepad back end; null while the gamepad code is not part of the build.
InputImp* ZQI_CreateXInputImplementation();

// ---- Graphics: API table, state stacks, batches, resource tables and queues -------------------

void ZQI_BuildGraphicsApiTable();

enum HighLevelRendererStack : int32_t {
    HLR_STACK_WORLD = 0,
    HLR_STACK_VIEW = 1,
    HLR_STACK_PROJECTION = 2,
    HLR_STACK_RENDER_TARGETS = 3,
    HLR_STACK_COUNT = 4
};

namespace HighLevelRenderer {
void Initialize();
// Replaces the current state by a freshly reset one and clears the anything-dirty flag.
void ResetState();
void ResetFrameState();
void ApplyState();
void PushWorldTransform(const Matrix4x4& transform);
void PopWorldTransform();
void PushViewTransform();
void PopViewTransform();
void PushProjectionTransform();
void PopProjectionTransform();
void PushRenderTargets(const zq_render_targets_t* targets);
void PopRenderTargets();
int32_t GetStackDepth(HighLevelRendererStack stack);
// The first of the current depth parameters (the drawing depth of the overlays).
float GetFirstDepthParameter();
// The transform last pushed onto the world stack (identity when empty).
Matrix4x4 GetWorldTransform();
}  // namespace HighLevelRenderer

namespace BatchRenderer {
void Initialize();
void Shutdown();
// Starts an empty quad batch and maps the current ring vertex buffer.
void BeginFrame();
// Unmaps the current vertex buffer and clears its mapped pointer.
void UnmapVertexBuffer();
bool HasVertices();
void Flush();
}  // namespace BatchRenderer

void ZQI_ResetShaderTableCount();
bool InitializeShaderTranslator();
// Renderer start: every ".xml" shader and glyph page back on the GPU (bitmaps:
// graphics/BitmapUpload.h; font atlases: fonts/FontApi.h).
void ZQI_ReloadXmlShaders();
void ZQI_UploadGlobalFontPages();
// Renderer stop: the GPU data of the same, then the default resources (WHITE_TEXTURE, shaders).
void ZQI_FreeShaderGpuData();
void ZQI_FreeGlobalFontPages();
void ZQI_FreeDefaultRendererResources();

void ProcessPendingBufferOperations();
void ProcessShaderResourceQueue();

// ---- Fonts, console and developer overlays ---------------------------------------------------

void ZQI_DrawSoundChannels();
