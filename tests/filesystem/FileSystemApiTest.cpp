// The file-system API slots: the table's order, opening modes, the open-file list and its
// warning, folders, deletion, listing, file information, the resolved-path ring, the user
// folders and the log's file operations.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "FileSystemTestSupport.h"
#include "FullDisk.h"
#include "core/ApiTable.h"
#include "core/CoreState.h"
#include "core/LogFile.h"
#include "filesystem/FileSystemApi.h"
#include "filesystem/FileSystemTable.h"
#include "filesystem/HttpClient.h"
#include "filesystem/SchemeRoots.h"
#include "filesystem/UserFolders.h"
#include "foundation/FoundationHooks.h"
#include "foundation/Path.h"

namespace {

class FileSystemApiTest : public FileSystemTest {
protected:
    std::string Res(const std::string& relative) { return NativePath(SCHEME_RES, relative); }
};

std::vector<std::string> List(const char* path, const char* wildcards, bool recursive) {
    return TakeStringList(ZQ_FileSystem_FindFiles(path, wildcards, recursive));
}

std::set<std::string> ListSet(const char* path, const char* wildcards, bool recursive) {
    std::vector<std::string> items = List(path, wildcards, recursive);
    return std::set<std::string>(items.begin(), items.end());
}

}  // namespace

TEST_F(FileSystemApiTest, InitialisationInstallsTheTableInSlotOrder) {
    const zq_filesystem_api_t* table = ZQI_GetApi()->filesystem;
    ASSERT_NE(nullptr, table);
    void* const expected[] = {reinterpret_cast<void*>(ZQ_FileSystem_AddSearchPath),
                              reinterpret_cast<void*>(ZQ_FileSystem_CloseFile),
                              reinterpret_cast<void*>(ZQ_FileSystem_CreateDirectory),
                              reinterpret_cast<void*>(ZQ_FileSystem_DeleteDirectory),
                              reinterpret_cast<void*>(ZQ_FileSystem_DeleteFile),
                              reinterpret_cast<void*>(ZQ_FileSystem_FindFiles),
                              reinterpret_cast<void*>(ZQ_FileSystem_FileExists),
                              reinterpret_cast<void*>(ZQ_FileSystem_FlushFile),
                              reinterpret_cast<void*>(ZQ_FileSystem_GetFileInfo),
                              reinterpret_cast<void*>(ZQ_FileSystem_GetFilePosition),
                              reinterpret_cast<void*>(ZQ_FileSystem_GetSearchPaths),
                              reinterpret_cast<void*>(ZQ_FileSystem_IsPathValid),
                              reinterpret_cast<void*>(ZQ_FileSystem_Mount),
                              reinterpret_cast<void*>(ZQ_FileSystem_OpenFile),
                              reinterpret_cast<void*>(ZQ_FileSystem_ReadFile),
                              reinterpret_cast<void*>(ZQ_FileSystem_RemoveSearchPath),
                              reinterpret_cast<void*>(ZQ_FileSystem_SearchPathExists),
                              reinterpret_cast<void*>(ZQ_FileSystem_SeekFile),
                              reinterpret_cast<void*>(ZQ_FileSystem_ShowNativeFileSelectDialog),
                              reinterpret_cast<void*>(ZQ_FileSystem_Unmount),
                              reinterpret_cast<void*>(ZQ_FileSystem_WriteFile)};
    static_assert(sizeof(zq_filesystem_api_t) == sizeof(expected), "21 slots");
    void* const* slots = reinterpret_cast<void* const*>(table);
    for (size_t i = 0; i < sizeof(expected) / sizeof(expected[0]); ++i) {
        EXPECT_EQ(expected[i], slots[i]) << "slot " << i;
    }
    EXPECT_NE(nullptr, ZQI_GetApi()->SendHttpRequest);
}

