// Virtual paths: scheme numbers, the path checks, normalisation, and the conversions between
// virtual and native paths over the root table.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "FileSystemTestSupport.h"
#include "core/CoreState.h"
#include "filesystem/SchemeRoots.h"
#include "filesystem/VirtualPath.h"

namespace {

std::string Native(SchemeId id, const char* path) {
    String out;
    ConvertPathToNativePath(out, id, path);
    return out.CStr();
}

std::string StaticNative(const char* path) {
    String out;
    ZQ_ConvertStaticPathToNativeOSPath(out, path);
    return out.CStr();
}

std::string Virtual(const char* native) {
    String out;
    ZQI_ConvertNativePathToPath(out, native);
    return out.CStr();
}

// Normalisation as the rule states it, step by step: every "\\" becomes "/", then the first "/.."
// is cut out with the component before it until none is left.
std::string NormalizedStepByStep(std::string text) {
    for (char& c : text) {
        c = c == '\\' ? '/' : c;
    }
    for (size_t at = text.find("/.."); at != std::string::npos; at = text.find("/..")) {
        size_t start = at == 0 ? std::string::npos : text.rfind('/', at - 1);
        start = start == std::string::npos ? 0 : start;
        text.erase(start, at + 3 - start);
    }
    return text;
}

std::string Normalized(const char* text) {
    String value(text);
    ZQI_NormalizePath(value);
    return value.CStr();
}

class VirtualPathTest : public ::testing::Test {
protected:
    void SetUp() override {
        InstallMessageCapture();
        ZQI_ClearSchemeRoots();
        ZQI_SetSchemeRoot(SCHEME_RES, "C:/Game/Data");
        ZQI_SetSchemeRoot(SCHEME_PROJECT, "C:/Game/Data/..");
        ZQI_SetSchemeRoot(SCHEME_USER, "C:/Users/u/AppData/Dev/Prog");
        ZQI_SetSchemeRoot(SCHEME_CACHE, "C:/Users/u/AppData/Dev/Prog/cache");
        ZQI_SetSchemeRoot(SCHEME_LOGS, "C:/Users/u/AppData/Dev/Prog/logs");
        ZQI_SetSchemeRoot(SCHEME_HTTP, "http://");
    }
    void TearDown() override {
        g_core.developerMode = 0;
        ZQI_ClearSchemeRoots();
    }
};

}  // namespace

TEST_F(VirtualPathTest, SchemeIdsFollowThePrefixTable) {
    EXPECT_EQ(SCHEME_RES, ZQI_GetSchemeId("res://a.png"));
    EXPECT_EQ(SCHEME_CACHE, ZQI_GetSchemeId("cache://x"));
    EXPECT_EQ(SCHEME_DOCS, ZQI_GetSchemeId("docs://x"));
    EXPECT_EQ(SCHEME_HTTP, ZQI_GetSchemeId("http://host/x"));
    EXPECT_EQ(SCHEME_LOGS, ZQI_GetSchemeId("logs://x"));
    EXPECT_EQ(SCHEME_MEM, ZQI_GetSchemeId("mem://x"));
    EXPECT_EQ(SCHEME_SAVE, ZQI_GetSchemeId("save://x"));
    EXPECT_EQ(SCHEME_USER, ZQI_GetSchemeId("user://x"));
    EXPECT_EQ(SCHEME_UGC, ZQI_GetSchemeId("ugc://x"));
    EXPECT_EQ(SCHEME_PLAIN, ZQI_GetSchemeId("sprites/player.png"));
    EXPECT_EQ(SCHEME_PLAIN, ZQI_GetSchemeId(nullptr));
    EXPECT_EQ(SCHEME_UNKNOWN, ZQI_GetSchemeId("ftp://x"));
    EXPECT_EQ(SCHEME_UNKNOWN, ZQI_GetSchemeId("a/b://c"));
    EXPECT_EQ(SCHEME_UNKNOWN, ZQI_GetSchemeId("RES://x"));  // prefixes are case-sensitive
}

