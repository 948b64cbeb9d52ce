// The null sound back end: every operation succeeds and nothing is heard.
#include "audio/null/NullSoundImplementation.h"

namespace {

SoundImplementationNull g_nullSoundImplementation;

}  // namespace

SoundImplementation* ZQI_GetNullSoundImplementation() {
    return &g_nullSoundImplementation;
}

const char* SoundImplementationNull::GetName() {
    return "SoundImp Null";
}

bool SoundImplementationNull::Initialize(CoreState*, const zq_parameters_t*) {
    return true;
}

bool SoundImplementationNull::WindowChanged(CoreState*, const zq_parameters_t*) {
    return true;
}

void SoundImplementationNull::Shutdown() {}

bool SoundImplementationNull::LoadSound(SoundResource*, SoundData*, const char*) {
    return true;
}

void SoundImplementationNull::FreeSound(SoundResource*) {}

void SoundImplementationNull::SetMasterVolume(float) {}

uint32_t SoundImplementationNull::PlaySound(SoundResource*, float, float, float) {
    return 0;
}

void SoundImplementationNull::StopChannel(uint32_t) {}

void SoundImplementationNull::SetChannelPan(uint32_t, float) {}

void SoundImplementationNull::SetChannelVolume(uint32_t, float) {}

void SoundImplementationNull::SetChannelPaused(uint32_t, bool) {}

void SoundImplementationNull::SetChannelLooping(uint32_t, bool) {}

void SoundImplementationNull::SetChannelPitch(uint32_t, float) {}

bool SoundImplementationNull::IsChannelPlaying(uint32_t) {
    return false;
}

void SoundImplementationNull::PlayMusic(SoundResource*, float) {}

void SoundImplementationNull::StopMusic() {}

void SoundImplementationNull::SetMusicPaused(bool) {}

void SoundImplementationNull::SetMusicVolume(float) {}

void SoundImplementationNull::SetEngineRunning(bool) {}

void SoundImplementationNull::Update() {}

void SoundImplementationNull::EndFrame() {}