TEST_F(FileSystemApiTest, RebuildingTheTablesAfterInitialisationKeepsTheRealSlots) {
    ZQI_BuildApiTables();
    zq_api_t* api = ZQI_GetApi();
    ASSERT_NE(nullptr, api->filesystem);
    EXPECT_EQ(&ZQ_FileSystem_OpenFile, api->filesystem->OpenFile);
    EXPECT_EQ(&ZQ_FileSystem_FileExists, api->filesystem->FileExists);
    EXPECT_EQ(&ZQ_FileSystem_WriteFile, api->filesystem->WriteFile);
    EXPECT_EQ(&ZQ_SendHttpRequest, api->SendHttpRequest);
    EXPECT_EQ(&ZQ_SendRawHttpRequest, api->SendRawHttpRequest);

    // The rebuilt record reaches the files, not a stand-in.
    WriteNativeFile(Res("kept.txt"), "kept");
    EXPECT_TRUE(api->filesystem->FileExists("res://kept.txt"));
    zq_file_t* file = api->filesystem->OpenFile("res://kept.txt", "r");
    ASSERT_NE(nullptr, file);
    EXPECT_EQ(4u, file->size);
    api->filesystem->CloseFile(file);
    InstallMessageCapture();  // the rebuild put the real message slots back
}

TEST_F(FileSystemApiTest, OnlyTheFirstLetterOfTheModeCounts) {
    ASSERT_TRUE(WriteThroughApi("res://m.txt", "abc", "wb+"));
    zq_file_t* file = ZQ_FileSystem_OpenFile("res://m.txt", "rb");
    ASSERT_NE(nullptr, file);
    EXPECT_EQ(3u, file->size);
    EXPECT_STREQ("res://m.txt", file->path);
    char bytes[4] = {0};
    EXPECT_EQ(3u, ZQ_FileSystem_ReadFile(bytes, 3, file));
    EXPECT_EQ(3u, ZQ_FileSystem_GetFilePosition(file));
    ZQ_FileSystem_SeekFile(file, 1, 0);
    EXPECT_EQ(1u, ZQ_FileSystem_GetFilePosition(file));
    ZQ_FileSystem_CloseFile(file);
    EXPECT_EQ(nullptr, ZQ_FileSystem_OpenFile("res://m.txt", "x"));
    EXPECT_EQ(nullptr, ZQ_FileSystem_OpenFile("res://m.txt", ""));
    EXPECT_EQ(nullptr, ZQ_FileSystem_OpenFile("res://m.txt", nullptr));
}

TEST_F(FileSystemApiTest, BadModeWarnsOnlyForTrackedFiles) {
    EXPECT_EQ(nullptr, ZQ_FileSystem_OpenFile("res://m.txt", "q"));
    EXPECT_TRUE(Captured().popups.empty()) << "before the core runs nothing is tracked";
    g_core.coreRunning = 1;
    EXPECT_EQ(nullptr, ZQ_FileSystem_OpenFile("res://m.txt", "q"));
    EXPECT_TRUE(AnyPopupContains("1:File System OpenFile: mode is invalid, see OpenFile() for more info."));
}

TEST_F(FileSystemApiTest, InvalidPathsAreRefusedWithThePopup) {
    EXPECT_EQ(nullptr, ZQ_FileSystem_OpenFile("res://../escape.txt", "r"));
    EXPECT_TRUE(AnyPopupContains(
        "1:File System OpenFile: path 'res://../escape.txt' is invalid, see IsPathValid() for more info."));
    EXPECT_FALSE(ZQ_FileSystem_CreateDirectory("plain"));
    EXPECT_TRUE(AnyPopupContains("File System CreateDirectory: path 'plain' is invalid"));
    EXPECT_FALSE(ZQ_FileSystem_DeleteFile("res://a//b"));
    EXPECT_TRUE(AnyPopupContains("File System DeleteFile: path 'res://a//b' is invalid"));
    Captured() = CapturedMessages();
    EXPECT_FALSE(ZQ_FileSystem_FileExists("res://../x"));
    EXPECT_FALSE(ZQ_FileSystem_FileExists(""));
    EXPECT_FALSE(ZQ_FileSystem_FileExists(nullptr));
    EXPECT_TRUE(Captured().popups.empty()) << "FileExists answers quietly";
    EXPECT_FALSE(ZQ_FileSystem_IsPathValid("res://"));
    EXPECT_TRUE(ZQ_FileSystem_IsPathValid("a/b.png"));
}

