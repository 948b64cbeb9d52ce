// The save system: mounting, reads straight from disk, writes buffered until unmounting, saves
// whose old file is held open elsewhere or left beside their file, every step of a save failing
// or cut short by a crash, and through the API the save root made at the first mount.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#if defined(_WIN32)
#include <share.h>
#endif

#include "ChildProcess.h"
#include "FileSystemTestSupport.h"
#include "FolderLockHolder.h"
#include "FullDisk.h"
#include "SmallDisk.h"
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

// A save's bytes, different at every position, so that a cut or mixed file never passes for it.
std::string SaveBytes(char tag, size_t size) {
    std::string bytes;
    while (bytes.size() < size) {
        bytes += tag + std::to_string(bytes.size()) + ",";
    }
    bytes.resize(size);
    return bytes;
}

// The files below a folder, relative name -> bytes: what a crash leaves is one of these.
typedef std::map<std::string, std::string> Image;

Image TakeImage(const std::string& folder) {
    namespace fs = std::filesystem;
    Image image;
    std::error_code error;
    for (fs::recursive_directory_iterator entry(fs::path(folder), error), end; !error && entry != end;
         entry.increment(error)) {
        if (entry->is_regular_file(error)) {
            image[fs::relative(entry->path(), fs::path(folder)).generic_string()] =
                ReadNativeFile(entry->path().generic_string());
        }
    }
    return image;
}

void PutImage(const std::string& folder, const Image& image) {
    std::error_code error;
    std::filesystem::remove_all(std::filesystem::path(folder), error);
    MakeNativeFolders(folder);
    for (const auto& file : image) {
        WriteNativeFile(folder + "/" + file.first, file.second);
    }
}

// The steps a save took on a StepDisk; it outlives the disk, which the save system deletes.
struct StepRecord {
    std::vector<std::string> steps;
    Image crashImage;  // the folder just before the chosen step
};

// Another holder of the old save while the program saves: a reader sharing writing (as fopen,
// and so the program's own reader through save://, does), sharing reading only, or sharing
// nothing.
enum Sharing { SHARES_WRITING, SHARES_READING_ONLY, SHARES_NOTHING };

// A native system on which the held file cannot be moved over, as on Windows while another
// handle holds it without sharing deletion; nor opened for writing where the holder shares
// reading only, nor opened at all where it shares nothing. With a record, every step a save takes on disk is
// counted (each opening for writing, write, flush, cut, close, move and deletion): one chosen step fails (a
// write stops halfway, as on a full disk; the others do nothing), and for a crash the folder is imaged just
// before another, as the process would leave it there.
class StepDisk : public WindowsPOSIXSystem {
public:
    StepDisk(const std::string& held, Sharing sharing, StepRecord* record = nullptr, size_t failAt = 0,
             size_t crashAt = 0, const std::string& folder = "")
        : WindowsPOSIXSystem(true),
          held_(held),
          sharing_(sharing),
          record_(record),
          failAt_(failAt),
          crashAt_(crashAt),
          folder_(folder) {}

    // False for the step that fails.
    bool Step(const std::string& what, const std::string& path) {
        if (record_ == nullptr) {
            return true;
        }
        const bool inFolder = !folder_.empty() && path.compare(0, folder_.size() + 1, folder_ + "/") == 0;
        record_->steps.push_back(what + " " + (inFolder ? path.substr(folder_.size() + 1) : path));
        if (record_->steps.size() == crashAt_) {
            record_->crashImage = TakeImage(folder_);
        }
        return record_->steps.size() != failAt_;
    }
    File* OpenFile(SchemeId scheme, const char* nativePath, FileMode mode) override;
    bool CloseFile(File* file) override;
    bool ReplaceFile(SchemeId scheme, const char* source, const char* target, bool exchange) override {
        return Step("move", std::string(source) + " > " + target) && held_ != target && held_ != source &&
               WindowsPOSIXSystem::ReplaceFile(scheme, source, target, exchange);
    }
    bool DeleteFile(SchemeId scheme, const char* nativePath) override {
        return Step("delete", nativePath) && WindowsPOSIXSystem::DeleteFile(scheme, nativePath);
    }

private:
    std::string held_;
    Sharing sharing_;
    StepRecord* record_;
    size_t failAt_;   // the step that fails (counted from 1; 0: none)
    size_t crashAt_;  // the step the process ends before (0: none)
    std::string folder_;
};

class StepFile : public File {
public:
    StepFile(File* inner, StepDisk* disk, const std::string& path)
        : File(0, 0, inner->scheme, true), inner(inner), disk(disk), path(path) {}
    uint64_t Tell() override { return inner->Tell(); }
    uint64_t Read(void* buffer, uint64_t count) override { return inner->Read(buffer, count); }
    void Seek(int64_t offset, int32_t origin) override { inner->Seek(offset, origin); }
    uint64_t Write(const void* buffer, uint64_t count) override {
        return inner->Write(buffer, disk->Step("write", path) ? count : count / 2);
    }
    bool Flush() override { return disk->Step("flush", path) && inner->Flush(); }
    bool EndRewrite() override { return disk->Step("cut", path) && inner->EndRewrite(); }

