// Bitmap-sequence files: the writer (frames packed into an atlas stored as PNG) and the reader
// (PNG or run-length atlas), with every count and size checked against the bytes that remain.
#include "graphics/BitmapSequence.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/ApiTable.h"
#include "data/DataFileAccess.h"
#include "foundation/TextUtils.h"
#include "graphics/AtlasPacking.h"
#include "graphics/BitmapData.h"
#include "graphics/BitmapTable.h"
#include "graphics/ImageLoader.h"

namespace {

const char kMagic[13] = "ZQ_Bm_Seq_v1";  // with its zero byte
const char kChunkAtlas[8] = "ATLAS";     // zero-filled
const int32_t kFrameRecordSize = 32;
const int32_t kMaxAtlasSide = 2048;

// ---- Writing --------------------------------------------------------------------------------------

void PutU32(uint8_t* out, uint32_t value) {
    out[0] = static_cast<uint8_t>(value);
    out[1] = static_cast<uint8_t>(value >> 8);
    out[2] = static_cast<uint8_t>(value >> 16);
    out[3] = static_cast<uint8_t>(value >> 24);
}

void PutFloat(uint8_t* out, float value) {
    uint32_t bits;
    memcpy(&bits, &value, 4);
    PutU32(out, bits);
}

bool WriteU32(FILE* file, uint32_t value) {
    uint8_t bytes[4];
    PutU32(bytes, value);
    return fwrite(bytes, 1, 4, file) == 4;
}

bool WriteHeader(FILE* file, int32_t frameCount) {
    ZQ_Print("Writing bitmap sequence atlas.");
    return fwrite(kMagic, 1, sizeof(kMagic), file) == sizeof(kMagic) &&
           WriteU32(file, static_cast<uint32_t>(frameCount)) && fwrite("RGBA", 1, 4, file) == 4 &&
           fwrite(kChunkAtlas, 1, sizeof(kChunkAtlas), file) == sizeof(kChunkAtlas) && WriteU32(file, 0);
}

// A repeated frame carries the rectangle of the frame it repeats.
bool WriteFrameRecords(FILE* file, const zq_bitmap_t* bitmap) {
    for (int32_t i = 0; i < bitmap->frame_count; ++i) {
        const zq_bitmap_t& frame = bitmap->frames[i];
        const zq_bitmap_t& placed = frame.same_as_frame != nullptr ? *frame.same_as_frame : frame;
        ZQ_Print("Writing frame num %d - %d", i, frame.current_frame);
        uint8_t record[kFrameRecordSize];
        PutU32(record + 0, static_cast<uint32_t>(frame.width));
        PutU32(record + 4, static_cast<uint32_t>(frame.height));
        PutU32(record + 8, static_cast<uint32_t>(frame.current_frame));
        PutFloat(record + 12, frame.frame_rate);
        PutFloat(record + 16, placed.gpu.texture_left);
        PutFloat(record + 20, placed.gpu.texture_top);
        PutFloat(record + 24, placed.gpu.texture_right);
        PutFloat(record + 28, placed.gpu.texture_bottom);
        if (fwrite(record, 1, sizeof(record), file) != sizeof(record)) {
            return false;
        }
    }
    return true;
}

// "PNG\0", the size (patched once the PNG is written), the PNG.
bool WriteAtlasPNG(FILE* file, zq_bitmap_t* atlas) {
    if (fwrite("PNG", 1, 4, file) != 4 || !WriteU32(file, 0)) {
        return false;
    }
    const long start = ftell(file);
    if (start < 0 || !WritePNG(atlas, file)) {
        return false;
    }
    const long end = ftell(file);
    return end >= start && fseek(file, start - 4, SEEK_SET) == 0 &&
           WriteU32(file, static_cast<uint32_t>(end - start)) && fseek(file, 0, SEEK_END) == 0;
}

// Packs the frames that repeat no other into a new atlas of the bitmap.
bool PackDistinctFrames(zq_bitmap_t* bitmap, const char* nativePath) {
    zq_bitmap_t** distinct =
        static_cast<zq_bitmap_t**>(malloc(sizeof(zq_bitmap_t*) * size_t(bitmap->frame_count)));
    zq_bitmap_t* atlas = ZQI_NewBitmapRecords(1);
    ZQI_FreeBitmapAtlas(bitmap);
    bool packed = false;
    if (distinct != nullptr && atlas != nullptr) {
        int32_t count = 0;
        for (int32_t i = 0; i < bitmap->frame_count; ++i) {
            if (bitmap->frames[i].same_as_frame == nullptr) {
                distinct[count++] = &bitmap->frames[i];
            }
        }
        packed = ZQI_PackBitmaps(atlas, distinct, count, kMaxAtlasSide, kMaxAtlasSide);
    }
    free(distinct);
    if (!packed) {
        if (atlas != nullptr) {
            free(atlas->pixels);
            free(atlas->name);
            free(atlas);
        }
        ZQ_Popup(1, "ZQI_SaveBitmapSequence: bitmaps didn't fit into atlas, not creating file '%s'.",
                 nativePath);
        return false;
    }
    bitmap->atlas = atlas;
    return true;
}

// ---- Reading --------------------------------------------------------------------------------------

// A read cursor over the file's bytes; every read is checked against the end.
struct Reader {
    const uint8_t* bytes;
    uint64_t size;
    uint64_t at;

