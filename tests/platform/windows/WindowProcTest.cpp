// The window procedure on a real game window: messages posted or sent to it become the engine
// events the program receives, the close request asks the program, and launch requests from a
// second instance arrive as launch-uri events.
#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "PlatformTestSupport.h"
#include "core/ApiTable.h"
#include "core/CoreState.h"
#include "core/EventQueue.h"
#include "core/Sys.h"
#include "platform/windows/GameWindow.h"
#include "platform/windows/MessagePump.h"

namespace {

const uint16_t kLeftButton = 510;
const uint16_t kRightButton = 511;
const uint16_t kMiddleButton = 512;
const uint32_t kMouseDeviceKind = 2;

class WindowProcTest : public ::testing::Test {
protected:
    void SetUp() override {
        // The real cursor is left where it is: under Wine 8 with Xvfb, moving it with
        // SetCursorPos and then destroying a window makes the next ClipCursor fail with an X
        // BadWindow error that ends the process.
        UseRecordingProgram("Window Proc Test");
        g_core.appliedParameters.width = 320;
        g_core.appliedParameters.height = 240;
        g_core.appliedParameters.windowed = 1;
        ASSERT_TRUE(CreateGameWindow());
        window_ = ZQI_GetGameWindow();
        Deliver();
        TheRecordingProgram().events.clear();
    }

    void TearDown() override {
        ZQI_SetGameWindowRecreating(false);
        DestroyGameWindow();
        PumpWindowMessages();
        ZQI_ProcessEventQueue();
        ForgetRecordingProgram();
    }

    // Runs the window's messages, then the frame's event step.
    void Deliver() {
        PumpWindowMessages();
        ZQI_ProcessEventQueue();
    }

    void PostMove(int x, int y) { ASSERT_TRUE(PostMessageA(window_, WM_MOUSEMOVE, 0, MAKELPARAM(x, y))); }

    // The pointer moves recorded at the given positions. The X server's own pointer also reaches
    // the window now and then (another test's window appearing or going under it), at a position
    // of its own: counting every move made such tests fail about once in ten suites.
    static std::vector<RecordedEvent> MovesAt(const std::vector<std::pair<int32_t, int32_t>>& positions) {
        std::vector<RecordedEvent> moves;
        for (const RecordedEvent& move : RecordedEventsOfType(ZQ_EVENT_POINTER_MOVE)) {
            for (const auto& position : positions) {
                if (move.event.pointer.x == position.first && move.event.pointer.y == position.second) {
                    moves.push_back(move);
                    break;
                }
            }
        }
        return moves;
    }

    LRESULT SendLaunchRequest(ULONG_PTR tag, const char* uri) {
        COPYDATASTRUCT data;
        data.dwData = tag;
        data.cbData = static_cast<DWORD>(strlen(uri) + 1);
        data.lpData = const_cast<char*>(uri);
        return SendMessageA(window_, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
    }

    HWND window_ = nullptr;
};

void ExpectMouseEvent(const RecordedEvent& recorded, uint32_t type, int32_t x, int32_t y, uint16_t button) {
    const zq_event_t& event = recorded.event;
    EXPECT_EQ(type, event.type);
    EXPECT_EQ(0, event.pointer.pointer_index);
    EXPECT_EQ(x, event.pointer.x);
    EXPECT_EQ(y, event.pointer.y);
    EXPECT_EQ(button, event.pointer.button);
    EXPECT_EQ(kMouseDeviceKind, event.pointer.device_kind);
}

// A drop record as the shell makes it: the header, then the file names, double-terminated.
HDROP MakeDrop(const char* path, LONG x, LONG y) {
    size_t pathBytes = strlen(path) + 1;
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) + pathBytes + 1);
    DROPFILES* drop = static_cast<DROPFILES*>(GlobalLock(memory));
    drop->pFiles = sizeof(DROPFILES);
    drop->pt.x = x;
    drop->pt.y = y;
    drop->fNC = FALSE;
    drop->fWide = FALSE;
    memcpy(reinterpret_cast<char*>(drop) + sizeof(DROPFILES), path, pathBytes);
    GlobalUnlock(memory);
    return static_cast<HDROP>(memory);
}

}  // namespace

