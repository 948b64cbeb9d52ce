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
#include "services/ServiceInterfaces.h"
#include "services/SimulatedCloudStore.h"

#define ZQI_SIMULATED_CLOUD_FILE "user://simulated.cloud"

// Adds the entries of a file image to the store. Keys are read whole, however long. Reading stops
// at the end of the data (counts, sizes and keys that claim more are cut there); a wrong header
// adds nothing; entries of size 0 are skipped. Returns the number of entries stored.
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
    // Loads the file into the store (a missing file or another header: empty store). A file that
    // exists but cannot be read is set aside (ZQI_SetAsideFile), never overwritten; when it cannot
    // be moved either, this run keeps the store in memory only.
    bool Initialize() override;

    void Write(const char* key, const void* data, uint32_t size) override;
    zq_buffer_t* Read(const char* key) override;
    void Delete(const char* key) override;

private:
    void SetAsideUnreadableFile();
    void Save();

    SimulatedCloudStore store_;
    bool saveRefused_ = false;  // the stored file could be neither read nor moved aside
};
