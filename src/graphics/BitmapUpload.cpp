// Uploading bitmaps, creating render targets and freeing GPU data, at once on the main thread or
// through the queues (BitmapQueues.cpp) from any other.
#include "graphics/BitmapUpload.h"

#include <cstring>

#include "core/ApiTable.h"
#include "core/CoreState.h"
#include "core/NamedMutex.h"
#include "core/Threads.h"
#include "graphics/BitmapData.h"
#include "graphics/BitmapPacker.h"
#include "graphics/BitmapQueues_local.h"
#include "graphics/BitmapTable.h"
#include "graphics/RendererBackEnd.h"
#include "graphics/RendererState.h"

namespace {

const int32_t kSmallestMipSide = 16;  // mip levels stop once a side is this small

const char* NameOf(const zq_bitmap_t* bitmap) {
    return bitmap->name != nullptr ? bitmap->name : "";
}

// Levels from the texture size: one more for each halving of both sides while both are above 16.
// A request other than 0 (full chain) caps the count.
uint16_t CountMipLevels(const zq_bitmap_t* bitmap, int32_t width, int32_t height) {
    if (bitmap->mip_levels == 1) {
        return 1;
    }
    uint16_t levels = 1;
    while (width > kSmallestMipSide && height > kSmallestMipSide) {
        width /= 2;
        height /= 2;
        ++levels;
    }
    if (bitmap->mip_levels != 0 && levels > bitmap->mip_levels) {
        levels = bitmap->mip_levels;
    }
    return levels;
}

// A record that shows another's texture forgets it. Its rectangle stays: a sequence frame's place in
// the atlas comes from the file and is not made again when the atlas is uploaded again.
void ForgetSharedTexture(zq_bitmap_gpu_data_t* gpu) {
    gpu->loaded = 0;
    gpu->texture = nullptr;
    gpu->texture_width = 0;
    gpu->texture_height = 0;
}

// Calls visit for every GPU block the bitmap owns (its own, its non-repeating frames', its atlas's)
// and makes the bitmap and its frames forget the textures of other blocks.
template <typename Visit>
void ForEachOwnedBlock(zq_bitmap_t* bitmap, const Visit& visit) {
    if (ZQI_BitmapOwnsData(bitmap)) {
        if (bitmap->gpu.loaded || bitmap->gpu.texture != nullptr) {
            visit(&bitmap->gpu);
        }
    } else {
        ForgetSharedTexture(&bitmap->gpu);
    }
    for (int32_t i = 0; bitmap->frames != nullptr && i < bitmap->frame_count; ++i) {
        ForEachOwnedBlock(&bitmap->frames[i], visit);
    }
    if (bitmap->frames != nullptr && bitmap->atlas != nullptr) {
        ForEachOwnedBlock(bitmap->atlas, visit);
    }
}

bool IsOnMainThread() {
    return ZQ_Threading_IsMainThread();
}

// The calls of a ready renderer on the main thread; otherwise null.
const ZQI_RendererBackEndCalls* ReadyBackEndOnMainThread() {
    if (!IsOnMainThread()) {
        return nullptr;
    }
    if (ZQI_GetRendererBackEnd() == nullptr && !RegainRendererImplementation()) {
        return nullptr;
    }
    return ZQI_IsRendererReady() ? ZQI_GetRendererBackEnd() : nullptr;
}

// Developer mode refuses GPU work off the main thread with a popup naming the caller's message.
bool CheckRendererThread(const char* message) {
    if (IsOnMainThread()) {
        return true;
    }
    if (g_core.developerMode) {
        ZQ_Popup(1, "%s", message);
    }
    return false;
}

void UploadStillBitmap(zq_bitmap_t* bitmap) {
    if (bitmap->pixel_width == 0 || bitmap->pixel_height == 0 || !ZQI_CallRendererToLoadBitmap(bitmap)) {
        ZQ_Log(1, "Unable to upload bitmap '%s' (%dx%d) to renderer.", NameOf(bitmap), bitmap->pixel_width,
               bitmap->pixel_height);
    }
}

// The atlas goes up once; every frame shows its part of the atlas texture.
void UploadSequenceAtlas(zq_bitmap_t* bitmap) {
    zq_bitmap_t* atlas = bitmap->atlas;
    if (!atlas->gpu.loaded) {
        UploadStillBitmap(atlas);
    }
    for (int32_t i = 0; i < bitmap->frame_count; ++i) {
        zq_bitmap_gpu_data_t& gpu = bitmap->frames[i].gpu;
        gpu.texture = atlas->gpu.texture;
        gpu.texture_width = atlas->gpu.texture_width;
        gpu.texture_height = atlas->gpu.texture_height;
        gpu.loaded = atlas->gpu.loaded;
    }
}

// Frames of their own, one texture each; a repeated frame shows the texture of the one it repeats.
void UploadFrames(zq_bitmap_t* bitmap) {
    for (int32_t i = 0; i < bitmap->frame_count; ++i) {
        zq_bitmap_t* frame = &bitmap->frames[i];
        if (frame->same_as_frame == nullptr && !frame->gpu.loaded) {
            UploadStillBitmap(frame);
        }
    }
    for (int32_t i = 0; i < bitmap->frame_count; ++i) {
        zq_bitmap_t* frame = &bitmap->frames[i];
        if (frame->same_as_frame != nullptr) {
            frame->gpu = frame->same_as_frame->gpu;
        }
    }
}

// The render-target format candidates: D32 falls back to D24 and D16, D24 to D16, R32 to R16.
int32_t FormatCandidates(uint32_t format, uint32_t* out) {
    switch (format) {
        case ZQ_TEXTURE_FORMAT_D32_FLOAT:
            out[0] = ZQ_TEXTURE_FORMAT_D32_FLOAT;
            out[1] = ZQ_TEXTURE_FORMAT_D24_FLOAT;
            out[2] = ZQ_TEXTURE_FORMAT_D16_FLOAT;
            return 3;
        case ZQ_TEXTURE_FORMAT_D24_FLOAT:
            out[0] = ZQ_TEXTURE_FORMAT_D24_FLOAT;
            out[1] = ZQ_TEXTURE_FORMAT_D16_FLOAT;
            return 2;
        case ZQ_TEXTURE_FORMAT_R32_FLOAT:
            out[0] = ZQ_TEXTURE_FORMAT_R32_FLOAT;
            out[1] = ZQ_TEXTURE_FORMAT_R16_FLOAT;
            return 2;
        default:
            out[0] = format;
            return 0;  // created as given, without asking
    }
}

zq_bitmap_desc_t DescriptionOf(const zq_bitmap_t* bitmap, uint32_t format) {
    zq_bitmap_desc_t desc;
    desc.format = format;
    desc.type = bitmap->type;
    desc.mip_levels = bitmap->mip_levels;
    desc.width = bitmap->pixel_width;
    desc.height = bitmap->pixel_height;
    desc.depth = bitmap->depth;
    desc.render_target = 1;
    return desc;
}

}  // namespace

