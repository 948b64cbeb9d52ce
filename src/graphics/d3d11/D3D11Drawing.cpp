// What the drawing layer binds and draws on the immediate context: shader, textures (with stale
// mip chains rebuilt), scissor off, depth clears and indexed draws. Render thread only.
#include "graphics/d3d11/RendererBuffer.h"
#include "graphics/d3d11/RendererImplementation.h"
#include "graphics/d3d11/RendererTexture.h"

void RendererImplementation::DisableScissor(uint32_t cullMode) {
    if (context == nullptr) {
        return;
    }
    if (cullMode >= RENDERER_CULL_MODES) {
        cullMode = 0;
    }
    scissorOn = 0;
    context->RSSetState(rasterizerStates[cullMode][0]);
}

bool RendererImplementation::ClearDepth(float depth) {
    if (context == nullptr || boundDepthView == nullptr) {
        return false;
    }
    context->ClearDepthStencilView(boundDepthView, D3D11_CLEAR_DEPTH | D3D11_CLEAR_STENCIL, depth, 0);
    return true;
}

void RendererImplementation::BindShader(zq_shader_t* shader) {
    currentShader = shader;
    if (context == nullptr) {
        return;
    }
    const RendererShader* objects =
        shader != nullptr ? static_cast<const RendererShader*>(shader->renderer_data) : nullptr;
    context->VSSetShader(objects != nullptr ? objects->vertexShader : nullptr, nullptr, 0);
    context->PSSetShader(objects != nullptr ? objects->pixelShader : nullptr, nullptr, 0);
    context->IASetInputLayout(objects != nullptr ? objects->inputLayout : nullptr);
}

void RendererImplementation::BindTextures(RendererTexture* const* textures) {
    if (context == nullptr) {
        return;
    }
    ID3D11ShaderResourceView* views[RENDERER_TEXTURE_SLOTS] = {};
    for (int32_t i = 0; i < RENDERER_TEXTURE_SLOTS; ++i) {
        RendererTexture* texture = textures[i];
        if (texture == nullptr) {
            continue;
        }
        if (texture->hasMips && !texture->mipsFresh && texture->view != nullptr) {
            context->GenerateMips(texture->view);
            texture->mipsFresh = 1;
        }
        views[i] = texture->view;
    }
    context->PSSetShaderResources(0, RENDERER_TEXTURE_SLOTS, views);
}

void RendererImplementation::DrawIndexed(bool lines, uint32_t indexCount) {
    if (context == nullptr || indexCount == 0) {
        return;
    }
    context->IASetPrimitiveTopology(lines ? D3D11_PRIMITIVE_TOPOLOGY_LINELIST
                                          : D3D11_PRIMITIVE_TOPOLOGY_TRIANGLELIST);
    context->DrawIndexed(indexCount, 0, 0);
}

void RendererImplementation::DrawIndexedInstanced(uint32_t indexCount, uint32_t instances) {
    if (context == nullptr || indexCount == 0 || instances == 0) {
        return;
    }
    context->IASetPrimitiveTopology(D3D11_PRIMITIVE_TOPOLOGY_TRIANGLELIST);
    context->DrawIndexedInstanced(indexCount, instances, 0, 0, 0);
}
