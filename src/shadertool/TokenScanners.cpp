// Scanners of the shading-language tokenizer, one per token kind; each is entered with the
// token's first character already read and steps back over the character that ends it.
#include "shadertool/Tokenizer.h"

namespace ShaderTool {

namespace {

bool IsDigit(int32_t c) {
    return c >= '0' && c <= '9';
}
bool IsHexDigit(int32_t c) {
    return IsDigit(c) || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}
bool IsLetter(int32_t c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
bool IsIdentifierCharacter(int32_t c) {
    return IsLetter(c) || IsDigit(c) || c == '_';
}

}  // namespace

// string_literal: '"' characters-up-to-the-closing-quote '"' (no escape sequences)
void Tokenizer::ScanString(Token& token) {
    for (;;) {
        const int32_t c = Read();
        if (c == '"') {
            token.code = TOKEN_STRING_LITERAL;
            return;
        }
        if (c == 0) {
            return;  // unterminated: no code
        }
        if (c == '\n') {
            StepBack();  // the line feed still ends the line for the reader that follows
            return;
        }
        AppendToToken(token, c);
    }
}

// identifier: (letter | '_') (letter | digit | '_')*
void Tokenizer::ScanIdentifier(Token& token, int32_t first) {
    AppendToToken(token, first);
    int32_t c = Read();
    while (IsIdentifierCharacter(c)) {
        AppendToToken(token, c);
        c = Read();
    }
    if (c != 0) {
        StepBack();
    }
    const StringMap<int32_t>::Entry* keyword = GetKeywordMap().Find(token.text);
    if (keyword != nullptr) {
        token.code = keyword->value;
        if (token.code == TOKEN_RESERVED && messageLog != nullptr) {
            messageLog->AddPositionalErrorFormat(fileName.CStr(), token.line, token.column,
                                                 "'%s' is a reserved word.", token.text);
        }
        return;
    }
    const bool isType = typeNames != nullptr && typeNames->IsTypeName(token.text);
    token.code = isType ? TOKEN_USER_TYPE : TOKEN_IDENTIFIER;
    if (checkUnderscores && first == '_') {
        ReportError(token.line, token.column, "identifiers must not start with an underscore.");
    }
}

bool Tokenizer::AcceptUnsignedSuffix(Token& token) {
    const int32_t c = Read();
    if (c == 'u' || c == 'U') {
        AppendToToken(token, c);
        token.code = TOKEN_UINT_CONSTANT;
        return true;
    }
    if (c != 0) {
        StepBack();
    }
    token.code = TOKEN_INT_CONSTANT;
    return false;
}

// number: decimal-digits | "0x" hex-digits | '0' octal-digits, optionally 'u'; or a float
void Tokenizer::ScanNumber(Token& token, int32_t first) {
    AppendToToken(token, first);
    if (first != '0') {
        int32_t c = Read();
        while (IsDigit(c)) {
            AppendToToken(token, c);
            c = Read();
        }
        if (c == '.' || c == 'e' || c == 'E') {
            ScanFloat(token, c);
            return;
        }
        if (c != 0) {
            StepBack();
        }
        AcceptUnsignedSuffix(token);
        return;
    }
    const int32_t c = Read();
    if (c == 'x' || c == 'X') {
        AppendToToken(token, c);
        ScanHexadecimal(token);
        return;
    }
    if (c != 0) {
        StepBack();
    }
    ScanOctal(token);
}

// hexadecimal-rest: hex-digit* ['u' | 'U']   ("0x" alone is an int literal)
void Tokenizer::ScanHexadecimal(Token& token) {
    int32_t c = Read();
    while (IsHexDigit(c)) {
        AppendToToken(token, c);
        c = Read();
    }
    if (c != 0) {
        StepBack();
    }
    AcceptUnsignedSuffix(token);
}

// octal-rest: ('0'..'7')* ('8' | '9')* ['u' | 'U'], or a float when '.', 'e' or 'E' follows
// (the 8s and 9s are then fine). An octal digit after an 8 or 9 starts the next token.
void Tokenizer::ScanOctal(Token& token) {
    int32_t c = Read();
    while (c >= '0' && c <= '7') {
        AppendToToken(token, c);
        c = Read();
    }
    bool nonOctalDigit = false;
    while (c == '8' || c == '9') {
        nonOctalDigit = true;
        AppendToToken(token, c);
        c = Read();
    }
    if (c == '.' || c == 'e' || c == 'E') {
        ScanFloat(token, c);
        return;
    }
    if (nonOctalDigit) {
        ReportError(tokenLine, tokenColumn, "unexpected digit in octal literal.");
    }
    if (c != 0) {
        StepBack();
    }
    AcceptUnsignedSuffix(token);
}

// float-rest: ['.' digit*] [('e' | 'E') ['+' | '-'] digit+] ['f' | 'F'], entered with the
// character that ended the integer digits already read
void Tokenizer::ScanFloat(Token& token, int32_t c) {
    if (c == '.') {
        AppendToToken(token, c);
        c = Read();
        while (IsDigit(c)) {
            AppendToToken(token, c);
            c = Read();
        }
    }
    if (c == 'e' || c == 'E') {
        AppendToToken(token, c);
        c = Read();
        if (c == '+' || c == '-') {
            AppendToToken(token, c);
            c = Read();
        }
        if (!IsDigit(c)) {
            ReportError(tokenLine, tokenColumn, "unexpected character in floating point literal.");
        }
        while (IsDigit(c)) {
            AppendToToken(token, c);
            c = Read();
        }
    }
    if (c == 'f' || c == 'F') {
        AppendToToken(token, c);
    } else if (c != 0) {
        StepBack();
    }
    token.code = TOKEN_FLOAT_CONSTANT;
}

int32_t Tokenizer::ReadChoice(Token& token, const char* accepted) {
    const int32_t c = Read();
    if (c == 0) {
        return 0;
    }
    for (const char* a = accepted; *a != '\0'; ++a) {
        if (c == static_cast<unsigned char>(*a)) {
            AppendToToken(token, c);
            return c;
        }
    }
    StepBack();
    return 0;
}

// operator: one to three punctuation characters; any other character is its own code
void Tokenizer::ScanOperator(Token& token, int32_t first) {
    if (first == 0) {
        token.code = TOKEN_END_OF_TEXT;
        return;
    }
    if (first == '.') {
        const int32_t next = Read();
        if (IsDigit(next)) {
            StepBack();
            ScanFloat(token, first);
            return;
        }
        if (next != 0) {
            StepBack();
        }
    }
    AppendToToken(token, first);
    int32_t second = 0;
    switch (first) {
        case '!':
            token.code = ReadChoice(token, "=") ? TOKEN_NOT_EQUAL_OP : TOKEN_EXCLAMATION;
            return;
        case '#':
            token.code = TOKEN_HASH;
            return;
        case '%':
            token.code = ReadChoice(token, "=") ? TOKEN_ASSIGN_MODULO : TOKEN_PERCENT;
            return;
        case '&':
            second = ReadChoice(token, "&=");
            token.code = second == '&'   ? TOKEN_LOGICAL_AND_OP
                         : second == '=' ? TOKEN_ASSIGN_AND
                                         : TOKEN_AMPERSAND;
            return;
        case '(':
            token.code = TOKEN_LEFT_PARENTHESIS;
            return;
        case ')':
            token.code = TOKEN_RIGHT_PARENTHESIS;
            return;
        case '*':
            token.code = ReadChoice(token, "=") ? TOKEN_ASSIGN_MULTIPLY : TOKEN_ASTERISK;
            return;
        case '+':
            second = ReadChoice(token, "+=");
            token.code = second == '+' ? TOKEN_INCREASE_OP : second == '=' ? TOKEN_ASSIGN_ADD : TOKEN_PLUS;
            return;
        case ',':
            token.code = TOKEN_COMMA;
            return;
        case '-':
            second = ReadChoice(token, "-=");
            token.code = second == '-'   ? TOKEN_DECREASE_OP
                         : second == '=' ? TOKEN_ASSIGN_SUBTRACT
                                         : TOKEN_DASH;
            return;
        case '.':
            token.code = TOKEN_PERIOD;
            return;
        case '/':
            token.code = ReadChoice(token, "=") ? TOKEN_ASSIGN_DIVIDE : TOKEN_SLASH;
            return;
        case ':':
            token.code = TOKEN_COLON;
            return;
        case ';':
            token.code = TOKEN_SEMICOLON;
            return;
        case '<':
            second = ReadChoice(token, "<=");
            if (second == '<') {
                token.code = ReadChoice(token, "=") ? TOKEN_ASSIGN_LEFT_SHIFT : TOKEN_LEFT_SHIFT_OP;
            } else {
                token.code = second == '=' ? TOKEN_LESS_THAN_EQUAL_OP : TOKEN_LEFT_CHEVRON;
            }
            return;
        case '=':
            token.code = ReadChoice(token, "=") ? TOKEN_EQUAL_OP : TOKEN_EQUAL;
            return;
        case '>':
            second = ReadChoice(token, ">=");
            if (second == '>') {
                token.code = ReadChoice(token, "=") ? TOKEN_ASSIGN_RIGHT_SHIFT : TOKEN_RIGHT_SHIFT_OP;
            } else {
                token.code = second == '=' ? TOKEN_GREATER_THAN_EQUAL_OP : TOKEN_RIGHT_CHEVRON;
            }
            return;
        case '?':
            token.code = TOKEN_QUESTION;
            return;
        case '[':
            token.code = TOKEN_LEFT_BRACKET;
            return;
        case ']':
            token.code = TOKEN_RIGHT_BRACKET;
            return;
        case '^':
            token.code = ReadChoice(token, "=") ? TOKEN_ASSIGN_XOR : TOKEN_CARET;
            return;
        case '{':
            token.code = TOKEN_LEFT_BRACE;
            return;
        case '}':
            token.code = TOKEN_RIGHT_BRACE;
            return;
        case '|':
            second = ReadChoice(token, "=|");
            token.code = second == '='   ? TOKEN_ASSIGN_OR
                         : second == '|' ? TOKEN_LOGICAL_OR_OP
                                         : TOKEN_VERTICAL_BAR;
            return;
        case '~':
            token.code = TOKEN_TILDE;
            return;
        default:
            token.code = first;
            return;
    }
}

}  // namespace ShaderTool
