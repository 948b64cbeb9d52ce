// Text utilities.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

#include "foundation/FoundationHooks.h"
#include "foundation/TextUtils.h"

TEST(GetField, Basics) {
    char out[64];
    EXPECT_STREQ("a", ZQI_GetField(out, sizeof(out), "a;b;c", ";", 0));
    EXPECT_STREQ("b", ZQI_GetField(out, sizeof(out), "a;b;c", ";", 1));
    EXPECT_STREQ("c", ZQI_GetField(out, sizeof(out), "a;b;c", ";", 2));
    EXPECT_EQ(nullptr, ZQI_GetField(out, sizeof(out), "a;b;c", ";", 3));
    EXPECT_STREQ("", ZQI_GetField(out, sizeof(out), "a;", ";", 1));
    EXPECT_STREQ("", ZQI_GetField(out, sizeof(out), "a;", ";", 4));  // ends at the text's end
    EXPECT_STREQ("", ZQI_GetField(out, sizeof(out), "a;;b", ";", 1));
    EXPECT_STREQ("two", ZQI_GetField(out, sizeof(out), "one::two::three", "::", 1));
    EXPECT_EQ(nullptr, ZQI_GetField(out, sizeof(out), nullptr, ";", 0));
    EXPECT_EQ(nullptr, ZQI_GetField(out, sizeof(out), "a", nullptr, 0));
}

TEST(GetField, OutSizeIsRespected) {
    char out[4];
    memset(out, 'X', sizeof(out));
    EXPECT_EQ(nullptr, ZQI_GetField(out, 4, "abcd;e", ";", 0));  // 4 + NUL does not fit
    EXPECT_EQ('X', out[0]);
    EXPECT_STREQ("abc", ZQI_GetField(out, 4, "abc;e", ";", 0));
}

TEST(GetFieldByChar, UsesA512ByteBuffer) {
    char out[512];
    EXPECT_STREQ("b", ZQI_GetFieldByChar(out, 1, "a,b,c", ',', 1));  // size ignored
    EXPECT_EQ(nullptr, ZQI_GetFieldByChar(out, 512, "a,b", '\0', 0));
    EXPECT_EQ(nullptr, ZQI_GetFieldByChar(out, 512, "a,b", ',', 2));
    EXPECT_STREQ("", ZQI_GetFieldByChar(out, 512, "a,", ',', 1));
    std::string f511(511, 'f');
    EXPECT_NE(nullptr, ZQI_GetFieldByChar(out, 0, f511.c_str(), ',', 0));
    std::string f512(512, 'g');
    EXPECT_EQ(nullptr, ZQI_GetFieldByChar(out, 0, f512.c_str(), ',', 0));
}

// Unlike GetField, a field too long for out is cut rather than refused.
TEST(CutField, CutsLongFieldsAndGivesEmptyForMissingOnes) {
    const struct {
        const char* text;
        int32_t index;
        const char* expected;
    } cases[] = {{"a,bcdef,g", 1, "bcd"}, {"a,b", 0, "a"}, {"a,b", 2, ""}, {"a,,c", 1, ""}, {nullptr, 0, ""}};
    for (const auto& test : cases) {
        char out[4] = {'X', 'X', 'X', 'X'};
        EXPECT_STREQ(test.expected, ZQI_CutField(test.text, ',', test.index, out, sizeof(out))) << test.index;
    }
}

