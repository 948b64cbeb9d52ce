// Native folder creation: single folders with or without the access list, and the walk from a
// scheme's root down a path.
#include "filesystem/NativeFolders.h"

#include <cstring>

#include "filesystem/FileSystemServices.h"
#include "filesystem/SchemeRoots.h"

bool ZQI_SchemeUsesAccessList(SchemeId scheme) {
    return scheme == SCHEME_DOCS || scheme == SCHEME_SAVE || scheme == SCHEME_USER;
}

ZQI_NativeFolderResult ZQI_CreateNativeDirectoryWithACL(SchemeId scheme, const String& nativePath) {
    return ZQI_NativeMakeFolder(nativePath.CStr(), ZQI_SchemeUsesAccessList(scheme));
}

bool ZQI_CreateNativeDirectory(SchemeId scheme, const char* nativePath) {
    if (nativePath == nullptr || nativePath[0] == '\0') {
        return false;
    }
    return ZQI_CreateNativeDirectoryWithACL(scheme, String(nativePath)) != NATIVE_FOLDER_FAILED;
}

bool ZQI_CreateDirectoryRecursive(SchemeId scheme, const char* nativePath) {
    const String& root = ZQI_GetSchemeRoot(scheme);
    int32_t rootLength = root.Length();
    if (nativePath == nullptr || rootLength == 0 ||
        strncmp(nativePath, root.CStr(), static_cast<size_t>(rootLength)) != 0 ||
        (nativePath[rootLength] != '/' && nativePath[rootLength] != '\0')) {
        ZQI_FileSystemLog(2, "ZQI_CreateDirectoryRecursive: '%s' does not lie below the root of '%s://'.",
                          nativePath != nullptr ? nativePath : "(null)", ZQI_GetSchemeName(scheme));
        return false;
    }
    String folder = root;
    const char* component = nativePath + rootLength;
    while (*component != '\0') {
        while (*component == '/') {
            ++component;
        }
        const char* end = strchr(component, '/');
        size_t length = end != nullptr ? static_cast<size_t>(end - component) : strlen(component);
        if (length == 0) {
            break;
        }
        if (length > ZQI_MAX_FOLDER_COMPONENT) {
            ZQI_FileSystemLog(2, "ZQI_CreateDirectoryRecursive: a folder name in '%s' is too long.",
                              nativePath);
            return false;
        }
        folder.AppendFormat("/%.*s", static_cast<int>(length), component);
        if (ZQI_CreateNativeDirectoryWithACL(scheme, folder) == NATIVE_FOLDER_FAILED) {
            return false;
        }
        component += length;
    }
    return true;
}
