// The save system: mounting, reads straight from disk, writes buffered until unmounting, saves
// whose old file is held open elsewhere or left beside their file, and through the API the save
// root made at the first mount.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#if defined(_WIN32)
#include <share.h>
#endif

#include "FileSystemTestSupport.h"
#include "FullDisk.h"
#include "filesystem/FileSystemApi.h"
#include "filesystem/FileSystemTable.h"
#include "filesystem/MountSystem.h"
#include "filesystem/SchemeRoots.h"
#include "filesystem/WindowsPOSIXSystem.h"

using namespace ZQFileSystem;

namespace {

class MountSystemTest : public FileSystemTest {
protected:
    void SetUp() override {
        FileSystemTest::SetUp();
        MakeNativeFolders(Root(SCHEME_SAVE));
    }
    std::string SaveFile(const std::string& name) const { return NativePath(SCHEME_SAVE, name); }
    // Sorted, temporaries included (listings hide those).
    std::vector<std::string> SaveFolderFiles() const { return NativeFolderFiles(Root(SCHEME_SAVE)); }
};

// A native system on which the old save's file cannot be replaced, as on Windows while a handle
// holds it without sharing deletion; writing it in place works, is refused or meets a full disk.
// Or the disk is full for the new save's temporary in the first place.
enum Hold { IN_PLACE_WORKS, IN_PLACE_REFUSED, IN_PLACE_DISK_FULL, TEMPORARY_DISK_FULL };

class HeldSaveSystem : public WindowsPOSIXSystem {
public:
    HeldSaveSystem(const std::string& held, Hold hold) : WindowsPOSIXSystem(true), held_(held), hold_(hold) {}
    bool ReplaceFile(SchemeId scheme, const char* source, const char* target, bool exchange) override {
        return held_ != target && WindowsPOSIXSystem::ReplaceFile(scheme, source, target, exchange);
    }
    File* OpenFile(SchemeId scheme, const char* nativePath, FileMode mode) override {
        if (mode == FILE_MODE_READ ||
            (held_ == nativePath ? hold_ == IN_PLACE_WORKS : hold_ != TEMPORARY_DISK_FULL)) {
            return WindowsPOSIXSystem::OpenFile(scheme, nativePath, mode);
        }
        FILE* full = hold_ != IN_PLACE_REFUSED ? fopen(EngineTest::FullDevicePath(), "wb") : nullptr;
        return full != nullptr ? new POSIXFile(0, scheme, true, full) : nullptr;
    }

private:
    std::string held_;
    Hold hold_;
};

}  // namespace

TEST_F(MountSystemTest, NothingWorksWhileUnmounted) {
    WriteNativeFile(SaveFile("slot.dat"), "old");
    EXPECT_FALSE(ZQI_GetFileSystem(SCHEME_SAVE)->FileExists(SCHEME_SAVE, SaveFile("slot.dat").c_str()));
    EXPECT_EQ(nullptr, ZQ_FileSystem_OpenFile("save://slot.dat", "r"));
    EXPECT_EQ(nullptr, ZQ_FileSystem_OpenFile("save://slot.dat", "w"));
    EXPECT_EQ("old", ReadNativeFile(SaveFile("slot.dat"))) << "a refused write must not truncate";
    EXPECT_FALSE(ZQ_FileSystem_DeleteFile("save://slot.dat"));
}

TEST_F(MountSystemTest, OnlyStorageZeroMounts) {
    EXPECT_FALSE(ZQ_FileSystem_Mount("save", 1));
    EXPECT_FALSE(ZQ_FileSystem_Mount("save", 4));
    EXPECT_FALSE(ZQ_FileSystem_Mount("docs", 0));
    EXPECT_FALSE(ZQ_FileSystem_Mount(nullptr, 0));
    EXPECT_TRUE(ZQ_FileSystem_Mount("save", 0));
}

