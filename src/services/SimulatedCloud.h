// The simulated cloud (feature word SIMULATED_CLOUD): the program's cloud blobs kept in one file
// on the user's machine, "user://simulated.cloud". The store keeps insertion order (a rewritten
// key keeps its place); every write saves the whole store, deletions reach the file with the
// next write. No lock: the program calls it from one thread at a time. Other instances of the game
// may save the same file: each save holds the user folder's lock (FolderLock.h) throughout, and one
// that cannot take it within the folder wait answers failure; the load at start holds it too.
//
// File layout, little-endian: "SIMULATED_CLOUD" and its NUL (16 bytes), u32 entry count, then
// per entry the key and its NUL, u32 blob size and the blob's bytes.
#pragma once

#include <cstdint>

#include "filesystem/FolderLock.h"
#include "foundation/ByteStream.h"
#include "services/ServiceInterfaces.h"
#include "services/SimulatedCloudStore.h"

#define ZQI_SIMULATED_CLOUD_FILE "user://simulated.cloud"

// Adds the entries of a file image to the store. Keys are read whole, however long. Reading stops
// at the first entry that does not lie whole inside the data (its size or key claims more), or
// after the counted entries; a wrong header adds nothing; entries of size 0 are skipped. Returns
// the number of entries stored. *whole (when given) tells whether the image was exactly what the
// writer makes: the header, the count, that many entries and nothing after them. Otherwise it is
// damaged: what follows the damage cannot be found in a length-prefixed file, and what was read
// before it is all that can be trusted.
int32_t ZQI_LoadSimulatedCloudImage(SimulatedCloudStore& store, const uint8_t* bytes, int32_t size,
                                    bool* whole);
// The file image of the store; false when it would not fit in memory or 32 bits.
bool ZQI_BuildSimulatedCloudImage(const SimulatedCloudStore& store, ByteStream* image);

class SimulatedCloudImplementation final : public CloudImplementation {
public:
    // folderWait: how long a save waits for another instance of the game to let go of the user
    // folder.
    explicit SimulatedCloudImplementation(
        uint32_t folderWait = ZQFileSystem::ZQI_SAVE_FOLDER_WAIT_MILLISECONDS)
        : folderWait_(folderWait) {}
    ~SimulatedCloudImplementation() { ZQI_ClearCloudStore(store_); }

    void Destroy(uint32_t flags) override { ZQI_DestroyEngineObject(this, flags); }
    ImplementationType GetType() override { return IMPLEMENTATION_CLOUD; }
    const char* GetName() override { return "Simulated"; }
    // Loads the file into the store (a missing file: empty store). A file that exists but cannot
    // be read, or is damaged, is set aside whole (ZQI_SetAsideFile), never overwritten: the
    // entries read before the damage stay in the store and are saved anew; when the file cannot
    // be moved either, this run keeps the store in memory only.
    bool Initialize() override;

    void Write(const char* key, const void* data, uint32_t size) override;
    zq_buffer_t* Read(const char* key) override;
    void Delete(const char* key) override;

private:
    // Reads the stored file into the store, setting it aside where it must be: the number of
    // entries stored. Under the user folder's lock, or without it (logged) once the wait has run out.
    int32_t LoadStoredFile();
    // Moves the stored file aside (damaged: kept entries read before the damage); when it cannot
    // be moved, the store is not saved this run.
    void SetAsideStoredFile(bool damaged, int32_t kept);
    void Save();

    SimulatedCloudStore store_;
    uint32_t folderWait_;
    bool saveRefused_ = false;  // the stored file could be neither read nor moved aside
};
