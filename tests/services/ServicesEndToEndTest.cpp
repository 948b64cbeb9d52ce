// zorqa.exe with the services program library and the fixture module libraries: the local
// leaderboards over two runs, the simulated services, and module libraries that are missing,
// broken, of another version or working. Each test checks the program's report and the log.
#include <gtest/gtest.h>

#include <shlobj.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "EngineRunSupport.h"

namespace {

const char kUserFolderName[] = "ZorqaServicesTests";

// The program's user folder (user://) under the application-data folder.
std::string UserFolder() {
    char appData[MAX_PATH] = "";
    SHGetFolderPathA(nullptr, CSIDL_APPDATA, nullptr, 0, appData);
    return std::string(appData) + "\\Ostrel\\" + kUserFolderName + "\\";
}

std::string ReadNativeFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

std::string U32(uint32_t value) {
    const char bytes[4] = {static_cast<char>(value), static_cast<char>(value >> 8),
                           static_cast<char>(value >> 16), static_cast<char>(value >> 24)};
    return std::string(bytes, 4);
}

// A resource folder with zorqa.exe, the services program, a manifest, developer settings (developer
// mode, the log beside the executable, popups shown as message boxes only when asked for) and the
// categories file.
struct ServicesRun {
    EngineRunFolder folder;
    std::string programId;

    explicit ServicesRun(const std::string& name, bool popups = false)
        : folder(name), programId("zq-services-" + name) {
        folder.WriteFile(
            "prog.xml",
            "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\n<root>\n<array id=\"PARAMETERS\">\n"
            "<node id=\"APPLICATION\" program_id=\"" +
                programId + "\" name=\"ZQ Services\" user_dir_name=\"" + kUserFolderName +
                "\" developer=\"Ostrel\" version=\"1.0.0\" fps_limit=\"1000\"/>\n</array>\n"
                "<array id=\"VARIANTS\">\n<node id=\"WINDOWS\"/>\n</array>\n</root>\n");
        folder.WriteFile(
            "developer.xml",
            "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\n<root>\n<array id=\"PARAMETERS\">\n"
            "<node id=\"DEVELOPER\" developer_mode=\"1\" logging_verbose_level=\"INFO\" "
            "features=\"" +
                std::string(popups ? "" : "NO_POPUPS,") +
                "LOGS_IN_WORKING_DIR,FIXED_LOGNAME\"/>\n</array>\n</root>\n");
        CreateDirectoryA((folder.Path() + "leaderboards").c_str(), nullptr);
        folder.WriteFile(
            "leaderboards\\leaderboards.xml",
            "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\n<root>\n<array id=\"CATEGORIES\">\n"
            "<node id=\"daily\"/>\n</array>\n</root>\n");
    }

    // A fixture variant ("working", "version-2" ...) under the name the engine loads.
    bool AddModule(const std::string& variant, const std::string& asName) const {
        return CopyFileA((folder.Path() + "..\\..\\e2e-files\\fixture-" + variant + ".dll").c_str(),
                         (folder.Path() + asName).c_str(), FALSE) != FALSE;
    }

    std::vector<std::string> Log() const { return LogMessages(folder.ReadFile(programId + ".log")); }

