// TGA: true-colour images, uncompressed (type 2) or run-length encoded (type 10), 24 or 32 bits,
// read from memory; 32-bit uncompressed written through the file-system API.
#include <cstdlib>

#include "core/ApiTable.h"
#include "filesystem/FileSystemApi.h"
#include "graphics/BitmapTable.h"
#include "graphics/ImageLoader.h"

namespace {

const uint64_t kHeaderSize = 18;
const uint8_t kTypeTrueColor = 2;
const uint8_t kTypeRunLength = 10;
const uint8_t kDescriptorTopToBottom = 0x20;
const uint8_t kDescriptorRightToLeft = 0x10;
const int32_t kMaxRunPixels = 128;

struct TGAHeader {
    uint8_t idLength;
    uint8_t colorMapType;
    uint8_t imageType;
    int32_t width;
    int32_t height;
    uint8_t bitsPerPixel;
    uint8_t descriptor;
};

TGAHeader ParseHeader(const uint8_t* bytes) {
    TGAHeader header;
    header.idLength = bytes[0];
    header.colorMapType = bytes[1];
    header.imageType = bytes[2];
    header.width = bytes[12] | (bytes[13] << 8);
    header.height = bytes[14] | (bytes[15] << 8);
    header.bitsPerPixel = bytes[16];
    header.descriptor = bytes[17];
    return header;
}

bool IsSupported(const TGAHeader& header) {
    return header.colorMapType == 0 &&
           (header.imageType == kTypeTrueColor || header.imageType == kTypeRunLength) &&
           (header.bitsPerPixel == 24 || header.bitsPerPixel == 32);
}

// Whether the bytes after the header can hold the image at all: all of it uncompressed; for
// run-length data every packet (a header byte and at least one pixel) gives at most 128 pixels.
bool BytesCanHoldImage(const TGAHeader& header, uint64_t remaining) {
    const uint64_t pixels = uint64_t(header.width) * uint64_t(header.height);
    const uint64_t pixelBytes = header.bitsPerPixel / 8;
    if (header.imageType == kTypeTrueColor) {
        return remaining / pixelBytes >= pixels;
    }
    return (remaining / (1 + pixelBytes)) * kMaxRunPixels >= pixels;
}

// Stored B, G, R (, A) to R, G, B, A.
void StorePixel(uint8_t* out, const uint8_t* in, uint64_t pixelBytes) {
    out[0] = in[2];
    out[1] = in[1];
    out[2] = in[0];
    out[3] = pixelBytes == 4 ? in[3] : 255;
}

int32_t DestinationRow(const TGAHeader& header, int32_t storedRow) {
    return (header.descriptor & kDescriptorTopToBottom) != 0 ? storedRow : header.height - 1 - storedRow;
}

void DecodeUncompressed(const TGAHeader& header, const uint8_t* data, uint8_t* pixels) {
    const uint64_t pixelBytes = header.bitsPerPixel / 8;
    for (int32_t r = 0; r < header.height; ++r) {
        uint8_t* row = pixels + uint64_t(DestinationRow(header, r)) * uint64_t(header.width) * 4;
        for (int32_t x = 0; x < header.width; ++x) {
            StorePixel(row + uint64_t(x) * 4, data, pixelBytes);
            data += pixelBytes;
        }
    }
}

// Run-length rows. A packet may run past the end of its row into the following pixels of the
// buffer; the next row still starts at its own first pixel. A packet that would pass the image's
// last pixel ends decoding with what was decoded (the load still succeeds). False only when the
// packets need more bytes than there are.
bool DecodeRunLength(const TGAHeader& header, const uint8_t* data, uint64_t size, uint8_t* pixels) {
    const uint64_t pixelBytes = header.bitsPerPixel / 8;
    const uint64_t totalPixels = uint64_t(header.width) * uint64_t(header.height);
    uint64_t at = 0;
    for (int32_t r = 0; r < header.height; ++r) {
        uint64_t pixel = uint64_t(DestinationRow(header, r)) * uint64_t(header.width);
        int32_t written = 0;
        while (written < header.width) {
            if (at >= size) {
                return false;
            }
            const uint8_t packet = data[at++];
            const uint64_t count = uint64_t(packet & 0x7F) + 1;
            const bool repeat = (packet & 0x80) != 0;
            const uint64_t needed = repeat ? pixelBytes : count * pixelBytes;
            if (size - at < needed) {
                return false;
            }
            if (pixel + count > totalPixels) {
                ZQ_Log(2, repeat ? "TGA buffer overrun #3: (%d)\n" : "TGA buffer overrun #4: (%d)\n",
                       static_cast<int32_t>(pixel + count - totalPixels));
                return true;
            }
            for (uint64_t i = 0; i < count; ++i) {
                StorePixel(pixels + (pixel + i) * 4, data + at + (repeat ? 0 : i * pixelBytes), pixelBytes);
            }
            at += needed;
            pixel += count;
            written += static_cast<int32_t>(count);
        }
    }
    return true;
}

void MirrorRows(uint8_t* pixels, int32_t width, int32_t height) {
    for (int32_t y = 0; y < height; ++y) {
        uint32_t* row = reinterpret_cast<uint32_t*>(pixels + uint64_t(y) * uint64_t(width) * 4);
        for (int32_t left = 0, right = width - 1; left < right; ++left, --right) {
            uint32_t swap = row[left];
            row[left] = row[right];
            row[right] = swap;
        }
    }
}

}  // namespace

