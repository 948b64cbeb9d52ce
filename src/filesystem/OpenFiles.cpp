// Opening and closing files through the API, the open-file list with its warning, and the
// handle slots (read, write, seek, flush, position).
#include <cstdlib>
#include <cstring>
#include <new>

#include "core/NamedMutex.h"
#include "filesystem/FileSystemApi.h"
#include "filesystem/FileSystemServices.h"
#include "filesystem/FileSystemTable.h"

using ZQFileSystem::File;
using ZQFileSystem::FileMode;
using ZQFileSystem::System;

namespace {

// From this many tracked handles on, each opening warns.
const int32_t kOpenFileWarningCount = 16;

Array<zq_file_t*> g_openFiles;

// The engine's own log files are opened and closed for every line; they are never tracked.
bool IsLogFilePath(const char* path) {
    return strstr(path, "zorqa-") != nullptr || strstr(path, ".log") != nullptr;
}

bool IsTracked(const char* path) {
    return ZQI_FileSystemIsCoreRunning() && !IsLogFilePath(path);
}

bool ModeFromText(const char* mode, FileMode& out) {
    char first = mode != nullptr ? mode[0] : '\0';
    if (first == 'a') {
        out = ZQFileSystem::FILE_MODE_APPEND;
    } else if (first == 'r') {
        out = ZQFileSystem::FILE_MODE_READ;
    } else if (first == 'w') {
        out = ZQFileSystem::FILE_MODE_WRITE;
    } else {
        return false;
    }
    return true;
}

void Track(zq_file_t* handle) {
    ZQI_LockCoreMutex(CORE_MUTEX_CORE_VARIABLE);
    g_openFiles.Push(handle);
    int32_t count = g_openFiles.count;
    ZQI_UnlockCoreMutex(CORE_MUTEX_CORE_VARIABLE);
    if (count >= kOpenFileWarningCount) {
        ZQI_FileSystemPopup(
            1, "File System OpenFile: %i files are open at the same time, last file opened is '%s'.", count,
            handle->path);
    }
}

void Untrack(zq_file_t* handle) {
    ZQI_LockCoreMutex(CORE_MUTEX_CORE_VARIABLE);
    g_openFiles.Remove(handle);
    ZQI_UnlockCoreMutex(CORE_MUTEX_CORE_VARIABLE);
}

bool IsWriteMode(FileMode mode) {
    return mode == ZQFileSystem::FILE_MODE_APPEND || mode == ZQFileSystem::FILE_MODE_WRITE ||
           mode == ZQFileSystem::FILE_MODE_REWRITE;
}

// Closes the file through its system and frees the handle; a failed close is logged when asked.
bool CloseAndRelease(zq_file_t* handle, bool reportFailure) {
    if (handle == nullptr || handle->file == nullptr) {
        return false;
    }
    if (handle->path != nullptr && IsTracked(handle->path)) {
        Untrack(handle);
    }
    File* file = handle->file;
    System* system = ZQI_GetFileSystem(file->scheme);
    const bool closed = system != nullptr && system->CloseFile(file);
    if (!closed && reportFailure) {
        ZQI_FileSystemLog(
            2,
            "ZQ_FileSystem_CloseFile: '%s' could not be closed by its file system; data written "
            "to it may be lost.",
            handle->path != nullptr ? handle->path : "");
    }
    free(handle->path);
    free(handle);
    return closed;
}

}  // namespace

