// The portable image loader: whole-file reads through the file-system API, the choice of codec by
// extension, pixel allocation and saving.
#include "graphics/ImageLoader.h"

#include <cstdlib>
#include <cstring>

#include "core/ApiTable.h"
#include "core/CoreState.h"
#include "data/DataFileAccess.h"
#include "filesystem/FileSystemApi.h"
#include "filesystem/VirtualPath.h"
#include "foundation/TextUtils.h"
#include "graphics/BitmapTable.h"

namespace {

enum ImageKind { IMAGE_UNKNOWN, IMAGE_TGA, IMAGE_PNG, IMAGE_JPEG };

// The extension after the last '.' of the path, or "" when a '/' follows that '.' or there is none.
const char* FindExtension(const char* path) {
    const char* dot = strrchr(path, '.');
    if (dot == nullptr || strchr(dot, '/') != nullptr) {
        return "";
    }
    return dot + 1;
}

ImageKind KindFromExtension(const char* extension) {
    if (ZQI_EqualsIgnoreCase(extension, "tga")) {
        return IMAGE_TGA;
    }
    if (ZQI_EqualsIgnoreCase(extension, "png")) {
        return IMAGE_PNG;
    }
    if (ZQI_EqualsIgnoreCase(extension, "jpg")) {
        return IMAGE_JPEG;
    }
    return IMAGE_UNKNOWN;
}

// The dimension reader goes by the last four characters, not by the extension.
ImageKind KindFromEnding(const char* path) {
    size_t length = strlen(path);
    if (length < 4) {
        return IMAGE_UNKNOWN;
    }
    const char* ending = path + length - 4;
    if (ZQI_EqualsIgnoreCase(ending, ".tga")) {
        return IMAGE_TGA;
    }
    if (ZQI_EqualsIgnoreCase(ending, ".png")) {
        return IMAGE_PNG;
    }
    if (ZQI_EqualsIgnoreCase(ending, ".jpg")) {
        return IMAGE_JPEG;
    }
    return IMAGE_UNKNOWN;
}

uint16_t ReadU16(const uint8_t* bytes) {
    return static_cast<uint16_t>(bytes[0] | (bytes[1] << 8));
}

bool ReadTGADimensions(zq_bitmap_t* bitmap, const uint8_t* bytes, uint64_t size) {
    if (size < 18) {
        return false;
    }
    bitmap->width = ReadU16(bytes + 12);
    bitmap->height = ReadU16(bytes + 14);
    bitmap->flags |= BITMAP_FLAG_ALPHA | BITMAP_FLAG_RELOADABLE;
    return true;
}

void NoteSourceTime(zq_bitmap_t* bitmap, const char* path) {
    if (!g_core.developerMode) {
        return;
    }
    zq_file_info_t info;
    if (ZQ_FileSystem_GetFileInfo(path, &info)) {
        bitmap->source_time = info.modification_time;
    }
}

bool SaveJPEG(zq_bitmap_t* bitmap, const char* nativePath, uint32_t quality) {
    if (bitmap->pixels == nullptr) {
        return false;
    }
    const int64_t pixelCount = int64_t(bitmap->pixel_width) * bitmap->pixel_height;
    uint8_t* rgb = static_cast<uint8_t*>(malloc(static_cast<size_t>(pixelCount) * 3));
    if (rgb == nullptr) {
        ZQ_Log(2, "SaveImage: out of memory for '%s'.", nativePath);
        return false;
    }
    for (int64_t i = 0; i < pixelCount; ++i) {
        memcpy(rgb + i * 3, bitmap->pixels + i * 4, 3);
    }
    int32_t jpegQuality = quality > 100 ? 100 : static_cast<int32_t>(quality);
    bool written = WriteJPEG(nativePath, rgb, bitmap->pixel_width, bitmap->pixel_height, jpegQuality);
    free(rgb);
    return written;
}

bool SavePNG(zq_bitmap_t* bitmap, const char* nativePath) {
    FILE* file = fopen(nativePath, "wb");
    if (file == nullptr) {
        ZQ_Log(2, "Unable to open file '%s' for writing.", nativePath);
        return false;
    }
    bool written = WritePNG(bitmap, file);
    return fclose(file) == 0 && written;
}

}  // namespace

bool ZQI_IsImageSizeAllowed(int64_t width, int64_t height) {
    return width >= 1 && height >= 1 && width <= ZQI_MAX_IMAGE_SIDE && height <= ZQI_MAX_IMAGE_SIDE &&
           width * height <= ZQI_MAX_IMAGE_PIXELS;
}

bool ZQI_CheckImageSize(const char* reader, const zq_bitmap_t* bitmap, int64_t width, int64_t height) {
    if (ZQI_IsImageSizeAllowed(width, height)) {
        return true;
    }
    const char* name = bitmap != nullptr && bitmap->name != nullptr ? bitmap->name : "NULL";
    ZQ_Log(2, "%s: image '%s' has unsupported dimensions %lldx%lld.", reader, name,
           static_cast<long long>(width), static_cast<long long>(height));
    return false;
}

