// The translator base: the writers of declarations, expressions and statements that every target
// shares, and the node dispatch.
#include "shadertool/Translator.h"

#include <cstdarg>
#include <cstdlib>

#include "shadertool/ExpressionTyping.h"

namespace ShaderTool {

namespace {

// The types of the sixteen constructor functions, in function-id order (99 to 114).
Type ConstructorType(int32_t functionId) {
    switch (functionId) {
        case CONSTRUCTOR_BOOL:
            return Type(TYPE_BOOL, 1);
        case CONSTRUCTOR_FLOAT2X2:
        case CONSTRUCTOR_FLOAT3X3:
        case CONSTRUCTOR_FLOAT4X4:
            return Type::Matrix(functionId - CONSTRUCTOR_FLOAT2X2 + 2);
        default:
            break;
    }
    if (functionId >= CONSTRUCTOR_FLOAT && functionId <= CONSTRUCTOR_FLOAT4) {
        return Type(TYPE_FLOAT, functionId - CONSTRUCTOR_FLOAT + 1);
    }
    if (functionId >= CONSTRUCTOR_INT && functionId <= CONSTRUCTOR_INT4) {
        return Type(TYPE_INT, functionId - CONSTRUCTOR_INT + 1);
    }
    return Type(TYPE_UINT, functionId - CONSTRUCTOR_UINT + 1);
}

bool IsPrefixOperator(int32_t id) {
    return id == OP_BIT_NOT || id == OP_LOGICAL_NOT || id == OP_NEGATE || id == OP_UNARY_PLUS ||
           id == OP_PRE_DECREMENT || id == OP_PRE_INCREMENT;
}

const DeclarationNode* AsDeclaration(const Node* node, int32_t declarationKind) {
    if (node == nullptr || node->kind != NODE_DECLARATION) {
        return nullptr;
    }
    const DeclarationNode* declaration = static_cast<const DeclarationNode*>(node);
    return declaration->declarationKind == declarationKind ? declaration : nullptr;
}

bool IsFunctionWithBody(const Node* node) {
    if (node == nullptr || node->kind != NODE_FUNCTION) {
        return false;
    }
    const Symbol* function = static_cast<const Symbol*>(node);
    return function->children.count >= 2 && function->children[1] != nullptr;
}

// Statements that end without ";": blocks, function definitions, loops and ifs.
bool EndsWithoutSemicolon(const Node* node) {
    return AsDeclaration(node, DECLARATION_BLOCK) != nullptr || IsFunctionWithBody(node) ||
           node->kind == NODE_LOOP || node->kind == NODE_IF;
}

}  // namespace

OperationNode* AsInitializerAssignment(Node* item) {
    if (item == nullptr || item->kind != NODE_OPERATION) {
        return nullptr;
    }
    OperationNode* operation = static_cast<OperationNode*>(item);
    return operation->operatorId == OP_ASSIGN ? operation : nullptr;
}

bool IsBufferOrRayFunction(int32_t id) {
    switch (id) {
        case FUNCTION_FLOAT_BITS_TO_UINT:
        case FUNCTION_LOAD_INDICES:
        case FUNCTION_OBJECT_SPACE_TO_WORLD:
        case FUNCTION_SAMPLE_TEXTURE_COMPARE_LOD_ZERO:
        case FUNCTION_STORE_IMAGE:
        case FUNCTION_TRACE:
        case FUNCTION_UNPACK_UNORM4_TO_FLOAT4:
            return true;
        default:
            return false;
    }
}

bool IsBitwiseOperator(int32_t id) {
    switch (id) {
        case OP_BIT_NOT:
        case OP_AND_ASSIGN:
        case OP_LEFT_SHIFT_ASSIGN:
        case OP_OR_ASSIGN:
        case OP_RIGHT_SHIFT_ASSIGN:
        case OP_XOR_ASSIGN:
        case OP_BIT_AND:
        case OP_BIT_OR:
        case OP_BIT_XOR:
        case OP_LEFT_SHIFT:
        case OP_RIGHT_SHIFT:
            return true;
        default:
            return false;
    }
}

const char* StageBlockMember(const OperationNode* access, const char* blockName) {
    if (access == nullptr || access->operatorId != OP_MEMBER || access->left == nullptr ||
        access->right == nullptr || access->left->kind != NODE_VARIABLE ||
        access->right->kind != NODE_VARIABLE) {
        return nullptr;
    }
    const VariableNode* block = static_cast<const VariableNode*>(access->left);
    // The blocks are variables of the analyser's own struct types ("_Input" ...), which no source
    // can name; a parameter that merely shares a block's name is not one.
    if (!block->name.Equals(blockName) || block->type.kind != TYPE_STRUCT ||
        block->type.name.CStr()[0] != '_') {
        return nullptr;
    }
    return static_cast<const VariableNode*>(access->right)->name.CStr();
}

const char* TextureArgumentName(const Node* argument) {
    while (argument != nullptr && argument->kind == NODE_OPERATION) {
        const OperationNode* operation = static_cast<const OperationNode*>(argument);
        if (operation->operatorId == OP_MEMBER) {
            return StageBlockMember(operation, "texture");
        }
        if (operation->operatorId != OP_PARENTHESES && operation->operatorId != OP_INDEX) {
            return nullptr;
        }
        argument = operation->left;
    }
    return nullptr;
}

const char* TextureObjectSuffix(int32_t dimension) {
    switch (dimension) {
        case TEXTURE_DIMENSION_2D:
            return "2D";
        case TEXTURE_DIMENSION_3D:
            return "3D";
        case TEXTURE_DIMENSION_CUBE:
            return "Cube";
        default:
            return "";
    }
}

int64_t TracedPayloadSlot(const Symbol& call) {
    const DeclarationNode* arguments = CallArguments(call);
    if (arguments == nullptr || arguments->children.count == 0) {
        return -1;
    }
    const Node* last = arguments->children[arguments->children.count - 1];
    if (last == nullptr || last->kind != NODE_LITERAL) {
        return -1;
    }
    return strtoll(static_cast<const LiteralNode*>(last)->value.CStr(), nullptr, 0);
}

DeclarationNode* CallArguments(const Symbol& call) {
    return GetParameterBlock(call);
}

Translator::Translator(MessageLog* messageLog)
    : log(messageLog),
      depth(0),
      description(nullptr),
      variants(0),
      target(0),
      stage(STAGE_INVALID),
      version(0),
      bitwiseOperations(0),
      insideFunction(0),
      success(1),
      nesting_(0),
      nestingReported_(false) {}

Translator::~Translator() {}

void Translator::Reset() {
    declarations.Clear();
    body.Clear();
    stage = STAGE_INVALID;
    depth = 0;
    description = nullptr;
    target = 0;
    insideFunction = 0;
    success = 1;
    nesting_ = 0;
    nestingReported_ = false;
}

void Translator::GetFunctionName(String& name, const Symbol& call) {
    if (call.functionId >= CONSTRUCTOR_BOOL && call.functionId <= CONSTRUCTOR_UINT4) {
        GetTypeName(name, ConstructorType(call.functionId));
        return;
    }
    StringMapEntry<const char*>* rename = renames.Find(call.name.CStr());
    name.Assign(rename != nullptr ? rename->value : call.name.CStr());
}

void Translator::GetTypeName(String& name, const Type& type) {
    name = FormatTypeName(type, false);
}

void Translator::WritePrologue() {}

void Translator::SetShaderDescription(const ShaderDescription&) {}

void Translator::WriteInitializer(OperationNode* assignment) {
    const DeclarationNode* list = AsDeclaration(assignment->right, DECLARATION_BLOCK);
    if (list == nullptr) {
        Append(" = ");
        WriteNode(assignment->right);
        return;
    }
    Append(" =\n");
    WriteInitializerElements(list, "{", "}");
}

void Translator::WriteInitializerElements(const DeclarationNode* list, const char* open, const char* close) {
    WriteIndentation();
    body.AppendFormat("%s\n", open);
    depth += 1;
    for (int32_t i = 0; i < list->children.count; ++i) {
        Append(i > 0 ? ",\n" : "");
        WriteIndentation();
        WriteNode(list->children[i]);
    }
    depth -= 1;
    Append("\n");
    WriteIndentation();
    Append(close);
}

void Translator::WriteFunctionCall(Symbol* call) {
    String name;
    if (call->isBuiltin) {
        GetFunctionName(name, *call);
    } else {
        name = call->name;
    }
    body.AppendFormat("%s(", name.CStr());
    const DeclarationNode* arguments = CallArguments(*call);
    if (arguments != nullptr) {
        for (int32_t i = 0; i < arguments->children.count; ++i) {
            Append(i > 0 ? ", " : "");
            WriteNode(arguments->children[i]);
        }
    }
    Append(")");
}

void Translator::WriteFunctionDefinition(Symbol* function) {
    String type;
    FormatDeclarationType(type, function->type);
    body.AppendFormat("%s %s(", type.CStr(), function->name.CStr());
    const DeclarationNode* parameters = GetParameterBlock(*function);
    if (parameters != nullptr) {
        for (int32_t i = 0; i < parameters->children.count; ++i) {
            const Node* parameter = parameters->children[i];
            const Type parameterType = NodeTypeOf(parameter);
            FormatDeclarationType(type, parameterType);
            const char* name = parameter->kind == NODE_VARIABLE
                                   ? static_cast<const VariableNode*>(parameter)->name.CStr()
                                   : "";
            body.AppendFormat("%s%s %s", i > 0 ? ", " : "", type.CStr(), name);
            if (parameterType.arraySize != 0) {
                body.AppendFormat("[%i]", parameterType.arraySize);
            }
        }
    }
    Append(")");
    if (!IsFunctionWithBody(function)) {
        return;
    }
    Append("\n");
    insideFunction = 1;
    Node* functionBody = function->children[1];
    if (functionBody->kind == NODE_DECLARATION) {
        WriteStatementBlock(static_cast<DeclarationNode*>(functionBody), true);
    }
    insideFunction = 0;
}

void Translator::WriteLoop(LoopNode* loop) {
    switch (loop->loopKind) {
        case LOOP_DO_WHILE:
            Append("do\n");
            WriteBody(loop->body, 1);
            WriteWhileStatement(loop);
            break;
        case LOOP_FOR:
            WriteForStatement(loop);
            WriteBody(loop->body, 1);
            break;
        default:
            WriteWhileStatement(loop);
            WriteBody(loop->body, 1);
            break;
    }
}

void Translator::WriteUnaryExpression(JumpNode* statement) {
    Append(GetOperatorText(statement->statementId));
    if (statement->operand != nullptr) {
        Append(" ");
        WriteNode(statement->operand);
    }
}

void Translator::WriteLiteral(LiteralNode* literal) {
    Append(literal->value.CStr());
}

void Translator::WriteBinaryExpression(OperationNode* operation) {
    const int32_t id = operation->operatorId;
    const char* text = GetOperatorText(id);
    if (IsPrefixOperator(id)) {
        Append(text);
        WriteNode(operation->left);
    } else if (id == OP_PARENTHESES) {
        Append("(");
        WriteNode(operation->left);
        Append(")");
    } else if (id == OP_POST_DECREMENT || id == OP_POST_INCREMENT) {
        WriteNode(operation->left);
        Append(text);
    } else if (id == OP_INDEX) {
        WriteNode(operation->left);
        Append("[");
        WriteNode(operation->right);
        Append("]");
    } else if (id == OP_MEMBER) {
        WriteNode(operation->left);
        Append(".");
        WriteNode(operation->right);
    } else {
        WriteNode(operation->left);
        body.AppendFormat(" %s ", text);
        WriteNode(operation->right);
    }
    if (!bitwiseOperations && IsBitwiseOperator(id)) {
        ReportError("bit-wise operations are not supported.");
    }
}

void Translator::WriteIfStatement(IfNode* branch) {
    Append("if (");
    WriteNode(branch->condition);
    Append(")\n");
    WriteBody(branch->thenBranch, 1);
    Node* elseBranch = branch->elseBranch;
    if (elseBranch == nullptr) {
        return;
    }
    Append("\n");
    WriteIndentation();
    if (elseBranch->kind == NODE_IF) {
        // Else-if chains stay flat: the nested if follows on the same line, at the same depth.
        Append("else ");
        WriteIfStatement(static_cast<IfNode*>(elseBranch));
        return;
    }
    Append("else\n");
    WriteBody(elseBranch, 1);
}

void Translator::WriteInterfaceDeclarations(const ShaderDescription&) {}

void Translator::WriteStructDeclaration(DeclarationNode* declaration) {
    String name;
    GetTypeName(name, declaration->type);
    const bool isConst = (declaration->type.qualifiers & QUALIFIER_CONST) != 0;
    body.AppendFormat("%sstruct %s\n", isConst ? "const " : "", name.CStr());
    WriteIndentation();
    Append("{\n");
    depth += 1;
    for (const Node* member : declaration->children) {
        if (member == nullptr || member->kind != NODE_VARIABLE) {
            continue;
        }
        const VariableNode* variable = static_cast<const VariableNode*>(member);
        FormatDeclarationType(name, variable->type);
        WriteIndentation();
        body.AppendFormat("%s %s;\n", name.CStr(), variable->name.CStr());
    }
    depth -= 1;
    WriteIndentation();
    Append("}");
}

void Translator::WriteVariableReference(VariableNode* variable) {
    body.AppendFormat(variable->stageConstant ? "_const_%s" : "%s", variable->name.CStr());
}

void Translator::WriteForStatement(LoopNode* loop) {
    Append("for (");
    WriteNode(loop->init);
    Append("; ");
    WriteNode(loop->condition);
    Append("; ");
    WriteNode(loop->step);
    Append(")\n");
}

void Translator::WriteVariableDeclaration(DeclarationNode* declaration) {
    String type;
    FormatDeclarationType(type, declaration->type);
    body.AppendFormat("%s ", type.CStr());
    if (declaration->type.arraySize != 0) {
        WriteArrayDeclarator(declaration);
        return;
    }
    for (int32_t i = 0; i < declaration->children.count; ++i) {
        Append(i > 0 ? ", " : "");
        WriteNode(declaration->children[i]);
    }
}

void Translator::WriteArrayDeclarator(DeclarationNode* declaration) {
    // Every declarator of the list carries the declaration's array size, so each is written
    // with it; only the first may have an initialiser list.
    for (int32_t i = 0; i < declaration->children.count; ++i) {
        Node* item = declaration->children[i];
        OperationNode* assignment = AsInitializerAssignment(item);
        Append(i > 0 ? ", " : "");
        WriteNode(assignment != nullptr ? assignment->left : item);
        body.AppendFormat("[%i]", declaration->type.arraySize);
        if (assignment != nullptr) {
            WriteInitializer(assignment);
        }
    }
}

void Translator::WriteWhileStatement(LoopNode* loop) {
    const bool tail = loop->loopKind == LOOP_DO_WHILE;
    if (tail) {
        Append("\n");
        WriteIndentation();
    }
    Append("while (");
    WriteNode(loop->condition);
    body.AppendFormat(")%c", tail ? ';' : '\n');
}

bool Translator::EnterNesting() {
    if (nesting_ < TRANSLATOR_MAX_NESTING) {
        nesting_ += 1;
        return true;
    }
    if (!nestingReported_) {
        ReportError("expressions or statements are nested more than %i levels deep.", TRANSLATOR_MAX_NESTING);
        nestingReported_ = true;
    }
    success = 0;
    return false;
}

void Translator::WriteNode(Node* node) {
    if (node == nullptr || !EnterNesting()) {
        return;
    }
    switch (node->kind) {
        case NODE_DECLARATION: {
            DeclarationNode* declaration = static_cast<DeclarationNode*>(node);
            if (declaration->declarationKind == DECLARATION_BLOCK) {
                WriteStatementBlock(declaration, true);
            } else if (declaration->declarationKind == DECLARATION_STRUCT) {
                WriteStructDeclaration(declaration);
            } else {
                WriteVariableDeclaration(declaration);
            }
            break;
        }
        case NODE_FUNCTION:
            WriteFunctionDefinition(static_cast<Symbol*>(node));
            break;
        case NODE_CALL:
            WriteFunctionCall(static_cast<Symbol*>(node));
            break;
        case NODE_LOOP:
            WriteLoop(static_cast<LoopNode*>(node));
            break;
        case NODE_JUMP:
            WriteUnaryExpression(static_cast<JumpNode*>(node));
            break;
        case NODE_LITERAL:
            WriteLiteral(static_cast<LiteralNode*>(node));
            break;
        case NODE_OPERATION:
            WriteBinaryExpression(static_cast<OperationNode*>(node));
            break;
        case NODE_IF:
            WriteIfStatement(static_cast<IfNode*>(node));
            break;
        case NODE_VARIABLE:
            WriteVariableReference(static_cast<VariableNode*>(node));
            break;
        default:
            break;
    }
    nesting_ -= 1;
}

bool Translator::IsSpaced(const Node* statement) {
    if (statement == nullptr) {
        return false;
    }
    if (AsDeclaration(statement, DECLARATION_BLOCK) != nullptr ||
        AsDeclaration(statement, DECLARATION_STRUCT) != nullptr) {
        return true;
    }
    const DeclarationNode* variables = AsDeclaration(statement, DECLARATION_VARIABLE);
    if (variables != nullptr) {
        return variables->type.arraySize != 0 && variables->children.count > 0 &&
               AsInitializerAssignment(variables->children[0]) != nullptr;
    }
    return IsFunctionWithBody(statement) || statement->kind == NODE_LOOP || statement->kind == NODE_IF;
}

void Translator::WriteStatementBlock(DeclarationNode* block, bool braces) {
    const bool braced = braces && block->braced;
    if (braced) {
        WriteIndentation();
        Append("{\n");
        depth += 1;
    }
    const Node* previous = nullptr;
    for (Node* statement : block->children) {
        if (statement == nullptr) {
            continue;
        }
        if (previous != nullptr && (IsSpaced(previous) || IsSpaced(statement))) {
            Append("\n");
        }
        // A nested block ends with its own line feed (or brace line).
        WriteStatement(statement, true, AsDeclaration(statement, DECLARATION_BLOCK) == nullptr);
        previous = statement;
    }
    if (braced) {
        depth -= 1;
        WriteIndentation();
        Append("}");
    }
}

void Translator::WriteStatement(Node* node, bool indent, bool newline) {
    if (node == nullptr) {
        return;
    }
    // Blocks indent their own braces and statements.
    if (indent && AsDeclaration(node, DECLARATION_BLOCK) == nullptr) {
        WriteIndentation();
    }
    WriteNode(node);
    if (!EndsWithoutSemicolon(node)) {
        Append(";");
    }
    if (newline) {
        Append("\n");
    }
}

void Translator::WriteBody(Node* node, int32_t extra) {
    if (node == nullptr) {
        return;
    }
    DeclarationNode* block = const_cast<DeclarationNode*>(AsDeclaration(node, DECLARATION_BLOCK));
    if (block != nullptr && block->braced) {
        WriteStatementBlock(block, true);
        return;
    }
    // Any other statement, declarations included, is a statement of its own one level deeper.
    depth += extra;
    if (block != nullptr) {
        WriteStatementBlock(block, true);
    } else {
        WriteStatement(node, true, false);
    }
    depth -= extra;
}

void Translator::FormatDeclarationType(String& name, const Type& type) {
    String typeName;
    GetTypeName(typeName, type);
    name.Assign((type.qualifiers & QUALIFIER_CONST) != 0 ? "const " : "");
    name.Append(typeName.CStr());
}

void Translator::WriteRoot(Node* root) {
    if (root == nullptr || root->kind != NODE_DECLARATION) {
        return;
    }
    DeclarationNode* declaration = static_cast<DeclarationNode*>(root);
    if (declaration->declarationKind == DECLARATION_BLOCK) {
        WriteStatementBlock(declaration, true);
    } else {
        WriteNode(declaration);
    }
}

void Translator::TakeOutput(String* output) {
    if (declarations.Length() > 0) {
        declarations.AppendChar('\n');
    }
    declarations.Append(body.CStr(), body.Length());
    declarations.CopyTo(*output);
}

void Translator::WriteIndentation() {
    for (int32_t i = 0; i < depth; ++i) {
        body.AppendChar('\t');
    }
}

int32_t StageVariableSlotCount(const Type& type) {
    return type.matrixSize > 0 ? type.matrixSize : 1;
}

void Translator::ReportError(const char* format, ...) {
    String message;
    va_list args;
    va_start(args, format);
    message.FormatV(format, args);
    va_end(args);
    if (log != nullptr) {
        log->AddError(message.CStr());
    }
    success = 0;
}

}  // namespace ShaderTool