TEST_F(FileSystemApiTest, TheSixteenthTrackedHandleWarnsAndLogFilesNeverCount) {
    g_core.coreRunning = 1;
    std::vector<zq_file_t*> handles;
    for (int i = 0; i < 15; ++i) {
        handles.push_back(ZQ_FileSystem_OpenFile(("res://f" + std::to_string(i) + ".txt").c_str(), "w"));
        ASSERT_NE(nullptr, handles.back());
    }
    zq_file_t* log = ZQ_FileSystem_OpenFile("logs://zorqa-run.log", "w");
    ASSERT_NE(nullptr, log);
    EXPECT_EQ(15, ZQI_GetOpenFileCount());
    EXPECT_FALSE(AnyPopupContains("files are open at the same time"));
    handles.push_back(ZQ_FileSystem_OpenFile("res://f15.txt", "w"));
    EXPECT_TRUE(AnyPopupContains(
        "1:File System OpenFile: 16 files are open at the same time, last file opened is 'res://f15.txt'."));
    ZQ_FileSystem_CloseFile(handles[3]);
    handles.erase(handles.begin() + 3);
    EXPECT_EQ(15, ZQI_GetOpenFileCount());
    ZQI_LogFilesLeftOpen();
    EXPECT_TRUE(AnyLogContains("1:15 files left open.."));
    EXPECT_TRUE(AnyLogContains("1:File 'res://f15.txt' left open."));
    EXPECT_FALSE(AnyLogContains("zorqa-run.log"));
    for (zq_file_t* handle : handles) {
        ZQ_FileSystem_CloseFile(handle);
    }
    ZQ_FileSystem_CloseFile(log);
    EXPECT_EQ(0, ZQI_GetOpenFileCount());
}

TEST_F(FileSystemApiTest, NullHandlesAreIgnored) {
    char byte = 0;
    EXPECT_EQ(0u, ZQ_FileSystem_ReadFile(&byte, 1, nullptr));
    EXPECT_EQ(0u, ZQ_FileSystem_WriteFile(&byte, 1, nullptr));
    EXPECT_EQ(0u, ZQ_FileSystem_GetFilePosition(nullptr));
    ZQ_FileSystem_SeekFile(nullptr, 0, 0);
    ZQ_FileSystem_FlushFile(nullptr);
    ZQ_FileSystem_CloseFile(nullptr);
    zq_file_t* file = ZQ_FileSystem_OpenFile("res://n.txt", "w");
    ASSERT_NE(nullptr, file);
    EXPECT_EQ(0u, ZQ_FileSystem_WriteFile(nullptr, 1, file));
    EXPECT_EQ(0u, ZQ_FileSystem_ReadFile(nullptr, 1, file));
    ZQ_FileSystem_CloseFile(file);
}

TEST_F(FileSystemApiTest, ResourceWritesNeedTheFlag) {
    ZQI_SetResourceWriteAllowed(false);
    EXPECT_FALSE(WriteThroughApi("res://blocked.txt", "x"));
    EXPECT_FALSE(ZQ_FileSystem_CreateDirectory("res://blocked"));
    WriteNativeFile(Res("kept.txt"), "x");
    EXPECT_FALSE(ZQ_FileSystem_DeleteFile("res://kept.txt"));
    EXPECT_EQ("x", ReadThroughApi("res://kept.txt")) << "reading stays allowed";
    EXPECT_TRUE(WriteThroughApi("docs://other.txt", "x"));
    ZQI_SetResourceWriteAllowed(true);
    EXPECT_TRUE(WriteThroughApi("res://blocked.txt", "x"));
}

TEST_F(FileSystemApiTest, FoldersAreMadeAndDeleted) {
    EXPECT_TRUE(ZQ_FileSystem_CreateDirectory("docs://saves/slot1/"));
    EXPECT_TRUE(NativeFolderExists(NativePath(SCHEME_DOCS, "saves/slot1")));
    EXPECT_FALSE(ZQ_FileSystem_DeleteDirectory("docs://saves", false)) << "not empty";
    EXPECT_TRUE(ZQ_FileSystem_DeleteDirectory("docs://saves/slot1/", false));
    EXPECT_FALSE(NativeFolderExists(NativePath(SCHEME_DOCS, "saves/slot1")));
    EXPECT_FALSE(ZQ_FileSystem_CreateDirectory("mem://folder")) << "the memory system has no folders";
    EXPECT_FALSE(ZQ_FileSystem_CreateDirectory(nullptr));
}

TEST_F(FileSystemApiTest, DeletingAFolderWithItsFilesIsNeverAllowed) {
    MakeNativeFolders(NativePath(SCHEME_DOCS, "empty"));
    EXPECT_FALSE(ZQ_FileSystem_DeleteDirectory("docs://empty", true));
    EXPECT_TRUE(NativeFolderExists(NativePath(SCHEME_DOCS, "empty")));
    EXPECT_TRUE(
        AnyPopupContains("1:File System DeleteDirectory: deleting directory 'docs://empty' with existing "
                         "files is not allowed."));
}