bool ReadTGA(zq_bitmap_t* bitmap, const uint8_t* bytes, uint64_t size) {
    if (bitmap == nullptr || bytes == nullptr || size < kHeaderSize) {
        return false;
    }
    const TGAHeader header = ParseHeader(bytes);
    const uint64_t dataStart = kHeaderSize + header.idLength;
    if (!IsSupported(header) || dataStart > size ||
        !ZQI_CheckImageSize("ReadTGA", bitmap, header.width, header.height)) {
        return false;
    }
    if (!BytesCanHoldImage(header, size - dataStart)) {
        ZQ_Log(2, "ReadTGA: the data of '%s' is shorter than its %dx%d pixels.",
               bitmap->name != nullptr ? bitmap->name : "NULL", header.width, header.height);
        return false;
    }
    bitmap->flags |= BITMAP_FLAG_ALPHA | BITMAP_FLAG_RELOADABLE;
    if (!ZQI_GetImageLoader()->AllocateImagePixels(bitmap, header.width, header.height)) {
        return false;
    }
    const uint8_t* data = bytes + dataStart;
    if (header.imageType == kTypeTrueColor) {
        DecodeUncompressed(header, data, bitmap->pixels);
    } else if (!DecodeRunLength(header, data, size - dataStart, bitmap->pixels)) {
        ZQ_Log(2, "ReadTGA: run-length data ends before the image does.");
        ZQI_GetImageLoader()->FreeImagePixels(bitmap);
        return false;
    }
    if ((header.descriptor & kDescriptorRightToLeft) != 0) {
        MirrorRows(bitmap->pixels, header.width, header.height);
    }
    return true;
}

bool WriteTGA(zq_bitmap_t* bitmap, const char* path) {
    if (bitmap == nullptr || bitmap->pixels == nullptr) {
        return false;
    }
    const int32_t width = bitmap->pixel_width;
    const int32_t height = bitmap->pixel_height;
    if (width < 1 || height < 1 || width > 0xFFFF || height > 0xFFFF) {
        return false;
    }
    zq_file_t* file = ZQ_FileSystem_OpenFile(path, "w");
    if (file == nullptr) {
        return false;
    }
    uint8_t header[kHeaderSize] = {};
    header[2] = kTypeTrueColor;
    header[12] = static_cast<uint8_t>(width & 0xFF);
    header[13] = static_cast<uint8_t>(width >> 8);
    header[14] = static_cast<uint8_t>(height & 0xFF);
    header[15] = static_cast<uint8_t>(height >> 8);
    header[16] = 32;
    header[17] = 8;  // 8 alpha bits, rows bottom to top
    const uint64_t rowBytes = uint64_t(width) * 4;
    uint8_t* row = static_cast<uint8_t*>(malloc(rowBytes));
    bool written = row != nullptr && ZQ_FileSystem_WriteFile(header, kHeaderSize, file) == kHeaderSize;
    for (int32_t y = height - 1; written && y >= 0; --y) {
        const uint8_t* in = bitmap->pixels + uint64_t(y) * rowBytes;
        for (int32_t x = 0; x < width; ++x) {
            row[x * 4 + 0] = in[x * 4 + 2];
            row[x * 4 + 1] = in[x * 4 + 1];
            row[x * 4 + 2] = in[x * 4 + 0];
            row[x * 4 + 3] = in[x * 4 + 3];
        }
        written = ZQ_FileSystem_WriteFile(row, rowBytes, file) == rowBytes;
    }
    free(row);
    return ZQI_CloseFile(file) && written;  // a full disk shows when the buffer is flushed
}
