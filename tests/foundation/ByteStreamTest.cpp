// ByteStream and StringTokenizer.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "foundation/ByteStream.h"
#include "foundation/FoundationHooks.h"
#include "foundation/StringTokenizer.h"

namespace {

std::vector<std::string> g_streamLogs;

void CaptureStreamLog(int32_t level, const char* text) {
    g_streamLogs.push_back(std::to_string(level) + " " + text);
}
void IgnorePopup(int32_t, const char*) {}
bool NotDeveloperMode() {
    return false;
}

// Records the level-2 lines of refused stream operations.
class ByteStreamFailureTest : public ::testing::Test {
protected:
    void SetUp() override {
        ZQI_ErrorReportSink sink = {CaptureStreamLog, IgnorePopup, NotDeveloperMode};
        ZQI_SetErrorReportSink(&sink);
        g_streamLogs.clear();
    }
    void TearDown() override { ZQI_SetErrorReportSink(nullptr); }
};

}  // namespace

TEST(ByteStream, NewStreamIsAllZero) {
    ByteStream s;
    EXPECT_EQ(nullptr, s.data);
    EXPECT_EQ(0, s.size);
    EXPECT_EQ(0, s.capacity);
    EXPECT_EQ(0, s.readPosition);
    EXPECT_EQ(0, s.bigEndian);
    EXPECT_EQ(0, s.external);
}

TEST(ByteStream, GrowsToTwiceTheNewSize) {
    ByteStream s;
    uint8_t bytes[15] = {0};
    s.Write(bytes, 10);
    EXPECT_EQ(20, s.capacity);
    EXPECT_EQ(10, s.size);
    s.Write(bytes, 15);
    EXPECT_EQ(50, s.capacity);
    EXPECT_EQ(25, s.size);
    s.Write(bytes, 5);  // fits
    EXPECT_EQ(50, s.capacity);
}

TEST(ByteStream, U32ByteOrder) {
    ByteStream little;
    little.WriteU32(1);
    ASSERT_EQ(4, little.size);
    EXPECT_EQ(0, memcmp(little.data, "\x01\x00\x00\x00", 4));

    ByteStream big;
    big.bigEndian = 1;
    big.WriteU32(1);
    EXPECT_EQ(0, memcmp(big.data, "\x00\x00\x00\x01", 4));
    big.WriteU32(0x11223344u);
    uint32_t value = 0;
    EXPECT_TRUE(big.ReadU32(&value));
    EXPECT_EQ(1u, value);
    EXPECT_TRUE(big.ReadU32(&value));
    EXPECT_EQ(0x11223344u, value);
    EXPECT_FALSE(big.ReadU32(&value));

    little.WriteU32(0xA0B0C0D0u);
    EXPECT_TRUE(little.ReadU32(&value));
    EXPECT_TRUE(little.ReadU32(&value));
    EXPECT_EQ(0xA0B0C0D0u, value);
}

TEST(ByteStream, NullStringReadsBackEmpty) {
    ByteStream s;
    s.WriteString(nullptr);
    EXPECT_EQ(1, s.size);
    String r = s.ReadString();
    EXPECT_TRUE(r.IsEmpty());
    EXPECT_EQ(1, s.readPosition);
}

TEST(ByteStream, StringsReadBackInOrder) {
    ByteStream s;
    s.WriteString("first");
    s.WriteString("");
    s.WriteString("third one, longer than fifteen");
    EXPECT_STREQ("first", s.ReadString().data);
    EXPECT_TRUE(s.ReadString().IsEmpty());
    EXPECT_STREQ("third one, longer than fifteen", s.ReadString().data);
    EXPECT_EQ(s.size, s.readPosition);
    String past = s.ReadString();
    EXPECT_EQ(nullptr, past.data);
}

TEST(ByteStream, ReadStringStopsAtEndOfWrittenBytes) {
    ByteStream s;
    s.Write("abc", 3);  // no NUL
    EXPECT_STREQ("abc", s.ReadString().data);
    EXPECT_EQ(3, s.readPosition);
}

TEST(ByteStream, ReadStringLimitedTo2047Characters) {
    ByteStream s;
    std::string longText(3000, 'r');
    s.WriteString(longText.c_str());
    String first = s.ReadString();
    EXPECT_EQ(2047, first.Length());
    EXPECT_EQ(2047, s.readPosition);

    ByteStream exact;
    std::string text2047(2047, 'e');
    exact.WriteString(text2047.c_str());
    exact.WriteString("next");
    EXPECT_EQ(2047, exact.ReadString().Length());
    EXPECT_EQ(2048, exact.readPosition);  // past the NUL
    EXPECT_STREQ("next", exact.ReadString().data);
}

TEST(ByteStream, CopyOfOwnedStreamIsIndependent) {
    ByteStream s;
    s.WriteString("hello");
    s.readPosition = 2;
    s.bigEndian = 1;
    ByteStream copy(s);
    EXPECT_NE(s.data, copy.data);
    EXPECT_EQ(6, copy.size);
    EXPECT_EQ(6, copy.capacity);
    EXPECT_EQ(2, copy.readPosition);
    EXPECT_EQ(1, copy.bigEndian);
    copy.WriteString("more");
    EXPECT_EQ(11, copy.size);
    EXPECT_EQ(22, copy.capacity);
    EXPECT_EQ(6, s.size);

    ByteStream empty;
    ByteStream emptyCopy(empty);
    EXPECT_EQ(nullptr, emptyCopy.data);
    EXPECT_EQ(0, emptyCopy.capacity);
}

