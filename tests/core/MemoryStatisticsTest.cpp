// Memory estimates from resources of every kind, their capped publication as input states, and
// the memory overlay's sampling (through a fake extension-call slot).
#include <vector>

#include "ApiTableTestSupport.h"
#include "core/MemoryOverlay.h"
#include "core/MemoryStatistics.h"

namespace {

// What a fake resource table holds.
std::vector<ImageMemoryUse> g_images;
std::vector<uint64_t> g_sounds;
uint64_t g_vertexBytes = 0;
int32_t g_refreshes = 0;

void FakeTableSource(MemoryEstimates* estimates) {
    for (const ImageMemoryUse& image : g_images) {
        ZQI_CountImageMemory(estimates, image);
    }
    for (uint64_t size : g_sounds) {
        ZQI_CountSoundMemory(estimates, size);
    }
    estimates->vertexBytes += g_vertexBytes;
}

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
        ASSERT_TRUE(ZQI_RegisterMemoryEstimateSource(FakeTableSource));
        ASSERT_TRUE(ZQI_RegisterMemoryEstimateSource(FakeTableSource));  // counted once
        ZQI_GetApi()->ExtensionCall = RefreshingExtensionCall;
    }
    void TearDown() override {
        EXPECT_TRUE(ZQI_UnregisterMemoryEstimateSource(FakeTableSource));
        EXPECT_FALSE(ZQI_UnregisterMemoryEstimateSource(FakeTableSource));
        CoreApiTest::TearDown();
    }
    static int32_t Stat(int32_t id) { return ZQ_GetInputState(id); }
};

TEST_F(MemoryStatisticsTest, EachKindOfResourceCountsByItsRuleAndSumsAreCapped) {
    // A three-frame bitmap with its pixels in memory and its texture on the GPU: 20000 bytes of
    // system memory, 3 x 32768 of GPU memory and 3 x 20000 of image data.
    zq_bitmap_t strip = {};
    uint8_t pixels[4] = {};
    strip.width = strip.pixel_width = 100;
    strip.height = strip.pixel_height = 50;
    strip.pixels = pixels;
    strip.gpu.loaded = 1;
    strip.gpu.texture_width = 128;
    strip.gpu.texture_height = 64;
    strip.frame_count = 3;
    // width, height, system copy, uploaded, texture width, texture height, frames
    g_images = {ZQI_DescribeBitmapMemory(strip),
                {100, 50, false, false, 128, 64, 1},
                {10, 10, true, true, 16, 16, 1}};
    g_sounds = {4194304, 4194305, 1000};  // the middle one is music
    g_vertexBytes = 7;
    ZQI_RefreshMemUsageEstimates();
    const int32_t expected[] = {20400 + 3 * 32768 + 1024 + 4194304 + 1000 + 7,
                                20400,
                                3 * 32768 + 1024,
                                3 * 20000 + 400,
                                4194304 + 1000,
                                7};
    for (int32_t id = MEMORY_STAT_TOTAL; id <= MEMORY_STAT_VERTEX; ++id) {
        EXPECT_EQ(expected[id - MEMORY_STAT_TOTAL], Stat(id)) << id;
    }
    // Three uploaded 16384 x 16384 textures: 3 GB, more than an entry holds.
    g_images.assign(3, ImageMemoryUse{16384, 16384, false, true, 16384, 16384, 1});
    ZQI_RefreshMemUsageEstimates();
    EXPECT_EQ(2147483647, Stat(MEMORY_STAT_GPU));
    EXPECT_EQ(2147483647, Stat(MEMORY_STAT_TOTAL));
    EXPECT_EQ(4194304 + 1000, Stat(MEMORY_STAT_SOUND));
}

