// The graphics sub-table's font and text-measuring slots, and the font
// subsystem's start-up and shutdown.
#include "fonts/FontApi.h"

#include <cstdarg>
#include <cstdlib>
#include <cstring>

#include "core/ApiTable.h"
#include "core/Log.h"
#include "core/NamedMutex.h"
#include "core/Threads.h"
#include "fonts/FontFile.h"
#include "fonts/FontLoading.h"
#include "fonts/FontMessages.h"
#include "fonts/FontServices.h"
#include "fonts/FontTable.h"
#include "fonts/TextDrawing.h"
#include "fonts/TextLayout.h"
#include "foundation/String.h"

namespace {

zq_font_t* GetFont(const char* name) {
    return ZQI_FONTS_GetOrLoadFont(name, true);
}

zq_font_t* LoadFont(const char* name) {
    return ZQI_FONTS_GetOrLoadFont(name, false);
}

void ReleaseFont(zq_font_t* font) {
    if (font == nullptr) {
        ZQI_FontPopup(1, "ZQ_Graphics_ReleaseFont: font is null.");
        return;
    }
    const FontRuntimeSettings& settings = ZQI_GetFontRuntimeSettings();
    // The count and the start of the release are one step under the lock, so no lookup counts the
    // font again in between; the release itself waits for the font's readers without the lock.
    ZQI_LockCoreMutex(CORE_MUTEX_GET_FONT);
    bool release = false;
    if (settings.referenceCounting == 0) {
        release = ZQI_BeginFontRelease(font);
    } else {
        --font->referenceCount;
        if (settings.printReferenceCountChanges != 0) {
            ZQI_FontPrint("ZQ_Graphics_ReleaseFont '%s' ref count--, now %d.", font->name, font->referenceCount);
        }
        if ((font->flags & FONT_FLAG_GET_COUNTED) != 0 && font->referenceCount == 0) {
            ZQI_FontPopup(
                1,
                "ZQ_Graphics_ReleaseFont: font '%s' has been released too many times: ref counting will get "
                "messed up. NOTE: font has been accessed using GetFont() which increses ref count by 1 once.",
                font->name);
        }
        if (font->referenceCount < 0) {
            font->referenceCount = 0;
            ZQI_FontPopup(1, "ZQ_Graphics_ReleaseFont: reference count of font '%s' is less than zero.",
                          font->name);
        } else if (font->referenceCount == 0) {
            ZQI_FontPrint("ZQ_Graphics_ReleaseFont: hibernating Font '%s'.", font->name);
            release = ZQI_BeginFontRelease(font);
        }
    }
    ZQI_UnlockCoreMutex(CORE_MUTEX_GET_FONT);
    if (release) {
        ZQI_FinishFontRelease(font);
    }
}

// The refresh of a font the calling thread has claimed: reloaded from its file, its atlas made
// again; then readers may come again.
bool RefreshClaimedFont(zq_font_t* font) {
    // A queued upload walks the glyphs that reloading frees.
    ZQI_FONTS_RemoveFromUploadQueue(font);
    while (font->busy.load() != 0) {
        ZQ_Threading_Sleep(1);
    }
    if (!LoadFontFile(font, font->name)) {
        ZQI_FontPopup(1, "ZQ_Graphics_RefreshFont: failed to load font '%s'.", font->name);
    }
    bool result = ZQI_RecreateFontAtlas(font);
    ZQI_MarkFontLoaded(font);
    return result;
}

bool RefreshFont(zq_font_t* font) {
    if (font == nullptr) {
        return false;
    }
    // A font that is loading belongs to its loader (or to another refresh, or a release).
    const FontClaim claim = ZQI_ClaimLoadedFont(font);
    if (claim != FONT_CLAIMED) {
        if (claim == FONT_CLAIM_LOADING) {
            ZQI_FontLog(LOG_LEVEL_WARNING, "ZQ_Graphics_RefreshFont: font '%s' is still loading.",
                        font->name != nullptr ? font->name : "");
        }
        return false;
    }
    return RefreshClaimedFont(font);
}

// Refused while the font is loading: the loader may still grow its glyph list or free it. The
// save holds the font until its file is written.
bool SaveFont(zq_font_t* font, const char* path) {
    if (font == nullptr) {
        return SaveFontFile(font, path);
    }
    FontReading reading(font);
    if (!reading) {
        ZQI_FontLog(LOG_LEVEL_WARNING, "ZQ_Graphics_SaveFont: font '%s' is still loading.",
                    font->name != nullptr ? font->name : "");
        return false;
    }
    return SaveFontFile(font, path);
}

// Null while the font is loading: its glyph table may still be growing. The glyph is the
// program's to read until it refreshes or releases the font.
const FontGlyph* GetFontGlyph(zq_font_t* font, uint32_t code) {
    FontReading reading(font);
    return reading ? ZQI_FONTS_FindGlyph(font, code) : nullptr;
}

bool CanFontRenderText(zq_font_t* font, const char* text) {
    return ZQI_FONTS_CanRenderText(font, text);
}

// Formats and measures; 0 x 0 for a null font or format.
void MeasureFormatted(zq_font_t* font, float* width, float* height, const char* format, va_list args) {
    if (font == nullptr || format == nullptr) {
        if (width != nullptr) *width = 0.0f;
        if (height != nullptr) *height = 0.0f;
        return;
    }
    char buffer[ZQI_FORMAT_BUFFER_SIZE];
    char* text = ZQI_FormatToBuffer(buffer, format, args);
    ZQI_FONTS_GetTextSize(font, text, width, height);
    if (text != buffer) {
        free(text);
    }
}

float GetTextWidth(zq_font_t* font, const char* format, ...) {
    float width = 0.0f;
    va_list args;
    va_start(args, format);
    MeasureFormatted(font, &width, nullptr, format, args);
    va_end(args);
    return width;
}

float GetTextHeight(zq_font_t* font, const char* format, ...) {
    float height = 0.0f;
    va_list args;
    va_start(args, format);
    MeasureFormatted(font, nullptr, &height, format, args);
    va_end(args);
    return height;
}

void GetTextSize(zq_font_t* font, float* width, float* height, const char* format, ...) {
    va_list args;
    va_start(args, format);
    MeasureFormatted(font, width, height, format, args);
    va_end(args);
}

}  // namespace

