// Fixed upper-case names of the engine API's PlatformId and ScreenSizeId, and each
// platform's standard sound-effect and music formats (the manifest's defaults). Names compare
// exactly (case-sensitive). Results are constant texts; callers do not release them.
#pragma once

#include <cstdint>

// The numbering is part of the engine API; 4 and 6 are not used.
typedef int32_t PlatformId;
enum : PlatformId {
    PLATFORM_ID_UNKNOWN = 0,
    PLATFORM_ID_WINDOWS = 1,
    PLATFORM_ID_MAC = 2,
    PLATFORM_ID_IOS = 3,
    PLATFORM_ID_ANDROID = 5,
    PLATFORM_ID_WEBOS = 7,
    PLATFORM_ID_QNX = 8,
    PLATFORM_ID_PS3 = 9,
    PLATFORM_ID_PS_VITA = 10,
    PLATFORM_ID_PS4 = 11,
    PLATFORM_ID_LINUX = 12,
    PLATFORM_ID_WINDOWS_RT = 13,
    PLATFORM_ID_WINDOWS_PHONE = 14,
    PLATFORM_ID_FLASH = 15,
    PLATFORM_ID_TIZEN = 16,
    PLATFORM_ID_XBOX_ONE = 17,
    PLATFORM_ID_APPLE_TV = 18,
    PLATFORM_ID_ANDROID_TV = 19,
    PLATFORM_ID_SWITCH = 20,
    PLATFORM_ID_WINDOWS_GAME_CORE = 21,
    PLATFORM_ID_XBOX_ONE_GAME_CORE = 22,
    PLATFORM_ID_XBOX_SERIES_X = 23,
    PLATFORM_ID_PS5 = 24,
};

typedef int32_t ScreenSizeId;
enum : ScreenSizeId {
    SCREEN_SIZE_SMALL = 0,
    SCREEN_SIZE_MEDIUM = 1,
    SCREEN_SIZE_LARGE = 2,
    SCREEN_SIZE_UNKNOWN = 3,
};

// "WINDOWS" ...; "UNKNOWN" for 0, 4, 6, negative ids and ids above 24.
const char* ZQI_GetPlatformName(PlatformId id);
// The id whose name equals name exactly; 0 for null or an unknown name.
PlatformId ZQI_GetPlatformIdFromName(const char* name);
// Standard formats ("OGG_44100" ...); "UNKNOWN" for unknown ids.
const char* ZQI_GetPlatformSoundFxFormat(PlatformId id);
const char* ZQI_GetPlatformMusicFormat(PlatformId id);
// 0, 1, 2 for "SMALL", "MEDIUM", "LARGE"; 3 for null or any other name.
ScreenSizeId ZQI_GetScreenSizeIdFromName(const char* name);
// "MEDIUM" and "LARGE" for 1 and 2; "SMALL" for 0 and every other id (a size nobody knows is
// treated as the smallest).
const char* ZQI_GetScreenSizeName(ScreenSizeId id);