TEST_F(WindowProcTest, MouseMoveBecomesAPointerMoveEvent) {
    PostMove(12, 34);
    Deliver();
    std::vector<RecordedEvent> moves = MovesAt({{12, 34}});
    ASSERT_EQ(1u, moves.size());
    ExpectMouseEvent(moves[0], ZQ_EVENT_POINTER_MOVE, 12, 34, 0);
}

TEST_F(WindowProcTest, ButtonsAreReportedAtTheLastPostedPosition) {
    PostMove(40, 50);
    // The button messages carry a different position; the events use the last move's.
    ASSERT_TRUE(PostMessageA(window_, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(1, 1)));
    ASSERT_TRUE(PostMessageA(window_, WM_LBUTTONUP, 0, MAKELPARAM(1, 1)));
    ASSERT_TRUE(PostMessageA(window_, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(1, 1)));
    ASSERT_TRUE(PostMessageA(window_, WM_RBUTTONUP, 0, MAKELPARAM(1, 1)));
    ASSERT_TRUE(PostMessageA(window_, WM_MBUTTONDOWN, MK_MBUTTON, MAKELPARAM(1, 1)));
    ASSERT_TRUE(PostMessageA(window_, WM_MBUTTONUP, 0, MAKELPARAM(1, 1)));
    Deliver();
    std::vector<RecordedEvent> downs = RecordedEventsOfType(ZQ_EVENT_POINTER_DOWN);
    std::vector<RecordedEvent> ups = RecordedEventsOfType(ZQ_EVENT_POINTER_UP);
    ASSERT_EQ(3u, downs.size());
    ASSERT_EQ(3u, ups.size());
    ExpectMouseEvent(downs[0], ZQ_EVENT_POINTER_DOWN, 40, 50, kLeftButton);
    ExpectMouseEvent(ups[0], ZQ_EVENT_POINTER_UP, 40, 50, kLeftButton);
    ExpectMouseEvent(downs[1], ZQ_EVENT_POINTER_DOWN, 40, 50, kRightButton);
    ExpectMouseEvent(ups[1], ZQ_EVENT_POINTER_UP, 40, 50, kRightButton);
    ExpectMouseEvent(downs[2], ZQ_EVENT_POINTER_DOWN, 40, 50, kMiddleButton);
    ExpectMouseEvent(ups[2], ZQ_EVENT_POINTER_UP, 40, 50, kMiddleButton);
}

TEST_F(WindowProcTest, ExtraButtonsFollowTheMiddleButton) {
    ASSERT_TRUE(PostMessageA(window_, WM_XBUTTONDOWN, MAKEWPARAM(0, XBUTTON1), 0));
    ASSERT_TRUE(PostMessageA(window_, WM_XBUTTONUP, MAKEWPARAM(0, XBUTTON2), 0));
    Deliver();
    std::vector<RecordedEvent> downs = RecordedEventsOfType(ZQ_EVENT_POINTER_DOWN);
    std::vector<RecordedEvent> ups = RecordedEventsOfType(ZQ_EVENT_POINTER_UP);
    ASSERT_EQ(1u, downs.size());
    ASSERT_EQ(1u, ups.size());
    EXPECT_EQ(513, downs[0].event.pointer.button);
    EXPECT_EQ(514, ups[0].event.pointer.button);
}

