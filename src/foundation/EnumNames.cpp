// Names of PlatformId and ScreenSizeId.
#include "foundation/EnumNames.h"

#include <cstring>

namespace {

struct PlatformInfo {
    const char* name;
    const char* soundFxFormat;
    const char* musicFormat;
};

// Indexed by PlatformId; entry 0 and the unused ids 4 and 6 are the unknown platform.
const PlatformInfo kPlatforms[] = {
    {"UNKNOWN", "UNKNOWN", "UNKNOWN"},                        // 0
    {"WINDOWS", "OGG_44100", "OGG_44100"},                    // 1
    {"MAC", "OGG_44100", "OGG_44100"},                        // 2
    {"IOS", "WAV_22050", "MP3_44100"},                        // 3
    {"UNKNOWN", "UNKNOWN", "UNKNOWN"},                        // 4 (not used)
    {"ANDROID", "WAV_22050_MONO", "MP3_44100"},               // 5
    {"UNKNOWN", "UNKNOWN", "UNKNOWN"},                        // 6 (not used)
    {"WEBOS", "WAV_22050_MONO", "MP3_22050_STEREO"},          // 7
    {"QNX", "WAV_22050_MONO", "MP3_22050_STEREO"},            // 8
    {"PS3", "MP3_44100", "MP3_44100"},                        // 9
    {"PS_VITA", "WAV_22050_MONO", "OGG_44100"},               // 10
    {"PS4", "MP3_44100", "MP3_44100"},                        // 11
    {"LINUX", "OGG_44100", "OGG_44100"},                      // 12
    {"WINDOWS_RT", "OGG_44100", "OGG_44100"},                 // 13
    {"WINDOWS_PHONE", "WAV_22050_MONO", "MP3_22050_STEREO"},  // 14
    {"FLASH", "MP3_44100", "MP3_44100"},                      // 15
    {"TIZEN", "WAV_22050_MONO", "MP3_22050_STEREO"},          // 16
    {"XBOX_ONE", "OGG_44100", "OGG_44100"},                   // 17
    {"APPLE_TV", "WAV_22050", "MP3_44100"},                   // 18
    {"ANDROID_TV", "WAV_22050_MONO", "MP3_44100"},            // 19
    {"SWITCH", "ADPCM", "ADPCM"},                             // 20
    {"WINDOWS_GAME_CORE", "OGG_44100", "OGG_44100"},          // 21
    {"XBOX_ONE_GAME_CORE", "OGG_44100", "OGG_44100"},         // 22
    {"XBOX_SERIES_X", "OGG_44100", "OGG_44100"},              // 23
    {"PS5", "MP3_44100", "MP3_44100"},                        // 24
};
const int32_t kPlatformCount = static_cast<int32_t>(sizeof(kPlatforms) / sizeof(kPlatforms[0]));

const PlatformInfo& Lookup(PlatformId id) {
    return (id >= 0 && id < kPlatformCount) ? kPlatforms[id] : kPlatforms[0];
}

}  // namespace

const char* ZQI_GetPlatformName(PlatformId id) {
    return Lookup(id).name;
}

PlatformId ZQI_GetPlatformIdFromName(const char* name) {
    if (name == nullptr) {
        return PLATFORM_ID_UNKNOWN;
    }
    for (int32_t id = 1; id < kPlatformCount; ++id) {
        if (id == 4 || id == 6) {
            continue;  // unused ids carry the unknown name
        }
        if (strcmp(kPlatforms[id].name, name) == 0) {
            return id;
        }
    }
    return PLATFORM_ID_UNKNOWN;
}

const char* ZQI_GetPlatformSoundFxFormat(PlatformId id) {
    return Lookup(id).soundFxFormat;
}

const char* ZQI_GetPlatformMusicFormat(PlatformId id) {
    return Lookup(id).musicFormat;
}

ScreenSizeId ZQI_GetScreenSizeIdFromName(const char* name) {
    if (name == nullptr) {
        return SCREEN_SIZE_UNKNOWN;
    }
    if (strcmp(name, "SMALL") == 0) return SCREEN_SIZE_SMALL;
    if (strcmp(name, "MEDIUM") == 0) return SCREEN_SIZE_MEDIUM;
    if (strcmp(name, "LARGE") == 0) return SCREEN_SIZE_LARGE;
    return SCREEN_SIZE_UNKNOWN;
}

const char* ZQI_GetScreenSizeName(ScreenSizeId id) {
    switch (id) {
        case SCREEN_SIZE_MEDIUM:
            return "MEDIUM";
        case SCREEN_SIZE_LARGE:
            return "LARGE";
        default:
            return "SMALL";
    }
}
