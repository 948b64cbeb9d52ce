// Pad readings to control values and pressed states: the thresholds, the radial dead zone
// (expected values worked out from its definition) and the motor speeds.
#include <gtest/gtest.h>

#include <limits>

#include "platform/GamepadState.h"

namespace {

const GamepadControlState& Control(const GamepadReading& reading, int32_t offset) {
    static GamepadControlState controls[GAMEPAD_CONTROL_COUNT];
    ZQI_ReadGamepadControls(reading, controls);
    for (const GamepadControlState& control : controls) {
        if (control.offset == offset) {
            return control;
        }
    }
    return controls[0];
}

TEST(GamepadState, SticksGoThroughTheRadialDeadZone) {
    const struct {
        int16_t x, y;
        float expectedX, expectedY;
        bool pressedX;
    } cases[] = {
        {16384, 0, (0.5f - 0.2f) * 1.25f, 0.0f, false},  // half way: 0.375
        {-32768, 0, -1.0f, 0.0f, true},                  // full deflection, length capped at 1
        {6000, 0, 0.0f, 0.0f, false},                    // inside the 0.2 radius: exactly 0
        {4000, -4000, 0.0f, 0.0f, false},                // length 0.17 on the diagonal
        // Length 0.5 at 45 degrees; y turns over (up is negative for the engine).
        {11585, 11585, 0.70710677f * 0.375f, -0.70710677f * 0.375f, false},
    };
    for (const auto& test : cases) {
        GamepadReading reading = {};
        reading.leftX = test.x;
        reading.leftY = test.y;
        EXPECT_NEAR(test.expectedX, Control(reading, PAD_LEFT_THUMB_X).value, 1e-4f)
            << test.x << "," << test.y;
        EXPECT_NEAR(test.expectedY, Control(reading, PAD_LEFT_THUMB_Y).value, 1e-4f)
            << test.x << "," << test.y;
        EXPECT_EQ(test.pressedX, Control(reading, PAD_LEFT_THUMB_X).pressed) << test.x << "," << test.y;
    }
}

TEST(GamepadState, TriggersArePressedAboveAFifthAndButtonsByTheirBits) {
    GamepadReading reading = {};
    reading.leftTrigger = 52;
    reading.rightTrigger = 40;
    reading.buttons = 0x1000 | 0x0008 | 0x0400 | 0x0800;  // A, DPAD_RIGHT and the two unmapped bits
    EXPECT_FLOAT_EQ(52.0f / 255.0f, Control(reading, PAD_LEFT_TRIGGER).value);
    EXPECT_TRUE(Control(reading, PAD_LEFT_TRIGGER).pressed);
    EXPECT_FALSE(Control(reading, PAD_RIGHT_TRIGGER).pressed);
    GamepadControlState controls[GAMEPAD_CONTROL_COUNT];
    ZQI_ReadGamepadControls(reading, controls);
    int32_t pressedButtons = 0;
    for (const GamepadControlState& control : controls) {
        pressedButtons += control.pressed && !control.hasValue ? 1 : 0;
    }
    EXPECT_EQ(2, pressedButtons);
    EXPECT_TRUE(Control(reading, PAD_BUTTON_A).pressed);
    EXPECT_TRUE(Control(reading, PAD_DPAD_RIGHT).pressed);
}

TEST(GamepadState, MotorValuesBecomeClampedSpeeds) {
    const struct {
        float value;
        uint16_t speed;
    } cases[] = {{0.0f, 0},
                 {0.5f, 32767},
                 {1.0f, 65535},
                 {2.0f, 65535},
                 {-0.5f, 0},
                 {std::numeric_limits<float>::quiet_NaN(), 0},
                 {std::numeric_limits<float>::infinity(), 65535}};
    for (const auto& test : cases) {
        EXPECT_EQ(test.speed, ZQI_GetMotorSpeed(test.value)) << test.value;
    }
}

}  // namespace
