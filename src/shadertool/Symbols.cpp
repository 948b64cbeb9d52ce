// Scopes and symbol lookup, the struct table and function lookup by name. A name can never be
// declared twice while its first declaration is visible: inner declarations never shadow.
#include "shadertool/Symbols.h"

#include "shadertool/Analyzer.h"

namespace ShaderTool {

uint64_t HashNameFnv1a(const char* name) {
    uint64_t hash = 14695981039346656037ull;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(name); *p != 0; ++p) {
        hash ^= *p;
        hash *= 1099511628211ull;
    }
    return hash;
}

MemberTable* StructTable::Find(const char* name) const {
    MemberTable* const* members = tables.Find(name);
    return members != nullptr ? *members : nullptr;
}

MemberTable* StructTable::Register(const char* name) {
    MemberTable* existing = Find(name);
    if (existing != nullptr) {
        return existing;
    }
    MemberTable* members = new MemberTable();
    Adopt(name, members);
    return Find(name);
}

bool StructTable::Adopt(const char* name, MemberTable* members) {
    bool inserted = false;
    tables.Insert(name, members, &inserted);
    if (!inserted) {
        delete members;
    }
    return inserted;
}

void StructTable::Clear() {
    for (int32_t i = 0; i < tables.Count(); ++i) {
        delete tables.At(i).value;
    }
    tables.Clear();
}

void PushScope(SemanticAnalyzer& analyzer) {
    analyzer.scopes.Push(0);
}

void PopScope(SemanticAnalyzer& analyzer) {
    if (analyzer.scopes.count == 0) {
        return;
    }
    const int32_t pushed = analyzer.scopes[analyzer.scopes.count - 1];
    analyzer.symbols.count -= pushed < analyzer.symbols.count ? pushed : analyzer.symbols.count;
    analyzer.scopes.RemoveAt(analyzer.scopes.count - 1);
}

void PushSymbol(SemanticAnalyzer& analyzer, VariableNode* variable) {
    if (analyzer.scopes.count == 0) {
        analyzer.scopes.Push(0);  // keeps the symbol and scope stacks in step
    }
    analyzer.symbols.Push(variable);
    analyzer.scopes[analyzer.scopes.count - 1] += 1;
}

void AddSymbol(SemanticAnalyzer& analyzer, VariableNode* variable) {
    if (variable == nullptr || variable->name.IsEmpty()) {
        return;
    }
    if (FindSymbol(analyzer, variable->name.CStr()) != nullptr) {
        analyzer.ReportErrorAt(variable, "symbol '%s' already has a declaration.", variable->name.CStr());
        return;
    }
    PushSymbol(analyzer, variable);
}

VariableNode* FindSymbol(const SemanticAnalyzer& analyzer, const char* name) {
    for (VariableNode* symbol : analyzer.symbols) {
        if (symbol->name.Equals(name)) {
            return symbol;
        }
    }
    return nullptr;
}

MemberTable* FindStruct(const SemanticAnalyzer& analyzer, const char* name) {
    return analyzer.structs.Find(name);
}

Type FindStructMember(const SemanticAnalyzer& analyzer, const char* structName, const char* memberName) {
    const MemberTable* members = analyzer.structs.Find(structName);
    if (members == nullptr) {
        return Type();
    }
    const Type* member = members->Find(memberName);
    return member != nullptr ? *member : Type();
}

void FindFunctionsByName(SemanticAnalyzer& analyzer, const char* name, Array<FunctionEntry*>* found) {
    found->Clear();
    for (int32_t i = 0; i < analyzer.functions.Count(); ++i) {
        FunctionEntry& entry = analyzer.functions.At(i).value;
        if (entry.function != nullptr && entry.function->name.Equals(name)) {
            found->Push(&entry);
        }
    }
}

}  // namespace ShaderTool