TEST_F(MountSystemTest, FirstMountMakesTheSaveRootOnce) {
    ZQI_SetSchemeRoot(SCHEME_SAVE, temp_->Join("fresh-save").c_str());
    EXPECT_TRUE(ZQ_FileSystem_Mount("save", 0));
    EXPECT_TRUE(NativeFolderExists(temp_->Join("fresh-save")));
    ZQ_FileSystem_Unmount("save");
    ZQI_SetSchemeRoot(SCHEME_SAVE, temp_->Join("second-save").c_str());
    EXPECT_TRUE(ZQ_FileSystem_Mount("save", 0));
    EXPECT_FALSE(NativeFolderExists(temp_->Join("second-save"))) << "the root is made once per run";
}

// Until the new save is on disk the old one stays whole, so a run that ends before unmounting
// (a crash, a killed process) still finds it.
TEST_F(MountSystemTest, WritesReachTheDiskOnlyAtUnmount) {
    WriteNativeFile(SaveFile("slot.dat"), "old contents");
    ASSERT_TRUE(ZQ_FileSystem_Mount("save", 0));
    ASSERT_TRUE(WriteThroughApi("save://slot.dat", "new contents"));
    ASSERT_TRUE(WriteThroughApi("save://fresh.dat", "fresh"));
    EXPECT_EQ("old contents", ReadNativeFile(SaveFile("slot.dat")))
        << "opening for writing emptied the disk file";
    EXPECT_EQ("old contents", ReadThroughApi("save://slot.dat"))
        << "buffered writes are not visible to readers";
    EXPECT_FALSE(NativeFileExists(SaveFile("fresh.dat")));
    ZQ_FileSystem_Unmount("save");
    EXPECT_EQ("new contents", ReadNativeFile(SaveFile("slot.dat")));
    EXPECT_EQ("fresh", ReadNativeFile(SaveFile("fresh.dat")));
    EXPECT_EQ(std::vector<std::string>({"fresh.dat", "slot.dat"}), SaveFolderFiles())
        << "no file left beside them";
}

// The new save fits in the C runtime's buffer, so only the flush at closing finds the disk full.
TEST_F(MountSystemTest, AnUnmountOntoAFullDiskKeepsTheOldSave) {
    const std::string slot = SaveFile("slot.dat");
    WriteNativeFile(slot, "old save");
    EngineTest::FullDiskSystem* disk = new EngineTest::FullDiskSystem(true, "slot.dat");
    MountSystem save(disk);
    ASSERT_TRUE(save.Mount(0));
    File* file = save.OpenFile(SCHEME_SAVE, slot.c_str(), FILE_MODE_WRITE);
    ASSERT_NE(nullptr, file);
    EXPECT_EQ(8u, file->Write("new save", 8));
    EXPECT_TRUE(save.CloseFile(file));
    EXPECT_EQ("old save", ReadNativeFile(slot));
    save.Unmount();
    EXPECT_GE(disk->failedOpenings, 1);
    EXPECT_EQ("old save", ReadNativeFile(slot));
    EXPECT_TRUE(AnyLogContains("MountSystem::Unmount: '" + slot + "' could not be written"));
    EXPECT_EQ(std::vector<std::string>({"slot.dat"}), SaveFolderFiles()) << "no file left beside it";
}

TEST_F(MountSystemTest, AppendingKeepsTheOldBytesInFront) {
    WriteNativeFile(SaveFile("log.txt"), "old-");
    ASSERT_TRUE(ZQ_FileSystem_Mount("save", 0));
    EXPECT_EQ("old-", ReadThroughApi("save://log.txt"));
    ASSERT_TRUE(WriteThroughApi("save://log.txt", "new", "a"));
    EXPECT_EQ("old-", ReadNativeFile(SaveFile("log.txt")));
    ZQ_FileSystem_Unmount("save");
    EXPECT_EQ("old-new", ReadNativeFile(SaveFile("log.txt")));
}

