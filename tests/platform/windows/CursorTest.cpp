// Cursors and the pointer position on one real game window, in a process of their own: under
// Wine with Xvfb, moving the cursor and then destroying a window makes the next cursor clip fail
// with an X error that ends the process, so the clip is tested first and the window goes last.
#include <gtest/gtest.h>

#include <windows.h>

#include <cmath>

#include "PlatformTestSupport.h"
#include "core/ApiTable.h"
#include "core/CoreState.h"
#include "platform/windows/Cursors.h"
#include "platform/windows/GameWindow.h"
#include "platform/windows/PlatformCommands.h"

namespace {

class CursorTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_TRUE(OpenTestWindow("Cursor Test"));
        ZQI_InstallPointerApi();
        BuildCursorTable();
    }
    static void TearDownTestSuite() {
        FreeCursorTable();
        CloseTestWindow();
    }

    static POINT WindowOrigin() {
        RECT outer;
        GetWindowRect(ZQI_GetGameWindow(), &outer);
        return {outer.left, outer.top};
    }
};

bool SameRect(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

}  // namespace

TEST_F(CursorTest, ClipCursorKeepsTheClipAfterAButtonIsReleased) {
    HWND window = ZQI_GetGameWindow();
    RECT client;
    GetClientRect(window, &client);
    MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&client), 2);
    RECT clip;
    EXPECT_EQ(nullptr, CallPlatformCommand("ClipCursor", "TRUE"));
    SendMessageA(window, WM_LBUTTONUP, 0, 0);
    ASSERT_TRUE(GetClipCursor(&clip));
    EXPECT_TRUE(SameRect(client, clip));
    CallPlatformCommand("ClipCursor", "yes");  // anything but 1, true or TRUE lets go
    EXPECT_FALSE(ZQI_IsCursorKeptClipped());
    ASSERT_TRUE(GetClipCursor(&clip));
    EXPECT_FALSE(SameRect(client, clip));
}

TEST_F(CursorTest, NamedCursorsAreTheSystemsAndUnknownNamesShowTheArrow) {
    const struct {
        const char* name;
        LPCSTR id;
    } cases[] = {{"ARROW", IDC_ARROW},
                 {"FINGER_POINT", IDC_HAND},
                 {"SIZE_DIAGONAL_UP", IDC_SIZENESW},
                 {"HELP", IDC_HELP},
                 {"no-such-cursor", IDC_ARROW}};
    zq_api_t* api = ZQI_GetApi();
    for (const auto& test : cases) {
        api->SetMouseCursor(test.name);
        EXPECT_EQ(LoadCursorA(nullptr, test.id), GetCursor()) << test.name;
    }
    api->SetMouseCursor("NULL");
    EXPECT_EQ(nullptr, GetCursor());
    api->SetMouseCursor("IBEAM");
    api->SetMouseCursor(nullptr);
    EXPECT_EQ(nullptr, GetCursor());
    ZQI_SetCursorHidden(true);
    api->SetMouseCursor("ARROW");
    EXPECT_EQ(nullptr, GetCursor());
    ZQI_SetCursorHidden(false);
}

TEST_F(CursorTest, PointerZeroMovesRelativeToTheWindowsOuterCorner) {
    zq_api_t* api = ZQI_GetApi();
    POINT origin = WindowOrigin();
    api->SetMousePosition(0, 10.5f, 20.4f);  // half away from zero: 11, 20
    POINT cursor;
    ASSERT_TRUE(GetCursorPos(&cursor));
    EXPECT_EQ(origin.x + 11, cursor.x);
    EXPECT_EQ(origin.y + 20, cursor.y);
    zq_float2_t position = api->GetMousePosition(0);
    EXPECT_EQ(11.0f, position.x);
    EXPECT_EQ(20.0f, position.y);
    api->SetMousePosition(1, 50.0f, 50.0f);
    api->SetMousePosition(0, NAN, 5.0f);
    position = api->GetMousePosition(0);
    EXPECT_EQ(11.0f, position.x);
    zq_float2_t other = api->GetMousePosition(1);
    EXPECT_EQ(0.0f, other.x);
    EXPECT_EQ(0.0f, other.y);
}

TEST_F(CursorTest, ReadMouseDeltaMeasuresFromTheCentreAndReturnsThere) {
    RECT outer;
    GetWindowRect(ZQI_GetGameWindow(), &outer);
    POINT centre = {(outer.left + outer.right) / 2, (outer.top + outer.bottom) / 2};
    SetCursorPos(centre.x + 7, centre.y - 5);
    CallPlatformCommand("ReadMouseDelta", nullptr);
    EXPECT_EQ(7, g_core.inputStates[508]);
    EXPECT_EQ(-5, g_core.inputStates[509]);
    POINT cursor;
    ASSERT_TRUE(GetCursorPos(&cursor));
    EXPECT_EQ(centre.x, cursor.x);
    EXPECT_EQ(centre.y, cursor.y);
}
