// The preprocessor's tokenizer: reads directive lines token by token and hands every other line
// over as one TOKEN_PP_NON_DIRECTIVE_LINE, without consuming it, so the directive parser can copy
// or drop it.
#pragma once

#include <cstdint>

#include "shadertool/Tokenizer.h"

namespace ShaderTool {

enum PreprocessorLineMode : int32_t {
    PP_LINE_START = 0,
    PP_LINE_DIRECTIVE = 1,
    PP_LINE_ORDINARY = 2,
};

class PreprocessorTokenizer : public Tokenizer {
public:
    int32_t lineMode;  // PreprocessorLineMode

    explicit PreprocessorTokenizer(MessageLog* log = nullptr);

    // As the tokenizer's Begin, filling the directive-word map instead.
    void Begin(const ShaderSource& source, bool normalize) override;
    // As the tokenizer's End; also returns to the line-start mode.
    void End() override;
    void NextToken(Token& token) override;
    // "define", "elif", "else", "endif", "if", "include" and "defined".
    StringMap<int32_t>& GetKeywordMap() override;

    // Splices text into the text being read at the reading position; reading continues with its
    // first character. The lines already read are dropped from the text: returns by how many
    // characters positions in the text moved down.
    int32_t InsertText(const char* text);

    // The current line from the reading position up to and including its line feed (or to the
    // end of the text): what an ordinary line copies into the output.
    void GetCurrentLine(const char** start, int32_t* length) const;

private:
    bool NextLineStartToken(Token& token);
    bool NextDirectiveToken(Token& token);
    bool SkipOrdinaryLine(Token& token);
};

}  // namespace ShaderTool
