// The table of 32 fonts handed out by the graphics API, with reference counting by name under
// "GET_FONT", and the global TrueType font that start-up opens.
#pragma once

#include <cstdint>

#include "fonts/Font.h"

struct MemoryEstimates;

// GetFont (get = true: counted once per font) and LoadFont (counted on every call). Names
// starting with '!' are never counted. Null when all 32 slots are taken ("Out of free fonts.").
zq_font_t* ZQI_FONTS_GetOrLoadFont(const char* name, bool get);
// Frees the font's glyphs, atlas data and name; the slot becomes free (a free slot: nothing). The
// caller must not hold "GET_FONT": the release waits for the font's loader, refresh and readers
// without it (ZQI_BeginFontRelease, then ZQI_FinishFontRelease). A font still in the upload queue
// leaves it first, and a font the queue step is uploading is waited for.
void ZQI_FONTS_ReleaseFont(zq_font_t* font);
// The caller holds "GET_FONT", with which the font's last reference went: lookups pass the font
// over from now on. Logs "Releasing font '%s'..."; false for a free slot or a font whose release
// has begun already (nothing to finish then).
bool ZQI_BeginFontRelease(zq_font_t* font);
// Without "GET_FONT": waits until no other thread loads, refreshes or reads the font, frees it
// and frees the slot. A font the calling thread itself reads stays, found by name again (logged).
void ZQI_FinishFontRelease(zq_font_t* font);
// Slot i of the table (0..31); null outside.
zq_font_t* ZQI_GetFontSlot(int32_t index);
// The highest slot ever used plus one.
int32_t ZQI_GetFontUsedCount();
// Tests and shutdown: frees every font and resets the table to empty.
void ZQI_ResetFontTable();
// The fonts' part of the memory estimates: each loaded font's glyph atlas, read under the font's
// read hold; a font that is loading or changing counts nothing.
void ZQI_AddFontMemoryEstimates(MemoryEstimates* estimates);

// ---- Global TrueType font --------------------------------------------------------------------

struct FT_LibraryRec_;
struct FT_FaceRec_;

// Glyphs a font was found to lack (keyed like the glyph map).
struct MissingGlyphRecord {
    zq_font_t* font;
    FontGlyphTable* glyphs;
};

struct GlobalTrueTypeFont {
    Array<MissingGlyphRecord*> missing;
    uint8_t initialized;
    FT_LibraryRec_* library;
    FT_FaceRec_* face;
    char path[64];
    uint8_t* bytes;  // owned: the face reads from them
    int32_t length;
};

// The engine's one record.
GlobalTrueTypeFont* ZQI_GetGlobalFont();
// Opens "global.ttf", else "fonts/global.ttf", from memory with the Unicode map. False without a
// message when neither exists; false with a popup when FreeType refuses it.
bool InitializeGlobalFont(GlobalTrueTypeFont* record);
// Closes the face and the library and frees the bytes and the missing-glyph records.
void ZQI_ShutdownGlobalFont(GlobalTrueTypeFont* record);
// The record of font, appended (empty) when there is none; null when out of memory.
MissingGlyphRecord* FindMissingGlyphRecord(Array<MissingGlyphRecord*>& list, zq_font_t* font);
// The glyph stored for c; null when absent.
FontGlyph* IsGlyphMarkedMissing(const MissingGlyphRecord* record, uint32_t c);
// Renderer start and stop: the bitmaps of the glyphs held in the missing-glyph sets go to the GPU
// (those with pixels) and are freed from it.
void ZQI_UploadGlobalFontPages();
void ZQI_FreeGlobalFontPages();
