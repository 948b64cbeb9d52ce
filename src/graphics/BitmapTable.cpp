// The bitmap table: slot search and taking under "GET_BITMAP", reference counts, the busy flags,
// the cache-mode rules and the description check.
#include "foundation/TextUtils.h"
#include "graphics/BitmapTable.h"

#include <cstdlib>
#include <cstring>

#include "core/ApiTable.h"
#include "core/MemoryStatistics.h"
#include "core/NamedMutex.h"
#include "core/Sys.h"
#include "foundation/NameHash.h"
#include "graphics/BitmapData.h"
#include "graphics/BitmapLoading.h"
#include "graphics/BitmapUpload.h"
#include "graphics/ImageLoader.h"

namespace {

zq_bitmap_t g_bitmaps[ZQI_BITMAP_TABLE_SIZE];
volatile int32_t g_usedCount;

BitmapSwitches g_switches = {1, 0, 0, PAD_DEFAULT};

// The one engine-wide lock and condition variable behind every record's busy byte. Made on first
// use, so loading works before start-up has run (tests, tools).
struct BusyLock {
    ZQI_SysCriticalSection* section;
    ZQI_SysConditionVariable* condition;
    BusyLock() : section(ZQI_SysNewCriticalSection()), condition(ZQI_SysNewConditionVariable()) {}
};

BusyLock& GetBusyLock() {
    static BusyLock lock;
    return lock;
}

void LockTable() {
    ZQI_LockCoreMutex(CORE_MUTEX_GET_BITMAP);
}

void UnlockTable() {
    ZQI_UnlockCoreMutex(CORE_MUTEX_GET_BITMAP);
}

bool IsPowerOfTwo(int32_t value) {
    return value > 0 && (value & (value - 1)) == 0;
}

// Step 1 of get-or-load: "!NONE" for nothing, leading slashes reported and skipped.
const char* NormaliseName(const char* name) {
    if (name == nullptr || name[0] == '\0') {
        return "!NONE";
    }
    while (name[0] == '/') {
        ZQ_Popup(1, "Bitmap '%s' name path starting with '/' is not allowed.", name);
        ++name;
    }
    return name;
}

// Under the table lock.
zq_bitmap_t* FindBitmap(const char* name, uint32_t hash) {
    for (zq_bitmap_t& bitmap : g_bitmaps) {
        if (bitmap.name != nullptr && bitmap.hash == hash && strcmp(bitmap.name, name) == 0) {
            return &bitmap;
        }
    }
    return nullptr;
}

// Under the table lock: the first free slot of the whole table, or null.
zq_bitmap_t* TakeFreeSlot() {
    for (int32_t i = 0; i < ZQI_BITMAP_TABLE_SIZE; ++i) {
        if (g_bitmaps[i].name == nullptr) {
            if (i >= g_usedCount) {
                ZQI_SysAtomicExchange(&g_usedCount, i + 1);
            }
            return &g_bitmaps[i];
        }
    }
    return nullptr;
}

// Under the table lock: a known name is counted again. Get mode counts once per bitmap (flag bit
// 3); load mode counts every call, capped at 4096.
void CountReference(zq_bitmap_t* bitmap, bool getMode) {
    const char* kind = getMode ? "Get" : "Load";
    if (getMode) {
        if ((bitmap->flags & BITMAP_FLAG_GET_COUNTED) == 0) {
            ++bitmap->reference_count;
            bitmap->flags |= BITMAP_FLAG_GET_COUNTED;
            if (g_switches.printReferenceCountChanges) {
                ZQ_Print("'%s' ref count++ (%sBitmap): now %d", bitmap->name, kind, bitmap->reference_count);
            }
        }
        return;
    }
    ++bitmap->reference_count;
    if (g_switches.printReferenceCountChanges) {
        ZQ_Print("'%s' ref count++ (%sBitmap): now %d", bitmap->name, kind, bitmap->reference_count);
    }
    if (bitmap->reference_count > ZQI_MAX_BITMAP_REFERENCES) {
        bitmap->reference_count = ZQI_MAX_BITMAP_REFERENCES;
        ZQ_Popup(1, "Bitmap '%s' reference count suspiciously high: capping at %d.", bitmap->name,
                 ZQI_MAX_BITMAP_REFERENCES);
    }
}

// Under the table lock: the new record of a name (the record is zeroed first).
void SetUpNewRecord(zq_bitmap_t* bitmap, char* nameCopy, uint32_t hash) {
    int32_t slot = static_cast<int32_t>(bitmap - g_bitmaps);
    ZQI_ClearBitmapRecordLocked(bitmap);
    bitmap->name = nameCopy;
    bitmap->hash = hash;
    bitmap->kind = 1;
    bitmap->slot = static_cast<uint32_t>(slot);
    bitmap->flags = BITMAP_FLAG_RELOADABLE;
    bitmap->load_state = BITMAP_NOT_LOADED;
    bitmap->reference_count = 1;
    bitmap->format = ZQ_TEXTURE_FORMAT_RGBA8;
    bitmap->depth = 1;
    bitmap->type = ZQI_GetBitmapTypeFromName(nameCopy);
    bitmap->mip_levels = strstr(nameCopy, "textures/") != nullptr ? 0 : 1;
}

// Copies the first frame into the record once it has loaded.
void SelectFirstFrame(zq_bitmap_t* bitmap) {
    if (bitmap->frames != nullptr && bitmap->frame_count > 0 && CheckBitmapDescription(bitmap)) {
        ZQ_Graphics_SetBitmapFrame(bitmap, 0);
    }
}

zq_bitmap_t* CreateBitmapRecord(const char* name, uint32_t hash, int32_t cacheMode, bool getMode) {
    ZQ_Print("..caching bitmap '%s'", name);
    char* nameCopy = ZQI_DuplicateText(name);
    zq_bitmap_t* bitmap = nameCopy != nullptr ? TakeFreeSlot() : nullptr;
    if (bitmap == nullptr) {
        UnlockTable();
        free(nameCopy);
        ZQ_Popup(1, " ! Zorqa out of free bitmaps.");
        return nullptr;
    }
    SetUpNewRecord(bitmap, nameCopy, hash);
    ZQI_AcquireBitmapBusy(bitmap);
    UnlockTable();
    bitmap->cache_mode = CACHE_NOTHING;
    bitmap->pack_mode = g_switches.defaultPackMode;
    if (cacheMode == CACHE_NOTHING) {
        bitmap->reference_count = 0;
        if (getMode) {
            bitmap->flags &= static_cast<uint8_t>(~BITMAP_FLAG_GET_COUNTED);
        }
        ZQI_PrintReferenceCount("'%s' ref count = %d (CACHE_NOTHING)", bitmap->name, 0);
        ZQI_ReleaseBitmapBusy(bitmap);
        return bitmap;
    }
    ZQI_PrintReferenceCount("'%s' ref count = %d", bitmap->name, 1);
    ZQI_ReleaseBitmapBusy(bitmap);
    ZQ_Graphics_SetBitmapCacheMode(bitmap, cacheMode);
    bitmap->depth = 1;
    SelectFirstFrame(bitmap);
    return bitmap;
}

// Steps 5 to 9 of setting a cache mode, with the busy flag held.
void ApplyCacheMode(zq_bitmap_t* bitmap, int32_t mode) {
    bool reloadable = (bitmap->flags & BITMAP_FLAG_RELOADABLE) != 0;
    bool renderTarget = (bitmap->flags & BITMAP_FLAG_RENDER_TARGET) != 0;
    bool keepsSomething = (mode & (CACHE_PIXELS | CACHE_TEXTURE)) != 0;
    bool atlasHasPixels = bitmap->atlas != nullptr && bitmap->atlas->pixels != nullptr;
    if (reloadable && keepsSomething && bitmap->pixels == nullptr && !atlasHasPixels) {
        bitmap->load_state = BITMAP_NOT_LOADED;
        LoadBitmapFile(bitmap);
    }
    if ((mode & CACHE_TEXTURE) != 0 && !bitmap->gpu.loaded) {
        // A render target has no pixels to upload: its texture is made.
        if (renderTarget) {
            QueueBitmapCreation(bitmap);
        } else {
            UploadBitmapToRenderer(bitmap);
        }
    }
    if (reloadable && (mode & CACHE_PIXELS) == 0 && (bitmap->gpu.loaded || (mode & CACHE_TEXTURE) == 0)) {
        FreeBitmapPixels(bitmap);
    }
    if (bitmap->gpu.loaded && (mode & CACHE_TEXTURE) == 0) {
        FreeBitmapGPUData(bitmap);
    }
    if (mode == CACHE_NOTHING) {
        FreeBitmapFrames(bitmap);
        bitmap->load_state = BITMAP_NOT_LOADED;
    }
}

// Setting a cache mode once the busy flag is held.
void SetCacheModeHeld(zq_bitmap_t* bitmap, int32_t cacheMode) {
    // Another thread may have applied the same mode while this one waited for the flag.
    if (cacheMode == bitmap->cache_mode) {
        return;
    }
    if (g_switches.referenceCounting && bitmap->reference_count < 1) {
        bitmap->cache_mode = static_cast<int8_t>(cacheMode);
    }
    if (g_switches.unlimitedMemory && (cacheMode & (CACHE_PIXELS | CACHE_TEXTURE)) != 0 &&
        (bitmap->flags & BITMAP_FLAG_GET_COUNTED) == 0) {
        bitmap->flags |= BITMAP_FLAG_GET_COUNTED;
        ++bitmap->reference_count;
    }
    ApplyCacheMode(bitmap, cacheMode);
    bitmap->cache_mode = static_cast<int8_t>(cacheMode);
}

// Under the table lock: the record still has the name, is counted and can be loaded again.
bool IsInUseAs(const zq_bitmap_t* bitmap, const char* name) {
    return bitmap->name != nullptr && strcmp(bitmap->name, name) == 0 && bitmap->reference_count > 0 &&
           (bitmap->flags & BITMAP_FLAG_RELOADABLE) != 0;
}

// The busy flag when no thread has it; false, without waiting, when one does.
bool TryAcquireBusy(zq_bitmap_t* bitmap) {
    BusyLock& lock = GetBusyLock();
    ZQI_SysEnterCriticalSection(lock.section);
    const bool free = bitmap->busy == 0;
    if (free) {
        bitmap->busy = 1;
    }
    ZQI_SysLeaveCriticalSection(lock.section);
    return free;
}

// Returns once no thread has the busy flag, without taking it.
void WaitUntilNotBusy(zq_bitmap_t* bitmap) {
    BusyLock& lock = GetBusyLock();
    ZQI_SysEnterCriticalSection(lock.section);
    while (bitmap->busy) {
        ZQI_SysWaitConditionVariable(lock.condition, lock.section);
    }
    ZQI_SysLeaveCriticalSection(lock.section);
}

}  // namespace

