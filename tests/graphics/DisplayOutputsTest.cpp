// DXGI adapters, outputs and display modes of the Direct3D 11 back end, and the window's style
// and place for a display mode.
#include <set>
#include <string>
#include <utility>

#include "RendererTestSupport.h"
#include "core/CoreState.h"

namespace {

// Every distinct B8G8R8A8 size of the output, asked for directly and ordered by width, then height.
std::set<std::pair<int, int>> DistinctModeSizes(IDXGIOutput* output) {
    std::set<std::pair<int, int>> sizes;
    UINT count = 0;
    output->GetDisplayModeList(DXGI_FORMAT_B8G8R8A8_UNORM, 0, &count, nullptr);
    std::vector<DXGI_MODE_DESC> modes(count);
    if (count > 0 &&
        SUCCEEDED(output->GetDisplayModeList(DXGI_FORMAT_B8G8R8A8_UNORM, 0, &count, modes.data()))) {
        for (UINT i = 0; i < count; ++i) {
            sizes.insert({static_cast<int>(modes[i].Width), static_cast<int>(modes[i].Height)});
        }
    }
    return sizes;
}

RECT DesktopRectangle(IDXGIOutput* output) {
    DXGI_OUTPUT_DESC desc = {};
    EXPECT_EQ(S_OK, output->GetDesc(&desc));
    return desc.DesktopCoordinates;
}

}  // namespace

TEST_F(RendererTest, AdapterKeepsItsDesktopOutputs) {
    RendererImplementation* renderer = NewRenderer();
    ASSERT_TRUE(renderer->OpenDefaultAdapter());
    ASSERT_GE(renderer->adapterBlock.outputs.count, 1);
    for (IDXGIOutput* output : renderer->adapterBlock.outputs) {
        DXGI_OUTPUT_DESC desc;
        ASSERT_EQ(S_OK, output->GetDesc(&desc));
        EXPECT_TRUE(desc.AttachedToDesktop);
    }
    int32_t outputs = renderer->adapterBlock.outputs.count;

    // Refreshing swaps the list; the old outputs' references are given back.
    IDXGIOutput* oldOutput = renderer->adapterBlock.outputs[0];
    oldOutput->AddRef();
    EXPECT_EQ(outputs, ZQI_RefreshDisplayOutputs(&renderer->adapterBlock));
    EXPECT_EQ(0u, oldOutput->Release());

    // Opening again replaces the adapter and its outputs instead of adding to them.
    IDXGIAdapter* oldAdapter = renderer->adapterBlock.adapter;
    oldAdapter->AddRef();
    ASSERT_TRUE(renderer->OpenDefaultAdapter());
    EXPECT_EQ(outputs, renderer->adapterBlock.outputs.count);
    EXPECT_EQ(0u, oldAdapter->Release());

    RendererAdapter none = {};
    EXPECT_FALSE(ZQI_EnumerateAdapterOutputs(&none));
    EXPECT_EQ(0, ZQI_RefreshDisplayOutputs(&none));
    EXPECT_TRUE(Reports().empty());
}

TEST_F(RendererTest, FactoriesComeFromAdapterAndDevice) {
    RendererImplementation* renderer = NewRenderer();
    ASSERT_TRUE(renderer->OpenDefaultAdapter());
    ASSERT_TRUE(renderer->CreateDevice());
    IDXGIFactory1* fromAdapter = renderer->GetFactoryFromAdapter(renderer->adapterBlock.adapter);
    IDXGIFactory1* fromDevice = renderer->GetFactoryFromDevice(renderer->device);
    ASSERT_NE(nullptr, fromAdapter);
    ASSERT_NE(nullptr, fromDevice);
    IDXGIFactory2* factory2 = ZQI_QueryDXGIFactory2(fromAdapter);
    EXPECT_NE(nullptr, factory2);
    factory2->Release();
    fromAdapter->Release();
    fromDevice->Release();
    EXPECT_EQ(nullptr, ZQI_QueryDXGIFactory2(nullptr));
    EXPECT_TRUE(Reports().empty());

    EXPECT_EQ(nullptr, renderer->GetFactoryFromDevice(nullptr));
    ASSERT_EQ(1u, Reports().size());
    EXPECT_EQ(0u, Reports()[0].text.find("D3D11/12 DXGI error: failed to get a DXGI factory (0x00030003)"));
    EXPECT_NE(std::string::npos, Reports()[0].text.find("\n\nGet DXGI device from D3D device"));
}

