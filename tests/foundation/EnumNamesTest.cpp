// Enumeration names and the name hash.
#include <gtest/gtest.h>

#include <cstring>

#include "foundation/EnumNames.h"
#include "foundation/NameHash.h"

TEST(PlatformNames, RoundTripEveryId) {
    const char* expected[25] = {"UNKNOWN",
                                "WINDOWS",
                                "MAC",
                                "IOS",
                                "UNKNOWN",
                                "ANDROID",
                                "UNKNOWN",
                                "WEBOS",
                                "QNX",
                                "PS3",
                                "PS_VITA",
                                "PS4",
                                "LINUX",
                                "WINDOWS_RT",
                                "WINDOWS_PHONE",
                                "FLASH",
                                "TIZEN",
                                "XBOX_ONE",
                                "APPLE_TV",
                                "ANDROID_TV",
                                "SWITCH",
                                "WINDOWS_GAME_CORE",
                                "XBOX_ONE_GAME_CORE",
                                "XBOX_SERIES_X",
                                "PS5"};
    for (int id = 0; id < 25; ++id) {
        EXPECT_STREQ(expected[id], ZQI_GetPlatformName(id)) << id;
        if (strcmp(expected[id], "UNKNOWN") != 0) {
            EXPECT_EQ(id, ZQI_GetPlatformIdFromName(expected[id]));
        }
    }
    EXPECT_STREQ("UNKNOWN", ZQI_GetPlatformName(25));
    EXPECT_STREQ("UNKNOWN", ZQI_GetPlatformName(-1));
    EXPECT_STREQ("UNKNOWN", ZQI_GetPlatformName(4));
}

TEST(PlatformNames, ExactComparison) {
    EXPECT_EQ(0, ZQI_GetPlatformIdFromName("windows"));
    EXPECT_EQ(17, ZQI_GetPlatformIdFromName("XBOX_ONE"));
    EXPECT_EQ(22, ZQI_GetPlatformIdFromName("XBOX_ONE_GAME_CORE"));
    EXPECT_EQ(0, ZQI_GetPlatformIdFromName("XBOX"));
    EXPECT_EQ(0, ZQI_GetPlatformIdFromName("UNKNOWN"));
    EXPECT_EQ(0, ZQI_GetPlatformIdFromName(nullptr));
    EXPECT_EQ(0, ZQI_GetPlatformIdFromName(""));
}

TEST(PlatformNames, Formats) {
    EXPECT_STREQ("OGG_44100", ZQI_GetPlatformSoundFxFormat(PLATFORM_ID_WINDOWS));
    EXPECT_STREQ("OGG_44100", ZQI_GetPlatformMusicFormat(PLATFORM_ID_WINDOWS));
    EXPECT_STREQ("WAV_22050", ZQI_GetPlatformSoundFxFormat(PLATFORM_ID_IOS));
    EXPECT_STREQ("MP3_44100", ZQI_GetPlatformMusicFormat(PLATFORM_ID_IOS));
    EXPECT_STREQ("WAV_22050_MONO", ZQI_GetPlatformSoundFxFormat(PLATFORM_ID_ANDROID));
    EXPECT_STREQ("MP3_22050_STEREO", ZQI_GetPlatformMusicFormat(PLATFORM_ID_WEBOS));
    EXPECT_STREQ("OGG_44100", ZQI_GetPlatformMusicFormat(PLATFORM_ID_PS_VITA));
    EXPECT_STREQ("ADPCM", ZQI_GetPlatformSoundFxFormat(PLATFORM_ID_SWITCH));
    EXPECT_STREQ("ADPCM", ZQI_GetPlatformMusicFormat(PLATFORM_ID_SWITCH));
    EXPECT_STREQ("MP3_44100", ZQI_GetPlatformSoundFxFormat(PLATFORM_ID_PS5));
    EXPECT_STREQ("UNKNOWN", ZQI_GetPlatformMusicFormat(0));
    EXPECT_STREQ("UNKNOWN", ZQI_GetPlatformSoundFxFormat(6));
    EXPECT_STREQ("UNKNOWN", ZQI_GetPlatformSoundFxFormat(99));
}

TEST(ScreenSizeNames, ExactComparison) {
    EXPECT_EQ(0, ZQI_GetScreenSizeIdFromName("SMALL"));
    EXPECT_EQ(1, ZQI_GetScreenSizeIdFromName("MEDIUM"));
    EXPECT_EQ(2, ZQI_GetScreenSizeIdFromName("LARGE"));
    EXPECT_EQ(3, ZQI_GetScreenSizeIdFromName("Small"));
    EXPECT_EQ(3, ZQI_GetScreenSizeIdFromName(nullptr));
    EXPECT_EQ(3, ZQI_GetScreenSizeIdFromName("HUGE"));
    for (ScreenSizeId id : {SCREEN_SIZE_SMALL, SCREEN_SIZE_MEDIUM, SCREEN_SIZE_LARGE}) {
        EXPECT_EQ(id, ZQI_GetScreenSizeIdFromName(ZQI_GetScreenSizeName(id)));
    }
    EXPECT_STREQ("SMALL", ZQI_GetScreenSizeName(SCREEN_SIZE_UNKNOWN));
}

TEST(NameHash, Definition) {
    EXPECT_EQ(0u, ZQI_HashName(nullptr));
    EXPECT_EQ(0u, ZQI_HashName(""));
    EXPECT_EQ(97u, ZQI_HashName("a"));
    EXPECT_EQ(97u * 37u + 98u, ZQI_HashName("ab"));
    // Bytes are unsigned: 0xFF counts as 255, not -1.
    EXPECT_EQ(255u, ZQI_HashName("\xFF"));
    // 32-bit wrap-around, computed independently.
    const char* text = "res://data/a-rather-long-resource-name.png";
    uint64_t h = 0;
    for (const char* p = text; *p; ++p) h = (h * 37 + static_cast<unsigned char>(*p)) & 0xFFFFFFFFu;
    EXPECT_EQ(static_cast<uint32_t>(h), ZQI_HashName(text));
    EXPECT_EQ(ZQI_HashName("abc"), ZQI_HashNameN("abcdef", 3));
    EXPECT_EQ(0u, ZQI_HashNameN(nullptr, 5));
}

// Every length up to a few words, so texts end at each point of a step taken several bytes at
// a time; bytes over the whole range. The reference is the definition, one byte per step.
TEST(NameHash, EveryLengthGivesTheDefinition) {
    char text[41];
    for (size_t length = 0; length < sizeof text; ++length) {
        uint64_t h = 0;
        for (size_t i = 0; i < length; ++i) {
            unsigned char byte = static_cast<unsigned char>(1 + (i * 73 + length * 11) % 255);
            text[i] = static_cast<char>(byte);
            h = (h * 37 + byte) & 0xFFFFFFFFu;
        }
        text[length] = '\0';
        EXPECT_EQ(static_cast<uint32_t>(h), ZQI_HashNameN(text, length)) << length;
        EXPECT_EQ(static_cast<uint32_t>(h), ZQI_HashName(text)) << length;
    }
}
