// The native file system: opening modes and sizes, existence, information, folders made below a
// scheme's root, deletion and the native listing.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "FileSystemTestSupport.h"
#include "FullDisk.h"
#include "filesystem/FileSystemApi.h"
#include "filesystem/FileSystemTable.h"
#include "filesystem/NativeFolders.h"
#include "filesystem/NativeListing.h"
#include "filesystem/SchemeRoots.h"
#include "filesystem/WindowsPOSIXSystem.h"

using namespace ZQFileSystem;

namespace {

class NativeSystemTest : public FileSystemTest {
protected:
    System* Native() { return ZQI_GetFileSystem(SCHEME_RES); }
    std::string Res(const std::string& relative) { return NativePath(SCHEME_RES, relative); }
};

std::vector<std::string> Texts(const Array<String>& array) {
    std::vector<std::string> texts;
    for (const String& text : array) {
        texts.push_back(text.CStr());
    }
    return texts;
}

Array<String> Wildcards(std::initializer_list<const char*> patterns) {
    Array<String> out;
    for (const char* pattern : patterns) {
        out.PushText(pattern);
    }
    return out;
}

}  // namespace

TEST_F(NativeSystemTest, OneNativeSystemServesTheFolderSchemes) {
    System* native = ZQI_GetFileSystem(SCHEME_RES);
    ASSERT_NE(nullptr, native);
    for (SchemeId id : {SCHEME_CACHE, SCHEME_DOCS, SCHEME_LOGS, SCHEME_PROJECT, SCHEME_USER, SCHEME_UGC}) {
        EXPECT_EQ(native, ZQI_GetFileSystem(id)) << id;
    }
    EXPECT_NE(native, ZQI_GetFileSystem(SCHEME_SAVE));
    EXPECT_NE(nullptr, ZQI_GetFileSystem(SCHEME_HTTP));
    EXPECT_NE(nullptr, ZQI_GetFileSystem(SCHEME_MEM));
    EXPECT_TRUE(ZQI_GetFileSystem(SCHEME_SAVE)->mountable);
    EXPECT_FALSE(native->mountable);
    EXPECT_EQ(nullptr, ZQI_GetFileSystem(10));
    EXPECT_TRUE(ZQI_IsResourceWriteAllowed());
}

TEST_F(NativeSystemTest, WriteModeReportsSizeZeroAndAppendTheExistingSize) {
    WriteNativeFile(Res("a.bin"), "12345");
    File* append = Native()->OpenFile(SCHEME_RES, Res("a.bin").c_str(), FILE_MODE_APPEND);
    ASSERT_NE(nullptr, append);
    EXPECT_EQ(5u, append->size);
    EXPECT_TRUE(append->writable);
    EXPECT_EQ(1u, append->Write("6", 1));
    EXPECT_TRUE(Native()->CloseFile(append));
    EXPECT_EQ("123456", ReadNativeFile(Res("a.bin")));
    File* write = Native()->OpenFile(SCHEME_RES, Res("a.bin").c_str(), FILE_MODE_WRITE);
    ASSERT_NE(nullptr, write);
    EXPECT_EQ(0u, write->size);
    Native()->CloseFile(write);
    EXPECT_EQ("", ReadNativeFile(Res("a.bin")));
}

TEST_F(NativeSystemTest, ReadSeekAndTell) {
    WriteNativeFile(Res("r.bin"), std::string("ab\r\ncd", 6));
    File* file = Native()->OpenFile(SCHEME_RES, Res("r.bin").c_str(), FILE_MODE_READ);
    ASSERT_NE(nullptr, file);
    EXPECT_FALSE(file->writable);
    EXPECT_EQ(6u, file->size) << "binary mode keeps \\r\\n";
    EXPECT_EQ(0u, file->Write("x", 1));
    file->Seek(-2, SEEK_ORIGIN_END);
    char bytes[4] = {0};
    EXPECT_EQ(2u, file->Read(bytes, 3));
    EXPECT_STREQ("cd", bytes);
    EXPECT_EQ(6u, file->Tell());
    file->Seek(1, SEEK_ORIGIN_START);
    file->Seek(1, SEEK_ORIGIN_CURRENT);
    EXPECT_EQ(2u, file->Tell());
    EXPECT_EQ(-1, file->GetNativeHandle(nullptr));
    Native()->CloseFile(file);
}

