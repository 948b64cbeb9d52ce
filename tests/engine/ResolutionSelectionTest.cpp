// Resolution selection from the resolutions text, the display-mode list and the device check.
#include <cstdlib>
#include <string>

#include "RuntimeTestSupport.h"
#include "core/CoreState.h"
#include "core/Features.h"
#include "engine/ResolutionSelection.h"
#include "engine/RuntimeState.h"
#include "graphics/d3d11/RendererImplementation.h"

namespace {

class ResolutionSelectionTest : public RuntimeTest {
protected:
    void Desktop(int32_t width, int32_t height) {
        g_runtime.desktopWidth = width;
        g_runtime.desktopHeight = height;
    }
    void Modes(std::initializer_list<std::pair<int32_t, int32_t>> modes) { Renderer().displayModes = modes; }
    void List(const char* text) { ZQI_SetOwnedText(&g_runtime.settings.resolutionsText, text); }
    std::string Pending() {
        return std::to_string(g_core.pendingParameters.width) + "x" +
               std::to_string(g_core.pendingParameters.height);
    }
};

TEST_F(ResolutionSelectionTest, TheFittingEntryClosestToTheDesktopAspectWins) {
    Desktop(1920, 1080);
    Modes({{2560, 1440}, {1680, 1050}, {1920, 1080}, {1280, 720}});
    List("2560x1440,1680x1050,1920x1080,1280x720");
    EXPECT_TRUE(ZQI_SelectOptimalResolution(0, false, false));
    EXPECT_EQ(Pending(), "1920x1080");
    EXPECT_EQ(g_core.pendingParameters.windowed, 0);
    EXPECT_TRUE(WasLogged("Closest supported aspect ratio is 1920x1080 (aspect 1.78 vs desktop 1.78)"));
}

TEST_F(ResolutionSelectionTest, AnEqualAspectLaterInTheListDoesNotReplaceTheBest) {
    Desktop(1920, 1080);
    Modes({{1280, 720}, {1920, 1080}});
    List("1280x720,1920x1080");
    EXPECT_TRUE(ZQI_SelectOptimalResolution(0, false, false));
    EXPECT_EQ(Pending(), "1280x720");
}

// 50000 x 50000 is 2.5e9 pixels, more than a signed 32-bit product holds.
TEST_F(ResolutionSelectionTest, AnEntryWhoseAreaPassesThirtyTwoBitsIsStillAnEntry) {
    Desktop(50000, 50000);
    Modes({{50000, 50000}, {1280, 720}});
    List("50000x50000,1280x720");
    EXPECT_TRUE(ZQI_SelectOptimalResolution(0, false, false));
    EXPECT_EQ(Pending(), "50000x50000");
}

TEST_F(ResolutionSelectionTest, AWindowMustLeaveRoomForItsFrame) {
    Desktop(1920, 1080);
    List("2560x1440,1680x1050,1920x1080,1280x720");
    EXPECT_TRUE(ZQI_SelectOptimalResolution(0, true, false));
    EXPECT_EQ(Pending(), "1280x720");
    EXPECT_EQ(g_core.pendingParameters.windowed, 1);
}

TEST_F(ResolutionSelectionTest, AStarStandsForTheKnownDisplaySize) {
    Desktop(1920, 1080);
    g_runtime.displayWidth = 1600;
    g_runtime.displayHeight = 900;
    List("*");
    EXPECT_TRUE(ZQI_SelectOptimalResolution(0, true, false));
    EXPECT_EQ(Pending(), "1600x900");
}

TEST_F(ResolutionSelectionTest, AForcedVariantPicksItsTypicalSizeWithoutAskingTheDevice) {
    ZQI_SetOwnedText(&g_runtime.settings.forcedVariant, "IOS/SMALL");
    List("*");
    EXPECT_TRUE(ZQI_SelectOptimalResolution(0, true, false));
    EXPECT_EQ(Pending(), "960x640");
    EXPECT_EQ(Renderer().displayModeQueries, 0);
    EXPECT_TRUE(WasLogged("Device screen size not set. Using typical fallback resolution 960x640."));
}

TEST_F(ResolutionSelectionTest, NoListLeavesThePendingSizeAlone) {
    g_core.pendingParameters.width = 111;
    g_core.pendingParameters.height = 222;
    EXPECT_FALSE(ZQI_SelectOptimalResolution(0, false, false));
    EXPECT_EQ(Pending(), "111x222");
}

TEST_F(ResolutionSelectionTest, FullscreenFallsBackToTheDesktopSize) {
    Desktop(1920, 1080);
    List("800x600");
    EXPECT_TRUE(ZQI_SelectOptimalResolution(0, false, false));
    EXPECT_EQ(Pending(), "1920x1080");
    EXPECT_TRUE(WasLogged("Selecting desktop resolution for fullscreen."));
}

TEST_F(ResolutionSelectionTest, AWindowTooLargeForAnyEntryTakesTheSmallestOne) {
    Desktop(1000, 700);
    List("1280x720,1024x768,1920x1080");
    EXPECT_TRUE(ZQI_SelectOptimalResolution(0, true, false));
    EXPECT_EQ(Pending(), "1024x768");
    EXPECT_TRUE(WasLogged("Trying to select the smallest possible resolution."));
}

TEST_F(ResolutionSelectionTest, NothingUsableIsAWarningAndFalse) {
    List("0x0");
    EXPECT_FALSE(ZQI_SelectOptimalResolution(0, false, false));
    EXPECT_TRUE(WasLogged("[WARNING] No resolution found in ZQI_SelectOptimalResolution!"));
}

TEST_F(ResolutionSelectionTest, ADeveloperForcedResolutionIsTakenAsItIs) {
    g_runtime.settings.forceResolution = 1;
    g_runtime.settings.forcedWidth = 333;
    g_runtime.settings.forcedHeight = 444;
    List("800x600");
    EXPECT_TRUE(ZQI_SelectOptimalResolution(0, false, false));
    EXPECT_EQ(Pending(), "333x444");
    EXPECT_TRUE(WasLogged("Selected 333x444. (forced)"));
}

// The developer settings' forced resolution keeps the manifest from giving a list at all.
TEST_F(ResolutionSelectionTest, AForcedResolutionNeedsNoList) {
    g_runtime.settings.forceResolution = 1;
    g_runtime.settings.forcedWidth = 400;
    g_runtime.settings.forcedHeight = 300;
    ZQI_SetOwnedText(&g_runtime.settings.resolutionsText, nullptr);
    EXPECT_TRUE(ZQI_SelectOptimalResolution(0, true, false));
    EXPECT_EQ(Pending(), "400x300");
    EXPECT_TRUE(WasLogged("Selected 400x300. (forced)"));
}

TEST_F(ResolutionSelectionTest, NoListAndNothingForcedSelectsNothing) {
    ZQI_SetOwnedText(&g_runtime.settings.resolutionsText, nullptr);
    g_core.pendingParameters.width = 123;
    g_core.pendingParameters.height = 45;
    EXPECT_FALSE(ZQI_SelectOptimalResolution(0, true, false));
    EXPECT_EQ(Pending(), "123x45");
}

TEST_F(ResolutionSelectionTest, AnotherDisplayRebuildsTheListFromItsModes) {
    Desktop(3840, 2160);
    Modes({{3840, 2160}, {1024, 768}});
    List("640x480");
    EXPECT_TRUE(ZQI_SelectOptimalResolution(1, false, false));
    EXPECT_EQ(g_runtime.settings.resolutionsDisplayIndex, 1);
    EXPECT_EQ(Pending(), "3840x2160");
}

TEST_F(ResolutionSelectionTest, TheModeListMergesTheCommonSizesLargestFirst) {
    Modes({{1920, 1080}, {1024, 768}, {3840, 2160}});
    BuildDisplayModeList(0);
    std::string text = g_runtime.settings.resolutionsText;
    EXPECT_EQ(text.rfind("3840x2160,2560x1440,1920x1440,1920x1200,1920x1080,1856x1392,", 0), 0u) << text;
    EXPECT_EQ(text.find("1024x768"), text.rfind("1024x768"));
    EXPECT_EQ(text.substr(text.size() - 7), "640x480");
    size_t entries = 1;
    for (char c : text) {
        entries += c == ',' ? 1 : 0;
    }
    EXPECT_EQ(entries, 27u);  // 26 common sizes and 3840x2160
}

TEST_F(ResolutionSelectionTest, DeviceCheckRules) {
    Desktop(1920, 1080);
    Modes({{1280, 1024}});
    EXPECT_FALSE(ZQI_IsResolutionSupported(0, 0, 720, true));
    EXPECT_TRUE(ZQI_IsResolutionSupported(0, 1870, 1010, true));
    EXPECT_FALSE(ZQI_IsResolutionSupported(0, 1871, 1010, true));
    EXPECT_FALSE(ZQI_IsResolutionSupported(0, 1920, 1080, true));
    ZQI_SetFeatureText(FEATURE_TEXT_COMMAND_LINE, "FREE_RESOLUTION");
    EXPECT_TRUE(ZQI_IsResolutionSupported(0, 1920, 1080, true));
    EXPECT_TRUE(ZQI_IsResolutionSupported(0, 1920, 1080, false));
    EXPECT_TRUE(ZQI_IsResolutionSupported(0, 1280, 1024, false));
    EXPECT_TRUE(WasLogged("Requested resolution 1280x1024 (windowed=0) is supported."));
    EXPECT_FALSE(ZQI_IsResolutionSupported(0, 1280, 720, false));
    g_runtime.settings.simulatedDevice = 1;
    EXPECT_TRUE(ZQI_IsResolutionSupported(0, 1280, 720, false));
}

TEST_F(ResolutionSelectionTest, TypicalVariantSizes) {
    struct Case {
        const char* variant;
        int32_t width;
        int32_t height;
    };
    const Case cases[] = {
        {"WINDOWS/LARGE", 1280, 720}, {"IOS/MEDIUM", 1024, 768},   {"IOS/SMALL", 960, 640},
        {"ANDROID/SMALL", 854, 480},  {"WEBOS/SMALL", 480, 320},   {"QNX/LARGE", 1024, 600},
        {"PS5/LARGE", 1920, 1080},    {"PS_VITA/SMALL", 960, 544}, {"WINDOWS_PHONE/SMALL", 800, 480},
        {"FLASH/LARGE", 550, 400},    {"NOTHING/LARGE", 800, 600}};
    for (const Case& c : cases) {
        int32_t width = 0;
        int32_t height = 0;
        ZQI_GetTypicalVariantSize(c.variant, &width, &height);
        EXPECT_EQ(width, c.width) << c.variant;
        EXPECT_EQ(height, c.height) << c.variant;
    }
}

TEST_F(ResolutionSelectionTest, ComparatorsOrderByWidthThenHeight) {
    Resolution sizes[] = {{1280, 720}, {1280, 1024}, {640, 480}, {1920, 1080}};
    qsort(sizes, 4, sizeof(Resolution), ZQI_CompareSizeDescending);
    EXPECT_EQ(sizes[0].width, 1920);
    EXPECT_EQ(sizes[1].height, 1024);
    EXPECT_EQ(sizes[2].height, 720);
    EXPECT_EQ(sizes[3].width, 640);
    EXPECT_EQ(ZQI_CompareSizeAscending(&sizes[2], &sizes[1]), -1);
    EXPECT_EQ(ZQI_CompareSizeAscending(&sizes[0], &sizes[0]), 0);
}

}  // namespace
