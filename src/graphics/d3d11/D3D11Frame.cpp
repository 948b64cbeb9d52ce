// Per-frame operations of the back end: viewport, render-target binding, clear, scissor and
// present. Render thread only; they touch the immediate context.
#include "graphics/d3d11/RendererImplementation.h"

#include "core/ApiTable.h"
#include "graphics/d3d11/RendererTexture.h"

namespace {

// The view of one colour entry: face 0 of a 2D target, the entry's face of a cube target. A
// bitmap that is not on the GPU or names a face it does not have binds nothing there.
ID3D11RenderTargetView* ColorTargetView(const zq_bitmap_t* bitmap, int32_t face) {
    RendererTexture* texture = bitmap->gpu.texture;
    if (texture == nullptr) {
        return nullptr;
    }
    int32_t index = bitmap->type == ZQ_TEXTURE_TYPE_2D ? 0 : face;
    if (index < 0 || index >= RENDERER_TEXTURE_FACES) {
        return nullptr;
    }
    // Drawing into level 0 leaves the smaller levels behind; they are rebuilt before sampling.
    if (texture->hasMips) {
        texture->mipsFresh = 0;
    }
    return texture->targetViews[index];
}

ID3D11DepthStencilView* DepthTargetView(const zq_bitmap_t* bitmap) {
    if (bitmap == nullptr || bitmap->gpu.texture == nullptr) {
        return nullptr;
    }
    return bitmap->gpu.texture->depthView;
}

}  // namespace

void RendererImplementation::SetViewport(int32_t x, int32_t y, uint32_t width, uint32_t height) {
    if (context == nullptr) {
        return;
    }
    D3D11_VIEWPORT viewport;
    viewport.TopLeftX = static_cast<float>(x);
    viewport.TopLeftY = static_cast<float>(y);
    viewport.Width = static_cast<float>(width);
    viewport.Height = static_cast<float>(height);
    viewport.MinDepth = 0.0f;
    viewport.MaxDepth = 1.0f;
    context->RSSetViewports(1, &viewport);
}

bool RendererImplementation::SetRenderTargets(const zq_render_targets_t& targets) {
    ID3D11RenderTargetView* colorViews[RENDERER_COLOR_TARGETS] = {};
    for (int i = 0; i < RENDERER_COLOR_TARGETS; ++i) {
        if (targets.color[i] != nullptr) {
            colorViews[i] = ColorTargetView(targets.color[i], targets.face[i]);
        }
    }
    ID3D11DepthStencilView* depthStencilView = DepthTargetView(targets.depth);
    // No colour target 0 means the screen: its own depth buffer goes with it, whatever depth
    // target was given.
    if (targets.color[0] == nullptr) {
        colorViews[0] = backBufferView;
        depthStencilView = depthView;
    }
    for (int i = 0; i < RENDERER_COLOR_TARGETS; ++i) {
        boundColorViews[i] = colorViews[i];
    }
    boundDepthView = depthStencilView;
    if (context != nullptr) {
        context->OMSetRenderTargets(RENDERER_COLOR_TARGETS, colorViews, depthStencilView);
    }
    return true;
}

void RendererImplementation::ClearRenderTargets(float r, float g, float b, float a) {
    if (context == nullptr) {
        return;
    }
    const float color[4] = {r, g, b, a};
    for (ID3D11RenderTargetView* view : boundColorViews) {
        if (view != nullptr) {
            context->ClearRenderTargetView(view, color);
        }
    }
}

bool RendererImplementation::SetScissorRectangle(int32_t x, int32_t y, int32_t width, int32_t height,
                                                 uint32_t cullMode) {
    if (device == nullptr) {
        return false;
    }
    if (cullMode >= RENDERER_CULL_MODES) {
        cullMode = 0;  // not a cull mode: no culling rather than reading past the table
    }
    scissorOn = 1;
    context->RSSetState(rasterizerStates[cullMode][1]);
    D3D11_RECT rectangle;
    rectangle.left = x > 0 ? x : 0;
    rectangle.top = y > 0 ? y : 0;
    rectangle.right = x + width;
    rectangle.bottom = y + height;
    context->RSSetScissorRects(1, &rectangle);
    return true;
}

void RendererImplementation::Present() {
    if (device == nullptr || !initialised || swapChain == nullptr) {
        return;
    }
    HRESULT result = swapChain->Present(syncInterval, 0);
    if (SUCCEEDED(result)) {
        return;
    }
    ZQ_Log(1, "D3D11 renderer failed to present a frame.");
    if (result == DXGI_ERROR_DEVICE_REMOVED) {
        ZQ_Log(1, "D3D11 renderer: the device has been removed: 0x%x.",
               static_cast<unsigned>(device->GetDeviceRemovedReason()));
    } else if (result == DXGI_ERROR_DEVICE_RESET) {
        ZQ_Log(1, "D3D11 renderer: the device has been reset.");
    }
}
