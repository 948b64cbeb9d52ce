// What fonts need of the graphics subsystem, as hooks the graphics subsystem installs at start-up:
// pixel tools, image loading, atlas packing and upload, bitmaps, shaders, the manifest's entries
// and the drawing colour. The per-thread text settings are the graphics subsystem's own
// (graphics/TextSettings.h), read directly. Through the hooks the font code builds and is tested
// without a renderer. A hook left null means "not available": the font code then does without it
// (documented per hook).
#pragma once

#include <cstdint>

#include "graphics/TextSettings.h"
#include "zorqa.h"

struct FontGraphicsHooks {
    // Gives fully transparent pixels the colour of an opaque 4-neighbour once; returns the
    // number changed. Null: pixels are left as they are.
    int32_t (*bleedTransparentPixels)(zq_bitmap_t* bitmap);
    // Resamples source into target at width x height. Null: resizing fails.
    bool (*createImageResized)(zq_bitmap_t* target, const zq_bitmap_t* source, int32_t width, int32_t height);
    // Decodes an image file into RGBA pixels (pixels malloc'd, width and height set).
    // Null: images cannot be loaded.
    bool (*loadImage)(const char* path, zq_bitmap_t* out);
    // Packs the bitmaps into atlas and sets each one's texture rectangle. Null: not packed.
    bool (*packBitmaps)(zq_bitmap_t* atlas, zq_bitmap_t** bitmaps, int32_t count, int32_t maxWidth,
                        int32_t maxHeight);
    int32_t (*getMaximumTextureSize)();
    // Render thread only: uploads the bitmap's pixels as a texture.
    void (*uploadBitmap)(zq_bitmap_t* bitmap);
    // Frees the bitmap's GPU data (queued when not on the render thread).
    void (*freeBitmapGpuData)(zq_bitmap_t* bitmap);
    // Whether the renderer implementation is present or was regained.
    bool (*regainRenderer)();
    // The value of key in the manifest entry of a resource name; null when none.
    const char* (*findManifestValue)(const char* name, const char* key);
    // Counted bitmap and shader lookups used by markup tags.
    zq_bitmap_t* (*getBitmap)(const char* name);
    zq_shader_t* (*getShader)(const char* name);
    // The current drawing colour (r, g, b, a). Null: opaque white.
    void (*getCurrentColor)(float colour[4]);
    // 1 when the renderer keeps pixels blue-first: font files then swap bytes 0 and 2.
    int32_t pixelOrderBlueFirst;
};

// Installs the hooks (copied); null restores the empty set.
void ZQI_SetFontGraphicsHooks(const FontGraphicsHooks* hooks);
const FontGraphicsHooks& ZQI_GetFontGraphicsHooks();

// Run-wide settings the font table reads; start-up copies them from the core's feature words.
struct FontRuntimeSettings {
    uint8_t printReferenceCountChanges;  // PRINT_REFERENCE_COUNT_CHANGES
    uint8_t defaultCacheMode;            // copied into each new font (4 from start-up)
    uint8_t atlasPacking;                // 0: glyph bitmaps are uploaded one by one
    uint8_t referenceCounting;           // 0 with DISABLE_REFERENCE_COUNTING: release at once
};
// Defaults: no reference-count prints, cache mode 4, packing on, reference counting on.
FontRuntimeSettings& ZQI_GetFontRuntimeSettings();
