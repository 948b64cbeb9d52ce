// The set of characters a generated font holds: translation strings (array "STRINGS" of a
// data-manager file: "from" or "id", and "to" in UTF-8), the base set 32..90, 97..122 and 160,
// the source's "additional_utf_characters" and the character-set words "latin1"/"latin-1",
// "polish" and "cyrillic" of its "INPUT" node's "character_sets".
#pragma once

#include <cstdint>

#include "fonts/Font.h"

struct DMArray;

// Replaces the font's glyph table with one empty glyph per wanted code point (ascending). A
// strings path beginning with '!' reads no file. False for a null font or path.
bool ZQI_CreateFontGlyphsArrayFromStrings(zq_font_t* font, const char* stringsPath, const DMArray* additional,
                                          const DMArray* settings);
// Decodes the first UTF-8 character of text; false for an empty text or a broken sequence.
bool ZQI_DecodeOneUTF8Character(const char* text, uint32_t* code);
