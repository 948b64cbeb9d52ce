// The file-system sub-table: existence, information, folders, deletion, mounting, the path
// check, and filling the table in slot order.
#include "filesystem/FileSystemApi.h"

#include <cstring>

#include "filesystem/FileSystemServices.h"
#include "filesystem/FileSystemTable.h"
#include "filesystem/HttpClient.h"

using ZQFileSystem::System;

namespace {

void ReportInvalidPath(const char* slot, const char* path) {
    ZQI_FileSystemPopup(1, "File System %s: path '%s' is invalid, see IsPathValid() for more info.", slot,
                        path);
}

// Schemes whose folders can be listed and described: plain paths, res, cache, docs, project, ugc.
bool IsBrowsableScheme(SchemeId id) {
    return id == SCHEME_PLAIN || id == SCHEME_RES || id == SCHEME_CACHE || id == SCHEME_DOCS ||
           id == SCHEME_PROJECT || id == SCHEME_UGC;
}

// The native path of a scheme path without a trailing "/".
String NativeFolderPath(SchemeId scheme, const char* path) {
    String native;
    ConvertPathToNativePath(native, scheme, path);
    int32_t length = native.Length();
    if (length > 0 && native.CStr()[length - 1] == '/') {
        native = native.Substring(0, length - 1);
    }
    return native;
}

// The system of a scheme path that may be changed (folders, deletion), or null: res:// only
// while resource writes are allowed.
System* ChangeableSystem(SchemeId scheme) {
    if (scheme == SCHEME_RES && !ZQI_IsResourceWriteAllowed()) {
        return nullptr;
    }
    return ZQI_GetFileSystem(scheme);
}

}  // namespace

bool ZQ_FileSystem_IsPathValid(const char* path) {
    return ZQI_IsPathValid(path, false, false);
}

bool ZQ_FileSystem_FileExists(const char* path) {
    if (path == nullptr || path[0] == '\0' || !ZQI_IsPathValid(path, false, false)) {
        return false;
    }
    SchemeId scheme = ZQI_GetSchemeId(path);
    if (scheme == SCHEME_PLAIN) {
        String native;
        ZQI_ResolveSearchPath(native, path, scheme);
        return !native.IsEmpty();
    }
    System* system = ZQI_GetFileSystem(scheme);
    if (system == nullptr) {
        return false;
    }
    String native;
    ConvertPathToNativePath(native, scheme, path);
    return system->FileExists(scheme, native.CStr());
}

bool ZQI_CreateDirectory(const char* path) {
    if (!ZQI_IsPathValid(path, true, false)) {
        return false;
    }
    SchemeId scheme = ZQI_GetSchemeId(path);
    System* system = ChangeableSystem(scheme);
    return system != nullptr && system->CreateDirectory(scheme, NativeFolderPath(scheme, path).CStr());
}

bool ZQ_FileSystem_CreateDirectory(const char* path) {
    if (path == nullptr) {
        return false;
    }
    if (!ZQI_IsPathValid(path, true, false)) {
        ReportInvalidPath("CreateDirectory", path);
        return false;
    }
    return ZQI_CreateDirectory(path);
}

bool ZQ_FileSystem_DeleteDirectory(const char* path, bool withFiles) {
    if (withFiles) {
        ZQI_FileSystemPopup(
            1, "File System DeleteDirectory: deleting directory '%s' with existing files is not allowed.",
            path != nullptr ? path : "");
        return false;
    }
    if (path == nullptr) {
        return false;
    }
    if (!ZQI_IsPathValid(path, true, false)) {
        ReportInvalidPath("DeleteDirectory", path);
        return false;
    }
    SchemeId scheme = ZQI_GetSchemeId(path);
    System* system = ChangeableSystem(scheme);
    return system != nullptr && system->DeleteDirectory(scheme, NativeFolderPath(scheme, path).CStr());
}

bool ZQ_FileSystem_DeleteFile(const char* path) {
    if (path == nullptr) {
        return false;
    }
    if (!ZQI_IsPathValid(path, true, false)) {
        ReportInvalidPath("DeleteFile", path);
        return false;
    }
    SchemeId scheme = ZQI_GetSchemeId(path);
    System* system = ChangeableSystem(scheme);
    if (system == nullptr) {
        return false;
    }
    String native;
    ConvertPathToNativePath(native, scheme, path);
    return system->DeleteFile(scheme, native.CStr());
}

namespace {

// The system that moves a file between the two paths, with their scheme and native paths; null
// when a path is not valid, they lie in different schemes or the scheme's files cannot change.
System* SystemForMove(const char* sourcePath, const char* targetPath, SchemeId* scheme, String* nativeSource,
                      String* nativeTarget) {
    if (!ZQI_IsPathValid(sourcePath, true, false) || !ZQI_IsPathValid(targetPath, true, false)) {
        return nullptr;
    }
    *scheme = ZQI_GetSchemeId(sourcePath);
    System* system = ChangeableSystem(*scheme);
    if (system == nullptr || ZQI_GetSchemeId(targetPath) != *scheme) {
        return nullptr;
    }
    ConvertPathToNativePath(*nativeSource, *scheme, sourcePath);
    ConvertPathToNativePath(*nativeTarget, *scheme, targetPath);
    return system;
}

bool MoveOntoFile(const char* sourcePath, const char* targetPath, bool exchange) {
    SchemeId scheme = SCHEME_PLAIN;
    String nativeSource;
    String nativeTarget;
    System* system = SystemForMove(sourcePath, targetPath, &scheme, &nativeSource, &nativeTarget);
    return system != nullptr &&
           system->ReplaceFile(scheme, nativeSource.CStr(), nativeTarget.CStr(), exchange);
}

}  // namespace

