// The developer's resource commands of the named extension calls: reloading the bitmaps, fonts
// and sounds whose files changed, and listing what every resource holds with the largest first.
// Main thread. The reload copies what it reads of each resource under that resource table's lock and
// reloads a resource only if it is still the one it read; the listing copies what it prints of each
// resource under that resource table's lock and prints outside it.
#include "engine/ResourceCommands.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "audio/SoundChannel.h"
#include "audio/SoundResource.h"
#include "core/ApiTable.h"
#include "core/CoreState.h"
#include "core/Log.h"
#include "core/MemoryStatistics.h"
#include "core/NamedMutex.h"
#include "foundation/Array.h"
#include "foundation/String.h"
#include "filesystem/FileSystemApi.h"
#include "fonts/FontApi.h"
#include "fonts/FontHold.h"
#include "fonts/FontTable.h"
#include "graphics/BitmapTable.h"

namespace {

const double kKilobyte = 1024.0;
const double kMegabyte = 1048576.0;
const size_t kFirstHogCapacity = 4096;
const size_t kMostHogsShown = 80;
// What the engine's own state takes, as the listing has always reported it.
const double kEngineStateKilobytes = 720.734375;

// ---- Reload ----

// A resource is reloaded unless developer mode recorded its file's time at load and the file
// still has that time.
bool FileChanged(const char* path, uint32_t recordedTime) {
    if (!g_core.developerMode || recordedTime == 0) {
        return true;
    }
    zq_file_info_t info;
    return !ZQ_FileSystem_GetFileInfo(path, &info) || info.modification_time != recordedTime;
}

bool IsReloadableName(const char* name) {
    return name != nullptr && name[0] != '!';
}

// Another thread may release a bitmap while the reload looks at it, freeing its name, or load it,
// replacing its source file: the name and time are copied under the bitmap table lock, the source
// file through the table, as a load replaces it under the busy flags' lock. The reload holds no
// reference, so the bitmap may be released (and its slot taken by another) after that: the reload
// makes sure it is still the bitmap that was looked at.
int32_t ReloadBitmaps() {
    int32_t reloaded = 0;
    for (int32_t slot = 0; slot < ZQI_GetBitmapUsedCount(); ++slot) {
        zq_bitmap_t* bitmap = ZQI_GetBitmapSlot(slot);
        String name;
        String file;
        ZQI_LockCoreMutex(CORE_MUTEX_GET_BITMAP);
        const bool inUse = IsReloadableName(bitmap->name) && bitmap->reference_count > 0 &&
                           (bitmap->flags & BITMAP_FLAG_RELOADABLE) != 0;
        if (inUse) {
            name = bitmap->name;
            // A name without extension was loaded from the file it resolved to.
            char* source = ZQI_CopyBitmapSourceFileLocked(bitmap);
            file = source != nullptr ? source : bitmap->name;
            free(source);
        }
        const uint32_t fileTime = bitmap->source_time;
        ZQI_UnlockCoreMutex(CORE_MUTEX_GET_BITMAP);
        if (!inUse || !FileChanged(file.CStr(), fileTime)) {
            continue;
        }
        ZQ_Print("Reloading bitmap '%s'...", name.CStr());
        if (ZQI_ReloadBitmapInUse(bitmap, name.CStr())) {
            ++reloaded;
        }
    }
    return reloaded;
}

// Another thread may release a font while the reload looks at it, freeing its name: the name and
// file time are copied under the font table lock, as a release changes them under it. The reload
// holds no reference, so the font may be released (and its slot taken by another) after that: the
// refresh makes sure it is still the font that was looked at.
int32_t ReloadFonts() {
    int32_t reloaded = 0;
    for (int32_t slot = 0; slot < ZQI_GetFontUsedCount(); ++slot) {
        zq_font_t* font = ZQI_GetFontSlot(slot);
        String name;
        ZQI_LockCoreMutex(CORE_MUTEX_GET_FONT);
        const bool inUse = IsReloadableName(font->name) && font->referenceCount > 0;
        if (inUse) {
            name = font->name;
        }
        const uint32_t fileTime = font->fileTime;
        ZQI_UnlockCoreMutex(CORE_MUTEX_GET_FONT);
        if (!inUse || !FileChanged(name.CStr(), fileTime)) {
            continue;
        }
        ZQ_Print("Reloading font '%s'...", name.CStr());
        if (ZQI_RefreshFontInUse(font, name.CStr())) {
            ++reloaded;
        }
    }
    return reloaded;
}

// As for bitmaps: what the reload reads is copied under the sound table lock, and the reload makes
// sure it is still the sound that was looked at.
int32_t ReloadSounds() {
    int32_t reloaded = 0;
    SoundResource* pool = ZQI_GetSoundPool();
    for (int32_t index = 0; index < ZQI_GetSoundPoolCount(); ++index) {
        SoundResource* sound = &pool[index];
        String name;
        String file;
        ZQI_LockCoreMutex(CORE_MUTEX_GET_SOUND);
        const bool inUse = IsReloadableName(sound->name) && sound->referenceCount > 0 && sound->data != nullptr;
        if (inUse) {
            name = sound->name;
            file = sound->resolvedPath != nullptr ? sound->resolvedPath : sound->name;
        }
        const uint32_t fileTime = sound->fileTime;
        ZQI_UnlockCoreMutex(CORE_MUTEX_GET_SOUND);
        if (!inUse || !FileChanged(file.CStr(), fileTime)) {
            continue;
        }
        ZQ_Print("Reloading sound '%s'...", name.CStr());
        if (ZQI_ReloadSoundInUse(sound, name.CStr())) {
            ++reloaded;
        }
    }
    return reloaded;
}

// ---- Listing ----

// The name is a copy: a release on another thread may free the resource's own before the hogs are
// printed.
struct ResourceEntry {
    String name;
    const char* kind;  // "GFX", "SND" or "FNT"
    uint64_t bytes;
    int32_t width;  // 0 for sounds
    int32_t height;
};

uint64_t ImageBytes(int32_t width, int32_t height) {
    return width > 0 && height > 0 ? static_cast<uint64_t>(width) * static_cast<uint64_t>(height) * 4u : 0;
}

struct ImageBytesHeld {
    uint64_t system;
    uint64_t gpu;
};

// The pixels by their own size, which a manifest entry's drawing size does not change.
ImageBytesHeld HeldBy(const zq_bitmap_t& image) {
    ImageBytesHeld held;
    held.system = image.pixels != nullptr ? ImageBytes(image.pixel_width, image.pixel_height) : 0;
    held.gpu = image.gpu.loaded ? ImageBytes(image.gpu.texture_width, image.gpu.texture_height) : 0;
    return held;
}

// Other threads release and load bitmaps while the listing runs; a release frees the name under
// the bitmap table lock, so what is printed is copied under it.
uint64_t ListBitmaps(Array<ResourceEntry>& hogs) {
    ZQ_Log(LOG_LEVEL_SYSTEM, "\nBitmaps:");
    uint64_t total = 0;
    for (int32_t slot = 0; slot < ZQI_GetBitmapUsedCount(); ++slot) {
        const zq_bitmap_t* bitmap = ZQI_GetBitmapSlot(slot);
        ZQI_LockCoreMutex(CORE_MUTEX_GET_BITMAP);
        const bool named = bitmap->name != nullptr;
        String name;
        if (named) {
            name = bitmap->name;
        }
        const int32_t width = bitmap->width;
        const int32_t height = bitmap->height;
        const int32_t references = bitmap->reference_count;
        const ImageBytesHeld held = HeldBy(*bitmap);
        const zq_bitmap_gpu_data_t gpu = bitmap->gpu;
        ZQI_UnlockCoreMutex(CORE_MUTEX_GET_BITMAP);
        if (!named) {
            continue;
        }
        if (held.system != 0) {
            ZQ_Print("Bitmap #%.3d %dx%d '%s' refc=%d sysmem=%.1fKB gpumem=%.1fKB texture=%dx%d", slot, width,
                     height, name.CStr(), references, held.system / kKilobyte, held.gpu / kKilobyte,
                     gpu.texture_width, gpu.texture_height);
        } else {
            ZQ_Print("Bitmap #%.3d %dx%d '%s' refc=%d gpumem=%.1fKB  texture=%dx%d", slot, width, height,
                     name.CStr(), references, held.gpu / kKilobyte, gpu.texture_width, gpu.texture_height);
        }
        total += held.system + held.gpu;
        if (gpu.loaded) {
            hogs.Push({name, "GFX", held.system + held.gpu, width, height});
        }
    }
    return total;
}

// As for bitmaps, under the sound table lock.
uint64_t ListSounds(Array<ResourceEntry>& hogs) {
    ZQ_Log(LOG_LEVEL_SYSTEM, "\nSounds:");
    uint64_t total = 0;
    const SoundResource* pool = ZQI_GetSoundPool();
    for (int32_t index = 0; index < ZQI_GetSoundPoolCount(); ++index) {
        const SoundResource& sound = pool[index];
        ZQI_LockCoreMutex(CORE_MUTEX_GET_SOUND);
        const bool named = sound.name != nullptr;
        String name;
        if (named) {
            name = sound.name;
        }
        const int32_t references = sound.referenceCount;
        uint64_t bytes = sound.dataSize;
        ZQI_UnlockCoreMutex(CORE_MUTEX_GET_SOUND);
        if (!named) {
            continue;
        }
        if (bytes > ZQI_LARGEST_COUNTED_SOUND) {
            ZQ_Log(LOG_LEVEL_SYSTEM, "Assuming Sound #%.3d '%s' is music and not counting its memory", index,
                   name.CStr());
            bytes = 0;
        } else {
            ZQ_Log(LOG_LEVEL_SYSTEM, "Sound #%.3d '%s' refc=%d sysmem=%.1fKB", index, name.CStr(), references,
                   bytes / kKilobyte);
        }
        total += bytes;
        hogs.Push({name, "SND", bytes, 0, 0});
    }
    return total;
}

// Fonts change on other threads too (a refresh, a release). Each name is copied under the font
// table's lock, since a release frees it there. Each atlas is read under its font's read hold, taken
// without that lock (a read may wait for the main thread's pass over the font). A font that is
// loading or changing is listed as holding nothing.
uint64_t ListFonts(Array<ResourceEntry>& hogs) {
    ZQ_Log(LOG_LEVEL_SYSTEM, "\nFonts:");
    uint64_t total = 0;
    for (int32_t slot = 0; slot < ZQI_GetFontUsedCount(); ++slot) {
        const zq_font_t* font = ZQI_GetFontSlot(slot);
        ZQI_LockCoreMutex(CORE_MUTEX_GET_FONT);
        const bool named = font->name != nullptr;
        String name;
        if (named) {
            name = font->name;
        }
        const int32_t references = font->referenceCount;
        ZQI_UnlockCoreMutex(CORE_MUTEX_GET_FONT);
        if (!named) {
            continue;
        }
        zq_bitmap_t atlas = {};
        {
            FontReading reading(font);
            if (reading) {
                atlas = font->atlas;
            }
        }
        const ImageBytesHeld held = HeldBy(atlas);
        if (held.system != 0) {
            ZQ_Log(LOG_LEVEL_SYSTEM, "Font #%.3d '%s' refc=%d sysmem=%.1fKB gpumem=%.1fKB ", slot, name.CStr(),
                   references, held.system / kKilobyte, held.gpu / kKilobyte);
        } else {
            ZQ_Log(LOG_LEVEL_SYSTEM, "Font #%.3d '%s' refc=%d gpumem=%.1fKB ", slot, name.CStr(), references,
                   held.gpu / kKilobyte);
        }
        total += held.system + held.gpu;
        hogs.Push({name, "FNT", held.system + held.gpu, atlas.width, atlas.height});
    }
    return total;
}

void PrintHogs(Array<ResourceEntry>& hogs) {
    std::stable_sort(hogs.begin(), hogs.end(),
                     [](const ResourceEntry& a, const ResourceEntry& b) { return a.bytes > b.bytes; });
    const size_t shown = std::min(static_cast<size_t>(hogs.count), kMostHogsShown);
    ZQ_Print("TOP%d Memory Hogs", static_cast<int>(shown));
    for (size_t i = 0; i < shown; ++i) {
        const ResourceEntry& entry = hogs[static_cast<int32_t>(i)];
        const int rank = static_cast<int>(i + 1);
        if (entry.width > 0) {
            ZQ_Print("#%.3d %s %.1fMB %dx%d %s", rank, entry.kind, entry.bytes / kMegabyte, entry.width,
                     entry.height, entry.name.CStr());
        } else {
            ZQ_Print("#%.3d %s %.1fMB %s", rank, entry.kind, entry.bytes / kMegabyte, entry.name.CStr());
        }
    }
}

}  // namespace