TEST_F(NativeSystemTest, MissingFilesAndFoldersDoNotExist) {
    EXPECT_EQ(nullptr, Native()->OpenFile(SCHEME_RES, Res("missing").c_str(), FILE_MODE_READ));
    EXPECT_FALSE(Native()->FileExists(SCHEME_RES, Res("missing").c_str()));
    MakeNativeFolders(Res("folder"));
    EXPECT_FALSE(Native()->FileExists(SCHEME_RES, Res("folder").c_str()));
    EXPECT_EQ(nullptr, Native()->OpenFile(SCHEME_RES, Res("folder").c_str(), FILE_MODE_READ));
    EXPECT_FALSE(Native()->FileExists(SCHEME_RES, ""));
    WriteNativeFile(Res("present"), "x");
    EXPECT_TRUE(Native()->FileExists(SCHEME_RES, Res("present").c_str()));
}

TEST_F(NativeSystemTest, FileInfoComesFromStat) {
    WriteNativeFile(Res("info.bin"), "1234567");
    zq_file_info_t info = {};
    ASSERT_TRUE(Native()->GetFileInfo(SCHEME_RES, Res("info.bin").c_str(), &info));
    EXPECT_EQ(7u, info.size);
    EXPECT_GT(info.modification_time, 1600000000u);
    EXPECT_FALSE(Native()->GetFileInfo(SCHEME_RES, Res("missing").c_str(), &info));
}

TEST_F(NativeSystemTest, RecursiveCreationMakesEachMissingFolder) {
    ASSERT_TRUE(Native()->CreateDirectory(SCHEME_RES, Res("a/b/c").c_str()));
    EXPECT_TRUE(NativeFolderExists(Res("a/b/c")));
    EXPECT_TRUE(Native()->CreateDirectory(SCHEME_RES, Res("a/b/c").c_str()))
        << "existing folders count as made";
    EXPECT_TRUE(Native()->CreateDirectory(SCHEME_DOCS, NativePath(SCHEME_DOCS, "shared/x").c_str()));
    EXPECT_TRUE(NativeFolderExists(NativePath(SCHEME_DOCS, "shared/x")));
}

TEST_F(NativeSystemTest, RecursiveCreationStaysBelowTheRoot) {
    EXPECT_FALSE(ZQI_CreateDirectoryRecursive(SCHEME_RES, temp_->Join("outside/x").c_str()));
    EXPECT_FALSE(NativeFolderExists(temp_->Join("outside")));
    EXPECT_FALSE(ZQI_CreateDirectoryRecursive(SCHEME_RES, (Root(SCHEME_RES) + "sibling").c_str()));
    EXPECT_TRUE(AnyLogContains("does not lie below the root of 'res://'"));
    std::string tooLong = Res(std::string(1024, 'n'));
    EXPECT_FALSE(ZQI_CreateDirectoryRecursive(SCHEME_RES, tooLong.c_str()));
}

TEST_F(NativeSystemTest, CreationFailsWhenAFileBlocksTheWay) {
    WriteNativeFile(Res("blocker"), "x");
    EXPECT_FALSE(Native()->CreateDirectory(SCHEME_RES, Res("blocker/sub").c_str()));
}

TEST_F(NativeSystemTest, RootCreationAcceptsAnExistingRoot) {
    EXPECT_TRUE(Native()->CreateRootDirectory(SCHEME_DOCS));
    ZQI_SetSchemeRoot(SCHEME_USER, temp_->Join("new-user").c_str());
    EXPECT_TRUE(Native()->CreateRootDirectory(SCHEME_USER));
    EXPECT_TRUE(NativeFolderExists(temp_->Join("new-user")));
    ZQI_SetSchemeRoot(SCHEME_UGC, "");
    EXPECT_FALSE(Native()->CreateRootDirectory(SCHEME_UGC));
}

TEST_F(NativeSystemTest, DeletingFilesAndEmptyFolders) {
    WriteNativeFile(Res("gone.txt"), "x");
    EXPECT_TRUE(Native()->DeleteFile(SCHEME_RES, Res("gone.txt").c_str()));
    EXPECT_FALSE(NativeFileExists(Res("gone.txt")));
    EXPECT_FALSE(Native()->DeleteFile(SCHEME_RES, Res("gone.txt").c_str()));
    MakeNativeFolders(Res("full/inner"));
    EXPECT_FALSE(Native()->DeleteDirectory(SCHEME_RES, Res("full").c_str())) << "only empty folders go";
    EXPECT_TRUE(Native()->DeleteDirectory(SCHEME_RES, Res("full/inner").c_str()));
    EXPECT_FALSE(NativeFolderExists(Res("full/inner")));
}

