// Loading a bitmap from its file: the extension search, the choice of source, and the manifest
// entry that gives the bitmap its logical size and pack mode.
#include "graphics/BitmapLoading.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/ApiTable.h"
#include "core/CoreState.h"
#include "core/Features.h"
#include "data/DMRecords.h"
#include "filesystem/FileSystemApi.h"
#include "filesystem/VirtualPath.h"
#include "foundation/TextUtils.h"
#include "graphics/BitmapData.h"
#include "graphics/BitmapSequence.h"
#include "graphics/BitmapTable.h"
#include "graphics/ImageLoader.h"
#include "startup/ManifestList.h"

namespace {

const char* const kImageExtensions[] = {"png", "jpg", "tga", "bms"};
const int32_t kDefaultManifestSide = 32;
const double kAspectTolerance = 0.25;
const float kDefaultFrameRate = 30.0f;

// A '.' in the last path component.
bool HasExtension(const char* name) {
    const char* slash = strrchr(name, '/');
    return strchr(slash != nullptr ? slash + 1 : name, '.') != nullptr;
}

int32_t ManifestSide(const DMNode* entry, const char* key) {
    const char* value = entry->GetValue(key);
    return value != nullptr ? atoi(value) : kDefaultManifestSide;
}

// The native path of a source, for the developer-mode messages.
String NativeSourcePath(const char* path) {
    String native;
    if (ZQI_GetSchemeId(path) == SCHEME_PLAIN) {
        SchemeId scheme = SCHEME_PLAIN;
        ZQI_ResolveSearchPath(native, path, scheme);
    } else {
        ZQ_ConvertStaticPathToNativeOSPath(native, path);
    }
    return native;
}

// Developer mode: manifest sizes against the source's. Files under a "data" folder must match
// exactly (unless the data is packed); other sources must keep their aspect ratio.
void ValidateManifestSize(const zq_bitmap_t* bitmap, const char* source) {
    if (!g_core.developerMode || ZQI_IsFeatureEnabled("SKIP_MANIFEST_VALIDATION") || source == nullptr ||
        !ZQ_FileSystem_IsPathValid(source)) {
        return;
    }
    String native = NativeSourcePath(source);
    const char* nativeText = native.CStr();
    const int32_t w = bitmap->width;
    const int32_t h = bitmap->height;
    const int32_t pw = bitmap->pixel_width;
    const int32_t ph = bitmap->pixel_height;
    if (strstr(nativeText, "/data/") != nullptr && strstr(nativeText, "-src/") == nullptr &&
        !ZQ_FileSystem_FileExists("res://data.pak")) {
        if (w != pw || h != ph) {
            ZQ_Popup(1,
                     "Manifest data and source have different dimensions for bitmap '%s' (%dx%d vs %dx%d) "
                     "(source: '%s')",
                     bitmap->name, w, h, pw, ph, nativeText);
        }
        return;
    }
    if (h != 0 && ph != 0 && std::fabs(double(w) / h - double(pw) / ph) > kAspectTolerance) {
        ZQ_Popup(1,
                 "Manifest data and source have different aspect ratios for bitmap '%s' (%dx%d vs %dx%d) "
                 "(source: '%s')",
                 bitmap->name, w, h, pw, ph, nativeText);
    }
}

// Sequence frames drawn at the manifest's height: each frame's logical size is its file size times
// h / (frame 0's height), truncated. Pixel sizes stay the file's.
void ScaleSequenceFrames(zq_bitmap_t* bitmap, int32_t manifestHeight) {
    const int32_t firstHeight = bitmap->frames[0].pixel_height;
    if (firstHeight <= 0) {
        return;
    }
    for (int32_t i = 0; i < bitmap->frame_count; ++i) {
        zq_bitmap_t& frame = bitmap->frames[i];
        frame.width = static_cast<int32_t>(int64_t(frame.pixel_width) * manifestHeight / firstHeight);
        frame.height = static_cast<int32_t>(int64_t(frame.pixel_height) * manifestHeight / firstHeight);
    }
}

// Step 4 of loading one file: the source by its kind.
bool LoadSource(zq_bitmap_t* bitmap, const char* fileName) {
    if (ZQI_StartsWith(fileName, "http://")) {
        return ZQI_LoadBitmapHTTP(bitmap, fileName);
    }
    if (ZQI_EndsWith(fileName, ".bms")) {
        return ZQI_LoadBitmapSequence(bitmap, fileName) ||
               ZQI_BuildSequenceFromNumberedFrames(bitmap, fileName);
    }
    if (strchr(fileName, '*') != nullptr) {
        return ZQI_LoadNumberedFrames(bitmap, fileName);
    }
    return ZQI_GetImageLoader()->LoadImage(bitmap, fileName);
}

}  // namespace

