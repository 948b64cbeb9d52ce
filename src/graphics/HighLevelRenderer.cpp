// Applying the recorded state to the device group by group, render-target changes with the
// overlay zoom, the scissor's mapping to the back buffer, and the renderer's start and reset.
#include "graphics/HighLevelRenderer.h"

#include <cstring>

#include "graphics/BatchRenderer.h"
#include "graphics/BitmapOperations.h"
#include "graphics/BitmapTable.h"
#include "graphics/HighLevelRenderer_local.h"
#include "graphics/InternalShaders.h"
#include "graphics/RendererDevice.h"
#include "graphics/RendererState.h"
#include "graphics/ScreenMapping.h"
#include "graphics/TextSettings.h"

DrawingContext g_drawing = {{}, nullptr, nullptr, nullptr, 0.5f, 0.5f, 1.0f, 0.1f, {}, 0};

namespace {

const uint32_t kOpaqueWhite = 0xFFFFFFFFu;
const int32_t kWhiteTextureSide = 16;

// The set the device holds (what step 1 of ApplyState or the start sent), while known.
zq_render_targets_t g_deviceTargets;
bool g_deviceTargetsKnown;

bool SameSet(const zq_render_targets_t& a, const zq_render_targets_t& b) {
    for (int32_t i = 0; i < 4; ++i) {
        if (a.color[i] != b.color[i] || a.face[i] != b.face[i]) {
            return false;
        }
    }
    return a.depth == b.depth;
}

bool HasTargetData(const zq_bitmap_t* bitmap) {
    return bitmap == nullptr || (bitmap->gpu.loaded && bitmap->gpu.texture != nullptr);
}

void TargetSizeOf(const zq_render_targets_t& set, int32_t* width, int32_t* height) {
    const zq_bitmap_t* target = set.color[0];
    if (target == nullptr) {
        ZQI_GetRendererDevice().GetBackBufferSize(width, height);
        return;
    }
    *width = target->gpu.texture_width > 0 ? target->gpu.texture_width : target->width;
    *height = target->gpu.texture_height > 0 ? target->gpu.texture_height : target->height;
}

void SendTargets(const zq_render_targets_t& set) {
    const RendererDevice& device = ZQI_GetRendererDevice();
    device.SetRenderTargets(&set);
    int32_t width = 0;
    int32_t height = 0;
    TargetSizeOf(set, &width, &height);
    device.SetViewport(width, height);
    g_deviceTargets = set;
    g_deviceTargetsKnown = true;
    g_rendererState.applied[STATE_GROUP_TARGETS] = 1;
    g_rendererState.applied[STATE_GROUP_TARGETS_CHANGED] = 1;
}

// A float result of the mapping back to an integer, without overflow.
int64_t Truncated(double value) {
    if (!(value > -2147483648.0)) {
        return INT32_MIN;
    }
    return value < 2147483647.0 ? static_cast<int64_t>(value) : INT32_MAX;
}

int32_t Clamped(int64_t value, int64_t low, int64_t high) {
    return static_cast<int32_t>(value < low ? low : (value > high ? high : value));
}

uint32_t CullMode() {
    return g_rendererState.renderStates[ZQ_RENDER_STATE_CULL_MODE];
}

void ApplyScissor() {
    HighLevelRendererState& state = g_rendererState;
    const RendererDevice& device = ZQI_GetRendererDevice();
    state.applied[STATE_GROUP_SCISSOR] = 1;
    if (state.scissor[0] == -1) {
        if (device.HasDevice()) {
            device.DisableScissor(CullMode());
        }
        return;
    }
    int64_t x = state.scissor[0];
    int64_t y = state.scissor[1];
    int64_t w = int64_t(state.scissor[2]) - x;
    int64_t h = int64_t(state.scissor[3]) - y;
    if (w == 0 || h == 0) {
        device.SetScissor(0, 0, 0, 0, CullMode());
        return;
    }
    int32_t clipWidth = 0;
    int32_t clipHeight = 0;
    const zq_bitmap_t* target = state.targets.color[0];
    if (target != nullptr) {
        clipWidth = target->width;
        clipHeight = target->height;
    } else {
        // Program units on the back buffer: autoscaling, then the overlay zoom.
        const ScreenMapping mapping = ZQI_GetScreenMapping();
        int32_t backWidth = 0;
        int32_t backHeight = 0;
        device.GetBackBufferSize(&backWidth, &backHeight);
        if (mapping.autoscale) {
            x = Truncated(double(x) * mapping.scaleX + mapping.offsetX);
            y = Truncated(double(y) * mapping.scaleY + mapping.offsetY);
            w = Truncated(double(w) * mapping.scaleX);
            h = Truncated(double(h) * mapping.scaleY);
        }
        const bool wholeScreen = x == 0 && y == 0 && w == backWidth && h == backHeight;
        if (mapping.zoom != 1.0f && !wholeScreen) {
            x = Truncated(double(x) * mapping.zoom + mapping.zoomOffsetX);
            y = Truncated(double(y) * mapping.zoom + mapping.zoomOffsetY);
            w = Truncated(double(w) * mapping.zoom);
            h = Truncated(double(h) * mapping.zoom);
        }
        clipWidth = mapping.orientationSwapped ? backHeight : backWidth;
        clipHeight = mapping.orientationSwapped ? backWidth : backHeight;
    }
    if (x < 0) {
        w += x;
        x = 0;
    }
    if (y < 0) {
        h += y;
        y = 0;
    }
    device.SetScissor(Clamped(x, 0, clipWidth), Clamped(y, 0, clipHeight), Clamped(w, 0, clipWidth),
                      Clamped(h, 0, clipHeight), CullMode());
}

// The shader's texture slots bring their default bitmaps and sampler settings; then the shader is
// bound.
void ApplyShader() {
    HighLevelRendererState& state = g_rendererState;
    zq_shader_t* shader = state.shader;
    int32_t slots = shader != nullptr ? shader->texture_count : 0;
    slots = slots < int32_t(ZQI_TEXTURE_STAGES) ? slots : int32_t(ZQI_TEXTURE_STAGES);
    for (int32_t i = 0; i < slots; ++i) {
        const zq_shader_texture_t& slot = shader->textures[i];
        zq_bitmap_t* bitmap = reinterpret_cast<zq_bitmap_t*>(static_cast<uintptr_t>(slot.value));
        if (bitmap != nullptr && bitmap != state.stageBitmaps[i]) {
            state.stageBitmaps[i] = bitmap;
            state.stageTextures[i] = bitmap->gpu.texture;
            state.applied[STATE_GROUP_TEXTURES] = 0;
        }
        for (int32_t k = 0; k < 3; ++k) {
            const uint32_t address = slot.values[k];
            if (address != 0 && address != state.address[i][k]) {
                state.address[i][k] = address;
                state.applied[STATE_GROUP_ADDRESS] = 0;
            }
            uint32_t filter = slot.values[3 + k];
            if (k == FILTER_SLOT_MIP && filter == ZQ_TEXTURE_FILTER_ANISOTROPIC) {
                filter = ZQ_TEXTURE_FILTER_LINEAR;
            }
            if (filter != 0 && filter != state.filters[i][k]) {
                state.filters[i][k] = filter;
                state.applied[STATE_GROUP_FILTERS] = 0;
            }
        }
    }
    const RendererDevice& device = ZQI_GetRendererDevice();
    if (device.HasDevice()) {
        device.BindShader(shader);
    }
    state.applied[STATE_GROUP_SHADER] = 1;
}

void ApplyTextures() {
    HighLevelRendererState& state = g_rendererState;
    RendererTexture* textures[ZQI_TEXTURE_STAGES];
    memcpy(textures, state.stageTextures, sizeof(textures));
    if (textures[0] == nullptr && state.shader == g_drawing.defaultShader && g_whiteTexture != nullptr) {
        textures[0] = g_whiteTexture->gpu.texture;
    }
    ZQI_GetRendererDevice().BindTextures(textures);
    state.applied[STATE_GROUP_TEXTURES] = 1;
}

void SetTemplateColour(uint32_t word) {
    for (zq_vertex_t& vertex : g_drawing.quad) {
        vertex.color = word;
    }
}

// Frame defaults that differ from the current values clear their marks, so a reset in the middle
// of a frame (before the engine's overlays) reaches the device too.
template <typename T>
void ResetValue(T& current, T value, StateGroup group) {
    if (current != value) {
        current = value;
        g_rendererState.applied[group] = 0;
        g_stateApplied = 0;
    }
}

}  // namespace

