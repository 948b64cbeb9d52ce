// The swap chain for the game window and the targets built on its back buffer: the colour view,
// the depth buffer and its view.
#include "graphics/d3d11/RendererImplementation.h"

#include "core/ApiTable.h"
#include "foundation/ComPointer.h"

namespace {

const DXGI_FORMAT kBackBufferFormat = DXGI_FORMAT_B8G8R8A8_UNORM;
const UINT kBackBufferCount = 2;
// The engine handles Alt+Enter and mode changes itself.
const UINT kWindowAssociation = DXGI_MWA_NO_WINDOW_CHANGES | DXGI_MWA_NO_ALT_ENTER;

// Flip model (DXGI 1.2 and later); width and height 0 take the window's client size.
HRESULT CreateFlipSwapChain(IDXGIFactory2* factory, ID3D11Device* device, HWND window,
                            IDXGISwapChain1** swapChain1, IDXGISwapChain** swapChain) {
    DXGI_SWAP_CHAIN_DESC1 desc = {};
    desc.Width = 0;
    desc.Height = 0;
    desc.Format = kBackBufferFormat;
    desc.Stereo = FALSE;
    desc.SampleDesc.Count = 1;
    desc.SampleDesc.Quality = 0;
    desc.BufferUsage = DXGI_USAGE_RENDER_TARGET_OUTPUT;
    desc.BufferCount = kBackBufferCount;
    desc.Scaling = DXGI_SCALING_STRETCH;
    desc.SwapEffect = DXGI_SWAP_EFFECT_FLIP_SEQUENTIAL;
    desc.AlphaMode = DXGI_ALPHA_MODE_UNSPECIFIED;
    desc.Flags = 0;
    HRESULT result = factory->CreateSwapChainForHwnd(device, window, &desc, nullptr, nullptr, swapChain1);
    if (FAILED(result)) {
        return result;
    }
    result = factory->MakeWindowAssociation(window, kWindowAssociation);
    if (FAILED(result)) {
        return result;
    }
    return (*swapChain1)->QueryInterface(__uuidof(IDXGISwapChain), reinterpret_cast<void**>(swapChain));
}

// The older path, through the factory behind the device.
HRESULT CreateDiscardSwapChain(IDXGIFactory1* factory, ID3D11Device* device, HWND window,
                               IDXGISwapChain** swapChain) {
    DXGI_SWAP_CHAIN_DESC desc = {};
    desc.BufferDesc.Width = 0;
    desc.BufferDesc.Height = 0;
    desc.BufferDesc.RefreshRate.Numerator = 0;
    desc.BufferDesc.RefreshRate.Denominator = 0;
    desc.BufferDesc.Format = kBackBufferFormat;
    desc.BufferDesc.ScanlineOrdering = DXGI_MODE_SCANLINE_ORDER_UNSPECIFIED;
    desc.BufferDesc.Scaling = DXGI_MODE_SCALING_UNSPECIFIED;
    desc.SampleDesc.Count = 1;
    desc.SampleDesc.Quality = 0;
    desc.BufferUsage = DXGI_USAGE_RENDER_TARGET_OUTPUT;
    desc.BufferCount = kBackBufferCount;
    desc.OutputWindow = window;
    desc.Windowed = TRUE;
    desc.SwapEffect = DXGI_SWAP_EFFECT_DISCARD;
    desc.Flags = 0;
    HRESULT result = factory->CreateSwapChain(device, &desc, swapChain);
    if (FAILED(result)) {
        return result;
    }
    return factory->MakeWindowAssociation(window, kWindowAssociation);
}

bool IsFullscreen(const RendererPlatform& platform) {
    return platform.parameters != nullptr && platform.parameters->windowed == 0;
}

}  // namespace

bool RendererImplementation::CreateSwapChain() {
    IDXGIFactory1* adapterFactory = GetFactoryFromAdapter(adapterBlock.adapter);
    IDXGIFactory2* factory2 = ZQI_QueryDXGIFactory2(adapterFactory);
    HRESULT result = E_FAIL;
    if (!IsWindow(platform.window)) {
        // Wine's DXGI makes a swap chain for any handle, even one that is no window, and Present
        // then shows nothing; Windows refuses such a handle with this result.
        result = DXGI_ERROR_INVALID_CALL;
    } else if (factory2 != nullptr) {
        result = CreateFlipSwapChain(factory2, device, platform.window, &swapChain1, &swapChain);
    } else {
        IDXGIFactory1* deviceFactory = GetFactoryFromDevice(device);
        if (deviceFactory != nullptr) {
            result = CreateDiscardSwapChain(deviceFactory, device, platform.window, &swapChain);
            deviceFactory->Release();
        }
    }
    // Fullscreen keeps the window covering the output and gives the back buffer the program's
    // resolution; the output scales it.
    if (SUCCEEDED(result) && IsFullscreen(platform)) {
        result =
            swapChain->ResizeBuffers(kBackBufferCount, static_cast<UINT>(platform.parameters->width),
                                     static_cast<UINT>(platform.parameters->height), kBackBufferFormat, 0);
    }
    bool usedFactory2 = factory2 != nullptr;
    ZQI_ReleaseComPointer(&factory2);
    ZQI_ReleaseComPointer(&adapterFactory);
    if (FAILED(result)) {
        ReportError(ERRCODE_D3D11_CREATE_SDR_SWAP_CHAIN, result,
                    String::FromFormat("dxgi_factory2 %s nullptr", usedFactory2 ? "!=" : "=="));
        return false;
    }
    return true;
}

