// The bitmap table: every bitmap the engine hands out is one of 3072 zq_bitmap_t records in static
// storage, found by name (hash first, text second), reference counted, and told by its cache mode
// which of its data (decoded pixels, GPU texture) to keep. Loading and uploading are
// BitmapLoading.h and BitmapUpload.h; this file owns the records, the counts and the busy flags.
//
// Locking: "GET_BITMAP" guards slot search, slot taking and count changes and is never held while
// a bitmap loads. Each record's busy byte serialises work on that record across threads.
#pragma once

#include <cstdint>

#include "zorqa.h"

enum : int32_t {
    ZQI_BITMAP_TABLE_SIZE = 3072,
    ZQI_MAX_BITMAP_REFERENCES = 4096,               // a load-mode count above it is capped with a popup
    ZQI_DEFAULT_BITMAP_CACHE_MODE = CACHE_TEXTURE,  // what ZQ_Graphics_GetBitmap keeps
};

// zq_bitmap_t::flags bits.
enum : uint8_t {
    BITMAP_FLAG_ALPHA = 1,          // the pixels have an alpha channel
    BITMAP_FLAG_RELOADABLE = 2,     // came from a file and can be loaded again
    BITMAP_FLAG_RENDER_TARGET = 4,  // a render target (its GPU data is made, not uploaded)
    BITMAP_FLAG_GET_COUNTED = 8,    // a get-mode reference is already counted
};

// zq_bitmap_t::load_state values.
enum : uint16_t {
    BITMAP_NOT_LOADED = 1,  // loading allowed
    BITMAP_LOADING = 2,
    BITMAP_LOADED = 3,  // loaded, or a load was attempted
};

// zq_bitmap_t::pack_mode values: the texture padding a bitmap gets when uploaded (BitmapPacker.h).
enum : uint32_t {
    PAD_EXPAND = 0,        // one-pixel border filled with the nearest edge pixel
    PAD_EXPAND_TILED = 1,  // one-pixel border reserved, not filled
    PAD_DEFAULT = 2,       // as PAD_EXPAND, then made transparent; PAD_EXPAND without alpha
    NO_PADDING = 3,
};

// The engine switches the table reads. The engine sets them from the feature words at start-up
// (DISABLE_REFERENCE_COUNTING, PRINT_REFERENCE_COUNT_CHANGES, UNLIMITED_MEMORY); tests set them
// directly. Counting is on until told otherwise.
struct BitmapSwitches {
    uint8_t referenceCounting;
    uint8_t printReferenceCountChanges;
    uint8_t unlimitedMemory;  // every bitmap keeps one extra reference: none is ever hibernated
    uint32_t defaultPackMode;
};
BitmapSwitches& ZQI_GetBitmapSwitches();

// The record of a slot index; null outside 0..3071.
zq_bitmap_t* ZQI_GetBitmapSlot(int32_t slot);
// One past the highest slot ever taken (it never falls).
int32_t ZQI_GetBitmapUsedCount();

// Get (ZQ_Graphics_GetBitmap, ZQ_Graphics_GetBitmapWithCacheMode) or load (ZQ_Graphics_LoadBitmap)
// by name. A null or empty name means "!NONE"; leading '/' characters are reported and skipped.
// A new name takes the first free slot and is loaded as its cache mode asks; CACHE_LOOKUP_ONLY only
// finds. Null when the table is full or a lookup finds nothing. Any thread.
zq_bitmap_t* ZQI_GetOrLoadBitmap(const char* name, int32_t cacheMode, bool getMode);

// Loads, uploads and frees the bitmap's data to match the mode (ZQ_Graphics_SetBitmapCacheMode).
// Nothing happens for null, "!" names, repeated frames, mode 16 or the mode it already has.
void ZQ_Graphics_SetBitmapCacheMode(zq_bitmap_t* bitmap, int32_t cacheMode);
// The developer reload's reload of a bitmap it looked at under "GET_BITMAP" without taking a
// reference: its data freed and loaded again in its cache mode (true) only when, once the reload has
// the busy flag, it still has the name, is counted and is reloadable. A bitmap released meanwhile,
// or whose slot another took, is left as it is (false, nothing logged). Waits for the busy flag as
// ZQ_Graphics_SetBitmapCacheMode does; call it holding no table lock.
bool ZQI_ReloadBitmapInUse(zq_bitmap_t* bitmap, const char* name);
// Sets the mode as if the bitmap had none yet, so that the same mode loads and uploads it again.
// When the change is refused the bitmap keeps the mode.
void ZQI_ApplyBitmapCacheModeAgain(zq_bitmap_t* bitmap, int32_t cacheMode);

// False, with a popup, for descriptions the renderer cannot make: depth formats outside 2D, a depth
// other than 1, cube maps whose faces are not square powers of two.
bool CheckBitmapDescription(const zq_bitmap_t* bitmap);

// The texture type a name asks for: "_2D.", "_3D." or "_CUBE." ending at the name's last '.';
// ZQ_TEXTURE_TYPE_2D otherwise.
uint32_t ZQI_GetBitmapTypeFromName(const char* name);

// Busy flag: acquire waits until no other thread works on the record, then marks it; release
// clears the mark and wakes every waiter. Not recursive: a thread must not acquire twice.
void ZQI_AcquireBitmapBusy(zq_bitmap_t* bitmap);
void ZQI_ReleaseBitmapBusy(zq_bitmap_t* bitmap);

// With the busy flag held: replaces the file a name without extension resolved to (taking file,
// freeing the old one). Swapped under the busy flags' own lock, so that a thread holding
// "GET_BITMAP" can copy it without waiting for the flag (a load holds the flag for long).
void ZQI_SetBitmapSourceFile(zq_bitmap_t* bitmap, char* file);
// With "GET_BITMAP" held: a copy of that file for the caller to free; null without one.
char* ZQI_CopyBitmapSourceFileLocked(const zq_bitmap_t* bitmap);

// With "GET_BITMAP" held: the named bitmap (hash first, text second), or null.
zq_bitmap_t* ZQI_FindBitmapLocked(const char* name, uint32_t hash);
// With "GET_BITMAP" held: the first free slot of the table (raising the used count), or null.
zq_bitmap_t* ZQI_TakeFreeBitmapSlotLocked();
// With "GET_BITMAP" held: zeroes a slot taken for a new name, all but its busy flag. A thread that
// waited for the flag while the slot was being freed may hold it still; clearing it would let that
// thread's release later clear the new owner's flag. The new owner acquires the flag as usual.
void ZQI_ClearBitmapRecordLocked(zq_bitmap_t* bitmap);

// Frees the record's GPU data, pixels, frames and texts and marks the slot free (load state 0), for
// releasing a bitmap for good. The caller holds the busy flag; it is released here before the slot
// can be taken again.
void ZQI_FreeBitmapSlot(zq_bitmap_t* bitmap);

// Prints "'%s' ref count..." lines only with PRINT_REFERENCE_COUNT_CHANGES.
void ZQI_PrintReferenceCount(const char* format, const char* name, int32_t count);

struct MemoryEstimates;
// The memory estimates' source for the bitmap table: each named bitmap's pixels, texture and frames.
void ZQI_AddBitmapMemoryEstimates(MemoryEstimates* estimates);

// Tests and shutdown: frees every record's data and names, empties the table (used count 0).
void ZQI_ClearBitmapTable();
