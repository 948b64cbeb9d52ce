// The channel table: allocation with ids that are never reused while the counter runs, starts
// guarded against retriggers and floods of one sound, delayed starts, slides and fade-outs.
#include "audio/SoundChannel.h"

#include <cmath>
#include <cstring>

#include "audio/AudioSystem.h"
#include "audio/SoundImplementation.h"
#include "audio/SoundResource.h"
#include "core/ApiTable.h"
#include "core/Log.h"

namespace {

const uint32_t kRetriggerGuardMs = 25;
const int32_t kMostChannelsPerSound = 20;
const int32_t kFinishedMarginMs = 100;
const float kLongestDelaySeconds = 15.0f;
const float kChannelSlideTolerance = 0.0001f;

SoundChannel g_channels[SOUND_CHANNEL_COUNT];
int32_t g_liveCount = 0;
uint32_t g_nextId = 1;

SoundImplementation* BackEnd() {
    return ZQI_AudioBackEnd();
}

int32_t FindChannelIndex(uint32_t id) {
    if (id == 0) {
        return -1;
    }
    for (int32_t i = 0; i < g_liveCount; ++i) {
        if (g_channels[i].id == id) {
            return i;
        }
    }
    return -1;
}

SoundChannel* FindChannel(uint32_t id) {
    int32_t index = FindChannelIndex(id);
    return index >= 0 ? &g_channels[index] : nullptr;
}

// The counter skips 0, which names no channel, when it wraps.
uint32_t TakeChannelId() {
    if (g_nextId == 0) {
        g_nextId = 1;
    }
    return g_nextId++;
}

// Live, active channels of the sound that are still playing; finished ones are removed on the way.
int32_t CountPlayingChannelsOf(const SoundResource* sound, uint32_t now) {
    int32_t count = 0;
    for (int32_t i = 0; i < g_liveCount;) {
        SoundChannel& channel = g_channels[i];
        if (channel.id == 0 || channel.sound != sound || !channel.active) {
            ++i;
        } else if (!RemoveChannelIfFinished(&channel, now)) {
            ++count;
            ++i;
        }
    }
    return count;
}

bool RefusesPlay(const SoundResource* sound) {
    return sound == nullptr || sound->name == nullptr || sound->name[0] == '!' || ZQI_IsAudioDisabled();
}

// A new channel started at once; a refused start gives the entry back.
uint32_t PlayNow(SoundResource* sound, float volume, float pan, float pitch, bool looping) {
    int32_t index = AllocateSoundChannel();
    if (index < 0) {
        return 0;
    }
    uint32_t allocated = g_channels[index].id;
    uint32_t id = StartSoundChannel(index, sound, volume, pan, pitch, looping);
    if (id == 0) {
        RemoveSoundChannel(FindChannelIndex(allocated));
    }
    return id;
}

// The channel of a live id for the setters; null for 0, while disabled, or an unknown id.
SoundChannel* ChannelForSetter(uint32_t id) {
    if (id == 0 || ZQI_IsAudioDisabled()) {
        return nullptr;
    }
    return FindChannel(id);
}

void UpdateDelayedStart(int32_t index, float seconds, uint32_t now) {
    SoundChannel& channel = g_channels[index];
    if (channel.paused) {
        channel.startTime += static_cast<uint32_t>(seconds * 1000.0f);
        return;
    }
    if (static_cast<int32_t>(channel.startTime - now) >= 0) {
        return;
    }
    uint32_t id = channel.id;
    if (StartSoundChannel(index, channel.sound, channel.volume, channel.pan, channel.pitch,
                          channel.looping != 0) == 0) {
        int32_t place = FindChannelIndex(id);
        if (place >= 0) {
            RemoveSoundChannel(place);
        }
    }
}

// True when the entry at index was removed (its place now holds another entry).
bool UpdateSlide(int32_t index, float seconds) {
    SoundChannel& channel = g_channels[index];
    channel.fadeElapsed += seconds;
    if (channel.fadeElapsed < channel.fadeTime) {
        float t = channel.fadeTime > 0.0f ? channel.fadeElapsed / channel.fadeTime : 1.0f;
        t = t < 0.0f ? 0.0f : (t > 1.0f ? 1.0f : t);
        SetSoundChannelVolume(channel.id, (1.0f - t) * channel.fadeFrom + t * channel.fadeTo);
        return false;
    }
    channel.fading = 0;
    if (channel.stopAfterFade) {
        if (channel.active) {
            BackEnd()->StopChannel(channel.backEndId);
        }
        RemoveSoundChannel(index);
        return true;
    }
    SetSoundChannelVolume(channel.id, channel.fadeTo);
    return false;
}

}  // namespace

