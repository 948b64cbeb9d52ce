// Fuzz targets: any bytes through one image reader (ZQ_FUZZ_READER: 1 TGA, 2 PNG, 3 JPEG). A
// decoded image must have the pixels its size promises, which the last byte is read to check.
//
// Images are limited to 4 megapixels here: the readers accept up to 2^28 pixels, and a small
// JPEG may claim that many, which would take longer to decode than a fuzz run allows.
#include <cstddef>
#include <cstdint>

#include "graphics/ImageLoader.h"

namespace {

const int64_t kLargestFuzzedImage = int64_t(1) << 22;

bool Decode(zq_bitmap_t* bitmap, const uint8_t* data, size_t size) {
#if ZQ_FUZZ_READER == 1
    if (size >= 16 &&
        int64_t(data[12] | data[13] << 8) * int64_t(data[14] | data[15] << 8) > kLargestFuzzedImage) {
        return false;
    }
    return ReadTGA(bitmap, data, size);
#else
    zq_bitmap_t header = {};
#if ZQ_FUZZ_READER == 2
    bool sized = ReadPNGDimensions(&header, data, size);
#else
    bool sized = ReadJPEGDimensions(&header, data, size);
#endif
    if (!sized || int64_t(header.width) * header.height > kLargestFuzzedImage) {
        return false;
    }
#if ZQ_FUZZ_READER == 2
    return ReadPNG(bitmap, data, size);
#else
    return ReadJPEG(bitmap, data, size);
#endif
#endif
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    zq_bitmap_t bitmap = {};
    if (Decode(&bitmap, data, size)) {
        const int64_t bytes = int64_t(bitmap.width) * bitmap.height * 4;
        if (bitmap.pixels == nullptr || bytes <= 0) {
            __builtin_trap();  // success means pixels
        }
        volatile uint8_t last = bitmap.pixels[bytes - 1];
        (void)last;
    }
    ZQI_GetImageLoader()->FreeImagePixels(&bitmap);
    return 0;
}
