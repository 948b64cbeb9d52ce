// Services of other subsystems that foundation code calls, reached through hooks so the
// foundation depends on nothing above it. The core installs the error-report sink (ZQ_Log,
// ZQ_Popup, ZQ_IsDeveloperMode) and the file system installs the file services, both during
// start-up before other threads run; until then the defaults below apply.
#pragma once

#include <cstdint>

#include "foundation/Array.h"
#include "foundation/String.h"

// The program's file handle of the engine API; opaque here. zorqa.h must declare it
// with this tag (typedef struct zq_file_t ... zq_file_t;).
struct zq_file_t;

// Where foundation messages go. text is the finished message, not a format.
struct ZQI_ErrorReportSink {
    void (*log)(int32_t level, const char* text);    // ZQ_Log; default: "[LEVEL] text" to stderr
    void (*popup)(int32_t level, const char* text);  // ZQ_Popup; default: "[POPUP] text" to stderr
    bool (*isDeveloperMode)(void);                   // ZQ_IsDeveloperMode; default: false
};

// File-system services used by ZQI_FindFileInSearchPaths and ZQI_FilePrintf.
struct ZQI_FileServiceHooks {
    // Appends the search paths in order to out (ZQ_FileSystem_GetSearchPaths, then
    // ZQ_FreeStringList). Default: none.
    void (*getSearchPaths)(Array<String>* out);
    // ZQ_FileSystem_FileExists. Default: false.
    bool (*fileExists)(const char* path);
    // ZQ_FileSystem_WriteFile: bytes written. Default: 0.
    uint64_t (*writeFile)(const void* buffer, uint64_t size, zq_file_t* file);
};

// Installs a sink or hooks (copied). Null, or a null member, restores that default.
void ZQI_SetErrorReportSink(const ZQI_ErrorReportSink* sink);
void ZQI_SetFileServiceHooks(const ZQI_FileServiceHooks* hooks);

// The installed hooks; every member is non-null.
const ZQI_ErrorReportSink& ZQI_GetErrorReportSink();
const ZQI_FileServiceHooks& ZQI_GetFileServiceHooks();