float ZQI_ClampVolume(float volume) {
    return volume < 0.0f ? 0.0f : (volume > 1.0f ? 1.0f : volume);
}

float ZQI_ClampPan(float pan) {
    return pan < -1.0f ? -1.0f : (pan > 1.0f ? 1.0f : pan);
}

float ZQI_ClampPitch(float pitch) {
    return pitch < 0.25f ? 0.25f : (pitch > 1.5f ? 1.5f : pitch);
}

float ZQI_SnapVolume(float volume) {
    return volume < 0.001f ? 0.0f : (volume > 0.999f ? 1.0f : volume);
}

SoundChannel* ZQI_GetSoundChannels() {
    return g_channels;
}

int32_t ZQI_GetSoundChannelCount() {
    return g_liveCount;
}

void ZQI_ClearSoundChannels() {
    memset(g_channels, 0, sizeof(g_channels));
    g_liveCount = 0;
    ZQI_ClearMusic();
}

int32_t AllocateSoundChannel() {
    int32_t index = -1;
    for (int32_t i = 0; i < g_liveCount && index < 0; ++i) {
        if (g_channels[i].id == 0) {
            index = i;
        }
    }
    if (index < 0) {
        uint32_t now = ZQI_AudioMilliseconds();
        for (int32_t i = 0; i < g_liveCount;) {
            if (g_channels[i].id == 0 || !RemoveChannelIfFinished(&g_channels[i], now)) {
                ++i;
            }
        }
        for (int32_t i = 0; i < SOUND_CHANNEL_COUNT && index < 0; ++i) {
            if (g_channels[i].id == 0) {
                index = i;
            }
        }
    }
    if (index < 0) {
        return -1;
    }
    SoundChannel& channel = g_channels[index];
    channel.sound = nullptr;
    channel.active = 0;
    channel.paused = 0;
    channel.id = TakeChannelId();
    if (index + 1 > g_liveCount) {
        g_liveCount = index + 1;
    }
    return index;
}

void RemoveSoundChannel(int32_t index) {
    if (index < 0 || index >= g_liveCount) {
        return;
    }
    g_channels[index].id = 0;
    g_channels[index].backEndId = 0;
    int32_t last = g_liveCount - 1;
    if (index != last) {
        SoundChannel removed = g_channels[index];
        g_channels[index] = g_channels[last];
        g_channels[last] = removed;
    }
    g_liveCount = last;
}

bool RemoveChannelIfFinished(SoundChannel* channel, uint32_t now) {
    if (channel->id == 0) {
        return false;
    }
    int32_t index = static_cast<int32_t>(channel - g_channels);
    if (channel->sound == nullptr) {
        RemoveSoundChannel(index);
        return false;
    }
    if (!channel->active) {
        return false;
    }
    int32_t due = static_cast<int32_t>(channel->sound->duration * 1000.0f) - kFinishedMarginMs;
    if (static_cast<int32_t>(now - channel->startTime) < due) {
        return false;
    }
    if (BackEnd()->IsChannelPlaying(channel->backEndId)) {
        return false;
    }
    RemoveSoundChannel(index);
    return true;
}