uint32_t ZQI_ParsePackMode(const char* text) {
    if (strcmp(text, "NO_PADDING") == 0) {
        return NO_PADDING;
    }
    if (strcmp(text, "PAD_EXPAND") == 0) {
        return PAD_EXPAND;
    }
    if (strcmp(text, "PAD_EXPAND_TILED") == 0) {
        return PAD_EXPAND_TILED;
    }
    return PAD_DEFAULT;
}

DMNode* FindManifestEntry(const char* name) {
    if (name == nullptr) {
        return nullptr;
    }
    char withExtension[ZQI_BITMAP_PATH_BUFFER];
    const bool tryExtensions = !HasExtension(name);
    for (int32_t i = 0; i < ZQI_GetManifestArrayCount(); ++i) {
        DMArray* array = ZQI_GetManifestArray(i);
        if (array == nullptr) {
            continue;
        }
        if (DMNode* node = array->GetNode(name)) {
            return node;
        }
        for (size_t e = 0; tryExtensions && e < sizeof(kImageExtensions) / sizeof(kImageExtensions[0]); ++e) {
            int length = snprintf(withExtension, sizeof(withExtension), "%s.%s", name, kImageExtensions[e]);
            if (length > 0 && length < int(sizeof(withExtension))) {
                if (DMNode* node = array->GetNode(withExtension)) {
                    return node;
                }
            }
        }
    }
    return nullptr;
}

void ZQI_ApplyManifestEntry(zq_bitmap_t* bitmap, const char* source) {
    if (bitmap->frames != nullptr && bitmap->frame_count > 0) {
        // An animated bitmap shows frame 0 once loaded, with that frame's sizes; a sequence file's
        // reader leaves the record as it was, which after a reload is a frame of the old data.
        ZQ_Graphics_SetBitmapFrame(bitmap, 0);
    } else {
        bitmap->pixel_width = bitmap->width;
        bitmap->pixel_height = bitmap->height;
    }
    DMNode* entry = FindManifestEntry(bitmap->name);
    if (entry == nullptr) {
        return;
    }
    bitmap->width = ManifestSide(entry, "w");
    bitmap->height = ManifestSide(entry, "h");
    if (const char* packMode = entry->GetValue("pack_mode")) {
        ZQ_Print("Using pack mode '%s'\n", packMode);
        bitmap->pack_mode = ZQI_ParsePackMode(packMode);
    }
    ValidateManifestSize(bitmap, source);
    if (source != nullptr && ZQI_EndsWith(source, ".bms") && bitmap->frames != nullptr &&
        bitmap->frame_count > 0) {
        ScaleSequenceFrames(bitmap, ManifestSide(entry, "h"));
        ZQ_Graphics_SetBitmapFrame(bitmap, 0);
    }
}

bool ZQI_LoadBitmapFromFile(zq_bitmap_t* bitmap, const char* fileName) {
    if (bitmap->name == nullptr || bitmap->name[0] == '!' || bitmap->load_state != BITMAP_NOT_LOADED) {
        return false;
    }
    bitmap->load_state = BITMAP_LOADING;
    if (bitmap->pixels != nullptr) {
        ZQ_Log(1, "Bitmap '%s' has existing pixel data. Freeing it.", bitmap->name);
        FreeBitmapPixels(bitmap);
    }
    bitmap->frame_rate = kDefaultFrameRate;
    const bool loaded = LoadSource(bitmap, fileName);
    bitmap->load_state = BITMAP_LOADED;
    for (int32_t i = 0; bitmap->frames != nullptr && i < bitmap->frame_count; ++i) {
        bitmap->frames[i].load_state = bitmap->load_state;
    }
    if (!loaded) {
        ZQ_Popup(1, "Unable to load bitmap '%s'.\n", fileName);
        return false;
    }
    ZQI_ApplyManifestEntry(bitmap, fileName);
    return true;
}

bool LoadBitmapFile(zq_bitmap_t* bitmap) {
    if (bitmap == nullptr || bitmap->name == nullptr) {
        return false;
    }
    const char* name = bitmap->name;
    if (HasExtension(name) || ZQI_StartsWith(name, "http://")) {
        return ZQI_LoadBitmapFromFile(bitmap, name);
    }
    char fileName[ZQI_BITMAP_PATH_BUFFER];
    for (const char* extension : kImageExtensions) {
        int length = snprintf(fileName, sizeof(fileName), "%s.%s", name, extension);
        if (length < 0 || length >= int(sizeof(fileName))) {
            ZQ_Log(2, "LoadBitmapFile: the name '%s' is too long.", name);
            return false;
        }
        if (ZQ_FileSystem_FileExists(fileName)) {
            ZQI_SetBitmapSourceFile(bitmap, ZQI_DuplicateText(fileName));
            return ZQI_LoadBitmapFromFile(bitmap, fileName);
        }
    }
    ZQ_Popup(
        1, "Unable to load bitmap '%s' without extension. Tried all image formats but found no source files.",
        name);
    return false;
}
