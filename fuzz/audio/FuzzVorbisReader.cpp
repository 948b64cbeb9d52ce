// Fuzz target: an Ogg Vorbis file of arbitrary bytes through the reader, then every play of it:
// decoded whole it must hold exactly its PCM size, kept compressed it is streamed to the end.
#include <cstddef>
#include <cstdint>

#include "FuzzSupport.h"
#include "audio/SoundData.h"
#include "audio/SoundDecoder.h"
#include "audio/SoundReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzWriteMemoryFile("mem://fuzz.ogg", data, size);
    SoundData* sound = ReadSoundFile("mem://fuzz.ogg");
    if (sound == nullptr) {
        return 0;
    }
    if (sound->kind == SOUND_DATA_PCM && ZQI_SoundByteCount(sound) != sound->pcmSize) {
        __builtin_trap();
    }
    SoundDecoder* decoder = CreateSoundDecoder(sound);
    static uint8_t block[65536];
    for (int i = 0; i < 64 && ReadSoundDecoder(decoder, block, sizeof(block)) != 0; ++i) {
    }
    FreeSoundDecoder(decoder);
    ZQI_DeleteSoundData(sound);
    return 0;
}
