// The image loader: turns TGA, PNG and JPEG files into a bitmap's pixels and writes pixels back to
// files. One loader serves the whole run (ZQI_GetImageLoader); the bitmap loader, the sequence
// files, the graphics API's resize and save slots and the font generator use it.
//
// Pixels are always RGBA, 8 bits per channel, rows top to bottom, no row padding, in one heap
// block owned by the bitmap (zq_bitmap_t::pixels). A loaded bitmap gets flag bit 1 (reloadable);
// flag bit 0 says the image has an alpha channel.
//
// Sizes read from files are checked before anything is allocated: each side 1..65535, at most
// 2^28 pixels (16384 x 16384, the largest texture), and never more pixels than the file's
// remaining bytes can encode where the format fixes that.
#pragma once

#include <cstdint>
#include <cstdio>

#include "zorqa.h"

// windows.h names its LoadImage function by a macro (LoadImageA): the loader's operation keeps its
// own name in files that include both.
#ifdef LoadImage
#undef LoadImage
#endif

enum : int32_t { ZQI_MAX_IMAGE_SIDE = 65535 };
enum : int64_t { ZQI_MAX_IMAGE_PIXELS = int64_t(1) << 28 };

// True when width x height passes the size checks above.
bool ZQI_IsImageSizeAllowed(int64_t width, int64_t height);
// The same for a size read from a file: a refused size is logged as the reader's error.
bool ZQI_CheckImageSize(const char* reader, const zq_bitmap_t* bitmap, int64_t width, int64_t height);

class ImageLoaderImp {
public:
    virtual ~ImageLoaderImp();
    // Sets the bitmap's width and height from the file's header; no pixels are kept.
    virtual bool GetImageDimensions(zq_bitmap_t* bitmap, const char* path) = 0;
    // Reads the whole file through the file-system API and decodes it by its extension ("tga",
    // "png", "jpg", any case). Sets pixels, width, height and pixel size. False, without pixels,
    // on any failure.
    virtual bool LoadImage(zq_bitmap_t* bitmap, const char* path) = 0;
    // width x height x 4 bytes, not cleared; width and height go to the logical and pixel sizes.
    // Existing pixels are reported and freed first. Sizes outside 1..65535 or beyond 2^28 pixels
    // are refused with a popup (false, no pixels).
    virtual bool AllocateImagePixels(zq_bitmap_t* bitmap, int32_t width, int32_t height);
    virtual void FreeImagePixels(zq_bitmap_t* bitmap) = 0;
    // Writes the pixels by the path's ending: "png", "jpg" (quality 1..100) or "tga".
    virtual bool SaveImage(zq_bitmap_t* bitmap, const char* path, uint32_t quality) = 0;
};

class ImageLoaderImpPortable : public ImageLoaderImp {
public:
    bool GetImageDimensions(zq_bitmap_t* bitmap, const char* path) override;
    bool LoadImage(zq_bitmap_t* bitmap, const char* path) override;
    void FreeImagePixels(zq_bitmap_t* bitmap) override;
    bool SaveImage(zq_bitmap_t* bitmap, const char* path, uint32_t quality) override;
};

// The run's loader; made on first use, so it is there before start-up creates it.
ImageLoaderImp* ZQI_GetImageLoader();
// Start-up: makes the loader (nothing when it exists).
void ZQI_CreateImageLoader();

// ---- Codecs (ImageTGA.cpp, ImagePNG.cpp, ImageJPEG.cpp) --------------------------------------------
// Each reader decodes bytes held in memory into the bitmap's pixels; none reads past size. On
// failure the bitmap is left without pixels.

bool ReadTGA(zq_bitmap_t* bitmap, const uint8_t* bytes, uint64_t size);
// 32-bit, bottom to top, through the file-system API ("w").
bool WriteTGA(zq_bitmap_t* bitmap, const char* path);

bool ReadPNG(zq_bitmap_t* bitmap, const uint8_t* bytes, uint64_t size);
// The header only: width and height.
bool ReadPNGDimensions(zq_bitmap_t* bitmap, const uint8_t* bytes, uint64_t size);
// 8-bit RGBA to an open C file.
bool WritePNG(zq_bitmap_t* bitmap, FILE* file);

bool ReadJPEG(zq_bitmap_t* bitmap, const uint8_t* bytes, uint64_t size);
bool ReadJPEGDimensions(zq_bitmap_t* bitmap, const uint8_t* bytes, uint64_t size);
// Packed RGB rows to a native file ("wb"); quality below 1 counts as 1.
bool WriteJPEG(const char* nativePath, const uint8_t* rgb, int32_t width, int32_t height, int32_t quality);
