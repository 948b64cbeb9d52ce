// Memory estimates from resources of every kind, their saturated publication as input states,
// and the memory overlay's sampling (through a fake extension-call slot).
#include <vector>

#include "ApiTableTestSupport.h"
#include "core/MemoryOverlay.h"
#include "core/MemoryStatistics.h"

namespace {

// The resources a fake resource table holds.
std::vector<ImageMemoryUse> g_images;
std::vector<uint64_t> g_sounds;
uint64_t g_vertexBytes = 0;

void ImageSource(MemoryEstimates* estimates) {
    for (const ImageMemoryUse& image : g_images) {
        ZQI_CountImageMemory(estimates, image);
    }
}

void SoundAndBufferSource(MemoryEstimates* estimates) {
    for (uint64_t size : g_sounds) {
        ZQI_CountSoundMemory(estimates, size);
    }
    estimates->vertexBytes += g_vertexBytes;
}

int32_t g_refreshes = 0;

const char* RefreshingExtensionCall(const char* function, const char*) {
    if (strcmp(function, "RefreshMemUsageEstimates") == 0) {
        ++g_refreshes;
        ZQI_RefreshMemUsageEstimates();
    }
    return nullptr;
}

class MemoryStatisticsTest : public CoreApiTest {
protected:
    void SetUp() override {
        CoreApiTest::SetUp();
        g_images.clear();
        g_sounds.clear();
        g_vertexBytes = 0;
        g_refreshes = 0;
        ASSERT_TRUE(ZQI_RegisterMemoryEstimateSource(ImageSource));
        ASSERT_TRUE(ZQI_RegisterMemoryEstimateSource(SoundAndBufferSource));
        ASSERT_TRUE(ZQI_RegisterMemoryEstimateSource(ImageSource));  // once is enough
        ZQI_GetApi()->ExtensionCall = RefreshingExtensionCall;
    }

    void TearDown() override {
        EXPECT_TRUE(ZQI_UnregisterMemoryEstimateSource(ImageSource));
        EXPECT_TRUE(ZQI_UnregisterMemoryEstimateSource(SoundAndBufferSource));
        EXPECT_FALSE(ZQI_UnregisterMemoryEstimateSource(ImageSource));
        CoreApiTest::TearDown();
    }

    static int32_t Stat(int32_t id) { return ZQ_GetInputState(id); }
};

TEST_F(MemoryStatisticsTest, EachKindOfResourceCountsByItsRule) {
    // A three-frame bitmap with its pixels in memory and its texture on the GPU: 20000 bytes of
    // system memory, 3 x 32768 of GPU memory and 3 x 20000 of image data.
    zq_bitmap_t strip = {};
    uint8_t pixels[4] = {};
    strip.width = 100;
    strip.height = 50;
    strip.pixels = pixels;
    strip.gpu.loaded = 1;
    strip.gpu.texture_width = 128;
    strip.gpu.texture_height = 64;
    strip.frame_count = 3;
    // width, height, system copy, uploaded, texture width, texture height, frames
    g_images = {ZQI_DescribeBitmapMemory(strip),
                {100, 50, false, false, 128, 64, 1},  // neither in memory nor uploaded: nothing
                {10, 10, true, true, 16, 16, 1}};     // 400 system, 1024 GPU, 400 image data
    g_sounds = {4194304, 4194305, 1000};              // the middle one is music
    g_vertexBytes = 7;
    ZQI_RefreshMemUsageEstimates();
    EXPECT_EQ(20400, Stat(MEMORY_STAT_SYSTEM));
    EXPECT_EQ(3 * 32768 + 1024, Stat(MEMORY_STAT_GPU));
    EXPECT_EQ(3 * 20000 + 400, Stat(MEMORY_STAT_IMAGE));
    EXPECT_EQ(4194304 + 1000, Stat(MEMORY_STAT_SOUND));
    EXPECT_EQ(7, Stat(MEMORY_STAT_VERTEX));
    EXPECT_EQ(20400 + 3 * 32768 + 1024 + 4194304 + 1000 + 7, Stat(MEMORY_STAT_TOTAL));
}

TEST_F(MemoryStatisticsTest, SumsBeyondTheTableEntriesAreCappedNotNegative) {
    // Three uploaded 16384 x 16384 textures: 3 GB of GPU memory.
    g_images.assign(3, ImageMemoryUse{16384, 16384, false, true, 16384, 16384, 1});
    g_sounds = {1000};
    ZQI_RefreshMemUsageEstimates();
    EXPECT_EQ(2147483647, Stat(MEMORY_STAT_GPU));
    EXPECT_EQ(2147483647, Stat(MEMORY_STAT_IMAGE));
    EXPECT_EQ(2147483647, Stat(MEMORY_STAT_TOTAL));
    EXPECT_EQ(1000, Stat(MEMORY_STAT_SOUND));
}

TEST_F(MemoryStatisticsTest, EveryThirtiethCallSamplesUntilTheTotalSettlesAndFullPanelsSlide) {
    MemoryOverlayState* state = ZQI_CreateMemoryOverlayState();
    ASSERT_NE(nullptr, state);
    state->panelWidth = 12;  // six samples of two pixels
    auto sampleOnce = [state] {
        for (int32_t i = 0; i < 30; ++i) {
            ZQI_SampleMemoryStatistics(state);
        }
    };
    g_sounds = {100};
    for (int32_t i = 0; i < 29; ++i) {
        ZQI_SampleMemoryStatistics(state);
    }
    EXPECT_EQ(0, g_refreshes);
    ZQI_SampleMemoryStatistics(state);
    EXPECT_EQ(1, g_refreshes);
    for (int32_t i = 0; i < 5; ++i) {
        sampleOnce();
    }
    EXPECT_EQ(4, state->totalHistory.count);  // the fifth equal total is not recorded
    EXPECT_EQ(6, g_refreshes);

    g_sounds = {300};  // a peak
    sampleOnce();
    g_sounds = {200};
    sampleOnce();
    sampleOnce();  // 200 twice: recorded, only four equal totals settle; the panel is now full
    auto sounds = [state] {
        return std::vector<int32_t>(state->soundHistory.begin(), state->soundHistory.end());
    };
    EXPECT_EQ((std::vector<int32_t>{100, 100, 100, 300, 200, 200}), sounds());
    EXPECT_EQ(300u, state->soundPeak);
    g_vertexBytes = 5;
    sampleOnce();  // each new sample drops the oldest of every history
    EXPECT_EQ((std::vector<int32_t>{100, 100, 300, 200, 200, 200}), sounds());
    for (const Array<int32_t>* history :
         {&state->totalHistory, &state->gpuHistory, &state->systemHistory, &state->vertexHistory}) {
        EXPECT_EQ(6, history->count);
    }
    EXPECT_EQ(5, state->vertexHistory[5]);
    EXPECT_EQ(205, state->totalHistory[5]);
    ZQI_FreeMemoryOverlayState(state);
}

}  // namespace