TEST_F(RendererTest, DisplayModesListEachSizeOnceAndSorted) {
    EXPECT_EQ(nullptr, ZQI_GetSupportedResolutionsText(0));  // no renderer
    RendererImplementation* renderer = NewRenderer();
    renderer->GetDisplayModes(0);  // opens the adapter itself
    ASSERT_GE(renderer->adapterBlock.outputs.count, 1);
    std::set<std::pair<int, int>> expected = DistinctModeSizes(renderer->adapterBlock.outputs[0]);
    ASSERT_FALSE(expected.empty());
    std::set<std::pair<int, int>> listed;
    for (const Resolution& size : renderer->displayModes) {
        EXPECT_TRUE(listed.insert({size.width, size.height}).second) << size.width << "x" << size.height;
    }
    EXPECT_EQ(expected, listed);
    renderer->GetDisplayModes(0);  // not cleared, and nothing is added twice
    EXPECT_EQ(static_cast<int32_t>(expected.size()), renderer->displayModes.count);
    EXPECT_EQ(0, ZQI_GetOutputDisplayModes(&renderer->adapterBlock, 9).count);

    g_core.renderer = renderer;
    std::string text;
    for (const std::pair<int, int>& size : expected) {
        text += (text.empty() ? "" : ",") + std::to_string(size.first) + "x" + std::to_string(size.second);
    }
    const char* supported = ZQI_GetSupportedResolutionsText(0);
    ASSERT_NE(nullptr, supported);
    EXPECT_EQ(text, supported);
    EXPECT_EQ(static_cast<int32_t>(expected.size()), renderer->displayModes.count);  // emptied first
    EXPECT_EQ(nullptr, ZQI_GetSupportedResolutionsText(5));  // an output without modes
}

TEST_F(RendererTest, AdapterNameIsItsDescription) {
    EXPECT_TRUE(ZQI_GetAdapterName().IsEmpty());  // no renderer
    RendererImplementation* renderer = NewRenderer();
    g_core.renderer = renderer;
    EXPECT_TRUE(ZQI_GetAdapterName().IsEmpty());  // no adapter
    ASSERT_TRUE(renderer->OpenDefaultAdapter());
    DXGI_ADAPTER_DESC desc;
    ASSERT_EQ(S_OK, renderer->adapterBlock.adapter->GetDesc(&desc));
    std::string expected;
    for (const WCHAR* c = desc.Description; *c != 0; ++c) {
        ASSERT_LT(*c, 0x80) << "the adapter's name here is plain ASCII";
        expected += static_cast<char>(*c);
    }
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ(expected, ZQI_GetAdapterName().CStr());
}

TEST_F(RendererTest, WindowStyleAndPlaceFollowTheMode) {
    TestWindow window(32, 32);
    HWND handle = window.handle();
    RendererImplementation* renderer = NewRenderer();
    ASSERT_TRUE(renderer->Initialize(WindowedPlatform(handle)));
    RECT output = DesktopRectangle(renderer->adapterBlock.outputs[0]);
    LONG outputWidth = output.right - output.left;
    LONG outputHeight = output.bottom - output.top;

    // Smaller than the output: framed and centred, with the asked-for client area.
    ASSERT_TRUE(renderer->ApplyWindowStyle(0, 200, 100, true));
    EXPECT_EQ(0x00CB0000, GetWindowLongPtrA(handle, GWL_STYLE) & (0x00CB0000 | WS_POPUP));
    EXPECT_EQ(0x00040100, GetWindowLongPtrA(handle, GWL_EXSTYLE) & 0x00040100);
    RECT placed;
    RECT client;
    ASSERT_TRUE(GetWindowRect(handle, &placed));
    ASSERT_TRUE(GetClientRect(handle, &client));
    EXPECT_EQ(200, client.right);
    EXPECT_EQ(100, client.bottom);
    EXPECT_EQ(output.left + outputWidth / 2 - (placed.right - placed.left) / 2, placed.left);
    EXPECT_EQ(output.top + outputHeight / 2 - (placed.bottom - placed.top) / 2, placed.top);
    EXPECT_TRUE(IsWindowVisible(handle));

    // As large as the output both ways: no frame.
    ASSERT_TRUE(renderer->ApplyWindowStyle(0, outputWidth, outputHeight, true));
    EXPECT_EQ(WS_POPUP, GetWindowLongPtrA(handle, GWL_STYLE) & (WS_POPUP | WS_CAPTION));

    // Fullscreen: the output's whole area at its desktop origin, whatever size was asked for.
    ASSERT_TRUE(renderer->ApplyWindowStyle(0, 320, 200, false));
    EXPECT_EQ(WS_POPUP, GetWindowLongPtrA(handle, GWL_STYLE) & (WS_POPUP | WS_CAPTION));
    ASSERT_TRUE(GetWindowRect(handle, &placed));
    EXPECT_EQ(output.left, placed.left);
    EXPECT_EQ(output.top, placed.top);
    EXPECT_EQ(outputWidth, placed.right - placed.left);
    EXPECT_EQ(outputHeight, placed.bottom - placed.top);
    EXPECT_EQ(0, GetWindowLongPtrA(handle, GWL_EXSTYLE) & WS_EX_ACCEPTFILES);

    // Developer mode keeps the window a drop target.
    g_core.developerMode = 1;
    ASSERT_TRUE(renderer->ApplyWindowStyle(0, 200, 100, true));
    g_core.developerMode = 0;
    EXPECT_NE(0, GetWindowLongPtrA(handle, GWL_EXSTYLE) & WS_EX_ACCEPTFILES);

    // No such output: refused, and the window stays put.
    ASSERT_TRUE(GetWindowRect(handle, &placed));
    EXPECT_FALSE(renderer->ApplyWindowStyle(3, 640, 480, false));
    RECT after;
    ASSERT_TRUE(GetWindowRect(handle, &after));
    EXPECT_EQ(placed.right, after.right);
    EXPECT_TRUE(HasLogLine("[ERROR] RendererImplementation::ApplyWindowStyle: no window or no output 3."));
}