    File* inner;
    StepDisk* disk;
    std::string path;
};

File* StepDisk::OpenFile(SchemeId scheme, const char* nativePath, FileMode mode) {
    const bool held = held_ == nativePath;
    if (mode == FILE_MODE_READ) {
        return held && sharing_ == SHARES_NOTHING ? nullptr
                                                  : WindowsPOSIXSystem::OpenFile(scheme, nativePath, mode);
    }
    if (!Step(mode == FILE_MODE_WRITE     ? "open(w)"
              : mode == FILE_MODE_REWRITE ? "open(r+)"
                                          : "open(a)",
              nativePath) ||
        (held && sharing_ != SHARES_WRITING)) {
        return nullptr;
    }
    File* file = WindowsPOSIXSystem::OpenFile(scheme, nativePath, mode);
    return file != nullptr ? new StepFile(file, this, nativePath) : nullptr;
}

bool StepDisk::CloseFile(File* file) {
    StepFile* stepFile = dynamic_cast<StepFile*>(file);
    if (stepFile == nullptr) {
        return WindowsPOSIXSystem::CloseFile(file);
    }
    const bool step = Step("close", stepFile->path);
    const bool closed = WindowsPOSIXSystem::CloseFile(stepFile->inner);
    delete stepFile;
    return step && closed;
}

// The Windows build holds the old save with a real C-runtime reader; the host build, where nothing
// refuses the move, gives its runs a disk that behaves so.
class HeldSave {
public:
    HeldSave(const std::string& path, Sharing sharing) : path_(path), sharing_(sharing) {
#if defined(_WIN32)
        const int denied = sharing == SHARES_WRITING        ? _SH_DENYNO
                           : sharing == SHARES_READING_ONLY ? _SH_DENYWR
                                                            : _SH_DENYRW;
        reader_ = _fsopen(path.c_str(), "rb", denied);
        EXPECT_NE(nullptr, reader_) << "the old save could not be held";
#endif
    }
    ~HeldSave() {
        Release();
    }
    void Release() {
        if (reader_ != nullptr) {
            fclose(reader_);
        }
        reader_ = nullptr;
        path_.clear();
    }
    // The native system a run of the engine meets while the save is held (or after the release).
    System* Disk() const {
#if defined(_WIN32)
        return new WindowsPOSIXSystem(true);
#else
        return new StepDisk(path_, sharing_);
#endif
    }

private:
    std::string path_;
    Sharing sharing_;
    FILE* reader_ = nullptr;
};

// One run of the engine that saves: mount, write the whole save, unmount. False when the save
// answered failure: the opening for writing was refused, or unmounting logged that it could not
// be saved.
bool RunThatSaves(System* disk, const std::string& path, const std::string& bytes) {
    Captured() = CapturedMessages();
    MountSystem save(disk);
    EXPECT_TRUE(save.Mount(0));
    File* file = save.OpenFile(SCHEME_SAVE, path.c_str(), FILE_MODE_WRITE);
    if (file == nullptr) {
        return false;
    }
    EXPECT_EQ(bytes.size(), file->Write(bytes.data(), bytes.size()));
    EXPECT_TRUE(save.CloseFile(file));
    save.Unmount();
    return !AnyLogContains("2:MountSystem::Unmount: '" + path + "' could not be saved");
}

// What the mounted save system reads as the save ("<none>" when it cannot open one).
std::string ReadSave(MountSystem& save, const std::string& path) {
    File* file = save.OpenFile(SCHEME_SAVE, path.c_str(), FILE_MODE_READ);
    if (file == nullptr) {
        return "<none>";
    }
    std::string bytes(static_cast<size_t>(file->size), '\0');
    bytes.resize(static_cast<size_t>(file->Read(&bytes[0], bytes.size())));
    save.CloseFile(file);
    return bytes;
}

// What one run of the engine reads as its save.
std::string RunThatReads(System* disk, const std::string& path) {
    MountSystem save(disk);
    EXPECT_TRUE(save.Mount(0));
    return ReadSave(save, path);
}

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
    EXPECT_TRUE(AnyLogContains("2:MountSystem::Unmount: '" + slot + "' could not be saved"));
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

