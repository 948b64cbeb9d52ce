// Pad readings to control values and pressed states: the trigger and stick thresholds, the
// radial dead zone (expected values worked out from its definition) and the motor speeds.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "platform/GamepadState.h"

namespace {

GamepadReading Reading() {
    GamepadReading reading = {};
    return reading;
}

const GamepadControlState* Find(const GamepadControlState* controls, int32_t offset) {
    for (int32_t i = 0; i < GAMEPAD_CONTROL_COUNT; ++i) {
        if (controls[i].offset == offset) {
            return &controls[i];
        }
    }
    return nullptr;
}

TEST(GamepadState, SticksGoThroughTheRadialDeadZone) {
    const struct {
        int16_t x, y;
        float expectedX, expectedY;
        bool pressedX;
    } cases[] = {
        {16384, 0, (0.5f - 0.2f) * 1.25f, 0.0f, false},  // half way: 0.375
        {-32768, 0, -1.0f, 0.0f, true},                  // full deflection, capped at length 1
        {6000, 0, 0.0f, 0.0f, false},                    // inside the 0.2 radius: exactly 0
        {4000, -4000, 0.0f, 0.0f, false},                // length 0.17 on the diagonal
        // Length 0.5 at 45 degrees; the y axis turns over (up is negative for the engine).
        {11585, 11585, 0.70710677f * 0.375f, -0.70710677f * 0.375f, false},
        {0, 32767, 0.0f, -(32767.0f / 32768.0f - 0.2f) * 1.25f, false},
    };
    for (const auto& test : cases) {
        GamepadReading reading = Reading();
        reading.leftX = test.x;
        reading.leftY = test.y;
        GamepadControlState controls[GAMEPAD_CONTROL_COUNT];
        ZQI_ReadGamepadControls(reading, controls);
        const GamepadControlState* x = Find(controls, PAD_LEFT_THUMB_X);
        const GamepadControlState* y = Find(controls, PAD_LEFT_THUMB_Y);
        ASSERT_NE(nullptr, x);
        ASSERT_NE(nullptr, y);
        EXPECT_NEAR(test.expectedX, x->value, 1e-4f) << test.x << "," << test.y;
        EXPECT_NEAR(test.expectedY, y->value, 1e-4f) << test.x << "," << test.y;
        EXPECT_EQ(test.pressedX, x->pressed) << test.x << "," << test.y;
        EXPECT_TRUE(x->hasValue);
    }
}

TEST(GamepadState, AStickInsideTheDeadZoneIsExactlyZero) {
    float x = 0.1f;
    float y = -0.15f;
    ZQI_ApplyStickDeadZone(&x, &y);
    EXPECT_EQ(0.0f, x);
    EXPECT_EQ(0.0f, y);
}

TEST(GamepadState, TriggersArePressedAboveAFifth) {
    const struct {
        uint8_t value;
        bool pressed;
    } cases[] = {{52, true}, {40, false}, {0, false}, {255, true}};
    for (const auto& test : cases) {
        GamepadReading reading = Reading();
        reading.rightTrigger = test.value;
        GamepadControlState controls[GAMEPAD_CONTROL_COUNT];
        ZQI_ReadGamepadControls(reading, controls);
        const GamepadControlState* trigger = Find(controls, PAD_RIGHT_TRIGGER);
        ASSERT_NE(nullptr, trigger);
        EXPECT_FLOAT_EQ(test.value / 255.0f, trigger->value);
        EXPECT_EQ(test.pressed, trigger->pressed) << static_cast<int>(test.value);
    }
}

TEST(GamepadState, ButtonBitsPressTheirControlsOnly) {
    GamepadReading reading = Reading();
    reading.buttons = 0x1000 | 0x0008 | 0x0400 | 0x0800;  // A, DPAD_RIGHT and the two unmapped bits
    GamepadControlState controls[GAMEPAD_CONTROL_COUNT];
    ZQI_ReadGamepadControls(reading, controls);
    int32_t pressed = 0;
    for (const GamepadControlState& control : controls) {
        pressed += control.pressed ? 1 : 0;
    }
    EXPECT_EQ(2, pressed);
    EXPECT_TRUE(Find(controls, PAD_BUTTON_A)->pressed);
    EXPECT_TRUE(Find(controls, PAD_DPAD_RIGHT)->pressed);
    EXPECT_FALSE(Find(controls, PAD_BUTTON_A)->hasValue);
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
