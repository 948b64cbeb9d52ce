// Shared start of the audio fuzz targets: the API tables, the core mutexes and a memory file
// system, with logging quiet so the readers' popups cost nothing.
#pragma once

#include <cstddef>
#include <cstdint>

// Writes the bytes to a mem:// path (the file systems are set up on the first call).
void FuzzWriteMemoryFile(const char* path, const uint8_t* data, size_t size);
