// Per-frame operations of the Direct3D 11 back end: render-target binding and clearing, viewport,
// scissor, and the swap-chain resize of a quick display change.
#include "RendererTestSupport.h"
#include "graphics/d3d11/RendererTexture.h"

namespace {

// A bitmap with a GPU texture made here, as the resource code would attach one: a B8G8R8A8 colour
// target (2D, or a cube with a view per face) or a depth target.
class TestTarget {
public:
    enum Kind { COLOR_2D, COLOR_CUBE, DEPTH };

    TestTarget(ID3D11Device* device, Kind kind, UINT size) : texture_(), bitmap_() {
        bitmap_.gpu.texture = &texture_;
        bitmap_.type = kind == COLOR_CUBE ? ZQ_TEXTURE_TYPE_CUBE : ZQ_TEXTURE_TYPE_2D;
        D3D11_TEXTURE2D_DESC desc = {};
        desc.Width = size;
        desc.Height = size;
        desc.MipLevels = 1;
        desc.ArraySize = kind == COLOR_CUBE ? 6 : 1;
        desc.Format = kind == DEPTH ? DXGI_FORMAT_D24_UNORM_S8_UINT : DXGI_FORMAT_B8G8R8A8_UNORM;
        desc.SampleDesc.Count = 1;
        desc.BindFlags = kind == DEPTH ? D3D11_BIND_DEPTH_STENCIL : D3D11_BIND_RENDER_TARGET;
        desc.MiscFlags = kind == COLOR_CUBE ? D3D11_RESOURCE_MISC_TEXTURECUBE : 0;
        if (FAILED(device->CreateTexture2D(&desc, nullptr, &texture_.texture))) {
            return;
        }
        if (kind == DEPTH) {
            device->CreateDepthStencilView(texture_.texture, nullptr, &texture_.depthView);
            return;
        }
        for (UINT face = 0; face < desc.ArraySize; ++face) {
            D3D11_RENDER_TARGET_VIEW_DESC view = {};
            view.Format = desc.Format;
            view.ViewDimension = D3D11_RTV_DIMENSION_TEXTURE2DARRAY;
            view.Texture2DArray.FirstArraySlice = face;
            view.Texture2DArray.ArraySize = 1;
            device->CreateRenderTargetView(texture_.texture, &view, &texture_.targetViews[face]);
        }
        texture_.mipsFresh = 1;
    }
    ~TestTarget() {
        for (ID3D11RenderTargetView* view : texture_.targetViews) {
            if (view != nullptr) {
                view->Release();
            }
        }
        if (texture_.depthView != nullptr) {
            texture_.depthView->Release();
        }
        if (texture_.texture != nullptr) {
            texture_.texture->Release();
        }
    }
    TestTarget(const TestTarget&) = delete;
    TestTarget& operator=(const TestTarget&) = delete;

    RendererTexture texture_;
    zq_bitmap_t bitmap_;
};

// What the context has bound now; only identities are compared, so the references are dropped.
struct BoundTargets {
    ID3D11RenderTargetView* color[RENDERER_COLOR_TARGETS];
    ID3D11DepthStencilView* depth;
};

BoundTargets QueryBoundTargets(ID3D11DeviceContext* context) {
    BoundTargets bound = {};
    context->OMGetRenderTargets(RENDERER_COLOR_TARGETS, bound.color, &bound.depth);
    for (ID3D11RenderTargetView* view : bound.color) {
        if (view != nullptr) {
            view->Release();
        }
    }
    if (bound.depth != nullptr) {
        bound.depth->Release();
    }
    return bound;
}

ULONG ReferenceCount(IUnknown* object) {
    object->AddRef();
    return object->Release();
}

D3D11_VIEWPORT CurrentViewport(ID3D11DeviceContext* context) {
    UINT count = 1;
    D3D11_VIEWPORT viewport = {};
    context->RSGetViewports(&count, &viewport);
    return viewport;
}

class RendererFrameTest : public RendererTest {
protected:
    void SetUp() override {
        RendererTest::SetUp();
        window_ = new TestWindow(48, 32);
        renderer_ = NewRenderer();
        ASSERT_TRUE(renderer_->Initialize(WindowedPlatform(window_->handle())));
    }
    void TearDown() override {
        RendererTest::TearDown();  // the renderer goes before its window
        delete window_;
    }

    TestWindow* window_ = nullptr;
    RendererImplementation* renderer_ = nullptr;
};

}  // namespace

