// Memory files and the mem:// system: growth, seeking, reopening, one holder at a time, and
// handles that outlive a deleted name.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "FileSystemTestSupport.h"
#include "filesystem/MemoryFile.h"
#include "filesystem/MemorySystem.h"

using namespace ZQFileSystem;

namespace {

std::string ReadAll(File* file) {
    std::string bytes;
    char chunk[64];
    uint64_t got;
    while ((got = file->Read(chunk, sizeof(chunk))) > 0) {
        bytes.append(chunk, static_cast<size_t>(got));
    }
    return bytes;
}

uint64_t WriteText(File* file, const std::string& text) {
    return file->Write(text.data(), text.size());
}

}  // namespace

TEST(MemoryFileTest, GrowsInStepsOf256Bytes) {
    MemoryFile one(SCHEME_MEM);
    EXPECT_EQ(1u, one.Write("x", 1));
    EXPECT_EQ(256u, one.capacity);
    MemoryFile many(SCHEME_MEM);
    std::string bytes(300, 'y');
    EXPECT_EQ(300u, WriteText(&many, bytes));
    EXPECT_EQ(512u, many.capacity);
    std::string exact(256, 'z');
    MemoryFile full(SCHEME_MEM);
    WriteText(&full, exact);
    EXPECT_EQ(256u, full.capacity);
    EXPECT_EQ(256u, full.GetLength());
}

TEST(MemoryFileTest, SeekStopsAtTheEnd) {
    MemoryFile file(SCHEME_MEM);
    WriteText(&file, "0123456789");
    file.Seek(100, SEEK_ORIGIN_START);
    EXPECT_EQ(10u, file.Tell());
    file.Seek(-3, SEEK_ORIGIN_START);
    EXPECT_EQ(10u, file.Tell()) << "a negative absolute offset ends at the length";
    file.Seek(-4, SEEK_ORIGIN_END);
    EXPECT_EQ(6u, file.Tell());
    char bytes[8] = {0};
    EXPECT_EQ(4u, file.Read(bytes, sizeof(bytes)));
    EXPECT_STREQ("6789", bytes);
    file.Seek(-2, SEEK_ORIGIN_CURRENT);
    EXPECT_EQ(8u, file.Tell());
    file.Seek(5, 7);  // unknown origin keeps the position
    EXPECT_EQ(8u, file.Tell());
}

TEST(MemoryFileTest, WritingInsideKeepsTheRestAndExtendsAtTheEnd) {
    MemoryFile file(SCHEME_MEM);
    WriteText(&file, "abcdef");
    file.Seek(2, SEEK_ORIGIN_START);
    WriteText(&file, "XY");
    EXPECT_EQ(6u, file.GetLength());
    file.Seek(5, SEEK_ORIGIN_START);
    WriteText(&file, "123");
    EXPECT_EQ(8u, file.GetLength());
    file.Seek(0, SEEK_ORIGIN_START);
    EXPECT_EQ("abXYe123", ReadAll(&file));
}

TEST(MemoryFileTest, SetDataAndCopyFromFile) {
    MemoryFile source(SCHEME_MEM);
    ASSERT_TRUE(source.SetData("hello", 5, true));
    EXPECT_EQ(5u, source.size);
    EXPECT_EQ(0u, source.Tell());
    MemoryFile copy(SCHEME_MEM);
    ASSERT_TRUE(copy.CopyFromFile(&source, false));
    EXPECT_EQ(5u, copy.GetLength());
    EXPECT_EQ(5u, copy.Tell()) << "without rewind the position is at the end";
    EXPECT_EQ(0, memcmp("hello", copy.GetData(), 5));
    ASSERT_TRUE(copy.SetData(nullptr, 99, true));
    EXPECT_EQ(0u, copy.size);
    EXPECT_EQ(0u, copy.GetLength());
}

TEST(MemoryFileTest, CopyFromAShortFileKeepsOnlyWhatArrived) {
    MemoryFile source(SCHEME_MEM);
    source.SetData("abc", 3, true);
    source.Seek(1, SEEK_ORIGIN_START);  // only two bytes remain for one read of size 3
    MemoryFile copy(SCHEME_MEM);
    EXPECT_FALSE(copy.CopyFromFile(&source, true));
    EXPECT_EQ(2u, copy.GetLength());
    EXPECT_EQ("bc", ReadAll(&copy));
}

