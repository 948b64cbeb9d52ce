// The audio system's run-wide state: the back end, the master volume, the switches, the clock,
// the per-frame step and the audio sub-table.
#include "audio/AudioSystem.h"

#include "audio/SoundChannel.h"
#include "audio/SoundImplementation.h"
#include "audio/SoundResource.h"
#include "audio/null/NullSoundImplementation.h"
#include "core/ApiTable.h"
#include "core/CoreState.h"
#include "core/Features.h"
#include "core/Log.h"
#include "core/NamedMutex.h"

namespace {

SoundImplementation* g_backEnd = nullptr;
float g_masterVolume = 1.0f;
bool g_referenceCounting = true;
bool g_printReferenceChanges = false;
uint32_t (*g_clock)() = ZQ_GetMilliseconds;
uint32_t g_lastUpdate = 0;

void FillAudioTable(zq_audio_api_t* table) {
    table->GetChannelSound = ZQ_Audio_GetChannelSound;
    table->GetMusic = ZQ_Audio_GetMusic;
    table->GetSound = ZQ_Audio_GetSound;
    table->GetSoundWithCacheMode = ZQ_Audio_GetSoundWithCacheMode;
    table->IncreaseSoundReferenceCount = ZQ_Audio_IncreaseSoundReferenceCount;
    table->IsSoundLoaded = ZQ_Audio_IsSoundLoaded;
    table->IsSoundPlaying = ZQ_Audio_IsSoundPlaying;
    table->LoadSound = ZQ_Audio_LoadSound;
    table->PlayMusic = ZQ_Audio_PlayMusic;
    table->PlaySound = ZQ_Audio_PlaySound;
    table->PlaySoundWithDelay = ZQ_Audio_PlaySoundWithDelay;
    table->ReleaseSound = ZQ_Audio_ReleaseSound;
    table->SetChannelPitch = ZQ_Audio_SetChannelPitch;
    table->SetChannelLooping = ZQ_Audio_SetChannelLooping;
    table->SetChannelPan = ZQ_Audio_SetChannelPan;
    table->SetChannelPaused = ZQ_Audio_SetChannelPaused;
    table->SetChannelVolume = ZQ_Audio_SetChannelVolume;
    table->SetMasterVolume = ZQ_Audio_SetMasterVolume;
    table->SetMusicPaused = ZQ_Audio_SetMusicPaused;
    table->SlideChannelVolume = ZQ_Audio_SlideChannelVolume;
    table->SlideMusicVolume = ZQ_Audio_SlideMusicVolume;
    table->SoundExists = ZQ_Audio_SoundExists;
    table->StopChannel = ZQ_Audio_StopChannel;
    table->StopChannelWithFade = ZQ_Audio_StopChannelWithFade;
    table->StopMusic = ZQ_Audio_StopMusic;
}

}  // namespace

void ZQI_SetAudioSoundImplementation(SoundImplementation* implementation) {
    g_backEnd = implementation;
    ZQI_ClearSoundChannels();
    g_referenceCounting = !ZQI_IsFeatureEnabled("DISABLE_REFERENCE_COUNTING");
    g_printReferenceChanges = ZQI_IsFeatureEnabled("PRINT_REFERENCE_COUNT_CHANGES");
}

SoundImplementation* ZQI_GetAudioSoundImplementation() {
    return g_backEnd;
}

SoundImplementation* ZQI_AudioBackEnd() {
    return g_backEnd != nullptr ? g_backEnd : ZQI_GetNullSoundImplementation();
}

float ZQI_GetMasterVolume() {
    return g_masterVolume;
}

bool ZQI_IsAudioDisabled() {
    return g_core.program != nullptr && g_core.program->parameters.no_sound != 0;
}

bool ZQI_IsSoundReferenceCounting() {
    return g_referenceCounting;
}

bool ZQI_PrintSoundReferenceChanges() {
    return g_printReferenceChanges;
}

void ZQI_SetAudioClock(uint32_t (*milliseconds)()) {
    g_clock = milliseconds != nullptr ? milliseconds : ZQ_GetMilliseconds;
    g_lastUpdate = 0;
}

uint32_t ZQI_AudioMilliseconds() {
    return g_clock();
}

void ZQ_Audio_SetMasterVolume(float volume) {
    if (ZQI_IsAudioDisabled()) {
        return;
    }
    volume = ZQI_SnapVolume(volume);
    if (volume == g_masterVolume) {
        return;
    }
    g_masterVolume = volume;
    if (g_backEnd != nullptr) {
        g_backEnd->SetMasterVolume(volume);
    }
}

void UpdateAudio() {
    uint32_t now = ZQI_AudioMilliseconds();
    float seconds = static_cast<int32_t>(now - g_lastUpdate) > 0 ? (now - g_lastUpdate) * 0.001f : 0.0f;
    g_lastUpdate = now;
    if (seconds > 0.0f) {
        UpdateSoundChannel(seconds);
    }
    ZQI_UpdateMusic(seconds);
}

// Each sound is looked at and reloaded under the sound table lock: a release on another thread
// frees its data there (and, without reference counting, its name), so the release of a sound being
// reloaded waits for the reload and then hibernates or frees it. A load a program thread has under
// way is let finish first, then reloaded like any other.
void ZQI_ReloadSoundsInUse() {
    SoundResource* pool = ZQI_GetSoundPool();
    for (int32_t i = 0; i < ZQI_GetSoundPoolCount(); ++i) {
        SoundResource* sound = &pool[i];
        ZQI_LockCoreMutex(CORE_MUTEX_GET_SOUND);
        ZQI_WaitForSoundLoad(sound);
        if (sound->name != nullptr && sound->name[0] != '!' && (sound->cacheMode & SOUND_CACHE_LOADED) != 0) {
            // The data the silent back end held goes first, so no old decoded copy is kept twice.
            FreeSoundData(sound);
            if (!LoadSoundResource(sound)) {
                ZQ_Log(LOG_LEVEL_WARNING, "Unable to reload sound '%s'", sound->name);
            }
        }
        ZQI_UnlockCoreMutex(CORE_MUTEX_GET_SOUND);
    }
}

void ZQI_InstallAudioApi(zq_api_t* api) {
    if (api->audio != nullptr) {
        FillAudioTable(api->audio);
    }
}
