// SoundDecoder: one play of a sound, read from its start as 16-bit PCM. Plain PCM is copied from
// memory; a compressed Vorbis sound is decoded from the bytes kept in memory. The XAudio2 back
// end makes one for each streamed play, the in-house mixer for every play. Portable.
#pragma once

#include <cstdint>

struct SoundData;
struct SoundDecoderVorbis;

struct SoundDecoder {
    SoundData* data;             // the sound played (not owned)
    uint64_t position;           // kind 0: the next byte of the PCM
    SoundDecoderVorbis* vorbis;  // kind 2: the stream over the compressed bytes, else null
    uint8_t hasStream;           // kind 0 or a Vorbis stream that opened
};

// A new decoder for data. For Vorbis data whose stream cannot be opened it logs the level-2
// popup "SoundReader - Vorbis: failed to initialize a sound instance." and the decoder has no
// stream. Null only when out of memory.
SoundDecoder* CreateSoundDecoder(SoundData* data);
// Clears the stream and frees the decoder. Null is ignored.
void FreeSoundDecoder(SoundDecoder* decoder);
// Up to count bytes of PCM from the current position; fewer at the end, 0 without a stream.
uint32_t ReadSoundDecoder(SoundDecoder* decoder, void* destination, uint32_t count);
// Back to the sound's start (PCM position 0, Vorbis raw position 0).
void RewindSoundDecoder(SoundDecoder* decoder);
