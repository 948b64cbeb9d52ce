// The value record every grammar symbol carries on the parser stack. It is a plain record (the
// parser moves its stack with memcpy when it grows); nodes it points to belong to the analyzer.
#pragma once

#include <cstdint>

#include "shadertool/Analyzer.h"
#include "shadertool/ShaderType.h"
#include "shadertool/SyntaxTree.h"
#include "shadertool/Tokenizer.h"

namespace ShaderTool {

// A type as the parser reads it, before it becomes a Type.
struct TypeSpecifier {
    int32_t kind;  // TypeKind; TYPE_NONE for a function identifier that is a plain name
    int32_t vectorSize;
    int32_t matrixSize;
    int32_t textureDimension;
    char structName[TOKEN_TEXT_MAX + 1];
    uint32_t qualifiers;
    int32_t constructorId;
    uint8_t fromStructSpecifier;  // the type was written as struct S { ... }
};

struct ParserValue {
    SourcePosition position;        // of the symbol's first token
    char text[TOKEN_TEXT_MAX + 1];  // the token's text
    Node* node;                     // the node built for the symbol
    Node* extra;                    // a second node: an else branch, a for loop's step
    TypeSpecifier specifier;
    int32_t arraySize;
    int32_t operatorId;
};

// Every field zero and every pointer null; the starting point of each value.
void ClearParserValue(ParserValue* value);

// The specifier of a type word or struct name.
void SetScalarSpecifier(ParserValue* value, int32_t kind, int32_t vectorSize);
void SetMatrixSpecifier(ParserValue* value, int32_t matrixSize);
void SetTextureSpecifier(ParserValue* value, int32_t textureDimension);
void SetStructSpecifier(ParserValue* value, const char* name, bool fromStructSpecifier);

// The Type a specifier stands for: array size 0, qualifiers carried over.
Type TypeFromSpecifier(const TypeSpecifier& specifier);
// The declared Type of a declaration value: its specifier with its array size.
Type DeclaredType(const ParserValue& value);

// The decimal value of an int literal's text, as an array size (saturating; never negative).
int32_t ArraySizeFromLiteral(const char* text);

}  // namespace ShaderTool