TEST_F(MountSystemTest, UnmountingForgetsTheBufferedFiles) {
    ASSERT_TRUE(ZQ_FileSystem_Mount("save", 0));
    ASSERT_TRUE(WriteThroughApi("save://a.dat", "one"));
    ZQ_FileSystem_Unmount("save");
    WriteNativeFile(SaveFile("a.dat"), "changed on disk");
    ASSERT_TRUE(ZQ_FileSystem_Mount("save", 0));
    ZQ_FileSystem_Unmount("save");
    EXPECT_EQ("changed on disk", ReadNativeFile(SaveFile("a.dat"))) << "a second unmount rewrote old data";
}

TEST_F(MountSystemTest, AFileStillOpenAtUnmountIsWrittenAndStaysSafe) {
    ASSERT_TRUE(ZQ_FileSystem_Mount("save", 0));
    zq_file_t* file = ZQ_FileSystem_OpenFile("save://open.dat", "w");
    ASSERT_NE(nullptr, file);
    ZQ_FileSystem_WriteFile("kept", 4, file);
    ZQ_FileSystem_Unmount("save");
    EXPECT_EQ("kept", ReadNativeFile(SaveFile("open.dat")));
    // The handle still works on its (now detached) buffer and closes cleanly.
    EXPECT_EQ(5u, ZQ_FileSystem_WriteFile("later", 5, file));
    ZQ_FileSystem_CloseFile(file);
    EXPECT_EQ("kept", ReadNativeFile(SaveFile("open.dat")));
}

TEST_F(MountSystemTest, AFileThatCannotBeWrittenIsRefusedAtOnce) {
    ASSERT_TRUE(ZQ_FileSystem_Mount("save", 0));
    EXPECT_EQ(nullptr, ZQ_FileSystem_OpenFile("save://no-such-folder/x.dat", "w"));
    ZQ_FileSystem_Unmount("save");
    EXPECT_FALSE(NativeFileExists(SaveFile("no-such-folder/x.dat")));
}

TEST_F(MountSystemTest, ReadCountFollowsOpenReaders) {
    WriteNativeFile(SaveFile("r.dat"), "r");
    ASSERT_TRUE(ZQ_FileSystem_Mount("save", 0));
    MountSystem* save = static_cast<MountSystem*>(ZQI_GetFileSystem(SCHEME_SAVE));
    zq_file_t* first = ZQ_FileSystem_OpenFile("save://r.dat", "r");
    zq_file_t* second = ZQ_FileSystem_OpenFile("save://r.dat", "r");
    ASSERT_NE(nullptr, first);
    ASSERT_NE(nullptr, second);
    EXPECT_EQ(2u, save->GetReadCount());
    ZQ_FileSystem_CloseFile(first);
    ZQ_FileSystem_CloseFile(second);
    EXPECT_EQ(0u, save->GetReadCount());
}

TEST_F(MountSystemTest, SavingTwiceBeforeUnmountKeepsTheLatestSave) {
    ASSERT_TRUE(ZQ_FileSystem_Mount("save", 0));
    ASSERT_TRUE(WriteThroughApi("save://slot.dat", "first save"));
    ASSERT_TRUE(WriteThroughApi("save://other.dat", "other"));
    ASSERT_TRUE(WriteThroughApi("save://slot.dat", "second save"));
    ASSERT_TRUE(WriteThroughApi("save://slot.dat", "third save"));
    ZQ_FileSystem_Unmount("save");
    EXPECT_EQ("third save", ReadNativeFile(SaveFile("slot.dat")));
    EXPECT_EQ("other", ReadNativeFile(SaveFile("other.dat")));
}

TEST_F(MountSystemTest, AppendingAfterABufferedWriteKeepsThatWrite) {
    WriteNativeFile(SaveFile("log.txt"), "stale");
    ASSERT_TRUE(ZQ_FileSystem_Mount("save", 0));
    ASSERT_TRUE(WriteThroughApi("save://log.txt", "one-"));
    ASSERT_TRUE(WriteThroughApi("save://log.txt", "two-", "a"));
    ASSERT_TRUE(WriteThroughApi("save://log.txt", "three", "a"));
    ZQ_FileSystem_Unmount("save");
    EXPECT_EQ("one-two-three", ReadNativeFile(SaveFile("log.txt")));
}

