// Tests of the resource packages: list syntax and limits, the four kinds of condition, removal,
// the graphics package choice and the start-up order of the lists.
#include <string>
#include <vector>

#include "ManifestTestSupport.h"
#include "core/ApiTable.h"
#include "core/CoreState.h"
#include "core/Features.h"
#include "data/DMRecords.h"
#include "startup/Manifest.h"
#include "startup/ManifestList.h"
#include "startup/ManifestState.h"
#include "startup/ResourcePackages.h"

namespace {

class ResourcePackagesTest : public StartupTest {
protected:
    void SetScreen(int32_t width, int32_t height, int32_t designHeight = 0) {
        Record().parameters.width = width;
        Record().parameters.height = height;
        Record().parameters.design_height = designHeight;
    }
};

typedef std::vector<std::string> Paths;

// ---- Conditions ----

TEST_F(ResourcePackagesTest, ResComparesBothSidesWithItsOperator) {
    SetScreen(1920, 1080);
    EXPECT_TRUE(ZQI_IsPackageConditionMet("res>=1920x*"));
    EXPECT_TRUE(ZQI_IsPackageConditionMet("res==1920x1080"));
    EXPECT_TRUE(ZQI_IsPackageConditionMet("res=1920x1080"));
    EXPECT_TRUE(ZQI_IsPackageConditionMet("res1920x1080"));
    EXPECT_TRUE(ZQI_IsPackageConditionMet("res<=1920x1200"));
    EXPECT_TRUE(ZQI_IsPackageConditionMet("res==*x*"));
    EXPECT_FALSE(ZQI_IsPackageConditionMet("res==1080x1920"));
    EXPECT_FALSE(ZQI_IsPackageConditionMet("res<=1280x*"));
    EXPECT_FALSE(ZQI_IsPackageConditionMet("res>=1920x1200"));
    EXPECT_TRUE(DeveloperPopups().empty());

    SetScreen(1280, 720);
    EXPECT_FALSE(ZQI_IsPackageConditionMet("res>=1920x*"));
    EXPECT_TRUE(ZQI_IsPackageConditionMet("res<=1280x*"));
}

TEST_F(ResourcePackagesTest, ResMissingNumbersCountAsZero) {
    SetScreen(0, 0);
    EXPECT_TRUE(ZQI_IsPackageConditionMet("res=="));
    SetScreen(640, 0);
    EXPECT_TRUE(ZQI_IsPackageConditionMet("res==640"));
}

TEST_F(ResourcePackagesTest, StrictComparisonsArePoppedAndTakenAsInclusive) {
    SetScreen(1920, 1080);
    EXPECT_TRUE(ZQI_IsPackageConditionMet("res>1920x1080"));
    EXPECT_TRUE(ZQI_IsPackageConditionMet("res<1920x1080"));
    EXPECT_FALSE(ZQI_IsPackageConditionMet("res<1280x720"));
    ASSERT_EQ(3u, DeveloperPopups().size());
    EXPECT_EQ(1, DeveloperPopups()[0].level);
    EXPECT_EQ("prog.xml: res comparison needs to be ==, >=, or <=. 'res>1920x1080' is not supported.",
              DeveloperPopups()[0].text);
}

TEST_F(ResourcePackagesTest, ResolutionHoldsInEitherOrientation) {
    SetScreen(1920, 1080);
    EXPECT_TRUE(ZQI_IsPackageConditionMet("resolution1080x1920"));
    EXPECT_TRUE(ZQI_IsPackageConditionMet("resolution=1920x1080"));
    EXPECT_FALSE(ZQI_IsPackageConditionMet("resolution=1920x1200"));
}

TEST_F(ResourcePackagesTest, FeatureOpenAndUnknownConditions) {
    ZQI_SetFeatureText(FEATURE_TEXT_VARIANT, "HD_ART");
    EXPECT_TRUE(ZQI_IsPackageConditionMet("feature=HD_ART"));
    EXPECT_FALSE(ZQI_IsPackageConditionMet("feature=HD"));
    EXPECT_FALSE(ZQI_IsPackageConditionMet("feature="));
    EXPECT_TRUE(ZQI_IsPackageConditionMet("open"));
    EXPECT_FALSE(ZQI_IsPackageConditionMet("always"));
    EXPECT_FALSE(ZQI_IsPackageConditionMet(""));
    EXPECT_FALSE(ZQI_IsPackageConditionMet(nullptr));
}

// ---- Adding and removing lists ----

TEST_F(ResourcePackagesTest, ConditionalListAddsTheEntriesThatHold) {
    SetScreen(1920, 1080);
    ZQI_AddConditionalPackages("base,@res>=1920x*:hd,@res<=1280x*:sd,@open:extra,x,@nocolon,@open:y", true);
    EXPECT_EQ((Paths{"res://extra/", "res://hd/", "res://base/"}), SearchPaths());

    ZQI_AddConditionalPackages("tail", false);
    EXPECT_EQ("res://tail/", SearchPaths().back());
}

TEST_F(ResourcePackagesTest, FeatureConditionFollowsTheWord) {
    ZQI_AddConditionalPackages("@feature=HD_ART:hd", true);
    EXPECT_TRUE(SearchPaths().empty());
    ZQI_SetFeatureText(FEATURE_TEXT_COMMAND_LINE, "HD_ART");
    ZQI_AddConditionalPackages("@feature=HD_ART:hd", true);
    EXPECT_EQ((Paths{"res://hd/"}), SearchPaths());
}

TEST_F(ResourcePackagesTest, AtMostThirtyTwoEntriesAreRead) {
    std::string list;
    for (int i = 0; i < 33; ++i) {
        list += (i > 0 ? "," : "") + std::string("p") + std::to_string(i);
    }
    ZQI_AddConditionalPackages(list.c_str(), false);
    const Paths paths = SearchPaths();
    ASSERT_EQ(32u, paths.size());
    EXPECT_EQ("res://p31/", paths.back());
}

TEST_F(ResourcePackagesTest, AnEntryTooLongEndsTheList) {
    const std::string list = "first," + std::string(512, 'a') + ",after";
    ZQI_AddConditionalPackages(list.c_str(), false);
    EXPECT_EQ((Paths{"res://first/"}), SearchPaths());
}

TEST_F(ResourcePackagesTest, AConditionTooLongNeverHolds) {
    const std::string list = "@open" + std::string(60, ' ') + ":long,@open:short";
    ZQI_AddConditionalPackages(list.c_str(), false);
    EXPECT_EQ((Paths{"res://short/"}), SearchPaths());
}

TEST_F(ResourcePackagesTest, PakEndingIsPoppedAndRemoved) {
    ZQI_AddSearchPathList("music.pak", true);
    EXPECT_EQ((Paths{"res://music/"}), SearchPaths());
    ASSERT_EQ(1u, DeveloperPopups().size());
    EXPECT_EQ("Adding search path with .pak extension! Remove it from 'music.pak'",
              DeveloperPopups()[0].text);
}

TEST_F(ResourcePackagesTest, RemovalStopsAtTheFirstEmptyEntryAndIgnoresConditions) {
    SetScreen(800, 600);
    ZQI_AddConditionalPackages("aa,bb,cc,music", false);
    ZQI_AddSearchPathList("hd", false);
    ZQI_RemovePackageSearchPaths("@res>=4000x4000:hd,aa,music.pak,,cc");
    EXPECT_EQ((Paths{"res://bb/", "res://cc/"}), SearchPaths());
}

TEST_F(ResourcePackagesTest, AddingAPackageFolderOffersItsManifest) {
    WriteResFile("manifest-packs-hd.xml", XmlDocument(XmlArray("HD", XmlNode("n", {}))));
    MakeResFolder("packs/hd");
    ZQI_InstallManifestApi(ZQI_GetApi());
    ZQI_AddConditionalPackages("packs/hd", true);
    ASSERT_EQ(1, ZQI_GetManifestArrayCount());
    EXPECT_STREQ("HD", ZQI_GetManifestArray(0)->id);
}

// ---- Graphics package ----

TEST_F(ResourcePackagesTest, TheGfxPackageClosestToTheScreenHeightWins) {
    g_manifest.gfxPackages.Assign("gfx-720,gfx_1080");
    SetScreen(1920, 1080, 720);
    ZQI_SelectGfxPackage();
    EXPECT_EQ((Paths{"res://gfx_1080/"}), SearchPaths());
    EXPECT_EQ(1, CountText(Prints(), "Selecting most fitting gfx package 'gfx_1080'"));
}

TEST_F(ResourcePackagesTest, NoGfxPackageIsChosenWhenNoneBeatsTheDesignHeight) {
    g_manifest.gfxPackages.Assign("gfx-720,gfx-1080");
    SetScreen(1920, 1080, 1080);
    ZQI_SelectGfxPackage();
    EXPECT_TRUE(SearchPaths().empty());
    EXPECT_TRUE(Prints().empty());
}

TEST_F(ResourcePackagesTest, GfxHeightIsTheNumberAfterTheLastSeparator) {
    g_manifest.gfxPackages.Assign("sd-480,c-0,hd-v2_1000,d-1000");
    SetScreen(1000, 1000, 100);
    ZQI_SelectGfxPackage();
    EXPECT_EQ((Paths{"res://hd-v2_1000/"}), SearchPaths());
}

TEST_F(ResourcePackagesTest, TheFirstOfTwoEquallyCloseGfxPackagesWins) {
    g_manifest.gfxPackages.Assign("low-900,high-1100");
    SetScreen(1000, 1000, 100);
    ZQI_SelectGfxPackage();
    EXPECT_EQ((Paths{"res://low-900/"}), SearchPaths());
}

TEST_F(ResourcePackagesTest, SelectingAgainReplacesThePreviousGfxPackage) {
    g_manifest.gfxPackages.Assign("gfx-720,gfx-1080");
    SetScreen(1280, 720, 100);
    ZQI_SelectGfxPackage();
    SetScreen(1920, 1080, 100);
    ZQI_SelectGfxPackage();
    EXPECT_EQ((Paths{"res://gfx-1080/"}), SearchPaths());
}

// ---- Lists kept for start-up ----

TEST_F(ResourcePackagesTest, ListsAreNullWhenEmptyAndTheLocalePackageJoinsTheAddons) {
    EXPECT_EQ(nullptr, ZQI_GetAddonPackageList());
    ZQI_AppendAddonPackage("data-fi");
    EXPECT_STREQ("data-fi", ZQI_GetAddonPackageList());
    g_manifest.addonPackages.Assign("extra");
    ZQI_AppendAddonPackage("data-fi");
    EXPECT_STREQ("extra,data-fi", ZQI_GetAddonPackageList());
    EXPECT_EQ(nullptr, ZQI_GetPackageList());
    g_manifest.packages.Assign("base");
    EXPECT_STREQ("base", ZQI_GetPackageList());
}

}  // namespace
