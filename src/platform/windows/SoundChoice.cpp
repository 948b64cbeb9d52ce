// Chooses the sound back end: XAudio2 when a test engine can be made and FORCE_ALT_SOUND_IMP is
// not set, the in-house Copper Trumpet mixer over DirectSound otherwise.
#include "platform/windows/SoundChoice.h"

#include <windows.h>
#include <xaudio2.h>

#include <new>

#include "audio/dsound/SoundImpCTRM.h"
#include "audio/xaudio2/SoundImpXAudio2.h"
#include "core/ApiTable.h"
#include "core/Features.h"
#include "core/Log.h"

namespace {

// The XAudio2 back end when an engine can be made (the probe engine is released at once).
SoundImplementation* TryXAudio2() {
    SoundImpXAudio2* backEnd = new (std::nothrow) SoundImpXAudio2();
    if (backEnd == nullptr) {
        return nullptr;
    }
    IXAudio2* engine = nullptr;
    HRESULT result = CreateXAudio2Engine(&engine);
    if (engine != nullptr) {
        engine->Release();
    }
    if (FAILED(result) || engine == nullptr) {
        delete backEnd;
        return nullptr;
    }
    ZQ_Log(LOG_LEVEL_SYSTEM, "Loaded XAudio2 sound implementation");
    return backEnd;
}

}  // namespace

SoundImplementation* LoadSoundImplementation() {
    ZQ_Log(LOG_LEVEL_SYSTEM, "Loading Sound Implementation...");
    if (!ZQI_IsFeatureEnabled("FORCE_ALT_SOUND_IMP")) {
        if (SoundImplementation* xaudio2 = TryXAudio2()) {
            return xaudio2;
        }
    }
    SoundImplementation* ctrm = new (std::nothrow) SoundImpCTRM();
    if (ctrm != nullptr) {
        ZQ_Log(LOG_LEVEL_SYSTEM, "Loaded CTRM sound implementation");
    }
    return ctrm;
}