uint32_t StartSoundChannel(int32_t index, SoundResource* sound, float volume, float pan, float pitch,
                           bool looping) {
    if (index < 0 || index >= g_liveCount || sound == nullptr || sound->data == nullptr) {
        return 0;
    }
    uint32_t now = ZQI_AudioMilliseconds();
    if (sound->lastStart != 0 && now - sound->lastStart < kRetriggerGuardMs) {
        return 0;
    }
    // Removing finished channels moves the last live entry: the entry is found again by its id.
    uint32_t id = g_channels[index].id;
    if (CountPlayingChannelsOf(sound, now) >= kMostChannelsPerSound) {
        return 0;
    }
    index = FindChannelIndex(id);
    if (index < 0) {
        return 0;
    }
    volume = ZQI_SnapVolume(volume);
    uint32_t backEndId = BackEnd()->PlaySoundWithLooping(sound, volume, pan, pitch, looping);
    if (backEndId == 0) {
        return 0;
    }
    sound->lastStart = now;
    SoundChannel& channel = g_channels[index];
    channel.backEndId = backEndId;
    channel.volume = volume;
    channel.pan = pan;
    channel.pitch = pitch;
    channel.startTime = now;
    channel.sound = sound;
    channel.fading = 0;
    channel.stopAfterFade = 0;
    channel.looping = looping ? 1 : 0;
    channel.active = 1;
    channel.paused = 0;
    return channel.id;
}

bool IsSoundChannelPlaying(uint32_t id) {
    int32_t index = FindChannelIndex(id);
    if (index < 0) {
        return false;
    }
    SoundChannel& channel = g_channels[index];
    if (!channel.active || channel.looping) {
        return true;
    }
    if (BackEnd()->IsChannelPlaying(channel.backEndId)) {
        return true;
    }
    RemoveSoundChannel(index);
    return false;
}

void SetSoundChannelVolume(uint32_t id, float volume) {
    volume = ZQI_SnapVolume(volume);
    SoundChannel* channel = FindChannel(id);
    if (channel == nullptr || std::fabs(channel->volume - volume) < kChannelSlideTolerance) {
        return;
    }
    channel->volume = volume;
    if (channel->active) {
        BackEnd()->SetChannelVolume(channel->backEndId, volume);
    }
}

void FadeOutSoundChannel(uint32_t id, float seconds) {
    int32_t index = FindChannelIndex(id);
    if (index < 0) {
        return;
    }
    SoundChannel& channel = g_channels[index];
    if (!channel.active) {
        RemoveSoundChannel(index);
        return;
    }
    channel.fadeFrom = channel.volume;
    channel.fadeTo = 0.0f;
    channel.fadeTime = seconds;
    channel.fadeElapsed = 0.0f;
    channel.fading = 1;
    channel.stopAfterFade = 1;
}

void UpdateSoundChannel(float seconds) {
    uint32_t now = ZQI_AudioMilliseconds();
    for (int32_t i = 0; i < g_liveCount;) {
        SoundChannel& channel = g_channels[i];
        if (channel.id == 0 || channel.sound == nullptr) {
            ++i;
        } else if (!channel.active) {
            UpdateDelayedStart(i, seconds, now);
            ++i;
        } else if (!channel.fading || !UpdateSlide(i, seconds)) {
            ++i;
        }
    }
}

// ---- Sub-table entries --------------------------------------------------------------------------

SoundResource* ZQ_Audio_GetChannelSound(uint32_t id) {
    if (id == 0 || ZQI_IsAudioDisabled() || !IsSoundChannelPlaying(id)) {
        return nullptr;
    }
    SoundChannel* channel = FindChannel(id);
    return channel != nullptr ? channel->sound : nullptr;
}

bool ZQ_Audio_IsSoundPlaying(uint32_t id) {
    return id != 0 && !ZQI_IsAudioDisabled() && IsSoundChannelPlaying(id);
}

uint32_t ZQ_Audio_PlaySound(SoundResource* sound, float volume, float pan, float pitch) {
    if (RefusesPlay(sound)) {
        return 0;
    }
    pitch = ZQI_ClampPitch(pitch);
    pan = ZQI_ClampPan(pan);
    volume = ZQI_ClampVolume(volume);
    if (sound->data == nullptr) {
        return 0;
    }
    return PlayNow(sound, volume, pan, pitch, false);
}

