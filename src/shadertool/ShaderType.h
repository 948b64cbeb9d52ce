// The shading language's one type record, `ShaderTool::Type`, and the small value sets every
// stage of the shader tool shares: type kinds, compile targets, compiled variants and stages.
#pragma once

#include <cstdint>

#include "foundation/String.h"

namespace ShaderTool {

// Base kind of a Type. Bool, float, int and uint are the numeric kinds.
enum TypeKind : int32_t {
    TYPE_BOOL = 0,
    TYPE_FLOAT = 1,
    TYPE_IMAGE = 2,
    TYPE_INT = 3,
    TYPE_STRUCT = 4,
    TYPE_TEXTURE = 5,
    TYPE_UINT = 6,
    TYPE_VOID = 7,
    TYPE_NONE = 8,  // no type: marks unresolved or failed expressions
};

// Type::imageDimension: only kind image uses 2D; every other type carries "none".
enum ImageDimension : int32_t {
    IMAGE_DIMENSION_2D = 0,
    IMAGE_DIMENSION_NONE = 1,
};

// Type::textureDimension: kind texture uses 2D, 3D or cube; every other type carries "none".
enum TextureDimension : int32_t {
    TEXTURE_DIMENSION_2D = 0,
    TEXTURE_DIMENSION_3D = 1,
    TEXTURE_DIMENSION_CUBE = 2,
    TEXTURE_DIMENSION_NONE = 3,
};

// Bits of Type::qualifiers.
enum TypeQualifier : uint32_t {
    QUALIFIER_CONST = 1,
};

// True for bool, float, int and uint.
bool IsNumericKind(int32_t kind);

// A plain value record; copies own their own name text.
struct Type {
    String name;               // the struct's name for kind struct; empty for every other kind
    int32_t arraySize;         // element count of an array type; 0 = not an array
    int32_t kind;              // TypeKind
    int32_t vectorSize;        // 1 scalar, 2..4 vector; 0 for matrices, images, structs, textures
    int32_t imageDimension;    // ImageDimension
    int32_t matrixSize;        // N of an N x N float matrix; 0 = not a matrix
    uint32_t qualifiers;       // TypeQualifier bits
    int32_t textureDimension;  // TextureDimension
    uint8_t isBuffer;          // a buffer of elements of the numeric type described by the rest
    uint8_t isConstant;        // the value is a constant expression
    uint8_t isIndexBuffer;     // a buffer of type "INDEX": readable only through loadIndices

    // Kind none, vector size 0, image and texture dimension none, everything else zero: the
    // record that nodes and table entries start from.
    Type();
    // General form: name empty, no image or texture dimension, not a matrix, not constant.
    Type(int32_t kind, int32_t vectorSize, uint32_t qualifiers = 0, int32_t arraySize = 0,
         bool isBuffer = false);
    Type(const Type& other);
    Type& operator=(const Type& other);

    // Matrix form: a float N x N matrix (vector size 0).
    static Type Matrix(int32_t matrixSize, uint32_t qualifiers = 0, int32_t arraySize = 0,
                       bool isBuffer = false);
    // The canonical texture (vector size 0, the given dimension) and 2D image types.
    static Type Texture(int32_t textureDimension);
    static Type Image2D();

    // Copies the name text, the seven 32-bit fields and the three flag bytes. Engine containers
    // of Types, and of records holding Types, copy elements through it.
    void CopyFrom(const Type& other);

    // The validity rule that the Shader XML readers, the parser and assignment checks apply.
    // Qualifiers, isConstant and isIndexBuffer take no part; sizes are not bounded from above.
    bool IsValid() const;
};

// Output languages, one bit each; the compile driver's capability rows and translator slots use
// the same bit order.
typedef uint32_t TargetFlags;
enum : uint32_t {
    TARGET_ESSL20 = 1,
    TARGET_ESSL30 = 2,
    TARGET_GLSL21 = 4,
    TARGET_GLSL31 = 8,
    TARGET_HLSL9 = 16,
    TARGET_HLSL11 = 32,
    TARGET_HLSL12 = 64,
    TARGET_PSSL = 128,
    TARGET_SPIRV = 256,
    // Groups. PSSL is not part of the HLSL group.
    TARGET_ESSL = TARGET_ESSL20 | TARGET_ESSL30,
    TARGET_GLSL = TARGET_GLSL21 | TARGET_GLSL31,
    TARGET_HLSL = TARGET_HLSL9 | TARGET_HLSL11 | TARGET_HLSL12,
    TARGET_ALL = 511,
};
enum { TARGET_COUNT = 9 };

// Compiled shader variants, one bit each.
typedef uint32_t VariantFlags;
enum : uint32_t {
    VARIANT_HLSL11_DEFAULT = 1,
    VARIANT_HLSL11_LOW = 2,
    VARIANT_HLSL11_XBOX = 4,
    VARIANT_HLSL12_DEFAULT = 8,
    VARIANT_HLSL12_XBOX_ONE = 16,
    VARIANT_HLSL12_XBOX_SX = 32,
    VARIANT_PSSL_GNM = 64,
    VARIANT_PSSL_AGC = 128,
};
enum { VARIANT_COUNT = 8 };

// Shader stages, as numbered in the Shader XML description, the stage buffers and the
// stage masks (bit 1 << stage).
enum Stage : int32_t {
    STAGE_VERTEX = 0,
    STAGE_PIXEL = 1,
    STAGE_RCHIT = 2,
    STAGE_RGEN = 3,
    STAGE_RMISS = 4,
    STAGE_INVALID = 6,  // a source whose type attribute is not a stage name
};
enum { STAGE_COUNT = 5 };

}  // namespace ShaderTool
