// Whole-file reads and writes of the data manager. The bodies use the C runtime on the path as
// given; when the file-system API is in place they become ZQ_FileSystem_OpenFile / ReadFile /
// WriteFile / CloseFile on the virtual path, with the same results.
#include "data/DataFileAccess.h"

#include <cstdio>
#include <cstdlib>

namespace {

// Size of an open stream, or -1 when it cannot be told or does not fit in 32 bits.
int64_t StreamSize(FILE* file) {
    if (fseek(file, 0, SEEK_END) != 0) {
        return -1;
    }
    long end = ftell(file);  // long is 32 bits on Windows: files of 2 GB and more fail here
    if (end < 0 || fseek(file, 0, SEEK_SET) != 0) {
        return -1;
    }
    return static_cast<int64_t>(end);
}

}  // namespace

bool ZQI_DataManagerReadWholeFile(const char* path, uint8_t** bytes, int32_t* size) {
    *bytes = nullptr;
    *size = 0;
    if (path == nullptr || path[0] == '\0') {
        return false;
    }
    FILE* file = fopen(path, "rb");
    if (file == nullptr) {
        return false;
    }
    int64_t length = StreamSize(file);
    if (length < 0 || length >= INT32_MAX) {
        fclose(file);
        return false;
    }
    uint8_t* block = static_cast<uint8_t*>(malloc(static_cast<size_t>(length) + 1));
    if (block == nullptr) {
        fclose(file);
        return false;
    }
    size_t got = fread(block, 1, static_cast<size_t>(length), file);
    fclose(file);
    if (got != static_cast<size_t>(length)) {
        free(block);
        return false;
    }
    block[length] = 0;
    *bytes = block;
    *size = static_cast<int32_t>(length);
    return true;
}

DataFileWriteResult ZQI_DataManagerWriteWholeFile(const char* path, const void* bytes, int32_t size) {
    if (path == nullptr || path[0] == '\0') {
        return DATA_FILE_OPEN_FAILED;
    }
    FILE* file = fopen(path, "wb");
    if (file == nullptr) {
        return DATA_FILE_OPEN_FAILED;
    }
    size_t wanted = size > 0 ? static_cast<size_t>(size) : 0;
    size_t written = wanted > 0 ? fwrite(bytes, 1, wanted, file) : 0;
    // fclose flushes: a full disk may only show here.
    bool closed = fclose(file) == 0;
    return (written == wanted && closed) ? DATA_FILE_WRITTEN : DATA_FILE_WRITE_FAILED;
}