zq_file_t* ZQI_OpenFile(const char* path, FileMode mode) {
    if (path == nullptr) {
        return nullptr;
    }
    SchemeId scheme = ZQI_GetSchemeId(path);
    if (IsWriteMode(mode) && scheme == SCHEME_RES && !ZQI_IsResourceWriteAllowed()) {
        return nullptr;
    }
    String nativePath;
    if (scheme == SCHEME_PLAIN) {
        ZQI_ResolveSearchPath(nativePath, path, scheme);
        if (nativePath.IsEmpty()) {
            return nullptr;
        }
    } else {
        if (!ZQI_IsTableScheme(scheme)) {
            return nullptr;
        }
        ConvertPathToNativePath(nativePath, scheme, path);
    }
    System* system = ZQI_GetFileSystem(scheme);
    if (system == nullptr) {
        return nullptr;
    }
    if (mode == ZQFileSystem::FILE_MODE_REWRITE && !system->rewritable) {
        mode = ZQFileSystem::FILE_MODE_WRITE;
    }
    File* file = system->OpenFile(scheme, nativePath.CStr(), mode);
    if (file == nullptr) {
        return nullptr;
    }
    zq_file_t* handle = static_cast<zq_file_t*>(malloc(sizeof(zq_file_t)));
    char* copy = ZQI_DuplicateString(path);
    if (handle == nullptr || copy == nullptr) {
        free(handle);
        free(copy);
        if (System* owner = ZQI_GetFileSystem(file->scheme)) {
            owner->CloseFile(file);
        }
        return nullptr;
    }
    handle->path = copy;
    handle->size = file->size;
    handle->file = file;
    return handle;
}

zq_file_t* ZQ_FileSystem_OpenFile(const char* path, const char* mode) {
    if (path == nullptr) {
        return nullptr;
    }
    if (!ZQI_IsPathValid(path, false, false)) {
        ZQI_FileSystemPopup(1, "File System %s: path '%s' is invalid, see IsPathValid() for more info.",
                            "OpenFile", path);
        return nullptr;
    }
    bool tracked = IsTracked(path);
    FileMode fileMode;
    if (!ModeFromText(mode, fileMode)) {
        if (tracked) {
            ZQI_FileSystemPopup(1, "File System OpenFile: mode is invalid, see OpenFile() for more info.");
        }
        return nullptr;
    }
    zq_file_t* handle = ZQI_OpenFile(path, fileMode);
    if (handle != nullptr && tracked) {
        Track(handle);
    }
    return handle;
}

void ZQ_FileSystem_CloseFile(zq_file_t* handle) {
    ZQI_CloseFile(handle);
}

bool ZQI_CloseFile(zq_file_t* handle) {
    return CloseAndRelease(handle, true);
}

bool ZQI_CloseFileQuietly(zq_file_t* handle) {
    return CloseAndRelease(handle, false);
}

uint64_t ZQ_FileSystem_ReadFile(void* buffer, uint64_t size, zq_file_t* handle) {
    if (handle == nullptr || handle->file == nullptr || buffer == nullptr) {
        return 0;
    }
    return handle->file->Read(buffer, size);
}

uint64_t ZQ_FileSystem_WriteFile(const void* buffer, uint64_t size, zq_file_t* handle) {
    if (handle == nullptr || handle->file == nullptr || buffer == nullptr) {
        return 0;
    }
    return handle->file->Write(buffer, size);
}

void ZQ_FileSystem_SeekFile(zq_file_t* handle, int64_t offset, int32_t origin) {
    if (handle != nullptr && handle->file != nullptr) {
        handle->file->Seek(offset, origin);
    }
}

void ZQ_FileSystem_FlushFile(zq_file_t* handle) {
    ZQI_FlushFile(handle);
}

bool ZQI_FlushFile(zq_file_t* handle) {
    return handle != nullptr && handle->file != nullptr && handle->file->Flush();
}

uint64_t ZQ_FileSystem_GetFilePosition(zq_file_t* handle) {
    return handle != nullptr && handle->file != nullptr ? handle->file->Tell() : 0;
}

int32_t ZQI_GetOpenFileCount() {
    ZQI_LockCoreMutex(CORE_MUTEX_CORE_VARIABLE);
    int32_t count = g_openFiles.count;
    ZQI_UnlockCoreMutex(CORE_MUTEX_CORE_VARIABLE);
    return count;
}

void ZQI_LogFilesLeftOpen() {
    ZQI_LockCoreMutex(CORE_MUTEX_CORE_VARIABLE);
    ZQI_FileSystemLog(1, "%d files left open..", g_openFiles.count);
    for (zq_file_t* handle : g_openFiles) {
        ZQI_FileSystemLog(1, "File '%s' left open.", handle->path);
    }
    ZQI_UnlockCoreMutex(CORE_MUTEX_CORE_VARIABLE);
}
