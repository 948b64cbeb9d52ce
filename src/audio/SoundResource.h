// SoundResource: the sound record the program holds as its sound handle, the fixed pool of 1024
// of them with their reference counts and cache modes, and the loading of a record's data. Portable.
#pragma once

#include <cstdint>

#include "zorqa.h"

struct MemoryEstimates;
struct SoundData;

enum : int32_t {
    SOUND_POOL_SIZE = 1024,
    SOUND_CACHE_NOTHING = 0,  // no data kept
    SOUND_CACHE_LOADED = 4,   // the bit of every mode whose data is loaded and kept
    SOUND_CACHE_LOOKUP = 16,  // look up only: never takes a new record
    SOUND_REFERENCE_CAP = 4096,
};

enum : uint8_t { SOUND_FLAG_COUNTED_BY_GET = 1 };

struct SoundResource {
    char* name;      // owned copy; null marks a free record
    uint32_t hash;   // ZQI_HashName of the name
    uint32_t kind;   // 2 for every sound record
    uint32_t index;  // place in the pool
    int16_t referenceCount;
    uint8_t cacheMode;
    char* resolvedPath;  // owned: the file that last loaded the data of a name without extension
    uint32_t fileTime;   // modification time of that file (developer mode only), 0 = none
    uint8_t flags;       // SOUND_FLAG_COUNTED_BY_GET
    float duration;      // seconds, 0 until known
    uint32_t reserved;   // -1 at creation
    uint32_t lastStart;  // engine milliseconds of the last start on a channel, 0 = never
    uint32_t dataSize;   // bytes of the sound as PCM, 0 after the data is freed
    SoundData* data;     // owned; null = nothing to play
    uint8_t loaded;      // 1 while data is attached
};

// The pool and its high-water mark.
SoundResource* ZQI_GetSoundPool();
int32_t ZQI_GetSoundPoolCount();
// Tests: frees every record's data and name and empties the pool.
void ZQI_ResetSoundPool();
// Under "GET_SOUND", taken once by the calling thread: while another thread loads the record's
// data, lets the lock go, waits and takes it again, so the caller finds that load over. A thread
// marks the record it loads under the lock and loads after releasing it; other loaders of that
// record, its hibernation or freeing, and the reloads wait here instead of loading or freeing
// the same data at once.
void ZQI_WaitForSoundLoad(const SoundResource* sound);
// The sounds' part of the memory estimates: each named record's data size (music left out),
// under "GET_SOUND".
void ZQI_AddSoundMemoryEstimates(MemoryEstimates* estimates);

// ---- Loading (SoundLoading.cpp) ---------------------------------------------------------------

// Loads a record's data by its name; a name without extension tries ".wav", ".ogg" and ".mp3".
bool LoadSoundResource(SoundResource* sound);
bool LoadSoundFromFile(SoundResource* sound, const char* path);
// Frees the data (the back end's handle first). Nothing without data.
void FreeSoundData(SoundResource* sound);
// Mode with the value-4 bit loads and keeps the data, 0 frees it; other modes change nothing.
void SetSoundCacheMode(SoundResource* sound, int32_t mode);
// True when the name carries an extension: a '.' met before any '/' scanning back to its second
// character.
bool ZQI_SoundNameHasExtension(const char* name);

// ---- Audio sub-table entries over records ------------------------------------------------------

SoundResource* ZQ_Audio_GetSound(const char* name);
SoundResource* ZQ_Audio_GetSoundWithCacheMode(const char* name, int32_t cacheMode);
void ZQ_Audio_IncreaseSoundReferenceCount(SoundResource* sound, const int16_t* count);
bool ZQ_Audio_IsSoundLoaded(SoundResource* sound);
SoundResource* ZQ_Audio_LoadSound(const char* name);
void ZQ_Audio_ReleaseSound(SoundResource* sound);
bool ZQ_Audio_SoundExists(const char* name);
