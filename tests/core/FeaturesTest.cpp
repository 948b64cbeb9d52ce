// Feature words: building the three lists, the forbidden-word popup, and whole-word lookups.
#include "core/Features.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/CoreState.h"

namespace {

std::vector<std::string> g_popups;

int32_t RecordPopup(int32_t level, const char* text) {
    g_popups.push_back(std::to_string(level) + ":" + text);
    return 0;
}

class FeaturesTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_popups.clear();
        savedPopup_ = g_core.popupMessage;
        g_core.popupMessage = RecordPopup;
        ZQI_ReleaseFeatureTexts();
    }
    void TearDown() override {
        g_core.popupMessage = savedPopup_;
        ZQI_ReleaseFeatureTexts();
    }

    // Fixes the list's three texts the way the manifest reader does.
    static void Publish(const FeatureList& list) {
        ZQI_SetFeatureText(FEATURE_TEXT_FIRST, list.first.CStr());
        ZQI_SetFeatureText(FEATURE_TEXT_COMMAND_LINE, list.commandLine.CStr());
        ZQI_SetFeatureText(FEATURE_TEXT_VARIANT, list.variant.CStr());
    }

    ZQI_PopupMessageFunction savedPopup_ = nullptr;
};

const char kForbiddenPopup[] =
    "2:Feature 'ANALYST' is forbidden at application level, specify it at variant level instead.";

}  // namespace

TEST_F(FeaturesTest, EachLevelFillsItsOwnListJoinedByCommas) {
    FeatureList list;
    ZQI_AddFeatures(&list, "AUTOSCALE,NO_SOUND", FEATURE_LEVEL_APPLICATION);
    ZQI_AddFeatures(&list, "SHOW_FPS", FEATURE_LEVEL_COMMAND_LINE);
    ZQI_AddFeatures(&list, "SHOW_INFO", FEATURE_LEVEL_DEVELOPER);
    ZQI_AddFeatures(&list, "STEAM,GALAXY", FEATURE_LEVEL_VARIANT);
    ZQI_AddFeatures(&list, "DRAW_NOTCH", FEATURE_LEVEL_COMMAND_LINE);
    EXPECT_STREQ(list.first.CStr(), "AUTOSCALE,NO_SOUND,SHOW_INFO");
    EXPECT_STREQ(list.commandLine.CStr(), "SHOW_FPS,DRAW_NOTCH");
    EXPECT_STREQ(list.variant.CStr(), "STEAM,GALAXY");
}

TEST_F(FeaturesTest, NullWordsTrailingCommasAndUnknownLevelsAddNothing) {
    FeatureList list;
    ZQI_AddFeatures(&list, nullptr, FEATURE_LEVEL_APPLICATION);
    ZQI_AddFeatures(nullptr, "NO_SOUND", FEATURE_LEVEL_APPLICATION);
    ZQI_AddFeatures(&list, "NO_SOUND", 4);
    ZQI_AddFeatures(&list, "NO_SOUND", -1);
    EXPECT_TRUE(list.first.IsEmpty());
    EXPECT_TRUE(list.commandLine.IsEmpty());
    EXPECT_TRUE(list.variant.IsEmpty());
    ZQI_AddFeatures(&list, "A,B,", FEATURE_LEVEL_VARIANT);
    EXPECT_STREQ(list.variant.CStr(), "A,B");
}

TEST_F(FeaturesTest, AnalystAtApplicationLevelInDeveloperModeGivesPopupAndStaysOn) {
    FeatureList list;
    list.checkKnownWords = 1;
    ZQI_AddFeatures(&list, "TROPHIES,ANALYST", FEATURE_LEVEL_APPLICATION);
    ASSERT_EQ(g_popups.size(), 1u);
    EXPECT_EQ(g_popups[0], kForbiddenPopup);
    EXPECT_STREQ(list.first.CStr(), "TROPHIES,ANALYST");
    Publish(list);
    EXPECT_TRUE(ZQI_IsFeatureEnabled("ANALYST"));
}

TEST_F(FeaturesTest, AnalystGivesNoPopupAtOtherLevelsOrWithoutTheCheck) {
    FeatureList checked;
    checked.checkKnownWords = 1;
    ZQI_AddFeatures(&checked, "ANALYST", FEATURE_LEVEL_VARIANT);
    ZQI_AddFeatures(&checked, "ANALYST", FEATURE_LEVEL_DEVELOPER);
    ZQI_AddFeatures(&checked, "ANALYST", FEATURE_LEVEL_COMMAND_LINE);
    FeatureList unchecked;
    ZQI_AddFeatures(&unchecked, "ANALYST", FEATURE_LEVEL_APPLICATION);
    ZQI_AddFeatures(&unchecked, "ANALYST", FEATURE_LEVEL_VARIANT);
    EXPECT_TRUE(g_popups.empty());
    EXPECT_STREQ(checked.variant.CStr(), "ANALYST");
    EXPECT_STREQ(unchecked.first.CStr(), "ANALYST");
}