bool ZQI_CreateWhiteTexture() {
    zq_bitmap_desc_t desc = {};
    desc.format = ZQ_TEXTURE_FORMAT_RGBA8;
    desc.type = ZQ_TEXTURE_TYPE_2D;
    desc.mip_levels = 1;
    desc.width = kWhiteTextureSide;
    desc.height = kWhiteTextureSide;
    desc.depth = 1;
    zq_bitmap_t* white = ZQ_Graphics_CreateBitmap("WHITE_TEXTURE", &desc);
    if (white == nullptr || white->pixels == nullptr) {
        return false;
    }
    memset(white->pixels, 0xFF, size_t(kWhiteTextureSide) * kWhiteTextureSide * 4);
    ZQ_Graphics_RefreshBitmap(white);
    g_whiteTexture = white;
    return white->gpu.loaded != 0;
}

void ZQI_FreeDefaultRendererResources() {
    if (g_whiteTexture != nullptr) {
        ZQI_AcquireBitmapBusy(g_whiteTexture);
        ZQI_FreeBitmapSlot(g_whiteTexture);  // lowers the flag before the slot is free
        g_whiteTexture = nullptr;
    }
    FreeShaderSlot(g_drawing.distanceFieldShader);
    FreeShaderSlot(g_drawing.defaultShader);
    g_drawing.distanceFieldShader = nullptr;
    g_drawing.defaultShader = nullptr;
}

