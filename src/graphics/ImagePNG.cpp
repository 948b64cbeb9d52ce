// PNG through libpng: decoding from memory into RGBA (palette, grey, tRNS and 16-bit images
// converted, interlaced images assembled by libpng) and writing 8-bit RGBA files.
//
// libpng reports errors by longjmp back to the setjmp of the decoding function, so those functions
// keep every object with a destructor outside: their state lives in plain records of the caller.
#include <png.h>

#include <csetjmp>
#include <cstdlib>
#include <cstring>

#include "core/ApiTable.h"
#include "graphics/BitmapTable.h"
#include "graphics/ImageLoader.h"

namespace {

const double kScreenGamma = 2.2;
const double kDefaultFileGamma = 1.0 / 2.2;
const size_t kSignatureSize = 8;
// Deflate makes at most 1032 bytes of one (a 258-byte match in two bits).
const uint64_t kLargestDeflateRatio = 1032;
// The largest chunk libpng may take in: the engine itself keeps no more than a 768-byte palette,
// and colour profiles up to the 61 KB of the sRGB profiles that set the gamma still fit.
const png_alloc_size_t kLargestChunk = 64 * 1024;
// Chunks whose handlers allocate what their length claims, none of which the engine reads: five
// bytes a name.
const png_byte kUnreadChunks[] = "tEXt\0zTXt\0iTXt\0sPLT\0pCAL\0sCAL\0eXIf";
const int kUnreadChunkCount = 7;

const char* NameOf(const zq_bitmap_t* bitmap) {
    return bitmap->name != nullptr ? bitmap->name : "NULL";
}

// The bytes being decoded. Reading past their end is a libpng error, never an overrun.
struct PNGSource {
    const uint8_t* bytes;
    uint64_t size;
    uint64_t position;
};

void ReadFromMemory(png_structp png, png_bytep out, png_size_t length) {
    PNGSource* source = static_cast<PNGSource*>(png_get_io_ptr(png));
    if (length > source->size - source->position) {
        png_error(png, "read past the end of the data");
    }
    memcpy(out, source->bytes + source->position, length);
    source->position += length;
}

// Errors end the decoding (longjmp to its setjmp) and are logged; warnings are dropped.
void OnPNGError(png_structp png, png_const_charp message) {
    const char* name = static_cast<const char*>(png_get_error_ptr(png));
    ZQ_Log(2, "PNG ERROR: Image '%s': %s", name, message);
    png_longjmp(png, 1);
}

void OnPNGWarning(png_structp, png_const_charp) {}

// Everything a decode allocates, freed by its caller after setjmp returned (or after the decode).
struct PNGDecode {
    png_structp png;
    png_infop info;
    PNGSource source;
    zq_bitmap_t* bitmap;
    png_bytep* rows;
    uint8_t* scratch;  // decoded rows when they do not come out as RGBA
    int channels;
    bool headerOnly;
};

// A chunk whose length claims gigabytes must not become a buffer of that size: libpng's limits are
// set to what the engine can use, and the chunks it never reads are passed over unread (libpng
// only warns about a chunk above its size limit, then takes it in all the same).
void LimitChunks(png_structp png) {
    png_set_user_limits(png, ZQI_MAX_IMAGE_SIDE, ZQI_MAX_IMAGE_SIDE);
    png_set_chunk_malloc_max(png, kLargestChunk);
    png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, kUnreadChunks, kUnreadChunkCount);
}

// Whether the image data left can inflate to the declared pixels; counted in the file's own
// sample layout, without row filter bytes or interlacing, so the estimate never exceeds the truth.
bool DataCanFillImage(const PNGDecode* decode, png_uint_32 width, png_uint_32 height) {
    const uint64_t bitsPerPixel =
        uint64_t(png_get_channels(decode->png, decode->info)) * png_get_bit_depth(decode->png, decode->info);
    const uint64_t leastInflatedBytes = uint64_t(width) * height * bitsPerPixel / 8;
    const uint64_t remaining = decode->source.size - decode->source.position;
    return leastInflatedBytes <= remaining * kLargestDeflateRatio;
}

