// Compiled font files (".mft"): version 7 written, versions 6 and 7 read, 1 to 5 read by the
// legacy reader. Every value is little-endian. Reading checks every field against the bytes
// left, so a truncated or corrupt file is refused instead of read as garbage.
#pragma once

#include <cstddef>
#include <cstdint>

#include "fonts/Font.h"

// The bytes of a font file with a read position; every read checks the bytes left.
struct FontFileReader {
    const uint8_t* bytes;
    size_t size;
    size_t position;

    size_t Left() const { return size - position; }
    bool Read(void* out, size_t count);
    bool ReadU8(uint8_t* out);
    bool ReadU16(uint16_t* out);
    bool ReadI16(int16_t* out);
    bool ReadU32(uint32_t* out);
    bool ReadI32(int32_t* out);
    bool ReadF32(float* out);
    bool Skip(size_t count);
};

// The whole file at path (malloc'd, *size set); null when it cannot be opened or read.
uint8_t* ZQI_ReadWholeFile(const char* path, size_t* size);
// Opens the font's name and reads it into the font (encoding, metrics, distance values, glyphs).
bool ReadFontFile(zq_font_t* font);
// The same over a file image in memory; the font's name only names it in messages.
bool ZQI_ReadFontFromMemory(zq_font_t* font, const uint8_t* bytes, size_t size);
// Versions 1 to 5, with the reader just past the magic's NUL.
bool ReadLegacyFontFile(zq_font_t* font, FontFileReader& reader, int32_t version);
// Writes the font as version 7. False with "Failed to save font '%s'" when the file cannot be
// opened or written.
bool SaveFontFile(zq_font_t* font, const char* path);
// The version-7 file image (malloc'd, *size set); null when out of memory.
uint8_t* ZQI_WriteFontToMemory(zq_font_t* font, size_t* size);
