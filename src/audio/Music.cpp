// Music: one requested and one playing music with fades. A switch fades the old music out over
// 1 s, stops it and starts the new one in the same step, with its own fade-in.
#include <cmath>
#include <cstring>

#include "audio/AudioSystem.h"
#include "audio/SoundChannel.h"
#include "audio/SoundImplementation.h"
#include "audio/SoundResource.h"
#include "core/ApiTable.h"
#include "core/CoreState.h"
#include "core/Log.h"
#include "core/NamedMutex.h"

namespace {

const float kMusicSlideTolerance = 0.01f;
const float kSwitchFadeSeconds = 1.0f;
const float kStopTarget = -0.01f;

struct MusicState {
    SoundResource* requested;
    float requestedFadeIn;
    float requestedVolume;
    SoundResource* playing;
    uint8_t fading;
    float fadeTarget;
    float fadeFrom;
    float fadeTime;
    float fadeElapsed;
    float volume;  // the current music volume
    uint8_t stopping;
    uint8_t paused;
    uint8_t active;  // set by PlayMusic, cleared by StopMusic
};

MusicState g_music = {nullptr, 0.0f, 0.0f, nullptr, 0, 0.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0, 0, 0};

SoundImplementation* BackEnd() {
    return ZQI_AudioBackEnd();
}

void StartFade(float target, float seconds, bool stopping) {
    g_music.fadeTarget = target;
    g_music.fadeFrom = g_music.volume;
    g_music.fadeTime = seconds;
    g_music.fadeElapsed = 0.0f;
    g_music.fading = 1;
    if (stopping) {
        g_music.stopping = 1;
    }
}

bool IsFadingToStop() {
    return g_music.fading && g_music.stopping;
}

void AdvanceFade(float seconds) {
    g_music.fadeElapsed += seconds;
    float t = g_music.fadeTime > 0.0f ? g_music.fadeElapsed / g_music.fadeTime : 1.0f;
    t = t < 0.0f ? 0.0f : (t > 1.0f ? 1.0f : t);
    g_music.volume = ZQI_ClampVolume((1.0f - t) * g_music.fadeFrom + t * g_music.fadeTarget);
    if (g_music.fadeElapsed < g_music.fadeTime) {
        return;
    }
    g_music.fading = 0;
    if (g_music.stopping) {
        if (g_music.playing != nullptr) {
            BackEnd()->StopMusic();
        }
        g_music.playing = nullptr;
    }
}

void StartRequestedMusic() {
    SoundResource* sound = g_music.requested;
    if (g_music.requestedFadeIn > 0.0f) {
        g_music.volume = 0.0f;
        g_music.stopping = 0;
        StartFade(g_music.requestedVolume, g_music.requestedFadeIn, false);
    } else {
        g_music.volume = g_music.requestedVolume;
    }
    if (sound->data != nullptr) {
        BackEnd()->PlayMusic(sound, g_music.volume);
    }
    g_music.stopping = 0;
    g_music.playing = sound;
    g_music.requested = nullptr;
}

}  // namespace

void ZQI_ClearMusic() {
    memset(&g_music, 0, sizeof(g_music));
    g_music.volume = 1.0f;
}

bool ZQI_ReloadSound(SoundResource* sound) {
    if (sound == nullptr) {
        return false;
    }
    const bool music = sound == g_music.requested || (sound == g_music.playing && !g_music.stopping);
    const float volume = sound == g_music.requested ? g_music.requestedVolume : g_music.volume;
    // The back end must let go of the music before its data is freed.
    if (sound == g_music.playing) {
        BackEnd()->StopMusic();
        g_music.playing = nullptr;
        g_music.fading = 0;
        g_music.stopping = 0;
    }
    FreeSoundData(sound);
    const bool loaded = LoadSoundResource(sound);
    if (music) {
        StartMusic(sound, volume, 0.0f);
    }
    return loaded;
}

// A release changes the count, frees the data and (without reference counting) the name under the
// lock; holding it through the reload keeps the sound the one that was checked. A load a program
// thread has under way is let finish first.
bool ZQI_ReloadSoundInUse(SoundResource* sound, const char* name) {
    if (sound == nullptr || name == nullptr) {
        return false;
    }
    ZQI_LockCoreMutex(CORE_MUTEX_GET_SOUND);
    ZQI_WaitForSoundLoad(sound);
    const bool inUse = sound->name != nullptr && strcmp(sound->name, name) == 0 && sound->referenceCount > 0 &&
                       sound->data != nullptr;
    if (inUse) {
        ZQI_ReloadSound(sound);
    }
    ZQI_UnlockCoreMutex(CORE_MUTEX_GET_SOUND);
    return inUse;
}

