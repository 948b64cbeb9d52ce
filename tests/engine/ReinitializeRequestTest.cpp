// The engine API's re-initialisation request: refusals, resolution settling and the pending
// parameters it leaves for the frame.
#include "RuntimeTestSupport.h"
#include "core/ApiTable.h"
#include "core/CoreState.h"
#include "core/Features.h"
#include "engine/Lifecycle.h"
#include "engine/ReinitializeRequest.h"
#include "engine/RuntimeState.h"
#include "graphics/d3d11/RendererImplementation.h"

namespace {

class ReinitializeRequestTest : public RuntimeTest {
protected:
    void SetUp() override {
        RuntimeTest::SetUp();
        ZQI_LoadRendererImplementation();
        ZQI_InstallReinitializeRequest();
        g_runtime.desktopWidth = 1920;
        g_runtime.desktopHeight = 1080;
        ZQI_SetOwnedText(&g_runtime.settings.resolutionsText, "1920x1080,1280x720");
        Renderer().displayModes = {{1920, 1080}, {1280, 720}};
        TestProgram().parameters.width = 1280;
        TestProgram().parameters.height = 720;
        TestProgram().parameters.windowed = 1;
    }
    static zq_parameters_t Request(int32_t width, int32_t height, uint8_t windowed) {
        zq_parameters_t parameters = TestProgram().parameters;
        parameters.width = width;
        parameters.height = height;
        parameters.windowed = windowed;
        return parameters;
    }
};

TEST_F(ReinitializeRequestTest, TheRootSlotMakesTheRequest) {
    zq_parameters_t parameters = Request(1280, 720, 0);
    EXPECT_TRUE(ZQI_GetApi()->ReinitializeWithParameters(&parameters));
    EXPECT_EQ(g_core.reinitRequest, 1);
    EXPECT_EQ(g_core.pendingParameters.width, 1920);  // the best supported fullscreen mode
    EXPECT_EQ(g_core.pendingParameters.windowed, 0);
    EXPECT_TRUE(WasLogged("Attempting to reinitialize with parameters: 1280x720 windowed=0"));
}

TEST_F(ReinitializeRequestTest, TheRootSlotOutlivesARebuildOfTheTables) {
    ZQI_BuildApiTables();
    EXPECT_EQ(&ZQI_ReinitializeWithParameters, ZQI_GetApi()->ReinitializeWithParameters);
    zq_parameters_t parameters = Request(1280, 720, 1);
    EXPECT_TRUE(ZQI_GetApi()->ReinitializeWithParameters(&parameters));
}

TEST_F(ReinitializeRequestTest, AFreeResolutionIsKeptWhenSupported) {
    ZQI_SetFeatureText(FEATURE_TEXT_COMMAND_LINE, "FREE_RESOLUTION");
    zq_parameters_t parameters = Request(1280, 720, 0);
    EXPECT_TRUE(ZQI_ReinitializeWithParameters(&parameters));
    EXPECT_EQ(g_core.pendingParameters.width, 1280);
    EXPECT_EQ(g_core.pendingParameters.height, 720);
    EXPECT_TRUE(WasLogged("Resolution 1280x720 is supported by device."));
}

TEST_F(ReinitializeRequestTest, WidthZeroPicksTheOptimalResolution) {
    zq_parameters_t parameters = Request(0, 0, 1);
    EXPECT_TRUE(ZQI_ReinitializeWithParameters(&parameters));
    EXPECT_EQ(g_core.pendingParameters.width, 1280);  // 1920x1080 does not fit as a window
    EXPECT_EQ(g_core.pendingParameters.height, 720);
}

TEST_F(ReinitializeRequestTest, ASecondRequestWaitsForTheFirst) {
    zq_parameters_t parameters = Request(1280, 720, 1);
    EXPECT_TRUE(ZQI_ReinitializeWithParameters(&parameters));
    EXPECT_FALSE(ZQI_ReinitializeWithParameters(&parameters));
    g_core.reinitRequest = 0;
    g_core.reinitApply = 1;
    EXPECT_FALSE(ZQI_ReinitializeWithParameters(&parameters));
}

TEST_F(ReinitializeRequestTest, NoRendererNoRequest) {
    delete g_core.renderer;
    g_core.renderer = nullptr;
    zq_parameters_t parameters = Request(1280, 720, 1);
    EXPECT_FALSE(ZQI_ReinitializeWithParameters(&parameters));
    EXPECT_EQ(g_core.reinitRequest, 0);
}

TEST_F(ReinitializeRequestTest, DeveloperForcedResolutionTakesPrecedence) {
    g_runtime.settings.forceResolution = 1;
    g_runtime.settings.forcedWidth = 1024;
    g_runtime.settings.forcedHeight = 600;
    zq_parameters_t parameters = Request(1920, 1080, 0);
    EXPECT_TRUE(ZQI_ReinitializeWithParameters(&parameters));
    EXPECT_EQ(g_core.pendingParameters.width, 1024);
    EXPECT_EQ(g_core.pendingParameters.windowed, 1);
    EXPECT_TRUE(
        WasLogged("ReinitializeWithParameters - Forcing resolution to 1024x600 based on developer.xml."));
}

TEST_F(ReinitializeRequestTest, NothingSupportedResetsThePendingSize) {
    // A forced variant selects without asking the device, which then has no such mode.
    ZQI_SetOwnedText(&g_runtime.settings.forcedVariant, "IOS/SMALL");
    g_runtime.desktopWidth = 0;
    g_runtime.desktopHeight = 0;
    Renderer().displayModes.clear();
    ZQI_SetOwnedText(&g_runtime.settings.resolutionsText, "1920x1080");
    zq_parameters_t parameters = Request(1920, 1080, 0);
    EXPECT_FALSE(ZQI_ReinitializeWithParameters(&parameters));
    EXPECT_TRUE(WasLogged("Resolution 1920x1080 not available."));
    EXPECT_TRUE(WasLogged("[WARNING] Requested resolution 1920x1080 (windowed=1) not available."));
    EXPECT_EQ(g_core.reinitRequest, 0);
    EXPECT_EQ(g_core.pendingParameters.width, 1280);
    EXPECT_EQ(g_core.pendingParameters.height, 720);
}

}  // namespace
