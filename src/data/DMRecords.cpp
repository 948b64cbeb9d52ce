// Lookups, changes and destruction of the data manager's records, and the choice of reader by
// file extension.
#include "data/DMRecords.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "data/DataManager_local.h"
#include "foundation/NameHash.h"

char* ZQI_DataManagerCopyText(const char* text) {
    if (text == nullptr) {
        return nullptr;
    }
    size_t length = strlen(text);
    char* copy = static_cast<char*>(malloc(length + 1));
    if (copy != nullptr) {
        memcpy(copy, text, length + 1);
    }
    return copy;
}

namespace {

// Index of the first pair whose key equals key (hash first, then text); -1 when none.
int32_t FindPair(const Array<DMKeyValue>& pairs, const char* key) {
    uint32_t hash = ZQI_HashName(key);
    for (int32_t i = 0; i < pairs.count; ++i) {
        const DMKeyValue& pair = pairs[i];
        if (pair.keyHash == hash && pair.key != nullptr && strcmp(pair.key, key) == 0) {
            return i;
        }
    }
    return -1;
}

// A pair's key and first value are made in one block: the key, a NUL, the value (empty for a
// null value) and a NUL. Half the allocations of a loaded database are saved that way. A value
// set later gets a block of its own; the byte after the key's NUL always belongs to the key's
// block, so no separate block can start there and the test below cannot be fooled.
bool ValueSharesKeyBlock(const DMKeyValue& pair) {
    return pair.key != nullptr && pair.value == pair.key + strlen(pair.key) + 1;
}

void ReleasePairValue(DMKeyValue& pair) {
    if (!ValueSharesKeyBlock(pair)) {
        free(pair.value);
    }
    pair.value = nullptr;
}

void AppendPairTo(Array<DMKeyValue>& pairs, const char* key, const char* value) {
    if (key == nullptr) {
        return;  // every stored pair has a key
    }
    size_t keyLength = strlen(key);
    size_t valueLength = value != nullptr ? strlen(value) : 0;
    char* block = static_cast<char*>(malloc(keyLength + valueLength + 2));
    if (block == nullptr) {
        return;
    }
    memcpy(block, key, keyLength + 1);
    char* valueCopy = block + keyLength + 1;
    memcpy(valueCopy, value != nullptr ? value : "", valueLength + 1);
    DMKeyValue pair;
    pair.key = block;
    pair.keyHash = ZQI_HashNameN(key, keyLength);
    pair.value = value != nullptr ? valueCopy : nullptr;
    int32_t before = pairs.count;
    pairs.Push(pair);
    if (pairs.count == before) {  // out of memory: the pair was dropped, its texts with it
        free(block);
    }
}

// The shared rule of DMNode::SetValue and DMArray::SetValue once "id" is dealt with.
void SetPairValue(Array<DMKeyValue>& pairs, const char* key, const char* value) {
    int32_t index = FindPair(pairs, key);
    if (index < 0) {
        AppendPairTo(pairs, key, value);
        return;
    }
    if (value == nullptr) {
        return;  // a null value never erases a stored one
    }
    char* copy = ZQI_DataManagerCopyText(value);
    if (copy == nullptr) {
        return;
    }
    ReleasePairValue(pairs[index]);
    pairs[index].value = copy;
}

void ReleasePairs(Array<DMKeyValue>& pairs) {
    for (int32_t i = 0; i < pairs.count; ++i) {
        ReleasePairValue(pairs[i]);
        free(pairs[i].key);
    }
    pairs.count = 0;
}

// Replaces an owned id text and its hash.
void ReplaceId(char** id, uint32_t* idHash, const char* text) {
    free(*id);
    *id = ZQI_DataManagerCopyText(text);
    *idHash = ZQI_HashName(*id);
}

// Case-insensitive (ASCII) comparison of the last four characters of name with suffix.
bool HasExtension(const char* name, size_t length, const char* suffix) {
    const char* tail = name + length - 4;
    for (int i = 0; i < 4; ++i) {
        char c = tail[i];
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
        if (c != suffix[i]) {
            return false;
        }
    }
    return true;
}

}  // namespace

// ---- DMNode -----------------------------------------------------------------------------------

DMNode::DMNode() : id(nullptr), idHash(0), array(nullptr) {}

DMNode::~DMNode() {
    free(id);
    ReleasePairs(values);
}

const char* DMNode::GetValue(const char* key) const {
    if (key == nullptr) {
        return nullptr;
    }
    int32_t index = FindPair(values, key);
    return index >= 0 ? values[index].value : nullptr;
}

