// The scrambled form of a database file: a 22-byte header (the 13-character marker, a 0 byte,
// the i32 payload length L and a u32 checksum, little-endian) followed by the XML text with each
// byte shifted by the marker and its own index. It keeps casual readers from editing local saves
// (such as the local leaderboards); it is not encryption.
#pragma once

#include <cstdint>

// The marker, which is also the scramble key.
extern const char kScrambledDatabaseMarker[];
enum { SCRAMBLED_MARKER_LENGTH = 13, SCRAMBLED_HEADER_SIZE = 22 };

// True when image holds at least a header and begins with the marker and a 0 byte.
bool ZQI_IsScrambledDatabaseImage(const uint8_t* image, int64_t size);
// The plain text of a scrambled image: a malloc'd block of L bytes plus a NUL in *text, L in
// *length. False (nothing allocated) when the image is not exactly 22 + L bytes, the checksum
// does not match, or memory runs out.
bool ZQI_UnscrambleDatabaseImage(const uint8_t* image, int64_t size, uint8_t** text, int32_t* length);
// The scrambled image of length bytes of text: a malloc'd block of 22 + length bytes in *image,
// its size in *size. False when memory runs out or the image would not fit in 32 bits.
bool ZQI_ScrambleDatabaseText(const uint8_t* text, int32_t length, uint8_t** image, int32_t* size);
// Turns a block of 22 + length bytes whose last length bytes hold the text into the scrambled
// image, in one pass and without a copy: the text becomes the payload and the header is written
// over the first 22 bytes.
void ZQI_ScrambleDatabaseImageInPlace(uint8_t* image, int32_t length);
