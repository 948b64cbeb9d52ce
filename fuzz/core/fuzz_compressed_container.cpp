// Fuzz target for the "ostc" container reader: any input must give a buffer of exactly the
// stored length or null, never a crash or an over-read; whatever decompresses must survive a
// second round trip unchanged.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "core/Buffer.h"

namespace {

uint32_t StoredLength(const uint8_t* data) {
    return static_cast<uint32_t>(data[4]) | static_cast<uint32_t>(data[5]) << 8 |
           static_cast<uint32_t>(data[6]) << 16 | static_cast<uint32_t>(data[7]) << 24;
}

void CheckRoundTrip(const zq_buffer_t* unpacked) {
    if (unpacked->size == 0) {
        return;  // CompressBuffer refuses empty input
    }
    zq_buffer_t* packed = ZQ_CompressBuffer(unpacked->data, unpacked->size);
    if (packed == nullptr) {
        abort();
    }
    zq_buffer_t* again = ZQ_DecompressBuffer(packed->data, packed->size);
    if (again == nullptr || again->size != unpacked->size ||
        memcmp(again->data, unpacked->data, unpacked->size) != 0) {
        abort();
    }
    ZQ_FreeBuffer(again);
    ZQ_FreeBuffer(packed);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > UINT32_MAX) {
        return 0;
    }
    const uint32_t length = static_cast<uint32_t>(size);
    const bool looksValid = ZQ_IsCompressedBuffer(data, length);
    zq_buffer_t* unpacked = ZQ_DecompressBuffer(data, length);
    if (unpacked == nullptr) {
        return 0;
    }
    if (!looksValid || unpacked->size != StoredLength(data)) {
        abort();
    }
    CheckRoundTrip(unpacked);
    ZQ_FreeBuffer(unpacked);
    return 0;
}
