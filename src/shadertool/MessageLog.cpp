// The shader tool's message log: progress lines, errors and positional errors in their exact
// forms.
#include "shadertool/MessageLog.h"

#include <cstdarg>
#include <cstdlib>
#include <cstring>

namespace ShaderTool {

namespace {

const char kDroppedNotice[] = "too many messages, the rest are dropped.\n";

// Formats into a stack buffer (heap for long texts), freed with the object.
struct FormattedText {
    char buffer[ZQI_FORMAT_BUFFER_SIZE];
    char* text;

    FormattedText(const char* format, va_list args) { text = ZQI_FormatToBuffer(buffer, format, args); }
    ~FormattedText() {
        if (text != buffer) {
            free(text);
        }
    }
    FormattedText(const FormattedText&) = delete;
    FormattedText& operator=(const FormattedText&) = delete;
};

const char* OrEmpty(const char* text) {
    return text != nullptr ? text : "";
}

}  // namespace

MessageLog::MessageLog() : hasMessages(0), hasErrors(0), full_(0) {}

bool MessageLog::IsFull() const {
    return full_ != 0;
}

void MessageLog::AppendLimited(const String& line) {
    if (full_) {
        return;
    }
    const int32_t current = text.data != nullptr ? text.length : 0;  // not Length(): no strlen per line
    if (static_cast<int64_t>(current) + line.Length() > MESSAGE_LOG_TEXT_LIMIT) {
        text.Append(kDroppedNotice);
        full_ = 1;
        return;
    }
    text.Append(line.CStr());
}

void MessageLog::AddLine(const char* line) {
    AppendLimited(String::FromFormat("%s\n", OrEmpty(line)));
    hasMessages = 1;
}

void MessageLog::AddLineFormat(const char* format, ...) {
    va_list args;
    va_start(args, format);
    FormattedText line(format, args);
    va_end(args);
    AddLine(line.text);
}

void MessageLog::AddHeading(const char* line) {
    text.Append(OrEmpty(line));
    text.AppendChar('\n');
    hasMessages = 1;
}

void MessageLog::AddHeadingFormat(const char* format, ...) {
    va_list args;
    va_start(args, format);
    FormattedText line(format, args);
    va_end(args);
    AddHeading(line.text);
}

void MessageLog::AddError(const char* message) {
    AppendLimited(String::FromFormat("Error: %s\n", OrEmpty(message)));
    hasMessages = 1;
    hasErrors = 1;
}

void MessageLog::AddErrorFormat(const char* format, ...) {
    va_list args;
    va_start(args, format);
    FormattedText message(format, args);
    va_end(args);
    AddError(message.text);
}

void MessageLog::AddPositionalError(const char* fileName, int32_t line, int32_t column, const char* message) {
    AppendLimited(String::FromFormat("%s(%i:%i) error: %s\n", OrEmpty(fileName), static_cast<int>(line),
                                     static_cast<int>(column), OrEmpty(message)));
    hasMessages = 1;
    hasErrors = 1;
}

void MessageLog::AddPositionalErrorFormat(const char* fileName, int32_t line, int32_t column,
                                          const char* format, ...) {
    va_list args;
    va_start(args, format);
    FormattedText message(format, args);
    va_end(args);
    AddPositionalError(fileName, line, column, message.text);
}

void MessageLog::Clear() {
    text.Assign(nullptr);
    hasMessages = 0;
    hasErrors = 0;
    full_ = 0;
}

}  // namespace ShaderTool
