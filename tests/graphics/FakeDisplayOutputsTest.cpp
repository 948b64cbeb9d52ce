// Adapter outputs and display modes on a stand-in adapter whose outputs the test describes: the
// one machine these tests run on has a single attached output with one refresh rate per size,
// so detached outputs, failing walks, refresh-rate variants, other formats, a second output and a
// mode list that grows between the two mode queries are staged here.
#include <string>
#include <vector>

#include "RendererTestSupport.h"
#include "core/CoreState.h"

namespace {

// Reference counting is real (the back end must give back every reference it took), but the
// objects belong to the test: a count of 0 does not free them.
class FakeOutput : public IDXGIOutput {
public:
    // How the mode query with a buffer answers.
    enum ListBehaviour {
        LIST_ALL,                         // every mode, S_OK
        LIST_GREW_NOTHING_WRITTEN,        // DXGI_ERROR_MORE_DATA, nothing written, count as given
        LIST_GREW_FIRST_WRITTEN_COUNT_UP  // DXGI_ERROR_MORE_DATA, first mode written, count 5 more
    };

    LONG references = 1;
    bool attached = true;
    HRESULT descResult = S_OK;
    RECT desktop = {0, 0, 1024, 768};
    std::vector<DXGI_MODE_DESC> modes;
    ListBehaviour listBehaviour = LIST_ALL;
    HRESULT countResult = S_OK;  // answer of the counting query

