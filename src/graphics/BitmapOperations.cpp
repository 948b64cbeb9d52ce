// Creating, resizing, refreshing, releasing and removing bitmaps through the graphics API, and
// their read-back and saving.
#include "graphics/BitmapOperations.h"

#include <cstdlib>
#include <cstring>

#include "core/ApiTable.h"
#include "core/Features.h"
#include "core/NamedMutex.h"
#include "core/Threads.h"
#include "filesystem/FileSystemApi.h"
#include "foundation/NameHash.h"
#include "foundation/TextUtils.h"
#include "graphics/BitmapData.h"
#include "graphics/BitmapLoading.h"
#include "graphics/BitmapTable.h"
#include "graphics/BitmapUpload.h"
#include "graphics/HighLevelRenderer.h"
#include "graphics/ImageLoader.h"
#include "graphics/PixelTools.h"
#include "graphics/RendererDevice.h"
#include "graphics/RendererState.h"

namespace {

const int32_t kPlainCacheMode = CACHE_PIXELS | CACHE_TEXTURE;
const int32_t kHttpCacheNameSize = 1024;

void LockTable() {
    ZQI_LockCoreMutex(CORE_MUTEX_GET_BITMAP);
}

void UnlockTable() {
    ZQI_UnlockCoreMutex(CORE_MUTEX_GET_BITMAP);
}

bool IsRenderTarget(const zq_bitmap_t* bitmap) {
    return (bitmap->flags & BITMAP_FLAG_RENDER_TARGET) != 0;
}

bool IsReloadable(const zq_bitmap_t* bitmap) {
    return (bitmap->flags & BITMAP_FLAG_RELOADABLE) != 0;
}

const char* NameOf(const zq_bitmap_t* bitmap) {
    return bitmap->name != nullptr ? bitmap->name : "null";
}

bool IsCurrentColourTarget(const zq_bitmap_t* bitmap) {
    for (const zq_bitmap_t* colour : g_rendererState.targets.color) {
        if (colour == bitmap) {
            return true;
        }
    }
    return false;
}

// Popups of reference-count errors, unless the program asked for none.
bool ShowsCountErrors() {
    return !ZQI_IsFeatureEnabled("DISABLE_REFERENCE_COUNT_ERROR_POPUPS");
}

int32_t ClampSide(int32_t side, int32_t maximum) {
    return side < 1 ? 1 : (side > maximum ? maximum : side);
}

// Sizes above the maximum texture side are reported for the calling slot, then clamped.
void ClampSize(const char* slot, const char* name, int32_t* width, int32_t* height) {
    const int32_t maximum = ZQ_Graphics_GetMaximumTextureSize();
    if (*width > maximum || *height > maximum) {
        ZQ_Popup(1, "%s: bitmap '%s' has too large dimension(s) (%i, %i), each dimension is clamped to %i.",
                 slot, name, *width, *height, maximum);
    }
    *width = ClampSide(*width, maximum);
    *height = ClampSide(*height, maximum);
}

void SetSize(zq_bitmap_t* bitmap, int32_t width, int32_t height) {
    bitmap->width = bitmap->pixel_width = width;
    bitmap->height = bitmap->pixel_height = height;
}

// Only a record that owns its pixels can swap them: an animated bitmap shows one of its frames'
// buffers, which the frames own.
bool CanResizePixels(const zq_bitmap_t* bitmap) {
    if (ZQI_BitmapOwnsData(bitmap)) {
        return true;
    }
    if (bitmap->frames != nullptr) {
        ZQ_Log(2,
               "ZQ_Graphics_ResizeBitmap: bitmap '%s' has %d frames; an animated bitmap cannot be resized.",
               NameOf(bitmap), bitmap->frame_count);
    } else {
        ZQ_Log(
            2,
            "ZQ_Graphics_ResizeBitmap: bitmap '%s' is a frame of an animated bitmap and cannot be resized.",
            NameOf(bitmap));
    }
    return false;
}

// Under the table lock: a count for an existing name, capped.
void CountAgain(zq_bitmap_t* bitmap) {
    if (bitmap->reference_count < ZQI_MAX_BITMAP_REFERENCES) {
        ++bitmap->reference_count;
    }
    ZQI_PrintReferenceCount("'%s' ref count++: now %d", bitmap->name, bitmap->reference_count);
}

// An existing render target asked for again: made again on the GPU when it has just come back.
void ReuseRenderTarget(zq_bitmap_t* bitmap, const zq_bitmap_desc_t* desc) {
    ZQI_AcquireBitmapBusy(bitmap);
    const bool same = bitmap->format == desc->format && bitmap->type == desc->type &&
                      bitmap->mip_levels == desc->mip_levels && desc->render_target != 0;
    if (same) {
        if (bitmap->reference_count == 1) {
            if (!bitmap->gpu.loaded) {
                QueueBitmapCreation(bitmap);
            }
            bitmap->cache_mode = CACHE_TEXTURE;
            bitmap->load_state = BITMAP_LOADED;
        }
    } else {
        ZQ_Popup(
            1,
            "ZQ_Graphics_CreateBitmap(): render target '%s' already exists and has different parameters than "
            "the parameters passed to the function.",
            bitmap->name);
    }
    ZQI_ReleaseBitmapBusy(bitmap);
}

// The new record's data, with its busy flag held.
void SetUpCreatedBitmap(zq_bitmap_t* bitmap, const zq_bitmap_desc_t* desc, int32_t width, int32_t height) {
    const bool renderTarget = desc->render_target != 0;
    SetSize(bitmap, width, height);
    bitmap->cache_mode = static_cast<int8_t>(renderTarget ? CACHE_TEXTURE : kPlainCacheMode);
    bitmap->depth = desc->depth;
    bitmap->format = desc->format;
    bitmap->type = desc->type;
    bitmap->mip_levels = static_cast<uint16_t>(desc->mip_levels);
    bitmap->flags = renderTarget ? BITMAP_FLAG_RENDER_TARGET : 0;
    bitmap->pack_mode = NO_PADDING;
    if (!CheckBitmapDescription(bitmap)) {
        return;
    }
    if (renderTarget) {
        QueueBitmapCreation(bitmap);
    } else {
        bitmap->pixels =
            static_cast<uint8_t*>(malloc(static_cast<size_t>(width) * static_cast<size_t>(height) * 4));
        if (bitmap->pixels == nullptr) {
            ZQ_Log(2, "ZQ_Graphics_CreateBitmap: out of memory for bitmap '%s' (%dx%d).", bitmap->name, width,
                   height);
            return;
        }
    }
    bitmap->load_state = BITMAP_LOADED;
}

// The slot of a new name, taken under the table lock (which this releases); null when full.
zq_bitmap_t* TakeNewSlot(const char* name, uint32_t hash, int32_t width, int32_t height) {
    ZQ_Print("..creating bitmap '%s' (%dx%d)", name, width, height);
    char* copy = ZQI_DuplicateText(name);
    zq_bitmap_t* bitmap = copy != nullptr ? ZQI_TakeFreeBitmapSlotLocked() : nullptr;
    if (bitmap == nullptr) {
        UnlockTable();
        free(copy);
        ZQ_Popup(1, "Failed to create bitmap '%s': Zorqa is out of free bitmaps.", name);
        return nullptr;
    }
    ZQI_ClearBitmapRecordLocked(bitmap);
    bitmap->name = copy;
    bitmap->hash = hash;
    bitmap->kind = 1;
    bitmap->slot = static_cast<uint32_t>(bitmap - ZQI_GetBitmapSlot(0));
    bitmap->load_state = BITMAP_NOT_LOADED;
    bitmap->reference_count = 1;
    ZQI_PrintReferenceCount("'%s' ref count = %d", bitmap->name, 1);
    ZQI_AcquireBitmapBusy(bitmap);
    UnlockTable();
    return bitmap;
}

// Frees the record for good, after the caller has checked the counts. The slot's release lowers
// the busy flag before a new name can take the slot.
void FreeRecord(zq_bitmap_t* bitmap) {
    ZQI_AcquireBitmapBusy(bitmap);
    ZQI_FreeBitmapSlot(bitmap);
}

void ReleaseForGood(zq_bitmap_t* bitmap) {
    ZQ_Print("Releasing bitmap '%s'..", bitmap->name);
    if (!ZQ_Threading_IsMainThread()) {
        ZQ_Popup(
            2,
            "ZQ_Graphics_ReleaseBitmap '%s' without reference counting is not possible from non-main thread.",
            bitmap->name);
        return;
    }
    if (bitmap->load_state == 0) {
        ZQ_Log(1, "Trying to release null bitmap.");
        return;
    }
    FreeRecord(bitmap);
}

void RefreshHttpBitmap(zq_bitmap_t* bitmap) {
    char cacheName[kHttpCacheNameSize];
    ZQI_GetHttpCacheName(cacheName, sizeof(cacheName), bitmap->name);
    ZQ_FileSystem_DeleteFile(cacheName);
    const int32_t mode = bitmap->cache_mode;
    ZQ_Graphics_SetBitmapCacheMode(bitmap, CACHE_NOTHING);
    ZQ_Graphics_SetBitmapCacheMode(bitmap, mode);
}

}  // namespace

