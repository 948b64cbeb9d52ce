// The native platform calls of the host build (POSIX): stat, mkdir, rmdir, unlink, readdir, flock
// and the XDG folders. Used by tests; the product is the Windows build.
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cstring>

#include "filesystem/NativePlatform.h"
#include "filesystem/SchemeRoots.h"
#include "filesystem/Wildcard.h"

bool ZQI_NativeStat(const char* path, ZQI_NativeFileStatus* status) {
    struct stat info;
    if (path == nullptr || stat(path, &info) != 0) {
        return false;
    }
    status->size = static_cast<uint64_t>(info.st_size);
    // POSIX keeps no creation time; the status-change time is the nearest.
    status->creationTime = static_cast<uint32_t>(info.st_ctime);
    status->modificationTime = static_cast<uint32_t>(info.st_mtime);
    status->accessTime = static_cast<uint32_t>(info.st_atime);
    status->isRegularFile = S_ISREG(info.st_mode);
    status->isFolder = S_ISDIR(info.st_mode);
    return true;
}

bool ZQI_NativeHasFileAttributes(const char*) {
    return false;
}

int32_t ZQI_NativeLastError() {
    return errno;
}

ZQI_NativeFolderResult ZQI_NativeMakeFolder(const char* path, bool /*grantEveryone*/) {
    // Access lists are a Windows matter; here folders get the default mode under the umask.
    if (mkdir(path, 0777) == 0) {
        return NATIVE_FOLDER_CREATED;
    }
    return errno == EEXIST ? NATIVE_FOLDER_EXISTS : NATIVE_FOLDER_FAILED;
}

bool ZQI_NativeRemoveFolder(const char* path) {
    return rmdir(path) == 0;
}

bool ZQI_NativeRemoveFile(const char* path) {
    return unlink(path) == 0;
}

bool ZQI_NativeReplaceFile(const char* source, const char* target, bool exchange) {
    if (exchange && renameat2(AT_FDCWD, source, AT_FDCWD, target, RENAME_EXCHANGE) == 0) {
        return true;
    }
    return rename(source, target) == 0;  // also when there is no target to exchange with yet
}

bool ZQI_NativeMoveToFreePath(const char* source, const char* target) {
    return renameat2(AT_FDCWD, source, AT_FDCWD, target, RENAME_NOREPLACE) == 0;
}