    void AddMode(UINT width, UINT height, UINT refresh, DXGI_FORMAT format = DXGI_FORMAT_B8G8R8A8_UNORM) {
        DXGI_MODE_DESC mode = {};
        mode.Width = width;
        mode.Height = height;
        mode.RefreshRate.Numerator = refresh;
        mode.RefreshRate.Denominator = 1;
        mode.Format = format;
        modes.push_back(mode);
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        if (riid == __uuidof(IUnknown) || riid == __uuidof(IDXGIObject) || riid == __uuidof(IDXGIOutput)) {
            AddRef();
            *object = this;
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++references); }
    ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(--references); }
    HRESULT STDMETHODCALLTYPE SetPrivateData(REFGUID, UINT, const void*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetPrivateDataInterface(REFGUID, const IUnknown*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetPrivateData(REFGUID, UINT*, void*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetParent(REFIID, void** parent) override {
        *parent = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetDesc(DXGI_OUTPUT_DESC* desc) override {
        if (FAILED(descResult)) {
            return descResult;
        }
        *desc = DXGI_OUTPUT_DESC();
        desc->DesktopCoordinates = desktop;
        desc->AttachedToDesktop = attached ? TRUE : FALSE;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetDisplayModeList(DXGI_FORMAT, UINT, UINT* count, DXGI_MODE_DESC* desc) override {
        UINT all = static_cast<UINT>(modes.size());
        if (desc == nullptr) {
            *count = all;
            return countResult;
        }
        switch (listBehaviour) {
            case LIST_GREW_NOTHING_WRITTEN:
                return DXGI_ERROR_MORE_DATA;
            case LIST_GREW_FIRST_WRITTEN_COUNT_UP:
                desc[0] = modes[0];
                *count = all + 5;
                return DXGI_ERROR_MORE_DATA;
            case LIST_ALL:
            default:
                for (UINT i = 0; i < all && i < *count; ++i) {
                    desc[i] = modes[i];
                }
                *count = all < *count ? all : *count;
                return S_OK;
        }
    }
    HRESULT STDMETHODCALLTYPE FindClosestMatchingMode(const DXGI_MODE_DESC*, DXGI_MODE_DESC*, IUnknown*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE WaitForVBlank() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE TakeOwnership(IUnknown*, WINBOOL) override { return E_NOTIMPL; }
    void STDMETHODCALLTYPE ReleaseOwnership() override {}
    HRESULT STDMETHODCALLTYPE GetGammaControlCapabilities(DXGI_GAMMA_CONTROL_CAPABILITIES*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SetGammaControl(const DXGI_GAMMA_CONTROL*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetGammaControl(DXGI_GAMMA_CONTROL*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetDisplaySurface(IDXGISurface*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetDisplaySurfaceData(IDXGISurface*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetFrameStatistics(DXGI_FRAME_STATISTICS*) override { return E_NOTIMPL; }
};

class FakeAdapter : public IDXGIAdapter {
public:
    LONG references = 1;
    std::vector<FakeOutput*> outputs;
    UINT failAt = ~0u;  // EnumOutputs of this index fails with E_FAIL

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        if (riid == __uuidof(IUnknown) || riid == __uuidof(IDXGIObject) || riid == __uuidof(IDXGIAdapter)) {
            AddRef();
            *object = this;
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++references); }
    ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(--references); }
    HRESULT STDMETHODCALLTYPE SetPrivateData(REFGUID, UINT, const void*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetPrivateDataInterface(REFGUID, const IUnknown*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetPrivateData(REFGUID, UINT*, void*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetParent(REFIID, void** parent) override {
        *parent = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE EnumOutputs(UINT index, IDXGIOutput** output) override {
        *output = nullptr;
        if (index == failAt) {
            return E_FAIL;
        }
        if (index >= outputs.size()) {
            return DXGI_ERROR_NOT_FOUND;
        }
        outputs[index]->AddRef();
        *output = outputs[index];
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetDesc(DXGI_ADAPTER_DESC* desc) override {
        *desc = DXGI_ADAPTER_DESC();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE CheckInterfaceSupport(REFGUID, LARGE_INTEGER*) override {
        return DXGI_ERROR_UNSUPPORTED;
    }
};

// The fakes outlive the renderers: RendererTest::TearDown deletes the renderers (which release
// their references) before the fixture's members are destroyed.
class FakeDisplayTest : public RendererTest {
protected:
    // A renderer whose adapter block holds the fake adapter (the block's one reference).
    RendererImplementation* RendererOnFakeAdapter() {
        RendererImplementation* renderer = NewRenderer();
        renderer->adapterBlock.adapter = &adapter_;
        return renderer;
    }

    FakeAdapter adapter_;
    FakeOutput first_;
    FakeOutput second_;
    FakeOutput third_;
};

std::string ModeSizes(const Array<Resolution>& list) {
    std::string text;
    for (const Resolution& size : list) {
        text += (text.empty() ? "" : ",") + std::to_string(size.width) + "x" + std::to_string(size.height);
    }
    return text;
}

}  // namespace

TEST_F(FakeDisplayTest, OnlyOutputsAttachedToTheDesktopAreKept) {
    second_.attached = false;
    third_.descResult = E_FAIL;  // no description: not known to be attached
    adapter_.outputs = {&first_, &second_, &third_};
    RendererImplementation* renderer = RendererOnFakeAdapter();
    EXPECT_TRUE(ZQI_EnumerateAdapterOutputs(&renderer->adapterBlock));
    ASSERT_EQ(1, renderer->adapterBlock.outputs.count);
    EXPECT_EQ(static_cast<IDXGIOutput*>(&first_), renderer->adapterBlock.outputs[0]);
    EXPECT_EQ(2, first_.references);   // the list's reference
    EXPECT_EQ(1, second_.references);  // given back
    EXPECT_EQ(1, third_.references);
    EXPECT_TRUE(Reports().empty());

    renderer->ReleaseAdapter();
    EXPECT_EQ(1, first_.references);
    EXPECT_EQ(0, adapter_.references);
}

TEST_F(FakeDisplayTest, AnAdapterWithoutAttachedOutputsHasNoDisplay) {
    first_.attached = false;
    adapter_.outputs = {&first_};
    RendererImplementation* renderer = RendererOnFakeAdapter();
    EXPECT_FALSE(ZQI_EnumerateAdapterOutputs(&renderer->adapterBlock));
    EXPECT_EQ(0, renderer->adapterBlock.outputs.count);
    EXPECT_EQ(1, first_.references);
    EXPECT_TRUE(Reports().empty());
}

TEST_F(FakeDisplayTest, AFailedWalkIsReportedAndKeepsNoOutput) {
    adapter_.outputs = {&first_, &second_};
    adapter_.failAt = 1;
    RendererImplementation* renderer = RendererOnFakeAdapter();
    EXPECT_FALSE(ZQI_EnumerateAdapterOutputs(&renderer->adapterBlock));
    EXPECT_EQ(0, renderer->adapterBlock.outputs.count);
    EXPECT_EQ(1, first_.references);  // the output found before the failure was given back
    ASSERT_EQ(1u, Reports().size());
    EXPECT_EQ(2, Reports()[0].level);
    EXPECT_EQ(
        "D3D11/12 DXGI error: failed to enumerate adapter outputs (0x00030001, platform error -2147467259).",
        Reports()[0].text);
}

TEST_F(FakeDisplayTest, AFailedRefreshKeepsThePreviousOutputs) {
    adapter_.outputs = {&first_};
    RendererImplementation* renderer = RendererOnFakeAdapter();
    ASSERT_TRUE(ZQI_EnumerateAdapterOutputs(&renderer->adapterBlock));
    adapter_.outputs = {&second_};
    EXPECT_EQ(1, ZQI_RefreshDisplayOutputs(&renderer->adapterBlock));
    EXPECT_EQ(static_cast<IDXGIOutput*>(&second_), renderer->adapterBlock.outputs[0]);
    EXPECT_EQ(1, first_.references);  // the replaced output was given back
    EXPECT_EQ(2, second_.references);

    adapter_.failAt = 0;
    EXPECT_EQ(1, ZQI_RefreshDisplayOutputs(&renderer->adapterBlock));
    ASSERT_EQ(1, renderer->adapterBlock.outputs.count);
    EXPECT_EQ(static_cast<IDXGIOutput*>(&second_), renderer->adapterBlock.outputs[0]);
    EXPECT_EQ(2, second_.references);  // still held by the list
}

TEST_F(FakeDisplayTest, RefreshRatesOfOneSizeAreListedOnce) {
    first_.AddMode(800, 600, 60);
    first_.AddMode(1024, 768, 60);
    first_.AddMode(800, 600, 75);
    first_.AddMode(640, 480, 60);
    first_.AddMode(1024, 768, 85);
    adapter_.outputs = {&first_};
    RendererImplementation* renderer = RendererOnFakeAdapter();
    ASSERT_TRUE(ZQI_EnumerateAdapterOutputs(&renderer->adapterBlock));
    g_core.renderer = renderer;
    const char* text = ZQI_GetSupportedResolutionsText(0);
    ASSERT_NE(nullptr, text);
    EXPECT_STREQ("640x480,800x600,1024x768", text);
    EXPECT_EQ("640x480,800x600,1024x768", ModeSizes(renderer->displayModes));
}

TEST_F(FakeDisplayTest, AnOutputWithoutB8G8R8A8ModesHasNoText) {
    second_.AddMode(800, 600, 60, DXGI_FORMAT_R8G8B8A8_UNORM);  // answered, but of another format
    adapter_.outputs = {&first_, &second_};
    RendererImplementation* renderer = RendererOnFakeAdapter();
    ASSERT_TRUE(ZQI_EnumerateAdapterOutputs(&renderer->adapterBlock));
    g_core.renderer = renderer;
    EXPECT_EQ(nullptr, ZQI_GetSupportedResolutionsText(0));  // no modes at all
    EXPECT_EQ(nullptr, ZQI_GetSupportedResolutionsText(1));
    EXPECT_EQ(0, renderer->displayModes.count);
    EXPECT_TRUE(Reports().empty());
}

TEST_F(FakeDisplayTest, AModeListThatGrewKeepsOnlyWhatWasWrittenIntoTheBuffer) {
    first_.AddMode(1280, 720, 60);
    first_.AddMode(800, 600, 60);
    first_.AddMode(640, 480, 60);
    first_.listBehaviour = FakeOutput::LIST_GREW_FIRST_WRITTEN_COUNT_UP;
    adapter_.outputs = {&first_};
    RendererImplementation* renderer = RendererOnFakeAdapter();
    ASSERT_TRUE(ZQI_EnumerateAdapterOutputs(&renderer->adapterBlock));

    // The output claims 8 modes after writing one into a buffer of 3: no more than 3 come back,
    // and the two it did not write are no modes.
    Array<DXGI_MODE_DESC> modes = ZQI_GetOutputDisplayModes(&renderer->adapterBlock, 0);
    ASSERT_EQ(3, modes.count);
    EXPECT_EQ(1280u, modes[0].Width);
    EXPECT_EQ(DXGI_FORMAT_UNKNOWN, modes[1].Format);
    EXPECT_EQ(DXGI_FORMAT_UNKNOWN, modes[2].Format);
    EXPECT_EQ(0u, modes[2].Width);
    renderer->GetDisplayModes(0);
    EXPECT_EQ("1280x720", ModeSizes(renderer->displayModes));

    // Nothing written at all: no sizes, and no report.
    first_.listBehaviour = FakeOutput::LIST_GREW_NOTHING_WRITTEN;
    renderer->displayModes.Clear();
    renderer->GetDisplayModes(0);
    EXPECT_EQ("", ModeSizes(renderer->displayModes));
    EXPECT_TRUE(Reports().empty());
}

TEST_F(FakeDisplayTest, FullscreenOnASecondOutputCoversItFromItsOrigin) {
    first_.desktop = {0, 0, 800, 600};
    second_.desktop = {800, 0, 1440, 480};
    adapter_.outputs = {&first_, &second_};
    TestWindow window(32, 32);
    RendererImplementation* renderer = RendererOnFakeAdapter();
    ASSERT_TRUE(ZQI_EnumerateAdapterOutputs(&renderer->adapterBlock));
    renderer->platform.window = window.handle();

    ASSERT_TRUE(renderer->ApplyWindowStyle(1, 320, 200, false));
    RECT placed;
    ASSERT_TRUE(GetWindowRect(window.handle(), &placed));
    EXPECT_EQ(800, placed.left);
    EXPECT_EQ(0, placed.top);
    EXPECT_EQ(640, placed.right - placed.left);
    EXPECT_EQ(480, placed.bottom - placed.top);

    // Windowed on that output: centred on it, not on the first one.
    ASSERT_TRUE(renderer->ApplyWindowStyle(1, 200, 100, true));
    ASSERT_TRUE(GetWindowRect(window.handle(), &placed));
    LONG outerWidth = placed.right - placed.left;
    LONG outerHeight = placed.bottom - placed.top;
    EXPECT_EQ(800 + 640 / 2 - outerWidth / 2, placed.left);
    EXPECT_EQ(480 / 2 - outerHeight / 2, placed.top);
    renderer->platform.window = nullptr;
}

TEST_F(FakeDisplayTest, AFailedModeQueryIsReportedAndGivesNoModes) {
    first_.AddMode(800, 600, 60);
    first_.countResult = DXGI_ERROR_INVALID_CALL;
    adapter_.outputs = {&first_};
    RendererImplementation* renderer = RendererOnFakeAdapter();
    ASSERT_TRUE(ZQI_EnumerateAdapterOutputs(&renderer->adapterBlock));
    EXPECT_EQ(0, ZQI_GetOutputDisplayModes(&renderer->adapterBlock, 0).count);
    ASSERT_EQ(1u, Reports().size());
    EXPECT_EQ(2, Reports()[0].level);
    // DXGI_ERROR_INVALID_CALL is 0x887A0001.
    EXPECT_EQ(
        "D3D11/12 DXGI error: failed to get output display modes (0x00030002, platform error -2005270527).",
        Reports()[0].text);
}
