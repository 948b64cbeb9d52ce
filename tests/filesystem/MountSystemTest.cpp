// The save system: mounting, reads straight from disk, writes buffered until unmounting, saves
// whose old file is held open elsewhere, saves left beside their file by an unmount that could
// not finish, and through the API the save root made at the first mount.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "FileSystemTestSupport.h"
#include "FullDisk.h"
#include "HeldOpenFile.h"
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
    // The names in the save folder, sorted, temporaries included (listings hide those).
    std::vector<std::string> SaveFolderFiles() const { return NativeFolderFiles(Root(SCHEME_SAVE)); }

    // A program's save of `slot` through a mount of its own: written, closed, stored at unmount.
    static void StoreSave(MountSystem& save, const std::string& slot, const std::string& text) {
        ASSERT_TRUE(save.Mount(0));
        File* file = save.OpenFile(SCHEME_SAVE, slot.c_str(), FILE_MODE_WRITE);
        ASSERT_NE(nullptr, file);
        EXPECT_EQ(text.size(), file->Write(text.data(), text.size()));
        EXPECT_TRUE(save.CloseFile(file));
        save.Unmount();
    }
    // The same through save://, while the test holds the old "slot.dat" open its own way.
    static void StoreNewSaveThroughApi() {
        ASSERT_TRUE(ZQ_FileSystem_Mount("save", 0));
        ASSERT_TRUE(WriteThroughApi("save://slot.dat", "the new save"));
        ZQ_FileSystem_Unmount("save");
    }
    // A save that could not be moved over its held file: its bytes under its own name, nothing
    // left beside it, and the log saying how it got there.
    void ExpectWrittenInPlace(const std::string& slot, const std::string& text) const {
        EXPECT_EQ(text, ReadNativeFile(slot));
        EXPECT_EQ(std::vector<std::string>({"slot.dat"}), SaveFolderFiles())
            << "the temporary goes once the save is written";
        EXPECT_TRUE(AnyLogContains("1:MountSystem::Unmount: '" + slot +
                                   "' could not be replaced; it was written in place."));
    }
};

// A native system on which one file cannot be replaced, as on Windows while another handle holds
// it open without sharing deletion. Writing it in place may work, fail at opening (the holder
// shares no writing), or fail when the data reaches the disk (a full disk).
class HeldSaveSystem : public WindowsPOSIXSystem {
public:
    enum InPlace { IN_PLACE_WORKS, IN_PLACE_REFUSED, IN_PLACE_DISK_FULL };

    HeldSaveSystem(const std::string& held, InPlace inPlace)
        : WindowsPOSIXSystem(true), held_(held), inPlace_(inPlace) {}

    bool ReplaceFile(SchemeId scheme, const char* source, const char* target, bool exchange) override {
        if (held_ == target) {
            ++refusedReplaces;
            return false;
        }
        return WindowsPOSIXSystem::ReplaceFile(scheme, source, target, exchange);
    }
    File* OpenFile(SchemeId scheme, const char* nativePath, FileMode mode) override {
        if (mode == FILE_MODE_READ || held_ != nativePath || inPlace_ == IN_PLACE_WORKS) {
            return WindowsPOSIXSystem::OpenFile(scheme, nativePath, mode);
        }
        if (inPlace_ == IN_PLACE_REFUSED) {
            return nullptr;
        }
        // Emptied on disk as a real opening empties it; the data goes to the full device.
        WindowsPOSIXSystem::CloseFile(WindowsPOSIXSystem::OpenFile(scheme, nativePath, mode));
        FILE* full = fopen(EngineTest::FullDevicePath(), "wb");
        return full != nullptr ? new POSIXFile(0, scheme, true, full) : nullptr;
    }

