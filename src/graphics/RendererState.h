// The pipeline state the program sets through the graphics API: render targets, scissor, shader,
// blend mode, render states, the drawing colour, and per texture stage the bound bitmap, its
// texture, address modes and filters. Setters only record values and clear the applied mark of
// their group (and the state-applied flag); HighLevelRenderer::ApplyState sends the groups with a
// clear mark before the next draw (the Direct3D 11 senders are in d3d11/StateSending.h). Render
// thread only, no locks.
#pragma once

#include <cstdint>

#include "zorqa.h"

struct RendererTexture;

enum : int32_t {
    ZQI_TEXTURE_STAGES = 8,
    ZQI_RENDER_STATES = 32,
    ZQI_LAST_APPLIED_RENDER_STATE = ZQ_RENDER_STATE_DEPTH_WRITE,  // ids above it are kept, not sent
    ZQI_BLEND_MODE_COUNT = 9,                                     // 0 (keep the bound state) .. 8
};

// Applied marks, one byte per state group: 0 = must be sent before the next draw, 1 = sent.
enum StateGroup : int32_t {
    STATE_GROUP_BLEND = 0,
    STATE_GROUP_TARGETS = 1,          // render targets and viewport
    STATE_GROUP_TARGETS_CHANGED = 2,  // cleared by a render-target change, set with the one above
    STATE_GROUP_SCISSOR = 3,
    STATE_GROUP_SHADER = 4,
    STATE_GROUP_ADDRESS = 5,
    STATE_GROUP_FILTERS = 6,
    STATE_GROUP_TEXTURES = 7,
    STATE_GROUP_COUNT = 8
};

// Filters of a stage as stored: mag first (the API takes min, mag, mip; the back end gets min, mag,
// mip again).
enum : int32_t { FILTER_SLOT_MAG = 0, FILTER_SLOT_MIN = 1, FILTER_SLOT_MIP = 2 };

struct HighLevelRendererState {
    zq_render_targets_t targets;          // colour target 0 null = the back buffer
    zq_render_targets_t previousTargets;  // what was current before the last change of targets
    zq_shader_t* shader;                  // never null once the renderer runs: the default shader
    zq_shader_t* fontShader;              // what DrawText draws with
    int32_t scissor[4];                   // edges x0, y0, x1, y1; x0 = -1: no scissor
    float color[3];                       // r, g, b, 0..1 (not clamped)
    float alpha;                          // 0..1
    uint8_t colorBytes[4];                // the zq_vertex_t colour word: B, G, R, A
    RendererTexture* stageTextures[ZQI_TEXTURE_STAGES];  // what the back end binds
    zq_bitmap_t* stageBitmaps[ZQI_TEXTURE_STAGES];       // the bitmap each texture belongs to
    uint32_t address[ZQI_TEXTURE_STAGES][3];             // U, V, W: ZQ_TEXTURE_ADDRESS_*
    uint32_t filters[ZQI_TEXTURE_STAGES][3];             // mag, min, mip: ZQ_TEXTURE_FILTER_*
    int32_t blendMode;                                   // ZQ_BLEND_MODE_*, 0 = keep the bound state
    uint32_t renderStates[ZQI_RENDER_STATES];            // ZQ_RENDER_STATE_* values
    uint8_t applied[STATE_GROUP_COUNT];
    uint32_t renderStateSent[ZQI_RENDER_STATES];  // 0 = that render state must be sent

    // Zero-fills the record (no scissor); every group must be sent, except the scissor.
    void Reset();
    // The per-frame defaults: blend mode 1, every stage clamped (1, 1, 1) and linear (2, 2, 2),
    // colour write on, no culling, depth test off, depth function LESS_EQUAL, depth write off. The
    // applied marks are left alone (Reset has already cleared them).
    void SetFrameDefaults();
    // A stage's texture and bitmap, clearing the textures mark when the texture changes.
    void BindStage(int32_t stage, zq_bitmap_t* bitmap, RendererTexture* texture);
    // Unbinds the texture from every stage that holds it (a texture about to be freed).
    void UnbindTexture(const RendererTexture* texture);
};

// The renderer's one state record and the flag the batching reads: 1 while nothing changed since
// the last ApplyState.
extern HighLevelRendererState g_rendererState;
extern uint8_t g_stateApplied;
// The engine's opaque white texture (made by the renderer's initialisation), bound in place of a
// bitmap that is not on the GPU yet; null until then.
extern zq_bitmap_t* g_whiteTexture;

// Graphics API slots of the render states, blend modes and texture stages. Stage numbers outside
// 0..7 and render-state ids outside 0..31 are ignored (0 / false for the getters).
void ZQ_Graphics_SetRenderFlag(int32_t id, bool value);
void ZQ_Graphics_SetRenderState(int32_t id, uint32_t value);
bool ZQ_Graphics_GetRenderFlag(int32_t id);
uint32_t ZQ_Graphics_GetRenderState(int32_t id);
void ZQ_Graphics_SetBlendMode(int32_t mode);
int32_t ZQ_Graphics_GetBlendMode();
void ZQ_Graphics_SetTextureStageAddressMode(int32_t stage, uint32_t u, uint32_t v, uint32_t w);
// Stored as (mag, min, mip); a mip filter of ANISOTROPIC is stored as LINEAR.
void ZQ_Graphics_SetTextureStageFilter(int32_t stage, uint32_t minFilter, uint32_t magFilter,
                                       uint32_t mipFilter);
// Stage 0: min = mag = filter, mip = filter (ANISOTROPIC stored as LINEAR).
void ZQ_Graphics_SetTextureFilter(int32_t filter);
// Stage 0's stored mag filter.
int32_t ZQ_Graphics_GetTextureFilter();
// Null unbinds the stage; a bitmap not on the GPU binds the white texture instead (nothing when
// there is none).
void ZQ_Graphics_SetTexture(int32_t stage, zq_bitmap_t* bitmap);
