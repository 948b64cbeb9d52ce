// Fuzz target: arbitrary bytes taken as a compressed sound kept in memory and played through the
// per-play decoder: reads, a rewind and reads again, never outside the bytes.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "FuzzSupport.h"
#include "audio/SoundData.h"
#include "audio/SoundDecoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    SoundData* sound = ZQI_NewSoundData();
    if (sound == nullptr || !ZQI_ResizeSoundBytes(sound, size)) {
        ZQI_DeleteSoundData(sound);
        return 0;
    }
    memcpy(sound->bytes.begin, data, size);
    sound->kind = SOUND_DATA_VORBIS;
    SoundDecoder* decoder = CreateSoundDecoder(sound);
    static uint8_t block[44100];
    for (int pass = 0; pass < 2; ++pass) {
        for (int i = 0; i < 16 && ReadSoundDecoder(decoder, block, sizeof(block)) != 0; ++i) {
        }
        RewindSoundDecoder(decoder);
    }
    FreeSoundDecoder(decoder);
    ZQI_DeleteSoundData(sound);
    return 0;
}
