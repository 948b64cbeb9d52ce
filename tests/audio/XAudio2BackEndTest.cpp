// The XAudio2 back end on Wine's XAudio2 over the null sound device: voices reach the end of
// their samples, streamed Ogg plays out, loops keep a buffer waiting, pan reaches the output
// matrix, the record limit and the id wrap, freeing a sound whose voice another sound reuses.
// Waits are for states, never for wall-clock lengths (the null device runs faster than real time).
#include <windows.h>
#include <xaudio2.h>

#undef PlaySound  // mmsystem.h's macro would rename the back ends' method

#include <cstring>
#include <functional>
#include <string>

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

// A 16-bit stereo WAV of silence at 44100 Hz, the streamed tone's format.
std::string StereoWav(uint32_t frames) {
    const uint32_t bytes = frames * 4;
    const uint32_t fields[] = {36 + bytes, 16, 0x00020001u, 44100, 44100 * 4, 0x00100004u, bytes};
    std::string wav = "RIFF....WAVEfmt ....................data....";
    memcpy(&wav[4], &fields[0], 4);
    memcpy(&wav[16], &fields[1], 20);
    memcpy(&wav[40], &fields[6], 4);
    return wav + std::string(bytes, '\0');
}

uint32_t RefuseThread(const char*, void (*)(void*), void*, uint32_t) {
    return 0;
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

// A short effect ends on a record whose voice the next sound of the same format takes over; freeing
// the effect afterwards must leave that voice alone, on a channel record and on the music record.
TEST_F(XAudio2BackEndTest, FreeingAnEndedEffectLeavesTheStreamThatReusedItsVoicePlaying) {
    struct Case {
        const char* record;
        std::function<void(SoundResource*)> playAndEnd;
        std::function<uint32_t(SoundResource*)> play;
        std::function<IXAudio2SourceVoice*(uint32_t)> voiceOf;
        std::function<void(uint32_t)> stop;
    };
    const Case cases[] = {
        {"channel",
         [&](SoundResource* effect) {
             uint32_t id = backEnd.PlaySound(effect, 1.0f, 0.0f, 1.0f);
             ASSERT_NE(0u, id);
             ASSERT_TRUE(WaitFor([&] { return !backEnd.IsChannelPlaying(id); }));
         },
         [&](SoundResource* sound) { return backEnd.PlaySound(sound, 1.0f, 0.0f, 1.0f); },
         [&](uint32_t id) { return backEnd.GetChannelVoice(id); },
         [&](uint32_t id) { backEnd.StopChannel(id); }},
        {"music",
         [&](SoundResource* effect) {
             backEnd.PlayMusic(effect, 1.0f);
             ASSERT_NE(nullptr, backEnd.GetMusicVoice());
             backEnd.StopMusic();
         },
         [&](SoundResource* sound) {
             backEnd.PlayMusic(sound, 1.0f);
             return 1u;
         },
         [&](uint32_t) { return backEnd.GetMusicVoice(); }, [&](uint32_t) { backEnd.StopMusic(); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.record);
        const std::string path = std::string("mem://xa/blip-") + c.record + ".wav";
        WriteFile(path, StereoWav(2205));
        SoundResource* effect = ZQ_Audio_LoadSound(path.c_str());
        ASSERT_TRUE(effect->loaded);
        ASSERT_EQ(SOUND_DATA_PCM, effect->data->kind);
        c.playAndEnd(effect);
        if (HasFatalFailure()) {
            return;
        }
        uint32_t id = c.play(streamed);
        ASSERT_NE(0u, id);
        FreeSoundData(effect);  // what a release to 0, cache mode 0 and a reload all come to

        IXAudio2SourceVoice* voice = c.voiceOf(id);
        if (voice == nullptr) {
            ADD_FAILURE() << "the stream lost its voice";
            continue;
        }
        const UINT64 played = StateOf(voice).SamplesPlayed;
        EXPECT_TRUE(WaitFor([&] { return StateOf(voice).SamplesPlayed > played; }))
            << "the stream went silent";
        if (c.record == std::string("channel")) {  // the calls that met a null voice
            EXPECT_TRUE(backEnd.IsChannelPlaying(id));
            backEnd.SetChannelPitch(id, 1.5f);
            float ratio = 0.0f;
            voice->GetFrequencyRatio(&ratio);
            EXPECT_FLOAT_EQ(1.5f, ratio);
            backEnd.SetChannelLooping(id, true);
            backEnd.SetChannelLooping(id, false);
            EXPECT_TRUE(backEnd.IsChannelPlaying(id));
        }
        c.stop(id);
    }
}

TEST_F(XAudio2BackEndTest, FreeingAPlayingSoundStopsItsVoice) {
    uint32_t id = backEnd.PlaySoundWithLooping(mono, 1.0f, 0.0f, 1.0f, true);
    ASSERT_NE(0u, id);
    FreeSoundData(mono);
    EXPECT_FALSE(backEnd.IsChannelPlaying(id));
    EXPECT_EQ(nullptr, mono->data);
}

// Without its update thread no stream would be refilled and no record freed: the back end must
// not report itself ready, so the engine takes the null back end instead.
TEST_F(XAudio2BackEndTest, AnUpdateThreadThatCannotStartFailsTheInitialisation) {
    backEnd.Shutdown();
    backEnd.SetThreadStarter(RefuseThread);
    EXPECT_FALSE(backEnd.Initialize(&g_core, nullptr));
    EXPECT_TRUE(WasLogged("XAudio2: failed to start the \"XAudio2Update\" thread."));
    EXPECT_EQ(nullptr, backEnd.GetSoundMaster()) << "the engines are released again";
    backEnd.SetThreadStarter(nullptr);
    ASSERT_TRUE(backEnd.Initialize(&g_core, nullptr));
    uint32_t id = backEnd.PlaySound(mono, 1.0f, 0.0f, 1.0f);
    EXPECT_TRUE(WaitFor([&] { return !backEnd.IsChannelPlaying(id); })) << "the thread frees records again";
}