void UploadBitmapToRenderer(zq_bitmap_t* bitmap) {
    if (bitmap == nullptr) {
        return;
    }
    if (!IsOnMainThread()) {
        ZQI_QueueBitmap(bitmap);
        return;
    }
    if (ZQI_GetRendererBackEnd() == nullptr && !RegainRendererImplementation()) {
        return;
    }
    if (bitmap->frames == nullptr || bitmap->frame_count < 1) {
        UploadStillBitmap(bitmap);
        return;
    }
    if (bitmap->atlas != nullptr) {
        UploadSequenceAtlas(bitmap);
    } else {
        UploadFrames(bitmap);
    }
    ZQ_Graphics_SetBitmapFrame(bitmap, bitmap->current_frame);
}

void QueueBitmapCreation(zq_bitmap_t* bitmap) {
    if (bitmap == nullptr) {
        return;
    }
    if (IsOnMainThread() && ZQI_IsRendererReady()) {
        ZQI_CallRendererToCreateBitmap(bitmap);
        return;
    }
    ZQI_QueueBitmap(bitmap);
}

void FreeBitmapGPUData(zq_bitmap_t* bitmap) {
    if (bitmap == nullptr || (bitmap->name != nullptr && bitmap->name[0] == '!')) {
        return;
    }
    bool ownsTextures = false;
    ForEachOwnedBlock(bitmap, [&ownsTextures](zq_bitmap_gpu_data_t*) { ownsTextures = true; });
    if (ownsTextures && ReadyBackEndOnMainThread() != nullptr) {
        ForEachOwnedBlock(bitmap, [](zq_bitmap_gpu_data_t* gpu) { ZQI_CallRendererToFreeBitmap(gpu); });
    }
    // What could not be freed here waits for the main thread; the bitmap leaves the upload queue.
    ZQI_LockCoreMutex(CORE_MUTEX_RESOURCE_QUEUE);
    ZQI_RemoveQueuedBitmapLocked(bitmap);
    ForEachOwnedBlock(bitmap, [](zq_bitmap_gpu_data_t* gpu) { ZQI_DeferTextureFreeLocked(gpu); });
    ZQI_UnlockCoreMutex(CORE_MUTEX_RESOURCE_QUEUE);
}

