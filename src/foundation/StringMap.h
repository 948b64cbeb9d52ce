// StringMap<T>: a small name-to-value map: an Array of heap entries {String key,
// value}, kept in insertion order and searched linearly by exact, case-sensitive text
// comparison. There is no removal of single entries. Not thread-safe; owners lock.
// Walk the entries in insertion order with data[0 .. count-1] (or a range-for over the map).
#pragma once

#include <cstring>

#include "foundation/Array.h"
#include "foundation/String.h"

template <typename T>
struct StringMapEntry {
    String key;
    T value;  // 8-byte slot in the engine's uses: a pointer, or an int32 for StringMap<int>
};

template <typename T>
class StringMap : public Array<StringMapEntry<T>*> {
public:
    typedef StringMapEntry<T> Entry;

    StringMap() {}
    ~StringMap() { DeleteAll(); }
    StringMap(const StringMap&) = delete;  // entries are owned: no shallow copies
    StringMap& operator=(const StringMap&) = delete;

    // Address of the value of the first entry whose key equals name. When there is none, a new
    // entry (key assigned from name, value zero) is appended by the push rule. A null name never
    // matches, so each call with null appends an entry with an empty (null) key.
    T* GetOrCreate(const char* name) {
        Entry* entry = Find(name);
        if (entry == nullptr) {
            entry = new (std::nothrow) Entry();
            if (entry == nullptr) {
                return nullptr;
            }
            entry->key.Assign(name);
            entry->value = T();
            this->Push(entry);
            if (this->count == 0 || this->data[this->count - 1] != entry) {
                delete entry;  // out of memory while growing the table
                return nullptr;
            }
        }
        return &entry->value;
    }

    // The first entry whose key equals name, or null (also for a null name); never inserts.
    Entry* Find(const char* name) const {
        if (name == nullptr) {
            return nullptr;
        }
        for (int32_t i = 0; i < this->count; ++i) {
            Entry* entry = this->data[i];
            if (entry->key.data != nullptr && strcmp(entry->key.data, name) == 0) {
                return entry;
            }
        }
        return nullptr;
    }

    bool Contains(const char* name) const { return Find(name) != nullptr; }

    // Releases every entry (its key, then the entry), sets count to 0 and releases the table:
    // afterwards data is null and capacity 0. Also the destructor.
    void DeleteAll() {
        for (int32_t i = 0; i < this->count; ++i) {
            delete this->data[i];
        }
        this->count = 0;
        Array<Entry*>::ReleaseBlock(this->data);
        this->data = nullptr;
        this->capacity = 0;
    }
};
