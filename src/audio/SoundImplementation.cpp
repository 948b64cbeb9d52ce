// The shared behaviour of every sound back end: looping playback built on PlaySound, and the
// retired slots that programs built against older engines may still reach.
#include "audio/SoundImplementation.h"

#include "core/ApiTable.h"
#include "core/Log.h"

SoundImplementation::~SoundImplementation() {}

bool SoundImplementation::ReadsFilesItself() {
    return false;
}

bool SoundImplementation::WindowChanged(CoreState*, const zq_parameters_t*) {
    return true;
}

uint32_t SoundImplementation::PlaySoundWithLooping(SoundResource* sound, float volume, float pan, float pitch,
                                                   bool looping) {
    uint32_t channel = PlaySound(sound, volume, pan, pitch);
    if (looping) {
        SetChannelLooping(channel, true);
    }
    return channel;
}

int32_t SoundImplementation::ReportDeprecatedCall() {
    // Goes through the API's popup slot so that it follows the same developer-mode and
    // once-per-text rules as every other popup.
    zq_api_t* api = ZQI_GetApi();
    if (api->Popup != nullptr) {
        api->Popup(LOG_LEVEL_WARNING, "Calling deprecated Sound Imp method!");
    }
    return SOUND_IMP_DEPRECATED_ANSWER;
}

int32_t SoundImplementation::DeprecatedMethod() {
    return ReportDeprecatedCall();
}

int32_t SoundImplementation::DeprecatedMethodSilent() {
    return SOUND_IMP_DEPRECATED_ANSWER;
}

int32_t SoundImplementation::DeprecatedMethod2() {
    return ReportDeprecatedCall();
}

int32_t SoundImplementation::DeprecatedMethod3() {
    return ReportDeprecatedCall();
}

int32_t SoundImplementation::DeprecatedMethod4() {
    return ReportDeprecatedCall();
}

int32_t SoundImplementation::DeprecatedMethod5() {
    return ReportDeprecatedCall();
}

int32_t SoundImplementation::DeprecatedMethod6() {
    return ReportDeprecatedCall();
}

int32_t SoundImplementation::DeprecatedMethod7() {
    return ReportDeprecatedCall();
}
