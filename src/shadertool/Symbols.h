// The semantic analyzer's name tables: an insertion-ordered hash map keyed by name (64-bit
// FNV-1a), the struct table with its member tables, and the function table.
#pragma once

#include <cstdint>
#include <cstring>
#include <new>

#include "foundation/Array.h"
#include "foundation/String.h"
#include "shadertool/ShaderType.h"
#include "shadertool/SyntaxTree.h"
#include "shadertool/Tokenizer.h"

namespace ShaderTool {

uint64_t HashNameFnv1a(const char* name);

// Map from a name to a value. Entries keep their insertion order, which decides the order of
// struct members and which overload a call picks, so the same source always compiles alike.
// Lookup goes through separately chained buckets: 8 at first, doubled whenever the entries
// outnumber them.
template <typename V>
class NameHashMap {
public:
    struct Entry {
        String key;
        uint64_t hash;
        int32_t next;  // index of the next entry of the same bucket, -1 at the end
        V value;
    };

    NameHashMap() { ResetBuckets(kInitialBuckets); }
    ~NameHashMap() { Clear(); }
    NameHashMap(const NameHashMap&) = delete;
    NameHashMap& operator=(const NameHashMap&) = delete;

    int32_t Count() const { return entries.count; }
    Entry& At(int32_t index) { return *entries[index]; }
    const Entry& At(int32_t index) const { return *entries[index]; }

    // The value stored under name, or null.
    V* Find(const char* name) const {
        if (name == nullptr) {
            return nullptr;
        }
        const uint64_t hash = HashNameFnv1a(name);
        int32_t index = buckets[static_cast<int32_t>(hash & (buckets.count - 1))];
        while (index >= 0) {
            Entry* entry = entries[index];
            if (entry->hash == hash && strcmp(entry->key.CStr(), name) == 0) {
                return &entry->value;
            }
            index = entry->next;
        }
        return nullptr;
    }

    // Stores value under name unless the name is present, which keeps its first value.
    // Returns the stored value (null only when memory runs out); inserted tells which case.
    V* Insert(const char* name, const V& value, bool* inserted) {
        *inserted = false;
        V* existing = Find(name);
        if (existing != nullptr) {
            return existing;
        }
        Entry* entry = new (std::nothrow) Entry();
        if (entry == nullptr) {
            return nullptr;
        }
        entry->key.Assign(name);
        entry->hash = HashNameFnv1a(name ? name : "");
        entry->value = value;
        entries.Push(entry);
        if (entries.count == 0 || entries[entries.count - 1] != entry) {
            delete entry;
            return nullptr;
        }
        if (entries.count > buckets.count) {
            ResetBuckets(buckets.count * 2);
        } else {
            Link(entries.count - 1);
        }
        *inserted = true;
        return &entry->value;
    }

    // Removes every entry; the bucket array returns to its first size.
    void Clear() {
        for (Entry* entry : entries) {
            delete entry;
        }
        entries.Clear();
        ResetBuckets(kInitialBuckets);
    }

private:
    enum { kInitialBuckets = 8 };

    void Link(int32_t index) {
        int32_t& head = buckets[static_cast<int32_t>(entries[index]->hash & (buckets.count - 1))];
        entries[index]->next = head;
        head = index;
    }

    void ResetBuckets(int32_t bucketCount) {
        buckets.Clear();
        buckets.Reserve(bucketCount);
        for (int32_t i = 0; i < bucketCount; ++i) {
            buckets.Push(-1);
        }
        for (int32_t i = 0; i < entries.count; ++i) {
            Link(i);
        }
    }

    Array<Entry*> entries;
    Array<int32_t> buckets;  // a power of two in size
};

// The members of one struct, name to Type, in declaration order.
typedef NameHashMap<Type> MemberTable;

// Struct name to member table. The tokenizer asks it whether an identifier names a struct.
class StructTable : public TypeNameLookup {
public:
    StructTable() {}
    ~StructTable() { Clear(); }

    bool IsTypeName(const char* name) const override { return Find(name) != nullptr; }

    MemberTable* Find(const char* name) const;
    // Registers an empty member table under name, or returns the one already registered.
    MemberTable* Register(const char* name);
    // Registers members under name when the name is free; takes ownership of members either
    // way (freeing them when the name was taken). False when the name was already registered.
    bool Adopt(const char* name, MemberTable* members);
    void Clear();

    int32_t Count() const { return tables.Count(); }

private:
    NameHashMap<MemberTable*> tables;
};

// One function known to the analyzer: a built-in or the first node declared under a key.
struct FunctionEntry {
    Symbol* function;
    uint8_t defined;
    uint8_t referenced;
};

typedef NameHashMap<FunctionEntry> FunctionTable;

}  // namespace ShaderTool
