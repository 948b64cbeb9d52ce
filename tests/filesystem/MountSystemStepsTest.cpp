// Every step a save takes on disk (each opening for writing, write, flush, cut, close, move and
// deletion), made to fail one at a time, or cut short by a crash just before it; and the run after
// it, with the old file still held or not. That run must read, whole, the save whose unmount last
// answered success, or the save before it where the unmount answered failure; a crash may leave
// either of the two, never anything else; and the next save after it leaves nothing beside it.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "FileSystemTestSupport.h"
#include "filesystem/MountSystem.h"
#include "filesystem/WindowsPOSIXSystem.h"

using namespace ZQFileSystem;
namespace fs = std::filesystem;

namespace {

// The files of a folder and below: relative name -> bytes. What a crash leaves is one of these.
typedef std::map<std::string, std::string> Image;

Image TakeImage(const std::string& folder) {
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
    fs::remove_all(fs::path(folder), error);
    MakeNativeFolders(folder);
    for (const auto& file : image) {
        WriteNativeFile(folder + "/" + file.first, file.second);
    }
}

std::string Describe(const Image& image) {
    std::string text;
    for (const auto& file : image) {
        text += " " + file.first + "(" + std::to_string(file.second.size()) + ")";
    }
    return text;
}

class StepDisk;

// What a step disk saw; it outlives the disk, which the save system deletes.
struct StepRecord {
    std::vector<std::string> steps;
    Image crashImage;
};

// A file of the step disk: its writes, flushes and cuts are steps.
class StepFile : public File {
public:
    StepFile(File* inner, StepDisk* disk, const std::string& name)
        : File(inner->size, inner->flags, inner->scheme, inner->writable != 0),
          inner(inner),
          disk(disk),
          name(name) {}
    uint64_t Tell() override { return inner->Tell(); }
    uint64_t Read(void* buffer, uint64_t count) override { return inner->Read(buffer, count); }
    void Seek(int64_t offset, int32_t origin) override { inner->Seek(offset, origin); }
    uint64_t Write(const void* buffer, uint64_t count) override;
    bool Flush() override;
    bool EndRewrite() override;

    File* inner;
    StepDisk* disk;
    std::string name;
};

// A native system that counts the steps taken on disk. The chosen step fails (a write stops
// halfway, as on a full disk; the rest do nothing and answer failure), or, for a crash, the folder
// is imaged just before it and what follows no longer counts. The held file cannot be moved over
// (Windows, while another handle holds it), and with refusing set cannot be opened for writing
// either (a holder that shares reading only).
class StepDisk : public WindowsPOSIXSystem {
public:
    StepDisk(StepRecord& record, const std::string& folder, int chosen, bool crash, const std::string& held,
             bool refusing)
        : WindowsPOSIXSystem(true),
          record_(record),
          folder_(folder),
          chosen_(chosen),
          crash_(crash),
          held_(held),
          refusing_(refusing) {}

    // False for the step that fails.
    bool Step(const std::string& what) {
        record_.steps.push_back(what);
        if (static_cast<int>(record_.steps.size()) != chosen_) {
            return true;
        }
        if (crash_) {
            record_.crashImage = TakeImage(folder_);
            return true;
        }
        return false;
    }

    File* OpenFile(SchemeId scheme, const char* nativePath, FileMode mode) override {
        if (mode == FILE_MODE_READ) {
            return WindowsPOSIXSystem::OpenFile(scheme, nativePath, mode);
        }
        const char* modeName = mode == FILE_MODE_WRITE ? "w" : mode == FILE_MODE_REWRITE ? "r+" : "a";
        if (!Step(std::string("open(") + modeName + ") " + Name(nativePath))) {
            return nullptr;
        }
        if (refusing_ && held_ == nativePath) {
            return nullptr;
        }
        File* file = WindowsPOSIXSystem::OpenFile(scheme, nativePath, mode);
        return file != nullptr ? new StepFile(file, this, Name(nativePath)) : nullptr;
    }

    bool CloseFile(File* file) override {
        StepFile* stepFile = dynamic_cast<StepFile*>(file);
        if (stepFile == nullptr) {
            return WindowsPOSIXSystem::CloseFile(file);
        }
        const bool step = Step("close " + stepFile->name);
        const bool closed = WindowsPOSIXSystem::CloseFile(stepFile->inner);
        delete stepFile;
        return step && closed;
    }

    bool ReplaceFile(SchemeId scheme, const char* source, const char* target, bool exchange) override {
        if (!Step("move " + Name(source) + " > " + Name(target))) {
            return false;
        }
        return held_ != target && WindowsPOSIXSystem::ReplaceFile(scheme, source, target, exchange);
    }

