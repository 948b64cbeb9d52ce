// Font records: the font (zq_font_t) handed to the program, its glyphs (FontGlyph) and the glyph
// index (FontGlyphTable) that maps a code point, or a Latin-1 byte, to a glyph. The table of 32
// fonts and the global TrueType font live in FontTable.cpp.
#pragma once

#include <atomic>
#include <cstdint>

#include "fonts/FontHold.h"
#include "foundation/Array.h"
#include "zorqa.h"

// Font flag bits.
enum : uint8_t {
    FONT_FLAG_GET_COUNTED = 1,    // obtained through GetFont: counted once for all such calls
    FONT_FLAG_DISTANCE_FIELD = 2  // glyph alphas are signed distances (drawn with a threshold)
};

// Glyph bitmaps set bit 0 of zq_bitmap_t::flags when they own pixels.
enum : uint8_t { GLYPH_BITMAP_HAS_PIXELS = 1 };

// Atlas and glyph bitmap states (zq_bitmap_t::load_state).
enum : uint16_t { FONT_ATLAS_UPLOAD_PENDING = 2, FONT_ATLAS_UPLOADED = 3 };

enum { FONT_TABLE_SIZE = 32, FONT_KERNING_ROW = 256, FONT_DIRECT_GLYPHS = 2048 };

struct FontGlyph {
    float yOffset;      // from the line's top to the bitmap's top, in pixels
    int16_t xOffset;    // from the pen to the bitmap's left edge
    int16_t advance;    // pen advance
    int8_t* kerning;    // owned FONT_KERNING_ROW entries or null: added when the previous code was p
    zq_bitmap_t bitmap; // RGBA pixels; after packing also the glyph's place in the atlas
};

// One entry of the glyph map. Glyphs never move once inserted: the direct array and the
// program's FontGlyph pointers stay valid until the table is freed.
struct FontGlyphNode {
    uint32_t code;
    // A bucket holds a balanced search tree ordered by code point, not a chain: code points
    // chosen so that their hashes collide would otherwise make every insertion walk them all.
    FontGlyphNode* left;
    FontGlyphNode* right;
    int32_t height;  // of the subtree rooted here (1 for a leaf)
    FontGlyph glyph;
};

struct FontGlyphTable {
    FontGlyphNode** buckets;  // tree roots: FNV-1a of the code point's four bytes AND (bucketCount - 1)
    uint32_t bucketCount;     // a power of two, 8 at first; doubled when count passes it
    uint32_t count;
    uint64_t insertProbes;        // glyphs visited by insertions (the cost the tests bound)
    Array<FontGlyphNode*> order;  // insertion order: iteration and file order
    FontGlyph* direct[FONT_DIRECT_GLYPHS];  // code points below 2048, refilled after insertions
};

struct zq_font_t {
    char* name;         // owned; null marks a free slot
    uint32_t hash;      // name hash
    uint32_t kind;      // 3 for a font record
    uint32_t slot;      // index in the font table
    int16_t referenceCount;
    uint8_t cacheMode;  // the core's default bitmap cache mode at creation
    std::atomic<uint8_t> busy;  // set by the upload-queue step while it uploads this font
    uint32_t fileTime;  // modification time of the font file (developer mode)
    uint8_t flags;      // FONT_FLAG_*
    uint8_t utf8;       // 1: keys are code points and texts UTF-8; 0: Latin-1 bytes
    // Who may read or change the glyphs and the atlas, and the threads reading them: only the
    // holds of FontHold.h touch these two.
    std::atomic<int32_t> loaded;
    mutable std::atomic<int32_t> readers;
    // Set under "GET_FONT" once the font's last reference is gone: lookups pass it over while its
    // release waits for the font's readers, and no second release starts.
    uint8_t releasing;
    int32_t baseMetric;
    int32_t size;        // nominal pixel size; below 1: no atlas, nothing drawn
    int32_t lineHeight;  // pixels between two lines
    FontGlyphTable* glyphs;
    zq_bitmap_t atlas;
    float scale;              // rendered size / stored size
    float distanceSmoothing;  // DISTANCE_FIELD fonts
    float distanceSpread;     // DISTANCE_FIELD fonts: the spread the field was made with
};

// ---- Glyph index (FontGlyphTable.cpp) ----------------------------------------------------------

// Replaces the font's glyph table by a new empty one (prefill: 256 empty glyphs for 0..255).
// Null (font unchanged) when out of memory.
FontGlyphTable* CreateFontGlyphTable(zq_font_t* font, bool prefill);
// Frees every glyph's kerning row and pixels, the map and the table; the font's pointer becomes
// null. Nothing when the font has none.
void FreeFontGlyphTable(zq_font_t* font);
// Frees one table that no font refers to.
void ZQI_DeleteFontGlyphTable(FontGlyphTable* table);
// A new empty table, not attached to any font; null when out of memory.
FontGlyphTable* ZQI_NewFontGlyphTable();
// Inserts a copy of glyph under code. Returns the stored glyph, or null when code is already
// present (the table keeps the first glyph; the caller still owns glyph's buffers) or out of memory.
FontGlyph* ZQI_InsertFontGlyph(FontGlyphTable* table, uint32_t code, const FontGlyph& glyph);
// The map's glyph for code, without the direct array; null when absent.
FontGlyph* ZQI_FindFontGlyphInMap(const FontGlyphTable* table, uint32_t code);
// The number of glyphs a map lookup of code visits (the cost the tests bound).
uint32_t ZQI_CountFontGlyphProbes(const FontGlyphTable* table, uint32_t code);
// Points the direct array at the map's glyphs for 0..2047 (null where absent).
void ZQI_RefillFontGlyphDirectArray(FontGlyphTable* table);
// Direct array below 2048, the map above; null for a null font, a font without table or a
// code point without glyph.
FontGlyph* ZQI_FONTS_FindGlyph(zq_font_t* font, uint32_t code);
// The number of glyphs in the font's table (0 without a table).
int32_t ZQI_GetFontGlyphCount(const zq_font_t* font);

// ---- Glyph helpers (FontGlyphTable.cpp) --------------------------------------------------------

// An empty glyph: no pixels, no kerning, zero placement.
FontGlyph ZQI_EmptyFontGlyph();
// Gives the glyph its pixels (owned; may be null for a glyph without pixels) and sizes.
void ZQI_SetGlyphPixels(FontGlyph* glyph, uint8_t* pixels, int32_t width, int32_t height);
// Frees the glyph's pixels (sizes become 0) and, with kerning, its kerning row.
void ZQI_FreeGlyphPixels(FontGlyph* glyph);
// A zeroed kerning row when the glyph has none; false when out of memory.
bool ZQI_EnsureGlyphKerning(FontGlyph* glyph);
// The hash of the glyph map: 64-bit FNV-1a over the code point's bytes, lowest first.
uint64_t ZQI_HashGlyphCode(uint32_t code);
