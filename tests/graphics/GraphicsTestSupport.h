// Shared set-up of the graphics tests: the engine as start-up leaves it for loading bitmaps (API
// tables, core mutexes, the file systems with res://, user:// and cache:// in a scratch folder,
// the calling thread as main thread, the log writing into its ring), and images made by the test
// itself with libpng, libjpeg and plain TGA bytes, so the expected pixels never come from the code
// under test.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "zorqa.h"

// An RGBA image as the test knows it.
struct TestImage {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint8_t> rgba;

    uint8_t* At(int32_t x, int32_t y) { return &rgba[(size_t(y) * width + x) * 4]; }
    const uint8_t* At(int32_t x, int32_t y) const { return &rgba[(size_t(y) * width + x) * 4]; }
};

// Pixels from a seed (every channel varies); alpha 255 when opaque is set.
TestImage PatternImage(int32_t width, int32_t height, uint32_t seed, bool opaque);
// What a padded texture holds at (x, y) for the image placed at (borderX, borderY): the nearest
// image pixel, made transparent on the border when transparentBorder is set.
void PaddedTexel(const TestImage& image, int borderX, int borderY, int x, int y, bool transparentBorder,
                 uint8_t out[4]);
// Texels of the padded area (image plus borders) that differ from PaddedTexel; pitch in bytes.
int CountWrongPaddedTexels(const TestImage& image, int borderX, int borderY, bool transparentBorder,
                           const uint8_t* texels, int pitch);
// True when the bitmap's pixels equal the image's, byte for byte.
bool PixelsEqual(const zq_bitmap_t* bitmap, const TestImage& image);

// ---- Encoders and the reference decoder ------------------------------------------------------------

struct PNGOptions {
    int colorType = 6;  // PNG_COLOR_TYPE_RGB_ALPHA
    int bitDepth = 8;
    bool interlaced = false;
    bool transparentKey = false;  // a tRNS chunk: grey/RGB value of the first pixel, or palette entry 0
    double gamma = 0.0;           // a gAMA chunk when not 0
};
// The image written with libpng in the given colour type (grey takes the red channel, palette
// images index a palette of the image's distinct colours, 16-bit samples repeat each byte).
std::string EncodePNG(const TestImage& image, const PNGOptions& options = PNGOptions());
// PNG pieces made by hand: a u32 as PNG stores it, a chunk (length, type, data, CRC), and an RGBA
// image of the given size whose data is the deflated zero rows of its first rowCount rows.
std::string BigEndian32(uint32_t value);
std::string PNGChunk(const std::string& type, const std::string& data);
std::string ZeroRowsPNG(uint32_t width, uint32_t height, uint32_t rowCount);
// Baseline, or progressive with libjpeg's standard scan script.
std::string EncodeJPEG(const TestImage& image, int quality, bool progressive = false);
struct JPEGOptions {
    int quality = 90;
    bool progressive = false;  // libjpeg's standard scan script
    bool arithmetic = false;   // arithmetic coding instead of Huffman tables
    int restartRows = 0;       // a restart marker after every this many rows of MCUs (0: none)
    bool fullColour = false;   // colour at full resolution, not libjpeg's half in each direction
    bool grayscale = false;    // one component
    int lumaH = 0, lumaV = 0;  // the first component's sampling factors when not 0
    int restartMCUs = 0;       // a restart marker after every this many MCUs
    bool optimize = false;     // Huffman tables made for the image
    std::string scans;         // a scan script as cjpeg -scans reads it, used when not empty
    // When set, only the image's size is used: every component, sampled 1x1, gets the quantized
    // coefficients this writes into each (zeroed) block.
    void (*coefficients)(unsigned x, unsigned y, short* block) = nullptr;
};
std::string EncodeJPEG(const TestImage& image, const JPEGOptions& options);
// libjpeg's own decoding of the bytes to RGBA (alpha 255); empty on failure. Its warnings are
// counted into warnings when given.
TestImage DecodeJPEGReference(const std::string& bytes, long* warnings = nullptr);
// Whether the bitmap holds libjpeg's own decoding of the bytes (djpeg's pixels, alpha 255).
bool MatchesJPEGReference(const zq_bitmap_t* bitmap, const std::string& bytes, long* warnings = nullptr);
// TGA bytes: type 2 or 10 (run length: one repeat packet per run of equal pixels, else raw
// packets within each row), 24 or 32 bits, rows stored top to bottom when topToBottom.
std::string EncodeTGA(const TestImage& image, bool runLength, int bitsPerPixel, bool topToBottom);

// ---- Files and messages -----------------------------------------------------------------------------

// Writes bytes to the native file behind res://<name> (folders made) and returns "res://<name>".
std::string WriteResFile(const std::string& name, const std::string& bytes);
// The native paths of a res:// and a cache:// name.
std::string NativeResPath(const std::string& name);
std::string NativeCachePath(const std::string& name);
std::string ReadNativeFile(const std::string& nativePath);

// The most memory the process has had resident so far (0 where the system does not say), from
// ResidentMemory.cpp, away from jpeglib.h, whose boolean clashes with windows.h's. Each test runs in
// a process of its own, so its peak grows only with what the test itself touches.
uint64_t PeakResidentBytes();

// Each test starts with an empty bitmap table and queues, counting on, developer mode on (prints
// are logged) and an empty log ring; the table is emptied again afterwards.
class GraphicsTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Number of logged lines containing text (popups are logged as "[POPUP] ...").
    static int CountLogged(const std::string& text);
    static bool Logged(const std::string& text) { return CountLogged(text) > 0; }
};

// Loads image files written by the test into one record, which it frees between loads and after.
class ImageLoadingTest : public GraphicsTest {
protected:
    void TearDown() override;
    // Writes the bytes as res://<name> and loads them; the loader's answer.
    bool Load(const std::string& name, const std::string& bytes);

    zq_bitmap_t bitmap_ = {};
};

// Bytes of a zq_bitmap_t-shaped record's pixels made for a test (malloc'd: the table frees them).
void GivePixels(zq_bitmap_t* bitmap, const TestImage& image);
