// The engine's own start-up, frames and shutdown inside this process, with the real window,
// Direct3D 11 device and program library (progs/recording_program.c beside this executable), so
// the back buffer can be read back after whole frames. The graphics API's clear is not part of
// the build yet, so the program's Draw clears through the renderer back end that clear will call.
#include <gtest/gtest.h>

#include <windows.h>

#include <vector>

#include "InProcessEngine.h"
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

int CountOtherThan(const std::vector<uint32_t>& words, uint32_t word) {
    int count = 0;
    for (uint32_t pixel : words) {
        count += pixel != word ? 1 : 0;
    }
    return count;
}

}  // namespace

TEST(FrameReadBack, TheProgramsClearColourIsInTheBackBufferAfterItsFrames) {
    InstallInProcessPlatform();
    ASSERT_TRUE(CorePreinitialize());
    ASSERT_TRUE(CoreInitialize());
    ASSERT_NE(nullptr, g_core.program);
    ASSERT_NE(nullptr, g_core.renderer);
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

    CoreShutdown();
    EXPECT_EQ(nullptr, g_core.renderer);
}
