// The program library loader against real libraries named prog.dll: one exporting
// ZQ_GetProgramInterface, one refusing to create the program, one exporting only
// ZQ_GetInterface and one exporting neither; and a folder without any.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "PlatformTestSupport.h"
#include "core/ApiTable.h"
#include "core/CommandLine.h"
#include "core/CoreState.h"
#include "core/Features.h"
#include "core/ProgramRecord.h"
#include "core/Threads.h"
#include "filesystem/SchemeRoots.h"
#include "platform/windows/ProgramLibrary.h"

namespace {

std::string ProgramFolder(const char* kind) {
    return TestExecutableFolder() + "progs\\" + kind;
}

std::string ProgramLibraryPath(const char* kind) {
    return ProgramFolder(kind) + "\\prog.dll";
}

bool IsLoaded(const char* kind) {
    return GetModuleHandleA(ProgramLibraryPath(kind).c_str()) != nullptr;
}

// The loader's message boxes: a hook on the test thread notes each box's text (and writes it to
// stderr, where a death test can see it) and presses OK.
std::vector<std::string> g_boxTexts;
HHOOK g_boxHook = nullptr;

LRESULT CALLBACK AnswerBoxes(int code, WPARAM wParam, LPARAM lParam) {
    const CWPRETSTRUCT* call = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
    char className[16] = "";
    if (code == HC_ACTION && call->message == WM_INITDIALOG &&
        GetClassNameA(call->hwnd, className, sizeof(className)) > 0 && std::string(className) == "#32770") {
        char text[256] = "";
        GetDlgItemTextA(call->hwnd, 0xFFFF, text, sizeof(text));
        g_boxTexts.push_back(text);
        fprintf(stderr, "box: %s\n", text);
        fflush(stderr);
        PostMessageA(call->hwnd, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(call->hwnd, IDOK)));
    }
    return CallNextHookEx(g_boxHook, code, wParam, lParam);
}

// Popups on, boxes answered; only the main thread shows boxes.
void AnswerMessageBoxes() {
    ZQI_InitializeMainThread();
    ZQI_SetFeatureText(FEATURE_TEXT_COMMAND_LINE, nullptr);
    g_boxTexts.clear();
    g_boxHook = SetWindowsHookExA(WH_CALLWNDPROCRET, AnswerBoxes, nullptr, GetCurrentThreadId());
}

void StopAnsweringMessageBoxes() {
    if (g_boxHook != nullptr) {
        UnhookWindowsHookEx(g_boxHook);
        g_boxHook = nullptr;
    }
}

// The resource root names the folder of one of the test libraries; popups are off, so the
// loader's error boxes do not wait for a click.
class ProgramLibraryTest : public ::testing::Test {
protected:
    void SetUp() override {
        ZQI_BuildApiTables();
        ZQI_SetFeatureText(FEATURE_TEXT_COMMAND_LINE, "NO_POPUPS");
    }
    void TearDown() override {
        StopAnsweringMessageBoxes();
        UnloadProgramLibrary();
        SetDllDirectoryA(nullptr);
        ZQI_SetSchemeRoot(SCHEME_RES, "");
        ZQI_SetFeatureText(FEATURE_TEXT_COMMAND_LINE, nullptr);
        ZQI_SetProgramLibraryHooks(nullptr);
    }
    void UseResourceFolder(const char* kind) { ZQI_SetSchemeRoot(SCHEME_RES, ProgramFolder(kind).c_str()); }
};

}  // namespace

TEST_F(ProgramLibraryTest, FillsTheEnginesZeroedRecordWithTheEngineVersion) {
    UseResourceFolder("full");
    zq_program_t* program = LoadProgramLibrary();
    ASSERT_NE(nullptr, program);
    EXPECT_EQ(0x03C2E001u, program->interface_version);
    EXPECT_STREQ("zeroed", program->title);
    EXPECT_TRUE(IsLoaded("full"));
}

TEST_F(ProgramLibraryTest, TheRecordIsZeroedAgainForEveryLoad) {
    UseResourceFolder("full");
    zq_program_t* first = LoadProgramLibrary();
    ASSERT_NE(nullptr, first);
    UnloadProgramLibrary();
    zq_program_t* second = LoadProgramLibrary();
    ASSERT_NE(nullptr, second);
    EXPECT_EQ(first, second);
    EXPECT_STREQ("zeroed", second->title);
}

TEST_F(ProgramLibraryTest, UnloadingFreesTheLibraryAndForgetsTheProgram) {
    UseResourceFolder("full");
    g_core.program = LoadProgramLibrary();
    ASSERT_NE(nullptr, g_core.program);
    UnloadProgramLibrary();
    EXPECT_EQ(nullptr, g_core.program);
    EXPECT_FALSE(IsLoaded("full"));
}

