// Freeing what a bitmap record owns, by the ownership rule of BitmapData.h, and frame selection.
#include "graphics/BitmapData.h"

#include <cstdlib>
#include <cstring>

#include "foundation/NameHash.h"
#include "graphics/BitmapTable.h"
#include "graphics/BitmapUpload.h"
#include "graphics/ImageLoader.h"

bool ZQI_BitmapOwnsData(const zq_bitmap_t* bitmap) {
    return bitmap->frames == nullptr && bitmap->same_as_frame == nullptr && bitmap->atlas == nullptr;
}

void ZQI_SetUpAtlasRecord(zq_bitmap_t* atlas, char* name) {
    atlas->name = name;
    atlas->hash = ZQI_HashName(name);
    atlas->kind = 1;
    atlas->reference_count = 1;
    atlas->depth = 1;
    atlas->type = ZQ_TEXTURE_TYPE_2D;
    atlas->format = ZQ_TEXTURE_FORMAT_RGBA8;
    atlas->mip_levels = 1;
    atlas->load_state = BITMAP_NOT_LOADED;
    atlas->pack_mode = NO_PADDING;
}

zq_bitmap_t* ZQI_NewBitmapRecords(int32_t count) {
    if (count < 1) {
        return nullptr;
    }
    return static_cast<zq_bitmap_t*>(calloc(static_cast<size_t>(count), sizeof(zq_bitmap_t)));
}

void FreeBitmapPixels(zq_bitmap_t* bitmap) {
    if (bitmap == nullptr) {
        return;
    }
    // A repeated frame shows the pixels of the frame it repeats, but may still hold its own.
    const bool ownRepeatPixels =
        bitmap->same_as_frame != nullptr && bitmap->pixels != bitmap->same_as_frame->pixels;
    if (ZQI_BitmapOwnsData(bitmap) || ownRepeatPixels) {
        if (bitmap->pixels != nullptr) {
            ZQI_GetImageLoader()->FreeImagePixels(bitmap);
        }
        if (ZQI_BitmapOwnsData(bitmap)) {
            return;
        }
    }
    bitmap->pixels = nullptr;  // a copy: the owner frees it
    for (int32_t i = 0; bitmap->frames != nullptr && i < bitmap->frame_count; ++i) {
        FreeBitmapPixels(&bitmap->frames[i]);
    }
    // Frames point at the atlas too; only the bitmap holding the frame array owns it.
    if (bitmap->atlas != nullptr && bitmap->frames != nullptr) {
        FreeBitmapPixels(bitmap->atlas);
    }
}

namespace {

void FreeAtlasRecord(zq_bitmap_t* atlas) {
    FreeBitmapGPUData(atlas);
    FreeBitmapFrames(atlas);
    FreeBitmapPixels(atlas);
    free(atlas->name);
    free(atlas->source_file);
    free(atlas);
}

}  // namespace

void ZQI_FreeBitmapAtlas(zq_bitmap_t* bitmap) {
    if (bitmap == nullptr || bitmap->atlas == nullptr) {
        return;
    }
    zq_bitmap_t* atlas = bitmap->atlas;
    // Frames inside the atlas lose their copies of its texture; the bitmap shows its frame again.
    for (int32_t i = 0; bitmap->frames != nullptr && i < bitmap->frame_count; ++i) {
        if (bitmap->frames[i].atlas == atlas) {
            bitmap->frames[i].atlas = nullptr;
            memset(&bitmap->frames[i].gpu, 0, sizeof(zq_bitmap_gpu_data_t));
        }
    }
    FreeAtlasRecord(atlas);
    bitmap->atlas = nullptr;
    if (bitmap->frames != nullptr) {
        ZQ_Graphics_SetBitmapFrame(bitmap, bitmap->current_frame);
    }
}

void FreeBitmapFrames(zq_bitmap_t* bitmap) {
    if (bitmap == nullptr) {
        return;
    }
    zq_bitmap_t* frames = bitmap->frames;
    zq_bitmap_t* atlas = bitmap->atlas;
    if (frames != nullptr) {
        // Textures first (copies are cleared, owned ones freed or deferred), then the pixels.
        for (int32_t i = 0; i < bitmap->frame_count; ++i) {
            FreeBitmapGPUData(&frames[i]);
        }
        for (int32_t i = 0; i < bitmap->frame_count; ++i) {
            zq_bitmap_t& frame = frames[i];
            FreeBitmapPixels(&frame);
            frame.atlas = nullptr;  // the holder of the frame array owns the atlas, not its frames
            FreeBitmapFrames(&frame);
            free(frame.name);
            free(frame.source_file);
        }
        free(frames);
        // The record showed one of the frames: its copies go with them.
        bitmap->pixels = nullptr;
        memset(&bitmap->gpu, 0, sizeof(bitmap->gpu));
    }
    bitmap->frames = nullptr;
    bitmap->frame_count = 0;
    bitmap->atlas = nullptr;
    if (atlas != nullptr) {
        // Frame records lose their atlas pointer before they get here, so this is the owner.
        FreeAtlasRecord(atlas);
        bitmap->pixels = nullptr;
        memset(&bitmap->gpu, 0, sizeof(bitmap->gpu));
    }
}

void ZQ_Graphics_SetBitmapFrame(zq_bitmap_t* bitmap, int32_t frame) {
    if (bitmap == nullptr || bitmap->frames == nullptr || bitmap->frame_count < 1) {
        return;
    }
    int32_t index = (frame > 0 ? frame : 0) % bitmap->frame_count;
    const zq_bitmap_t& selected = bitmap->frames[index];
    bitmap->current_frame = index;
    bitmap->width = selected.width;
    bitmap->height = selected.height;
    bitmap->flags =
        static_cast<uint8_t>((bitmap->flags & ~BITMAP_FLAG_ALPHA) | (selected.flags & BITMAP_FLAG_ALPHA));
    // The pixel size travels with the pointer: saving, sampling and uploading walk the record's
    // pixels by it, and frames may differ in size.
    bitmap->pixels = selected.pixels;
    bitmap->pixel_width = selected.pixel_width;
    bitmap->pixel_height = selected.pixel_height;
    bitmap->gpu = selected.gpu;
}
