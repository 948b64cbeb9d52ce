// The engine's own start-up, frames and shutdown inside this process, with the real window,
// Direct3D 11 device and program library (progs/recording_program.c beside this executable), so
// the back buffer can be read back after whole frames, and the engine API record start-up left
// can be compared with a fresh build of the tables. The graphics API's clear is not part of
// the build yet, so the program's Draw clears through the renderer back end that clear will call.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <vector>

#include "InProcessEngine.h"
#include "core/ApiTable.h"
#include "core/CoreState.h"
#include "engine/Lifecycle.h"
#include "engine/RuntimeState.h"
#include "graphics/d3d11/RendererImplementation.h"
#include "platform/windows/MessagePump.h"

namespace {

// 0.2, 0.6 and 0.4 are exact in 8-bit unorm (51, 153, 102): B8G8R8A8 read as one word.
const float kClearRed = 0.2f;
const float kClearGreen = 0.6f;
const float kClearBlue = 0.4f;
const uint32_t kClearWord = 0xFF339966u;
const int kFrames = 4;

int g_clearingDraws = 0;

void ClearingDraw(float) {
    ++g_clearingDraws;
    g_core.renderer->ClearRenderTargets(kClearRed, kClearGreen, kClearBlue, 1.0f);
}

// Every slot of the root record and of its twelve sub-tables, as raw words.
std::vector<void*> ApiSlots(const zq_api_t& api) {
    std::vector<void*> slots;
    auto add = [&slots](const void* table, size_t size) {
        const size_t count = size / sizeof(void*);
        const size_t first = slots.size();
        slots.resize(first + count);
        memcpy(&slots[first], table, count * sizeof(void*));
    };
    add(&api, sizeof(api));
    add(api.achievements, sizeof(*api.achievements));
    add(api.audio, sizeof(*api.audio));
    add(api.cloud, sizeof(*api.cloud));
    add(api.filesystem, sizeof(*api.filesystem));
    add(api.graphics, sizeof(*api.graphics));
    add(api.iap, sizeof(*api.iap));
    add(api.leaderboards, sizeof(*api.leaderboards));
    add(api.notification, sizeof(*api.notification));
    add(api.social, sizeof(*api.social));
    add(api.statistic, sizeof(*api.statistic));
    add(api.threading, sizeof(*api.threading));
    add(api.ugc, sizeof(*api.ugc));
    return slots;
}

int CountOtherThan(const std::vector<uint32_t>& words, uint32_t word) {
    int count = 0;
    for (uint32_t pixel : words) {
        count += pixel != word ? 1 : 0;
    }
    return count;
}

}  // namespace

// Start-up runs once for the tests below, with the real window, device and program library.
class StartedEngine : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        InstallInProcessPlatform();
        started_ = CorePreinitialize() && CoreInitialize();
    }
    static void TearDownTestSuite() {
        CoreShutdown();
        EXPECT_EQ(nullptr, g_core.renderer);
    }
    void SetUp() override {
        ASSERT_TRUE(started_);
        ASSERT_NE(nullptr, g_core.program);
        ASSERT_NE(nullptr, g_core.renderer);
    }
    static bool started_;
};

bool StartedEngine::started_ = false;

TEST_F(StartedEngine, RebuildingTheApiTablesGivesBackTheRecordStartUpLeft) {
    const std::vector<void*> started = ApiSlots(*ZQI_GetApi());
    ZQI_BuildApiTables();
    const std::vector<void*> rebuilt = ApiSlots(*ZQI_GetApi());
    ASSERT_EQ(started.size(), rebuilt.size());
    for (size_t i = 0; i < started.size(); ++i) {
        EXPECT_EQ(started[i], rebuilt[i]) << "slot " << i << " (the root's 48, then the sub-tables in order)";
    }
}

TEST_F(StartedEngine, TheProgramsClearColourIsInTheBackBufferAfterItsFrames) {
    g_core.program->Draw = ClearingDraw;
    for (int i = 0; i < kFrames; ++i) {
        PumpWindowMessages();
        RunFrame();
    }
    EXPECT_EQ(kFrames, g_clearingDraws);

    // Every buffer of the chain has been cleared by some frame, so whichever one is current now
    // holds the clear colour everywhere.
    uint32_t width = 0;
    std::vector<uint32_t> pixels = ReadBackBuffer(*g_core.renderer, &width);
    ASSERT_FALSE(pixels.empty());
    EXPECT_EQ(static_cast<size_t>(g_runtime.displayWidth) * g_runtime.displayHeight, pixels.size());
    EXPECT_EQ(0, CountOtherThan(pixels, kClearWord)) << std::hex << "first pixel 0x" << pixels[0];
}
