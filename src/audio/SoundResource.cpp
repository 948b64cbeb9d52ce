// The sound pool and the audio sub-table entries that find, count and release its records.
// Lookups, new records and every count change run under "GET_SOUND"; loading data runs after
// the lock is released, hibernation frees data with it held. One thread at a time loads a record:
// it marks the record under the lock, and others that would load, hibernate or free it wait for
// that load without the lock.
#include "audio/SoundResource.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "audio/AudioSystem.h"
#include "core/ApiTable.h"
#include "core/CoreState.h"
#include "core/Log.h"
#include "core/MemoryStatistics.h"
#include "core/NamedMutex.h"
#include "core/Threads.h"
#include "filesystem/FileSystemApi.h"
#include "foundation/NameHash.h"
#include "foundation/String.h"

namespace {

const uint32_t kSoundRecordKind = 2;
const int kLongestFormedName = 511;
const int32_t kYieldRounds = 64;  // waits for a load yield this often before they sleep

SoundResource g_sounds[SOUND_POOL_SIZE];
int32_t g_soundCount = 0;            // places ever used (the high-water mark)
uint8_t g_loading[SOUND_POOL_SIZE];  // under the lock: 1 while a thread loads that place's data

void LockSounds() {
    ZQI_LockCoreMutex(CORE_MUTEX_GET_SOUND);
}

void UnlockSounds() {
    ZQI_UnlockCoreMutex(CORE_MUTEX_GET_SOUND);
}

bool IsPlaceholder(const char* name) {
    return name[0] == '!';
}

void WarnSoundNameExtension(const char* name) {
    if (name == nullptr || !g_core.developerMode) {
        return;
    }
    size_t length = strlen(name);
    if (length > 4 && memchr(name + length - 4, '.', 4) != nullptr) {
        ZQ_Popup(LOG_LEVEL_WARNING, "Sound name '%s' has file extension. Remove it from the file name.",
                 name);
    }
}

// Under the lock.
SoundResource* FindSound(const char* name) {
    uint32_t hash = ZQI_HashName(name);
    for (int32_t i = 0; i < g_soundCount; ++i) {
        SoundResource& sound = g_sounds[i];
        if (sound.name != nullptr && sound.hash == hash && strcmp(sound.name, name) == 0) {
            return &sound;
        }
    }
    return nullptr;
}

// Under the lock: the first free place below the mark, else the place at the mark; null when
// every place is used. The record is set up with a reference count of 1 and cache mode 0.
SoundResource* TakeFreeSound(const char* name) {
    int32_t index = 0;
    while (index < g_soundCount && g_sounds[index].name != nullptr) {
        ++index;
    }
    if (index >= SOUND_POOL_SIZE) {
        return nullptr;
    }
    char* copy = ZQI_DuplicateString(name);
    if (copy == nullptr) {
        return nullptr;
    }
    if (index == g_soundCount) {
        ++g_soundCount;
    }
    SoundResource& sound = g_sounds[index];
    memset(&sound, 0, sizeof(sound));
    sound.name = copy;
    sound.hash = ZQI_HashName(name);
    sound.kind = kSoundRecordKind;
    sound.index = static_cast<uint32_t>(index);
    sound.reserved = 0xFFFFFFFFu;
    sound.referenceCount = 1;
    return &sound;
}

// Under the lock: the calling thread loads the record's data next, after releasing the lock.
void BeginLoad(const SoundResource* sound) {
    g_loading[sound->index] = 1;
}

// Takes the lock to let threads waiting for the load go on.
void EndLoad(const SoundResource* sound) {
    LockSounds();
    g_loading[sound->index] = 0;
    UnlockSounds();
}

void ReportPoolFull() {
    ZQ_Popup(LOG_LEVEL_ERROR, " ! Zorqa out of free sounds.");
}

void PrintChange(const char* format, const SoundResource* sound) {
    if (ZQI_PrintSoundReferenceChanges()) {
        ZQ_Print(format, sound->name, sound->referenceCount);
    }
}

// Loads the data of a counted record; a placeholder only takes the mode.
void LoadCountedSound(SoundResource* sound) {
    if (!IsPlaceholder(sound->name) && !LoadSoundResource(sound)) {
        ZQ_Popup(LOG_LEVEL_WARNING, "Sound resource '%s' not found.", sound->name);
    }
    sound->cacheMode = SOUND_CACHE_LOADED;
}

int16_t CappedCount(SoundResource* sound, int32_t count) {
    if (count > SOUND_REFERENCE_CAP) {
        ZQ_Popup(LOG_LEVEL_WARNING, "Sound '%s' reference count suspiciously high: capping at %d.",
                 sound->name, SOUND_REFERENCE_CAP);
        return SOUND_REFERENCE_CAP;
    }
    return static_cast<int16_t>(count < INT16_MIN ? INT16_MIN : count);
}

void FreeSoundPlace(SoundResource* sound) {
    FreeSoundData(sound);
    free(sound->name);
    free(sound->resolvedPath);
    sound->name = nullptr;
    sound->resolvedPath = nullptr;
    sound->dataSize = 0;
}

}  // namespace

