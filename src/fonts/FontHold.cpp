// A font's read and change holds (the rule is in FontHold.h). A reader counts itself in
// zq_font_t::readers and then checks the state; a change sets the state and then waits for the
// count to fall to zero. Both are sequentially consistent, so of a reader and a change that start
// together at least one sees the other: the reader backs off, or the change waits for it. Each
// thread also keeps the fonts it holds itself, so that it never waits for its own reads.
#include "fonts/FontHold.h"

#include "core/Log.h"
#include "core/Threads.h"
#include "fonts/Font.h"
#include "fonts/FontMessages.h"

namespace {

// Reads nest by font and few fonts are read at once: a thread needing more is refused a read. A
// change always finds room beside them (a thread makes at most a couple at once: a pass or a
// load, and a program's refresh or release from inside a read).
const int32_t kMaxOwnReads = 16;
const int32_t kMaxOwnHolds = kMaxOwnReads + 4;
// Waits spin this many rounds, yielding, before they sleep 1 ms at a time: most reads are short.
const int32_t kYieldRounds = 64;

// A font the calling thread holds.
struct OwnHold {
    const zq_font_t* font;
    int32_t reads;     // nested reads
    uint8_t counted;   // the outermost read counts in font->readers (not one inside a change)
    uint8_t changing;  // the thread loads, refreshes, releases or passes over the font
};

thread_local OwnHold t_own[kMaxOwnHolds];
thread_local int32_t t_ownCount = 0;

OwnHold* FindOwn(const zq_font_t* font) {
    for (int32_t i = 0; i < t_ownCount; ++i) {
        if (t_own[i].font == font) {
            return &t_own[i];
        }
    }
    return nullptr;
}

// Null when the thread holds limit fonts already.
OwnHold* AddOwn(const zq_font_t* font, int32_t limit) {
    if (t_ownCount >= limit) {
        return nullptr;
    }
    OwnHold* own = &t_own[t_ownCount++];
    *own = OwnHold{font, 0, 0, 0};
    return own;
}

void DropOwn(OwnHold* own) {
    *own = t_own[--t_ownCount];
}

const char* NameOf(const zq_font_t* font) {
    return font->name != nullptr ? font->name : "";
}

void Pause(int32_t* rounds) {
    if (++*rounds < kYieldRounds) {
        ZQ_Threading_YieldThread();
    } else {
        ZQ_Threading_Sleep(1);
    }
}

void WaitForOtherReaders(const zq_font_t* font) {
    for (int32_t rounds = 0; font->readers.load() != 0;) {
        Pause(&rounds);
    }
}

// The calling thread changes the font from now on (state already set).
void BeginChange(zq_font_t* font) {
    OwnHold* own = AddOwn(font, kMaxOwnHolds);
    if (own != nullptr) {
        own->changing = 1;
    }
    WaitForOtherReaders(font);
}

bool RefuseOwnThread(const zq_font_t* font, const char* function) {
    if (FindOwn(font) == nullptr) {
        return false;
    }
    ZQI_FontLog(LOG_LEVEL_ERROR, "%s: font '%s' is in use on this same thread; it is not changed.", function,
                NameOf(font));
    return true;
}

// The claim of a refresh (waitForOthers false) or a release (true).
FontClaim Claim(zq_font_t* font, bool waitForOthers, const char* function) {
    if (font == nullptr) {
        return FONT_CLAIM_LOADING;
    }
    if (RefuseOwnThread(font, function)) {
        return FONT_CLAIM_OWN_THREAD;
    }
    for (int32_t rounds = 0;;) {
        int32_t state = FONT_LOADED;
        if (font->loaded.compare_exchange_strong(state, FONT_LOADING)) {
            break;
        }
        // Only the main thread passes: on the main thread the pass is its own, which it cannot
        // wait for (refused above, unless it could not be noted).
        if (state == FONT_IN_RENDERER_PASS && ZQ_Threading_IsMainThread()) {
            return FONT_CLAIM_OWN_THREAD;
        }
        if (state != FONT_IN_RENDERER_PASS && !waitForOthers) {
            return FONT_CLAIM_LOADING;
        }
        Pause(&rounds);
    }
    BeginChange(font);
    return FONT_CLAIMED;
}

}  // namespace