zq_bitmap_t* ZQ_Graphics_CreateBitmap(const char* name, const zq_bitmap_desc_t* desc) {
    if (desc == nullptr) {
        ZQ_Log(2, "ZQ_Graphics_CreateBitmap: bitmap '%s' has no description.", name != nullptr ? name : "");
        return nullptr;
    }
    if (name == nullptr) {
        name = "";
    }
    int32_t width = desc->width;
    int32_t height = desc->height;
    ClampSize("ZQ_Graphics_CreateBitmap", name, &width, &height);
    const uint32_t hash = ZQI_HashName(name);
    LockTable();
    zq_bitmap_t* bitmap = ZQI_FindBitmapLocked(name, hash);
    if (bitmap != nullptr) {
        CountAgain(bitmap);
        UnlockTable();
        if (bitmap->width != width || bitmap->height != height) {
            ZQ_Graphics_ResizeBitmap(bitmap, width, height);
        }
        if (IsRenderTarget(bitmap)) {
            ReuseRenderTarget(bitmap, desc);
        }
        return bitmap;
    }
    bitmap = TakeNewSlot(name, hash, width, height);  // unlocks the table
    if (bitmap != nullptr) {
        SetUpCreatedBitmap(bitmap, desc, width, height);
        ZQI_ReleaseBitmapBusy(bitmap);
    }
    return bitmap;
}

