// zorqa.exe from end to end under the real platform layer: each test gives the executable a
// resource folder of its own with the recording program library and a manifest, runs it, and
// checks what the program saw, the exit code, the message boxes and the log file.
#include <gtest/gtest.h>

#include <shlobj.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "EngineRunSupport.h"

namespace {

std::string Describe(const EngineRunResult& result) {
    return DescribeRun(result);
}

// A folder with the standard manifest and developer settings for the given program.
struct StandardRun {
    EngineRunFolder folder;
    std::string programId;

    StandardRun(const std::string& name, const std::string& title)
        : folder(name), programId("zq-e2e-" + name) {
        folder.WriteStandardManifest(programId, title);
    }
    std::vector<std::string> Log() const { return LogMessages(folder.ReadFile(programId + ".log")); }
};

}  // namespace

TEST(EngineEndToEnd, RunsTheProgramFrameByFrameAndLogsTheLifecycleInOrder) {
    StandardRun run("lifecycle", "ZQ Lifecycle");
    ASSERT_TRUE(run.folder.Ready());
    EngineRunResult result = run.folder.Run("--test-quit-after 7");
    ASSERT_TRUE(result.finished) << Describe(result);
    EXPECT_EQ(0u, result.exitCode) << Describe(result);
    EXPECT_TRUE(result.messageBoxTexts.empty()) << Describe(result);

    std::map<std::string, std::string> report = ReadRunReport(run.folder);
    EXPECT_EQ(1, ReportNumber(report, "init"));
    EXPECT_EQ(7, ReportNumber(report, "draw"));
    // Update is skipped in a frame that follows the previous one within the same millisecond.
    EXPECT_GE(ReportNumber(report, "update"), 1);
    EXPECT_LE(ReportNumber(report, "update"), 7);
    EXPECT_EQ(1, ReportNumber(report, "shutdown"));
    EXPECT_EQ(1, ReportNumber(report, "check_parameters"));
    EXPECT_EQ(1, ReportNumber(report, "api"));
    EXPECT_EQ(0, ReportNumber(report, "launch_uri_events"));

    std::string logText = run.folder.ReadFile(run.programId + ".log");
    EXPECT_EQ(0u, logText.find("Ostrel ZQ (API 15.46.01 + core 2333, built ")) << logText;
    std::vector<std::string> log = LogMessages(logText);
    std::string missing;
    EXPECT_TRUE(MessagesInOrder(
        log,
        {"Preinitialization complete.", "Initializing Program 'ZQ Lifecycle'..",
         "Program initialization OK. Running program 'ZQ Lifecycle' version 2.5.0.", "ZORQA Shutdown.",
         "Shutdown successful. Closing console and logging.", "ZORQA log: "},
        &missing))
        << "missing or out of order: " << missing << "\n"
        << logText;
    int closing = FindMessage(log, "ZORQA log: ");
    ASSERT_GE(closing, 0);
    int errors = -1, warnings = -1, infos = -1;
    EXPECT_EQ(3, sscanf(log[closing].c_str(), "ZORQA log: %d errors, %d warnings, %d infos.", &errors,
                        &warnings, &infos))
        << log[closing];
    EXPECT_GE(infos, 1);
    EXPECT_EQ(-1, FindMessage(log, "Initializing Program", FindMessage(log, "Initializing Program") + 1))
        << "Init was announced twice";
}