TEST_F(VirtualPathTest, ProjectSchemeExistsOnlyInDeveloperMode) {
    g_core.developerMode = 0;
    EXPECT_EQ(SCHEME_UNKNOWN, ZQI_GetSchemeId("project://src/a.h"));
    EXPECT_FALSE(ZQI_IsPathValid("project://src/a.h", true, false));
    g_core.developerMode = 1;
    EXPECT_EQ(SCHEME_PROJECT, ZQI_GetSchemeId("project://src/a.h"));
    EXPECT_TRUE(ZQI_IsPathValid("project://src/a.h", true, false));
}

TEST_F(VirtualPathTest, SchemeNames) {
    EXPECT_STREQ("res", ZQI_GetSchemeName(SCHEME_RES));
    EXPECT_STREQ("http", ZQI_GetSchemeName(SCHEME_HTTP));
    EXPECT_STREQ("ugc", ZQI_GetSchemeName(SCHEME_UGC));
    EXPECT_STREQ("", ZQI_GetSchemeName(SCHEME_PROJECT));
    EXPECT_STREQ("", ZQI_GetSchemeName(10));
    EXPECT_STREQ("", ZQI_GetSchemeName(SCHEME_PLAIN));
    EXPECT_STREQ("", ZQI_GetSchemeName(SCHEME_UNKNOWN));
    EXPECT_STREQ("", ZQI_GetSchemeName(-1));
}

TEST_F(VirtualPathTest, BareSchemeNeedsAllowEmptyAndEmptyPathNeverPasses) {
    EXPECT_TRUE(ZQI_IsPathValid("res://", false, true));
    EXPECT_FALSE(ZQI_IsPathValid("res://", false, false));
    EXPECT_FALSE(ZQI_IsPathValid("", false, true));
    EXPECT_FALSE(ZQI_IsPathValid("", false, false));
    EXPECT_FALSE(ZQI_IsPathValid(nullptr, false, true));
}

TEST_F(VirtualPathTest, RejectsPathsThatCouldLeaveTheirFolder) {
    EXPECT_FALSE(ZQI_IsPathValid("res:///a", false, false));
    EXPECT_FALSE(ZQI_IsPathValid("/etc/passwd", false, false));
    EXPECT_FALSE(ZQI_IsPathValid("res://a//b", false, false));
    EXPECT_FALSE(ZQI_IsPathValid("res://a/../b", false, false));
    EXPECT_FALSE(ZQI_IsPathValid("../secret", false, false));
    EXPECT_FALSE(ZQI_IsPathValid("res://a\\b", false, false));
    EXPECT_FALSE(ZQI_IsPathValid("res://a?b", false, false));
    EXPECT_FALSE(ZQI_IsPathValid("res://C:/x", false, false));
    EXPECT_FALSE(ZQI_IsPathValid("res://a*b", false, false));
    EXPECT_FALSE(ZQI_IsPathValid("res://caf\xC3\xA9", false, false));
    EXPECT_FALSE(ZQI_IsPathValid("plain/path", true, false));
    EXPECT_TRUE(ZQI_IsPathValid("plain/path", false, false));
    EXPECT_TRUE(ZQI_IsPathValid("res://A b(1)@x.png", true, false));
}

TEST_F(VirtualPathTest, LengthLimitIsBelow512Bytes) {
    std::string path = "res://" + std::string(511 - 6, 'a');
    ASSERT_EQ(511u, path.size());
    EXPECT_TRUE(ZQI_IsPathValid(path.c_str(), true, false));
    path += "a";
    EXPECT_FALSE(ZQI_IsPathValid(path.c_str(), true, false));
    std::string huge(100000, 'b');
    EXPECT_FALSE(ZQI_IsPathValid(huge.c_str(), false, false));
}

TEST_F(VirtualPathTest, NormalisationFoldsParentsAndSeparators) {
    EXPECT_EQ("a/c", Normalized("a/b/../c"));
    EXPECT_EQ("/c", Normalized("b/../c"));
    EXPECT_EQ("C:/Game/x", Normalized("C:\\Game\\Data\\..\\x"));
    EXPECT_EQ("x", Normalized("a/..x"));
    EXPECT_EQ("", Normalized("/.."));
    EXPECT_EQ("a/b", Normalized("a/b"));
}

