// The lists of GPU work waiting for the main thread (bitmap creations and uploads, deferred texture
// frees), the frame's step that drains them and the fonts' atlas queue, regaining a lost renderer,
// and the renderer's stop and start for every bitmap.
#include <cstdlib>
#include <cstring>

#include "core/ApiTable.h"
#include "core/NamedMutex.h"
#include "core/Threads.h"
#include "foundation/Array.h"
#include "graphics/BitmapData.h"
#include "graphics/BitmapQueues_local.h"
#include "graphics/BitmapTable.h"
#include "graphics/BitmapUpload.h"
#include "graphics/RendererBackEnd.h"

namespace {

const int32_t kRegainTries = 10;
const uint32_t kRegainSleepMilliseconds = 100;

// Guarded by "RESOURCE_QUEUE". Removals halve storage that has become mostly empty.
struct ResourceQueues {
    Array<zq_bitmap_t*> bitmaps;
    Array<zq_bitmap_gpu_data_t*> deferredFrees;
    ResourceQueues() {
        bitmaps.shrinkOnRemove = true;
        deferredFrees.shrinkOnRemove = true;
    }
};

ResourceQueues g_queues;
ZQI_FontAtlasQueueStep g_fontAtlasStep;

void LockQueues() {
    ZQI_LockCoreMutex(CORE_MUTEX_RESOURCE_QUEUE);
}

void UnlockQueues() {
    ZQI_UnlockCoreMutex(CORE_MUTEX_RESOURCE_QUEUE);
}

template <typename T>
bool Contains(const Array<T>& list, T value) {
    for (const T& entry : list) {
        if (entry == value) {
            return true;
        }
    }
    return false;
}

// The first entries of a list, copied under the lock, so the work happens without it.
template <typename T>
int32_t Snapshot(Array<T>& list, T* out) {
    LockQueues();
    int32_t count = list.count < ZQI_QUEUE_ENTRIES_PER_FRAME ? list.count : ZQI_QUEUE_ENTRIES_PER_FRAME;
    for (int32_t i = 0; i < count; ++i) {
        out[i] = list[i];
    }
    UnlockQueues();
    return count;
}

template <typename T>
void RemoveEntry(Array<T>& list, T value) {
    LockQueues();
    list.Remove(value);
    UnlockQueues();
}

void ProcessDeferredFrees() {
    zq_bitmap_gpu_data_t* entries[ZQI_QUEUE_ENTRIES_PER_FRAME];
    const int32_t count = Snapshot(g_queues.deferredFrees, entries);
    for (int32_t i = 0; i < count; ++i) {
        ZQI_CallRendererToFreeBitmap(entries[i]);
        RemoveEntry(g_queues.deferredFrees, entries[i]);
        free(entries[i]);
    }
}

// One queued bitmap, under its busy flag: a render target is made again, a bitmap with data is
// uploaded (and drops pixels its cache mode does not keep); anything else was released meanwhile.
void ProcessQueuedBitmap(zq_bitmap_t* bitmap) {
    ZQI_AcquireBitmapBusy(bitmap);
    if ((bitmap->flags & BITMAP_FLAG_RENDER_TARGET) != 0) {
        if (ZQI_IsRendererReady()) {
            ZQI_CallRendererToFreeBitmap(&bitmap->gpu);
            ZQI_CallRendererToCreateBitmap(bitmap);
        }
    } else if (bitmap->pixels != nullptr || bitmap->frames != nullptr) {
        UploadBitmapToRenderer(bitmap);
        if ((bitmap->cache_mode & CACHE_PIXELS) == 0 && (bitmap->flags & BITMAP_FLAG_RELOADABLE) != 0) {
            FreeBitmapPixels(bitmap);
        }
    } else {
        ZQ_Log(
            1,
            "[ZQI_ProcessBitmapResourceQueues] Data of bitmap '%s' is not valid anymore. Most likely it has "
            "just been released.",
            bitmap->name);
    }
    ZQI_ReleaseBitmapBusy(bitmap);
}

void ProcessBitmapQueue() {
    zq_bitmap_t* entries[ZQI_QUEUE_ENTRIES_PER_FRAME];
    const int32_t count = Snapshot(g_queues.bitmaps, entries);
    for (int32_t i = 0; i < count; ++i) {
        // A bitmap whose slot was freed meanwhile has no name: it is only taken out.
        if (entries[i]->name != nullptr) {
            ProcessQueuedBitmap(entries[i]);
        }
        RemoveEntry(g_queues.bitmaps, entries[i]);
    }
}

// Every deferred texture, at once: the device they belong to is about to go.
void FreeAllDeferredTextures() {
    LockQueues();
    for (zq_bitmap_gpu_data_t* gpu : g_queues.deferredFrees) {
        ZQI_CallRendererToFreeBitmap(gpu);
        free(gpu);
    }
    g_queues.deferredFrees.Clear();
    UnlockQueues();
}

bool HasName(const zq_bitmap_t* bitmap) {
    return bitmap->name != nullptr && bitmap->name[0] != '\0';
}

}  // namespace