    uint64_t Remaining() const { return size - at; }
    bool Take(void* out, uint64_t count) {
        if (count > Remaining()) {
            return false;
        }
        memcpy(out, bytes + at, count);
        at += count;
        return true;
    }
    bool TakeU32(uint32_t* value) {
        uint8_t b[4];
        if (!Take(b, 4)) {
            return false;
        }
        *value = uint32_t(b[0]) | (uint32_t(b[1]) << 8) | (uint32_t(b[2]) << 16) | (uint32_t(b[3]) << 24);
        return true;
    }
    bool TakeI32(int32_t* value) {
        uint32_t bits;
        if (!TakeU32(&bits)) {
            return false;
        }
        *value = static_cast<int32_t>(bits);
        return true;
    }
    bool TakeFloat(float* value) {
        uint32_t bits;
        if (!TakeU32(&bits)) {
            return false;
        }
        memcpy(value, &bits, 4);
        return true;
    }
};

zq_bitmap_t* NewAtlasRecord(const char* path) {
    zq_bitmap_t* atlas = ZQI_NewBitmapRecords(1);
    if (atlas == nullptr) {
        return nullptr;
    }
    size_t length = strlen("atlas:") + strlen(path) + 1;
    char* name = static_cast<char*>(malloc(length));
    if (name == nullptr) {
        free(atlas);
        return nullptr;
    }
    snprintf(name, length, "atlas:%s", path);
    ZQI_SetUpAtlasRecord(atlas, name);
    return atlas;
}

bool ReadFrameRecord(Reader& reader, zq_bitmap_t* frame) {
    int32_t width = 0;
    int32_t height = 0;
    bool read = reader.TakeI32(&width) && reader.TakeI32(&height) && reader.TakeI32(&frame->current_frame) &&
                reader.TakeFloat(&frame->frame_rate) && reader.TakeFloat(&frame->gpu.texture_left) &&
                reader.TakeFloat(&frame->gpu.texture_top) && reader.TakeFloat(&frame->gpu.texture_right) &&
                reader.TakeFloat(&frame->gpu.texture_bottom);
    frame->width = frame->pixel_width = width;
    frame->height = frame->pixel_height = height;
    return read;
}

const uint64_t kRunSize = 5;  // length, then B, G, R, A

// Whether the runs end exactly at the atlas's last pixel; counted before the atlas is allocated,
// so that runs which fall short or run over cost no pixels.
bool RunsFillExactly(Reader reader, uint64_t total) {
    uint64_t filled = 0;
    uint8_t run[kRunSize];
    while (filled < total && reader.Take(run, kRunSize)) {
        filled += run[0];
    }
    return filled == total;
}

// Runs of one colour, B, G, R, A, that must end exactly at the atlas's last pixel.
bool ReadRunLengthAtlas(Reader& reader, zq_bitmap_t* atlas, const char* path) {
    int32_t width = 0;
    int32_t height = 0;
    if (!reader.TakeI32(&width) || !reader.TakeI32(&height) ||
        !ZQI_CheckImageSize("ZQI_LoadBitmapSequence", atlas, width, height)) {
        return false;
    }
    const uint64_t total = uint64_t(width) * uint64_t(height);
    // Each run fills at most 255 pixels.
    if (reader.Remaining() / kRunSize * 255 < total) {
        ZQ_Log(2, "ZQI_LoadBitmapSequence: the run-length atlas of '%s' is shorter than %dx%d pixels.", path,
               width, height);
        return false;
    }
    if (!RunsFillExactly(reader, total)) {
        ZQ_Log(2, "ZQI_LoadBitmapSequence: the runs of '%s' do not end at its last pixel.", path);
        return false;
    }
    if (!ZQI_GetImageLoader()->AllocateImagePixels(atlas, width, height)) {
        ZQ_Log(2, "ZQI_LoadBitmapSequence: out of memory for the %dx%d atlas of '%s'.", width, height, path);
        return false;
    }
    for (uint64_t filled = 0; filled < total;) {
        uint8_t run[kRunSize];
        reader.Take(run, kRunSize);  // the runs were counted above
        const uint8_t rgba[4] = {run[3], run[2], run[1], run[4]};
        for (uint32_t i = 0; i < run[0]; ++i, ++filled) {
            memcpy(atlas->pixels + filled * 4, rgba, 4);
        }
    }
    atlas->flags |= BITMAP_FLAG_ALPHA;
    return true;
}

bool ReadPNGAtlas(Reader& reader, zq_bitmap_t* atlas, const char* path) {
    uint32_t size = 0;
    if (!reader.TakeU32(&size) || size > reader.Remaining()) {
        ZQ_Log(2, "ZQI_LoadBitmapSequence: the PNG atlas of '%s' is shorter than its size field.", path);
        return false;
    }
    return ReadPNG(atlas, reader.bytes + reader.at, size);
}

bool ReadAtlas(Reader& reader, zq_bitmap_t* atlas, const char* path) {
    char encoding[5] = {};
    if (!reader.Take(encoding, 4)) {
        ZQ_Log(2, "ZQI_LoadBitmapSequence: '%s' ends before its pixels.", path);
        return false;
    }
    if (ZQI_EqualsIgnoreCase(encoding, "RLE")) {
        return ReadRunLengthAtlas(reader, atlas, path);
    }
    if (ZQI_EqualsIgnoreCase(encoding, "PNG")) {
        return ReadPNGAtlas(reader, atlas, path);
    }
    ZQ_Popup(1, "encoding: '%s'", encoding);
    return false;
}

// Header checks, frame records and atlas of a whole file in memory.
bool ParseSequence(zq_bitmap_t* bitmap, Reader& reader, const char* path) {
    char magic[sizeof(kMagic)];
    if (!reader.Take(magic, sizeof(magic)) || memcmp(magic, kMagic, sizeof(kMagic)) != 0) {
        ZQ_Popup(1, "Bad header in bitmap sequence '%s'", path);
        return false;
    }
    int32_t count = 0;
    char format[4];
    char chunk[sizeof(kChunkAtlas) + 1] = {};
    uint32_t chunkSize = 0;
    if (!reader.TakeI32(&count) || !reader.Take(format, sizeof(format)) ||
        !reader.Take(chunk, sizeof(kChunkAtlas))) {
        ZQ_Log(2, "ZQI_LoadBitmapSequence: '%s' ends inside its header.", path);
        return false;
    }
    if (strcmp(chunk, "ATLAS") != 0) {
        ZQ_Popup(1, "unimplemented chunk: '%s'", chunk);
        return false;
    }
    if (!reader.TakeU32(&chunkSize) || count < 1 || uint64_t(count) > reader.Remaining() / kFrameRecordSize) {
        ZQ_Log(2, "ZQI_LoadBitmapSequence: '%s' cannot hold its %d frames.", path, count);
        return false;
    }
    FreeBitmapFrames(bitmap);
    bitmap->frames = ZQI_NewBitmapRecords(count);
    bitmap->atlas = NewAtlasRecord(path);
    if (bitmap->frames == nullptr || bitmap->atlas == nullptr) {
        ZQ_Log(2, "ZQI_LoadBitmapSequence: out of memory for '%s'.", path);
        return false;
    }
    bitmap->frame_count = count;
    for (int32_t i = 0; i < count; ++i) {
        zq_bitmap_t* frame = &bitmap->frames[i];
        frame->depth = 1;
        frame->format = ZQ_TEXTURE_FORMAT_RGBA8;
        frame->type = ZQ_TEXTURE_TYPE_2D;
        frame->mip_levels = 1;
        frame->atlas = bitmap->atlas;
        ReadFrameRecord(reader, frame);  // the count was checked against the bytes
    }
    if (!ReadAtlas(reader, bitmap->atlas, path)) {
        return false;
    }
    for (int32_t i = 0; i < count; ++i) {
        bitmap->frames[i].flags |= static_cast<uint8_t>(bitmap->atlas->flags & BITMAP_FLAG_ALPHA);
    }
    bitmap->atlas->load_state = BITMAP_LOADED;
    return true;
}

}  // namespace

