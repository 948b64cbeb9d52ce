// Tokenizer of the shading language: character reading with positions, token starts, line
// markers, the keyword map, literal kinds and source normalisation. The scanners of the
// individual token kinds are in TokenScanners.cpp.
#include "shadertool/Tokenizer.h"

#include <climits>

#include "shadertool/TextBuilder.h"

namespace ShaderTool {

namespace {

// Type words, keywords, boolean literals and reserved words of the language.
const KeywordEntry kLanguageKeywords[] = {
    {"bool", TOKEN_BOOL},
    {"float", TOKEN_FLOAT},
    {"float2", TOKEN_FLOAT2},
    {"float2x2", TOKEN_FLOAT2X2},
    {"float3", TOKEN_FLOAT3},
    {"float3x3", TOKEN_FLOAT3X3},
    {"float4", TOKEN_FLOAT4},
    {"float4x4", TOKEN_FLOAT4X4},
    {"int", TOKEN_INT},
    {"int2", TOKEN_INT2},
    {"int3", TOKEN_INT3},
    {"int4", TOKEN_INT4},
    {"uint", TOKEN_UINT},
    {"uint2", TOKEN_UINT2},
    {"uint3", TOKEN_UINT3},
    {"uint4", TOKEN_UINT4},
    {"void", TOKEN_VOID},
    {"break", TOKEN_BREAK},
    {"const", TOKEN_CONST},
    {"continue", TOKEN_CONTINUE},
    {"discard", TOKEN_DISCARD},
    {"do", TOKEN_DO},
    {"else", TOKEN_ELSE},
    {"for", TOKEN_FOR},
    {"if", TOKEN_IF},
    {"return", TOKEN_RETURN},
    {"struct", TOKEN_STRUCT},
    {"while", TOKEN_WHILE},
    {"true", TOKEN_BOOL_CONSTANT},
    {"false", TOKEN_BOOL_CONSTANT},
    {"bool2", TOKEN_RESERVED},
    {"bool3", TOKEN_RESERVED},
    {"bool4", TOKEN_RESERVED},
    {"Buffer", TOKEN_RESERVED},
    {"case", TOKEN_RESERVED},
    {"default", TOKEN_RESERVED},
    {"Image2D", TOKEN_RESERVED},
    {"in", TOKEN_RESERVED},
    {"inout", TOKEN_RESERVED},
    {"out", TOKEN_RESERVED},
    {"sample", TOKEN_RESERVED},
    {"switch", TOKEN_RESERVED},
    {"Texture2D", TOKEN_RESERVED},
    {"Texture3D", TOKEN_RESERVED},
    {"TextureCube", TOKEN_RESERVED},
    {"triangle", TOKEN_RESERVED},
    {"viewport_dimensions", TOKEN_RESERVED},
};

bool IsDigit(int32_t c) {
    return c >= '0' && c <= '9';
}
bool IsLetter(int32_t c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// Line numbers set by markers are kept below this, so counting the lines after them can
// never overflow.
const int32_t kLargestMarkerLine = INT32_MAX / 2;

}  // namespace

Tokenizer::Tokenizer(MessageLog* log, const TypeNameLookup* typeNames_)
    : textSource(nullptr),
      column(0),
      line(0),
      length(0),
      position(0),
      tabCount(0),
      tokenColumn(0),
      tokenLine(0),
      checkUnderscores(0),
      reportLengthOnce(0),
      messageLog(log),
      typeNames(typeNames_) {}

StringMap<int32_t>& Tokenizer::GetKeywordMap() {
    static StringMap<int32_t> map;
    return map;
}

void Tokenizer::FillKeywordMap(StringMap<int32_t>& map, const KeywordEntry* entries, int32_t count) {
    if (map.count != 0) {
        return;
    }
    for (int32_t i = 0; i < count; ++i) {
        int32_t* value = map.GetOrCreate(entries[i].word);
        if (value != nullptr) {
            *value = entries[i].code;
        }
    }
}

void Tokenizer::Begin(const ShaderSource& source, bool normalize) {
    FillKeywordMap(Tokenizer::GetKeywordMap(), kLanguageKeywords,
                   static_cast<int32_t>(sizeof kLanguageKeywords / sizeof kLanguageKeywords[0]));
    BeginReading(source, normalize);
}

void Tokenizer::BeginReading(const ShaderSource& source, bool normalize) {
    fileName.Assign(source.fileName.data);
    if (normalize) {
        normalizedText = NormalizeSourceText(source.text.CStr());
        textSource = &normalizedText;
    } else {
        textSource = &source.text;
    }
    length = textSource->Length();
    column = 1;
    line = source.firstLine;
}

void Tokenizer::End() {
    textSource = nullptr;
    normalizedText.Assign(nullptr);
    column = 0;
    line = 0;
    length = 0;
    position = 0;
    tabCount = 0;
    tokenColumn = 0;
    tokenLine = 0;
}

const char* Tokenizer::Text() const {
    return textSource != nullptr ? textSource->CStr() : "";
}

int32_t Tokenizer::Read() {
    if (textSource == nullptr || position >= length) {
        return 0;
    }
    const int32_t c = static_cast<unsigned char>(Text()[position]);
    ++position;
    ++column;
    if (c == '\t') {
        ++tabCount;
    } else if (c == '\n') {
        if (line < INT32_MAX) {
            ++line;
        }
        column = 1;
        tabCount = 0;
    }
    return c;
}

void Tokenizer::StepBack() {
    if (textSource == nullptr || position <= 0) {
        return;
    }
    --position;
    const char* text = Text();
    const char c = text[position];
    if (c != '\n') {
        --column;
        if (c == '\t') {
            --tabCount;
        }
        return;
    }
    // Back on the previous line: its column and tab count come from its characters.
    --line;
    int32_t start = position;
    while (start > 0 && text[start - 1] != '\n') {
        --start;
    }
    column = position - start + 1;
    tabCount = 0;
    for (int32_t i = start; i < position; ++i) {
        if (text[i] == '\t') {
            ++tabCount;
        }
    }
}

void Tokenizer::RecordTokenStart(Token& token) {
    const int64_t visualColumn = static_cast<int64_t>(column) + 3 * static_cast<int64_t>(tabCount);
    token.column = visualColumn > INT32_MAX ? INT32_MAX : static_cast<int32_t>(visualColumn);
    token.line = line;
    tokenColumn = token.column;
    tokenLine = token.line;
}

void Tokenizer::ReportError(int32_t errorLine, int32_t errorColumn, const char* message) {
    if (messageLog != nullptr) {
        messageLog->AddPositionalError(fileName.CStr(), errorLine, errorColumn, message);
    }
}

void Tokenizer::AppendToToken(Token& token, int32_t c) {
    if (token.length < TOKEN_TEXT_MAX) {
        token.text[token.length] = static_cast<char>(c);
        ++token.length;
        token.text[token.length] = '\0';
        return;
    }
    if (reportLengthOnce) {
        reportLengthOnce = 0;
        if (messageLog != nullptr) {
            messageLog->AddPositionalErrorFormat(fileName.CStr(), token.line, token.column,
                                                 "too many characters in token (maximum is %i).",
                                                 static_cast<int>(TOKEN_TEXT_MAX));
        }
    }
}

void Tokenizer::NextToken(Token& token) {
    reportLengthOnce = 1;
    for (;;) {
        RecordTokenStart(token);
        const int32_t c = Read();
        if (c == '\t' || c == '\n' || c == ' ') {
            continue;
        }
        if (c == '@') {
            // An '@' and the character after it never form a token; "@f" starts a line marker.
            if (Read() == 'f') {
                ReadLineMarker();
            }
            continue;
        }
        if (c == '"') {
            ScanString(token);
        } else if (IsDigit(c)) {
            ScanNumber(token, c);
        } else if (IsLetter(c) || c == '_') {
            ScanIdentifier(token, c);
        } else {
            ScanOperator(token, c);
        }
        return;
    }
}

// line_marker: "@f" blank '"' file-name '"' blank decimal-digits rest-of-line
void Tokenizer::ReadLineMarker() {
    Read();  // the blank
    Read();  // the opening quote
    TextBuilder name;
    int32_t c = Read();
    while (c != '"' && c != '\n' && c != 0) {
        name.AppendChar(static_cast<char>(c));
        c = Read();
    }
    name.CopyTo(fileName);
    Read();  // the blank
    int32_t number = 0;
    c = Read();
    while (IsDigit(c)) {
        if (number <= (kLargestMarkerLine - 9) / 10) {
            number = number * 10 + (c - '0');
        }
        c = Read();
    }
    // A line feed right after the digits ends the marker without counting: the next line is
    // line `number`. Anything else is skipped, and the line feed ending it counts as usual.
    line = number;
    if (c == '\n' || c == 0) {
        return;
    }
    do {
        c = Read();
    } while (c != '\n' && c != 0);
}

int32_t GetLiteralKind(const String& text) {
    ShaderSource source;
    source.text.Assign(text.data);
    source.firstLine = 1;
    MessageLog scratchLog;  // literal checks report nothing
    Tokenizer tokenizer(&scratchLog, nullptr);
    tokenizer.Begin(source, false);
    Token token;
    token.Clear();
    tokenizer.NextToken(token);
    tokenizer.End();
    switch (token.code) {
        case TOKEN_BOOL_CONSTANT:
            return TYPE_BOOL;
        case TOKEN_FLOAT_CONSTANT:
            return TYPE_FLOAT;
        case TOKEN_INT_CONSTANT:
            return TYPE_INT;
        default:
            return TYPE_NONE;
    }
}

namespace {

// Copies a block comment's body as blanks (tabs and line feeds kept, carriage returns
// dropped). Returns the index after the closing "*/", or -1 when the text ends inside it.
int32_t NormalizeBlockComment(const char* text, int32_t i, TextBuilder& out) {
    for (;;) {
        const char c = text[i];
        if (c == '\0') {
            return -1;
        }
        if (c == '*' && text[i + 1] == '/') {
            out.Append("  ", 2);
            return i + 2;
        }
        if (c == '\t' || c == '\n') {
            out.AppendChar(c);
        } else if (c != '\r') {
            out.AppendChar(' ');
        }
        ++i;
    }
}

}  // namespace

String NormalizeSourceText(const char* text) {
    TextBuilder out;
    if (text == nullptr) {
        text = "";
    }
    int32_t i = 0;
    while (text[i] != '\0') {
        const char c = text[i];
        if (c == '\r') {
            ++i;
        } else if (c == '/' && text[i + 1] == '/') {
            out.Append("  ", 2);
            i += 2;
            while (text[i] != '\0' && text[i] != '\n') {
                ++i;
            }
        } else if (c == '/' && text[i + 1] == '*') {
            out.Append("  ", 2);
            i = NormalizeBlockComment(text, i + 2, out);
            if (i < 0) {
                break;  // a comment still open at the end ends the copy
            }
        } else {
            out.AppendChar(c);
            ++i;
        }
    }
    String result;
    out.CopyTo(result);
    return result;
}

}  // namespace ShaderTool