    // The run must end by itself with exit code 0; the message boxes it showed are returned.
    std::vector<std::string> Run(const std::string& arguments) const {
        EngineRunResult result = folder.Run(arguments);
        EXPECT_TRUE(result.finished) << DescribeRun(result);
        EXPECT_EQ(0u, result.exitCode) << DescribeRun(result);
        return result.messageBoxTexts;
    }
};

void ExpectInOrder(const std::vector<std::string>& log, const std::vector<std::string>& texts) {
    std::string missing;
    EXPECT_TRUE(MessagesInOrder(log, texts, &missing)) << "missing or out of order: " << missing;
}

int CountMessages(const std::vector<std::string>& log, const std::string& text) {
    int count = 0;
    for (int i = FindMessage(log, text); i >= 0; i = FindMessage(log, text, i + 1)) {
        ++count;
    }
    return count;
}

TEST(ServicesEndToEnd, TheLocalLeaderboardsKeepTheirScoresFromOneRunToTheNext) {
    DeleteFileA((UserFolder() + "leaderboards-db.xml").c_str());
    ServicesRun run("local");
    ASSERT_TRUE(run.folder.Ready());
    const std::string features = "--features LOCAL_LEADERBOARDS,LEADERBOARDS ";
    run.Run(features + "--services-submit 50");
    std::map<std::string, std::string> first = ReadRunReport(run.folder);
    EXPECT_EQ(first["points"], "50/2/200");
    run.Run(features + "--services-submit 70");
    std::map<std::string, std::string> second = ReadRunReport(run.folder);
    EXPECT_EQ(second["request_accepted"], "1");
    EXPECT_EQ(second["scores_total"], "2");
    EXPECT_EQ(second["points"], "70/2/200,50/2/200");
    std::string database = ReadNativeFile(UserFolder() + "leaderboards-db.xml");
    EXPECT_NE(database.find("points=\"50\""), std::string::npos) << database;  // plain in developer mode
    EXPECT_NE(database.find("data=\"7 200\""), std::string::npos) << database;
    ExpectInOrder(
        run.Log(),
        {"Using Leaderboards implementation from module 'Local Fallbacks'",
         "Initializing Leaderboards implementation 'LocalDatabase'...",
         "Submitting score of 70 points to category 'daily'",
         "Requesting scores 1..10 (10 scores) for category 'daily' with filter 'GLOBAL'",
         "Sending event with scores 1..2 (2 scores of 2) for category 'daily' with filter 'GLOBAL'"});
}

TEST(ServicesEndToEnd, TheSimulatedServicesAnswerThroughEventsAndTheCloudFile) {
    DeleteFileA((UserFolder() + "simulated.cloud").c_str());
    ServicesRun run("simulated");
    ASSERT_TRUE(run.folder.Ready());
    run.Run(
        "--features SIMULATED_LEADERBOARDS,SIMULATED_CLOUD,SIMULATED_SOCIAL,LEADERBOARDS "
        "--services-simulated");
    std::map<std::string, std::string> report = ReadRunReport(run.folder);
    EXPECT_EQ(report["score_events"], "1");
    EXPECT_GE(ReportNumber(report, "scores_after_ms"), 542);
    EXPECT_EQ(report["scores_total"], "41");  // the main thread's first draw: 41 % 50001
    EXPECT_EQ(report["scores_count"], "10");
    EXPECT_EQ(report["login_events"], "1");
    EXPECT_EQ(report["login_name"], "Local User");
    EXPECT_EQ(report["friends_count"], "11");
    std::istringstream values(report["friend_values"]);
    std::string value;
    long long previous = 1LL << 40;
    while (std::getline(values, value, ',')) {
        EXPECT_LE(std::stoll(value), previous) << report["friend_values"];
        previous = std::stoll(value);
    }
    EXPECT_EQ(report["cloud_read"], "1");
    const std::string expected = std::string("SIMULATED_CLOUD", 16) + U32(2) + std::string("k\0", 2) +
                                 U32(3) + std::string("\x04\x00\x06", 3) + std::string("m\0", 2) + U32(1) +
                                 "\x03";
    EXPECT_EQ(ReadNativeFile(UserFolder() + "simulated.cloud"), expected);
    std::vector<std::string> log = run.Log();
    ExpectInOrder(
        log, {"Using Cloud implementation from module 'Simulation'",
              "Using Leaderboards implementation from module 'Simulation'",
              "Using Social implementation from module 'Simulation'",
              "Initializing category 'daily' with 41 fake scores.",
              "Sending event with scores 1..10 (10 scores of 41) for category 'daily' with filter 'GLOBAL'"});
}

TEST(ServicesEndToEnd, ModuleLibrariesThatCannotBeUsedAreReportedAndTheRunGoesOn) {
    ServicesRun run("broken-modules", true);
    ASSERT_TRUE(run.folder.Ready());
    ASSERT_TRUE(run.AddModule("no-export", "module-steam.dll"));
    ASSERT_TRUE(run.AddModule("null-export", "module-galaxy.dll"));
    std::vector<std::string> popups = run.Run("--features STEAM,GALAXY,KARTRIDGE --test-quit-after 3");
    const std::vector<std::string> expected = {
        "Call to module 'module-galaxy.dll' interface 'ZQ_GetExtensionModuleInterface' returned null.",
        "Unable to load module 'module-galaxy.dll' interface.",
        "Unable to load module 'module-kartridge.dll'.",
        "Unable to load module 'module-kartridge.dll' interface.",
        "Unable to get module 'module-steam.dll' interface 'ZQ_GetExtensionModuleInterface'.",
        "Unable to load module 'module-steam.dll' interface.",
    };
    EXPECT_EQ(popups, expected);
    EXPECT_EQ(ReadRunReport(run.folder)["draws"], "3");
    std::vector<std::string> log = run.Log();
    ExpectInOrder(log, {"Registering module from file 'module-galaxy.dll'",
                        "Registering module from file 'module-kartridge.dll'",
                        "Registering module from file 'module-steam.dll'", "Preinitialization complete.",
                        "Program initialization OK."});
    EXPECT_EQ(CountMessages(log, "Registering extension module"), 2);  // the built-in ones only
}

TEST(ServicesEndToEnd, AnotherInterfaceVersionIsRefusedAndAFailingModuleStaysInUse) {
    ServicesRun run("version-modules", true);
    ASSERT_TRUE(run.folder.Ready());
    ASSERT_TRUE(run.AddModule("version-2", "module-steam.dll"));
    ASSERT_TRUE(run.AddModule("failing-initialize", "module-galaxy.dll"));
    std::vector<std::string> popups = run.Run("--features STEAM,GALAXY,LEADERBOARDS --test-quit-after 3");
    const std::vector<std::string> expected = {
        "Module 'module-steam.dll' interface version mismatch. (2 != 1)",
        "Failed to initialize extension 'FixtureModule'"};
    EXPECT_EQ(popups, expected);
    std::vector<std::string> log = run.Log();
    ExpectInOrder(log, {"Registering extension module 'FixtureModule'.",
                        "Initializing extension module 'FixtureModule'...", "fixture: Initialize",
                        "Using Leaderboards implementation from module 'FixtureModule'"});
    EXPECT_EQ(CountMessages(log, "Registering extension module 'FixtureModule'."), 1);
    EXPECT_EQ(ReadRunReport(run.folder)["points"], "4242/0/-1");
}

TEST(ServicesEndToEnd, AWorkingModuleBeatsTheLocalLeaderboardsAndIsDrivenToItsDestructor) {
    ServicesRun run("working-module");
    ASSERT_TRUE(run.folder.Ready());
    ASSERT_TRUE(run.AddModule("working", "module-steam.dll"));
    run.Run(
        "--features STEAM,LEADERBOARDS,LOCAL_LEADERBOARDS,REGISTER_FOR_LOCAL_NOTIFICATIONS_ON_LAUNCH "
        "--services-submit 5");
    std::map<std::string, std::string> report = ReadRunReport(run.folder);
    EXPECT_EQ(report["points"], "4242/0/-1");
    std::vector<std::string> log = run.Log();
    ExpectInOrder(
        log, {"Registering extension module 'FixtureModule'.", "fixture: Initialize",
              "Using Leaderboards implementation from module 'FixtureModule'",
              "Using Notification implementation from module 'FixtureModule'",
              "Initializing Leaderboards implementation 'FixtureLeaderboards'...",
              "fixture: implementation Initialize",
              "Initializing Notification implementation 'FixtureNotification'...",
              "fixture: implementation Initialize", "fixture: RegisterForLocalNotifications",
              "fixture: SubmitScore 0 5 daily", "fixture: RequestScores 1 10 0 daily", "Destroying window...",
              "fixture: implementation Shutdown", "fixture: implementation Shutdown", "fixture: Shutdown",
              "fixture: Destroy 1", "Unloading ProgImp Library."});
    EXPECT_GE(CountMessages(log, "fixture: Update 0."), ReportNumber(report, "draws"));
    EXPECT_EQ(CountMessages(log, "fixture: Destroy"), 1);
}

}  // namespace