    int refusedReplaces = 0;

private:
    std::string held_;
    InPlace inPlace_;
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

// ---- Saves whose old file is held open --------------------------------------------------------

// Moving the new save over the old file is refused while the old one is open elsewhere; writing
// the file directly, as saves once did, works then, so it is written in place.
TEST_F(MountSystemTest, ASaveThatCannotBeReplacedIsWrittenInPlace) {
    const std::string slot = SaveFile("slot.dat");
    WriteNativeFile(slot, "the old save, longer than the new one");
    HeldSaveSystem* disk = new HeldSaveSystem(slot, HeldSaveSystem::IN_PLACE_WORKS);
    MountSystem save(disk);
    StoreSave(save, slot, "new save");
    EXPECT_EQ(1, disk->refusedReplaces);
    ExpectWrittenInPlace(slot, "new save");
}

// Not even writing in place works: the old save stays as it was and the new one whole beside it,
// where the log says.
TEST_F(MountSystemTest, ASaveThatCannotBeWrittenAtAllStaysBesideTheOldOne) {
    const std::string slot = SaveFile("slot.dat");
    WriteNativeFile(slot, "old save");
    MountSystem save(new HeldSaveSystem(slot, HeldSaveSystem::IN_PLACE_REFUSED));
    StoreSave(save, slot, "new save");
    EXPECT_EQ("old save", ReadNativeFile(slot));
    EXPECT_EQ("new save", ReadNativeFile(slot + "~.saving"));
    EXPECT_TRUE(AnyLogContains("2:MountSystem::Unmount: '" + slot +
                               "' could neither be replaced nor opened for writing; it keeps the old save "
                               "and the new one is in '" +
                               slot + "~.saving'."));
}

// Writing in place fails part way: the old file may be cut, so the whole new save beside it is
// the copy to keep.
TEST_F(MountSystemTest, AnInPlaceWriteThatFailsKeepsTheNewSaveBesideIt) {
    const std::string slot = SaveFile("slot.dat");
    WriteNativeFile(slot, "old save");
    MountSystem save(new HeldSaveSystem(slot, HeldSaveSystem::IN_PLACE_DISK_FULL));
    StoreSave(save, slot, "new save");
    EXPECT_EQ("new save", ReadNativeFile(slot + "~.saving"));
    EXPECT_TRUE(
        AnyLogContains("2:MountSystem::Unmount: '" + slot +
                       "' could neither be replaced nor written in place and may be cut; the new save "
                       "is in '" +
                       slot + "~.saving'."));
}

// The program still reads its save through save:// while it unmounts (on Windows the read
// handle keeps the old file from being replaced).
TEST_F(MountSystemTest, ASaveTheProgramStillReadsIsStoredAllTheSame) {
    const std::string slot = SaveFile("slot.dat");
    WriteNativeFile(slot, "old save");
    ASSERT_TRUE(ZQ_FileSystem_Mount("save", 0));
    zq_file_t* reader = ZQ_FileSystem_OpenFile("save://slot.dat", "r");
    ASSERT_NE(nullptr, reader);
    ASSERT_TRUE(WriteThroughApi("save://slot.dat", "the new save"));
    ZQ_FileSystem_Unmount("save");
    ZQ_FileSystem_CloseFile(reader);
    EXPECT_EQ("the new save", ReadNativeFile(slot));
    EXPECT_EQ(std::vector<std::string>({"slot.dat"}), SaveFolderFiles());
}

#if defined(_WIN32)
// What a program reading its save holds: the C runtime's fopen shares reading and writing, never
// deletion, so Windows refuses to move a file over it.
TEST_F(MountSystemTest, ASaveReadThroughFopenMeanwhileIsWrittenInPlace) {
    const std::string slot = SaveFile("slot.dat");
    WriteNativeFile(slot, "old save");
    FILE* reader = fopen(slot.c_str(), "rb");
    ASSERT_NE(nullptr, reader);
    StoreNewSaveThroughApi();
    fclose(reader);
    ExpectWrittenInPlace(slot, "the new save");
}

TEST_F(MountSystemTest, ASaveHeldOpenByAnotherHandleThatSharesWritingIsWrittenInPlace) {
    const std::string slot = SaveFile("slot.dat");
    WriteNativeFile(slot, "old save");
    HeldOpenFile holder(slot, HeldOpenFile::SHARE_READING_AND_WRITING);
    ASSERT_TRUE(holder.IsOpen());
    StoreNewSaveThroughApi();
    holder.Release();
    ExpectWrittenInPlace(slot, "the new save");
}

// A holder that shares no writing leaves no way to store the save under its name: it stays whole
// beside the old one, where the log says, and the next mount finds and keeps it.
TEST_F(MountSystemTest, ASaveHeldOpenWithoutWriteSharingStaysRecoverable) {
    const std::string slot = SaveFile("slot.dat");
    WriteNativeFile(slot, "old save");
    HeldOpenFile holder(slot, HeldOpenFile::SHARE_READING);
    ASSERT_TRUE(holder.IsOpen());
    StoreNewSaveThroughApi();
    holder.Release();
    EXPECT_EQ("old save", ReadNativeFile(slot));
    EXPECT_EQ("the new save", ReadNativeFile(slot + "~.saving"));
    EXPECT_TRUE(AnyLogContains("the new one is in '" + slot + "~.saving'."));
    ASSERT_TRUE(ZQ_FileSystem_Mount("save", 0));
    EXPECT_TRUE(AnyLogContains("1:MountSystem::Mount: '" + slot + "~.saving' was left by an unmount"));
    ZQ_FileSystem_Unmount("save");
    EXPECT_EQ("the new save", ReadNativeFile(slot + "~.saving"));
}

// The program read its longer old save and stored a shorter one: writing it in place while the
// reader holds the file must cut what the old save held beyond the new end.
TEST_F(MountSystemTest, AShorterSaveWrittenInPlaceLeavesNothingOfTheOldOneBehind) {
    const std::string slot = SaveFile("slot.dat");
    WriteNativeFile(slot, "the old save, much longer than the new one");
    ASSERT_TRUE(ZQ_FileSystem_Mount("save", 0));
    zq_file_t* reader = ZQ_FileSystem_OpenFile("save://slot.dat", "r");
    ASSERT_NE(nullptr, reader);
    char head[7] = {0};
    EXPECT_EQ(7u, ZQ_FileSystem_ReadFile(head, 7, reader));
    ASSERT_TRUE(WriteThroughApi("save://slot.dat", "short"));
    ZQ_FileSystem_Unmount("save");
    ZQ_FileSystem_CloseFile(reader);
    ExpectWrittenInPlace(slot, "short");
}
#endif

// ---- Saves left beside their file ----------------------------------------------------------------

// A save left beside its file is either the whole new save that could not be put in place or
// the cut remains of a crash while it was written; nothing tells which, so mounting deletes
// neither nor puts one in place: it says where they are.
TEST_F(MountSystemTest, MountingKeepsAndReportsSavesLeftBesideTheirFiles) {
    WriteNativeFile(SaveFile("slot.dat"), "old save");
    WriteNativeFile(SaveFile("slot.dat~.saving"), "newer save");
    WriteNativeFile(SaveFile("slots/two.dat~.saving"), "second");
    ASSERT_TRUE(ZQ_FileSystem_Mount("save", 0));
    EXPECT_TRUE(AnyLogContains("1:MountSystem::Mount: '" + SaveFile("slot.dat~.saving") +
                               "' was left by an unmount that could not finish"));
    EXPECT_TRUE(AnyLogContains("1:MountSystem::Mount: '" + SaveFile("slots/two.dat~.saving") + "' was left"));
    ZQ_FileSystem_Unmount("save");
    EXPECT_EQ("old save", ReadNativeFile(SaveFile("slot.dat")));
    EXPECT_EQ("newer save", ReadNativeFile(SaveFile("slot.dat~.saving")));
    EXPECT_EQ("second", ReadNativeFile(SaveFile("slots/two.dat~.saving")));
}

// Opening the save for writing checks that its folder takes files, without touching the save
// kept beside it; a run that ends before unmounting still finds that.
TEST_F(MountSystemTest, OpeningASaveForWritingKeepsTheSaveLeftBesideIt) {
    WriteNativeFile(SaveFile("slot.dat~.saving"), "newer save");
    ASSERT_TRUE(ZQ_FileSystem_Mount("save", 0));
    ASSERT_TRUE(WriteThroughApi("save://slot.dat", "newest save"));
    EXPECT_EQ("newer save", ReadNativeFile(SaveFile("slot.dat~.saving")));
}

// A new save of the same file that reaches the disk supersedes the one left beside it.
TEST_F(MountSystemTest, ANewSaveOfTheFileReplacesTheSaveLeftBesideIt) {
    WriteNativeFile(SaveFile("slot.dat"), "old save");
    WriteNativeFile(SaveFile("slot.dat~.saving"), "newer save");
    ASSERT_TRUE(ZQ_FileSystem_Mount("save", 0));
    ASSERT_TRUE(WriteThroughApi("save://slot.dat", "newest"));
    ZQ_FileSystem_Unmount("save");
    EXPECT_EQ("newest", ReadNativeFile(SaveFile("slot.dat")));
    EXPECT_EQ(std::vector<std::string>({"slot.dat"}), SaveFolderFiles());
    EXPECT_TRUE(AnyLogContains("1:MountSystem::Unmount: '" + SaveFile("slot.dat~.saving") +
                               "', left by an earlier unmount, gives way to the new save of '" +
                               SaveFile("slot.dat") + "'."));
}

// A new save that does not reach the disk whole leaves the save kept beside its file as it was:
// that one may be the newest whole save there is.
TEST_F(MountSystemTest, ANewSaveThatCannotBeWrittenKeepsTheSaveLeftBesideIt) {
    const std::string slot = SaveFile("slot.dat");
    WriteNativeFile(slot, "old save");
    WriteNativeFile(slot + "~.saving", "newer save");
    MountSystem save(new EngineTest::FullDiskSystem(true, "slot.dat"));
    ASSERT_TRUE(save.Mount(0));
    File* file = save.OpenFile(SCHEME_SAVE, slot.c_str(), FILE_MODE_WRITE);
    ASSERT_NE(nullptr, file);
    EXPECT_EQ(6u, file->Write("newest", 6));
    EXPECT_TRUE(save.CloseFile(file));
    save.Unmount();
    EXPECT_EQ("old save", ReadNativeFile(slot));
    EXPECT_EQ("newer save", ReadNativeFile(slot + "~.saving"));
    EXPECT_TRUE(AnyLogContains("MountSystem::Unmount: '" + slot + "' could not be written"));
    EXPECT_EQ(std::vector<std::string>({"slot.dat", "slot.dat~.saving"}), SaveFolderFiles());
}

// The new save is whole but cannot be stored under its file's name: it takes the place of the
// save kept beside the file, and nothing else is left there.
TEST_F(MountSystemTest, ANewSaveThatCannotBeStoredTakesThePlaceOfTheSaveLeftBesideIt) {
    const std::string slot = SaveFile("slot.dat");
    WriteNativeFile(slot, "old save");
    WriteNativeFile(slot + "~.saving", "newer save");
    MountSystem save(new HeldSaveSystem(slot, HeldSaveSystem::IN_PLACE_REFUSED));
    ASSERT_TRUE(save.Mount(0));
    File* file = save.OpenFile(SCHEME_SAVE, slot.c_str(), FILE_MODE_WRITE);
    ASSERT_NE(nullptr, file);
    file->Write("newest", 6);
    save.CloseFile(file);
    save.Unmount();
    EXPECT_EQ("old save", ReadNativeFile(slot));
    EXPECT_EQ("newest", ReadNativeFile(slot + "~.saving"));
    EXPECT_EQ(std::vector<std::string>({"slot.dat", "slot.dat~.saving"}), SaveFolderFiles());
    EXPECT_TRUE(AnyLogContains("the new one is in '" + slot + "~.saving'."));
}

// ---- Listings ------------------------------------------------------------------------------------

TEST_F(MountSystemTest, ListingsOfTheSaveFolderHideSavesLeftBesideTheirFiles) {
    WriteNativeFile(SaveFile("slot.dat"), "old");
    WriteNativeFile(SaveFile("slot.dat~.saving"), "new");
    WriteNativeFile(SaveFile("slots/two.dat"), "2");
    WriteNativeFile(SaveFile("slots/two.dat~.saving"), "2 new");
    WriteNativeFile(SaveFile("savings.dat"), "a save of the program's own");
    System* save = ZQI_GetFileSystem(SCHEME_SAVE);
    ASSERT_TRUE(save->Mount(0));
    Array<String> wildcards;
    wildcards.PushText("*");
    Array<String> found;
    save->FindFiles(SCHEME_SAVE, "save://", Root(SCHEME_SAVE).c_str(), wildcards, true, found);
    std::vector<std::string> names;
    for (const String& name : found) {
        names.push_back(name.CStr());
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(std::vector<std::string>({"save://savings.dat", "save://slot.dat", "save://slots/two.dat"}),
              names);
    save->Unmount();
}

// The program names its files as it likes, also like the engine's temporaries of others: they
// are its own, and a save of the file they seem to belong to leaves them be.
TEST_F(MountSystemTest, TheProgramsFilesNamedLikeTemporariesAreKept) {
    ASSERT_TRUE(ZQ_FileSystem_Mount("save", 0));
    ASSERT_TRUE(WriteThroughApi("save://slot.dat.saving", "the program's backup"));
    ASSERT_TRUE(WriteThroughApi("save://slot.dat", "first save"));
    ZQ_FileSystem_Unmount("save");
    EXPECT_EQ("the program's backup", ReadNativeFile(SaveFile("slot.dat.saving")));
    ASSERT_TRUE(ZQ_FileSystem_Mount("save", 0));
    ASSERT_TRUE(WriteThroughApi("save://slot.dat", "second save"));
    ZQ_FileSystem_Unmount("save");
    EXPECT_EQ("second save", ReadNativeFile(SaveFile("slot.dat")));
    EXPECT_EQ("the program's backup", ReadNativeFile(SaveFile("slot.dat.saving")));
    EXPECT_EQ(std::vector<std::string>({"slot.dat", "slot.dat.saving"}), SaveFolderFiles());
    EXPECT_FALSE(AnyLogContains("was left by an unmount"));
    EXPECT_FALSE(AnyLogContains("gives way"));
}
