// Animated bitmaps from numbered image files ("walk*.png" loads walk0000.png, walk0001.png ...),
// and bitmap-sequence files built from such files when the sequence file itself is missing.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/ApiTable.h"
#include "core/CoreState.h"
#include "filesystem/FileSystemApi.h"
#include "filesystem/SearchPaths.h"
#include "filesystem/VirtualPath.h"
#include "foundation/TextUtils.h"
#include "graphics/BitmapData.h"
#include "graphics/BitmapLoading.h"
#include "graphics/BitmapSequence.h"
#include "graphics/BitmapTable.h"
#include "graphics/BitmapUpload.h"
#include "graphics/ImageLoader.h"
#include "graphics/PixelTools.h"

namespace {

const int32_t kLastFrameNumber = 999;
// Probing stops after this many missing numbers in a row, once a frame was found; after the first
// gap between two found frames the sequence may have longer gaps.
const int32_t kMissingBeforeGap = 5;
const int32_t kMissingAfterGap = 100;
const float kDefaultFrameRate = 30.0f;
const int32_t kLastSourceNumber = 20;
const int32_t kLastSourceNumberDeveloper = 120;

// The pattern with its first '*' replaced by the number as four digits. The number is put in as
// text: the name is never used as a format. False when the result does not fit.
bool FormatFrameName(char* out, size_t size, const char* pattern, int32_t number) {
    const char* star = strchr(pattern, '*');
    int length =
        snprintf(out, size, "%.*s%.4d%s", static_cast<int>(star - pattern), pattern, number, star + 1);
    return length > 0 && size_t(length) < size;
}

struct FrameSearch {
    int32_t first;  // the first number found, -1 when none
    int32_t found;
};

FrameSearch ProbeFrames(const char* pattern) {
    FrameSearch search = {-1, 0};
    char name[ZQI_BITMAP_PATH_BUFFER];
    int32_t missing = 0;
    int32_t limit = kMissingBeforeGap;
    for (int32_t number = 0; number <= kLastFrameNumber; ++number) {
        if (!FormatFrameName(name, sizeof(name), pattern, number)) {
            break;
        }
        if (ZQ_FileSystem_FileExists(name)) {
            if (search.found > 0 && missing > 0) {
                limit = kMissingAfterGap;
            }
            if (search.first < 0) {
                search.first = number;
            }
            ++search.found;
            missing = 0;
        } else if (search.found > 0 && ++missing > limit) {
            break;
        }
    }
    return search;
}

// Loads the files from the first number upwards into the frames until all of them have loaded or
// the numbers end; a file that fails to decode is skipped. Returns the frames loaded.
int32_t LoadFrames(zq_bitmap_t* frames, int32_t wanted, int32_t first, const char* pattern) {
    char name[ZQI_BITMAP_PATH_BUFFER];
    int32_t loaded = 0;
    for (int32_t number = first; number <= kLastFrameNumber && loaded < wanted; ++number) {
        if (!FormatFrameName(name, sizeof(name), pattern, number) || !ZQ_FileSystem_FileExists(name)) {
            continue;
        }
        zq_bitmap_t* frame = &frames[loaded];
        memset(frame, 0, sizeof(*frame));
        if (!ZQI_GetImageLoader()->LoadImage(frame, name)) {
            continue;
        }
        frame->name = ZQI_DuplicateText(name);
        frame->current_frame = number;
        frame->frame_rate = kDefaultFrameRate;
        frame->format = ZQ_TEXTURE_FORMAT_RGBA8;
        frame->type = ZQ_TEXTURE_TYPE_2D;
        frame->mip_levels = 1;
        frame->depth = 1;
        ++loaded;
    }
    return loaded;
}

// Marks frames that repeat earlier ones, last to first. A repeated frame drops its own pixels and
// shares the place of the frame it repeats; frames that already pointed at it are passed on, so a
// same-as frame always names a frame that repeats nothing.
void OptimiseSequence(zq_bitmap_t* bitmap, const char* name) {
    ZQ_Print("Optimizing sequence '%s'...", name);
    int64_t savedBytes = 0;
    for (int32_t i = bitmap->frame_count - 1; i >= 1; --i) {
        zq_bitmap_t* frame = &bitmap->frames[i];
        for (int32_t j = 0; j < i; ++j) {
            zq_bitmap_t* earlier = &bitmap->frames[j];
            if (!BitmapPixelsMatch(frame, earlier)) {
                continue;
            }
            ZQ_Print("Frames #%.4d and #%.4d match.", i, j);
            for (int32_t k = i + 1; k < bitmap->frame_count; ++k) {
                if (bitmap->frames[k].same_as_frame == frame) {
                    bitmap->frames[k].same_as_frame = earlier;
                }
            }
            savedBytes += int64_t(frame->pixel_width) * frame->pixel_height * 4;
            ZQI_GetImageLoader()->FreeImagePixels(frame);
            frame->same_as_frame = earlier;
            break;
        }
    }
    if (savedBytes != 0) {
        ZQ_Print("Saved %.2fMB by removing similar frames from sequence %s.", double(savedBytes) / 1048576.0,
                 name);
    }
}

// "res://data/<name>", or "res://<search path>/<name>" for the last search path that holds "data"
// and is neither a "-src" folder nor a scheme path. A name with a scheme counts without it, so
// the result stays one valid path.
String SequenceOutputPath(const char* name) {
    const char* schemeEnd = strstr(name, "://");
    if (schemeEnd != nullptr) {
        name = schemeEnd + 3;
    }
    String output = String::FromFormat("res://data/%s", name);
    ZQI_LockSearchPaths();
    Array<String>& paths = ZQI_GetSearchPathList();
    for (int32_t i = paths.count - 1; i >= 0; --i) {
        const char* path = paths[i].CStr();
        if (strstr(path, "data") != nullptr && strstr(path, "-src") == nullptr &&
            strstr(path, "://") == nullptr) {
            output.Format("res://%s/%s", path, name);
            break;
        }
    }
    ZQI_UnlockSearchPaths();
    return output;
}

// The first numbered source of the sequence's base name: number, then separator, then extension.
bool FindSourcePattern(const char* base, char* pattern, size_t size) {
    static const char* const kSeparators[] = {"-", "_", ""};
    static const char* const kExtensions[] = {"png", "jpg", "tga"};
    const int32_t last = g_core.developerMode ? kLastSourceNumberDeveloper : kLastSourceNumber;
    char name[ZQI_BITMAP_PATH_BUFFER];
    for (int32_t number = 0; number <= last; ++number) {
        for (const char* separator : kSeparators) {
            for (const char* extension : kExtensions) {
                int length = snprintf(name, sizeof(name), "%s%s%.4d.%s", base, separator, number, extension);
                if (length <= 0 || size_t(length) >= sizeof(name) || !ZQ_FileSystem_FileExists(name)) {
                    continue;
                }
                length = snprintf(pattern, size, "%s%s*.%s", base, separator, extension);
                return length > 0 && size_t(length) < size;
            }
        }
    }
    return false;
}

}  // namespace

