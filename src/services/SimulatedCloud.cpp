// The simulated cloud: the blob store, its file image both ways, and the implementation that
// keeps "user://simulated.cloud" in step with the store.
#include "services/SimulatedCloud.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "core/ApiTable.h"
#include "core/Buffer.h"
#include "core/Log.h"
#include "filesystem/FileSystemApi.h"

namespace {

const char kHeader[] = "SIMULATED_CLOUD";
const int32_t kHeaderSize = static_cast<int32_t>(sizeof(kHeader));  // with its NUL: 16 bytes
const int32_t kSizeFieldBytes = 4;
const char kTemporaryPath[] = ZQI_SIMULATED_CLOUD_FILE ".tmp";

int32_t Remaining(const ByteStream& stream) {
    return stream.size - stream.readPosition;
}

// ByteStream::ReadU32 reports a short read as an error; a file that simply ends is no error here.
bool ReadCount(ByteStream& stream, uint32_t* value) {
    return Remaining(stream) >= kSizeFieldBytes && stream.ReadU32(value);
}

int32_t FindIndex(const SimulatedCloudStore& store, const char* key) {
    StringMapEntry<ByteStream*>* entry = store.Find(key);
    for (int32_t i = 0; entry != nullptr && i < store.count; ++i) {
        if (store[i] == entry) {
            return i;
        }
    }
    return -1;
}

}  // namespace

bool ZQI_StoreCloudBlob(SimulatedCloudStore& store, const char* key, const void* data, uint32_t size) {
    if (key == nullptr || size > static_cast<uint32_t>(INT32_MAX) || (data == nullptr && size > 0)) {
        return false;
    }
    ByteStream* blob = new (std::nothrow) ByteStream();
    if (blob == nullptr || (size > 0 && !blob->Write(data, static_cast<int32_t>(size)))) {
        delete blob;
        return false;
    }
    ByteStream** slot = store.GetOrCreate(key);
    if (slot == nullptr) {
        delete blob;
        return false;
    }
    delete *slot;  // a rewritten key keeps its place with the new bytes
    *slot = blob;
    return true;
}

void ZQI_ClearCloudStore(SimulatedCloudStore& store) {
    for (StringMapEntry<ByteStream*>* entry : store) {
        delete entry->value;
    }
    store.DeleteAll();
}

int32_t ZQI_LoadSimulatedCloudImage(SimulatedCloudStore& store, const uint8_t* bytes, int32_t size) {
    if (bytes == nullptr || size < kHeaderSize) {
        return 0;
    }
    ByteStream stream;
    stream.WrapExternal(const_cast<uint8_t*>(bytes), size);  // read only
    if (!stream.ReadString().Equals(kHeader)) {
        return 0;
    }
    uint32_t count = 0;
    if (!ReadCount(stream, &count)) {
        return 0;
    }
    int32_t stored = 0;
    for (uint32_t i = 0; i < count && Remaining(stream) > 0; ++i) {
        String key = stream.ReadString();
        uint32_t blobSize = 0;
        if (!ReadCount(stream, &blobSize) || blobSize > static_cast<uint32_t>(Remaining(stream))) {
            break;  // the data ends inside the entry
        }
        if (blobSize > 0 && ZQI_StoreCloudBlob(store, key.CStr(), bytes + stream.readPosition, blobSize)) {
            ++stored;
        }
        stream.readPosition += static_cast<int32_t>(blobSize);
    }
    return stored;
}

bool ZQI_BuildSimulatedCloudImage(const SimulatedCloudStore& store, ByteStream* image) {
    int64_t total = kHeaderSize + kSizeFieldBytes;
    for (const StringMapEntry<ByteStream*>* entry : store) {
        total += entry->key.Length() + 1 + kSizeFieldBytes + entry->value->size;
    }
    if (total > INT32_MAX / 2) {
        return false;  // the stream doubles its storage as it grows
    }
    bool written = image->Write(kHeader, kHeaderSize) && image->WriteU32(static_cast<uint32_t>(store.count));
    for (const StringMapEntry<ByteStream*>* entry : store) {
        const ByteStream* blob = entry->value;
        written = written && image->WriteString(entry->key.CStr()) &&
                  image->WriteU32(static_cast<uint32_t>(blob->size)) &&
                  (blob->size == 0 || image->Write(blob->data, blob->size));
    }
    return written;
}

