// VorbisSource: the bytes vorbisfile reads an Ogg Vorbis stream from (the engine file a sound
// loads from, or the compressed bytes a decoder plays) with vorbisfile's read, seek and tell
// callbacks over them. Opening a stream may read only a bounded amount: vorbisfile searches back
// from the end for the stream's last page a 64 KiB chunk at a time, and trailing pages of another
// stream make it read a whole chunk again for each page, so a 10 MB file of small pages would
// take minutes. Portable.
#pragma once

#include <cstdint>

typedef struct OggVorbis_File OggVorbis_File;
struct zq_file_t;

struct VorbisSource {
    zq_file_t* file;       // an engine file; null for bytes in memory
    const uint8_t* bytes;  // the bytes in memory (not owned)
    uint64_t size;         // of the file or of the bytes
    uint64_t position;     // the next byte in memory
    uint64_t bytesRead;    // by vorbisfile, from the start of the open
    uint64_t readLimit;    // while opening: past it every seek fails, which ends the open
};

// What opening a stream over size bytes may read: 32 times the size and 4 MiB more. An ordinary
// file needs about twice its size; a chain of a thousand short links about 25 times.
uint64_t ZQI_VorbisOpenReadLimit(uint64_t size);

// A source over an open engine file of the given size, read from its current position.
VorbisSource ZQI_VorbisFileSource(zq_file_t* file, uint64_t size);
// A source over bytes in memory, read from their start.
VorbisSource ZQI_VorbisMemorySource(const uint8_t* bytes, uint64_t size);

// Opens the stream over the source (which must outlive it), reading at most the open limit;
// afterwards reading is unbounded. False when vorbisfile refuses the bytes or the limit was met.
bool ZQI_OpenVorbisStream(OggVorbis_File* stream, VorbisSource* source);
