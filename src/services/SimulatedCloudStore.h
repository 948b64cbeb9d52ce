// The simulated cloud's blob store: key to blob in store order (insertion order; a rewritten key
// keeps its place). The entries form a list in that order, so a removal shifts nothing, and an
// ordered index finds a key in O(log n) comparisons whatever the keys are, so a file of n keys
// loads in O(n log n). Not thread-safe: the cloud takes no lock.
#pragma once

#include <cstdint>
#include <map>

#include "foundation/ByteStream.h"
#include "foundation/String.h"

struct SimulatedCloudEntry {
    String key;
    ByteStream* blob;  // owned
    SimulatedCloudEntry* previous;
    SimulatedCloudEntry* next;
};

// Orders keys byte for byte and counts every comparison it makes.
struct SimulatedCloudKeyOrder {
    uint64_t* comparisons;
    bool operator()(const char* left, const char* right) const;
};

struct SimulatedCloudStore {
    SimulatedCloudStore();
    ~SimulatedCloudStore();  // frees every entry and blob
    SimulatedCloudStore(const SimulatedCloudStore&) = delete;
    SimulatedCloudStore& operator=(const SimulatedCloudStore&) = delete;

    SimulatedCloudEntry* first;  // store order; walk with next
    SimulatedCloudEntry* last;
    int32_t count;
    uint64_t keyComparisons;  // made by the index since the store was made: what lookups cost
    std::map<const char*, SimulatedCloudEntry*, SimulatedCloudKeyOrder> index;  // keys owned by entries
};

// Stores a copy of size bytes under the key: an existing key keeps its place and gets the new
// bytes. False (nothing changed) when memory runs out.
bool ZQI_StoreCloudBlob(SimulatedCloudStore& store, const char* key, const void* data, uint32_t size);
// The blob stored under the key; null when there is none (or for a null key).
const ByteStream* ZQI_FindCloudBlob(const SimulatedCloudStore& store, const char* key);
// Removes the key's entry and frees its blob, the others keeping their order; false when absent.
bool ZQI_RemoveCloudBlob(SimulatedCloudStore& store, const char* key);
// Frees every blob and empties the store.
void ZQI_ClearCloudStore(SimulatedCloudStore& store);
