// Channels and music on a recording back end with a test clock: the retrigger guard, the limit of
// 20 per sound, delayed and paused starts, slides and fade-outs, and music switches and pauses.
#include <algorithm>
#include <string>

#include "AudioTestSupport.h"
#include "audio/AudioSystem.h"
#include "audio/SoundChannel.h"
#include "audio/SoundResource.h"

using namespace AudioTest;

namespace {

class SoundChannelTest : public AudioTest::AudioTest {
protected:
    RecordingBackEnd backEnd;
    SoundResource* tone = nullptr;   // 1 s
    SoundResource* other = nullptr;  // 1 s

    void SetUp() override {
        AudioTest::AudioTest::SetUp();
        WriteFile("mem://ch/tone.wav", Fixture("tone-mono.wav"));
        WriteFile("mem://ch/other.wav", Fixture("tone-mono.wav"));
        Use(&backEnd);
        tone = ZQ_Audio_LoadSound("mem://ch/tone");
        other = ZQ_Audio_LoadSound("mem://ch/other");
        UpdateAudio();  // the first step measures from 0
    }

    // Moves the clock on and runs one frame's audio step.
    void Step(uint32_t milliseconds) {
        Now() += milliseconds;
        UpdateAudio();
    }

    bool Called(const std::string& call) const {
        return std::find(backEnd.calls.begin(), backEnd.calls.end(), call) != backEnd.calls.end();
    }
};

}  // namespace

TEST_F(SoundChannelTest, RetriggerWithin25MsIsRefusedAndLeavesNoEntry) {
    EXPECT_NE(0u, ZQ_Audio_PlaySound(tone, 1.0f, 0.0f, 1.0f));
    Now() += 24;
    EXPECT_EQ(0u, ZQ_Audio_PlaySound(tone, 1.0f, 0.0f, 1.0f));
    EXPECT_EQ(1, ZQI_GetSoundChannelCount());
    Now() += 1;
    EXPECT_NE(0u, ZQ_Audio_PlaySound(tone, 1.0f, 0.0f, 1.0f));
    backEnd.refuse = true;
    Now() += 30;
    EXPECT_EQ(0u, ZQ_Audio_PlaySound(tone, 1.0f, 0.0f, 1.0f));
    EXPECT_EQ(2, ZQI_GetSoundChannelCount()) << "a refused start gives its entry back";
}

TEST_F(SoundChannelTest, AtMost20PlayingChannelsOfOneSound) {
    uint32_t first = 0;
    for (int i = 0; i < 20; ++i) {
        uint32_t id = ZQ_Audio_PlaySound(tone, 1.0f, 0.0f, 1.0f);
        ASSERT_NE(0u, id) << i;
        first = first == 0 ? id : first;
        Now() += 30;
    }
    EXPECT_EQ(0u, ZQ_Audio_PlaySound(tone, 1.0f, 0.0f, 1.0f)) << "21st while 20 play";
    EXPECT_NE(0u, ZQ_Audio_PlaySound(other, 1.0f, 0.0f, 1.0f)) << "another sound still plays";
    backEnd.Finish(1);  // the first start has played out on the back end
    Now() += 400;       // and more than its length less 100 ms has passed
    EXPECT_NE(0u, ZQ_Audio_PlaySound(tone, 1.0f, 0.0f, 1.0f));
    EXPECT_FALSE(ZQ_Audio_IsSoundPlaying(first));
}

TEST_F(SoundChannelTest, DelayedStartPlaysBeforeItStartsAndPausingPostponesIt) {
    uint32_t id = ZQ_Audio_PlaySoundWithDelay(tone, 0.5f, 0.0f, 1.0f, false, 0.5f);  // due at 1500
    ASSERT_NE(0u, id);
    EXPECT_TRUE(ZQ_Audio_IsSoundPlaying(id));
    EXPECT_EQ(tone, ZQ_Audio_GetChannelSound(id));
    Step(400);
    ZQ_Audio_SetChannelPaused(id, true);
    Step(200);  // paused: now due at 1700
    ZQ_Audio_SetChannelPaused(id, false);
    Step(100);
    EXPECT_EQ(0, backEnd.Count("Play"));
    Step(10);
    EXPECT_TRUE(Called("Play 1 v=0.5"));
    EXPECT_TRUE(ZQ_Audio_IsSoundPlaying(id)) << "the program's id stays";
}