// Asks libpng for RGBA output (or, for images that stay grey, what it gives) and gamma.
void SetTransformations(PNGDecode* decode) {
    png_structp png = decode->png;
    png_infop info = decode->info;
    const int colorType = png_get_color_type(png, info);
    const int bitDepth = png_get_bit_depth(png, info);
    double fileGamma = kDefaultFileGamma;
    if (!png_get_gAMA(png, info, &fileGamma)) {
        fileGamma = kDefaultFileGamma;
    }
    png_set_gamma(png, kScreenGamma, fileGamma);
    if (colorType == PNG_COLOR_TYPE_PALETTE) {
        png_set_palette_to_rgb(png);
    }
    if (colorType == PNG_COLOR_TYPE_GRAY && bitDepth < 8) {
        png_set_expand_gray_1_2_4_to_8(png);
    }
    if (colorType == PNG_COLOR_TYPE_GRAY || colorType == PNG_COLOR_TYPE_GRAY_ALPHA) {
        png_set_gray_to_rgb(png);
    }
    bool alpha = (colorType & PNG_COLOR_MASK_ALPHA) != 0;
    if (png_get_valid(png, info, PNG_INFO_tRNS)) {
        png_set_tRNS_to_alpha(png);
        alpha = true;
    }
    if (bitDepth == 16) {
        png_set_strip_16(png);
    }
    // Opaque RGB rows get their alpha of 255 from libpng, straight into the pixel buffer.
    if (!alpha) {
        png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
    }
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    decode->channels = png_get_channels(png, info);
    if (alpha) {
        decode->bitmap->flags |= BITMAP_FLAG_ALPHA;
    }
}

// Spreads rows of 1 or 2 channels (images that stayed grey) into RGBA.
void ExpandGreyRows(PNGDecode* decode, uint64_t rowBytes) {
    zq_bitmap_t* bitmap = decode->bitmap;
    const uint64_t width = uint64_t(bitmap->width);
    for (int32_t y = 0; y < bitmap->height; ++y) {
        const uint8_t* in = decode->scratch + uint64_t(y) * rowBytes;
        uint8_t* out = bitmap->pixels + uint64_t(y) * width * 4;
        for (uint64_t x = 0; x < width; ++x, out += 4) {
            if (decode->channels == 2) {
                out[0] = out[1] = out[2] = in[x * 2];
                out[3] = in[x * 2 + 1];
            } else {
                out[0] = out[1] = out[2] = 255;
                out[3] = in[x];
            }
        }
    }
    bitmap->flags |= BITMAP_FLAG_ALPHA;
}

// The part of a decode that libpng may leave by longjmp: no destructors in here.
bool Decode(PNGDecode* decode) {
    if (setjmp(png_jmpbuf(decode->png))) {
        return false;
    }
    png_set_read_fn(decode->png, &decode->source, ReadFromMemory);
    LimitChunks(decode->png);
    png_read_info(decode->png, decode->info);
    const png_uint_32 width = png_get_image_width(decode->png, decode->info);
    const png_uint_32 height = png_get_image_height(decode->png, decode->info);
    zq_bitmap_t* bitmap = decode->bitmap;
    if (!ZQI_CheckImageSize("ReadPNG", bitmap, width, height)) {
        return false;
    }
    if (decode->headerOnly) {
        bitmap->width = static_cast<int32_t>(width);
        bitmap->height = static_cast<int32_t>(height);
        return true;
    }
    if (!DataCanFillImage(decode, width, height)) {
        ZQ_Log(2, "ReadPNG: the data of '%s' is shorter than its %ux%u pixels.", NameOf(bitmap), width,
               height);
        return false;
    }
    SetTransformations(decode);
    const uint64_t rowBytes = png_get_rowbytes(decode->png, decode->info);
    if (decode->channels < 1 || decode->channels > 4 || rowBytes > uint64_t(width) * 4 ||
        !ZQI_GetImageLoader()->AllocateImagePixels(bitmap, static_cast<int32_t>(width),
                                                   static_cast<int32_t>(height))) {
        return false;
    }
    decode->rows = static_cast<png_bytep*>(malloc(sizeof(png_bytep) * height));
    uint8_t* target = bitmap->pixels;
    if (decode->channels != 4) {
        decode->scratch = static_cast<uint8_t*>(malloc(static_cast<size_t>(rowBytes * height)));
        target = decode->scratch;
    }
    if (decode->rows == nullptr || target == nullptr) {
        ZQ_Log(2, "PNG ERROR: Image '%s' load failed.", NameOf(bitmap));
        return false;
    }
    for (png_uint_32 y = 0; y < height; ++y) {
        decode->rows[y] = target + uint64_t(y) * rowBytes;
    }
    png_read_image(decode->png, decode->rows);
    if (decode->channels != 4) {
        ExpandGreyRows(decode, rowBytes);
    }
    return true;
}

