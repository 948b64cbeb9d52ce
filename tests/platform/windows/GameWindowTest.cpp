// The game window's placement for a display mode, its creation over the applied parameters, and
// its destruction.
#include <gtest/gtest.h>

#include "PlatformTestSupport.h"
#include "core/CoreState.h"
#include "platform/windows/GameWindow.h"
#include "platform/windows/MessagePump.h"

namespace {

const uint32_t kWindowedStyle = 0x00CB0000u;
const uint32_t kWindowedExtendedStyle = 0x00040100u;
const uint32_t kFullscreenStyle = 0x80000008u;
const uint32_t kFullscreenExtendedStyle = 0x00040000u;

RECT OuterRectangle(int width, int height, uint32_t style, uint32_t extendedStyle) {
    RECT outer = {0, 0, width, height};
    AdjustWindowRectEx(&outer, style, FALSE, extendedStyle);
    return outer;
}

class GameWindowCreationTest : public ::testing::Test {
protected:
    void SetUp() override {
        UseRecordingProgram("Creation Test");
        g_core.appliedParameters.width = 320;
        g_core.appliedParameters.height = 200;
        g_core.appliedParameters.windowed = 1;
    }
    void TearDown() override {
        DestroyGameWindow();
        PumpWindowMessages();
        ForgetRecordingProgram();
    }
};

}  // namespace

TEST(GetWindowPlacementRect, WindowedIsFramedAndCentred) {
    WindowPlacement placement = GetWindowPlacementRect(320, 200, true);
    EXPECT_EQ(kWindowedStyle, placement.style);
    EXPECT_EQ(kWindowedExtendedStyle, placement.extendedStyle);
    RECT outer = OuterRectangle(320, 200, kWindowedStyle, kWindowedExtendedStyle);
    EXPECT_EQ(outer.right - outer.left, placement.width);
    EXPECT_EQ(outer.bottom - outer.top, placement.height);
    EXPECT_GT(placement.width, 320);
    EXPECT_EQ((GetSystemMetrics(SM_CXSCREEN) - placement.width) / 2, placement.x);
    EXPECT_EQ((GetSystemMetrics(SM_CYSCREEN) - placement.height) / 2, placement.y);
}

TEST(GetWindowPlacementRect, WindowedAsLargeAsTheDesktopLosesItsFrame) {
    int width = GetSystemMetrics(SM_CXSCREEN);
    WindowPlacement placement = GetWindowPlacementRect(width, 200, true);
    EXPECT_EQ(static_cast<uint32_t>(WS_POPUP), placement.style);
    EXPECT_EQ(kWindowedExtendedStyle, placement.extendedStyle);
    EXPECT_EQ(width, placement.width);
    EXPECT_EQ(200, placement.height);
}

TEST(GetWindowPlacementRect, FullscreenSitsAtTheOrigin) {
    WindowPlacement placement = GetWindowPlacementRect(640, 480, false);
    EXPECT_EQ(kFullscreenStyle, placement.style);
    EXPECT_EQ(kFullscreenExtendedStyle, placement.extendedStyle);
    EXPECT_EQ(0, placement.x);
    EXPECT_EQ(0, placement.y);
    EXPECT_EQ(640, placement.width);
    EXPECT_EQ(480, placement.height);
}

TEST(GetWindowPlacementRect, TallWindowedWindowMovesUpByHalfACaption) {
    int screenHeight = GetSystemMetrics(SM_CYSCREEN);
    WindowPlacement placement = GetWindowPlacementRect(200, screenHeight - 1, true);
    ASSERT_EQ(kWindowedStyle, placement.style);
    int centred = (screenHeight - placement.height) / 2;
    ASSERT_LT(centred, 0);
    EXPECT_EQ(centred - GetSystemMetrics(SM_CYCAPTION) / 2, placement.y);
}