TEST_F(WindowProcTest, WheelDeltaSitsInTheUpperHalfOfTheButtonField) {
    int32_t totalBefore = ZQI_GetWheelTotal();
    PostMove(7, 8);
    ASSERT_TRUE(PostMessageA(window_, WM_MOUSEWHEEL, MAKEWPARAM(0, 120), MAKELPARAM(300, 300)));
    ASSERT_TRUE(PostMessageA(window_, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-240)), 0));
    Deliver();
    std::vector<RecordedEvent> wheels = RecordedEventsOfType(ZQ_EVENT_POINTER_WHEEL);
    ASSERT_EQ(2u, wheels.size());
    uint32_t buttonField;
    memcpy(&buttonField, wheels[0].event.bytes + 16, sizeof(buttonField));
    EXPECT_EQ(120u << 16, buttonField);
    EXPECT_EQ(120, wheels[0].event.pointer.wheel_delta);
    EXPECT_EQ(7, wheels[0].event.pointer.x);
    EXPECT_EQ(8, wheels[0].event.pointer.y);
    EXPECT_EQ(kMouseDeviceKind, wheels[0].event.pointer.device_kind);
    EXPECT_EQ(-240, wheels[1].event.pointer.wheel_delta);
    EXPECT_EQ(totalBefore - 120, ZQI_GetWheelTotal());
}

TEST_F(WindowProcTest, BeforeInitialisationEndsEventsAreDispatchedAtOnce) {
    g_core.queueInputEvents = 0;
    SendMessageA(window_, WM_MOUSEMOVE, 0, MAKELPARAM(3, 4));
    EXPECT_EQ(0, ZQI_GetQueuedEventCount());
    std::vector<RecordedEvent> moves = RecordedEventsOfType(ZQ_EVENT_POINTER_MOVE);
    ASSERT_EQ(1u, moves.size());
    EXPECT_EQ(3, moves[0].event.pointer.x);
}

TEST_F(WindowProcTest, OnceInitialisedEventsWaitForTheFrame) {
    SendMessageA(window_, WM_MOUSEMOVE, 0, MAKELPARAM(3, 4));
    EXPECT_EQ(1, ZQI_GetQueuedEventCount());
    EXPECT_TRUE(RecordedEventsOfType(ZQ_EVENT_POINTER_MOVE).empty());
    ZQI_ProcessEventQueue();
    EXPECT_EQ(1u, RecordedEventsOfType(ZQ_EVENT_POINTER_MOVE).size());
}

TEST_F(WindowProcTest, FullscreenMovesAreScaledToTheBackBufferAndRepeatsDropped) {
    // A back buffer twice the client size in each direction.
    g_core.appliedParameters.windowed = 0;
    g_core.appliedParameters.width = 640;
    g_core.appliedParameters.height = 480;
    PostMove(10, 20);
    PostMove(10, 20);
    PostMove(11, 20);
    Deliver();
    std::vector<RecordedEvent> moves = MovesAt({{20, 40}, {22, 40}});
    ASSERT_EQ(2u, moves.size());
    EXPECT_EQ(20, moves[0].event.pointer.x);
    EXPECT_EQ(40, moves[0].event.pointer.y);
    EXPECT_EQ(22, moves[1].event.pointer.x);
    EXPECT_EQ(40, moves[1].event.pointer.y);
}

TEST_F(WindowProcTest, CloseAnsweredTwoKeepsTheWindowOpen) {
    TheRecordingProgram().answer = ZQ_EVENT_ANSWER_CANCEL_QUIT;
    LRESULT result = SendMessageA(window_, WM_CLOSE, 0, 0);
    EXPECT_EQ(0, result);
    // The close request is dispatched at once: it needs the program's answer.
    EXPECT_EQ(1u, RecordedEventsOfType(ZQ_EVENT_QUIT_REQUEST).size());
    EXPECT_FALSE(ZQI_IsQuitSignalled());
    EXPECT_TRUE(IsWindow(window_));
}

TEST_F(WindowProcTest, CloseAnsweredOtherwiseSetsTheQuitFlagButKeepsTheWindow) {
    TheRecordingProgram().answer = 1;
    LRESULT result = SendMessageA(window_, WM_CLOSE, 0, 0);
    EXPECT_EQ(1, result);
    EXPECT_EQ(1u, RecordedEventsOfType(ZQ_EVENT_QUIT_REQUEST).size());
    EXPECT_TRUE(ZQI_IsQuitSignalled());
    EXPECT_TRUE(IsWindow(window_));
}

TEST_F(WindowProcTest, CloseWhileRecreatingSetsTheQuitFlagAndAnswersZero) {
    ZQI_SetGameWindowRecreating(true);
    EXPECT_EQ(0, SendMessageA(window_, WM_CLOSE, 0, 0));
    EXPECT_TRUE(ZQI_IsQuitSignalled());
}

