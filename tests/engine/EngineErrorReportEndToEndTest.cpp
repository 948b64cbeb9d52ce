// zorqa.exe from end to end with a platform failure reported through the foundation's shared
// error report: without either XInput library the gamepad back end's error reaches the log file,
// counted among the errors, and in developer mode the user sees it in a message box.
#include <gtest/gtest.h>

#include <cstdio>

#include "EngineRunSupport.h"

namespace {

const char kXInputError[] = "XInput error: failed to load library (0x00050000, platform error 0).";

// The copy of the engine under a name of its own, whose XInput libraries Wine refuses to load.
const char kExecutable[] = "zorqa-without-xinput.exe";

// The error count of the closing summary; -1 when the log has none.
int LoggedErrorCount(const std::vector<std::string>& log) {
    int closing = FindMessage(log, "ZORQA log: ");
    int errors = -1;
    if (closing < 0 || sscanf(log[closing].c_str(), "ZORQA log: %d errors", &errors) != 1) {
        return -1;
    }
    return errors;
}

// Whole log lines at the error level that carry the text.
int ErrorLinesWith(const std::string& logText, const std::string& text) {
    int count = 0;
    size_t at = 0;
    while ((at = logText.find("[ERROR] " + text, at)) != std::string::npos) {
        ++count;
        ++at;
    }
    return count;
}

}  // namespace

TEST(EngineErrorReportEndToEnd, AFoundationErrorReachesTheLogAndItsCountOutsideDeveloperMode) {
    EngineRunFolder folder("error-report-release");
    ASSERT_TRUE(folder.Ready());
    ASSERT_TRUE(folder.RenameExecutable(kExecutable));
    folder.WriteStandardManifest("zq-e2e-error-report", "ZQ Error Report");
    DeleteFileA((folder.Path() + "developer.xml").c_str());  // release mode
    WineDllOverrides noXInput(kExecutable, {{"xinput1_4", ""}, {"xinput1_3", ""}});

    EngineRunResult result =
        folder.Run("--features NO_POPUPS,LOGS_IN_WORKING_DIR,FIXED_LOGNAME --test-quit-after 2");
    ASSERT_TRUE(result.finished) << DescribeRun(result);
    EXPECT_EQ(0u, result.exitCode) << DescribeRun(result);
    std::string logText = folder.ReadFile("zq-e2e-error-report.log");
    EXPECT_EQ(1, ErrorLinesWith(logText, kXInputError)) << logText;
    EXPECT_GE(LoggedErrorCount(LogMessages(logText)), 1) << logText;
}

TEST(EngineErrorReportEndToEnd, AFoundationErrorIsShownToTheDeveloper) {
    EngineRunFolder folder("error-report-developer");
    ASSERT_TRUE(folder.Ready());
    ASSERT_TRUE(folder.RenameExecutable(kExecutable));
    folder.WriteStandardManifest("zq-e2e-error-report", "ZQ Error Report");
    // Popups on: the message box is where a developer sees it.
    folder.WriteFile("developer.xml",
                     "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\n<root>\n<array id=\"PARAMETERS\">\n"
                     "<node id=\"DEVELOPER\" developer_mode=\"1\" logging_verbose_level=\"INFO\" "
                     "features=\"LOGS_IN_WORKING_DIR,FIXED_LOGNAME\"/>\n</array>\n</root>\n");
    WineDllOverrides noXInput(kExecutable, {{"xinput1_4", ""}, {"xinput1_3", ""}});

    EngineRunResult result = folder.Run("--test-quit-after 2");
    ASSERT_TRUE(result.finished) << DescribeRun(result);
    EXPECT_EQ(0u, result.exitCode) << DescribeRun(result);
    int shown = 0;
    for (const std::string& text : result.messageBoxTexts) {
        shown += text == kXInputError ? 1 : 0;
    }
    EXPECT_EQ(1, shown) << DescribeRun(result);
}
