// A font's hold: the one place that says who may read a font's glyphs, glyph order, atlas and
// atlas bitmap, who may change them, and when. zq_font_t::loaded holds the state, and
// zq_font_t::readers the number of threads reading the font.
//
// The rule:
// - Every walk over them is a read and runs inside a read hold (FontReading, or
//   ZQI_HoldFontForReading .. ZQI_EndFontReading): the save, the glyph query, text measuring, text
//   drawing and the text slot's description of the font, the render check, the resource listing
//   and the memory estimates. Any number of threads read at once.
// - Every change of them is made by one thread that holds the font for that change, and only once
//   no other thread reads the font (the change waits for the reads under way to end):
//     - its loader, from the slot's creation (ZQI_BeginFontLoad) to ZQI_MarkFontLoaded;
//     - a refresh (ZQI_ClaimLoadedFont .. ZQI_MarkFontLoaded);
//     - a release, which frees them (ZQI_ClaimFontForRelease .. ZQI_EndFontRelease);
//     - on the main thread, the renderer stop's and start's atlas passes and the font upload step
//       (ZQI_HoldFontForRendererPass .. ZQI_MarkFontLoaded).
//   The atlas packing and the Latin-1 lower-case copies run inside a load, a refresh or a
//   renderer start, never on their own.
// - A read asked for while a loader, a refresh or a release has the font is refused at once: the
//   reader answers as for a font still loading (nothing, 0, a refusal). A read asked for on
//   another thread while the main thread's pass or upload step has the font waits for it to end.
// - A thread never waits for itself. Its reads nest: a read inside its own read, or inside a change
//   it is making, goes ahead at once. A change asked for on a thread that is itself reading or
//   changing the font is refused (and logged): it could neither wait for that read nor change the
//   font under it. Only the main thread can get there: a program's quit request is answered from
//   the message loop of a popup, and popups are raised from inside reads (a markup image that does
//   not load, a save that fails).
// - Lock order. A change waits for reads holding no engine lock of its own: a release waits
//   before it takes "GET_FONT" to free the name, and the upload step lets go of "RESOURCE_QUEUE"
//   first. The main thread's passes and upload step hold the frame's renderer lock, which no read
//   on another thread takes (no engine reader does, and no program code runs inside one). A read
//   that may wait for a pass is asked for holding no engine lock either (the resource listing and
//   the memory estimates read names before their reads, not around them), because the main thread
//   can run program code from a popup's message loop inside its pass. So a reader may take any
//   lock inside its hold, and no change waits for a thread that waits for it.
#pragma once

#include <cstdint>

#include "zorqa.h"

// zq_font_t::loaded.
enum : int32_t {
    FONT_LOADING = 0,           // a loader, a refresh or a release has the font: reads are refused
    FONT_LOADED = 1,            // reads come and go; a change takes the font, then waits for them
    FONT_IN_RENDERER_PASS = 2,  // the main thread's pass or upload step has it: reads elsewhere wait
};

// ---- Reads -------------------------------------------------------------------------------------

// True: the caller reads the font until ZQI_EndFontReading. False (nothing to end) for a null font
// and while a loader, a refresh or a release has it; a pass of the main thread is waited out.
bool ZQI_HoldFontForReading(const zq_font_t* font);
void ZQI_EndFontReading(const zq_font_t* font);

// A read hold for one scope.
struct FontReading {
    explicit FontReading(const zq_font_t* readFont) : font(readFont), held(ZQI_HoldFontForReading(readFont)) {}
    ~FontReading() {
        if (held) ZQI_EndFontReading(font);
    }
    FontReading(const FontReading&) = delete;
    FontReading& operator=(const FontReading&) = delete;
    explicit operator bool() const { return held; }

    const zq_font_t* font;
    bool held;
};

// ---- Changes -----------------------------------------------------------------------------------

// A new slot's font belongs to the thread that loads it, until it marks the font loaded.
void ZQI_BeginFontLoad(zq_font_t* font);

enum FontClaim : int32_t {
    FONT_CLAIMED = 0,           // the caller changes the font, then marks it loaded
    FONT_CLAIM_LOADING = 1,     // a loader, a refresh or a release on another thread has it
    FONT_CLAIM_OWN_THREAD = 2,  // the calling thread itself reads or changes it (logged)
};
// A refresh: takes a loaded font (waiting out a pass of the main thread), then waits until no
// other thread reads it.
FontClaim ZQI_ClaimLoadedFont(zq_font_t* font);
// A release: as a refresh, but also waits for a loader or a refresh on another thread. False only
// when the calling thread itself reads or changes the font (logged); nothing is held then.
bool ZQI_ClaimFontForRelease(zq_font_t* font);
// The release has freed the font: it stays FONT_LOADING, a free slot that nobody reads.
void ZQI_EndFontRelease(zq_font_t* font);
// Main thread only: the renderer stop's or start's pass over the font, or the upload step's, once
// no other thread reads it. False when a loader, a refresh or a release has it, and when the main
// thread itself is reading it (logged).
bool ZQI_HoldFontForRendererPass(zq_font_t* font);
// Ends a load, a refresh or a pass: readers may come again.
void ZQI_MarkFontLoaded(zq_font_t* font);

// True while a loader, a refresh or a release has the font.
bool ZQI_IsFontLoading(const zq_font_t* font);