TEST_F(FileSystemApiTest, DeletingFiles) {
    ASSERT_TRUE(WriteThroughApi("cache://tmp.bin", "x"));
    EXPECT_TRUE(ZQ_FileSystem_DeleteFile("cache://tmp.bin"));
    EXPECT_FALSE(ZQ_FileSystem_FileExists("cache://tmp.bin"));
    EXPECT_FALSE(ZQ_FileSystem_DeleteFile("cache://tmp.bin"));
}

TEST_F(FileSystemApiTest, ListingSchemeFoldersAndSeveralWildcards) {
    WriteNativeFile(Res("img/a.png"), "x");
    WriteNativeFile(Res("img/b.jpg"), "x");
    WriteNativeFile(Res("img/c.txt"), "x");
    EXPECT_EQ(std::set<std::string>({"res://img/a.png", "res://img/b.jpg"}),
              ListSet("res://img", "*.png;*.jpg", false));
    EXPECT_EQ(std::set<std::string>({"res://img/a.png"}), ListSet("res://img/", "*.png", false));
    EXPECT_TRUE(List("res://img", nullptr, false).empty());
    EXPECT_TRUE(List(nullptr, "*", false).empty());
    zq_string_list_t* empty = ZQ_FileSystem_FindFiles("res://none", "*", false);
    ASSERT_NE(nullptr, empty) << "the result is always a list";
    EXPECT_EQ(0, empty->count);
    ZQ_FreeStringList(empty);
}

TEST_F(FileSystemApiTest, WildcardsMayNameFoldersBelowTheListedOne) {
    WriteNativeFile(Res("img/top.png"), "x");
    WriteNativeFile(Res("img/sub/a.png"), "x");
    WriteNativeFile(Res("img/sub/b.txt"), "x");
    WriteNativeFile(Res("img/sub/deeper/c.png"), "x");
    WriteNativeFile(Res("img/other/d.png"), "x");
    EXPECT_EQ(std::set<std::string>({"res://img/sub/a.png", "res://img/sub/deeper/c.png"}),
              ListSet("res://img", "sub/*.png", true));
    EXPECT_EQ(std::set<std::string>({"res://img/sub/a.png"}), ListSet("res://img", "sub/*.png", false));
    EXPECT_EQ(
        std::set<std::string>({"res://img/top.png", "res://img/sub/b.txt", "res://img/sub/deeper/c.png"}),
        ListSet("res://img/", "*.png;sub/*.txt;sub/deeper/c.png", false));
    EXPECT_TRUE(List("res://img", "sub/", false).empty()) << "a folder alone names no file";
    ZQ_FileSystem_AddSearchPath("res://img/", false);
    EXPECT_EQ(std::set<std::string>({"sub/a.png"}), ListSet("", "sub/*.png", false))
        << "plain listings give plain paths";
    EXPECT_TRUE(Captured().popups.empty());
}

// The engine's temporaries, left by a crash or kept on purpose, are no files of their folder; files
// the program, the player or a URL named only like them are.
TEST_F(FileSystemApiTest, ListingsHideTheEnginesTemporariesOnly) {
    for (const char* name : {"http___h_a.png", "~.download-17-2", "sub/~.download-1-1",
                             "x.png~.download-4f2a-3c9d", "x.png~.saving", "x.png~.saved", "notes.download",
                             "http___h_game.download-2.zip", "report.saving", "report.saved", "~.saved"}) {
        WriteNativeFile(NativePath(SCHEME_CACHE, name), "x");
    }
    EXPECT_EQ(std::set<std::string>({"cache://http___h_a.png", "cache://notes.download",
                                     "cache://http___h_game.download-2.zip", "cache://report.saving",
                                     "cache://report.saved", "cache://~.saved"}),
              ListSet("cache://", "*", true));
    EXPECT_EQ(std::set<std::string>({"cache://http___h_a.png"}), ListSet("cache://", "*.png*", false));
}

