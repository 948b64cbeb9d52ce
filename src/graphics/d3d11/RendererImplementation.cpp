// The back end's life cycle: Initialize brings up device, swap chain and back-buffer targets in
// one go or not at all; Release takes every Direct3D object down in dependency order; ReportError
// is the one error path of the Direct3D calls.
#include "graphics/d3d11/RendererImplementation.h"

#include "core/ApiTable.h"
#include "foundation/ComPointer.h"

namespace {

void ReleasePipelineStates(RendererImplementation* renderer) {
    for (auto& modeStates : renderer->blendStates) {
        for (ID3D11BlendState*& state : modeStates) {
            ZQI_ReleaseComPointer(&state);
        }
    }
    ZQI_ReleaseComPointer(&renderer->depthStencilState);
    for (auto& row : renderer->samplerStates) {
        for (ID3D11SamplerState*& state : row) {
            ZQI_ReleaseComPointer(&state);
        }
    }
    for (auto& cullStates : renderer->rasterizerStates) {
        for (ID3D11RasterizerState*& state : cullStates) {
            ZQI_ReleaseComPointer(&state);
        }
    }
}

}  // namespace

RendererImplementation::~RendererImplementation() {
    Release();
    ReleaseAdapter();
}

bool RendererImplementation::Initialize(const RendererPlatform& platformBlock) {
    if (device != nullptr) {
        Release();  // a second start must not leak the first device
    }
    platform = platformBlock;
    syncInterval = platformBlock.verticalSync;

    // Without an output attached to the desktop there is no display to present to.
    if ((adapterBlock.adapter == nullptr || adapterBlock.outputs.count == 0) && !OpenDefaultAdapter()) {
        ZQ_Log(
            2,
            "RendererImplementation::Initialize: no display adapter with an output attached to the desktop.");
        Release();
        return false;
    }
    if (!CreateDevice() || !CreateSwapChain() || !CreateBackBufferTargets() || !CreatePipelineStates()) {
        Release();
        return false;
    }
    initialised = 1;
    return true;
}

void RendererImplementation::Release() {
    if (context != nullptr) {
        context->ClearState();
    }
    ReleasePipelineStates(this);
    ReleaseBackBufferTargets();
    if (context != nullptr) {
        context->Flush();  // drops the context's deferred references before the device goes
    }
    ZQI_ReleaseComPointer(&swapChain1);
    ZQI_ReleaseComPointer(&swapChain);
    ZQI_ReleaseComPointer(&device1);
    ZQI_ReleaseComPointer(&context);
    ZQI_ReleaseComPointer(&device);
    currentShader = nullptr;
    depthStateValid = 0;
    scissorOn = 0;
    initialised = 0;
}

void RendererImplementation::ReportError(ErrorCode code, HRESULT result, const String& message) {
    String text(message);
    if (device != nullptr) {
        HRESULT reason = device->GetDeviceRemovedReason();
        if (FAILED(reason)) {
            char* reasonText = ZQI_GetSystemErrorText(static_cast<uint32_t>(reason));
            bool known = reasonText != nullptr && reasonText[0] != '\0';
            text.Append("\n\nDevice was removed due to '");
            text.Append(known ? reasonText : "unknown reason");
            text.AppendFormat("' (0x%08X).", static_cast<unsigned>(reason));
            ZQI_ReleaseSystemErrorText(reasonText);
        }
    }
    if (!text.IsEmpty()) {
        ZQI_ReportError(code, static_cast<uint32_t>(result), "%s", text.CStr());
    } else {
        ZQI_ReportPlatformError(code, static_cast<int32_t>(result), "");
    }
}
