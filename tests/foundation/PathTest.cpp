// Path helpers and the file-service hooks they use.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "foundation/ComPointer.h"
#include "foundation/FoundationHooks.h"
#include "foundation/Path.h"

namespace {

std::vector<std::string> g_existing;
std::vector<std::string> g_checked;
std::string g_written;
zq_file_t* g_writtenTo = nullptr;

void FakeSearchPaths(Array<String>* out) {
    out->PushText("res://a/");
    out->PushText("res://b/");
    out->PushText("res://c/");
}

bool FakeFileExists(const char* path) {
    g_checked.push_back(path);
    for (const std::string& e : g_existing) {
        if (e == path) return true;
    }
    return false;
}

uint64_t FakeWriteFile(const void* buffer, uint64_t size, zq_file_t* file) {
    g_written.append(static_cast<const char*>(buffer), static_cast<size_t>(size));
    g_writtenTo = file;
    return size;
}

class PathTest : public ::testing::Test {
protected:
    void SetUp() override {
        ZQI_FileServiceHooks hooks = {FakeSearchPaths, FakeFileExists, FakeWriteFile};
        ZQI_SetFileServiceHooks(&hooks);
        g_existing.clear();
        g_checked.clear();
        g_written.clear();
        g_writtenTo = nullptr;
    }
    void TearDown() override { ZQI_SetFileServiceHooks(nullptr); }
};

struct FakeCom {
    int releases = 0;
    FakeCom** holderSeenInRelease = nullptr;
    FakeCom* holderValueInRelease = reinterpret_cast<FakeCom*>(1);
    unsigned long Release() {
        ++releases;
        if (holderSeenInRelease != nullptr) holderValueInRelease = *holderSeenInRelease;
        return 0;
    }
};

}  // namespace

TEST(GetPathDirectory, Rules) {
    EXPECT_STREQ("res://data", ZQI_GetPathDirectory("res://data/file.xml").CStr());
    EXPECT_STREQ("a/b", ZQI_GetPathDirectory("a/b/").CStr());
    EXPECT_STREQ("", ZQI_GetPathDirectory("file.xml").CStr());
    EXPECT_STREQ("", ZQI_GetPathDirectory(nullptr).CStr());
    EXPECT_STREQ("", ZQI_GetPathDirectory("/x").CStr());
    String d = ZQI_GetPathDirectory("some/long/directory/name/file.txt");
    EXPECT_EQ(d.Length(), d.length);
}

TEST(CollapseParentDirectories, Rules) {
    EXPECT_STREQ("a/c", ZQI_CollapseParentDirectories("a/b/../c").CStr());
    EXPECT_STREQ("c", ZQI_CollapseParentDirectories("a/b/../../c").CStr());
    EXPECT_STREQ("../x", ZQI_CollapseParentDirectories("../x").CStr());
    EXPECT_STREQ("res://x/z", ZQI_CollapseParentDirectories("res://x/y/../z").CStr());
    EXPECT_STREQ("plain", ZQI_CollapseParentDirectories("plain").CStr());
    EXPECT_STREQ("", ZQI_CollapseParentDirectories(nullptr).CStr());
    String r = ZQI_CollapseParentDirectories("one/two/three/../../four");
    EXPECT_STREQ("one/four", r.CStr());
    EXPECT_EQ(r.Length(), r.length);
}

TEST_F(PathTest, FindFileInSearchPaths) {
    g_existing.push_back("res://b/img.png");
    g_existing.push_back("res://c/img.png");
    EXPECT_STREQ("res://b/img.png", ZQI_FindFileInSearchPaths("img.png").CStr());
    ASSERT_EQ(2u, g_checked.size());  // stops at the first that exists
    EXPECT_EQ("res://a/img.png", g_checked[0]);

    EXPECT_STREQ("", ZQI_FindFileInSearchPaths("missing.png").CStr());
    EXPECT_STREQ("user://x.png", ZQI_FindFileInSearchPaths("user://x.png").CStr());
}

TEST(FindFileInSearchPathsDefault, WithoutHooksNothingIsFound) {
    ZQI_SetFileServiceHooks(nullptr);
    EXPECT_STREQ("", ZQI_FindFileInSearchPaths("img.png").CStr());
}

TEST_F(PathTest, FilePrintfWritesWithoutNul) {
    zq_file_t* file = reinterpret_cast<zq_file_t*>(0x1234);
    EXPECT_EQ(6, ZQI_FilePrintf(file, "%s=%d", "abc", 42));
    EXPECT_EQ("abc=42", g_written);  // the characters, without the NUL
    EXPECT_EQ(file, g_writtenTo);
    g_written.clear();
    std::string big(5000, 'L');
    EXPECT_EQ(5001, ZQI_FilePrintf(file, "%s\n", big.c_str()));
    EXPECT_EQ(big + "\n", g_written);
}

TEST(ReleaseComPointer, ClearsHolderBeforeRelease) {
    FakeCom object;
    FakeCom* holder = &object;
    object.holderSeenInRelease = &holder;
    ZQI_ReleaseComPointer(&holder);
    EXPECT_EQ(nullptr, holder);
    EXPECT_EQ(1, object.releases);
    EXPECT_EQ(nullptr, object.holderValueInRelease);
    ZQI_ReleaseComPointer(&holder);  // null: nothing
    EXPECT_EQ(1, object.releases);
    ZQI_ReleaseComPointer<FakeCom>(nullptr);
}
