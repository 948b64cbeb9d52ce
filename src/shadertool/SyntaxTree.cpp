// Spelling of operators and types, function keys and the freeing of syntax tree nodes.
#include "shadertool/SyntaxTree.h"

namespace ShaderTool {

namespace {

const char* const kOperatorTexts[] = {
    "~",  "()", "!",   "-",  "+",  "--", "++",  "--",    "++",       "+",       "=",      "+=",
    "&=", "/=", "<<=", "%=", "*=", "|=", ">>=", "-=",    "^=",       "&",       "|",      "^",
    "/",  "==", ">",   ">=", "<<", "<",  "<=",  "&&",    "||",       ".",       "%",      "*",
    "!=", ">>", "[]",  "-",  "?",  ":",  "",    "break", "continue", "discard", "return",
};

const char* ReadableTextureName(int32_t dimension) {
    switch (dimension) {
        case TEXTURE_DIMENSION_2D:
            return "Texture2D";
        case TEXTURE_DIMENSION_3D:
            return "Texture3D";
        case TEXTURE_DIMENSION_CUBE:
            return "TextureCube";
        default:
            return "";
    }
}

const char* KeyTextureName(int32_t dimension) {
    switch (dimension) {
        case TEXTURE_DIMENSION_2D:
            return "t2";
        case TEXTURE_DIMENSION_3D:
            return "t3";
        case TEXTURE_DIMENSION_CUBE:
            return "tc";
        default:
            return "";
    }
}

// Constructor ids of the vector types of one component kind, by vector size 1..4.
int32_t VectorConstructorId(int32_t first, int32_t vectorSize) {
    return (vectorSize >= 1 && vectorSize <= 4) ? first + vectorSize - 1 : CONSTRUCTOR_NONE;
}

}  // namespace

const char* GetOperatorText(int32_t id) {
    const int32_t count = static_cast<int32_t>(sizeof(kOperatorTexts) / sizeof(kOperatorTexts[0]));
    return (id >= 0 && id < count) ? kOperatorTexts[id] : "";
}

String GetBaseTypeName(const Type& type, bool keyForm) {
    switch (type.kind) {
        case TYPE_BOOL:
            return String(keyForm ? "b" : "bool");
        case TYPE_FLOAT:
            return String(keyForm ? "f" : "float");
        case TYPE_IMAGE:
            if (type.imageDimension != IMAGE_DIMENSION_2D) {
                return String();
            }
            return String(keyForm ? "im2" : "Image2D");
        case TYPE_INT:
            return String(keyForm ? "i" : "int");
        case TYPE_STRUCT:
            if (keyForm) {
                String key("_");
                key.Append(type.name.CStr());
                return key;
            }
            return type.name;
        case TYPE_TEXTURE:
            return String(keyForm ? KeyTextureName(type.textureDimension)
                                  : ReadableTextureName(type.textureDimension));
        case TYPE_UINT:
            return String(keyForm ? "u" : "uint");
        case TYPE_VOID:
            return String(keyForm ? "v" : "void");
        default:
            return String();
    }
}

String FormatTypeName(const Type& type, bool keyForm) {
    String name = GetBaseTypeName(type, keyForm);
    if (type.vectorSize >= 2) {
        name.AppendFormat("%i", type.vectorSize);
    } else if (type.matrixSize > 0) {
        if (keyForm) {
            name.AppendFormat("x%i", type.matrixSize);
        } else {
            name.AppendFormat("%ix%i", type.matrixSize, type.matrixSize);
        }
    }
    if (!keyForm) {
        return name;
    }
    if (type.isBuffer) {
        String buffer = String::FromFormat("b_%s", name.CStr());
        name = buffer;
    }
    if (type.arraySize != 0) {
        name.AppendFormat("[%i", type.arraySize);
    }
    return name;
}

int32_t GetConstructorId(const Type& type) {
    switch (type.kind) {
        case TYPE_BOOL:
            return type.vectorSize == 1 ? CONSTRUCTOR_BOOL : CONSTRUCTOR_NONE;
        case TYPE_FLOAT:
            if (type.matrixSize >= 2 && type.matrixSize <= 4) {
                return CONSTRUCTOR_FLOAT2X2 + type.matrixSize - 2;
            }
            return VectorConstructorId(CONSTRUCTOR_FLOAT, type.vectorSize);
        case TYPE_INT:
            return VectorConstructorId(CONSTRUCTOR_INT, type.vectorSize);
        case TYPE_UINT:
            return VectorConstructorId(CONSTRUCTOR_UINT, type.vectorSize);
        default:
            return CONSTRUCTOR_NONE;
    }
}

DeclarationNode* GetParameterBlock(const Symbol& function) {
    if (function.children.count < 1 || function.children[0] == nullptr ||
        function.children[0]->kind != NODE_DECLARATION) {
        return nullptr;
    }
    return static_cast<DeclarationNode*>(function.children[0]);
}

String BuildFunctionKey(const Symbol& function) {
    String key(function.name.CStr());
    const DeclarationNode* parameters = GetParameterBlock(function);
    if (parameters == nullptr || parameters->children.count == 0) {
        key.AppendChar(',');
        return key;
    }
    for (const Node* parameter : parameters->children) {
        key.AppendChar(',');
        const Type* type = GetNodeType(parameter);
        if (type != nullptr) {
            key.Append(FormatTypeName(*type, true).CStr());
        }
    }
    return key;
}

Type* GetNodeType(Node* node) {
    if (node == nullptr) {
        return nullptr;
    }
    switch (node->kind) {
        case NODE_DECLARATION:
            return &static_cast<DeclarationNode*>(node)->type;
        case NODE_FUNCTION:
        case NODE_CALL:
            return &static_cast<Symbol*>(node)->type;
        case NODE_LITERAL:
            return &static_cast<LiteralNode*>(node)->type;
        case NODE_OPERATION:
            return &static_cast<OperationNode*>(node)->type;
        case NODE_VARIABLE:
            return &static_cast<VariableNode*>(node)->type;
        default:
            return nullptr;
    }
}

const Type* GetNodeType(const Node* node) {
    return GetNodeType(const_cast<Node*>(node));
}

void FreeNode(Node* node) {
    if (node == nullptr) {
        return;
    }
    switch (node->kind) {
        case NODE_DECLARATION:
            delete static_cast<DeclarationNode*>(node);
            break;
        case NODE_FUNCTION:
        case NODE_CALL:
            delete static_cast<Symbol*>(node);
            break;
        case NODE_LOOP:
            delete static_cast<LoopNode*>(node);
            break;
        case NODE_JUMP:
            delete static_cast<JumpNode*>(node);
            break;
        case NODE_LITERAL:
            delete static_cast<LiteralNode*>(node);
            break;
        case NODE_OPERATION:
            delete static_cast<OperationNode*>(node);
            break;
        case NODE_IF:
            delete static_cast<IfNode*>(node);
            break;
        case NODE_VARIABLE:
            delete static_cast<VariableNode*>(node);
            break;
        default:
            break;  // no other kinds are ever made
    }
}

}  // namespace ShaderTool
