// The data manager's only contact with storage: reading a whole file and writing a whole file,
// both through the engine's file-system API. Everything else (parsing, writing XML) works on
// memory.
#pragma once

#include <cstdint>

// Reads the whole file at path (a virtual path such as "res://prog.xml", or a plain path found
// along the search paths) through ZQ_FileSystem_OpenFile with mode "rb", into a malloc'd block
// one byte longer than the file, ending with NUL; *bytes gets the block (the caller frees it)
// and *size the file size. False, with *bytes null and *size 0, when the file cannot be opened
// or read, or is too large for a 32-bit size (the last two are logged; a missing file is left
// for the caller to report).
bool ZQI_DataManagerReadWholeFile(const char* path, uint8_t** bytes, int32_t* size);

enum DataFileWriteResult : int32_t {
    DATA_FILE_WRITTEN = 0,      // every byte was handed to the file and the file closed
    DATA_FILE_OPEN_FAILED = 1,  // the file could not be opened for writing ("wb")
    DATA_FILE_WRITE_FAILED = 2  // opened, but not every byte reached the file
};

// Creates or truncates the file at path through ZQ_FileSystem_OpenFile with mode "wb" and
// writes size bytes to it.
DataFileWriteResult ZQI_DataManagerWriteWholeFile(const char* path, const void* bytes, int32_t size);

// The two halves of ZQI_DataManagerWriteWholeFile, for a writer that must know the file opened
// before it makes what goes into it. Null when the file cannot be opened ("wb").
struct zq_file_t* ZQI_DataManagerCreateFile(const char* path);
// As ZQI_DataManagerCreateFile for rewriting: the file keeps its storage and ends where the
// writing ended once closed (FILE_MODE_REWRITE); on systems that cannot, it is emptied as usual.
struct zq_file_t* ZQI_DataManagerOpenForRewrite(const char* path);
// Writes size bytes to a file from ZQI_DataManagerCreateFile or ZQI_DataManagerOpenForRewrite,
// ends it there (File::EndRewrite), flushes and closes it (always); true only when every byte was
// written, the file ends after them, and the flush and the close succeeded.
bool ZQI_DataManagerWriteAndClose(struct zq_file_t* file, const void* bytes, int32_t size);
