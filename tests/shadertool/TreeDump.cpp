// Tree dump for the corpus tests, written as a TreeWalker.
#include "TreeDump.h"

#include "shadertool/TreeWalker.h"

using namespace ShaderTool;

namespace ShaderToolTest {

namespace {

const char* LoopKindName(int32_t kind) {
    switch (kind) {
        case LOOP_DO_WHILE:
            return "do-while";
        case LOOP_FOR:
            return "for";
        case LOOP_WHILE:
            return "while";
        default:
            return "?";
    }
}

std::string DescribeDeclaration(const DeclarationNode& node) {
    switch (node.declarationKind) {
        case DECLARATION_BLOCK:
            return node.braced ? "block {}" : "block";
        case DECLARATION_STRUCT:
            return "struct " + DescribeType(node.type);
        case DECLARATION_VARIABLE:
            return "declare " + DescribeType(node.type);
        default:
            return "declaration ?";
    }
}

std::string DescribeSymbol(const Symbol& node) {
    std::string text = node.kind == NODE_FUNCTION ? "function " : "call ";
    text += std::string(node.name.CStr()) + " : " + DescribeType(node.type);
    text += " id=" + std::to_string(node.functionId);
    if (node.kind == NODE_FUNCTION) {
        text += std::string(" key=") + node.key.CStr();
    }
    if (node.isBuiltin) {
        text += " builtin";
    }
    return text;
}

std::string Describe(const Node* node) {
    switch (node->kind) {
        case NODE_DECLARATION:
            return DescribeDeclaration(*static_cast<const DeclarationNode*>(node));
        case NODE_FUNCTION:
        case NODE_CALL:
            return DescribeSymbol(*static_cast<const Symbol*>(node));
        case NODE_LOOP:
            return std::string("loop ") + LoopKindName(static_cast<const LoopNode*>(node)->loopKind);
        case NODE_JUMP:
            return GetOperatorText(static_cast<const JumpNode*>(node)->statementId);
        case NODE_LITERAL: {
            const LiteralNode* literal = static_cast<const LiteralNode*>(node);
            return std::string("literal ") + literal->value.CStr() + " : " + DescribeType(literal->type);
        }
        case NODE_OPERATION: {
            const OperationNode* operation = static_cast<const OperationNode*>(node);
            std::string text = std::string("op ") + GetOperatorText(operation->operatorId);
            if (operation->flags & NODE_FLAG_INITIALIZER) {
                text += " (initializer)";
            }
            if (operation->flags & NODE_FLAG_REPEATED_SWIZZLE) {
                text += " (repeats)";
            }
            return text + " : " + DescribeType(operation->type);
        }
        case NODE_IF:
            return "if";
        case NODE_VARIABLE: {
            const VariableNode* variable = static_cast<const VariableNode*>(node);
            std::string text =
                std::string("variable ") + variable->name.CStr() + " : " + DescribeType(variable->type);
            if (variable->stageConstant) {
                text += " stage-constant";
            }
            return text;
        }
        default:
            return "?";
    }
}

class DumpWalker : public TreeWalker {
public:
    std::string text;

protected:
    bool Enter(Node* node, int32_t depth) override {
        text.append(static_cast<size_t>(depth) * 2, ' ');
        text += Describe(node);
        text += "\n";
        return true;
    }
};

}  // namespace

std::string DescribeType(const Type& type) {
    if (type.kind == TYPE_NONE) {
        return "none";
    }
    std::string text = FormatTypeName(type, false).CStr();
    if (type.arraySize != 0) {
        text += "[" + std::to_string(type.arraySize) + "]";
    }
    if (type.qualifiers & QUALIFIER_CONST) {
        text = "const " + text;
    }
    if (type.isBuffer) {
        text += " buffer";
    }
    if (type.isIndexBuffer) {
        text += " index";
    }
    if (type.isConstant) {
        text += " constexpr";
    }
    return text;
}

std::string DumpTree(Node* root) {
    DumpWalker walker;
    walker.Walk(root);
    return walker.text;
}

}  // namespace ShaderToolTest
