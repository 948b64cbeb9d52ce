// The font table: 32 records found by name hash and text under "GET_FONT", counted on lookup,
// loaded outside the lock by the calling thread; and the global TrueType font.
#include "fonts/FontTable.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <atomic>
#include <cstdlib>
#include <cstring>

#include "core/ApiTable.h"
#include "core/Log.h"
#include "core/MemoryStatistics.h"
#include "core/NamedMutex.h"
#include "core/Threads.h"
#include "filesystem/FileSystemApi.h"
#include "fonts/FontFile.h"
#include "fonts/FontLoading.h"
#include "fonts/FontMessages.h"
#include "fonts/FontServices.h"
#include "foundation/NameHash.h"
#include "foundation/String.h"

namespace {

zq_font_t g_fonts[FONT_TABLE_SIZE];
// Grows under "GET_FONT"; the renderer passes, the memory estimates and the listings read it
// without that lock.
std::atomic<int32_t> g_usedCount(0);

const uint32_t kFontKind = 3;

// A record as a free slot leaves it: every field zero, scale 1.
void ClearFontRecord(zq_font_t* font) {
    font->name = nullptr;
    font->hash = 0;
    font->kind = 0;
    font->slot = 0;
    font->referenceCount = 0;
    font->cacheMode = 0;
    font->busy.store(0);
    font->fileTime = 0;
    font->flags = 0;
    font->utf8 = 0;
    // loaded and readers are left alone: a slot is FONT_LOADING from its release (or from the
    // start) until its next load, and a stale reader may be counting itself in and out of it.
    font->releasing = 0;
    font->baseMetric = 0;
    font->size = 0;
    font->lineHeight = 0;
    font->glyphs = nullptr;
    memset(&font->atlas, 0, sizeof(font->atlas));
    font->scale = 1.0f;
    font->distanceSmoothing = 0.0f;
    font->distanceSpread = 0.0f;
}

zq_font_t* FindFont(const char* name, uint32_t hash) {
    for (int32_t i = 0; i < g_usedCount; ++i) {
        zq_font_t* font = &g_fonts[i];
        if (font->name != nullptr && font->releasing == 0 && font->hash == hash && strcmp(font->name, name) == 0) {
            return font;
        }
    }
    return nullptr;
}

// The first free slot below the used count, else the next unused one; null when all 32 are taken.
zq_font_t* ClaimSlot() {
    for (int32_t i = 0; i < g_usedCount; ++i) {
        if (g_fonts[i].name == nullptr) {
            return &g_fonts[i];
        }
    }
    if (g_usedCount == FONT_TABLE_SIZE) {
        return nullptr;
    }
    return &g_fonts[g_usedCount.fetch_add(1)];
}

// Runs outside the lock on the calling thread: the font is in the table, not yet loaded.
void LoadNewFont(zq_font_t* font) {
    if (ZQ_IsDeveloperMode()) {
        zq_file_info_t info;
        if (ZQ_FileSystem_GetFileInfo(font->name, &info)) {
            font->fileTime = info.modification_time;
        }
    }
    ZQI_FontPrint("..caching font '%s' ", font->name);
    font->cacheMode = ZQI_GetFontRuntimeSettings().defaultCacheMode;
    if (!LoadFontFile(font, font->name)) {
        ZQI_FontPopup(1, "ZQ_Graphics_RefreshFont: failed to load font '%s'.", font->name);
    }
    ZQI_RecreateFontAtlas(font);
    ZQI_MarkFontLoaded(font);
}

}  // namespace

zq_font_t* ZQI_FONTS_GetOrLoadFont(const char* name, bool get) {
    const char* text = name != nullptr ? name : "";
    uint32_t hash = ZQI_HashName(text);
    bool printCounts = ZQI_GetFontRuntimeSettings().printReferenceCountChanges != 0;
    ZQI_LockCoreMutex(CORE_MUTEX_GET_FONT);
    zq_font_t* font = FindFont(text, hash);
    if (font != nullptr) {
        bool uncounted = font->name[0] == '!' || (get && (font->flags & FONT_FLAG_GET_COUNTED) != 0);
        if (!uncounted) {
            ++font->referenceCount;
            if (printCounts) {
                ZQI_FontPrint("'%s' ref count++ (%s): now %d", font->name, get ? "Get" : "Load",
                              font->referenceCount);
            }
        }
        ZQI_UnlockCoreMutex(CORE_MUTEX_GET_FONT);
        return font;
    }
    font = ClaimSlot();
    if (font == nullptr) {
        ZQI_FontPopup(1, "Out of free fonts.");
        ZQI_UnlockCoreMutex(CORE_MUTEX_GET_FONT);
        return nullptr;
    }
    char* copy = ZQI_DuplicateString(text);
    if (copy == nullptr) {
        ZQI_UnlockCoreMutex(CORE_MUTEX_GET_FONT);
        ZQI_FontLog(LOG_LEVEL_ERROR, "ZQI_FONTS_GetOrLoadFont: out of memory for font '%s'.", text);
        return nullptr;
    }
    ClearFontRecord(font);
    font->name = copy;
    font->hash = hash;
    font->referenceCount = 1;
    font->kind = kFontKind;
    font->slot = static_cast<uint32_t>(font - g_fonts);
    if (printCounts) {
        ZQI_FontPrint("'%s' ref count = 1 (LoadFont)", font->name);
    }
    if (get) {
        font->flags |= FONT_FLAG_GET_COUNTED;
    }
    ZQI_BeginFontLoad(font);
    ZQI_UnlockCoreMutex(CORE_MUTEX_GET_FONT);
    LoadNewFont(font);
    return font;
}

