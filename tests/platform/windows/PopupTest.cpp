// Popups through real message boxes: a hook on the test thread watches each box as it opens,
// notes its title and buttons and presses the button the test chose.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "PlatformTestSupport.h"
#include "core/ApiTable.h"
#include "core/CoreState.h"
#include "core/Features.h"
#include "platform/windows/GameWindow.h"
#include "platform/windows/MessagePump.h"
#include "platform/windows/Popups.h"

namespace {

// What the hook saw of the last box, and the button it presses.
struct BoxWatch {
    int boxes = 0;
    std::string title;
    std::string text;
    bool hasOk = false;
    bool hasCancel = false;
    bool hasYes = false;
    bool hasNo = false;
    HWND owner = nullptr;
    int press = IDOK;
};

BoxWatch g_watch;
HHOOK g_hook = nullptr;

bool IsMessageBox(HWND window) {
    char className[16];
    return GetClassNameA(window, className, sizeof(className)) > 0 && std::string(className) == "#32770";
}

std::string WindowText(HWND window) {
    char text[256];
    int length = window != nullptr ? GetWindowTextA(window, text, sizeof(text)) : 0;
    return std::string(text, length > 0 ? length : 0);
}

// Message boxes keep their text in a static control with id 0xFFFF.
const int kMessageBoxTextId = 0xFFFF;

LRESULT CALLBACK WatchBoxes(int code, WPARAM wParam, LPARAM lParam) {
    const CWPRETSTRUCT* call = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
    if (code == HC_ACTION && call->message == WM_INITDIALOG && IsMessageBox(call->hwnd)) {
        HWND box = call->hwnd;
        ++g_watch.boxes;
        g_watch.title = WindowText(box);
        g_watch.text = WindowText(GetDlgItem(box, kMessageBoxTextId));
        g_watch.hasOk = GetDlgItem(box, IDOK) != nullptr;
        g_watch.hasCancel = GetDlgItem(box, IDCANCEL) != nullptr;
        g_watch.hasYes = GetDlgItem(box, IDYES) != nullptr;
        g_watch.hasNo = GetDlgItem(box, IDNO) != nullptr;
        g_watch.owner = GetWindow(box, GW_OWNER);
        PostMessageA(box, WM_COMMAND, MAKEWPARAM(g_watch.press, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(box, g_watch.press)));
    }
    return CallNextHookEx(g_hook, code, wParam, lParam);
}

class PopupTest : public ::testing::Test {
protected:
    void SetUp() override {
        UseRecordingProgram("Popup Test");
        g_core.coreRunning = 0;
        g_watch = BoxWatch();
        g_hook = SetWindowsHookExA(WH_CALLWNDPROCRET, WatchBoxes, nullptr, GetCurrentThreadId());
        ASSERT_NE(nullptr, g_hook);
    }
    void TearDown() override {
        DestroyGameWindow();
        PumpWindowMessages();
        UnhookWindowsHookEx(g_hook);
        g_hook = nullptr;
        ZQI_SetFeatureText(FEATURE_TEXT_COMMAND_LINE, nullptr);
        g_core.developerMode = 0;
        ForgetRecordingProgram();
    }
};

}  // namespace

TEST_F(PopupTest, ErrorOffersOkAndCancelUnderTheProgramTitle) {
    g_watch.press = IDOK;
    EXPECT_EQ(POPUP_ANSWER_OK, PopupMessage(POPUP_LEVEL_ERROR, "Something broke."));
    ASSERT_EQ(1, g_watch.boxes);
    EXPECT_EQ("Popup Test - Error", g_watch.title);
    EXPECT_EQ("Something broke.", g_watch.text);
    EXPECT_TRUE(g_watch.hasOk);
    EXPECT_TRUE(g_watch.hasCancel);
    EXPECT_FALSE(g_watch.hasYes);
}

TEST_F(PopupTest, WarningTitleEndsInWarning) {
    PopupMessage(POPUP_LEVEL_WARNING, "Careful.");
    ASSERT_EQ(1, g_watch.boxes);
    EXPECT_EQ("Popup Test - Warning", g_watch.title);
}

TEST_F(PopupTest, PlainPopupOffersOnlyOkUnderThePlainTitle) {
    EXPECT_EQ(POPUP_ANSWER_OK, PopupMessage(POPUP_LEVEL_PLAIN, "Hello."));
    ASSERT_EQ(1, g_watch.boxes);
    EXPECT_EQ("Popup Test", g_watch.title);
    EXPECT_TRUE(g_watch.hasOk);
    EXPECT_FALSE(g_watch.hasCancel);
}

