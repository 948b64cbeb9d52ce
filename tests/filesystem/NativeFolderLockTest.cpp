// The folder locks that instances of the game share: another process's lock waited for up to the
// limit, let go by a holder however it ends, one lock for every spelling of a folder.
#include <gtest/gtest.h>

#include <chrono>
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

typedef std::chrono::steady_clock Clock;

// The lock's answer, and how long it took (ms); a lock taken is let go at once.
ZQI_NativeLockResult LockFor(const std::string& folder, uint32_t limit, int64_t* took = nullptr) {
    const Clock::time_point start = Clock::now();
    intptr_t lock = 0;
    const ZQI_NativeLockResult result = ZQI_NativeLockFolder(folder.c_str(), limit, &lock);
    if (took != nullptr) {
        *took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
    }
    if (result == NATIVE_LOCK_TAKEN) {
        ZQI_NativeUnlockFolder(lock);
    }
    return result;
}

}  // namespace

// Held by another process throughout, the lock is waited for the whole limit and no longer; let
// go within the limit, it is taken then.
TEST(NativeFolderLockTest, AnotherHoldersLockIsWaitedForUpToTheLimit) {
    TempFolder temp;
    const std::string folder = temp.Join("save"), marker = temp.Join("held");
    MakeNativeFolders(folder);
    EXPECT_EQ(NATIVE_LOCK_TAKEN, LockFor(folder, 0)) << "nobody holds it";
    {
        FolderLockHolder holder;
        ASSERT_TRUE(holder.Start(folder, 60000, marker));
        for (uint32_t limit : {0u, 300u}) {
            SCOPED_TRACE(limit);
            int64_t took = 0;
            EXPECT_EQ(NATIVE_LOCK_BUSY, LockFor(folder, limit, &took));
            EXPECT_GE(took + 20, static_cast<int64_t>(limit)) << "gave up early";  // Windows' timer ticks
            EXPECT_LT(took, static_cast<int64_t>(limit) + 2000) << "waited on";
        }
    }
    FolderLockHolder brief;
    ASSERT_TRUE(brief.Start(folder, 200, marker));
    int64_t took = 0;
    EXPECT_EQ(NATIVE_LOCK_TAKEN, LockFor(folder, 5000, &took));
    EXPECT_LT(took, 5000);
    EXPECT_EQ(0, brief.Wait(10000));
}

// A crash or a killed process lets go of the lock with it, also to one already waiting for it
// (Windows: the mutex is abandoned, which that waiter is told).
TEST(NativeFolderLockTest, AHolderThatDiesLetsGoOfTheLock) {
    TempFolder temp;
    const std::string folder = temp.Join("save");
    MakeNativeFolders(folder);
    FolderLockHolder holder;
    ASSERT_TRUE(holder.Start(folder, 60000, temp.Join("held")));
    EXPECT_EQ(NATIVE_LOCK_BUSY, LockFor(folder, 0));
    ZQI_NativeLockResult waiter = NATIVE_LOCK_FAILED;
    int64_t took = 0;
    std::thread waiting([&] { waiter = LockFor(folder, 20000, &took); });
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(-1, holder.Wait(0)) << "killed";
    waiting.join();
    EXPECT_EQ(NATIVE_LOCK_TAKEN, waiter);
    EXPECT_LT(took, 20000);
    EXPECT_EQ(NATIVE_LOCK_TAKEN, LockFor(folder, 0)) << "and let go again";
}

// Every name the system gives the folder reaches the lock another process holds through one of
// them; a folder inside it has a lock of its own.
TEST(NativeFolderLockTest, EverySpellingOfAFolderNamesOneLock) {
    TempFolder temp;
    const std::string folder = temp.Join("Saves"), marker = temp.Join("held");
    MakeNativeFolders(folder + "/sub");
    std::vector<std::string> spellings = {folder + "/", folder + "/.", folder + "/sub/.."};
#if defined(_WIN32)
    std::string upper = folder, backslashed = folder;
    for (char& c : upper) {
        c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    }
    for (char& c : backslashed) {
        c = c == '/' ? '\\' : static_cast<char>(tolower(static_cast<unsigned char>(c)));
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