    bool DeleteFile(SchemeId scheme, const char* nativePath) override {
        if (!Step("delete " + Name(nativePath))) {
            return false;
        }
        return WindowsPOSIXSystem::DeleteFile(scheme, nativePath);
    }

private:
    std::string Name(const char* nativePath) const {
        std::string path(nativePath);
        return path.compare(0, folder_.size() + 1, folder_ + "/") == 0 ? path.substr(folder_.size() + 1)
                                                                       : path;
    }

    StepRecord& record_;
    std::string folder_;
    int chosen_;
    bool crash_;
    std::string held_;
    bool refusing_;
};

uint64_t StepFile::Write(const void* buffer, uint64_t count) {
    if (!disk->Step("write " + name)) {
        return inner->Write(buffer, count / 2);
    }
    return inner->Write(buffer, count);
}

bool StepFile::Flush() {
    return disk->Step("flush " + name) && inner->Flush();
}

bool StepFile::EndRewrite() {
    return disk->Step("cut " + name) && inner->EndRewrite();
}

class MountSystemStepsTest : public FileSystemTest {
protected:
    std::string Folder() const { return Root(SCHEME_SAVE); }
    std::string Slot() const { return NativePath(SCHEME_SAVE, "slot.dat"); }

    // One run that saves the bytes; false when the save answered failure: the opening for writing
    // was refused, or the unmount reported that the save could not be made.
    bool Save(System* disk, const std::string& bytes) {
        Captured() = CapturedMessages();
        MountSystem save(disk);
        EXPECT_TRUE(save.Mount(0));
        File* file = save.OpenFile(SCHEME_SAVE, Slot().c_str(), FILE_MODE_WRITE);
        if (file == nullptr) {
            return false;
        }
        file->Write(bytes.data(), bytes.size());
        save.CloseFile(file);
        save.Unmount();
        return !AnyLogContains("2:MountSystem::Unmount: '" + Slot() + "' could not be saved");
    }

    // What one run reads as its save ("<none>" when there is none to open).
    std::string Read(System* disk) {
        MountSystem save(disk);
        EXPECT_TRUE(save.Mount(0));
        File* file = save.OpenFile(SCHEME_SAVE, Slot().c_str(), FILE_MODE_READ);
        if (file == nullptr) {
            return "<none>";
        }
        std::string bytes(static_cast<size_t>(file->size), '\0');
        bytes.resize(static_cast<size_t>(file->Read(&bytes[0], bytes.size())));
        save.CloseFile(file);
        return bytes;
    }
};

std::string Bytes(char tag, size_t size) {
    std::string bytes;
    while (bytes.size() < size) {
        bytes += tag + std::to_string(bytes.size()) + ",";
    }
    bytes.resize(size);
    return bytes;
}

}  // namespace

