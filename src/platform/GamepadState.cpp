// Pad readings to control values and pressed states.
#include "platform/GamepadState.h"

#include <cmath>

namespace {

const float kTriggerScale = 1.0f / 255.0f;
const float kTriggerPressedAbove = 0.2f;
const float kStickScale = 1.0f / 32768.0f;
const float kStickPressedAbove = 0.4f;
const float kDeadZoneRadius = 0.2f;
// Stretches (radius .. 1) back to (0 .. 1).
const float kDeadZoneRescale = 1.0f / (1.0f - kDeadZoneRadius);
const float kMaximumMotorSpeed = 65535.0f;

GamepadControlState ValueControl(int32_t offset, float value, float pressedAbove) {
    GamepadControlState state;
    state.offset = offset;
    state.value = value;
    state.hasValue = true;
    state.pressed = std::fabs(value) > pressedAbove;
    return state;
}

GamepadControlState ButtonControl(int32_t offset, bool down) {
    GamepadControlState state;
    state.offset = offset;
    state.value = 0.0f;
    state.hasValue = false;
    state.pressed = down;
    return state;
}

}  // namespace

const GamepadControl kGamepadControls[GAMEPAD_CONTROL_COUNT] = {
    {"LEFT_TRIGGER", PAD_LEFT_TRIGGER, 0},
    {"RIGHT_TRIGGER", PAD_RIGHT_TRIGGER, 0},
    {"LEFT_THUMB_X", PAD_LEFT_THUMB_X, 0},
    {"LEFT_THUMB_Y", PAD_LEFT_THUMB_Y, 0},
    {"RIGHT_THUMB_X", PAD_RIGHT_THUMB_X, 0},
    {"RIGHT_THUMB_Y", PAD_RIGHT_THUMB_Y, 0},
    {"DPAD_UP", PAD_DPAD_UP, 0x0001},
    {"DPAD_DOWN", PAD_DPAD_DOWN, 0x0002},
    {"DPAD_LEFT", PAD_DPAD_LEFT, 0x0004},
    {"DPAD_RIGHT", PAD_DPAD_RIGHT, 0x0008},
    {"BUTTON_START", PAD_BUTTON_START, 0x0010},
    {"BUTTON_BACK", PAD_BUTTON_BACK, 0x0020},
    {"BUTTON_LEFT_THUMB", PAD_BUTTON_LEFT_THUMB, 0x0040},
    {"BUTTON_RIGHT_THUMB", PAD_BUTTON_RIGHT_THUMB, 0x0080},
    {"BUTTON_LEFT_SHOULDER", PAD_BUTTON_LEFT_SHOULDER, 0x0100},
    {"BUTTON_RIGHT_SHOULDER", PAD_BUTTON_RIGHT_SHOULDER, 0x0200},
    {"BUTTON_A", PAD_BUTTON_A, 0x1000},
    {"BUTTON_B", PAD_BUTTON_B, 0x2000},
    {"BUTTON_X", PAD_BUTTON_X, 0x4000},
    {"BUTTON_Y", PAD_BUTTON_Y, 0x8000},
};

void ZQI_ApplyStickDeadZone(float* x, float* y) {
    float length = std::sqrt(*x * *x + *y * *y);
    if (!(length >= kDeadZoneRadius)) {  // also catches NaN
        *x = 0.0f;
        *y = 0.0f;
        return;
    }
    float capped = length > 1.0f ? 1.0f : length;
    float scale = (capped - kDeadZoneRadius) * kDeadZoneRescale / length;
    *x *= scale;
    *y *= scale;
}

void ZQI_ReadGamepadControls(const GamepadReading& reading, GamepadControlState out[GAMEPAD_CONTROL_COUNT]) {
    float leftX = reading.leftX * kStickScale;
    float leftY = -(reading.leftY * kStickScale);
    float rightX = reading.rightX * kStickScale;
    float rightY = -(reading.rightY * kStickScale);
    ZQI_ApplyStickDeadZone(&leftX, &leftY);
    ZQI_ApplyStickDeadZone(&rightX, &rightY);
    const float axes[4] = {leftX, leftY, rightX, rightY};

    int32_t count = 0;
    out[count++] = ValueControl(PAD_LEFT_TRIGGER, reading.leftTrigger * kTriggerScale, kTriggerPressedAbove);
    out[count++] =
        ValueControl(PAD_RIGHT_TRIGGER, reading.rightTrigger * kTriggerScale, kTriggerPressedAbove);
    for (int32_t axis = 0; axis < 4; ++axis) {
        out[count++] = ValueControl(PAD_LEFT_THUMB_X + axis, axes[axis], kStickPressedAbove);
    }
    for (const GamepadControl& control : kGamepadControls) {
        if (control.buttonBit != 0) {
            out[count++] = ButtonControl(control.offset, (reading.buttons & control.buttonBit) != 0);
        }
    }
}

uint16_t ZQI_GetMotorSpeed(float value) {
    if (!(value > 0.0f)) {  // also NaN
        return 0;
    }
    if (value >= 1.0f) {
        return static_cast<uint16_t>(kMaximumMotorSpeed);
    }
    return static_cast<uint16_t>(value * kMaximumMotorSpeed);
}
