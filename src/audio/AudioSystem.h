// The audio system as the engine drives it: the current back end with the stored master volume,
// the switches read when a back end is taken, the clock, the per-frame step and the API table
// filler. The channel table and music state belong to the thread that runs the frame and calls
// the audio API; only the sound pool is locked ("GET_SOUND").
#pragma once

#include <cstdint>

#include "zorqa.h"

class SoundImplementation;

// Takes the back end the audio system calls through (null: no back end, nothing loads). Zeroes
// the channel table (count 0) and reads the reference-counting switches from the feature words.
void ZQI_SetAudioSoundImplementation(SoundImplementation* implementation);
SoundImplementation* ZQI_GetAudioSoundImplementation();
// The back end to call: the taken one, or the null back end before one is taken.
SoundImplementation* ZQI_AudioBackEnd();
// The stored master volume (starts at 1).
float ZQI_GetMasterVolume();
// Sound is disabled while the program record says no_sound: the play entries then answer 0 and
// every sound counts as loaded.
bool ZQI_IsAudioDisabled();
// Switches read from the feature words when a back end is taken.
bool ZQI_IsSoundReferenceCounting();    // off with DISABLE_REFERENCE_COUNTING
bool ZQI_PrintSoundReferenceChanges();  // PRINT_REFERENCE_COUNT_CHANGES

// Engine milliseconds for the audio system (ZQ_GetMilliseconds); tests install their own.
// Null restores the engine's clock.
void ZQI_SetAudioClock(uint32_t (*milliseconds)());
uint32_t ZQI_AudioMilliseconds();

// The per-frame music, delayed-start and fade step; after the back end's Update.
void UpdateAudio();
// Loads every sound in use again after sound was switched back on, freeing its old data first, each
// under "GET_SOUND"; logs "Unable to reload sound '%s'" for each that fails.
void ZQI_ReloadSoundsInUse();

// Puts the 25 audio slots into the engine API (a registered table filler).
void ZQI_InstallAudioApi(zq_api_t* api);
