// Per-play decoders over sound data in memory.
#include "audio/SoundDecoder.h"

#include <vorbis/vorbisfile.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "audio/SoundData.h"
#include "audio/SoundReader.h"
#include "audio/VorbisSource.h"
#include "core/ApiTable.h"
#include "core/Log.h"

struct SoundDecoderVorbis {
    OggVorbis_File file;
    VorbisSource source;
};

namespace {

SoundDecoderVorbis* OpenVorbisStream(SoundData* data) {
    SoundDecoderVorbis* stream = static_cast<SoundDecoderVorbis*>(calloc(1, sizeof(SoundDecoderVorbis)));
    if (stream == nullptr) {
        return nullptr;
    }
    stream->source = ZQI_VorbisMemorySource(data->bytes.begin, ZQI_SoundByteCount(data));
    if (!ZQI_OpenVorbisStream(&stream->file, &stream->source)) {
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
