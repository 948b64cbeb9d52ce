// The folder locks that instances of the game share: one for every spelling of a folder, none for
// a path that is no folder. (Waiting and a holder that dies: MountSystemTest.)
#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#endif

#include "FileSystemTestSupport.h"
#include "FolderLockHolder.h"
#include "filesystem/NativePlatform.h"

namespace {

// The lock's answer; a lock taken is let go at once.
ZQI_NativeLockResult LockFor(const std::string& folder, uint32_t limit) {
    intptr_t lock = 0;
    const ZQI_NativeLockResult result = ZQI_NativeLockFolder(folder.c_str(), limit, &lock);
    if (result == NATIVE_LOCK_TAKEN) {
        ZQI_NativeUnlockFolder(lock);
    }
    return result;
}

}  // namespace

// Every name the system gives the folder reaches the lock another process holds through one of
// them; a folder inside it has a lock of its own.
TEST(NativeFolderLockTest, EverySpellingOfAFolderNamesOneLock) {
    TempFolder temp;
    const std::string folder = temp.Join("Saves"), marker = temp.Join("held");
    MakeNativeFolders(folder + "/sub");
    std::vector<std::string> spellings = {folder + "/", folder + "/.", folder + "/sub/.."};
#if defined(_WIN32)
    std::string upper = folder, backslashed = folder;
    for (size_t i = 0; i < folder.size(); ++i) {
        upper[i] = static_cast<char>(toupper(static_cast<unsigned char>(folder[i])));
        backslashed[i] =
            folder[i] == '/' ? '\\' : static_cast<char>(tolower(static_cast<unsigned char>(folder[i])));
    }
    char shortName[MAX_PATH] = {};
    const DWORD shortLength = GetShortPathNameA(folder.c_str(), shortName, MAX_PATH);
    spellings.insert(spellings.end(), {upper, backslashed, backslashed + "\\"});
    if (shortLength > 0 && shortLength < MAX_PATH) {
        spellings.push_back(shortName);
    }
#else
    std::error_code error;
    std::filesystem::create_directory_symlink(folder, temp.Join("link"), error);
    ASSERT_FALSE(error) << error.message();
    spellings.push_back(temp.Join("link"));
#endif
    FolderLockHolder holder;
    ASSERT_TRUE(holder.Start(folder, 60000, marker));
    for (const std::string& spelling : spellings) {
        EXPECT_EQ(NATIVE_LOCK_BUSY, LockFor(spelling, 0)) << spelling;
    }
    EXPECT_EQ(NATIVE_LOCK_TAKEN, LockFor(folder + "/sub", 0));
}

TEST(NativeFolderLockTest, APathThatIsNoFolderHasNoLock) {
    TempFolder temp;
    WriteNativeFile(temp.Join("file"), "x");
    for (const std::string& path : {temp.Join("missing"), temp.Join("missing/deeper"), temp.Join("file")}) {
        EXPECT_EQ(NATIVE_LOCK_NO_FOLDER, LockFor(path, 100)) << path;
    }
}

// The holding thread takes the lock again at once, as a Windows mutex is; it goes with the last
// taking let go, in any order, and another thread meanwhile finds it busy.
TEST(NativeFolderLockTest, TheThreadHoldingTheLockTakesItAgainAtOnce) {
    TempFolder temp;
    const std::string folder = temp.Join("Saves");
    MakeNativeFolders(folder + "/sub");
    const auto otherThreadGets = [](const std::string& path) {
        ZQI_NativeLockResult result = NATIVE_LOCK_FAILED;
        std::thread other([&] { result = LockFor(path, 0); });
        other.join();
        return result;
    };
    for (bool outerFirst : {true, false}) {
        SCOPED_TRACE(outerFirst ? "let go outer first" : "let go inner first");
        intptr_t outer = 0, inner = 0;
        ASSERT_EQ(NATIVE_LOCK_TAKEN, ZQI_NativeLockFolder(folder.c_str(), 0, &outer));
        ASSERT_EQ(NATIVE_LOCK_TAKEN, ZQI_NativeLockFolder((folder + "/sub/..").c_str(), 0, &inner));
        EXPECT_EQ(NATIVE_LOCK_TAKEN, LockFor(folder + "/", 0));
        EXPECT_EQ(NATIVE_LOCK_BUSY, otherThreadGets(folder));
        ZQI_NativeUnlockFolder(outerFirst ? outer : inner);
        EXPECT_EQ(NATIVE_LOCK_BUSY, otherThreadGets(folder));
        ZQI_NativeUnlockFolder(outerFirst ? inner : outer);
        EXPECT_EQ(NATIVE_LOCK_TAKEN, otherThreadGets(folder));
    }
}
