// ZQFileSystem::HTTPSystem: downloads through the engine API's HTTP slot into cache:// files.
#include "filesystem/HTTPSystem.h"

#include <atomic>

#include "core/Buffer.h"
#include "core/Sys.h"
#include "filesystem/EngineTemporaries.h"
#include "filesystem/FileSystemServices.h"
#include "filesystem/FileSystemTable.h"
#include "filesystem/HttpClient.h"
#include "filesystem/NativePlatform.h"
#include "filesystem/SchemeRoots.h"
#include "filesystem/VirtualPath.h"

namespace ZQFileSystem {

namespace {

// The engine's own request state word for downloads; nothing cancels them but the quit flag.
uint32_t g_downloadState = 0;

// How long an opening of a cache file that is there waits for it to be openable.
const int32_t kCacheOpenAttempts = 50;
const uint32_t kCacheOpenPauseMilliseconds = 10;

bool IsCacheNameCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_';
}

}  // namespace

HTTPSystem::HTTPSystem(System* cacheSystem) : cache_(cacheSystem) {}

String HTTPSystem::MakeCacheName(const char* url) {
    String name(url);
    if (name.data != nullptr) {
        for (char* c = name.data; *c != '\0'; ++c) {
            if (!IsCacheNameCharacter(*c)) {
                *c = '_';
            }
        }
    }
    return name;
}

bool HTTPSystem::CloseFile(File*) {
    return false;
}

File* HTTPSystem::OpenFile(SchemeId, const char* url, FileMode mode) {
    if (mode != FILE_MODE_READ || url == nullptr || cache_ == nullptr) {
        return nullptr;
    }
    const String& cacheRoot = ZQI_GetSchemeRoot(SCHEME_CACHE);
    if (cacheRoot.IsEmpty()) {
        ZQI_FileSystemLog(2, "HTTPSystem::OpenFile: there is no cache folder to keep '%s' in.", url);
        return nullptr;
    }
    String cacheFile = String::FromFormat("%s/%s", cacheRoot.CStr(), MakeCacheName(url).CStr());
    if (cache_->FileExists(SCHEME_CACHE, cacheFile.CStr())) {
        return OpenCacheFile(cacheFile);
    }
    return Download(url, cacheFile);
}

// Another engine instance storing the same download renames its copy onto the cache file, and
// Windows lets nobody open a file for the moment it is being replaced. The file is there (a
// whole one: only whole stores give it its name), so the opening is tried again for a while.
File* HTTPSystem::OpenCacheFile(const String& cacheFile) {
    for (int32_t attempt = 1;; ++attempt) {
        File* file = cache_->OpenFile(SCHEME_CACHE, cacheFile.CStr(), FILE_MODE_READ);
        if (file != nullptr || attempt == kCacheOpenAttempts ||
            !cache_->FileExists(SCHEME_CACHE, cacheFile.CStr())) {
            return file;
        }
        ZQI_SysSleep(kCacheOpenPauseMilliseconds);
    }
}

File* HTTPSystem::Download(const char* url, const String& cacheFile) {
    ZQI_FileSystemPrint("File System: downloading file '%s'...", url);
    zq_buffer_t* body = nullptr;
    int32_t status =
        ZQ_SendHttpRequest(HTTP_REQUEST_GET, url, "application/octet-stream", "", 0, &body, &g_downloadState);
    File* result = nullptr;
    if (status != 200) {
        ZQI_FileSystemPrint("File System: failed to download file '%s' (status %i).", url, status);
    } else if (body == nullptr || body->size < body->capacity) {
        ZQI_FileSystemPrint("File System: failed to download file '%s' (incomplete, %i/%i bytes).", url,
                            body != nullptr ? static_cast<int32_t>(body->size) : 0,
                            body != nullptr ? static_cast<int32_t>(body->capacity) : 0);
    } else {
        ZQI_FileSystemPrint("File System: downloading file '%s' completed (%i bytes).", url,
                            static_cast<int32_t>(body->size));
        if (ZQI_StoreDownloadedFile(cache_, SCHEME_CACHE, cacheFile.CStr(), body->data, body->size)) {
            result = OpenCacheFile(cacheFile);
        }
    }
    ZQ_FreeBuffer(body);
    return result;
}

