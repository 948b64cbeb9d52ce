// The recorded pipeline state, group by group, onto the immediate context.
#include "graphics/d3d11/StateSending.h"

namespace {

void BindSampler(RendererImplementation* renderer, int32_t stage) {
    const RendererSamplerSlot& slot = renderer->samplerSlots[stage];
    ID3D11SamplerState* sampler =
        ZQI_SelectSamplerState(renderer->samplerStates, slot.filter[0], slot.filter[1], slot.filter[2],
                               slot.address[0], slot.address[1], slot.address[2]);
    renderer->context->PSSetSamplers(static_cast<UINT>(stage), 1, &sampler);
}

void BindBlendState(RendererImplementation* renderer, int32_t mode) {
    if (mode < 0 || mode >= RENDERER_BLEND_MODES) {
        return;
    }
    ID3D11BlendState* blend = renderer->blendStates[mode][renderer->colorWriteOn ? 1 : 0];
    if (blend != nullptr) {
        renderer->context->OMSetBlendState(blend, nullptr, 0xFFFFFFFF);
    }
}

// Depth test and depth write: a change makes the depth state be rebuilt before the next draw.
void SetDepthSwitch(RendererImplementation* renderer, uint8_t* current, uint32_t value) {
    const uint8_t on = value != 0 ? 1 : 0;
    if (*current != on) {
        *current = on;
        renderer->depthStateValid = 0;
    }
}

}  // namespace

void ZQI_SendAddressModes(RendererImplementation* renderer, HighLevelRendererState* state) {
    for (int32_t stage = 0; stage < ZQI_TEXTURE_STAGES; ++stage) {
        for (int32_t i = 0; i < 3; ++i) {
            renderer->samplerSlots[stage].address[i] = state->address[stage][i];
        }
        BindSampler(renderer, stage);
    }
    state->applied[STATE_GROUP_ADDRESS] = 1;
}

void ZQI_SendFilters(RendererImplementation* renderer, HighLevelRendererState* state) {
    for (int32_t stage = 0; stage < ZQI_TEXTURE_STAGES; ++stage) {
        RendererSamplerSlot& slot = renderer->samplerSlots[stage];
        slot.filter[0] = state->filters[stage][FILTER_SLOT_MIN];
        slot.filter[1] = state->filters[stage][FILTER_SLOT_MAG];
        slot.filter[2] = state->filters[stage][FILTER_SLOT_MIP];
        BindSampler(renderer, stage);
    }
    state->applied[STATE_GROUP_FILTERS] = 1;
}

void ZQI_SendBlendState(RendererImplementation* renderer, HighLevelRendererState* state) {
    BindBlendState(renderer, state->blendMode);
    state->applied[STATE_GROUP_BLEND] = 1;
}

void ZQI_SendRenderStates(RendererImplementation* renderer, HighLevelRendererState* state) {
    for (int32_t id = 0; id < ZQI_RENDER_STATES; ++id) {
        if (state->renderStateSent[id] != 0) {
            continue;
        }
        if (id > ZQI_LAST_APPLIED_RENDER_STATE) {
            break;
        }
        const uint32_t value = state->renderStates[id];
        switch (id) {
            case ZQ_RENDER_STATE_COLOR_WRITE:
                renderer->colorWriteOn = value != 0 ? 1 : 0;
                BindBlendState(renderer, state->blendMode);
                break;
            case ZQ_RENDER_STATE_CULL_MODE: {
                const uint32_t cull = value < RENDERER_CULL_MODES ? value : 0;
                renderer->context->RSSetState(renderer->rasterizerStates[cull][renderer->scissorOn ? 1 : 0]);
                break;
            }
            case ZQ_RENDER_STATE_DEPTH_TEST:
                SetDepthSwitch(renderer, &renderer->depthTestOn, value);
                break;
            case ZQ_RENDER_STATE_DEPTH_FUNC:
                renderer->depthFunction = value;
                renderer->depthStateValid = 0;
                break;
            case ZQ_RENDER_STATE_DEPTH_WRITE:
                SetDepthSwitch(renderer, &renderer->depthWriteOn, value);
                break;
        }
    }
    for (uint32_t& sent : state->renderStateSent) {
        sent = 1;
    }
}