BitmapSwitches& ZQI_GetBitmapSwitches() {
    return g_switches;
}

zq_bitmap_t* ZQI_GetBitmapSlot(int32_t slot) {
    if (slot < 0 || slot >= ZQI_BITMAP_TABLE_SIZE) {
        return nullptr;
    }
    return &g_bitmaps[slot];
}

int32_t ZQI_GetBitmapUsedCount() {
    return ZQI_SysAtomicLoad(&g_usedCount);
}

void ZQI_PrintReferenceCount(const char* format, const char* name, int32_t count) {
    if (g_switches.printReferenceCountChanges) {
        ZQ_Print(format, name, count);
    }
}

uint32_t ZQI_GetBitmapTypeFromName(const char* name) {
    const char* lastDot = strrchr(name, '.');
    struct Suffix {
        const char* text;
        uint32_t type;
    };
    static const Suffix kSuffixes[] = {
        {"2D.", ZQ_TEXTURE_TYPE_2D}, {"3D.", ZQ_TEXTURE_TYPE_3D}, {"CUBE.", ZQ_TEXTURE_TYPE_CUBE}};
    for (const char* underscore = strchr(name, '_'); underscore != nullptr;
         underscore = strchr(underscore + 1, '_')) {
        for (const Suffix& suffix : kSuffixes) {
            size_t length = strlen(suffix.text);
            if (strncmp(underscore + 1, suffix.text, length) == 0 && underscore + length == lastDot) {
                return suffix.type;
            }
        }
    }
    return ZQ_TEXTURE_TYPE_2D;
}

