// vorbisfile's callbacks over an engine file or over bytes in memory, and the bounded open.
#include "audio/VorbisSource.h"

#include <vorbis/vorbisfile.h>

#include <cstdio>
#include <cstring>

#include "filesystem/FileSystemApi.h"

namespace {

const uint64_t kOpenReadFactor = 32;
const uint64_t kOpenReadAllowance = 4u << 20;
const uint64_t kUnlimited = UINT64_MAX;

size_t ReadSource(void* destination, size_t size, size_t count, void* opaque) {
    VorbisSource* source = static_cast<VorbisSource*>(opaque);
    uint64_t wanted = static_cast<uint64_t>(size) * count;
    uint64_t taken = 0;
    if (source->file != nullptr) {
        taken = ZQ_FileSystem_ReadFile(destination, wanted, source->file);
    } else {
        uint64_t left = source->size - source->position;
        taken = wanted < left ? wanted : left;
        if (taken > 0) {
            memcpy(destination, source->bytes + source->position, static_cast<size_t>(taken));
            source->position += taken;
        }
    }
    source->bytesRead += taken;
    return static_cast<size_t>(taken);
}

// Failing a seek is how an open that has read its fill is stopped: vorbisfile gives up with a
// read error. In memory, any target outside the bytes is clamped to them, so reads never leave
// the block.
int SeekSource(void* opaque, ogg_int64_t offset, int origin) {
    VorbisSource* source = static_cast<VorbisSource*>(opaque);
    if (source->bytesRead > source->readLimit) {
        return -1;
    }
    if (source->file != nullptr) {
        ZQ_FileSystem_SeekFile(source->file, offset, origin);
        return 0;
    }
    int64_t base = 0;
    if (origin == SEEK_CUR) {
        base = static_cast<int64_t>(source->position);
    } else if (origin == SEEK_END) {
        base = static_cast<int64_t>(source->size);
    }
    int64_t target = base + offset;
    if (target < 0) {
        target = 0;
    }
    source->position =
        static_cast<uint64_t>(target) < source->size ? static_cast<uint64_t>(target) : source->size;
    return 0;
}

long TellSource(void* opaque) {
    VorbisSource* source = static_cast<VorbisSource*>(opaque);
    uint64_t position =
        source->file != nullptr ? ZQ_FileSystem_GetFilePosition(source->file) : source->position;
    return static_cast<long>(position);
}

}  // namespace

uint64_t ZQI_VorbisOpenReadLimit(uint64_t size) {
    if (size > (kUnlimited - kOpenReadAllowance) / kOpenReadFactor) {
        return kUnlimited;
    }
    return kOpenReadFactor * size + kOpenReadAllowance;
}

VorbisSource ZQI_VorbisFileSource(zq_file_t* file, uint64_t size) {
    VorbisSource source = {};
    source.file = file;
    source.size = size;
    source.readLimit = kUnlimited;
    return source;
}

VorbisSource ZQI_VorbisMemorySource(const uint8_t* bytes, uint64_t size) {
    VorbisSource source = {};
    source.bytes = bytes;
    source.size = size;
    source.readLimit = kUnlimited;
    return source;
}

bool ZQI_OpenVorbisStream(OggVorbis_File* stream, VorbisSource* source) {
    source->bytesRead = 0;
    source->readLimit = ZQI_VorbisOpenReadLimit(source->size);
    ov_callbacks callbacks = {ReadSource, SeekSource, nullptr, TellSource};
    bool opened = ov_open_callbacks(source, stream, nullptr, 0, callbacks) == 0;
    source->readLimit = kUnlimited;
    return opened;
}
