// Start-up, release and failure paths of the Direct3D 11 back end, checked through exact pixels
// read back from the GPU and through the device's reference count.
#include <string>
#include <vector>

#include "RendererTestSupport.h"

namespace {

std::string LevelLine(const char* driver, D3D_FEATURE_LEVEL level) {
    const char* name = level == D3D_FEATURE_LEVEL_11_1   ? "11_1"
                       : level == D3D_FEATURE_LEVEL_11_0 ? "11_0"
                       : level == D3D_FEATURE_LEVEL_10_1 ? "10_1"
                                                         : "10_0";
    return std::string("[SYSTEM] D3D11 renderer created a ") + driver + " device of feature level " + name;
}

bool StartsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}
bool EndsWith(const std::string& text, const std::string& suffix) {
    return text.size() >= suffix.size() &&
           text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// A device creation entry point that refuses what the test asks it to, so the fall-backs can be
// watched on a runtime that would never take them by itself.
struct CreateCall {
    D3D_DRIVER_TYPE type;
    UINT levelCount;
};
std::vector<CreateCall> g_calls;
bool g_refuse11_1 = false;      // an older runtime: a list naming 11_1 is an invalid argument
bool g_refuseHardware = false;  // no usable GPU driver
bool g_refuseEverything = false;

HRESULT WINAPI RefusingCreateDevice(IDXGIAdapter* adapter, D3D_DRIVER_TYPE type, HMODULE software, UINT flags,
                                    const D3D_FEATURE_LEVEL* levels, UINT count, UINT sdk,
                                    ID3D11Device** device, D3D_FEATURE_LEVEL* level,
                                    ID3D11DeviceContext** context) {
    g_calls.push_back({type, count});
    if (g_refuse11_1 && count > 0 && levels[0] == D3D_FEATURE_LEVEL_11_1) {
        return E_INVALIDARG;
    }
    if (g_refuseEverything || (g_refuseHardware && type == D3D_DRIVER_TYPE_HARDWARE)) {
        return DXGI_ERROR_UNSUPPORTED;
    }
    return D3D11CreateDevice(adapter, type, software, flags, levels, count, sdk, device, level, context);
}

UINT BackBufferSize(const RendererImplementation& renderer, UINT* height) {
    TexturePixels pixels;
    EXPECT_TRUE(ReadBackBuffer(renderer, &pixels));
    *height = pixels.height;
    return pixels.width;
}

}  // namespace

TEST_F(RendererTest, InitializeGivesAClearableBackBufferAndItsCapabilities) {
    TestWindow window(64, 48);
    RendererImplementation* renderer = NewRenderer();
    EXPECT_EQ(static_cast<uint32_t>(D3D_FEATURE_LEVEL_9_1), renderer->featureLevel);  // defaults
    EXPECT_EQ(1u, renderer->depthFunction);
    RendererPlatform platform = WindowedPlatform(window.handle());
    platform.verticalSync = 0;
    ASSERT_TRUE(renderer->Initialize(platform));
    EXPECT_EQ(1, renderer->initialised);
    EXPECT_EQ(0u, renderer->syncInterval);

    renderer->ClearRenderTargets(1.0f, 0.2f, 0.6f, 1.0f);
    TexturePixels pixels;
    ASSERT_TRUE(ReadBackBuffer(*renderer, &pixels));
    EXPECT_EQ(64u, pixels.width);
    EXPECT_EQ(48u, pixels.height);
    EXPECT_TRUE(AllPixelsAre(pixels, 0xFFFF3399u));  // A 255, R 255, G 51, B 153
    renderer->ClearRenderTargets(0.0f, 1.0f, 0.0f, 0.4f);
    ASSERT_TRUE(ReadBackBuffer(*renderer, &pixels));
    EXPECT_TRUE(AllPixelsAre(pixels, 0x6600FF00u));
    renderer->Present();

    D3D_FEATURE_LEVEL level = renderer->device->GetFeatureLevel();
    EXPECT_EQ(static_cast<uint32_t>(level), renderer->featureLevel);
    EXPECT_TRUE(HasLogLine(LevelLine("hardware", level)));
    EXPECT_TRUE(
        HasLogLine("[SYSTEM] D3D11 renderer created color render target view with dimensions 64 x 48"));
    EXPECT_FALSE(HasLogLine("[WARNING] D3D11 renderer failed to present a frame."));
    EXPECT_NE(0u, renderer->capabilities & RENDERER_CAPS_NON_POWER_OF_TWO);  // 10_0 and up
    D3D11_TEXTURE2D_DESC depth;
    renderer->depthTexture->GetDesc(&depth);
    EXPECT_EQ((renderer->capabilities & RENDERER_CAPS_DEPTH32) != 0 ? DXGI_FORMAT_D32_FLOAT
                                                                    : DXGI_FORMAT_D24_UNORM_S8_UINT,
              depth.Format);
    EXPECT_EQ(64u, depth.Width);
    EXPECT_EQ(1u, renderer->samplerSlots[7].filter[2]);
    EXPECT_EQ(1u, renderer->samplerSlots[0].address[0]);
    EXPECT_TRUE(Reports().empty());
}

