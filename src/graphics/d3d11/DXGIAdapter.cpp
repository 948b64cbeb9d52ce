// The DXGI side of the back end: the factory behind an adapter or a device, the first adapter,
// its outputs attached to the desktop, and the adapter's name.
#include "graphics/d3d11/RendererImplementation.h"

#include "core/CoreState.h"
#include "foundation/ComPointer.h"

namespace {

const int kAdapterNameBytes = 128;

void ReleaseOutputs(RendererAdapter* block) {
    for (IDXGIOutput*& output : block->outputs) {
        ZQI_ReleaseComPointer(&output);
    }
    block->outputs.Clear();
}

// Keeps output (and its reference) in the list when it shows part of the desktop.
void KeepWhenAttached(RendererAdapter* block, IDXGIOutput* output) {
    DXGI_OUTPUT_DESC desc;
    if (SUCCEEDED(output->GetDesc(&desc)) && desc.AttachedToDesktop) {
        int32_t before = block->outputs.count;
        block->outputs.Push(output);
        if (block->outputs.count > before) {
            return;
        }
    }
    output->Release();
}

}  // namespace

IDXGIFactory1* RendererImplementation::CreateFactory() {
    IDXGIFactory1* factory = nullptr;
    HRESULT result = CreateDXGIFactory1(__uuidof(IDXGIFactory1), reinterpret_cast<void**>(&factory));
    if (FAILED(result)) {
        ZQI_ReportError(ERRCODE_DXGI_GET_FACTORY, static_cast<uint32_t>(result), "%s", "Create");
        return nullptr;
    }
    return factory;
}

IDXGIFactory1* RendererImplementation::GetFactoryFromAdapter(IDXGIAdapter* adapter) {
    IDXGIFactory1* factory = nullptr;
    HRESULT result = adapter != nullptr
                         ? adapter->GetParent(__uuidof(IDXGIFactory1), reinterpret_cast<void**>(&factory))
                         : E_POINTER;
    if (FAILED(result)) {
        ZQI_ReportError(ERRCODE_DXGI_GET_FACTORY, static_cast<uint32_t>(result), "%s",
                        "Get from D3D adapter");
        return nullptr;
    }
    return factory;
}

IDXGIFactory1* RendererImplementation::GetFactoryFromDevice(ID3D11Device* fromDevice) {
    IDXGIDevice* dxgiDevice = nullptr;
    HRESULT result = fromDevice != nullptr ? fromDevice->QueryInterface(__uuidof(IDXGIDevice),
                                                                        reinterpret_cast<void**>(&dxgiDevice))
                                           : E_POINTER;
    if (FAILED(result)) {
        ZQI_ReportError(ERRCODE_DXGI_GET_FACTORY, static_cast<uint32_t>(result), "%s",
                        "Get DXGI device from D3D device");
        return nullptr;
    }
    IDXGIAdapter* adapter = nullptr;
    result = dxgiDevice->GetAdapter(&adapter);
    dxgiDevice->Release();
    if (FAILED(result)) {
        ZQI_ReportError(ERRCODE_DXGI_GET_FACTORY, static_cast<uint32_t>(result), "%s",
                        "Get DXGI adapter from DXGI device");
        return nullptr;
    }
    IDXGIFactory1* factory = nullptr;
    result = adapter->GetParent(__uuidof(IDXGIFactory1), reinterpret_cast<void**>(&factory));
    adapter->Release();
    if (FAILED(result)) {
        ZQI_ReportError(ERRCODE_DXGI_GET_FACTORY, static_cast<uint32_t>(result), "%s",
                        "Get from DXGI adapter");
        return nullptr;
    }
    return factory;
}

IDXGIFactory2* ZQI_QueryDXGIFactory2(IDXGIFactory1* factory) {
    IDXGIFactory2* factory2 = nullptr;
    if (factory == nullptr ||
        FAILED(factory->QueryInterface(__uuidof(IDXGIFactory2), reinterpret_cast<void**>(&factory2)))) {
        return nullptr;
    }
    return factory2;
}

bool RendererImplementation::OpenDefaultAdapter() {
    IDXGIFactory1* factory = CreateFactory();
    if (factory == nullptr) {
        return false;
    }
    // The outputs belong to the adapter they came from.
    ReleaseOutputs(&adapterBlock);
    ZQI_ReleaseComPointer(&adapterBlock.adapter);
    HRESULT result = factory->EnumAdapters(0, &adapterBlock.adapter);
    factory->Release();
    if (FAILED(result)) {
        adapterBlock.adapter = nullptr;
        ZQI_ReportPlatformError(ERRCODE_DXGI_ENUMERATE_ADAPTERS, static_cast<int32_t>(result), "");
        return false;
    }
    return ZQI_EnumerateAdapterOutputs(&adapterBlock);
}

void RendererImplementation::ReleaseAdapter() {
    ReleaseOutputs(&adapterBlock);
    ZQI_ReleaseComPointer(&adapterBlock.adapter);
    displayModes.Clear();
    displayModes.Reserve(0);  // with nothing left, this frees the storage
    displayModesText.Assign(nullptr);
}

bool ZQI_EnumerateAdapterOutputs(RendererAdapter* block) {
    if (block == nullptr || block->adapter == nullptr) {
        return false;
    }
    for (UINT i = 0;; ++i) {
        IDXGIOutput* output = nullptr;
        HRESULT result = block->adapter->EnumOutputs(i, &output);
        if (result == DXGI_ERROR_NOT_FOUND) {
            return block->outputs.count > 0;
        }
        if (FAILED(result)) {
            ZQI_ReportPlatformError(ERRCODE_DXGI_ENUMERATE_OUTPUTS, static_cast<int32_t>(result), "");
            ReleaseOutputs(block);
            return false;
        }
        KeepWhenAttached(block, output);
    }
}

int32_t ZQI_RefreshDisplayOutputs(RendererAdapter* block) {
    if (block == nullptr) {
        return 0;
    }
    Array<IDXGIOutput*> previous = block->outputs;
    block->outputs.Clear();
    if (ZQI_EnumerateAdapterOutputs(block)) {
        for (IDXGIOutput* output : previous) {
            output->Release();
        }
    } else {
        // The failed walk released whatever it had found; the old outputs are still valid.
        block->outputs = previous;
    }
    return block->outputs.count;
}

String ZQI_GetAdapterName() {
    String name;
    RendererImplementation* renderer = g_core.renderer;
    if (renderer == nullptr || renderer->adapterBlock.adapter == nullptr) {
        return name;
    }
    DXGI_ADAPTER_DESC desc;
    if (FAILED(renderer->adapterBlock.adapter->GetDesc(&desc))) {
        return name;
    }
    char buffer[kAdapterNameBytes] = {};
    WideCharToMultiByte(CP_UTF8, 0, desc.Description, -1, buffer, kAdapterNameBytes, nullptr, nullptr);
    buffer[kAdapterNameBytes - 1] = '\0';
    name.Assign(buffer);
    return name;
}
