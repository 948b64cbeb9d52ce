// ZQFileSystem::MemoryFile: reading, writing and seeking over a growing heap buffer.
#include "filesystem/MemoryFile.h"

#include <cstdlib>
#include <cstring>

#include "filesystem/FileSystemServices.h"

namespace ZQFileSystem {

namespace {

const uint64_t kGrowthStep = 256;

}  // namespace

MemoryFile::MemoryFile(SchemeId scheme)
    : File(0, 0, scheme, true), data(nullptr), capacity(0), length(0), position(0) {}

MemoryFile::~MemoryFile() {
    free(data);
}

bool MemoryFile::Grow(uint64_t request) {
    uint64_t newCapacity = kGrowthStep;
    if (request != 0) {
        if (request > UINT64_MAX - (kGrowthStep - 1)) {
            return false;
        }
        newCapacity = (request + kGrowthStep - 1) / kGrowthStep * kGrowthStep;
    }
    if (newCapacity != static_cast<size_t>(newCapacity)) {
        return false;  // larger than this process can address
    }
    uint8_t* block = static_cast<uint8_t*>(malloc(static_cast<size_t>(newCapacity)));
    if (block == nullptr) {
        ZQI_FileSystemLog(2, "MemoryFile::Grow: out of memory for %llu bytes.",
                          static_cast<unsigned long long>(newCapacity));
        return false;
    }
    uint64_t kept = length < newCapacity ? length : newCapacity;
    if (kept != 0) {
        memcpy(block, data, static_cast<size_t>(kept));
    }
    free(data);
    data = block;
    capacity = newCapacity;
    return true;
}

uint64_t MemoryFile::Tell() {
    return position;
}

uint64_t MemoryFile::Read(void* buffer, uint64_t count) {
    if (buffer == nullptr || position >= length) {
        return 0;
    }
    uint64_t available = length - position;
    uint64_t n = count < available ? count : available;
    if (n != 0) {
        memcpy(buffer, data + position, static_cast<size_t>(n));
    }
    position += n;
    return n;
}

void MemoryFile::Seek(int64_t offset, int32_t origin) {
    uint64_t target = position;
    switch (origin) {
        case SEEK_ORIGIN_START:
            target = static_cast<uint64_t>(offset);
            break;
        case SEEK_ORIGIN_CURRENT:
            target = position + static_cast<uint64_t>(offset);
            break;
        case SEEK_ORIGIN_END:
            target = length + static_cast<uint64_t>(offset);
            break;
        default:
            break;
    }
    // Compared as unsigned: a position before the start wraps to a huge value and ends at the
    // length as well.
    position = target > length ? length : target;
}

uint64_t MemoryFile::Write(const void* buffer, uint64_t count) {
    if (buffer == nullptr || count == 0) {
        return 0;
    }
    if (count > capacity - position) {
        if (count > UINT64_MAX - position || !Grow(position + count)) {
            return 0;
        }
    }
    memcpy(data + position, buffer, static_cast<size_t>(count));
    position += count;
    if (position > length) {
        length = position;
    }
    return count;
}

uint8_t* MemoryFile::GetData() {
    return data;
}

uint64_t MemoryFile::GetLength() {
    return length;
}

bool MemoryFile::SetData(const void* bytes, uint64_t count, bool rewind) {
    uint64_t newSize = bytes != nullptr ? count : 0;
    if (newSize > capacity && !Grow(newSize)) {
        return false;
    }
    size = newSize;
    length = newSize;
    if (newSize != 0) {
        position = rewind ? 0 : newSize;
        memcpy(data, bytes, static_cast<size_t>(newSize));
    } else if (position > length) {
        position = 0;
    }
    return true;
}

bool MemoryFile::CopyFromFile(File* other, bool rewind) {
    if (other == nullptr) {
        return false;
    }
    uint64_t otherSize = other->size;
    if (otherSize > capacity && !Grow(otherSize)) {
        return false;
    }
    size = otherSize;
    length = otherSize;
    if (otherSize == 0) {
        position = 0;
        return true;
    }
    position = rewind ? 0 : otherSize;
    uint64_t got = other->Read(data, otherSize);
    if (got != otherSize) {
        // Keep only what arrived, so no uninitialised bytes count as content.
        length = got;
        size = got;
        if (position > length) {
            position = length;
        }
        return false;
    }
    return true;
}

void MemoryFile::Reopen(SchemeId newScheme, FileMode mode) {
    scheme = newScheme;
    if (mode == FILE_MODE_WRITE) {
        size = 0;
        writable = 1;
        length = 0;
        position = 0;
    } else if (mode == FILE_MODE_APPEND) {
        size = length;
        writable = 1;
        position = length;
    } else {
        size = length;
        writable = 0;
        position = 0;
    }
}

}  // namespace ZQFileSystem