TEST(ListContainsWord, Delimiters) {
    EXPECT_TRUE(ZQI_ListContainsWord("NO_SOUND,STEAM", "STEAM"));
    EXPECT_FALSE(ZQI_ListContainsWord("STEAMY", "STEAM"));
    EXPECT_TRUE(ZQI_ListContainsWord("STEAM", "STEAM"));
    EXPECT_TRUE(ZQI_ListContainsWord("A STEAM;B", "STEAM"));
    EXPECT_TRUE(ZQI_ListContainsWord("XSTEAM,STEAM", "STEAM"));  // a later occurrence counts
    EXPECT_FALSE(ZQI_ListContainsWord("XSTEAM,STEAMX", "STEAM"));
    EXPECT_FALSE(ZQI_ListContainsWord(nullptr, "STEAM"));
    EXPECT_FALSE(ZQI_ListContainsWord("STEAM", ""));
    EXPECT_FALSE(ZQI_ListContainsWord("STEAM", nullptr));
    EXPECT_FALSE(ZQI_ListContainsWord("steam", "STEAM"));
}

TEST(CountFields, Rules) {
    EXPECT_EQ(3, ZQI_CountFields("a,b,", ","));
    EXPECT_EQ(1, ZQI_CountFields("abc", ","));
    EXPECT_EQ(0, ZQI_CountFields("", ","));
    EXPECT_EQ(0, ZQI_CountFields(nullptr, ","));
    EXPECT_EQ(0, ZQI_CountFields("a", nullptr));
    EXPECT_EQ(2, ZQI_CountFields("aaa", "aa"));  // non-overlapping
    EXPECT_EQ(1, ZQI_CountFields("abc", ""));
}

TEST(ReplaceAll, Rules) {
    char out[64];
    EXPECT_STREQ("xbxb", ZQI_ReplaceAll("abab", "a", "x", out, sizeof(out)));
    EXPECT_STREQ("aaaa", ZQI_ReplaceAll("aa", "a", "aa", out, sizeof(out)));  // no re-search
    EXPECT_STREQ("bb", ZQI_ReplaceAll("abab", "a", "", out, sizeof(out)));
    EXPECT_STREQ("abab", ZQI_ReplaceAll("abab", "", "x", out, sizeof(out)));
    EXPECT_EQ(nullptr, ZQI_ReplaceAll(nullptr, "a", "b", out, sizeof(out)));
    EXPECT_EQ(nullptr, ZQI_ReplaceAll("a", "a", "b", nullptr, 4));
    EXPECT_EQ(nullptr, ZQI_ReplaceAll("a", "a", "b", out, 0));
}

TEST(ReplaceAll, BoundedBuffer) {
    char out[8];
    memset(out, 'Q', sizeof(out));
    // The text does not fit: out is untouched.
    EXPECT_EQ(out, ZQI_ReplaceAll("0123456789", "1", "x", out, 8));
    EXPECT_EQ('Q', out[0]);
    // Size = length + 1 and a longer replacement: the unchanged copy.
    EXPECT_STREQ("a-b", ZQI_ReplaceAll("a-b", "-", "--", out, 4));
    // Stops before the replacement that would not fit, keeping the earlier ones.
    EXPECT_STREQ("a..b.c", ZQI_ReplaceAll("a.b.c", ".", "..", out, 7));
    // Shortening replacements always fit.
    EXPECT_STREQ("abc", ZQI_ReplaceAll("a--b--c", "--", "", out, 8));
}

TEST(EndsWith, Rules) {
    EXPECT_TRUE(ZQI_EndsWith("file.xml", ".xml"));
    EXPECT_FALSE(ZQI_EndsWith("file.xml", ".XML"));
    EXPECT_TRUE(ZQI_EndsWith("file.xml", ""));
    EXPECT_FALSE(ZQI_EndsWith("ml", ".xml"));
    EXPECT_FALSE(ZQI_EndsWith(nullptr, "a"));
    EXPECT_FALSE(ZQI_EndsWith("a", nullptr));
}

