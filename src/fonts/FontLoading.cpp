// Font loading, the glyph atlas and the font upload queue.
#include "fonts/FontLoading.h"

#include <cstdlib>
#include <cstring>

#include "core/NamedMutex.h"
#include "core/Threads.h"
#include "filesystem/FileSystemApi.h"
#include "fonts/FontFile.h"
#include "fonts/FontGenerator.h"
#include "fonts/FontMessages.h"
#include "fonts/FontServices.h"

namespace {

const int32_t kMaxAtlasGlyphs = 4096;
const int32_t kUploadsPerPass = 10;

Array<zq_font_t*> g_uploadQueue;

// The manifest's "h" override: a font is drawn at that size from its stored glyphs, which are
// not resized; drawing divides by the scale.
void ApplySizeOverride(zq_font_t* font) {
    const FontGraphicsHooks& hooks = ZQI_GetFontGraphicsHooks();
    if (font->size <= 1 || (font->flags & FONT_FLAG_DISTANCE_FIELD) != 0 || hooks.findManifestValue == nullptr) {
        return;
    }
    const char* value = hooks.findManifestValue(font->name, "h");
    int32_t height = value != nullptr ? atoi(value) : 0;
    if (height <= 1) {
        return;
    }
    float scale = static_cast<float>(height) / static_cast<float>(font->size);
    font->size = height;
    font->lineHeight = static_cast<int32_t>(static_cast<float>(font->lineHeight) * scale);
    font->baseMetric = static_cast<int32_t>(static_cast<float>(font->baseMetric) * scale);
    font->scale = scale;
}

void DescribeGlyphBitmaps(zq_font_t* font) {
    if (font->glyphs == nullptr) {
        return;
    }
    for (FontGlyphNode* node : font->glyphs->order) {
        zq_bitmap_t& bitmap = node->glyph.bitmap;
        bitmap.depth = 1;
        bitmap.format = ZQ_TEXTURE_FORMAT_RGBA8;
        bitmap.type = ZQ_TEXTURE_TYPE_2D;
        bitmap.mip_levels = 1;
    }
}

// The glyph bitmaps that have pixels, at most kMaxAtlasGlyphs of them.
int32_t CollectGlyphBitmaps(zq_font_t* font, zq_bitmap_t** out) {
    int32_t count = 0;
    if (font->glyphs == nullptr) {
        return 0;
    }
    for (FontGlyphNode* node : font->glyphs->order) {
        if (node->glyph.bitmap.pixels == nullptr) {
            continue;
        }
        if (count == kMaxAtlasGlyphs) {
            ZQI_FontPopup(1,
                          "ZQI_RecreateFontAtlas too many glyphs (%d) in font '%s' for bitmap buffer. Ignoring "
                          "some of them.",
                          ZQI_GetFontGlyphCount(font), font->name);
            break;
        }
        out[count++] = &node->glyph.bitmap;
    }
    return count;
}

// Render thread: the atlas goes to the GPU and every glyph draws from its texture.
void UploadAtlasNow(zq_font_t* font) {
    const FontGraphicsHooks& hooks = ZQI_GetFontGraphicsHooks();
    if (hooks.regainRenderer == nullptr || !hooks.regainRenderer() || hooks.uploadBitmap == nullptr) {
        return;
    }
    hooks.uploadBitmap(&font->atlas);
    if (font->glyphs != nullptr) {
        for (FontGlyphNode* node : font->glyphs->order) {
            zq_bitmap_gpu_data_t& gpu = node->glyph.bitmap.gpu;
            gpu.texture = font->atlas.gpu.texture;
            gpu.texture_width = font->atlas.gpu.texture_width;
            gpu.texture_height = font->atlas.gpu.texture_height;
            gpu.loaded = font->atlas.gpu.loaded;
            // Glyphs are drawn as bitmaps of their own: they count as loaded with the atlas.
            node->glyph.bitmap.load_state = FONT_ATLAS_UPLOADED;
        }
    }
    font->atlas.load_state = FONT_ATLAS_UPLOADED;
}

int32_t QueueIndex(zq_font_t* font) {
    for (int32_t i = 0; i < g_uploadQueue.count; ++i) {
        if (g_uploadQueue[i] == font) {
            return i;
        }
    }
    return -1;
}

}  // namespace

