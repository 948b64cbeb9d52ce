// SoundData: a sound's samples as the readers leave them and the back ends play them, and the
// per-play decoder that both real back ends read from. Portable.
#pragma once

#include <cstdint>

// What a SoundData holds.
enum SoundDataKind : uint32_t {
    SOUND_DATA_PCM = 0,     // 16-bit PCM in memory
    SOUND_DATA_NONE = 1,    // nothing to play (a file type without a reader)
    SOUND_DATA_VORBIS = 2,  // the whole Ogg Vorbis file, decoded while it plays
};

// Decoded PCM of up to this many bytes is kept; a longer Vorbis sound stays compressed.
const uint32_t SOUND_DATA_LARGEST_DECODED = 524288;

// A growable byte block (begin, end, capacity), owned by its SoundData.
struct SoundBytes {
    uint8_t* begin;
    uint8_t* end;
    uint8_t* capacity;
};

struct SoundData {
    void* backEndHandle;  // the back end's own object for this sound; cleared by its FreeSound
    SoundBytes bytes;     // PCM samples (kind 0) or the compressed file (kind 2)
    uint32_t kind;        // SoundDataKind
    uint32_t channels;
    uint32_t pcmSize;  // bytes of the sound as PCM (for kind 2, once decoded)
    uint32_t bytesPerSample;
    uint32_t sampleRate;
};

// A new empty SoundData of kind 1; null when out of memory.
SoundData* ZQI_NewSoundData();
// Frees the bytes and the record. Null is ignored.
void ZQI_DeleteSoundData(SoundData* data);
// Sizes the byte block to size bytes (contents undefined); false when out of memory.
bool ZQI_ResizeSoundBytes(SoundData* data, uint64_t size);
inline uint32_t ZQI_SoundByteCount(const SoundData* data) {
    return static_cast<uint32_t>(data->bytes.end - data->bytes.begin);
}
