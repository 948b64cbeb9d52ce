// Declaration and statement checks: structs, functions and their parameters, variables, array
// initialisers, return statements and conditions.
#include "shadertool/DeclarationChecks.h"

#include <cstring>

#include "shadertool/ExpressionTyping.h"
#include "shadertool/StageChecks.h"

namespace ShaderTool {

namespace {

// The variables of the stage blocks: user variables may not take these names.
const char* const kBlockNames[] = {"buffers", "constants",    "images", "input",
                                   "output",  "ray_payloads", "texture"};

bool IsBlockName(const char* name) {
    for (const char* block : kBlockNames) {
        if (strcmp(block, name) == 0) {
            return true;
        }
    }
    return false;
}

// Initializer-list items must have exactly the element type: no implicit conversion.
bool IsExactElement(const Type& element, const Type& item) {
    return element.kind == item.kind && element.vectorSize == item.vectorSize &&
           element.matrixSize == item.matrixSize && element.textureDimension == item.textureDimension &&
           element.isBuffer == item.isBuffer && element.name.Equals(item.name.CStr()) && item.arraySize == 0;
}

}  // namespace

void DeclareStructType(SemanticAnalyzer& analyzer, const char* name, SourcePosition namePosition,
                       const DeclarationNode* members) {
    MemberTable* table = new MemberTable();
    const int32_t count = members != nullptr ? members->children.count : 0;
    for (int32_t i = 0; i < count; ++i) {
        const VariableNode* member = static_cast<const VariableNode*>(members->children[i]);
        for (int32_t j = 0; j < i; ++j) {
            const VariableNode* earlier = static_cast<const VariableNode*>(members->children[j]);
            if (earlier->name.Equals(member->name.CStr())) {
                analyzer.ReportErrorAt(member, "struct '%s' already has member '%s'.", name,
                                       member->name.CStr());
            }
        }
        bool inserted = false;
        table->Insert(member->name.CStr(), member->type, &inserted);
    }
    if (!analyzer.structs.Adopt(name, table)) {
        analyzer.ReportError(namePosition, "struct '%s' already has a declaration.", name);
    }
}

DeclarationNode* DeclareStruct(SemanticAnalyzer& analyzer, const Type& type) {
    DeclarationNode* node = CreateDeclaration(analyzer, DECLARATION_STRUCT);
    node->type = type;
    const MemberTable* members = type.kind == TYPE_STRUCT ? FindStruct(analyzer, type.name.CStr()) : nullptr;
    if (members == nullptr) {
        analyzer.ReportError(analyzer.CurrentPosition(), "invalid declaration.");
        return node;
    }
    if (type.qualifiers != 0) {
        analyzer.ReportError(analyzer.CurrentPosition(),
                             "qualifiers are not allowed in struct declarations.");
        return node;
    }
    if (analyzer.currentFunction != nullptr) {
        analyzer.ReportError(analyzer.CurrentPosition(), "structs must be declared in global scope.");
        return node;
    }
    for (int32_t i = 0; i < members->Count(); ++i) {
        const MemberTable::Entry& member = members->At(i);
        AppendChild(node, CreateVariableNamed(analyzer, member.value, member.key.CStr()));
    }
    return node;
}

void CheckFunctionHeader(SemanticAnalyzer& analyzer, Node* node, bool isReturnType) {
    const Type type = NodeTypeOf(node);
    if (type.kind == TYPE_TEXTURE || (type.kind == TYPE_VOID && !isReturnType)) {
        analyzer.ReportErrorAt(node, "invalid type specifier.");
    }
    if ((type.qualifiers & QUALIFIER_CONST) != 0) {
        analyzer.ReportErrorAt(node, "'const' is not allowed in function declarations.");
    }
    if (!isReturnType && node != nullptr && node->kind == NODE_VARIABLE &&
        static_cast<VariableNode*>(node)->name.Equals("texture")) {
        analyzer.ReportErrorAt(node, "parameter can not have the same name as built-in variable '%s'.",
                               "texture");
    }
}

void SemanticAnalyzer::DeclareFunction(Symbol* function, bool isDefinition) {
    if (isDefinition) {
        function->isDefinition = 1;
    }
    function->key = BuildFunctionKey(*function);
    if (function->name.Equals("main") &&
        (!isDefinition || function->type.kind != TYPE_VOID || !function->key.Equals("main,"))) {
        ReportErrorAt(function, "main() must be defined only and can not have overloads.");
    }
    FunctionEntry* entry = functions.Find(function->key.CStr());
    if (entry == nullptr) {
        FunctionEntry fresh = {function, static_cast<uint8_t>(isDefinition ? 1 : 0), 0};
        bool inserted = false;
        functions.Insert(function->key.CStr(), fresh, &inserted);
        return;
    }
    if (!isDefinition) {
        ReportErrorAt(function, "function '%s' already has a declaration.", function->name.CStr());
        return;
    }
    if (entry->defined) {
        ReportErrorAt(function, "function '%s' already has a definition.", function->name.CStr());
    }
    entry->defined = 1;  // the entry keeps its first node, which calls refer to
}

Node* DeclareVariable(SemanticAnalyzer& analyzer, Type type, const char* name, SourcePosition namePosition,
                      Node* initializer, SourcePosition initializerAt, SourcePosition equals) {
    if (type.kind == TYPE_TEXTURE || type.kind == TYPE_VOID) {
        analyzer.ReportError(namePosition, "invalid type specifier.");
    }
    if (IsBlockName(name)) {
        analyzer.ReportError(namePosition, "variable can not have the same name as built-in variable '%s'.",
                             name);
    }
    const bool isConst = (type.qualifiers & QUALIFIER_CONST) != 0;
    if (isConst && initializer == nullptr) {
        analyzer.ReportError(namePosition, "'const' variable must be initialized.");
    } else if (isConst && IsConstantNode(initializer)) {
        if (type.arraySize == 0) {
            type.isConstant = 1;  // a compile-time constant from here on
        } else {
            analyzer.ReportError(namePosition, "'const' is not allowed in array declarations.");
        }
    } else if (isConst) {
        analyzer.ReportError(initializerAt, "initializer of 'const' variable must be a constant expression.");
    } else if (analyzer.currentFunction == nullptr && initializer != nullptr &&
               !IsConstantNode(initializer)) {
        analyzer.ReportError(namePosition, "initializer of a global variable must be a constant expression.");
    }
    VariableNode* variable = CreateVariable(analyzer, type, name, namePosition);
    AddSymbol(analyzer, variable);
    if (initializer == nullptr) {
        return variable;
    }
    OperationNode* assignment = CreateOperation(analyzer, OP_ASSIGN, equals);
    assignment->flags |= NODE_FLAG_INITIALIZER;
    CheckAssignment(analyzer, assignment, variable, initializer);
    return assignment;
}

DeclarationNode* AppendDeclarator(SemanticAnalyzer& analyzer, DeclarationNode* declaration, const Type& type,
                                  const char* name, SourcePosition namePosition) {
    if (declaration == nullptr) {
        declaration = CreateDeclaration(analyzer, DECLARATION_VARIABLE);
        declaration->type = type;
    }
    const SourcePosition none = {0, 0};
    AppendChild(declaration, DeclareVariable(analyzer, type, name, namePosition, nullptr, none, none));
    return declaration;
}

void CheckArrayInitializer(SemanticAnalyzer& analyzer, Type* type, DeclarationNode* list,
                           SourcePosition namePosition) {
    if (type->arraySize == 0) {
        analyzer.ReportError(namePosition, "array size must be larger than 0.");
        return;
    }
    if (type->arraySize == ARRAY_SIZE_UNSIZED) {
        if (list == nullptr) {
            analyzer.ReportError(namePosition,
                                 "array size is required when the initializer list is omitted.");
            return;
        }
        type->arraySize = list->children.count;
    }
    if (list == nullptr) {
        return;
    }
    if (list->children.count != type->arraySize) {
        analyzer.ReportError(namePosition,
                             "array size does not match with the number of items in the "
                             "initializer list.");
        return;
    }
    list->type = *type;
    bool constant = true;
    for (const Node* item : list->children) {
        if (!IsExactElement(*type, NodeTypeOf(item))) {
            analyzer.ReportErrorAt(item,
                                   "member in initializer list does not match the list type. "
                                   "NOTE: implicit conversion is not allowed.");
        }
        constant = constant && IsConstantNode(item);
    }
    list->type.isConstant = constant ? 1 : 0;
}

void CheckReturn(SemanticAnalyzer& analyzer, JumpNode* statement) {
    Symbol* function = analyzer.currentFunction;
    analyzer.returnCount += 1;
    if (function == nullptr) {
        return;  // the grammar allows statements only inside function bodies
    }
    if (function->name.Equals("main")) {
        analyzer.ReportErrorAt(statement, "returning from main() is not allowed.");
        return;
    }
    const bool fits = statement->operand != nullptr
                          ? TypeMatches(function->type, NodeTypeOf(statement->operand), true, false)
                          : function->type.kind == TYPE_VOID;
    if (!fits) {
        analyzer.ReportErrorAt(statement, "return value type does not match the function type.");
        return;
    }
    statement->operand = ConvertIfNeeded(analyzer, function->type, statement->operand);
}

void CheckBooleanCondition(SemanticAnalyzer& analyzer, const Node* condition, SourcePosition position) {
    const int32_t kind = NodeTypeOf(condition).kind;
    if (kind != TYPE_BOOL && kind != TYPE_INT && kind != TYPE_UINT) {
        analyzer.ReportError(position, "expression must be a boolean expression.");
    }
}

void BeginFunctionDefinition(SemanticAnalyzer& analyzer, Symbol* function) {
    analyzer.DeclareFunction(function, true);
    analyzer.currentFunction = function;
    PushScope(analyzer);
    const DeclarationNode* parameters = GetParameterBlock(*function);
    if (parameters != nullptr) {
        for (Node* parameter : parameters->children) {
            if (parameter->kind == NODE_VARIABLE) {
                AddSymbol(analyzer, static_cast<VariableNode*>(parameter));
            }
        }
    }
    if (function->name.Equals("main")) {
        const SourcePosition position = {function->column, function->line};
        DeclareStageGlobals(analyzer, position);
    }
    analyzer.returnCount = 0;
}

void EndFunctionDefinition(SemanticAnalyzer& analyzer, Symbol* function, Node* body) {
    function->children.Push(body);
    if (analyzer.returnCount == 0 && function->type.kind != TYPE_VOID) {
        analyzer.ReportErrorAt(function, "function '%s' must return a value.", function->name.CStr());
    }
    analyzer.currentFunction = nullptr;
    analyzer.returnCount = 0;
    PopScope(analyzer);
}

}  // namespace ShaderTool
