// The directive grammar of the preprocessor: directive lines and expressions. The actions of
// the directives and the token mapping are in DirectiveActions.cpp.
#include "shadertool/preprocessor/DirectiveParser.h"

#include <cstring>

#include "shadertool/preprocessor/ExpressionEvaluation.h"
#include "shadertool/preprocessor/Preprocessor.h"

namespace ShaderTool {

namespace {

// What the expression parser expects next.
enum ExpressionState : int32_t {
    EXPECT_OPERAND,
    EXPECT_OPERATOR,
    EXPECT_FIRST_ARGUMENT,  // right after "name ("
    EXPECT_NEXT_ARGUMENT,   // right after a ',' in a call
    EXPECT_ARGUMENT_END,    // after a string argument: ',' or ')'
    EXPRESSION_COMPLETE,
};

enum PendingKind : int32_t {
    PENDING_UNARY,
    PENDING_BINARY,
    PENDING_PARENTHESIS,
    PENDING_CALL,
};

// Entries the directive level keeps below an expression: the translation unit, its state,
// the '#' and the directive word.
const int32_t kDirectiveStackEntries = 4;

// The binary operator a terminal stands for, or -1.
int32_t BinaryOperatorOf(int32_t terminal) {
    switch (terminal) {
        case PP_LOGICAL_OR_OP:
            return EXPRESSION_LOGICAL_OR;
        case PP_LOGICAL_AND_OP:
            return EXPRESSION_LOGICAL_AND;
        case PP_EQUAL_OP:
            return EXPRESSION_EQUAL;
        case PP_NOT_EQUAL_OP:
            return EXPRESSION_NOT_EQUAL;
        case PP_LEFT_CHEVRON:
            return EXPRESSION_LESS;
        case PP_RIGHT_CHEVRON:
            return EXPRESSION_GREATER;
        case PP_LESS_THAN_EQUAL_OP:
            return EXPRESSION_LESS_EQUAL;
        case PP_GREATER_THAN_EQUAL_OP:
            return EXPRESSION_GREATER_EQUAL;
        case PP_PLUS:
            return EXPRESSION_ADD;
        case PP_DASH:
            return EXPRESSION_SUBTRACT;
        case PP_ASTERISK:
            return EXPRESSION_MULTIPLY;
        case PP_SLASH:
            return EXPRESSION_DIVIDE;
        default:
            return -1;
    }
}

}  // namespace

int32_t Preprocessor::ParseDirectives() {
    DirectiveParser parser(*this);
    return parser.Parse();
}

DirectiveParser::DirectiveParser(Preprocessor& preprocessor_)
    : preprocessor(preprocessor_), terminal(PP_END_OF_INPUT) {
    token.Clear();
}

void DirectiveParser::Advance() {
    token.Clear();
    preprocessor.tokenizer.NextToken(token);
    terminal = MapDirectiveToken(token.code);
}

int32_t DirectiveParser::SyntaxError() {
    preprocessor.ReportError(token.line, token.column, "syntax error");
    return PP_PARSE_SYNTAX_ERROR;
}

int32_t DirectiveParser::Exhausted() {
    preprocessor.ReportError(token.line, token.column, "memory exhausted");
    return PP_PARSE_EXHAUSTED;
}

bool DirectiveParser::StartsExpression() const {
    switch (terminal) {
        case PP_DASH:
        case PP_EXCLAMATION:
        case PP_DEFINED_OP:
        case PP_LEFT_PARENTHESIS:
        case PP_INT_CONSTANT:
        case PP_FLOAT_CONSTANT:
        case PP_IDENTIFIER:
            return true;
        default:
            return false;
    }
}

// translation_unit: (directive_declaration | non_preprocessor_line)*
int32_t DirectiveParser::Parse() {
    Advance();
    for (;;) {
        if (terminal == PP_END_OF_INPUT) {
            return PP_PARSE_ACCEPTED;
        }
        if (terminal == PP_NON_PREPROCESSOR_LINE) {
            OrdinaryLineAction();  // reads the reading position: before the next token
            Advance();
            continue;
        }
        if (terminal != PP_HASH) {
            return SyntaxError();
        }
        Advance();
        const int32_t status = ParseDirective();
        if (status != PP_PARSE_ACCEPTED) {
            return status;
        }
    }
}

// directive_declaration: PP_HASH (define | elif | else | endif | if | include) ...
int32_t DirectiveParser::ParseDirective() {
    const Token word = token;
    switch (terminal) {
        case PP_DEFINE:
            return ParseDefine();
        case PP_IF:
        case PP_ELIF:
            return ParseConditional(word);
        case PP_ELSE:
            ElseAction(word);
            preprocessor.AppendLineFeed();
            Advance();
            return PP_PARSE_ACCEPTED;
        case PP_ENDIF:
            EndifAction(word);
            preprocessor.AppendLineFeed();
            Advance();
            return PP_PARSE_ACCEPTED;
        case PP_INCLUDE:
            return ParseInclude();
        default:
            return SyntaxError();
    }
}

// define_directive_declaration: PP_HASH PP_DEFINE PP_IDENTIFIER [PP_STRING_LITERAL | expression]
int32_t DirectiveParser::ParseDefine() {
    Advance();
    if (terminal != PP_IDENTIFIER) {
        return SyntaxError();
    }
    const Token name = token;
    Advance();
    if (terminal == PP_STRING_LITERAL) {
        const PreprocessorValue text =
            PreprocessorValue::Text(token.text, token.length).WithPosition(token.column, token.line);
        preprocessor.Define(name, text, true);
        preprocessor.AppendLineFeed();
        Advance();
        return PP_PARSE_ACCEPTED;
    }
    PreprocessorValue value;
    if (StartsExpression()) {
        const int32_t status = ParseExpression(&value);
        if (status != PP_PARSE_ACCEPTED) {
            return status;
        }
    }
    preprocessor.Define(name, value, false);
    preprocessor.AppendLineFeed();
    return PP_PARSE_ACCEPTED;
}

// if_directive_declaration: PP_HASH PP_IF expression
// elif_directive_declaration: PP_HASH PP_ELIF expression
int32_t DirectiveParser::ParseConditional(const Token& word) {
    const bool isIf = terminal == PP_IF;
    Advance();
    if (!StartsExpression()) {
        return SyntaxError();
    }
    PreprocessorValue value;
    const int32_t status = ParseExpression(&value);
    if (status != PP_PARSE_ACCEPTED) {
        return status;
    }
    if (isIf) {
        IfAction(value, word);
    } else {
        ElifAction(value, word);
    }
    preprocessor.AppendLineFeed();
    return PP_PARSE_ACCEPTED;
}

// include_declaration: PP_HASH PP_INCLUDE (PP_STRING_LITERAL | constant)
int32_t DirectiveParser::ParseInclude() {
    const Token word = token;
    Advance();
    if (terminal == PP_STRING_LITERAL) {
        preprocessor.Include(token.text, word.column, word.line);
    } else if (terminal == PP_IDENTIFIER || terminal == PP_INT_CONSTANT || terminal == PP_FLOAT_CONSTANT) {
        IncludeConstantAction(token, word);
    } else {
        return SyntaxError();
    }
    Advance();  // only now: the include splices its text in at the reading position
    return PP_PARSE_ACCEPTED;
}

// expression: logical_or_expression, over the levels || && (== !=) (< > <= >=) (+ -) (* /),
// each left-associative; unary_expression: defined ( PP_IDENTIFIER ) | - unary | ! unary |
// postfix_expression; postfix_expression: constant | ( expression ) | function_call.
// Operator-precedence parsing over explicit stacks; on return the look-ahead is the first token
// after the expression.
int32_t DirectiveParser::ParseExpression(PreprocessorValue* result) {
    operands.Clear();
    pending.Clear();
    calls.Clear();
    int32_t state = EXPECT_OPERAND;
    while (state != EXPRESSION_COMPLETE) {
        int32_t status = PP_PARSE_ACCEPTED;
        switch (state) {
            case EXPECT_OPERAND:
                status = ShiftOperand(&state);
                break;
            case EXPECT_FIRST_ARGUMENT:
            case EXPECT_NEXT_ARGUMENT:
                status = ShiftArgumentStart(&state);
                break;
            case EXPECT_ARGUMENT_END:
                status = ShiftArgumentEnd(&state);
                break;
            default:
                status = ShiftAfterOperand(&state);
                break;
        }
        if (status != PP_PARSE_ACCEPTED) {
            return status;
        }
    }
    *result = operands[operands.count - 1];
    return PP_PARSE_ACCEPTED;
}

// An operand position: unary operators and '(' stay here; a constant, "defined" or a call ends
// the operand.
int32_t DirectiveParser::ShiftOperand(int32_t* state) {
    switch (terminal) {
        case PP_DASH:
        case PP_EXCLAMATION: {
            const int32_t op = terminal == PP_DASH ? EXPRESSION_NEGATE : EXPRESSION_LOGICAL_NOT;
            if (!PushPending(PENDING_UNARY, op, token)) {
                return Exhausted();
            }
            Advance();
            return PP_PARSE_ACCEPTED;
        }
        case PP_LEFT_PARENTHESIS:
            if (!PushPending(PENDING_PARENTHESIS, 0, token)) {
                return Exhausted();
            }
            Advance();
            return PP_PARSE_ACCEPTED;
        case PP_DEFINED_OP:
            return ShiftDefined(state);
        case PP_INT_CONSTANT:
        case PP_FLOAT_CONSTANT:
            if (!PushOperand(ConstantValue(token))) {
                return Exhausted();
            }
            Advance();
            *state = EXPECT_OPERATOR;
            return PP_PARSE_ACCEPTED;
        case PP_IDENTIFIER:
            return ShiftIdentifier(state);
        default:
            return SyntaxError();
    }
}

// unary_expression: PP_DEFINED_OP PP_LEFT_PARENTHESIS PP_IDENTIFIER PP_RIGHT_PARENTHESIS
int32_t DirectiveParser::ShiftDefined(int32_t* state) {
    const Token word = token;
    Advance();
    if (terminal != PP_LEFT_PARENTHESIS) {
        return SyntaxError();
    }
    Advance();
    if (terminal != PP_IDENTIFIER) {
        return SyntaxError();
    }
    const bool defined = preprocessor.FindDefinition(token.text) >= 0;
    Advance();
    if (terminal != PP_RIGHT_PARENTHESIS) {
        return SyntaxError();
    }
    if (!PushOperand(PreprocessorValue::Int(defined ? 1 : 0).WithPosition(word.column, word.line))) {
        return Exhausted();
    }
    Advance();
    *state = EXPECT_OPERATOR;
    return PP_PARSE_ACCEPTED;
}

// constant: PP_IDENTIFIER, or function_call_header: PP_IDENTIFIER PP_LEFT_PARENTHESIS; the
// token after the name decides.
int32_t DirectiveParser::ShiftIdentifier(int32_t* state) {
    const Token name = token;
    Advance();
    if (terminal != PP_LEFT_PARENTHESIS) {
        if (!PushOperand(PrimaryFromIdentifier(name))) {
            return Exhausted();
        }
        *state = EXPECT_OPERATOR;
        return PP_PARSE_ACCEPTED;
    }
    PreprocessorCall call{};
    call.column = name.column;
    call.line = name.line;
    call.length = name.length;
    memcpy(call.name, name.text, sizeof call.name);
    calls.Push(call);
    if (calls.count == 0 || !PushPending(PENDING_CALL, calls.count - 1, name)) {
        return Exhausted();
    }
    Advance();
    *state = EXPECT_FIRST_ARGUMENT;
    return PP_PARSE_ACCEPTED;
}

// function_call_header_with_parameters: header (PP_STRING_LITERAL | logical_or_expression),
// then (PP_COMMA (PP_STRING_LITERAL | logical_or_expression))*; or ')' right after the header.
int32_t DirectiveParser::ShiftArgumentStart(int32_t* state) {
    if (terminal == PP_STRING_LITERAL) {
        const PreprocessorValue text =
            PreprocessorValue::Text(token.text, token.length).WithPosition(token.column, token.line);
        if (!PushOperand(text)) {
            return Exhausted();
        }
        Advance();
        *state = EXPECT_ARGUMENT_END;
        return PP_PARSE_ACCEPTED;
    }
    if (terminal == PP_RIGHT_PARENTHESIS && *state == EXPECT_FIRST_ARGUMENT) {
        if (!CloseCall(false)) {
            return Exhausted();
        }
        Advance();
        *state = EXPECT_OPERATOR;
        return PP_PARSE_ACCEPTED;
    }
    *state = EXPECT_OPERAND;  // an expression argument
    return PP_PARSE_ACCEPTED;
}

// After a string argument only ',' or ')' may follow.
int32_t DirectiveParser::ShiftArgumentEnd(int32_t* state) {
    if (terminal == PP_COMMA) {
        TakeArgument();
        Advance();
        *state = EXPECT_NEXT_ARGUMENT;
        return PP_PARSE_ACCEPTED;
    }
    if (terminal == PP_RIGHT_PARENTHESIS) {
        if (!CloseCall(true)) {
            return Exhausted();
        }
        Advance();
        *state = EXPECT_OPERATOR;
        return PP_PARSE_ACCEPTED;
    }
    return SyntaxError();
}

// After an operand: a binary operator, a ')' or ',' that closes something open, or the end of
// the expression.
int32_t DirectiveParser::ShiftAfterOperand(int32_t* state) {
    const int32_t op = BinaryOperatorOf(terminal);
    if (op >= 0) {
        ReduceOperators(GetOperatorPrecedence(op));
        if (!PushPending(PENDING_BINARY, op, token)) {
            return Exhausted();
        }
        Advance();
        *state = EXPECT_OPERAND;
        return PP_PARSE_ACCEPTED;
    }
    ReduceOperators(0);
    const int32_t open = pending.count > 0 ? pending[pending.count - 1].kind : -1;
    if (terminal == PP_RIGHT_PARENTHESIS && open == PENDING_PARENTHESIS) {
        pending.RemoveAt(pending.count - 1);
        Advance();
        return PP_PARSE_ACCEPTED;
    }
    if (terminal == PP_RIGHT_PARENTHESIS && open == PENDING_CALL) {
        if (!CloseCall(true)) {
            return Exhausted();
        }
        Advance();
        return PP_PARSE_ACCEPTED;
    }
    if (terminal == PP_COMMA && open == PENDING_CALL) {
        TakeArgument();
        Advance();
        *state = EXPECT_NEXT_ARGUMENT;
        return PP_PARSE_ACCEPTED;
    }
    if (open >= 0) {
        return SyntaxError();  // a '(' or a call still open
    }
    *state = EXPRESSION_COMPLETE;
    return PP_PARSE_ACCEPTED;
}

// Applies pending operators that bind at least as strongly as minimumPrecedence; unary
// operators bind more strongly than every binary one.
void DirectiveParser::ReduceOperators(int32_t minimumPrecedence) {
    while (pending.count > 0) {
        const PendingOperator top = pending[pending.count - 1];
        if (top.kind == PENDING_UNARY) {
            PreprocessorValue& operand = operands[operands.count - 1];
            PreprocessorValue result;
            ReportEvaluation(ApplyUnaryOperator(top.op, operand, &result), top);
            operand = result.WithPosition(top.column, top.line);
        } else if (top.kind == PENDING_BINARY && GetOperatorPrecedence(top.op) >= minimumPrecedence) {
            const PreprocessorValue right = operands[operands.count - 1];
            operands.RemoveAt(operands.count - 1);
            PreprocessorValue& left = operands[operands.count - 1];
            PreprocessorValue result;
            ReportEvaluation(ApplyBinaryOperator(top.op, left, right, &result), top);
            left = result.WithPosition(top.column, top.line);
        } else {
            return;
        }
        pending.RemoveAt(pending.count - 1);
    }
}

void DirectiveParser::ReportEvaluation(int32_t status, const PendingOperator& at) {
    if (status == EVALUATION_TEXT_OPERAND) {
        preprocessor.ReportError(at.line, at.column, "operands must be of numeric type.");
    } else if (status == EVALUATION_DIVISION_BY_ZERO) {
        preprocessor.ReportError(at.line, at.column, "division by zero.");
    }
}

bool DirectiveParser::PushOperand(const PreprocessorValue& value) {
    if (kDirectiveStackEntries + operands.count + pending.count >= PP_PARSER_STACK_LIMIT) {
        return false;
    }
    const int32_t before = operands.count;
    operands.Push(value);
    return operands.count > before;
}

bool DirectiveParser::PushPending(int32_t kind, int32_t op, const Token& at) {
    if (kDirectiveStackEntries + operands.count + pending.count >= PP_PARSER_STACK_LIMIT) {
        return false;
    }
    PendingOperator entry;
    entry.kind = kind;
    entry.op = op;
    entry.column = at.column;
    entry.line = at.line;
    const int32_t before = pending.count;
    pending.Push(entry);
    return pending.count > before;
}

// Moves the operand on top into the innermost open call as its next argument.
void DirectiveParser::TakeArgument() {
    PreprocessorCall& call = calls[pending[pending.count - 1].op];
    const PreprocessorValue& value = operands[operands.count - 1];
    if (call.argumentCount < 2) {
        call.arguments[call.argumentCount] = value;
    }
    if (call.argumentCount < INT32_MAX) {
        ++call.argumentCount;
    }
    operands.RemoveAt(operands.count - 1);
}

// function_call: header_with_parameters ')' | header_no_parameters ')'. Evaluates the
// innermost open call; its value becomes an operand.
bool DirectiveParser::CloseCall(bool hasLastArgument) {
    if (hasLastArgument) {
        TakeArgument();
    }
    const int32_t index = pending[pending.count - 1].op;
    pending.RemoveAt(pending.count - 1);
    const PreprocessorValue value = EvaluateCall(calls[index]);
    calls.RemoveAt(index);
    return PushOperand(value);
}

}  // namespace ShaderTool
