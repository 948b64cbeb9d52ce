// Bitmaps on a recorded GPU (textures are heap blocks, counted): what sequence frames keep when
// their textures go and come back, what a raised count reloads, and animated bitmaps that are asked
// to change size.
#include <cstdio>
#include <cstring>

#include "RecordingDevice.h"
#include "graphics/BitmapData.h"
#include "graphics/BitmapOperations.h"
#include "graphics/BitmapSequence.h"
#include "graphics/BitmapTable.h"
#include "graphics/BitmapUpload.h"
#include "graphics/GraphicsResourceApi.h"

namespace {

using BitmapTexturesTest = TextureTest;

struct Rectangle {
    float left, top, right, bottom;
};

// The frame rectangles as the sequence file stores them (32-byte records from byte 33, the
// rectangle in their last 16 bytes).
std::vector<Rectangle> RectanglesInFile(const std::string& bytes, int32_t count) {
    std::vector<Rectangle> rectangles(size_t(count), Rectangle{});
    for (int32_t i = 0; i < count; ++i) {
        memcpy(&rectangles[size_t(i)], bytes.data() + 33 + 32 * i + 16, sizeof(Rectangle));
    }
    return rectangles;
}

void ExpectRectangles(const zq_bitmap_t* sequence, const std::vector<Rectangle>& expected, const char* when) {
    for (int32_t i = 0; i < sequence->frame_count; ++i) {
        const zq_bitmap_gpu_data_t& gpu = sequence->frames[i].gpu;
        const Rectangle& want = expected[size_t(i)];
        EXPECT_TRUE(gpu.loaded) << when << ", frame " << i;
        EXPECT_EQ(sequence->atlas->gpu.texture, gpu.texture) << when << ", frame " << i;
        EXPECT_EQ(want.left, gpu.texture_left) << when << ", frame " << i;
        EXPECT_EQ(want.top, gpu.texture_top) << when << ", frame " << i;
        EXPECT_EQ(want.right, gpu.texture_right) << when << ", frame " << i;
        EXPECT_EQ(want.bottom, gpu.texture_bottom) << when << ", frame " << i;
    }
    EXPECT_EQ(expected[0].right, sequence->gpu.texture_right) << when << ": the bitmap shows frame 0";
}

// Frames of numbered files res://<base>0000.png and on, one size each.
void WriteNumberedFrames(const std::string& base, int32_t count) {
    for (int32_t i = 0; i < count; ++i) {
        char name[64];
        snprintf(name, sizeof(name), "%s%04d.png", base.c_str(), i);
        WriteResFile(name, EncodePNG(PatternImage(4 + i, 4, uint32_t(i), true)));
    }
}

// The frame rectangles come from the file: a renderer restart (all GPU data freed, live bitmaps
// restored) and a cache mode that drops and takes back the texture must leave them as they were.
TEST_F(BitmapTexturesTest, SequenceFramesKeepTheirRectanglesWhenTheirTextureComesBack) {
    zq_bitmap_t source = {};
    source.frames = ZQI_NewBitmapRecords(3);
    source.frame_count = 3;
    for (int32_t i = 0; i < 3; ++i) {
        GivePixels(&source.frames[i], PatternImage(5 + 3 * i, 6 - i, uint32_t(i), true));
    }
    ASSERT_TRUE(ZQI_SaveBitmapSequence(&source, NativeResPath("kept.bms").c_str()));
    FreeBitmapFrames(&source);
    const std::vector<Rectangle> expected = RectanglesInFile(ReadNativeFile(NativeResPath("kept.bms")), 3);
    ASSERT_LT(0.0f, expected[2].left);

    zq_bitmap_t* sequence =
        ZQ_Graphics_GetBitmapWithCacheMode("res://kept.bms", CACHE_PIXELS | CACHE_TEXTURE);
    ASSERT_EQ(3, sequence->frame_count);
    ExpectRectangles(sequence, expected, "loaded");
    EXPECT_EQ(1, textures_->created);

    ZQI_FreeBitmapGpuData();
    ZQI_RecreateLiveBitmaps();
    ExpectRectangles(sequence, expected, "after a renderer restart");

    ZQ_Graphics_SetBitmapCacheMode(sequence, CACHE_PIXELS);
    EXPECT_EQ(nullptr, sequence->atlas->gpu.texture);
    ZQ_Graphics_SetBitmapCacheMode(sequence, CACHE_PIXELS | CACHE_TEXTURE);
    ExpectRectangles(sequence, expected, "after cache modes 6, 2, 6");
    EXPECT_EQ(3, textures_->created);  // the atlas alone, once each time
}

// A raised count keeps a live bitmap as it is; only a hibernated one is loaded again. The source
// files are away while the live bitmap's count rises, so a decode would be reported.
TEST_F(BitmapTexturesTest, RaisingTheCountReloadsOnlyAHibernatedBitmap) {
    struct Case {
        const char* name;
        std::vector<std::string> files;
        int32_t textures;  // textures one load makes
    };
    const Case kCases[] = {{"res://still.png", {"still.png"}, 1},
                           {"res://turn*.png", {"turn0000.png", "turn0001.png"}, 2}};
    const int16_t one = 1;
    for (const Case& c : kCases) {
        const auto writeFiles = [&c] {
            for (size_t i = 0; i < c.files.size(); ++i) {
                WriteResFile(c.files[i], EncodePNG(PatternImage(4 + int32_t(i), 4, uint32_t(i), true)));
            }
        };
        writeFiles();
        const int32_t before = textures_->created;
        zq_bitmap_t* bitmap = ZQ_Graphics_GetBitmap(c.name);
        ASSERT_EQ(before + c.textures, textures_->created) << c.name;
        for (const std::string& file : c.files) {
            std::remove(NativeResPath(file).c_str());
        }
        ZQ_Graphics_IncreaseBitmapReferenceCount(bitmap, &one);
        EXPECT_EQ(2, bitmap->reference_count) << c.name;
        EXPECT_EQ(before + c.textures, textures_->created) << c.name << ": a live bitmap is not loaded again";
        EXPECT_FALSE(Logged(std::string("Unable to load bitmap '") + c.name)) << c.name;
        EXPECT_FALSE(Logged(std::string("Bitmap files '") + c.name)) << c.name;
        EXPECT_TRUE(bitmap->gpu.loaded) << c.name;

        writeFiles();
        ZQ_Graphics_ReleaseBitmap(bitmap);
        ZQ_Graphics_ReleaseBitmap(bitmap);
        ASSERT_EQ(CACHE_NOTHING, bitmap->cache_mode) << c.name;  // hibernated
        ZQ_Graphics_IncreaseBitmapReferenceCount(bitmap, &one);
        EXPECT_EQ(1, bitmap->reference_count) << c.name;
        EXPECT_EQ(before + 2 * c.textures, textures_->created) << c.name << ": a hibernated one is";
        EXPECT_TRUE(bitmap->gpu.loaded) << c.name;
    }
}

// The bitmap record of numbered frames shows the current frame's pixels; it owns none of them. A
// resize is refused with a log line and leaves the frames alone (a hibernation afterwards frees
// each buffer once).
TEST_F(BitmapTexturesTest, AnimatedBitmapsAreNotResized) {
    WriteNumberedFrames("wave", 2);
    zq_bitmap_t* wave = ZQ_Graphics_GetBitmapWithCacheMode("res://wave*.png", CACHE_PIXELS | CACHE_TEXTURE);
    ASSERT_EQ(2, wave->frame_count);
    const TestImage first = PatternImage(4, 4, 0, true);
    const zq_bitmap_desc_t desc = {ZQ_TEXTURE_FORMAT_RGBA8, ZQ_TEXTURE_TYPE_2D, 1, 9, 9, 1, 0};
    struct Case {
        const char* how;
        void (*resize)(zq_bitmap_t* bitmap, const zq_bitmap_desc_t* desc);
    };
    const Case kCases[] = {
        {"ResizeBitmap",
         [](zq_bitmap_t* bitmap, const zq_bitmap_desc_t*) { ZQ_Graphics_ResizeBitmap(bitmap, 9, 9); }},
        {"CreateBitmap of its name",
         [](zq_bitmap_t* bitmap, const zq_bitmap_desc_t* d) { ZQ_Graphics_CreateBitmap(bitmap->name, d); }},
    };
    for (const Case& c : kCases) {
        const int32_t logged = CountLogged("ZQ_Graphics_ResizeBitmap: bitmap 'res://wave*.png' has 2 frames");
        c.resize(wave, &desc);
        EXPECT_EQ(logged + 1,
                  CountLogged("ZQ_Graphics_ResizeBitmap: bitmap 'res://wave*.png' has 2 frames; an animated "
                              "bitmap cannot be resized."))
            << c.how;
        EXPECT_EQ(4, wave->width) << c.how;
        EXPECT_EQ(wave->frames[0].pixels, wave->pixels) << c.how;
        EXPECT_TRUE(PixelsEqual(&wave->frames[0], first)) << c.how;
    }
    ZQ_Graphics_SetBitmapCacheMode(wave, CACHE_NOTHING);
    EXPECT_EQ(0, wave->frame_count);
    EXPECT_EQ(textures_->created, textures_->freed);
}

}  // namespace