ImageLoaderImp::~ImageLoaderImp() {}

bool ImageLoaderImp::AllocateImagePixels(zq_bitmap_t* bitmap, int32_t width, int32_t height) {
    if (!ZQI_IsImageSizeAllowed(width, height)) {
        ZQ_Popup(1, "ImageLoaderImp::AllocateImagePixels dimensions (%d%d) seem weird.", width, height);
        return false;
    }
    if (bitmap->pixels != nullptr) {
        ZQ_Popup(1, "ImageLoaderImp::AllocateImagePixels bitmap already has pixels allocated!");
        FreeImagePixels(bitmap);
    }
    bitmap->width = bitmap->pixel_width = width;
    bitmap->height = bitmap->pixel_height = height;
    bitmap->pixels =
        static_cast<uint8_t*>(malloc(static_cast<size_t>(width) * static_cast<size_t>(height) * 4));
    return bitmap->pixels != nullptr;
}

bool ImageLoaderImpPortable::GetImageDimensions(zq_bitmap_t* bitmap, const char* path) {
    uint8_t* bytes = nullptr;
    int32_t size = 0;
    if (bitmap == nullptr || path == nullptr || !ZQI_DataManagerReadWholeFile(path, &bytes, &size)) {
        return false;
    }
    bitmap->flags |= BITMAP_FLAG_RELOADABLE;
    bool found = false;
    switch (KindFromEnding(path)) {
        case IMAGE_TGA:
            found = ReadTGADimensions(bitmap, bytes, static_cast<uint64_t>(size));
            break;
        case IMAGE_PNG:
            found = ReadPNGDimensions(bitmap, bytes, static_cast<uint64_t>(size));
            break;
        case IMAGE_JPEG:
            found = ReadJPEGDimensions(bitmap, bytes, static_cast<uint64_t>(size));
            break;
        case IMAGE_UNKNOWN:
            ZQ_Popup(1, "Unsupported image format in file '%s'\n", path);
            break;
    }
    free(bytes);
    if (bitmap->pixels != nullptr) {
        FreeImagePixels(bitmap);
    }
    return found;
}

bool ImageLoaderImpPortable::LoadImage(zq_bitmap_t* bitmap, const char* path) {
    uint8_t* bytes = nullptr;
    int32_t size = 0;
    if (bitmap == nullptr || path == nullptr || !ZQI_DataManagerReadWholeFile(path, &bytes, &size)) {
        return false;
    }
    bitmap->flags |= BITMAP_FLAG_RELOADABLE;
    const uint64_t length = static_cast<uint64_t>(size);
    switch (KindFromExtension(FindExtension(path))) {
        case IMAGE_TGA:
            ReadTGA(bitmap, bytes, length);
            break;
        case IMAGE_PNG:
            ReadPNG(bitmap, bytes, length);
            break;
        case IMAGE_JPEG:
            ReadJPEG(bitmap, bytes, length);
            break;
        case IMAGE_UNKNOWN:
            ZQ_Popup(1, "Unsupported image format in file '%s'\n", path);
            break;
    }
    free(bytes);
    if (bitmap->pixels == nullptr) {
        ZQ_Log(1, "Unable to load image '%s'\n", path);
        return false;
    }
    bitmap->pixel_width = bitmap->width;
    bitmap->pixel_height = bitmap->height;
    NoteSourceTime(bitmap, path);
    return true;
}

void ImageLoaderImpPortable::FreeImagePixels(zq_bitmap_t* bitmap) {
    if (bitmap == nullptr) {
        ZQ_Log(1, "ImageLoader trying to free null bitmap.\n");
        return;
    }
    free(bitmap->pixels);
    bitmap->pixels = nullptr;
}

bool ImageLoaderImpPortable::SaveImage(zq_bitmap_t* bitmap, const char* path, uint32_t quality) {
    if (bitmap == nullptr || path == nullptr) {
        return false;
    }
    ZQ_Print("Saving image to file '%s'..\n", path);
    String nativePath(path);
    if (strstr(path, "://") != nullptr) {
        ZQ_ConvertStaticPathToNativeOSPath(nativePath, path);
    }
    if (ZQI_EndsWith(path, "png")) {
        return bitmap->pixels != nullptr && SavePNG(bitmap, nativePath.CStr());
    }
    if (ZQI_EndsWith(path, "jpg")) {
        return SaveJPEG(bitmap, nativePath.CStr(), quality);
    }
    if (ZQI_EndsWith(path, "tga")) {
        return WriteTGA(bitmap, path);
    }
    ZQ_Popup(1, "SaveImage - file format for '%s' not supported. Use .png format.\n", path);
    return false;
}

ImageLoaderImp* ZQI_GetImageLoader() {
    static ImageLoaderImpPortable loader;
    return &loader;
}

void ZQI_CreateImageLoader() {
    ZQI_GetImageLoader();
}