SoundResource* ZQI_GetSoundPool() {
    return g_sounds;
}

int32_t ZQI_GetSoundPoolCount() {
    return g_soundCount;
}

void ZQI_ResetSoundPool() {
    for (int32_t i = 0; i < g_soundCount; ++i) {
        FreeSoundPlace(&g_sounds[i]);
    }
    memset(g_sounds, 0, sizeof(g_sounds));
    memset(g_loading, 0, sizeof(g_loading));
    g_soundCount = 0;
}

void ZQI_WaitForSoundLoad(const SoundResource* sound) {
    if (sound->index >= static_cast<uint32_t>(SOUND_POOL_SIZE)) {
        return;
    }
    for (int32_t rounds = 0; g_loading[sound->index] != 0; ++rounds) {
        UnlockSounds();
        if (rounds < kYieldRounds) {
            ZQ_Threading_YieldThread();
        } else {
            ZQ_Threading_Sleep(1);
        }
        LockSounds();
    }
}

void ZQI_AddSoundMemoryEstimates(MemoryEstimates* estimates) {
    LockSounds();
    for (int32_t i = 0; i < g_soundCount; ++i) {
        if (g_sounds[i].name != nullptr) {
            ZQI_CountSoundMemory(estimates, g_sounds[i].dataSize);
        }
    }
    UnlockSounds();
}

SoundResource* ZQ_Audio_GetSound(const char* name) {
    return ZQ_Audio_GetSoundWithCacheMode(name, SOUND_CACHE_LOADED);
}

SoundResource* ZQ_Audio_GetSoundWithCacheMode(const char* name, int32_t cacheMode) {
    WarnSoundNameExtension(name);
    if (name == nullptr) {
        ZQ_Popup(LOG_LEVEL_WARNING, "ZQ_Audio_GetSoundWithCacheMode called with null parameter.");
        name = "";
    }
    LockSounds();
    SoundResource* sound = FindSound(name);
    if (sound != nullptr) {
        bool counts = (cacheMode & ~SOUND_CACHE_LOOKUP) != 0 && !IsPlaceholder(name) &&
                      (sound->flags & SOUND_FLAG_COUNTED_BY_GET) == 0;
        if (counts) {
            ++sound->referenceCount;
            sound->flags |= SOUND_FLAG_COUNTED_BY_GET;
            PrintChange("'%s' ref count++ (GetSound): now %d", sound);
        }
        if ((cacheMode & SOUND_CACHE_LOADED) != 0) {
            ZQI_WaitForSoundLoad(sound);  // the caller may play it next
        }
        UnlockSounds();
        return sound;
    }
    if (cacheMode == SOUND_CACHE_LOOKUP) {
        UnlockSounds();
        return nullptr;
    }
    ZQ_Print("..caching sound '%s'", name);
    sound = TakeFreeSound(name);
    if (sound == nullptr) {
        UnlockSounds();
        ReportPoolFull();
        return nullptr;
    }
    if (cacheMode == SOUND_CACHE_NOTHING) {
        sound->referenceCount = 0;
        UnlockSounds();
        PrintChange("'%s' ref count = %d (CACHE_NOTHING)", sound);
        return sound;
    }
    // A thread that finds the name before the load is over reads the flag under the lock.
    sound->flags |= SOUND_FLAG_COUNTED_BY_GET;
    BeginLoad(sound);
    UnlockSounds();
    PrintChange("'%s' ref count = %d (GetSound)", sound);
    if (IsPlaceholder(name)) {
        sound->cacheMode = static_cast<uint8_t>(cacheMode);
    } else if (ZQI_GetAudioSoundImplementation() != nullptr) {
        SetSoundCacheMode(sound, cacheMode);
    }
    EndLoad(sound);
    return sound;
}

