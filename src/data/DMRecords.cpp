// Lookups, changes and destruction of the data manager's records, and the choice of reader by
// file extension.
#include "data/DMRecords.h"

#include <cstddef>
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

// The text pool's first chunk suits a small database; later chunks double up to the cap, so a
// large file needs few chunks and a lookup by address stays short.
const size_t kFirstPoolChunkBytes = 16 * 1024;
const size_t kMaxPoolChunkBytes = 8 * 1024 * 1024;

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

// The pool of the database a record belongs to; null for a record outside a database.
const DMTextPool* PoolOf(const DMArray* array) {
    return array != nullptr && array->database != nullptr ? &array->database->textPool : nullptr;
}

DMTextPool* PoolOf(DMNode* node) {
    DMArray* array = node->array;
    return array != nullptr && array->database != nullptr ? &array->database->textPool : nullptr;
}

bool IsPooled(const DMTextPool* pool, const void* storage) {
    return pool != nullptr && pool->Owns(storage);
}

// Frees a text of a record unless it lives in the record's pool (which frees it with the rest).
void ReleaseText(char* text, const DMTextPool* pool) {
    if (!IsPooled(pool, text)) {
        free(text);
    }
}

// A pair's key and first value are made in one block: the key, a NUL, the value (empty for a
// null value) and a NUL. Half the allocations of a loaded database are saved that way. A value
// set later gets a block of its own; the byte after the key's NUL always belongs to the key's
// block, so no separate block can start there and the test below cannot be fooled.
bool ValueSharesKeyBlock(const DMKeyValue& pair) {
    return pair.key != nullptr && pair.value == pair.key + strlen(pair.key) + 1;
}

// The pool test comes first: a pooled pair's value needs no strlen of its key.
void ReleasePairValue(DMKeyValue& pair, const DMTextPool* pool) {
    if (!IsPooled(pool, pair.value) && !ValueSharesKeyBlock(pair)) {
        free(pair.value);
    }
    pair.value = nullptr;
}

// The block of a new pair: key, NUL, value (empty for a null value), NUL; in the pool when
// there is one.
char* MakePairBlock(DMTextPool* pool, const char* key, size_t keyLength, const char* value,
                    size_t valueLength) {
    size_t bytes = keyLength + valueLength + 2;
    char* block = static_cast<char*>(pool != nullptr ? pool->Allocate(bytes) : malloc(bytes));
    if (block == nullptr) {
        return nullptr;
    }
    memcpy(block, key, keyLength);
    block[keyLength] = '\0';
    char* valueCopy = block + keyLength + 1;
    if (valueLength > 0) {
        memcpy(valueCopy, value, valueLength);
    }
    valueCopy[valueLength] = '\0';
    return block;
}

// A full pair table in the pool cannot grow in place, nor be freed by the growing: the pairs move
// to a heap block of the same size first, and the pool keeps the old one. False when out of
// memory (the table is unchanged).
bool MoveFullPooledTable(Array<DMKeyValue>& pairs, const DMTextPool* owner) {
    if (pairs.count < pairs.capacity || !IsPooled(owner, pairs.data)) {
        return true;
    }
    size_t bytes = sizeof(DMKeyValue) * static_cast<size_t>(pairs.capacity);
    DMKeyValue* heap = static_cast<DMKeyValue*>(malloc(bytes > 0 ? bytes : 1));
    if (heap == nullptr) {
        return false;
    }
    memcpy(static_cast<void*>(heap), pairs.data, bytes);
    pairs.data = heap;
    return true;
}

// Appends a pair made from key[0 .. keyLength) and value[0 .. valueLength) (value may be null),
// its texts in pool (on the heap when pool is null), to pairs, whose table may lie in owner;
// returns the stored value, null when the value is null or the pair could not be stored.
const char* AppendPairTo(Array<DMKeyValue>& pairs, const DMTextPool* owner, DMTextPool* pool, const char* key,
                         size_t keyLength, const char* value, size_t valueLength) {
    if (!MoveFullPooledTable(pairs, owner)) {
        return nullptr;
    }
    char* block = MakePairBlock(pool, key, keyLength, value, valueLength);
    if (block == nullptr) {
        return nullptr;
    }
    DMKeyValue pair;
    pair.key = block;
    pair.keyHash = ZQI_HashNameN(key, keyLength);
    pair.value = value != nullptr ? block + keyLength + 1 : nullptr;
    int32_t before = pairs.count;
    pairs.Push(pair);
    if (pairs.count == before) {  // out of memory: the pair was dropped, its texts with it
        if (pool == nullptr) {
            free(block);
        }
        return nullptr;
    }
    return pair.value;
}