zq_bitmap_t* ZQI_GetOrLoadBitmap(const char* name, int32_t cacheMode, bool getMode) {
    name = NormaliseName(name);
    uint32_t hash = ZQI_HashName(name);
    LockTable();
    zq_bitmap_t* bitmap = FindBitmap(name, hash);
    if (bitmap == nullptr) {
        if (cacheMode == CACHE_LOOKUP_ONLY) {
            UnlockTable();
            return nullptr;
        }
        return CreateBitmapRecord(name, hash, cacheMode, getMode);  // unlocks the table
    }
    if (cacheMode == CACHE_LOOKUP_ONLY) {
        UnlockTable();
        return bitmap;
    }
    if (cacheMode != CACHE_NOTHING && name[0] != '!') {
        CountReference(bitmap, getMode);
    }
    UnlockTable();
    if (getMode || (bitmap->flags & BITMAP_FLAG_RELOADABLE) != 0) {
        ZQ_Graphics_SetBitmapCacheMode(bitmap, bitmap->cache_mode | cacheMode);
    }
    return bitmap;
}

void ZQ_Graphics_SetBitmapCacheMode(zq_bitmap_t* bitmap, int32_t cacheMode) {
    if (bitmap == nullptr || bitmap->name == nullptr || bitmap->name[0] == '!' ||
        bitmap->same_as_frame != nullptr || cacheMode == bitmap->cache_mode ||
        cacheMode == CACHE_LOOKUP_ONLY) {
        return;
    }
    bool reloadable = (bitmap->flags & BITMAP_FLAG_RELOADABLE) != 0;
    bool renderTarget = (bitmap->flags & BITMAP_FLAG_RENDER_TARGET) != 0;
    if (!reloadable && !renderTarget && bitmap->pixels == nullptr) {
        ZQ_Log(1, "Bitmap '%s' not reloadable, can't change cache mode.", bitmap->name);
        return;
    }
    ZQI_AcquireBitmapBusy(bitmap);
    SetCacheModeHeld(bitmap, cacheMode);
    ZQI_ReleaseBitmapBusy(bitmap);
}