bool ZQI_HoldFontForReading(const zq_font_t* font) {
    if (font == nullptr) {
        return false;
    }
    OwnHold* own = FindOwn(font);
    if (own != nullptr) {
        ++own->reads;  // inside its own read or its own change: nothing to wait for
        return true;
    }
    own = AddOwn(font, kMaxOwnReads);
    if (own == nullptr) {
        ZQI_FontLog(LOG_LEVEL_ERROR, "ZQI_HoldFontForReading: this thread holds %d fonts already; font '%s' is not read.",
                    kMaxOwnReads, NameOf(font));
        return false;
    }
    for (int32_t rounds = 0;;) {
        font->readers.fetch_add(1);
        const int32_t state = font->loaded.load();
        if (state == FONT_LOADED) {
            own->reads = 1;
            own->counted = 1;
            return true;
        }
        font->readers.fetch_sub(1);
        if (state != FONT_IN_RENDERER_PASS || ZQ_Threading_IsMainThread()) {
            DropOwn(own);
            return false;
        }
        Pause(&rounds);
    }
}

void ZQI_EndFontReading(const zq_font_t* font) {
    OwnHold* own = font != nullptr ? FindOwn(font) : nullptr;
    if (own == nullptr || own->reads == 0) {
        ZQI_FontLog(LOG_LEVEL_ERROR, "ZQI_EndFontReading: font '%s' is not read on this thread.",
                    font != nullptr ? NameOf(font) : "");
        return;
    }
    if (--own->reads > 0) {
        return;
    }
    if (own->counted != 0) {
        own->counted = 0;
        font->readers.fetch_sub(1);
    }
    if (own->changing == 0) {
        DropOwn(own);
    }
}

void ZQI_BeginFontLoad(zq_font_t* font) {
    font->loaded.store(FONT_LOADING);
    OwnHold* own = FindOwn(font);
    if (own == nullptr) {
        own = AddOwn(font, kMaxOwnHolds);
    }
    if (own != nullptr) {
        own->changing = 1;
    }
}

FontClaim ZQI_ClaimLoadedFont(zq_font_t* font) {
    return Claim(font, false, "ZQI_ClaimLoadedFont");
}

bool ZQI_ClaimFontForRelease(zq_font_t* font) {
    return Claim(font, true, "ZQI_ClaimFontForRelease") == FONT_CLAIMED;
}

void ZQI_EndFontRelease(zq_font_t* font) {
    OwnHold* own = FindOwn(font);
    if (own != nullptr) {
        DropOwn(own);
    }
}

bool ZQI_HoldFontForRendererPass(zq_font_t* font) {
    if (font == nullptr) {
        return false;
    }
    if (!ZQ_Threading_IsMainThread()) {
        ZQI_FontLog(LOG_LEVEL_ERROR, "ZQI_HoldFontForRendererPass: font '%s': only the main thread passes over fonts.",
                    NameOf(font));
        return false;
    }
    if (RefuseOwnThread(font, "ZQI_HoldFontForRendererPass")) {
        return false;
    }
    int32_t state = FONT_LOADED;
    if (!font->loaded.compare_exchange_strong(state, FONT_IN_RENDERER_PASS)) {
        return false;
    }
    BeginChange(font);
    return true;
}

void ZQI_MarkFontLoaded(zq_font_t* font) {
    OwnHold* own = FindOwn(font);
    if (own != nullptr) {
        if (own->reads != 0) {
            ZQI_FontLog(LOG_LEVEL_ERROR, "ZQI_MarkFontLoaded: font '%s' is still read inside its change.",
                        NameOf(font));
        }
        DropOwn(own);
    }
    font->loaded.store(FONT_LOADED);
}

bool ZQI_IsFontLoading(const zq_font_t* font) {
    return font->loaded.load() == FONT_LOADING;
}
