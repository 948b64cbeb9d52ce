// The preprocessor's line-oriented tokenizer over the shading-language scanners.
#include "shadertool/preprocessor/PreprocessorTokenizer.h"

#include "shadertool/TextBuilder.h"

namespace ShaderTool {

namespace {

const KeywordEntry kDirectiveWords[] = {
    {"define", TOKEN_PP_DEFINE},   {"elif", TOKEN_PP_ELIF}, {"else", TOKEN_PP_ELSE},
    {"endif", TOKEN_PP_ENDIF},     {"if", TOKEN_PP_IF},     {"include", TOKEN_PP_INCLUDE},
    {"defined", TOKEN_PP_DEFINED},
};

bool IsDigit(int32_t c) {
    return c >= '0' && c <= '9';
}
bool IsIdentifierStart(int32_t c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}

}  // namespace

PreprocessorTokenizer::PreprocessorTokenizer(MessageLog* log)
    : Tokenizer(log, nullptr), lineMode(PP_LINE_START) {}

StringMap<int32_t>& PreprocessorTokenizer::GetKeywordMap() {
    static StringMap<int32_t> map;
    return map;
}

void PreprocessorTokenizer::Begin(const ShaderSource& source, bool normalize) {
    FillKeywordMap(PreprocessorTokenizer::GetKeywordMap(), kDirectiveWords,
                   static_cast<int32_t>(sizeof kDirectiveWords / sizeof kDirectiveWords[0]));
    BeginReading(source, normalize);
}

void PreprocessorTokenizer::End() {
    Tokenizer::End();
    lineMode = PP_LINE_START;
}

void PreprocessorTokenizer::NextToken(Token& token) {
    reportLengthOnce = 1;
    for (;;) {
        bool delivered = false;
        if (lineMode == PP_LINE_START) {
            delivered = NextLineStartToken(token);
        } else if (lineMode == PP_LINE_DIRECTIVE) {
            delivered = NextDirectiveToken(token);
        } else {
            delivered = SkipOrdinaryLine(token);
        }
        if (delivered) {
            return;
        }
    }
}

// At a line start: a '#' opens a directive line, the end of the text ends the input, anything
// else makes the line an ordinary line, delivered whole and not yet consumed. A line marker
// ("@f ...") is read first, so the file name and line it sets apply to what follows it.
bool PreprocessorTokenizer::NextLineStartToken(Token& token) {
    const int32_t lineStart = position;
    const int32_t lineStartLine = line;
    int32_t c;
    do {
        RecordTokenStart(token);
        c = Read();
    } while (c == ' ' || c == '\t');
    if (c == '#' || c == 0) {
        lineMode = PP_LINE_DIRECTIVE;
        if (c == '#') {
            AppendToToken(token, c);
        }
        token.code = c == '#' ? TOKEN_HASH : TOKEN_END_OF_TEXT;
        return true;
    }
    bool markerRead = false;
    if (c == '@' && Read() == 'f') {
        ReadLineMarker();
        markerRead = true;
    }
    // Back to the line's first character. Skipping the line later counts its line feed once
    // more, so after a marker the counter is set one below what the marker left, and the line
    // after the marker gets the number the marker gave it, as in the language tokenizer.
    const bool consumedLineFeed = position > lineStart && Text()[position - 1] == '\n';
    const int32_t lineAfterMarker = line;
    position = lineStart;
    column = 1;
    tabCount = 0;
    line = lineStartLine;
    if (markerRead) {
        line = consumedLineFeed ? lineAfterMarker - 1 : lineAfterMarker;
    }
    lineMode = PP_LINE_ORDINARY;
    token.code = TOKEN_PP_NON_DIRECTIVE_LINE;
    return true;
}

// Inside a directive line: a line feed ends the directive without a token.
bool PreprocessorTokenizer::NextDirectiveToken(Token& token) {
    int32_t c;
    do {
        RecordTokenStart(token);
        c = Read();
    } while (c == ' ' || c == '\t');
    if (c == '\n') {
        lineMode = PP_LINE_START;
        return false;
    }
    if (c == '"') {
        ScanString(token);
    } else if (IsDigit(c)) {
        ScanNumber(token, c);
    } else if (IsIdentifierStart(c)) {
        ScanIdentifier(token, c);
    } else {
        ScanOperator(token, c);
    }
    return true;
}

// Inside an ordinary line: its characters are skipped up to and including the line feed.
bool PreprocessorTokenizer::SkipOrdinaryLine(Token& token) {
    int32_t c;
    do {
        c = Read();
    } while (c != '\n' && c != 0);
    if (c == 0) {
        RecordTokenStart(token);
        token.code = TOKEN_END_OF_TEXT;
        return true;
    }
    lineMode = PP_LINE_START;
    return false;
}

int32_t PreprocessorTokenizer::InsertText(const char* insertion) {
    // Lines before the current one are never read again, so they are dropped: each insertion
    // then copies only what is still to be read, and files included many times cost time in
    // proportion to what they add rather than to everything read so far.
    const char* text = Text();
    int32_t lineStart = position;
    while (lineStart > 0 && text[lineStart - 1] != '\n') {
        --lineStart;
    }
    TextBuilder spliced;
    spliced.Append(text + lineStart, position - lineStart);
    spliced.Append(insertion);
    spliced.Append(text + position, length - position);
    spliced.CopyTo(normalizedText);  // the builder holds its own copy of the old text
    textSource = &normalizedText;
    length = normalizedText.Length();
    position -= lineStart;
    return lineStart;
}

void PreprocessorTokenizer::GetCurrentLine(const char** start, int32_t* lineLength) const {
    const char* text = Text();
    int32_t end = position;
    while (end < length && text[end] != '\n') {
        ++end;
    }
    if (end < length) {
        ++end;  // the line feed
    }
    *start = text + position;
    *lineLength = end - position;
}

}  // namespace ShaderTool
