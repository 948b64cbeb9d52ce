// The queue operations the upload code shares with the queue step; not for other subsystems.
#pragma once

#include "zorqa.h"

// Appends the bitmap to the bitmap queue once, taking "RESOURCE_QUEUE".
void ZQI_QueueBitmap(zq_bitmap_t* bitmap);
// With "RESOURCE_QUEUE" held: takes the bitmap out of the bitmap queue.
bool ZQI_RemoveQueuedBitmapLocked(zq_bitmap_t* bitmap);
// With "RESOURCE_QUEUE" held: moves a loaded block into a heap copy on the deferred-free list and
// clears the block.
void ZQI_DeferTextureFreeLocked(zq_bitmap_gpu_data_t* gpu);
