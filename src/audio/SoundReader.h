// The sound readers: WAV files with the fixed 44-byte header and Ogg Vorbis files through
// vorbisfile over the engine's file-system API. Every failure is a level-2 popup naming the file
// and a null result. Portable.
#pragma once

#include <cstdint>

struct SoundData;
typedef struct OggVorbis_File OggVorbis_File;

// Opens path ("r") and reads it by its ending, byte for byte: ".ogg" Vorbis, ".wav" WAV, any other
// ending an empty SoundData of kind 1. Null when the file cannot be opened or reading fails.
SoundData* ReadSoundFile(const char* path);

// Decodes up to count bytes of 16-bit signed little-endian PCM into destination. Stops early at
// the end of the stream. A stream error logs "SoundReader - Vorbis: error(s) in Vorbis data: %li."
// and answers 0; otherwise the bytes decoded.
uint32_t DecodeVorbisToBuffer(OggVorbis_File* stream, void* destination, uint32_t count);