TEST_F(PopupTest, WithoutAProgramTheTitleIsTheEnginesName) {
    g_core.program = nullptr;
    PopupMessage(POPUP_LEVEL_ERROR, "Before the program.");
    ASSERT_EQ(1, g_watch.boxes);
    EXPECT_EQ("ZORQA", g_watch.title);
}

TEST_F(PopupTest, ErrorWithChoicesMapsYesAndNo) {
    g_watch.press = IDYES;
    EXPECT_EQ(POPUP_ANSWER_YES, PopupMessage(POPUP_LEVEL_ERROR_WITH_CHOICES, "Retry?"));
    EXPECT_TRUE(g_watch.hasYes);
    EXPECT_TRUE(g_watch.hasNo);
    EXPECT_TRUE(g_watch.hasCancel);
    g_watch.press = IDNO;
    EXPECT_EQ(POPUP_ANSWER_NO, PopupMessage(POPUP_LEVEL_ERROR_WITH_CHOICES, "Retry?"));
    EXPECT_EQ(2, g_watch.boxes);
}

TEST_F(PopupTest, CancelTryContinueModeMapsItsButtons) {
    g_core.developerMode = 1;
    g_core.consoleEnabled = 1;
    g_core.logVerboseLevel = 0;
    g_watch.press = IDTRYAGAIN;
    EXPECT_EQ(POPUP_ANSWER_TRY_AGAIN,
              ShowPopupMessageBox(POPUP_LEVEL_WARNING, POPUP_MODE_CANCEL_TRY_CONTINUE, "Again?"));
    g_watch.press = IDCONTINUE;
    EXPECT_EQ(POPUP_ANSWER_CONTINUE,
              ShowPopupMessageBox(POPUP_LEVEL_WARNING, POPUP_MODE_CANCEL_TRY_CONTINUE, "Again?"));
    EXPECT_EQ(2, g_watch.boxes);
}

TEST_F(PopupTest, ExplicitModeIsShownOnlyToDevelopers) {
    g_core.developerMode = 0;
    g_core.consoleEnabled = 1;
    g_core.logVerboseLevel = 0;
    EXPECT_EQ(POPUP_ANSWER_NONE, ShowPopupMessageBox(POPUP_LEVEL_ERROR, POPUP_MODE_OK, "Hidden."));
    g_core.developerMode = 1;
    g_core.logVerboseLevel = 3;
    EXPECT_EQ(POPUP_ANSWER_NONE, ShowPopupMessageBox(POPUP_LEVEL_ERROR, POPUP_MODE_OK, "Below threshold."));
    EXPECT_EQ(0, g_watch.boxes);
}

TEST_F(PopupTest, UnknownModeShowsNothing) {
    g_core.developerMode = 1;
    g_core.consoleEnabled = 1;
    g_core.logVerboseLevel = 0;
    EXPECT_EQ(POPUP_ANSWER_NONE, ShowPopupMessageBox(POPUP_LEVEL_ERROR, 9, "No buttons."));
    EXPECT_EQ(0, g_watch.boxes);
}

TEST_F(PopupTest, NoPopupsAnswersFourAndShowsNothing) {
    ZQI_SetFeatureText(FEATURE_TEXT_COMMAND_LINE, "NO_POPUPS");
    EXPECT_EQ(POPUP_ANSWER_NOT_SHOWN, PopupMessage(POPUP_LEVEL_ERROR, "Silenced."));
    EXPECT_EQ(0, g_watch.boxes);
}

TEST_F(PopupTest, OtherThreadsOnlyLog) {
    int32_t answer = -1;
    std::thread other([&answer] { answer = PopupMessage(POPUP_LEVEL_ERROR, "From a worker."); });
    other.join();
    EXPECT_EQ(POPUP_ANSWER_NOT_SHOWN, answer);
    EXPECT_EQ(0, g_watch.boxes);
}

TEST_F(PopupTest, CancelEndsTheProcessWithMinusOne) {
    EXPECT_EXIT(
        {
            g_watch.press = IDCANCEL;
            PopupMessage(POPUP_LEVEL_ERROR, "Cancel me.");
        },
        ::testing::ExitedWithCode(-1), "");
}

// An exit handler that changes the exit code: it shows whether the process ran its exit handlers
// and static destructors, which other threads of the engine may still be using.
void ChangeExitCodeAtExit() {
    std::_Exit(7);
}