TEST_F(VirtualPathTest, NormalisationMatchesTheStepwiseRuleOnEveryShape) {
    // Cuts that join the text around them into a new "/.." are where a one-pass fold can go wrong.
    const char* const shapes[] = {"a/./..",     "a//..",        "/../..", "a/..b/..", "...",      "a/...",
                                  "ab/c/../..", "x/y/../../..", "./..",   "a\\..\\b", "/./../..", ""};
    for (const char* shape : shapes) {
        EXPECT_EQ(NormalizedStepByStep(shape), Normalized(shape)) << shape;
    }
    std::mt19937 random(19);
    const char alphabet[] = {'a', '/', '.', '\\'};
    for (int i = 0; i < 2000; ++i) {
        std::string text(random() % 24, 'a');
        for (char& c : text) {
            c = alphabet[random() % 4];
        }
        EXPECT_EQ(NormalizedStepByStep(text), Normalized(text.c_str())) << text;
    }
}

TEST_F(VirtualPathTest, NormalisingManyParentStepsEndsInOnePass) {
    // 100,000 steps used to rebuild the text once per step (gigabytes under the sanitizers).
    std::string path = "root/a";
    for (int i = 0; i < 100000; ++i) {
        path += "/b/..";
    }
    EXPECT_EQ("root/a", Normalized(path.c_str()));
    std::string climbing = "a";
    for (int i = 0; i < 100000; ++i) {
        climbing += "/..";
    }
    EXPECT_EQ("", Normalized(climbing.c_str()));
}

TEST_F(VirtualPathTest, NativePathOfSchemePaths) {
    EXPECT_EQ("C:/Game/Data/sprites/a.png", Native(SCHEME_RES, "res://sprites/a.png"));
    EXPECT_EQ("C:/Game/Data/", Native(SCHEME_RES, "res://"));
    EXPECT_EQ("http://host/x.png", Native(SCHEME_HTTP, "http://host/x.png"));
    EXPECT_EQ("name", Native(SCHEME_MEM, "mem://name"));  // the mem root stays empty
    ZQI_SetSchemeRoot(SCHEME_DOCS, "C:/Docs/");
    EXPECT_EQ("C:/Docs/a", Native(SCHEME_DOCS, "docs://a"));
    EXPECT_EQ("", Native(SCHEME_RES, "no-scheme"));
}

TEST_F(VirtualPathTest, OverLongUrlIsReportedAndStillReturned) {
    std::string url = "http://h/" + std::string(261 - 9, 'x');
    ASSERT_EQ(261u, url.size());
    EXPECT_EQ(url, Native(SCHEME_HTTP, url.c_str()));
    EXPECT_TRUE(AnyPopupContains("1:File System ConvertPathToNativePath: local native path '" + url));
    EXPECT_TRUE(AnyPopupContains("is too long (max 260 characters)."));
    Captured() = CapturedMessages();
    std::string fits = url.substr(0, 260);
    EXPECT_EQ(fits, Native(SCHEME_HTTP, fits.c_str()));
    EXPECT_TRUE(Captured().popups.empty());
}

TEST_F(VirtualPathTest, StaticConversionAddsExactlyOneSeparator) {
    EXPECT_EQ("C:/Game/Data/a/b.png", StaticNative("res://a/b.png"));
    ZQI_SetSchemeRoot(SCHEME_DOCS, "C:/Docs/");
    EXPECT_EQ("C:/Docs//a", StaticNative("docs://a"));
    EXPECT_EQ("", StaticNative("plain.png"));
    EXPECT_EQ("", StaticNative("ftp://x"));
}

