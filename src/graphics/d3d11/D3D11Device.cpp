// Device creation: the hardware driver first, WARP when there is no usable GPU, and the
// capability flags that decide how resources are made later.
#include "graphics/d3d11/RendererImplementation.h"

#include "core/ApiTable.h"
#include "foundation/ComPointer.h"

namespace {

const D3D_FEATURE_LEVEL kFeatureLevels[] = {
    D3D_FEATURE_LEVEL_11_1, D3D_FEATURE_LEVEL_11_0, D3D_FEATURE_LEVEL_10_1, D3D_FEATURE_LEVEL_10_0,
    D3D_FEATURE_LEVEL_9_3,  D3D_FEATURE_LEVEL_9_2,  D3D_FEATURE_LEVEL_9_1,
};
const UINT kFeatureLevelCount = sizeof(kFeatureLevels) / sizeof(kFeatureLevels[0]);

struct DriverChoice {
    D3D_DRIVER_TYPE type;
    const char* name;  // as the log names it
};
const DriverChoice kDriverChoices[] = {
    {D3D_DRIVER_TYPE_HARDWARE, "hardware"},
    {D3D_DRIVER_TYPE_WARP, "WARP"},
};

const char* FeatureLevelName(uint32_t level) {
    switch (level) {
        case D3D_FEATURE_LEVEL_11_1:
            return "11_1";
        case D3D_FEATURE_LEVEL_11_0:
            return "11_0";
        case D3D_FEATURE_LEVEL_10_1:
            return "10_1";
        case D3D_FEATURE_LEVEL_10_0:
            return "10_0";
        case D3D_FEATURE_LEVEL_9_3:
            return "9_3";
        case D3D_FEATURE_LEVEL_9_2:
            return "9_2";
        case D3D_FEATURE_LEVEL_9_1:
            return "9_1";
        default:
            return "";
    }
}

bool IsLevel9(uint32_t level) {
    return level == D3D_FEATURE_LEVEL_9_1 || level == D3D_FEATURE_LEVEL_9_2 || level == D3D_FEATURE_LEVEL_9_3;
}

// Runtimes older than Direct3D 11.1 refuse a level list that names 11_1 with E_INVALIDARG
// instead of skipping it, so they are asked again from 11_0 down.
HRESULT CreateWithLevelFallback(PFN_D3D11_CREATE_DEVICE createDevice, D3D_DRIVER_TYPE type,
                                ID3D11Device** device, D3D_FEATURE_LEVEL* level,
                                ID3D11DeviceContext** context) {
    HRESULT result = createDevice(nullptr, type, nullptr, 0, kFeatureLevels, kFeatureLevelCount,
                                  D3D11_SDK_VERSION, device, level, context);
    if (result == E_INVALIDARG) {
        result = createDevice(nullptr, type, nullptr, 0, kFeatureLevels + 1, kFeatureLevelCount - 1,
                              D3D11_SDK_VERSION, device, level, context);
    }
    return result;
}

bool FormatSupports(ID3D11Device* device, DXGI_FORMAT format, UINT wanted) {
    UINT support = 0;
    return SUCCEEDED(device->CheckFormatSupport(format, &support)) && (support & wanted) != 0;
}

bool SupportsNonPowerOfTwo(ID3D11Device* device, uint32_t level) {
    if (!IsLevel9(level)) {
        return true;
    }
    D3D11_FEATURE_DATA_D3D9_OPTIONS options = {};
    return SUCCEEDED(device->CheckFeatureSupport(D3D11_FEATURE_D3D9_OPTIONS, &options, sizeof(options))) &&
           options.FullNonPow2TextureSupport;
}

bool SupportsConcurrentCreates(ID3D11Device* device) {
    D3D11_FEATURE_DATA_THREADING threading = {};
    return SUCCEEDED(device->CheckFeatureSupport(D3D11_FEATURE_THREADING, &threading, sizeof(threading))) &&
           threading.DriverConcurrentCreates;
}

uint32_t FindCapabilities(ID3D11Device* device, uint32_t level) {
    uint32_t capabilities = 0;
    if (FormatSupports(device, DXGI_FORMAT_D32_FLOAT, D3D11_FORMAT_SUPPORT_DEPTH_STENCIL)) {
        capabilities |= RENDERER_CAPS_DEPTH32;
    }
    if (FormatSupports(device, DXGI_FORMAT_B8G8R8A8_UNORM, D3D11_FORMAT_SUPPORT_IA_VERTEX_BUFFER)) {
        capabilities |= RENDERER_CAPS_BGRA_VERTEX_COLOR;
    }
    if (SupportsNonPowerOfTwo(device, level)) {
        capabilities |= RENDERER_CAPS_NON_POWER_OF_TWO;
    }
    if (SupportsConcurrentCreates(device)) {
        capabilities |= RENDERER_CAPS_CONCURRENT_CREATES;
    }
    return capabilities;
}

}  // namespace

bool RendererImplementation::CreateDevice(PFN_D3D11_CREATE_DEVICE createDevice) {
    HRESULT result = E_FAIL;
    const DriverChoice* chosen = nullptr;
    D3D_FEATURE_LEVEL level = D3D_FEATURE_LEVEL_9_1;
    for (const DriverChoice& choice : kDriverChoices) {
        result = CreateWithLevelFallback(createDevice, choice.type, &device, &level, &context);
        if (SUCCEEDED(result) && device != nullptr && context != nullptr) {
            chosen = &choice;
            break;
        }
        // A failed call may still have handed out one of the two.
        ZQI_ReleaseComPointer(&context);
        ZQI_ReleaseComPointer(&device);
    }
    if (chosen == nullptr) {
        ReportError(ERRCODE_D3D11_CREATE_DEVICE, FAILED(result) ? result : E_FAIL, String());
        return false;
    }
    featureLevel = static_cast<uint32_t>(level);
    ZQ_Log(3, "D3D11 renderer created a %s device of feature level %s", chosen->name,
           FeatureLevelName(featureLevel));

    if (FAILED(device->QueryInterface(__uuidof(ID3D11Device1), reinterpret_cast<void**>(&device1)))) {
        device1 = nullptr;
    }
    capabilities = FindCapabilities(device, featureLevel);
    return true;
}