TEST_F(PopupTest, CancelEndsTheProcessWithoutRunningExitHandlers) {
    EXPECT_EXIT(
        {
            atexit(ChangeExitCodeAtExit);
            g_watch.press = IDCANCEL;
            PopupMessage(POPUP_LEVEL_ERROR, "Cancel me.");
        },
        ::testing::ExitedWithCode(-1), "");
}

std::string FileText(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

template <typename Function>
Function Export(const char* library, const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(LoadLibraryA(library), name)));
}

// Terminating drops what the C streams still buffer: Cancel must flush those of the engine's own
// runtime and of other shared runtimes (a program library built with another compiler uses one).
TEST_F(PopupTest, CancelKeepsWhatTheCStreamsStillHeld) {
    const std::string own = TestExecutableFolder() + "zq-cancel-own-runtime.txt";
    const std::string universal = TestExecutableFolder() + "zq-cancel-universal-runtime.txt";
    DeleteFileA(own.c_str());
    DeleteFileA(universal.c_str());
    EXPECT_EXIT(
        {
            fputs("own runtime", fopen(own.c_str(), "wb"));
            FILE* other = Export<decltype(&fopen)>("ucrtbase.dll", "fopen")(universal.c_str(), "wb");
            Export<decltype(&fputs)>("ucrtbase.dll", "fputs")("universal runtime", other);
            g_watch.press = IDCANCEL;
            PopupMessage(POPUP_LEVEL_ERROR, "Cancel me.");
        },
        ::testing::ExitedWithCode(-1), "");
    EXPECT_EQ("own runtime", FileText(own));
    EXPECT_EQ("universal runtime", FileText(universal));
}

// The shared runtimes before the universal one (a program library may use one); their stream
// tables share one layout.
const char* const kOlderRuntimes[] = {"msvcr120.dll", "msvcr110.dll", "msvcr100.dll", "msvcr90.dll",
                                      "msvcr80.dll"};

std::string HeldFile(const char* runtime) {
    return TestExecutableFolder() + "zq-cancel-held-" + runtime + ".txt";
}

// A stream whose lock another thread holds (here one that ended holding it) cannot be flushed;
// Cancel still ends the process, and the stream costs only itself: the streams after it in its
// runtime (each older runtime that loads, too) and those of other runtimes keep what they held.
TEST_F(PopupTest, CancelEndsTheProcessWhileAnotherThreadHoldsAStream) {
    std::vector<const char*> written = {"own-runtime", "universal-runtime"};  // then the older that load
    for (const char* runtime : kOlderRuntimes) {
        if (LoadLibraryA(runtime) != nullptr) {
            written.push_back(runtime);
        }
    }
    for (const char* runtime : written) {
        DeleteFileA(HeldFile(runtime).c_str());
    }
    EXPECT_EXIT(
        {
            fputs("own-runtime", fopen(HeldFile("own-runtime").c_str(), "wb"));
            FILE* other = Export<decltype(&fopen)>("ucrtbase.dll", "fopen")(
                HeldFile("universal-runtime").c_str(), "wb");
            Export<decltype(&fputs)>("ucrtbase.dll", "fputs")("universal-runtime", other);
            // The runtime's own lock: the header may put a lock of its own there.
            std::thread(Export<decltype(&_lock_file)>("msvcrt.dll", "_lock_file"), stdout).join();
            for (size_t i = 2; i < written.size(); ++i) {  // its stdout held, then a file written through it
                const char* runtime = written[i];
                FILE* table = static_cast<FILE*>(Export<void* (*)()>(runtime, "__iob_func")());
                std::thread(Export<decltype(&_lock_file)>(runtime, "_lock_file"), table + 1).join();
                FILE* file = Export<decltype(&fopen)>(runtime, "fopen")(HeldFile(runtime).c_str(), "wb");
                Export<decltype(&fputs)>(runtime, "fputs")(runtime, file);
            }
            g_watch.press = IDCANCEL;
            PopupMessage(POPUP_LEVEL_ERROR, "Cancel me.");
        },
        ::testing::ExitedWithCode(-1), "");
    for (const char* runtime : written) {
        EXPECT_EQ(runtime, FileText(HeldFile(runtime)));
    }
}

TEST_F(PopupTest, InstalledBoxServesTheCoresPopups) {
    ZQI_InstallPopupMessageBox();
    ASSERT_NE(nullptr, g_core.popupMessage);
    EXPECT_EQ(POPUP_ANSWER_OK, g_core.popupMessage(POPUP_LEVEL_PLAIN, "Through the core."));
    EXPECT_EQ(1, g_watch.boxes);
    g_core.popupMessage = nullptr;
}