SoundResource* ZQ_Audio_LoadSound(const char* name) {
    WarnSoundNameExtension(name);
    if (name == nullptr) {
        ZQ_Popup(LOG_LEVEL_WARNING, "ZQ_Audio_LoadSound called with null parameter.");
        name = "";
    }
    LockSounds();
    SoundResource* sound = FindSound(name);
    if (sound != nullptr) {
        if (!IsPlaceholder(name)) {
            sound->referenceCount = static_cast<int16_t>(sound->referenceCount + 1);
            PrintChange("'%s' ref count++: now %d", sound);
            sound->referenceCount = CappedCount(sound, sound->referenceCount);
        }
        // A load on another thread is waited for, and then found done.
        ZQI_WaitForSoundLoad(sound);
        const bool load = (sound->referenceCount == 1 || (sound->cacheMode & SOUND_CACHE_LOADED) == 0) &&
                          sound->cacheMode != SOUND_CACHE_LOADED;
        if (load) {
            BeginLoad(sound);
        }
        UnlockSounds();
        if (load) {
            SetSoundCacheMode(sound, SOUND_CACHE_LOADED);
            EndLoad(sound);
        }
        return sound;
    }
    ZQ_Print("..caching sound '%s'", name);
    sound = TakeFreeSound(name);
    if (sound == nullptr) {
        UnlockSounds();
        ReportPoolFull();
        return nullptr;
    }
    BeginLoad(sound);
    UnlockSounds();
    PrintChange("'%s' ref count = %d", sound);
    if (IsPlaceholder(name)) {
        sound->cacheMode = SOUND_CACHE_LOADED;
    } else if (ZQI_GetAudioSoundImplementation() != nullptr) {
        LoadCountedSound(sound);
    }
    EndLoad(sound);
    return sound;
}

void ZQ_Audio_ReleaseSound(SoundResource* sound) {
    if (sound == nullptr || sound->name == nullptr || IsPlaceholder(sound->name)) {
        return;
    }
    LockSounds();
    if (!ZQI_IsSoundReferenceCounting()) {
        ZQI_WaitForSoundLoad(sound);
        if (sound->name != nullptr) {  // not freed by another release meanwhile
            FreeSoundPlace(sound);
        }
        UnlockSounds();
        return;
    }
    --sound->referenceCount;
    PrintChange("ReleaseSound: '%s' ref count--: now %d", sound);
    if ((sound->flags & SOUND_FLAG_COUNTED_BY_GET) != 0 && sound->referenceCount == 0) {
        ZQ_Popup(LOG_LEVEL_WARNING,
                 "Releasing sound '%s' too many times: ref counting will get messed up. NOTE: sound has been "
                 "accessed using GetSound which increses ref count by 1 once.",
                 sound->name);
    }
    if (sound->referenceCount == 0) {
        ZQ_Print("Hibernating sound '%s'..", sound->name);
        // What a load on another thread attaches meanwhile is freed here; a count taken meanwhile
        // keeps it.
        ZQI_WaitForSoundLoad(sound);
        if (sound->referenceCount == 0 && sound->cacheMode != SOUND_CACHE_NOTHING) {
            FreeSoundData(sound);
            sound->cacheMode = SOUND_CACHE_NOTHING;
            sound->dataSize = 0;
        }
    } else if (sound->referenceCount < 0) {
        sound->referenceCount = 0;
        ZQ_Popup(LOG_LEVEL_WARNING, "Sound '%s' reference count less than zero.", sound->name);
    }
    UnlockSounds();
}

void ZQ_Audio_IncreaseSoundReferenceCount(SoundResource* sound, const int16_t* count) {
    if (sound == nullptr || sound->name == nullptr || count == nullptr || *count == 0) {
        return;
    }
    LockSounds();
    int16_t before = sound->referenceCount;
    sound->referenceCount = CappedCount(sound, static_cast<int32_t>(before) + *count);
    bool load = false;
    if (before == 0) {
        ZQI_WaitForSoundLoad(sound);
        load = sound->cacheMode != SOUND_CACHE_LOADED;
    }
    if (load) {
        BeginLoad(sound);
    }
    UnlockSounds();
    if (load) {
        LoadCountedSound(sound);
        EndLoad(sound);
    }
}

bool ZQ_Audio_IsSoundLoaded(SoundResource* sound) {
    if (sound == nullptr) {
        return false;
    }
    return ZQI_IsAudioDisabled() || sound->loaded != 0;
}

bool ZQ_Audio_SoundExists(const char* name) {
    if (name == nullptr) {
        return false;
    }
    if (ZQI_SoundNameHasExtension(name)) {
        return ZQ_FileSystem_FileExists(name);
    }
    for (const char* extension : {"wav", "ogg", "mp3"}) {
        char path[kLongestFormedName + 1];
        snprintf(path, sizeof(path), "%s.%s", name, extension);
        if (ZQ_FileSystem_FileExists(path)) {
            return true;
        }
    }
    return false;
}
