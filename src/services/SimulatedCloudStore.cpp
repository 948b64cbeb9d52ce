// The simulated cloud's blob store: the entry list in store order and the ordered key index.
#include "services/SimulatedCloudStore.h"

#include <cstring>
#include <new>

namespace {

SimulatedCloudEntry* FindEntry(const SimulatedCloudStore& store, const char* key) {
    if (key == nullptr) {
        return nullptr;
    }
    auto found = store.index.find(key);
    return found != store.index.end() ? found->second : nullptr;
}

void Unlink(SimulatedCloudStore& store, SimulatedCloudEntry* entry) {
    (entry->previous != nullptr ? entry->previous->next : store.first) = entry->next;
    (entry->next != nullptr ? entry->next->previous : store.last) = entry->previous;
    --store.count;
}

void Append(SimulatedCloudStore& store, SimulatedCloudEntry* entry) {
    entry->previous = store.last;
    entry->next = nullptr;
    (store.last != nullptr ? store.last->next : store.first) = entry;
    store.last = entry;
    ++store.count;
}

}  // namespace

bool SimulatedCloudKeyOrder::operator()(const char* left, const char* right) const {
    ++*comparisons;
    return strcmp(left, right) < 0;
}

SimulatedCloudStore::SimulatedCloudStore()
    : first(nullptr),
      last(nullptr),
      count(0),
      keyComparisons(0),
      index(SimulatedCloudKeyOrder{&keyComparisons}) {}

SimulatedCloudStore::~SimulatedCloudStore() {
    ZQI_ClearCloudStore(*this);
}

bool ZQI_StoreCloudBlob(SimulatedCloudStore& store, const char* key, const void* data, uint32_t size) {
    if (key == nullptr || size > static_cast<uint32_t>(INT32_MAX) || (data == nullptr && size > 0)) {
        return false;
    }
    ByteStream* blob = new (std::nothrow) ByteStream();
    if (blob == nullptr || (size > 0 && !blob->Write(data, static_cast<int32_t>(size)))) {
        delete blob;
        return false;
    }
    if (SimulatedCloudEntry* entry = FindEntry(store, key)) {
        delete entry->blob;  // a rewritten key keeps its place with the new bytes
        entry->blob = blob;
        return true;
    }
    SimulatedCloudEntry* entry = new (std::nothrow) SimulatedCloudEntry();
    if (entry == nullptr) {
        delete blob;
        return false;
    }
    entry->key.Assign(key);
    entry->blob = blob;
    store.index.emplace(entry->key.CStr(), entry);
    Append(store, entry);
    return true;
}

const ByteStream* ZQI_FindCloudBlob(const SimulatedCloudStore& store, const char* key) {
    const SimulatedCloudEntry* entry = FindEntry(store, key);
    return entry != nullptr ? entry->blob : nullptr;
}

bool ZQI_RemoveCloudBlob(SimulatedCloudStore& store, const char* key) {
    SimulatedCloudEntry* entry = FindEntry(store, key);
    if (entry == nullptr) {
        return false;
    }
    store.index.erase(entry->key.CStr());
    Unlink(store, entry);
    delete entry->blob;
    delete entry;
    return true;
}

void ZQI_ClearCloudStore(SimulatedCloudStore& store) {
    store.index.clear();
    for (SimulatedCloudEntry* entry = store.first; entry != nullptr;) {
        SimulatedCloudEntry* next = entry->next;
        delete entry->blob;
        delete entry;
        entry = next;
    }
    store.first = nullptr;
    store.last = nullptr;
    store.count = 0;
}