const char* DMNode::GetKeyByIndex(int32_t i) const {
    return (i >= 0 && i < values.count) ? values[i].key : nullptr;
}

void DMNode::SetId(const char* text) {
    ReplaceId(&id, &idHash, text);
}

void DMNode::SetValue(const char* key, const char* value) {
    if (key == nullptr) {
        return;
    }
    if (strcmp(key, "id") == 0) {
        SetId(value);
    }
    SetPairValue(values, key, value);
}

void DMNode::AppendPair(const char* key, const char* value) {
    AppendPairTo(values, key, value);
}

// ---- DMArray ----------------------------------------------------------------------------------

DMArray::DMArray() : id(nullptr), idHash(0), database(nullptr) {}

DMArray::~DMArray() {
    free(id);
    nodes.DeleteAll();
    ReleasePairs(attributes);
}

DMNode* DMArray::GetNode(const char* nodeId) const {
    if (nodeId == nullptr) {
        return nullptr;
    }
    uint32_t hash = ZQI_HashName(nodeId);
    for (int32_t i = 0; i < nodes.count; ++i) {
        DMNode* node = nodes[i];
        if (node->idHash == hash && node->id != nullptr && strcmp(node->id, nodeId) == 0) {
            return node;
        }
    }
    return nullptr;
}

DMNode* DMArray::GetNodeByIndex(int32_t i) const {
    return (i >= 0 && i < nodes.count) ? nodes[i] : nullptr;
}

void DMArray::SetId(const char* text) {
    ReplaceId(&id, &idHash, text);
}

void DMArray::SetValue(const char* key, const char* value) {
    if (key == nullptr) {
        return;
    }
    if (strcmp(key, "id") == 0) {
        SetId(value);
        return;
    }
    SetPairValue(attributes, key, value);
}

DMNode* DMArray::AddNode() {
    DMNode* node = new (std::nothrow) DMNode();
    if (node == nullptr) {
        return nullptr;
    }
    node->array = this;
    int32_t before = nodes.count;
    nodes.Push(node);
    if (nodes.count == before) {
        delete node;
        return nullptr;
    }
    return node;
}

void DMArray::DeleteNode(int32_t i) {
    nodes.DeleteAt(i);
}

// ---- DMDatabase -------------------------------------------------------------------------------

DMDatabase::DMDatabase() : name(nullptr), nameHash(0), maxInlineValues(5) {}

DMDatabase::DMDatabase(const char* fileName) : DMDatabase() {
    SetName(fileName);
}

DMDatabase::~DMDatabase() {
    Clear();
}

DMArray* DMDatabase::GetArray(const char* arrayId) const {
    if (arrayId == nullptr) {
        return nullptr;
    }
    for (int32_t i = 0; i < arrays.count; ++i) {
        DMArray* array = arrays[i];
        if (array->id != nullptr && strcmp(array->id, arrayId) == 0) {
            return array;
        }
    }
    return nullptr;
}

DMArray* DMDatabase::AddArray() {
    DMArray* array = new (std::nothrow) DMArray();
    if (array == nullptr) {
        return nullptr;
    }
    array->database = this;
    int32_t before = arrays.count;
    arrays.Push(array);
    if (arrays.count == before) {
        delete array;
        return nullptr;
    }
    return array;
}

void DMDatabase::DeleteArrays() {
    arrays.DeleteAll();
}

void DMDatabase::Clear() {
    DeleteArrays();
    free(name);
    name = nullptr;
    nameHash = 0;
    Array<DMArray*>::ReleaseBlock(arrays.data);
    arrays.data = nullptr;
    arrays.capacity = 0;
}

void DMDatabase::SetName(const char* fileName) {
    ReplaceId(&name, &nameHash, fileName);
}

bool DMDatabase::LoadFile(const char* fileName) {
    if (fileName == nullptr) {
        return false;
    }
    if (name == nullptr || strcmp(name, fileName) != 0) {
        SetName(fileName);
    }
    size_t length = strlen(fileName);
    if (length < 4) {
        return false;
    }
    if (HasExtension(fileName, length, ".xml") || HasExtension(fileName, length, ".dat")) {
        return LoadXMLFile(fileName);
    }
    if (HasExtension(fileName, length, ".csv")) {
        return LoadCSVFile(fileName);
    }
    ZQI_DataManagerPopup("Unknown database file type '%s'. Supported formats are: .csv .xml", fileName);
    return false;
}
