// The in-house mixer's refill logic driven with given cursors: which half is filled when, what is
// left of a pass, rewinds of short loops and silence after the end, each half compared sample
// for sample with the source.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "audio/SoundData.h"
#include "audio/SoundDecoder.h"
#include "audio/dsound/CtrmRefill.h"

namespace {

const uint32_t kBufferSize = 88200;
const uint32_t kHalf = kBufferSize / 2;

// A channel over PCM of the given length whose bytes count up (byte i = i * 7 + 3).
class CtrmRefillTest : public ::testing::Test {
protected:
    SoundData* data = nullptr;
    CtrmChannel channel = {};
    std::vector<uint8_t> buffer = std::vector<uint8_t>(kBufferSize, 0xEE);

    void Use(uint32_t pcmBytes, bool looping) {
        data = ZQI_NewSoundData();
        ASSERT_TRUE(ZQI_ResizeSoundBytes(data, pcmBytes));
        for (uint32_t i = 0; i < pcmBytes; ++i) {
            data->bytes.begin[i] = static_cast<uint8_t>(i * 7 + 3);
        }
        data->kind = SOUND_DATA_PCM;
        data->channels = 1;
        data->bytesPerSample = 2;
        data->sampleRate = 44100;
        data->pcmSize = pcmBytes;
        channel.id = 2;
        channel.format = CTRM_MONO;
        channel.bufferSize = kBufferSize;
        channel.decoder = CreateSoundDecoder(data);
        channel.looping = looping ? 1 : 0;
        channel.remaining = looping ? -1 : static_cast<int32_t>(pcmBytes);
    }

    void TearDown() override {
        FreeSoundDecoder(channel.decoder);
        ZQI_DeleteSoundData(data);
    }

    // Plans a pass at the cursors and fills what it asks for; the half filled, or -1, or -2 = stop.
    int32_t Pass(uint32_t play, uint32_t write) {
        CtrmRefillPlan plan = CtrmPlanRefill(&channel, play, write);
        if (plan.stop) {
            return -2;
        }
        if (plan.half >= 0) {
            CtrmFillHalf(&channel, buffer.data(), plan.half);
        }
        return plan.half;
    }

    // The half holds the source from byte `from` on, silence past `end` (end 0 = no end: loops).
    void ExpectHalf(int32_t half, uint32_t from, uint32_t end) {
        const uint8_t* bytes = buffer.data() + half * kHalf;
        uint32_t size = data->pcmSize;
        for (uint32_t i = 0; i < kHalf; ++i) {
            uint32_t source = from + i;
            uint8_t expected = 0;
            if (end == 0) {
                expected = size != 0 ? static_cast<uint8_t>((source % size) * 7 + 3) : 0;
            } else if (source < end) {
                expected = static_cast<uint8_t>(source * 7 + 3);
            }
            ASSERT_EQ(expected, bytes[i]) << "half " << half << " byte " << i;
        }
    }
};

}  // namespace

TEST_F(CtrmRefillTest, OnePassFillsHalvesBehindTheCursorThenStops) {
    Use(100000, false);
    EXPECT_EQ(0, Pass(0, 0)) << "not yet playing: the first half";
    ExpectHalf(0, 0, 100000);
    channel.playing = 1;
    struct Step {
        uint32_t play, write;
        int32_t half;  // filled, -1 none, -2 stopped
        int32_t remaining;
        uint32_t from;  // source byte at the start of the filled half
    };
    const Step steps[] = {
        {10000, 20000, 1, 90000, kHalf},
        {30000, 50000, -1, 70000, 0},  // write cursor already in the other half
        {50000, 60000, 0, 50000, kBufferSize},
        {60000, 70000, -1, 40000, 0},        // that half is not the next to fill
        {10000, 12000, 1, 1800, 3 * kHalf},  // wrapped; past the end: silence
        {12000, 14000, -2, 0, 0},
    };
    for (const Step& step : steps) {
        int32_t half = Pass(step.play, step.write);
        ASSERT_EQ(step.half, half) << "play " << step.play;
        if (half >= 0) {
            ExpectHalf(half, step.from, 100000);
            EXPECT_EQ(step.remaining, channel.remaining);
        }
    }
    EXPECT_EQ(100200u, channel.consumed);
}

TEST_F(CtrmRefillTest, ShortLoopRewindsUntilTheHalfIsFull) {
    Use(1000, true);
    EXPECT_EQ(0, Pass(0, 0));
    ExpectHalf(0, 0, 0);
    channel.playing = 1;
    EXPECT_EQ(1, Pass(100, 200));
    ExpectHalf(1, kHalf, 0);
    EXPECT_EQ(-1, channel.remaining);

    CtrmApplyLooping(&channel, false);  // consumed 100: 900 left of the pass now playing
    EXPECT_EQ(900, channel.remaining);
    CtrmApplyLooping(&channel, true);
    EXPECT_EQ(-1, channel.remaining);
}

TEST_F(CtrmRefillTest, EmptyLoopFillsSilence) {
    Use(0, true);
    EXPECT_EQ(0, Pass(0, 0));
    ExpectHalf(0, 0, 0);
}

TEST_F(CtrmRefillTest, VolumeInHundredthsOfADecibel) {
    EXPECT_EQ(0, CtrmVolumeFromLevel(1.0f));
    EXPECT_EQ(-1000, CtrmVolumeFromLevel(0.5f));
    EXPECT_EQ(-2000, CtrmVolumeFromLevel(0.25f));
    EXPECT_EQ(-10000, CtrmVolumeFromLevel(0.0f));
}
