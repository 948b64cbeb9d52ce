// The main loop's message pump: it never waits for a message, and a WM_QUIT ends only the pump
// that meets it; and the main loop, which only the quit flag ends.
#include <gtest/gtest.h>

#include <windows.h>

#include <vector>

#include "PlatformTestSupport.h"
#include "core/CoreState.h"
#include "core/EventQueue.h"
#include "core/Sys.h"
#include "platform/windows/GameWindow.h"
#include "platform/windows/MessagePump.h"

namespace {

const UINT kTestMessage = WM_APP + 17;

}  // namespace

TEST(PumpWindowMessages, ReturnsAtOnceWithAnEmptyQueue) {
    PumpWindowMessages();
    EXPECT_EQ(0, PumpWindowMessages());
}

TEST(PumpWindowMessages, DrainsEveryWaitingMessage) {
    PumpWindowMessages();
    ASSERT_TRUE(PostThreadMessageA(GetCurrentThreadId(), kTestMessage, 0, 0));
    ASSERT_TRUE(PostThreadMessageA(GetCurrentThreadId(), kTestMessage, 1, 0));
    ASSERT_TRUE(PostThreadMessageA(GetCurrentThreadId(), kTestMessage, 2, 0));
    EXPECT_EQ(3, PumpWindowMessages());
    MSG message;
    EXPECT_FALSE(PeekMessageA(&message, nullptr, kTestMessage, kTestMessage, PM_NOREMOVE));
}

TEST(PumpWindowMessages, QuitEndsOnlyTheCurrentPump) {
    PumpWindowMessages();
    ASSERT_TRUE(PostThreadMessageA(GetCurrentThreadId(), kTestMessage, 0, 0));
    PostQuitMessage(0);
    // The posted message comes first, then WM_QUIT stops the pump.
    EXPECT_EQ(1, PumpWindowMessages());
    // The next pump works normally.
    ASSERT_TRUE(PostThreadMessageA(GetCurrentThreadId(), kTestMessage, 0, 0));
    EXPECT_EQ(1, PumpWindowMessages());
}

// The main loop on a real game window, with the frame and the idle wait counted instead of run.
namespace {

int g_frames = 0;
int g_quitAfterFrames = 0;
std::vector<DWORD> g_idleWaits;

// Posts WM_QUIT in the first frame (as a destroyed window would); sets the quit flag after the
// chosen number of frames.
void CountingFrame() {
    ++g_frames;
    if (g_frames == 1) {
        PostQuitMessage(0);
    }
    if (g_frames == g_quitAfterFrames) {
        ZQI_SysAtomicExchange(&g_core.quitFlag, 1);
    }
}

void WINAPI RecordIdleWait(DWORD milliseconds) {
    g_idleWaits.push_back(milliseconds);
}

class MainLoopTest : public ::testing::Test {
protected:
    void SetUp() override {
        UseRecordingProgram("Main Loop Test");
        g_core.appliedParameters.width = 160;
        g_core.appliedParameters.height = 120;
        g_core.appliedParameters.windowed = 1;
        ASSERT_TRUE(CreateGameWindow());
        PumpWindowMessages();
        g_frames = 0;
        g_idleWaits.clear();
    }
    void TearDown() override {
        DestroyGameWindow();
        PumpWindowMessages();
        ZQI_ProcessEventQueue();
        ForgetRecordingProgram();
    }
    void Activate(WPARAM state) { SendMessageA(ZQI_GetGameWindow(), WM_ACTIVATE, state, 0); }
};

}  // namespace

TEST_F(MainLoopTest, AnActiveWindowRunsFramesBackToBackUntilTheQuitFlag) {
    Activate(WA_ACTIVE);
    ASSERT_TRUE(ZQI_IsGameWindowActive());
    g_quitAfterFrames = 4;
    RunMainLoop(CountingFrame, RecordIdleWait);
    // The WM_QUIT of the first frame did not end the loop.
    EXPECT_EQ(4, g_frames);
    EXPECT_TRUE(g_idleWaits.empty());
}

TEST_F(MainLoopTest, AnInactiveWindowIdlesFifteenMillisecondsAfterEachFrame) {
    Activate(WA_INACTIVE);
    ASSERT_FALSE(ZQI_IsGameWindowActive());
    g_quitAfterFrames = 3;
    RunMainLoop(CountingFrame, RecordIdleWait);
    EXPECT_EQ(3, g_frames);
    EXPECT_EQ(std::vector<DWORD>({15, 15, 15}), g_idleWaits);
}

TEST_F(MainLoopTest, AQuitFlagSetBeforehandRunsNoFrame) {
    ZQI_SysAtomicExchange(&g_core.quitFlag, 1);
    RunMainLoop(CountingFrame, RecordIdleWait);
    EXPECT_EQ(0, g_frames);
}
