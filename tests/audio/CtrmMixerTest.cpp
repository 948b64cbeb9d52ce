// The Copper Trumpet mixer on Wine's DirectSound over the null sound device: what a play puts in
// its buffer, the moving play cursor, a channel that frees itself, the fixed split of mono and
// stereo channels, volume in hundredths of a decibel, and the silence buffer.
#include <windows.h>
#include <mmsystem.h>
#include <dsound.h>

#include <cstring>
#undef PlaySound  // mmsystem.h's macro would rename the back ends' method

#include <functional>
#include <string>

#include "AudioTestSupport.h"
#include "audio/SoundData.h"
#include "audio/SoundResource.h"
#include "audio/dsound/CtrmMixer.h"
#include "audio/dsound/SoundImpCTRM.h"
#include "core/CoreState.h"

using namespace AudioTest;

namespace {

IDirectSoundBuffer* BufferOf(uint32_t id) {
    return static_cast<IDirectSoundBuffer*>(CtrmGetChannelBuffer(id));
}

bool IsBufferPlaying(IDirectSoundBuffer* buffer) {
    DWORD status = 0;
    return buffer != nullptr && SUCCEEDED(buffer->GetStatus(&status)) && (status & DSBSTATUS_PLAYING) != 0;
}

void* RefuseThread(unsigned long(__stdcall*)(void*)) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
}

class CtrmMixerTest : public AudioTest::AudioTest {
protected:
    SoundImpCTRM backEnd;
    SoundResource* mono = nullptr;

    void SetUp() override {
        AudioTest::AudioTest::SetUp();
        g_core.gameWindow = GetDesktopWindow();
        ASSERT_TRUE(backEnd.Initialize(&g_core, nullptr)) << CtrmGetLastError();
        Use(&backEnd);
        WriteFile("mem://ct/mono.wav", Fixture("tone-mono.wav"));
        mono = ZQ_Audio_LoadSound("mem://ct/mono.wav");
        ASSERT_TRUE(mono->loaded);
    }

    void TearDown() override {
        backEnd.Shutdown();
        g_core.gameWindow = nullptr;
        AudioTest::AudioTest::TearDown();
    }
};

}  // namespace

TEST_F(CtrmMixerTest, PlayFillsTheBufferWithTheSourceAndTheCursorMoves) {
    EXPECT_TRUE(IsBufferPlaying(static_cast<IDirectSoundBuffer*>(CtrmGetSilenceBuffer())));
    uint32_t id = backEnd.PlaySound(mono, 1.0f, 0.0f, 1.0f);
    EXPECT_EQ(2u, id) << "the first id handed out is 2";
    IDirectSoundBuffer* buffer = BufferOf(id);
    ASSERT_NE(nullptr, buffer);
    EXPECT_FALSE(IsBufferPlaying(static_cast<IDirectSoundBuffer*>(CtrmGetSilenceBuffer())));
    void* bytes = nullptr;
    DWORD size = 0;
    ASSERT_EQ(DS_OK, buffer->Lock(0, 0, &bytes, &size, nullptr, nullptr, DSBLOCK_ENTIREBUFFER));
    EXPECT_EQ(88200u, size);
    EXPECT_EQ(0, memcmp(bytes, mono->data->bytes.begin, 44100)) << "the first half is the source's start";
    buffer->Unlock(bytes, size, nullptr, 0);
    DWORD first = 0;
    DWORD write = 0;
    buffer->GetCurrentPosition(&first, &write);
    EXPECT_TRUE(WaitFor([&] {
        DWORD now = 0;
        buffer->GetCurrentPosition(&now, &write);
        return now != first;
    }));
    EXPECT_TRUE(WaitFor([&] { return CtrmGetChannelState(id) == 0; }))
        << "played out: the channel frees itself";
    EXPECT_TRUE(
        WaitFor([] { return IsBufferPlaying(static_cast<IDirectSoundBuffer*>(CtrmGetSilenceBuffer())); }));
}

TEST_F(CtrmMixerTest, FortyMonoChannelsThenNone) {
    for (int i = 0; i < 40; ++i) {
        ASSERT_NE(0u, backEnd.PlaySoundWithLooping(mono, 0.0f, 0.0f, 1.0f, true)) << i;
    }
    EXPECT_EQ(0u, backEnd.PlaySound(mono, 0.0f, 0.0f, 1.0f)) << "stereo channels are not shared";
}

TEST_F(CtrmMixerTest, VolumeIsMasterTimesChannelInHundredthsOfADecibel) {
    uint32_t id = backEnd.PlaySoundWithLooping(mono, 1.0f, 0.0f, 1.0f, true);
    backEnd.SetMasterVolume(0.5f);
    LONG volume = 0;
    ASSERT_EQ(DS_OK, BufferOf(id)->GetVolume(&volume));
    EXPECT_EQ(-1000, volume);
    backEnd.SetChannelVolume(id, 0.0f);
    BufferOf(id)->GetVolume(&volume);
    EXPECT_EQ(-10000, volume);
    backEnd.SetChannelPan(id, -0.5f);
    LONG pan = 0;
    BufferOf(id)->GetPan(&pan);
    EXPECT_EQ(-5000, pan);
    backEnd.SetChannelPaused(id, true);
    EXPECT_EQ(2, CtrmGetChannelState(id));
    EXPECT_FALSE(IsBufferPlaying(BufferOf(id)));
    backEnd.StopChannel(id);
    EXPECT_EQ(0, CtrmGetChannelState(id));
}

TEST_F(CtrmMixerTest, FreeingASoundStopsItsChannels) {
    uint32_t id = backEnd.PlaySoundWithLooping(mono, 1.0f, 0.0f, 1.0f, true);
    ASSERT_NE(0u, id);
    FreeSoundData(mono);
    EXPECT_EQ(0, CtrmGetChannelState(id));
}

// Without its refill thread no channel would be refilled or freed: the mixer must not report
// itself ready, so the engine takes the null back end instead.
TEST_F(CtrmMixerTest, ARefillThreadThatCannotStartFailsTheInitialisation) {
    backEnd.Shutdown();
    CtrmSetThreadStarter(RefuseThread);
    EXPECT_FALSE(backEnd.Initialize(&g_core, nullptr));
    CtrmSetThreadStarter(nullptr);
    EXPECT_TRUE(
        WasLogged("CtrmInitialize: Copper Trumpet error: CreateThread (0x80070008, platform error 8); "
                  "the refill thread did not start."));
    EXPECT_EQ(nullptr, CtrmGetSilenceBuffer()) << "everything made is released again";
    EXPECT_EQ(0u, backEnd.PlaySound(mono, 1.0f, 0.0f, 1.0f));
    ASSERT_TRUE(backEnd.Initialize(&g_core, nullptr));
    uint32_t id = backEnd.PlaySound(mono, 1.0f, 0.0f, 1.0f);
    EXPECT_TRUE(WaitFor([&] { return CtrmGetChannelState(id) == 0; })) << "the thread frees channels again";
}
