// ZQFileSystem::POSIXSystem and POSIXFile: opening, closing and describing native files through
// the C runtime, after asking the PAK layer.
#include "filesystem/POSIXSystem.h"

#include <cerrno>
#include <new>

#include "filesystem/NativePlatform.h"

namespace ZQFileSystem {

// ---- POSIXFile ----------------------------------------------------------------------------------

POSIXFile::POSIXFile(uint64_t size, SchemeId scheme, bool writable, FILE* stream)
    : File(size, 0, scheme, writable), stream(stream), rewriting(0), uncommitted(writable ? 1 : 0) {}

// The commit is asked for here rather than through the C runtime's commit mode ("c"), which
// commits at every flush, even of nothing, and under Wine at the close as well: a save that
// flushes and then closes (as every save does, to learn whether the disk took its data) would wait
// for the disk twice.
bool POSIXFile::Flush() {
    if (fflush(stream) != 0) {
        return false;
    }
    if (!uncommitted) {
        return true;
    }
    if (!ZQI_NativeCommit(stream)) {
        return false;
    }
    uncommitted = 0;
    return true;
}

uint64_t POSIXFile::Tell() {
    int64_t position = ZQI_NativeTell(stream);
    return position < 0 ? 0 : static_cast<uint64_t>(position);
}

uint64_t POSIXFile::Read(void* buffer, uint64_t count) {
    if (buffer == nullptr || count == 0) {
        return 0;
    }
    return fread(buffer, 1, static_cast<size_t>(count), stream);
}

void POSIXFile::Seek(int64_t offset, int32_t origin) {
    int32_t whence = origin == SEEK_ORIGIN_CURRENT ? SEEK_CUR
                     : origin == SEEK_ORIGIN_END   ? SEEK_END
                                                   : SEEK_SET;
    ZQI_NativeSeek(stream, offset, whence);
}

uint64_t POSIXFile::Write(const void* buffer, uint64_t count) {
    if (buffer == nullptr || count == 0) {
        return 0;
    }
    uncommitted = 1;
    return fwrite(buffer, 1, static_cast<size_t>(count), stream);
}

// What the file held beyond the new end goes; then its writing out to disk starts at once, as a
// disk file system does by itself for a file that was emptied and written again, so the new
// bytes are on their way before a save puts the file in place of the stored one.
bool POSIXFile::EndRewrite() {
    if (!rewriting) {
        return true;
    }
    uncommitted = 1;
    if (!ZQI_NativeEndStreamHere(stream)) {
        return false;
    }
    ZQI_NativeStartWritingOut(stream);
    return true;
}

// ---- POSIXSystem --------------------------------------------------------------------------------

namespace {

// Without the C runtime's commit mode "c": a flush of a written file commits it to disk all the
// same, once (POSIXFile::Flush).
const char* StreamMode(FileMode mode) {
    switch (mode) {
        case FILE_MODE_APPEND:
            return "ab";
        case FILE_MODE_WRITE:
            return "wb";
        case FILE_MODE_REWRITE:
            return "r+b";  // writes over the existing file without emptying it
        default:
            return "rb";
    }
}

// A rewritten file that does not exist yet is made as in write mode (*made set).
FILE* OpenStream(const char* nativePath, FileMode mode, bool* made) {
    *made = false;
    FILE* stream = fopen(nativePath, StreamMode(mode));
    if (stream == nullptr && mode == FILE_MODE_REWRITE) {
        stream = fopen(nativePath, StreamMode(FILE_MODE_WRITE));
        *made = true;
    }
    return stream;
}

// False when the close, or the flush of the buffer it does first, failed.
bool CloseStream(FILE* stream, bool writable) {
    errno = 0;
    const bool closed = fclose(stream) == 0;
#if defined(_WIN32)
    // Wine's C runtime answers 0 from fclose even when the flush inside it failed (a full disk
    // loses the buffered data unnoticed); the failure still shows in errno.
    return closed && (!writable || errno == 0);
#else
    (void)writable;
    return closed;
#endif
}

}  // namespace

POSIXSystem::POSIXSystem(bool commit) : commit_(commit ? 1 : 0) {
    rewritable = 1;
}

POSIXSystem::~POSIXSystem() {
    CloseArchives();
}

bool POSIXSystem::SchemeUsesArchives(SchemeId scheme) {
    return scheme != SCHEME_LOGS && scheme != SCHEME_SAVE && scheme != SCHEME_USER;
}

bool POSIXSystem::ExistsInArchive(SchemeId scheme, const char* nativePath) {
    return SchemeUsesArchives(scheme) && !IsArchiveName(nativePath) &&
           PAKSystem::FileExists(scheme, nativePath);
}

bool POSIXSystem::IsNativeRegularFile(const char* nativePath) {
    ZQI_NativeFileStatus status;
    return ZQI_NativeStat(nativePath, &status) && status.isRegularFile;
}

File* POSIXSystem::OpenFile(SchemeId scheme, const char* nativePath, FileMode mode) {
    if (nativePath == nullptr || nativePath[0] == '\0') {
        return nullptr;
    }
    if (mode == FILE_MODE_READ && SchemeUsesArchives(scheme) && !IsArchiveName(nativePath)) {
        if (File* entry = PAKSystem::OpenFile(scheme, nativePath, mode)) {
            return entry;
        }
    }
    ZQI_NativeFileStatus status;
    bool known = ZQI_NativeStat(nativePath, &status);
    if (known && status.isFolder) {
        return nullptr;  // some C runtimes open folders as streams that fail every read
    }
    bool made = false;
    FILE* stream = OpenStream(nativePath, mode, &made);
    if (stream == nullptr) {
        return nullptr;
    }
    uint64_t size = 0;
    bool replaced = mode == FILE_MODE_WRITE || mode == FILE_MODE_REWRITE;  // what it held does not count
    if (!replaced && ZQI_NativeStat(nativePath, &status)) {
        size = status.size;
    }
    POSIXFile* file = new (std::nothrow) POSIXFile(size, scheme, mode != FILE_MODE_READ, stream);
    if (file == nullptr) {
        fclose(stream);
        return nullptr;
    }
    file->rewriting = mode == FILE_MODE_REWRITE && !made ? 1 : 0;
    return file;
}

bool POSIXSystem::CloseFile(File* file) {
    if (file == nullptr) {
        return false;
    }
    if ((file->flags & FILE_FLAG_IN_PAK) != 0) {
        return PAKSystem::CloseFile(file);
    }
    POSIXFile* native = dynamic_cast<POSIXFile*>(file);
    if (native == nullptr) {
        return false;  // not a file of this system
    }
    const bool flushed = !(commit_ && native->writable) || native->Flush();
    const bool closed = CloseStream(native->stream, native->writable != 0);
    delete native;
    return flushed && closed;
}

bool POSIXSystem::FileExists(SchemeId scheme, const char* nativePath) {
    if (nativePath == nullptr) {
        return false;
    }
    return ExistsInArchive(scheme, nativePath) || IsNativeRegularFile(nativePath);
}

void POSIXSystem::FindFiles(SchemeId scheme, const char* virtualFolder, const char* nativeFolder,
                            const Array<String>& wildcards, bool recursive, Array<String>& out) {
    if (SchemeUsesArchives(scheme)) {
        PAKSystem::FindFiles(scheme, virtualFolder, nativeFolder, wildcards, recursive, out);
    }
}

bool POSIXSystem::GetFileInfo(SchemeId, const char* nativePath, zq_file_info_t* info) {
    ZQI_NativeFileStatus status;
    if (nativePath == nullptr || info == nullptr || !ZQI_NativeStat(nativePath, &status)) {
        return false;
    }
    info->size = status.size;
    info->creation_time = status.creationTime;
    info->modification_time = status.modificationTime;
    info->access_time = status.accessTime;
    return true;
}

}  // namespace ZQFileSystem