TEST_F(WindowProcTest, LaunchRequestTaggedSixSixSixBecomesALaunchUriEvent) {
    SendLaunchRequest(666, "zorqa://open?level=3");
    Deliver();
    std::vector<RecordedEvent> launches = RecordedEventsOfType(ZQ_EVENT_LAUNCH_URI);
    ASSERT_EQ(1u, launches.size());
    EXPECT_EQ("launch-uri", launches[0].name);
    EXPECT_EQ("zorqa://open?level=3", launches[0].text);
}

TEST_F(WindowProcTest, LaunchRequestTextOutlivesTheSendersBuffer) {
    char uri[] = "zorqa://first";
    SendLaunchRequest(666, uri);
    memset(uri, 'x', sizeof(uri) - 1);
    Deliver();
    std::vector<RecordedEvent> launches = RecordedEventsOfType(ZQ_EVENT_LAUNCH_URI);
    ASSERT_EQ(1u, launches.size());
    EXPECT_EQ("zorqa://first", launches[0].text);
}

// Two hand-overs before a frame: each event keeps its own text. One text shared by the events
// would show the second URI in both (a shorter text reuses the storage of a longer one), or
// leave the first pointing at freed memory.
TEST_F(WindowProcTest, TwoLaunchRequestsBeforeAFrameKeepTheirOwnTexts) {
    const char* uris[] = {"zorqa://first-and-longer-than-the-second?level=12", "zorqa://second",
                          "zorqa://third-and-longest-of-them-all-by-a-long-way?level=123456789"};
    for (const char* uri : uris) {
        SendLaunchRequest(666, uri);
    }
    Deliver();
    std::vector<RecordedEvent> launches = RecordedEventsOfType(ZQ_EVENT_LAUNCH_URI);
    ASSERT_EQ(3u, launches.size());
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(uris[i], launches[i].text) << i;
        EXPECT_EQ("launch-uri", launches[i].name) << i;
    }
}

TEST_F(WindowProcTest, CopyDataWithAnyOtherTagPostsNothing) {
    SendLaunchRequest(665, "zorqa://ignored");
    SendLaunchRequest(0, "zorqa://ignored");
    Deliver();
    EXPECT_TRUE(RecordedEventsOfType(ZQ_EVENT_LAUNCH_URI).empty());
}

TEST_F(WindowProcTest, ActivationChangesPostOneEventEach) {
    SendMessageA(window_, WM_ACTIVATE, WA_ACTIVE, 0);
    Deliver();
    TheRecordingProgram().events.clear();

    SendMessageA(window_, WM_ACTIVATE, WA_INACTIVE, 0);
    SendMessageA(window_, WM_ACTIVATE, WA_INACTIVE, 0);
    Deliver();
    std::vector<RecordedEvent> changes = RecordedEventsOfType(ZQ_EVENT_ACTIVE_CHANGED);
    ASSERT_EQ(1u, changes.size());
    EXPECT_EQ(1, changes[0].event.active.inactive);
    EXPECT_FALSE(ZQI_IsGameWindowActive());

    TheRecordingProgram().events.clear();
    SendMessageA(window_, WM_ACTIVATE, WA_CLICKACTIVE, 0);
    Deliver();
    changes = RecordedEventsOfType(ZQ_EVENT_ACTIVE_CHANGED);
    ASSERT_EQ(1u, changes.size());
    EXPECT_EQ(0, changes[0].event.active.inactive);
    EXPECT_TRUE(ZQI_IsGameWindowActive());
}

TEST_F(WindowProcTest, ActivationWhileMinimisedCountsAsInactive) {
    SendMessageA(window_, WM_ACTIVATE, WA_ACTIVE, 0);
    Deliver();
    TheRecordingProgram().events.clear();
    SendMessageA(window_, WM_ACTIVATE, MAKEWPARAM(WA_ACTIVE, 1), 0);
    Deliver();
    std::vector<RecordedEvent> changes = RecordedEventsOfType(ZQ_EVENT_ACTIVE_CHANGED);
    ASSERT_EQ(1u, changes.size());
    EXPECT_EQ(1, changes[0].event.active.inactive);
    EXPECT_FALSE(ZQI_IsGameWindowActive());
}