TEST_F(FileSystemApiTest, BadWildcardsAndSchemesAreRefused) {
    WriteNativeFile(Res("img/a.png"), "x");
    EXPECT_TRUE(List("res://img", "?.png", false).empty());
    EXPECT_TRUE(AnyPopupContains(
        "1:File System FindFiles: wildcards (?.png) are invalid, see FindFiles() for more info."));
    for (const char* outside : {"../*", "sub/../../*", "/*.png", "sub//*.png"}) {
        Captured() = CapturedMessages();
        EXPECT_TRUE(List("res://img", outside, true).empty()) << outside;
        EXPECT_TRUE(
            AnyPopupContains(std::string("1:File System FindFiles: wildcards (") + outside + ") are invalid"))
            << outside;
    }
    EXPECT_TRUE(List("res://img", std::string(512, '*').c_str(), false).empty());
    EXPECT_TRUE(List("logs://", "*", false).empty());
    EXPECT_TRUE(AnyPopupContains(
        "1:File System FindFiles: path prefix is invalid in path 'logs://', see FindFiles()"));
    EXPECT_TRUE(List("res://a//b", "*", false).empty());
    EXPECT_TRUE(AnyPopupContains("File System FindFiles: path 'res://a//b' is invalid"));
}

TEST_F(FileSystemApiTest, EmptyPathListsTheTopOfEverySearchPathButBareRes) {
    WriteNativeFile(Res("top.png"), "x");
    WriteNativeFile(Res("pack/p.png"), "x");
    WriteNativeFile(NativePath(SCHEME_DOCS, "mods/m.png"), "x");
    WriteNativeFile(NativePath(SCHEME_DOCS, "mods/p.png"), "x");
    ZQ_FileSystem_AddSearchPath("res://", false);
    ZQ_FileSystem_AddSearchPath("res://pack", false);
    ZQ_FileSystem_AddSearchPath("docs://mods", false);
    std::vector<std::string> found = List("", "*.png", false);
    EXPECT_EQ(std::set<std::string>({"p.png", "m.png"}), std::set<std::string>(found.begin(), found.end()));
    EXPECT_EQ(2u, found.size()) << "a name found in two search paths is listed once";
}

TEST_F(FileSystemApiTest, FileInfoRefusesSchemesWithoutFolders) {
    zq_file_info_t info = {};
    EXPECT_FALSE(ZQ_FileSystem_GetFileInfo("logs://x.log", &info));
    EXPECT_TRUE(
        AnyPopupContains("1:File System GetFileInfo: path prefix is invalid in path 'logs://x.log', see "
                         "GetFileInfo() for more info."));
    EXPECT_FALSE(ZQ_FileSystem_GetFileInfo("res://x", nullptr));
    WriteNativeFile(NativePath(SCHEME_CACHE, "c.bin"), "1234");
    ASSERT_TRUE(ZQ_FileSystem_GetFileInfo("cache://c.bin", &info));
    EXPECT_EQ(4u, info.size);
}

TEST_F(FileSystemApiTest, MemoryFilesThroughTheApi) {
    ASSERT_TRUE(WriteThroughApi("mem://scratch", "in memory"));
    EXPECT_TRUE(ZQ_FileSystem_FileExists("mem://scratch"));
    EXPECT_EQ("in memory", ReadThroughApi("mem://scratch"));
    EXPECT_TRUE(ZQ_FileSystem_DeleteFile("mem://scratch"));
    EXPECT_FALSE(ZQ_FileSystem_FileExists("mem://scratch"));
}

TEST_F(FileSystemApiTest, ResolvedPathRingReusesABufferAfter32Calls) {
    WriteNativeFile(Res("font.ttf"), "x");
    char* first = ZQI_ResolveFilePath("res://font.ttf", true);
    ASSERT_NE(nullptr, first);
    EXPECT_STREQ("res://font.ttf", first);
    for (int i = 0; i < 31; ++i) {
        char* other = ZQI_ResolveFilePath("res://font.ttf", true);
        ASSERT_NE(nullptr, other);
        EXPECT_NE(first, other);
    }
    EXPECT_EQ(first, ZQI_ResolveFilePath("res://font.ttf", true));
}