TEST(ParseHexColor, Rules) {
    float c[4] = {0.5f, 0.5f, 0.5f, 0.5f};
    ZQI_ParseHexColor(c, "#FF000080");
    EXPECT_FLOAT_EQ(255 * 0.003921569f, c[0]);
    EXPECT_NEAR(1.0f, c[0], 1e-6);
    EXPECT_EQ(0.0f, c[1]);
    EXPECT_EQ(0.0f, c[2]);
    EXPECT_NEAR(0.502f, c[3], 0.001);

    ZQI_ParseHexColor(c, "00ff7f");  // no '#', lower case, alpha 1
    EXPECT_EQ(0.0f, c[0]);
    EXPECT_NEAR(1.0f, c[1], 1e-6);
    EXPECT_FLOAT_EQ(127 * 0.003921569f, c[2]);
    EXPECT_EQ(1.0f, c[3]);

    float keep[4] = {0.1f, 0.2f, 0.3f, 0.4f};
    ZQI_ParseHexColor(keep, "#12345");  // five characters: unchanged
    ZQI_ParseHexColor(keep, "");
    ZQI_ParseHexColor(keep, nullptr);
    EXPECT_EQ(0.1f, keep[0]);
    EXPECT_EQ(0.4f, keep[3]);

    ZQI_ParseHexColor(c, "#zz10gg");  // non-digits count as 0
    EXPECT_EQ(0.0f, c[0]);
    EXPECT_FLOAT_EQ(16 * 0.003921569f, c[1]);
    EXPECT_EQ(0.0f, c[2]);
}

TEST(ConvertUTF8ToUTF32, Sequences) {
    const char twoBytes[] = "\xC3\xA9";
    uint32_t* r = ZQI_ConvertUTF8ToUTF32(twoBytes, 2);
    ASSERT_NE(nullptr, r);
    EXPECT_EQ(0xE9u, r[0]);
    EXPECT_EQ(0u, r[1]);
    free(r);

    const char mixed[] = "A\xE2\x82\xAC\xF0\x9F\x98\x80z";  // A, euro, grinning face, z
    r = ZQI_ConvertUTF8ToUTF32(mixed, static_cast<int32_t>(strlen(mixed)));
    ASSERT_NE(nullptr, r);
    EXPECT_EQ(uint32_t('A'), r[0]);
    EXPECT_EQ(0x20ACu, r[1]);
    EXPECT_EQ(0x1F600u, r[2]);
    EXPECT_EQ(uint32_t('z'), r[3]);
    EXPECT_EQ(0u, r[4]);
    free(r);
}

TEST(ConvertUTF8ToUTF32, MalformedInput) {
    const char loneContinuation[] = "\x80\xFF";
    uint32_t* r = ZQI_ConvertUTF8ToUTF32(loneContinuation, 2);
    ASSERT_NE(nullptr, r);
    EXPECT_EQ(0x80u, r[0]);
    EXPECT_EQ(0xFFu, r[1]);
    EXPECT_EQ(0u, r[2]);
    free(r);

    const char cut[] = "a\xE2\x82";  // cut short by the NUL: conversion ends
    r = ZQI_ConvertUTF8ToUTF32(cut, 3);
    ASSERT_NE(nullptr, r);
    EXPECT_EQ(uint32_t('a'), r[0]);
    EXPECT_EQ(0u, r[1]);
    free(r);

    const char unvalidated[] =
        "\xC3"
        "A";  // following byte not validated
    r = ZQI_ConvertUTF8ToUTF32(unvalidated, 2);
    ASSERT_NE(nullptr, r);
    EXPECT_EQ((0x03u * 64) + (0x41u ^ 0x80u), r[0]);
    free(r);

    r = ZQI_ConvertUTF8ToUTF32("", 0);
    ASSERT_NE(nullptr, r);
    EXPECT_EQ(0u, r[0]);
    free(r);
}

TEST(ConvertUTF8ToUTF32, NeverReadsPastByteLength) {
    uint32_t* r = ZQI_ConvertUTF8ToUTF32("abcdef", 3);
    ASSERT_NE(nullptr, r);
    EXPECT_EQ(uint32_t('c'), r[2]);
    EXPECT_EQ(0u, r[3]);
    free(r);
}
