// zorqa.exe's sound from end to end: which back end each run chooses and logs, a looping sound
// that plays until (and while) the engine shuts down, sound switched on after NO_SOUND, and the
// null back end when sound is off. Runs without XAudio2 or DirectSound (DLL overrides, which Wine
// reads from the Unix environment) and what reaches a speaker are in sound-under-pulse.sh.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "EngineRunSupport.h"

namespace {

// A run with the standard manifest and the 1 s test tone beside the executable as "tone.wav".
struct SoundRun {
    EngineRunFolder folder;
    std::string programId;

    explicit SoundRun(const std::string& name) : folder(name), programId("zq-e2e-" + name) {
        folder.WriteStandardManifest(programId, "ZQ Sound");
        CopyFileA(ZQ_AUDIO_FIXTURES "/tone-mono.wav", (folder.Path() + "tone.wav").c_str(), FALSE);
    }
    std::vector<std::string> Log() const { return LogMessages(folder.ReadFile(programId + ".log")); }
};

struct BackEndCase {
    const char* name;
    const char* arguments;
    const char* environment;
    std::vector<std::string> logged;  // in this order
    bool plays;
};

}  // namespace

TEST(SoundEndToEnd, EachRunChoosesItsBackEndAndPlaysThroughIt) {
    const BackEndCase cases[] = {
        {"xaudio2",
         "",
         "",
         {"Loading Sound Implementation...", "Loaded XAudio2 sound implementation",
          "Sound Implementation initialized.", "Releasing Sound Implementation."},
         true},
        {"ctrm",
         "--features FORCE_ALT_SOUND_IMP",
         "",
         {"Loading Sound Implementation...", "Loaded CTRM sound implementation",
          "Sound Implementation initialized.", "SoundImplementation CTRM Shutdown."},
         true},
        {"no-sound", "--features NO_SOUND", "", {"Sounds disabled. Null Sound Implementation used."}, false},
    };
    for (const BackEndCase& c : cases) {
        SoundRun run(std::string("sound-") + c.name);
        ASSERT_TRUE(run.folder.Ready());
        std::string arguments =
            std::string(c.arguments) + " --test-sound tone --test-music tone --test-quit-after 20";
        EngineRunResult result = run.folder.Run(arguments, c.environment);
        ASSERT_TRUE(result.finished) << c.name;
        EXPECT_EQ(0u, result.exitCode) << c.name;
        std::string missing;
        EXPECT_TRUE(MessagesInOrder(run.Log(), c.logged, &missing)) << c.name << ": missing " << missing;
        std::map<std::string, std::string> report = ReadRunReport(run.folder);
        EXPECT_EQ(1, ReportNumber(report, "sound_loaded")) << c.name;
        EXPECT_EQ(c.plays, ReportNumber(report, "sound_channel") != 0) << c.name;
        EXPECT_EQ(c.plays, ReportNumber(report, "sound_playing") != 0)
            << c.name << ": still looping at shutdown";
        EXPECT_EQ(1, ReportNumber(report, "shutdown")) << c.name;
    }
}

TEST(SoundEndToEnd, SoundSwitchedOnAfterNoSoundPlays) {
    SoundRun run("sound-switched-on");
    EngineRunResult result =
        run.folder.Run("--features NO_SOUND --test-sound tone --test-sound-on-at 3 --test-quit-after 8");
    ASSERT_TRUE(result.finished);
    std::map<std::string, std::string> report = ReadRunReport(run.folder);
    EXPECT_EQ(0, ReportNumber(report, "sound_channel")) << "silent at first";
    EXPECT_NE(0, ReportNumber(report, "sound_channel_later")) << "plays once sound is on";
    std::string missing;
    EXPECT_TRUE(MessagesInOrder(run.Log(),
                                {"Sounds disabled. Null Sound Implementation used.",
                                 "Loading Sound Implementation...", "SoundImplementation initialized."},
                                &missing))
        << missing;
    EXPECT_EQ(-1, FindMessage(run.Log(), "Unable to reload sound"));
}