void AppendCopiedPair(Array<DMKeyValue>& pairs, const DMTextPool* owner, const char* key, const char* value) {
    if (key == nullptr) {
        return;  // every stored pair has a key
    }
    AppendPairTo(pairs, owner, nullptr, key, strlen(key), value, value != nullptr ? strlen(value) : 0);
}

// The shared rule of DMNode::SetValue and DMArray::SetValue once "id" is dealt with.
void SetPairValue(Array<DMKeyValue>& pairs, const DMTextPool* pool, const char* key, const char* value) {
    int32_t index = FindPair(pairs, key);
    if (index < 0) {
        AppendCopiedPair(pairs, pool, key, value);
        return;
    }
    if (value == nullptr) {
        return;  // a null value never erases a stored one
    }
    char* copy = ZQI_DataManagerCopyText(value);
    if (copy == nullptr) {
        return;
    }
    ReleasePairValue(pairs[index], pool);
    pairs[index].value = copy;
}

void ReleasePairs(Array<DMKeyValue>& pairs, const DMTextPool* pool) {
    for (int32_t i = 0; i < pairs.count; ++i) {
        ReleasePairValue(pairs[i], pool);
        ReleaseText(pairs[i].key, pool);
    }
    pairs.count = 0;
}

// Replaces an owned id text and its hash. The copy is made before the old text goes: text may
// be the old id itself (node->SetId(node->id)).
void ReplaceId(char** id, uint32_t* idHash, const char* text, const DMTextPool* pool) {
    char* copy = ZQI_DataManagerCopyText(text);
    ReleaseText(*id, pool);
    *id = copy;
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

// ---- DMTextPool -------------------------------------------------------------------------------

DMTextPool::DMTextPool()
    : cursor_(nullptr), limit_(nullptr), nextChunkBytes_(kFirstPoolChunkBytes), lastHit_(0) {}

DMTextPool::~DMTextPool() {
    Release();
}

char* DMTextPool::Allocate(size_t bytes) {
    if (bytes <= static_cast<size_t>(limit_ - cursor_)) {
        char* text = cursor_;
        cursor_ += bytes;
        return text;
    }
    return AllocateInNewChunk(bytes);
}

void* DMTextPool::AllocateRecord(size_t bytes) {
    // Chunks come from malloc, so aligning the cursor aligns the address.
    const size_t alignment = alignof(std::max_align_t);
    size_t used = chunks_.count > 0 ? static_cast<size_t>(cursor_ - chunks_[chunks_.count - 1].begin) : 0;
    size_t padding = (alignment - used % alignment) % alignment;
    if (padding + bytes <= static_cast<size_t>(limit_ - cursor_)) {
        char* record = cursor_ + padding;
        cursor_ = record + bytes;
        return record;
    }
    return AllocateInNewChunk(bytes);  // a new chunk starts aligned
}

bool DMTextPool::Adopt(char* block, size_t bytes) {
    Chunk chunk;
    chunk.begin = block;
    chunk.end = block + bytes;
    int32_t before = chunks_.count;
    chunks_.Push(chunk);
    if (chunks_.count == before) {
        return false;
    }
    cursor_ = chunk.end;
    limit_ = chunk.end;
    return true;
}

char* DMTextPool::AllocateInNewChunk(size_t bytes) {
    size_t chunkBytes = bytes > nextChunkBytes_ ? bytes : nextChunkBytes_;
    Chunk chunk;
    chunk.begin = static_cast<char*>(malloc(chunkBytes));
    if (chunk.begin == nullptr) {
        return nullptr;
    }
    chunk.end = chunk.begin + chunkBytes;
    int32_t before = chunks_.count;
    chunks_.Push(chunk);
    if (chunks_.count == before) {
        free(chunk.begin);
        return nullptr;
    }
    if (nextChunkBytes_ < kMaxPoolChunkBytes) {
        nextChunkBytes_ *= 2;
    }
    cursor_ = chunk.begin + bytes;
    limit_ = chunk.end;
    return chunk.begin;
}

bool DMTextPool::Owns(const void* text) const {
    if (text == nullptr) {
        return false;
    }
    // Addresses as integers: comparing pointers into different blocks is not defined otherwise.
    // Records are released in the order their texts were made, so the chunk of the last hit is
    // tried first; then the newest chunks, which are the largest.
    uintptr_t address = reinterpret_cast<uintptr_t>(text);
    if (lastHit_ < chunks_.count && InChunk(chunks_[lastHit_], address)) {
        return true;
    }
    for (int32_t i = chunks_.count - 1; i >= 0; --i) {
        if (InChunk(chunks_[i], address)) {
            lastHit_ = i;
            return true;
        }
    }
    return false;
}

bool DMTextPool::InChunk(const Chunk& chunk, uintptr_t address) {
    return address >= reinterpret_cast<uintptr_t>(chunk.begin) &&
           address < reinterpret_cast<uintptr_t>(chunk.end);
}

DMTextPool::Mark DMTextPool::GetMark() const {
    Mark mark;
    mark.chunkCount = chunks_.count;
    mark.used = chunks_.count > 0 ? static_cast<size_t>(cursor_ - chunks_[chunks_.count - 1].begin) : 0;
    return mark;
}

void DMTextPool::Rewind(const Mark& mark) {
    while (chunks_.count > mark.chunkCount) {
        free(chunks_[chunks_.count - 1].begin);
        --chunks_.count;
    }
    if (chunks_.count == 0) {
        cursor_ = nullptr;
        limit_ = nullptr;
        return;
    }
    const Chunk& last = chunks_[chunks_.count - 1];
    cursor_ = last.begin + mark.used;
    limit_ = last.end;
}

void DMTextPool::Release() {
    for (int32_t i = 0; i < chunks_.count; ++i) {
        free(chunks_[i].begin);
    }
    Array<Chunk>::ReleaseBlock(chunks_.data);
    chunks_.data = nullptr;
    chunks_.count = 0;
    chunks_.capacity = 0;
    cursor_ = nullptr;
    limit_ = nullptr;
    nextChunkBytes_ = kFirstPoolChunkBytes;
    lastHit_ = 0;
}

// ---- DMNode -----------------------------------------------------------------------------------

DMNode::DMNode() : id(nullptr), idHash(0), array(nullptr) {}

DMNode::~DMNode() {
    const DMTextPool* pool = PoolOf(this);
    ReleaseText(id, pool);
    ReleasePairs(values, pool);
    if (IsPooled(pool, values.data)) {
        values.data = nullptr;  // the pool frees the table with the rest
    }
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
    ReplaceId(&id, &idHash, text, PoolOf(this));
}

void DMNode::SetValue(const char* key, const char* value) {
    if (key == nullptr) {
        return;
    }
    if (strcmp(key, "id") != 0) {
        SetPairValue(values, PoolOf(this), key, value);
        return;
    }
    // The value may be the node's own id (SetValue("id", node->id)), which SetId releases, so
    // the pair is set from a copy taken first.
    char* held = ZQI_DataManagerCopyText(value);
    if (value != nullptr && held == nullptr) {
        return;  // out of memory: nothing changes
    }
    SetId(held);
    SetPairValue(values, PoolOf(this), key, held);
    free(held);
}

void DMNode::AppendPair(const char* key, const char* value) {
    AppendCopiedPair(values, PoolOf(this), key, value);
}

const char* DMNode::AppendLoadedPair(const char* key, size_t keyLength, const char* value,
                                     size_t valueLength) {
    DMTextPool* pool = PoolOf(this);
    return AppendPairTo(values, pool, pool, key, keyLength, value, valueLength);
}

void DMNode::SetLoadedId(const char* text, size_t length) {
    DMTextPool* pool = PoolOf(this);
    if (!IsPooled(pool, text)) {
        SetId(text);
        return;
    }
    // Pooled texts are never written to nor freed one by one, so the pair and the id can share it.
    ReleaseText(id, pool);
    id = const_cast<char*>(text);
    idHash = ZQI_HashNameN(id, length);
}

// ---- DMArray ----------------------------------------------------------------------------------

DMArray::DMArray() : id(nullptr), idHash(0), database(nullptr) {}

DMArray::~DMArray() {
    const DMTextPool* pool = PoolOf(this);
    ReleaseText(id, pool);
    for (DMNode* node : nodes) {
        DestroyNode(node);
    }
    nodes.count = 0;
    ReleasePairs(attributes, pool);
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
    ReplaceId(&id, &idHash, text, PoolOf(this));
}

void DMArray::SetValue(const char* key, const char* value) {
    if (key == nullptr) {
        return;
    }
    if (strcmp(key, "id") == 0) {
        SetId(value);
        return;
    }
    SetPairValue(attributes, PoolOf(this), key, value);
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

namespace {

// True when text[0 .. length] (its NUL included) lies inside the stretch of pairs.
bool InStretch(const DMLoadedPairs& pairs, const char* text, int32_t length) {
    uintptr_t begin = reinterpret_cast<uintptr_t>(pairs.text);
    uintptr_t at = reinterpret_cast<uintptr_t>(text);
    return pairs.text != nullptr && at >= begin && at - begin < static_cast<uintptr_t>(pairs.textLength) &&
           static_cast<uintptr_t>(pairs.textLength) - (at - begin) > static_cast<uintptr_t>(length) &&
           text[length] == '\0';
}

// Bytes of the copies: the stretch once, and each text outside it with its NUL.
size_t LoadedTextBytes(const DMLoadedPairs& pairs) {
    size_t bytes = pairs.text != nullptr && !pairs.textPooled ? static_cast<size_t>(pairs.textLength) : 0;
    for (int32_t i = 0; i < pairs.pairCount; ++i) {
        bytes += InStretch(pairs, pairs.keys[i], pairs.keyLengths[i])
                     ? 0
                     : static_cast<size_t>(pairs.keyLengths[i]) + 1;
        bytes += InStretch(pairs, pairs.values[i], pairs.valueLengths[i])
                     ? 0
                     : static_cast<size_t>(pairs.valueLengths[i]) + 1;
    }
    return bytes;
}

// The copy of text: inside the copied stretch when it lies in the stretch, else made at *room.
char* CopyLoadedText(const DMLoadedPairs& pairs, const char* stretchCopy, const char* text, int32_t length,
                     char** room) {
    if (InStretch(pairs, text, length)) {
        return const_cast<char*>(stretchCopy + (text - pairs.text));
    }
    char* copy = *room;
    if (length > 0) {
        memcpy(copy, text, static_cast<size_t>(length));
    }
    copy[length] = '\0';
    *room += length + 1;
    return copy;
}

}  // namespace

DMNode* DMArray::AddLoadedNode(const DMLoadedPairs& pairs, int32_t spareSlots) {
    DMTextPool* pool = database != nullptr ? &database->textPool : nullptr;
    int32_t slots = pairs.pairCount + spareSlots;
    if (pool == nullptr) {
        DMNode* node = AddNode();
        if (node != nullptr) {
            node->values.Reserve(slots);
            for (int32_t i = 0; i < pairs.pairCount; ++i) {
                node->AppendLoadedPair(pairs.keys[i], static_cast<size_t>(pairs.keyLengths[i]),
                                       pairs.values[i], static_cast<size_t>(pairs.valueLengths[i]));
            }
        }
        return node;
    }
    // One piece: the node, its pair table, the stretch (unless it is pooled already), then the
    // texts from elsewhere.
    static_assert(sizeof(DMNode) % alignof(DMKeyValue) == 0, "the pair table follows the node");
    size_t tableBytes = sizeof(DMKeyValue) * static_cast<size_t>(slots);
    char* piece =
        static_cast<char*>(pool->AllocateRecord(sizeof(DMNode) + tableBytes + LoadedTextBytes(pairs)));
    if (piece == nullptr) {
        return nullptr;
    }
    DMNode* node = new (piece) DMNode();
    node->array = this;
    int32_t before = nodes.count;
    nodes.Push(node);
    if (nodes.count == before) {
        node->~DMNode();  // its storage stays in the pool
        return nullptr;
    }
    // An empty table gets no address: piece + sizeof(DMNode) would be the end of the record,
    // which may be the end of its chunk, where the pool no longer recognises it as its own, and
    // the node's release or its first push would hand it to free().
    DMKeyValue* table = slots > 0 ? reinterpret_cast<DMKeyValue*>(piece + sizeof(DMNode)) : nullptr;
    char* room = piece + sizeof(DMNode) + tableBytes;
    const char* stretchCopy = pairs.text;
    if (pairs.text != nullptr && !pairs.textPooled) {
        stretchCopy = room;
        if (pairs.textLength > 0) {
            memcpy(room, pairs.text, static_cast<size_t>(pairs.textLength));
        }
        room += pairs.textLength;
    }
    for (int32_t i = 0; i < pairs.pairCount; ++i) {
        DMKeyValue& pair = table[i];
        pair.key = CopyLoadedText(pairs, stretchCopy, pairs.keys[i], pairs.keyLengths[i], &room);
        pair.keyHash = ZQI_HashNameN(pair.key, static_cast<size_t>(pairs.keyLengths[i]));
        pair.value = CopyLoadedText(pairs, stretchCopy, pairs.values[i], pairs.valueLengths[i], &room);
    }
    node->values.data = table;
    node->values.capacity = slots;
    node->values.count = pairs.pairCount;
    return node;
}

void DMArray::DestroyNode(DMNode* node) {
    if (node == nullptr) {
        return;
    }
    if (IsPooled(PoolOf(this), node)) {
        node->~DMNode();
    } else {
        delete node;
    }
}

void DMArray::DeleteNode(int32_t i) {
    if (i < 0 || i >= nodes.count) {
        return;
    }
    DestroyNode(nodes[i]);
    nodes.RemoveAt(i);
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
    textPool.Release();  // no record is left to point into it
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
    ReplaceId(&name, &nameHash, fileName, nullptr);
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
