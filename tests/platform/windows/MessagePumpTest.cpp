// The main loop's message pump: it never waits for a message, and a WM_QUIT ends only the pump
// that meets it.
#include <gtest/gtest.h>

#include <windows.h>

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
