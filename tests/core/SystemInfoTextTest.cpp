// The system information text from given platform data and display lists.
#include <gtest/gtest.h>

#include <string>

#include "core/SystemInfoText.h"

namespace {

std::string Text(const char* cpu, const char* gpu, uint64_t memory, const char* os) {
    String text;
    ZQI_FormatSystemInfoText(&text, cpu, gpu, memory, os);
    return text.CStr();
}

std::string Displays(const DisplayModeInfo* displays, int32_t count) {
    String text;
    ZQI_AppendDisplayList(&text, displays, count);
    return text.CStr();
}

TEST(SystemInfoText, MemoryIsRoundedUpToWholeGigabytesAndMissingDataIsUnknown) {
    const uint64_t eight = 8ull * 1024 * 1024 * 1024;
    EXPECT_EQ("CPU: Ryzen\nGPU: Radeon\nMemory: 8 GB\nOS: Windows 10.0.19045",
              Text("Ryzen", "Radeon", eight, "Windows 10.0.19045"));
    EXPECT_EQ("CPU: Ryzen\nGPU: Radeon\nMemory: 9 GB\nOS: Windows",
              Text("Ryzen", "Radeon", eight + 1, "Windows"));
    EXPECT_EQ("CPU: Unknown\nGPU: Unknown\nMemory: Unknown\nOS: Unknown", Text("", nullptr, 0, ""));
    EXPECT_EQ("CPU: a\nGPU: b\nMemory: 17179869184 GB\nOS: c", Text("a", "b", UINT64_MAX, "c"));
}

TEST(SystemInfoText, ThePrimaryDisplayComesFirstAndTheOthersKeepTheirOrder) {
    const DisplayModeInfo displays[] = {
        {1280, 1024, 60, false}, {2560, 1440, 144, true}, {800, 600, 75, false}, {640, 480, 60, true}};
    EXPECT_EQ("\nDisplays: 2560x1440@144,1280x1024@60,800x600@75,640x480@60", Displays(displays, 4));
    EXPECT_EQ("\nDisplays: 1280x1024@60", Displays(displays, 1));
    EXPECT_EQ("\nDisplays: Unknown", Displays(displays, 0));
}

}  // namespace
