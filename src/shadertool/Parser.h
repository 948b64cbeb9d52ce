// The shading-language parser: an LALR(1) parser whose reductions build the syntax tree and run
// the semantic checks at once. The grammar is in Grammar.y.
#pragma once

#include "shadertool/Analyzer.h"
#include "shadertool/ParserValue.h"

namespace ShaderTool {

enum ParseResult {
    PARSE_ACCEPTED = 0,         // errors reported by actions do not change it
    PARSE_SYNTAX_ERROR = 1,     // "syntax error" ended the parse
    PARSE_STACK_EXHAUSTED = 2,  // "memory exhausted": nesting deeper than the parser stack
};

// Parses the source the analyzer's tokenizer was started on (see BeginStage).
int ParseShader(SemanticAnalyzer& analyzer);

// The parser's token reader: the next token of the analyzer's tokenizer as a grammar terminal,
// its text and position in value. Codes without a terminal give the parser's undefined token.
int NextParserToken(ParserValue* value, SemanticAnalyzer* analyzer);

}  // namespace ShaderTool
