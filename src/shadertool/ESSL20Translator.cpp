// What OpenGL ES 2.0 writes differently from GLSL 1.20.
#include "shadertool/ESSL20Translator.h"

#include <cstring>

namespace ShaderTool {

namespace {

const char kPixelPrecision[] =
    "#if defined(GL_FRAGMENT_PRECISION_HIGH)\n\nprecision highp float;\n\n#else\n\nprecision mediump "
    "float;\n\n#endif\n\n";

bool IsInitializerList(const Node* node) {
    return node != nullptr && node->kind == NODE_DECLARATION;
}

// The declarator's assignment when an initialiser list fills it, else null.
OperationNode* ListAssignment(Node* item) {
    OperationNode* assignment = AsInitializerAssignment(item);
    return assignment != nullptr && IsInitializerList(assignment->right) ? assignment : nullptr;
}

// An array declaration inside a function that an initialiser list fills.
bool IsFilledLocalArray(const DeclarationNode* declaration, bool insideFunction) {
    if (!insideFunction || declaration->type.arraySize == 0) {
        return false;
    }
    for (Node* item : declaration->children) {
        if (ListAssignment(item) != nullptr) {
            return true;
        }
    }
    return false;
}

}  // namespace

// ES 1.00 has no default float precision in fragment shaders; highp only where the device has it.
void ESSL20Translator::WritePrologue() {
    if (stage == STAGE_PIXEL) {
        PrependDeclarations(kPixelPrecision, static_cast<int32_t>(strlen(kPixelPrecision)));
    }
}

// ES 1.00 has neither array constructors nor array initialisers: the declaration ends, and each
// element is assigned in a statement of its own (the last one ended by the declaration's ";").
void ESSL20Translator::WriteInitializer(OperationNode* assignment) {
    const Node* list = assignment->right;
    if (!IsInitializerList(list)) {
        GLSL21Translator::WriteInitializer(assignment);
        return;
    }
    if (!insideFunction) {
        ReportError("array declarations in global scope are not supported.");
        return;
    }
    const DeclarationNode* elements = static_cast<const DeclarationNode*>(list);
    Append(";\n");
    for (int32_t i = 0; i < elements->children.count; ++i) {
        Append(i > 0 ? ";\n" : "");
        WriteIndentation();
        WriteNode(assignment->left);
        body.AppendFormat("[%i] = ", i);
        WriteNode(elements->children[i]);
    }
}

// Every declarator is declared before the elements are assigned, so that a later declarator of
// the same declaration does not end up inside the assignments.
void ESSL20Translator::WriteArrayDeclarator(DeclarationNode* declaration) {
    if (!IsFilledLocalArray(declaration, insideFunction)) {
        GLSL21Translator::WriteArrayDeclarator(declaration);
        return;
    }
    for (int32_t i = 0; i < declaration->children.count; ++i) {
        Node* item = declaration->children[i];
        OperationNode* assignment = AsInitializerAssignment(item);
        Append(i > 0 ? ", " : "");
        WriteNode(assignment != nullptr ? assignment->left : item);
        body.AppendFormat("[%i]", declaration->type.arraySize);
        if (assignment != nullptr && ListAssignment(item) == nullptr) {
            WriteInitializer(assignment);
        }
    }
    for (Node* item : declaration->children) {
        OperationNode* assignment = ListAssignment(item);
        if (assignment != nullptr) {
            WriteInitializer(assignment);
        }
    }
}

void ESSL20Translator::WriteFunctionCall(Symbol* call) {
    switch (call->isBuiltin ? call->functionId : FUNCTION_USER) {
        case FUNCTION_SAMPLE_TEXTURE_GRAD:
        case FUNCTION_SAMPLE_TEXTURE_LOD:
        case FUNCTION_SAMPLE_TEXTURE_LOD_OFFSET:
        case FUNCTION_TRANSPOSE:
            ReportUnsupportedFunction(*call);
            Translator::WriteFunctionCall(call);
            return;
        default:
            GLSL21Translator::WriteFunctionCall(call);
            return;
    }
}

// ES 1.00 has no float suffix: 0.5f is written 0.5.
void ESSL20Translator::WriteLiteral(LiteralNode* literal) {
    const char* text = literal->value.CStr();
    const int32_t length = literal->value.Length();
    if (literal->type.kind == TYPE_FLOAT && length > 0 &&
        (text[length - 1] == 'f' || text[length - 1] == 'F')) {
        body.AppendFormat("%.*s", static_cast<int>(length - 1), text);
        return;
    }
    Translator::WriteLiteral(literal);
}

bool ESSL20Translator::WriteInputVariable(const char* member, const Type& type) {
    if (strcmp(member, "face_direction") == 0) {
        Append("(gl_FrontFacing ? 1.0 : -1.0)");
        return true;
    }
    if (strcmp(member, "instance_id") == 0) {
        ReportError("'input.instance_id' is not supported.");
        return true;
    }
    return GLSL21Translator::WriteInputVariable(member, type);
}

}  // namespace ShaderTool
