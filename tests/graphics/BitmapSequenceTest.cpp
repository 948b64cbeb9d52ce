// Bitmap-sequence files: writing frames with repeats and reading them back, run-length atlases,
// and the files the reader refuses.
#include <cstdlib>
#include <cstring>

#include "GraphicsTestSupport.h"
#include "graphics/BitmapData.h"
#include "graphics/BitmapSequence.h"
#include "graphics/BitmapTable.h"
#include "graphics/GraphicsResourceApi.h"

namespace {

class BitmapSequenceTest : public GraphicsTest {
protected:
    void TearDown() override {
        FreeBitmapFrames(&read_);
        GraphicsTest::TearDown();
    }
    zq_bitmap_t read_ = {};
};

uint32_t U32At(const std::string& bytes, size_t at) {
    uint32_t value;
    memcpy(&value, bytes.data() + at, 4);
    return value;  // the test hosts are little-endian, like the format
}

float FloatAt(const std::string& bytes, size_t at) {
    float value;
    memcpy(&value, bytes.data() + at, 4);
    return value;
}

std::string U32Bytes(uint32_t value) {
    return std::string(reinterpret_cast<const char*>(&value), 4);
}

// A file with the given header parts, frameCount zeroed frame records, and the encoding's bytes.
std::string SequenceFile(const std::string& magic, int32_t frameCount, const std::string& chunk,
                         const std::string& encoding, const std::string& pixels, int32_t records) {
    std::string file = magic + U32Bytes(uint32_t(frameCount)) + "RGBA" + chunk + U32Bytes(0);
    file += std::string(size_t(records) * 32, '\0');
    return file + encoding + pixels;
}

const std::string kMagic("ZQ_Bm_Seq_v1\0", 13);
const std::string kAtlas("ATLAS\0\0\0", 8);
const std::string kRLE("RLE\0", 4);

std::string RunBytes(uint8_t length, uint8_t b, uint8_t g, uint8_t r, uint8_t a) {
    return std::string{char(length), char(b), char(g), char(r), char(a)};
}

TEST_F(BitmapSequenceTest, TenFramesWithFourRepeatsPackSixAndReadBack) {
    zq_bitmap_t* bitmap = ZQ_Graphics_GetBitmapWithCacheMode("walk", CACHE_NOTHING);
    bitmap->frames = ZQI_NewBitmapRecords(10);
    bitmap->frame_count = 10;
    const int repeats[10] = {-1, -1, -1, -1, -1, -1, 1, 2, 0, 4};
    std::vector<TestImage> images;
    for (int i = 0; i < 10; ++i) {
        zq_bitmap_t& frame = bitmap->frames[i];
        images.push_back(PatternImage(10 + i, 8, 40 + i, true));
        if (repeats[i] < 0) {
            GivePixels(&frame, images.back());
        } else {
            frame.width = images[repeats[i]].width;
            frame.height = 8;
            frame.same_as_frame = &bitmap->frames[repeats[i]];
        }
        frame.current_frame = 100 + i;
        frame.frame_rate = 12.5f;
    }
    ASSERT_TRUE(ZQI_SaveBitmapSequence(bitmap, NativeResPath("walk.bms").c_str()));
    ASSERT_NE(nullptr, bitmap->atlas);
    EXPECT_TRUE(Logged("Successfully packed 6 bitmaps into"));
    EXPECT_TRUE(Logged("Writing frame num 9 - 109"));

    const std::string file = ReadNativeFile(NativeResPath("walk.bms"));
    ASSERT_GT(file.size(), 361u);
    EXPECT_EQ(kMagic, file.substr(0, 13));
    EXPECT_EQ(10u, U32At(file, 13));
    EXPECT_EQ("RGBA", file.substr(17, 4));
    EXPECT_EQ(kAtlas, file.substr(21, 8));
    EXPECT_EQ(0u, U32At(file, 29));
    for (int i = 0; i < 10; ++i) {
        const size_t record = 33 + size_t(i) * 32;
        const int placed = repeats[i] < 0 ? i : repeats[i];
        EXPECT_EQ(uint32_t(images[placed].width), U32At(file, record));
        EXPECT_EQ(uint32_t(100 + i), U32At(file, record + 8));
        EXPECT_EQ(12.5f, FloatAt(file, record + 12));
        EXPECT_EQ(bitmap->frames[placed].gpu.texture_left, FloatAt(file, record + 16)) << i;
        EXPECT_EQ(bitmap->frames[placed].gpu.texture_bottom, FloatAt(file, record + 28)) << i;
    }
    EXPECT_EQ(std::string("PNG\0", 4), file.substr(353, 4));
    EXPECT_EQ(file.size() - 361, U32At(file, 357));  // the size field counts the PNG's bytes

    ASSERT_TRUE(ZQI_LoadBitmapSequence(&read_, "res://walk.bms"));
    ASSERT_EQ(10, read_.frame_count);
    ASSERT_NE(nullptr, read_.atlas);
    EXPECT_STREQ("atlas:res://walk.bms", read_.atlas->name);
    EXPECT_EQ(BITMAP_LOADED, read_.atlas->load_state);
    const zq_bitmap_t& atlas = *read_.atlas;
    for (int i = 0; i < 10; ++i) {
        const zq_bitmap_t& frame = read_.frames[i];
        const int placed = repeats[i] < 0 ? i : repeats[i];
        EXPECT_EQ(images[placed].width, frame.width);
        EXPECT_EQ(100 + i, frame.current_frame);
        EXPECT_EQ(read_.atlas, frame.atlas);
        EXPECT_EQ(nullptr, frame.pixels);
        // The frame's rectangle in the atlas holds the pixels of the frame it shows.
        const int left = int(frame.gpu.texture_left * atlas.width + 0.5f);
        const int top = int(frame.gpu.texture_top * atlas.height + 0.5f);
        for (int y = 0; y < 8; ++y) {
            EXPECT_EQ(
                0, memcmp(images[placed].At(0, y), atlas.pixels + (int64_t(top + y) * atlas.width + left) * 4,
                          size_t(images[placed].width) * 4))
                << "frame " << i << " row " << y;
        }
    }
}

TEST_F(BitmapSequenceTest, RunLengthAtlasFillsRowOrderAndMustEndAtTheLastPixel) {
    const std::string size = U32Bytes(16) + U32Bytes(16);
    const std::string full = RunBytes(255, 1, 2, 3, 4) + RunBytes(1, 5, 6, 7, 8);
    WriteResFile("rle.bms", SequenceFile(kMagic, 1, kAtlas, kRLE, size + full, 1));
    ASSERT_TRUE(ZQI_LoadBitmapSequence(&read_, "res://rle.bms"));
    const uint8_t* pixels = read_.atlas->pixels;
    EXPECT_EQ(0, memcmp(pixels, "\x03\x02\x01\x04", 4));
    EXPECT_EQ(0, memcmp(pixels + 254 * 4, "\x03\x02\x01\x04", 4));
    EXPECT_EQ(0, memcmp(pixels + 255 * 4, "\x07\x06\x05\x08", 4));

    const struct {
        const char* name;
        std::string pixels;
        const char* message;
    } kRefused[] = {
        {"over.bms", size + RunBytes(255, 0, 0, 0, 0) + RunBytes(2, 0, 0, 0, 0),
         "do not end at its last pixel"},
        {"short.bms", size + RunBytes(255, 0, 0, 0, 0), "do not end at its last pixel"},
        {"huge.bms", U32Bytes(65535) + U32Bytes(65535) + full, "unsupported dimensions 65535x65535"},
        {"thin.bms", U32Bytes(4096) + U32Bytes(4096) + full, "is shorter than 4096x4096 pixels"},
    };
    for (const auto& c : kRefused) {
        WriteResFile(c.name, SequenceFile(kMagic, 1, kAtlas, kRLE, c.pixels, 1));
        EXPECT_FALSE(ZQI_LoadBitmapSequence(&read_, ("res://" + std::string(c.name)).c_str())) << c.name;
        EXPECT_EQ(nullptr, read_.frames) << c.name;
        EXPECT_TRUE(Logged(c.message)) << c.name;
    }
}

TEST_F(BitmapSequenceTest, AtlasPixelsOnlyAsLargeAsTheFileCanFill) {
    // A PNG atlas claiming 16384 x 16384 whose data holds no row: under 150 bytes in all.
    const std::string claimingPNG = ZeroRowsPNG(16384, 16384, 0);
    const std::string claims = SequenceFile(kMagic, 1, kAtlas, std::string("PNG\0", 4),
                                            U32Bytes(uint32_t(claimingPNG.size())) + claimingPNG, 1);
    EXPECT_LT(claims.size(), 150u);
    // Runs of 254 where 255 would fill the atlas: 5 MB that the old bound (255 pixels a run) let
    // through to a 1 GiB atlas before the last run showed the shortfall.
    const uint32_t side = 16384;
    const uint64_t runCount = uint64_t(side) * side / 255 + 1;
    std::string runs;
    runs.reserve(runCount * 5);
    for (uint64_t i = 0; i < runCount; ++i) {
        runs += RunBytes(254, 0, 0, 0, 255);
    }
    const std::string shortRuns =
        SequenceFile(kMagic, 1, kAtlas, kRLE, U32Bytes(side) + U32Bytes(side) + runs, 1);
    EXPECT_GT(shortRuns.size(), 5000000u);
    const struct {
        const char* name;
        const std::string& bytes;
        const char* message;
    } kRefused[] = {
        {"claims.bms", claims,
         "ReadPNG: the data of 'atlas:res://claims.bms' is shorter than its 16384x16384 pixels."},
        {"short-runs.bms", shortRuns,
         "ZQI_LoadBitmapSequence: the runs of 'res://short-runs.bms' do not end"},
    };
    const uint64_t peakBefore = PeakResidentBytes();
    for (const auto& c : kRefused) {
        WriteResFile(c.name, c.bytes);
        EXPECT_FALSE(ZQI_LoadBitmapSequence(&read_, ("res://" + std::string(c.name)).c_str())) << c.name;
        EXPECT_EQ(nullptr, read_.atlas) << c.name;
        EXPECT_TRUE(Logged(c.message)) << c.name;
    }
    // A 1 GiB atlas, taken and filled, would have shown here.
    EXPECT_LT(PeakResidentBytes() - peakBefore, uint64_t(256) * 1024 * 1024);
}

TEST_F(BitmapSequenceTest, BadFilesAreRefused) {
    std::string zeroByteChanged = kMagic;
    zeroByteChanged[12] = '!';
    const std::string pixels = U32Bytes(1) + U32Bytes(1) + RunBytes(1, 0, 0, 0, 0);
    const struct {
        std::string bytes;
        const char* message;
    } kCases[] = {
        {SequenceFile("zQ_Bm_Seq_v1" + std::string(1, '\0'), 1, kAtlas, kRLE, pixels, 1),
         "Bad header in bitmap sequence"},
        {SequenceFile(zeroByteChanged, 1, kAtlas, kRLE, pixels, 1), "Bad header in bitmap sequence"},
        {kMagic.substr(0, 5), "Bad header in bitmap sequence"},
        {SequenceFile(kMagic, 1, "ATLASXYZ", kRLE, pixels, 1), "unimplemented chunk: 'ATLASXYZ'"},
        {SequenceFile(kMagic, 1, kAtlas, "JPGS", pixels, 1), "encoding: 'JPGS'"},
        {SequenceFile(kMagic, 1000, kAtlas, kRLE, pixels, 1), "cannot hold its 1000 frames"},
        {SequenceFile(kMagic, 0, kAtlas, kRLE, pixels, 0), "cannot hold its 0 frames"},
        {SequenceFile(kMagic, 1, kAtlas, std::string("png\0", 4), U32Bytes(999) + "\x89PNG", 1),
         "shorter than its size field"},
    };
    for (const auto& c : kCases) {
        WriteResFile("bad.bms", c.bytes);
        EXPECT_FALSE(ZQI_LoadBitmapSequence(&read_, "res://bad.bms")) << c.message;
        EXPECT_EQ(0, read_.frame_count);
        EXPECT_TRUE(Logged(c.message)) << c.message;
    }
    const int logged = CountLogged("");
    EXPECT_FALSE(ZQI_LoadBitmapSequence(&read_, "res://missing.bms"));
    EXPECT_EQ(logged, CountLogged(""));  // a missing file is not reported here
    EXPECT_FALSE(ZQI_SaveBitmapSequence(&read_, "nowhere.bms"));
    EXPECT_TRUE(Logged("ZQI_SaveBitmapSequence: trying to save invalid bitmap to 'nowhere.bms'."));
}

}  // namespace