bool ZQI_ReplaceFile(const char* sourcePath, const char* targetPath) {
    return MoveOntoFile(sourcePath, targetPath, false);
}

bool ZQI_CommitTemporaryFile(const char* temporaryPath, const char* targetPath) {
    return MoveOntoFile(temporaryPath, targetPath, true);
}

bool ZQI_MoveFileToFreePath(const char* sourcePath, const char* targetPath) {
    SchemeId scheme = SCHEME_PLAIN;
    String nativeSource;
    String nativeTarget;
    System* system = SystemForMove(sourcePath, targetPath, &scheme, &nativeSource, &nativeTarget);
    return system != nullptr && system->MoveToFreePath(scheme, nativeSource.CStr(), nativeTarget.CStr());
}

bool ZQ_FileSystem_GetFileInfo(const char* path, zq_file_info_t* info) {
    if (path == nullptr || info == nullptr) {
        return false;
    }
    if (!ZQI_IsPathValid(path, false, false)) {
        ReportInvalidPath("GetFileInfo", path);
        return false;
    }
    SchemeId scheme = ZQI_GetSchemeId(path);
    if (!IsBrowsableScheme(scheme)) {
        ZQI_FileSystemPopup(
            1,
            "File System GetFileInfo: path prefix is invalid in path '%s', see GetFileInfo() for "
            "more info.",
            path);
        return false;
    }
    String native;
    if (scheme == SCHEME_PLAIN) {
        ZQI_ResolveSearchPath(native, path, scheme);
        if (native.IsEmpty() || !IsBrowsableScheme(scheme) || scheme == SCHEME_PLAIN) {
            return false;
        }
    } else {
        ConvertPathToNativePath(native, scheme, path);
    }
    System* system = ZQI_GetFileSystem(scheme);
    return system != nullptr && system->GetFileInfo(scheme, native.CStr(), info);
}

bool ZQ_FileSystem_Mount(const char* name, uint32_t storage) {
    if (name == nullptr || storage >= 4 || strcmp(name, "save") != 0) {
        return false;
    }
    System* save = ZQI_GetFileSystem(SCHEME_SAVE);
    if (save == nullptr || !save->mountable) {
        return false;
    }
    bool mounted = save->Mount(storage);
    if (mounted && !ZQI_WasSaveRootCreated()) {
        ZQI_SetSaveRootCreated(true);
        return save->CreateRootDirectory(SCHEME_SAVE);
    }
    return mounted;
}

void ZQ_FileSystem_Unmount(const char* name) {
    if (name == nullptr || strcmp(name, "save") != 0) {
        return;
    }
    System* save = ZQI_GetFileSystem(SCHEME_SAVE);
    if (save != nullptr && save->mountable) {
        save->Unmount();
    }
}

void ZQI_FillFileSystemTable(zq_filesystem_api_t* table) {
    table->AddSearchPath = ZQ_FileSystem_AddSearchPath;
    table->CloseFile = ZQ_FileSystem_CloseFile;
    table->CreateDirectory = ZQ_FileSystem_CreateDirectory;
    table->DeleteDirectory = ZQ_FileSystem_DeleteDirectory;
    table->DeleteFile = ZQ_FileSystem_DeleteFile;
    table->FindFiles = ZQ_FileSystem_FindFiles;
    table->FileExists = ZQ_FileSystem_FileExists;
    table->FlushFile = ZQ_FileSystem_FlushFile;
    table->GetFileInfo = ZQ_FileSystem_GetFileInfo;
    table->GetFilePosition = ZQ_FileSystem_GetFilePosition;
    table->GetSearchPaths = ZQ_FileSystem_GetSearchPaths;
    table->IsPathValid = ZQ_FileSystem_IsPathValid;
    table->Mount = ZQ_FileSystem_Mount;
    table->OpenFile = ZQ_FileSystem_OpenFile;
    table->ReadFile = ZQ_FileSystem_ReadFile;
    table->RemoveSearchPath = ZQ_FileSystem_RemoveSearchPath;
    table->SearchPathExists = ZQ_FileSystem_SearchPathExists;
    table->SeekFile = ZQ_FileSystem_SeekFile;
    table->ShowNativeFileSelectDialog = ZQ_FileSystem_ShowNativeFileSelectDialog;
    table->Unmount = ZQ_FileSystem_Unmount;
    table->WriteFile = ZQ_FileSystem_WriteFile;
}

void ZQI_InstallFileSystemApi(zq_api_t* api) {
    if (api == nullptr) {
        return;
    }
    if (api->filesystem != nullptr) {
        ZQI_FillFileSystemTable(api->filesystem);
    }
    api->SendHttpRequest = ZQ_SendHttpRequest;
    api->SendRawHttpRequest = ZQ_SendRawHttpRequest;
}
