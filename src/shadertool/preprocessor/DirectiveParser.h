// The preprocessor's directive parser: recognises the directive lines, evaluates their
// expressions at once, keeps the conditional branches and passes ordinary lines on. Its actions
// run in source order, as the reductions of an LALR(1) parser with default reductions would:
// an action that reads the reading position ("#include", ordinary lines) runs before the next
// token is read. Expressions are parsed with explicit stacks, never by recursion, so deep
// nesting ends in "memory exhausted" instead of exhausting the machine stack.
#pragma once

#include <cstdint>

#include "foundation/Array.h"
#include "shadertool/Tokenizer.h"
#include "shadertool/preprocessor/PreprocessorValue.h"

namespace ShaderTool {

class Preprocessor;

// Terminals of the directive grammar; the token reader maps tokenizer codes onto them.
enum DirectiveTerminal : int32_t {
    PP_END_OF_INPUT,
    PP_DEFINE,
    PP_ELIF,
    PP_ELSE,
    PP_ENDIF,
    PP_IF,
    PP_INCLUDE,
    PP_FLOAT_CONSTANT,
    PP_IDENTIFIER,
    PP_INT_CONSTANT,
    PP_STRING_LITERAL,
    PP_DEFINED_OP,
    PP_GREATER_THAN_EQUAL_OP,
    PP_LESS_THAN_EQUAL_OP,
    PP_EQUAL_OP,
    PP_NOT_EQUAL_OP,
    PP_LOGICAL_AND_OP,
    PP_LOGICAL_OR_OP,
    PP_ASTERISK,
    PP_COMMA,
    PP_DASH,
    PP_EXCLAMATION,
    PP_HASH,
    PP_PLUS,
    PP_SLASH,
    PP_LEFT_CHEVRON,
    PP_RIGHT_CHEVRON,
    PP_LEFT_PARENTHESIS,
    PP_RIGHT_PARENTHESIS,
    PP_NON_PREPROCESSOR_LINE,
    PP_RESERVED,         // never delivered
    PP_UNDEFINED_TOKEN,  // every other code: a syntax error wherever it occurs
};

// The terminal a tokenizer code stands for.
int32_t MapDirectiveToken(int32_t code);

// A function call in a directive expression: every argument is counted, the first two kept.
struct PreprocessorCall {
    int32_t argumentCount;
    PreprocessorValue arguments[2];
    int32_t column;  // the called name's token
    int32_t line;
    int32_t length;
    char name[TOKEN_TEXT_MAX + 1];
};

// Parser results.
enum DirectiveParseResult : int32_t {
    PP_PARSE_ACCEPTED = 0,
    PP_PARSE_SYNTAX_ERROR = 1,
    PP_PARSE_EXHAUSTED = 2,  // the parser stack outgrew its limit
};

enum { PP_PARSER_STACK_LIMIT = 10000 };

class DirectiveParser {
public:
    explicit DirectiveParser(Preprocessor& preprocessor);
    DirectiveParser(const DirectiveParser&) = delete;
    DirectiveParser& operator=(const DirectiveParser&) = delete;

    // Parses the preprocessor tokenizer's remaining text once.
    int32_t Parse();

private:
    // An entry of the operator stack: a pending operator, an open parenthesis or an open call.
    struct PendingOperator {
        int32_t kind;    // PendingKind in DirectiveParser.cpp
        int32_t op;      // ExpressionOperator for operators, call index for calls
        int32_t column;  // the operator's token, for messages
        int32_t line;
    };

    void Advance();
    int32_t SyntaxError();
    int32_t Exhausted();
    bool StartsExpression() const;

    int32_t ParseDirective();
    int32_t ParseDefine();
    int32_t ParseConditional(const Token& word);
    int32_t ParseInclude();

    int32_t ParseExpression(PreprocessorValue* result);
    int32_t ShiftOperand(int32_t* state);
    int32_t ShiftDefined(int32_t* state);
    int32_t ShiftIdentifier(int32_t* state);
    int32_t ShiftArgumentStart(int32_t* state);
    int32_t ShiftArgumentEnd(int32_t* state);
    int32_t ShiftAfterOperand(int32_t* state);
    void ReduceOperators(int32_t minimumPrecedence);
    void ReportEvaluation(int32_t status, const PendingOperator& at);
    bool PushOperand(const PreprocessorValue& value);
    bool PushPending(int32_t kind, int32_t op, const Token& at);
    void TakeArgument();
    bool CloseCall(bool hasLastArgument);
    PreprocessorValue EvaluateCall(const PreprocessorCall& call);
    PreprocessorValue ConstantValue(const Token& constant) const;
    PreprocessorValue PrimaryFromIdentifier(const Token& name);

    void IfAction(const PreprocessorValue& value, const Token& word);
    void ElifAction(const PreprocessorValue& value, const Token& word);
    void ElseAction(const Token& word);
    void EndifAction(const Token& word);
    void IncludeConstantAction(const Token& constant, const Token& word);
    void OrdinaryLineAction();

    Preprocessor& preprocessor;
    Token token;       // the look-ahead token
    int32_t terminal;  // its DirectiveTerminal
    Array<PreprocessorValue> operands;
    Array<PendingOperator> pending;
    Array<PreprocessorCall> calls;
};

}  // namespace ShaderTool
