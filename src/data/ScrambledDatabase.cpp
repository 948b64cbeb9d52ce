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

namespace {

// A text byte's shift, key[i mod 13] + i (mod 256), repeats every 13 * 256 bytes: one table of
// that period replaces the key index and the byte index of every step. The table also holds
// each step's index within the period for the checksum, whose terms then fit 16-bit operands.
const int32_t kShiftPeriod = SCRAMBLED_MARKER_LENGTH * 256;

struct ShiftTable {
    uint8_t shift[kShiftPeriod];
    int16_t index[kShiftPeriod];
};

const ShiftTable& Shifts() {
    static const ShiftTable table = [] {
        ShiftTable made;
        for (int32_t j = 0; j < kShiftPeriod; ++j) {
            made.shift[j] = static_cast<uint8_t>(kScrambledDatabaseMarker[j % SCRAMBLED_MARKER_LENGTH] + j);
            made.index[j] = static_cast<int16_t>(j);
        }
        return made;
    }();
    return table;
}

// Scrambles count (at most one period) bytes in place, starting at a multiple of the period;
// adds the signed stored bytes to *byteSum and each times its index in the period to *indexSum.
// Plain loops over 8- and 16-bit values, which compilers turn into vector code.
void ScrambleStretch(uint8_t* bytes, int32_t count, const ShiftTable& table, int32_t* byteSum,
                     int32_t* indexSum) {
    int32_t sum = 0;
    int32_t weighted = 0;  // below 128 * 3328 * 3328 / 2 in magnitude
    for (int32_t j = 0; j < count; ++j) {
        uint8_t stored = static_cast<uint8_t>(bytes[j] - table.shift[j]);
        bytes[j] = stored;
        int16_t value = static_cast<int8_t>(stored);
        sum += value;
        weighted += static_cast<int32_t>(value) * static_cast<int32_t>(table.index[j]);
    }
    *byteSum = sum;
    *indexSum = weighted;
}

}  // namespace

void ZQI_ScrambleDatabaseImageInPlace(uint8_t* image, int32_t length) {
    const ShiftTable& table = Shifts();
    uint8_t* payload = image + SCRAMBLED_HEADER_SIZE;
    uint32_t checksum = 0;
    for (int32_t base = 0; base < length; base += kShiftPeriod) {
        int32_t count = length - base < kShiftPeriod ? length - base : kShiftPeriod;
        int32_t byteSum = 0;
        int32_t indexSum = 0;
        ScrambleStretch(payload + base, count, table, &byteSum, &indexSum);
        // The sum of s * (base + j) over the stretch, in 32-bit wrap-around arithmetic.
        checksum +=
            static_cast<uint32_t>(base) * static_cast<uint32_t>(byteSum) + static_cast<uint32_t>(indexSum);
    }
    memcpy(image, kScrambledDatabaseMarker, SCRAMBLED_MARKER_LENGTH + 1);  // with its 0 byte
    WriteU32LE(image + 14, static_cast<uint32_t>(length));
    WriteU32LE(image + 18, checksum);
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
    if (length > 0) {
        memcpy(block + SCRAMBLED_HEADER_SIZE, text, static_cast<size_t>(length));
    }
    ZQI_ScrambleDatabaseImageInPlace(block, length);
    *image = block;
    *size = total;
    return true;
}
