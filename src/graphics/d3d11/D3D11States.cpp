// The fixed tables of pipeline states the drawing layers index (blend [mode][colour write],
// rasterizer [cull][scissor], sampler [filter row][address modes]) and the one depth-stencil
// state, rebuilt when the depth settings change. Made once when the device starts.
#include <cfloat>
#include <cstring>

#include "core/ApiTable.h"
#include "foundation/ComPointer.h"
#include "graphics/d3d11/RendererImplementation.h"

namespace {

const int32_t kAnisotropicGroup = -1;
const int32_t kFilterGroups = 8;
const UINT kAnisotropyLevel9_1 = 2;
const UINT kAnisotropy = 8;

D3D11_TEXTURE_ADDRESS_MODE ToAddressMode(uint32_t engineMode) {
    switch (engineMode) {
        case ZQ_TEXTURE_ADDRESS_WRAP:
            return D3D11_TEXTURE_ADDRESS_WRAP;
        case ZQ_TEXTURE_ADDRESS_MIRROR:
            return D3D11_TEXTURE_ADDRESS_MIRROR;
        default:
            return D3D11_TEXTURE_ADDRESS_CLAMP;
    }
}

// Source and destination factors of one blend mode (1..8).
struct BlendFactors {
    D3D11_BLEND source;
    D3D11_BLEND destination;
    D3D11_BLEND_OP operation;
    BOOL enabled;
};

const BlendFactors kBlendModes[RENDERER_BLEND_MODES] = {
    {D3D11_BLEND_ONE, D3D11_BLEND_ZERO, D3D11_BLEND_OP_ADD, FALSE},                // 0: no state
    {D3D11_BLEND_SRC_ALPHA, D3D11_BLEND_INV_SRC_ALPHA, D3D11_BLEND_OP_ADD, TRUE},  // ALPHA
    {D3D11_BLEND_SRC_ALPHA, D3D11_BLEND_ONE, D3D11_BLEND_OP_ADD, TRUE},            // ADD
    {D3D11_BLEND_ONE, D3D11_BLEND_ZERO, D3D11_BLEND_OP_ADD, FALSE},                // OPAQUE
    {D3D11_BLEND_SRC_ALPHA, D3D11_BLEND_ONE, D3D11_BLEND_OP_REV_SUBTRACT, TRUE},   // SUBTRACT
    {D3D11_BLEND_DEST_COLOR, D3D11_BLEND_ZERO, D3D11_BLEND_OP_ADD, TRUE},          // MULTIPLY
    {D3D11_BLEND_DEST_COLOR, D3D11_BLEND_SRC_COLOR, D3D11_BLEND_OP_ADD, TRUE},     // MULTIPLY_2X
    {D3D11_BLEND_DEST_COLOR, D3D11_BLEND_ONE, D3D11_BLEND_OP_ADD, TRUE},           // MULTIPLY_ADD
    {D3D11_BLEND_ONE, D3D11_BLEND_INV_SRC_ALPHA, D3D11_BLEND_OP_ADD, TRUE},        // PREMULTIPLIED_ALPHA
};

D3D11_BLEND_DESC BlendDescription(int32_t mode, UINT8 writeMask) {
    D3D11_BLEND_DESC desc = {};
    desc.AlphaToCoverageEnable = FALSE;
    desc.IndependentBlendEnable = FALSE;
    const BlendFactors& factors = kBlendModes[mode];
    for (int32_t target = 0; target < RENDERER_COLOR_TARGETS; ++target) {
        D3D11_RENDER_TARGET_BLEND_DESC& blend = desc.RenderTarget[target];
        blend.BlendEnable = factors.enabled;
        blend.SrcBlend = factors.source;
        blend.DestBlend = factors.destination;
        blend.BlendOp = factors.operation;
        blend.SrcBlendAlpha = factors.enabled ? D3D11_BLEND_SRC_ALPHA : D3D11_BLEND_ONE;
        blend.DestBlendAlpha = factors.enabled ? D3D11_BLEND_ONE : D3D11_BLEND_ZERO;
        blend.BlendOpAlpha = D3D11_BLEND_OP_ADD;
        blend.RenderTargetWriteMask = writeMask;
    }
    return desc;
}

D3D11_SAMPLER_DESC SamplerTemplate() {
    D3D11_SAMPLER_DESC desc = {};
    desc.MipLODBias = 0.0f;
    desc.ComparisonFunc = D3D11_COMPARISON_NEVER;
    desc.MinLOD = 0.0f;
    desc.MaxLOD = FLT_MAX;
    desc.MaxAnisotropy = 1;
    return desc;
}

}  // namespace

