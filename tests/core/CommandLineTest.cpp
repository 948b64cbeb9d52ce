// The command-line options "--features" and "--launch-uri": values end at a blank, quotes stay.
#include "core/CommandLine.h"

#include <gtest/gtest.h>

#include <string>

#include "core/CoreState.h"

namespace {

class CommandLineTest : public ::testing::Test {
protected:
    void SetUp() override { Reset(); }
    void TearDown() override { Reset(); }

    static void Reset() {
        ZQI_ReleaseCommandLine();
        ZQI_ReleaseFeatureTexts();
    }

    // Parses the given command line into a fresh list and fixes the command-line text.
    void Parse(const char* commandLine) {
        ZQI_SetCommandLine(commandLine);
        ZQI_ParseCommandLine(&list_);
    }

    FeatureList list_;
};

}  // namespace

TEST_F(CommandLineTest, NoCommandLineChangesNothing) {
    Parse(nullptr);
    EXPECT_EQ(ZQI_GetCommandLine(), nullptr);
    EXPECT_EQ(ZQI_GetFeatureText(FEATURE_TEXT_COMMAND_LINE), nullptr);
    EXPECT_STREQ(ZQI_GetLaunchUri(), "");
    EXPECT_TRUE(list_.commandLine.IsEmpty());
    ZQI_ParseCommandLine(nullptr);  // logged, no crash
}

TEST_F(CommandLineTest, TwoFeatureWordsAreOnButNotTheirConcatenation) {
    Parse("zorqa.exe --features NO_SOUND,SHOW_FPS -other");
    EXPECT_STREQ(list_.commandLine.CStr(), "NO_SOUND,SHOW_FPS");
    EXPECT_STREQ(ZQI_GetFeatureText(FEATURE_TEXT_COMMAND_LINE), "NO_SOUND,SHOW_FPS");
    EXPECT_TRUE(ZQI_IsFeatureEnabled("NO_SOUND"));
    EXPECT_TRUE(ZQI_IsFeatureEnabled("SHOW_FPS"));
    EXPECT_FALSE(ZQI_IsFeatureEnabled("NO_SOUNDSHOW_FPS"));
    EXPECT_FALSE(ZQI_IsFeatureEnabled("-other"));
}

TEST_F(CommandLineTest, FeaturesAsTheLastWordGivesAnEmptyList) {
    Parse("zorqa.exe --features");
    ASSERT_NE(ZQI_GetFeatureText(FEATURE_TEXT_COMMAND_LINE), nullptr);
    EXPECT_STREQ(ZQI_GetFeatureText(FEATURE_TEXT_COMMAND_LINE), "");
    EXPECT_FALSE(ZQI_IsFeatureEnabled("--features"));
}

TEST_F(CommandLineTest, ABlankEndsTheValueSoADoubleBlankGivesNothing) {
    Parse("--features  NO_SOUND");
    EXPECT_STREQ(ZQI_GetFeatureText(FEATURE_TEXT_COMMAND_LINE), "");
    EXPECT_FALSE(ZQI_IsFeatureEnabled("NO_SOUND"));
}

TEST_F(CommandLineTest, WithoutTheOptionTheCommandLineTextStaysUnmade) {
    Parse("zorqa.exe -windowed");
    EXPECT_EQ(ZQI_GetFeatureText(FEATURE_TEXT_COMMAND_LINE), nullptr);
    EXPECT_STREQ(ZQI_GetLaunchUri(), "");
}

TEST_F(CommandLineTest, LaunchUriIsTheWordAfterTheOption) {
    Parse("zorqa.exe --launch-uri zorqa://open?level=3&mode=hard --features DRAW_NOTCH");
    EXPECT_STREQ(ZQI_GetLaunchUri(), "zorqa://open?level=3&mode=hard");
    EXPECT_TRUE(ZQI_IsFeatureEnabled("DRAW_NOTCH"));
}

TEST_F(CommandLineTest, QuotesAreNotRemoved) {
    Parse("zorqa.exe --launch-uri \"zorqa://a b\" --features \"NO_SOUND\"");
    EXPECT_STREQ(ZQI_GetLaunchUri(), "\"zorqa://a");
    EXPECT_FALSE(ZQI_IsFeatureEnabled("NO_SOUND"));
    EXPECT_TRUE(ZQI_IsFeatureEnabled("\"NO_SOUND\""));
}

TEST_F(CommandLineTest, LongLaunchUriIsReadWhole) {
    const std::string uri = "zorqa://" + std::string(5000, 'x');
    Parse(("zorqa.exe --launch-uri " + uri).c_str());
    EXPECT_EQ(std::string(ZQI_GetLaunchUri()), uri);
}

TEST_F(CommandLineTest, TheKeptCopyIsIndependentAndSharedWithTheCore) {
    std::string source = "zorqa.exe --features SHOW_INFO";
    ZQI_SetCommandLine(source.c_str());
    source.assign("changed");
    EXPECT_STREQ(ZQI_GetCommandLine(), "zorqa.exe --features SHOW_INFO");
    EXPECT_EQ(g_core.commandLine, ZQI_GetCommandLine());
    ZQI_ReleaseCommandLine();
    EXPECT_EQ(ZQI_GetCommandLine(), nullptr);
    EXPECT_EQ(g_core.commandLine, nullptr);
}
