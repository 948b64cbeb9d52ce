// The XInput back end: against the real library (no pads under Wine), and with scripted pads put
// in place of XInput's two entry points and a test clock in place of the API's: polling of
// missing pads, key events and values, rumble, deactivation and shutdown.
#include <gtest/gtest.h>

#include <windows.h>

#include <cmath>
#include <limits>
#include <vector>

#include "PlatformTestSupport.h"
#include "core/ApiTable.h"
#include "core/CoreState.h"
#include "core/EventQueue.h"
#include "platform/windows/InputImpXInput.h"

namespace {

// Pad n's code of a control offset.
int32_t Code(int32_t pad, int32_t offset) {
    return 800 + 64 * pad + offset;
}

struct MotorCall {
    DWORD pad;
    WORD left;
    WORD right;
};

struct ScriptedPads {
    XINPUT_STATE states[4];
    DWORD results[4];
    int polls[4];
    std::vector<MotorCall> motors;
    XInputGetStateFunction realGetState;
    std::vector<DWORD> realResults;
};
ScriptedPads g_pads;
uint32_t g_now = 0;

DWORD WINAPI ScriptedGetState(DWORD pad, XINPUT_STATE* state) {
    ++g_pads.polls[pad];
    *state = g_pads.states[pad];
    return g_pads.results[pad];
}

DWORD WINAPI RecordSetState(DWORD pad, XINPUT_VIBRATION* vibration) {
    g_pads.motors.push_back({pad, vibration->wLeftMotorSpeed, vibration->wRightMotorSpeed});
    return ERROR_SUCCESS;
}

DWORD WINAPI WatchRealGetState(DWORD pad, XINPUT_STATE* state) {
    DWORD result = g_pads.realGetState(pad, state);
    g_pads.realResults.push_back(result);
    return result;
}

uint32_t TestClock() {
    return g_now;
}

class XInputTest : public ::testing::Test {
protected:
    void SetUp() override {
        UseRecordingProgram("XInput Test");
        ZQI_GetApi()->GetMilliseconds = TestClock;
        g_pads = ScriptedPads();
        for (DWORD& result : g_pads.results) {
            result = ERROR_DEVICE_NOT_CONNECTED;
        }
        ASSERT_TRUE(xinput_.Initialize(&g_core));
    }

    void TearDown() override {
        xinput_.Shutdown();
        ZQI_ProcessEventQueue();
        ForgetRecordingProgram();
        memset(g_core.inputStates, 0, sizeof(g_core.inputStates));
        memset(g_core.inputValues, 0, sizeof(g_core.inputValues));
    }

    void Script() { ZQI_SetXInputFunctions(ScriptedGetState, RecordSetState); }

    // Pad connected with a reading; every reading has a new packet number.
    void Connect(int pad, WORD buttons, BYTE leftTrigger = 0, SHORT leftX = 0) {
        XINPUT_STATE& state = g_pads.states[pad];
        ++state.dwPacketNumber;
        state.Gamepad.wButtons = buttons;
        state.Gamepad.bLeftTrigger = leftTrigger;
        state.Gamepad.sThumbLX = leftX;
        g_pads.results[pad] = ERROR_SUCCESS;
    }

    // One frame: the back end's update, then the event step.
    void Frame() {
        xinput_.Update();
        ZQI_ProcessEventQueue();
    }

    InputImpXInput xinput_;
};

std::vector<std::pair<uint32_t, int32_t>> KeyEvents() {
    std::vector<std::pair<uint32_t, int32_t>> keys;
    for (const RecordedEvent& recorded : TheRecordingProgram().events) {
        if (recorded.event.type == ZQ_EVENT_KEY_DOWN || recorded.event.type == ZQ_EVENT_KEY_UP) {
            keys.push_back({recorded.event.type, recorded.event.key.input_id});
        }
    }
    return keys;
}

}  // namespace

