// Stand-ins for the audio system's side of sound (taking the back end, the master volume, the
// per-frame music and fade step, reloading sounds), until the audio system is part of the build;
// it replaces this file and PendingSound.cpp. The back-end interface itself is the audio
// subsystem's own.
#pragma once

#include "audio/SoundImplementation.h"
#include "audio/null/NullSoundImplementation.h"

// The audio system takes the back end; its channel table is zeroed with a count of 0.
void ZQI_SetAudioSoundImplementation(SoundImplementation* implementation);
// The stored master volume.
float ZQI_GetMasterVolume();
// The per-frame music and fade step.
void UpdateAudio();
// Loads every sound in use again (after sound was switched back on); logs
// "Unable to reload sound '%s'" per failure.
void ZQI_ReloadSoundsInUse();
