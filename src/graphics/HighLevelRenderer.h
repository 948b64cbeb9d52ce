// The HighLevelRenderer: the layer between the graphics API's immediate drawing and the device.
// It keeps the current state record (RendererState.h), six fixed-depth stacks (world, view and
// projection transforms, render-target sets, scissor rectangles, shaders), a few cached matrices,
// the drawing colour and depth with the quad template the drawing operations fill, the two
// internal shaders and the white texture. State is sent lazily: ApplyState sends the groups whose
// applied mark is clear, in a fixed order, right before geometry is drawn. Render thread only.
#pragma once

#include <cstdint>

#include "foundation/Matrix4x4.h"
#include "zorqa.h"

enum HighLevelRendererStack : int32_t {
    HLR_STACK_WORLD = 0,
    HLR_STACK_VIEW = 1,
    HLR_STACK_PROJECTION = 2,
    HLR_STACK_RENDER_TARGETS = 3,
    HLR_STACK_COUNT = 4,  // the four the frame checks after the program's Draw
    HLR_STACK_SCISSOR = 4,
    HLR_STACK_SHADER = 5,
};

enum { HLR_STACK_ENTRIES = 32 };

// What the drawing operations read beside the state record.
struct DrawingContext {
    // The set and shader current when ApplyState last finished: batches are drawn with them.
    zq_render_targets_t lastAppliedTargets;
    zq_shader_t* lastAppliedShader;
    zq_shader_t* defaultShader;        // "internal_default"
    zq_shader_t* distanceFieldShader;  // "internal_distance_field"
    float depth;                       // z of drawn vertices (0.5)
    float distance;                    // perspective distance d of the default projection (0.5)
    float farValue;                    // (1.0)
    float nearValue;                   // (0.1)
    zq_vertex_t quad[4];          // top-left, top-right, bottom-left, bottom-right: colour and z kept current
    uint8_t rendererInitialised;  // the renderer start has completed once
};
extern DrawingContext g_drawing;

// The 16 x 16 opaque white bitmap "WHITE_TEXTURE", bound where a draw has no texture; false when
// it could not be made and uploaded.
bool ZQI_CreateWhiteTexture();
// Renderer stop: the white texture and both internal shaders are freed whole.
void ZQI_FreeDefaultRendererResources();

namespace HighLevelRenderer {

// Renderer start: the internal shaders, the white texture, the base stack entries, the back
// buffer bound, cleared and presented once. False when a shader or the white texture is missing.
bool Initialize();
// A fresh state record; the state-applied flag is cleared.
void ResetState();
// The frame's defaults (shaders, colour, blend mode, stages, render states, the calling thread's
// text settings). The applied marks are left alone.
void ResetFrameState();
// Sends every group whose applied mark is clear.
void ApplyState();
// Draws the pending batch (the state it was built with is still on the device), then applies
// the state when something changed.
void FlushBatch();

// Makes the set current (false: nothing changed). previous is the stack entry below, which
// decides whether the overlay zoom is set aside or restored.
bool SetRenderTargets(const zq_render_targets_t& set, const zq_render_targets_t& previous);
// Before a bitmap's GPU data changes: a current colour target is replaced by the back buffer
// (false); otherwise true unless the bitmap is the current depth target.
bool DetachRenderTarget(const zq_bitmap_t* bitmap);

// The texture size of colour target 0 (the back buffer's without one) of the stack top, or of the
// last applied set.
void GetTargetSize(bool lastApplied, int32_t* width, int32_t* height);
// 1 unit = 1 pixel of that size at z = d; y grows downwards.
Matrix4x4* BuildDefaultProjection(Matrix4x4* out, bool useLastApplied);
// view top x world top, cached.
const Matrix4x4* GetWorldViewTransform();
// The default projection for the render-target stack top, cached.
const Matrix4x4* GetDefaultProjection();
// The projection the next draw uses: the stack top, or the default projection.
const Matrix4x4* GetProjectionTransform();
// Writes the transform constants of a constant table that changed and clears their clean bytes
// and bit 0 of *shaderFlags (the shader's "constants clean").
void UpdateAutomaticConstants(zq_shader_constant_table_t* table, uint8_t* shaderFlags);
// The last applied shader's vertex then pixel set.
void UpdateShaderAutomaticConstants(zq_shader_t* shader);

// Stacks. A push on a full stack or a pop on an empty one is refused with a popup.
void PushWorldTransform(const Matrix4x4* matrix);  // top x matrix; null restarts from identity
void PopWorldTransform();
void PushViewTransform(const Matrix4x4* matrix);  // as given; null = identity
void PopViewTransform();
void PushProjectionTransform(const Matrix4x4* matrix);  // null = the default projection
void PopProjectionTransform();
void PushRenderTargets(const zq_render_targets_t* set);  // also projection and world pushes
void PopRenderTargets();
void PushScissorRectangle(int32_t x, int32_t y, int32_t width, int32_t height);
void PopScissorRectangle();
void PushShader(zq_shader_t* shader);  // null = the default shader
void PopShader();
// Index of the top entry: world, view and render targets start at 0, the others at -1.
int32_t GetStackDepth(HighLevelRendererStack stack);
const Matrix4x4& PeekWorldTransform();
const Matrix4x4& PeekViewTransform();
const zq_render_targets_t& PeekRenderTargets();
// Translation of the inverted view top, cached.
const float* GetViewPosition();

// Makes shader current, clearing the shader mark when it differs.
void SetCurrentShader(zq_shader_t* shader);
// The current scissor without the stack (edges).
void SetScissorEdges(int32_t x0, int32_t y0, int32_t x1, int32_t y1);

// As a renderer start leaves it, without touching the device or making resources: a fresh
// state record, the base stack entries, the depth parameters (0.5, 0.5, 1.0, 0.1). Tests.
void ResetForTests();

}  // namespace HighLevelRenderer
