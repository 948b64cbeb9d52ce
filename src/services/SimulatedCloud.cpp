// The simulated cloud: the store's file image both ways, and the implementation that keeps
// "user://simulated.cloud" in step with the store.
#include "services/SimulatedCloud.h"

#include <cstdlib>
#include <cstring>

#include "core/ApiTable.h"
#include "core/Buffer.h"
#include "core/Log.h"
#include "filesystem/FileSystemApi.h"
#include "services/SetAsideFile.h"

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

// The key at the read position, read whole up to its NUL; false when the data ends first.
bool ReadKey(ByteStream& stream, String* key) {
    const uint8_t* start = stream.data + stream.readPosition;
    const void* end = memchr(start, 0, static_cast<size_t>(Remaining(stream)));
    if (end == nullptr) {
        return false;
    }
    key->Assign(reinterpret_cast<const char*>(start));
    stream.readPosition += static_cast<int32_t>(static_cast<const uint8_t*>(end) - start) + 1;
    return true;
}

}  // namespace

int32_t ZQI_LoadSimulatedCloudImage(SimulatedCloudStore& store, const uint8_t* bytes, int32_t size,
                                    bool* whole) {
    bool unused = false;
    bool& read = whole != nullptr ? *whole : unused;
    read = false;
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
    uint32_t entries = 0;
    for (; entries < count && Remaining(stream) > 0; ++entries) {
        String key;
        uint32_t blobSize = 0;
        if (!ReadKey(stream, &key) || !ReadCount(stream, &blobSize) ||
            blobSize > static_cast<uint32_t>(Remaining(stream))) {
            break;  // the data ends inside the entry
        }
        if (blobSize > 0 && ZQI_StoreCloudBlob(store, key.CStr(), bytes + stream.readPosition, blobSize)) {
            ++stored;
        }
        stream.readPosition += static_cast<int32_t>(blobSize);
    }
    read = entries == count && Remaining(stream) == 0;
    return stored;
}

bool ZQI_BuildSimulatedCloudImage(const SimulatedCloudStore& store, ByteStream* image) {
    int64_t total = kHeaderSize + kSizeFieldBytes;
    for (const SimulatedCloudEntry* entry = store.first; entry != nullptr; entry = entry->next) {
        total += entry->key.Length() + 1 + kSizeFieldBytes + entry->blob->size;
    }
    if (total > INT32_MAX / 2) {
        return false;  // the stream doubles its storage as it grows
    }
    bool written = image->Write(kHeader, kHeaderSize) && image->WriteU32(static_cast<uint32_t>(store.count));
    for (const SimulatedCloudEntry* entry = store.first; entry != nullptr; entry = entry->next) {
        const ByteStream* blob = entry->blob;
        written = written && image->WriteString(entry->key.CStr()) &&
                  image->WriteU32(static_cast<uint32_t>(blob->size)) &&
                  (blob->size == 0 || image->Write(blob->data, blob->size));
    }
    return written;
}

bool SimulatedCloudImplementation::Initialize() {
    if (LoadStoredFile() > 0) {
        Save();  // the file now holds exactly the entries of the store
    }
    return true;
}

// Another instance of the game may be saving meanwhile. Where its commit exchanges the two files,
// the file read here becomes its temporary file, which its next save writes anew; elsewhere the
// file does not open while the commit moves it. Either way a whole file would be set aside. The
// folder's lock is held until the file is read or set aside, and let go before the save that
// follows, which takes it again.
int32_t SimulatedCloudImplementation::LoadStoredFile() {
    ZQFileSystem::FolderLock lock;
    lock.TakeForFileOrSay(ZQI_SIMULATED_CLOUD_FILE, folderWait_, LOG_LEVEL_WARNING, "SimulatedCloud",
                          "is read without its folder's lock");
    zq_file_t* file = ZQ_FileSystem_OpenFile(ZQI_SIMULATED_CLOUD_FILE, "r");
    if (file == nullptr) {
        if (ZQ_FileSystem_FileExists(ZQI_SIMULATED_CLOUD_FILE)) {
            SetAsideStoredFile(false, 0);
        }
        return 0;  // otherwise no file yet: an empty store
    }
    uint64_t size = file->size;
    uint8_t* bytes =
        size <= static_cast<uint64_t>(INT32_MAX) ? static_cast<uint8_t*>(malloc(size + 1)) : nullptr;
    bool read = bytes != nullptr && ZQ_FileSystem_ReadFile(bytes, size, file) == size;
    ZQ_FileSystem_CloseFile(file);
    if (!read) {
        free(bytes);
        SetAsideStoredFile(false, 0);
        return 0;
    }
    bool whole = false;
    int32_t stored = ZQI_LoadSimulatedCloudImage(store_, bytes, static_cast<int32_t>(size), &whole);
    free(bytes);
    // Set aside before anything is saved over it: the entries after the damage are still in there.
    if (!whole) {
        SetAsideStoredFile(true, stored);
    }
    return stored;
}

// The next save would replace blobs that may still be in the file: it is kept for the user.
void SimulatedCloudImplementation::SetAsideStoredFile(bool damaged, int32_t kept) {
    const char* problem = damaged ? "is damaged" : "could not be read";
    const String keptText =
        damaged ? String::FromFormat(" Entries read before the damage and kept: %d.", kept) : String();
    String setAsidePath;
    if (ZQI_SetAsideFile(ZQI_SIMULATED_CLOUD_FILE, &setAsidePath)) {
        ZQ_Log(LOG_LEVEL_ERROR, "SimulatedCloud: '%s' %s; moved to '%s'.%s", ZQI_SIMULATED_CLOUD_FILE,
               problem, setAsidePath.CStr(), keptText.CStr());
        return;
    }
    ZQ_Log(LOG_LEVEL_ERROR,
           "SimulatedCloud: '%s' %s and could not be moved to '%s'; the store is not saved this run.%s",
           ZQI_SIMULATED_CLOUD_FILE, problem, setAsidePath.CStr(), keptText.CStr());
    saveRefused_ = true;
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
    const ByteStream* blob = ZQI_FindCloudBlob(store_, key);
    if (blob == nullptr) {
        return nullptr;
    }
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
    ZQI_RemoveCloudBlob(store_, key);  // the file changes with the next write
}

// Written whole to a temporary file first, so a save cut short never damages the stored one.
void SimulatedCloudImplementation::Save() {
    if (saveRefused_) {
        return;  // said once at start-up
    }
    ByteStream image;
    if (!ZQI_BuildSimulatedCloudImage(store_, &image)) {
        ZQ_Log(LOG_LEVEL_ERROR, "SimulatedCloud: the store is too large to save.");
        return;
    }
    // Another instance of the game saving at the same moment uses the same temporary file: the
    // user folder's lock is held from its writing until it has taken the stored file's place.
    ZQFileSystem::FolderLock lock;
    if (!lock.TakeForFileOrSay(ZQI_SIMULATED_CLOUD_FILE, folderWait_, LOG_LEVEL_ERROR, "SimulatedCloud::Save",
                               "is not saved")) {
        return;
    }
    // Without a folder there is nothing on disk to share: the opening below fails and says so.
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
        ZQ_Log(LOG_LEVEL_ERROR,
               "SimulatedCloud::Save: could not replace '%s' with '%s'; the store is not saved.",
               ZQI_SIMULATED_CLOUD_FILE, kTemporaryPath);
    }
}
