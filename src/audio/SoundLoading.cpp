// Loading and freeing a sound record's data: the name's extension search, the readers, the back
// end's LoadSound and FreeSound, and the cache modes that load or free.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "audio/AudioSystem.h"
#include "audio/SoundData.h"
#include "audio/SoundImplementation.h"
#include "audio/SoundReader.h"
#include "audio/SoundResource.h"
#include "core/ApiTable.h"
#include "core/CoreState.h"
#include "core/Log.h"
#include "core/NamedMutex.h"
#include "filesystem/FileSystemApi.h"
#include "foundation/String.h"

namespace {

const int kLongestFormedName = 511;

void UpdateDuration(SoundResource* sound, const SoundData* data) {
    uint64_t bytesPerSecond = static_cast<uint64_t>(data->sampleRate) * data->bytesPerSample * data->channels;
    // Data a back end accepts without reading it (".mp3") has no rate: its length stays unknown.
    if (sound->duration == 0.0f && bytesPerSecond != 0) {
        sound->duration = static_cast<float>(static_cast<double>(sound->dataSize) / bytesPerSecond);
    }
}

}  // namespace

bool ZQI_SoundNameHasExtension(const char* name) {
    for (size_t i = strlen(name); i-- > 1;) {
        if (name[i] == '/') {
            return false;
        }
        if (name[i] == '.') {
            return true;
        }
    }
    return false;
}

bool LoadSoundFromFile(SoundResource* sound, const char* path) {
    SoundImplementation* backEnd = ZQI_GetAudioSoundImplementation();
    if (backEnd == nullptr) {
        return true;
    }
    SoundData* data = backEnd->ReadsFilesItself() ? ZQI_NewSoundData() : ReadSoundFile(path);
    if (data == nullptr) {
        return false;
    }
    if (!backEnd->LoadSound(sound, data, path)) {
        ZQI_DeleteSoundData(data);
        return false;
    }
    FreeSoundData(sound);  // data loaded earlier under another mode is replaced, not leaked
    sound->dataSize = data->kind == SOUND_DATA_PCM ? ZQI_SoundByteCount(data) : data->pcmSize;
    UpdateDuration(sound, data);
    zq_file_info_t info;
    if (g_core.developerMode && ZQ_FileSystem_GetFileInfo(path, &info)) {
        sound->fileTime = info.modification_time;
    }
    sound->data = data;
    sound->loaded = 1;
    return true;
}

bool LoadSoundResource(SoundResource* sound) {
    if (sound == nullptr || sound->name == nullptr) {
        return false;
    }
    if (ZQI_SoundNameHasExtension(sound->name)) {
        return LoadSoundFromFile(sound, sound->name);
    }
    for (const char* extension : {"wav", "ogg", "mp3"}) {
        char path[kLongestFormedName + 1];
        snprintf(path, sizeof(path), "%s.%s", sound->name, extension);
        if (LoadSoundFromFile(sound, path)) {
            // The developer reload copies the resolved path under the sound table lock.
            char* copy = ZQI_DuplicateString(path);
            ZQI_LockCoreMutex(CORE_MUTEX_GET_SOUND);
            char* old = sound->resolvedPath;
            sound->resolvedPath = copy;
            ZQI_UnlockCoreMutex(CORE_MUTEX_GET_SOUND);
            free(old);
            return true;
        }
    }
    return false;
}

void FreeSoundData(SoundResource* sound) {
    if (sound == nullptr || sound->data == nullptr) {
        return;
    }
    sound->loaded = 0;
    if (SoundImplementation* backEnd = ZQI_GetAudioSoundImplementation()) {
        backEnd->FreeSound(sound);
    }
    ZQI_DeleteSoundData(sound->data);
    sound->data = nullptr;
}

void SetSoundCacheMode(SoundResource* sound, int32_t mode) {
    if (sound == nullptr || sound->name == nullptr || sound->cacheMode == mode) {
        return;
    }
    if ((mode & SOUND_CACHE_LOADED) != 0) {
        // Placeholders have no file: they only take the mode.
        if (sound->name[0] != '!' && !LoadSoundResource(sound)) {
            ZQ_Popup(LOG_LEVEL_WARNING, "Sound resource '%s' not found.", sound->name);
        }
        sound->cacheMode = static_cast<uint8_t>(mode);
    } else if (mode == SOUND_CACHE_NOTHING) {
        FreeSoundData(sound);
        sound->cacheMode = SOUND_CACHE_NOTHING;
        sound->dataSize = 0;
    }
}
