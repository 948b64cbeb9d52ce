// Tests of the manifest reader: identity, frame time, variants per platform, developer settings,
// feature words, deprecated keys, sound packages, GetParameter and the manifest list.
#include <cstring>

#include "ManifestTestSupport.h"
#include "core/ApiTable.h"
#include "core/CommandLine.h"
#include "core/CoreState.h"
#include "core/Features.h"
#include "core/ProgramRecord.h"
#include "data/DMRecords.h"
#include "data/DataManager.h"
#include "foundation/EnumNames.h"
#include "startup/Manifest.h"
#include "startup/ManifestList.h"
#include "startup/ManifestState.h"
#include "startup/ManifestValues.h"

namespace {

const char kNoVariantMessage[] =
    "No build variant found for current platform id 'WINDOWS'.\n\nUse force_variant to use another platform "
    "for development purposes.";

uint32_t KeyCodeOfTilde(const char* name) {
    return strcmp(name, "TILDE") == 0 ? 192u : 0u;
}

int g_rendererCreations = 0;
void CountRendererCreation() {
    ++g_rendererCreations;
}

const char* AnswerGetLanguage(const char* function, const char*) {
    return strcmp(function, "GetLanguage") == 0 ? "FI" : nullptr;
}

class ManifestTest : public StartupTest {
protected:
    // prog.xml with an application node of those keys and a WINDOWS variant of those keys.
    void WriteProg(const Keys& application, const Keys& windows = Keys()) {
        WriteResFile("prog.xml",
                     ManifestWith(XmlNode("APPLICATION", application), XmlNode("WINDOWS", windows)));
    }
    void WriteDeveloperSettingsInProg(const Keys& developer, const std::string& variants) {
        WriteResFile("prog.xml", ManifestWith(XmlNode("DEVELOPER", developer), variants));
    }
    // Loads with developer mode switched on from prog.xml's own developer node.
    void LoadInDeveloperMode(const std::string& variants, Keys developer = Keys()) {
        developer.insert(developer.begin(), {"developer_mode", "1"});
        WriteDeveloperSettingsInProg(developer, variants);
        LoadProgXml();
    }
};

// ---- Identity and application settings ----

TEST_F(ManifestTest, ApplicationNodeFillsTheIdentityAndSettings) {
    WriteProg({{"program_id", "zq.test"},
               {"name", "Test Game"},
               {"developer", "Makers"},
               {"version", "1.2.3"},
               {"locale", "en"},
               {"fps_limit", "60"},
               {"control_interfaces", "touch,pad"},
               {"reference_resolution", "1280x720"},
               {"packages", "core,extra"}});
    LoadProgXml();
    EXPECT_STREQ("zq.test", Record().id);
    EXPECT_STREQ("Test Game", Record().title);
    EXPECT_STREQ("Test Game", Record().user_dir_name);  // follows the title without a key
    EXPECT_STREQ("Makers", Record().developer_name);
    EXPECT_STREQ("1.2.3", Record().version);
    ASSERT_NE(nullptr, Record().parameters.locale);
    EXPECT_STREQ("en", Record().parameters.locale);
    EXPECT_EQ(16u, Record().parameters.frame_time);
    EXPECT_STREQ("touch,pad", g_manifest.controlInterfaces.CStr());
    EXPECT_EQ(1280, Record().parameters.design_width);
    EXPECT_EQ(720, Record().parameters.design_height);
    EXPECT_STREQ("core,extra", g_manifest.packages.CStr());
    EXPECT_STREQ("WINDOWS", g_manifest.variantId.CStr());
    EXPECT_TRUE(ExitCodes().empty());
}

TEST_F(ManifestTest, ProgXmlIsReadFromResThroughTheFileSystem) {
    WriteProg({{"name", "From Disk"}});
    LoadProgXml();
    EXPECT_STREQ("From Disk", Record().title);
    const DMDatabase* prog = DataManager::GetDatabase("res://prog.xml");
    ASSERT_NE(nullptr, prog);
    EXPECT_NE(nullptr, prog->GetArray("PARAMETERS"));
    EXPECT_NE(nullptr, prog->GetArray("VARIANTS"));
}

TEST_F(ManifestTest, AScrambledProgXmlIsReadLikeAPlainOne) {
    DMDatabase source;
    const std::string text =
        ManifestWith(XmlNode("APPLICATION", {{"name", "Scrambled"}}), XmlNode("WINDOWS", {{"locale", "fi"}}));
    ASSERT_TRUE(source.LoadXMLFromMemory(text.data(), static_cast<int32_t>(text.size())));
    ASSERT_TRUE(source.SaveFile("res://prog.xml", true));
    LoadProgXml();
    EXPECT_STREQ("Scrambled", Record().title);
    ASSERT_NE(nullptr, Record().parameters.locale);
    EXPECT_STREQ("fi", Record().parameters.locale);
    EXPECT_TRUE(ExitCodes().empty());
}

TEST_F(ManifestTest, IdentityTextsAreCutToTheirFields) {
    const std::string longId(40, 'i');
    const std::string longVersion(20, '9');
    WriteProg({{"program_id", longId}, {"version", longVersion}, {"user_dir_name", "Saves"}});
    LoadProgXml();
    EXPECT_EQ(longId.substr(0, 31), Record().id);
    EXPECT_EQ(longVersion.substr(0, 15), Record().version);
    EXPECT_STREQ("Saves", Record().user_dir_name);
}

TEST_F(ManifestTest, FrameTimeIsTheWholePartOfAThousandOverTheLimitPlusTwo) {
    uint32_t frameTime = 0;
    ASSERT_TRUE(ZQI_ComputeFrameTime("30", &frameTime));
    EXPECT_EQ(31u, frameTime);
    ASSERT_TRUE(ZQI_ComputeFrameTime("60", &frameTime));
    EXPECT_EQ(16u, frameTime);
    ASSERT_TRUE(ZQI_ComputeFrameTime("0", &frameTime));
    EXPECT_EQ(500u, frameTime);
    ASSERT_TRUE(ZQI_ComputeFrameTime("1000", &frameTime));
    EXPECT_EQ(0u, frameTime);
}

TEST_F(ManifestTest, WithoutAnFpsLimitTheFrameTimeStaysZero) {
    WriteProg({{"name", "Game"}});
    LoadProgXml();
    EXPECT_EQ(0u, Record().parameters.frame_time);
}

TEST_F(ManifestTest, AnFpsLimitThatGivesNoFrameTimeIsRefused) {
    uint32_t frameTime = 7;
    EXPECT_FALSE(ZQI_ComputeFrameTime("-2", &frameTime));
    EXPECT_FALSE(ZQI_ComputeFrameTime("-5", &frameTime));
    EXPECT_EQ(7u, frameTime);
    WriteProg({{"fps_limit", "-2"}});
    LoadProgXml();
    EXPECT_EQ(0u, Record().parameters.frame_time);
    ASSERT_EQ(1u, Logs().size());
    EXPECT_EQ(2, Logs()[0].level);
    EXPECT_NE(std::string::npos, Logs()[0].text.find("fps_limit '-2'"));
}

TEST_F(ManifestTest, MissingProgXmlGivesOneErrorPopupAndKeepsTheDefaults) {
    strcpy(Record().title, "From the library");
    LoadProgXml();
    ASSERT_EQ(1u, Popups().size());
    EXPECT_EQ(2, Popups()[0].level);
    EXPECT_EQ("Cannot find prog.xml. It should be located in res://.", Popups()[0].text);
    EXPECT_STREQ("From the library", Record().title);
    EXPECT_EQ(nullptr, ZQI_GetParameter("name"));
}

TEST_F(ManifestTest, AProgXmlWithoutArraysIsLoggedAndKeepsTheDefaults) {
    strcpy(Record().title, "From the library");
    WriteResFile("prog.xml", XmlDocument(""));
    LoadProgXml();
    EXPECT_EQ(1, CountText(Logs(), "LoadProgXml: 'res://prog.xml' holds no arrays; the defaults stay."));
    EXPECT_STREQ("From the library", Record().title);
    EXPECT_TRUE(Popups().empty());
}

TEST_F(ManifestTest, NoPopupsOnTheCommandLineSilencesPopupsFromTheStart) {
    ZQI_SetCommandLine("zorqa.exe --features NO_POPUPS");
    LoadProgXml();
    EXPECT_TRUE(ZQI_ArePopupsSwitchedOff());
    EXPECT_TRUE(Popups().empty());
}

TEST_F(ManifestTest, IdentityLeftOutOfTheManifestIsReportedByTheFieldCheck) {
    WriteResFile(
        "prog.xml",
        ManifestWith(XmlNode("APPLICATION", {{"name", "Game"}, {"version", "1.0"}}) +
                         XmlNode("DEVELOPER", {{"developer_mode", "1"}, {"logging_verbose_level", "INFO"}}),
                     XmlNode("WINDOWS", {})));
    g_core.program = &g_core.programRecord;  // start-up's record in use while the manifest is read
    LoadProgXml();
    ZQI_CheckProgramFields();
    EXPECT_EQ(1, CountText(Popups(), "Program doesn't have 'zq_program_t::id' set, set 'prog->id'"));
    EXPECT_EQ(1, CountText(Popups(),
                           "Program doesn't have 'zq_program_t::developer_name' set, set "
                           "'prog->developer_name'"));
    EXPECT_EQ(0, CountText(Popups(), "Program doesn't have 'zq_program_t::title' set, set 'prog->title'"));
    EXPECT_STREQ("Ostrel", g_core.developerName);
    EXPECT_STREQ("Game", g_core.userDirName);
}

// ---- Variants ----

TEST_F(ManifestTest, AScreenSizeVariantIsPreferredToThePlatformsOwn) {
    WriteResFile("prog.xml", ManifestWith(XmlNode("APPLICATION", {{"name", "App"}}),
                                          XmlNode("WINDOWS", {{"name", "Plain"}}) +
                                              XmlNode("WINDOWS/LARGE", {{"name", "Large"}})));
    ZQI_SetManifestPlatform(PLATFORM_ID_WINDOWS, SCREEN_SIZE_LARGE);
    LoadProgXml();
    EXPECT_STREQ("Large", Record().title);
    EXPECT_STREQ("WINDOWS/LARGE", g_manifest.variantId.CStr());
}

TEST_F(ManifestTest, WithoutANodeForTheScreenSizeThePlatformsNodeIsUsed) {
    WriteResFile("prog.xml",
                 ManifestWith(XmlNode("APPLICATION", {}), XmlNode("WINDOWS", {{"name", "Plain"}}) +
                                                              XmlNode("WINDOWS/LARGE", {{"name", "L"}})));
    ZQI_SetManifestPlatform(PLATFORM_ID_WINDOWS, SCREEN_SIZE_MEDIUM);
    LoadProgXml();
    EXPECT_STREQ("Plain", Record().title);
    EXPECT_STREQ("WINDOWS", g_manifest.variantId.CStr());
}

TEST_F(ManifestTest, VariantIdentityOverridesTheApplication) {
    WriteProg({{"name", "App"}, {"user_dir_name", "appdir"}, {"developer", "Dev"}, {"version", "1.0"}},
              {{"name", "Windows Edition"}, {"version", "2.0"}});
    LoadProgXml();
    EXPECT_STREQ("Windows Edition", Record().title);
    EXPECT_STREQ("Windows Edition", Record().user_dir_name);  // a variant name moves the folder too
    EXPECT_STREQ("Dev", Record().developer_name);
    EXPECT_STREQ("2.0", Record().version);
}

TEST_F(ManifestTest, AVariantWithoutANameKeepsTheUserFolder) {
    WriteProg({{"name", "App"}, {"user_dir_name", "appdir"}}, {{"version", "2.0"}});
    LoadProgXml();
    EXPECT_STREQ("appdir", Record().user_dir_name);
}

TEST_F(ManifestTest, ForcedVariantIsReadAndMakesTheWindowWindowed) {
    LoadInDeveloperMode(XmlNode("WINDOWS", {{"name", "Win"}}) + XmlNode("IOS", {{"name", "Phone"}}),
                        {{"force_variant", "IOS"}});
    EXPECT_STREQ("Phone", Record().title);
    EXPECT_STREQ("IOS", g_manifest.variantId.CStr());
    EXPECT_EQ(1, Record().parameters.windowed);
    EXPECT_STREQ("*", g_manifest.resolutions.CStr());  // the platform is still Windows
}

TEST_F(ManifestTest, NoMatchingVariantReportsAndExitsWithMinusOne) {
    WriteResFile("prog.xml", ManifestWith(XmlNode("APPLICATION", {}), XmlNode("IOS", {{"name", "Phone"}})));
    LoadProgXml();
    ASSERT_EQ(1u, DeveloperPopups().size());
    EXPECT_EQ(2, DeveloperPopups()[0].level);
    EXPECT_EQ(kNoVariantMessage, DeveloperPopups()[0].text);
    ASSERT_EQ(1u, ExitCodes().size());
    EXPECT_EQ(-1, ExitCodes()[0]);
    EXPECT_STREQ("", Record().title);
}

TEST_F(ManifestTest, WithoutVariantsNothingIsChosenAndNothingEnds) {
    WriteResFile("prog.xml", XmlDocument(XmlArray("PARAMETERS", XmlNode("APPLICATION", {{"name", "App"}}))));
    LoadProgXml();
    EXPECT_STREQ("App", Record().title);
    EXPECT_TRUE(ExitCodes().empty());
    EXPECT_EQ(nullptr, ZQI_GetParameter("name"));  // GetParameter needs the variants
}

TEST_F(ManifestTest, VariantReadsResolutionsFeaturesAndPackageLists) {
    WriteProg({}, {{"resolutions", "1920x1080,1280x720"},
                   {"features", "SHOW_FPS,NO_SOUND"},
                   {"packages", "base"},
                   {"addon_packages", "addon"},
                   {"gfx_packages", "gfx-720,gfx-1080"},
                   {"control_interfaces", "mouse"},
                   {"reference_resolution", "1920"}});
    LoadProgXml();
    EXPECT_STREQ("1920x1080,1280x720", g_manifest.resolutions.CStr());
    EXPECT_EQ(1, CountText(Prints(), "Supported resolutions: '1920x1080,1280x720'."));
    EXPECT_TRUE(ZQI_IsFeatureEnabled("SHOW_FPS"));
    EXPECT_TRUE(ZQI_IsFeatureEnabled("NO_SOUND"));
    EXPECT_STREQ("SHOW_FPS,NO_SOUND", ZQI_GetFeatureText(FEATURE_TEXT_VARIANT));
    EXPECT_STREQ("base", g_manifest.packages.CStr());
    EXPECT_STREQ("addon", g_manifest.addonPackages.CStr());
    EXPECT_STREQ("gfx-720,gfx-1080", g_manifest.gfxPackages.CStr());
    EXPECT_STREQ("mouse", g_manifest.controlInterfaces.CStr());
    EXPECT_EQ(1920, Record().parameters.design_width);
    EXPECT_EQ(0, Record().parameters.design_height);  // the missing part
}

TEST_F(ManifestTest, ResolutionsDefaultToAnyWhenTheVariantHasNone) {
    WriteProg({});
    LoadProgXml();
    EXPECT_STREQ("*", g_manifest.resolutions.CStr());
    EXPECT_EQ(1, CountText(Prints(), "Supported resolutions: '*'."));
}

struct IosCase {
    ScreenSizeId size;
    const char* designSize;
    const char* expected;
};

TEST_F(ManifestTest, IosAnyResolutionBecomesTheDeviceFamilysList) {
    const IosCase cases[] = {
        {SCREEN_SIZE_SMALL, "720x1280",
         "1242x2688,1125x2436,1242x2208,1125x2001,828x1792,750x1334,640x1136,640x960,320x480"},
        {SCREEN_SIZE_SMALL, "1280x720",
         "2688x1242,2436x1125,2208x1242,2001x1125,1792x828,1334x750,1136x640,960x640,480x320"},
        {SCREEN_SIZE_LARGE, "768x1024", "2048x2732,1668x2388,1668x2224,1536x2048,768x1024"},
        {SCREEN_SIZE_LARGE, "1024x768", "2732x2048,2388x1668,2224x1668,2048x1536,1024x768"},
        {SCREEN_SIZE_MEDIUM, "768x1024", "*"},
    };
    for (const IosCase& iosCase : cases) {
        ZQI_ReleaseManifest();
        ZQI_SetManifestPlatform(PLATFORM_ID_IOS, iosCase.size);
        WriteResFile("prog.xml",
                     ManifestWith(XmlNode("APPLICATION", {}),
                                  XmlNode("IOS", {{"reference_resolution", iosCase.designSize}})));
        LoadProgXml();
        EXPECT_STREQ(iosCase.expected, g_manifest.resolutions.CStr()) << iosCase.designSize;
    }
    EXPECT_TRUE(Popups().empty());
}

TEST_F(ManifestTest, IosExplicitResolutionsArePoppedButKept) {
    ZQI_SetManifestPlatform(PLATFORM_ID_IOS, SCREEN_SIZE_SMALL);
    WriteResFile("prog.xml",
                 ManifestWith(XmlNode("APPLICATION", {}), XmlNode("IOS", {{"resolutions", "640x960"}})));
    LoadProgXml();
    EXPECT_STREQ("640x960", g_manifest.resolutions.CStr());
    ASSERT_EQ(1u, Popups().size());
    EXPECT_EQ(1, Popups()[0].level);
    EXPECT_EQ("Replace prog.xml VARIANT IOS/* resolutions parameter with \"*\" or remove completely.",
              Popups()[0].text);
}

TEST_F(ManifestTest, AutoLocaleIsAskedFromGetLanguageAndLowerCased) {
    ZQI_GetApi()->ExtensionCall = AnswerGetLanguage;
    WriteProg({{"locale", "en"}}, {{"locale", "auto"}});
    LoadProgXml();
    ASSERT_NE(nullptr, Record().parameters.locale);
    EXPECT_STREQ("fi", Record().parameters.locale);
    EXPECT_EQ(g_manifest.locale, Record().parameters.locale);
}

TEST_F(ManifestTest, InputImplementationsGetTheirLibrarySuffix) {
    WriteProg({}, {{"input_implementations", "pad,touch.dll"}});
    LoadProgXml();
    EXPECT_STREQ("pad.dll,touch.dll", g_manifest.inputImplementations.CStr());
}

TEST_F(ManifestTest, TheRendererObjectIsMadeWhileTheVariantIsRead) {
    ManifestHooks hooks = g_manifest.hooks;
    hooks.createRenderer = CountRendererCreation;
    ZQI_SetManifestHooks(&hooks);
    g_rendererCreations = 0;
    WriteProg({});
    LoadProgXml();
    EXPECT_EQ(1, g_rendererCreations);
}

// ---- Deprecated and misspelt keys ----

TEST_F(ManifestTest, DeprecatedVariantKeysAreReported) {
    WriteProg({}, {{"renderer_implementation", "d3d9"},
                   {"sound_implementation", "xaudio"},
                   {"input_implementation", "pad"}});
    LoadProgXml();
    EXPECT_EQ(1, CountText(DeveloperPopups(),
                           "Deprecated 'renderer_implementation' definition in prog.xml. Remove it."));
    EXPECT_EQ(1, CountText(DeveloperPopups(),
                           "In prog.xml parameter input_implementation is not in use: use "
                           "input_implementations instead (note the s)."));
    EXPECT_EQ(1, CountText(Popups(), "Deprecated 'sound_implementation' definition in prog.xml. Remove it."));
    ASSERT_FALSE(DeveloperPopups().empty());
    EXPECT_EQ(2, DeveloperPopups()[0].level);
}

TEST_F(ManifestTest, DeveloperModeChecksEveryVariant) {
    LoadInDeveloperMode(XmlNode("WINDOWS", {}) + XmlNode("WINDOWS", {}) +
                        XmlNode("METRO", {{"program_library", "x"}}));
    EXPECT_EQ(2,
              CountText(DeveloperPopups(),
                        "There are multiple VARIANTS with id 'WINDOWS' in prog.xml. There can be only one."));
    EXPECT_EQ(
        1, CountText(Popups(), "Deprecated variant id METRO found in prog.xml. Replace it with WINDOWS_RT."));
    EXPECT_EQ(1, CountText(Popups(), "Deprecated parm 'program_library' in prog.xml. Remove it."));
}

TEST_F(ManifestTest, ReleaseModeDoesNotCheckTheVariants) {
    WriteResFile("prog.xml",
                 ManifestWith(XmlNode("APPLICATION", {}),
                              XmlNode("WINDOWS", {}) + XmlNode("WINDOWS", {}) + XmlNode("METRO", {})));
    LoadProgXml();
    EXPECT_TRUE(DeveloperPopups().empty());
    EXPECT_TRUE(Popups().empty());
}

// ---- Sound packages ----

TEST_F(ManifestTest, TheStandardMusicPackageIsUsedOnlyWhenItsArchiveExists) {
    const std::string music = std::string("data-music-") + ZQI_GetPlatformMusicFormat(PLATFORM_ID_WINDOWS);
    WriteProg({});
    LoadProgXml();
    EXPECT_STREQ("", g_manifest.musicPackage.CStr());
    EXPECT_STREQ("", g_manifest.soundFxPackage.CStr());

    ZQI_ReleaseManifest();
    WriteResFile(music + ".pak", "PAK");
    LoadProgXml();
    EXPECT_EQ(music, g_manifest.musicPackage.CStr());
    EXPECT_STREQ("", g_manifest.soundFxPackage.CStr());
}

TEST_F(ManifestTest, DeprecatedSoundFormatsNameTheirPackageAfterAPopup) {
    const std::string standard = ZQI_GetPlatformMusicFormat(PLATFORM_ID_WINDOWS);
    WriteProg({}, {{"music_format", standard}, {"sound_fx_format", "@open:WAV_22050"}});
    LoadProgXml();
    EXPECT_EQ(1, CountText(Popups(), "prog.xml:WINDOWS defines deprecated 'music_format' parameter '" +
                                         standard + "'. Just remove it."));
    const std::string standardFx = ZQI_GetPlatformSoundFxFormat(PLATFORM_ID_WINDOWS);
    EXPECT_EQ(1, CountText(Popups(),
                           "prog.xml:WINDOWS defines deprecated 'sound_fx_format' parameter "
                           "'@open:WAV_22050' but the value differs from platform standard ('" +
                               standardFx +
                               "'). To fix the issue:\n1) Remove 'sound_fx_format' from prog.xml for "
                               "this variant, and\n2) Add data-sfx-@open:WAV_22050 to addon_packages."));
    EXPECT_EQ("data-music-" + standard, g_manifest.musicPackage.CStr());
    EXPECT_STREQ("data-sfx-WAV_22050", g_manifest.soundFxPackage.CStr());
}

// ---- Developer settings ----

TEST_F(ManifestTest, DeveloperModeFollowsTheFirstCharacterOfItsValue) {
    const struct {
        const char* value;
        uint8_t on;
    } cases[] = {{"1", 1}, {"true", 1}, {"t", 1}, {"yes", 0}, {"0", 0}, {"True", 0}};
    for (const auto& developerCase : cases) {
        ZQI_ReleaseManifest();
        ZQI_ReleaseFeatureTexts();
        g_core.developerMode = 0;
        WriteDeveloperSettingsInProg({{"developer_mode", developerCase.value}}, XmlNode("WINDOWS", {}));
        LoadProgXml();
        EXPECT_EQ(developerCase.on, g_core.developerMode) << developerCase.value;
        EXPECT_EQ(developerCase.on != 0, ZQI_IsFeatureEnabled("DEVELOPER_MODE")) << developerCase.value;
    }
}

TEST_F(ManifestTest, DeveloperXmlTakesPrecedenceOverProgXmlsNode) {
    WriteDeveloperSettingsInProg({{"developer_mode", "0"}, {"logging_verbose_level", "SYSTEM"}},
                                 XmlNode("WINDOWS", {}));
    WriteResFile("developer.xml",
                 XmlDocument(XmlArray("PARAMETERS", XmlNode("DEVELOPER", {{"developer_mode", "1"}}))));
    LoadProgXml();
    EXPECT_EQ(1, g_core.developerMode);
    EXPECT_EQ(2, g_core.logVerboseLevel);  // prog.xml's node was not read
}

TEST_F(ManifestTest, DeveloperXmlWithoutADeveloperNodeFallsBackToProgXml) {
    WriteDeveloperSettingsInProg({{"developer_mode", "1"}}, XmlNode("WINDOWS", {}));
    WriteResFile("developer.xml",
                 XmlDocument(XmlArray("PARAMETERS", XmlNode("OTHER", {{"developer_mode", "0"}}))));
    LoadProgXml();
    EXPECT_EQ(1, g_core.developerMode);
}

TEST_F(ManifestTest, WithoutParametersDeveloperXmlIsNotRead) {
    WriteResFile("prog.xml", XmlDocument(XmlArray("VARIANTS", XmlNode("WINDOWS", {}))));
    WriteResFile("developer.xml",
                 XmlDocument(XmlArray("PARAMETERS", XmlNode("DEVELOPER", {{"developer_mode", "1"}}))));
    LoadProgXml();
    EXPECT_EQ(0, g_core.developerMode);
    EXPECT_STREQ("WINDOWS", g_manifest.variantId.CStr());
}

TEST_F(ManifestTest, LoggingConsoleAndVerboseLevelSettings) {
    WriteDeveloperSettingsInProg(
        {{"logging", "0"}, {"console", "false"}, {"logging_verbose_level", "WARNING"}},
        XmlNode("WINDOWS", {}));
    LoadProgXml();
    EXPECT_EQ(0, g_core.logging);
    EXPECT_EQ(0, g_core.consoleEnabled);
    EXPECT_EQ(1, g_core.logVerboseLevel);
}

TEST_F(ManifestTest, LogLevelNamesAreSearchedInOrder) {
    EXPECT_EQ(0, ZQI_ParseLogLevelName("INFO"));
    EXPECT_EQ(2, ZQI_ParseLogLevelName("level ERROR"));
    EXPECT_EQ(3, ZQI_ParseLogLevelName("SYSTEM"));
    EXPECT_EQ(1, ZQI_ParseLogLevelName("ERROR or WARNING"));  // WARNING is looked for first
    EXPECT_EQ(0, ZQI_ParseLogLevelName("verbose"));           // no level: INFO, not the default
    EXPECT_EQ(0, ZQI_ParseLogLevelName(nullptr));
}

TEST_F(ManifestTest, ConsoleToggleKeyIsLookedUpByName) {
    ManifestHooks hooks = g_manifest.hooks;
    hooks.keyCodeFromName = KeyCodeOfTilde;
    ZQI_SetManifestHooks(&hooks);
    EXPECT_EQ(0xC2A7u, g_core.consoleToggleKey);
    WriteDeveloperSettingsInProg({{"console_toggle_key", "TILDE"}}, XmlNode("WINDOWS", {}));
    LoadProgXml();
    EXPECT_EQ(192u, g_core.consoleToggleKey);

    ZQI_ReleaseManifest();
    WriteDeveloperSettingsInProg({{"console_toggle_key", "NOSUCHKEY"}}, XmlNode("WINDOWS", {}));
    LoadProgXml();
    EXPECT_EQ(0u, g_core.consoleToggleKey);
}

TEST_F(ManifestTest, ForcedResolutionSetsTheSizeAndSuppressesTheResolutionList) {
    WriteDeveloperSettingsInProg({{"force_resolution", "800x600"}},
                                 XmlNode("WINDOWS", {{"resolutions", "1920x1080"}}));
    LoadProgXml();
    EXPECT_EQ(800, Record().parameters.width);
    EXPECT_EQ(600, Record().parameters.height);
    EXPECT_EQ(1, g_manifest.resolutionForced);
    EXPECT_EQ(800, g_manifest.forcedWidth);
    EXPECT_EQ(600, g_manifest.forcedHeight);
    EXPECT_EQ(1, Record().parameters.windowed);
    EXPECT_STREQ("", g_manifest.resolutions.CStr());
    EXPECT_TRUE(Prints().empty());
}

TEST_F(ManifestTest, ForceWindowedNeedsExactlyOne) {
    WriteDeveloperSettingsInProg({{"force_windowed", "yes"}}, XmlNode("WINDOWS", {}));
    LoadProgXml();
    EXPECT_EQ(0, Record().parameters.windowed);

    ZQI_ReleaseManifest();
    WriteDeveloperSettingsInProg({{"force_windowed", "1"}}, XmlNode("WINDOWS", {}));
    LoadProgXml();
    EXPECT_EQ(1, Record().parameters.windowed);
}

TEST_F(ManifestTest, DeveloperOnlyKeysNeedDeveloperMode) {
    const Keys developer = {{"developer_packages", "devpack"},
                            {"input_implementations", "devpad"},
                            {"input_implementation", "old"}};
    WriteDeveloperSettingsInProg(developer, XmlNode("WINDOWS", {{"input_implementations", "pad"}}));
    LoadProgXml();
    EXPECT_STREQ("", g_manifest.developerPackages.CStr());
    EXPECT_STREQ("pad.dll", g_manifest.inputImplementations.CStr());
    EXPECT_TRUE(DeveloperPopups().empty());

    ZQI_ReleaseManifest();
    LoadInDeveloperMode(XmlNode("WINDOWS", {{"input_implementations", "pad"}}), developer);
    EXPECT_STREQ("devpack", g_manifest.developerPackages.CStr());
    EXPECT_STREQ("devpad.dll", g_manifest.inputImplementations.CStr());
    EXPECT_EQ(1, CountText(DeveloperPopups(),
                           "In developer.xml parameter input_implementation is not in use: use "
                           "input_implementations instead (note the s)."));
}

TEST_F(ManifestTest, WithoutVariantsTheDeveloperPackagesAreNotRead) {
    // A manifest without "VARIANTS" ends the reading before the developer packages.
    WriteResFile("prog.xml", XmlDocument(XmlArray(
                                 "PARAMETERS", XmlNode("DEVELOPER", {{"developer_mode", "1"},
                                                                     {"developer_packages", "devpack"}}))));
    LoadProgXml();
    EXPECT_EQ(1, g_core.developerMode);
    EXPECT_STREQ("", g_manifest.developerPackages.CStr());
}

// ---- Feature words ----

TEST_F(ManifestTest, FeatureWordsComeFromEveryLevel) {
    ZQI_SetCommandLine("zorqa.exe --features HIDE_CURSOR");
    WriteResFile("prog.xml", ManifestWith(XmlNode("APPLICATION", {{"features", "AUTOSCALE"}}) +
                                              XmlNode("DEVELOPER", {{"features", "SHOW_INFO"}}),
                                          XmlNode("WINDOWS", {{"features", "NO_SOUND"}})));
    LoadProgXml();
    EXPECT_STREQ("AUTOSCALE,SHOW_INFO", ZQI_GetFeatureText(FEATURE_TEXT_FIRST));
    for (const char* word : {"HIDE_CURSOR", "AUTOSCALE", "SHOW_INFO", "NO_SOUND"}) {
        EXPECT_TRUE(ZQI_IsFeatureEnabled(word)) << word;
    }
    EXPECT_FALSE(ZQI_IsFeatureEnabled("DEVELOPER_MODE"));
}

TEST_F(ManifestTest, ForbiddenApplicationWordIsReportedOnlyInDeveloperMode) {
    const std::string forbidden =
        "Feature 'ANALYST' is forbidden at application level, specify it at variant level instead.";
    WriteResFile("prog.xml", ManifestWith(XmlNode("APPLICATION", {{"features", "ANALYST"}}) +
                                              XmlNode("DEVELOPER", {{"developer_mode", "1"}}),
                                          XmlNode("WINDOWS", {})));
    LoadProgXml();
    EXPECT_EQ(1, CountText(Popups(), forbidden));
    EXPECT_TRUE(ZQI_IsFeatureEnabled("ANALYST"));
    EXPECT_STREQ("DEVELOPER_MODE,ANALYST", ZQI_GetFeatureText(FEATURE_TEXT_FIRST));

    ZQI_ReleaseManifest();
    ZQI_ReleaseFeatureTexts();
    g_core.developerMode = 0;
    ForgetMessages();
    WriteProg({{"features", "ANALYST"}}, {{"features", "ANALYST"}});
    LoadProgXml();
    EXPECT_EQ(0, CountText(Popups(), forbidden));
}

// ---- GetParameter ----

TEST_F(ManifestTest, GetParameterPrefersTheVariantsValue) {
    WriteProg({{"name", "App"}, {"only_app", "a"}}, {{"name", "Win"}});
    LoadProgXml();
    ZQI_InstallManifestApi(ZQI_GetApi());
    EXPECT_STREQ("Win", ZQI_GetApi()->GetParameter("name"));
    EXPECT_STREQ("a", ZQI_GetParameter("only_app"));
    EXPECT_EQ(nullptr, ZQI_GetParameter("nowhere"));
    EXPECT_EQ(nullptr, ZQI_GetParameter(nullptr));
    EXPECT_TRUE(DeveloperPopups().empty());
}

TEST_F(ManifestTest, GetParameterOutlivesARebuildOfTheTables) {
    WriteProg({{"name", "App"}}, {{"name", "Win"}});
    LoadProgXml();
    ZQI_BuildApiTables();
    EXPECT_STREQ("Win", ZQI_GetApi()->GetParameter("name"));
}

TEST_F(ManifestTest, GetParameterReportsAMissingVariantAndFallsBack) {
    WriteProg({{"name", "App"}}, {{"name", "Win"}});
    LoadProgXml();
    g_manifest.variantId.Assign("GONE");
    EXPECT_STREQ("App", ZQI_GetParameter("name"));
    ASSERT_EQ(1u, DeveloperPopups().size());
    EXPECT_EQ(2, DeveloperPopups()[0].level);
    EXPECT_EQ("Missing platform variant 'GONE' in 'res://prog.xml'.", DeveloperPopups()[0].text);
}

// ---- Manifest list ----

TEST_F(ManifestTest, ManifestItemsAreAddedOnceNewestFirst) {
    WriteResFile("extra.xml", XmlDocument(XmlArray("EXTRA", XmlNode("a", {}))));
    WriteResFile("second.xml", XmlDocument(XmlArray("SECOND", XmlNode("b", {}))));
    WriteProg({{"manifest", "extra.xml,missing.xml"}}, {{"manifest", "second.xml"}});
    LoadProgXml();
    ASSERT_EQ(2, ZQI_GetManifestArrayCount());
    EXPECT_STREQ("SECOND", ZQI_GetManifestArray(0)->id);
    EXPECT_STREQ("EXTRA", ZQI_GetManifestArray(1)->id);
    EXPECT_EQ(nullptr, ZQI_GetManifestArray(2));
    EXPECT_EQ(1, CountText(Logs(), "Added manifest 'res://extra.xml'."));
    EXPECT_EQ(0, CountText(Logs(), "Added manifest 'res://missing.xml'."));

    ForgetMessages();
    ZQI_AddManifest("res://extra.xml");
    EXPECT_EQ(2, ZQI_GetManifestArrayCount());
    EXPECT_TRUE(Logs().empty());
}

TEST_F(ManifestTest, AManifestWithoutArraysIsLoggedButNotListed) {
    WriteResFile("empty.xml", XmlDocument(""));
    ZQI_AddManifest("res://empty.xml");
    EXPECT_EQ(0, ZQI_GetManifestArrayCount());
    EXPECT_EQ(1, CountText(Logs(), "Added manifest 'res://empty.xml'."));
}

TEST_F(ManifestTest, DuplicateIdsAndKeysAreReportedInDeveloperMode) {
    DMDatabase database;
    DMArray* array = database.AddArray();
    for (int i = 0; i < 2; ++i) {
        DMNode* node = array->AddNode();
        node->SetValue("id", "hero");
        node->AppendPair("speed", "1");
        node->AppendPair("speed", "2");
    }
    ZQI_CheckDuplicateIds(array);
    EXPECT_TRUE(DeveloperPopups().empty());

    g_core.developerMode = 1;
    ZQI_CheckDuplicateIds(array);
    EXPECT_EQ(1, CountText(DeveloperPopups(), "Array 'null' contains two nodes with id 'hero'."));
    EXPECT_EQ(2, CountText(DeveloperPopups(), "Node 'hero' contains duplicate parameters with id 'speed'."));
    ZQI_CheckDuplicateIds(nullptr);  // nothing to check, no crash
}

}  // namespace