TEST_F(WindowProcTest, DroppedFileArrivesWithSlashesAndParentFoldersFolded) {
    SendMessageA(window_, WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop("C:\\games\\x\\..\\y.txt", 5, 7)),
                 0);
    // Dispatched at once: the path lives in a buffer the next drop overwrites.
    std::vector<RecordedEvent> drops = RecordedEventsOfType(ZQ_EVENT_FILE_DROPPED);
    ASSERT_EQ(1u, drops.size());
    EXPECT_EQ("C:/games/y.txt", drops[0].text);
    EXPECT_EQ(5, drops[0].event.file_dropped.x);
    EXPECT_EQ(7, drops[0].event.file_dropped.y);
}

TEST_F(WindowProcTest, SeveralParentFoldersAreFoldedInTurn) {
    SendMessageA(window_, WM_DROPFILES,
                 reinterpret_cast<WPARAM>(MakeDrop("D:\\a\\b\\c\\..\\..\\d\\..\\e.png", 0, 0)), 0);
    std::vector<RecordedEvent> drops = RecordedEventsOfType(ZQ_EVENT_FILE_DROPPED);
    ASSERT_EQ(1u, drops.size());
    EXPECT_EQ("D:/a/e.png", drops[0].text);
}

TEST_F(WindowProcTest, OnlyWholeParentComponentsAreFoldedAndNeverAboveTheRoot) {
    const struct {
        const char* dropped;
        const char* expected;
    } cases[] = {
        {"C:\\x\\..hidden\\f.txt", "C:/x/..hidden/f.txt"},
        {"C:\\x\\...\\f.txt", "C:/x/.../f.txt"},
        {"C:\\x..\\f.txt", "C:/x../f.txt"},
        {"C:\\..", "C:/"},
        {"C:\\..\\f.txt", "C:/f.txt"},
        {"C:\\a\\..", "C:/"},
        {"C:\\a\\b\\..", "C:/a"},
        {"C:\\a\\..\\..\\f.txt", "C:/f.txt"},
        {"\\\\server\\share\\..\\f.txt", "//server/share/f.txt"},
        {"\\\\server\\share\\a\\..\\f.txt", "//server/share/f.txt"},
    };
    for (const auto& test : cases) {
        TheRecordingProgram().events.clear();
        SendMessageA(window_, WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop(test.dropped, 0, 0)), 0);
        std::vector<RecordedEvent> drops = RecordedEventsOfType(ZQ_EVENT_FILE_DROPPED);
        ASSERT_EQ(1u, drops.size()) << test.dropped;
        EXPECT_EQ(test.expected, drops[0].text) << test.dropped;
    }
}

