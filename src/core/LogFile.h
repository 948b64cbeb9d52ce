// How the log reaches its file: a small table of file operations over virtual paths
// ("logs://name.log"). The default maps a virtual path to the part after "://" in the working
// directory with C stdio; once the file system runs, its operations replace the table.
#pragma once

#include <cstdint>

#include "foundation/Compiler.h"

struct ZQI_LogFileOps {
    // True when a file of that virtual path exists.
    bool (*exists)(const char* path);
    // Opens with mode "w" (truncate) or "a" (append); null on failure.
    void* (*open)(const char* path, const char* mode);
    // Writes length bytes; returns the bytes written.
    int32_t (*write)(void* file, const char* text, int32_t length);
    void (*flush)(void* file);
    void (*close)(void* file);
};

// Installs a table (copied). Null, or a null member, restores that default. Call it before other
// threads log.
void ZQI_SetLogFileOps(const ZQI_LogFileOps* ops);
// The installed table; every member is non-null.
const ZQI_LogFileOps& ZQI_GetLogFileOps();

// Formats and writes the text to an open log file; returns the bytes written.
int32_t ZQI_LogFilePrintf(void* file, const char* format, ...) ZQ_PRINTF_LIKE(2, 3);
