// Images over http://: each URL is kept as a cache:// file named after it, downloaded once (with
// GET) and loaded from there afterwards. A URL without an image extension takes its file type from
// the reply's Content-Type.
#include <cstdio>
#include <cstring>

#include "core/ApiTable.h"
#include "core/Buffer.h"
#include "filesystem/FileSystemApi.h"
#include "filesystem/HTTPSystem.h"
#include "filesystem/HttpClient.h"
#include "filesystem/HttpResponse.h"
#include "foundation/TextUtils.h"
#include "graphics/BitmapLoading.h"
#include "graphics/BitmapSequence.h"
#include "graphics/ImageLoader.h"

namespace {

const char* const kCacheExtensions[] = {"jpg", "png", "tga", "bms"};

bool IsCacheNameCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_';
}

bool HasImageExtension(const char* name) {
    const char* dot = strrchr(name, '.');
    if (dot == nullptr) {
        return false;
    }
    for (const char* extension : kCacheExtensions) {
        if (ZQI_EqualsIgnoreCase(dot + 1, extension)) {
            return true;
        }
    }
    return false;
}

bool IsUsableCacheFile(const char* path) {
    zq_file_info_t info;
    return ZQ_FileSystem_FileExists(path) && ZQ_FileSystem_GetFileInfo(path, &info) && info.size > 0;
}

// A cache file that is already there: the name itself when it has an image extension, otherwise
// the name with ".jpg", ".png", ".tga" or ".bms" appended.
bool FindCacheFile(const char* cacheName, char* out, size_t size) {
    if (HasImageExtension(cacheName)) {
        snprintf(out, size, "%s", cacheName);
        return IsUsableCacheFile(out);
    }
    for (const char* extension : kCacheExtensions) {
        int length = snprintf(out, size, "%s.%s", cacheName, extension);
        if (length > 0 && size_t(length) < size && IsUsableCacheFile(out)) {
            return true;
        }
    }
    return false;
}

bool LoadCacheFile(zq_bitmap_t* bitmap, const char* path) {
    if (ZQI_EndsWith(path, ".bms")) {
        return ZQI_LoadBitmapSequence(bitmap, path);
    }
    return ZQI_GetImageLoader()->LoadImage(bitmap, path);
}

// The reply's header text and its length (the buffer holds a NUL after it); "" when none came.
const char* HeaderText(const zq_buffer_t* header, size_t* length) {
    *length = header->data != nullptr && header->size > 0 ? header->size - 1 : 0;
    return header->data != nullptr ? reinterpret_cast<const char*>(header->data) : "";
}

// The extension the reply's Content-Type gives a URL that had none; false (reported) otherwise.
// A value cut by a control byte is no type the server sent.
bool ExtensionFromContentType(const zq_buffer_t* header, const char** extension) {
    size_t length = 0;
    const char* text = HeaderText(header, &length);
    String type;
    const HttpField field = ZQI_FindHttpHeaderValue(text, length, "Content-Type", type);
    if (field == HTTP_FIELD_ABSENT) {
        ZQ_Popup(1, "ZQI_LoadBitmapHTTP: No Content-Type defined in header: '%s'", text);
        return false;
    }
    if (field == HTTP_FIELD_FOUND && strstr(type.CStr(), "image/jpeg") != nullptr) {
        *extension = ".jpg";
    } else if (field == HTTP_FIELD_FOUND && strstr(type.CStr(), "image/png") != nullptr) {
        *extension = ".png";
    } else {
        ZQ_Popup(1, "ZQI_LoadBitmapHTTP: Unknown image type. Header: '%s'", text);
        return false;
    }
    return true;
}

// A cut cache file would be served as the whole image by every later load, so the file is
// stored the way the http:// file system stores its downloads: complete, then renamed.
bool WriteCacheFile(const char* path, const zq_buffer_t* body) {
    if (!ZQI_StoreDownloadedPath(path, body->data, body->size)) {
        ZQ_Log(2, "Unable to open '%s'\n", path);
        return false;
    }
    return true;
}

// GET into the buffers; true only for status 200 with the whole body.
bool Download(const char* url, zq_buffer_t* header, zq_buffer_t* body) {
    int32_t result =
        HttpRequest(HTTP_REQUEST_GET, url, "application/octet-stream", nullptr, 0, header, body, nullptr);
    if (result == 200) {
        return true;
    }
    size_t headerLength = 0;
    const char* headerText = HeaderText(header, &headerLength);
    int64_t announced = 0;
    const double expected =
        ZQI_ParseHttpContentLength(headerText, headerLength, &announced) == HTTP_LENGTH_GIVEN
            ? double(announced)
            : 0.0;
    const int32_t percent = expected > 0.0 ? static_cast<int32_t>(100.0 * body->size / expected) : 0;
    ZQ_Log(1, "Download not complete (%d%% of %.1fKB done, ret %d). Not saving.\n", percent,
           expected / 1024.0, result);
    return false;
}

}  // namespace

void ZQI_GetHttpCacheName(char* out, int32_t size, const char* url) {
    int written = snprintf(out, size_t(size), "cache://%s", url);
    if (written < 0) {
        out[0] = '\0';
        return;
    }
    for (char* c = out + strlen("cache://"); *c != '\0'; ++c) {
        if (!IsCacheNameCharacter(*c)) {
            *c = '_';
        }
    }
}

bool ZQI_LoadBitmapHTTP(zq_bitmap_t* bitmap, const char* url) {
    if (strchr(url, '*') != nullptr) {
        ZQ_Popup(1, "Asterisk character ('*') isn't allowed in http:// url file names such as '%s'\n", url);
        return false;
    }
    char cacheName[ZQI_BITMAP_PATH_BUFFER];
    char cacheFile[ZQI_BITMAP_PATH_BUFFER];
    if (strlen(url) + strlen("cache://") + strlen(".jpg") >= sizeof(cacheName)) {
        ZQ_Log(2, "ZQI_LoadBitmapHTTP: the URL '%s' is too long.", url);
        return false;
    }
    ZQI_GetHttpCacheName(cacheName, sizeof(cacheName), url);
    if (FindCacheFile(cacheName, cacheFile, sizeof(cacheFile))) {
        return LoadCacheFile(bitmap, cacheFile);
    }
    zq_buffer_t* header = ZQ_CreateBuffer(0);
    zq_buffer_t* body = ZQ_CreateBuffer(0);
    bool loaded = false;
    if (header != nullptr && body != nullptr && Download(url, header, body)) {
        const char* extension = "";
        if (HasImageExtension(cacheName) || ExtensionFromContentType(header, &extension)) {
            snprintf(cacheFile, sizeof(cacheFile), "%s%s", cacheName, extension);
            if (WriteCacheFile(cacheFile, body)) {
                ZQ_Print("Done downloading %d bytes for '%s'\n", static_cast<int32_t>(body->size), url);
                loaded = LoadCacheFile(bitmap, cacheFile);
            }
        }
    }
    ZQ_FreeBuffer(header);
    ZQ_FreeBuffer(body);
    return loaded;
}
