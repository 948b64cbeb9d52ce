// The recorded pipeline state and its setters: values are stored and the group's applied mark is
// cleared; nothing reaches the device here.
#include "graphics/RendererState.h"

#include <cstring>

HighLevelRendererState g_rendererState;
uint8_t g_stateApplied;
zq_bitmap_t* g_whiteTexture;

namespace {

const uint32_t kFrameRenderStates[ZQI_LAST_APPLIED_RENDER_STATE + 1] = {
    1,                         // ZQ_RENDER_STATE_COLOR_WRITE
    0,                         // ZQ_RENDER_STATE_CULL_MODE: none
    0,                         // ZQ_RENDER_STATE_DEPTH_TEST
    ZQ_DEPTH_FUNC_LESS_EQUAL,  // ZQ_RENDER_STATE_DEPTH_FUNC
    0,                         // ZQ_RENDER_STATE_DEPTH_WRITE
};

bool IsStage(int32_t stage) {
    return stage >= 0 && stage < ZQI_TEXTURE_STAGES;
}

bool IsRenderState(int32_t id) {
    return id >= 0 && id < ZQI_RENDER_STATES;
}

void MarkChanged(StateGroup group) {
    g_rendererState.applied[group] = 0;
    g_stateApplied = 0;
}

uint32_t StoredMipFilter(uint32_t filter) {
    return filter == ZQ_TEXTURE_FILTER_ANISOTROPIC ? ZQ_TEXTURE_FILTER_LINEAR : filter;
}

void StoreFilters(int32_t stage, uint32_t mag, uint32_t min, uint32_t mip) {
    uint32_t* stored = g_rendererState.filters[stage];
    if (stored[FILTER_SLOT_MAG] == mag && stored[FILTER_SLOT_MIN] == min && stored[FILTER_SLOT_MIP] == mip) {
        return;
    }
    stored[FILTER_SLOT_MAG] = mag;
    stored[FILTER_SLOT_MIN] = min;
    stored[FILTER_SLOT_MIP] = mip;
    MarkChanged(STATE_GROUP_FILTERS);
}

}  // namespace

void HighLevelRendererState::Reset() {
    memset(this, 0, sizeof(*this));
    scissor[0] = -1;
    applied[STATE_GROUP_SCISSOR] = 1;
}

void HighLevelRendererState::SetFrameDefaults() {
    blendMode = ZQ_BLEND_MODE_ALPHA;
    for (int32_t stage = 0; stage < ZQI_TEXTURE_STAGES; ++stage) {
        for (int32_t i = 0; i < 3; ++i) {
            address[stage][i] = ZQ_TEXTURE_ADDRESS_CLAMP;
            filters[stage][i] = ZQ_TEXTURE_FILTER_LINEAR;
        }
    }
    memcpy(renderStates, kFrameRenderStates, sizeof(kFrameRenderStates));
}

void HighLevelRendererState::BindStage(int32_t stage, zq_bitmap_t* bitmap, RendererTexture* texture) {
    if (stageTextures[stage] == texture && stageBitmaps[stage] == bitmap) {
        return;
    }
    bool textureChanged = stageTextures[stage] != texture;
    stageTextures[stage] = texture;
    stageBitmaps[stage] = bitmap;
    if (textureChanged) {
        applied[STATE_GROUP_TEXTURES] = 0;
        if (this == &g_rendererState) {
            g_stateApplied = 0;
        }
    }
}

void HighLevelRendererState::UnbindTexture(const RendererTexture* texture) {
    if (texture == nullptr) {
        return;
    }
    for (int32_t stage = 0; stage < ZQI_TEXTURE_STAGES; ++stage) {
        if (stageTextures[stage] == texture) {
            BindStage(stage, nullptr, nullptr);
        }
    }
}

void ZQ_Graphics_SetRenderFlag(int32_t id, bool value) {
    ZQ_Graphics_SetRenderState(id, value ? 1 : 0);
}

void ZQ_Graphics_SetRenderState(int32_t id, uint32_t value) {
    if (!IsRenderState(id)) {
        return;
    }
    g_rendererState.renderStates[id] = value;
    g_rendererState.renderStateSent[id] = 0;  // sent again even when unchanged
    g_stateApplied = 0;
}

bool ZQ_Graphics_GetRenderFlag(int32_t id) {
    return ZQ_Graphics_GetRenderState(id) != 0;
}

uint32_t ZQ_Graphics_GetRenderState(int32_t id) {
    return IsRenderState(id) ? g_rendererState.renderStates[id] : 0;
}

void ZQ_Graphics_SetBlendMode(int32_t mode) {
    if (mode != g_rendererState.blendMode) {
        g_rendererState.blendMode = mode;
        MarkChanged(STATE_GROUP_BLEND);
    }
}

int32_t ZQ_Graphics_GetBlendMode() {
    return g_rendererState.blendMode;
}

void ZQ_Graphics_SetTextureStageAddressMode(int32_t stage, uint32_t u, uint32_t v, uint32_t w) {
    if (!IsStage(stage)) {
        return;
    }
    uint32_t* stored = g_rendererState.address[stage];
    if (stored[0] != u || stored[1] != v || stored[2] != w) {
        stored[0] = u;
        stored[1] = v;
        stored[2] = w;
        MarkChanged(STATE_GROUP_ADDRESS);
    }
}

void ZQ_Graphics_SetTextureStageFilter(int32_t stage, uint32_t minFilter, uint32_t magFilter,
                                       uint32_t mipFilter) {
    if (IsStage(stage)) {
        StoreFilters(stage, magFilter, minFilter, StoredMipFilter(mipFilter));
    }
}

void ZQ_Graphics_SetTextureFilter(int32_t filter) {
    const uint32_t value = static_cast<uint32_t>(filter);
    StoreFilters(0, value, value, StoredMipFilter(value));
}

int32_t ZQ_Graphics_GetTextureFilter() {
    return static_cast<int32_t>(g_rendererState.filters[0][FILTER_SLOT_MAG]);
}

void ZQ_Graphics_SetTexture(int32_t stage, zq_bitmap_t* bitmap) {
    if (!IsStage(stage)) {
        return;
    }
    if (bitmap != nullptr && !bitmap->gpu.loaded) {
        bitmap = g_whiteTexture;
    }
    RendererTexture* texture = nullptr;
    if (bitmap != nullptr) {
        texture = bitmap->gpu.texture;
    }
    if (texture != g_rendererState.stageTextures[stage]) {
        g_rendererState.BindStage(stage, bitmap, texture);
    }
}