bool RunDecode(zq_bitmap_t* bitmap, const uint8_t* bytes, uint64_t size, bool headerOnly) {
    if (bytes == nullptr || size < kSignatureSize || png_sig_cmp(bytes, 0, kSignatureSize) != 0) {
        ZQ_Log(1, "PNG ERROR: Image '%s' not proper png.", NameOf(bitmap));
        return false;
    }
    PNGDecode decode = {};
    decode.source = {bytes, size, 0};
    decode.bitmap = bitmap;
    decode.headerOnly = headerOnly;
    decode.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, const_cast<char*>(NameOf(bitmap)), OnPNGError,
                                        OnPNGWarning);
    decode.info = decode.png != nullptr ? png_create_info_struct(decode.png) : nullptr;
    bool decoded = decode.info != nullptr && Decode(&decode);
    if (decode.info == nullptr) {
        ZQ_Log(2, "PNG ERROR: Image '%s' load failed.", NameOf(bitmap));
    }
    png_destroy_read_struct(&decode.png, decode.info != nullptr ? &decode.info : nullptr, nullptr);
    free(decode.rows);
    free(decode.scratch);
    if (!decoded && bitmap->pixels != nullptr) {
        ZQI_GetImageLoader()->FreeImagePixels(bitmap);
    }
    return decoded;
}

// ---- Writing ----------------------------------------------------------------------------------------

void WriteToFile(png_structp png, png_bytep data, png_size_t length) {
    FILE* file = static_cast<FILE*>(png_get_io_ptr(png));
    if (fwrite(data, 1, length, file) != length) {
        png_error(png, "write failed");
    }
}

void FlushFile(png_structp png) {
    fflush(static_cast<FILE*>(png_get_io_ptr(png)));
}

void OnWriteError(png_structp png, png_const_charp) {
    png_longjmp(png, 1);
}

bool Encode(png_structp png, png_infop info, zq_bitmap_t* bitmap, FILE* file, png_bytep* rows) {
    if (setjmp(png_jmpbuf(png))) {
        ZQ_Log(2, "WritePNG: setjmp(png_jmpbuf(png_ptr)) failed.");
        return false;
    }
    png_set_write_fn(png, file, WriteToFile, FlushFile);
    png_set_IHDR(png, info, static_cast<png_uint_32>(bitmap->pixel_width),
                 static_cast<png_uint_32>(bitmap->pixel_height), 8, PNG_COLOR_TYPE_RGB_ALPHA,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_color_8 significant = {8, 8, 8, 8, 8};
    png_set_sBIT(png, info, &significant);
    png_write_info(png, info);
    png_write_image(png, rows);
    png_write_end(png, info);
    return true;
}

}  // namespace

bool ReadPNG(zq_bitmap_t* bitmap, const uint8_t* bytes, uint64_t size) {
    if (bitmap == nullptr) {
        return false;
    }
    if (bitmap->pixels != nullptr) {
        ZQI_GetImageLoader()->FreeImagePixels(bitmap);
    }
    bitmap->width = 0;
    bitmap->height = 0;
    bitmap->flags = static_cast<uint8_t>((bitmap->flags | BITMAP_FLAG_RELOADABLE) & ~BITMAP_FLAG_ALPHA);
    return RunDecode(bitmap, bytes, size, false);
}

bool ReadPNGDimensions(zq_bitmap_t* bitmap, const uint8_t* bytes, uint64_t size) {
    return bitmap != nullptr && RunDecode(bitmap, bytes, size, true);
}

bool WritePNG(zq_bitmap_t* bitmap, FILE* file) {
    if (bitmap == nullptr || bitmap->pixels == nullptr || file == nullptr || bitmap->pixel_width < 1 ||
        bitmap->pixel_height < 1) {
        return false;
    }
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, OnWriteError, OnPNGWarning);
    if (png == nullptr) {
        ZQ_Log(2, "WritePNG: png_create_write_struct failed.");
        return false;
    }
    png_infop info = png_create_info_struct(png);
    if (info == nullptr) {
        ZQ_Log(2, "WritePNG: png_create_info_struct failed.");
        png_destroy_write_struct(&png, nullptr);
        return false;
    }
    png_bytep* rows =
        static_cast<png_bytep*>(malloc(sizeof(png_bytep) * static_cast<size_t>(bitmap->pixel_height)));
    bool written = false;
    if (rows != nullptr) {
        for (int32_t y = 0; y < bitmap->pixel_height; ++y) {
            rows[y] = bitmap->pixels + uint64_t(y) * uint64_t(bitmap->pixel_width) * 4;
        }
        written = Encode(png, info, bitmap, file, rows);
    }
    png_destroy_write_struct(&png, &info);
    free(rows);
    return written;
}