// The busy flag is tried under the table lock, where the name and count are checked, and waited for
// without it: a thread holding the flag may need the table lock (a release freeing the slot).
bool ZQI_ReloadBitmapInUse(zq_bitmap_t* bitmap, const char* name) {
    if (bitmap == nullptr || name == nullptr) {
        return false;
    }
    for (;;) {
        LockTable();
        if (!IsInUseAs(bitmap, name)) {
            UnlockTable();
            return false;
        }
        const bool held = TryAcquireBusy(bitmap);
        UnlockTable();
        if (held) {
            break;
        }
        WaitUntilNotBusy(bitmap);
    }
    // From here the slot keeps this bitmap until the flag drops; a release meanwhile hibernates it
    // after the reload. A repeated frame shares another bitmap's data and is not reloaded.
    if (bitmap->same_as_frame == nullptr) {
        const int32_t mode = bitmap->cache_mode;
        SetCacheModeHeld(bitmap, CACHE_NOTHING);
        SetCacheModeHeld(bitmap, mode);
    }
    ZQI_ReleaseBitmapBusy(bitmap);
    return true;
}

void ZQI_ApplyBitmapCacheModeAgain(zq_bitmap_t* bitmap, int32_t cacheMode) {
    bitmap->cache_mode = -1;
    ZQ_Graphics_SetBitmapCacheMode(bitmap, cacheMode);
    if (bitmap->cache_mode == -1) {
        bitmap->cache_mode = static_cast<int8_t>(cacheMode);  // refused: nothing changed
    }
}

bool CheckBitmapDescription(const zq_bitmap_t* bitmap) {
    bool depthFormat =
        bitmap->format >= ZQ_TEXTURE_FORMAT_D16_FLOAT && bitmap->format <= ZQ_TEXTURE_FORMAT_D32_FLOAT;
    if (bitmap->type != ZQ_TEXTURE_TYPE_2D && depthFormat) {
        ZQ_Popup(2, "Depth formats (ZQ_TEXTURE_FORMAT_D*_FLOAT) are supported with 2D textures only.");
        return false;
    }
    if (bitmap->type == ZQ_TEXTURE_TYPE_3D) {
        return true;
    }
    if (bitmap->depth != 1) {
        ZQ_Popup(2, "Bitmap '%s' must have depth of 1.", bitmap->name);
        return false;
    }
    if (bitmap->type == ZQ_TEXTURE_TYPE_CUBE) {
        bool renderTarget = (bitmap->flags & BITMAP_FLAG_RENDER_TARGET) != 0;
        int32_t faceHeight = renderTarget ? bitmap->pixel_height : bitmap->pixel_height / 6;
        if (bitmap->pixel_width != faceHeight) {
            ZQ_Popup(2, "The width and height of cube map '%s' do not match.", bitmap->name);
            return false;
        }
        if (!IsPowerOfTwo(bitmap->pixel_width)) {
            ZQ_Popup(2, "Cube map '%s' must have power of two dimensions.", bitmap->name);
            return false;
        }
    }
    return true;
}