void StartMusic(SoundResource* sound, float volume, float fadeInSeconds) {
    if (sound == nullptr || sound->data == nullptr) {
        return;
    }
    if (g_music.playing != nullptr && !IsFadingToStop()) {
        StartFade(kStopTarget, kSwitchFadeSeconds, true);
    }
    g_music.requested = sound;
    g_music.requestedFadeIn = fadeInSeconds;
    volume = ZQI_SnapVolume(volume);
    g_music.requestedVolume = volume > 1.0f ? 1.0f : volume;
    g_music.paused = 0;
}

void ZQI_UpdateMusic(float seconds) {
    if (g_music.paused) {
        return;
    }
    float kept = g_music.volume;
    if (g_music.fading) {
        AdvanceFade(seconds);
    }
    if (g_music.playing == nullptr && g_music.requested != nullptr) {
        StartRequestedMusic();
    }
    if (g_music.playing != nullptr && g_music.volume != kept) {
        BackEnd()->SetMusicVolume(g_music.volume);
    }
}

SoundResource* ZQ_Audio_GetMusic() {
    if (ZQI_IsAudioDisabled()) {
        return nullptr;
    }
    if (g_music.requested != nullptr) {
        return g_music.requested;
    }
    return g_music.stopping ? nullptr : g_music.playing;
}

void ZQ_Audio_PlayMusic(SoundResource* sound, float volume, float fadeInSeconds) {
    if (sound == nullptr || ZQI_IsAudioDisabled()) {
        return;
    }
    if (g_core.developerMode) {
        if (fadeInSeconds > 10.0f) {
            ZQ_Popup(LOG_LEVEL_WARNING, "ZQ_Audio_PlayMusic: fade_in_time is suspiciously high (%g)",
                     fadeInSeconds);
        }
        if (volume < 0.0f || volume > 1.0f) {
            ZQ_Popup(LOG_LEVEL_WARNING, "ZQ_Audio_PlayMusic: volume is out of range 0..1 (%g)", volume);
        }
    }
    volume = ZQI_ClampVolume(volume);
    SoundResource* current = g_music.requested;
    if (current == nullptr && !g_music.stopping) {
        current = g_music.playing;
    }
    if (g_music.active && current == sound) {
        ZQ_Audio_SlideMusicVolume(volume, kSwitchFadeSeconds);
    } else {
        if (current != nullptr) {
            ZQ_Audio_StopMusic(kSwitchFadeSeconds);
        }
        if (sound->name != nullptr && sound->name[0] == '!') {
            return;
        }
        if (std::fabs(volume) < 0.000001f) {
            fadeInSeconds = 0.0f;
        }
        StartMusic(sound, volume, fadeInSeconds);
    }
    g_music.active = 1;
}

void ZQ_Audio_StopMusic(float fadeOutSeconds) {
    if (ZQI_IsAudioDisabled() || !g_music.active) {
        return;
    }
    g_music.active = 0;
    if (g_core.developerMode && fadeOutSeconds > 7.0f) {
        ZQ_Popup(LOG_LEVEL_WARNING, "ZQ_Audio_StopMusic: fade_out_time is suspiciously high (%g)",
                 fadeOutSeconds);
    }
    g_music.requested = nullptr;
    if (g_music.playing != nullptr && !IsFadingToStop()) {
        StartFade(kStopTarget, fadeOutSeconds, true);
    }
}

void ZQ_Audio_SlideMusicVolume(float target, float seconds) {
    if (ZQI_IsAudioDisabled()) {
        return;
    }
    if (g_core.developerMode) {
        if (seconds > 10.0f) {
            ZQ_Popup(LOG_LEVEL_WARNING, "ZQ_Audio_SlideMusicVolume: slide_time is suspiciously high (%g)",
                     seconds);
        }
        if (target < 0.0f || target > 1.0f) {
            ZQ_Popup(LOG_LEVEL_WARNING, "ZQ_Audio_SlideMusicVolume: target_volume is out of range 0..1 (%g)",
                     target);
        }
    }
    target = ZQI_SnapVolume(ZQI_ClampVolume(target));
    if (g_music.requested != nullptr) {
        g_music.requestedVolume = target;
        return;
    }
    if (std::fabs(g_music.volume - target) < kMusicSlideTolerance && g_music.volume > 0.0f && target > 0.0f) {
        return;
    }
    StartFade(target, seconds, false);
}

void ZQ_Audio_SetMusicPaused(bool paused) {
    if (ZQI_IsAudioDisabled()) {
        return;
    }
    g_music.paused = paused ? 1 : 0;
    BackEnd()->SetMusicPaused(paused);
}