void ZQI_ReloadChangedResources() {
    uint32_t start = ZQ_GetMilliseconds();
    int32_t count = ReloadBitmaps();
    if (count > 0) {
        ZQ_Print("Reloaded %d changed bitmaps in %d msecs.", count,
                 static_cast<int32_t>(ZQ_GetMilliseconds() - start));
    }
    start = ZQ_GetMilliseconds();
    count = ReloadFonts();
    if (count > 0) {
        ZQ_Print("Reloading %d changed fonts in %d msecs.", count,
                 static_cast<int32_t>(ZQ_GetMilliseconds() - start));
    }
    start = ZQ_GetMilliseconds();
    count = ReloadSounds();
    if (count > 0) {
        ZQ_Print("Reloading %d changed sound in %d msecs.", count,
                 static_cast<int32_t>(ZQ_GetMilliseconds() - start));
    }
}

void ZQI_ListResourceUsage() {
    ZQ_Log(LOG_LEVEL_SYSTEM, "Listing Resource Usage.");
    Array<ResourceEntry> hogs;
    hogs.Reserve(static_cast<int32_t>(kFirstHogCapacity));
    const uint64_t bitmaps = ListBitmaps(hogs);
    const uint64_t sounds = ListSounds(hogs);
    const uint64_t fonts = ListFonts(hogs);
    ZQ_Log(LOG_LEVEL_SYSTEM, "Total %.1fMB allocated for bitmaps in (system+gpu) memory.",
           bitmaps / kMegabyte);
    ZQ_Log(LOG_LEVEL_SYSTEM, "Total %.1fMB allocated for sounds in system memory.", sounds / kMegabyte);
    ZQ_Log(LOG_LEVEL_SYSTEM, "Total %.1fMB allocated for fonts in (system+gpu) memory.", fonts / kMegabyte);
    ZQ_Log(LOG_LEVEL_SYSTEM, "Total %.1fKB allocated for all resources.",
           (bitmaps + sounds + fonts) / kKilobyte);
    ZQ_Log(LOG_LEVEL_SYSTEM, "ZORQA state size is %.1fKB.", kEngineStateKilobytes);
    PrintHogs(hogs);
}
