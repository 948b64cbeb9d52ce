// WAV and Ogg Vorbis reading over the file-system API.
#include "audio/SoundReader.h"

#include <vorbis/vorbisfile.h>

#include <cstdio>
#include <cstring>

#include "audio/SoundData.h"
#include "audio/VorbisSource.h"
#include "core/ApiTable.h"
#include "core/Log.h"
#include "filesystem/FileSystemApi.h"

namespace {

const uint32_t kWavHeaderSize = 44;
const uint32_t kWavBitsPerSample = 16;

uint32_t ReadU32(const uint8_t* bytes) {
    return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
           static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

uint16_t ReadU16(const uint8_t* bytes) {
    return static_cast<uint16_t>(bytes[0] | bytes[1] << 8);
}

bool HasTag(const uint8_t* header, uint32_t offset, const char* tag) {
    return memcmp(header + offset, tag, 4) == 0;
}

// The first failed header test's message, null when the header is usable. Bits per sample must
// be 16, since the mixers copy samples into 16-bit buffers unchanged.
const char* FindWavHeaderFault(const uint8_t* header) {
    if (!HasTag(header, 0, "RIFF")) {
        return "SoundReader - PCM: invalid header (RIFF) in file '%s'.";
    }
    if (!HasTag(header, 12, "fmt ")) {
        return "SoundReader - PCM: invalid header (fmt ) in file '%s'.";
    }
    if (!HasTag(header, 36, "data") && !HasTag(header, 36, "DATA")) {
        return "SoundReader - PCM: invalid header (DATA) in file '%s'.";
    }
    if (ReadU16(header + 34) != kWavBitsPerSample) {
        return "SoundReader - PCM: sample bit count is not 16 in file '%s'.";
    }
    return nullptr;
}

bool ReadWav(SoundData* data, zq_file_t* file, const char* path) {
    uint8_t header[kWavHeaderSize] = {};
    bool whole = ZQ_FileSystem_ReadFile(header, kWavHeaderSize, file) == kWavHeaderSize;
    const char* fault = FindWavHeaderFault(header);
    if (fault == nullptr && !whole) {
        fault = "SoundReader - PCM: invalid header (DATA) in file '%s'.";  // the data size is cut off
    }
    if (fault != nullptr) {
        ZQ_Popup(LOG_LEVEL_ERROR, fault, path);
        return false;
    }
    uint32_t channels = ReadU16(header + 22);
    uint32_t bytesPerSample = kWavBitsPerSample / 8;
    uint32_t frameSize = channels * bytesPerSample;
    uint32_t sampleRate = frameSize != 0 ? ReadU32(header + 28) / bytesPerSample / channels : 0;
    if (sampleRate == 0) {
        ZQ_Popup(LOG_LEVEL_ERROR, "SoundReader - PCM: no channels or no sample rate in file '%s'.", path);
        return false;
    }
    // The size field may promise more than the file holds: only what is there is taken, in whole
    // frames, so a cut file never leaves undefined bytes or half a frame behind.
    uint64_t declared = ReadU32(header + 40);
    uint64_t left = file->size > kWavHeaderSize ? file->size - kWavHeaderSize : 0;
    uint64_t wanted = declared < left ? declared : left;
    if (!ZQI_ResizeSoundBytes(data, wanted)) {
        ZQ_Popup(LOG_LEVEL_ERROR, "SoundReader - PCM: out of memory reading file '%s'.", path);
        return false;
    }
    uint64_t read = ZQ_FileSystem_ReadFile(data->bytes.begin, wanted, file);
    read -= read % frameSize;
    data->bytes.end = data->bytes.begin + read;
    data->kind = SOUND_DATA_PCM;
    data->channels = channels;
    data->bytesPerSample = bytesPerSample;
    data->sampleRate = sampleRate;
    data->pcmSize = static_cast<uint32_t>(read);
    return true;
}

// Keeps the whole file in memory: the sound is decoded while it plays.
bool KeepVorbisFile(SoundData* data, zq_file_t* file) {
    if (!ZQI_ResizeSoundBytes(data, file->size)) {
        return false;
    }
    ZQ_FileSystem_SeekFile(file, 0, SEEK_SET);
    return ZQ_FileSystem_ReadFile(data->bytes.begin, file->size, file) == file->size;
}

// Decodes the whole sound; a stream that ends early leaves silence rather than stale bytes.
bool DecodeWholeVorbis(SoundData* data, OggVorbis_File* stream) {
    if (!ZQI_ResizeSoundBytes(data, data->pcmSize)) {
        return false;
    }
    uint32_t decoded = DecodeVorbisToBuffer(stream, data->bytes.begin, data->pcmSize);
    memset(data->bytes.begin + decoded, 0, data->pcmSize - decoded);
    return true;
}

bool ReadVorbis(SoundData* data, zq_file_t* file, const char* path) {
    VorbisSource source = ZQI_VorbisFileSource(file, file->size);
    OggVorbis_File stream;
    if (!ZQI_OpenVorbisStream(&stream, &source)) {
        ZQ_Popup(LOG_LEVEL_ERROR, "SoundReader - Vorbis: failed to read file '%s'.", path);
        return false;
    }
    vorbis_info* info = ov_info(&stream, -1);
    ogg_int64_t samples = ov_pcm_total(&stream, -1);
    // The size is worked out in 64 bits: a length past 4 GiB of PCM cannot be described.
    uint64_t pcmSize = 0;
    bool described = info != nullptr && info->channels > 0 && info->rate > 0 && samples >= 0;
    if (described) {
        pcmSize = static_cast<uint64_t>(info->channels) * static_cast<uint64_t>(samples) * 2;
        described = pcmSize <= UINT32_MAX;
    }
    if (!described) {
        ov_clear(&stream);
        ZQ_Popup(LOG_LEVEL_ERROR, "SoundReader - Vorbis: failed to read file '%s'.", path);
        return false;
    }
    data->channels = static_cast<uint32_t>(info->channels);
    data->sampleRate = static_cast<uint32_t>(info->rate);
    data->bytesPerSample = 2;
    data->pcmSize = static_cast<uint32_t>(pcmSize);
    bool read;
    if (data->pcmSize <= SOUND_DATA_LARGEST_DECODED) {
        data->kind = SOUND_DATA_PCM;
        read = DecodeWholeVorbis(data, &stream);
    } else {
        data->kind = SOUND_DATA_VORBIS;
        read = KeepVorbisFile(data, file);
    }
    ov_clear(&stream);
    if (!read) {
        ZQ_Popup(LOG_LEVEL_ERROR, "SoundReader - Vorbis: failed to read file '%s'.", path);
    }
    return read;
}

bool EndsWith(const char* text, const char* ending) {
    size_t length = strlen(text);
    size_t endingLength = strlen(ending);
    return length >= endingLength && memcmp(text + length - endingLength, ending, endingLength) == 0;
}

}  // namespace

uint32_t DecodeVorbisToBuffer(OggVorbis_File* stream, void* destination, uint32_t count) {
    char* out = static_cast<char*>(destination);
    uint32_t decoded = 0;
    while (decoded < count) {
        int section = 0;
        long got = ov_read(stream, out + decoded, static_cast<int>(count - decoded), 0, 2, 1, &section);
        if (got < 0) {
            ZQ_Log(LOG_LEVEL_WARNING, "SoundReader - Vorbis: error(s) in Vorbis data: %li.", got);
            return 0;
        }
        if (got == 0) {
            break;
        }
        decoded += static_cast<uint32_t>(got);
    }
    return decoded;
}

SoundData* ReadSoundFile(const char* path) {
    zq_file_t* file = ZQ_FileSystem_OpenFile(path, "r");
    if (file == nullptr) {
        return nullptr;
    }
    SoundData* data = ZQI_NewSoundData();
    bool read = data != nullptr;
    if (read && EndsWith(path, ".ogg")) {
        read = ReadVorbis(data, file, path);
    } else if (read && EndsWith(path, ".wav")) {
        read = ReadWav(data, file, path);
    }
    ZQ_FileSystem_CloseFile(file);
    if (!read) {
        ZQI_DeleteSoundData(data);
        return nullptr;
    }
    return data;
}
