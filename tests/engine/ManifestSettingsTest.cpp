// The lifecycle's settings taken from what the manifest reader read: forced variant and size,
// the supported resolutions, the input libraries and the locale.
#include <gtest/gtest.h>

#include "RuntimeTestSupport.h"
#include "engine/ManifestSettings.h"
#include "engine/RuntimeState.h"
#include "startup/ManifestState.h"

namespace {

class ManifestSettingsTest : public RuntimeTest {
protected:
    void TearDown() override {
        ZQI_ResetManifestState();
        RuntimeTest::TearDown();
    }
};

}  // namespace

TEST_F(ManifestSettingsTest, CopiesTheForcedSettingsAndTheResolutionsList) {
    g_manifest.resolutionForced = 1;
    g_manifest.forcedWidth = 1024;
    g_manifest.forcedHeight = 600;
    g_manifest.forcedVariant.Assign("IOS/SMALL");
    g_manifest.resolutions.Assign("1920x1080,1280x720");
    g_runtime.settings.resolutionsDisplayIndex = 2;
    ZQI_TakeManifestSettings();
    const RuntimeSettings& settings = g_runtime.settings;
    EXPECT_EQ(1, settings.forceResolution);
    EXPECT_EQ(1024, settings.forcedWidth);
    EXPECT_EQ(600, settings.forcedHeight);
    ASSERT_NE(nullptr, settings.forcedVariant);
    EXPECT_STREQ("IOS/SMALL", settings.forcedVariant);
    ASSERT_NE(nullptr, settings.resolutionsText);
    EXPECT_STREQ("1920x1080,1280x720", settings.resolutionsText);
    EXPECT_NE(g_manifest.resolutions.CStr(), settings.resolutionsText) << "the settings own their copy";
    EXPECT_EQ(0, settings.resolutionsDisplayIndex);
}

TEST_F(ManifestSettingsTest, EmptyTextsBecomeNull) {
    ZQI_SetOwnedText(&g_runtime.settings.forcedVariant, "WINDOWS");
    ZQI_SetOwnedText(&g_runtime.settings.resolutionsText, "800x600");
    ZQI_TakeManifestSettings();
    EXPECT_EQ(nullptr, g_runtime.settings.forcedVariant);
    EXPECT_EQ(nullptr, g_runtime.settings.resolutionsText);
    EXPECT_EQ(0, g_runtime.settings.forceResolution);
}

TEST_F(ManifestSettingsTest, SplitsTheInputLibrariesIntoAtMostEightNames) {
    g_manifest.inputImplementations.Assign("a.dll,,b.dll,c.dll,d.dll,e.dll,f.dll,g.dll,h.dll,i.dll");
    ZQI_TakeManifestSettings();
    const char* expected[] = {"a.dll", "b.dll", "c.dll", "d.dll", "e.dll", "f.dll", "g.dll", "h.dll"};
    for (int i = 0; i < ZQI_MAX_INPUT_BACK_ENDS; ++i) {
        ASSERT_NE(nullptr, g_runtime.settings.inputLibraryNames[i]) << i;
        EXPECT_STREQ(expected[i], g_runtime.settings.inputLibraryNames[i]);
    }
}

TEST_F(ManifestSettingsTest, KeepsACopyOfTheLocale) {
    g_manifest.locale = static_cast<char*>(malloc(3));
    memcpy(g_manifest.locale, "fi", 3);
    ZQI_TakeManifestSettings();
    ASSERT_NE(nullptr, g_runtime.settings.locale);
    EXPECT_STREQ("fi", g_runtime.settings.locale);
    EXPECT_NE(g_manifest.locale, g_runtime.settings.locale);
}
