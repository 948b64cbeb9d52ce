// The system information text on the machine the tests run on: its display entry is the primary
// display's current mode as EnumDisplaySettingsA gives it.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <string>

#include "core/ApiTable.h"
#include "engine/Lifecycle.h"

namespace {

// "WxH@R" of the primary display's current mode; empty when there is none.
std::string PrimaryDisplayMode() {
    DISPLAY_DEVICEA device = {};
    device.cb = sizeof(device);
    for (DWORD i = 0; EnumDisplayDevicesA(nullptr, i, &device, 0); ++i) {
        DEVMODEA mode = {};
        mode.dmSize = sizeof(mode);
        if ((device.StateFlags & DISPLAY_DEVICE_PRIMARY_DEVICE) != 0 &&
            EnumDisplaySettingsA(device.DeviceName, ENUM_CURRENT_SETTINGS, &mode)) {
            char text[64];
            snprintf(text, sizeof(text), "%lux%lu@%lu", mode.dmPelsWidth, mode.dmPelsHeight,
                     mode.dmDisplayFrequency);
            return text;
        }
        device.cb = sizeof(device);
    }
    return "";
}

TEST(SystemInfo, GetSystemInfoListsThePrimaryDisplaysCurrentModeFirst) {
    CollectSystemInfo();
    ZQI_BuildSystemInfoText();
    const std::string text = ZQ_GetSystemInfo();
    const std::string mode = PrimaryDisplayMode();
    ASSERT_FALSE(mode.empty());
    EXPECT_EQ(0u, text.find("CPU: ")) << text;
    EXPECT_NE(std::string::npos, text.find("\nMemory: ")) << text;
    EXPECT_NE(std::string::npos, text.find("\nDisplays: " + mode)) << text << " expected " << mode;
}

}  // namespace
