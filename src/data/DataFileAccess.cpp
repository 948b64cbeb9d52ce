// Whole-file reads and writes of the data manager through the file-system API, so databases are
// named by virtual paths ("res://prog.xml", "user://leaderboards-db.xml") or by plain paths found
// along the search paths, and come out of archives as readily as out of folders.
#include "data/DataFileAccess.h"

#include <cstdarg>
#include <cstdlib>

#include "core/ApiTable.h"
#include "core/Log.h"
#include "filesystem/FileSystem.h"
#include "filesystem/FileSystemApi.h"
#include "filesystem/VirtualPath.h"
#include "foundation/String.h"

namespace {

// Through the record's Log slot, as every engine message goes; nothing before the tables exist.
void LogError(const char* format, ...) ZQ_PRINTF_LIKE(1, 2);
void LogError(const char* format, ...) {
    zq_api_t* api = ZQI_GetApi();
    if (api->Log == nullptr) {
        return;
    }
    char buffer[ZQI_FORMAT_BUFFER_SIZE];
    va_list args;
    va_start(args, format);
    char* text = ZQI_FormatToBuffer(buffer, format, args);
    va_end(args);
    api->Log(LOG_LEVEL_ERROR, "%s", text);
    if (text != buffer) {
        free(text);
    }
}

// Reads until count bytes are in or the file gives no more; the bytes read.
uint64_t ReadFully(zq_file_t* file, uint8_t* block, uint64_t count) {
    uint64_t got = 0;
    while (got < count) {
        uint64_t step = ZQ_FileSystem_ReadFile(block + got, count - got, file);
        if (step == 0) {
            break;
        }
        got += step;
    }
    return got;
}

// The whole open file in a new NUL-terminated block; null (logged) when it does not fit in a
// 32-bit size, cannot be held, or comes out shorter than it was at opening.
uint8_t* ReadOpenFile(const char* path, zq_file_t* file) {
    const uint64_t length = file->size;
    if (length >= static_cast<uint64_t>(INT32_MAX)) {
        LogError("ZQI_DataManagerReadWholeFile: '%s' is too large (%llu bytes).", path,
                 static_cast<unsigned long long>(length));
        return nullptr;
    }
    uint8_t* block = static_cast<uint8_t*>(malloc(static_cast<size_t>(length) + 1));
    if (block == nullptr) {
        LogError("ZQI_DataManagerReadWholeFile: out of memory for '%s'.", path);
        return nullptr;
    }
    uint64_t got = ReadFully(file, block, length);
    if (got != length) {
        LogError("ZQI_DataManagerReadWholeFile: read %llu of %llu bytes of '%s'.",
                 static_cast<unsigned long long>(got), static_cast<unsigned long long>(length), path);
        free(block);
        return nullptr;
    }
    block[length] = 0;
    return block;
}

}  // namespace

bool ZQI_DataManagerReadWholeFile(const char* path, uint8_t** bytes, int32_t* size) {
    *bytes = nullptr;
    *size = 0;
    if (path == nullptr || path[0] == '\0') {
        return false;
    }
    zq_file_t* file = ZQ_FileSystem_OpenFile(path, "rb");
    if (file == nullptr) {
        return false;  // the caller reports the file as not found
    }
    const uint64_t length = file->size;
    uint8_t* block = ReadOpenFile(path, file);
    ZQ_FileSystem_CloseFile(file);
    if (block == nullptr) {
        return false;
    }
    *bytes = block;
    *size = static_cast<int32_t>(length);
    return true;
}

zq_file_t* ZQI_DataManagerCreateFile(const char* path) {
    if (path == nullptr || path[0] == '\0') {
        return nullptr;
    }
    return ZQ_FileSystem_OpenFile(path, "wb");
}

zq_file_t* ZQI_DataManagerOpenForRewrite(const char* path) {
    if (path == nullptr || path[0] == '\0' || !ZQI_IsPathValid(path, false, false)) {
        return nullptr;
    }
    return ZQI_OpenFile(path, ZQFileSystem::FILE_MODE_REWRITE);
}

bool ZQI_DataManagerWriteAndClose(zq_file_t* file, const void* bytes, int32_t size) {
    if (file == nullptr) {
        return false;
    }
    const uint64_t wanted = size > 0 ? static_cast<uint64_t>(size) : 0;
    const uint64_t written = wanted > 0 ? ZQ_FileSystem_WriteFile(bytes, wanted, file) : 0;
    const bool ended = written == wanted && file->file->EndRewrite();
    // The writes only filled a buffer: a full disk shows when it is flushed or closed.
    const bool flushed = ZQI_FlushFile(file);
    const bool closed = ZQI_CloseFile(file);
    return ended && flushed && closed;
}

DataFileWriteResult ZQI_DataManagerWriteWholeFile(const char* path, const void* bytes, int32_t size) {
    zq_file_t* file = ZQI_DataManagerCreateFile(path);
    if (file == nullptr) {
        return DATA_FILE_OPEN_FAILED;
    }
    return ZQI_DataManagerWriteAndClose(file, bytes, size) ? DATA_FILE_WRITTEN : DATA_FILE_WRITE_FAILED;
}
