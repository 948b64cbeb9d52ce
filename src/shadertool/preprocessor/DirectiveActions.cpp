// Actions of the preprocessor's directives (conditions, includes of names, ordinary lines),
// the values of constants and calls in expressions, and the mapping of tokens to terminals.
#include "shadertool/preprocessor/DirectiveParser.h"

#include <cstring>

#include "shadertool/preprocessor/Preprocessor.h"

namespace ShaderTool {

namespace {

const char kIsArrayNodeDefined[] = "_IS_ARRAY_NODE_DEFINED";

}  // namespace

int32_t MapDirectiveToken(int32_t code) {
    switch (code) {
        case TOKEN_END_OF_TEXT:
            return PP_END_OF_INPUT;
        case TOKEN_PP_DEFINE:
            return PP_DEFINE;
        case TOKEN_PP_ELIF:
            return PP_ELIF;
        case TOKEN_PP_ELSE:
            return PP_ELSE;
        case TOKEN_PP_ENDIF:
            return PP_ENDIF;
        case TOKEN_PP_IF:
            return PP_IF;
        case TOKEN_PP_INCLUDE:
            return PP_INCLUDE;
        case TOKEN_FLOAT_CONSTANT:
            return PP_FLOAT_CONSTANT;
        case TOKEN_IDENTIFIER:
            return PP_IDENTIFIER;
        case TOKEN_INT_CONSTANT:
            return PP_INT_CONSTANT;
        case TOKEN_STRING_LITERAL:
            return PP_STRING_LITERAL;
        case TOKEN_PP_DEFINED:
            return PP_DEFINED_OP;
        case TOKEN_GREATER_THAN_EQUAL_OP:
            return PP_GREATER_THAN_EQUAL_OP;
        case TOKEN_LESS_THAN_EQUAL_OP:
            return PP_LESS_THAN_EQUAL_OP;
        case TOKEN_EQUAL_OP:
            return PP_EQUAL_OP;
        case TOKEN_NOT_EQUAL_OP:
            return PP_NOT_EQUAL_OP;
        case TOKEN_LOGICAL_AND_OP:
            return PP_LOGICAL_AND_OP;
        case TOKEN_LOGICAL_OR_OP:
            return PP_LOGICAL_OR_OP;
        case TOKEN_ASTERISK:
            return PP_ASTERISK;
        case TOKEN_COMMA:
            return PP_COMMA;
        case TOKEN_DASH:
            return PP_DASH;
        case TOKEN_EXCLAMATION:
            return PP_EXCLAMATION;
        case TOKEN_HASH:
            return PP_HASH;
        case TOKEN_PLUS:
            return PP_PLUS;
        case TOKEN_SLASH:
            return PP_SLASH;
        case TOKEN_LEFT_CHEVRON:
            return PP_LEFT_CHEVRON;
        case TOKEN_RIGHT_CHEVRON:
            return PP_RIGHT_CHEVRON;
        case TOKEN_LEFT_PARENTHESIS:
            return PP_LEFT_PARENTHESIS;
        case TOKEN_RIGHT_PARENTHESIS:
            return PP_RIGHT_PARENTHESIS;
        case TOKEN_PP_NON_DIRECTIVE_LINE:
            return PP_NON_PREPROCESSOR_LINE;
        default:
            return PP_UNDEFINED_TOKEN;
    }
}

PreprocessorValue DirectiveParser::EvaluateCall(const PreprocessorCall& call) {
    const PreprocessorValue zero = PreprocessorValue::Int(0).WithPosition(call.column, call.line);
    if (strcmp(call.name, kIsArrayNodeDefined) != 0) {
        preprocessor.ReportErrorFormat(call.line, call.column, "undeclared function-like macro '%s'.",
                                       call.name);
        return zero;
    }
    if (call.argumentCount != 2 || !call.arguments[0].IsText() || !call.arguments[1].IsText()) {
        preprocessor.ReportError(call.line, call.column, "invalid arguments.");
        return zero;
    }
    bool validArray = false;
    const int32_t found =
        preprocessor.IsArrayNodeDefined(call.arguments[0].text, call.arguments[1].text, &validArray);
    if (!validArray) {
        preprocessor.ReportError(call.line, call.column, "invalid array name.");
        return zero;
    }
    return PreprocessorValue::Int(found).WithPosition(call.column, call.line);
}

// constant: PP_FLOAT_CONSTANT | PP_INT_CONSTANT. An int is read from its leading decimal digits
// only (0x10 gives 0, 010 gives 10); a float up to its suffix.
PreprocessorValue DirectiveParser::ConstantValue(const Token& constant) const {
    const PreprocessorValue value = constant.code == TOKEN_FLOAT_CONSTANT
                                        ? PreprocessorValue::Float(ParseLeadingFloat(constant.text))
                                        : PreprocessorValue::Int(ParseLeadingDecimal(constant.text));
    return value.WithPosition(constant.column, constant.line);
}

// primary_expression: constant, for a name: the value of the definition it names, followed to
// a number; a name that leads to a string is refused.
PreprocessorValue DirectiveParser::PrimaryFromIdentifier(const Token& name) {
    const PreprocessorValue text =
        PreprocessorValue::Text(name.text, name.length).WithPosition(name.column, name.line);
    const PreprocessorValue value = preprocessor.ResolveValue(text);
    if (!value.IsText()) {
        return value;
    }
    preprocessor.ReportError(name.line, name.column,
                             "expression evaluating to a string literal is not allowed.");
    return PreprocessorValue::Int(0).WithPosition(name.column, name.line);
}

void DirectiveParser::IfAction(const PreprocessorValue& value, const Token& word) {
    Preprocessor& p = preprocessor;
    if (p.conditionDepth >= PP_MAX_CONDITION_DEPTH) {
        p.ReportError(word.line, word.column, "too many nested if directives.");
        return;
    }
    int32_t state = CONDITION_NOT_TAKEN;
    if (value.IsText()) {
        p.ReportError(word.line, word.column, "expression must be of numeric type.");
    } else if (p.IsActive() && value.IsNonZero()) {
        state = CONDITION_ACTIVE;
    }
    ++p.conditionDepth;
    p.conditionStates[p.conditionDepth] = state;
}

void DirectiveParser::ElifAction(const PreprocessorValue& value, const Token& word) {
    Preprocessor& p = preprocessor;
    if (p.conditionDepth == 0) {
        p.ReportError(word.line, word.column, "unexpected elif directive.");
        return;
    }
    if (p.conditionStates[p.conditionDepth - 1] != CONDITION_ACTIVE) {
        return;
    }
    if (value.IsText()) {
        p.ReportError(word.line, word.column, "expression must be of numeric type.");
    }
    int32_t& state = p.conditionStates[p.conditionDepth];
    if (state == CONDITION_NOT_TAKEN) {
        if (!value.IsText() && value.IsNonZero()) {
            state = CONDITION_ACTIVE;
        }
    } else if (state == CONDITION_ACTIVE) {
        state = CONDITION_WAS_TAKEN;
    }
}

void DirectiveParser::ElseAction(const Token& word) {
    Preprocessor& p = preprocessor;
    if (p.conditionDepth == 0) {
        p.ReportError(word.line, word.column, "unexpected else directive.");
        return;
    }
    if (p.conditionStates[p.conditionDepth - 1] != CONDITION_ACTIVE) {
        return;
    }
    int32_t& state = p.conditionStates[p.conditionDepth];
    state = state == CONDITION_NOT_TAKEN ? CONDITION_ACTIVE : CONDITION_WAS_TAKEN;
}

void DirectiveParser::EndifAction(const Token& word) {
    Preprocessor& p = preprocessor;
    if (p.conditionDepth == 0) {
        p.ReportError(word.line, word.column, "unexpected endif directive.");
        return;
    }
    p.conditionStates[p.conditionDepth] = CONDITION_NOT_TAKEN;
    --p.conditionDepth;
}

// "#include" of a name: the name must lead to a string definition, whose text is included.
void DirectiveParser::IncludeConstantAction(const Token& constant, const Token& word) {
    Preprocessor& p = preprocessor;
    if (!p.IsActive()) {
        p.AppendLineFeed();
        return;
    }
    PreprocessorValue value;
    if (constant.code == TOKEN_IDENTIFIER) {
        value = p.ResolveValue(PreprocessorValue::Text(constant.text, constant.length));
    } else {
        value = ConstantValue(constant);
    }
    if (value.IsText()) {
        p.Include(value.text, word.column, word.line);
    } else {
        p.ReportError(word.line, word.column, "expression must evaluate to a string literal.");
    }
}

// non_preprocessor_line: copied when the branch is active, else only its line feed is kept.
void DirectiveParser::OrdinaryLineAction() {
    if (preprocessor.IsActive()) {
        preprocessor.CopyCurrentLine();
    } else {
        preprocessor.AppendLineFeed();
    }
}

}  // namespace ShaderTool