bool LoadFontFile(zq_font_t* font, const char* name) {
    if (font == nullptr) {
        return false;
    }
    const char* text = name != nullptr ? name : "";
    bool result = false;
    for (int pass = 0; pass < 2; ++pass) {
        FreeFontGlyphTable(font);
        if (strstr(text, "!NONE") != nullptr) {
            result = CreateFontGlyphTable(font, true) != nullptr;
            break;
        }
        if (strstr(text, ".mft") != nullptr && ReadFontFile(font)) {
            result = true;
            break;
        }
        if (pass == 1) {
            ZQI_FontPrint("Failed: bad or unfound font file '%s'", text);
            return result;
        }
        if (!ZQI_GenerateFontFromSource(font)) {
            ZQI_FontPrint("Failed: bad or unfound font file '%s'", text);
            return false;
        }
        SaveFontFile(font, ZQI_ResolveFilePath(text, false));
    }
    if (result) {
        ApplySizeOverride(font);
        ZQI_FontPrint("Font size %dpx.", font->size);
        DescribeGlyphBitmaps(font);
    }
    return result;
}

bool ZQI_RecreateFontAtlas(zq_font_t* font) {
    if (font == nullptr || font->size < 1) {
        return false;
    }
    zq_bitmap_t** bitmaps = static_cast<zq_bitmap_t**>(malloc(sizeof(zq_bitmap_t*) * kMaxAtlasGlyphs));
    if (bitmaps == nullptr) {
        return false;
    }
    int32_t count = CollectGlyphBitmaps(font, bitmaps);
    const FontGraphicsHooks& hooks = ZQI_GetFontGraphicsHooks();
    if (font->atlas.gpu.texture != nullptr) {
        ZQI_FreeFontAtlasTexture(font);
    }
    if (ZQI_GetFontRuntimeSettings().atlasPacking == 0) {
        for (int32_t i = 0; i < count; ++i) {
            bitmaps[i]->load_state = FONT_ATLAS_UPLOAD_PENDING;
            if (hooks.uploadBitmap != nullptr) {
                hooks.uploadBitmap(bitmaps[i]);
            }
            bitmaps[i]->load_state = FONT_ATLAS_UPLOADED;
        }
        free(bitmaps);
        return true;
    }
    int32_t maxSize = hooks.getMaximumTextureSize != nullptr ? hooks.getMaximumTextureSize() : 0;
    bool packed = hooks.packBitmaps != nullptr && hooks.packBitmaps(&font->atlas, bitmaps, count, maxSize, maxSize);
    free(bitmaps);
    if (!packed) {
        return true;
    }
    font->atlas.load_state = FONT_ATLAS_UPLOAD_PENDING;
    // The copies share their capitals' places in the atlas, so they follow the packing; they come
    // before the upload because a queued font's glyph list is walked by the main thread and must
    // not grow under it.
    ZQI_AddLowerCaseCopies(font);
    if (ZQ_Threading_IsMainThread()) {
        UploadAtlasNow(font);
    } else {
        ZQI_FONTS_QueueFontUpload(font);
    }
    return true;
}

void ZQI_FreeFontAtlasTexture(zq_font_t* font) {
    const FontGraphicsHooks& hooks = ZQI_GetFontGraphicsHooks();
    if (hooks.freeBitmapGpuData == nullptr) {
        return;
    }
    // The glyphs hold copies of the texture (UploadAtlasNow); a packing or an upload that fails
    // next would leave them drawing from a freed one.
    const RendererTexture* texture = font->atlas.gpu.texture;
    hooks.freeBitmapGpuData(&font->atlas);
    if (texture == nullptr || font->glyphs == nullptr) {
        return;
    }
    for (FontGlyphNode* node : font->glyphs->order) {
        zq_bitmap_t& bitmap = node->glyph.bitmap;
        if (bitmap.gpu.texture == texture) {
            bitmap.gpu.texture = nullptr;
            bitmap.gpu.texture_width = 0;
            bitmap.gpu.texture_height = 0;
            bitmap.gpu.loaded = 0;
            bitmap.load_state = 0;
        }
    }
}