// A new save goes whole under its file's name or, failing that, whole into "<file>~.saved" with a
// log line; a save left unfinished in "<file>~.saving" gives way only to a whole new one.
TEST_F(MountSystemTest, ASaveThatCannotReplaceItsFileIsWrittenInPlaceOrKeptBesideIt) {
    struct Case {
        Hold hold;
        bool leftBeside;     // "<file>~.saving" holds "left save" before
        const char* stored;  // the file afterwards
        const char* saving;  // "<file>~.saving" afterwards (nullptr: gone)
        const char* saved;   // "<file>~.saved" afterwards (nullptr: gone)
        const char* log;     // after "MountSystem::Unmount: '<file>"
    };
    const Case cases[] = {
        {IN_PLACE_WORKS, false, "new save", nullptr, nullptr,
         "' could not be replaced; it was written in place."},
        {IN_PLACE_REFUSED, false, "older save", nullptr, "new save",
         "' could neither be replaced nor opened for writing; its new save is kept whole in"},
        {IN_PLACE_DISK_FULL, false, "older save", nullptr, "new save",
         "' could neither be replaced nor written in place"},
        {IN_PLACE_REFUSED, true, "older save", nullptr, "new save",
         "~.saving', left by an earlier unmount, gives way"},
        {TEMPORARY_DISK_FULL, true, "older save", "left save", nullptr, "' could not be saved"},
    };
    const std::string slot = SaveFile("slot.dat");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.log);
        WriteNativeFile(slot, "older save");
        std::remove((slot + "~.saving").c_str());
        std::remove((slot + "~.saved").c_str());
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
        EXPECT_EQ(c.stored, ReadNativeFile(slot));
        EXPECT_EQ(c.saving != nullptr ? c.saving : "", ReadNativeFile(slot + "~.saving"));
        EXPECT_EQ(c.saved != nullptr ? c.saved : "", ReadNativeFile(slot + "~.saved"));
        EXPECT_EQ(1u + (c.saving != nullptr) + (c.saved != nullptr), SaveFolderFiles().size())
            << "no other temporary stays";
        EXPECT_TRUE(AnyLogContains("MountSystem::Unmount: '" + slot + c.log));
    }
}

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

// A save that cannot take its file's place while a reader holds the file is still what the next
// runs read, save after save, however long the reader holds on. A reader sharing writing lets
// each save be written in place, a shorter one leaving nothing of the old; one sharing reading
// only leaves the old file as it is. Once it lets go, a mount puts the latest save in place.
TEST_F(MountSystemTest, EachRunReadsTheLatestSaveWhileAReaderHoldsTheFile) {
    const std::string slot = SaveFile("slot.dat");
    for (Sharing sharing : {SHARES_READING_ONLY, SHARES_WRITING}) {
        const bool inPlace = sharing == SHARES_WRITING;
        SCOPED_TRACE(inPlace ? "the reader shares writing" : "the reader shares reading only");
        WriteNativeFile(slot, SaveBytes('a', 10));
        HeldSave held(slot, sharing);
        for (size_t size : {20, 30, 5}) {
            EXPECT_TRUE(RunThatSaves(held.Disk(), slot, SaveBytes('b', size)));
            EXPECT_EQ(SaveBytes('b', size), RunThatReads(held.Disk(), slot))
                << "after the " << size << "-byte save";
            EXPECT_EQ(SaveBytes(inPlace ? 'b' : 'a', inPlace ? size : 10), ReadNativeFile(slot));
            EXPECT_EQ(inPlace ? 1u : 2u, SaveFolderFiles().size()) << "slot.dat, and slot.dat~.saved";
        }
        held.Release();
        EXPECT_EQ(SaveBytes('b', 5), RunThatReads(held.Disk(), slot));
        EXPECT_EQ(Image({{"slot.dat", SaveBytes('b', 5)}}), TakeImage(Root(SCHEME_SAVE)));
    }
}

// While a newer save waits beside its held file, existence, size and appending find it too; a
// newer save beside a file nothing holds takes its place at the mount.
TEST_F(MountSystemTest, ASaveKeptBesideItsFileIsWhatExistenceSizeAndAppendingFind) {
    const std::string slot = SaveFile("slot.dat"), other = SaveFile("other.dat");
    PutImage(Root(SCHEME_SAVE),
             {{"slot.dat", "old"}, {"slot.dat~.saved", "newer"}, {"other.dat~.saved", "beside"}});
    MountSystem save(new StepDisk(slot, SHARES_WRITING));
    ASSERT_TRUE(save.Mount(0));
    EXPECT_TRUE(AnyLogContains("1:MountSystem::Mount: '" + slot + "' cannot be replaced yet"));
    EXPECT_EQ(Image({{"other.dat", "beside"}, {"slot.dat", "old"}, {"slot.dat~.saved", "newer"}}),
              TakeImage(Root(SCHEME_SAVE)));
    std::rename(other.c_str(), (other + "~.saved").c_str());
    EXPECT_TRUE(save.FileExists(SCHEME_SAVE, other.c_str())) << "a save kept beside a missing file";
    zq_file_info_t info = {};
    EXPECT_TRUE(save.GetFileInfo(SCHEME_SAVE, slot.c_str(), &info));
    EXPECT_EQ(5u, info.size);
    File* file = save.OpenFile(SCHEME_SAVE, slot.c_str(), FILE_MODE_APPEND);
    ASSERT_NE(nullptr, file);
    EXPECT_EQ(5u, file->Write("+more", 5));
    EXPECT_TRUE(save.CloseFile(file));
    save.Unmount();
    EXPECT_EQ("newer+more", ReadNativeFile(slot)) << "written in place";
    EXPECT_FALSE(NativeFileExists(slot + "~.saved"));
}