bool ZQI_SaveBitmapSequence(zq_bitmap_t* bitmap, const char* nativePath) {
    if (nativePath == nullptr) {
        nativePath = "";
    }
    if (bitmap == nullptr || bitmap->frames == nullptr || bitmap->frame_count < 1) {
        ZQ_Popup(1, "ZQI_SaveBitmapSequence: trying to save invalid bitmap to '%s'.", nativePath);
        return false;
    }
    ZQ_Print("Saving bitmap sequence '%s' to native file '%s'", bitmap->name != nullptr ? bitmap->name : "",
             nativePath);
    if (!PackDistinctFrames(bitmap, nativePath)) {
        return false;
    }
    FILE* file = fopen(nativePath, "wb");
    if (file == nullptr) {
        ZQ_Popup(1, "Unable to save bitmap sequence '%s' to file '%s'",
                 bitmap->name != nullptr ? bitmap->name : "", nativePath);
        return false;
    }
    bool written = WriteHeader(file, bitmap->frame_count) && WriteFrameRecords(file, bitmap) &&
                   WriteAtlasPNG(file, bitmap->atlas);
    if (fclose(file) != 0 || !written) {
        ZQ_Log(2, "ZQI_SaveBitmapSequence: writing '%s' failed.", nativePath);
        return false;
    }
    return true;
}

bool ZQI_LoadBitmapSequence(zq_bitmap_t* bitmap, const char* path) {
    uint8_t* bytes = nullptr;
    int32_t size = 0;
    if (bitmap == nullptr || path == nullptr || !ZQI_DataManagerReadWholeFile(path, &bytes, &size)) {
        return false;
    }
    Reader reader = {bytes, static_cast<uint64_t>(size), 0};
    bool loaded = ParseSequence(bitmap, reader, path);
    free(bytes);
    if (!loaded) {
        FreeBitmapFrames(bitmap);
    }
    return loaded;
}
