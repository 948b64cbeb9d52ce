// Tests of the shader tool's message log: the exact line forms and the two flags.
#include <gtest/gtest.h>

#include <string>

#include "shadertool/MessageLog.h"

namespace {

using ShaderTool::MessageLog;

TEST(ShaderMessageLog, ErrorOnEmptyLog) {
    MessageLog log;
    log.AddError("file is of invalid version.");
    EXPECT_STREQ(log.text.CStr(), "Error: file is of invalid version.\n");
    EXPECT_EQ(log.hasMessages, 1);
    EXPECT_EQ(log.hasErrors, 1);
}

TEST(ShaderMessageLog, ProgressLineLeavesErrorsClear) {
    MessageLog log;
    log.AddLine("Translating for target 'HLSL11'...");
    EXPECT_STREQ(log.text.CStr(), "Translating for target 'HLSL11'...\n");
    EXPECT_EQ(log.hasMessages, 1);
    EXPECT_EQ(log.hasErrors, 0);
}

TEST(ShaderMessageLog, PositionalErrorPrintsLineBeforeColumn) {
    MessageLog log;
    log.AddPositionalError("shaders/a.shader", 12, 5, "syntax error");
    log.AddPositionalErrorFormat("b.shader", 3, 1, "redefinition of '%s'.", "N");
    EXPECT_STREQ(log.text.CStr(),
                 "shaders/a.shader(12:5) error: syntax error\n"
                 "b.shader(3:1) error: redefinition of 'N'.\n");
    EXPECT_EQ(log.hasErrors, 1);
}

TEST(ShaderMessageLog, LinesAppendInOrder) {
    MessageLog log;
    log.AddLineFormat("Translating %s shader code of shader source %i...", "pixel", 2);
    log.AddErrorFormat("target '%s' does not support buffers.", "ESSL20");
    EXPECT_STREQ(log.text.CStr(),
                 "Translating pixel shader code of shader source 2...\n"
                 "Error: target 'ESSL20' does not support buffers.\n");
}

TEST(ShaderMessageLog, ClearEmptiesTextAndFlags) {
    MessageLog log;
    log.AddError("x");
    log.Clear();
    EXPECT_STREQ(log.text.CStr(), "");
    EXPECT_EQ(log.hasMessages, 0);
    EXPECT_EQ(log.hasErrors, 0);
    log.AddLine("again");
    EXPECT_STREQ(log.text.CStr(), "again\n");
    EXPECT_EQ(log.hasErrors, 0);
}

TEST(ShaderMessageLog, MessagesLongerThanTheFormatBufferAreKept) {
    const std::string name(5000, 'n');
    MessageLog log;
    log.AddErrorFormat("invalid additional preprocessor definition '%s=%s' specified.", name.c_str(), "1");
    EXPECT_EQ(std::string(log.text.CStr()),
              "Error: invalid additional preprocessor definition '" + name + "=1' specified.\n");
}

TEST(ShaderMessageLog, NullTextsPrintAsEmpty) {
    MessageLog log;
    log.AddPositionalError(nullptr, 1, 2, nullptr);
    EXPECT_STREQ(log.text.CStr(), "(1:2) error: \n");
}

TEST(ShaderMessageLog, FullLogDropsFurtherLinesButKeepsTheFlags) {
    MessageLog log;
    const std::string message(100, 'm');
    for (int i = 0; i < 2 * ShaderTool::MESSAGE_LOG_TEXT_LIMIT / 100; ++i) {
        log.AddPositionalError("a.shader", i, 1, message.c_str());
    }
    const std::string text = log.text.CStr();
    EXPECT_LE(text.size(), static_cast<size_t>(ShaderTool::MESSAGE_LOG_TEXT_LIMIT) + 64);
    EXPECT_GT(text.size(), static_cast<size_t>(ShaderTool::MESSAGE_LOG_TEXT_LIMIT) - 200);
    const std::string notice = "too many messages, the rest are dropped.\n";
    ASSERT_GE(text.size(), notice.size());
    EXPECT_EQ(text.substr(text.size() - notice.size()), notice);
    EXPECT_EQ(text.find(notice), text.size() - notice.size());  // written once
    EXPECT_EQ(text.compare(0, 26, "a.shader(0:1) error: mmmmm"), 0);
    log.AddLine("short");
    EXPECT_EQ(std::string(log.text.CStr()), text);
    EXPECT_EQ(log.hasErrors, 1);
    log.Clear();
    log.AddLine("after clearing");
    EXPECT_STREQ(log.text.CStr(), "after clearing\n");
}

// Headings pass a full log; ordinary lines after them are still dropped, with no second notice.
TEST(ShaderMessageLog, HeadingsAreKeptInAFullLog) {
    MessageLog log;
    const std::string message(100, 'm');
    while (!log.IsFull()) {
        log.AddError(message.c_str());
    }
    const std::string full = log.text.CStr();
    log.AddHeadingFormat("Translating for target '%s'...", "HLSL11");
    log.AddError(message.c_str());
    log.AddHeading("\nTranslation FAILED");
    EXPECT_EQ(std::string(log.text.CStr()),
              full + "Translating for target 'HLSL11'...\n\nTranslation FAILED\n");
    EXPECT_TRUE(log.IsFull());
    log.Clear();
    EXPECT_FALSE(log.IsFull());
}

}  // namespace