bool RendererImplementation::CreateBackBufferTargets() {
    if (device == nullptr || swapChain == nullptr) {
        ZQ_Log(2, "RendererImplementation::CreateBackBufferTargets: no device or swap chain.");
        return false;
    }
    ReleaseBackBufferTargets();  // targets of a previous buffer size would leak otherwise

    ID3D11Texture2D* backBuffer = nullptr;
    HRESULT result =
        swapChain->GetBuffer(0, __uuidof(ID3D11Texture2D), reinterpret_cast<void**>(&backBuffer));
    if (FAILED(result)) {
        ReportError(ERRCODE_D3D11_GET_SWAP_CHAIN_COLOR_BUFFER, result, String());
        return false;
    }
    result = device->CreateRenderTargetView(backBuffer, nullptr, &backBufferView);
    if (FAILED(result)) {
        backBuffer->Release();
        backBufferView = nullptr;
        ReportError(ERRCODE_D3D11_CREATE_SWAP_CHAIN_COLOR_VIEW, result, String());
        return false;
    }
    D3D11_TEXTURE2D_DESC backBufferDesc;
    backBuffer->GetDesc(&backBufferDesc);
    backBuffer->Release();

    DXGI_FORMAT depthFormat =
        (capabilities & RENDERER_CAPS_DEPTH32) != 0 ? DXGI_FORMAT_D32_FLOAT : DXGI_FORMAT_D24_UNORM_S8_UINT;
    D3D11_TEXTURE2D_DESC depthDesc = {};
    depthDesc.Width = backBufferDesc.Width;
    depthDesc.Height = backBufferDesc.Height;
    depthDesc.MipLevels = 1;
    depthDesc.ArraySize = 1;
    depthDesc.Format = depthFormat;
    depthDesc.SampleDesc.Count = 1;
    depthDesc.Usage = D3D11_USAGE_DEFAULT;
    depthDesc.BindFlags = D3D11_BIND_DEPTH_STENCIL;
    result = device->CreateTexture2D(&depthDesc, nullptr, &depthTexture);
    if (FAILED(result)) {
        depthTexture = nullptr;
        ReportError(ERRCODE_D3D11_CREATE_SWAP_CHAIN_DEPTH_BUFFER, result, String());
        return false;
    }
    D3D11_DEPTH_STENCIL_VIEW_DESC depthViewDesc = {};
    depthViewDesc.Format = depthFormat;
    depthViewDesc.ViewDimension = D3D11_DSV_DIMENSION_TEXTURE2D;
    depthViewDesc.Texture2D.MipSlice = 0;
    result = device->CreateDepthStencilView(depthTexture, &depthViewDesc, &depthView);
    if (FAILED(result)) {
        depthView = nullptr;
        ReportError(ERRCODE_D3D11_CREATE_SWAP_CHAIN_DEPTH_VIEW, result, String());
        return false;
    }

    backBufferWidth = backBufferDesc.Width;
    backBufferHeight = backBufferDesc.Height;
    SetViewport(0, 0, backBufferDesc.Width, backBufferDesc.Height);
    ZQ_Log(3, "D3D11 renderer created color render target view with dimensions %i x %i",
           static_cast<int>(backBufferDesc.Width), static_cast<int>(backBufferDesc.Height));
    zq_render_targets_t backBufferOnly = {};
    SetRenderTargets(backBufferOnly);
    return true;
}

void RendererImplementation::ReleaseBackBufferTargets() {
    // The context's bindings hold references too; the swap chain cannot resize while they live.
    for (ID3D11RenderTargetView*& view : boundColorViews) {
        view = nullptr;
    }
    boundDepthView = nullptr;
    if (context != nullptr) {
        ID3D11RenderTargetView* noViews[RENDERER_COLOR_TARGETS] = {};
        context->OMSetRenderTargets(RENDERER_COLOR_TARGETS, noViews, nullptr);
    }
    ZQI_ReleaseComPointer(&depthView);
    ZQI_ReleaseComPointer(&depthTexture);
    ZQI_ReleaseComPointer(&backBufferView);
    backBufferWidth = backBufferHeight = 0;
}
