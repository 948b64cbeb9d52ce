// The image loader: TGA, PNG and JPEG variants made by the test (expected pixels from the test's own
// arithmetic, or from libjpeg's own decoding), sizes refused before allocation, readers that stop
// at the end of their bytes, and saving with its round trips and refusals.
#include <cstring>

#include "FullDisk.h"
#include "GraphicsTestSupport.h"
#include "graphics/BitmapTable.h"
#include "graphics/ImageLoader.h"

namespace {

class ImageCodecTest : public ImageLoadingTest {
protected:
    bool HasAlpha() const { return (bitmap_.flags & BITMAP_FLAG_ALPHA) != 0; }
};

// The pixels a grey PNG of the image's red channel decodes to (bit depths below 8 expanded).
TestImage GreyOf(const TestImage& image, int bitDepth) {
    TestImage grey = image;
    const int levels = (1 << bitDepth) - 1;
    for (size_t i = 0; i < grey.rgba.size(); i += 4) {
        const int sample = bitDepth >= 8 ? image.rgba[i] : image.rgba[i] >> (8 - bitDepth);
        const uint8_t value = static_cast<uint8_t>(bitDepth >= 8 ? sample : sample * 255 / levels);
        grey.rgba[i] = grey.rgba[i + 1] = grey.rgba[i + 2] = value;
        grey.rgba[i + 3] = 255;
    }
    return grey;
}

TestImage Opaque(TestImage image) {
    for (size_t i = 3; i < image.rgba.size(); i += 4) {
        image.rgba[i] = 255;
    }
    return image;
}

// Pixels equal to the first pixel's colour become transparent (a tRNS key).
TestImage Keyed(TestImage image) {
    const std::vector<uint8_t> key(image.rgba.begin(), image.rgba.begin() + 3);
    for (size_t i = 0; i < image.rgba.size(); i += 4) {
        image.rgba[i + 3] = std::equal(key.begin(), key.end(), image.rgba.begin() + long(i)) ? 0 : 255;
    }
    return image;
}

TEST_F(ImageCodecTest, PNGVariantsDecodeToRGBA) {
    // 8 x 8 with few colours, so palettes fit and keys repeat.
    TestImage image = PatternImage(8, 8, 7, false);
    for (size_t i = 0; i < image.rgba.size(); i += 4) {
        image.rgba[i] &= 0xF0;
        image.rgba[i + 1] &= 0xC0;
        image.rgba[i + 2] &= 0xC0;
    }
    memcpy(image.At(5, 5), image.At(0, 0), 4);  // the key colour occurs twice
    TestImage greyKeyed = GreyOf(image, 8);
    for (size_t i = 0; i < greyKeyed.rgba.size(); i += 4) {
        greyKeyed.rgba[i + 3] = greyKeyed.rgba[i] == greyKeyed.rgba[0] ? 0 : 255;
    }
    TestImage greyAlpha = GreyOf(image, 8);
    for (size_t i = 3; i < greyAlpha.rgba.size(); i += 4) {
        greyAlpha.rgba[i] = image.rgba[i];
    }
    struct Case {
        const char* what;
        PNGOptions options;
        TestImage expected;
        bool alpha;
    };
    const Case kCases[] = {
        {"rgba", {6, 8, false, false, 0.0}, image, true},
        {"rgba interlaced", {6, 8, true, false, 0.0}, image, true},
        {"rgb", {2, 8, false, false, 0.0}, Opaque(image), false},
        {"rgb 16-bit", {2, 16, false, false, 0.0}, Opaque(image), false},
        {"rgb keyed", {2, 8, false, true, 0.0}, Keyed(image), true},
        {"grey", {0, 8, false, false, 0.0}, GreyOf(image, 8), false},
        {"grey 2-bit", {0, 2, false, false, 0.0}, GreyOf(image, 2), false},
        {"grey keyed", {0, 8, false, true, 0.0}, greyKeyed, true},
        {"grey alpha", {4, 8, false, false, 0.0}, greyAlpha, true},
        {"palette keyed", {3, 8, false, true, 0.0}, Keyed(Opaque(image)), true},
        {"gamma of the screen", {6, 8, false, false, 1.0 / 2.2}, image, true},
    };
    for (const Case& c : kCases) {
        TestImage source = c.options.colorType == 3 ? Opaque(image) : image;
        ASSERT_TRUE(Load("variant.png", EncodePNG(source, c.options))) << c.what;
        EXPECT_TRUE(PixelsEqual(&bitmap_, c.expected)) << c.what;
        EXPECT_EQ(c.alpha, HasAlpha()) << c.what;
        EXPECT_NE(0, bitmap_.flags & BITMAP_FLAG_RELOADABLE) << c.what;
    }
}

TEST_F(ImageCodecTest, TGAVariants) {
    TestImage image = PatternImage(9, 4, 11, false);
    for (int x = 2; x < 7; ++x) {
        memcpy(image.At(x, 1), image.At(1, 1), 4);  // a run
    }
    TestImage mirrored = image;
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            memcpy(mirrored.At(image.width - 1 - x, y), image.At(x, y), 4);
        }
    }
    std::string rightToLeft = EncodeTGA(image, false, 32, true);
    rightToLeft[17] |= 0x10;
    struct Case {
        const char* what;
        std::string bytes;
        TestImage expected;
    };
    const Case kCases[] = {
        {"32 bottom-up", EncodeTGA(image, false, 32, false), image},
        {"32 top-down", EncodeTGA(image, false, 32, true), image},
        {"24 stays marked with alpha", EncodeTGA(image, false, 24, false), Opaque(image)},
        {"run length 32", EncodeTGA(image, true, 32, false), image},
        {"run length 24 top-down", EncodeTGA(image, true, 24, true), Opaque(image)},
        {"right to left", rightToLeft, mirrored},
    };
    for (const Case& c : kCases) {
        ASSERT_TRUE(Load("variant.tga", c.bytes)) << c.what;
        EXPECT_TRUE(PixelsEqual(&bitmap_, c.expected)) << c.what;
        EXPECT_TRUE(HasAlpha()) << c.what;
    }
}