void ZQ_Graphics_ResizeBitmap(zq_bitmap_t* bitmap, int32_t width, int32_t height) {
    if (bitmap == nullptr || (bitmap->width == width && bitmap->height == height &&
                              bitmap->pixel_width == width && bitmap->pixel_height == height)) {
        return;
    }
    ClampSize("ZQ_Graphics_ResizeBitmap", NameOf(bitmap), &width, &height);
    if (!IsRenderTarget(bitmap)) {
        if (!CanResizePixels(bitmap)) {
            return;
        }
        zq_bitmap_t resized = {};
        if (ZQI_CreateImageResized(&resized, bitmap, width, height)) {
            ZQI_AcquireBitmapBusy(bitmap);
            ZQI_GetImageLoader()->FreeImagePixels(bitmap);
            bitmap->pixels = resized.pixels;
            SetSize(bitmap, resized.pixel_width, resized.pixel_height);
            ZQI_ReleaseBitmapBusy(bitmap);
        }
        return;
    }
    if (!HighLevelRenderer::DetachRenderTarget(bitmap)) {
        ZQ_Popup(1, "ZQ_Graphics_ResizeBitmap: Bitmap '%s' is set as a render target", NameOf(bitmap));
        return;
    }
    if (bitmap->width == width && bitmap->height == height) {
        return;
    }
    if (ZQ_Threading_IsMainThread()) {
        ZQI_RemoveQueuedBitmap(bitmap);
        ZQI_AcquireBitmapBusy(bitmap);
        SetSize(bitmap, width, height);
        ZQI_CallRendererToFreeBitmap(&bitmap->gpu);
        ZQI_CallRendererToCreateBitmap(bitmap);
        ZQI_ReleaseBitmapBusy(bitmap);
    } else {
        ZQI_AcquireBitmapBusy(bitmap);
        SetSize(bitmap, width, height);
        ZQI_ReleaseBitmapBusy(bitmap);
        QueueBitmapCreation(bitmap);
    }
}

