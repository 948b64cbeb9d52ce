// SoundChannel: the engine's record of every sound the program started, so that ids stay stable,
// delayed starts and volume slides behave the same on every back end, and finished channels are
// noticed. The table and the music state take no lock: they belong to the thread that runs the
// frame and calls the audio API. Portable.
#pragma once

#include <cstdint>

#include "zorqa.h"

enum { SOUND_CHANNEL_COUNT = 256 };

// 64 bytes; the channel overlay reads the id (first) and the sound.
struct SoundChannel {
    uint32_t id;         // handed to the program; 0 = free entry
    uint32_t backEndId;  // from the back end's PlaySoundWithLooping; 0 until started
    SoundResource* sound;
    uint32_t startTime;  // engine ms: when it started, or when a delayed channel is due
    uint8_t active;      // started on the back end
    uint8_t paused;
    float volume;
    float pan;
    float pitch;
    uint8_t fading;
    uint8_t stopAfterFade;
    float fadeFrom;
    float fadeTo;
    float fadeTime;
    float fadeElapsed;
    uint8_t looping;
};

// The table and its live count (entries below it are in use or free, the rest unused).
SoundChannel* ZQI_GetSoundChannels();
int32_t ZQI_GetSoundChannelCount();
// Zeroes the whole table, the live count and the music state; the id counter goes on.
void ZQI_ClearSoundChannels();

int32_t AllocateSoundChannel();
uint32_t StartSoundChannel(int32_t index, SoundResource* sound, float volume, float pan, float pitch,
                           bool looping);
void RemoveSoundChannel(int32_t index);
// Removes a started channel the back end no longer plays, once it has run to within 100 ms of
// the sound's length; the last live entry takes its place, so the caller looks at the same index
// again when it answers true.
bool RemoveChannelIfFinished(SoundChannel* channel, uint32_t now);
bool IsSoundChannelPlaying(uint32_t id);
void SetSoundChannelVolume(uint32_t id, float volume);
void FadeOutSoundChannel(uint32_t id, float seconds);
void UpdateSoundChannel(float seconds);

// Music (Music.cpp).
void StartMusic(SoundResource* sound, float volume, float fadeInSeconds);
void ZQI_UpdateMusic(float seconds);
void ZQI_ClearMusic();
// The resource reload's step for a sound whose file changed: its data is freed and loaded again;
// when it is the requested or playing music, the music starts again from its beginning at the
// volume it had, with no fade. False when the data could not be loaded.
bool ZQI_ReloadSound(SoundResource* sound);
// The developer reload's step for a sound it looked at under "GET_SOUND" without taking a
// reference: reloaded as ZQI_ReloadSound does (true) only when it still has the name, is counted
// and has data, with the lock held throughout, so that no release can hibernate or free it, nor
// another sound take its place, meanwhile. A sound released meanwhile, or whose place another took,
// is left as it is (false, nothing logged).
bool ZQI_ReloadSoundInUse(SoundResource* sound, const char* name);

// Value rules at the API.
float ZQI_ClampVolume(float volume);
float ZQI_ClampPan(float pan);
float ZQI_ClampPitch(float pitch);
float ZQI_SnapVolume(float volume);

// ---- Audio sub-table entries over channels and music -------------------------------------------

SoundResource* ZQ_Audio_GetChannelSound(uint32_t channel);
SoundResource* ZQ_Audio_GetMusic();
bool ZQ_Audio_IsSoundPlaying(uint32_t channel);
void ZQ_Audio_PlayMusic(SoundResource* sound, float volume, float fadeInSeconds);
uint32_t ZQ_Audio_PlaySound(SoundResource* sound, float volume, float pan, float pitch);
uint32_t ZQ_Audio_PlaySoundWithDelay(SoundResource* sound, float volume, float pan, float pitch, bool looping,
                                     float delaySeconds);
void ZQ_Audio_SetChannelPitch(uint32_t channel, float pitch);
void ZQ_Audio_SetChannelLooping(uint32_t channel, bool looping);
void ZQ_Audio_SetChannelPan(uint32_t channel, float pan);
void ZQ_Audio_SetChannelPaused(uint32_t channel, bool paused);
void ZQ_Audio_SetChannelVolume(uint32_t channel, float volume);
void ZQ_Audio_SetMasterVolume(float volume);
void ZQ_Audio_SetMusicPaused(bool paused);
void ZQ_Audio_SlideChannelVolume(uint32_t channel, float targetVolume, float seconds);
void ZQ_Audio_SlideMusicVolume(float targetVolume, float seconds);
void ZQ_Audio_StopChannel(uint32_t channel);
void ZQ_Audio_StopChannelWithFade(uint32_t channel, float seconds);
void ZQ_Audio_StopMusic(float fadeOutSeconds);
