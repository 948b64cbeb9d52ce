// The adapter: every operation forwards to one entry of the mixer's function table.
#include "audio/dsound/SoundImpCTRM.h"

#include <cstring>

#include "audio/SoundData.h"
#include "audio/SoundResource.h"
#include "audio/dsound/CtrmFunctionTable.h"
#include "audio/dsound/CtrmMixer.h"
#include "core/ApiTable.h"
#include "core/CoreState.h"
#include "core/Log.h"
#include "filesystem/FileSystemApi.h"

namespace {

const uint32_t kMixerRate = 44100;
const uint32_t kMixerChannels = 64;

CtrmFunctionTable g_table;
CtrmFunctionTable* g_ctrm = nullptr;

bool EndsWithMp3(const char* path) {
    size_t length = path != nullptr ? strlen(path) : 0;
    return length >= 4 && strcmp(path + length - 4, ".mp3") == 0;
}

}  // namespace

CtrmFunctionTable* ZQI_GetCtrmFunctionTable() {
    return g_ctrm;
}

SoundImpCTRM::SoundImpCTRM() : music_(0) {}

const char* SoundImpCTRM::GetName() {
    return "Ostrel Copper Trumpet";
}

bool SoundImpCTRM::Initialize(CoreState* platform, const zq_parameters_t*) {
    music_ = 0;
    CtrmFillFunctionTable(&g_table);
    g_ctrm = &g_table;
    void* window = platform != nullptr ? platform->gameWindow : nullptr;
    return g_ctrm->Initialize(kMixerRate, kMixerChannels, window, 0);
}

bool SoundImpCTRM::WindowChanged(CoreState* platform, const zq_parameters_t*) {
    ZQ_Log(LOG_LEVEL_SYSTEM, "SoundImplementation CTRM acknowledging window change.");
    if (g_ctrm != nullptr) {
        g_ctrm->SetWindow(platform != nullptr ? platform->gameWindow : nullptr);
    }
    return true;
}

void SoundImpCTRM::Shutdown() {
    ZQ_Log(LOG_LEVEL_SYSTEM, "SoundImplementation CTRM Shutdown.");
    if (g_ctrm != nullptr) {
        g_ctrm->Shutdown();
    }
}

bool SoundImpCTRM::LoadSound(SoundResource*, SoundData* data, const char* path) {
    if (data == nullptr || g_ctrm == nullptr) {
        return false;
    }
    if (data->kind != SOUND_DATA_NONE) {
        data->backEndHandle = g_ctrm->CreateSound(path, 0);
        return true;
    }
    if (EndsWithMp3(path) && ZQ_FileSystem_FileExists(path)) {
        ZQ_Log(LOG_LEVEL_WARNING, "SoundImplementation CTRM pretending it can load mp3.");
        return true;
    }
    return false;
}

void SoundImpCTRM::FreeSound(SoundResource* sound) {
    if (sound == nullptr || sound->data == nullptr || sound->data->backEndHandle == nullptr ||
        g_ctrm == nullptr) {
        return;
    }
    g_ctrm->FreeSound(static_cast<CtrmSound*>(sound->data->backEndHandle), sound->data);
    sound->data->backEndHandle = nullptr;
}

void SoundImpCTRM::SetMasterVolume(float volume) {
    if (g_ctrm != nullptr) {
        g_ctrm->SetMasterVolume(volume);
    }
}

uint32_t SoundImpCTRM::PlaySound(SoundResource* sound, float volume, float pan, float pitch) {
    return PlaySoundWithLooping(sound, volume, pan, pitch, false);
}

uint32_t SoundImpCTRM::PlaySoundWithLooping(SoundResource* sound, float volume, float pan, float pitch,
                                            bool looping) {
    if (sound == nullptr || g_ctrm == nullptr) {
        return 0;
    }
    return g_ctrm->Play(sound->data, volume, pan, pitch, looping ? 1 : 0);
}

void SoundImpCTRM::StopChannel(uint32_t channel) {
    if (g_ctrm != nullptr) {
        g_ctrm->Stop(channel);
    }
}

void SoundImpCTRM::SetChannelPan(uint32_t channel, float pan) {
    if (g_ctrm != nullptr) {
        g_ctrm->SetPan(channel, pan);
    }
}

void SoundImpCTRM::SetChannelVolume(uint32_t channel, float volume) {
    if (g_ctrm != nullptr) {
        g_ctrm->SetVolume(channel, volume);
    }
}

void SoundImpCTRM::SetChannelPaused(uint32_t channel, bool paused) {
    if (g_ctrm != nullptr) {
        g_ctrm->SetPaused(channel, paused);
    }
}

void SoundImpCTRM::SetChannelLooping(uint32_t channel, bool looping) {
    if (g_ctrm != nullptr) {
        g_ctrm->SetLooping(channel, looping);
    }
}

void SoundImpCTRM::SetChannelPitch(uint32_t channel, float ratio) {
    if (g_ctrm != nullptr) {
        g_ctrm->SetPitch(channel, ratio);
    }
}

bool SoundImpCTRM::IsChannelPlaying(uint32_t channel) {
    return g_ctrm != nullptr && g_ctrm->GetChannelState(channel) != 0;
}

void SoundImpCTRM::PlayMusic(SoundResource* sound, float startVolume) {
    music_ = PlaySound(sound, startVolume, 0.0f, 1.0f);
    SetChannelLooping(music_, true);
}

void SoundImpCTRM::StopMusic() {
    StopChannel(music_);
    music_ = 0;
}

void SoundImpCTRM::SetMusicPaused(bool paused) {
    if (music_ != 0) {
        SetChannelPaused(music_, paused);
    }
}

void SoundImpCTRM::SetMusicVolume(float volume) {
    SetChannelVolume(music_, volume);
}

void SoundImpCTRM::SetEngineRunning(bool) {}

void SoundImpCTRM::Update() {}

void SoundImpCTRM::EndFrame() {}
