// Byte buffers of the engine API (zq_buffer_t) and the "ostc" compressed container: a 12-byte
// little-endian header (magic, uncompressed length, compressed length) followed by one zlib stream.
// Stateless; every function may be called from any thread.
#pragma once

#include <cstdint>

#include "zorqa.h"

// Size of the container header that precedes the zlib stream.
enum { ZQI_CONTAINER_HEADER_SIZE = 12 };

// A new zeroed buffer record. With size >= 1 it also owns a block of size bytes (size and
// capacity set to it); when that allocation fails, or size <= 0, the record comes back empty.
// Null only when the record itself cannot be allocated.
zq_buffer_t* ZQ_CreateBuffer(int32_t size);

// Frees the data block and the record; null is ignored.
void ZQ_FreeBuffer(zq_buffer_t* buffer);

// Packs length bytes into a container compressed at zlib level 9. Null for null data, length 0,
// or when the stream does not fit in length + 512 bytes.
zq_buffer_t* ZQ_CompressBuffer(const void* data, uint32_t length);

// True when data holds at least one stream byte after a header with the magic and whose
// compressed-length field matches the input length. The stream itself is not examined.
bool ZQ_IsCompressedBuffer(const void* data, uint32_t length);

// Unpacks a container into a new buffer of exactly the stored uncompressed length. Null when the
// header is wrong or the stream is corrupt, truncated, or inflates to any other length.
zq_buffer_t* ZQ_DecompressBuffer(const void* container, uint32_t length);