TEST_F(MountSystemStepsTest, EveryStepOfASaveFailsOrCrashesAndTheNextRunReadsAWholeSave) {
    const std::string none = "<none>";
    const std::string old = Bytes('o', 3000), mid = Bytes('m', 4000), longer = Bytes('n', 5000),
                      shorter = Bytes('s', 1000), cut = Bytes('c', 1500);
    struct Scenario {
        const char* what;
        Image before;
        std::string previous;  // what the run before the save reads
        bool held;             // the old file cannot be moved over during the save
        bool refusing;         // ... nor opened for writing
        std::string saved;
    };
    const Scenario scenarios[] = {
        {"an old save", {{"slot.dat", old}}, old, false, false, longer},
        {"no save yet", {}, none, false, false, longer},
        {"held, sharing writing", {{"slot.dat", old}}, old, true, false, longer},
        {"held, sharing writing, shorter", {{"slot.dat", old}}, old, true, false, shorter},
        {"held, sharing reading only", {{"slot.dat", old}}, old, true, true, longer},
        {"a newer save left beside it",
         {{"slot.dat", old}, {"slot.dat~.saved", mid}},
         mid,
         false,
         false,
         longer},
        {"a newer save left beside it, held",
         {{"slot.dat", old}, {"slot.dat~.saved", mid}},
         mid,
         true,
         false,
         shorter},
        {"a cut temporary left beside it",
         {{"slot.dat", old}, {"slot.dat~.saving", cut}},
         old,
         false,
         false,
         longer},
    };
    // A read named by what it is, for short messages.
    auto what = [&](const std::string& bytes) -> std::string {
        for (const auto& known :
             {std::make_pair(&old, "the old save"), std::make_pair(&mid, "the middle save"),
              std::make_pair(&longer, "the longer save"), std::make_pair(&shorter, "the shorter save"),
              std::make_pair(&none, "no save")}) {
            if (bytes == *known.first) {
                return known.second;
            }
        }
        return "another " + std::to_string(bytes.size()) + "-byte file";
    };
    int rows = 0;
    for (const Scenario& s : scenarios) {
        PutImage(Folder(), s.before);
        EXPECT_EQ(what(s.previous), what(Read(new WindowsPOSIXSystem(true)))) << s.what;
        PutImage(Folder(), s.before);
        StepRecord dry;
        EXPECT_TRUE(Save(new StepDisk(dry, Folder(), 0, false, s.held ? Slot() : "", s.refusing), s.saved))
            << s.what << ": the save failed with no fault";
        const std::vector<std::string> steps = dry.steps;
        for (size_t k = 1; k <= steps.size(); ++k) {
            for (bool crash : {false, true}) {
                ++rows;
                SCOPED_TRACE(std::string(s.what) + ": " + (crash ? "crash before" : "failure of") + " step " +
                             std::to_string(k) + " '" + steps[k - 1] + "'");
                PutImage(Folder(), s.before);
                StepRecord record;
                bool answered = Save(new StepDisk(record, Folder(), static_cast<int>(k), crash,
                                                  s.held ? Slot() : "", s.refusing),
                                     s.saved);
                std::string expected = answered ? s.saved : s.previous;
                if (crash) {
                    PutImage(Folder(), record.crashImage);
                    // No answer came; either save, whole, will do.
                    const std::string read = Read(new WindowsPOSIXSystem(true));
                    EXPECT_TRUE(read == s.previous || read == s.saved)
                        << "read " << what(read) << " from" << Describe(record.crashImage);
                    expected = read;
                    PutImage(Folder(), record.crashImage);
                }
                const std::string left = Describe(TakeImage(Folder()));
                // The next run, with the old file held still, then with it let go (twice).
                StepRecord next;
                EXPECT_EQ(what(expected), what(Read(new StepDisk(next, Folder(), 0, false, Slot(), true))))
                    << left;
                EXPECT_EQ(what(expected), what(Read(new WindowsPOSIXSystem(true)))) << left;
                EXPECT_EQ(what(expected), what(Read(new WindowsPOSIXSystem(true)))) << left;
                // And the save after that leaves its file alone.
                EXPECT_TRUE(Save(new WindowsPOSIXSystem(true), mid)) << left;
                EXPECT_EQ(Image({{"slot.dat", mid}}), TakeImage(Folder())) << left;
            }
        }
    }
    EXPECT_GT(rows, 100);
}

// Deleting a save with a newer one kept beside its file takes two deletions. Whichever fails (or a
// crash before either), the next run never reads the older save: it reads the newer one (the
// deletion answered failure, or never answered) or nothing (the deletion answered success).
TEST_F(MountSystemStepsTest, EveryStepOfDeletingASaveKeptBesideItsFileFailsOrCrashes) {
    const Image before = {{"slot.dat", Bytes('o', 300)}, {"slot.dat~.saved", Bytes('m', 400)}};
    const std::string newer = Bytes('m', 400), none = "<none>";
    for (int k = 0; k <= 3; ++k) {
        for (bool crash : {false, true}) {
            if (k == 0 && crash) {
                continue;
            }
            SCOPED_TRACE(std::string(crash ? "crash before" : "failure of") + " step " + std::to_string(k));
            PutImage(Folder(), before);
            StepRecord record;
            // Held, so that mounting cannot put the newer save in place first.
            MountSystem* save = new MountSystem(new StepDisk(record, Folder(), k, crash, Slot(), true));
            ASSERT_TRUE(save->Mount(0));
            const bool deleted = save->DeleteFile(SCHEME_SAVE, Slot().c_str());
            save->Unmount();
            delete save;
            std::string read = Read(new WindowsPOSIXSystem(true));
            if (crash) {
                PutImage(Folder(), record.crashImage);
                read = Read(new WindowsPOSIXSystem(true));
                EXPECT_TRUE(read == newer || read == none) << read.size() << " bytes";
            } else {
                EXPECT_EQ(deleted ? none : newer, read) << (deleted ? "deleted" : "refused");
            }
            if (k == 0) {
                // The mount's attempt to put the newer save in place, then the two deletions.
                EXPECT_EQ(std::vector<std::string>({"move slot.dat~.saved > slot.dat", "delete slot.dat",
                                                    "delete slot.dat~.saved"}),
                          record.steps);
                EXPECT_TRUE(deleted);
            } else if (!crash) {
                EXPECT_EQ(k == 1, deleted) << "a failed deletion answered success, or the other way round";
            }
        }
    }
}
