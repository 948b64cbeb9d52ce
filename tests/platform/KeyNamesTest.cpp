// Key names to key codes: the fixed table, one-character names, and gamepad controls, whose
// codes are computed here from the pad number and the control's offset.
#include <gtest/gtest.h>

#include <string>

#include "platform/KeyNames.h"

namespace {

TEST(KeyNames, NamesGiveTheirCodes) {
    const struct {
        const char* name;
        int32_t code;
    } cases[] = {{"BACK", 8},
                 {"BACKSPACE", 8},
                 {"RETURN", 13},
                 {"SPACE", 32},
                 {"HELP", 47},
                 {"NUMPAD9", 105},
                 {"DIVIDE", 111},
                 {"MENU", 300},
                 {"LEFT_SHIFT", 160},
                 {"RIGHT_ALT", 165},
                 {"MOUSE_WHEEL", 507},
                 {"MOUSE_BUTTON_LEFT", 510},
                 {"MOUSE_BUTTON_1", 511},
                 {"MOUSE_BUTTON_7", 517},
                 {"ACCELEROMETER_Z", 1612},
                 {"VOLUME_DOWN", 1633},
                 {"a", 65},
                 {"A", 65},
                 {"z", 90},
                 {"0", 48},
                 {"~", 0},
                 {"ab", 0},
                 {"F1", 0},
                 {"space", 0},
                 {"", 0},
                 {"MOUSE_BUTTON_8", 0},
                 {"GAMEPAD_", 0}};
    for (const auto& test : cases) {
        EXPECT_EQ(test.code, KeyCodeFromName(test.name)) << test.name;
    }
    EXPECT_EQ(0, KeyCodeFromName(nullptr));
}

TEST(KeyNames, GamepadNamesGiveThePadsCodes) {
    // Pad n's codes start at 800 + 64n; the offsets are the controls' places in a pad's block.
    const struct {
        const char* control;
        int32_t offset;
    } controls[] = {{"LEFT_TRIGGER", 1},  {"RIGHT_THUMB_Y", 7},          {"DPAD_UP", 10},  {"DPAD_RIGHT", 13},
                    {"BUTTON_START", 20}, {"BUTTON_RIGHT_SHOULDER", 25}, {"BUTTON_A", 26}, {"BUTTON_Y", 29}};
    for (int32_t pad = 0; pad < 4; ++pad) {
        for (const auto& control : controls) {
            std::string name = "GAMEPAD_" + std::to_string(pad) + "_" + control.control;
            EXPECT_EQ(800 + 64 * pad + control.offset, KeyCodeFromName(name.c_str())) << name;
        }
    }
    EXPECT_EQ(893, KeyCodeFromName("GAMEPAD_1_BUTTON_Y"));
    EXPECT_EQ(993, KeyCodeFromName("GAMEPAD_3_LEFT_TRIGGER"));
}

TEST(KeyNames, GamepadNamesWithoutAPadOrControlGiveZero) {
    // Some end before the control would start: nothing past their end may be read.
    const char* const names[] = {"GAMEPAD_4_BUTTON_A", "GAMEPAD_x",          "GAMEPAD_1",
                                 "GAMEPAD_1_",         "GAMEPAD_x_BUTTON_A", "GAMEPAD_12_BUTTON_A",
                                 "GAMEPAD_1_button_a", "GAMEPAD__BUTTON_A"};
    for (const char* name : names) {
        EXPECT_EQ(0, KeyCodeFromName(name)) << name;
    }
    std::string longNumber = "GAMEPAD_" + std::string(200, '0') + "_BUTTON_A";
    EXPECT_EQ(0, KeyCodeFromName(longNumber.c_str()));
}

}  // namespace