TEST(ByteStream, ExternalStreamSharesAndNeverGrows) {
    uint8_t memory[8] = {'h', 'i', 0, 'x', 0, 0, 0, 0};
    {
        ByteStream s;
        s.WrapExternal(memory, 5);
        EXPECT_EQ(1, s.external);
        ByteStream copy(s);
        EXPECT_EQ(memory, copy.data);
        EXPECT_EQ(5, copy.capacity);
        EXPECT_STREQ("hi", copy.ReadString().data);
        EXPECT_EQ(3, copy.readPosition);
        EXPECT_FALSE(s.Write("y", 1));  // full: refused, nothing written
        EXPECT_EQ(5, s.size);

        ByteStream room;
        room.WrapExternal(memory, 8);
        room.size = 0;
        EXPECT_TRUE(room.Write("abcd", 4));
        EXPECT_EQ(memory, room.data);
        EXPECT_EQ(8, room.capacity);
    }
    EXPECT_EQ('a', memory[0]);  // memory survived the streams' destruction
}

TEST(StringTokenizer, EmptyTokensAndEnd) {
    StringTokenizer t("a,,b", ',');
    EXPECT_STREQ("a", t.Next());
    EXPECT_STREQ("", t.Next());
    EXPECT_STREQ("b", t.Next());
    EXPECT_EQ(nullptr, t.Next());
    EXPECT_EQ(nullptr, t.Next());

    StringTokenizer trailing("a,", ',');
    EXPECT_STREQ("a", trailing.Next());
    EXPECT_EQ(nullptr, trailing.Next());

    StringTokenizer leading(",a", ',');
    EXPECT_STREQ("", leading.Next());
    EXPECT_STREQ("a", leading.Next());
    EXPECT_EQ(nullptr, leading.Next());
}

TEST(StringTokenizer, SeparatorText) {
    StringTokenizer t("one<->two<-><->three", "<->");
    EXPECT_STREQ("one", t.Next());
    EXPECT_STREQ("two", t.Next());
    EXPECT_STREQ("", t.Next());
    EXPECT_STREQ("three", t.Next());
    EXPECT_EQ(nullptr, t.Next());
}

TEST(StringTokenizer, NoSeparatorOrTextGivesNull) {
    StringTokenizer noSeparator("abc", "");
    EXPECT_EQ(nullptr, noSeparator.Next());
    StringTokenizer noText(nullptr, ',');
    EXPECT_EQ(nullptr, noText.Next());
    StringTokenizer emptyText("", ',');
    EXPECT_EQ(nullptr, emptyText.Next());
    StringTokenizer whole("abc", ';');
    EXPECT_STREQ("abc", whole.Next());
    EXPECT_EQ(nullptr, whole.Next());
}

TEST(StringTokenizer, TokenLengthLimit) {
    std::string t511(511, 'a');
    StringTokenizer ok(t511.c_str(), ',');
    const char* token = ok.Next();
    ASSERT_NE(nullptr, token);
    EXPECT_EQ(511u, strlen(token));

    std::string t512(512, 'b');
    StringTokenizer tooLong((t512 + ",c").c_str(), ',');
    EXPECT_EQ(nullptr, tooLong.Next());
}

TEST(StringTokenizer, RingOfEightBuffers) {
    StringTokenizer t("0 1 2 3 4 5 6 7 8 9", ' ');
    t.ringIndex = 5;  // may start anywhere
    const char* tokens[10];
    for (int i = 0; i < 10; ++i) {
        tokens[i] = t.Next();
        ASSERT_NE(nullptr, tokens[i]);
    }
    EXPECT_EQ(tokens[0], tokens[8]);  // the ninth token reuses the first buffer
    EXPECT_NE(tokens[0], tokens[7]);
    EXPECT_STREQ("8", tokens[0]);
    EXPECT_STREQ("7", tokens[7]);
    EXPECT_STREQ("9", tokens[9]);
}

TEST_F(ByteStreamFailureTest, RefusedWriteToExternalMemoryIsLoggedWithItsName) {
    uint8_t memory[4] = {1, 2, 3, 4};
    ByteStream s;
    s.WrapExternal(memory, 4);
    EXPECT_FALSE(s.Write("x", 1));
    ASSERT_EQ(1u, g_streamLogs.size());
    EXPECT_EQ("2 ByteStream::Write: 1 bytes do not fit the external memory (size 4, capacity 4).",
              g_streamLogs[0]);
    EXPECT_EQ(1, memory[0]);

    EXPECT_FALSE(s.Write("x", -1));
    ASSERT_EQ(2u, g_streamLogs.size());
    EXPECT_EQ(0u, g_streamLogs[1].find("2 ByteStream::Write: negative byte count -1"));

    EXPECT_TRUE(s.Write("x", 0));  // nothing to write is no failure
    EXPECT_EQ(2u, g_streamLogs.size());
}

TEST_F(ByteStreamFailureTest, ReadingPastTheEndIsLoggedWithItsName) {
    ByteStream s;
    s.WriteU32(7);
    uint32_t value = 0;
    EXPECT_TRUE(s.ReadU32(&value));
    EXPECT_TRUE(g_streamLogs.empty());
    EXPECT_FALSE(s.ReadU32(&value));
    ASSERT_EQ(1u, g_streamLogs.size());
    EXPECT_EQ("2 ByteStream::ReadU32: fewer than 4 bytes left at 4 (size 4, capacity 8).", g_streamLogs[0]);
}
