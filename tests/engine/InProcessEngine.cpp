// The engine inside a test process: the platform functions zorqa.exe's entry installs, and the
// back buffer's read-back.
#include "InProcessEngine.h"

#include <windows.h>

#include <cstring>

#include "core/CommandLine.h"
#include "core/CoreState.h"
#include "engine/RuntimePlatform.h"
#include "graphics/d3d11/RendererImplementation.h"
#include "platform/windows/GameWindow.h"
#include "platform/windows/PlatformCommands.h"
#include "platform/windows/Popups.h"
#include "platform/windows/ProcessGlobals.h"
#include "platform/windows/ProgramLibrary.h"
#include "platform/windows/SoundChoice.h"

namespace {

void* GameWindowHandle() {
    return ZQI_GetGameWindow();
}

}  // namespace

void InstallInProcessPlatform() {
    ZQI_InstallPopupMessageBox();
    ZQI_InstallProgramLibraryLoader();
    RuntimePlatform platform = {};
    platform.CreateGameWindow = CreateGameWindow;
    platform.GetGameWindow = GameWindowHandle;
    platform.DestroyGameWindow = DestroyGameWindow;
    platform.SetWindowRecreating = ZQI_SetGameWindowRecreating;
    platform.LoadSoundImplementation = LoadSoundImplementation;
    platform.UnloadProgramLibrary = UnloadProgramLibrary;
    platform.CallPlatformCommand = CallPlatformCommand;  // the clipboard, among others
    ZQI_SetRuntimePlatform(&platform);
    ZQI_SetCommandLine("--features NO_POPUPS,LOGS_IN_WORKING_DIR");
    g_core.commandLine = const_cast<char*>(ZQI_GetCommandLine());
    ZQI_SetInstanceHandle(GetModuleHandleA(nullptr));
}

std::vector<uint32_t> ReadBackBuffer(const RendererImplementation& renderer, uint32_t* width) {
    std::vector<uint32_t> words;
    ID3D11Texture2D* backBuffer = nullptr;
    if (renderer.swapChain == nullptr ||
        FAILED(renderer.swapChain->GetBuffer(0, __uuidof(ID3D11Texture2D),
                                             reinterpret_cast<void**>(&backBuffer)))) {
        return words;
    }
    D3D11_TEXTURE2D_DESC desc;
    backBuffer->GetDesc(&desc);
    desc.Usage = D3D11_USAGE_STAGING;
    desc.BindFlags = 0;
    desc.CPUAccessFlags = D3D11_CPU_ACCESS_READ;
    desc.MiscFlags = 0;
    ID3D11Texture2D* staging = nullptr;
    if (SUCCEEDED(renderer.device->CreateTexture2D(&desc, nullptr, &staging))) {
        renderer.context->CopyResource(staging, backBuffer);
        D3D11_MAPPED_SUBRESOURCE mapped;
        if (SUCCEEDED(renderer.context->Map(staging, 0, D3D11_MAP_READ, 0, &mapped))) {
            words.resize(static_cast<size_t>(desc.Width) * desc.Height);
            for (UINT y = 0; y < desc.Height; ++y) {
                memcpy(&words[static_cast<size_t>(y) * desc.Width],
                       static_cast<const uint8_t*>(mapped.pData) + static_cast<size_t>(y) * mapped.RowPitch,
                       desc.Width * 4u);
            }
            renderer.context->Unmap(staging, 0);
        }
        staging->Release();
    }
    backBuffer->Release();
    *width = desc.Width;
    return words;
}
