// The XAudio2 back end on Wine's XAudio2 over the null sound device: voices reach the end of
// their samples, streamed Ogg plays out, loops keep a buffer waiting, pan reaches the output
// matrix, the record limit and the id wrap. Waits are for states, never for wall-clock lengths
// (the null device runs faster than real time).
#include <windows.h>
#include <xaudio2.h>

#undef PlaySound  // mmsystem.h's macro would rename the back ends' method

#include <functional>

#include "AudioTestSupport.h"
#include "audio/SoundData.h"
#include "audio/SoundResource.h"
#include "audio/xaudio2/SoundImpXAudio2.h"
#include "core/CoreState.h"

using namespace AudioTest;

namespace {

XAUDIO2_VOICE_STATE StateOf(IXAudio2SourceVoice* voice) {
    XAUDIO2_VOICE_STATE state = {};
    voice->GetState(&state, 0);
    return state;
}

class XAudio2BackEndTest : public AudioTest::AudioTest {
protected:
    SoundImpXAudio2 backEnd;
    SoundResource* mono = nullptr;
    SoundResource* stereo = nullptr;
    SoundResource* streamed = nullptr;

    void SetUp() override {
        AudioTest::AudioTest::SetUp();
        ASSERT_TRUE(backEnd.Initialize(&g_core, nullptr));
        Use(&backEnd);
        WriteFile("mem://xa/mono.wav", Fixture("tone-mono.wav"));
        WriteFile("mem://xa/stereo.ogg", Fixture("tone-stereo.ogg"));
        mono = ZQ_Audio_LoadSound("mem://xa/mono.wav");
        streamed = ZQ_Audio_LoadSound("mem://xa/stereo.ogg");
        ASSERT_TRUE(mono->loaded && streamed->loaded);
        ASSERT_EQ(SOUND_DATA_VORBIS, streamed->data->kind);
    }

    void TearDown() override {
        backEnd.Shutdown();
        AudioTest::AudioTest::TearDown();
    }
};

}  // namespace

TEST_F(XAudio2BackEndTest, PcmPlaysEverySampleThenFreesItsRecord) {
    uint32_t id = backEnd.PlaySound(mono, 1.0f, 0.0f, 1.0f);
    ASSERT_NE(0u, id);
    IXAudio2SourceVoice* voice = backEnd.GetChannelVoice(id);
    ASSERT_NE(nullptr, voice);
    EXPECT_TRUE(WaitFor([&] { return StateOf(voice).SamplesPlayed >= 44100; }));
    EXPECT_TRUE(WaitFor([&] { return !backEnd.IsChannelPlaying(id); }));
}

TEST_F(XAudio2BackEndTest, StreamedOggPlaysToItsEnd) {
    uint32_t id = backEnd.PlaySound(streamed, 1.0f, 0.0f, 1.0f);
    ASSERT_NE(0u, id);
    IXAudio2SourceVoice* voice = backEnd.GetChannelVoice(id);
    ASSERT_NE(nullptr, voice);
    EXPECT_TRUE(WaitFor([&] { return !backEnd.IsChannelPlaying(id); }));
    EXPECT_EQ(132300u, StateOf(voice).SamplesPlayed) << "every frame of the 3 s stream, no more";
}

TEST_F(XAudio2BackEndTest, LoopingVoiceKeepsOneBufferWaiting) {
    uint32_t id = backEnd.PlaySoundWithLooping(mono, 1.0f, 0.0f, 1.0f, true);
    IXAudio2SourceVoice* voice = backEnd.GetChannelVoice(id);
    ASSERT_NE(nullptr, voice);
    EXPECT_EQ(2u, StateOf(voice).BuffersQueued);
    ASSERT_TRUE(WaitFor([&] { return StateOf(voice).SamplesPlayed > 2 * 44100; }));
    EXPECT_TRUE(WaitFor([&] { return StateOf(voice).BuffersQueued == 2; })) << "re-queued after each pass";
    EXPECT_TRUE(backEnd.IsChannelPlaying(id));
    backEnd.SetChannelLooping(id, false);
    EXPECT_TRUE(WaitFor([&] { return !backEnd.IsChannelPlaying(id); }))
        << "the pass ends, then the record frees";
}

TEST_F(XAudio2BackEndTest, PanReachesTheOutputMatrix) {
    struct Case {
        SoundResource* sound;
        float pan;
        float expected[4];
    };
    const Case cases[] = {
        {mono, -1.0f, {1.0f, 0.0f}},
        {mono, 0.25f, {0.75f, 1.0f}},
        {streamed, 0.5f, {0.5f, 0.0f, 0.0f, 1.0f}},
        {streamed, -0.5f, {1.0f, 0.0f, 0.0f, 0.5f}},
    };
    for (const Case& c : cases) {
        uint32_t id = backEnd.PlaySound(c.sound, 1.0f, c.pan, 1.0f);
        IXAudio2SourceVoice* voice = backEnd.GetChannelVoice(id);
        ASSERT_NE(nullptr, voice);
        UINT32 sources = c.sound->data->channels;
        float levels[4] = {-1.0f, -1.0f, -1.0f, -1.0f};
        voice->GetOutputMatrix(backEnd.GetSoundMaster(), sources, 2, levels);
        for (UINT32 i = 0; i < 2 * sources; ++i) {
            EXPECT_FLOAT_EQ(c.expected[i], levels[i]) << "pan " << c.pan << " level " << i;
        }
        backEnd.StopChannel(id);
    }
}

TEST_F(XAudio2BackEndTest, The129thEffectGetsNoRecordAndIdsWrap) {
    for (int i = 0; i < XAUDIO2_RECORD_COUNT; ++i) {
        ASSERT_NE(0u, backEnd.PlaySoundWithLooping(mono, 0.0f, 0.0f, 1.0f, true)) << i;
    }
    EXPECT_EQ(0u, backEnd.PlaySound(mono, 0.0f, 0.0f, 1.0f));
    backEnd.Shutdown();
    ASSERT_TRUE(backEnd.Initialize(&g_core, nullptr));
    backEnd.SetNextChannelId(XAUDIO2_LAST_ID - 1);
    EXPECT_EQ(static_cast<uint32_t>(XAUDIO2_LAST_ID - 1), backEnd.PlaySound(mono, 0.0f, 0.0f, 1.0f));
    EXPECT_EQ(1u, backEnd.PlaySound(mono, 0.0f, 0.0f, 1.0f));
}

TEST_F(XAudio2BackEndTest, FreeingAPlayingSoundStopsItsVoice) {
    uint32_t id = backEnd.PlaySoundWithLooping(mono, 1.0f, 0.0f, 1.0f, true);
    ASSERT_NE(0u, id);
    FreeSoundData(mono);
    EXPECT_FALSE(backEnd.IsChannelPlaying(id));
    EXPECT_EQ(nullptr, mono->data);
}
