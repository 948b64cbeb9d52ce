// The start-up display parameters settled with the program (its parameter-check event).
#include "RuntimeTestSupport.h"
#include "core/ApiTable.h"
#include "core/CoreState.h"
#include "core/Features.h"
#include "engine/Lifecycle.h"
#include "engine/RuntimeState.h"

namespace {

int32_t g_checkEvents = 0;

int32_t Choose1280x720Windowed(const zq_event_t* event) {
    if (event->type == ZQ_EVENT_CHECK_PARAMETERS) {
        ++g_checkEvents;
        EXPECT_EQ(event->check_parameters.api, ZQI_GetApi());
        event->check_parameters.parameters->width = 1280;
        event->check_parameters.parameters->height = 720;
        event->check_parameters.parameters->windowed = 1;
    }
    return 0;
}

class CheckResolutionTest : public RuntimeTest {
protected:
    void SetUp() override {
        RuntimeTest::SetUp();
        g_checkEvents = 0;
        TestProgram().HandleEvent = Choose1280x720Windowed;
        TestProgram().parameters.width = 640;
        TestProgram().parameters.height = 480;
        g_runtime.desktopWidth = 1920;
        g_runtime.desktopHeight = 1080;
        g_core.developerMode = 0;
    }
};

TEST_F(CheckResolutionTest, AFreeResolutionChosenByTheProgramIsKeptWhenSupported) {
    ZQI_SetFeatureText(FEATURE_TEXT_COMMAND_LINE, "FREE_RESOLUTION");
    ZQI_SetOwnedText(&g_runtime.settings.resolutionsText, "1024x768");
    ZQI_CheckResolution();
    EXPECT_EQ(g_checkEvents, 1);
    EXPECT_EQ(g_core.pendingParameters.width, 1280);
    EXPECT_EQ(g_core.pendingParameters.height, 720);
    EXPECT_EQ(g_core.pendingParameters.windowed, 1);
    EXPECT_EQ(g_core.appliedParameters.width, 1280);
    EXPECT_EQ(g_core.appliedParameters.windowed, 1);
}

TEST_F(CheckResolutionTest, WithoutFreeResolutionTheListDecides) {
    ZQI_SetOwnedText(&g_runtime.settings.resolutionsText, "1024x768");
    ZQI_CheckResolution();
    EXPECT_EQ(g_core.pendingParameters.width, 1024);
    EXPECT_EQ(g_core.pendingParameters.height, 768);
    EXPECT_EQ(TestProgram().parameters.width, 1024);  // the program learns the result
    EXPECT_EQ(g_core.appliedParameters.height, 768);
}

TEST_F(CheckResolutionTest, AnUnsupportedFreeChoiceFallsBackToTheList) {
    ZQI_SetFeatureText(FEATURE_TEXT_COMMAND_LINE, "FREE_RESOLUTION");
    g_runtime.desktopWidth = 1200;  // 1280x720 no longer fits as a window
    g_runtime.desktopHeight = 800;
    ZQI_SetOwnedText(&g_runtime.settings.resolutionsText, "1024x600");
    g_core.developerMode = 1;
    ZQI_CheckResolution();
    EXPECT_TRUE(
        WasLogged("Resolution is not supported, falling back to autoselected resolution for this run."));
    EXPECT_EQ(g_core.pendingParameters.width, 1024);
    EXPECT_EQ(g_core.pendingParameters.height, 600);
}

TEST_F(CheckResolutionTest, WithoutAListAZeroSizeGivesWayToTheProgramsChoice) {
    TestProgram().parameters.width = 0;
    TestProgram().parameters.height = 0;
    ZQI_CheckResolution();
    EXPECT_EQ(g_core.pendingParameters.width, 1280);
    EXPECT_EQ(g_core.pendingParameters.height, 720);
    EXPECT_EQ(TestProgram().parameters.width, 1280);
}

TEST_F(CheckResolutionTest, DeveloperModeBootsWindowed) {
    g_core.developerMode = 1;
    TestProgram().HandleEvent = nullptr;
    TestProgram().parameters.windowed = 0;
    ZQI_SetOwnedText(&g_runtime.settings.resolutionsText, "1024x768");
    ZQI_CheckResolution();
    EXPECT_EQ(g_core.pendingParameters.windowed, 1);
    EXPECT_EQ(TestProgram().parameters.windowed, 1);
}

}  // namespace