TEST_F(PopupTest, WindowedProgramsOwnTheirBoxesAndFullscreenOnesLeaveThemToTheDesktop) {
    g_core.appliedParameters.width = 200;
    g_core.appliedParameters.height = 150;
    g_core.appliedParameters.windowed = 1;
    ASSERT_TRUE(CreateGameWindow());
    HWND gameWindow = ZQI_GetGameWindow();

    PopupMessage(POPUP_LEVEL_PLAIN, "Windowed.");
    ASSERT_EQ(1, g_watch.boxes);
    EXPECT_EQ(gameWindow, g_watch.owner);

    TheRecordingProgram().record.parameters.windowed = 0;
    PopupMessage(POPUP_LEVEL_PLAIN, "Fullscreen.");
    ASSERT_EQ(2, g_watch.boxes);
    EXPECT_NE(gameWindow, g_watch.owner);
}

TEST_F(PopupTest, NonBlockingPopupsBeforeTheCoreRunsAreModalAndOwnedByTheDesktop) {
    g_core.appliedParameters.width = 200;
    g_core.appliedParameters.height = 150;
    g_core.appliedParameters.windowed = 1;
    ASSERT_TRUE(CreateGameWindow());
    ZQI_SetFeatureText(FEATURE_TEXT_COMMAND_LINE, "NON_BLOCKING_POPUPS");
    EXPECT_EQ(POPUP_ANSWER_OK, PopupMessage(POPUP_LEVEL_PLAIN, "Modal still."));
    ASSERT_EQ(1, g_watch.boxes);
    EXPECT_NE(ZQI_GetGameWindow(), g_watch.owner);
}

TEST_F(PopupTest, AnErrorOfAFullscreenProgramBelongsToTheDesktopAndOffersOkAndCancel) {
    g_core.appliedParameters.width = 200;
    g_core.appliedParameters.height = 150;
    g_core.appliedParameters.windowed = 1;
    ASSERT_TRUE(CreateGameWindow());
    TheRecordingProgram().record.parameters.windowed = 0;
    g_watch.press = IDOK;
    EXPECT_EQ(POPUP_ANSWER_OK, PopupMessage(POPUP_LEVEL_ERROR, "Fullscreen error."));
    ASSERT_EQ(1, g_watch.boxes);
    EXPECT_NE(ZQI_GetGameWindow(), g_watch.owner);
    EXPECT_TRUE(g_watch.hasOk);
    EXPECT_TRUE(g_watch.hasCancel);
    EXPECT_EQ("Popup Test - Error", g_watch.title);
    EXPECT_EQ("Fullscreen error.", g_watch.text);
}

namespace {

// The root threading table's CreateThread, noting the thread instead of starting it; the test
// then runs the thread's body itself, on the thread whose message boxes it watches.
std::string g_threadName;
void (*g_threadFunction)(void*) = nullptr;
void* g_threadArgument = nullptr;

uint32_t NoteThread(const char* name, void (*function)(void*), void* argument, uint32_t) {
    g_threadName = name != nullptr ? name : "";
    g_threadFunction = function;
    g_threadArgument = argument;
    return 7;
}

}  // namespace

TEST_F(PopupTest, NonBlockingPopupsOfTheRunningCoreAreShownByThePopupThread) {
    zq_threading_api_t* threading = ZQI_GetApi()->threading;
    ASSERT_NE(nullptr, threading);
    auto savedCreateThread = threading->CreateThread;
    threading->CreateThread = NoteThread;
    g_threadFunction = nullptr;
    g_core.coreRunning = 1;
    ZQI_SetFeatureText(FEATURE_TEXT_COMMAND_LINE, "NON_BLOCKING_POPUPS");
    char text[] = "From the popup thread.";
    int32_t answer = PopupMessage(POPUP_LEVEL_WARNING, text);
    threading->CreateThread = savedCreateThread;
    g_core.coreRunning = 0;

    EXPECT_EQ(POPUP_ANSWER_THREAD, answer);
    EXPECT_EQ(0, g_watch.boxes);  // nothing shown by the caller
    EXPECT_EQ("Popup", g_threadName);
    ASSERT_NE(nullptr, g_threadFunction);
    memset(text, 'x', sizeof(text) - 1);  // the thread has a copy of its own
    g_threadFunction(g_threadArgument);
    ASSERT_EQ(1, g_watch.boxes);
    EXPECT_EQ("From the popup thread.", g_watch.text);
    EXPECT_EQ("Popup Test - Warning", g_watch.title);
    EXPECT_TRUE(g_watch.hasCancel);  // the level's own buttons: OK and Cancel
}
