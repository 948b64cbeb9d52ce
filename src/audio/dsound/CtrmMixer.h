// The Copper Trumpet mixer over DirectSound: every channel plays through a secondary buffer of
// its own (40 mono and 24 stereo from the adapter's 64), each a 16-bit double buffer at 44100 Hz
// that a thread of the mixer's own refills every 25 ms. Windows only; reached through
// CtrmFunctionTable.
#pragma once

#include <cstdint>

#include "audio/dsound/CtrmFunctionTable.h"

// A mixer sound, the handle kept in a SoundData.
struct CtrmSound {
    char* path;         // owned copy
    int32_t playCount;  // channels now playing it
    uint32_t flags;
};

// Fills the table's 25 words.
void CtrmFillFunctionTable(CtrmFunctionTable* table);

bool CtrmInitialize(uint32_t sampleRate, uint32_t channelCount, void* window, uint32_t reserved);
void CtrmShutdown();
void CtrmSetWindow(void* window);
void CtrmSetMasterVolume(float volume);
float CtrmGetMasterVolume();
CtrmSound* CtrmCreateSound(const char* path, uint32_t flags);
void CtrmFreeSound(CtrmSound* sound, SoundData* data);
uint32_t CtrmPlay(SoundData* data, float volume, float pan, float pitch, uint32_t looping);
void CtrmSetPitch(uint32_t id, float pitch);
void CtrmSetVolume(uint32_t id, float volume);
void CtrmSetPan(uint32_t id, float pan);
void CtrmSetLooping(uint32_t id, bool looping);
void CtrmSetPaused(uint32_t id, bool paused);
float CtrmGetPitch(uint32_t id);
float CtrmGetVolume(uint32_t id);
float CtrmGetPan(uint32_t id);
int32_t CtrmGetLooping(uint32_t id);
int32_t CtrmGetPaused(uint32_t id);
CtrmSound* CtrmGetSound(uint32_t id);
int32_t CtrmGetChannelState(uint32_t id);
void CtrmStop(uint32_t id);
void CtrmUpdate();
void CtrmSetRunning(bool running);

// The text of the last failed DirectSound call ("%s: %s"); nothing in the engine reads it.
const char* CtrmGetLastError();
// Tests: the channel's DirectSound buffer (IDirectSoundBuffer*), null for no channel.
void* CtrmGetChannelBuffer(uint32_t id);
// Starts the refill thread running body; returns its handle (HANDLE), null when it did not start
// (the reason in the thread's last error).
typedef void* (*CtrmThreadStarter)(unsigned long(__stdcall* body)(void*));
// Tests: how CtrmInitialize starts the refill thread (the platform's CreateThread; null restores
// it).
void CtrmSetThreadStarter(CtrmThreadStarter starter);
// Benchmarks: the refill thread (HANDLE), null when not initialised.
void* CtrmGetRefillThread();
// Tests: the silence buffer (IDirectSoundBuffer*), null when not initialised.
void* CtrmGetSilenceBuffer();