// The disk fills while a save is written over an old one that a reader holds sharing writing:
// 16 KiB old, 32 KiB new, 40 KiB free, so the new save fits beside the file but not in it too.
// The next run reads the new save, whole, and the file is cut back to the whole old save.
TEST_F(MountSystemTest, ADiskThatFillsDuringAnInPlaceSaveLeavesAWholeSaveToRead) {
    SmallDisk disk(64);
    if (!disk.Mounted()) {
        ASSERT_FALSE(SmallDisk::Required()) << disk.Refusal();
        GTEST_SKIP() << disk.Refusal();
    }
    ZQI_SetSchemeRoot(SCHEME_SAVE, disk.Folder().c_str());
    const std::string slot = disk.Folder() + "/slot.dat";
    const std::string oldSave = SaveBytes('o', 16 * 1024), newSave = SaveBytes('n', 32 * 1024);
    WriteNativeFile(slot, oldSave);
    auto free = [&] { return std::filesystem::space(disk.Folder() + "/").available; };
    ASSERT_GT(free(), 40u * 1024);
    WriteNativeFile(disk.Folder() + "/filler", std::string(static_cast<size_t>(free() - 40 * 1024), 'f'));
    ASSERT_EQ(40u * 1024, free());
    HeldSave held(slot, SHARES_WRITING);
    EXPECT_TRUE(RunThatSaves(held.Disk(), slot, newSave));
    EXPECT_TRUE(
        AnyLogContains("1:MountSystem::Unmount: '" + slot + "' could neither be replaced nor written"));
    const std::string read = RunThatReads(held.Disk(), slot);
    EXPECT_TRUE(read == newSave) << "the run after the save read a " << read.size() << "-byte file";
    EXPECT_TRUE(ReadNativeFile(slot) == oldSave)
        << "the file was left at " << ReadNativeFile(slot).size() << " bytes";
    held.Release();
    EXPECT_TRUE(RunThatReads(held.Disk(), slot) == newSave);
    EXPECT_TRUE(ReadNativeFile(slot) == newSave);
}