TEST_F(NativeSystemTest, RecursiveListingPutsSubfoldersFirstEachPathOnce) {
    WriteNativeFile(Res("list/top.png"), "x");
    WriteNativeFile(Res("list/top.jpg"), "x");
    MakeNativeFolders(Res("list/sub/deeper"));
    WriteNativeFile(Res("list/sub/inner.png"), "x");
    WriteNativeFile(Res("list/sub/deeper/deep.png"), "x");
    Array<String> out;
    Native()->FindFiles(SCHEME_RES, "res://list/", Res("list").c_str(),
                        Wildcards({"*.png", "*.png", "*.jpg"}), true, out);
    std::vector<std::string> found = Texts(out);
    ASSERT_EQ(4u, found.size());
    EXPECT_EQ("res://list/sub/deeper/deep.png", found[0]);
    EXPECT_EQ("res://list/sub/inner.png", found[1]);
    EXPECT_EQ("res://list/top.png", found[2]);
    EXPECT_EQ("res://list/top.jpg", found[3]);
}

TEST_F(NativeSystemTest, FlatListingSkipsSubfoldersAndMissingFoldersListNothing) {
    WriteNativeFile(Res("flat/a.txt"), "x");
    MakeNativeFolders(Res("flat/sub"));
    WriteNativeFile(Res("flat/sub/b.txt"), "x");
    Array<String> out;
    Native()->FindFiles(SCHEME_RES, "", Res("flat").c_str(), Wildcards({"*"}), false, out);
    EXPECT_EQ(std::vector<std::string>({"a.txt"}), Texts(out));
    Array<String> none;
    Native()->FindFiles(SCHEME_RES, "", Res("no-such-folder").c_str(), Wildcards({"*"}), true, none);
    EXPECT_EQ(0, none.count);
}

TEST_F(NativeSystemTest, AppendUniquePathKeepsTheFirstOfEqualTexts) {
    Array<String> out;
    ZQI_AppendUniquePath(out, "res://a/", "x.png");
    ZQI_AppendUniquePath(out, "res://a/", "x.png");
    ZQI_AppendUniquePath(out, "", "x.png");
    ZQI_AppendUniquePath(out, nullptr, "x.png");
    EXPECT_EQ(std::vector<std::string>({"res://a/x.png", "x.png"}), Texts(out));
}

// A native file that counts the flushes it is asked for.
class CountingFile : public POSIXFile {
public:
    CountingFile(bool writable, FILE* stream) : POSIXFile(0, SCHEME_USER, writable, stream) {}
    bool Flush() override {
        ++flushes;
        return POSIXFile::Flush();
    }
    static int flushes;
};
int CountingFile::flushes = 0;

TEST_F(NativeSystemTest, CommitFlagFlushesBeforeClosing) {
    struct Case {
        bool commit;
        bool writable;
        int flushes;
    };
    const Case cases[] = {{true, true, 1}, {true, false, 0}, {false, true, 0}, {false, false, 0}};
    WriteNativeFile(NativePath(SCHEME_USER, "c.txt"), "abc");
    for (const Case& c : cases) {
        WindowsPOSIXSystem system(c.commit);
        FILE* stream = fopen(NativePath(SCHEME_USER, "c.txt").c_str(), c.writable ? "ab" : "rb");
        ASSERT_NE(nullptr, stream);
        CountingFile::flushes = 0;
        EXPECT_TRUE(system.CloseFile(new CountingFile(c.writable, stream)));
        EXPECT_EQ(c.flushes, CountingFile::flushes) << "commit " << c.commit << ", writable " << c.writable;
    }
}

// Writes into the C runtime's buffer succeed on a full disk; the data is lost when the buffer is
// flushed, which the closing must report.
TEST_F(NativeSystemTest, AFullDiskFailsTheFlushAndTheClose) {
    for (bool commit : {false, true}) {
        WindowsPOSIXSystem system(commit);
        File* file = system.OpenFile(SCHEME_USER, EngineTest::FullDevicePath(), FILE_MODE_WRITE);
        ASSERT_NE(nullptr, file) << EngineTest::FullDevicePath();
        EXPECT_EQ(3u, file->Write("abc", 3));
        EXPECT_FALSE(system.CloseFile(file)) << "commit " << commit;
        File* flushed = system.OpenFile(SCHEME_USER, EngineTest::FullDevicePath(), FILE_MODE_WRITE);
        ASSERT_NE(nullptr, flushed);
        EXPECT_EQ(3u, flushed->Write("abc", 3));
        EXPECT_FALSE(flushed->Flush()) << "commit " << commit;
        system.CloseFile(flushed);
    }
}

