// The simulated cloud (feature word SIMULATED_CLOUD): the program's cloud blobs kept in one file
// on the user's machine, "user://simulated.cloud". The store keeps insertion order (a rewritten
// key keeps its place); every write saves the whole store, deletions reach the file with the
// next write. No lock: the program calls it from one thread at a time.
//
// File layout, little-endian: "SIMULATED_CLOUD" and its NUL (16 bytes), u32 entry count, then
// per entry the key and its NUL, u32 blob size and the blob's bytes.
#pragma once

#include <cstdint>

#include "foundation/ByteStream.h"
#include "foundation/StringMap.h"
#include "services/ServiceInterfaces.h"

#define ZQI_SIMULATED_CLOUD_FILE "user://simulated.cloud"

// Key to blob, in insertion order; the blobs are owned.
typedef StringMap<ByteStream*> SimulatedCloudStore;

// Stores a copy of size bytes under the key: an existing key keeps its place and gets the new
// bytes. False (nothing changed) when memory runs out.
bool ZQI_StoreCloudBlob(SimulatedCloudStore& store, const char* key, const void* data, uint32_t size);
// Frees every blob and empties the store.
void ZQI_ClearCloudStore(SimulatedCloudStore& store);
// Adds the entries of a file image to the store. Reading stops at the end of the data (counts,
// sizes and keys that claim more are cut there); a wrong header adds nothing; entries of size 0
// are skipped. Returns the number of entries stored.
int32_t ZQI_LoadSimulatedCloudImage(SimulatedCloudStore& store, const uint8_t* bytes, int32_t size);
// The file image of the store; false when it would not fit in memory or 32 bits.
bool ZQI_BuildSimulatedCloudImage(const SimulatedCloudStore& store, ByteStream* image);

class SimulatedCloudImplementation final : public CloudImplementation {
public:
    SimulatedCloudImplementation() {}
    ~SimulatedCloudImplementation() { ZQI_ClearCloudStore(store_); }

    void Destroy(uint32_t flags) override { ZQI_DestroyEngineObject(this, flags); }
    ImplementationType GetType() override { return IMPLEMENTATION_CLOUD; }
    const char* GetName() override { return "Simulated"; }
    // Loads the file into the store (a missing file or another header: empty store).
    bool Initialize() override;

    void Write(const char* key, const void* data, uint32_t size) override;
    zq_buffer_t* Read(const char* key) override;
    void Delete(const char* key) override;

private:
    void Save();

    SimulatedCloudStore store_;
};
