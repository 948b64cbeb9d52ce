// ByteStream: a growable byte buffer for building and reading serialised data:
// XML text being written, documents given in memory, save data with 32-bit values in a chosen
// byte order and NUL-terminated strings. It may wrap memory it does not own (external): such a
// stream is never grown or released, and copies share the memory. One thread at a time.
#pragma once

#include <cstdint>

#include "foundation/String.h"

class ByteStream {
public:
    // Fields in declared order.
    uint8_t* data;         // null until the first allocation
    int32_t size;          // bytes written
    int32_t capacity;      // bytes allocated
    int32_t readPosition;  // index of the next byte to read
    uint8_t bigEndian;     // 32-bit values most significant byte first
    uint8_t external;      // data is not owned: never grown or released

    ByteStream();  // every field zero
    // Copies size, readPosition, bigEndian and external. An external source's memory is shared;
    // otherwise the copy owns a new block of exactly size bytes (none when size is 0).
    ByteStream(const ByteStream& source);
    ByteStream& operator=(const ByteStream&) = delete;
    ~ByteStream();  // frees data unless external; data becomes null

    // Makes this stream an external view of memory holding size readable bytes (capacity = size,
    // read position 0). Releases owned data first.
    void WrapExternal(void* memory, int32_t size);

    // Appends n bytes. An owned stream that would overflow grows to 2 * (size + n). An external
    // stream never grows: a write that does not fit is refused (false, logged at level 2) and
    // nothing is written; so is a negative count or a failed allocation.
    bool Write(const void* bytes, int32_t n);
    // Appends 4 bytes: least significant first, or most significant first with bigEndian.
    bool WriteU32(uint32_t value);
    // Appends the text with its NUL; null appends one 0 byte.
    bool WriteString(const char* text);

    // Reads 4 bytes at readPosition in the stream's byte order; false (nothing read, logged at
    // level 2) when fewer than 4 written bytes remain.
    bool ReadU32(uint32_t* value);
    // The NUL-terminated text at readPosition: up to a NUL, the end of the written bytes or 2047
    // characters; readPosition moves past the characters and past a NUL inside the written
    // bytes. Empty at or past the end.
    String ReadString();
};