ID3D11SamplerState* ZQI_SelectSamplerState(
    ID3D11SamplerState* const table[RENDERER_SAMPLER_ROWS][RENDERER_SAMPLER_COLUMNS], uint32_t minFilter,
    uint32_t magFilter, uint32_t mipFilter, uint32_t addressU, uint32_t addressV, uint32_t addressW) {
    int32_t column = 9 * (int32_t(addressU) - 1) + 3 * (int32_t(addressV) - 1) + (int32_t(addressW) - 1);
    if (column < 0 || column >= RENDERER_SAMPLER_COLUMNS) {
        column = 0;  // not address modes: clamp
    }
    int32_t row = 0;
    if (minFilter != ZQ_TEXTURE_FILTER_ANISOTROPIC && magFilter != ZQ_TEXTURE_FILTER_ANISOTROPIC &&
        mipFilter != ZQ_TEXTURE_FILTER_ANISOTROPIC) {
        row = 1 + 4 * (int32_t(minFilter) - 1) + 2 * (int32_t(magFilter) - 1) + (int32_t(mipFilter) - 1);
    }
    if (row < 0 || row >= RENDERER_SAMPLER_ROWS) {
        row = 0;
    }
    return table[row][column];
}

bool RendererImplementation::CreatePipelineStates() {
    for (int32_t scissor = 0; scissor < 2; ++scissor) {
        for (int32_t cull = 0; cull < RENDERER_CULL_MODES; ++cull) {
            D3D11_RASTERIZER_DESC desc = {};
            desc.FillMode = D3D11_FILL_SOLID;
            desc.CullMode = static_cast<D3D11_CULL_MODE>(D3D11_CULL_NONE + cull);
            desc.FrontCounterClockwise = FALSE;
            desc.DepthClipEnable = TRUE;
            desc.ScissorEnable = scissor;
            rasterizerStates[cull][scissor] = CreateRasterizerState(desc);
            if (rasterizerStates[cull][scissor] == nullptr) {
                return false;
            }
        }
    }
    const D3D11_SAMPLER_DESC samplerTemplate = SamplerTemplate();
    for (int32_t group = 0; group < kFilterGroups; ++group) {
        if (!CreateSamplerStates(samplerTemplate, group + 1, group)) {
            return false;
        }
    }
    if (!CreateSamplerStates(samplerTemplate, 0, kAnisotropicGroup)) {
        return false;
    }
    for (RendererSamplerSlot& slot : samplerSlots) {
        for (int32_t i = 0; i < 3; ++i) {
            slot.filter[i] = 1;
            slot.address[i] = 1;
        }
    }
    return ApplyDepthState() && CreateBlendStates();
}

bool RendererImplementation::ApplyDepthState() {
    if (device == nullptr) {
        return false;
    }
    D3D11_DEPTH_STENCIL_DESC desc = {};
    desc.DepthEnable = depthTestOn ? TRUE : FALSE;
    desc.DepthWriteMask = depthWriteOn ? D3D11_DEPTH_WRITE_MASK_ALL : D3D11_DEPTH_WRITE_MASK_ZERO;
    // Engine functions 0..7 are the Direct3D comparisons NEVER .. ALWAYS.
    const int32_t comparison =
        depthFunction <= ZQ_DEPTH_FUNC_ALWAYS ? int32_t(depthFunction) + 1 : int32_t(D3D11_COMPARISON_LESS);
    desc.DepthFunc = static_cast<D3D11_COMPARISON_FUNC>(comparison);
    desc.StencilEnable = FALSE;
    ID3D11DepthStencilState* state = nullptr;
    HRESULT result = device->CreateDepthStencilState(&desc, &state);
    if (FAILED(result)) {
        ReportError(ERRCODE_D3D11_CREATE_DEPTH_STENCIL_STATE, result,
                    String::FromFormat("DepthFunc = %i", comparison));
        return false;
    }
    ZQI_ReleaseComPointer(&depthStencilState);
    depthStencilState = state;
    context->OMSetDepthStencilState(depthStencilState, 0);
    return true;
}

