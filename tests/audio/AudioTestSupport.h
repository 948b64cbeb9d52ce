// Shared set-up of the audio tests: the engine's file systems (sounds are written to mem://),
// the tone fixtures made by tools/make-tones.py, popups caught in developer mode, the log kept in
// memory, a test clock,
// and a back end that records what the audio system asks of it and hands out ids.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "audio/null/NullSoundImplementation.h"

namespace AudioTest {

// The bytes of a fixture file ("tone-mono.ogg"); fails the test when it is missing.
std::string Fixture(const char* name);
// Writes bytes to a path through the file-system API ("mem://boom.ogg").
void WriteFile(const std::string& path, const std::string& bytes);

// The popups shown since the last Reset (developer mode, each shown at once).
std::vector<std::string>& Popups();
bool PopupShown(const std::string& text);
// Whether a line logged since the last Reset holds the text.
bool WasLogged(const std::string& text);

// Polls until the condition holds, up to 10 s; for back ends that play in real time (or faster).
bool WaitFor(const std::function<bool()>& condition);

// The audio clock reads this value.
uint32_t& Now();

// A back end that plays everything it is given: ids count up from 1, a channel plays until the
// test ends it (Finish) or StopChannel; each call is recorded as a line ("Play 3 v=0.5").
class RecordingBackEnd : public SoundImplementationNull {
public:
    std::vector<std::string> calls;
    std::vector<uint32_t> playing;
    uint32_t nextId = 1;
    bool refuse = false;

    uint32_t PlaySound(SoundResource* sound, float volume, float pan, float pitch) override;
    void StopChannel(uint32_t channel) override;
    void SetChannelVolume(uint32_t channel, float volume) override;
    void SetChannelPaused(uint32_t channel, bool paused) override;
    bool IsChannelPlaying(uint32_t channel) override;
    void PlayMusic(SoundResource* sound, float volume) override;
    void StopMusic() override;
    void SetMusicVolume(float volume) override;
    void SetMasterVolume(float volume) override;
    void Finish(uint32_t channel);
    int32_t Count(const std::string& prefix) const;
};

// Developer mode with caught popups, the log in memory, the test clock at 1000 ms, the given back end taken,
// an empty pool and sound enabled; TearDown puts the null back end and the engine clock back.
class AudioTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    void Use(SoundImplementation* backEnd);
};

}  // namespace AudioTest
