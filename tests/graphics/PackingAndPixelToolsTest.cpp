// Texture padding by pack mode, atlas packing, and the RGBA pixel tools.
#include <cstdlib>
#include <cstring>

#include "GraphicsTestSupport.h"
#include "graphics/AtlasPacking.h"
#include "graphics/BitmapPacker.h"
#include "graphics/BitmapTable.h"
#include "graphics/ImageLoader.h"
#include "graphics/PixelTools.h"

namespace {

class PackingTest : public GraphicsTest {};

// A bitmap record owning a copy of the image's pixels; freed with the object.
struct OwnedBitmap {
    zq_bitmap_t bitmap = {};
    OwnedBitmap(const TestImage& image, bool alpha, uint32_t packMode, const char* name = "plain.png") {
        GivePixels(&bitmap, image);
        bitmap.name = const_cast<char*>(name);
        bitmap.flags = alpha ? BITMAP_FLAG_ALPHA : 0;
        bitmap.pack_mode = packMode;
    }
    ~OwnedBitmap() { free(bitmap.pixels); }
};

TEST_F(PackingTest, BordersAndTextureSizesByPackMode) {
    struct Case {
        const char* what;
        int width, height;
        bool alpha, exact;
        uint32_t packMode;
        const char* name;
        int textureWidth, textureHeight, borderX, borderY;
        uint32_t finalMode;
    };
    const Case kCases[] = {
        {"100x50 alpha", 100, 50, true, false, PAD_DEFAULT, "a.png", 128, 64, 1, 1, PAD_DEFAULT},
        {"100x50 opaque", 100, 50, false, false, PAD_DEFAULT, "a.png", 128, 64, 1, 1, PAD_EXPAND},
        {"100x50 exact", 100, 50, true, true, PAD_EXPAND, "a.png", 102, 52, 1, 1, PAD_EXPAND},
        {"2048x100", 2048, 100, true, false, PAD_DEFAULT, "a.png", 2048, 128, 0, 1, PAD_DEFAULT},
        {"1023 wide", 1023, 20, true, false, PAD_EXPAND, "a.png", 1024, 32, 0, 1, PAD_EXPAND},
        {"256x256", 256, 256, true, false, PAD_DEFAULT, "a.png", 256, 256, 0, 0, NO_PADDING},
        {"textures/", 100, 50, true, false, PAD_DEFAULT, "textures/a.png", 128, 64, 0, 0, NO_PADDING},
    };
    for (const Case& c : kCases) {
        const TestImage image = PatternImage(c.width, c.height, 3, !c.alpha);
        OwnedBitmap owned(image, c.alpha, c.packMode, c.name);
        BitmapPacker packer;
        packer.BeginPacking(&owned.bitmap, c.exact);
        ASSERT_TRUE(BitmapTexturePacker(&packer)) << c.what;
        EXPECT_EQ(c.textureWidth, packer.textureWidth) << c.what;
        EXPECT_EQ(c.textureHeight, packer.textureHeight) << c.what;
        EXPECT_EQ(c.borderX, packer.borderX) << c.what;
        EXPECT_EQ(c.borderY, packer.borderY) << c.what;
        EXPECT_EQ(c.finalMode, owned.bitmap.pack_mode) << c.what;
        EXPECT_EQ(c.textureWidth * 4, packer.pitch) << c.what;
        const bool sameSize = c.textureWidth == c.width && c.textureHeight == c.height;
        EXPECT_EQ(sameSize, packer.pixels == owned.bitmap.pixels) << c.what;
        const int wrong = CountWrongPaddedTexels(image, c.borderX, c.borderY, c.finalMode == PAD_DEFAULT,
                                                 packer.pixels, packer.pitch);
        EXPECT_EQ(0, wrong) << c.what;
        packer.Release();
    }
    BitmapPacker empty;
    empty.BeginPacking(nullptr, false);
    EXPECT_TRUE(Logged("BitmapPacker::BeginPacking got null bitmap pointer."));
    EXPECT_FALSE(BitmapTexturePacker(&empty));
}

TEST_F(PackingTest, AtlasOfFourPrefersTheSquareSize) {
    std::vector<TestImage> images;
    std::vector<OwnedBitmap*> owned;
    std::vector<zq_bitmap_t*> bitmaps;
    for (int i = 0; i < 4; ++i) {
        images.push_back(PatternImage(100, 100, 20 + i, true));
        owned.push_back(new OwnedBitmap(images.back(), true, PAD_DEFAULT));
        bitmaps.push_back(&owned.back()->bitmap);
    }
    zq_bitmap_t atlas = {};
    ASSERT_TRUE(ZQI_PackBitmaps(&atlas, bitmaps.data(), 4, 2048, 2048));
    EXPECT_TRUE(Logged("Fits into 512x128 (0.61 full)"));
    EXPECT_TRUE(Logged("Fits into 256x256 (0.61 full)"));
    EXPECT_FALSE(Logged("Fits into 128x512"));
    EXPECT_TRUE(Logged("Choosing 256x256, packing pixels... (ratio 1.00 vs single images)"));
    EXPECT_EQ(256, atlas.width);
    EXPECT_STREQ("atlas", atlas.name);
    const int places[4][2] = {{2, 2}, {104, 2}, {2, 104}, {104, 104}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_FLOAT_EQ(places[i][0] / 256.0f, bitmaps[i]->gpu.texture_left);
        EXPECT_FLOAT_EQ((places[i][1] + 100) / 256.0f, bitmaps[i]->gpu.texture_bottom);
        for (int y = 0; y < 100; y += 33) {
            EXPECT_EQ(0, memcmp(images[i].At(0, y),
                                atlas.pixels + ((places[i][1] + y) * 256 + places[i][0]) * 4, 400));
        }
    }
    // The gap next to an opaque pixel took its colour, still transparent.
    const uint8_t* gap = atlas.pixels + (2 * 256 + 1) * 4;
    EXPECT_EQ(0, memcmp(gap, images[0].At(0, 0), 3));
    EXPECT_EQ(0, gap[3]);

    OwnedBitmap wide(PatternImage(5000, 2, 1, true), true, PAD_DEFAULT);
    zq_bitmap_t* tooWide[] = {&wide.bitmap};
    EXPECT_FALSE(ZQI_PackBitmaps(&atlas, tooWide, 1, 2048, 2048));
    EXPECT_EQ(nullptr, atlas.pixels);
    EXPECT_TRUE(
        Logged("ZQI_PackBitmaps unable to find large enough atlas size for 1 bitmaps (first bm size 5000x2). "
               "All bitmaps need to fit into 2048x2048 atlas for 100% cross-platform compatibility."));
    free(atlas.name);
    for (OwnedBitmap* bitmap : owned) {
        delete bitmap;
    }
}

TEST_F(PackingTest, ClampedFetchAndBleeding) {
    TestImage image = PatternImage(3, 1, 1, true);
    OwnedBitmap opaque(image, false, PAD_DEFAULT);
    OwnedBitmap alpha(image, true, PAD_DEFAULT);
    const RGBAPixel outside = GetImagePixelClamped(&opaque.bitmap, -1, 0);
    EXPECT_EQ(0, memcmp(&outside, image.At(0, 0), 4));
    const RGBAPixel transparent = GetImagePixelClamped(&alpha.bitmap, -1, 0);
    EXPECT_EQ(0, memcmp(&transparent, image.At(0, 0), 3));
    EXPECT_EQ(0, transparent.a);

    OwnedBitmap single(PatternImage(1, 1, 2, false), true, PAD_DEFAULT);
    single.bitmap.pixels[3] = 0;
    EXPECT_EQ(0, BleedTransparentPixels(&single.bitmap));

    // An opaque pixel, then two transparent ones: only its neighbour takes its colour, since
    // filled pixels stay transparent and never spread.
    image.At(1, 0)[3] = image.At(2, 0)[3] = 0;
    OwnedBitmap row(image, true, PAD_DEFAULT);
    EXPECT_EQ(1, BleedTransparentPixels(&row.bitmap));
    EXPECT_EQ(0, memcmp(row.bitmap.pixels + 4, image.At(0, 0), 3));
    EXPECT_EQ(0, row.bitmap.pixels[7]);
    EXPECT_EQ(0, memcmp(row.bitmap.pixels + 8, image.At(2, 0), 4));
    EXPECT_EQ(0, BleedTransparentPixels(&row.bitmap));
}

TEST_F(PackingTest, SamplingAndResizing) {
    TestImage pair = PatternImage(2, 1, 1, true);
    memset(pair.At(0, 0), 0, 3);
    memset(pair.At(1, 0), 200, 3);
    OwnedBitmap two(pair, false, PAD_DEFAULT);
    EXPECT_EQ(100, SampleImageBilinear(&two.bitmap, 0.25, 0.0).r);  // halfway: 11-bit weights
    EXPECT_EQ(150, SampleImageBilinear(&two.bitmap, 0.375, 0.0).g);

    // A checkerboard: shrinking by more than 1.5 averages boxes (grey), less samples (black/white).
    TestImage checker = PatternImage(100, 100, 1, true);
    for (int y = 0; y < 100; ++y) {
        for (int x = 0; x < 100; ++x) {
            memset(checker.At(x, y), (x + y) % 2 ? 0 : 255, 3);
        }
    }
    OwnedBitmap source(checker, false, PAD_DEFAULT);
    zq_bitmap_t target = {};
    ASSERT_TRUE(ZQI_CreateImageResized(&target, &source.bitmap, 60, 60));
    EXPECT_EQ(127, target.pixels[0]);
    EXPECT_EQ(60, target.pixel_width);
    ASSERT_TRUE(ZQI_CreateImageResized(&target, &source.bitmap, 80, 80));
    EXPECT_EQ(255, target.pixels[0]);
    EXPECT_EQ(80, target.height);
    EXPECT_FALSE(ZQI_CreateImageResized(&target, &source.bitmap, 65535, 1));
    EXPECT_FALSE(ZQI_CreateImageResized(&target, nullptr, 8, 8));
    EXPECT_TRUE(Logged("ZQI_CreateImageResized bm_source is null."));
    ZQI_GetImageLoader()->FreeImagePixels(&target);
}

TEST_F(PackingTest, PixelsMatchWithinThreeUnits) {
    const TestImage image = PatternImage(4, 4, 8, true);
    OwnedBitmap a(image, true, PAD_DEFAULT);
    OwnedBitmap b(image, true, PAD_DEFAULT);
    b.bitmap.pixels[5] = static_cast<uint8_t>(image.rgba[5] > 128 ? image.rgba[5] - 3 : image.rgba[5] + 3);
    EXPECT_TRUE(BitmapPixelsMatch(&a.bitmap, &b.bitmap));
    EXPECT_TRUE(Logged("Total difference is 2 units"));
    b.bitmap.pixels[5] = static_cast<uint8_t>(image.rgba[5] > 128 ? image.rgba[5] - 4 : image.rgba[5] + 4);
    EXPECT_FALSE(BitmapPixelsMatch(&a.bitmap, &b.bitmap));
    OwnedBitmap smaller(PatternImage(4, 3, 8, true), true, PAD_DEFAULT);
    EXPECT_FALSE(BitmapPixelsMatch(&a.bitmap, &smaller.bitmap));
    EXPECT_FALSE(BitmapPixelsMatch(&a.bitmap, nullptr));
    EXPECT_TRUE(Logged("BitmapPixelsMatch got bad parameters."));
}

}  // namespace
