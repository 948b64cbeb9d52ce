// zorqa.exe with the services program library and the fixture module libraries: the local
// leaderboards over two runs, the simulated services, and module libraries that are missing,
// broken, of another version or working. Each test checks the program's report and the log.
#include <gtest/gtest.h>

#include <shlobj.h>

#include <fstream>
#include <sstream>

#include "EngineRunSupport.h"

namespace {

// The program's user folder (user://): "<application data>\Ostrel\ZorqaServicesTests\".
std::string UserFile(const std::string& name) {
    char appData[MAX_PATH] = "";
    SHGetFolderPathA(nullptr, CSIDL_APPDATA, nullptr, 0, appData);
    return std::string(appData) + "\\Ostrel\\ZorqaServicesTests\\" + name;
}

std::string ReadUserFile(const std::string& name) {
    std::ifstream file(UserFile(name), std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

// A resource folder with zorqa.exe, the services program, a manifest, the categories file and
// developer settings: developer mode, the log beside the executable, and popups as message boxes
// only when asked for.
struct ServicesRun {
    EngineRunFolder folder;
    std::string id;

    explicit ServicesRun(const std::string& name, bool popups = false)
        : folder(name), id("zq-services-" + name) {
        const std::string head = "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\n<root>\n<array id=\"";
        folder.WriteFile("prog.xml",
                         head + "PARAMETERS\">\n<node id=\"APPLICATION\" program_id=\"" + id +
                             "\" name=\"ZQ Services\" user_dir_name=\"ZorqaServicesTests\" "
                             "developer=\"Ostrel\" version=\"1.0.0\" fps_limit=\"1000\"/>\n</array>\n"
                             "<array id=\"VARIANTS\">\n<node id=\"WINDOWS\"/>\n</array>\n</root>\n");
        folder.WriteFile("developer.xml", head +
                                              "PARAMETERS\">\n<node id=\"DEVELOPER\" developer_mode=\"1\" "
                                              "logging_verbose_level=\"INFO\" features=\"" +
                                              (popups ? "" : "NO_POPUPS,") +
                                              "LOGS_IN_WORKING_DIR,FIXED_LOGNAME\"/>\n</array>\n</root>\n");
        CreateDirectoryA((folder.Path() + "leaderboards").c_str(), nullptr);
        folder.WriteFile("leaderboards\\leaderboards.xml",
                         head + "CATEGORIES\">\n<node id=\"daily\"/>\n</array>\n</root>\n");
    }

    // A fixture variant ("working", "version-2" ...) under the name the engine loads.
    void AddModule(const std::string& variant, const std::string& asName) const {
        ASSERT_TRUE(CopyFileA((folder.Path() + "..\\..\\e2e-files\\fixture-" + variant + ".dll").c_str(),
                              (folder.Path() + asName).c_str(), FALSE));
    }

    // Runs to its end with exit code 0; returns the message boxes shown, in order.
    std::vector<std::string> Run(const std::string& arguments) const {
        EngineRunResult result = folder.Run(arguments);
        EXPECT_TRUE(result.finished && result.exitCode == 0) << DescribeRun(result);
        return result.messageBoxTexts;
    }

    std::map<std::string, std::string> Report() const { return ReadRunReport(folder); }

    // The log holds these texts in this order.
    void ExpectLogged(const std::vector<std::string>& texts) const {
        std::string missing;
        EXPECT_TRUE(MessagesInOrder(Log(), texts, &missing)) << "missing or out of order: " << missing;
    }

    int CountLogged(const std::string& text) const {
        std::vector<std::string> log = Log();
        int count = 0;
        for (int i = FindMessage(log, text); i >= 0; i = FindMessage(log, text, i + 1)) {
            ++count;
        }
        return count;
    }

    std::vector<std::string> Log() const { return LogMessages(folder.ReadFile(id + ".log")); }
};

TEST(ServicesEndToEnd, TheLocalLeaderboardsKeepTheirScoresFromOneRunToTheNext) {
    DeleteFileA(UserFile("leaderboards-db.xml").c_str());
    ServicesRun run("local");
    run.Run("--features LOCAL_LEADERBOARDS,LEADERBOARDS --services-submit 50");
    EXPECT_EQ(run.Report()["points"], "50/2/200");
    run.Run("--features LOCAL_LEADERBOARDS,LEADERBOARDS --services-submit 70");
    EXPECT_EQ(run.Report()["scores_total"], "2");
    EXPECT_EQ(run.Report()["points"], "70/2/200,50/2/200");
    EXPECT_NE(ReadUserFile("leaderboards-db.xml").find("points=\"50\""), std::string::npos);  // plain XML
    run.ExpectLogged(
        {"Using Leaderboards implementation from module 'Local Fallbacks'",
         "Initializing Leaderboards implementation 'LocalDatabase'...",
         "Submitting score of 70 points to category 'daily'",
         "Sending event with scores 1..2 (2 scores of 2) for category 'daily' with filter 'GLOBAL'"});
}

TEST(ServicesEndToEnd, TheSimulatedServicesAnswerThroughEventsAndTheCloudFile) {
    DeleteFileA(UserFile("simulated.cloud").c_str());
    ServicesRun run("simulated");
    run.Run(
        "--features SIMULATED_LEADERBOARDS,SIMULATED_CLOUD,SIMULATED_SOCIAL,LEADERBOARDS "
        "--services-simulated");
    std::map<std::string, std::string> report = run.Report();
    EXPECT_EQ(report["score_events"], "1");
    EXPECT_GE(ReportNumber(report, "scores_after_ms"), 542);  // a new thread's first draw: 41 % 2500 + 501
    EXPECT_EQ(report["scores_total"], "41");                  // the main thread's first: 41 % 50001
    EXPECT_EQ(report["login_name"], "Local User");
    EXPECT_EQ(report["friends_count"], "11");
    EXPECT_EQ(report["cloud_read"], "1");
    std::istringstream values(report["friend_values"]);
    long long previous = 1LL << 40;
    for (std::string value; std::getline(values, value, ',');) {
        EXPECT_LE(std::stoll(value), previous) << report["friend_values"];
        previous = std::stoll(value);
    }
    // Little-endian counts and sizes; k keeps its place with its new bytes.
    const std::string expected = std::string("SIMULATED_CLOUD\0\2\0\0\0k\0\3\0\0\0\4\0\6m\0\1\0\0\0\3", 36);
    EXPECT_EQ(ReadUserFile("simulated.cloud"), expected);
    run.ExpectLogged(
        {"Using Cloud implementation from module 'Simulation'",
         "Using Leaderboards implementation from module 'Simulation'",
         "Using Social implementation from module 'Simulation'",
         "Initializing category 'daily' with 41 fake scores.",
         "Sending event with scores 1..10 (10 scores of 41) for category 'daily' with filter 'GLOBAL'"});
}

TEST(ServicesEndToEnd, ModuleLibrariesThatCannotBeUsedAreReportedAndTheRunGoesOn) {
    ServicesRun run("broken-modules", true);
    run.AddModule("no-export", "module-steam.dll");
    run.AddModule("null-export", "module-galaxy.dll");
    const std::vector<std::string> expected = {
        "Call to module 'module-galaxy.dll' interface 'ZQ_GetExtensionModuleInterface' returned null.",
        "Unable to load module 'module-galaxy.dll' interface.",
        "Unable to load module 'module-kartridge.dll'.",
        "Unable to load module 'module-kartridge.dll' interface.",
        "Unable to get module 'module-steam.dll' interface 'ZQ_GetExtensionModuleInterface'.",
        "Unable to load module 'module-steam.dll' interface.",
    };
    EXPECT_EQ(run.Run("--features STEAM,GALAXY,KARTRIDGE --test-quit-after 3"), expected);
    EXPECT_EQ(run.Report()["draws"], "3");
    run.ExpectLogged({"Registering module from file 'module-galaxy.dll'",
                      "Registering module from file 'module-steam.dll'", "Program initialization OK."});
    EXPECT_EQ(run.CountLogged("Registering extension module"), 2);  // the built-in ones only
}

TEST(ServicesEndToEnd, AnotherInterfaceVersionIsRefusedAndAFailingModuleStaysInUse) {
    ServicesRun run("version-modules", true);
    run.AddModule("version-2", "module-steam.dll");
    run.AddModule("failing-initialize", "module-galaxy.dll");
    const std::vector<std::string> expected = {
        "Module 'module-steam.dll' interface version mismatch. (2 != 1)",
        "Failed to initialize extension 'FixtureModule'"};
    EXPECT_EQ(run.Run("--features STEAM,GALAXY,LEADERBOARDS --test-quit-after 3"), expected);
    EXPECT_EQ(run.CountLogged("Registering extension module 'FixtureModule'."), 1);
    run.ExpectLogged(
        {"fixture: Initialize", "Using Leaderboards implementation from module 'FixtureModule'"});
    EXPECT_EQ(run.Report()["points"], "4242/0/0");
}

TEST(ServicesEndToEnd, AWorkingModuleBeatsTheLocalLeaderboardsAndIsDrivenToItsDestructor) {
    ServicesRun run("working-module");
    run.AddModule("working", "module-steam.dll");
    run.Run(
        "--features STEAM,LEADERBOARDS,LOCAL_LEADERBOARDS,REGISTER_FOR_LOCAL_NOTIFICATIONS_ON_LAUNCH "
        "--services-submit 5");
    EXPECT_EQ(run.Report()["points"], "4242/0/0");
    run.ExpectLogged({"fixture: Initialize", "Using Leaderboards implementation from module 'FixtureModule'",
                      "Using Notification implementation from module 'FixtureModule'",
                      "Initializing Leaderboards implementation 'FixtureLeaderboards'...",
                      "fixture: implementation Initialize", "fixture: implementation Initialize",
                      "fixture: RegisterForLocalNotifications", "fixture: SubmitScore 0 5 daily",
                      "fixture: RequestScores 1 10 0 daily", "Destroying window...",
                      "fixture: implementation Shutdown", "fixture: implementation Shutdown",
                      "fixture: Shutdown", "fixture: Destroy 1", "Unloading ProgImp Library."});
    EXPECT_GE(run.CountLogged("fixture: Update 0."), ReportNumber(run.Report(), "draws"));  // every frame
    EXPECT_EQ(run.CountLogged("fixture: Destroy"), 1);
}

}  // namespace
