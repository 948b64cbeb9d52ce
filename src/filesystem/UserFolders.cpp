// Start-up's user folders: the program's own folder under the application-data folder, and the
// cache, documents, logs and save folders below it.
#include "filesystem/UserFolders.h"

#include <cstring>

#include "filesystem/FileSystemApi.h"
#include "filesystem/FileSystemServices.h"
#include "filesystem/FileSystemTable.h"
#include "filesystem/SchemeRoots.h"

namespace {

// One folder name from the manifest: not empty, no separators or drive colons, not "." or "..",
// so that the user's folder stays below the application-data folder.
bool IsSafeFolderName(const char* name) {
    if (name == nullptr || name[0] == '\0' || strcmp(name, ".") == 0 || strcmp(name, "..") == 0) {
        return false;
    }
    return strpbrk(name, "/\\:") == nullptr;
}

// Makes "user://<folder>"; a failure is only logged, and start-up goes on without the folder.
void CreateUserSubfolder(const char* folder) {
    String path = String::FromFormat("user://%s", folder);
    if (!ZQI_CreateDirectory(path.CStr())) {
        ZQI_FileSystemLog(1, "ZQI_InitializeUserFolders: could not create '%s'.", path.CStr());
    }
}

}  // namespace

bool ZQI_InitializeUserFolders(const char* developerName, const char* userFolderName) {
    if (!IsSafeFolderName(developerName) || !IsSafeFolderName(userFolderName)) {
        ZQI_FileSystemLog(
            2,
            "ZQI_InitializeUserFolders: the developer name '%s' or user folder name '%s' is not a "
            "usable folder name.",
            developerName != nullptr ? developerName : "(null)",
            userFolderName != nullptr ? userFolderName : "(null)");
        return false;
    }
    ZQFileSystem::System* userSystem = ZQI_GetFileSystem(SCHEME_USER);
    const String& appData = ZQI_GetSchemeRoot(SCHEME_USER);
    if (userSystem == nullptr || appData.IsEmpty()) {
        ZQI_FileSystemLog(
            2, "ZQI_InitializeUserFolders: there is no user file system or application-data folder.");
        return false;
    }
    String root = String::FromFormat("%s/%s/%s", appData.CStr(), developerName, userFolderName);
    if (!userSystem->CreateDirectory(SCHEME_USER, root.CStr())) {
        ZQI_FileSystemLog(2, "ZQI_InitializeUserFolders: could not create '%s'.", root.CStr());
        return false;
    }
    ZQI_SetSchemeRoot(SCHEME_USER, root.CStr());
    ZQI_SetSchemeRoot(SCHEME_CACHE, String::FromFormat("%s/cache", root.CStr()).CStr());
    ZQI_SetSchemeRoot(SCHEME_LOGS, String::FromFormat("%s/logs", root.CStr()).CStr());
    bool documentsOwnFolder = !ZQI_GetSchemeRoot(SCHEME_DOCS).IsEmpty();
    if (!documentsOwnFolder) {
        ZQI_SetSchemeRoot(SCHEME_DOCS, String::FromFormat("%s/documents", root.CStr()).CStr());
    }
    if (ZQI_GetSchemeRoot(SCHEME_SAVE).IsEmpty()) {
        ZQI_SetSchemeRoot(SCHEME_SAVE, String::FromFormat("%s/save", root.CStr()).CStr());
    }
    if (ZQI_GetFileSystem(SCHEME_CACHE) != nullptr) {
        CreateUserSubfolder("cache");
    }
    if (ZQI_GetFileSystem(SCHEME_LOGS) != nullptr) {
        CreateUserSubfolder("logs");
    }
    if (ZQI_GetFileSystem(SCHEME_DOCS) != nullptr && !documentsOwnFolder) {
        CreateUserSubfolder("documents");
    }
    return true;
}