namespace {

bool IsFolderEntry(const String& folder, const struct dirent* entry) {
    if (entry->d_type == DT_DIR) {
        return true;
    }
    if (entry->d_type != DT_UNKNOWN && entry->d_type != DT_LNK) {
        return false;
    }
    String path = String::FromFormat("%s/%s", folder.CStr(), entry->d_name);
    struct stat info;
    return stat(path.CStr(), &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace

void ZQI_NativeListFolder(const char* pattern, ZQI_NativeListVisitor visit, void* context) {
    const char* slash = strrchr(pattern, '/');
    String folder = slash != nullptr ? String::FromFormat("%.*s", static_cast<int>(slash - pattern), pattern)
                                     : String(".");
    if (folder.IsEmpty()) {
        folder = "/";
    }
    const char* wildcard = slash != nullptr ? slash + 1 : pattern;
    // Windows' "*.*" takes every name, also those without a dot.
    bool everything = strcmp(wildcard, "*") == 0 || strcmp(wildcard, "*.*") == 0;
    DIR* directory = opendir(folder.CStr());
    if (directory == nullptr) {
        return;
    }
    while (const struct dirent* entry = readdir(directory)) {
        if (strcmp(entry->d_name, ".") == 0 || strcmp(entry->d_name, "..") == 0) {
            continue;
        }
        if (everything || ZQI_MatchWildcard(entry->d_name, wildcard)) {
            visit(entry->d_name, IsFolderEntry(folder, entry), context);
        }
    }
    closedir(directory);
}

int64_t ZQI_NativeTell(FILE* stream) {
    return static_cast<int64_t>(ftello(stream));
}

int32_t ZQI_NativeSeek(FILE* stream, int64_t offset, int32_t origin) {
    return fseeko(stream, static_cast<off_t>(offset), origin);
}

namespace {

// mkdir -p: makes each missing folder of an absolute path.
bool MakeFolderTree(const String& path) {
    String partial;
    for (const char* c = path.CStr(); *c != '\0'; ++c) {
        if (*c == '/' && !partial.IsEmpty()) {
            mkdir(partial.CStr(), 0777);
        }
        partial.AppendChar(*c);
    }
    struct stat info;
    return (mkdir(partial.CStr(), 0777) == 0 || errno == EEXIST) && stat(partial.CStr(), &info) == 0 &&
           S_ISDIR(info.st_mode);
}

}  // namespace

uint32_t ZQI_NativeProcessId() {
    return static_cast<uint32_t>(getpid());
}

namespace {

// The folder locks this thread holds, each taking by its descriptor. flock belongs to an opening
// of the folder: a second opening by the thread that holds the lock would wait for that thread,
// for ever, where a Windows mutex is taken again by its holder. The holder's later takings share
// its opening instead (a duplicate descriptor), and the lock goes with the last of them.
struct HeldFolderLock {
    dev_t device;
    ino_t inode;
    int descriptor;
};
const int32_t kMaxHeldFolderLocks = 16;
thread_local HeldFolderLock t_heldFolderLocks[kMaxHeldFolderLocks];
thread_local int32_t t_heldFolderLockCount = 0;

bool RememberFolderLock(const struct stat& folder, int descriptor) {
    if (t_heldFolderLockCount == kMaxHeldFolderLocks) {
        return false;
    }
    t_heldFolderLocks[t_heldFolderLockCount++] = HeldFolderLock{folder.st_dev, folder.st_ino, descriptor};
    return true;
}

}  // namespace

// flock belongs to the open folder, so the kernel lets go of it when the holder's process ends,
// however it ends. It has no waiting limit of its own: it is tried again every millisecond.
ZQI_NativeLockResult ZQI_NativeLockFolder(const char* folder, uint32_t limitMilliseconds, intptr_t* lock) {
    const int descriptor = open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor < 0) {
        return errno == ENOENT || errno == ENOTDIR ? NATIVE_LOCK_NO_FOLDER : NATIVE_LOCK_FAILED;
    }
    struct stat identity;
    if (fstat(descriptor, &identity) != 0) {
        const int error = errno;
        close(descriptor);
        errno = error;
        return NATIVE_LOCK_FAILED;
    }
    for (int32_t i = 0; i < t_heldFolderLockCount; ++i) {
        const HeldFolderLock& held = t_heldFolderLocks[i];
        if (held.device != identity.st_dev || held.inode != identity.st_ino) {
            continue;
        }
        close(descriptor);
        const int again = fcntl(held.descriptor, F_DUPFD_CLOEXEC, 0);
        if (again < 0) {
            return NATIVE_LOCK_FAILED;
        }
        if (!RememberFolderLock(identity, again)) {
            close(again);
            errno = EMFILE;
            return NATIVE_LOCK_FAILED;
        }
        *lock = again;
        return NATIVE_LOCK_TAKEN;
    }
    struct timespec start;
    clock_gettime(CLOCK_MONOTONIC, &start);
    for (;;) {
        if (flock(descriptor, LOCK_EX | LOCK_NB) == 0) {
            if (!RememberFolderLock(identity, descriptor)) {
                close(descriptor);  // lets go of the flock too
                errno = EMFILE;
                return NATIVE_LOCK_FAILED;
            }
            *lock = descriptor;
            return NATIVE_LOCK_TAKEN;
        }
        const int error = errno;
        struct timespec now;
        clock_gettime(CLOCK_MONOTONIC, &now);
        const int64_t waited = (now.tv_sec - start.tv_sec) * 1000 + (now.tv_nsec - start.tv_nsec) / 1000000;
        if ((error != EWOULDBLOCK && error != EINTR) || waited >= limitMilliseconds) {
            close(descriptor);
            errno = error;
            return error == EWOULDBLOCK ? NATIVE_LOCK_BUSY : NATIVE_LOCK_FAILED;
        }
        const struct timespec pause = {0, 1000000};
        nanosleep(&pause, nullptr);
    }
}

void ZQI_NativeUnlockFolder(intptr_t lock) {
    const int descriptor = static_cast<int>(lock);
    for (int32_t i = 0; i < t_heldFolderLockCount; ++i) {
        if (t_heldFolderLocks[i].descriptor == descriptor) {
            t_heldFolderLocks[i] = t_heldFolderLocks[--t_heldFolderLockCount];
            break;
        }
    }
    close(descriptor);  // lets go of the flock with the last descriptor of its opening
}

void ZQI_NativeGetShellFolder(String& out, int32_t folderId) {
    out = "";
    const char* home = getenv("HOME");
    const char* dataHome = getenv("XDG_DATA_HOME");
    if (folderId == ZQI_SHELL_FOLDER_DOCUMENTS && home != nullptr && home[0] == '/') {
        out.Format("%s/Documents", home);
    } else if (folderId == ZQI_SHELL_FOLDER_APP_DATA && dataHome != nullptr && dataHome[0] == '/') {
        out = dataHome;
    } else if (folderId == ZQI_SHELL_FOLDER_APP_DATA && home != nullptr && home[0] == '/') {
        out.Format("%s/.local/share", home);
    }
    if (!out.IsEmpty() && !MakeFolderTree(out)) {
        out = "";
    }
}

void ZQI_NativeGetExecutablePath(String& out) {
    char buffer[4096];
    ssize_t length = readlink("/proc/self/exe", buffer, sizeof(buffer) - 1);
    if (length <= 0) {
        out = "";
        return;
    }
    buffer[length] = '\0';
    out = buffer;
}

bool ZQI_NativeShowFileDialog(void*, const char*, char*, int32_t, bool) {
    return false;  // the host build has no desktop dialog
}

bool ZQI_NativeEndStreamHere(FILE* stream) {
    if (fflush(stream) != 0) {
        return false;
    }
    off_t position = ftello(stream);
    return position >= 0 && ftruncate(fileno(stream), position) == 0;
}

void ZQI_NativeStartWritingOut(FILE* stream) {
#if defined(__linux__)
    sync_file_range(fileno(stream), 0, 0, SYNC_FILE_RANGE_WRITE);
#else
    (void)stream;
#endif
}

bool ZQI_NativeCommit(FILE*) {
    return true;
}
