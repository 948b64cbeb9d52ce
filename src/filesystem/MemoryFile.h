// ZQFileSystem::MemoryFile: a File whose contents live in a heap buffer that grows in steps of
// 256 bytes. Used by the memory file system (mem://) and for the save system's buffered writes.
#pragma once

#include <cstdint>

#include "filesystem/FileSystem.h"

namespace ZQFileSystem {

class MemoryFile : public File {
public:
    uint8_t* data;      // heap; null until the first growth
    uint64_t capacity;  // bytes allocated
    uint64_t length;    // bytes of content
    uint64_t position;

    // An empty, writable file of the scheme.
    explicit MemoryFile(SchemeId scheme);
    ~MemoryFile() override;

    uint64_t Tell() override;
    // Copies min(count, length - position) bytes.
    uint64_t Read(void* buffer, uint64_t count) override;
    // Positions from the start, the current position or the end; a result past the end (also a
    // negative one) ends at the length.
    void Seek(int64_t offset, int32_t origin) override;
    // Grows as needed; returns count, or 0 when the buffer cannot grow.
    uint64_t Write(const void* buffer, uint64_t count) override;

    virtual uint8_t* GetData();
    virtual uint64_t GetLength();
    // Replaces the contents with count bytes (none when bytes is null); the position goes to the
    // start with rewind, else to the end. False when the buffer cannot grow.
    virtual bool SetData(const void* bytes, uint64_t count, bool rewind);
    // Replaces the contents with everything other holds from its current position on (one Read
    // of its size). True when all bytes arrived.
    virtual bool CopyFromFile(File* other, bool rewind);
    // Reopens under a scheme: write truncates, append keeps and goes to the end, read rewinds.
    virtual void Reopen(SchemeId scheme, FileMode mode);

private:
    // Makes room for at least request bytes (256 for 0, else rounded up to a multiple of 256).
    bool Grow(uint64_t request);
};

}  // namespace ZQFileSystem