TEST_F(RendererTest, FullscreenBackBufferHasTheProgramsSize) {
    TestWindow window(64, 48);
    zq_parameters_t parameters = {};
    parameters.width = 96;
    parameters.height = 80;
    parameters.windowed = 1;
    RendererPlatform platform = WindowedPlatform(window.handle());
    platform.parameters = &parameters;
    RendererImplementation* renderer = NewRenderer();
    ASSERT_TRUE(renderer->Initialize(platform));
    UINT height = 0;
    EXPECT_EQ(64u, BackBufferSize(*renderer, &height));  // windowed: the client area
    EXPECT_EQ(48u, height);

    parameters.windowed = 0;
    ASSERT_TRUE(renderer->Initialize(platform));
    EXPECT_EQ(96u, BackBufferSize(*renderer, &height));
    EXPECT_EQ(80u, height);
    EXPECT_TRUE(
        HasLogLine("[SYSTEM] D3D11 renderer created color render target view with dimensions 96 x 80"));
}

TEST_F(RendererTest, ReleaseLeavesNothingAliveAndInitializeWorksAgain) {
    TestWindow window(40, 30);
    RendererImplementation* renderer = NewRenderer();
    ASSERT_TRUE(renderer->Initialize(WindowedPlatform(window.handle())));
    ID3D11Device* first = renderer->device;
    first->AddRef();
    // A second start replaces the first device entirely.
    ASSERT_TRUE(renderer->Initialize(WindowedPlatform(window.handle())));
    EXPECT_EQ(0u, first->Release());

    renderer->Present();
    ID3D11Device* device = renderer->device;
    device->AddRef();
    renderer->Release();
    // Swap chain, views, depth buffer and context all gave their hold on the device back.
    EXPECT_EQ(0u, device->Release());
    EXPECT_EQ(nullptr, renderer->device);
    EXPECT_EQ(nullptr, renderer->device1);
    EXPECT_EQ(nullptr, renderer->context);
    EXPECT_EQ(nullptr, renderer->swapChain);
    EXPECT_EQ(nullptr, renderer->swapChain1);
    EXPECT_EQ(nullptr, renderer->backBufferView);
    EXPECT_EQ(nullptr, renderer->depthView);
    EXPECT_EQ(nullptr, renderer->boundColorViews[0]);
    EXPECT_EQ(0, renderer->initialised);
    EXPECT_NE(nullptr, renderer->adapterBlock.adapter);  // kept across display changes
    renderer->Present();                                 // nothing to present

    ASSERT_TRUE(renderer->Initialize(WindowedPlatform(window.handle())));
    renderer->ClearRenderTargets(0.2f, 0.4f, 0.6f, 0.8f);
    TexturePixels pixels;
    ASSERT_TRUE(ReadBackBuffer(*renderer, &pixels));
    EXPECT_TRUE(AllPixelsAre(pixels, 0xCC336699u));
}