// Every step of a save fails, or a crash cuts it short just before the step, in turn. The run
// after it, with the old file still held and then let go, reads the save that last answered
// success, whole; after a crash (no answer) the old save or the new one. The save after that
// leaves nothing beside its file.
TEST_F(MountSystemTest, EveryStepOfASaveFailsOrCrashesAndTheNextRunReadsAWholeSave) {
    const std::string none = "<none>", old = SaveBytes('o', 3000), mid = SaveBytes('m', 4000),
                      longer = SaveBytes('n', 5000), shorter = SaveBytes('s', 1000),
                      cut = SaveBytes('c', 1500);
    const std::string folder = Root(SCHEME_SAVE), slot = SaveFile("slot.dat");
    struct Scenario {
        Image before;
        std::string previous;  // the save before this one
        bool held;             // the old file cannot be moved over
        Sharing sharing;       // and what else its holder lets the save do
        std::string saved;
    };
    const Scenario scenarios[] = {
        {{{"slot.dat", old}}, old, false, SHARES_WRITING, longer},
        {{}, none, false, SHARES_WRITING, longer},
        {{{"slot.dat", old}}, old, true, SHARES_WRITING, longer},
        {{{"slot.dat", old}}, old, true, SHARES_WRITING, shorter},
        {{{"slot.dat", old}}, old, true, SHARES_READING_ONLY, longer},
        {{{"slot.dat", old}, {"slot.dat~.saved", mid}}, mid, false, SHARES_WRITING, longer},
        {{{"slot.dat", old}, {"slot.dat~.saved", mid}}, mid, true, SHARES_WRITING, shorter},
        {{{"slot.dat", old}, {"slot.dat~.saving", cut}}, old, false, SHARES_WRITING, longer},
    };
    auto what = [&](const std::string& bytes) {
        for (const std::string* known : {&none, &old, &mid, &longer, &shorter}) {
            if (bytes == *known) {
                return known == &none ? std::string("no save") : bytes.substr(0, 1) + " save";
            }
        }
        return "a " + std::to_string(bytes.size()) + "-byte file";
    };
    size_t rows = 0;
    for (size_t i = 0; i < sizeof(scenarios) / sizeof(scenarios[0]); ++i) {
        const Scenario& s = scenarios[i];
        const std::string held = s.held ? slot : "";
        PutImage(folder, s.before);
        StepRecord dry;
        EXPECT_TRUE(RunThatSaves(new StepDisk(held, s.sharing, &dry, 0, 0, folder), slot, s.saved));
        // Written in place: nothing of the old save is written over before a commit, which has the
        // disk keep all that came before it (the new save under its kept name included).
        const auto lastWrite = std::find(dry.steps.rbegin(), dry.steps.rend(), "write slot.dat");
        EXPECT_EQ(lastWrite != dry.steps.rend(),
                  std::find(lastWrite, dry.steps.rend(), "flush slot.dat") != dry.steps.rend())
            << "scenario " << i;
        // One run with the step failAt failing and the process ending before the step crashAt.
        auto row = [&](size_t failAt, size_t crashAt, const std::string& label) {
            SCOPED_TRACE("scenario " + std::to_string(i) + ", " + label);
            ++rows;
            PutImage(folder, s.before);
            StepRecord record;
            const bool answered =
                RunThatSaves(new StepDisk(held, s.sharing, &record, failAt, crashAt, folder), slot, s.saved);
            std::string expected = answered ? s.saved : s.previous;
            if (crashAt > 0) {
                PutImage(folder, record.crashImage);
                expected = RunThatReads(new WindowsPOSIXSystem(true), slot);
                EXPECT_TRUE(expected == s.previous || expected == s.saved) << "read " << what(expected);
                PutImage(folder, record.crashImage);
            }
            EXPECT_EQ(what(expected), what(RunThatReads(new StepDisk(slot, SHARES_READING_ONLY), slot)))
                << "held still";
            EXPECT_EQ(what(expected), what(RunThatReads(new WindowsPOSIXSystem(true), slot)));
            EXPECT_EQ(what(expected), what(RunThatReads(new WindowsPOSIXSystem(true), slot)));
            EXPECT_TRUE(RunThatSaves(new WindowsPOSIXSystem(true), slot, mid));
            EXPECT_EQ(Image({{"slot.dat", mid}}), TakeImage(folder)) << "something stayed beside the file";
            return record.steps;
        };
        for (size_t k = 1; k <= dry.steps.size(); ++k) {
            const std::string step = "step " + std::to_string(k) + " '" + dry.steps[k - 1] + "'";
            row(0, k, "crash before " + step);
            const std::vector<std::string> after = row(k, 0, "failure of " + step);
            // A failure while the file is written in place, then a crash before each step after it:
            // the cutting back of a grown file included.
            const std::string& failed = dry.steps[k - 1];
            const bool inPlace = failed.find("move") != 0 && failed.size() > 9 &&
                                 failed.compare(failed.size() - 9, 9, " slot.dat") == 0;
            if (inPlace) {
                for (size_t j = k + 1; j <= after.size(); ++j) {
                    row(k, j, "failure of " + step + ", crash before '" + after[j - 1] + "'");
                }
            }
        }
    }
    EXPECT_GT(rows, 180u);
}

// Deleting a save with a newer one kept beside its (held) file: the mount's attempt to put the
// newer save in place, then two deletions. Whichever fails, or a crash before it, the next run
// never reads the older save: the newer one where the deletion did not answer success, else none.
TEST_F(MountSystemTest, EveryStepOfDeletingASaveKeptBesideItsFileFailsOrCrashes) {
    const std::string folder = Root(SCHEME_SAVE), slot = SaveFile("slot.dat");
    const Image before = {{"slot.dat", "old"}, {"slot.dat~.saved", "newer"}};
    for (size_t k = 0; k <= 3; ++k) {
        for (bool crash : {false, true}) {
            SCOPED_TRACE((crash ? "crash before step " : "failure of step ") + std::to_string(k));
            PutImage(folder, before);
            StepRecord record;
            MountSystem save(
                new StepDisk(slot, SHARES_READING_ONLY, &record, crash ? 0 : k, crash ? k : 0, folder));
            ASSERT_TRUE(save.Mount(0));
            const bool deleted = save.DeleteFile(SCHEME_SAVE, slot.c_str());
            EXPECT_EQ(k <= 1 || crash, deleted);
            EXPECT_EQ(k == 2 && !crash ? 2u : 3u, record.steps.size());
            if (crash && k > 0) {
                PutImage(folder, record.crashImage);
            }
            const std::string read = RunThatReads(new WindowsPOSIXSystem(true), slot);
            if (crash && k > 0) {
                EXPECT_TRUE(read == "newer" || read == "<none>") << read;
            } else {
                EXPECT_EQ(deleted ? "<none>" : "newer", read);
            }
        }
    }
}

