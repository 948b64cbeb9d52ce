// Folder locks held by an object, by native folder or by the virtual path of a file in it.
#include "filesystem/FolderLock.h"

#include <cstring>

#include "core/ApiTable.h"
#include "filesystem/FileSystemServices.h"
#include "filesystem/SchemeRoots.h"
#include "filesystem/VirtualPath.h"

namespace ZQFileSystem {

String ZQI_FolderOfNativePath(const char* nativePath) {
    const char* end = strrchr(nativePath, '/');
#if defined(_WIN32)
    const char* backslash = strrchr(nativePath, '\\');
    end = backslash != nullptr && (end == nullptr || backslash > end) ? backslash : end;
#endif
    if (end == nullptr) {
        return String(".");
    }
    return end == nativePath ? String("/")
                             : String::FromFormat("%.*s", static_cast<int>(end - nativePath), nativePath);
}

FolderLock::~FolderLock() {
    if (taken_) {
        ZQI_NativeUnlockFolder(lock_);
        ZQI_ReleaseHeldPopups();
    }
}

ZQI_NativeLockResult FolderLock::Take(const String& folder, uint32_t wait, String& why) {
    const ZQI_NativeLockResult result = ZQI_NativeLockFolder(folder.CStr(), wait, &lock_);
    taken_ = result == NATIVE_LOCK_TAKEN;
    if (taken_) {
        ZQI_HoldPopups();  // a message box would keep the folder from everyone waiting for it
    }
    if (result == NATIVE_LOCK_BUSY) {
        why.Format("another instance of the game still held its folder '%s' after %u ms", folder.CStr(), wait);
    } else if (result == NATIVE_LOCK_NO_FOLDER) {
        why.Format("its folder '%s' is not there", folder.CStr());
    } else if (result == NATIVE_LOCK_FAILED) {
        why.Format("its folder '%s' could not be locked (platform error %d)", folder.CStr(),
                   static_cast<int>(ZQI_NativeLastError()));
    }
    return result;
}

ZQI_NativeLockResult FolderLock::TakeForFile(const char* path, uint32_t wait, String& why) {
    const SchemeId scheme = path != nullptr ? ZQI_GetSchemeId(path) : SCHEME_PLAIN;
    if (scheme == SCHEME_PLAIN || !ZQI_IsTableScheme(scheme) || ZQI_GetSchemeRoot(scheme).IsEmpty()) {
        why.Format("'%s' lies in no folder", path != nullptr ? path : "");
        return NATIVE_LOCK_NO_FOLDER;
    }
    String native;
    ConvertPathToNativePath(native, scheme, path);
    return Take(ZQI_FolderOfNativePath(native.CStr()), wait, why);
}

bool FolderLock::TakeForFileOrSay(const char* path, uint32_t wait, int32_t level, const char* who,
                                  const char* refusal) {
    String why;
    const ZQI_NativeLockResult taken = TakeForFile(path, wait, why);
    if (taken == NATIVE_LOCK_BUSY || taken == NATIVE_LOCK_FAILED) {
        ZQI_FileSystemLog(level, "%s: '%s' %s, since %s.", who, path, refusal, why.CStr());
        return false;
    }
    return true;
}

}  // namespace ZQFileSystem
