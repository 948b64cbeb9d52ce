// The platform commands on a real game window. Modal boxes are driven from a thread of their
// own: it finds the box by its caption, reads and sets its controls, types into it with SendInput
// and closes it, while the test thread runs the box's message loop inside the command.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "PlatformTestSupport.h"
#include "core/ApiTable.h"
#include "core/CoreState.h"
#include "core/EventQueue.h"
#include "filesystem/SchemeRoots.h"
#include "platform/windows/GameWindow.h"
#include "platform/windows/MessagePump.h"
#include "platform/windows/PlatformCommands.h"

namespace {

const char kTitle[] = "Platform Command Test";
const int kValueEdit = 1001;
const int kValueList = 1002;
const int kFileNameCombo = 0x47C;  // Wine's file dialogs take the file name here
const int kMessageBoxText = 0xFFFF;

std::string Result(const char* command, const char* parameter) {
    const char* result = CallPlatformCommand(command, parameter);
    return result != nullptr ? result : "(null)";
}

class PlatformCommandTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(OpenTestWindow(kTitle)); }
    void TearDown() override {
        g_core.developerMode = 0;
        CloseTestWindow();
    }
};

}  // namespace

TEST_F(PlatformCommandTest, EditValueWithALineBreakOpensTheMultiLineDialog) {
    std::string shown;
    LONG_PTR style = 0;
    DialogDriver driver("EditValue", [&](HWND dialog) {
        shown = ControlText(dialog, kValueEdit);
        style = GetWindowLongPtrA(GetDlgItem(dialog, kValueEdit), GWL_STYLE);
        SetDlgItemTextA(dialog, kValueEdit, "one\r\ntwo\r\rthree");
        PressButton(dialog, IDOK);
    });
    EXPECT_EQ("one\ntwo\n\nthree", Result("EditValue", "first\nsecond"));
    EXPECT_EQ("first\r\nsecond", shown);
    EXPECT_NE(0, style & ES_WANTRETURN);
}

TEST_F(PlatformCommandTest, SelectValueAnswersTheChosenItem) {
    LRESULT rows = 0;
    DialogDriver driver("SelectValue", [&](HWND dialog) {
        HWND list = GetDlgItem(dialog, kValueList);
        rows = SendMessageA(list, LB_GETCOUNT, 0, 0);
        SendMessageA(list, LB_SETCURSEL, 2, 0);
        PressButton(dialog, IDOK);
    });
    EXPECT_EQ("high", Result("SelectValue", "low,medium,high"));
    EXPECT_EQ(3, rows);
}

TEST_F(PlatformCommandTest, AValueTooLongForTheDialogIsRefusedWithoutOpeningIt) {
    StartMemoryLog();
    std::string value(4095, 'v');
    value[10] = '\n';  // "\r\n" makes it one byte too long for the 4096-byte text
    DialogDriver guard("EditValue", [](HWND dialog) { PressButton(dialog, IDCANCEL); });
    EXPECT_EQ("(null)", Result("EditValue", value.c_str()));
    EXPECT_FALSE(guard.Found());
    EXPECT_EQ(1, CountLoggedLinesWith("EditValue: the value does not fit"));
    StopMemoryLog();
}

TEST_F(PlatformCommandTest, ShowPopupAnswersWithTheButtonAndCancelKeepsTheProcess) {
    g_core.developerMode = 1;
    g_core.logVerboseLevel = 0;
    const struct {
        const char* parameter;
        int press;
        const char* answer;
        const char* text;
    } cases[] = {{"OK_CANCEL;Save first?", IDCANCEL, "CANCEL", "Save first?"},
                 {"YES_NO_CANCEL;Quit?", IDNO, "NO", "Quit?"},
                 {"OK", IDOK, "OK", ""}};  // no ';': an empty text
    for (const auto& test : cases) {
        std::string text = "(none)";
        DialogDriver driver(kTitle, [&](HWND box) {
            text = ControlText(box, kMessageBoxText);
            PressButton(box, test.press);
        });
        EXPECT_EQ(test.answer, Result("ShowPopup", test.parameter)) << test.parameter;
        EXPECT_EQ(test.text, text) << test.parameter;
    }
    g_core.developerMode = 0;
    EXPECT_EQ("(null)", Result("ShowPopup", "OK;Saved."));  // shown to developers only
    EXPECT_EQ("(null)", Result("ShowPopup", "X;short mode name"));
}