TEST_F(XInputTest, TheRealLibraryFindsNoPads) {
    XInputSetStateFunction setState = nullptr;
    ZQI_GetXInputFunctions(&g_pads.realGetState, &setState);
    ASSERT_NE(nullptr, g_pads.realGetState);
    ZQI_SetXInputFunctions(WatchRealGetState, setState);
    Frame();
    EXPECT_EQ(std::vector<DWORD>(4, ERROR_DEVICE_NOT_CONNECTED), g_pads.realResults);
    for (int pad = 0; pad < 4; ++pad) {
        EXPECT_EQ(0, g_core.inputStates[Code(pad, 0)]);
    }
}

TEST_F(XInputTest, AMissingPadIsAskedOnceASecondAcrossTheClocksWrap) {
    Script();
    g_now = 0xFFFFFF00u;
    Frame();
    g_now += 999;  // wrapped past zero
    Frame();
    for (int pad = 0; pad < 4; ++pad) {
        EXPECT_EQ(1, g_pads.polls[pad]) << pad;
    }
    g_now += 1;
    Frame();
    for (int pad = 0; pad < 4; ++pad) {
        EXPECT_EQ(2, g_pads.polls[pad]) << pad;
    }
}

TEST_F(XInputTest, AConnectedPadIsReadEveryFrameIntoKeysAndValues) {
    Script();
    Connect(1, XINPUT_GAMEPAD_A, 52, 16384);
    Frame();
    EXPECT_EQ(1, g_core.inputStates[Code(1, 0)]);
    EXPECT_FLOAT_EQ(52.0f / 255.0f, g_core.inputValues[Code(1, 1)]);
    EXPECT_NEAR(0.375f, g_core.inputValues[Code(1, 4)], 1e-4f);
    std::vector<std::pair<uint32_t, int32_t>> pressed = {{ZQ_EVENT_KEY_DOWN, Code(1, 1)},
                                                         {ZQ_EVENT_KEY_DOWN, Code(1, 26)}};
    EXPECT_EQ(pressed, KeyEvents());

    TheRecordingProgram().events.clear();
    Connect(1, 0, 52, 16384);  // A released, the trigger still held
    Frame();
    std::vector<std::pair<uint32_t, int32_t>> released = {{ZQ_EVENT_KEY_UP, Code(1, 26)}};
    EXPECT_EQ(released, KeyEvents());
    EXPECT_EQ(2, g_pads.polls[1]);
}

TEST_F(XInputTest, MotorsRunWhileAValueIsSetAndStopOnce) {
    Script();
    Connect(0, 0);
    g_core.inputValues[Code(0, 40)] = 0.5f;
    g_core.inputValues[Code(0, 41)] = 2.0f;
    Frame();
    Frame();
    g_core.inputValues[Code(0, 40)] = 0.0f;
    g_core.inputValues[Code(0, 41)] = std::numeric_limits<float>::quiet_NaN();
    Frame();
    Frame();
    ASSERT_EQ(3u, g_pads.motors.size());
    EXPECT_EQ(32767, g_pads.motors[0].left);
    EXPECT_EQ(65535, g_pads.motors[0].right);
    EXPECT_EQ(32767, g_pads.motors[1].left);
    EXPECT_EQ(0, g_pads.motors[2].left);  // the zero pair, sent once
    EXPECT_EQ(0, g_pads.motors[2].right);
}

TEST_F(XInputTest, DeactivationAndShutdownReleaseThePadsAndStopEveryMotor) {
    Script();
    Connect(2, XINPUT_GAMEPAD_B, 0, 32767);
    Frame();
    ASSERT_EQ(3, g_core.inputStates[Code(2, 27)]);
    xinput_.SetActive(false);
    EXPECT_EQ(0, g_core.inputStates[Code(2, 27)]);
    EXPECT_EQ(0.0f, g_core.inputValues[Code(2, 4)]);
    EXPECT_EQ(4u, g_pads.motors.size());
    Frame();  // inactive: nothing is read
    EXPECT_EQ(1, g_pads.polls[2]);
    xinput_.SetActive(true);
    Frame();
    EXPECT_EQ(2, g_pads.polls[2]);
    xinput_.Shutdown();  // stops the motors again and forgets the library
    EXPECT_EQ(8u, g_pads.motors.size());
    Frame();
    EXPECT_EQ(2, g_pads.polls[2]);
}