TEST_F(ImageCodecTest, RunLengthOverrunKeepsWhatWasDecoded) {
    const TestImage image = PatternImage(4, 2, 5, false);
    for (bool repeat : {true, false}) {
        std::string bytes = EncodeTGA(image, false, 32, true).substr(0, 18);
        bytes[2] = 10;
        // Raw packets of 4 pixels (the first row) and 3 (most of the second).
        for (int i = 0; i < 7; ++i) {
            if (i == 0 || i == 4) {
                bytes += char(i == 0 ? 0x03 : 0x02);
            }
            const uint8_t* p = image.At(i % 4, i / 4);
            bytes += {char(p[2]), char(p[1]), char(p[0]), char(p[3])};
        }
        const uint8_t* last = image.At(3, 1);
        const std::string pixel = {char(last[2]), char(last[1]), char(last[0]), char(last[3])};
        bytes += repeat ? char(0x81) + pixel : char(0x01) + pixel + pixel;  // 2 pixels where 1 is left
        EXPECT_TRUE(Load("overrun.tga", bytes));
        EXPECT_TRUE(Logged(repeat ? "TGA buffer overrun #3: (1)" : "TGA buffer overrun #4: (1)"));
        EXPECT_EQ(0, memcmp(bitmap_.pixels, image.rgba.data(), 7 * 4));
    }
}