TEST_F(FileSystemTest, ClosingThroughTheApiReportsAFullDisk) {
    EngineTest::ScopedFullDisk full(SCHEME_USER, "full.sav");
    zq_file_t* flushed = ZQ_FileSystem_OpenFile("user://full.sav", "w");
    ASSERT_NE(nullptr, flushed);
    EXPECT_EQ(3u, ZQ_FileSystem_WriteFile("abc", 3, flushed));
    EXPECT_FALSE(ZQI_FlushFile(flushed));
    ZQ_FileSystem_CloseFile(flushed);
    zq_file_t* closed = ZQ_FileSystem_OpenFile("user://full.sav", "w");
    ASSERT_NE(nullptr, closed);
    EXPECT_EQ(3u, ZQ_FileSystem_WriteFile("abc", 3, closed));
    EXPECT_FALSE(ZQI_CloseFile(closed));
    EXPECT_TRUE(AnyLogContains("ZQ_FileSystem_CloseFile: 'user://full.sav' could not be closed"));
}

TEST_F(NativeSystemTest, AFileOfAnotherSystemIsRefused) {
    System* memory = ZQI_GetFileSystem(SCHEME_MEM);
    File* foreign = memory->OpenFile(SCHEME_MEM, "m", FILE_MODE_WRITE);
    ASSERT_NE(nullptr, foreign);
    EXPECT_FALSE(Native()->CloseFile(foreign));
    EXPECT_TRUE(memory->CloseFile(foreign));
}

// Rewriting keeps the file (its storage is reused rather than emptied and allocated again) and,
// once ended, holds exactly what was written: less or more than before, or a new file.
TEST_F(NativeSystemTest, RewriteModeReplacesTheContentInTheSameFile) {
    struct Case {
        const char* before;  // null: no file yet
        const char* written;
    };
    const Case cases[] = {{"0123456789", "abc"}, {"abc", "0123456789ABCDEF"}, {nullptr, "xy"}, {"old", ""}};
    for (const Case& c : cases) {
        std::string path = Res("rewrite.bin");
        remove(path.c_str());
        struct stat before = {};
        if (c.before != nullptr) {
            WriteNativeFile(path, c.before);
            ASSERT_EQ(0, stat(path.c_str(), &before));
        }
        File* file = Native()->OpenFile(SCHEME_RES, path.c_str(), FILE_MODE_REWRITE);
        ASSERT_NE(nullptr, file) << c.written;
        EXPECT_TRUE(file->writable);
        EXPECT_EQ(0u, file->size);
        size_t length = strlen(c.written);
        EXPECT_EQ(length, file->Write(c.written, length));
        EXPECT_TRUE(file->EndRewrite());
        EXPECT_TRUE(Native()->CloseFile(file));
        EXPECT_EQ(c.written, ReadNativeFile(path));
        struct stat after = {};
        ASSERT_EQ(0, stat(path.c_str(), &after));
        if (c.before != nullptr) {
            EXPECT_EQ(before.st_ino, after.st_ino) << c.written;
        }
    }
}

// A system that cannot rewrite in place writes the file anew instead.
TEST_F(NativeSystemTest, RewriteModeFallsBackToWritingElsewhere) {
    zq_file_t* first = ZQI_OpenFile("mem://rewrite", FILE_MODE_WRITE);
    ASSERT_NE(nullptr, first);
    ZQ_FileSystem_WriteFile("0123456789", 10, first);
    ZQ_FileSystem_CloseFile(first);
    zq_file_t* again = ZQI_OpenFile("mem://rewrite", FILE_MODE_REWRITE);
    ASSERT_NE(nullptr, again);
    ZQ_FileSystem_WriteFile("abc", 3, again);
    ZQ_FileSystem_CloseFile(again);
    zq_file_t* read = ZQI_OpenFile("mem://rewrite", FILE_MODE_READ);
    ASSERT_NE(nullptr, read);
    char bytes[16] = {};
    EXPECT_EQ(3u, ZQ_FileSystem_ReadFile(bytes, sizeof bytes, read));
    EXPECT_STREQ("abc", bytes);
    ZQ_FileSystem_CloseFile(read);
}
