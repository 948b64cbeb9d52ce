// SoundData records and their byte blocks.
#include "audio/SoundData.h"

#include <cstdlib>
#include <cstring>

SoundData* ZQI_NewSoundData() {
    SoundData* data = static_cast<SoundData*>(calloc(1, sizeof(SoundData)));
    if (data != nullptr) {
        data->kind = SOUND_DATA_NONE;
    }
    return data;
}

void ZQI_DeleteSoundData(SoundData* data) {
    if (data != nullptr) {
        free(data->bytes.begin);
        free(data);
    }
}

bool ZQI_ResizeSoundBytes(SoundData* data, uint64_t size) {
    if (size > UINT32_MAX) {
        return false;
    }
    // One byte more than asked, so a zero size still gets a block that marks the data present.
    uint8_t* block = static_cast<uint8_t*>(realloc(data->bytes.begin, static_cast<size_t>(size) + 1));
    if (block == nullptr) {
        return false;
    }
    data->bytes.begin = block;
    data->bytes.end = block + size;
    data->bytes.capacity = block + size;
    return true;
}