TEST_F(ImageCodecTest, ReadersRefuseWhatTheirBytesCannotHold) {
    const TestImage image = PatternImage(16, 16, 9, true);
    const std::string tga = EncodeTGA(image, false, 32, true);
    const std::string rle = EncodeTGA(image, true, 32, true);
    std::string claimsTooMuch = rle.substr(0, 18) + std::string(40, '\x7F');
    claimsTooMuch[12] = claimsTooMuch[13] = claimsTooMuch[14] = claimsTooMuch[15] = char(0xFF);
    std::string jpeg = EncodeJPEG(image, 90);
    const size_t sof = jpeg.find("\xFF\xC0");
    ASSERT_NE(std::string::npos, sof);
    jpeg[sof + 5] = jpeg[sof + 6] = jpeg[sof + 7] = jpeg[sof + 8] = char(0x7F);  // 32639 x 32639
    struct Case {
        const char* name;
        std::string bytes;
        const char* message;
    };
    const Case kCases[] = {
        {"short.tga", tga.substr(0, tga.size() - 1), "ReadTGA: the data of"},
        {"short-runs.tga", rle.substr(0, rle.size() - 1), "ReadTGA: run-length data ends"},
        {"claims.tga", claimsTooMuch, "unsupported dimensions 65535x65535"},
        // Refused by libpng itself, whose size limits are the engine's.
        {"wide.png", EncodePNG(PatternImage(70000, 1, 1, true)),
         "PNG ERROR: Image 'NULL': Invalid IHDR data"},
        {"cut.png", EncodePNG(image).substr(0, 200), "PNG ERROR: Image"},
        {"text.png", "not a png at all", "not proper png"},
        {"huge.jpg", jpeg, "unsupported dimensions 32639x32639"},
        {"noise.jpg", "\xFF\xD8\xFF\xDB garbage", "Load JPG - setjmp failed for"},
        {"image.bmp", tga, "Unsupported image format in file 'res://image.bmp'"},
    };
    for (const Case& c : kCases) {
        EXPECT_FALSE(Load(c.name, c.bytes)) << c.name;
        EXPECT_EQ(nullptr, bitmap_.pixels) << c.name;
        EXPECT_TRUE(Logged(c.message)) << c.name;
    }
    EXPECT_TRUE(Logged("Unable to load image 'res://image.bmp'"));
    zq_bitmap_t sized = {};
    for (const auto& size : {std::make_pair(0, 5), std::make_pair(65536, 1), std::make_pair(16385, 16385)}) {
        EXPECT_FALSE(ZQI_GetImageLoader()->AllocateImagePixels(&sized, size.first, size.second));
        EXPECT_EQ(nullptr, sized.pixels);
    }
    EXPECT_EQ(3, CountLogged("ImageLoaderImp::AllocateImagePixels dimensions"));
}

const size_t kPNGHeaderSize = 33;  // the signature and the IHDR chunk
const uint64_t kMegabyte = 1024 * 1024;

TEST_F(ImageCodecTest, PNGChunksTheEngineNeverReadsAreSkippedWhateverTheyClaim) {
    const TestImage image = PatternImage(3, 2, 12, false);
    const std::string png = EncodePNG(image);
    const uint64_t peakBefore = PeakResidentBytes();
    for (const char* type : {"tEXt", "zTXt", "iTXt", "sPLT", "pCAL", "sCAL", "eXIf"}) {
        // 42 bytes: the header, then a chunk claiming almost 2 GB of which one byte is there.
        const std::string claims = png.substr(0, kPNGHeaderSize) + BigEndian32(0x7FFF0000) + type + "a";
        EXPECT_FALSE(Load("claims.png", claims)) << type;
        // A well-formed chunk of the same kind changes nothing.
        const std::string withChunk = png.substr(0, kPNGHeaderSize) +
                                      PNGChunk(type, std::string("Comment\0text", 12)) +
                                      png.substr(kPNGHeaderSize);
        ASSERT_TRUE(Load("with-chunk.png", withChunk)) << type;
        EXPECT_TRUE(PixelsEqual(&bitmap_, image)) << type;
    }
    // Taking the claimed 2 GB would have shown here.
    EXPECT_LT(PeakResidentBytes() - peakBefore, 256 * kMegabyte);
}