TEST(EngineEndToEnd, AddsTheManifestsPackagesBeforeTheResourceFolder) {
    StandardRun run("packages", "ZQ Packages");
    ASSERT_TRUE(run.folder.Ready());
    run.folder.WriteFile(
        "prog.xml",
        "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\n<root>\n<array id=\"PARAMETERS\">\n"
        "<node id=\"APPLICATION\" program_id=\"zq-e2e-packages\" name=\"ZQ Packages\" "
        "developer=\"Ostrel\" version=\"1.0.0\" fps_limit=\"1000\" "
        "packages=\"base-pack,@feature=SHOW_FPS:fps-pack\"/>\n</array>\n"
        "<array id=\"VARIANTS\">\n<node id=\"WINDOWS\"/>\n</array>\n</root>\n");
    CreateDirectoryA((run.folder.Path() + "base-pack").c_str(), nullptr);
    EngineRunResult result = run.folder.Run("--test-quit-after 2");
    ASSERT_TRUE(result.finished) << Describe(result);
    EXPECT_EQ(0u, result.exitCode) << Describe(result);
    std::vector<std::string> log = run.Log();
    std::string missing;
    EXPECT_TRUE(
        MessagesInOrder(log,
                        {"Adding packages...", "Adding search path 'res://base-pack/'...",
                         "Search path priority #1: 'res://base-pack/'.", "Adding search path 'res://'...",
                         "Search path priority #2: 'res://'.", "Preinitialization complete."},
                        &missing))
        << "missing or out of order: " << missing;
    EXPECT_EQ(-1, FindMessage(log, "fps-pack")) << "a package whose feature word is off was added";
}

TEST(EngineEndToEnd, AResolutionForcedByTheDeveloperSettingsSizesTheWindowAndTheRenderer) {
    StandardRun run("forced-size", "ZQ Forced Size");
    ASSERT_TRUE(run.folder.Ready());
    run.folder.WriteFile(
        "developer.xml",
        "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\n<root>\n<array id=\"PARAMETERS\">\n"
        "<node id=\"DEVELOPER\" developer_mode=\"1\" logging_verbose_level=\"INFO\" "
        "force_resolution=\"400x300\" "
        "features=\"NO_POPUPS,LOGS_IN_WORKING_DIR,FIXED_LOGNAME\"/>\n</array>\n</root>\n");
    EngineRunResult result = run.folder.Run("--test-quit-after 2");
    ASSERT_TRUE(result.finished) << Describe(result);
    EXPECT_EQ(0u, result.exitCode) << Describe(result);
    std::vector<std::string> log = run.Log();
    std::string missing;
    EXPECT_TRUE(MessagesInOrder(log,
                                {"Selected 400x300. (forced)", "Created window (400x300)",
                                 "Renderer Initializing: 400x300 windowed..", "Renderer ready."},
                                &missing))
        << "missing or out of order: " << missing;
}

