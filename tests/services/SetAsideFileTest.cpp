// Setting aside stored files that cannot be read, when another instance of the game sets its own
// file aside into the same folder at the same moment: neither replaces what the other set aside.
#include <filesystem>
#include <fstream>
#include <string>

#include "ServicesTestSupport.h"
#include "filesystem/FileSystemTable.h"
#include "filesystem/WindowsPOSIXSystem.h"
#include "services/SetAsideFile.h"

namespace {

const char kStored[] = "user://stored.dat";

// user:// as another instance sees it too: at the first move onto a ".bad" name, that instance
// has just set a file aside under that very name (after this one found the name free): a file of
// its own, or the very file this one is setting aside, which both found unreadable.
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

    bool rivalMovesTheSameFile = false;
    std::string rivalPath;  // native path of the file the other instance set aside

private:
    void Race(const char* source, const char* target) {
        const std::string name(target);
        if (!rivalPath.empty() || name.size() < 4 || name.compare(name.size() - 4, 4, ".bad") != 0) {
            return;
        }
        if (rivalMovesTheSameFile) {
            std::filesystem::rename(source, name);
        } else {
            std::ofstream(name, std::ios::binary) << "set aside by another instance";
        }
        rivalPath = name;
    }
};

class SetAsideFileTest : public ServicesTest {
protected:
    void SetUp() override {
        ServicesTest::SetUp();
        RemoveFiles();
        saved_ = ZQI_GetFileSystem(SCHEME_USER);
        ZQI_SetFileSystem(SCHEME_USER, &racing_);
    }
    void TearDown() override {
        ZQI_SetFileSystem(SCHEME_USER, saved_);
        RemoveFiles();
        ServicesTest::TearDown();
    }
    void RemoveFiles() {
        for (const char* path : {kStored, "user://stored.dat.bad", "user://stored.dat-1.bad"}) {
            RemoveFile(path);
        }
    }

    RacingSystem racing_;
    ZQFileSystem::System* saved_ = nullptr;
};

TEST_F(SetAsideFileTest, AFileAnotherInstanceSetsAsideUnderTheSameNameMeanwhileIsKept) {
    WriteFile(kStored, "unreadable here");
    String setAsidePath;
    EXPECT_TRUE(ZQI_SetAsideFile(kStored, &setAsidePath));
    ASSERT_EQ(racing_.rivalPath, NativePath("user://stored.dat.bad"));
    EXPECT_EQ(ReadFile("user://stored.dat.bad"), "set aside by another instance");
    EXPECT_STREQ(setAsidePath.CStr(), "user://stored.dat-1.bad");
    EXPECT_EQ(ReadFile("user://stored.dat-1.bad"), "unreadable here");
    EXPECT_EQ(ReadFile(kStored), "");
}

TEST_F(SetAsideFileTest, AFileAnotherInstanceSetAsideFirstIsLeftAsItIs) {
    racing_.rivalMovesTheSameFile = true;
    WriteFile(kStored, "unreadable in both");
    String setAsidePath;
    EXPECT_FALSE(ZQI_SetAsideFile(kStored, &setAsidePath));
    ASSERT_EQ(racing_.rivalPath, NativePath("user://stored.dat.bad"));
    EXPECT_EQ(ReadFile("user://stored.dat.bad"), "unreadable in both");
    EXPECT_FALSE(std::filesystem::exists(NativePath("user://stored.dat-1.bad")));
    EXPECT_FALSE(std::filesystem::exists(NativePath(kStored)));
}

}  // namespace