bool ZQI_CallRendererToLoadBitmap(zq_bitmap_t* bitmap) {
    if (!CheckRendererThread("ZQI_CallRendererToLoadBitmap from non-renderer thread. Code fix required.")) {
        return false;
    }
    if (bitmap == nullptr) {
        ZQ_Log(2, "ZQI_CallRendererToLoadBitmap: parameter is null bitmap.");
        return false;
    }
    if (bitmap->pixels == nullptr) {
        ZQ_Log(2, "ZQI_CallRendererToLoadBitmap: Bitmap '%s' missing pixels.", NameOf(bitmap));
        return false;
    }
    if (bitmap->gpu.loaded) {
        ZQ_Log(1, "ZQI_CallRendererToLoadBitmap: Bitmap '%s' already loaded to gpu. Freeing...",
               NameOf(bitmap));
        ZQI_CallRendererToFreeBitmap(&bitmap->gpu);
    }
    const ZQI_RendererBackEndCalls* backEnd = ZQI_GetRendererBackEnd();
    if (backEnd == nullptr) {
        return false;
    }
    BitmapPacker packer;
    const bool exact = bitmap->mip_levels == 1 && backEnd->SupportsNonPowerOfTwo();
    packer.BeginPacking(bitmap, exact);
    if (packer.textureWidth < 1 || packer.textureHeight < 1) {
        return false;
    }
    bitmap->mip_levels = CountMipLevels(bitmap, packer.textureWidth, packer.textureHeight);
    const bool created = backEnd->CreateTexture(bitmap, &packer);
    packer.Release();
    if (!created) {
        return false;
    }
    zq_bitmap_gpu_data_t& gpu = bitmap->gpu;
    const float width = float(packer.textureWidth);
    const float height = float(packer.textureHeight);
    gpu.texture_width = packer.textureWidth;
    gpu.texture_height = packer.textureHeight;
    gpu.texture_left = packer.borderX / width;
    gpu.texture_top = packer.borderY / height;
    gpu.texture_right = (bitmap->pixel_width + packer.borderX) / width;
    gpu.texture_bottom = (bitmap->pixel_height + packer.borderY) / height;
    gpu.loaded = 1;
    return true;
}

bool ZQI_CallRendererToCreateBitmap(zq_bitmap_t* bitmap) {
    if (!CheckRendererThread(
            "ZQI_CallRendererToCreateBitmap: called from non-renderer thread, fix the code!")) {
        return false;
    }
    if (bitmap == nullptr) {
        ZQ_Log(2, "ZQI_CallRendererToCreateBitmap: bitmap is null.");
        return false;
    }
    if (bitmap->gpu.loaded || bitmap->gpu.texture != nullptr) {
        ZQ_Log(1, "ZQI_CallRendererToCreateBitmap: bitmap '%s' is already loaded to GPU, freeing...",
               NameOf(bitmap));
        ZQI_CallRendererToFreeBitmap(&bitmap->gpu);
    }
    const ZQI_RendererBackEndCalls* backEnd = ZQI_GetRendererBackEnd();
    if (backEnd == nullptr || !CheckBitmapDescription(bitmap)) {
        return false;
    }
    uint32_t candidates[3];
    const int32_t count = FormatCandidates(bitmap->format, candidates);
    if (count == 0) {
        bitmap->gpu.loaded = backEnd->CreateRenderTarget(bitmap) ? 1 : 0;
        return bitmap->gpu.loaded != 0;
    }
    const uint32_t requested = bitmap->format;
    for (int32_t i = 0; i < count; ++i) {
        const zq_bitmap_desc_t desc = DescriptionOf(bitmap, candidates[i]);
        if (!backEnd->IsBitmapFormatSupported(&desc)) {
            continue;
        }
        bitmap->format = candidates[i];
        if (backEnd->CreateRenderTarget(bitmap)) {
            bitmap->gpu.loaded = 1;
            return true;
        }
    }
    bitmap->format = requested;
    return false;
}

void ZQI_CallRendererToFreeBitmap(zq_bitmap_gpu_data_t* gpu) {
    if (gpu == nullptr) {
        return;
    }
    if (gpu->texture != nullptr) {
        if (!gpu->loaded) {
            ZQ_Log(
                1,
                "ZQI_CallRendererToFreeBitmap: Bitmap %x not loaded to gpu but implementation data exists.",
                static_cast<unsigned>(reinterpret_cast<uintptr_t>(gpu)));
        }
        g_rendererState.UnbindTexture(gpu->texture);
        const ZQI_RendererBackEndCalls* backEnd = ZQI_GetRendererBackEnd();
        if (backEnd != nullptr) {
            backEnd->FreeTexture(gpu->texture);
        }
    }
    memset(gpu, 0, sizeof(*gpu));
}
