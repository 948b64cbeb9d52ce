// Frame limiter and time-step rules, on the test clock.
#include <cmath>

#include "RuntimeTestSupport.h"
#include "engine/FrameTiming.h"
#include "engine/RuntimeState.h"

namespace {

class FrameTimingTest : public RuntimeTest {};

TEST_F(FrameTimingTest, FirstFrameWaitsTheWholeFrameTimeFromItsOwnFirstReading) {
    InstallTestClock(5000, 1);  // time passes while the limiter spins
    int32_t elapsed = ZQI_WaitForFrameTime(16);
    EXPECT_EQ(elapsed, 16);
    EXPECT_EQ(g_runtime.previousFrameTime, 5016u);
}

TEST_F(FrameTimingTest, SleepsOnlyWhileMoreThanTwoMillisecondsRemainThenSpins) {
    InstallTestClock(5000, 1);
    g_runtime.previousFrameTime = 5000;
    int32_t elapsed = ZQI_WaitForFrameTime(20);
    EXPECT_GE(elapsed, 20);
    ASSERT_FALSE(Clock().sleepReadings.empty());
    for (uint32_t reading : Clock().sleepReadings) {
        EXPECT_LT(static_cast<int32_t>(reading - 5000), 20 - 2) << "slept with 2 ms or less left";
    }
    // The limiter did spin: the last readings came without a sleep between them.
    uint32_t lastSleep = Clock().sleepReadings.back();
    EXPECT_GE(static_cast<int32_t>(g_runtime.currentFrameTime - lastSleep), 2);
}

TEST_F(FrameTimingTest, NoFrameTimeDoesNotWait) {
    InstallTestClock(700, 0);
    g_runtime.previousFrameTime = 700;
    EXPECT_EQ(ZQI_WaitForFrameTime(0), 0);
    EXPECT_TRUE(Clock().sleepReadings.empty());
}

TEST_F(FrameTimingTest, ElapsedTimeSurvivesTheClockWrap) {
    InstallTestClock(0x00000005u, 0);
    g_runtime.previousFrameTime = 0xFFFFFFF0u;
    EXPECT_EQ(ZQI_WaitForFrameTime(0), 21);
}

TEST_F(FrameTimingTest, StepsAbove200MillisecondsBecomeOneThirtyThird) {
    EXPECT_FLOAT_EQ(ZQI_DetermineFrameTimeDelta(0.25f, false), 0.030303031f);
    EXPECT_FLOAT_EQ(ZQI_DetermineFrameTimeDelta(0.2f, false), 0.2f);
    EXPECT_FLOAT_EQ(ZQI_DetermineFrameTimeDelta(0.016f, false), 0.016f);
}

TEST_F(FrameTimingTest, NegativeStepsBecomeOneMillisecondWithAWarningInDeveloperMode) {
    EXPECT_FLOAT_EQ(ZQI_DetermineFrameTimeDelta(-0.5f, false), 0.001f);
    EXPECT_FALSE(WasLogged("Found negative time delta"));
    EXPECT_FLOAT_EQ(ZQI_DetermineFrameTimeDelta(-0.5f, true), 0.001f);
    EXPECT_TRUE(WasLogged("[WARNING] Found negative time delta in ZQI_DetermineFrameTimeDelta: -0.5"));
}

TEST_F(FrameTimingTest, ATenSecondStallGivesThirtyWholeMilliseconds) {
    FrameStep step = ZQI_MakeFrameStep(10000, false);
    EXPECT_EQ(step.ms, 30);
    EXPECT_FLOAT_EQ(step.step, 0.03f);
    EXPECT_FLOAT_EQ(step.dt, 0.030303031f);
}

TEST_F(FrameTimingTest, WholeMillisecondsAreKeptForEveryNormalFrameLength) {
    for (int32_t elapsed = 0; elapsed <= 200; ++elapsed) {
        FrameStep step = ZQI_MakeFrameStep(elapsed, false);
        EXPECT_EQ(step.ms, elapsed);
        EXPECT_FLOAT_EQ(step.step, static_cast<float>(elapsed) * 0.001f);
    }
}

}  // namespace