void ZQI_InstallFontApi(zq_api_t* api) {
    zq_graphics_api_t* table = api != nullptr ? api->graphics : nullptr;
    if (table == nullptr) {
        return;
    }
    table->GetFont = GetFont;
    table->LoadFont = LoadFont;
    table->ReleaseFont = ReleaseFont;
    table->RefreshFont = RefreshFont;
    table->SaveFont = SaveFont;
    table->GetFontGlyph = GetFontGlyph;
    table->CanFontRenderText = CanFontRenderText;
    table->GetTextWidth = GetTextWidth;
    table->GetTextHeight = GetTextHeight;
    table->GetTextSize = GetTextSize;
}

void ZQI_InitializeFonts(const FontRuntimeSettings& settings) {
    ZQI_GetFontRuntimeSettings() = settings;
    ZQI_RegisterApiTableFiller(ZQI_InstallFontApi);
    ZQI_InstallFontApi(ZQI_GetApi());
    ZQI_InstallTextDrawers();
}

// Claimed first: from then on no release can free the font, nor its slot go to another font, until
// the refresh ends. Only then is it known whether it is still the font that was looked at.
bool ZQI_RefreshFontInUse(zq_font_t* font, const char* name) {
    if (font == nullptr || name == nullptr || ZQI_ClaimLoadedFont(font) != FONT_CLAIMED) {
        return false;  // a free slot, or a font that a loader, a refresh or a release has
    }
    ZQI_LockCoreMutex(CORE_MUTEX_GET_FONT);
    const bool inUse = font->name != nullptr && strcmp(font->name, name) == 0 && font->releasing == 0 &&
                       font->referenceCount > 0;
    ZQI_UnlockCoreMutex(CORE_MUTEX_GET_FONT);
    if (!inUse) {
        ZQI_MarkFontLoaded(font);  // a release waiting for the claim goes on
        return false;
    }
    RefreshClaimedFont(font);
    return true;
}

void ZQI_RecreateFontAtlases() {
    for (int32_t i = 0; i < ZQI_GetFontUsedCount(); ++i) {
        zq_font_t* font = ZQI_GetFontSlot(i);
        // A free slot is never loaded. A font that is loading or being refreshed is passed over:
        // its loader builds the atlas when done and queues it, and the queue step uploads it to
        // this renderer once the font is loaded. A font being released needs none. The pass waits
        // for the font's readers on other threads.
        if (ZQI_HoldFontForRendererPass(font)) {
            ZQI_RecreateFontAtlas(font);
            ZQI_MarkFontLoaded(font);
        }
    }
}

void ZQI_FreeFontAtlasGpuData() {
    const FontGraphicsHooks& hooks = ZQI_GetFontGraphicsHooks();
    for (int32_t i = 0; i < ZQI_GetFontUsedCount() && hooks.freeBitmapGpuData != nullptr; ++i) {
        zq_font_t* font = ZQI_GetFontSlot(i);
        // A font that another thread is loading, refreshing or releasing is passed over: that
        // thread frees the atlas's old texture itself, and freeing it here too would free it twice.
        if (ZQI_HoldFontForRendererPass(font)) {
            ZQI_FreeFontAtlasTexture(font);
            ZQI_MarkFontLoaded(font);
        }
    }
}
