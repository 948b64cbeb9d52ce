// The sounds' part of the memory estimates, from sounds loaded into the pool: a sound of 4194304
// bytes counts, a larger one is music and does not.
#include <string>

#include "AudioTestSupport.h"
#include "audio/SoundResource.h"
#include "core/CoreState.h"
#include "core/MemoryStatistics.h"

using namespace AudioTest;

namespace {

// A 16-bit mono WAV file at 44100 Hz whose data chunk holds dataSize bytes of silence.
std::string SilentWav(uint32_t dataSize) {
    std::string file;
    auto add32 = [&file](uint32_t value) {
        for (int i = 0; i < 4; ++i) {
            file += static_cast<char>((value >> (8 * i)) & 0xFF);
        }
    };
    auto add16 = [&file](uint16_t value) {
        file += static_cast<char>(value & 0xFF);
        file += static_cast<char>(value >> 8);
    };
    file += "RIFF";
    add32(36 + dataSize);
    file += "WAVEfmt ";
    add32(16);
    add16(1);  // PCM
    add16(1);  // mono
    add32(44100);
    add32(88200);
    add16(2);
    add16(16);
    file += "data";
    add32(dataSize);
    file.append(dataSize, '\0');
    return file;
}

using SoundMemoryTest = AudioTest::AudioTest;

TEST_F(SoundMemoryTest, SoundsUpTo4194304BytesCountAndLargerOnesAreMusic) {
    ASSERT_TRUE(ZQI_RegisterMemoryEstimateSource(ZQI_AddSoundMemoryEstimates));
    WriteFile("mem://memory/effect.wav", SilentWav(4194304));
    WriteFile("mem://memory/music.wav", SilentWav(4194306));
    WriteFile("mem://memory/click.wav", SilentWav(1000));
    SoundResource* sounds[] = {ZQ_Audio_LoadSound("mem://memory/effect"),
                               ZQ_Audio_LoadSound("mem://memory/music"),
                               ZQ_Audio_LoadSound("mem://memory/click")};
    ASSERT_EQ(4194306u, sounds[1]->dataSize);  // the next size a 16-bit sound can have
    ZQI_RefreshMemUsageEstimates();
    EXPECT_EQ(4194304 + 1000, g_core.inputStates[MEMORY_STAT_SOUND]);
    ZQ_Audio_ReleaseSound(sounds[0]);  // hibernated: its data is gone
    ZQI_RefreshMemUsageEstimates();
    EXPECT_EQ(1000, g_core.inputStates[MEMORY_STAT_SOUND]);
    EXPECT_TRUE(ZQI_UnregisterMemoryEstimateSource(ZQI_AddSoundMemoryEstimates));
}

}  // namespace
