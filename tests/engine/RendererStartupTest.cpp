// Renderer start with its rollback through earlier display parameters, and the renderer stop.
#include "RuntimeTestSupport.h"
#include "core/CoreState.h"
#include "engine/Lifecycle.h"
#include "engine/RuntimeState.h"
#include "graphics/d3d11/RendererImplementation.h"

namespace {

class RendererStartupTest : public RuntimeTest {
protected:
    void SetUp() override {
        RuntimeTest::SetUp();
        ZQI_LoadRendererImplementation();
        // The renderer last ran 1024x768 windowed; the program asks for 1920x1080 fullscreen.
        Applied(1024, 768, 1);
        Pending(1920, 1080, 0);
    }
    static void Applied(int32_t width, int32_t height, uint8_t windowed) {
        g_core.appliedParameters.width = width;
        g_core.appliedParameters.height = height;
        g_core.appliedParameters.windowed = windowed;
    }
    static void Pending(int32_t width, int32_t height, uint8_t windowed) {
        g_core.pendingParameters.width = width;
        g_core.pendingParameters.height = height;
        g_core.pendingParameters.windowed = windowed;
    }
    static std::string Start(size_t index) {
        const RendererStart& s = Renderer().starts.at(index);
        return std::to_string(s.width) + "x" + std::to_string(s.height) + (s.windowed ? " w" : " fs");
    }
};

TEST_F(RendererStartupTest, AcceptedModeBecomesTheAppliedOneAndTheDisplaySize) {
    EXPECT_TRUE(ZQI_InitializeRenderer());
    ASSERT_EQ(Renderer().starts.size(), 1u);
    EXPECT_EQ(Start(0), "1920x1080 fs");
    EXPECT_EQ(g_runtime.rendererReady, 1);
    EXPECT_EQ(g_runtime.displayWidth, 1920);
    EXPECT_EQ(g_runtime.displayHeight, 1080);
    EXPECT_EQ(g_runtime.rendererFailureCount, 0);
    EXPECT_TRUE(WasLogged("Renderer Initializing: 1920x1080 fullscreen.."));
    EXPECT_LT(LoggedIndex("Renderer Initialization done."), LoggedIndex("Renderer ready."));
}

TEST_F(RendererStartupTest, SmallFullscreenRequestsRunWindowed) {
    Pending(800, 400, 0);
    EXPECT_TRUE(ZQI_InitializeRenderer());
    EXPECT_EQ(Start(0), "800x400 w");
    EXPECT_EQ(g_core.appliedParameters.windowed, 1);
}

TEST_F(RendererStartupTest, AForcedVariantRunsWindowed) {
    ZQI_SetOwnedText(&g_runtime.settings.forcedVariant, "IOS/SMALL");
    EXPECT_TRUE(ZQI_InitializeRenderer());
    EXPECT_EQ(Start(0), "1920x1080 w");
}

TEST_F(RendererStartupTest, ARefusedModeRollsBackToThePreviousParameters) {
    Renderer().answers = {false, true};
    EXPECT_TRUE(ZQI_InitializeRenderer());
    ASSERT_EQ(Renderer().starts.size(), 2u);
    EXPECT_EQ(Start(1), "1024x768 w");
    EXPECT_EQ(g_core.appliedParameters.width, 1024);
    EXPECT_EQ(g_core.appliedParameters.height, 768);
    EXPECT_EQ(g_runtime.displayWidth, 1024);
    EXPECT_EQ(g_runtime.rendererFailureCount, 1);  // counted until the next first-try success
    EXPECT_LT(LoggedIndex("Renderer Initializing: 1920x1080 fullscreen.."),
              LoggedIndex("Rolling back parms.."));
}

TEST_F(RendererStartupTest, ThePreviousModeIsTriedWindowedBeforeGivingUp) {
    Applied(1024, 768, 0);
    Renderer().answers = {false, false, false, false, false, false};
    EXPECT_FALSE(ZQI_InitializeRenderer());
    ASSERT_EQ(Renderer().starts.size(), 5u);
    EXPECT_EQ(Start(0), "1920x1080 fs");
    EXPECT_EQ(Start(1), "1024x768 fs");
    EXPECT_EQ(Start(2), "1920x1080 fs");
    EXPECT_EQ(Start(3), "1024x768 w");
    EXPECT_EQ(Start(4), "1920x1080 fs");
    EXPECT_EQ(g_runtime.rendererReady, 0);
    ASSERT_EQ(Popups().size(), 1u);
    EXPECT_EQ(Popups()[0],
              "Unable to initialize the renderer.\n\nPlease try updating your display adapter drivers and "
              "rebooting.");
}

TEST_F(RendererStartupTest, NothingToRollBackToGivesUpAtOnce) {
    Applied(1920, 1080, 0);  // the previous parameters are the requested ones
    Renderer().answers = {false};
    EXPECT_FALSE(ZQI_InitializeRenderer());
    EXPECT_EQ(Renderer().starts.size(), 1u);
    ASSERT_EQ(Popups().size(), 1u);
    EXPECT_EQ(Popups()[0].rfind("Unable to initialize the renderer.", 0), 0u);
}

TEST_F(RendererStartupTest, WithoutARendererObjectNothingStarts) {
    delete g_core.renderer;
    g_core.renderer = nullptr;
    EXPECT_FALSE(ZQI_InitializeRenderer());
    EXPECT_TRUE(Renderer().starts.empty());
    EXPECT_TRUE(WasLogged("Renderer doesn't exist, can't continue with init."));
}

TEST_F(RendererStartupTest, AReadyRendererIsStoppedBeforeItStartsAgain) {
    ASSERT_TRUE(ZQI_InitializeRenderer());
    ASSERT_NE(g_runtime.shaderTranslatorMutex, nullptr);
    EXPECT_TRUE(ZQI_InitializeRenderer());
    EXPECT_EQ(Renderer().releases, 1);
    EXPECT_TRUE(WasLogged("Renderer in ready state, shutting it down before new init."));
    EXPECT_TRUE(WasLogged("Zorqa RendererImplementation Shutdown."));
}

TEST_F(RendererStartupTest, StoppingReleasesTheDeviceAndTheTranslatorLock) {
    ASSERT_TRUE(ZQI_InitializeRenderer());
    ZQI_ShutdownRenderer();
    EXPECT_EQ(Renderer().releases, 1);
    EXPECT_EQ(g_runtime.rendererReady, 0);
    EXPECT_EQ(g_runtime.shaderTranslatorMutex, nullptr);
    EXPECT_NE(g_core.renderer, nullptr);  // the object stays
}

}  // namespace
