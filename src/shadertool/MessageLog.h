// The shader tool's message log. Every step of the tool reports into a log and carries on, so
// one run lists every fault of a document; the caller reads the text afterwards.
#pragma once

#include <cstdint>

#include "foundation/Compiler.h"
#include "foundation/String.h"

namespace ShaderTool {

// Log text beyond which further lines are dropped (the flags are still set): appending copies
// the whole text, so an input with an error on every line must not make logging quadratic
// without bound. One line says that lines were dropped. Headings are never dropped.
enum { MESSAGE_LOG_TEXT_LIMIT = 256 * 1024 };

class MessageLog {
public:
    String text;          // all lines appended so far
    uint8_t hasMessages;  // set by every append
    uint8_t hasErrors;    // set by every error append

    MessageLog();

    // A progress line: "%s\n".
    void AddLine(const char* line);
    void AddLineFormat(const char* format, ...) ZQ_PRINTF_LIKE(2, 3);

    // A heading or progress line that is kept even in a full log, so that the reader still sees
    // which source and target the messages belong to and how the run ended. Callers write only a
    // few per source.
    void AddHeading(const char* line);
    void AddHeadingFormat(const char* format, ...) ZQ_PRINTF_LIKE(2, 3);

    // An error without source position: "Error: %s\n".
    void AddError(const char* message);
    void AddErrorFormat(const char* format, ...) ZQ_PRINTF_LIKE(2, 3);

    // An error at a source position (tokenizer, preprocessor, parser and analyzer):
    // "%s(%i:%i) error: %s\n" with the file name, the line, the column and the message.
    void AddPositionalError(const char* fileName, int32_t line, int32_t column, const char* message);
    void AddPositionalErrorFormat(const char* fileName, int32_t line, int32_t column, const char* format, ...)
        ZQ_PRINTF_LIKE(5, 6);

    // Empties the text and clears both flags.
    void Clear();

    // True once lines are being dropped: a caller with many more messages can stop making them.
    bool IsFull() const;

private:
    uint8_t full_;  // lines are being dropped (headings may follow the notice)

    // Appends a finished line (with its line feed) unless the text is full.
    void AppendLimited(const String& line);
};

}  // namespace ShaderTool