TEST(MemoryFileTest, ReopenTruncatesAppendsOrRewinds) {
    MemoryFile file(SCHEME_MEM);
    WriteText(&file, "abc");
    file.Reopen(SCHEME_MEM, FILE_MODE_READ);
    EXPECT_FALSE(file.writable);
    EXPECT_EQ(3u, file.size);
    EXPECT_EQ("abc", ReadAll(&file));
    file.Reopen(SCHEME_MEM, FILE_MODE_APPEND);
    EXPECT_TRUE(file.writable);
    EXPECT_EQ(3u, file.Tell());
    WriteText(&file, "d");
    file.Reopen(SCHEME_MEM, FILE_MODE_WRITE);
    EXPECT_EQ(0u, file.GetLength());
    EXPECT_EQ(0u, file.size);
}

class MemorySystemTest : public ::testing::Test {
protected:
    void SetUp() override { InstallMessageCapture(); }
    MemorySystem system_;
};

TEST_F(MemorySystemTest, WrittenBytesReadBackAfterClosing) {
    File* file = system_.OpenFile(SCHEME_MEM, "a", FILE_MODE_WRITE);
    ASSERT_NE(nullptr, file);
    EXPECT_EQ(nullptr, system_.OpenFile(SCHEME_MEM, "a", FILE_MODE_READ)) << "one holder at a time";
    WriteText(file, "payload");
    EXPECT_TRUE(system_.CloseFile(file));
    EXPECT_FALSE(system_.CloseFile(file)) << "closing twice";
    File* again = system_.OpenFile(SCHEME_MEM, "a", FILE_MODE_READ);
    ASSERT_NE(nullptr, again);
    EXPECT_EQ(7u, again->size);
    EXPECT_EQ("payload", ReadAll(again));
    EXPECT_TRUE(system_.CloseFile(again));
}

TEST_F(MemorySystemTest, WriteTruncatesAndAppendKeeps) {
    File* file = system_.OpenFile(SCHEME_MEM, "a", FILE_MODE_WRITE);
    WriteText(file, "first");
    system_.CloseFile(file);
    file = system_.OpenFile(SCHEME_MEM, "a", FILE_MODE_APPEND);
    EXPECT_EQ(5u, file->Tell());
    WriteText(file, "+more");
    system_.CloseFile(file);
    file = system_.OpenFile(SCHEME_MEM, "a", FILE_MODE_READ);
    EXPECT_EQ("first+more", ReadAll(file));
    system_.CloseFile(file);
    file = system_.OpenFile(SCHEME_MEM, "a", FILE_MODE_WRITE);
    system_.CloseFile(file);
    file = system_.OpenFile(SCHEME_MEM, "a", FILE_MODE_READ);
    EXPECT_EQ("", ReadAll(file));
    system_.CloseFile(file);
}

TEST_F(MemorySystemTest, MissingNamesAndDeletion) {
    EXPECT_EQ(nullptr, system_.OpenFile(SCHEME_MEM, "missing", FILE_MODE_READ));
    EXPECT_FALSE(system_.FileExists(SCHEME_MEM, "missing"));
    EXPECT_FALSE(system_.DeleteFile(SCHEME_MEM, "missing"));
    File* file = system_.OpenFile(SCHEME_MEM, "b", FILE_MODE_WRITE);
    system_.CloseFile(file);
    EXPECT_TRUE(system_.FileExists(SCHEME_MEM, "b"));
    EXPECT_TRUE(system_.DeleteFile(SCHEME_MEM, "b"));
    EXPECT_FALSE(system_.FileExists(SCHEME_MEM, "b"));
}

TEST_F(MemorySystemTest, DeletingAnOpenFileLeavesItsHandleUsable) {
    File* file = system_.OpenFile(SCHEME_MEM, "c", FILE_MODE_WRITE);
    ASSERT_NE(nullptr, file);
    EXPECT_TRUE(system_.DeleteFile(SCHEME_MEM, "c"));
    EXPECT_EQ(4u, WriteText(file, "safe"));  // under ASan a freed file would fail here
    EXPECT_TRUE(system_.CloseFile(file));
    EXPECT_FALSE(system_.FileExists(SCHEME_MEM, "c"));
    File* fresh = system_.OpenFile(SCHEME_MEM, "c", FILE_MODE_APPEND);
    ASSERT_NE(nullptr, fresh);
    EXPECT_EQ(0u, fresh->size);
    system_.CloseFile(fresh);
}

TEST_F(MemorySystemTest, ListingAndInformationAreNotImplemented) {
    Array<String> wildcards;
    Array<String> out;
    system_.FindFiles(SCHEME_MEM, "mem://", "", wildcards, false, out);
    EXPECT_EQ(0, out.count);
    EXPECT_TRUE(AnyPopupContains(
        "1:File System: FindFiles() is not implemented for files in 'mem://' on MemorySystem."));
    zq_file_info_t info = {};
    EXPECT_FALSE(system_.GetFileInfo(SCHEME_MEM, "a", &info));
    EXPECT_TRUE(AnyPopupContains("GetFileInfo() is not implemented for files in 'mem://' on MemorySystem."));
}