TEST_F(SoundChannelTest, TooLongDelayWarnsAndIsCutTo15Seconds) {
    uint32_t id = ZQ_Audio_PlaySoundWithDelay(tone, 1.0f, 0.0f, 1.0f, true, 20.0f);
    EXPECT_TRUE(PopupShown(
        "Trying to play sound 'mem://ch/tone' with too long delay 20.0s (warning triggers at 15s)"));
    Step(14990);
    EXPECT_EQ(0, backEnd.Count("Play"));
    Step(20);
    EXPECT_EQ(1, backEnd.Count("Play"));
    backEnd.Finish(1);
    Step(5000);
    EXPECT_TRUE(ZQ_Audio_IsSoundPlaying(id)) << "a looping channel counts as playing";
}

TEST_F(SoundChannelTest, SlidesEndAtTheirTargetAndFadeOutsStop) {
    uint32_t id = ZQ_Audio_PlaySound(tone, 1.0f, 0.0f, 1.0f);
    ZQ_Audio_SlideChannelVolume(id, 0.5f, 1.0f);
    for (int i = 0; i < 3; ++i) {
        Step(300);
    }
    EXPECT_TRUE(Called("Volume 1 v=0.55"));
    Step(300);
    EXPECT_EQ("Volume 1 v=0.5", backEnd.calls.back()) << "the slide ends exactly at its target";
    ZQ_Audio_SlideChannelVolume(id, 0.0f, 0.5f);
    Step(250);
    EXPECT_TRUE(ZQ_Audio_IsSoundPlaying(id));
    Step(250);
    EXPECT_EQ("Stop 1", backEnd.calls.back());
    EXPECT_FALSE(ZQ_Audio_IsSoundPlaying(id));
    EXPECT_EQ(0, ZQI_GetSoundChannelCount());
}

TEST_F(SoundChannelTest, MusicSwitchFadesOutThenStartsInTheSameStep) {
    ZQ_Audio_PlayMusic(tone, 1.0f, 0.0f);
    Step(10);
    EXPECT_EQ("PlayMusic mem://ch/tone v=1", backEnd.calls.back());
    ZQ_Audio_PlayMusic(tone, 0.5f, 0.0f);
    Step(1000);
    EXPECT_EQ(1, backEnd.Count("PlayMusic")) << "the same music slides instead of restarting";
    EXPECT_EQ("MusicVolume v=0.5", backEnd.calls.back());

    ZQ_Audio_PlayMusic(other, 1.0f, 2.0f);
    EXPECT_EQ(other, ZQ_Audio_GetMusic());
    Step(500);
    EXPECT_EQ(0, backEnd.Count("StopMusic")) << "the old music fades out over 1 s";
    Step(500);
    auto stop = std::find(backEnd.calls.begin(), backEnd.calls.end(), "StopMusic");
    ASSERT_NE(backEnd.calls.end(), stop);
    ASSERT_NE(backEnd.calls.end(), stop + 1);
    EXPECT_EQ("PlayMusic mem://ch/other v=0", *(stop + 1)) << "the new one starts in the same step";
    Step(2000);
    EXPECT_EQ("MusicVolume v=1", backEnd.calls.back()) << "after its own fade-in";
}

TEST_F(SoundChannelTest, StopMusicTwiceAndPausedRequests) {
    ZQ_Audio_PlayMusic(tone, 1.0f, 0.0f);
    ZQ_Audio_SetMusicPaused(true);
    Step(100);
    EXPECT_EQ(0, backEnd.Count("PlayMusic")) << "a paused request waits";
    ZQ_Audio_SetMusicPaused(false);
    Step(100);
    EXPECT_EQ(1, backEnd.Count("PlayMusic"));
    ZQ_Audio_StopMusic(0.5f);
    ZQ_Audio_StopMusic(0.5f);
    EXPECT_EQ(nullptr, ZQ_Audio_GetMusic());
    Step(600);
    EXPECT_EQ(1, backEnd.Count("StopMusic"));
    ZQ_Audio_SetMusicPaused(true);
    ZQ_Audio_PlayMusic(other, 1.0f, 0.0f);  // clears the pause itself
    Step(100);
    EXPECT_TRUE(Called("PlayMusic mem://ch/other v=1"));
}
