// The log's file operations: the C stdio defaults over the working directory, and their
// replacement by the installed table.
#include "core/LogFile.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "foundation/String.h"

namespace {

// "logs://name.log" -> "name.log"; a path without a scheme stays as it is.
const char* NativePath(const char* path) {
    const char* schemeEnd = strstr(path, "://");
    return schemeEnd != nullptr ? schemeEnd + 3 : path;
}

bool StdioExists(const char* path) {
    FILE* file = fopen(NativePath(path), "rb");
    if (file == nullptr) {
        return false;
    }
    fclose(file);
    return true;
}

void* StdioOpen(const char* path, const char* mode) {
    // Binary, so Windows keeps the log's "\n" line ends as written.
    const char* binaryMode = mode[0] == 'w' ? "wb" : "ab";
    return fopen(NativePath(path), binaryMode);
}

int32_t StdioWrite(void* file, const char* text, int32_t length) {
    if (length <= 0) {
        return 0;
    }
    return static_cast<int32_t>(fwrite(text, 1, static_cast<size_t>(length), static_cast<FILE*>(file)));
}

void StdioFlush(void* file) {
    fflush(static_cast<FILE*>(file));
}

void StdioClose(void* file) {
    fclose(static_cast<FILE*>(file));
}

const ZQI_LogFileOps kStdioOps = {StdioExists, StdioOpen, StdioWrite, StdioFlush, StdioClose};
ZQI_LogFileOps g_ops = kStdioOps;

}  // namespace

void ZQI_SetLogFileOps(const ZQI_LogFileOps* ops) {
    g_ops = kStdioOps;
    if (ops == nullptr) {
        return;
    }
    if (ops->exists != nullptr) g_ops.exists = ops->exists;
    if (ops->open != nullptr) g_ops.open = ops->open;
    if (ops->write != nullptr) g_ops.write = ops->write;
    if (ops->flush != nullptr) g_ops.flush = ops->flush;
    if (ops->close != nullptr) g_ops.close = ops->close;
}

const ZQI_LogFileOps& ZQI_GetLogFileOps() {
    return g_ops;
}

int32_t ZQI_LogFilePrintf(void* file, const char* format, ...) {
    char buffer[ZQI_FORMAT_BUFFER_SIZE];
    va_list args;
    va_start(args, format);
    char* text = ZQI_FormatToBuffer(buffer, format, args);
    va_end(args);
    int32_t written = g_ops.write(file, text, static_cast<int32_t>(strlen(text)));
    if (text != buffer) {
        free(text);
    }
    return written;
}
