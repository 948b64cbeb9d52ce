// Tokenizer of the shading language: turns source text into tokens, one per call, each with
// its position, text and code (Tokens.h). Errors go into the message log as one line each; the
// tokenizer never stops on an error and always returns a token.
#pragma once

#include <cstdint>

#include "foundation/String.h"
#include "foundation/StringMap.h"
#include "shadertool/MessageLog.h"
#include "shadertool/ShaderDescription.h"
#include "shadertool/Tokens.h"

namespace ShaderTool {

enum { TOKEN_TEXT_MAX = 128 };  // characters kept of one token

// The record a next-token call fills.
struct Token {
    int32_t column;                 // of the token's first character; a tab counts 4 columns
    int32_t line;                   // of the token's first character
    int32_t length;                 // characters in text
    char text[TOKEN_TEXT_MAX + 1];  // NUL-terminated; longer tokens are cut
    int32_t code;                   // TokenCode, or a byte value; TOKEN_NONE = no token

    // What callers do before each next-token call: position and text cleared, code TOKEN_NONE.
    void Clear() {
        column = 0;
        line = 0;
        length = 0;
        text[0] = '\0';
        code = TOKEN_NONE;
    }
};

// Keyword table entry: a word and its token code.
struct KeywordEntry {
    const char* word;
    int32_t code;
};

// Lookup of user type names (the analyzer's struct table): names found are delivered as
// TOKEN_USER_TYPE instead of TOKEN_IDENTIFIER.
class TypeNameLookup {
public:
    virtual bool IsTypeName(const char* name) const = 0;

protected:
    ~TypeNameLookup() = default;
};

// Reads one source. Use as Begin, any number of NextToken calls, End; End must come before the
// next Begin. Instances are members of their owners or live on the stack (no virtual
// destructor); the preprocessor's tokenizer overrides the four operations.
class Tokenizer {
public:
    String fileName;           // used in messages; set by Begin, replaced by line markers
    const String* textSource;  // the source record's text or normalizedText; must outlive reading
    String normalizedText;     // owned copy made by Begin when asked to normalise
    int32_t column;            // 1-based column of the next character (every character counts 1)
    int32_t line;              // line of the next character
    int32_t length;            // bytes of the text, fixed by Begin
    int32_t position;          // index of the next character
    int32_t tabCount;          // tabs read so far on the current line
    int32_t tokenColumn;       // position of the start of the last token
    int32_t tokenLine;
    uint8_t checkUnderscores;         // identifiers that start with '_' are errors
    uint8_t reportLengthOnce;         // cleared after the first "too many characters" error of a token
    MessageLog* messageLog;           // where errors go (may be null: errors are then dropped)
    const TypeNameLookup* typeNames;  // or null

    explicit Tokenizer(MessageLog* log = nullptr, const TypeNameLookup* typeNames = nullptr);

    // Starts reading the source record's text (file name, text and first line are used), or a
    // normalised copy of it (comments and carriage returns removed). Fills the keyword map when
    // it is empty. Does not touch position and tab count, which End clears.
    virtual void Begin(const ShaderSource& source, bool normalize);
    // Forgets the text and zeroes column, line, length, position, tab count and token start.
    virtual void End();
    // Fills token (which the caller has cleared) with the next token.
    virtual void NextToken(Token& token);
    // The class's keyword map, shared by all instances and filled on first use.
    virtual StringMap<int32_t>& GetKeywordMap();

protected:
    // Begin without filling a keyword map: each class fills its own map first.
    void BeginReading(const ShaderSource& source, bool normalize);

    // Character reading. Read gives 0 at or beyond the end of the text and changes nothing
    // then; StepBack undoes the last Read that returned a character.
    int32_t Read();
    void StepBack();
    const char* Text() const;

    // Stores the position of the token about to be read (a tab counts four columns).
    void RecordTokenStart(Token& token);
    // Appends a character to the token text, reporting the first one past the limit.
    void AppendToToken(Token& token, int32_t c);
    // A positional error at the given position in the current file.
    void ReportError(int32_t line, int32_t column, const char* message);

    // Scanners, each entered with the token's first character already read.
    void ScanString(Token& token);
    void ScanNumber(Token& token, int32_t first);
    void ScanFloat(Token& token, int32_t c);
    void ScanIdentifier(Token& token, int32_t first);
    void ScanOperator(Token& token, int32_t first);
    // Reads the rest of a line marker after "@f": file name and line number.
    void ReadLineMarker();

    // Fills the given map from the table when it is empty.
    static void FillKeywordMap(StringMap<int32_t>& map, const KeywordEntry* entries, int32_t count);

private:
    void ScanHexadecimal(Token& token);
    void ScanOctal(Token& token);
    // Appends a following 'u' or 'U' (unsigned literal) or steps back (int literal).
    bool AcceptUnsignedSuffix(Token& token);
    // Reads the next character of an operator: appends and returns it when it is one of
    // `accepted`, else steps back over it and returns 0.
    int32_t ReadChoice(Token& token, const char* accepted);
};

// The kind of literal a single value text is, in TypeKind numbering: 0 bool, 1 float, 3 int,
// 8 for anything else (an unsigned literal included). Only the first token counts.
int32_t GetLiteralKind(const String& text);

// The normalised copy of a source text: comments become blanks (line feeds and tabs inside
// block comments kept), carriage returns are removed, so columns and lines stay as they were.
String NormalizeSourceText(const char* text);

}  // namespace ShaderTool