// A save that exists but cannot be read at the moment (a holder sharing nothing) is not appended
// to: the appended bytes alone would become the whole save.
TEST_F(MountSystemTest, AppendingToASaveThatCannotBeReadIsRefused) {
    const std::string slot = SaveFile("slot.dat");
    for (const std::string kept : {"", "newer"}) {
        SCOPED_TRACE(kept.empty() ? "the file is held" : "the newer save kept beside it is held");
        Image before = {{"slot.dat", "old"}};
        if (!kept.empty()) {
            before["slot.dat~.saved"] = kept;
        }
        PutImage(Root(SCHEME_SAVE), before);
        HeldSave held(kept.empty() ? slot : slot + "~.saved", SHARES_NOTHING);
        {
            MountSystem save(held.Disk());
            ASSERT_TRUE(save.Mount(0));
            File* file = save.OpenFile(SCHEME_SAVE, slot.c_str(), FILE_MODE_APPEND);
            EXPECT_EQ(nullptr, file);
            if (file != nullptr) {
                file->Write("+more", 5);
                save.CloseFile(file);
            }
            save.Unmount();
        }
        held.Release();
        EXPECT_EQ(kept.empty() ? "old" : kept, RunThatReads(held.Disk(), slot));
    }
}

// Another instance of the game over the same folder puts the save kept beside the file in the
// file's place (its holder has just let go) right after this instance first looks at the save.
class PlacedMeanwhileDisk : public WindowsPOSIXSystem {
public:
    explicit PlacedMeanwhileDisk(const std::string& file) : WindowsPOSIXSystem(true), file_(file) {}
    File* OpenFile(SchemeId scheme, const char* nativePath, FileMode mode) override {
        return Placed(WindowsPOSIXSystem::OpenFile(scheme, nativePath, mode));
    }
    bool FileExists(SchemeId scheme, const char* nativePath) override {
        return Placed(WindowsPOSIXSystem::FileExists(scheme, nativePath));
    }
    bool GetFileInfo(SchemeId scheme, const char* nativePath, zq_file_info_t* info) override {
        return Placed(WindowsPOSIXSystem::GetFileInfo(scheme, nativePath, info));
    }
    // Held until this instance has mounted.
    bool ReplaceFile(SchemeId scheme, const char* source, const char* target, bool exchange) override {
        return letGo && WindowsPOSIXSystem::ReplaceFile(scheme, source, target, exchange);
    }
    bool letGo = false;

private:
    template <typename Result>
    Result Placed(Result result) {
        if (letGo && !placed_) {
            placed_ = true;
            std::error_code error;  // refused while this instance holds the kept save open
            std::filesystem::rename(file_ + "~.saved", file_, error);
        }
        return result;
    }
    std::string file_;
    bool placed_ = false;
};

// Whatever this instance does with the save, it meets the latest one.
TEST_F(MountSystemTest, ASaveAnotherInstancePutsInPlaceMeanwhileIsStillTheOneFound) {
    const std::string slot = SaveFile("slot.dat");
    struct Row {
        const char* what;
        std::string (*run)(MountSystem& save, const std::string& slot);
        const char* expected;
    };
    const Row rows[] = {
        {"read", ReadSave, "newer"},
        {"append",
         [](MountSystem& save, const std::string& path) {
             File* file = save.OpenFile(SCHEME_SAVE, path.c_str(), FILE_MODE_APPEND);
             if (file == nullptr) {
                 return std::string("<refused>");
             }
             file->Write("+more", 5);
             save.CloseFile(file);
             save.Unmount();
             return ReadNativeFile(path);
         },
         "newer+more"},
        {"exists",
         [](MountSystem& save, const std::string& path) {
             return std::string(save.FileExists(SCHEME_SAVE, path.c_str()) ? "yes" : "no");
         },
         "yes"},
        {"size",
         [](MountSystem& save, const std::string& path) {
             zq_file_info_t info = {};
             return save.GetFileInfo(SCHEME_SAVE, path.c_str(), &info) ? std::to_string(info.size)
                                                                       : std::string("<none>");
         },
         "5"},
    };
    for (const Row& row : rows) {
        for (bool fileThere : {true, false}) {
            SCOPED_TRACE(std::string(row.what) + (fileThere ? ", old file there" : ", no file"));
            Image before = {{"slot.dat~.saved", "newer"}};
            if (fileThere) {
                before["slot.dat"] = "old";
            }
            PutImage(Root(SCHEME_SAVE), before);
            PlacedMeanwhileDisk* disk = new PlacedMeanwhileDisk(slot);
            MountSystem save(disk);
            ASSERT_TRUE(save.Mount(0));
            disk->letGo = true;
            EXPECT_EQ(row.expected, row.run(save, slot));
        }
    }
}

