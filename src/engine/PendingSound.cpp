// Bodies of the audio-system stand-ins: an audio system that only remembers which back end it
// was given.
#include "engine/PendingSound.h"

namespace {

SoundImplementation* g_audioSound = nullptr;
const float kDefaultMasterVolume = 1.0f;

}  // namespace

void ZQI_SetAudioSoundImplementation(SoundImplementation* implementation) {
    g_audioSound = implementation;
}

float ZQI_GetMasterVolume() {
    return kDefaultMasterVolume;
}

void UpdateAudio() {}

void ZQI_ReloadSoundsInUse() {}