TEST_F(FileSystemApiTest, ResolvedPathsMayBeCreatableButLeaveNothingBehind) {
    EXPECT_EQ(nullptr, ZQI_ResolveFilePath("docs://new.ttf", true));
    char* creatable = ZQI_ResolveFilePath("docs://new.ttf", false);
    ASSERT_NE(nullptr, creatable);
    EXPECT_STREQ("docs://new.ttf", creatable);
    EXPECT_FALSE(NativeFileExists(NativePath(SCHEME_DOCS, "new.ttf")));
    EXPECT_EQ(nullptr, ZQI_ResolveFilePath("docs://no-folder/new.ttf", false));
    std::string tooLong = "docs://" + std::string(300, 'l');
    EXPECT_EQ(nullptr, ZQI_ResolveFilePath(tooLong.c_str(), false)) << "a cut path would name another file";
}

// A save lives in memory until the unmount stores it: resolving its path (a font generated and
// saved there) leaves it. A save path with nothing behind it leaves nothing behind.
TEST_F(FileSystemApiTest, ResolvingASavePathLeavesTheSaveNotYetStored) {
    const struct {
        const char* name;
        const char* onDisk;  // null: no file on disk
        bool closed;         // the program closed its save before the path was resolved
    } cases[] = {
        {"closed, nothing on disk", nullptr, true},
        {"closed, an older save on disk", "older", true},
        {"still open, nothing on disk", nullptr, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string file = NativePath(SCHEME_SAVE, "slot.dat");
        std::remove(file.c_str());
        if (c.onDisk != nullptr) {
            WriteNativeFile(file, c.onDisk);
        }
        ASSERT_TRUE(ZQ_FileSystem_Mount("save", 0));
        zq_file_t* save = ZQ_FileSystem_OpenFile("save://slot.dat", "w");
        ASSERT_NE(nullptr, save);
        ZQ_FileSystem_WriteFile("program's save", 14, save);
        if (c.closed) {
            ZQ_FileSystem_CloseFile(save);
        }
        EXPECT_STREQ("save://slot.dat", ZQI_ResolveFilePath("save://slot.dat", false));
        if (!c.closed) {
            ZQ_FileSystem_CloseFile(save);
        }
        ZQ_FileSystem_Unmount("save");
        EXPECT_EQ("program's save", ReadNativeFile(file));
    }
    ASSERT_TRUE(ZQ_FileSystem_Mount("save", 0));
    EXPECT_STREQ("save://new.dat", ZQI_ResolveFilePath("save://new.dat", false));
    EXPECT_EQ(nullptr, ZQI_ResolveFilePath("save://no-folder/new.dat", false));
    ZQ_FileSystem_Unmount("save");
    EXPECT_EQ(std::vector<std::string>({"slot.dat"}), NativeFolderFiles(Root(SCHEME_SAVE)));
}

TEST_F(FileSystemApiTest, ResolvedPlainPathsNameTheSearchPath) {
    WriteNativeFile(NativePath(SCHEME_DOCS, "mods/f.ttf"), "x");
    ZQ_FileSystem_AddSearchPath("res://", false);
    ZQ_FileSystem_AddSearchPath("docs://mods", false);
    EXPECT_STREQ("docs://mods/f.ttf", ZQI_ResolveFilePath("f.ttf", true));
    EXPECT_EQ(nullptr, ZQI_ResolveFilePath("g.ttf", true));
    EXPECT_STREQ("res://g.ttf", ZQI_ResolveFilePath("g.ttf", false));
    EXPECT_FALSE(NativeFileExists(Res("g.ttf")));
}

TEST_F(FileSystemApiTest, UserFoldersGoBelowTheDeveloperAndProgramNames) {
    std::string appData = temp_->Join("appdata-root");
    MakeNativeFolders(appData);
    ZQI_SetSchemeRoot(SCHEME_USER, appData.c_str());
    ZQI_SetSchemeRoot(SCHEME_CACHE, "");
    ZQI_SetSchemeRoot(SCHEME_LOGS, "");
    ZQI_SetSchemeRoot(SCHEME_SAVE, "");
    ZQI_SetSchemeRoot(SCHEME_DOCS, "");
    ASSERT_TRUE(ZQI_InitializeUserFolders("Ostrel", "MyGame"));
    std::string root = appData + "/Ostrel/MyGame";
    EXPECT_EQ(root, Root(SCHEME_USER));
    EXPECT_EQ(root + "/cache", Root(SCHEME_CACHE));
    EXPECT_EQ(root + "/logs", Root(SCHEME_LOGS));
    EXPECT_EQ(root + "/documents", Root(SCHEME_DOCS));
    EXPECT_EQ(root + "/save", Root(SCHEME_SAVE));
    EXPECT_TRUE(NativeFolderExists(root + "/cache"));
    EXPECT_TRUE(NativeFolderExists(root + "/logs"));
    EXPECT_TRUE(NativeFolderExists(root + "/documents"));
    EXPECT_FALSE(NativeFolderExists(root + "/save")) << "save is made at the first mount";
}

TEST_F(FileSystemApiTest, UserFoldersKeepADocumentsFolderOfTheirOwn) {
    std::string appData = temp_->Join("appdata-root");
    MakeNativeFolders(appData);
    ZQI_SetSchemeRoot(SCHEME_USER, appData.c_str());
    std::string docs = Root(SCHEME_DOCS);
    ASSERT_TRUE(ZQI_InitializeUserFolders("Ostrel", "MyGame"));
    EXPECT_EQ(docs, Root(SCHEME_DOCS));
    EXPECT_FALSE(NativeFolderExists(appData + "/Ostrel/MyGame/documents"));
}

TEST_F(FileSystemApiTest, UserFolderNamesCannotLeaveTheApplicationData) {
    EXPECT_FALSE(ZQI_InitializeUserFolders("..", "x"));
    EXPECT_FALSE(ZQI_InitializeUserFolders("Dev", "a/../../b"));
    EXPECT_FALSE(ZQI_InitializeUserFolders("C:", "x"));
    EXPECT_FALSE(ZQI_InitializeUserFolders("", "x"));
    EXPECT_FALSE(ZQI_InitializeUserFolders(nullptr, "x"));
    EXPECT_TRUE(AnyLogContains("is not a usable folder name"));
}

TEST_F(FileSystemApiTest, TheLogAndTheFoundationHelpersUseTheFileSystem) {
    const ZQI_LogFileOps& ops = ZQI_GetLogFileOps();
    void* file = ops.open("logs://game.log", "w");
    ASSERT_NE(nullptr, file);
    EXPECT_EQ(5, ops.write(file, "line\n", 5));
    ops.flush(file);
    ops.close(file);
    EXPECT_TRUE(ops.exists("logs://game.log"));
    EXPECT_EQ("line\n", ReadNativeFile(NativePath(SCHEME_LOGS, "game.log")));
    EXPECT_EQ(0, ZQI_GetOpenFileCount());
    // A popup would be logged, and logging opens the log file again: refusals stay quiet.
    Captured() = CapturedMessages();
    EXPECT_EQ(nullptr, ops.open("logs://bad name!.log", "a"));
    EXPECT_EQ(nullptr, ops.open("logs://game.log", "r"));
    EXPECT_TRUE(Captured().popups.empty());
    WriteNativeFile(Res("found.txt"), "x");
    ZQ_FileSystem_AddSearchPath("res://", false);
    EXPECT_STREQ("res://found.txt", ZQI_FindFileInSearchPaths("found.txt").CStr());
}

// Whatever the log's own file operations reported would be logged, writing the log file again: on
// a full disk they stay quiet, whether the buffer is lost at a line's flush or the banner's close.
TEST_F(FileSystemApiTest, TheLogsFileOperationsReportNothingOnAFullDisk) {
    EngineTest::ScopedFullDisk full(SCHEME_LOGS, "game.log");
    const ZQI_LogFileOps& ops = ZQI_GetLogFileOps();
    Captured() = CapturedMessages();
    void* banner = ops.open("logs://game.log", "w");
    ASSERT_NE(nullptr, banner);
    EXPECT_EQ(7, ops.write(banner, "banner\n", 7));
    ops.close(banner);
    void* line = ops.open("logs://game.log", "a");
    ASSERT_NE(nullptr, line);
    EXPECT_EQ(5, ops.write(line, "line\n", 5));
    ops.flush(line);
    ops.close(line);
    EXPECT_EQ(2, full.System().failedOpenings);
    EXPECT_TRUE(Captured().logs.empty()) << Captured().logs.front();
    EXPECT_TRUE(Captured().popups.empty()) << Captured().popups.front();
}

TEST_F(FileSystemApiTest, FileDialogRefusesAnInvalidFolder) {
    EXPECT_EQ(nullptr, ZQ_FileSystem_ShowNativeFileSelectDialog("res://../x", "*.png", false));
    EXPECT_TRUE(AnyPopupContains("File System ShowNativeFileSelectDialog: path 'res://../x' is invalid"));
}