void ZQI_AcquireBitmapBusy(zq_bitmap_t* bitmap) {
    BusyLock& lock = GetBusyLock();
    ZQI_SysEnterCriticalSection(lock.section);
    while (bitmap->busy) {
        ZQI_SysWaitConditionVariable(lock.condition, lock.section);
    }
    bitmap->busy = 1;
    ZQI_SysLeaveCriticalSection(lock.section);
}

void ZQI_ReleaseBitmapBusy(zq_bitmap_t* bitmap) {
    BusyLock& lock = GetBusyLock();
    ZQI_SysEnterCriticalSection(lock.section);
    bitmap->busy = 0;
    ZQI_SysLeaveCriticalSection(lock.section);
    ZQI_SysWakeAll(lock.condition);
}

// A release frees the file under "GET_BITMAP" with the flag held; a load swaps it with the flag held
// under the busy lock, which is taken last and never held while waiting: holding both, the copy
// reads a file neither can free.
void ZQI_SetBitmapSourceFile(zq_bitmap_t* bitmap, char* file) {
    BusyLock& lock = GetBusyLock();
    ZQI_SysEnterCriticalSection(lock.section);
    char* old = bitmap->source_file;
    bitmap->source_file = file;
    ZQI_SysLeaveCriticalSection(lock.section);
    free(old);
}

char* ZQI_CopyBitmapSourceFileLocked(const zq_bitmap_t* bitmap) {
    BusyLock& lock = GetBusyLock();
    ZQI_SysEnterCriticalSection(lock.section);
    char* copy = bitmap->source_file != nullptr ? ZQI_DuplicateText(bitmap->source_file) : nullptr;
    ZQI_SysLeaveCriticalSection(lock.section);
    return copy;
}

zq_bitmap_t* ZQI_FindBitmapLocked(const char* name, uint32_t hash) {
    return FindBitmap(name, hash);
}

zq_bitmap_t* ZQI_TakeFreeBitmapSlotLocked() {
    return TakeFreeSlot();
}

void ZQI_ClearBitmapRecordLocked(zq_bitmap_t* bitmap) {
    BusyLock& lock = GetBusyLock();
    ZQI_SysEnterCriticalSection(lock.section);
    const uint8_t busy = bitmap->busy;
    memset(bitmap, 0, sizeof(*bitmap));
    bitmap->busy = busy;
    ZQI_SysLeaveCriticalSection(lock.section);
}

void ZQI_FreeBitmapSlot(zq_bitmap_t* bitmap) {
    FreeBitmapGPUData(bitmap);
    FreeBitmapPixels(bitmap);
    FreeBitmapFrames(bitmap);
    ZQI_RemoveQueuedBitmap(bitmap);
    bitmap->load_state = 0;
    LockTable();
    free(bitmap->source_file);
    bitmap->source_file = nullptr;
    free(bitmap->name);
    bitmap->name = nullptr;
    // Still under the table lock, so no new name can take the slot while the flag is up.
    ZQI_ReleaseBitmapBusy(bitmap);
    UnlockTable();
}

void ZQI_AddBitmapMemoryEstimates(MemoryEstimates* estimates) {
    LockTable();
    for (int32_t i = 0; i < g_usedCount; ++i) {
        if (g_bitmaps[i].name != nullptr) {
            ZQI_CountImageMemory(estimates, ZQI_DescribeBitmapMemory(g_bitmaps[i]));
        }
    }
    UnlockTable();
}

void ZQI_ClearBitmapTable() {
    for (zq_bitmap_t& bitmap : g_bitmaps) {
        if (bitmap.name != nullptr) {
            ZQI_AcquireBitmapBusy(&bitmap);
            ZQI_FreeBitmapSlot(&bitmap);
        }
        memset(&bitmap, 0, sizeof(bitmap));
    }
    ZQI_SysAtomicExchange(&g_usedCount, 0);
}