namespace HighLevelRenderer {

void SetCurrentShader(zq_shader_t* shader) {
    ResetValue(g_rendererState.shader, shader, STATE_GROUP_SHADER);
}

void SetScissorEdges(int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
    int32_t* scissor = g_rendererState.scissor;
    scissor[0] = x0;
    scissor[1] = y0;
    scissor[2] = x1;
    scissor[3] = y1;
    g_rendererState.applied[STATE_GROUP_SCISSOR] = 0;
    g_stateApplied = 0;
}

void GetTargetSize(bool lastApplied, int32_t* width, int32_t* height) {
    TargetSizeOf(lastApplied ? g_drawing.lastAppliedTargets : PeekRenderTargets(), width, height);
}

void ApplyState() {
    HighLevelRendererState& state = g_rendererState;
    const RendererDevice& device = ZQI_GetRendererDevice();
    if (!state.applied[STATE_GROUP_TARGETS]) {
        SendTargets(state.targets);
        // The scissor was mapped for the targets that were bound before.
        if (state.scissor[0] != -1) {
            state.applied[STATE_GROUP_SCISSOR] = 0;
        }
    }
    if (!state.applied[STATE_GROUP_SCISSOR]) {
        ApplyScissor();
    }
    if (!state.applied[STATE_GROUP_SHADER]) {
        ApplyShader();
    }
    if (!state.applied[STATE_GROUP_TEXTURES]) {
        ApplyTextures();
    }
    if (!state.applied[STATE_GROUP_ADDRESS]) {
        device.SendAddressModes(&state);
    }
    if (!state.applied[STATE_GROUP_FILTERS]) {
        device.SendFilters(&state);
    }
    if (!state.applied[STATE_GROUP_BLEND]) {
        device.SendBlendState(&state);
    }
    device.SendRenderStates(&state);
    g_drawing.lastAppliedTargets = state.targets;
    g_drawing.lastAppliedShader = state.shader;
    g_stateApplied = 1;
}

void FlushBatch() {
    if (BatchRenderer::HasVertices()) {
        BatchRenderer::CloseBatch();
    }
    if (!g_stateApplied) {
        ApplyState();
    }
}

bool SetRenderTargets(const zq_render_targets_t& set, const zq_render_targets_t& previous) {
    HighLevelRendererState& state = g_rendererState;
    // The overlay zoom belongs to the back buffer. The stack's entries say where drawing goes, also
    // when a target without GPU data leaves the back buffer bound.
    if (previous.color[0] == nullptr && set.color[0] != nullptr) {
        ZQI_LeaveBackBuffer();
    } else if (previous.color[0] != nullptr && set.color[0] == nullptr) {
        ZQI_ReturnToBackBuffer();
    }
    bool colourChanged = false;
    bool allHaveData = HasTargetData(set.depth);
    for (int32_t i = 0; i < 4; ++i) {
        allHaveData = allHaveData && HasTargetData(set.color[i]);
        if (set.color[i] == state.targets.color[i] && set.face[i] == state.targets.face[i]) {
            continue;
        }
        colourChanged = true;
        // A texture cannot be sampled while it is drawn into.
        if (set.color[i] != nullptr) {
            state.UnbindTexture(set.color[i]->gpu.texture);
        }
    }
    if (!colourChanged && set.depth == state.targets.depth) {
        return false;
    }
    const zq_render_targets_t effective = allHaveData ? set : zq_render_targets_t{};
    // Only a return to what the device already holds needs nothing sent.
    const bool deviceHasIt = g_deviceTargetsKnown && SameSet(effective, g_deviceTargets);
    if (!deviceHasIt) {
        state.previousTargets = state.targets;
        g_stateApplied = 0;
    }
    state.applied[STATE_GROUP_TARGETS] = deviceHasIt ? 1 : 0;
    state.applied[STATE_GROUP_TARGETS_CHANGED] = 0;
    state.targets = effective;
    return true;
}

bool DetachRenderTarget(const zq_bitmap_t* bitmap) {
    if (bitmap == nullptr) {
        return true;
    }
    const zq_render_targets_t current = g_rendererState.targets;
    for (const zq_bitmap_t* colour : current.color) {
        if (colour == bitmap) {
            SetRenderTargets(zq_render_targets_t{}, current);
            return false;
        }
    }
    return current.depth != bitmap;
}

void ResetState() {
    g_rendererState.Reset();
    g_stateApplied = 0;
    g_deviceTargetsKnown = false;
}

void ResetFrameState() {
    HighLevelRendererState& state = g_rendererState;
    SetCurrentShader(g_drawing.defaultShader);
    state.fontShader = g_drawing.defaultShader;
    for (float& channel : state.color) {
        channel = 1.0f;
    }
    state.alpha = 1.0f;
    memset(state.colorBytes, 0xFF, sizeof(state.colorBytes));
    SetTemplateColour(kOpaqueWhite);

    HighLevelRendererState defaults = state;
    defaults.SetFrameDefaults();
    ResetValue(state.blendMode, defaults.blendMode, STATE_GROUP_BLEND);
    for (int32_t stage = 0; stage < ZQI_TEXTURE_STAGES; ++stage) {
        for (int32_t i = 0; i < 3; ++i) {
            ResetValue(state.address[stage][i], defaults.address[stage][i], STATE_GROUP_ADDRESS);
            ResetValue(state.filters[stage][i], defaults.filters[stage][i], STATE_GROUP_FILTERS);
        }
    }
    for (int32_t id = 0; id <= ZQI_LAST_APPLIED_RENDER_STATE; ++id) {
        if (state.renderStates[id] != defaults.renderStates[id]) {
            ZQ_Graphics_SetRenderState(id, defaults.renderStates[id]);
        }
    }
    *ZQI_GetThreadTextSettings() = ZQI_DefaultTextSettings();
}

bool Initialize() {
    const RendererDevice& device = ZQI_GetRendererDevice();
    device.BindDepthState();
    bool ready = CreateInternalShaders();
    if (ready) {
        ready = ZQI_CreateWhiteTexture();
    }
    g_drawing.lastAppliedTargets = zq_render_targets_t{};
    g_drawing.lastAppliedShader = nullptr;
    ResetState();
    PushBaseEntries();
    for (zq_vertex_t& vertex : g_drawing.quad) {
        vertex.z = g_drawing.depth;
    }
    SetTemplateColour(kOpaqueWhite);
    SendTargets(zq_render_targets_t{});
    device.ClearTargets(0.0f, 0.0f, 0.0f, 1.0f);
    device.Present();
    g_drawing.rendererInitialised = 1;
    return ready;
}

void ResetForTests() {
    ResetState();
    PushBaseEntries();
    g_drawing = DrawingContext{{}, nullptr, nullptr, nullptr, 0.5f, 0.5f, 1.0f, 0.1f, {}, 0};
}

}  // namespace HighLevelRenderer