TEST_F(ProgramLibraryTest, FallsBackToTheSearchOrderWhenTheResourceFolderHasNone) {
    UseResourceFolder("empty");
    ASSERT_TRUE(SetDllDirectoryA(ProgramFolder("full").c_str()));
    zq_program_t* program = LoadProgramLibrary();
    ASSERT_NE(nullptr, program);
    EXPECT_STREQ("zeroed", program->title);
}

TEST_F(ProgramLibraryTest, WithoutAResourceRootTheSearchOrderIsUsed) {
    ZQI_SetSchemeRoot(SCHEME_RES, "");
    ASSERT_TRUE(SetDllDirectoryA(ProgramFolder("legacy").c_str()));
    zq_program_t* program = LoadProgramLibrary();
    ASSERT_NE(nullptr, program);
    EXPECT_STREQ("legacy", program->title);
}

TEST_F(ProgramLibraryTest, OlderExportHandsOverTheLibrarysOwnRecord) {
    UseResourceFolder("legacy");
    zq_program_t* program = LoadProgramLibrary();
    ASSERT_NE(nullptr, program);
    EXPECT_STREQ("legacy", program->title);
    HMODULE module = GetModuleHandleA(ProgramLibraryPath("legacy").c_str());
    ASSERT_NE(nullptr, module);
    zq_get_interface_t getInterface = reinterpret_cast<zq_get_interface_t>(
        reinterpret_cast<void (*)()>(GetProcAddress(module, "ZQ_GetInterface")));
    ASSERT_NE(nullptr, getInterface);
    EXPECT_EQ(getInterface(), program);
}

TEST_F(ProgramLibraryTest, RefusedProgramGivesNullAndKeepsTheLibraryUntilUnloaded) {
    UseResourceFolder("refusing");
    EXPECT_EQ(nullptr, LoadProgramLibrary());
    EXPECT_TRUE(IsLoaded("refusing"));
    UnloadProgramLibrary();
    EXPECT_FALSE(IsLoaded("refusing"));
}

TEST_F(ProgramLibraryTest, LibraryWithoutEitherExportIsFreedAtOnce) {
    UseResourceFolder("no_interface");
    EXPECT_EQ(nullptr, LoadProgramLibrary());
    EXPECT_FALSE(IsLoaded("no_interface"));
}

TEST_F(ProgramLibraryTest, NoLibraryAnywhereEndsTheProcessWithCodeOne) {
    UseResourceFolder("empty");
    EXPECT_EXIT(LoadProgramLibrary(), ::testing::ExitedWithCode(1), "");
}

TEST_F(ProgramLibraryTest, InstalledLoaderServesTheCoresProgramImplementation) {
    UseResourceFolder("full");
    ZQI_InstallProgramLibraryLoader();
    // The full library echoes the engine's version, which the version check accepts.
    ASSERT_TRUE(LoadProgramImplementation());
    ASSERT_NE(nullptr, g_core.program);
    EXPECT_EQ(ZQI_GetApi(), g_core.program->api);
    EXPECT_STREQ("zeroed", g_core.program->title);
}

TEST_F(ProgramLibraryTest, InstalledLoaderReportsARefusedProgramAsNoRecord) {
    UseResourceFolder("refusing");
    ZQI_InstallProgramLibraryLoader();
    EXPECT_FALSE(LoadProgramImplementation());
    EXPECT_EQ(nullptr, g_core.program);
}

TEST_F(ProgramLibraryTest, ALibraryWithoutEitherExportIsReportedAsBad) {
    UseResourceFolder("no_interface");
    AnswerMessageBoxes();
    ASSERT_NE(nullptr, g_boxHook);
    EXPECT_EQ(nullptr, LoadProgramLibrary());
    ASSERT_EQ(1u, g_boxTexts.size());
    EXPECT_EQ("Program library file bad: Interface not found. Please download and install the application again.",
              g_boxTexts[0]);
}

TEST_F(ProgramLibraryTest, ARefusedProgramIsReportedAsNotCreated) {
    UseResourceFolder("refusing");
    AnswerMessageBoxes();
    ASSERT_NE(nullptr, g_boxHook);
    EXPECT_EQ(nullptr, LoadProgramLibrary());
    ASSERT_EQ(1u, g_boxTexts.size());
    EXPECT_EQ(
        "Program library file bad: Program couldn't be created. Please download and install the application "
        "again.",
        g_boxTexts[0]);
}

TEST_F(ProgramLibraryTest, NoLibraryAnywhereTellsTheUserBeforeTheProcessEnds) {
    UseResourceFolder("empty");
    EXPECT_EXIT(
        {
            AnswerMessageBoxes();
            LoadProgramLibrary();
        },
        ::testing::ExitedWithCode(1),
        "box: Could not locate Program library file\\. Please download and install the application again\\.");
}