TEST_F(PlatformCommandTest, FileDialogsAnswerEnginePaths) {
    std::string folder = TestExecutableFolder();
    std::string root = folder.substr(0, folder.size() - 1);
    for (char& c : root) {
        c = c == '\\' ? '/' : c;
    }
    ZQI_SetSchemeRoot(SCHEME_USER, root.c_str());
    HANDLE file =
        CreateFileA((folder + "pick-me.txt").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    CloseHandle(file);
    {
        DialogDriver driver("Open", [](HWND dialog) {
            SetDlgItemTextA(dialog, kFileNameCombo, "pick-me.txt");
            PressButton(dialog, IDOK);
        });
        EXPECT_EQ("user://pick-me.txt", Result("OpenFileDialog", "user://;*.txt"));
    }
    {
        DialogDriver driver("Save As", [](HWND dialog) { PressButton(dialog, IDCANCEL); });
        EXPECT_EQ("(null)", Result("SaveFileDialog", "user://new.sav;*.sav"));
        EXPECT_TRUE(driver.Found());
    }
    ZQI_SetSchemeRoot(SCHEME_USER, "");
}

TEST_F(PlatformCommandTest, ClipboardTextMakesTheRoundTrip) {
    EXPECT_EQ("(null)", Result("Clipboard_SetText", "zorqa clipboard"));
    EXPECT_EQ("zorqa clipboard", Result("Clipboard_GetText", nullptr));
    CallPlatformCommand("Clipboard_SetText", "");
    EXPECT_EQ("(null)", Result("Clipboard_GetText", nullptr));
}

TEST_F(PlatformCommandTest, OpenURLHandsTheURLToTheShellAtOnce) {
    DWORD start = GetTickCount();
    EXPECT_EQ("OK", Result("OpenURL", "zorqa-unregistered-scheme://test"));
    EXPECT_LT(GetTickCount() - start, 5000u);
}

TEST_F(PlatformCommandTest, EveryCommandWithoutADialogTakesANullParameter) {
    const char* const commands[] = {"ClipCursor",
                                    "Clipboard_SetText",
                                    "OpenURL",
                                    "IPHONE_OpenURL",
                                    "GetNativeOSPath",
                                    "ConvertStaticPathToNativeOSPath",
                                    "ConvertNativeOSPathToStaticPath",
                                    "SetUGCBasePath",
                                    "ComposeMail",
                                    "OpenFileDialog",
                                    "SaveFileDialog",
                                    "Accounts",
                                    "ShowPopup"};
    for (const char* command : commands) {
        EXPECT_EQ("(null)", Result(command, nullptr)) << command;
    }
}

TEST_F(PlatformCommandTest, PathsConvertBothWaysAndNeverComeBackCut) {
    ZQI_SetSchemeRoot(SCHEME_USER, "C:/zq-root");
    EXPECT_EQ("C:/zq-root/saves/a.sav", Result("GetNativeOSPath", "user://saves/a.sav"));
    EXPECT_EQ("user://saves/a.sav", Result("ConvertNativeOSPathToStaticPath", "C:/zq-root/saves/a.sav"));
    StartMemoryLog();
    std::string deep = "user://" + std::string(600, 'd');
    EXPECT_EQ("(null)", Result("GetNativeOSPath", deep.c_str()));
    EXPECT_EQ(1, CountLoggedLinesWith("GetNativeOSPath: the result ("));
    StopMemoryLog();
    ZQI_SetSchemeRoot(SCHEME_USER, "");
}
