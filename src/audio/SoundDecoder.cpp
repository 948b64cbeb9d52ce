// Per-play decoders over sound data in memory.
#include "audio/SoundDecoder.h"

#include <vorbis/vorbisfile.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "audio/SoundData.h"
#include "audio/SoundReader.h"
#include "core/ApiTable.h"
#include "core/Log.h"

struct SoundDecoderVorbis {
    OggVorbis_File file;
    const uint8_t* bytes;
    uint64_t position;
    uint64_t count;
};

namespace {

size_t ReadMemory(void* destination, size_t size, size_t count, void* source) {
    SoundDecoderVorbis* stream = static_cast<SoundDecoderVorbis*>(source);
    uint64_t wanted = static_cast<uint64_t>(size) * count;
    uint64_t left = stream->count - stream->position;
    uint64_t taken = wanted < left ? wanted : left;
    memcpy(destination, stream->bytes + stream->position, static_cast<size_t>(taken));
    stream->position += taken;
    return static_cast<size_t>(taken);
}

// Any target outside the bytes is clamped to them, so reads never leave the block.
int SeekMemory(void* source, ogg_int64_t offset, int origin) {
    SoundDecoderVorbis* stream = static_cast<SoundDecoderVorbis*>(source);
    int64_t base = 0;
    if (origin == SEEK_CUR) {
        base = static_cast<int64_t>(stream->position);
    } else if (origin == SEEK_END) {
        base = static_cast<int64_t>(stream->count);
    }
    int64_t target = base + offset;
    if (target < 0) {
        target = 0;
    }
    stream->position =
        static_cast<uint64_t>(target) < stream->count ? static_cast<uint64_t>(target) : stream->count;
    return 0;
}

long TellMemory(void* source) {
    return static_cast<long>(static_cast<SoundDecoderVorbis*>(source)->position);
}

SoundDecoderVorbis* OpenVorbisStream(SoundData* data) {
    SoundDecoderVorbis* stream = static_cast<SoundDecoderVorbis*>(calloc(1, sizeof(SoundDecoderVorbis)));
    if (stream == nullptr) {
        return nullptr;
    }
    stream->bytes = data->bytes.begin;
    stream->count = ZQI_SoundByteCount(data);
    ov_callbacks callbacks = {ReadMemory, SeekMemory, nullptr, TellMemory};
    if (ov_open_callbacks(stream, &stream->file, nullptr, 0, callbacks) != 0) {
        free(stream);
        return nullptr;
    }
    return stream;
}

}  // namespace

SoundDecoder* CreateSoundDecoder(SoundData* data) {
    SoundDecoder* decoder = static_cast<SoundDecoder*>(calloc(1, sizeof(SoundDecoder)));
    if (decoder == nullptr) {
        return nullptr;
    }
    decoder->data = data;
    if (data == nullptr) {
        return decoder;
    }
    if (data->kind == SOUND_DATA_PCM) {
        decoder->hasStream = 1;
    } else if (data->kind == SOUND_DATA_VORBIS) {
        decoder->vorbis = OpenVorbisStream(data);
        if (decoder->vorbis == nullptr) {
            ZQ_Popup(LOG_LEVEL_ERROR, "SoundReader - Vorbis: failed to initialize a sound instance.");
        }
        decoder->hasStream = decoder->vorbis != nullptr ? 1 : 0;
    }
    return decoder;
}

void FreeSoundDecoder(SoundDecoder* decoder) {
    if (decoder == nullptr) {
        return;
    }
    if (decoder->vorbis != nullptr) {
        ov_clear(&decoder->vorbis->file);
        free(decoder->vorbis);
    }
    free(decoder);
}

uint32_t ReadSoundDecoder(SoundDecoder* decoder, void* destination, uint32_t count) {
    if (decoder == nullptr || !decoder->hasStream) {
        return 0;
    }
    if (decoder->vorbis != nullptr) {
        return DecodeVorbisToBuffer(&decoder->vorbis->file, destination, count);
    }
    uint64_t size = ZQI_SoundByteCount(decoder->data);
    uint64_t left = decoder->position < size ? size - decoder->position : 0;
    uint32_t taken = static_cast<uint32_t>(count < left ? count : left);
    memcpy(destination, decoder->data->bytes.begin + decoder->position, taken);
    decoder->position += taken;
    return taken;
}

void RewindSoundDecoder(SoundDecoder* decoder) {
    if (decoder == nullptr) {
        return;
    }
    decoder->position = 0;
    if (decoder->vorbis != nullptr) {
        ov_raw_seek(&decoder->vorbis->file, 0);
    }
}
