// The operating system's side of the native file system, kept thin: folders, file attributes,
// directory listing, shell folders, the executable's name and the file dialog. The bodies
// live in NativePlatformWin32.cpp (the product) and NativePlatformPosix.cpp (the host build).
// Paths are native, with "/" separators accepted everywhere. No engine types beyond String.
#pragma once

#include <cstdint>
#include <cstdio>

#include "foundation/String.h"

// What stat reports about a native path.
struct ZQI_NativeFileStatus {
    uint64_t size;
    uint32_t creationTime;  // seconds since 1970, low 32 bits
    uint32_t modificationTime;
    uint32_t accessTime;
    bool isRegularFile;
    bool isFolder;
};

// stat of the path; false when it fails.
bool ZQI_NativeStat(const char* path, ZQI_NativeFileStatus* status);
// True when the path's attributes can be read and do not mark a folder (Windows); the host
// build answers false, since its stat already covers every file.
bool ZQI_NativeHasFileAttributes(const char* path);

// Outcome of making one folder.
enum ZQI_NativeFolderResult : int32_t {
    NATIVE_FOLDER_CREATED = 0,
    NATIVE_FOLDER_EXISTS = 1,  // Windows error 183 (ERROR_ALREADY_EXISTS)
    NATIVE_FOLDER_FAILED = 2
};
// Makes one folder. With grantEveryone the folder carries an access list that grants full
// access to Everyone, inherited by what is made inside it; when building that fails the folder
// is made with default security instead (the host build always uses default security).
ZQI_NativeFolderResult ZQI_NativeMakeFolder(const char* path, bool grantEveryone);
// The platform's code of the last failed call on this thread (GetLastError, errno).
int32_t ZQI_NativeLastError();
// Removes an empty folder / a file; true when the system call succeeded.
bool ZQI_NativeRemoveFolder(const char* path);
bool ZQI_NativeRemoveFile(const char* path);
// Renames a file onto another path, replacing a file there atomically (MoveFileEx with
// MOVEFILE_REPLACE_EXISTING, rename); true when the system call succeeded. With exchange and an
// existing target, Linux swaps the two files in one step instead (renameat2 RENAME_EXCHANGE),
// so the source keeps its file and no new one is made: a file system that keeps deleted files'
// inodes from reuse for a while (ext4) makes each new file slower to create than the last.
bool ZQI_NativeReplaceFile(const char* source, const char* target, bool exchange);
// Moves a file onto a path where nothing is yet, in one step that fails when something is there
// (MoveFileEx without replacing, renameat2 RENAME_NOREPLACE): a file another process makes under
// that name just before is never replaced. True when the system call succeeded.
bool ZQI_NativeMoveToFreePath(const char* source, const char* target);

// Lists the entries matching pattern: a folder followed by "*" or by a wildcard ("a/b/*.png").
// Calls visit for each entry except "." and ".." with its name and whether it is a folder.
// Matching follows the platform's own rules. A folder that cannot be read lists nothing.
typedef void (*ZQI_NativeListVisitor)(const char* name, bool isFolder, void* context);
void ZQI_NativeListFolder(const char* pattern, ZQI_NativeListVisitor visit, void* context);

// 64-bit position of a C runtime stream (negative on failure) and seeking to one (0 on success).
int64_t ZQI_NativeTell(FILE* stream);
int32_t ZQI_NativeSeek(FILE* stream, int64_t offset, int32_t origin);
// Flushes a stream open for writing and cuts its file at the stream's position; true when the
// file now ends there.
bool ZQI_NativeEndStreamHere(FILE* stream);
// Starts writing the stream's file out to disk without waiting for it (Linux: sync_file_range);
// nothing on Windows, whose flushes of written files commit them to disk.
void ZQI_NativeStartWritingOut(FILE* stream);
// Commits what the stream's file holds to disk and waits for it (Windows: _commit, one
// FlushFileBuffers); true when it did. The host build's saves never waited for the disk (its C
// runtime has no commit mode: "c" means something else to glibc), and still do not: nothing there.
bool ZQI_NativeCommit(FILE* stream);

// The id of this process (GetCurrentProcessId, getpid): no two running processes share one.
uint32_t ZQI_NativeProcessId();

// A lock of one folder that every process naming that folder shares (Windows: every process of
// the session), let go by its holder or by the end of the holder's process. Windows: a named
// kernel mutex, named after the folder's full path as Windows compares names (case folded, short
// names expanded, "/" and trailing separators as "\"); a holder that died leaves it abandoned,
// which counts as taken. Host: flock on the folder itself. It makes no file. It is let go on the
// thread that took it. The thread holding it takes it again at once (a change under the lock may
// call another that takes it too): it is let go when every taking has been let go, in any order.
enum ZQI_NativeLockResult : int32_t {
    NATIVE_LOCK_TAKEN = 0,
    NATIVE_LOCK_BUSY = 1,       // another holder kept it for the whole wait
    NATIVE_LOCK_NO_FOLDER = 2,  // there is no such folder
    NATIVE_LOCK_FAILED = 3      // the system refused (ZQI_NativeLastError says why)
};
// Takes the folder's lock, waiting at most limitMilliseconds for another holder to let go. When
// taken, *lock holds it until ZQI_NativeUnlockFolder.
ZQI_NativeLockResult ZQI_NativeLockFolder(const char* folder, uint32_t limitMilliseconds, intptr_t* lock);
void ZQI_NativeUnlockFolder(intptr_t lock);

// The platform's folder for a shell folder id (raw: native separators); empty when it has none.
// The folder is made when missing.
void ZQI_NativeGetShellFolder(String& out, int32_t folderId);
// The executable's full file name (raw: native separators, at most 260 characters on Windows).
void ZQI_NativeGetExecutablePath(String& out);

// The system's open or save dialog. filterPairs is the Windows filter list: pairs of
// NUL-terminated texts ending with an empty text. fileName (fileNameSize bytes) holds the
// initial folder on entry and the chosen native path on success. owner is the window the dialog
// belongs to (may be null). False on cancel, on failure, and where the platform has no dialog.
bool ZQI_NativeShowFileDialog(void* owner, const char* filterPairs, char* fileName, int32_t fileNameSize,
                              bool save);
