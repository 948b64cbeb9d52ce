// The two abstract classes every file access goes through: ZQFileSystem::System, a mounted file
// system serving one or more schemes, and ZQFileSystem::File, an open file. System operations
// receive the scheme id and the native path already converted from the virtual path.
#pragma once

#include <cstdint>

#include "filesystem/VirtualPath.h"
#include "foundation/Array.h"
#include "foundation/String.h"
#include "zorqa.h"

namespace ZQFileSystem {

// How a file is opened; the API maps the first letter of its mode text ("a", "r", "w").
// FILE_MODE_REWRITE is the engine's own: it writes the whole file anew like FILE_MODE_WRITE, but
// into the existing file's storage instead of emptying it first, and the file ends where the
// writing ended once it is closed. Emptying a file and filling it again costs a disk file system
// far more than the writing itself; saves that write a temporary file and then put it in place
// use it. Until it is closed the file holds a mix of old and new bytes. Systems that cannot
// rewrite (rewritable clear) are asked for FILE_MODE_WRITE instead.
typedef int32_t FileMode;
enum : FileMode { FILE_MODE_APPEND = 0, FILE_MODE_READ = 1, FILE_MODE_WRITE = 2, FILE_MODE_REWRITE = 3 };

// File flags.
enum : uint32_t { FILE_FLAG_IN_PAK = 4 };  // the file is an entry inside a PAK archive

// Seek origins.
enum : int32_t { SEEK_ORIGIN_START = 0, SEEK_ORIGIN_CURRENT = 1, SEEK_ORIGIN_END = 2 };

// An open file. Closed (and deleted) through CloseFile of the system serving its scheme id.
class File {
public:
    uint64_t size;     // bytes, fixed when opened
    uint32_t flags;    // FILE_FLAG_IN_PAK
    SchemeId scheme;   // the scheme it was opened under
    uint8_t writable;  // true unless opened for reading

    File(uint64_t size, uint32_t flags, SchemeId scheme, bool writable);
    virtual ~File();

    // Hands buffered data on to the disk; false when that failed (the data is then lost).
    virtual bool Flush();
    // The platform handle behind the file and the offset of its data in it; -1 (offset
    // untouched) when there is none.
    virtual int32_t GetNativeHandle(uint32_t* offset);
    virtual uint64_t Tell() = 0;
    virtual uint64_t Read(void* buffer, uint64_t count) = 0;
    // origin SEEK_ORIGIN_START, _CURRENT or _END.
    virtual void Seek(int64_t offset, int32_t origin) = 0;
    // Bytes written; 0 for files that cannot be written.
    virtual uint64_t Write(const void* buffer, uint64_t count);
    // For a file opened with FILE_MODE_REWRITE: cuts away what it held beyond the position and
    // starts writing it out to disk. True when the file now ends at the position; files opened
    // otherwise (and rewrites that emptied the file) already do: true.
    virtual bool EndRewrite();

    File(const File&) = delete;
    File& operator=(const File&) = delete;
};

// A mounted file system. The base behaviour of every optional operation is "not supported".
class System {
public:
    uint8_t mountable;   // set only for the save system
    uint8_t rewritable;  // opens FILE_MODE_REWRITE itself (the native systems)

    System();
    virtual ~System();

    // Closes and deletes a file this system opened. False when the file is not one of its own,
    // or when data written to it could not be stored (a full disk shows only here, since writes
    // go into a buffer first); the file is deleted all the same.
    virtual bool CloseFile(File* file) = 0;
    virtual bool CreateDirectory(SchemeId scheme, const char* nativePath);
    virtual bool CreateRootDirectory(SchemeId scheme);
    virtual bool DeleteDirectory(SchemeId scheme, const char* nativePath);
    virtual bool DeleteFile(SchemeId scheme, const char* nativePath);
    // Moves the source file onto the target path, replacing a file there in one step, so the
    // target is either the old file or the whole new one. With exchange, where the platform can
    // swap two files in one step the source then holds the replaced file instead of going.
    virtual bool ReplaceFile(SchemeId scheme, const char* nativeSource, const char* nativeTarget,
                             bool exchange);
    // Moves the source file onto a target path where nothing is yet, in one step that fails when
    // something is there, however shortly before it came.
    virtual bool MoveToFreePath(SchemeId scheme, const char* nativeSource, const char* nativeTarget);
    // Base: opens the path for reading and closes it again.
    virtual bool FileExists(SchemeId scheme, const char* nativePath);
    // Whether the path can be written, found without opening a file that is there for writing: a
    // file that is there (FileExists, or written through this system and not yet stored) is left
    // untouched and answers true. Any other path answers whether a file could be made there.
    // Base: a file is made there and deleted again.
    virtual bool CanWriteFile(SchemeId scheme, const char* nativePath);
    // Appends the matches below the native folder (no trailing "/") to out, each as the virtual
    // folder (ending in "/", or empty) followed by the name relative to the folder.
    virtual void FindFiles(SchemeId scheme, const char* virtualFolder, const char* nativeFolder,
                           const Array<String>& wildcards, bool recursive, Array<String>& out);
    virtual bool GetFileInfo(SchemeId scheme, const char* nativePath, zq_file_info_t* info);
    virtual bool Mount(uint32_t storage);
    virtual File* OpenFile(SchemeId scheme, const char* nativePath, FileMode mode) = 0;
    virtual void Unmount();

    System(const System&) = delete;
    System& operator=(const System&) = delete;
};

}  // namespace ZQFileSystem

// Appends prefix + name ("%s%s"; the name alone when the prefix is empty) unless an equal text
// is already in out.
void ZQI_AppendUniquePath(Array<String>& out, const char* prefix, const char* name);