#if defined(_WIN32)
// Windows names one file by every spelling that differs in case or in dots and spaces ending it.
TEST_F(MountSystemTest, ASaveKeptBesideItsFileIsFoundThroughEverySpellingOfItsName) {
    const std::string slot = SaveFile("Slot.dat");
    for (const char* spelling : {"SLOT.DAT", "slot.dat.", "slot.dat ", "slot.dat. ."}) {
        SCOPED_TRACE(spelling);
        PutImage(Root(SCHEME_SAVE), {{"Slot.dat", "old"}});
        HeldSave held(slot, SHARES_READING_ONLY);
        EXPECT_TRUE(RunThatSaves(held.Disk(), SaveFile(spelling), "new"));
        EXPECT_EQ("new", RunThatReads(held.Disk(), slot));
        held.Release();
        EXPECT_EQ("new", RunThatReads(held.Disk(), slot));
        EXPECT_EQ(1u, SaveFolderFiles().size());
    }
}
#endif

// Two instances (processes) save one file at the same moments, round after round: not held, held
// by a reader sharing writing (saves written in place), and by one sharing reading only (saves
// kept beside it) that lets go halfway. After each round the next run reads, whole, a save that
// answered success in it, or the one before where none did: never a mix, never an older one.
TEST_F(MountSystemTest, TwoInstancesSavingOneFileAtOnceLeaveTheLastSaveThatAnsweredSuccess) {
    const std::string slot = SaveFile("slot.dat"), sync = temp_->Join("sync");
    const int rounds = 20;
    const struct {
        Sharing sharing;
        int letGoAt;  // the round before which the holder lets go; 0: never held
    } modes[] = {{SHARES_WRITING, 0}, {SHARES_WRITING, rounds}, {SHARES_READING_ONLY, rounds / 2}};
    for (const auto& mode : modes) {
        SCOPED_TRACE("sharing " + std::to_string(mode.sharing) + ", let go at " +
                     std::to_string(mode.letGoAt));
        PutImage(Root(SCHEME_SAVE), {{"slot.dat", "old"}});
        PutImage(sync, {});
        std::unique_ptr<HeldSave> held;
        if (mode.letGoAt > 0) {
            held.reset(new HeldSave(slot, mode.sharing));
            WriteNativeFile(sync + "/held", mode.sharing == SHARES_WRITING ? "w" : "r");
        }
        ChildProcess children[2];
        for (int i = 0; i < 2; ++i) {
            ASSERT_TRUE(children[i].Start("save_child", {Root(SCHEME_SAVE), "slot.dat", i == 0 ? "A" : "B",
                                                         std::to_string(rounds), sync}));
        }
        std::string previous = "old";
        for (int round = 0; round < rounds && !HasFailure(); ++round) {
            SCOPED_TRACE("round " + std::to_string(round));
            if (held && round == mode.letGoAt) {
                held.reset();
                std::remove((sync + "/held").c_str());
            }
            WriteNativeFile(sync + "/go-" + std::to_string(round), "");
            // Each report is renamed into place whole: "1\n<bytes>" for success, "0\n" for failure.
            std::vector<std::string> answered;
            for (const char* tag : {"A", "B"}) {
                const std::string report = sync + "/" + tag + "-" + std::to_string(round);
                std::string output = ReadNativeFile(report);  // may come up empty while Windows renames it
                for (int waited = 0; waited < 30000 && output.find('\n') != 1; ++waited) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
                    output = ReadNativeFile(report);
                }
                ASSERT_EQ(1u, output.find('\n')) << "instance " << tag << " did not report";
                if (output[0] == '1') {
                    answered.push_back(output.substr(2));
                }
            }
            if (answered.empty()) {
                answered.push_back(previous);
            }
            previous = RunThatReads(held ? held->Disk() : new WindowsPOSIXSystem(true), slot);
            EXPECT_TRUE(std::find(answered.begin(), answered.end(), previous) != answered.end())
                << "read a " << previous.size() << "-byte file beginning '" << previous.substr(0, 8)
                << "' of " << answered.size() << " answering success";
        }
        for (ChildProcess& child : children) {
            const int exitCode = child.Wait(HasFailure() ? 0 : 30000);  // ended at once after a failure
            EXPECT_TRUE(exitCode == 0 || HasFailure()) << "an instance ended with " << exitCode;
        }
        if (HasFailure()) {
            return;
        }
        held.reset();
        std::remove((sync + "/held").c_str());
        EXPECT_EQ(previous, RunThatReads(new WindowsPOSIXSystem(true), slot))
            << "another save after the release";
        EXPECT_EQ(std::vector<std::string>({"slot.dat"}), SaveFolderFiles()) << "something stayed beside it";
    }
}

namespace {

// A save written, to be stored by the mount's unmount.
void WriteSave(MountSystem& save, const std::string& path, const std::string& bytes) {
    File* file = save.OpenFile(SCHEME_SAVE, path.c_str(), FILE_MODE_WRITE);
    ASSERT_NE(nullptr, file);
    EXPECT_EQ(bytes.size(), file->Write(bytes.data(), bytes.size()));
    EXPECT_TRUE(save.CloseFile(file));
}

int64_t MillisecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start)
        .count();
}

}  // namespace

