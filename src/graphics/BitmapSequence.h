// Bitmap-sequence files (".bms"): all frames of an animation as one atlas image plus one 32-byte
// record per frame giving its place in the atlas. Little-endian throughout:
//   "ZQ_Bm_Seq_v1\0" (13 bytes), frame count n (i32), "RGBA", chunk name "ATLAS" padded with zeros
//   to 8 bytes, chunk size (written 0, ignored), n frame records {width, height, frame number
//   (i32 each), frame rate (f32), texture rectangle left, top, right, bottom (f32 each)}, then the
//   pixel encoding "PNG\0" {u32 byte size, a PNG file of the atlas} or "RLE\0" {atlas width and
//   height (i32 each), runs {u8 pixel count, B, G, R, A} up to exactly width x height pixels}.
// Frames that repeat an earlier frame share its place in the atlas.
#pragma once

#include <cstdint>

#include "zorqa.h"

// Writes the bitmap's frames as a sequence to a native file: the frames that repeat no other are
// packed into a new atlas (at most 2048 x 2048), which replaces the bitmap's old one; the atlas is
// stored as PNG. False, with a popup, for a bitmap without frames, when the frames do not fit or
// the file cannot be written.
bool ZQI_SaveBitmapSequence(zq_bitmap_t* bitmap, const char* nativePath);

// Reads a sequence through the file-system API into the bitmap's frames (their sizes, numbers,
// rates and rectangles) and a new atlas record named "atlas:<path>" holding the pixels. The frames
// have no pixels of their own. False for a missing file (no message) or a bad one (reported); the
// bitmap then has no frames.
bool ZQI_LoadBitmapSequence(zq_bitmap_t* bitmap, const char* path);
