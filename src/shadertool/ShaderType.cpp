// Construction, copying and the validity rule of the shading language's type record.
#include "shadertool/ShaderType.h"

namespace ShaderTool {

bool IsNumericKind(int32_t kind) {
    return kind == TYPE_BOOL || kind == TYPE_FLOAT || kind == TYPE_INT || kind == TYPE_UINT;
}

Type::Type()
    : arraySize(0),
      kind(TYPE_NONE),
      vectorSize(0),
      imageDimension(IMAGE_DIMENSION_NONE),
      matrixSize(0),
      qualifiers(0),
      textureDimension(TEXTURE_DIMENSION_NONE),
      isBuffer(0),
      isConstant(0),
      isIndexBuffer(0) {}

Type::Type(int32_t kind_, int32_t vectorSize_, uint32_t qualifiers_, int32_t arraySize_, bool isBuffer_)
    : Type() {
    kind = kind_;
    vectorSize = vectorSize_;
    qualifiers = qualifiers_;
    arraySize = arraySize_;
    isBuffer = isBuffer_ ? 1 : 0;
}

Type::Type(const Type& other) : Type() {
    CopyFrom(other);
}

Type& Type::operator=(const Type& other) {
    CopyFrom(other);
    return *this;
}

Type Type::Matrix(int32_t matrixSize, uint32_t qualifiers, int32_t arraySize, bool isBuffer) {
    Type type(TYPE_FLOAT, 0, qualifiers, arraySize, isBuffer);
    type.matrixSize = matrixSize;
    return type;
}

Type Type::Texture(int32_t textureDimension) {
    Type type(TYPE_TEXTURE, 0);
    type.textureDimension = textureDimension;
    return type;
}

Type Type::Image2D() {
    Type type(TYPE_IMAGE, 0);
    type.imageDimension = IMAGE_DIMENSION_2D;
    return type;
}

void Type::CopyFrom(const Type& other) {
    if (this == &other) {
        return;
    }
    name.Assign(other.name.data);
    arraySize = other.arraySize;
    kind = other.kind;
    vectorSize = other.vectorSize;
    imageDimension = other.imageDimension;
    matrixSize = other.matrixSize;
    qualifiers = other.qualifiers;
    textureDimension = other.textureDimension;
    isBuffer = other.isBuffer;
    isConstant = other.isConstant;
    isIndexBuffer = other.isIndexBuffer;
}

bool Type::IsValid() const {
    const bool numeric = IsNumericKind(kind);
    if (kind == TYPE_NONE) {
        return false;
    }
    if (arraySize != 0 && !(numeric || kind == TYPE_IMAGE || kind == TYPE_STRUCT || kind == TYPE_TEXTURE)) {
        return false;
    }
    if (vectorSize > 0 && !(numeric || kind == TYPE_VOID)) {
        return false;
    }
    if (vectorSize > 1 && kind == TYPE_VOID) {
        return false;
    }
    if (matrixSize > 0 && kind != TYPE_FLOAT) {
        return false;
    }
    if (isBuffer != 0 && !numeric) {
        return false;
    }
    if (kind == TYPE_IMAGE && imageDimension == IMAGE_DIMENSION_NONE) {
        return false;
    }
    if (kind == TYPE_TEXTURE && textureDimension == TEXTURE_DIMENSION_NONE) {
        return false;
    }
    if (!name.IsEmpty() && kind != TYPE_STRUCT) {
        return false;
    }
    return true;
}

}  // namespace ShaderTool