void ZQI_FONTS_ReleaseFont(zq_font_t* font) {
    if (font == nullptr) {
        ZQI_FontPopup(1, "Trying to release null font in ZQI_FONTS_ReleaseFont.");
        return;
    }
    ZQI_LockCoreMutex(CORE_MUTEX_GET_FONT);
    const bool begun = ZQI_BeginFontRelease(font);
    ZQI_UnlockCoreMutex(CORE_MUTEX_GET_FONT);
    if (begun) {
        ZQI_FinishFontRelease(font);
    }
}

bool ZQI_BeginFontRelease(zq_font_t* font) {
    ZQI_FontLog(LOG_LEVEL_INFO, "Releasing font '%s'...", font->name != nullptr ? font->name : "");
    // A free slot (released before) has nothing left; a font another release has begun is its.
    if (font->name == nullptr || font->releasing != 0) {
        return false;
    }
    font->releasing = 1;
    return true;
}

void ZQI_FinishFontRelease(zq_font_t* font) {
    // A font handed out by GetFont while another thread still loads it can be released to 0
    // meanwhile: the loader finishes with the glyphs first, and so do the font's readers.
    if (!ZQI_ClaimFontForRelease(font)) {
        // The calling thread reads the font itself (logged): it stays, found by name again.
        ZQI_LockCoreMutex(CORE_MUTEX_GET_FONT);
        font->releasing = 0;
        ZQI_UnlockCoreMutex(CORE_MUTEX_GET_FONT);
        return;
    }
    // The queue step must never upload memory freed below.
    ZQI_FONTS_RemoveFromUploadQueue(font);
    while (font->busy.load() != 0) {
        ZQ_Threading_Sleep(1);
    }
    const FontGraphicsHooks& hooks = ZQI_GetFontGraphicsHooks();
    if (font->atlas.width == 0 && font->glyphs != nullptr && hooks.freeBitmapGpuData != nullptr) {
        for (FontGlyphNode* node : font->glyphs->order) {
            hooks.freeBitmapGpuData(&node->glyph.bitmap);
        }
    }
    FreeFontGlyphTable(font);
    if (hooks.freeBitmapGpuData != nullptr) {
        hooks.freeBitmapGpuData(&font->atlas);
    }
    free(font->atlas.pixels);
    free(font->atlas.name);  // the packer names the atlas record it fills
    memset(&font->atlas, 0, sizeof(font->atlas));
    ZQI_LockCoreMutex(CORE_MUTEX_GET_FONT);
    free(font->name);
    font->name = nullptr;
    font->releasing = 0;
    ZQI_UnlockCoreMutex(CORE_MUTEX_GET_FONT);
    ZQI_EndFontRelease(font);
}

zq_font_t* ZQI_GetFontSlot(int32_t index) {
    return index >= 0 && index < FONT_TABLE_SIZE ? &g_fonts[index] : nullptr;
}

int32_t ZQI_GetFontUsedCount() {
    return g_usedCount;
}

void ZQI_ResetFontTable() {
    for (int32_t i = 0; i < g_usedCount; ++i) {
        if (g_fonts[i].name != nullptr) {
            ZQI_FONTS_ReleaseFont(&g_fonts[i]);
        }
        ClearFontRecord(&g_fonts[i]);
    }
    g_usedCount = 0;
}