TEST_F(VirtualPathTest, StaticConversionNeverPointsAtTheTopOfTheDrive) {
    // A scheme without a root folder has no native place; "/name" would be the drive's top.
    EXPECT_EQ("", StaticNative("mem://name"));
    EXPECT_EQ("", StaticNative("ugc://name"));
    // An http path is its URL, not "http:///host".
    EXPECT_EQ("http://host/a.png", StaticNative("http://host/a.png"));
}

TEST_F(VirtualPathTest, NativeToVirtualPrefersTheDeeperUserFolders) {
    EXPECT_EQ("cache://img/a.png", Virtual("C:/Users/u/AppData/Dev/Prog/cache/img/a.png"));
    EXPECT_EQ("logs://x.log", Virtual("C:\\Users\\u\\AppData\\Dev\\Prog\\logs\\x.log"));
    EXPECT_EQ("user://settings.xml", Virtual("C:/Users/u/AppData/Dev/Prog/settings.xml"));
    EXPECT_EQ("res://", Virtual("C:/Game/Data"));
    EXPECT_EQ("res://a.png", Virtual("C:/Game/Data/sub/../a.png"));
    EXPECT_EQ("", Virtual("D:/Elsewhere/a.png"));
    EXPECT_EQ("", Virtual(nullptr));
}

TEST_F(VirtualPathTest, NativeToVirtualRespectsFolderBoundaries) {
    // "C:/Game/Data" is a prefix of the text, but not a folder of the file.
    EXPECT_EQ("", Virtual("C:/Game/Database/x.png"));
    EXPECT_EQ("user://cacheX/file", Virtual("C:/Users/u/AppData/Dev/Prog/cacheX/file"));
}

TEST_F(VirtualPathTest, ResourceDirectoryPrefersTheDataFolderWithAManifest) {
    TempFolder temp;
    String out;
    ZQI_GetResourceDirectoryOfExecutable(out, (temp.Path() + "/game.exe").c_str());
    EXPECT_EQ(temp.Path(), out.CStr());
    MakeNativeFolders(temp.Join("game_Data"));
    ZQI_GetResourceDirectoryOfExecutable(out, (temp.Path() + "/game.exe").c_str());
    EXPECT_EQ(temp.Path(), out.CStr()) << "a data folder without prog.xml is not the resource folder";
    WriteNativeFile(temp.Join("game_Data/prog.xml"), "<xml/>");
    ZQI_GetResourceDirectoryOfExecutable(out, (temp.Path() + "/game.exe").c_str());
    EXPECT_EQ(temp.Join("game_Data"), out.CStr());
}

TEST_F(VirtualPathTest, BasePathsFillTheLiveRoots) {
    TempFolder temp;
    ScopedUserFolders userFolders(temp.Path());
    EXPECT_TRUE(ZQI_InitializeBasePaths());
    EXPECT_STREQ("http://", ZQI_GetSchemeRoot(SCHEME_HTTP).CStr());
    EXPECT_FALSE(ZQI_GetSchemeRoot(SCHEME_USER).IsEmpty());
    EXPECT_FALSE(ZQI_GetSchemeRoot(SCHEME_RES).IsEmpty());
    EXPECT_TRUE(ZQI_GetSchemeRoot(SCHEME_CACHE).IsEmpty());
    EXPECT_TRUE(ZQI_GetSchemeRoot(SCHEME_MEM).IsEmpty());
    EXPECT_EQ(std::string::npos, std::string(ZQI_GetSchemeRoot(SCHEME_USER).CStr()).find('\\'));
    // The test executable lies in a build folder, not in a source checkout beside it.
    EXPECT_STREQ(ZQI_GetSchemeRoot(SCHEME_RES).CStr(), ZQI_GetSchemeRoot(SCHEME_PROJECT).CStr());
#if !defined(_WIN32)
    EXPECT_EQ(temp.Join("appdata"), ZQI_GetSchemeRoot(SCHEME_USER).CStr());
    EXPECT_EQ(temp.Join("home/Documents"), ZQI_GetSchemeRoot(SCHEME_DOCS).CStr());
    EXPECT_TRUE(NativeFolderExists(temp.Join("home/Documents")));
#endif
}
