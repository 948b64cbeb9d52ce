// Test window, message capture and pixel read-back for the Direct3D 11 back end's tests.
#include "RendererTestSupport.h"

#include <cstring>

#include "core/Console.h"
#include "core/CoreState.h"
#include "core/Log.h"
#include "foundation/FoundationHooks.h"

namespace {

const char kWindowClass[] = "ZorqaRendererTestWindow";

std::vector<CapturedReport> g_reports;

void CaptureReport(int32_t level, const char* text) {
    g_reports.push_back({level, text});
}
bool NotDeveloperMode() {
    return false;
}

}  // namespace

TestWindow::TestWindow(int width, int height) {
    static bool registered = false;
    if (!registered) {
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = DefWindowProcA;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = kWindowClass;
        registered = RegisterClassA(&windowClass) != 0;
    }
    // Frameless: framed windows have a minimum width larger than the sizes tested here.
    handle_ = CreateWindowExA(0, kWindowClass, "renderer test", WS_POPUP, 0, 0, width, height, nullptr,
                              nullptr, GetModuleHandleA(nullptr), nullptr);
}

TestWindow::~TestWindow() {
    if (handle_ != nullptr) {
        DestroyWindow(handle_);
    }
}

bool ReadTexturePixels(const RendererImplementation& renderer, ID3D11Texture2D* texture,
                       TexturePixels* pixels) {
    D3D11_TEXTURE2D_DESC desc;
    texture->GetDesc(&desc);
    if (desc.Format != DXGI_FORMAT_B8G8R8A8_UNORM) {
        return false;
    }
    const std::vector<uint8_t> texels = ReadTexels(&renderer, texture, 0, 0, &pixels->width, &pixels->height);
    pixels->words.resize(texels.size() / 4);
    memcpy(pixels->words.data(), texels.data(), texels.size());
    return !texels.empty();
}

std::vector<uint8_t> ReadTexels(const RendererImplementation* renderer, ID3D11Texture2D* texture, UINT level,
                                UINT slice, UINT* width, UINT* height) {
    D3D11_TEXTURE2D_DESC desc;
    texture->GetDesc(&desc);
    const UINT levelWidth = std::max(desc.Width >> level, 1u);
    const UINT levelHeight = std::max(desc.Height >> level, 1u);
    D3D11_TEXTURE2D_DESC staging = desc;
    staging.Width = levelWidth;
    staging.Height = levelHeight;
    staging.MipLevels = 1;
    staging.ArraySize = 1;
    staging.Usage = D3D11_USAGE_STAGING;
    staging.BindFlags = 0;
    staging.CPUAccessFlags = D3D11_CPU_ACCESS_READ;
    staging.MiscFlags = 0;
    ID3D11Texture2D* copy = nullptr;
    std::vector<uint8_t> texels;
    if (FAILED(renderer->device->CreateTexture2D(&staging, nullptr, &copy))) {
        return texels;
    }
    renderer->context->CopySubresourceRegion(copy, 0, 0, 0, 0, texture,
                                             D3D11CalcSubresource(level, slice, desc.MipLevels), nullptr);
    D3D11_MAPPED_SUBRESOURCE mapped;
    if (SUCCEEDED(renderer->context->Map(copy, 0, D3D11_MAP_READ, 0, &mapped))) {
        for (UINT y = 0; y < levelHeight; ++y) {
            const uint8_t* row = static_cast<const uint8_t*>(mapped.pData) + size_t(y) * mapped.RowPitch;
            texels.insert(texels.end(), row, row + levelWidth * 4);
        }
        renderer->context->Unmap(copy, 0);
    }
    copy->Release();
    if (width != nullptr) {
        *width = levelWidth;
    }
    if (height != nullptr) {
        *height = levelHeight;
    }
    return texels;
}

bool ReadBackBuffer(const RendererImplementation& renderer, TexturePixels* pixels) {
    ID3D11Texture2D* backBuffer = nullptr;
    if (renderer.swapChain == nullptr ||
        FAILED(renderer.swapChain->GetBuffer(0, __uuidof(ID3D11Texture2D),
                                             reinterpret_cast<void**>(&backBuffer)))) {
        return false;
    }
    bool read = ReadTexturePixels(renderer, backBuffer, pixels);
    backBuffer->Release();
    return read;
}

bool AllPixelsAre(const TexturePixels& pixels, uint32_t word) {
    for (uint32_t pixel : pixels.words) {
        if (pixel != word) {
            return false;
        }
    }
    return !pixels.words.empty();
}

RendererPlatform WindowedPlatform(HWND window) {
    RendererPlatform platform = {};
    platform.window = window;
    platform.verticalSync = 1;
    return platform;
}

void RendererTest::SetUp() {
    g_reports.clear();
    ZQI_ErrorReportSink sink = {CaptureReport, CaptureReport, NotDeveloperMode};
    ZQI_SetErrorReportSink(&sink);
    g_core.consoleEnabled = 1;
    g_core.developerMode = 0;
    g_core.logVerboseLevel = LOG_LEVEL_INFO;
    LogSettings settings = {};
    settings.loggingEnabled = true;
    settings.verboseThreshold = LOG_LEVEL_INFO;
    ZQI_StartLog(ZQI_GetConsole(), settings);
}

void RendererTest::TearDown() {
    // A swap chain still alive when the process exits may get it killed under Wine.
    for (RendererImplementation* renderer : renderers_) {
        if (g_core.renderer == renderer) {
            g_core.renderer = nullptr;
        }
        delete renderer;
    }
    renderers_.clear();
    ZQI_StopLog(ZQI_GetConsole());
    ZQI_SetErrorReportSink(nullptr);
}

RendererImplementation* RendererTest::NewRenderer() {
    renderers_.push_back(new RendererImplementation());
    return renderers_.back();
}

bool RendererTest::HasLogLine(const std::string& line) const {
    const Console* console = ZQI_GetConsole();
    for (const ConsoleLine& logged : console->lines) {
        if (logged.text != nullptr && line == logged.text) {
            return true;
        }
    }
    return false;
}

const std::vector<CapturedReport>& RendererTest::Reports() const {
    return g_reports;
}
