// The native platform calls of the product (Win32): stat, folders with an access list, deletion,
// FindFirstFile listing, folder locks, shell folders, the executable's name and the common file
// dialogs.
// <windows.h> comes first: it turns some names into macros that the engine headers avoid.
#include <windows.h>
#include <aclapi.h>
#include <commdlg.h>
#include <io.h>
#include <shlobj.h>
#include <sys/stat.h>
#include <sys/types.h>

#include <cstdio>
#include <cstring>

#include "filesystem/NativePlatform.h"

bool ZQI_NativeStat(const char* path, ZQI_NativeFileStatus* status) {
    struct _stat64 info;
    if (path == nullptr || _stat64(path, &info) != 0) {
        return false;
    }
    status->size = static_cast<uint64_t>(info.st_size);
    status->creationTime = static_cast<uint32_t>(info.st_ctime);
    status->modificationTime = static_cast<uint32_t>(info.st_mtime);
    status->accessTime = static_cast<uint32_t>(info.st_atime);
    status->isRegularFile = (info.st_mode & _S_IFMT) == _S_IFREG;
    status->isFolder = (info.st_mode & _S_IFMT) == _S_IFDIR;
    return true;
}

bool ZQI_NativeHasFileAttributes(const char* path) {
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

int32_t ZQI_NativeLastError() {
    return static_cast<int32_t>(GetLastError());
}

namespace {

// Everything a folder's security descriptor needs, released together.
struct EveryoneAccess {
    PSID everyone = nullptr;
    PACL accessList = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;

    ~EveryoneAccess() {
        if (descriptor != nullptr) {
            LocalFree(descriptor);
        }
        if (accessList != nullptr) {
            LocalFree(accessList);
        }
        if (everyone != nullptr) {
            FreeSid(everyone);
        }
    }

    // The world identifier, one grant of full access inherited by folders and files, and a
    // descriptor carrying it as its discretionary list. False when any step fails.
    bool Build() {
        SID_IDENTIFIER_AUTHORITY worldAuthority = SECURITY_WORLD_SID_AUTHORITY;
        if (!AllocateAndInitializeSid(&worldAuthority, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0,
                                      &everyone)) {
            return false;
        }
        EXPLICIT_ACCESSA grant;
        ZeroMemory(&grant, sizeof(grant));
        grant.grfAccessPermissions = GENERIC_ALL;
        grant.grfAccessMode = SET_ACCESS;
        grant.grfInheritance = SUB_CONTAINERS_AND_OBJECTS_INHERIT;
        grant.Trustee.TrusteeForm = TRUSTEE_IS_SID;
        grant.Trustee.TrusteeType = TRUSTEE_IS_WELL_KNOWN_GROUP;
        grant.Trustee.ptstrName = static_cast<LPSTR>(everyone);
        if (SetEntriesInAclA(1, &grant, nullptr, &accessList) != ERROR_SUCCESS) {
            accessList = nullptr;
            return false;
        }
        descriptor = static_cast<PSECURITY_DESCRIPTOR>(LocalAlloc(LPTR, SECURITY_DESCRIPTOR_MIN_LENGTH));
        if (descriptor == nullptr ||
            !InitializeSecurityDescriptor(descriptor, SECURITY_DESCRIPTOR_REVISION)) {
            return false;
        }
        return SetSecurityDescriptorDacl(descriptor, TRUE, accessList, FALSE) != 0;
    }
};

ZQI_NativeFolderResult FolderResult(BOOL created) {
    if (created) {
        return NATIVE_FOLDER_CREATED;
    }
    return GetLastError() == ERROR_ALREADY_EXISTS ? NATIVE_FOLDER_EXISTS : NATIVE_FOLDER_FAILED;
}

}  // namespace

ZQI_NativeFolderResult ZQI_NativeMakeFolder(const char* path, bool grantEveryone) {
    if (grantEveryone) {
        EveryoneAccess access;
        if (access.Build()) {
            SECURITY_ATTRIBUTES attributes;
            attributes.nLength = sizeof(attributes);
            attributes.lpSecurityDescriptor = access.descriptor;
            attributes.bInheritHandle = FALSE;
            return FolderResult(CreateDirectoryA(path, &attributes));
        }
        // Falls back to default security: a folder the user alone can reach beats none.
    }
    return FolderResult(CreateDirectoryA(path, nullptr));
}

bool ZQI_NativeRemoveFolder(const char* path) {
    return RemoveDirectoryA(path) != 0;
}

bool ZQI_NativeRemoveFile(const char* path) {
    return DeleteFileA(path) != 0;
}

bool ZQI_NativeReplaceFile(const char* source, const char* target, bool) {
    return MoveFileExA(source, target, MOVEFILE_REPLACE_EXISTING) != 0;
}

bool ZQI_NativeMoveToFreePath(const char* source, const char* target) {
    return MoveFileExA(source, target, 0) != 0;
}

void ZQI_NativeListFolder(const char* pattern, ZQI_NativeListVisitor visit, void* context) {
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA(pattern, &entry);
    if (search == INVALID_HANDLE_VALUE) {
        return;
    }
    do {
        if (strcmp(entry.cFileName, ".") == 0 || strcmp(entry.cFileName, "..") == 0) {
            continue;
        }
        visit(entry.cFileName, (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0, context);
    } while (FindNextFileA(search, &entry));
    FindClose(search);
}

int64_t ZQI_NativeTell(FILE* stream) {
    return _ftelli64(stream);
}

int32_t ZQI_NativeSeek(FILE* stream, int64_t offset, int32_t origin) {
    return _fseeki64(stream, offset, origin);
}

uint32_t ZQI_NativeProcessId() {
    return static_cast<uint32_t>(GetCurrentProcessId());
}

namespace {

// Paths longer than this are refused by the "A" file functions the engine uses anyway.
const DWORD kLockPathLength = 1024;

// The name of the folder's lock: every spelling Windows takes for the folder ("/" or "\", a
// trailing separator, ".." parts, 8.3 short names, any case) gives the same name. The path is
// folded to upper case as the file system compares names, and hashed (FNV-1a, 64 bits) into a
// name of fixed length, since a kernel object's name holds no "\" and at most MAX_PATH characters.
// "Local\": the session's namespace, which needs no privilege. NATIVE_LOCK_TAKEN once named;
// otherwise what taking the lock answers.
ZQI_NativeLockResult FolderLockName(const char* folder, char* name, size_t nameSize) {
    wchar_t given[kLockPathLength], full[kLockPathLength], longer[kLockPathLength], folded[kLockPathLength];
    if (MultiByteToWideChar(CP_ACP, 0, folder, -1, given, kLockPathLength) == 0) {
        return NATIVE_LOCK_FAILED;
    }
    DWORD length = GetFullPathNameW(given, kLockPathLength, full, nullptr);
    if (length == 0 || length >= kLockPathLength) {
        return NATIVE_LOCK_FAILED;
    }
    const DWORD attributes = GetFileAttributesW(full);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        return NATIVE_LOCK_NO_FOLDER;
    }
    const DWORD longLength = GetLongPathNameW(full, longer, kLockPathLength);
    const wchar_t* path = longLength > 0 && longLength < kLockPathLength ? longer : full;
    length = longLength > 0 && longLength < kLockPathLength ? longLength : length;
    while (length > 3 && path[length - 1] == L'\\') {
        --length;  // a drive's root ("C:\") keeps its separator
    }
    const int foldedLength = LCMapStringW(LOCALE_INVARIANT, LCMAP_UPPERCASE, path, static_cast<int>(length),
                                          folded, kLockPathLength);
    if (foldedLength <= 0) {
        return NATIVE_LOCK_FAILED;
    }
    uint64_t hash = 14695981039346656037ull;
    for (int i = 0; i < foldedLength; ++i) {
        const uint16_t unit = static_cast<uint16_t>(folded[i]);
        hash = (hash ^ (unit & 0xFF)) * 1099511628211ull;
        hash = (hash ^ (unit >> 8)) * 1099511628211ull;
    }
    snprintf(name, nameSize, "Local\\ZQFolderLock-%016llX", static_cast<unsigned long long>(hash));
    return NATIVE_LOCK_TAKEN;
}

}  // namespace

ZQI_NativeLockResult ZQI_NativeLockFolder(const char* folder, uint32_t limitMilliseconds, intptr_t* lock) {
    char name[64];
    const ZQI_NativeLockResult named = FolderLockName(folder, name, sizeof(name));
    if (named != NATIVE_LOCK_TAKEN) {
        return named;
    }
    HANDLE mutex = CreateMutexA(nullptr, FALSE, name);
    if (mutex == nullptr) {
        return NATIVE_LOCK_FAILED;
    }
    // WAIT_ABANDONED: the holder's thread ended without letting go (a crash, a killed process). It
    // left the folder as a crash leaves it, which the next holder must cope with anyway: the lock
    // is ours.
    const DWORD waited = WaitForSingleObject(mutex, limitMilliseconds);
    if (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED) {
        *lock = reinterpret_cast<intptr_t>(mutex);
        return NATIVE_LOCK_TAKEN;
    }
    const DWORD error = waited == WAIT_TIMEOUT ? ERROR_TIMEOUT : GetLastError();
    CloseHandle(mutex);
    SetLastError(error);
    return waited == WAIT_TIMEOUT ? NATIVE_LOCK_BUSY : NATIVE_LOCK_FAILED;
}

void ZQI_NativeUnlockFolder(intptr_t lock) {
    HANDLE mutex = reinterpret_cast<HANDLE>(lock);
    ReleaseMutex(mutex);
    CloseHandle(mutex);
}

void ZQI_NativeGetShellFolder(String& out, int32_t folderId) {
    char buffer[MAX_PATH] = {0};
    HRESULT result =
        SHGetFolderPathA(nullptr, folderId | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT, buffer);
    out = SUCCEEDED(result) ? buffer : "";
}

void ZQI_NativeGetExecutablePath(String& out) {
    char buffer[MAX_PATH + 1] = {0};
    DWORD length = GetModuleFileNameA(nullptr, buffer, MAX_PATH);
    out = length > 0 && length < MAX_PATH ? buffer : "";
}

bool ZQI_NativeShowFileDialog(void* owner, const char* filterPairs, char* fileName, int32_t fileNameSize,
                              bool save) {
    OPENFILENAMEA dialog;
    ZeroMemory(&dialog, sizeof(dialog));
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = static_cast<HWND>(owner);
    dialog.lpstrFilter = filterPairs;
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = fileName;
    dialog.nMaxFile = static_cast<DWORD>(fileNameSize);
    dialog.Flags = save ? OFN_PATHMUSTEXIST : (OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST);
    return (save ? GetSaveFileNameA(&dialog) : GetOpenFileNameA(&dialog)) != 0;
}

bool ZQI_NativeEndStreamHere(FILE* stream) {
    if (fflush(stream) != 0) {
        return false;
    }
    int64_t position = _ftelli64(stream);
    return position >= 0 && _chsize_s(_fileno(stream), position) == 0;
}

void ZQI_NativeStartWritingOut(FILE*) {}

bool ZQI_NativeCommit(FILE* stream) {
    return _commit(_fileno(stream)) == 0;
}
