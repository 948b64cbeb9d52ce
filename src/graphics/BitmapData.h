// What a bitmap record owns, and freeing it. A record holds its pixels and its GPU block itself
// only when it is a plain bitmap or an atlas. Everything else holds copies that must be cleared,
// never freed:
//  - a bitmap with frames shows its selected frame: its pixels and GPU block are that frame's;
//  - a frame that repeats an earlier one (same-as frame) has the earlier frame's GPU block (pixels
//    of its own, when it kept any, are still its own);
//  - the frames of a sequence file lie in one atlas: their GPU blocks are the atlas texture's.
// The bitmap with frames owns its frame array and its atlas record. So each buffer and each texture
// is freed once, by its owner.
#pragma once

#include <cstdint>

#include "zorqa.h"

// True when the record's pixels and GPU block are its own (see above).
bool ZQI_BitmapOwnsData(const zq_bitmap_t* bitmap);

// Frees the pixels of the bitmap, of its frames that own theirs, and of its atlas; every copy of
// them is cleared.
void FreeBitmapPixels(zq_bitmap_t* bitmap);

// Frees the frames (their names, pixels and GPU data), the frame array and the atlas record; the
// bitmap's copies of the selected frame are cleared and its frame count becomes 0.
void FreeBitmapFrames(zq_bitmap_t* bitmap);

// Frees the bitmap's atlas record (its texture, pixels and name) and clears the pointer.
void ZQI_FreeBitmapAtlas(zq_bitmap_t* bitmap);

// Sets up a zeroed record as an atlas named by the owned text name (with its hash): 2D RGBA, one
// mip level, no padding, depth 1, reference count 1, not loaded.
void ZQI_SetUpAtlasRecord(zq_bitmap_t* atlas, char* name);

// count zeroed records for an atlas or a frame array (calloc: the owner frees them with free).
zq_bitmap_t* ZQI_NewBitmapRecords(int32_t count);

// Frame selection (the body of ZQ_Graphics_SetBitmapFrame): only for a bitmap with frames, the
// frame max(frame, 0) mod count becomes current and the bitmap takes its logical size, alpha flag,
// pixel pointer with its pixel size, and GPU block. This is the one place where a record takes a
// frame's pixels, so the pixel size always describes the pixels the record points at.
void ZQ_Graphics_SetBitmapFrame(zq_bitmap_t* bitmap, int32_t frame);