bool HTTPSystem::CanWriteFile(SchemeId, const char*) {
    return false;
}

bool HTTPSystem::FileExists(SchemeId scheme, const char* url) {
    File* file = OpenFile(scheme, url, FILE_MODE_READ);
    if (file == nullptr) {
        return false;
    }
    cache_->CloseFile(file);
    return true;
}

void HTTPSystem::FindFiles(SchemeId scheme, const char*, const char*, const Array<String>&, bool,
                           Array<String>&) {
    ZQI_FileSystemPopup(1, "File System: %s() is not implemented for files in '%s://' on %s.", "FindFiles",
                        ZQI_GetSchemeName(scheme), "HTTP");
}

bool HTTPSystem::GetFileInfo(SchemeId scheme, const char*, zq_file_info_t*) {
    ZQI_FileSystemPopup(1, "File System: %s() is not implemented for files in '%s://' on %s.", "GetFileInfo",
                        ZQI_GetSchemeName(scheme), "HTTP");
    return false;
}

}  // namespace ZQFileSystem

namespace {

// Numbers the temporary files of this process's downloads, so two of one URL never share one.
std::atomic<uint32_t> g_downloadCounter(0);

// "~.download-<process id>-<number>" in the target's folder: the process id keeps apart the
// stores of engine instances running at once over one cache folder, the number those of this
// process's threads. The name does not grow with the target's, so a cache file whose name is
// close to the longest file name or path the platform takes can still be stored, and the "~",
// which no virtual path holds, keeps it from ever being the cache name of a URL.
String MakeTemporaryName(const char* nativePath) {
    const char* name = nativePath;
    for (const char* c = nativePath; *c != '\0'; ++c) {
        if (*c == '/' || *c == '\\') {
            name = c + 1;
        }
    }
    return String::FromFormat("%.*s" ZQI_DOWNLOAD_PREFIX "%u-%u", static_cast<int>(name - nativePath),
                              nativePath, ZQI_NativeProcessId(), static_cast<uint32_t>(++g_downloadCounter));
}

}  // namespace

bool ZQI_StoreDownloadedFile(ZQFileSystem::System* system, SchemeId scheme, const char* nativePath,
                             const void* data, uint64_t size) {
    using namespace ZQFileSystem;
    if (system == nullptr || nativePath == nullptr || (data == nullptr && size != 0)) {
        return false;
    }
    const String temporary = MakeTemporaryName(nativePath);
    File* target = system->OpenFile(scheme, temporary.CStr(), FILE_MODE_WRITE);
    if (target == nullptr) {
        ZQI_FileSystemLog(2, "ZQI_StoreDownloadedFile: could not create '%s'.", temporary.CStr());
        return false;
    }
    // The bytes reach the disk before the temporary takes the file's name: the disk may otherwise
    // keep the rename and lose the data at a power cut, leaving an empty or cut file under the
    // name that every later opening would take for whole. One commit (the flush's).
    const bool written = (size == 0 || target->Write(data, size) == size) && target->Flush();
    const bool closed = system->CloseFile(target);
    if (written && closed && system->ReplaceFile(scheme, temporary.CStr(), nativePath, false)) {
        return true;
    }
    system->DeleteFile(scheme, temporary.CStr());
    if (written && closed && system->FileExists(scheme, nativePath)) {
        // Another store of the download got there first and its file is open (Windows refuses
        // to replace an open file); that one is just as whole.
        return true;
    }
    ZQI_FileSystemLog(2, "ZQI_StoreDownloadedFile: could not store the download in '%s'.", nativePath);
    return false;
}

bool ZQI_StoreDownloadedPath(const char* path, const void* data, uint64_t size) {
    if (path == nullptr || !ZQI_IsPathValid(path, true, false)) {
        return false;
    }
    const SchemeId scheme = ZQI_GetSchemeId(path);
    if (scheme == SCHEME_RES && !ZQI_IsResourceWriteAllowed()) {
        return false;
    }
    String nativePath;
    ConvertPathToNativePath(nativePath, scheme, path);
    return ZQI_StoreDownloadedFile(ZQI_GetFileSystem(scheme), scheme, nativePath.CStr(), data, size);
}
