// ZQFileSystem::WindowsPOSIXSystem: folders, deletion, existence and listing of native files.
#include "filesystem/WindowsPOSIXSystem.h"

#include "filesystem/NativeFolders.h"
#include "filesystem/NativeListing.h"
#include "filesystem/NativePlatform.h"
#include "filesystem/SchemeRoots.h"

namespace ZQFileSystem {

WindowsPOSIXSystem::WindowsPOSIXSystem(bool commit) : POSIXSystem(commit) {}

bool WindowsPOSIXSystem::CreateDirectory(SchemeId scheme, const char* nativePath) {
    return ZQI_CreateDirectoryRecursive(scheme, nativePath);
}

bool WindowsPOSIXSystem::CreateRootDirectory(SchemeId scheme) {
    return ZQI_CreateNativeDirectory(scheme, ZQI_GetSchemeRoot(scheme).CStr());
}

bool WindowsPOSIXSystem::DeleteDirectory(SchemeId, const char* nativePath) {
    return nativePath != nullptr && nativePath[0] != '\0' && ZQI_NativeRemoveFolder(nativePath);
}

bool WindowsPOSIXSystem::DeleteFile(SchemeId, const char* nativePath) {
    return nativePath != nullptr && nativePath[0] != '\0' && ZQI_NativeRemoveFile(nativePath);
}

bool WindowsPOSIXSystem::ReplaceFile(SchemeId, const char* nativeSource, const char* nativeTarget,
                                     bool exchange) {
    return nativeSource != nullptr && nativeSource[0] != '\0' && nativeTarget != nullptr &&
           nativeTarget[0] != '\0' && ZQI_NativeReplaceFile(nativeSource, nativeTarget, exchange);
}

bool WindowsPOSIXSystem::MoveToFreePath(SchemeId, const char* nativeSource, const char* nativeTarget) {
    return nativeSource != nullptr && nativeSource[0] != '\0' && nativeTarget != nullptr &&
           nativeTarget[0] != '\0' && ZQI_NativeMoveToFreePath(nativeSource, nativeTarget);
}

bool WindowsPOSIXSystem::FileExists(SchemeId scheme, const char* nativePath) {
    if (nativePath == nullptr || nativePath[0] == '\0') {
        return false;
    }
    return ExistsInArchive(scheme, nativePath) || IsNativeRegularFile(nativePath) ||
           ZQI_NativeHasFileAttributes(nativePath);
}

void WindowsPOSIXSystem::FindFiles(SchemeId scheme, const char* virtualFolder, const char* nativeFolder,
                                   const Array<String>& wildcards, bool recursive, Array<String>& out) {
    POSIXSystem::FindFiles(scheme, virtualFolder, nativeFolder, wildcards, recursive, out);
    if (nativeFolder == nullptr || nativeFolder[0] == '\0') {
        return;  // no root folder: "/" alone would list the top of the drive
    }
    String folder = String::FromFormat("%s/", nativeFolder);
    ZQI_ListNativeFiles(scheme, virtualFolder, folder.CStr(), wildcards, recursive, out);
}

}  // namespace ZQFileSystem
