// The folder lock by the virtual path of a file: which paths have one, and a change holding it
// that calls the file system's own changes of that folder, which take it again.
#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "FileSystemTestSupport.h"
#include "filesystem/FileSystemApi.h"
#include "filesystem/FolderLock.h"
#include "filesystem/SchemeRoots.h"

namespace {

class FolderLockTest : public FileSystemTest {};

// Whether a thread other than the caller could take the folder's lock now.
bool FreeForAnotherThread(const std::string& folder) {
    ZQI_NativeLockResult result = NATIVE_LOCK_FAILED;
    std::thread other([&] {
        intptr_t lock = 0;
        result = ZQI_NativeLockFolder(folder.c_str(), 0, &lock);
        if (result == NATIVE_LOCK_TAKEN) {
            ZQI_NativeUnlockFolder(lock);
        }
    });
    other.join();
    return result == NATIVE_LOCK_TAKEN;
}

}  // namespace

TEST_F(FolderLockTest, OnlyAFileInAFolderOfAFolderSchemeHasALock) {
    MakeNativeFolders(NativePath(SCHEME_USER, "sub"));
    const struct {
        const char* path;
        ZQI_NativeLockResult expected;
    } cases[] = {
        {"user://a.dat", NATIVE_LOCK_TAKEN},
        {"user://sub/a.dat", NATIVE_LOCK_TAKEN},
        {"user://missing/a.dat", NATIVE_LOCK_NO_FOLDER},  // a first start: nothing there to share
        {"save://a.dat", NATIVE_LOCK_NO_FOLDER},          // the save folder is made by the mount
        {"mem://a.dat", NATIVE_LOCK_NO_FOLDER},
        {"a.dat", NATIVE_LOCK_NO_FOLDER},
        {nullptr, NATIVE_LOCK_NO_FOLDER},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path != nullptr ? c.path : "(null)");
        ZQFileSystem::FolderLock lock;
        String why;
        EXPECT_EQ(c.expected, lock.TakeForFile(c.path, 0, why));
        EXPECT_EQ(c.expected == NATIVE_LOCK_TAKEN, why.IsEmpty()) << why.CStr();
    }
    // The lock taken is the file's folder's.
    ZQFileSystem::FolderLock held;
    String why;
    ASSERT_EQ(NATIVE_LOCK_TAKEN, held.TakeForFile("user://sub/a.dat", 0, why));
    EXPECT_FALSE(FreeForAnotherThread(NativePath(SCHEME_USER, "sub")));
    EXPECT_TRUE(FreeForAnotherThread(Root(SCHEME_USER)));
}

// A font saved into the save folder holds its lock while the save system writes, reads and deletes
// there: each goes on at once, where waiting for itself would fail after the whole wait.
TEST_F(FolderLockTest, AChangeHoldingTheSaveFolderUsesTheSaveSystemAtOnce) {
    ASSERT_TRUE(ZQ_FileSystem_Mount("save", 0));
    WriteNativeFile(NativePath(SCHEME_SAVE, "old.dat"), "old");
    {
        ZQFileSystem::FolderLock lock;
        String why;
        ASSERT_EQ(NATIVE_LOCK_TAKEN, lock.TakeForFile("save://font.tmp", 0, why)) << why.CStr();
        zq_file_t* file = ZQ_FileSystem_OpenFile("save://font.tmp", "w");
        ASSERT_NE(nullptr, file);
        EXPECT_EQ(3u, ZQ_FileSystem_WriteFile("new", 3, file));
        ZQ_FileSystem_CloseFile(file);
        zq_file_t* appended = ZQ_FileSystem_OpenFile("save://old.dat", "a");
        ASSERT_NE(nullptr, appended);
        ZQ_FileSystem_CloseFile(appended);
        zq_file_t* read = ZQ_FileSystem_OpenFile("save://old.dat", "r");
        ASSERT_NE(nullptr, read);
        ZQ_FileSystem_CloseFile(read);
        EXPECT_TRUE(ZQ_FileSystem_DeleteFile("save://old.dat"));
        EXPECT_FALSE(FreeForAnotherThread(Root(SCHEME_SAVE)));
    }
    EXPECT_TRUE(FreeForAnotherThread(Root(SCHEME_SAVE)));
    ZQ_FileSystem_Unmount("save");
    EXPECT_EQ("new", ReadNativeFile(NativePath(SCHEME_SAVE, "font.tmp")));
    EXPECT_FALSE(NativeFileExists(NativePath(SCHEME_SAVE, "old.dat")));
}