TEST_F(WindowProcTest, DestroyPostsQuitMessageUnlessRecreating) {
    MSG message;
    PumpWindowMessages();
    ZQI_SetGameWindowRecreating(true);
    EXPECT_EQ(1, SendMessageA(window_, WM_DESTROY, 0, 0));
    EXPECT_FALSE(PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    ZQI_SetGameWindowRecreating(false);
    EXPECT_EQ(0, SendMessageA(window_, WM_DESTROY, 0, 0));
    EXPECT_TRUE(PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
}

TEST_F(WindowProcTest, UnhandledMessagesAnswerMinusOneWhileRecreating) {
    const UINT unhandled = WM_APP + 3;
    EXPECT_EQ(0, SendMessageA(window_, unhandled, 0, 0));
    ZQI_SetGameWindowRecreating(true);
    EXPECT_EQ(-1, SendMessageA(window_, unhandled, 0, 0));
}

TEST_F(WindowProcTest, PaintAndBackgroundAreHandledHere) {
    EXPECT_EQ(1, SendMessageA(window_, WM_ERASEBKGND, 0, 0));
    InvalidateRect(window_, nullptr, FALSE);
    SendMessageA(window_, WM_PAINT, 0, 0);
    RECT update;
    EXPECT_FALSE(GetUpdateRect(window_, &update, FALSE));
}

TEST_F(WindowProcTest, MaximisingAsksForAFullscreenReinitialisation) {
    g_core.reinitForce = 0;
    EXPECT_EQ(0, SendMessageA(window_, WM_SIZE, SIZE_MAXIMIZED, MAKELPARAM(800, 600)));
    EXPECT_EQ(1, g_core.reinitForce);
    g_core.reinitForce = 0;
}

TEST_F(WindowProcTest, MaximisingWhileRecreatingChangesNothing) {
    g_core.reinitForce = 0;
    ZQI_SetGameWindowRecreating(true);
    EXPECT_EQ(0, SendMessageA(window_, WM_SIZE, SIZE_MAXIMIZED, MAKELPARAM(800, 600)));
    EXPECT_EQ(0, g_core.reinitForce);
}

TEST_F(WindowProcTest, FrameRecalculationWithoutAProposalForcesAReinitialisation) {
    g_core.reinitForce = 0;
    RECT rectangle;
    GetWindowRect(window_, &rectangle);
    SendMessageA(window_, WM_NCCALCSIZE, FALSE, reinterpret_cast<LPARAM>(&rectangle));
    EXPECT_EQ(1, g_core.reinitForce);
    g_core.reinitForce = 0;
}

TEST_F(WindowProcTest, FrameRecalculationOfTheSameSizeChangesNothing) {
    g_core.reinitForce = 0;
    NCCALCSIZE_PARAMS sizes;
    memset(&sizes, 0, sizeof(sizes));
    GetWindowRect(window_, &sizes.rgrc[0]);
    OffsetRect(&sizes.rgrc[0], 5, 5);  // moved, not resized
    sizes.rgrc[1] = sizes.rgrc[0];
    sizes.rgrc[2] = sizes.rgrc[0];
    SendMessageA(window_, WM_NCCALCSIZE, TRUE, reinterpret_cast<LPARAM>(&sizes));
    EXPECT_EQ(0, g_core.reinitForce);
}

namespace {

// Stands in for the engine's autoscaling: halves x, adds 100 to y.
void HalveXAndShiftY(int32_t* x, int32_t* y) {
    *x /= 2;
    *y += 100;
}

}  // namespace

TEST_F(WindowProcTest, InstalledPointerMappingAppliesToMoves) {
    ZQI_SetPointerMapping(HalveXAndShiftY);
    PostMove(31, 61);
    Deliver();
    ZQI_SetPointerMapping(nullptr);
    PostMove(31, 61);
    Deliver();
    std::vector<RecordedEvent> moves = MovesAt({{15, 161}, {31, 61}});
    ASSERT_EQ(2u, moves.size());
    EXPECT_EQ(15, moves[0].event.pointer.x);
    EXPECT_EQ(161, moves[0].event.pointer.y);
    EXPECT_EQ(31, moves[1].event.pointer.x);
    EXPECT_EQ(61, moves[1].event.pointer.y);
}

namespace {

// The root slot ReinitializeWithParameters, recording each request instead of acting on it.
std::vector<zq_parameters_t> g_reinitRequests;

bool RecordReinitRequest(zq_parameters_t* parameters) {
    g_reinitRequests.push_back(*parameters);
    return true;
}

class WindowProcReinitTest : public WindowProcTest {
protected:
    void SetUp() override {
        WindowProcTest::SetUp();
        saved_ = ZQI_GetApi()->ReinitializeWithParameters;
        ZQI_GetApi()->ReinitializeWithParameters = RecordReinitRequest;
        g_reinitRequests.clear();
        g_core.reinitForce = 0;
    }
    void TearDown() override {
        ZQI_GetApi()->ReinitializeWithParameters = saved_;
        g_core.reinitForce = 0;
        WindowProcTest::TearDown();
    }
    bool (*saved_)(zq_parameters_t*) = nullptr;
};

}  // namespace

TEST_F(WindowProcReinitTest, MaximisingRequestsTheProgramsParametersFullscreen) {
    zq_parameters_t& program = TheRecordingProgram().record.parameters;
    program.width = 1024;
    program.height = 640;
    program.windowed = 1;
    EXPECT_EQ(0, SendMessageA(window_, WM_SIZE, SIZE_MAXIMIZED, MAKELPARAM(800, 600)));
    ASSERT_EQ(1u, g_reinitRequests.size());
    EXPECT_EQ(1024, g_reinitRequests[0].width);
    EXPECT_EQ(640, g_reinitRequests[0].height);
    EXPECT_EQ(0, g_reinitRequests[0].windowed);
    EXPECT_EQ(1, program.windowed);  // a copy was changed, not the program's own parameters
    EXPECT_EQ(1, g_core.reinitForce);
}

TEST_F(WindowProcReinitTest, TheMaximiseBoxSwitchesToFullscreenInsteadOfMaximising) {
    TheRecordingProgram().record.parameters.windowed = 1;
    ShowWindow(window_, SW_MAXIMIZE);
    EXPECT_FALSE(IsZoomed(window_));
    bool fullscreenRequested = false;
    for (const zq_parameters_t& request : g_reinitRequests) {
        fullscreenRequested = fullscreenRequested || request.windowed == 0;
    }
    EXPECT_TRUE(fullscreenRequested);
}

TEST_F(WindowProcReinitTest, OtherSizeKindsAskForNothing) {
    SendMessageA(window_, WM_SIZE, SIZE_RESTORED, MAKELPARAM(320, 240));
    SendMessageA(window_, WM_SIZE, SIZE_MINIMIZED, 0);
    EXPECT_TRUE(g_reinitRequests.empty());
    EXPECT_EQ(0, g_core.reinitForce);
}

TEST_F(WindowProcReinitTest, AFrameChangeRequestsTheRequestedParametersAgain) {
    g_core.pendingParameters.width = 720;
    g_core.pendingParameters.height = 400;
    g_core.pendingParameters.windowed = 1;
    NCCALCSIZE_PARAMS sizes;
    memset(&sizes, 0, sizeof(sizes));
    GetWindowRect(window_, &sizes.rgrc[0]);
    sizes.rgrc[0].right += 10;  // wider than the window is
    SendMessageA(window_, WM_NCCALCSIZE, TRUE, reinterpret_cast<LPARAM>(&sizes));
    ASSERT_EQ(1u, g_reinitRequests.size());
    EXPECT_EQ(720, g_reinitRequests[0].width);
    EXPECT_EQ(400, g_reinitRequests[0].height);
    EXPECT_EQ(1, g_reinitRequests[0].windowed);
    EXPECT_EQ(1, g_core.reinitForce);
    memset(&g_core.pendingParameters, 0, sizeof(g_core.pendingParameters));
}

TEST_F(WindowProcTest, ActivationWhileQuittingPostsNothingButIsNoted) {
    SendMessageA(window_, WM_ACTIVATE, WA_ACTIVE, 0);
    Deliver();
    TheRecordingProgram().events.clear();
    ZQI_SysAtomicExchange(&g_core.quitFlag, 1);
    SendMessageA(window_, WM_ACTIVATE, WA_INACTIVE, 0);
    Deliver();
    EXPECT_TRUE(RecordedEventsOfType(ZQ_EVENT_ACTIVE_CHANGED).empty());
    EXPECT_FALSE(ZQI_IsGameWindowActive());
}

TEST_F(WindowProcTest, TheKeyboardMenuCommandIsSwallowed) {
    EXPECT_EQ(0, SendMessageA(window_, WM_SYSCOMMAND, SC_KEYMENU, 0));
}

TEST_F(WindowProcTest, ADropWithoutFilesPostsNothing) {
    EXPECT_EQ(0, SendMessageA(window_, WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop("", 1, 1)), 0));
    Deliver();
    EXPECT_TRUE(RecordedEventsOfType(ZQ_EVENT_FILE_DROPPED).empty());
}
