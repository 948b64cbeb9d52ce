// The table of file systems and the file-system start-up: roots, systems, and handing the
// engine API, the log and the foundation helpers their way to files.
#include "filesystem/FileSystemTable.h"

#include <new>

#include "core/ApiTable.h"
#include "core/LogFile.h"
#include "filesystem/FileSystemApi.h"
#include "filesystem/FileSystemServices.h"
#include "filesystem/HTTPSystem.h"
#include "filesystem/MemorySystem.h"
#include "filesystem/MountSystem.h"
#include "filesystem/SchemeRoots.h"
#include "filesystem/SearchPaths.h"
#include "filesystem/WindowsPOSIXSystem.h"
#include "foundation/FoundationHooks.h"

using ZQFileSystem::System;

namespace {

System* g_systems[SCHEME_TABLE_SIZE];
bool g_resourceWriteAllowed = false;
bool g_saveRootCreated = false;

// ---- The log's file operations over the API (log files are never in the open-file list)
// --------------------------------------------------

bool LogFileExists(const char* path) {
    return ZQ_FileSystem_FileExists(path);
}

// Quiet: a refusal here must not raise a popup, since a popup is logged, and logging would
// open the log file again.
void* LogFileOpen(const char* path, const char* mode) {
    if (!ZQI_IsPathValid(path, true, false) || mode == nullptr) {
        return nullptr;
    }
    if (mode[0] == 'w') {
        return ZQI_OpenFile(path, ZQFileSystem::FILE_MODE_WRITE);
    }
    return mode[0] == 'a' ? ZQI_OpenFile(path, ZQFileSystem::FILE_MODE_APPEND) : nullptr;
}

int32_t LogFileWrite(void* file, const char* text, int32_t length) {
    if (length <= 0) {
        return 0;
    }
    return static_cast<int32_t>(
        ZQ_FileSystem_WriteFile(text, static_cast<uint64_t>(length), static_cast<zq_file_t*>(file)));
}

void LogFileFlush(void* file) {
    ZQ_FileSystem_FlushFile(static_cast<zq_file_t*>(file));
}

// Quiet as well: a close that fails is the log's own file failing, which the log cannot record.
void LogFileClose(void* file) {
    ZQI_CloseFileQuietly(static_cast<zq_file_t*>(file));
}

// ---- The foundation's file services over the API ----------------------------------------------

void CopySearchPaths(Array<String>* out) {
    ZQI_LockSearchPaths();
    for (const String& entry : ZQI_GetSearchPathList()) {
        out->Push(entry);
    }
    ZQI_UnlockSearchPaths();
}

uint64_t WriteThroughApi(const void* buffer, uint64_t size, zq_file_t* file) {
    return ZQ_FileSystem_WriteFile(buffer, size, file);
}

void ConnectOtherSubsystems() {
    // Registered for later rebuilds of the tables (which would bring the stand-ins back), and
    // installed now into the record as it is. The slots stay safe after the systems are gone:
    // every file operation then finds no system and fails as for a missing file.
    ZQI_RegisterApiTableFiller(ZQI_InstallFileSystemApi);
    ZQI_InstallFileSystemApi(ZQI_GetApi());
    ZQI_LogFileOps logOps = {LogFileExists, LogFileOpen, LogFileWrite, LogFileFlush, LogFileClose};
    ZQI_SetLogFileOps(&logOps);
    ZQI_FileServiceHooks hooks = {CopySearchPaths, ZQ_FileSystem_FileExists, WriteThroughApi};
    ZQI_SetFileServiceHooks(&hooks);
}

void DisconnectOtherSubsystems() {
    ZQI_SetLogFileOps(nullptr);
    ZQI_SetFileServiceHooks(nullptr);
}

}  // namespace

bool ZQI_InitializeFileSystems() {
    ZQI_DestroyFileSystems();
    if (!ZQI_InitializeBasePaths()) {
        ZQI_FileSystemPopup(2, "File System: failed to initialize one or more critical base paths.");
    }
    ZQFileSystem::WindowsPOSIXSystem* native = new (std::nothrow) ZQFileSystem::WindowsPOSIXSystem(false);
    ZQFileSystem::WindowsPOSIXSystem* saveDisk = new (std::nothrow) ZQFileSystem::WindowsPOSIXSystem(true);
    ZQFileSystem::MountSystem* save =
        saveDisk != nullptr ? new (std::nothrow) ZQFileSystem::MountSystem(saveDisk) : nullptr;
    ZQFileSystem::HTTPSystem* http = new (std::nothrow) ZQFileSystem::HTTPSystem(native);
    ZQFileSystem::MemorySystem* memory = new (std::nothrow) ZQFileSystem::MemorySystem();
    if (native == nullptr || save == nullptr || http == nullptr || memory == nullptr) {
        ZQI_FileSystemLog(2, "ZQI_InitializeFileSystems: out of memory.");
        if (save == nullptr) {
            delete saveDisk;
        }
        delete native;
        delete save;
        delete http;
        delete memory;
        return false;
    }
    for (SchemeId id :
         {SCHEME_RES, SCHEME_CACHE, SCHEME_DOCS, SCHEME_LOGS, SCHEME_PROJECT, SCHEME_USER, SCHEME_UGC}) {
        g_systems[id] = native;
    }
    g_systems[SCHEME_HTTP] = http;
    g_systems[SCHEME_SAVE] = save;
    g_resourceWriteAllowed = true;
    g_systems[SCHEME_MEM] = memory;
    ConnectOtherSubsystems();
    return true;
}

void ZQI_DestroyFileSystems() {
    DisconnectOtherSubsystems();
    for (SchemeId id = 0; id < SCHEME_TABLE_SIZE; ++id) {
        System* system = g_systems[id];
        if (system == nullptr) {
            continue;
        }
        for (SchemeId later = id; later < SCHEME_TABLE_SIZE; ++later) {
            if (g_systems[later] == system) {
                g_systems[later] = nullptr;  // one system may serve several ids: delete it once
            }
        }
        delete system;
    }
    g_resourceWriteAllowed = false;
    g_saveRootCreated = false;
}

System* ZQI_GetFileSystem(SchemeId id) {
    return ZQI_IsTableScheme(id) ? g_systems[id] : nullptr;
}

void ZQI_SetFileSystem(SchemeId id, System* system) {
    if (ZQI_IsTableScheme(id)) {
        g_systems[id] = system;
    }
}

bool ZQI_IsResourceWriteAllowed() {
    return g_resourceWriteAllowed;
}

void ZQI_SetResourceWriteAllowed(bool allowed) {
    g_resourceWriteAllowed = allowed;
}

bool ZQI_WasSaveRootCreated() {
    return g_saveRootCreated;
}

void ZQI_SetSaveRootCreated(bool created) {
    g_saveRootCreated = created;
}