TEST_F(FeaturesTest, AWordInAnyListIsOnAndNoListSwitchesItOff) {
    for (FeatureTextId id : {FEATURE_TEXT_FIRST, FEATURE_TEXT_COMMAND_LINE, FEATURE_TEXT_VARIANT}) {
        ZQI_ReleaseFeatureTexts();
        EXPECT_FALSE(ZQI_IsFeatureEnabled("NO_SOUND"));
        ZQI_SetFeatureText(id, "SHOW_FPS,NO_SOUND");
        EXPECT_TRUE(ZQI_IsFeatureEnabled("NO_SOUND")) << id;
        EXPECT_TRUE(ZQI_IsFeatureEnabled("SHOW_FPS")) << id;
    }
}

TEST_F(FeaturesTest, OnlyWholeCaseSensitiveWordsMatch) {
    ZQI_SetFeatureText(FEATURE_TEXT_FIRST, "AUTOSCALE_RETAIN_ASPECT_RATIO");
    ZQI_SetFeatureText(FEATURE_TEXT_VARIANT, "SHOW_FPS;DRAW_NOTCH SHOW_INFO");
    EXPECT_TRUE(ZQI_IsFeatureEnabled("AUTOSCALE_RETAIN_ASPECT_RATIO"));
    EXPECT_FALSE(ZQI_IsFeatureEnabled("AUTOSCALE"));
    EXPECT_FALSE(ZQI_IsFeatureEnabled("RATIO"));
    EXPECT_FALSE(ZQI_IsFeatureEnabled("autoscale_retain_aspect_ratio"));
    EXPECT_TRUE(ZQI_IsFeatureEnabled("DRAW_NOTCH"));
    EXPECT_TRUE(ZQI_IsFeatureEnabled("SHOW_INFO"));
    EXPECT_FALSE(ZQI_IsFeatureEnabled(""));
    EXPECT_FALSE(ZQI_IsFeatureEnabled(nullptr));
}

TEST_F(FeaturesTest, FeatureTextsAreOwnedCopies) {
    std::string source = "NO_POPUPS";
    ZQI_SetFeatureText(FEATURE_TEXT_COMMAND_LINE, source.c_str());
    source[0] = 'X';
    EXPECT_STREQ(ZQI_GetFeatureText(FEATURE_TEXT_COMMAND_LINE), "NO_POPUPS");
    ZQI_SetFeatureText(FEATURE_TEXT_COMMAND_LINE, nullptr);
    EXPECT_EQ(ZQI_GetFeatureText(FEATURE_TEXT_COMMAND_LINE), nullptr);
    EXPECT_EQ(ZQI_GetFeatureText(FEATURE_TEXT_COUNT), nullptr);
    ZQI_SetFeatureText(FEATURE_TEXT_COUNT, "IGNORED");  // logged and ignored
    EXPECT_FALSE(ZQI_IsFeatureEnabled("IGNORED"));
}

TEST_F(FeaturesTest, KnownFeatureTableKeepsItsOrder) {
    const char* const expected[] = {"ACCOUNT_MANAGEMENT",
                                    "ACCOUNT_MANAGEMENT_NO_INTERACTION",
                                    "ANALYST",
                                    "DEVELOPER_MODE",
                                    "HIDE_ACHIEVEMENT_NOTIFICATIONS",
                                    "NO_EXTERNAL_LINKS",
                                    "SEND_ACHIEVEMENTS_MULTIPLE_TIMES",
                                    "TROPHIES"};
    for (int32_t i = 0; i < 8; ++i) {
        EXPECT_EQ(ZQI_FindKnownFeature(expected[i]), i + 1) << expected[i];
    }
    EXPECT_EQ(ZQI_FindKnownFeature(""), 0);
    EXPECT_EQ(ZQI_FindKnownFeature(nullptr), 0);
    EXPECT_EQ(ZQI_FindKnownFeature("NO_SOUND"), 0);
}

TEST_F(FeaturesTest, EngineWordListHoldsEngineServiceAndKnownWords) {
    for (const char* word : {"MULTITOUCH", "DEBUG_DRAW_BLACK_SCREEN_INSTEAD_OF_PROGRAM", "KARTRIDGE",
                             "LEADERBOARDS", "ACHIEVEMENTS", "IN_APP_PURCHASES", "LOCAL_LEADERBOARDS",
                             "SIMULATED_CLOUD", "SIMULATED_LEADERBOARDS", "SIMULATED_SOCIAL",
                             "REGISTER_FOR_LOCAL_NOTIFICATIONS_ON_LAUNCH", "DEVELOPER_MODE", "TROPHIES"}) {
        EXPECT_TRUE(ZQI_IsEngineFeatureWord(word)) << word;
    }
    // The overlay-zoom render targets share the naming style but are not feature words.
    for (const char* word : std::initializer_list<const char*>{"OVERLAY_ZOOM_COLOR", "OVERLAY_ZOOM_DEPTH",
                                                               "no_sound", "", nullptr}) {
        EXPECT_FALSE(ZQI_IsEngineFeatureWord(word)) << (word ? word : "null");
    }
}