TEST_F(ImageCodecTest, PNGPixelsOnlyAsLargeAsItsDataCanFill) {
    // Deflate gives at most 1032 bytes for one: 32 MB of zero rows pack into about 32 KB, a
    // thirtieth of the 1 GiB that 16384 x 16384 RGBA pixels need.
    const std::string zeroRows = ZeroRowsPNG(16384, 16384, 500);
    EXPECT_LT(zeroRows.size(), 40 * 1024u);
    EXPECT_FALSE(Load("zero-rows.png", zeroRows));
    EXPECT_EQ(nullptr, bitmap_.pixels);
    EXPECT_TRUE(Logged("ReadPNG: the data of 'NULL' is shorter than its 16384x16384 pixels."));

    // The most compressible image there is still loads: 1024 x 1024 zero pixels in about 4 KB.
    TestImage zeros;
    zeros.width = zeros.height = 1024;
    zeros.rgba.assign(size_t(1024) * 1024 * 4, 0);
    const std::string packed = ZeroRowsPNG(1024, 1024, 1024);
    EXPECT_LT(packed.size(), 5 * 1024u);
    ASSERT_TRUE(Load("zeros.png", packed));
    EXPECT_TRUE(PixelsEqual(&bitmap_, zeros));
}

TEST_F(ImageCodecTest, JPEGMatchesTheLibrarysOwnDecoding) {
    const TestImage image = PatternImage(37, 23, 4, true);
    const std::string bytes = EncodeJPEG(image, 90);
    ASSERT_TRUE(Load("photo.JPG", bytes));  // extensions in capitals load too
    EXPECT_TRUE(PixelsEqual(&bitmap_, DecodeJPEGReference(bytes)));
    EXPECT_FALSE(HasAlpha());
    // Without its end marker: the reader supplies it, the image loads with a warning.
    ASSERT_TRUE(Load("no-end.jpg", bytes.substr(0, bytes.size() - 2)));
    EXPECT_TRUE(PixelsEqual(&bitmap_, DecodeJPEGReference(bytes)));
    EXPECT_TRUE(Logged("warnings while loading JPEG 'NULL'."));
    zq_bitmap_t dimensions = {};
    ASSERT_TRUE(ZQI_GetImageLoader()->GetImageDimensions(&dimensions, "res://photo.JPG"));
    EXPECT_EQ(37, dimensions.width);
    EXPECT_EQ(23, dimensions.height);
}

// Where the first scan's entropy-coded data ends: the next marker after its SOS segment.
size_t EndOfFirstScan(const std::string& jpeg) {
    const size_t sos = jpeg.find("\xFF\xDA");
    const size_t data = sos + 2 + (size_t(uint8_t(jpeg[sos + 2])) << 8 | uint8_t(jpeg[sos + 3]));
    size_t at = data;
    while (!(uint8_t(jpeg[at]) == 0xFF && jpeg[at + 1] != '\0')) {
        ++at;
    }
    return at;
}

int CountScans(const std::string& jpeg) {
    int scans = 0;
    for (size_t at = jpeg.find("\xFF\xDA"); at != std::string::npos; at = jpeg.find("\xFF\xDA", at + 2)) {
        ++scans;
    }
    return scans;
}

// The JPEG with its size in the frame header replaced (the data stays that of the original).
std::string ClaimingSize(std::string jpeg, int width, int height) {
    size_t sof = jpeg.find("\xFF\xC0");
    if (sof == std::string::npos) {
        sof = jpeg.find("\xFF\xC2");  // progressive
    }
    jpeg[sof + 5] = char(height >> 8);
    jpeg[sof + 6] = char(height);
    jpeg[sof + 7] = char(width >> 8);
    jpeg[sof + 8] = char(width);
    return jpeg;
}

// The JPEG with the first coefficient of its first scan replaced.
std::string FirstScanStartingAt(std::string jpeg, int coefficient) {
    const size_t sos = jpeg.find("\xFF\xDA");
    const size_t components = uint8_t(jpeg[sos + 4]);
    jpeg[sos + 5 + 2 * components] = char(coefficient);
    return jpeg;
}