TEST_F(GameWindowCreationTest, CreatesAVisibleWindowWithTheProgramTitleAndClientSize) {
    ASSERT_TRUE(CreateGameWindow());
    HWND window = ZQI_GetGameWindow();
    ASSERT_NE(nullptr, window);
    EXPECT_TRUE(IsWindowVisible(window));
    char title[64];
    GetWindowTextA(window, title, sizeof(title));
    EXPECT_STREQ("Creation Test", title);
    char className[64];
    GetClassNameA(window, className, sizeof(className));
    EXPECT_STREQ("ZorqaWindowClass", className);
    RECT client;
    ASSERT_TRUE(GetClientRect(window, &client));
    EXPECT_EQ(320, client.right);
    EXPECT_EQ(200, client.bottom);
    EXPECT_EQ(kWindowedStyle, static_cast<uint32_t>(GetWindowLongA(window, GWL_STYLE)) & kWindowedStyle);
    EXPECT_TRUE(ZQI_IsRawInputRegistered());
}

TEST_F(GameWindowCreationTest, SecondCreationKeepsTheFirstWindow) {
    ASSERT_TRUE(CreateGameWindow());
    HWND first = ZQI_GetGameWindow();
    ASSERT_TRUE(CreateGameWindow());
    EXPECT_EQ(first, ZQI_GetGameWindow());
}

TEST_F(GameWindowCreationTest, CanBeCreatedAgainAfterDestruction) {
    ASSERT_TRUE(CreateGameWindow());
    HWND first = ZQI_GetGameWindow();
    DestroyGameWindow();
    EXPECT_EQ(nullptr, ZQI_GetGameWindow());
    EXPECT_FALSE(IsWindow(first));
    ASSERT_TRUE(CreateGameWindow());
    EXPECT_TRUE(IsWindow(ZQI_GetGameWindow()));
}

TEST_F(GameWindowCreationTest, CreationDuringRecreationSucceeds) {
    ZQI_SetGameWindowRecreating(true);
    bool created = CreateGameWindow();
    ZQI_SetGameWindowRecreating(false);
    EXPECT_TRUE(created);
    HWND window = ZQI_GetGameWindow();
    EXPECT_TRUE(IsWindow(window));
    RECT client;
    ASSERT_TRUE(GetClientRect(window, &client));
    EXPECT_EQ(320, client.right);
    EXPECT_EQ(200, client.bottom);
}

TEST_F(GameWindowCreationTest, ClipConfinesTheCursorToTheClientArea) {
    ASSERT_TRUE(CreateGameWindow());
    HWND window = ZQI_GetGameWindow();
    ClipCursorToWindow(true);
    RECT clip;
    ASSERT_TRUE(GetClipCursor(&clip));
    POINT origin = {0, 0};
    ClientToScreen(window, &origin);
    EXPECT_EQ(origin.x, clip.left);
    EXPECT_EQ(origin.y, clip.top);
    EXPECT_EQ(origin.x + 320, clip.right);
    EXPECT_EQ(origin.y + 200, clip.bottom);
    ClipCursorToWindow(false);
    ASSERT_TRUE(GetClipCursor(&clip));
    EXPECT_GT(clip.right - clip.left, 320);
}

TEST_F(GameWindowCreationTest, FullscreenCoversTheDesktopWithABorderlessWindow) {
    g_core.appliedParameters.windowed = 0;
    ASSERT_TRUE(CreateGameWindow());
    HWND window = ZQI_GetGameWindow();
    EXPECT_EQ(static_cast<uint32_t>(WS_POPUP), static_cast<uint32_t>(GetWindowLongA(window, GWL_STYLE)) &
                                                   static_cast<uint32_t>(WS_POPUP | WS_CAPTION));
    RECT outer;
    ASSERT_TRUE(GetWindowRect(window, &outer));
    EXPECT_EQ(0, outer.left);
    EXPECT_EQ(0, outer.top);
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), outer.right);
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), outer.bottom);
}

TEST_F(GameWindowCreationTest, OnlyDevelopersCanDropFilesOnTheWindow) {
    ASSERT_TRUE(CreateGameWindow());
    EXPECT_EQ(0, GetWindowLongA(ZQI_GetGameWindow(), GWL_EXSTYLE) & WS_EX_ACCEPTFILES);
    DestroyGameWindow();
    g_core.developerMode = 1;
    bool created = CreateGameWindow();
    g_core.developerMode = 0;
    ASSERT_TRUE(created);
    EXPECT_NE(0, GetWindowLongA(ZQI_GetGameWindow(), GWL_EXSTYLE) & WS_EX_ACCEPTFILES);
}