void ZQ_Graphics_RefreshBitmap(zq_bitmap_t* bitmap) {
    if (bitmap == nullptr || bitmap->name == nullptr) {
        return;
    }
    if (strncmp(bitmap->name, "http://", 7) == 0) {
        RefreshHttpBitmap(bitmap);
        return;
    }
    if (!ZQ_Threading_IsMainThread()) {
        ZQ_Popup(
            1,
            "Refreshing bitmaps from another thread than main has not been tested properly, not refreshing "
            "bitmap.");
        return;
    }
    if (IsRenderTarget(bitmap)) {
        ZQ_Log(1,
               "You should use zq_graphics_api_t::CopyBitmapRenderTargetDataToPixels() instead of "
               "zq_graphics_api_t::RefreshBitmap() to copy bitmap GPU data to pixels.");
        if (IsCurrentColourTarget(bitmap)) {
            ZQ_Popup(1, "ZQ_Graphics_RefreshBitmap: Bitmap '%s' is set as a render target", bitmap->name);
        } else {
            ZQ_Graphics_CopyBitmapRenderTargetDataToPixels(bitmap);
        }
        return;
    }
    if (IsReloadable(bitmap)) {
        const int32_t mode = bitmap->cache_mode;
        if (mode != CACHE_NOTHING) {
            ZQ_Graphics_SetBitmapCacheMode(bitmap, CACHE_NOTHING);
            ZQ_Graphics_SetBitmapCacheMode(bitmap, mode);
        }
        return;
    }
    ZQI_AcquireBitmapBusy(bitmap);
    ZQI_CallRendererToFreeBitmap(&bitmap->gpu);
    bitmap->load_state = BITMAP_LOADING;
    UploadBitmapToRenderer(bitmap);
    bitmap->load_state = BITMAP_LOADED;
    ZQI_ReleaseBitmapBusy(bitmap);
}

void ZQ_Graphics_ReleaseBitmap(zq_bitmap_t* bitmap) {
    if (bitmap == nullptr || bitmap->name == nullptr || bitmap->name[0] == '!') {
        return;
    }
    if (IsCurrentColourTarget(bitmap)) {
        HighLevelRenderer::DetachRenderTarget(bitmap);
        ZQ_Popup(1, "ZQ_Graphics_ReleaseBitmap: Bitmap '%s' is set as a render target.", bitmap->name);
    }
    LockTable();
    if (!ZQI_GetBitmapSwitches().referenceCounting) {
        UnlockTable();
        ReleaseForGood(bitmap);
        return;
    }
    --bitmap->reference_count;
    ZQI_PrintReferenceCount("ZQ_Graphics_ReleaseBitmap: '%s' ref count--: now %d", bitmap->name,
                            bitmap->reference_count);
    if ((bitmap->flags & BITMAP_FLAG_GET_COUNTED) != 0 && bitmap->reference_count == 0 &&
        ShowsCountErrors()) {
        ZQ_Popup(
            1,
            "Releasing bitmap '%s' too many times: ref counting will get messed up. NOTE: bitmap has been "
            "accessed using GetBitmap which increses ref count by 1 once.",
            bitmap->name);
    }
    if (bitmap->reference_count > 0) {
        UnlockTable();
        return;
    }
    if (bitmap->reference_count < 0) {
        bitmap->reference_count = 0;
        UnlockTable();
        if (ShowsCountErrors()) {
            ZQ_Popup(1, "Bitmap '%s' reference count less than zero.", bitmap->name);
        }
        return;
    }
    UnlockTable();
    if (IsReloadable(bitmap) || IsRenderTarget(bitmap)) {
        ZQ_Print("Hibernating bitmap '%s'..", bitmap->name);
        ZQ_Graphics_SetBitmapCacheMode(bitmap, CACHE_NOTHING);
        return;
    }
    ReleaseForGood(bitmap);
}

void ZQ_Graphics_RemoveBitmapHandle(zq_bitmap_t* bitmap) {
    if (bitmap == nullptr) {
        return;
    }
    if (IsCurrentColourTarget(bitmap)) {
        HighLevelRenderer::DetachRenderTarget(bitmap);
        ZQ_Popup(1, "ZQ_Graphics_RemoveBitmapHandle: Bitmap '%s' is set as a render target.", NameOf(bitmap));
    }
    ZQ_Print("Removing bitmap '%s' handle permanently.", NameOf(bitmap));
    LockTable();
    const int32_t expected = (bitmap->flags & BITMAP_FLAG_GET_COUNTED) != 0 ? 1 : 0;
    const bool stillCounted = bitmap->reference_count != expected;
    UnlockTable();
    if (stillCounted) {
        ZQ_Log(1, "ZQ_Graphics_RemoveBitmapHandle: bitmap '%s' is not fully release before this call.",
               NameOf(bitmap));
    }
    FreeRecord(bitmap);
}

