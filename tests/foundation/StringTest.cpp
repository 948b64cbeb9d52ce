// String and the formatting routines.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>

#include "foundation/String.h"

namespace {

char* FormatHelper(char* buffer, const char* format, ...) ZQ_PRINTF_LIKE(2, 3);
char* FormatHelper(char* buffer, const char* format, ...) {
    va_list args;
    va_start(args, format);
    char* result = ZQI_FormatToBuffer(buffer, format, args);
    va_end(args);
    return result;
}

bool IsInline(const String& s) {
    return s.data == s.inlineBuffer;
}

}  // namespace

TEST(String, DefaultConstructionIsEmptyWithNullData) {
    String s;
    EXPECT_EQ(nullptr, s.data);
    EXPECT_EQ(0, s.capacity);
    EXPECT_EQ(0, s.length);
    EXPECT_TRUE(s.IsEmpty());
    EXPECT_EQ(0, s.Length());
    EXPECT_STREQ("", s.CStr());
}

TEST(String, FourteenCharactersStayInline) {
    String s;
    s.Assign("abcdefghijklmn");
    EXPECT_TRUE(IsInline(s));
    EXPECT_EQ(15, s.capacity);
    EXPECT_EQ(14, s.length);
    EXPECT_STREQ("abcdefghijklmn", s.data);
}

TEST(String, FifteenCharactersGoToAnExactHeapBlock) {
    String s;
    s.Assign("abcdefghijklmno");
    EXPECT_FALSE(IsInline(s));
    EXPECT_NE(nullptr, s.data);
    EXPECT_EQ(15, s.capacity);
    EXPECT_EQ(15, s.length);
    EXPECT_STREQ("abcdefghijklmno", s.data);
}

TEST(String, AssigningEmptyTextToNewStringUsesInlineBuffer) {
    String s;
    s.Assign("");
    EXPECT_TRUE(IsInline(s));
    EXPECT_STREQ("", s.data);
    EXPECT_EQ(15, s.capacity);
    EXPECT_TRUE(s.IsEmpty());
}

TEST(String, AssigningNullReleasesAndKeepsCapacity) {
    String s;
    s.Assign("a text that is longer than fifteen");
    int32_t capacity = s.capacity;
    s.Assign(nullptr);
    EXPECT_EQ(nullptr, s.data);
    EXPECT_EQ(0, s.length);
    EXPECT_EQ(capacity, s.capacity);
    EXPECT_TRUE(s.IsEmpty());

    String t("short");
    t.Assign(nullptr);
    EXPECT_EQ(nullptr, t.data);
    EXPECT_EQ(0, t.length);
}

TEST(String, AssigningSameTextChangesNothing) {
    String s;
    s.Assign("a text that is longer than fifteen");
    char* before = s.data;
    std::string copy(s.data);
    s.Assign(copy.c_str());
    EXPECT_EQ(before, s.data);
    s.Assign(s.data);
    EXPECT_EQ(before, s.data);
    EXPECT_STREQ(copy.c_str(), s.data);
}

TEST(String, ReuseDependsOnLengthDifferenceBelow256) {
    std::string six(600, 'x');
    std::string three(300, 'y');
    std::string five(500, 'z');

    String s;
    s.Assign(six.c_str());
    char* block = s.data;
    s.Assign(five.c_str());  // 100 shorter: reuses
    EXPECT_EQ(block, s.data);
    EXPECT_EQ(500, s.length);
    EXPECT_EQ(600, s.capacity);  // capacity is not changed by in-place reuse
    EXPECT_EQ(five, std::string(s.data));

    String t;
    t.Assign(six.c_str());
    t.Assign(three.c_str());  // 300 shorter: new block
    EXPECT_EQ(300, t.capacity);
    EXPECT_EQ(300, t.length);
    EXPECT_EQ(three, std::string(t.data));
}

TEST(String, ReuseComparesWithLengthNotCapacity) {
    std::string six(600, 'x');
    std::string five(500, 'z');
    std::string fiveFifty(550, 'w');
    String s;
    s.Assign(six.c_str());
    s.Assign(five.c_str());       // in place, capacity 600, length 500
    s.Assign(fiveFifty.c_str());  // longer than length 500: new block despite capacity 600
    EXPECT_EQ(550, s.capacity);
    EXPECT_EQ(fiveFifty, std::string(s.data));
}

