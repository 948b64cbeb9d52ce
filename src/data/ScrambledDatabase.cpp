// Scrambling and unscrambling of database files (see ScrambledDatabase.h).
#include "data/ScrambledDatabase.h"

#include <cstdlib>
#include <cstring>

const char kScrambledDatabaseMarker[] = "PLUMB_WAXWING";

namespace {

uint32_t ReadU32LE(const uint8_t* p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

void WriteU32LE(uint8_t* p, uint32_t value) {
    p[0] = static_cast<uint8_t>(value);
    p[1] = static_cast<uint8_t>(value >> 8);
    p[2] = static_cast<uint8_t>(value >> 16);
    p[3] = static_cast<uint8_t>(value >> 24);
}

// The checksum term of stored byte s at index i: s as a signed 8-bit value times i, in 32-bit
// wrap-around arithmetic (computed unsigned, so large files do not overflow a signed int).
uint32_t ChecksumTerm(uint8_t s, int32_t i) {
    int32_t signedByte = static_cast<int8_t>(s);
    return static_cast<uint32_t>(signedByte) * static_cast<uint32_t>(i);
}

}  // namespace

bool ZQI_IsScrambledDatabaseImage(const uint8_t* image, int64_t size) {
    return image != nullptr && size >= SCRAMBLED_HEADER_SIZE &&
           memcmp(image, kScrambledDatabaseMarker, SCRAMBLED_MARKER_LENGTH + 1) == 0;
}

bool ZQI_UnscrambleDatabaseImage(const uint8_t* image, int64_t size, uint8_t** text, int32_t* length) {
    *text = nullptr;
    *length = 0;
    if (!ZQI_IsScrambledDatabaseImage(image, size)) {
        return false;
    }
    int32_t payloadLength = static_cast<int32_t>(ReadU32LE(image + 14));
    uint32_t storedChecksum = ReadU32LE(image + 18);
    if (payloadLength < 0 || size != SCRAMBLED_HEADER_SIZE + static_cast<int64_t>(payloadLength)) {
        return false;
    }
    uint8_t* plain = static_cast<uint8_t*>(malloc(static_cast<size_t>(payloadLength) + 1));
    if (plain == nullptr) {
        return false;
    }
    const uint8_t* payload = image + SCRAMBLED_HEADER_SIZE;
    uint32_t checksum = 0;
    int32_t keyIndex = 0;  // i % SCRAMBLED_MARKER_LENGTH, without a division per byte
    for (int32_t i = 0; i < payloadLength; ++i) {
        uint8_t s = payload[i];
        checksum += ChecksumTerm(s, i);
        uint8_t key = static_cast<uint8_t>(kScrambledDatabaseMarker[keyIndex]);
        keyIndex = keyIndex + 1 < SCRAMBLED_MARKER_LENGTH ? keyIndex + 1 : 0;
        plain[i] = static_cast<uint8_t>(s + key + static_cast<uint32_t>(i));
    }
    if (checksum != storedChecksum) {
        free(plain);
        return false;
    }
    plain[payloadLength] = 0;
    *text = plain;
    *length = payloadLength;
    return true;
}

bool ZQI_ScrambleDatabaseText(const uint8_t* text, int32_t length, uint8_t** image, int32_t* size) {
    *image = nullptr;
    *size = 0;
    if (length < 0 || length > INT32_MAX - SCRAMBLED_HEADER_SIZE) {
        return false;
    }
    int32_t total = SCRAMBLED_HEADER_SIZE + length;
    uint8_t* block = static_cast<uint8_t*>(malloc(static_cast<size_t>(total)));
    if (block == nullptr) {
        return false;
    }
    memcpy(block, kScrambledDatabaseMarker, SCRAMBLED_MARKER_LENGTH + 1);  // with its 0 byte
    uint8_t* payload = block + SCRAMBLED_HEADER_SIZE;
    uint32_t checksum = 0;
    int32_t keyIndex = 0;
    for (int32_t i = 0; i < length; ++i) {
        uint8_t key = static_cast<uint8_t>(kScrambledDatabaseMarker[keyIndex]);
        keyIndex = keyIndex + 1 < SCRAMBLED_MARKER_LENGTH ? keyIndex + 1 : 0;
        uint8_t s = static_cast<uint8_t>(text[i] - key - static_cast<uint32_t>(i));
        payload[i] = s;
        checksum += ChecksumTerm(s, i);
    }
    WriteU32LE(block + 14, static_cast<uint32_t>(length));
    WriteU32LE(block + 18, checksum);
    *image = block;
    *size = total;
    return true;
}
