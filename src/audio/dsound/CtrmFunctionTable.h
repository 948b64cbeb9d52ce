// CtrmFunctionTable: the plain table of function pointers through which the adapter reaches the
// Copper Trumpet mixer, 25 words in a fixed order (the first is the table's version, 1).
#pragma once

#include <cstdint>

struct SoundData;
struct CtrmSound;

struct CtrmFunctionTable {
    uintptr_t version;
    bool (*Initialize)(uint32_t sampleRate, uint32_t channelCount, void* window, uint32_t reserved);
    void (*Shutdown)();
    void (*SetWindow)(void* window);
    void (*NoOperation)();
    void (*SetMasterVolume)(float volume);
    float (*GetMasterVolume)();
    CtrmSound* (*CreateSound)(const char* path, uint32_t flags);
    void (*FreeSound)(CtrmSound* sound, SoundData* data);
    uint32_t (*Play)(SoundData* data, float volume, float pan, float pitch, uint32_t looping);
    void (*SetPitch)(uint32_t id, float pitch);
    void (*SetVolume)(uint32_t id, float volume);
    void (*SetPan)(uint32_t id, float pan);
    void (*SetLooping)(uint32_t id, bool looping);
    void (*SetPaused)(uint32_t id, bool paused);
    float (*GetPitch)(uint32_t id);
    float (*GetVolume)(uint32_t id);
    float (*GetPan)(uint32_t id);
    int32_t (*GetLooping)(uint32_t id);
    int32_t (*GetPaused)(uint32_t id);
    CtrmSound* (*GetSound)(uint32_t id);
    int32_t (*GetChannelState)(uint32_t id);  // 0 none, 1 playing, 2 paused
    void (*Stop)(uint32_t id);
    void (*Update)();
    void (*SetRunning)(bool running);
};

static_assert(sizeof(CtrmFunctionTable) == 25 * sizeof(void*), "25 words");