TEST(String, ShortTextReusesInlineStorageInPlace) {
    String s("abcdefghij");
    s.Assign("xyz");
    EXPECT_TRUE(IsInline(s));
    EXPECT_STREQ("xyz", s.data);
    EXPECT_EQ(3, s.length);
}

TEST(String, AssigningPointerIntoOwnTextYieldsTail) {
    String s("abcdefghij");  // inline
    s.Assign(s.data + 3);
    EXPECT_STREQ("defghij", s.data);
    EXPECT_EQ(7, s.length);

    std::string longText = "0123456789abcdefghijklmnopqrstuvwxyz";
    String h(longText.c_str());  // heap
    h.Assign(h.data + 3);
    EXPECT_STREQ(longText.c_str() + 3, h.data);
    EXPECT_EQ(static_cast<int32_t>(longText.size() - 3), h.length);

    String h2(longText.c_str());
    h2.Assign(h2.data + 30);  // tail short enough for the inline buffer
    EXPECT_TRUE(IsInline(h2));
    EXPECT_STREQ("uvwxyz", h2.data);
}

TEST(String, AppendToNullDataIsAssign) {
    String s;
    s.Append("abc");
    EXPECT_TRUE(IsInline(s));
    EXPECT_STREQ("abc", s.data);
    EXPECT_EQ(3, s.length);
}

TEST(String, AppendAlwaysAllocatesANewExactBlock) {
    String s("ab");
    ASSERT_TRUE(IsInline(s));
    s.Append("cd");
    EXPECT_FALSE(IsInline(s));
    EXPECT_STREQ("abcd", s.data);
    EXPECT_EQ(4, s.length);
    EXPECT_EQ(4, s.capacity);
    char* before = s.data;
    s.Append("e");
    EXPECT_NE(before, s.data);
    EXPECT_STREQ("abcde", s.data);
    EXPECT_EQ(5, s.capacity);
}

TEST(String, AppendNullDoesNothing) {
    String s("abc");
    char* before = s.data;
    s.Append(nullptr);
    EXPECT_EQ(before, s.data);
    EXPECT_STREQ("abc", s.data);
}

TEST(String, AppendingOwnTextDoublesIt) {
    String s("abc");
    s.Append(s.data);
    EXPECT_STREQ("abcabc", s.data);
    EXPECT_EQ(6, s.length);
    std::string longText(40, 'q');
    String h(longText.c_str());
    h.Append(h.data);
    EXPECT_EQ(longText + longText, std::string(h.data));
    EXPECT_EQ(80, h.length);
}

TEST(String, AppendChar) {
    String s;
    s.AppendChar('a');
    EXPECT_TRUE(IsInline(s));
    s.AppendChar('\0');
    s.AppendChar('b');
    EXPECT_STREQ("ab", s.data);
    EXPECT_EQ(2, s.length);
}

TEST(String, FormatAndAppendFormat) {
    String s;
    s.Format("%s-%d", "x", 42);
    EXPECT_STREQ("x-42", s.data);
    s.AppendFormat("/%.2f/%c/%-4s|%.*s", 1.5, 'z', "ab", 2, "hello");
    EXPECT_STREQ("x-42/1.50/z/ab  |he", s.data);
    String f = String::FromFormat("%i items", 3);
    EXPECT_STREQ("3 items", f.data);
}

TEST(String, FormatLongerThanStackBuffer) {
    std::string big(10000, 'k');
    String s;
    s.Format("<%s>", big.c_str());
    EXPECT_EQ("<" + big + ">", std::string(s.data));
    s.AppendFormat("%s", big.c_str());
    EXPECT_EQ(static_cast<size_t>(20002), strlen(s.data));
}

TEST(String, FormatToBufferBoundaryAt4096) {
    char buffer[ZQI_FORMAT_BUFFER_SIZE];
    std::string t4095(4095, 'a');
    char* r = FormatHelper(buffer, "%s", t4095.c_str());
    EXPECT_EQ(buffer, r);
    EXPECT_EQ(t4095, std::string(r));

    std::string t4096(4096, 'b');
    r = FormatHelper(buffer, "%s", t4096.c_str());
    ASSERT_NE(buffer, r);
    EXPECT_EQ(t4096, std::string(r));
    free(r);
}

#if !defined(_WIN32)
TEST(String, FormattingErrorLeavesEmptyText) {
    // A wide character that the "C" locale cannot encode makes snprintf fail.
    char buffer[ZQI_FORMAT_BUFFER_SIZE];
    buffer[0] = 'x';
    char* r = FormatHelper(buffer, "%lc", static_cast<wint_t>(0x10FFFF));
    EXPECT_EQ(buffer, r);
    EXPECT_STREQ("", r);
}
#endif

