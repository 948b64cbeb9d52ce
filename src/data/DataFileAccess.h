// The data manager's only contact with storage: reading a whole file and writing a whole file.
// Everything else (parsing, writing XML) works on memory, so this is the one place to change
// when the reads and writes move onto the engine's file-system API.
#pragma once

#include <cstdint>

// Reads the whole file at path in binary mode into a malloc'd block one byte longer than the
// file, ending with NUL; *bytes gets the block (the caller frees it) and *size the file size.
// False, with *bytes null and *size 0, when the file cannot be opened or read, or is too large
// for a 32-bit size.
bool ZQI_DataManagerReadWholeFile(const char* path, uint8_t** bytes, int32_t* size);

enum DataFileWriteResult : int32_t {
    DATA_FILE_WRITTEN = 0,      // every byte was written and the file closed
    DATA_FILE_OPEN_FAILED = 1,  // the file could not be opened for writing ("wb")
    DATA_FILE_WRITE_FAILED = 2  // opened, but not every byte reached the file
};

// Creates or truncates the file at path (mode "wb") and writes size bytes to it.
DataFileWriteResult ZQI_DataManagerWriteWholeFile(const char* path, const void* bytes, int32_t size);
