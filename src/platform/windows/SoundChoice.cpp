// Chooses the sound back end. Only the null back end exists in this build, so every run is
// silent; XAudio2 and the in-house DirectSound mixer join the choice when they are built.
#include "platform/windows/SoundChoice.h"

#include "audio/null/NullSoundImplementation.h"
#include "core/ApiTable.h"
#include "core/Log.h"

SoundImplementation* LoadSoundImplementation() {
    ZQ_Log(LOG_LEVEL_SYSTEM, "Loading Sound Implementation...");
    return ZQI_GetNullSoundImplementation();
}