TEST_F(ImageCodecTest, JPEGDataThatEndsBeforeTheLastRowIsRefused) {
    const TestImage image = PatternImage(64, 48, 3, true);
    const std::string baseline = EncodeJPEG(image, 90);
    const std::string progressive = EncodeJPEG(image, 90, true);
    ASSERT_GT(CountScans(progressive), 2);
    const struct {
        const char* name;
        std::string bytes;
        const char* message;
    } kRefused[] = {
        {"cut.jpg", baseline.substr(0, (EndOfFirstScan(baseline) + baseline.find("\xFF\xDA")) / 2),
         "ReadJPEG: 'NULL' ends before its last row"},
        {"cut-progressive.jpg", progressive.substr(0, progressive.size() * 2 / 3),
         "ReadJPEG: 'NULL' ends before its last row"},
        // The data of 64 x 48 pixels cannot hold the blocks of these sizes, the engine's largest
        // among them: refused before any pixel is decoded.
        {"claims-2048.jpg", ClaimingSize(EncodeJPEG(PatternImage(16, 16, 1, true), 90), 2048, 2048),
         "ReadJPEG: the data of 'NULL' is shorter than its 2048x2048 pixels."},
        {"claims-16384.jpg", ClaimingSize(baseline, 16384, 16384),
         "ReadJPEG: the data of 'NULL' is shorter than its 16384x16384 pixels."},
        // A progressive file's DC scan codes every block too: refused before libjpeg allocates
        // its coefficients for the whole image.
        {"claims-16384-progressive.jpg", ClaimingSize(progressive, 16384, 16384),
         "ReadJPEG: the data of 'NULL' is shorter than its 16384x16384 pixels."},
        {"ac-scan-first.jpg", FirstScanStartingAt(ClaimingSize(progressive, 16384, 16384), 1),
         "ReadJPEG: the first scan of 'NULL' is not its DC scan."},
    };
    for (const auto& c : kRefused) {
        EXPECT_FALSE(Load(c.name, c.bytes)) << c.name;
        EXPECT_EQ(nullptr, bitmap_.pixels) << c.name;
        EXPECT_TRUE(Logged(c.message)) << c.name;
    }
    EXPECT_EQ(2, CountLogged("Load JPG - setjmp failed for 'NULL'."));  // the two cut files

    // Whole files load, progressive ones too.
    ASSERT_TRUE(Load("progressive.jpg", progressive));
    EXPECT_TRUE(PixelsEqual(&bitmap_, DecodeJPEGReference(progressive)));
}

TEST_F(ImageCodecTest, SavedImagesLoadBack) {
    const TestImage image = PatternImage(13, 7, 6, false);
    zq_bitmap_t source = {};
    GivePixels(&source, image);
    for (const char* name : {"saved.png", "saved.tga"}) {
        ASSERT_TRUE(ZQI_GetImageLoader()->SaveImage(&source, ("res://" + std::string(name)).c_str(), 0))
            << name;
        ASSERT_TRUE(ZQI_GetImageLoader()->LoadImage(&bitmap_, ("res://" + std::string(name)).c_str()))
            << name;
        EXPECT_TRUE(PixelsEqual(&bitmap_, image)) << name;
        ZQI_GetImageLoader()->FreeImagePixels(&bitmap_);
    }
    ASSERT_TRUE(ZQI_GetImageLoader()->SaveImage(&source, "res://saved.jpg", 95));
    ASSERT_TRUE(ZQI_GetImageLoader()->LoadImage(&bitmap_, "res://saved.jpg"));
    EXPECT_TRUE(PixelsEqual(&bitmap_, DecodeJPEGReference(ReadNativeFile(NativeResPath("saved.jpg")))));

    // A TGA small enough for the C runtime's buffer meets a full disk only when it is closed.
    {
        EngineTest::ScopedFullDisk full(SCHEME_RES, "full.tga");
        EXPECT_FALSE(ZQI_GetImageLoader()->SaveImage(&source, "res://full.tga", 0));
        EXPECT_EQ(full.System().failedOpenings, 1);
    }

    // The save path's ending is compared exactly.
    for (const char* refused : {"res://refused.PNG", "res://refused.bmp"}) {
        EXPECT_FALSE(ZQI_GetImageLoader()->SaveImage(&source, refused, 0));
        EXPECT_TRUE(Logged(std::string("SaveImage - file format for '") + refused + "' not supported."));
    }
    EXPECT_EQ("", ReadNativeFile(NativeResPath("refused.bmp")));
    ZQI_GetImageLoader()->FreeImagePixels(&source);
}

}  // namespace