TEST_F(RendererFrameTest, BackBufferIsBoundWithItsViewport) {
    BoundTargets bound = QueryBoundTargets(renderer_->context);
    EXPECT_EQ(renderer_->backBufferView, bound.color[0]);
    EXPECT_EQ(nullptr, bound.color[1]);
    EXPECT_EQ(renderer_->depthView, bound.depth);
    D3D11_VIEWPORT viewport = CurrentViewport(renderer_->context);
    EXPECT_EQ(0.0f, viewport.TopLeftX);
    EXPECT_EQ(48.0f, viewport.Width);
    EXPECT_EQ(32.0f, viewport.Height);
    EXPECT_EQ(1.0f, viewport.MaxDepth);

    renderer_->SetViewport(-3, 4, 50, 60);
    viewport = CurrentViewport(renderer_->context);
    EXPECT_EQ(-3.0f, viewport.TopLeftX);
    EXPECT_EQ(4.0f, viewport.TopLeftY);
    EXPECT_EQ(50.0f, viewport.Width);
    EXPECT_EQ(60.0f, viewport.Height);
    EXPECT_EQ(0.0f, viewport.MinDepth);
}

TEST_F(RendererFrameTest, ClearReachesOnlyTheBoundTargets) {
    TestTarget target(renderer_->device, TestTarget::COLOR_2D, 8);
    target.texture_.hasMips = 1;
    renderer_->ClearRenderTargets(0.0f, 0.0f, 1.0f, 1.0f);  // the screen is blue

    zq_render_targets_t set = {};
    set.color[0] = &target.bitmap_;
    EXPECT_TRUE(renderer_->SetRenderTargets(set));
    EXPECT_EQ(0, target.texture_.mipsFresh);  // drawing into level 0 makes the mips stale
    renderer_->ClearRenderTargets(1.0f, 0.0f, 0.0f, 1.0f);
    TexturePixels pixels;
    ASSERT_TRUE(ReadTexturePixels(*renderer_, target.texture_.texture, &pixels));
    EXPECT_TRUE(AllPixelsAre(pixels, 0xFFFF0000u));
    ASSERT_TRUE(ReadBackBuffer(*renderer_, &pixels));
    EXPECT_TRUE(AllPixelsAre(pixels, 0xFF0000FFu));

    zq_render_targets_t screen = {};
    renderer_->SetRenderTargets(screen);
    renderer_->ClearRenderTargets(0.0f, 1.0f, 0.0f, 1.0f);
    ASSERT_TRUE(ReadBackBuffer(*renderer_, &pixels));
    EXPECT_TRUE(AllPixelsAre(pixels, 0xFF00FF00u));
    ASSERT_TRUE(ReadTexturePixels(*renderer_, target.texture_.texture, &pixels));
    EXPECT_TRUE(AllPixelsAre(pixels, 0xFFFF0000u));
}

TEST_F(RendererFrameTest, TargetSetRules) {
    TestTarget cube(renderer_->device, TestTarget::COLOR_CUBE, 4);
    TestTarget flat(renderer_->device, TestTarget::COLOR_2D, 4);
    TestTarget depth(renderer_->device, TestTarget::DEPTH, 4);
    zq_render_targets_t set = {};
    set.color[0] = &cube.bitmap_;
    set.face[0] = 3;
    set.color[2] = &flat.bitmap_;
    set.face[2] = 5;  // a 2D target has its one view
    set.depth = &depth.bitmap_;
    renderer_->SetRenderTargets(set);
    BoundTargets bound = QueryBoundTargets(renderer_->context);
    EXPECT_EQ(cube.texture_.targetViews[3], bound.color[0]);
    EXPECT_EQ(nullptr, bound.color[1]);
    EXPECT_EQ(flat.texture_.targetViews[0], bound.color[2]);
    EXPECT_EQ(depth.texture_.depthView, bound.depth);
    EXPECT_EQ(1, flat.texture_.mipsFresh);  // no mips to go stale

    // A face the cube does not have binds nothing rather than reading past its views.
    set.face[0] = 6;
    renderer_->SetRenderTargets(set);
    EXPECT_EQ(nullptr, QueryBoundTargets(renderer_->context).color[0]);

    // Without colour target 0 the screen and its own depth buffer are bound, whatever depth
    // target was given.
    zq_render_targets_t depthOnly = {};
    depthOnly.depth = &depth.bitmap_;
    renderer_->SetRenderTargets(depthOnly);
    bound = QueryBoundTargets(renderer_->context);
    EXPECT_EQ(renderer_->backBufferView, bound.color[0]);
    EXPECT_EQ(renderer_->depthView, bound.depth);
}

TEST_F(RendererFrameTest, ScissorIsClampedOnTheLeftAndTopOnly) {
    EXPECT_TRUE(renderer_->SetScissorRectangle(-5, -7, 20, 30, 0));
    EXPECT_EQ(1, renderer_->scissorOn);
    UINT count = 1;
    D3D11_RECT rectangle;
    renderer_->context->RSGetScissorRects(&count, &rectangle);
    EXPECT_EQ(0, rectangle.left);
    EXPECT_EQ(0, rectangle.top);
    EXPECT_EQ(15, rectangle.right);
    EXPECT_EQ(23, rectangle.bottom);

    EXPECT_TRUE(renderer_->SetScissorRectangle(4, 6, 10, 12, 2));
    renderer_->context->RSGetScissorRects(&count, &rectangle);
    EXPECT_EQ(4, rectangle.left);
    EXPECT_EQ(6, rectangle.top);
    EXPECT_EQ(14, rectangle.right);
    EXPECT_EQ(18, rectangle.bottom);
    EXPECT_TRUE(renderer_->SetScissorRectangle(0, 0, 1, 1, 7));  // no cull mode: must not read past the table
}