void ZQI_QueueBitmap(zq_bitmap_t* bitmap) {
    LockQueues();
    if (!Contains(g_queues.bitmaps, bitmap)) {
        g_queues.bitmaps.Push(bitmap);
    }
    UnlockQueues();
}

bool ZQI_RemoveQueuedBitmapLocked(zq_bitmap_t* bitmap) {
    return g_queues.bitmaps.Remove(bitmap);
}

bool ZQI_RemoveQueuedBitmap(zq_bitmap_t* bitmap) {
    LockQueues();
    bool removed = ZQI_RemoveQueuedBitmapLocked(bitmap);
    UnlockQueues();
    return removed;
}

void ZQI_DeferTextureFreeLocked(zq_bitmap_gpu_data_t* gpu) {
    if (!gpu->loaded && gpu->texture == nullptr) {
        return;
    }
    zq_bitmap_gpu_data_t* copy = static_cast<zq_bitmap_gpu_data_t*>(malloc(sizeof(zq_bitmap_gpu_data_t)));
    if (copy == nullptr) {
        ZQ_Log(2, "FreeBitmapGPUData: out of memory; a texture is kept until shutdown.");
        return;
    }
    *copy = *gpu;
    memset(gpu, 0, sizeof(*gpu));
    g_queues.deferredFrees.Push(copy);
}

int32_t ZQI_GetQueuedBitmapCount() {
    LockQueues();
    int32_t count = g_queues.bitmaps.count;
    UnlockQueues();
    return count;
}

int32_t ZQI_GetDeferredTextureFreeCount() {
    LockQueues();
    int32_t count = g_queues.deferredFrees.count;
    UnlockQueues();
    return count;
}

void ZQI_SetFontAtlasQueueStep(ZQI_FontAtlasQueueStep step) {
    g_fontAtlasStep = step;
}

void ZQI_ProcessBitmapResourceQueues() {
    ProcessDeferredFrees();
    ProcessBitmapQueue();
    if (g_fontAtlasStep != nullptr) {
        g_fontAtlasStep();
    }
}

bool RegainRendererImplementation() {
    if (ZQI_GetRendererBackEnd() != nullptr) {
        return ZQI_IsRendererReady();
    }
    ZQ_Print("Renderer implementation lost, trying to regain...\n");
    for (int32_t attempt = 1; attempt <= kRegainTries; ++attempt) {
        ZQ_Threading_Sleep(kRegainSleepMilliseconds);
        if (ZQI_IsRendererReady()) {
            ZQ_Print("Renderer reclaimed at try #%d.\n", attempt);
            return true;
        }
    }
    return false;
}

void ZQI_FreeBitmapGpuData() {
    for (int32_t slot = 0; slot < ZQI_GetBitmapUsedCount(); ++slot) {
        zq_bitmap_t* bitmap = ZQI_GetBitmapSlot(slot);
        if (HasName(bitmap)) {
            ZQI_AcquireBitmapBusy(bitmap);
            FreeBitmapGPUData(bitmap);
            ZQI_ReleaseBitmapBusy(bitmap);
        }
    }
    FreeAllDeferredTextures();
}

void ZQI_RecreateLiveBitmaps() {
    const bool counting = ZQI_GetBitmapSwitches().referenceCounting != 0;
    for (int32_t slot = 0; slot < ZQI_GetBitmapUsedCount(); ++slot) {
        zq_bitmap_t* bitmap = ZQI_GetBitmapSlot(slot);
        if (!HasName(bitmap) || bitmap->name[0] == '!' || (counting && bitmap->reference_count <= 0)) {
            continue;
        }
        LockQueues();
        const bool queued = Contains(g_queues.bitmaps, bitmap);
        UnlockQueues();
        if (queued) {
            ZQ_Print("Bitmap '%s' already queued for upload.", bitmap->name);
            continue;
        }
        if ((bitmap->flags & BITMAP_FLAG_RENDER_TARGET) != 0) {
            ZQI_AcquireBitmapBusy(bitmap);
            ZQI_CallRendererToCreateBitmap(bitmap);
            ZQI_ReleaseBitmapBusy(bitmap);
        } else {
            ZQI_ApplyBitmapCacheModeAgain(bitmap, bitmap->cache_mode);
        }
        ZQ_Graphics_SetBitmapFrame(bitmap, 0);
    }
}

void ZQI_ClearBitmapQueues() {
    LockQueues();
    for (zq_bitmap_gpu_data_t* gpu : g_queues.deferredFrees) {
        free(gpu);
    }
    g_queues.bitmaps.Clear();
    g_queues.deferredFrees.Clear();
    UnlockQueues();
}