TEST(String, DuplicateString) {
    char* copy = ZQI_DuplicateString("hello");
    ASSERT_NE(nullptr, copy);
    EXPECT_STREQ("hello", copy);
    free(copy);
    copy = ZQI_DuplicateString(nullptr);
    ASSERT_NE(nullptr, copy);
    EXPECT_STREQ("", copy);
    free(copy);
}

TEST(String, OperatorPlusCopiesThenAppends) {
    String a("left");
    String b = a + "-right";
    EXPECT_STREQ("left-right", b.data);
    EXPECT_STREQ("left", a.data);
    String empty;
    String c = empty + "x";
    EXPECT_STREQ("x", c.data);
}

TEST(String, CopyAndAssignmentDoNotShare) {
    std::string longText(30, 'm');
    String a(longText.c_str());
    String b(a);
    EXPECT_NE(a.data, b.data);
    EXPECT_STREQ(a.data, b.data);
    String c;
    c = a;
    EXPECT_NE(a.data, c.data);
    EXPECT_STREQ(a.data, c.data);
    String d("short");
    String e(d);
    EXPECT_TRUE(IsInline(e));
    EXPECT_STREQ("short", e.data);
    String n;
    String m(n);
    EXPECT_EQ(nullptr, m.data);
}

TEST(String, LengthCountsCharactersNotField) {
    String s("abcdef");
    s.data[3] = '\0';
    EXPECT_EQ(3, s.Length());
    EXPECT_EQ(6, s.length);
}

TEST(String, SubstringRules) {
    String s("hello world");
    EXPECT_STREQ("world", s.Substring(6, 5).data);
    EXPECT_STREQ("wor", s.Substring(6, 3).data);
    EXPECT_STREQ("world", s.Substring(6, 99).data);  // count past the end: whole tail
    EXPECT_STREQ("world", s.Substring(6, -1).data);  // negative count: whole tail
    EXPECT_STREQ("", s.Substring(6, 0).data);
    String end = s.Substring(11, 3);  // start == length
    EXPECT_EQ(nullptr, end.data);
    EXPECT_TRUE(end.IsEmpty());
    EXPECT_EQ(nullptr, s.Substring(50, 1).data);
    String w = s.Substring(6, 3);
    EXPECT_EQ(3, w.length);
    String none;
    EXPECT_EQ(nullptr, none.Substring(0, 1).data);
}

TEST(String, ReplaceOneByTwoCharacters) {
    String s("aaa");
    s.Replace("a", "bb");
    EXPECT_STREQ("bbbbbb", s.data);
    EXPECT_EQ(6, s.length);
}

TEST(String, ReplaceByEmptyRemovesEveryOccurrence) {
    String s("a-b-c-");
    s.Replace("-", "");
    EXPECT_STREQ("abc", s.data);
}

TEST(String, ReplaceNoOps) {
    String s("abc");
    char* before = s.data;
    s.Replace(nullptr, "x");
    s.Replace("a", nullptr);
    s.Replace("", "x");
    s.Replace("zz", "x");
    EXPECT_EQ(before, s.data);
    EXPECT_STREQ("abc", s.data);
    String empty;
    empty.Replace("a", "b");
    EXPECT_EQ(nullptr, empty.data);
}

TEST(String, ReplaceIsNotRecursiveAndHandlesLongWorkBuffers) {
    String s("x.x.x");
    s.Replace("x", "xx");
    EXPECT_STREQ("xx.xx.xx", s.data);

    // Work buffer above 65535 bytes: taken from the heap.
    std::string big(40000, 'a');
    String h(big.c_str());
    h.Replace("a", "bc");
    EXPECT_EQ(static_cast<size_t>(80000), strlen(h.data));
    EXPECT_EQ('b', h.data[0]);
    EXPECT_EQ('c', h.data[79999]);
}

TEST(String, EqualsAndConvenience) {
    String s("abc");
    EXPECT_TRUE(s.Equals("abc"));
    EXPECT_FALSE(s.Equals("ab"));
    String n;
    EXPECT_TRUE(n.Equals(nullptr));
    EXPECT_TRUE(n.Equals(""));
    String t;
    t = "assigned";
    EXPECT_STREQ("assigned", t.CStr());
}
