// zorqa.exe from end to end with what this build adds to the running engine: named extension
// calls asked by the program (and by start-up for the locale), a crash handed to the program as
// a stack trace, and a gamepad from a stand-in XInput library.
#include <gtest/gtest.h>

#include <windows.h>

#include <regex>
#include <sstream>

#include "EngineRunSupport.h"

namespace {

std::string Describe(const EngineRunResult& result) {
    std::string text =
        "finished=" + std::to_string(result.finished) + " exit=" + std::to_string(result.exitCode);
    for (const std::string& box : result.messageBoxTexts) {
        text += "\nmessage box: " + box;
    }
    return text;
}

std::string ReportText(const std::map<std::string, std::string>& report, const std::string& key) {
    auto found = report.find(key);
    return found != report.end() ? found->second : "(missing)";
}

// Wine's per-program DLL overrides for zorqa.exe, for as long as it lives: a native XInput1_4.dll
// beside the executable is taken before Wine's own (runs without one still get Wine's).
class NativeXInputFirst {
public:
    NativeXInputFirst() {
        RegCreateKeyExA(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key_, nullptr);
        const char order[] = "native,builtin";
        RegSetValueExA(key_, "xinput1_4", 0, REG_SZ, reinterpret_cast<const BYTE*>(order), sizeof(order));
    }
    ~NativeXInputFirst() {
        RegCloseKey(key_);
        RegDeleteKeyA(HKEY_CURRENT_USER, kKey);
    }

private:
    static constexpr const char* kKey = "Software\\Wine\\AppDefaults\\zorqa.exe\\DllOverrides";
    HKEY key_ = nullptr;
};

}  // namespace

TEST(EngineExtensionsEndToEnd, NamedCallsAnswerTheProgramAndTheLocale) {
    EngineRunFolder folder("extension-calls");
    ASSERT_TRUE(folder.Ready());
    folder.WriteStandardManifest("zq-e2e-extension-calls", "ZQ Extension Calls");
    std::string manifest = folder.ReadFile("prog.xml");
    manifest.replace(manifest.find("fps_limit="), 0, "locale=\"auto\" ");
    folder.WriteFile("prog.xml", manifest);

    EngineRunResult result = folder.Run("--test-extension-calls --test-quit-after 3 Spanish English");
    ASSERT_TRUE(result.finished) << Describe(result);
    EXPECT_EQ(0u, result.exitCode) << Describe(result);
    std::map<std::string, std::string> report = ReadRunReport(folder);
    EXPECT_EQ("zq-e2e-extension-calls", ReportText(report, "ext_program_id"));
    EXPECT_EQ("en", ReportText(report, "ext_language"));        // English stands before Spanish in the table
    EXPECT_EQ("16384", ReportText(report, "ext_max_texture"));  // feature level 11 under Wine
    EXPECT_EQ(ReportText(report, "local_date"), ReportText(report, "ext_date"));
    std::vector<std::string> log = LogMessages(folder.ReadFile("zq-e2e-extension-calls.log"));
    EXPECT_GE(FindMessage(log, "Locale resolved to 'en'."), 0);
}

TEST(EngineExtensionsEndToEnd, ACrashHandsTheProgramAStackTraceWithItsOwnFrames) {
    EngineRunFolder folder("crash");
    ASSERT_TRUE(folder.Ready());
    folder.WriteStandardManifest("zq-e2e-crash", "ZQ Crash");
    EngineRunResult result = folder.Run("--test-crash --test-quit-after 10");
    ASSERT_TRUE(result.finished) << Describe(result);
    EXPECT_EQ(static_cast<DWORD>(EXCEPTION_ACCESS_VIOLATION), result.exitCode) << Describe(result);
    std::string trace = folder.ReadFile("crash.txt");
    const std::regex frame("[0-9]+\\. .+:[0-9]+ .+");
    std::istringstream lines(trace);
    std::string line;
    bool programFrame = false;
    bool engineFrame = false;
    int count = 0;
    while (std::getline(lines, line)) {
        EXPECT_TRUE(std::regex_match(line, frame)) << line;
        programFrame |= line.find("recording_program.c:") != std::string::npos &&
                        line.find(" CrashInDraw") != std::string::npos;
        engineFrame |=
            line.find("Frame.cpp:") != std::string::npos && line.find(" RunFrame") != std::string::npos;
        ++count;
    }
    EXPECT_GT(count, 3) << trace;
    EXPECT_TRUE(programFrame) << trace;
    EXPECT_TRUE(engineFrame) << trace;
}

TEST(EngineExtensionsEndToEnd, AGamepadOfTheXInputLibraryReachesTheProgram) {
    EngineRunFolder folder("xinput-stub");
    ASSERT_TRUE(folder.Ready());
    ASSERT_TRUE(folder.CopyStagedFile("xinput_stub.dll", "XInput1_4.dll"));
    folder.WriteStandardManifest("zq-e2e-xinput-stub", "ZQ XInput Stub");
    NativeXInputFirst nativeFirst;
    EngineRunResult result = folder.Run("--test-wait-gamepad");
    ASSERT_TRUE(result.finished) << Describe(result);
    EXPECT_EQ(0u, result.exitCode) << Describe(result);
    std::map<std::string, std::string> report = ReadRunReport(folder);
    EXPECT_EQ(826, ReportNumber(report, "first_pad_key"));  // pad 0's button A
    EXPECT_EQ(1, ReportNumber(report, "pad0_connected"));
}

TEST(EngineExtensionsEndToEnd, ResourcesReloadWhenTheirFileChangesAndAreListed) {
    EngineRunFolder folder("resources");
    ASSERT_TRUE(folder.Ready());
    folder.WriteStandardManifest("zq-e2e-resources", "ZQ Resources");
    // A 2x2 TGA, 32 bits, uncompressed: header, then four BGRA pixels.
    std::string tga(18, '\0');
    tga[2] = 2;
    tga[12] = 2;
    tga[14] = 2;
    tga[16] = 32;
    tga[17] = 8;
    tga += std::string(16, '\x7f');
    folder.WriteFile("reload.tga", tga);
    EngineRunResult result = folder.Run("--test-resources --test-quit-after 3");
    ASSERT_TRUE(result.finished) << Describe(result);
    std::vector<std::string> log = LogMessages(folder.ReadFile("zq-e2e-resources.log"));
    int reloads = 0;
    for (const std::string& message : log) {
        reloads += message == "Reloading bitmap 'res://reload.tga'..." ? 1 : 0;
    }
    EXPECT_EQ(1, reloads);  // only after the file's time moved on
    std::string missing;
    EXPECT_TRUE(MessagesInOrder(
        log,
        {"Reloaded 1 changed bitmaps in ", "Listing Resource Usage.",
         // Slot 0 holds the renderer's own white texture, made when the renderer starts.
         "Bitmap #000 16x16 'WHITE_TEXTURE' refc=1", "Bitmap #001 2x2 'res://reload.tga' refc=1 sysmem=0.0KB",
         "TOP1 Memory Hogs", "#001 GFX 0.0MB 16x16 WHITE_TEXTURE"},
        &missing))
        << "missing or out of order: " << missing;
}
