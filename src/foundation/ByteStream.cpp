// ByteStream.
#include "foundation/ByteStream.h"

#include <cstdarg>
#include <cstdlib>
#include <cstring>

#include "foundation/FoundationHooks.h"

namespace {

// Refused writes and reads are logged at level 2; the text names the operation.
void ReportStreamFailure(const char* format, ...) ZQ_PRINTF_LIKE(1, 2);
void ReportStreamFailure(const char* format, ...) {
    String message;
    va_list args;
    va_start(args, format);
    message.FormatV(format, args);
    va_end(args);
    ZQI_GetErrorReportSink().log(2, message.CStr());
}

}  // namespace

ByteStream::ByteStream() : data(nullptr), size(0), capacity(0), readPosition(0), bigEndian(0), external(0) {}

ByteStream::ByteStream(const ByteStream& source)
    : data(nullptr),
      size(source.size),
      capacity(0),
      readPosition(source.readPosition),
      bigEndian(source.bigEndian),
      external(source.external) {
    if (external) {
        data = source.data;
        capacity = source.capacity;
    } else if (size > 0) {
        data = static_cast<uint8_t*>(malloc(static_cast<size_t>(size)));
        if (data != nullptr) {
            memcpy(data, source.data, static_cast<size_t>(size));
            capacity = size;
        } else {
            size = 0;  // out of memory: an empty copy
            readPosition = 0;
        }
    }
}

ByteStream::~ByteStream() {
    if (!external) {
        free(data);
    }
    data = nullptr;
}

void ByteStream::WrapExternal(void* memory, int32_t bytes) {
    if (!external) {
        free(data);
    }
    data = static_cast<uint8_t*>(memory);
    size = bytes;
    capacity = bytes;
    readPosition = 0;
    external = 1;
}

bool ByteStream::Write(const void* bytes, int32_t n) {
    if (n <= 0) {
        if (n < 0) {
            ReportStreamFailure("ByteStream::Write: negative byte count %d (size %d, capacity %d).", n, size,
                                capacity);
        }
        return n == 0;
    }
    int64_t needed = static_cast<int64_t>(size) + n;
    if (needed > capacity) {
        if (external) {
            ReportStreamFailure(
                "ByteStream::Write: %d bytes do not fit the external memory (size %d, capacity %d).", n, size,
                capacity);
            return false;
        }
        if (2 * needed > INT32_MAX) {
            ReportStreamFailure(
                "ByteStream::Write: %d more bytes would exceed the largest stream (size %d, capacity %d).", n,
                size, capacity);
            return false;
        }
        int32_t newCapacity = static_cast<int32_t>(2 * needed);
        uint8_t* block = static_cast<uint8_t*>(realloc(data, static_cast<size_t>(newCapacity)));
        if (block == nullptr) {
            ReportStreamFailure("ByteStream::Write: out of memory growing to %d bytes (size %d, adding %d).",
                                newCapacity, size, n);
            return false;
        }
        data = block;
        capacity = newCapacity;
    }
    memcpy(data + size, bytes, static_cast<size_t>(n));
    size += n;
    return true;
}

bool ByteStream::WriteU32(uint32_t value) {
    uint8_t bytes[4];
    if (bigEndian) {
        bytes[0] = static_cast<uint8_t>(value >> 24);
        bytes[1] = static_cast<uint8_t>(value >> 16);
        bytes[2] = static_cast<uint8_t>(value >> 8);
        bytes[3] = static_cast<uint8_t>(value);
    } else {
        bytes[0] = static_cast<uint8_t>(value);
        bytes[1] = static_cast<uint8_t>(value >> 8);
        bytes[2] = static_cast<uint8_t>(value >> 16);
        bytes[3] = static_cast<uint8_t>(value >> 24);
    }
    return Write(bytes, 4);
}

bool ByteStream::WriteString(const char* text) {
    if (text == nullptr) {
        uint8_t zero = 0;
        return Write(&zero, 1);
    }
    return Write(text, static_cast<int32_t>(strlen(text)) + 1);
}

bool ByteStream::ReadU32(uint32_t* value) {
    if (readPosition < 0 || static_cast<int64_t>(readPosition) + 4 > size) {
        ReportStreamFailure("ByteStream::ReadU32: fewer than 4 bytes left at %d (size %d, capacity %d).",
                            readPosition, size, capacity);
        return false;
    }
    const uint8_t* b = data + readPosition;
    if (bigEndian) {
        *value = (uint32_t(b[0]) << 24) | (uint32_t(b[1]) << 16) | (uint32_t(b[2]) << 8) | b[3];
    } else {
        *value = (uint32_t(b[3]) << 24) | (uint32_t(b[2]) << 16) | (uint32_t(b[1]) << 8) | b[0];
    }
    readPosition += 4;
    return true;
}

String ByteStream::ReadString() {
    String result;
    if (readPosition >= size || readPosition < 0) {
        return result;
    }
    char text[2048];
    int32_t taken = 0;
    while (readPosition + taken < size && taken < 2047 && data[readPosition + taken] != 0) {
        text[taken] = static_cast<char>(data[readPosition + taken]);
        ++taken;
    }
    text[taken] = '\0';
    readPosition += taken;
    // Past the NUL when it lies inside the written bytes. After 2047 characters the read
    // position stays on the next (unread) byte, so a longer text continues in the next read.
    if (readPosition < size && data[readPosition] == 0) {
        ++readPosition;
    }
    result.Assign(text);
    return result;
}
