// Moving bitmaps to the GPU and taking them away again. Every GPU operation runs on the main
// thread: at once when the caller is the main thread, otherwise through queues under
// "RESOURCE_QUEUE" that the frame drains (bitmap creations and uploads, deferred texture frees; at
// most 10 entries of each per frame; the fonts keep a queue of their own for their atlases).
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

// Once per frame, main thread: the deferred frees, then the bitmap queue, each at most 10 entries,
// then the fonts' atlas queue.
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
// Entries waiting in the bitmap queue and the deferred-free list.
int32_t ZQI_GetQueuedBitmapCount();
int32_t ZQI_GetDeferredTextureFreeCount();

// ---- Font atlases ------------------------------------------------------------------------------
// The fonts subsystem lives above graphics and keeps its own font-atlas queue; the engine installs
// its drain (ZQI_FONTS_ProcessUploadQueue), which the queue step runs last. Null: none.
typedef void (*ZQI_FontAtlasQueueStep)();
void ZQI_SetFontAtlasQueueStep(ZQI_FontAtlasQueueStep step);

// Tests and shutdown: empties the bitmap queue and the deferred list (textures are not freed).
void ZQI_ClearBitmapQueues();
