// Moving bitmaps to the GPU and taking them away again. Every GPU operation runs on the main
// thread: at once when the caller is the main thread, otherwise through three queues under
// "RESOURCE_QUEUE" that the frame drains (bitmap creations and uploads, deferred texture frees,
// font-atlas uploads; at most 10 entries of each per frame).
#pragma once

#include <cstdint>

#include "zorqa.h"

// Entries of each queue worked on per frame.
enum { ZQI_QUEUE_ENTRIES_PER_FRAME = 10 };

// Main thread: uploads the bitmap's pixels now (a sequence: its atlas, or its frames one by one,
// then the current frame again). Other threads: queues it, once.
void UploadBitmapToRenderer(zq_bitmap_t* bitmap);

// For render targets and bitmaps made by ZQ_Graphics_CreateBitmap: created at once on the main
// thread when the renderer is ready, otherwise queued, once.
void QueueBitmapCreation(zq_bitmap_t* bitmap);

// Frees the GPU data the bitmap owns (its texture, its non-repeating frames' textures, its atlas's)
// and clears every copy. On the main thread with a ready renderer at once; otherwise the blocks are
// moved to the deferred list and freed by the next frame. Names starting with '!' are skipped.
void FreeBitmapGPUData(zq_bitmap_t* bitmap);

// The back-end calls, main thread only.
// Packs the pixels with their padding, creates the texture with its mip chain and stores the
// texture size and rectangle. False without pixels or when the texture cannot be made.
bool ZQI_CallRendererToLoadBitmap(zq_bitmap_t* bitmap);
// Creates a render target, trying the fall-back formats of D32, D24 and R32 in turn.
bool ZQI_CallRendererToCreateBitmap(zq_bitmap_t* bitmap);
// Frees one GPU block's texture, unbinding it from every texture stage first, and clears the block.
void ZQI_CallRendererToFreeBitmap(zq_bitmap_gpu_data_t* gpu);

// Once per frame, main thread: the deferred frees, then the bitmap queue, then the font-atlas
// queue, each at most 10 entries.
void ZQI_ProcessBitmapResourceQueues();

// When the renderer object is missing, waits for it in 100 ms steps, at most 10 times. True when
// it exists and is ready.
bool RegainRendererImplementation();

// Renderer stop: the GPU data of every named bitmap is freed under its busy flag.
void ZQI_FreeBitmapGpuData();
// Renderer start: every live bitmap goes back to the GPU in slot order (render targets created
// again, the others through their cache mode), frame 0 selected.
void ZQI_RecreateLiveBitmaps();

// Removes the bitmap from the bitmap queue (under the lock); true when it was there.
bool ZQI_RemoveQueuedBitmap(zq_bitmap_t* bitmap);
// Entries waiting in the bitmap queue, the deferred-free list and the font-atlas queue.
int32_t ZQI_GetQueuedBitmapCount();
int32_t ZQI_GetDeferredTextureFreeCount();
int32_t ZQI_GetQueuedFontAtlasCount();

// ---- Font-atlas queue ---------------------------------------------------------------------------
// The fonts subsystem lives above graphics: it installs these calls, queues its fonts from other
// threads, and the frame's queue step drains them through its own upload.
struct ZQI_FontAtlasCalls {
    // The font's name; null once the font record was freed (its entry is then dropped).
    const char* (*GetName)(zq_font_t* font);
    // The atlas bitmap whose busy flag is held while the font uploads; null when it has none.
    zq_bitmap_t* (*GetAtlasBitmap)(zq_font_t* font);
    // The font's atlas upload on the main thread (ZQI_FONTS_UploadFontAtlas).
    void (*UploadAtlas)(zq_font_t* font);
};
// Installs a copy of the calls (null removes them). Until fonts install theirs, queued fonts are
// dropped by the queue step.
void ZQI_SetFontAtlasCalls(const ZQI_FontAtlasCalls* calls);
// Appends the font to the font-atlas queue under "RESOURCE_QUEUE" unless it is already there.
void ZQI_QueueFontAtlasUpload(zq_font_t* font);

// Tests and shutdown: empties the three queues (deferred textures are not freed).
void ZQI_ClearBitmapQueues();
