// The lock of the folder that holds a file, shared by every instance of the game (a folder lock of
// NativePlatform.h), held by an object from its taking until the object goes. Whoever changes files
// that another instance may change at the same moment (a save's commit, a file written whole beside
// its target and then moved over it) holds it across the whole change, so the two changes never
// interleave. While it is held, the popups its thread would show at once wait for its letting go
// (ZQI_HoldPopups): a message box would keep the folder as long as the user leaves it open.
#pragma once

#include <cstdint>

#include "filesystem/NativePlatform.h"
#include "foundation/String.h"

namespace ZQFileSystem {

// How long a change to a shared folder waits for another instance of the game to let go of it: far
// longer than any change takes, so only a holder that hangs makes the change answer failure.
const uint32_t ZQI_SAVE_FOLDER_WAIT_MILLISECONDS = 10000;

// The folder that holds the file at a native path ("." for a bare name).
String ZQI_FolderOfNativePath(const char* nativePath);

class FolderLock {
public:
    FolderLock() = default;
    ~FolderLock();
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

    // Takes the lock of the native folder, waiting at most wait ms. When it is not taken, why says
    // why, to follow "since" in a log line.
    ZQI_NativeLockResult Take(const String& folder, uint32_t wait, String& why);
    // Takes the lock of the folder holding the file at a virtual path of a folder scheme (user://,
    // save://, docs://, ...). A path of no such scheme has no folder: NATIVE_LOCK_NO_FOLDER.
    ZQI_NativeLockResult TakeForFile(const char* path, uint32_t wait, String& why);
    // TakeForFile, saying a refusal: when another instance kept the folder for the whole wait or the
    // system refused, logs "<who>: '<path>' <refusal>, since <why>." at level and answers false. A
    // path in no folder answers true: nothing of it on disk is shared.
    bool TakeForFileOrSay(const char* path, uint32_t wait, int32_t level, const char* who, const char* refusal);

private:
    intptr_t lock_ = 0;
    bool taken_ = false;
};

}  // namespace ZQFileSystem