void ZQI_AddFontMemoryEstimates(MemoryEstimates* estimates) {
    for (int32_t i = 0; i < g_usedCount; ++i) {
        // Without "GET_FONT": a read may wait for the main thread's pass over the font. While it is
        // read, no release frees the font (nor its name). A font that is loading or changing counts
        // nothing this time: its atlas is being made.
        FontReading reading(&g_fonts[i]);
        if (reading && g_fonts[i].name != nullptr) {
            ZQI_CountImageMemory(estimates, ZQI_DescribeBitmapMemory(g_fonts[i].atlas));
        }
    }
}

// ---- Global TrueType font --------------------------------------------------------------------

GlobalTrueTypeFont* ZQI_GetGlobalFont() {
    static GlobalTrueTypeFont record;
    return &record;
}

bool InitializeGlobalFont(GlobalTrueTypeFont* record) {
    const char* path = "global.ttf";
    if (!ZQ_FileSystem_FileExists(path)) {
        path = "fonts/global.ttf";
        if (!ZQ_FileSystem_FileExists(path)) {
            return false;
        }
    }
    snprintf(record->path, sizeof(record->path), "%s", path);
    uint32_t start = ZQ_GetMilliseconds();
    FT_Library library = nullptr;
    FT_Error error = FT_Init_FreeType(&library);
    if (error != 0) {
        ZQI_FontPopup(1, "InitializeGlobalFont::FT_Init_FreeType error %d", error);
    }
    record->library = library;
    free(record->bytes);
    size_t length = 0;
    record->bytes = ZQI_ReadWholeFile(path, &length);
    record->length = static_cast<int32_t>(length);
    FT_Face face = nullptr;
    error = record->bytes == nullptr ? FT_Err_Invalid_Argument
                                     : FT_New_Memory_Face(library, record->bytes, record->length, 0, &face);
    if (error != 0) {
        ZQI_FontPopup(1,
                      "InitializeGlobalFont::FT_New_Face error %d. Does the font file and path '%s' exist?",
                      error, path);
        return false;
    }
    record->face = face;
    error = FT_Select_Charmap(face, FT_ENCODING_UNICODE);
    if (error != 0) {
        ZQI_FontPopup(1, "InitializeGlobalFont::FT_Select_Charmap error %d", error);
        return false;
    }
    ZQI_FontPrint("TrueType font '%s' rendering initialized. (%d msecs)", path,
                  static_cast<int32_t>(ZQ_GetMilliseconds() - start));
    return true;
}

void ZQI_ShutdownGlobalFont(GlobalTrueTypeFont* record) {
    if (record->face != nullptr) {
        FT_Done_Face(record->face);
        record->face = nullptr;
    }
    if (record->library != nullptr) {
        FT_Done_FreeType(record->library);
        record->library = nullptr;
    }
    free(record->bytes);
    record->bytes = nullptr;
    record->length = 0;
    for (MissingGlyphRecord* missing : record->missing) {
        ZQI_DeleteFontGlyphTable(missing->glyphs);
        delete missing;
    }
    record->missing.Clear();
    record->initialized = 0;
}

namespace {

// Hands each glyph bitmap of the global font's missing-glyph sets to action (when installed).
void ForEachGlobalFontGlyphBitmap(void (*action)(zq_bitmap_t*), bool withPixelsOnly) {
    if (action == nullptr) {
        return;
    }
    for (MissingGlyphRecord* record : ZQI_GetGlobalFont()->missing) {
        for (FontGlyphNode* node : record->glyphs->order) {
            if (!withPixelsOnly || node->glyph.bitmap.pixels != nullptr) {
                action(&node->glyph.bitmap);
            }
        }
    }
}

}  // namespace

void ZQI_UploadGlobalFontPages() {
    ForEachGlobalFontGlyphBitmap(ZQI_GetFontGraphicsHooks().uploadBitmap, true);
}

void ZQI_FreeGlobalFontPages() {
    ForEachGlobalFontGlyphBitmap(ZQI_GetFontGraphicsHooks().freeBitmapGpuData, false);
}

MissingGlyphRecord* FindMissingGlyphRecord(Array<MissingGlyphRecord*>& list, zq_font_t* font) {
    for (MissingGlyphRecord* record : list) {
        if (record->font == font) {
            return record;
        }
    }
    MissingGlyphRecord* record = new (std::nothrow) MissingGlyphRecord;
    if (record == nullptr) {
        return nullptr;
    }
    record->font = font;
    record->glyphs = ZQI_NewFontGlyphTable();
    if (record->glyphs == nullptr) {
        delete record;
        return nullptr;
    }
    list.Push(record);
    return record;
}

FontGlyph* IsGlyphMarkedMissing(const MissingGlyphRecord* record, uint32_t c) {
    return record != nullptr ? ZQI_FindFontGlyphInMap(record->glyphs, c) : nullptr;
}