bool ZQI_AddLowerCaseCopies(zq_font_t* font) {
    if (font->utf8 != 0 || font->glyphs == nullptr) {
        return false;
    }
    bool added = false;
    for (uint32_t lower = 'a'; lower <= 'z'; ++lower) {
        uint32_t upper = lower - 'a' + 'A';
        const FontGlyph* capital = ZQI_FindFontGlyphInMap(font->glyphs, upper);
        if (capital == nullptr || ZQI_FindFontGlyphInMap(font->glyphs, lower) != nullptr) {
            continue;
        }
        FontGlyph copy = *capital;
        copy.kerning = nullptr;
        // The capital keeps the one pixel buffer, so freeing the font frees it once.
        copy.bitmap.pixels = nullptr;
        copy.bitmap.flags &= static_cast<uint8_t>(~GLYPH_BITMAP_HAS_PIXELS);
        if (capital->kerning != nullptr) {
            if (!ZQI_EnsureGlyphKerning(&copy)) {
                continue;
            }
            memcpy(copy.kerning, capital->kerning, FONT_KERNING_ROW);
        }
        if (ZQI_InsertFontGlyph(font->glyphs, lower, copy) == nullptr) {
            free(copy.kerning);
            continue;
        }
        for (FontGlyphNode* node : font->glyphs->order) {
            if (node->glyph.kerning != nullptr) {
                node->glyph.kerning[lower] = node->glyph.kerning[upper];
            }
        }
        added = true;
    }
    if (added) {
        ZQI_RefillFontGlyphDirectArray(font->glyphs);
    }
    return added;
}

void ZQI_FONTS_QueueFontUpload(zq_font_t* font) {
    ZQI_LockCoreMutex(CORE_MUTEX_RESOURCE_QUEUE);
    if (QueueIndex(font) >= 0) {
        ZQI_FontLog(1, "Font '%s' already exists in upload queue, not adding twice.",
                    font->name != nullptr ? font->name : "");
    } else {
        g_uploadQueue.Push(font);
    }
    ZQI_UnlockCoreMutex(CORE_MUTEX_RESOURCE_QUEUE);
}

void ZQI_FONTS_RemoveFromUploadQueue(zq_font_t* font) {
    ZQI_LockCoreMutex(CORE_MUTEX_RESOURCE_QUEUE);
    int32_t index = QueueIndex(font);
    if (index >= 0) {
        g_uploadQueue.RemoveAt(index);
    }
    ZQI_UnlockCoreMutex(CORE_MUTEX_RESOURCE_QUEUE);
}

int32_t ZQI_FONTS_GetUploadQueueLength() {
    ZQI_LockCoreMutex(CORE_MUTEX_RESOURCE_QUEUE);
    int32_t count = g_uploadQueue.count;
    ZQI_UnlockCoreMutex(CORE_MUTEX_RESOURCE_QUEUE);
    return count;
}

void ZQI_FONTS_UploadFontAtlas(zq_font_t* font) {
    if (font == nullptr) {
        return;
    }
    if (!ZQ_Threading_IsMainThread()) {
        ZQI_FONTS_QueueFontUpload(font);
        return;
    }
    UploadAtlasNow(font);
}

void ZQI_FONTS_ProcessUploadQueue() {
    for (int32_t taken = 0; taken < kUploadsPerPass; ++taken) {
        // A loader queues its font just before it marks it loaded. Uploaded before that, the atlas
        // could go to a renderer that a restart then drops while passing over the loading font,
        // and nothing would upload it again: such a font waits for a later pass instead.
        ZQI_LockCoreMutex(CORE_MUTEX_RESOURCE_QUEUE);
        zq_font_t* font = nullptr;
        for (int32_t index = 0; index < g_uploadQueue.count && font == nullptr; ++index) {
            zq_font_t* queued = g_uploadQueue[index];
            if (queued->name == nullptr || !ZQI_IsFontLoading(queued)) {
                g_uploadQueue.RemoveAt(index);
                font = queued;
            }
        }
        // Busy from before the lock goes, so a release or a refresh that found the font out of the
        // queue still waits for this step to let go of it.
        if (font != nullptr) {
            font->busy.store(1);
        }
        ZQI_UnlockCoreMutex(CORE_MUTEX_RESOURCE_QUEUE);
        if (font == nullptr) {
            return;
        }
        // The upload gives every glyph the atlas texture: a change, which waits for the font's
        // readers. It waits without "RESOURCE_QUEUE", which a reader loading an image may need. A
        // font that a refresh or a release took meanwhile is theirs (a refresh queues it again).
        if (font->name != nullptr && ZQI_HoldFontForRendererPass(font)) {
            ZQI_FONTS_UploadFontAtlas(font);
            ZQI_MarkFontLoaded(font);
        }
        font->busy.store(0);
    }
}