bool SimulatedCloudImplementation::Initialize() {
    zq_file_t* file = ZQ_FileSystem_OpenFile(ZQI_SIMULATED_CLOUD_FILE, "r");
    if (file == nullptr) {
        return true;  // no file yet: an empty store
    }
    uint64_t size = file->size;
    uint8_t* bytes =
        size <= static_cast<uint64_t>(INT32_MAX) ? static_cast<uint8_t*>(malloc(size + 1)) : nullptr;
    bool read = bytes != nullptr && ZQ_FileSystem_ReadFile(bytes, size, file) == size;
    ZQ_FileSystem_CloseFile(file);
    if (!read) {
        ZQ_Log(LOG_LEVEL_ERROR, "SimulatedCloud: could not read '%s'; the store starts empty.",
               ZQI_SIMULATED_CLOUD_FILE);
        free(bytes);
        return true;
    }
    int32_t stored = ZQI_LoadSimulatedCloudImage(store_, bytes, static_cast<int32_t>(size));
    free(bytes);
    if (stored > 0) {
        Save();  // the file now holds exactly the entries of the store
    }
    return true;
}

void SimulatedCloudImplementation::Write(const char* key, const void* data, uint32_t size) {
    if (!ZQI_StoreCloudBlob(store_, key, data, size)) {
        ZQ_Log(LOG_LEVEL_ERROR, "SimulatedCloud::Write: blob of %u bytes for key '%s' not stored.", size,
               key != nullptr ? key : "");
        return;
    }
    Save();
}

zq_buffer_t* SimulatedCloudImplementation::Read(const char* key) {
    StringMapEntry<ByteStream*>* entry = store_.Find(key);
    if (entry == nullptr) {
        return nullptr;
    }
    const ByteStream* blob = entry->value;
    zq_buffer_t* buffer = ZQ_CreateBuffer(blob->size);
    if (buffer != nullptr && blob->size > 0) {
        if (buffer->data == nullptr) {
            ZQ_FreeBuffer(buffer);
            return nullptr;
        }
        memcpy(buffer->data, blob->data, static_cast<size_t>(blob->size));
    }
    return buffer;
}

void SimulatedCloudImplementation::Delete(const char* key) {
    int32_t index = FindIndex(store_, key);
    if (index < 0) {
        return;
    }
    delete store_[index]->value;
    delete store_[index];
    store_.RemoveAt(index);  // the others keep their order; the file changes with the next write
}

// Written whole to a temporary file first, so a save cut short never damages the stored one.
void SimulatedCloudImplementation::Save() {
    ByteStream image;
    if (!ZQI_BuildSimulatedCloudImage(store_, &image)) {
        ZQ_Log(LOG_LEVEL_ERROR, "SimulatedCloud: the store is too large to save.");
        return;
    }
    zq_file_t* file = ZQ_FileSystem_OpenFile(kTemporaryPath, "w");
    if (file == nullptr) {
        ZQ_Log(LOG_LEVEL_ERROR,
               "SimulatedCloud::Save: could not open '%s' for writing; the store is not saved.",
               kTemporaryPath);
        return;
    }
    uint64_t size = static_cast<uint64_t>(image.size);
    // The writes only filled a buffer: a full disk shows when it is flushed or closed.
    const bool filled = ZQ_FileSystem_WriteFile(image.data, size, file) == size;
    const bool flushed = ZQI_FlushFile(file);
    const bool written = ZQI_CloseFile(file) && filled && flushed;
    if (!written) {
        ZQ_Log(LOG_LEVEL_ERROR, "SimulatedCloud::Save: could not write '%s'; the store is not saved.",
               kTemporaryPath);
    } else if (!ZQI_CommitTemporaryFile(kTemporaryPath, ZQI_SIMULATED_CLOUD_FILE)) {
        ZQ_Log(LOG_LEVEL_ERROR, "SimulatedCloud::Save: could not replace '%s' with '%s'; the store is not saved.",
               ZQI_SIMULATED_CLOUD_FILE, kTemporaryPath);
    }
}
