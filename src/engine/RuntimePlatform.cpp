// The installed platform, renderer and clock functions, with their defaults.
#include <windows.h>

#include "engine/RuntimePlatform.h"

#include "core/CoreState.h"
#include "core/Sys.h"
#include "core/Threads.h"
#include "graphics/d3d11/RendererImplementation.h"

namespace {

// ---- Platform defaults: no window, no sound back end, nothing to unload ----

bool NoGameWindow() {
    return false;
}
void* NoWindowHandle() {
    return nullptr;
}
void NothingToDestroy() {}
void IgnoreRecreating(bool) {}
SoundImplementation* NoSoundImplementation() {
    return nullptr;
}
void NothingToUnload() {}
const char* NoPlatformCommands(const char*, const char*) {
    return nullptr;
}
InputImp* NoGamepadImplementation() {
    return nullptr;
}

const RuntimePlatform kDefaultPlatform = {NoGameWindow,       NoWindowHandle,         NothingToDestroy,
                                          IgnoreRecreating,   NoSoundImplementation,  NothingToUnload,
                                          NoPlatformCommands, NoGamepadImplementation};
RuntimePlatform g_platform = kDefaultPlatform;

// ---- Renderer defaults: the Direct3D 11 back end ----

const UINT kBackBufferCount = 2;

bool InitializeDirect3D(RendererImplementation* renderer, const RendererPlatform& platform) {
    return renderer->Initialize(platform);
}

void ReleaseDirect3D(RendererImplementation* renderer) {
    renderer->Release();
}

void GetDirect3DDisplayModes(int32_t displayIndex, Array<Resolution>& out) {
    RendererImplementation* renderer = g_core.renderer;
    if (renderer == nullptr) {
        return;
    }
    renderer->displayModes.Clear();
    renderer->GetDisplayModes(displayIndex);
    for (const Resolution& mode : renderer->displayModes) {
        out.Push(mode);
    }
}

bool ResizeDirect3DSwapChain(RendererImplementation* renderer, int32_t displayIndex, int32_t width,
                             int32_t height, bool windowed) {
    if (renderer->swapChain == nullptr) {
        return false;
    }
    renderer->ReleaseBackBufferTargets();
    renderer->ApplyWindowStyle(displayIndex, width, height, windowed);
    HRESULT result = renderer->swapChain->ResizeBuffers(
        kBackBufferCount, static_cast<UINT>(width), static_cast<UINT>(height), DXGI_FORMAT_B8G8R8A8_UNORM, 0);
    if (FAILED(result)) {
        return false;
    }
    return renderer->CreateBackBufferTargets();
}

void PresentDirect3D(RendererImplementation* renderer) {
    renderer->Present();
}

bool GetDirect3DOutputDesktopSize(RendererImplementation* renderer, int32_t displayIndex, int32_t* width,
                                  int32_t* height) {
    const Array<IDXGIOutput*>& outputs = renderer->adapterBlock.outputs;
    if (displayIndex < 0 || displayIndex >= outputs.count) {
        return false;
    }
    DXGI_OUTPUT_DESC desc;
    if (FAILED(outputs[displayIndex]->GetDesc(&desc))) {
        return false;
    }
    *width = desc.DesktopCoordinates.right - desc.DesktopCoordinates.left;
    *height = desc.DesktopCoordinates.bottom - desc.DesktopCoordinates.top;
    return true;
}

const RuntimeRendererCalls kDefaultRendererCalls = {InitializeDirect3D,      ReleaseDirect3D,
                                                    GetDirect3DDisplayModes, ResizeDirect3DSwapChain,
                                                    PresentDirect3D,         GetDirect3DOutputDesktopSize};
RuntimeRendererCalls g_rendererCalls = kDefaultRendererCalls;

// ---- Clock defaults: the system millisecond clock and the threading API's sleep ----

const RuntimeClock kDefaultClock = {ZQI_SysMilliseconds, ZQ_Threading_Sleep};
RuntimeClock g_clock = kDefaultClock;

// Copies each non-null member of source over the default.
template <typename Record, typename Member>
void TakeMember(Member Record::*member, const Record& source, Record& target) {
    if (source.*member != nullptr) {
        target.*member = source.*member;
    }
}

}  // namespace

void ZQI_SetRuntimePlatform(const RuntimePlatform* platform) {
    g_platform = kDefaultPlatform;
    if (platform == nullptr) {
        return;
    }
    TakeMember(&RuntimePlatform::CreateGameWindow, *platform, g_platform);
    TakeMember(&RuntimePlatform::GetGameWindow, *platform, g_platform);
    TakeMember(&RuntimePlatform::DestroyGameWindow, *platform, g_platform);
    TakeMember(&RuntimePlatform::SetWindowRecreating, *platform, g_platform);
    TakeMember(&RuntimePlatform::LoadSoundImplementation, *platform, g_platform);
    TakeMember(&RuntimePlatform::UnloadProgramLibrary, *platform, g_platform);
    TakeMember(&RuntimePlatform::CallPlatformCommand, *platform, g_platform);
    TakeMember(&RuntimePlatform::CreateGamepadImplementation, *platform, g_platform);
}

const RuntimePlatform& ZQI_GetRuntimePlatform() {
    return g_platform;
}

void ZQI_SetRuntimeRendererCalls(const RuntimeRendererCalls* calls) {
    g_rendererCalls = kDefaultRendererCalls;
    if (calls == nullptr) {
        return;
    }
    TakeMember(&RuntimeRendererCalls::Initialize, *calls, g_rendererCalls);
    TakeMember(&RuntimeRendererCalls::Release, *calls, g_rendererCalls);
    TakeMember(&RuntimeRendererCalls::GetDisplayModes, *calls, g_rendererCalls);
    TakeMember(&RuntimeRendererCalls::ResizeSwapChain, *calls, g_rendererCalls);
    TakeMember(&RuntimeRendererCalls::Present, *calls, g_rendererCalls);
    TakeMember(&RuntimeRendererCalls::GetOutputDesktopSize, *calls, g_rendererCalls);
}

const RuntimeRendererCalls& ZQI_GetRuntimeRendererCalls() {
    return g_rendererCalls;
}

void ZQI_SetRuntimeClock(const RuntimeClock* clock) {
    g_clock = kDefaultClock;
    if (clock == nullptr) {
        return;
    }
    TakeMember(&RuntimeClock::Milliseconds, *clock, g_clock);
    TakeMember(&RuntimeClock::Sleep, *clock, g_clock);
}

const RuntimeClock& ZQI_GetRuntimeClock() {
    return g_clock;
}