TEST_F(MountSystemTest, TwoWritersAtOnceCommitInOpeningOrder) {
    ASSERT_TRUE(ZQ_FileSystem_Mount("save", 0));
    zq_file_t* early = ZQ_FileSystem_OpenFile("save://both.dat", "w");
    zq_file_t* late = ZQ_FileSystem_OpenFile("save://both.dat", "w");
    ASSERT_NE(nullptr, early);
    ASSERT_NE(nullptr, late);
    ZQ_FileSystem_WriteFile("late", 4, late);
    ZQ_FileSystem_WriteFile("early", 5, early);
    ZQ_FileSystem_CloseFile(late);
    ZQ_FileSystem_CloseFile(early);
    ZQ_FileSystem_Unmount("save");
    EXPECT_EQ("late", ReadNativeFile(SaveFile("both.dat"))) << "the file opened last is written last";
}

TEST_F(MountSystemTest, ASaveDeletedBeforeUnmountStaysDeleted) {
    WriteNativeFile(SaveFile("old.dat"), "old");
    ASSERT_TRUE(ZQ_FileSystem_Mount("save", 0));
    ASSERT_TRUE(WriteThroughApi("save://slot.dat", "written, then deleted"));
    EXPECT_TRUE(ZQ_FileSystem_DeleteFile("save://slot.dat"));
    ASSERT_TRUE(WriteThroughApi("save://new.dat", "only", "a"));
    EXPECT_TRUE(ZQ_FileSystem_DeleteFile("save://new.dat")) << "a file that so far exists only in its buffer";
    ASSERT_TRUE(WriteThroughApi("save://old.dat", "-more", "a"));
    EXPECT_TRUE(ZQ_FileSystem_DeleteFile("save://old.dat"));
    EXPECT_FALSE(ZQ_FileSystem_DeleteFile("save://never.dat"));
    ZQ_FileSystem_Unmount("save");
    EXPECT_FALSE(NativeFileExists(SaveFile("slot.dat"))) << "unmounting brought a deleted save back";
    EXPECT_FALSE(NativeFileExists(SaveFile("new.dat")));
    EXPECT_FALSE(NativeFileExists(SaveFile("old.dat")));
}

// A new save goes whole under its file's name or, failing that, whole into "<file>~.saving" with a
// log line; a save left there earlier gives way only to a whole new one.
TEST_F(MountSystemTest, ASaveThatCannotReplaceItsFileIsWrittenInPlaceOrKeptBesideIt) {
    struct Case {
        Hold hold;
        bool leftBeside;     // "<file>~.saving" holds "left save" before
        const char* stored;  // the file afterwards (nullptr: may be cut)
        const char* beside;  // "<file>~.saving" afterwards (nullptr: gone)
        const char* log;     // after "MountSystem::Unmount: '<file>"
    };
    const Case cases[] = {
        {IN_PLACE_WORKS, false, "new save", nullptr, "' could not be replaced; it was written in place."},
        {IN_PLACE_REFUSED, false, "older save", "new save", "' could neither be replaced nor opened"},
        {IN_PLACE_DISK_FULL, false, nullptr, "new save", "' could neither be replaced nor written in place"},
        {IN_PLACE_REFUSED, true, "older save", "new save",
         "~.saving', left by an earlier unmount, gives way"},
        {TEMPORARY_DISK_FULL, true, "older save", "left save", "' could not be written"},
    };
    const std::string slot = SaveFile("slot.dat");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.log);
        WriteNativeFile(slot, "older save");
        std::remove((slot + "~.saving").c_str());
        if (c.leftBeside) {
            WriteNativeFile(slot + "~.saving", "left save");
        }
        MountSystem save(new HeldSaveSystem(slot, c.hold));
        ASSERT_TRUE(save.Mount(0));
        File* file = save.OpenFile(SCHEME_SAVE, slot.c_str(), FILE_MODE_WRITE);
        ASSERT_NE(nullptr, file);
        EXPECT_EQ(8u, file->Write("new save", 8));
        EXPECT_TRUE(save.CloseFile(file));
        save.Unmount();
        if (c.stored != nullptr) {
            EXPECT_EQ(c.stored, ReadNativeFile(slot));
        }
        EXPECT_EQ(c.beside != nullptr ? c.beside : "", ReadNativeFile(slot + "~.saving"));
        EXPECT_EQ(c.beside != nullptr ? 2u : 1u, SaveFolderFiles().size()) << "no other temporary stays";
        EXPECT_TRUE(AnyLogContains("MountSystem::Unmount: '" + slot + c.log));
    }
}

