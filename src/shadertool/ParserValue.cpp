// Filling and reading the parser's value records: type specifiers and the Types they stand for.
#include "shadertool/ParserValue.h"

#include <cstring>

namespace ShaderTool {

namespace {

void ResetSpecifier(TypeSpecifier* specifier) {
    memset(specifier, 0, sizeof *specifier);
    specifier->kind = TYPE_NONE;
    specifier->textureDimension = TEXTURE_DIMENSION_NONE;
    specifier->constructorId = CONSTRUCTOR_NONE;
}

}  // namespace

void ClearParserValue(ParserValue* value) {
    memset(value, 0, sizeof *value);
    ResetSpecifier(&value->specifier);
    value->operatorId = OP_NONE;
}

void SetScalarSpecifier(ParserValue* value, int32_t kind, int32_t vectorSize) {
    ResetSpecifier(&value->specifier);
    value->specifier.kind = kind;
    value->specifier.vectorSize = vectorSize;
    value->specifier.constructorId = GetConstructorId(Type(kind, vectorSize));
}

void SetMatrixSpecifier(ParserValue* value, int32_t matrixSize) {
    ResetSpecifier(&value->specifier);
    value->specifier.kind = TYPE_FLOAT;
    value->specifier.matrixSize = matrixSize;
    value->specifier.constructorId = GetConstructorId(Type::Matrix(matrixSize));
}

void SetTextureSpecifier(ParserValue* value, int32_t textureDimension) {
    ResetSpecifier(&value->specifier);
    value->specifier.kind = TYPE_TEXTURE;
    value->specifier.textureDimension = textureDimension;
}

void SetStructSpecifier(ParserValue* value, const char* name, bool fromStructSpecifier) {
    ResetSpecifier(&value->specifier);
    value->specifier.kind = TYPE_STRUCT;
    strncpy(value->specifier.structName, name, TOKEN_TEXT_MAX);
    value->specifier.structName[TOKEN_TEXT_MAX] = '\0';
    value->specifier.fromStructSpecifier = fromStructSpecifier ? 1 : 0;
}

Type TypeFromSpecifier(const TypeSpecifier& specifier) {
    Type type;
    switch (specifier.kind) {
        case TYPE_STRUCT:
            type = Type(TYPE_STRUCT, 0, specifier.qualifiers);
            type.name.Assign(specifier.structName);
            break;
        case TYPE_TEXTURE:
            type = Type::Texture(specifier.textureDimension);
            type.qualifiers = specifier.qualifiers;
            break;
        default:
            if (specifier.matrixSize > 0) {
                type = Type::Matrix(specifier.matrixSize, specifier.qualifiers);
            } else {
                type = Type(specifier.kind, specifier.vectorSize, specifier.qualifiers);
            }
            break;
    }
    return type;
}

Type DeclaredType(const ParserValue& value) {
    Type type = TypeFromSpecifier(value.specifier);
    type.arraySize = value.arraySize;
    return type;
}

int32_t ArraySizeFromLiteral(const char* text) {
    int64_t size = 0;
    for (const char* p = text; *p >= '0' && *p <= '9'; ++p) {
        size = size * 10 + (*p - '0');
        if (size > INT32_MAX) {
            return INT32_MAX;
        }
    }
    return static_cast<int32_t>(size);
}

}  // namespace ShaderTool