bool ZQI_LoadNumberedFrames(zq_bitmap_t* bitmap, const char* pattern) {
    if (strlen(pattern) >= ZQI_BITMAP_PATH_BUFFER - 4) {
        ZQ_Log(2, "ZQI_LoadNumberedFrames: the name '%s' is too long.", pattern);
        return false;
    }
    const FrameSearch search = ProbeFrames(pattern);
    FreeBitmapGPUData(bitmap);
    FreeBitmapFrames(bitmap);
    zq_bitmap_t* frames = search.found > 0 ? ZQI_NewBitmapRecords(search.found) : nullptr;
    const int32_t loaded = frames != nullptr ? LoadFrames(frames, search.found, search.first, pattern) : 0;
    if (loaded == 0) {
        free(frames);
        ZQ_Popup(1, "Bitmap files '%s' not found.", pattern);
        return false;
    }
    bitmap->frames = frames;
    bitmap->frame_count = loaded;
    ZQ_Graphics_SetBitmapFrame(bitmap, 0);
    return true;
}

bool ZQI_BuildSequenceFromNumberedFrames(zq_bitmap_t* bitmap, const char* sequenceName) {
    const size_t length = strlen(sequenceName);
    if (length < 4 || length >= ZQI_BITMAP_PATH_BUFFER) {
        return false;
    }
    char base[ZQI_BITMAP_PATH_BUFFER];
    memcpy(base, sequenceName, length - 4);
    base[length - 4] = '\0';
    char pattern[ZQI_BITMAP_PATH_BUFFER];
    if (!FindSourcePattern(base, pattern, sizeof(pattern)) || !ZQI_LoadNumberedFrames(bitmap, pattern)) {
        return false;
    }
    OptimiseSequence(bitmap, sequenceName);
    String output = SequenceOutputPath(sequenceName);
    String native;
    ZQ_ConvertStaticPathToNativeOSPath(native, output.CStr());
    if (ZQI_SaveBitmapSequence(bitmap, native.CStr())) {
        FreeBitmapFrames(bitmap);
        ZQI_LoadBitmapSequence(bitmap, output.CStr());
    } else {
        // Not written: the numbered frames stay, each on its own.
        ZQI_FreeBitmapAtlas(bitmap);
    }
    ZQ_Graphics_SetBitmapFrame(bitmap, 0);
    return bitmap->frame_count > 0;
}