#if defined(_WIN32)
// Real readers of the old save: one sharing writing, as fopen (and so the program's reader through
// save://) does, lets the shorter new save be written in place, leaving nothing of the old one;
// one sharing reading only leaves the new save whole beside the file.
TEST_F(MountSystemTest, ASaveHeldOpenByAReaderIsWrittenInPlaceOrKeptBesideIt) {
    const std::string slot = SaveFile("slot.dat");
    for (int sharing : {_SH_DENYNO, _SH_DENYWR}) {
        WriteNativeFile(slot, "older save");
        std::remove((slot + "~.saving").c_str());
        FILE* reader = _fsopen(slot.c_str(), "rb", sharing);
        ASSERT_NE(nullptr, reader);
        ASSERT_TRUE(ZQ_FileSystem_Mount("save", 0));
        ASSERT_TRUE(WriteThroughApi("save://slot.dat", "new save"));
        ZQ_FileSystem_Unmount("save");
        fclose(reader);
        const bool inPlace = sharing == _SH_DENYNO;
        EXPECT_EQ(inPlace ? "new save" : "older save", ReadNativeFile(slot));
        EXPECT_EQ(inPlace ? "" : "new save", ReadNativeFile(slot + "~.saving"));
    }
}
#endif

// A save left beside its file is a whole newer save or a cut one, and nothing tells which: mounts
// keep and report it, listings hide it, opening the file for writing keeps it, and only a whole
// new save replaces it. The program's own "slot.dat.saving" is no such save.
TEST_F(MountSystemTest, SavesLeftBesideTheirFilesStayUntilAWholeNewSaveReplacesThem) {
    for (const char* name : {"slot.dat", "slot.dat~.saving", "slot.dat.saving", "slots/two.dat~.saving"}) {
        WriteNativeFile(SaveFile(name), name);
    }
    ASSERT_TRUE(ZQ_FileSystem_Mount("save", 0));
    for (const char* left : {"slot.dat~.saving", "slots/two.dat~.saving"}) {
        EXPECT_TRUE(AnyLogContains("1:MountSystem::Mount: '" + SaveFile(left) + "' was left by an unmount"));
    }
    EXPECT_FALSE(AnyLogContains("slot.dat.saving'"));
    Array<String> all, listed;
    all.PushText("*");
    ZQI_GetFileSystem(SCHEME_SAVE)
        ->FindFiles(SCHEME_SAVE, "save://", Root(SCHEME_SAVE).c_str(), all, true, listed);
    EXPECT_EQ(2, listed.count) << "save://slot.dat and save://slot.dat.saving only";
    ASSERT_TRUE(WriteThroughApi("save://slot.dat", "new save"));
    EXPECT_EQ("slot.dat~.saving", ReadNativeFile(SaveFile("slot.dat~.saving")));
    ZQ_FileSystem_Unmount("save");
    EXPECT_EQ("new save", ReadNativeFile(SaveFile("slot.dat")));
    EXPECT_EQ(std::vector<std::string>({"slot.dat", "slot.dat.saving"}), SaveFolderFiles());
    EXPECT_EQ("slot.dat.saving", ReadNativeFile(SaveFile("slot.dat.saving")));
    EXPECT_EQ("slots/two.dat~.saving", ReadNativeFile(SaveFile("slots/two.dat~.saving")));
    EXPECT_TRUE(AnyLogContains("1:MountSystem::Unmount: '" + SaveFile("slot.dat~.saving") + "', left by"));
}
