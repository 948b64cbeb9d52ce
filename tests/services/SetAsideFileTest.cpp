// Stored files set aside: each under a name of its own, never replacing one an earlier run or
// another instance of the game set aside.
#include <filesystem>
#include <fstream>
#include <string>

#include "ServicesTestSupport.h"
#include "filesystem/FileSystemTable.h"
#include "filesystem/WindowsPOSIXSystem.h"
#include "services/SetAsideFile.h"

namespace {

const char kStored[] = "user://stored.dat";

std::string SetAsideName(int n) {
    return n == 0 ? "user://stored.dat.bad" : "user://stored.dat-" + std::to_string(n) + ".bad";
}

enum Rival { kNoRival, kRivalSetsAsideItsOwnFile, kRivalSetsAsideThisFile };

// user:// as another instance sees it too: at the first move, after this one found the name free,
// the rival has just set a file aside under that name.
class RacingSystem : public ZQFileSystem::WindowsPOSIXSystem {
public:
    RacingSystem() : WindowsPOSIXSystem(false) {}
    bool ReplaceFile(SchemeId scheme, const char* source, const char* target, bool exchange) override {
        Race(source, target);
        return WindowsPOSIXSystem::ReplaceFile(scheme, source, target, exchange);
    }
    bool MoveToFreePath(SchemeId scheme, const char* source, const char* target) override {
        Race(source, target);
        return WindowsPOSIXSystem::MoveToFreePath(scheme, source, target);
    }
    Rival rival = kNoRival;

private:
    void Race(const char* source, const char* target) {
        if (rival == kRivalSetsAsideThisFile) {
            std::filesystem::rename(source, target);
        } else if (rival == kRivalSetsAsideItsOwnFile) {
            std::ofstream(target, std::ios::binary) << "the rival's";
        }
        rival = kNoRival;
    }
};

using SetAsideFileTest = ServicesTest;

// With names taken by earlier runs, or by a rival at the moment of the move, the file takes the
// next free name; with every name taken, or the file gone to the rival, it is left where it is.
TEST_F(SetAsideFileTest, EachFileKeepsANameOfItsOwn) {
    struct Case {
        int taken;  // names set aside before
        Rival rival;
        int movedTo;  // -1: not moved
    };
    const Case cases[] = {{1, kNoRival, 1},
                          {99, kNoRival, 99},
                          {100, kNoRival, -1},
                          {0, kRivalSetsAsideItsOwnFile, 1},
                          {0, kRivalSetsAsideThisFile, -1}};
    auto removeFiles = [] {
        RemoveFile(kStored);
        for (int n = 0; n <= 99; ++n) {
            RemoveFile(SetAsideName(n));
        }
    };
    RacingSystem racing;
    ZQFileSystem::System* saved = ZQI_GetFileSystem(SCHEME_USER);
    ZQI_SetFileSystem(SCHEME_USER, &racing);
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.taken) + " taken, rival " + std::to_string(c.rival));
        removeFiles();
        for (int n = 0; n < c.taken; ++n) {
            WriteFile(SetAsideName(n), "earlier " + std::to_string(n));
        }
        WriteFile(kStored, "unreadable");
        racing.rival = c.rival;
        String setAsidePath;
        EXPECT_EQ(ZQI_SetAsideFile(kStored, &setAsidePath), c.movedTo >= 0);
        for (int n = 0; n < c.taken; ++n) {
            EXPECT_EQ(ReadFile(SetAsideName(n)), "earlier " + std::to_string(n));
        }
        if (c.movedTo >= 0) {
            EXPECT_EQ(setAsidePath.CStr(), SetAsideName(c.movedTo));
            EXPECT_EQ(ReadFile(SetAsideName(c.movedTo)), "unreadable");
        }
        EXPECT_EQ(ReadFile(kStored), c.movedTo < 0 && c.rival == kNoRival ? "unreadable" : "");
        if (c.rival != kNoRival) {  // the rival's file is kept whole
            EXPECT_EQ(ReadFile(SetAsideName(0)), c.movedTo < 0 ? "unreadable" : "the rival's");
        }
    }
    ZQI_SetFileSystem(SCHEME_USER, saved);
    removeFiles();
}

}  // namespace