TEST_F(RendererTest, InvalidWindowFailsWithAReportAndLeavesNothingBehind) {
    HWND destroyed;
    {
        TestWindow window(16, 16);
        destroyed = window.handle();
    }
    for (HWND invalid : {reinterpret_cast<HWND>(static_cast<uintptr_t>(0x5A5A)), destroyed}) {
        RendererImplementation* renderer = NewRenderer();
        size_t reportsBefore = Reports().size();
        EXPECT_FALSE(renderer->Initialize(WindowedPlatform(invalid)));
        ASSERT_EQ(reportsBefore + 1, Reports().size());
        const CapturedReport& report = Reports().back();
        EXPECT_EQ(2, report.level);
        EXPECT_TRUE(StartsWith(report.text,
                               "D3D11 Renderer error: failed to create the SDR swap chain (0x00010004)\n\n"
                               "Windows error 0x887A0001: "))
            << report.text;
        EXPECT_TRUE(EndsWith(report.text, "\n\ndxgi_factory2 != nullptr")) << report.text;
        EXPECT_EQ(nullptr, renderer->device);
        EXPECT_EQ(nullptr, renderer->swapChain);
        EXPECT_EQ(0, renderer->initialised);
        renderer->Present();
        renderer->ClearRenderTargets(1.0f, 1.0f, 1.0f, 1.0f);
        EXPECT_FALSE(renderer->SetScissorRectangle(0, 0, 1, 1, 0));
    }
}

TEST_F(RendererTest, DeviceCreationFallsBack) {
    g_calls.clear();
    g_refuse11_1 = true;
    RendererImplementation* older = NewRenderer();
    ASSERT_TRUE(older->CreateDevice(RefusingCreateDevice));
    g_refuse11_1 = false;
    ASSERT_EQ(2u, g_calls.size());  // 7 levels refused, then 6 from 11_0 down
    EXPECT_EQ(7u, g_calls[0].levelCount);
    EXPECT_EQ(6u, g_calls[1].levelCount);
    EXPECT_EQ(D3D_DRIVER_TYPE_HARDWARE, g_calls[1].type);
    EXPECT_EQ(static_cast<uint32_t>(D3D_FEATURE_LEVEL_11_0), older->featureLevel);
    EXPECT_TRUE(HasLogLine(LevelLine("hardware", D3D_FEATURE_LEVEL_11_0)));

    g_calls.clear();
    g_refuseHardware = true;
    RendererImplementation* software = NewRenderer();
    ASSERT_TRUE(software->CreateDevice(RefusingCreateDevice));  // Wine provides WARP
    g_refuseHardware = false;
    ASSERT_EQ(2u, g_calls.size());
    EXPECT_EQ(D3D_DRIVER_TYPE_WARP, g_calls[1].type);
    EXPECT_TRUE(HasLogLine(LevelLine("WARP", software->device->GetFeatureLevel())));
    EXPECT_TRUE(Reports().empty());

    g_calls.clear();
    g_refuseEverything = true;
    RendererImplementation* none = NewRenderer();
    EXPECT_FALSE(none->CreateDevice(RefusingCreateDevice));
    g_refuseEverything = false;
    EXPECT_EQ(2u, g_calls.size());
    EXPECT_EQ(nullptr, none->device);
    EXPECT_EQ(nullptr, none->context);
    ASSERT_EQ(1u, Reports().size());
    EXPECT_EQ(2, Reports()[0].level);
    // DXGI_ERROR_UNSUPPORTED is 0x887A0004.
    EXPECT_EQ(
        "D3D11 Renderer error: failed to create the D3D device (0x00010001, platform error -2005270524).",
        Reports()[0].text);
}

TEST_F(RendererTest, ReportErrorForms) {
    TestWindow window(16, 16);
    RendererImplementation* renderer = NewRenderer();
    renderer->ReportError(ERRCODE_D3D11_CREATE_RASTERIZER_STATE, E_FAIL, String());
    renderer->ReportError(ERRCODE_D3D11_CREATE_BUFFER, E_INVALIDARG, String("Vertex buffer"));
    ASSERT_TRUE(renderer->Initialize(WindowedPlatform(window.handle())));
    renderer->ReportError(ERRCODE_D3D11_CREATE_BLEND_STATE, E_FAIL, String("Blend = 3\nColor write = true"));
    ASSERT_EQ(3u, Reports().size());
    EXPECT_EQ(
        "D3D11 Renderer error: failed to create a rasterizer state (0x0001000B, platform error -2147467259).",
        Reports()[0].text);
    EXPECT_TRUE(StartsWith(
        Reports()[1].text,
        "D3D11 Renderer error: failed to create a buffer (0x00010000)\n\nWindows error 0x80070057: "))
        << Reports()[1].text;
    EXPECT_TRUE(EndsWith(Reports()[1].text, "\n\nVertex buffer")) << Reports()[1].text;
    // A live device that was not removed adds nothing to the message.
    EXPECT_TRUE(EndsWith(Reports()[2].text, "\n\nBlend = 3\nColor write = true")) << Reports()[2].text;
}
