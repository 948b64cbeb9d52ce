// SoundImplementationNull: the back end that plays nothing. The core falls back to it whenever
// sound is off, the chosen back end failed, or the run has shut sound down; sounds still count
// as loaded, so programs behave the same with and without a sound device.
#pragma once

#include "audio/SoundImplementation.h"

class SoundImplementationNull : public SoundImplementation {
public:
    const char* GetName() override;
    bool Initialize(CoreState* platform, const zq_parameters_t* settings) override;
    bool WindowChanged(CoreState* platform, const zq_parameters_t* settings) override;
    void Shutdown() override;
    bool LoadSound(SoundResource* sound, SoundData* data, const char* path) override;
    void FreeSound(SoundResource* sound) override;
    void SetMasterVolume(float volume) override;
    uint32_t PlaySound(SoundResource* sound, float volume, float pan, float pitch) override;
    void StopChannel(uint32_t channel) override;
    void SetChannelPan(uint32_t channel, float pan) override;
    void SetChannelVolume(uint32_t channel, float volume) override;
    void SetChannelPaused(uint32_t channel, bool paused) override;
    void SetChannelLooping(uint32_t channel, bool looping) override;
    void SetChannelPitch(uint32_t channel, float ratio) override;
    bool IsChannelPlaying(uint32_t channel) override;
    void PlayMusic(SoundResource* sound, float startVolume) override;
    void StopMusic() override;
    void SetMusicPaused(bool paused) override;
    void SetMusicVolume(float volume) override;
    void SetEngineRunning(bool running) override;
    void Update() override;
    void EndFrame() override;
};

// The one null back end, a static object: it needs no construction call and must never be
// deleted.
SoundImplementation* ZQI_GetNullSoundImplementation();