void ZQ_Graphics_IncreaseBitmapReferenceCount(zq_bitmap_t* bitmap, const int16_t* count) {
    if (bitmap == nullptr || count == nullptr || *count == 0) {
        return;
    }
    LockTable();
    const bool wasZero = bitmap->reference_count == 0;
    if (wasZero && !IsReloadable(bitmap) && !IsRenderTarget(bitmap)) {
        ZQ_Popup(2,
                 "Trying to increase bitmap '%s' reference count from 0 to 1. You need to load or create "
                 "bitmap first "
                 "to set reference count to 1.",
                 NameOf(bitmap));
    }
    const int32_t total = int32_t(bitmap->reference_count) + *count;
    bitmap->reference_count = static_cast<int16_t>(
        total < 0 ? 0 : (total > ZQI_MAX_BITMAP_REFERENCES ? ZQI_MAX_BITMAP_REFERENCES : total));
    UnlockTable();
    if (IsReloadable(bitmap)) {
        // Only a hibernated bitmap (mode 0) loads again; a live one already holds what its mode asks.
        ZQ_Graphics_SetBitmapCacheMode(
            bitmap, bitmap->cache_mode != CACHE_NOTHING ? bitmap->cache_mode : CACHE_TEXTURE);
    } else if (IsRenderTarget(bitmap) && wasZero) {
        ZQI_AcquireBitmapBusy(bitmap);
        bitmap->cache_mode = CACHE_TEXTURE;
        bitmap->load_state = BITMAP_LOADED;
        QueueBitmapCreation(bitmap);
        ZQI_ReleaseBitmapBusy(bitmap);
    }
}

bool ZQ_Graphics_CopyBitmapRenderTargetDataToPixels(zq_bitmap_t* bitmap) {
    if (bitmap == nullptr || !IsRenderTarget(bitmap)) {
        return false;
    }
    if (bitmap->type != ZQ_TEXTURE_TYPE_2D) {
        ZQ_Log(2, "Unsupported texture type in CopyBitmapRenderTargetDataToPixels.");
        return false;
    }
    if (bitmap->format != ZQ_TEXTURE_FORMAT_RGBA8 && bitmap->format != ZQ_TEXTURE_FORMAT_RGBX8) {
        ZQ_Log(2, "Unsupported texture format in CopyBitmapRenderTargetDataToPixels.");
        return false;
    }
    if (bitmap->gpu.texture == nullptr || !ZQ_Threading_IsMainThread()) {
        return false;
    }
    // What is still waiting in the batch belongs in the texels read back.
    HighLevelRenderer::FlushBatch();
    return ZQI_GetRendererDevice().ReadRenderTargetPixels(bitmap);
}

bool ZQ_Graphics_SaveBitmap(zq_bitmap_t* bitmap, const char* path, uint32_t option) {
    if (bitmap == nullptr) {
        return false;
    }
    if (bitmap->pixels == nullptr) {
        if (IsRenderTarget(bitmap)) {
            ZQ_Log(
                1,
                "No pixel data present. Call  zq->graphics->CopyBitmapRenderTargetDataToPixels to fetch the "
                "data from gpu.");
        }
        ZQ_Log(2, "Unable to save bitmap as pixels data is null.");
        return false;
    }
    ZQI_AcquireBitmapBusy(bitmap);
    const bool saved = ZQI_GetImageLoader()->SaveImage(bitmap, path, option);
    ZQI_ReleaseBitmapBusy(bitmap);
    return saved;
}

void ZQ_Graphics_SetBitmapSourceRectangle(zq_bitmap_t* bitmap, int32_t x, int32_t y, int32_t width,
                                          int32_t height) {
    if (bitmap == nullptr || bitmap->gpu.texture_width <= 0 || bitmap->gpu.texture_height <= 0) {
        return;
    }
    const float textureWidth = static_cast<float>(bitmap->gpu.texture_width);
    const float textureHeight = static_cast<float>(bitmap->gpu.texture_height);
    bitmap->gpu.texture_left = static_cast<float>(x) / textureWidth;
    bitmap->gpu.texture_top = static_cast<float>(y) / textureHeight;
    bitmap->gpu.texture_right = static_cast<float>(int64_t(x) + width) / textureWidth;
    bitmap->gpu.texture_bottom = static_cast<float>(int64_t(y) + height) / textureHeight;
}

zq_bitmap_t* ZQ_Graphics_GetBitmapFromHandle(const int32_t* slot) {
    if (slot == nullptr || *slot < 0 || *slot >= ZQI_GetBitmapUsedCount()) {
        return nullptr;
    }
    zq_bitmap_t* bitmap = ZQI_GetBitmapSlot(*slot);
    return bitmap->name != nullptr ? bitmap : nullptr;
}

int32_t ZQ_Graphics_GetMaximumTextureSize() {
    return ZQI_GetRendererDevice().GetMaximumTextureSize();
}