bool RendererImplementation::CreateBlendStates() {
    const UINT8 writeMasks[2] = {0, D3D11_COLOR_WRITE_ENABLE_ALL};
    for (int32_t write = 0; write < 2; ++write) {
        for (int32_t mode = ZQ_BLEND_MODE_ALPHA; mode < RENDERER_BLEND_MODES; ++mode) {
            const D3D11_BLEND_DESC desc = BlendDescription(mode, writeMasks[write]);
            HRESULT result = device->CreateBlendState(&desc, &blendStates[mode][write]);
            if (FAILED(result)) {
                ReportError(
                    ERRCODE_D3D11_CREATE_BLEND_STATE, result,
                    String::FromFormat("Blend = %i\nColor write = %s", mode, write ? "true" : "false"));
                return false;
            }
        }
    }
    return true;
}

ID3D11RasterizerState* RendererImplementation::CreateRasterizerState(const D3D11_RASTERIZER_DESC& desc) {
    ID3D11RasterizerState* state = nullptr;
    HRESULT result;
    if (device1 != nullptr) {
        D3D11_RASTERIZER_DESC1 desc1;
        memcpy(&desc1, &desc, sizeof(desc));
        desc1.ForcedSampleCount = 0;
        ID3D11RasterizerState1* state1 = nullptr;
        result = device1->CreateRasterizerState1(&desc1, &state1);
        if (SUCCEEDED(result)) {
            result =
                state1->QueryInterface(__uuidof(ID3D11RasterizerState), reinterpret_cast<void**>(&state));
            state1->Release();
        }
    } else {
        result = device->CreateRasterizerState(&desc, &state);
    }
    if (FAILED(result)) {
        ReportError(ERRCODE_D3D11_CREATE_RASTERIZER_STATE, result,
                    String::FromFormat("CullMode = %i\nScissorEnable = %i", int(desc.CullMode),
                                       int(desc.ScissorEnable)));
        return nullptr;
    }
    return state;
}

bool RendererImplementation::CreateSamplerStates(const D3D11_SAMPLER_DESC& templateDesc, int32_t row,
                                                 int32_t filterGroup) {
    D3D11_SAMPLER_DESC desc = templateDesc;
    if (filterGroup == kAnisotropicGroup) {
        desc.Filter = D3D11_FILTER_ANISOTROPIC;
        desc.MaxAnisotropy = featureLevel == D3D_FEATURE_LEVEL_9_1 ? kAnisotropyLevel9_1 : kAnisotropy;
    } else {
        const int32_t min = filterGroup / 4;
        const int32_t mag = (filterGroup / 2) % 2;
        const int32_t mip = filterGroup % 2;
        desc.Filter = static_cast<D3D11_FILTER>(16 * min + 4 * mag + mip);
    }
    for (int32_t i = 0; i < RENDERER_SAMPLER_COLUMNS; ++i) {
        const uint32_t u = uint32_t(i / 9) + 1;
        const uint32_t v = uint32_t((i / 3) % 3) + 1;
        const uint32_t w = uint32_t(i % 3) + 1;
        desc.AddressU = ToAddressMode(u);
        desc.AddressV = ToAddressMode(v);
        desc.AddressW = ToAddressMode(w);
        HRESULT result = device->CreateSamplerState(&desc, &samplerStates[row][i]);
        if (FAILED(result)) {
            ReportError(ERRCODE_D3D11_CREATE_SAMPLER_STATE, result,
                        String::FromFormat("Filter = %i\nAddressU/V/W = %i/%i/%i\nMaxAnisotropy = %u",
                                           int(desc.Filter), int(desc.AddressU), int(desc.AddressV),
                                           int(desc.AddressW), desc.MaxAnisotropy));
            return false;
        }
    }
    return true;
}