// Another instance keeps the save folder's lock longer than this one waits (it hangs): each change
// answers failure, changes nothing and says why; after one wait has run out, the unmount's other
// saves no longer wait. A read goes ahead.
TEST_F(MountSystemTest, AFolderHeldLongerThanTheWaitIsLeftAsItWas) {
    const std::string root = Root(SCHEME_SAVE), slot = SaveFile("slot.dat"), other = SaveFile("other.dat"),
                      kept = SaveFile("kept.dat");
    const Image before = {{"slot.dat", "old"}, {"kept.dat", "older"}, {"kept.dat~.saved", "newer"}};
    PutImage(root, {{"slot.dat", "old"}});
    MountSystem saving(new WindowsPOSIXSystem(true), 150);
    ASSERT_TRUE(saving.Mount(0));
    WriteSave(saving, slot, "new");
    WriteSave(saving, other, "new");
    PutImage(root, before);
    FolderLockHolder holder;
    ASSERT_TRUE(holder.Start(root, 60000, temp_->Join("held")));
    const std::string why = "since another instance of the game still held its folder '" + root + "' after ";

    Captured() = CapturedMessages();
    const auto start = std::chrono::steady_clock::now();
    saving.Unmount();
    EXPECT_GE(MillisecondsSince(start) + 20, 150);  // Windows' timer ticks
    EXPECT_TRUE(
        AnyLogContains("2:MountSystem::Unmount: '" + slot + "' could not be saved, " + why + "150 ms"));
    EXPECT_TRUE(
        AnyLogContains("2:MountSystem::Unmount: '" + other + "' could not be saved, " + why + "0 ms"));

    Captured() = CapturedMessages();
    MountSystem save(new WindowsPOSIXSystem(true), 150);
    ASSERT_TRUE(save.Mount(0));
    EXPECT_TRUE(
        AnyLogContains("1:MountSystem::Mount: '" + kept + "~.saved' is left as it is for now, " + why));
    EXPECT_EQ(nullptr, save.OpenFile(SCHEME_SAVE, slot.c_str(), FILE_MODE_WRITE));
    EXPECT_TRUE(AnyLogContains("2:MountSystem::OpenFile: '" + slot + "' cannot be saved, " + why));
    EXPECT_EQ(nullptr, save.OpenFile(SCHEME_SAVE, kept.c_str(), FILE_MODE_APPEND));
    EXPECT_TRUE(AnyLogContains("2:MountSystem::OpenFile: '" + kept + "' cannot be appended to, " + why));
    EXPECT_FALSE(save.DeleteFile(SCHEME_SAVE, slot.c_str()));
    EXPECT_TRUE(AnyLogContains("2:MountSystem::DeleteFile: '" + slot + "' was not deleted, " + why));
    EXPECT_EQ("newer", ReadSave(save, kept));
    EXPECT_TRUE(AnyLogContains("1:MountSystem::OpenFile: '" + kept + "' is read without its folder's lock"));
    save.Unmount();
    EXPECT_EQ(before, TakeImage(root)) << "the folder changed";

    EXPECT_EQ(-1, holder.Wait(0));
    EXPECT_TRUE(RunThatSaves(new WindowsPOSIXSystem(true), slot, "new"));
    EXPECT_EQ(Image({{"kept.dat", "newer"}, {"slot.dat", "new"}}), TakeImage(root));
}

// A holder that lets go within the wait only delays the save, and so does one that dies meanwhile.
TEST_F(MountSystemTest, ASaveWaitsForAnotherInstanceToLetGoOfItsFolder) {
    const std::string root = Root(SCHEME_SAVE), slot = SaveFile("slot.dat");
    for (bool dies : {false, true}) {
        SCOPED_TRACE(dies ? "the holder dies" : "the holder lets go");
        PutImage(root, {{"slot.dat", "old"}});
        MountSystem save(new WindowsPOSIXSystem(true), 20000);
        ASSERT_TRUE(save.Mount(0));
        WriteSave(save, slot, "new");
        FolderLockHolder holder;
        ASSERT_TRUE(holder.Start(root, dies ? 60000 : 600, temp_->Join("held")));
        std::thread killer([&] {
            if (dies) {
                std::this_thread::sleep_for(std::chrono::milliseconds(600));
                holder.Wait(0);
            }
        });
        Captured() = CapturedMessages();
        const auto start = std::chrono::steady_clock::now();
        save.Unmount();
        const int64_t took = MillisecondsSince(start);
        killer.join();
        EXPECT_FALSE(AnyLogContains("could not be saved"));
        EXPECT_EQ(Image({{"slot.dat", "new"}}), TakeImage(root));
        EXPECT_TRUE(took >= 100 && took < 20000) << took << " ms";
        EXPECT_EQ(dies ? -1 : 0, holder.Wait(10000));
    }
}
