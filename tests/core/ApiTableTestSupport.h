// Shared set-up of the engine API tests: built tables, the core's message settings in a known
// state, the log running in memory (so tests read what was written from the console's ring) and
// a recording stand-in for the platform's message box.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "ThreadTestSupport.h"
#include "core/ApiTable.h"
#include "core/Console.h"
#include "core/CoreState.h"
#include "core/Log.h"

// Every popup the message box was asked to show, and what it answers.
struct RecordedPopup {
    int32_t level;
    std::string text;
};

inline std::vector<RecordedPopup>& RecordedPopups() {
    static std::vector<RecordedPopup> popups;
    return popups;
}

inline int32_t& PopupAnswer() {
    static int32_t answer = 0;
    return answer;
}

inline int32_t RecordPopup(int32_t level, const char* text) {
    RecordedPopups().push_back({level, text != nullptr ? text : ""});
    return PopupAnswer();
}

class CoreApiTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetUpCoreThreading();
        ZQI_BuildApiTables();
        ResetCoreMessageState();
        RecordedPopups().clear();
        PopupAnswer() = 0;
        g_core.popupMessage = RecordPopup;
        LogSettings settings;
        memset(&settings, 0, sizeof(settings));
        settings.loggingEnabled = true;
        settings.logToFile = false;
        settings.verboseThreshold = 0;
        settings.programId = "test";
        ZQI_StartLog(ZQI_GetConsole(), settings);
    }

    void TearDown() override {
        ZQI_StopLog(ZQI_GetConsole());
        ZQI_ReleasePopupLists();
        ResetCoreMessageState();
        g_core.popupMessage = nullptr;
    }

    static void ResetCoreMessageState() {
        g_core.developerMode = 0;
        g_core.consoleEnabled = 1;
        g_core.logging = 0;
        g_core.logVerboseLevel = 0;
        g_core.programInitCalled = 0;
        g_core.coreRunning = 0;
        g_core.program = nullptr;
        g_core.renderer = nullptr;
        g_core.reinitRequest = 0;
        g_core.quitFlag = 0;
        g_core.fallbackRecordInUse = 0;
        memset(g_core.inputStates, 0, sizeof(g_core.inputStates));
        memset(g_core.inputValues, 0, sizeof(g_core.inputValues));
    }

    // Texts of the lines written to the log since SetUp ("[WARNING] " style prefixes included).
    static std::vector<std::string> LoggedLines() {
        std::vector<std::string> lines;
        const Console* console = ZQI_GetConsole();
        for (int32_t i = 0; i < console->lines.count; ++i) {
            const ConsoleLine& line = console->lines.data[i];
            if (line.lineNumber != 0 && line.text != nullptr) {
                lines.push_back(line.text);
            }
        }
        return lines;
    }

    static int32_t CountLoggedLines(const std::string& text) {
        int32_t count = 0;
        for (const std::string& line : LoggedLines()) {
            if (line == text) {
                ++count;
            }
        }
        return count;
    }
};
