// Token codes that both tokenizers deliver. The language parser and the directive parser map
// them to their grammars' terminals. A character that starts no token is delivered as its own
// byte value (0 to 255); code 0 is the end of the text.
#pragma once

#include <cstdint>

namespace ShaderTool {

enum TokenCode : int32_t {
    TOKEN_END_OF_TEXT = 0,

    // Type words, in this order.
    TOKEN_BOOL = 256,
    TOKEN_FLOAT = 257,
    TOKEN_FLOAT2 = 258,
    TOKEN_FLOAT2X2 = 259,
    TOKEN_FLOAT3 = 260,
    TOKEN_FLOAT3X3 = 261,
    TOKEN_FLOAT4 = 262,
    TOKEN_FLOAT4X4 = 263,
    TOKEN_INT = 264,
    TOKEN_INT2 = 265,
    TOKEN_INT3 = 266,
    TOKEN_INT4 = 267,
    TOKEN_UINT = 268,
    TOKEN_UINT2 = 269,
    TOKEN_UINT3 = 270,
    TOKEN_UINT4 = 271,
    TOKEN_VOID = 272,
    // Texture type words: never delivered, since the words are reserved (TOKEN_RESERVED).
    TOKEN_TEXTURE2D = 273,
    TOKEN_TEXTURE3D = 274,
    TOKEN_TEXTURECUBE = 275,
    TOKEN_USER_TYPE = 276,  // an identifier found in the tokenizer's type names

    // Keywords.
    TOKEN_BREAK = 277,
    TOKEN_CONST = 278,
    TOKEN_CONTINUE = 279,
    TOKEN_DISCARD = 280,
    TOKEN_DO = 281,
    TOKEN_ELSE = 282,
    TOKEN_FOR = 283,
    TOKEN_IF = 284,
    TOKEN_RETURN = 285,
    TOKEN_STRUCT = 286,
    TOKEN_WHILE = 287,

    // Directive words (preprocessor tokenizer only).
    TOKEN_PP_DEFINE = 288,
    TOKEN_PP_ELIF = 289,
    TOKEN_PP_ELSE = 290,
    TOKEN_PP_ENDIF = 291,
    TOKEN_PP_IF = 292,
    TOKEN_PP_INCLUDE = 293,

    // Literals and identifiers.
    TOKEN_BOOL_CONSTANT = 294,  // "true" or "false"
    TOKEN_FLOAT_CONSTANT = 295,
    TOKEN_IDENTIFIER = 296,
    TOKEN_INT_CONSTANT = 297,    // decimal, octal or hexadecimal
    TOKEN_STRING_LITERAL = 298,  // text without the quotes
    TOKEN_UINT_CONSTANT = 299,   // suffix U or u

    // Operators of two or three characters.
    TOKEN_AMPERSAND = 300,              // &
    TOKEN_CARET = 301,                  // ^
    TOKEN_DECREASE_OP = 302,            // --
    TOKEN_INCREASE_OP = 303,            // ++
    TOKEN_GREATER_THAN_EQUAL_OP = 304,  // >=
    TOKEN_LEFT_SHIFT_OP = 305,          // <<
    TOKEN_LESS_THAN_EQUAL_OP = 306,     // <=
    TOKEN_EQUAL_OP = 307,               // ==
    TOKEN_NOT_EQUAL_OP = 308,           // !=
    TOKEN_LOGICAL_AND_OP = 309,         // &&
    TOKEN_LOGICAL_OR_OP = 310,          // two vertical bars
    TOKEN_RIGHT_SHIFT_OP = 311,         // >>
    TOKEN_VERTICAL_BAR = 312,           // one vertical bar
    TOKEN_ASSIGN_ADD = 313,             // +=
    TOKEN_ASSIGN_AND = 314,             // &=
    TOKEN_ASSIGN_DIVIDE = 315,          // /=
    TOKEN_ASSIGN_LEFT_SHIFT = 316,      // <<=
    TOKEN_ASSIGN_MODULO = 317,          // %=
    TOKEN_ASSIGN_MULTIPLY = 318,        // *=
    TOKEN_ASSIGN_OR = 319,              // vertical bar and =
    TOKEN_ASSIGN_RIGHT_SHIFT = 320,     // >>=
    TOKEN_ASSIGN_SUBTRACT = 321,        // -=
    TOKEN_ASSIGN_XOR = 322,             // ^=

    TOKEN_PP_DEFINED = 323,  // "defined" (preprocessor tokenizer only)

    // Single-character punctuation.
    TOKEN_ASTERISK = 324,           // *
    TOKEN_COLON = 325,              // :
    TOKEN_COMMA = 326,              // ,
    TOKEN_DASH = 327,               // -
    TOKEN_EQUAL = 328,              // =
    TOKEN_EXCLAMATION = 329,        // !
    TOKEN_PERCENT = 330,            // %
    TOKEN_PERIOD = 331,             // .
    TOKEN_HASH = 332,               // #
    TOKEN_PLUS = 333,               // +
    TOKEN_QUESTION = 334,           // ?
    TOKEN_SEMICOLON = 335,          // ;
    TOKEN_SLASH = 336,              // /
    TOKEN_TILDE = 337,              // ~
    TOKEN_LEFT_BRACE = 338,         // {
    TOKEN_LEFT_BRACKET = 339,       // [
    TOKEN_LEFT_CHEVRON = 340,       // <
    TOKEN_LEFT_PARENTHESIS = 341,   // (
    TOKEN_RIGHT_BRACE = 342,        // }
    TOKEN_RIGHT_BRACKET = 343,      // ]
    TOKEN_RIGHT_CHEVRON = 344,      // >
    TOKEN_RIGHT_PARENTHESIS = 345,  // )

    TOKEN_PP_NON_DIRECTIVE_LINE = 346,  // a whole ordinary line (preprocessor tokenizer only)
    TOKEN_RESERVED = 347,               // a reserved word
    TOKEN_NONE = 348,                   // no token: the preset of every next-token call
};

}  // namespace ShaderTool
