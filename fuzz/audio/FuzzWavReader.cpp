// Fuzz target: a WAV file of arbitrary bytes through the reader; accepted data holds whole
// frames of 16-bit samples and no more than the file had.
#include <cstddef>
#include <cstdint>

#include "FuzzSupport.h"
#include "audio/SoundData.h"
#include "audio/SoundReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzWriteMemoryFile("mem://fuzz.wav", data, size);
    SoundData* sound = ReadSoundFile("mem://fuzz.wav");
    if (sound == nullptr) {
        return 0;
    }
    uint32_t bytes = ZQI_SoundByteCount(sound);
    if (sound->channels == 0 || sound->sampleRate == 0 || bytes % (2 * sound->channels) != 0 ||
        bytes != sound->pcmSize || bytes + 44 > size) {
        __builtin_trap();
    }
    ZQI_DeleteSoundData(sound);
    return 0;
}