TEST_F(MemoryStatisticsTest, BitmapsCountThePixelsTheyHoldNotTheSizeTheyAreDrawnAt) {
    // Drawn at 64 x 64 by a manifest entry, holding 16 x 16 pixels (and texels): 1024 bytes.
    zq_bitmap_t scaled = {};
    uint8_t pixels[4] = {};
    scaled.width = scaled.height = 64;
    scaled.pixel_width = scaled.pixel_height = scaled.gpu.texture_width = scaled.gpu.texture_height = 16;
    scaled.pixels = pixels;
    scaled.gpu.loaded = 1;
    g_images = {ZQI_DescribeBitmapMemory(scaled)};
    ZQI_RefreshMemUsageEstimates();
    EXPECT_EQ(1024, Stat(MEMORY_STAT_SYSTEM));
    EXPECT_EQ(1024, Stat(MEMORY_STAT_IMAGE));
}

TEST_F(MemoryStatisticsTest, EveryThirtiethCallSamplesUntilTheTotalSettlesAndFullPanelsSlide) {
    MemoryOverlayState* state = ZQI_CreateMemoryOverlayState();
    ASSERT_NE(nullptr, state);
    state->panelWidth = 12;  // six samples of two pixels
    // One sound size per 30 calls, each refreshing the estimates once.
    auto sampleWith = [state](std::initializer_list<uint64_t> sizes) {
        for (uint64_t sound : sizes) {
            g_sounds = {sound};
            for (int32_t i = 0; i < 29; ++i) {
                ZQI_SampleMemoryStatistics(state);
            }
            const int32_t refreshes = g_refreshes;
            ZQI_SampleMemoryStatistics(state);
            EXPECT_EQ(refreshes + 1, g_refreshes);
        }
    };
    sampleWith({100, 100, 100, 100, 100});
    EXPECT_EQ(4, state->totalHistory.count);  // the fifth equal total is not recorded
    sampleWith({300, 200, 200, 205});         // 200 twice is recorded; the panel fills and slides
    const std::vector<int32_t> sounds(state->soundHistory.begin(), state->soundHistory.end());
    EXPECT_EQ((std::vector<int32_t>{100, 100, 300, 200, 200, 205}), sounds);
    EXPECT_EQ(300u, state->soundPeak);
    for (const Array<int32_t>* history :
         {&state->totalHistory, &state->gpuHistory, &state->systemHistory, &state->vertexHistory}) {
        EXPECT_EQ(6, history->count);
    }
    EXPECT_EQ(205, state->totalHistory[5]);
    ZQI_FreeMemoryOverlayState(state);
}

TEST(MemoryOverlayLayout, ThePanelFillsTheDisplayAndTheScaleGrowsForEachTotalAboveIt) {
    const int32_t mb = 1048576;
    MemoryOverlayState* state = ZQI_CreateMemoryOverlayState();
    ASSERT_NE(nullptr, state);
    for (int32_t total : {40 * mb, 20 * mb, 50 * mb, 60 * mb}) {
        state->totalHistory.Push(total);
    }
    // 32 MB in grid lines of 10 MB: 3 lines in 600 pixels. 40 MB lifts the scale to 52 MB, 60 MB
    // (the only later total above it) to 72 MB.
    ZQI_LayoutMemoryOverlay(state, 900, 700);
    EXPECT_EQ((std::vector<int32_t>{50, 50, 800, 600}),
              (std::vector<int32_t>{state->panelLeft, state->panelTop, state->panelWidth, state->panelHeight}));
    EXPECT_EQ(200, state->gridStep);
    EXPECT_EQ(72u * mb, state->graphScale);
    ZQI_LayoutMemoryOverlay(state, 900, 700);  // 7 lines now; nothing above 72 MB
    EXPECT_EQ(600 / 7, state->gridStep);
    EXPECT_EQ(72u * mb, state->graphScale);
    ZQI_LayoutMemoryOverlay(state, 110, 104);  // a 4-pixel panel still keeps 2 pixels per line
    EXPECT_EQ(2, state->gridStep);
    ZQI_FreeMemoryOverlayState(state);
}

}  // namespace
