// Construction, reset and error reporting of the semantic analyzer.
#include "shadertool/Analyzer.h"

namespace ShaderTool {

SemanticAnalyzer::SemanticAnalyzer(MessageLog* log)
    : currentFunction(nullptr),
      placeholder(nullptr),
      messageLog(log),
      root(nullptr),
      description(nullptr),
      tokenizer(log, nullptr),
      returnCount(0),
      stage(STAGE_VERTEX),
      success(1) {
    RegisterBuiltinFunctions(&builtins);
    BuildOperatorTable(&operators);
    scopes.Push(0);  // the global scope is open from the start
    // The tokenizer tells struct names from other identifiers by asking the struct table.
    tokenizer.typeNames = &structs;
}

SemanticAnalyzer::~SemanticAnalyzer() {
    for (Node* node : nodes) {
        FreeNode(node);
    }
    nodes.Clear();
}

void SemanticAnalyzer::Reset() {
    currentFunction = nullptr;
    ClearFunctionList(&builtins.stage);
    placeholder = nullptr;
    functions.Clear();
    root = nullptr;
    description = nullptr;
    symbols.Clear();
    scopes.Clear();
    scopes.Push(0);
    for (Node* node : nodes) {
        FreeNode(node);
    }
    nodes.Clear();
    structs.Clear();
    tokenizer.End();
    pendingOutputs.Clear();
    returnCount = 0;
    success = 1;
}

const char* SemanticAnalyzer::CurrentFileName() const {
    return tokenizer.fileName.CStr();
}

SourcePosition SemanticAnalyzer::CurrentPosition() const {
    SourcePosition position = {tokenizer.tokenColumn, tokenizer.tokenLine};
    return position;
}

void SemanticAnalyzer::ReportErrorV(SourcePosition position, const char* format, va_list args) {
    String message;
    message.FormatV(format, args);
    if (messageLog != nullptr) {
        messageLog->AddPositionalError(CurrentFileName(), position.line, position.column, message.CStr());
    }
    success = 0;
}

void SemanticAnalyzer::ReportError(SourcePosition position, const char* format, ...) {
    va_list args;
    va_start(args, format);
    ReportErrorV(position, format, args);
    va_end(args);
}

void SemanticAnalyzer::ReportErrorAt(const Node* node, const char* format, ...) {
    SourcePosition position = {0, 0};
    if (node != nullptr) {
        position.column = node->column;
        position.line = node->line;
    }
    va_list args;
    va_start(args, format);
    ReportErrorV(position, format, args);
    va_end(args);
}

}  // namespace ShaderTool
