// SoundImpCTRM: the sound back end over the in-house Copper Trumpet mixer, reached only through
// its function table. Chosen when XAudio2 is not available or FORCE_ALT_SOUND_IMP is set.
// Windows only.
#pragma once

#include <cstdint>

#include "audio/SoundImplementation.h"

struct CtrmFunctionTable;

class SoundImpCTRM : public SoundImplementation {
public:
    SoundImpCTRM();

    const char* GetName() override;
    bool Initialize(CoreState* platform, const zq_parameters_t* settings) override;
    bool WindowChanged(CoreState* platform, const zq_parameters_t* settings) override;
    void Shutdown() override;
    bool LoadSound(SoundResource* sound, SoundData* data, const char* path) override;
    void FreeSound(SoundResource* sound) override;
    void SetMasterVolume(float volume) override;
    uint32_t PlaySound(SoundResource* sound, float volume, float pan, float pitch) override;
    uint32_t PlaySoundWithLooping(SoundResource* sound, float volume, float pan, float pitch,
                                  bool looping) override;
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

private:
    uint32_t music_;  // the music's mixer channel, 0 = none
};

// The table Initialize filled, null before.
CtrmFunctionTable* ZQI_GetCtrmFunctionTable();
