// Byte buffers and the "ostc" compressed container. Failures answer null or false without a log
// line: the program probes arbitrary blobs with these calls, and a wrong guess is not an error.
#include "core/Buffer.h"

#include <cstdlib>
#include <cstring>

#include <zlib.h>

namespace {

const unsigned char kContainerMagic[4] = {'o', 's', 't', 'c'};

// Room the compressor may use beyond the input's own length, and what the buffer reserves
// beyond that for the header.
const uint32_t kCompressionSlack = 512;
const uint32_t kCompressBufferSlack = kCompressionSlack + 12;

// Deflate cannot expand data by more than 1032:1 (a 258-byte match coded in two bits). A header
// that claims more than that for its stream is lying; refusing it early keeps a 13-byte input
// from making us allocate gigabytes before the stream proves it short.
const uint64_t kMaxInflateRatio = 1032;

uint32_t ReadLittleEndian32(const unsigned char* bytes) {
    return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
           static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

void WriteLittleEndian32(unsigned char* bytes, uint32_t value) {
    bytes[0] = static_cast<unsigned char>(value);
    bytes[1] = static_cast<unsigned char>(value >> 8);
    bytes[2] = static_cast<unsigned char>(value >> 16);
    bytes[3] = static_cast<unsigned char>(value >> 24);
}

bool IsPlausibleInflatedLength(uint32_t storedLength, uint32_t streamLength) {
    return static_cast<uint64_t>(storedLength) <=
           static_cast<uint64_t>(streamLength) * kMaxInflateRatio + kMaxInflateRatio;
}

}  // namespace

zq_buffer_t* ZQ_CreateBuffer(int32_t size) {
    zq_buffer_t* buffer = static_cast<zq_buffer_t*>(calloc(1, sizeof(zq_buffer_t)));
    if (buffer == nullptr) {
        return nullptr;
    }
    if (size >= 1) {
        buffer->data = static_cast<uint8_t*>(malloc(static_cast<size_t>(size)));
        if (buffer->data != nullptr) {
            buffer->size = static_cast<uint32_t>(size);
            buffer->capacity = static_cast<uint32_t>(size);
        }
    }
    return buffer;
}

void ZQ_FreeBuffer(zq_buffer_t* buffer) {
    if (buffer == nullptr) {
        return;
    }
    free(buffer->data);
    free(buffer);
}

zq_buffer_t* ZQ_CompressBuffer(const void* data, uint32_t length) {
    if (data == nullptr || length == 0) {
        return nullptr;
    }
    // The record's size is signed at creation; an input this close to 2 GiB cannot be packed.
    const uint64_t capacity = static_cast<uint64_t>(length) + kCompressBufferSlack;
    if (capacity > static_cast<uint64_t>(INT32_MAX)) {
        return nullptr;
    }
    zq_buffer_t* buffer = ZQ_CreateBuffer(static_cast<int32_t>(capacity));
    if (buffer == nullptr || buffer->data == nullptr) {
        ZQ_FreeBuffer(buffer);
        return nullptr;
    }
    memcpy(buffer->data, kContainerMagic, sizeof kContainerMagic);

    // uLongf is only 32 bits on Windows; every length here fits in it.
    uLongf streamLength = static_cast<uLongf>(length) + kCompressionSlack;
    const int result =
        compress2(buffer->data + ZQI_CONTAINER_HEADER_SIZE, &streamLength, static_cast<const Bytef*>(data),
                  static_cast<uLong>(length), Z_BEST_COMPRESSION);
    if (result != Z_OK) {
        ZQ_FreeBuffer(buffer);
        return nullptr;
    }
    WriteLittleEndian32(buffer->data + 4, length);
    WriteLittleEndian32(buffer->data + 8, static_cast<uint32_t>(streamLength));
    buffer->size = static_cast<uint32_t>(streamLength) + ZQI_CONTAINER_HEADER_SIZE;
    return buffer;
}

bool ZQ_IsCompressedBuffer(const void* data, uint32_t length) {
    if (data == nullptr || length < ZQI_CONTAINER_HEADER_SIZE + 1) {
        return false;
    }
    const unsigned char* bytes = static_cast<const unsigned char*>(data);
    return memcmp(bytes, kContainerMagic, sizeof kContainerMagic) == 0 &&
           ReadLittleEndian32(bytes + 8) == length - ZQI_CONTAINER_HEADER_SIZE;
}

zq_buffer_t* ZQ_DecompressBuffer(const void* container, uint32_t length) {
    if (!ZQ_IsCompressedBuffer(container, length)) {
        return nullptr;
    }
    const unsigned char* bytes = static_cast<const unsigned char*>(container);
    const uint32_t storedLength = ReadLittleEndian32(bytes + 4);
    const uint32_t streamLength = length - ZQI_CONTAINER_HEADER_SIZE;
    // The buffer's size is made from the stored length taken as signed, so a length at or above
    // 2 GiB can never be matched.
    if (storedLength > static_cast<uint32_t>(INT32_MAX) ||
        !IsPlausibleInflatedLength(storedLength, streamLength)) {
        return nullptr;
    }
    zq_buffer_t* buffer = ZQ_CreateBuffer(static_cast<int32_t>(storedLength));
    if (buffer == nullptr || (storedLength > 0 && buffer->data == nullptr)) {
        ZQ_FreeBuffer(buffer);
        return nullptr;
    }
    // uncompress answers Z_OK only when the stream ended; Z_BUF_ERROR when it had more to give
    // than the stored length, Z_DATA_ERROR for corrupt or truncated input or a preset dictionary.
    uLongf inflatedLength = storedLength;
    const int result =
        uncompress(buffer->data, &inflatedLength, bytes + ZQI_CONTAINER_HEADER_SIZE, streamLength);
    if (result != Z_OK || inflatedLength != storedLength) {
        ZQ_FreeBuffer(buffer);
        return nullptr;
    }
    buffer->size = storedLength;
    return buffer;
}
