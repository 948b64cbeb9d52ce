// The search-path list: adding (and moving), removing, the manifest offered for package folders,
// and plain paths resolved through it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "FileSystemTestSupport.h"
#include "filesystem/FileSystemApi.h"
#include "filesystem/SearchPaths.h"

namespace {

std::vector<std::string>& OfferedManifests() {
    static std::vector<std::string> offered;
    return offered;
}

void RecordManifest(const char* path) {
    OfferedManifests().push_back(path);
}

std::vector<std::string> SearchPaths() {
    return TakeStringList(ZQ_FileSystem_GetSearchPaths());
}

class SearchPathTest : public FileSystemTest {
protected:
    void SetUp() override {
        FileSystemTest::SetUp();
        OfferedManifests().clear();
        ZQI_SetAddManifestFunction(RecordManifest);
    }
    void TearDown() override {
        ZQI_SetAddManifestFunction(nullptr);
        FileSystemTest::TearDown();
    }
};

}  // namespace

TEST_F(SearchPathTest, AddingAppendsOrPutsFirstAndMovesExistingEntries) {
    ZQ_FileSystem_AddSearchPath("res://", false);
    ZQ_FileSystem_AddSearchPath("res://packages/hd", false);
    ZQ_FileSystem_AddSearchPath("docs://mods/", true);
    EXPECT_EQ(std::vector<std::string>({"docs://mods/", "res://", "res://packages/hd/"}), SearchPaths());
    ZQ_FileSystem_AddSearchPath("res://", false);
    EXPECT_EQ(std::vector<std::string>({"docs://mods/", "res://packages/hd/", "res://"}), SearchPaths());
    ZQ_FileSystem_AddSearchPath("res://packages/hd/", true);
    EXPECT_EQ(std::vector<std::string>({"res://packages/hd/", "docs://mods/", "res://"}), SearchPaths());
    EXPECT_TRUE(AnyPrintContains("Adding search path 'res://packages/hd/'..."));
    EXPECT_TRUE(AnyPrintContains("Search path priority #3: 'res://'."));
}

TEST_F(SearchPathTest, OnlyResDocsAndUgcFoldersAreSearchPaths) {
    ZQ_FileSystem_AddSearchPath("user://", false);
    ZQ_FileSystem_AddSearchPath("cache://x", false);
    EXPECT_TRUE(SearchPaths().empty());
    EXPECT_TRUE(
        AnyPopupContains("1:File System AddSearchPath: path prefix is invalid in path 'user://', see "
                         "AddSearchPath() for more info."));
    ZQ_FileSystem_AddSearchPath("plain/folder", false);
    ZQ_FileSystem_AddSearchPath("res://../up", false);
    EXPECT_TRUE(SearchPaths().empty());
    EXPECT_TRUE(
        AnyPopupContains("1:File System AddSearchPath: path 'plain/folder' is invalid, see IsPathValid()"));
    ZQ_FileSystem_AddSearchPath(nullptr, false);
    ZQ_FileSystem_AddSearchPath("ugc://", false);
    EXPECT_EQ(std::vector<std::string>({"ugc://"}), SearchPaths());
}

TEST_F(SearchPathTest, PackageFoldersOfferTheirManifest) {
    ZQ_FileSystem_AddSearchPath("res://", false);
    ZQ_FileSystem_AddSearchPath("res://packages/hd/", false);
    ZQ_FileSystem_AddSearchPath("docs://dlc", false);
    EXPECT_EQ(std::vector<std::string>({"res://manifest-packages-hd.xml", "docs://manifest-dlc.xml"}),
              OfferedManifests());
}

TEST_F(SearchPathTest, WarnsFrom128Entries) {
    for (int i = 0; i < 127; ++i) {
        ZQ_FileSystem_AddSearchPath(("res://p" + std::to_string(i)).c_str(), false);
    }
    EXPECT_FALSE(AnyPopupContains("search path array contains"));
    ZQ_FileSystem_AddSearchPath("res://last", false);
    EXPECT_TRUE(AnyPopupContains("1:File System AddSearchPath: search path array contains 128 paths."));
}

TEST_F(SearchPathTest, RemovingAndTesting) {
    ZQ_FileSystem_AddSearchPath("res://a", false);
    ZQ_FileSystem_AddSearchPath("res://b", false);
    EXPECT_TRUE(ZQ_FileSystem_SearchPathExists("res://a"));
    EXPECT_TRUE(ZQ_FileSystem_SearchPathExists("res://a/"));
    EXPECT_FALSE(ZQ_FileSystem_SearchPathExists("res://c"));
    EXPECT_FALSE(ZQ_FileSystem_SearchPathExists(nullptr));
    ZQ_FileSystem_RemoveSearchPath("res://a");
    EXPECT_TRUE(AnyPrintContains("Removed search path #1: 'res://a/'."));
    EXPECT_EQ(std::vector<std::string>({"res://b/"}), SearchPaths());
    ZQ_FileSystem_RemoveSearchPath("res://a");
    EXPECT_TRUE(
        AnyPopupContains("1:File System RemoveSearchPath: path 'res://a/' was not found in search paths."));
    ZQ_FileSystem_RemoveSearchPath(nullptr);
}

TEST_F(SearchPathTest, PlainPathsResolveThroughTheFirstEntryThatHasTheFile) {
    WriteNativeFile(NativePath(SCHEME_RES, "a.txt"), "res");
    WriteNativeFile(NativePath(SCHEME_DOCS, "mods/a.txt"), "mod");
    WriteNativeFile(NativePath(SCHEME_RES, "only-res.txt"), "only");
    EXPECT_FALSE(ZQ_FileSystem_FileExists("a.txt")) << "no search paths yet";
    ZQ_FileSystem_AddSearchPath("res://", false);
    EXPECT_EQ("res", ReadThroughApi("a.txt"));
    ZQ_FileSystem_AddSearchPath("docs://mods", true);
    EXPECT_EQ("mod", ReadThroughApi("a.txt"));
    EXPECT_EQ("only", ReadThroughApi("only-res.txt"));
    EXPECT_FALSE(ZQ_FileSystem_FileExists("missing.txt"));
    EXPECT_FALSE(WriteThroughApi("new.txt", "x")) << "a plain path never creates a file";
}

TEST_F(SearchPathTest, FileInfoOfPlainPaths) {
    WriteNativeFile(NativePath(SCHEME_RES, "info.txt"), "12345");
    ZQ_FileSystem_AddSearchPath("res://", false);
    zq_file_info_t info = {};
    ASSERT_TRUE(ZQ_FileSystem_GetFileInfo("info.txt", &info));
    EXPECT_EQ(5u, info.size);
    EXPECT_FALSE(ZQ_FileSystem_GetFileInfo("missing.txt", &info));
}
