// Autoscaling arithmetic, orientation, overlay zoom offsets and the screen transform.
#include "RuntimeTestSupport.h"
#include "core/CoreState.h"
#include "core/Features.h"
#include "engine/Autoscale.h"
#include "engine/RuntimeState.h"

namespace {

class AutoscaleTest : public RuntimeTest {
protected:
    // A program designed for designWidth x designHeight running on a display of the given size.
    void Configure(int32_t designWidth, int32_t designHeight, int32_t displayWidth, int32_t displayHeight) {
        zq_parameters_t& program = TestProgram().parameters;
        program.design_width = designWidth;
        program.design_height = designHeight;
        program.width = displayWidth;
        program.height = displayHeight;
        g_core.appliedParameters = program;
        g_runtime.displayWidth = displayWidth;
        g_runtime.displayHeight = displayHeight;
        g_runtime.nativeOrientation =
            displayWidth >= displayHeight ? ORIENTATION_LANDSCAPE : ORIENTATION_PORTRAIT;
        g_runtime.autoscale = 1;
    }

    // Where the screen transform puts a program coordinate.
    static void MapPoint(float x, float y, float* outX, float* outY) {
        Matrix4x4 m = ZQI_ComputeScreenTransform();
        *outX = m[0] * x + m[1] * y + m[3];
        *outY = m[4] * x + m[5] * y + m[7];
    }
};

TEST_F(AutoscaleTest, DesignSizeScalesUpToTheDisplay) {
    Configure(1280, 720, 1920, 1080);
    ZQI_SetupAutoscaling();
    EXPECT_FLOAT_EQ(g_runtime.scaleX, 1.5f);
    EXPECT_FLOAT_EQ(g_runtime.scaleY, 1.5f);
    EXPECT_FLOAT_EQ(g_runtime.offsetX, 0.0f);
    EXPECT_FLOAT_EQ(g_runtime.offsetY, 0.0f);
    EXPECT_EQ(TestProgram().parameters.width, 1280);  // the program now draws in design units
    EXPECT_EQ(TestProgram().parameters.height, 720);
    EXPECT_TRUE(WasLogged("Setting up autoscaling from 1280x720 -> 1920x1080."));
    EXPECT_TRUE(WasLogged("Scale x=1.50 y=1.50"));
}

TEST_F(AutoscaleTest, RetainingTheAspectRatioLetterboxesTheRest) {
    ZQI_SetFeatureText(FEATURE_TEXT_COMMAND_LINE, "AUTOSCALE_RETAIN_ASPECT_RATIO");
    Configure(1280, 720, 1920, 1200);
    ZQI_SetupAutoscaling();
    EXPECT_FLOAT_EQ(g_runtime.scaleX, 1.5f);
    EXPECT_FLOAT_EQ(g_runtime.scaleY, 1.5f);
    EXPECT_FLOAT_EQ(g_runtime.offsetX, 0.0f);
    EXPECT_FLOAT_EQ(g_runtime.offsetY, 60.0f);
    EXPECT_FLOAT_EQ(g_runtime.inverseScaleY, 1.0f / 1.5f);
}

TEST_F(AutoscaleTest, WithoutAspectRetentionEachAxisScalesOnItsOwn) {
    Configure(1280, 720, 1920, 1200);
    ZQI_SetupAutoscaling();
    EXPECT_FLOAT_EQ(g_runtime.scaleX, 1.5f);
    EXPECT_NEAR(g_runtime.scaleY, 1.6667f, 0.0001f);
    EXPECT_FLOAT_EQ(g_runtime.offsetY, 0.0f);
}

TEST_F(AutoscaleTest, MatchingSizesSwitchAutoscalingOff) {
    Configure(1280, 720, 1280, 720);
    g_runtime.scaleX = 3.0f;  // left from an earlier display
    ZQI_SetupAutoscaling();
    EXPECT_EQ(g_runtime.autoscale, 0);
    EXPECT_FLOAT_EQ(g_runtime.scaleX, 1.0f);
    EXPECT_TRUE(WasLogged("Target resolution matches source, no need for scaling."));
}

TEST_F(AutoscaleTest, WithoutTheFlagEverythingIsUnscaled) {
    Configure(1280, 720, 1920, 1080);
    g_runtime.autoscale = 0;
    g_runtime.offsetX = 7.0f;
    ZQI_SetupAutoscaling();
    EXPECT_FLOAT_EQ(g_runtime.scaleX, 1.0f);
    EXPECT_FLOAT_EQ(g_runtime.offsetX, 0.0f);
    EXPECT_EQ(TestProgram().parameters.width, 1920);
}

TEST_F(AutoscaleTest, ASquareDesignOnALandscapeDisplaySwapsTheAxes) {
    EXPECT_EQ(ZQI_GetDesignOrientation(800, 800), ORIENTATION_PORTRAIT);
    Configure(800, 800, 1600, 1000);  // native landscape, design "portrait"
    ZQI_SetupAutoscaling();
    // W and H swapped: 1000 / 800 and 1600 / 800.
    EXPECT_FLOAT_EQ(g_runtime.scaleX, 1.25f);
    EXPECT_FLOAT_EQ(g_runtime.scaleY, 2.0f);
}

TEST_F(AutoscaleTest, ScreenTransformCentresTheDesignAreaWithItsMargins) {
    ZQI_SetFeatureText(FEATURE_TEXT_COMMAND_LINE, "AUTOSCALE_RETAIN_ASPECT_RATIO");
    Configure(1280, 720, 1920, 1200);
    ZQI_SetupAutoscaling();
    float x = 0.0f;
    float y = 0.0f;
    MapPoint(0.0f, 0.0f, &x, &y);
    EXPECT_FLOAT_EQ(x, 0.0f);
    EXPECT_FLOAT_EQ(y, 60.0f);
    MapPoint(1280.0f, 720.0f, &x, &y);
    EXPECT_FLOAT_EQ(x, 1920.0f);
    EXPECT_FLOAT_EQ(y, 1140.0f);
}

TEST_F(AutoscaleTest, ZoomHalvesTheFrameAboutTheScreenCentre) {
    Configure(1000, 600, 1000, 600);
    g_runtime.autoscale = 0;
    g_runtime.overlayZoom = 0.5f;
    ZQI_UpdateAutoscaleOffsets();
    EXPECT_EQ(g_runtime.zoomOffsetX, 250);
    EXPECT_EQ(g_runtime.zoomOffsetY, 150);
    float x = 0.0f;
    float y = 0.0f;
    MapPoint(0.0f, 0.0f, &x, &y);
    EXPECT_FLOAT_EQ(x, 250.0f);
    EXPECT_FLOAT_EQ(y, 150.0f);
}

TEST_F(AutoscaleTest, NoScalingMeansThePlainIdentityPlacement) {
    Configure(1000, 600, 1000, 600);
    g_runtime.autoscale = 0;
    float x = 0.0f;
    float y = 0.0f;
    MapPoint(123.0f, 45.0f, &x, &y);
    EXPECT_FLOAT_EQ(x, 123.0f);
    EXPECT_FLOAT_EQ(y, 45.0f);
}

TEST_F(AutoscaleTest, AZeroProgramWidthTakesTheBootSize) {
    zq_parameters_t& program = TestProgram().parameters;
    program.width = 0;
    program.height = 600;
    program.design_width = 800;
    program.design_height = 600;
    g_runtime.settings.bootWidth = 1024;
    g_runtime.settings.bootHeight = 768;
    ZQI_ApplyParameterOverrides();
    EXPECT_EQ(program.width, 1024);
    EXPECT_EQ(program.height, 768);
    EXPECT_EQ(g_runtime.displayWidth, 1024);
    EXPECT_EQ(g_runtime.nativeOrientation, ORIENTATION_LANDSCAPE);
    EXPECT_TRUE(WasLogged("Important parameter is 0: width=0 height=600 override=0. Forcing override."));
    EXPECT_TRUE(WasLogged("Program orientation: LANDSCAPE."));
}

TEST_F(AutoscaleTest, ASquareDisplayIsLandscape) {
    zq_parameters_t& program = TestProgram().parameters;
    program.width = 700;
    program.height = 700;
    ZQI_ApplyParameterOverrides();
    EXPECT_EQ(g_runtime.nativeOrientation, ORIENTATION_LANDSCAPE);
    EXPECT_TRUE(WasLogged("Native device screen buffer orientation: LANDSCAPE."));
}

TEST_F(AutoscaleTest, AForcedResolutionKeepsTheDisplaySize) {
    zq_parameters_t& program = TestProgram().parameters;
    program.width = 640;
    program.height = 480;
    g_runtime.displayWidth = 1920;
    g_runtime.displayHeight = 1080;
    g_runtime.settings.forceResolution = 1;
    ZQI_ApplyParameterOverrides();
    EXPECT_EQ(g_runtime.displayWidth, 1920);
    EXPECT_EQ(g_runtime.displayHeight, 1080);
}

}  // namespace