TEST_F(RendererFrameTest, QuickResizeRebuildsTheBackBufferTargets) {
    renderer_->ReleaseBackBufferTargets();
    EXPECT_EQ(nullptr, renderer_->backBufferView);
    EXPECT_EQ(nullptr, renderer_->depthTexture);
    // Windows refuses this while anything still holds a back buffer (Wine does not check).
    ASSERT_EQ(S_OK, renderer_->swapChain->ResizeBuffers(2, 40, 24, DXGI_FORMAT_B8G8R8A8_UNORM, 0));
    ASSERT_TRUE(renderer_->CreateBackBufferTargets());
    EXPECT_TRUE(
        HasLogLine("[SYSTEM] D3D11 renderer created color render target view with dimensions 40 x 24"));
    EXPECT_EQ(40.0f, CurrentViewport(renderer_->context).Width);
    renderer_->ClearRenderTargets(1.0f, 1.0f, 0.0f, 1.0f);
    TexturePixels pixels;
    ASSERT_TRUE(ReadBackBuffer(*renderer_, &pixels));
    EXPECT_EQ(40u, pixels.width);
    EXPECT_EQ(24u, pixels.height);
    EXPECT_TRUE(AllPixelsAre(pixels, 0xFFFFFF00u));

    // Building again without a release first replaces the targets instead of leaking them:
    // every leaked view or texture would hold the device.
    ULONG deviceReferences = ReferenceCount(renderer_->device);
    ASSERT_TRUE(renderer_->CreateBackBufferTargets());
    EXPECT_EQ(deviceReferences, ReferenceCount(renderer_->device));
}

namespace {

// A swap chain whose Present answers what the test says and notes how it was called; every
// other call is refused.
class ScriptedSwapChain : public IDXGISwapChain {
public:
    HRESULT presentResult = S_OK;
    int presents = 0;
    UINT lastSyncInterval = 99;
    UINT lastFlags = 99;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** object) override {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE SetPrivateData(REFGUID, UINT, const void*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetPrivateDataInterface(REFGUID, const IUnknown*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetPrivateData(REFGUID, UINT*, void*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetParent(REFIID, void** parent) override {
        *parent = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetDevice(REFIID, void** device) override {
        *device = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Present(UINT syncInterval, UINT flags) override {
        ++presents;
        lastSyncInterval = syncInterval;
        lastFlags = flags;
        return presentResult;
    }
    HRESULT STDMETHODCALLTYPE GetBuffer(UINT, REFIID, void** surface) override {
        *surface = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SetFullscreenState(WINBOOL, IDXGIOutput*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetFullscreenState(WINBOOL*, IDXGIOutput**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetDesc(DXGI_SWAP_CHAIN_DESC*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ResizeBuffers(UINT, UINT, UINT, DXGI_FORMAT, UINT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ResizeTarget(const DXGI_MODE_DESC*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetContainingOutput(IDXGIOutput**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetFrameStatistics(DXGI_FRAME_STATISTICS*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetLastPresentCount(UINT*) override { return E_NOTIMPL; }
};

}  // namespace

TEST_F(RendererFrameTest, AFailedPresentIsOnlyLoggedWithItsCause) {
    ScriptedSwapChain scripted;
    IDXGISwapChain* real = renderer_->swapChain;
    renderer_->swapChain = &scripted;
    renderer_->syncInterval = 1;

    renderer_->Present();
    EXPECT_EQ(1, scripted.presents);
    EXPECT_EQ(1u, scripted.lastSyncInterval);
    EXPECT_EQ(0u, scripted.lastFlags);
    EXPECT_FALSE(HasLogLine("[WARNING] D3D11 renderer failed to present a frame."));

    scripted.presentResult = DXGI_ERROR_DEVICE_RESET;
    renderer_->Present();
    EXPECT_TRUE(HasLogLine("[WARNING] D3D11 renderer failed to present a frame."));
    EXPECT_TRUE(HasLogLine("[WARNING] D3D11 renderer: the device has been reset."));

    // The device itself was not removed, so its reason reads 0.
    scripted.presentResult = DXGI_ERROR_DEVICE_REMOVED;
    renderer_->Present();
    EXPECT_TRUE(HasLogLine("[WARNING] D3D11 renderer: the device has been removed: 0x0."));
    EXPECT_EQ(3, scripted.presents);
    EXPECT_TRUE(Reports().empty());  // nothing is re-created or reported

    // Without the initialised flag nothing is presented.
    renderer_->initialised = 0;
    renderer_->Present();
    EXPECT_EQ(3, scripted.presents);
    renderer_->initialised = 1;
    renderer_->swapChain = real;
}