uint32_t ZQ_Audio_PlaySoundWithDelay(SoundResource* sound, float volume, float pan, float pitch, bool looping,
                                     float delaySeconds) {
    if (RefusesPlay(sound)) {
        return 0;
    }
    pitch = ZQI_ClampPitch(pitch);
    pan = ZQI_ClampPan(pan);
    volume = ZQI_ClampVolume(volume);
    if (sound->data == nullptr) {
        return 0;
    }
    if (delaySeconds <= 0.0f) {
        return PlayNow(sound, volume, pan, pitch, looping);
    }
    if (delaySeconds > kLongestDelaySeconds) {
        ZQ_Popup(LOG_LEVEL_WARNING,
                 "Trying to play sound '%s' with too long delay %.1fs (warning triggers at %.0fs)",
                 sound->name, delaySeconds, kLongestDelaySeconds);
        delaySeconds = kLongestDelaySeconds;
    }
    int32_t index = AllocateSoundChannel();
    if (index < 0) {
        return 0;
    }
    SoundChannel& channel = g_channels[index];
    channel.active = 0;
    channel.paused = 0;
    channel.sound = sound;
    channel.volume = volume;
    channel.pan = pan;
    channel.pitch = pitch;
    channel.looping = looping ? 1 : 0;
    channel.backEndId = 0;
    channel.fading = 0;
    channel.stopAfterFade = 0;
    channel.startTime = ZQI_AudioMilliseconds() + static_cast<uint32_t>(delaySeconds * 1000.0f);
    return channel.id;
}

void ZQ_Audio_StopChannel(uint32_t id) {
    SoundChannel* channel = ChannelForSetter(id);
    if (channel == nullptr) {
        return;
    }
    if (channel->active) {
        BackEnd()->StopChannel(channel->backEndId);
    }
    RemoveSoundChannel(static_cast<int32_t>(channel - g_channels));
}

void ZQ_Audio_StopChannelWithFade(uint32_t id, float seconds) {
    if (ChannelForSetter(id) != nullptr) {
        FadeOutSoundChannel(id, seconds);
    }
}

void ZQ_Audio_SetChannelVolume(uint32_t id, float volume) {
    if (ChannelForSetter(id) != nullptr) {
        SetSoundChannelVolume(id, ZQI_ClampVolume(volume));
    }
}

void ZQ_Audio_SetChannelPan(uint32_t id, float pan) {
    SoundChannel* channel = ChannelForSetter(id);
    if (channel == nullptr) {
        return;
    }
    channel->pan = ZQI_ClampPan(pan);
    if (channel->active) {
        BackEnd()->SetChannelPan(channel->backEndId, channel->pan);
    }
}

void ZQ_Audio_SetChannelPitch(uint32_t id, float pitch) {
    SoundChannel* channel = ChannelForSetter(id);
    if (channel == nullptr) {
        return;
    }
    channel->pitch = ZQI_ClampPitch(pitch);
    if (channel->active) {
        BackEnd()->SetChannelPitch(channel->backEndId, channel->pitch);
    }
}

void ZQ_Audio_SetChannelPaused(uint32_t id, bool paused) {
    SoundChannel* channel = ChannelForSetter(id);
    if (channel == nullptr) {
        return;
    }
    channel->paused = paused ? 1 : 0;
    if (channel->active) {
        BackEnd()->SetChannelPaused(channel->backEndId, paused);
    }
}

void ZQ_Audio_SetChannelLooping(uint32_t id, bool looping) {
    SoundChannel* channel = ChannelForSetter(id);
    if (channel == nullptr) {
        return;
    }
    channel->looping = looping ? 1 : 0;
    if (channel->active) {
        BackEnd()->SetChannelLooping(channel->backEndId, looping);
    }
}

void ZQ_Audio_SlideChannelVolume(uint32_t id, float target, float seconds) {
    if (id == 0 || ZQI_IsAudioDisabled()) {
        return;
    }
    if (target < kChannelSlideTolerance) {
        FadeOutSoundChannel(id, seconds);
        return;
    }
    SoundChannel* channel = FindChannel(id);
    if (channel == nullptr) {
        return;
    }
    target = ZQI_SnapVolume(target);
    if (std::fabs(channel->volume - target) < kChannelSlideTolerance ||
        (channel->fading && channel->stopAfterFade)) {
        return;
    }
    if (!channel->active) {
        channel->volume = target;
        return;
    }
    channel->fadeFrom = channel->volume;
    channel->fadeTo = target;
    channel->fadeTime = seconds;
    channel->fadeElapsed = 0.0f;
    channel->fading = 1;
    channel->stopAfterFade = 0;
}