TEST_F(AutoscaleTest, WindowPointsMapToDesignUnitsPastTheLetterbox) {
    g_runtime.autoscale = 1;
    g_runtime.offsetX = 10.0f;
    g_runtime.offsetY = 20.0f;
    g_runtime.inverseScaleX = 0.5f;
    g_runtime.inverseScaleY = 0.25f;
    g_runtime.overlayZoom = 1.0f;
    int32_t x = 31;
    int32_t y = 61;
    ZQI_MapWindowPointToProgram(&x, &y);
    EXPECT_EQ(10, x);  // (31 - 10) * 0.5, truncated
    EXPECT_EQ(10, y);  // (61 - 20) * 0.25, truncated
}

TEST_F(AutoscaleTest, WindowPointsUndoTheOverlayZoomAboutTheScreenCentre) {
    g_runtime.autoscale = 0;
    g_runtime.overlayZoom = 0.5f;
    g_runtime.zoomOffsetX = 80;
    g_runtime.zoomOffsetY = 60;
    int32_t x = 100;
    int32_t y = 70;
    ZQI_MapWindowPointToProgram(&x, &y);
    EXPECT_EQ(40, x);  // (100 - 80) / 0.5
    EXPECT_EQ(20, y);  // (70 - 60) / 0.5
}
