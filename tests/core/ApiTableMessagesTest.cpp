// The message slots of the engine API: when the developer print and the levelled log write, what
// they return, and the popup protocol (logged only, shown once, queued for the main loop).
#include <cstdlib>
#include <string>
#include <thread>

#include "ApiTableTestSupport.h"
#include "core/Sys.h"
#include "foundation/ErrorCode.h"
#include "foundation/FoundationHooks.h"

namespace {

using ApiTableMessagesTest = CoreApiTest;

// ---- Print and Log ----

TEST_F(ApiTableMessagesTest, PrintWritesOnlyInDeveloperModeAtThresholdZero) {
    EXPECT_EQ(0, ZQ_Print("hidden %d", 1));
    g_core.developerMode = 1;
    g_core.logVerboseLevel = 1;
    EXPECT_EQ(0, ZQ_Print("hidden %d", 2));
    g_core.logVerboseLevel = 0;
    EXPECT_EQ(7, ZQ_Print("shown %d", 3));
    EXPECT_EQ(1, CountLoggedLines("shown 3"));
    EXPECT_EQ(0, CountLoggedLines("hidden 1"));
    EXPECT_EQ(0, CountLoggedLines("hidden 2"));
}

TEST_F(ApiTableMessagesTest, PrintReturnsTheFullLengthOfACutText) {
    g_core.developerMode = 1;
    std::string longText(5000, 'x');
    EXPECT_EQ(5000, ZQ_Print("%s", longText.c_str()));
    std::vector<std::string> lines = LoggedLines();
    ASSERT_EQ(1u, lines.size());
    EXPECT_EQ(std::string(4095, 'x'), lines[0]);
}

TEST_F(ApiTableMessagesTest, NothingIsWrittenWhileLoggingIsOff) {
    g_core.developerMode = 1;
    g_core.consoleEnabled = 0;
    EXPECT_EQ(0, ZQ_Print("print"));
    EXPECT_EQ(0, ZQ_Log(LOG_LEVEL_ERROR, "log"));
    EXPECT_TRUE(LoggedLines().empty());
}

TEST_F(ApiTableMessagesTest, LogWritesAtItsLevelFromTheThresholdUp) {
    g_core.logVerboseLevel = 2;
    EXPECT_EQ(0, ZQ_Log(LOG_LEVEL_WARNING, "below"));
    EXPECT_EQ(5, ZQ_Log(LOG_LEVEL_ERROR, "error"));
    EXPECT_EQ(6, ZQ_Log(LOG_LEVEL_SYSTEM, "system"));
    EXPECT_EQ(0, CountLoggedLines("[WARNING] below"));
    EXPECT_EQ(1, CountLoggedLines("[ERROR] error"));
    EXPECT_EQ(1, CountLoggedLines("[SYSTEM] system"));
}

TEST_F(ApiTableMessagesTest, LogWithoutFormatReportsTheCaller) {
    EXPECT_EQ(-1, ZQI_GetApi()->Log(LOG_LEVEL_WARNING, nullptr));
    EXPECT_EQ(1, CountLoggedLines("[ERROR] ZQ_Log: format is null."));
}

TEST_F(ApiTableMessagesTest, CreateMutexPrintsOnlyWhenItMakesOne) {
    g_core.developerMode = 1;
    zq_threading_api_t* threading = ZQI_GetApi()->threading;
    NamedMutex* made = threading->CreateMutex("PrintedOnce");
    ASSERT_NE(nullptr, made);
    EXPECT_EQ(made, threading->CreateMutex("PrintedOnce"));  // shared by name: nothing made
    NamedMutex* unnamed = threading->CreateMutex(nullptr);
    ASSERT_NE(nullptr, unnamed);
    EXPECT_EQ(1, CountLoggedLines("Created Mutex 'PrintedOnce'.."));
    EXPECT_EQ(1, CountLoggedLines("Created Mutex ''.."));
    threading->DestroyMutex(made);
    threading->DestroyMutex(unnamed);
}

// ---- Popups ----

TEST_F(ApiTableMessagesTest, PopupBelowTheThresholdDoesNothing) {
    g_core.developerMode = 1;
    g_core.logVerboseLevel = 2;
    EXPECT_EQ(0, ZQ_Popup(LOG_LEVEL_WARNING, "quiet"));
    EXPECT_TRUE(LoggedLines().empty());
    EXPECT_TRUE(RecordedPopups().empty());
}

TEST_F(ApiTableMessagesTest, PopupOutsideDeveloperModeIsOnlyLogged) {
    EXPECT_EQ(4, ZQ_Popup(LOG_LEVEL_WARNING, "disk %s", "full"));
    EXPECT_EQ(1, CountLoggedLines("[WARNING] [POPUP] disk full"));
    EXPECT_TRUE(RecordedPopups().empty());
}

TEST_F(ApiTableMessagesTest, PopupBeforeInitIsShownAtOnceEveryTime) {
    g_core.developerMode = 1;
    PopupAnswer() = 7;
    EXPECT_EQ(0, ZQ_Popup(LOG_LEVEL_ERROR, "start-up problem"));
    EXPECT_EQ(0, ZQ_Popup(LOG_LEVEL_ERROR, "start-up problem"));
    ASSERT_EQ(2u, RecordedPopups().size());
    EXPECT_EQ(LOG_LEVEL_ERROR, RecordedPopups()[0].level);
    EXPECT_EQ("start-up problem", RecordedPopups()[0].text);
}

TEST_F(ApiTableMessagesTest, SameTextAfterInitIsShownOnce) {
    g_core.developerMode = 1;
    g_core.programInitCalled = 1;
    g_core.coreRunning = 1;
    PopupAnswer() = 6;
    EXPECT_EQ(6, ZQ_Popup(LOG_LEVEL_WARNING, "texture %d missing", 3));
    EXPECT_EQ(1, ZQ_Popup(LOG_LEVEL_WARNING, "texture %d missing", 3));
    EXPECT_EQ(6, ZQ_Popup(LOG_LEVEL_WARNING, "texture %d missing", 4));
    ASSERT_EQ(2u, RecordedPopups().size());
    EXPECT_EQ("texture 3 missing", RecordedPopups()[0].text);
    EXPECT_EQ("texture 4 missing", RecordedPopups()[1].text);
    EXPECT_EQ(2, CountLoggedLines("[WARNING] [POPUP] texture 3 missing"));
}

// What the log's own work raises (its file operations, the console's drawing) would run it again:
// it is dropped, on that thread alone.
TEST_F(ApiTableMessagesTest, MessagesRaisedWhileLoggingIsQuietAreDropped) {
    g_core.developerMode = 1;
    g_core.logVerboseLevel = LOG_LEVEL_INFO;
    ZQI_BeginQuietLogging();
    ZQ_Popup(LOG_LEVEL_ERROR, "raised while quiet");
    std::thread([] { ZQ_Log(LOG_LEVEL_ERROR, "another thread"); }).join();
    ZQI_EndQuietLogging();
    EXPECT_TRUE(RecordedPopups().empty());
    EXPECT_EQ(std::vector<std::string>({"[ERROR] another thread"}), LoggedLines());
}

TEST_F(ApiTableMessagesTest, RepeatedPopupBeforeTheCoreRunsIsNotLoggedAgain) {
    g_core.developerMode = 1;
    g_core.programInitCalled = 1;
    EXPECT_EQ(4, ZQ_Popup(LOG_LEVEL_WARNING, "early"));
    EXPECT_EQ(1, ZQ_Popup(LOG_LEVEL_WARNING, "early"));
    EXPECT_EQ(1, CountLoggedLines("[WARNING] [POPUP] early"));
    EXPECT_EQ(1, ZQI_GetQueuedPopupCount());
}

struct PopupFromThread {
    int32_t answer = -1;
};

void RaisePopup(void* argument) {
    static_cast<PopupFromThread*>(argument)->answer = ZQ_Popup(LOG_LEVEL_ERROR, "raised on a worker");
}

TEST_F(ApiTableMessagesTest, PopupFromAnotherThreadWaitsForTheMainLoop) {
    g_core.developerMode = 1;
    g_core.programInitCalled = 1;
    g_core.coreRunning = 1;
    PopupFromThread result;
    ZQI_SysThread* thread = ZQI_SysCreateThread(RaisePopup, &result);
    ASSERT_NE(nullptr, thread);
    ZQI_SysJoinThread(thread);

    EXPECT_EQ(4, result.answer);
    EXPECT_TRUE(RecordedPopups().empty());
    EXPECT_EQ(1, ZQI_GetQueuedPopupCount());

    ZQI_ShowQueuedPopups();
    ASSERT_EQ(1u, RecordedPopups().size());
    EXPECT_EQ(LOG_LEVEL_ERROR, RecordedPopups()[0].level);
    EXPECT_EQ("raised on a worker", RecordedPopups()[0].text);
    EXPECT_EQ(0, ZQI_GetQueuedPopupCount());
}

// A thread holding popups keeps those it would show at once and shows them in order when its last
// hold goes; another thread's popups, and repeats, go as always meanwhile.
TEST_F(ApiTableMessagesTest, HeldPopupsAreShownWhenTheLastHoldGoes) {
    g_core.developerMode = 1;
    PopupAnswer() = 6;
    ZQI_HoldPopups();
    EXPECT_EQ(0, ZQ_Popup(LOG_LEVEL_ERROR, "start-up %d", 1));
    ZQI_HoldPopups();
    g_core.programInitCalled = 1;
    g_core.coreRunning = 1;
    EXPECT_EQ(4, ZQ_Popup(LOG_LEVEL_WARNING, "running %d", 2));
    EXPECT_EQ(1, ZQ_Popup(LOG_LEVEL_WARNING, "running %d", 2));
    PopupFromThread other;
    ZQI_SysThread* thread = ZQI_SysCreateThread(RaisePopup, &other);
    ASSERT_NE(nullptr, thread);
    ZQI_SysJoinThread(thread);
    EXPECT_EQ(4, other.answer);
    EXPECT_EQ(1, ZQI_GetQueuedPopupCount());
    ZQI_ReleaseHeldPopups();
    EXPECT_TRUE(RecordedPopups().empty()) << "shown while a hold was left";
    ZQI_ReleaseHeldPopups();
    ASSERT_EQ(2u, RecordedPopups().size());
    EXPECT_TRUE(RecordedPopups()[0].level == LOG_LEVEL_ERROR && RecordedPopups()[0].text == "start-up 1");
    EXPECT_TRUE(RecordedPopups()[1].level == LOG_LEVEL_WARNING && RecordedPopups()[1].text == "running 2");
    ZQI_ReleaseHeldPopups();  // one too many: nothing held, shown at once
    EXPECT_EQ(6, ZQ_Popup(LOG_LEVEL_WARNING, "running %d", 3));
    EXPECT_EQ(3u, RecordedPopups().size());
}

TEST_F(ApiTableMessagesTest, PopupWithoutFormatReportsTheCallerAndShowsNothing) {
    g_core.developerMode = 1;
    EXPECT_EQ(0, ZQI_GetApi()->Popup(LOG_LEVEL_ERROR, nullptr));
    g_core.programInitCalled = 1;
    g_core.coreRunning = 1;
    EXPECT_EQ(0, ZQI_GetApi()->Popup(LOG_LEVEL_ERROR, nullptr));
    EXPECT_TRUE(RecordedPopups().empty());
    EXPECT_EQ(0, ZQI_GetQueuedPopupCount());
    EXPECT_EQ(2, CountLoggedLines("[ERROR] ZQ_Popup: format is null."));
}

// Raised at process exit, as a thread the engine never joins may still do.
void RaisePopupWhileExiting() {
    ZQ_Popup(LOG_LEVEL_ERROR, "raised while the process exits");
}

TEST_F(ApiTableMessagesTest, PopupsStillWorkWhileTheProcessExits) {
    // A fresh process, so the popup lists are first used inside the death statement, after the
    // exit handler is registered: anything that use made to be destroyed at exit is destroyed
    // before the handler runs.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            atexit(RaisePopupWhileExiting);
            g_core.developerMode = 1;
            g_core.programInitCalled = 1;
            ZQ_Popup(LOG_LEVEL_ERROR, "queued before the exit");  // the core does not run: queued
            exit(0);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST_F(ApiTableMessagesTest, PopupWithoutMessageBoxIsLoggedInstead) {
    g_core.developerMode = 1;
    g_core.popupMessage = nullptr;
    EXPECT_EQ(0, ZQ_Popup(LOG_LEVEL_ERROR, "nobody to show it"));
    EXPECT_EQ(1, CountLoggedLines("[ERROR] [POPUP] nobody to show it"));
}

// ---- The foundation's error reports ----

TEST_F(ApiTableMessagesTest, FoundationErrorsAreLoggedAndCountedOrShownToTheDeveloper) {
    const char* text = "XInput error: failed to load library (0x00050000, platform error 0).";
    ZQI_InstallErrorReportSink();
    ZQI_ReportPlatformError(ERRCODE_XINPUT_LOAD_LIBRARY, 0, "");
    EXPECT_EQ(1, CountLoggedLines(std::string("[ERROR] ") + text));
    EXPECT_EQ(1u, ZQI_GetConsole()->levelCounters[LOG_LEVEL_ERROR]);
    EXPECT_TRUE(RecordedPopups().empty());

    g_core.developerMode = 1;
    ZQI_ReportPlatformError(ERRCODE_XINPUT_LOAD_LIBRARY, 0, "");
    ZQI_SetErrorReportSink(nullptr);
    ASSERT_EQ(1u, RecordedPopups().size());
    EXPECT_EQ(LOG_LEVEL_ERROR, RecordedPopups()[0].level);
    EXPECT_EQ(text, RecordedPopups()[0].text);
}

}  // namespace