TEST(EngineEndToEnd, ReleaseRunsLogIntoTheUserFoldersTheManifestNames) {
    EngineRunFolder folder("user-folders");
    ASSERT_TRUE(folder.Ready());
    folder.WriteFile("prog.xml",
                     "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\n<root>\n<array id=\"PARAMETERS\">\n"
                     "<node id=\"APPLICATION\" program_id=\"zq-e2e-user-folders\" name=\"ZQ User Folders\" "
                     "user_dir_name=\"ZorqaUserFolders\" developer=\"ZQTests\" version=\"1.0.0\" "
                     "fps_limit=\"1000\"/>\n</array>\n<array id=\"VARIANTS\">\n<node id=\"WINDOWS\"/>\n"
                     "</array>\n</root>\n");
    char appData[MAX_PATH] = "";
    ASSERT_TRUE(SUCCEEDED(SHGetFolderPathA(nullptr, CSIDL_APPDATA, nullptr, 0, appData)));
    std::string root = std::string(appData) + "\\ZQTests\\ZorqaUserFolders\\";
    std::string logPath = root + "logs\\zq-e2e-user-folders.log";
    DeleteFileA(logPath.c_str());

    EngineRunResult result = folder.Run("--features NO_POPUPS --test-quit-after 2");
    ASSERT_TRUE(result.finished) << Describe(result);
    EXPECT_EQ(0u, result.exitCode) << Describe(result);
    // No "documents" here: on Windows docs:// is the user's own Documents folder.
    for (const char* name : {"cache", "logs"}) {
        DWORD attributes = GetFileAttributesA((root + name).c_str());
        EXPECT_TRUE(attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) << name;
    }
    std::ifstream file(logPath, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    std::vector<std::string> log = LogMessages(text.str());
    std::string missing;
    EXPECT_TRUE(
        MessagesInOrder(log, {"Preinitialization complete.", "ZORQA Shutdown.", "ZORQA log: "}, &missing))
        << "missing or out of order in " << logPath << ": " << missing;
    EXPECT_FALSE(folder.Exists("zq-e2e-user-folders.log")) << "the log went to the resource folder";
}

TEST(EngineEndToEnd, DeliversTheLaunchUriOfItsOwnCommandLineAsTheFirstQueuedEvent) {
    StandardRun run("own-uri", "ZQ Own Uri");
    ASSERT_TRUE(run.folder.Ready());
    EngineRunResult result = run.folder.Run("--launch-uri zorqa-test://first --test-quit-after 3");
    ASSERT_TRUE(result.finished) << Describe(result);
    EXPECT_EQ(0u, result.exitCode) << Describe(result);
    std::map<std::string, std::string> report = ReadRunReport(run.folder);
    EXPECT_EQ(1, ReportNumber(report, "launch_uri_events"));
    EXPECT_EQ("zorqa-test://first", report["launch_uri"]);
    EXPECT_EQ(63, ReportNumber(report, "first_queued_type"));
}

TEST(EngineEndToEnd, WithoutAProgramLibraryStartUpEndsWithExitCodeOne) {
    EngineRunFolder folder("no-library", true);
    ASSERT_TRUE(folder.Ready());
    folder.WriteStandardManifest("zq-e2e-no-library", "ZQ No Library");
    EngineRunResult result = folder.Run("");
    ASSERT_TRUE(result.finished) << Describe(result);
    EXPECT_EQ(1u, result.exitCode) << Describe(result);
    EXPECT_TRUE(result.messageBoxTexts.empty()) << Describe(result);
    EXPECT_FALSE(folder.Exists("run-report.txt"));
    std::vector<std::string> log = LogMessages(folder.ReadFile("zq-e2e-no-library.log"));
    EXPECT_GE(FindMessage(log, "Loading program implementation..."), 0);
    EXPECT_EQ(-1, FindMessage(log, "Preinitialization complete."));
}

TEST(EngineEndToEnd, AManifestWithoutAnIdIsReportedAndTheProgramStillRuns) {
    EngineRunFolder folder("no-id");
    ASSERT_TRUE(folder.Ready());
    folder.WriteFile("prog.xml",
                     "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\n<root>\n<array id=\"PARAMETERS\">\n"
                     "<node id=\"APPLICATION\" name=\"ZQ No Id\" developer=\"Ostrel\" version=\"1.0.0\" "
                     "fps_limit=\"1000\"/>\n</array>\n<array id=\"VARIANTS\">\n<node id=\"WINDOWS\"/>\n"
                     "</array>\n</root>\n");
    // Popups stay on: the missing id is reported before the log opens, so the message box is
    // the only place it shows.
    folder.WriteFile("developer.xml",
                     "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\n<root>\n<array id=\"PARAMETERS\">\n"
                     "<node id=\"DEVELOPER\" developer_mode=\"1\" logging_verbose_level=\"INFO\" "
                     "features=\"LOGS_IN_WORKING_DIR,FIXED_LOGNAME\"/>\n</array>\n</root>\n");
    EngineRunResult result = folder.Run("--test-quit-after 2");
    ASSERT_TRUE(result.finished) << Describe(result);
    EXPECT_EQ(0u, result.exitCode) << Describe(result);
    ASSERT_FALSE(result.messageBoxTexts.empty()) << Describe(result);
    EXPECT_EQ("Program doesn't have 'zq_program_t::id' set, set 'prog->id'", result.messageBoxTexts[0]);
    EXPECT_EQ(1, ReportNumber(ReadRunReport(folder), "init"));
}

TEST(EngineEndToEnd, AnIncompatibleInterfaceVersionEndsWithTheFallbackRecordAndExitCodeZero) {
    StandardRun run("old-interface", "ZQ Old Interface");
    ASSERT_TRUE(run.folder.Ready());
    // 15.45.3: one minor version behind the engine's 15.46.1.
    EngineRunResult result = run.folder.Run("--test-interface-version 3C2D003");
    ASSERT_TRUE(result.finished) << Describe(result);
    EXPECT_EQ(0u, result.exitCode) << Describe(result);
    EXPECT_TRUE(result.messageBoxTexts.empty()) << Describe(result);
    std::vector<std::string> log = run.Log();
    EXPECT_GE(FindMessage(log,
                          "Program library uses incompatible ZORQA interface (15.45.3 instead of 15.46.1). "
                          "This program cannot run."),
              0);
    EXPECT_EQ(-1, FindMessage(log, "Program implementation validation OK."));
    EXPECT_EQ(-1, FindMessage(log, "Preinitialization complete."));
    EXPECT_FALSE(run.folder.Exists("run-report.txt")) << "the program's callbacks ran";
}

TEST(EngineEndToEnd, ARendererThatCannotStartEndsInitialisationWithExitCodeOne) {
    StandardRun run("no-renderer", "ZQ No Renderer");
    ASSERT_TRUE(run.folder.Ready());
    // Wine's Direct3D without a 3D renderer: every device creation fails, as on a machine whose
    // driver offers no Direct3D 11 device.
    EngineRunResult result = run.folder.Run("", "WINE_D3D_CONFIG=renderer=no3d");
    ASSERT_TRUE(result.finished) << Describe(result);
    EXPECT_EQ(1u, result.exitCode) << Describe(result);
    ASSERT_EQ(1u, result.messageBoxTexts.size()) << Describe(result);
    EXPECT_EQ("Core initialization failed.", result.messageBoxTexts[0]);
    std::vector<std::string> log = run.Log();
    std::string missing;
    EXPECT_TRUE(
        MessagesInOrder(log,
                        {"Created window (", "Renderer Initializing: ",
                         "Unable to initialize the renderer. Tried all listed renderers but was unable to "
                         "initialize any.",
                         "Destroying window..."},
                        &missing))
        << "missing or out of order: " << missing;
    EXPECT_EQ(-1, FindMessage(log, "Renderer ready."));
    EXPECT_EQ(-1, FindMessage(log, "Initializing Program"));
    EXPECT_FALSE(run.folder.Exists("run-report.txt")) << "the program ran without a renderer";
}

TEST(EngineEndToEnd, ASecondInstanceHandsItsLaunchUriToTheFirstAndEnds) {
    // Two folders, one program: each instance keeps its own log.
    EngineRunFolder first("first-instance");
    EngineRunFolder second("second-instance");
    ASSERT_TRUE(first.Ready());
    ASSERT_TRUE(second.Ready());
    first.WriteStandardManifest("zq-e2e-single", "ZQ Single Instance");
    second.WriteStandardManifest("zq-e2e-single", "ZQ Single Instance");

    EngineProcess firstProcess;
    ASSERT_TRUE(firstProcess.Start(first.Path(), "--test-wait-launch-uri"));
    ASSERT_TRUE(firstProcess.WaitForFile(first.Path() + "ready.txt"))
        << "the first instance never drew a frame";

    EngineRunResult secondResult = second.Run("--launch-uri zorqa-test://handed-over");
    ASSERT_TRUE(secondResult.finished) << Describe(secondResult);
    EXPECT_EQ(0u, secondResult.exitCode) << Describe(secondResult);
    std::vector<std::string> secondLog = LogMessages(second.ReadFile("zq-e2e-single.log"));
    std::string missing;
    EXPECT_TRUE(MessagesInOrder(secondLog,
                                {"Checking for multiple program instances...", "Other instance detected.",
                                 "Multiple instances not allowed, terminating..."},
                                &missing))
        << "missing or out of order: " << missing;
    EXPECT_EQ(-1, FindMessage(secondLog, "Preinitialization complete."));
    EXPECT_FALSE(second.Exists("run-report.txt")) << "the second instance ran its program";

    EngineRunResult firstResult = firstProcess.Wait();
    ASSERT_TRUE(firstResult.finished) << Describe(firstResult);
    EXPECT_EQ(0u, firstResult.exitCode) << Describe(firstResult);
    std::map<std::string, std::string> report = ReadRunReport(first);
    EXPECT_EQ(1, ReportNumber(report, "launch_uri_events"));
    EXPECT_EQ("zorqa-test://handed-over", report["launch_uri"]);
    EXPECT_EQ(1, ReportNumber(report, "shutdown"));
}

TEST(EngineEndToEnd, ASecondStartWithoutALaunchUriBringsTheFirstForwardAndEnds) {
    EngineRunFolder first("first-of-two");
    EngineRunFolder second("second-without-uri");
    EngineRunFolder third("third-with-uri");
    ASSERT_TRUE(first.Ready());
    ASSERT_TRUE(second.Ready());
    ASSERT_TRUE(third.Ready());
    first.WriteStandardManifest("zq-e2e-forward", "ZQ Bring Forward");
    second.WriteStandardManifest("zq-e2e-forward", "ZQ Bring Forward");
    third.WriteStandardManifest("zq-e2e-forward", "ZQ Bring Forward");

    EngineProcess firstProcess;
    ASSERT_TRUE(firstProcess.Start(first.Path(), "--test-wait-launch-uri"));
    ASSERT_TRUE(firstProcess.WaitForFile(first.Path() + "ready.txt")) << "the first instance never drew a frame";

    EngineRunResult secondResult = second.Run("");
    ASSERT_TRUE(secondResult.finished) << Describe(secondResult);
    EXPECT_EQ(0u, secondResult.exitCode) << Describe(secondResult);
    std::vector<std::string> secondLog = LogMessages(second.ReadFile("zq-e2e-forward.log"));
    std::string missing;
    EXPECT_TRUE(MessagesInOrder(secondLog, {"Other instance detected.", "Multiple instances not allowed, terminating..."},
                                &missing))
        << "missing or out of order: " << missing;
    EXPECT_EQ(-1, FindMessage(secondLog, "Preinitialization complete."));
    EXPECT_FALSE(second.Exists("run-report.txt")) << "the second instance ran its program";

    // The first instance handed nothing over yet; a third start with a URI lets it finish.
    EngineRunResult thirdResult = third.Run("--launch-uri zorqa-test://third");
    ASSERT_TRUE(thirdResult.finished) << Describe(thirdResult);
    EngineRunResult firstResult = firstProcess.Wait();
    ASSERT_TRUE(firstResult.finished) << Describe(firstResult);
    std::map<std::string, std::string> report = ReadRunReport(first);
    EXPECT_EQ(1, ReportNumber(report, "launch_uri_events"));
    EXPECT_EQ("zorqa-test://third", report["launch_uri"]);
}

TEST(EngineEndToEnd, ASecondStartThatCannotFindTheFirstWindowByTitleRunsAsAFurtherInstance) {
    EngineRunFolder first("first-titled");
    EngineRunFolder second("second-other-title");
    EngineRunFolder third("third-releases-first");
    ASSERT_TRUE(first.Ready());
    ASSERT_TRUE(second.Ready());
    ASSERT_TRUE(third.Ready());
    // Same program id, so the system mutex is found; the first window carries another title.
    first.WriteStandardManifest("zq-e2e-retitled", "ZQ Retitled Window");
    second.WriteStandardManifest("zq-e2e-retitled", "ZQ Program Title");
    third.WriteStandardManifest("zq-e2e-retitled", "ZQ Retitled Window");

    EngineProcess firstProcess;
    ASSERT_TRUE(firstProcess.Start(first.Path(), "--test-wait-launch-uri"));
    ASSERT_TRUE(firstProcess.WaitForFile(first.Path() + "ready.txt")) << "the first instance never drew a frame";

    EngineRunResult secondResult = second.Run("");
    ASSERT_TRUE(secondResult.finished) << Describe(secondResult);
    EXPECT_EQ(0u, secondResult.exitCode) << Describe(secondResult);
    std::vector<std::string> secondLog = LogMessages(second.ReadFile("zq-e2e-retitled.log"));
    std::string missing;
    EXPECT_TRUE(MessagesInOrder(secondLog,
                                {"Other instance detected.", "Multiple instances not allowed, terminating...",
                                 "Preinitialization complete."},
                                &missing))
        << "missing or out of order: " << missing;
    std::map<std::string, std::string> secondReport = ReadRunReport(second);
    EXPECT_EQ(1, ReportNumber(secondReport, "shutdown")) << "the further instance did not run its program";

    EngineRunResult thirdResult = third.Run("--launch-uri zorqa-test://release");
    ASSERT_TRUE(thirdResult.finished) << Describe(thirdResult);
    EngineRunResult firstResult = firstProcess.Wait();
    ASSERT_TRUE(firstResult.finished) << Describe(firstResult);
}

// Jobs the program queues in its shutdown callback run to the end before its library is
// unloaded: none is cut off or runs in unloaded code (which ends the process with a fault).
TEST(EngineEndToEnd, JobsQueuedAtShutdownAllRunBeforeTheProgramIsUnloaded) {
    StandardRun run("jobs", "ZQ Jobs");
    ASSERT_TRUE(run.folder.Ready());
    EngineRunResult result = run.folder.Run("--test-quit-after 2 --test-jobs-at-shutdown 6");
    ASSERT_TRUE(result.finished) << Describe(result);
    EXPECT_EQ(0u, result.exitCode) << Describe(result);
    EXPECT_EQ("job 0\njob 1\njob 2\njob 3\njob 4\njob 5\n", run.folder.ReadFile("jobs.txt"));
    std::string missing;
    EXPECT_TRUE(MessagesInOrder(run.Log(), {"ZORQA Shutdown.", "Unloading ProgImp Library."}, &missing))
        << missing;
}

// A save written without unmounting reaches the disk when the engine shuts down, and until then
// the file keeps its old contents; the next run reads it (and removes it again).
TEST(EngineEndToEnd, ASaveLeftMountedIsWrittenAtShutdown) {
    StandardRun run("save", "ZQ Save");
    ASSERT_TRUE(run.folder.Ready());
    EngineRunResult written =
        run.folder.Run("--test-quit-after 2 --test-save-write written-by-the-first-run");
    ASSERT_TRUE(written.finished) << Describe(written);
    EXPECT_EQ(0u, written.exitCode) << Describe(written);
    EngineRunResult read = run.folder.Run("--test-quit-after 2 --test-save-read");
    ASSERT_TRUE(read.finished) << Describe(read);
    EXPECT_EQ("written-by-the-first-run", ReadRunReport(run.folder)["save"]);
}

// Every flush and close of the log fails on a full disk; reporting that through the log again
// overflowed the stack at the first line. The program runs on with its log lost.
TEST(EngineEndToEnd, ALogOnAFullDiskIsLostAndTheProgramRunsOn) {
    EngineRunFolder folder("full-disk-log");
    ASSERT_TRUE(folder.Ready());
    folder.WriteStandardManifest("zq-e2e-full-disk-log", "ZQ Full Disk Log");
    const std::string logPath = folder.Path() + "zq-e2e-full-disk-log.log";
    ASSERT_TRUE(SetFullDeviceLink(logPath, true)) << logPath;
    EngineRunResult result =
        folder.Run("--features NO_POPUPS,LOGS_IN_WORKING_DIR,FIXED_LOGNAME --test-quit-after 4");
    EXPECT_TRUE(SetFullDeviceLink(logPath, false));
    ASSERT_TRUE(result.finished) << Describe(result);
    EXPECT_EQ(0u, result.exitCode) << Describe(result);
    EXPECT_EQ(4, ReportNumber(ReadRunReport(folder), "draw"));
    EXPECT_EQ(1, ReportNumber(ReadRunReport(folder), "shutdown"));
}
