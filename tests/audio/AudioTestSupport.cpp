// Shared set-up of the audio tests.
#include "AudioTestSupport.h"

#include <chrono>
#include <cstdio>
#include <thread>
#include <cstring>
#include <fstream>
#include <sstream>

#include "EngineTestFiles.h"
#include "audio/AudioSystem.h"
#include "audio/SoundResource.h"
#include "core/Console.h"
#include "core/CoreState.h"
#include "core/Log.h"
#include "filesystem/FileSystemApi.h"

namespace AudioTest {
namespace {

::testing::Environment* const g_environment = ::testing::AddGlobalTestEnvironment(
    new EngineTest::FileSystemsEnvironment("zq_audio_tests", {{SCHEME_RES, "res"}}));

std::vector<std::string> g_popups;
uint32_t g_now = 1000;
zq_program_t g_program;

int32_t CatchPopup(int32_t, const char* text) {
    g_popups.push_back(text);
    return 0;
}

void StartLogInMemory() {
    LogSettings settings;
    memset(&settings, 0, sizeof(settings));
    settings.loggingEnabled = true;
    settings.developerMode = true;
    settings.programId = "audio";
    ZQI_StartLog(ZQI_GetConsole(), settings);
}

uint32_t ReadClock() {
    return g_now;
}

// "Name id v=value", or "Name v=value" for id 0.
std::string Line(const char* name, uint32_t id, float value) {
    char text[96];
    if (id != 0) {
        snprintf(text, sizeof(text), "%s %u v=%g", name, id, value);
    } else {
        snprintf(text, sizeof(text), "%s v=%g", name, value);
    }
    return text;
}

}  // namespace

std::string Fixture(const char* name) {
    std::ifstream in(std::string(ZQ_AUDIO_FIXTURES) + "/" + name, std::ios::binary);
    EXPECT_TRUE(in.good()) << "missing fixture " << name;
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void WriteFile(const std::string& path, const std::string& bytes) {
    zq_file_t* file = ZQ_FileSystem_OpenFile(path.c_str(), "w");
    ASSERT_NE(nullptr, file) << path;
    EXPECT_EQ(bytes.size(), ZQ_FileSystem_WriteFile(bytes.data(), bytes.size(), file));
    ZQ_FileSystem_CloseFile(file);
}

std::vector<std::string>& Popups() {
    return g_popups;
}

bool PopupShown(const std::string& text) {
    for (const std::string& popup : g_popups) {
        if (popup == text) {
            return true;
        }
    }
    return false;
}

bool WaitFor(const std::function<bool()>& condition) {
    for (int i = 0; i < 1000; ++i) {
        if (condition()) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return condition();
}

bool WasLogged(const std::string& text) {
    const Console* console = ZQI_GetConsole();
    for (int32_t i = 0; i < console->lines.count; ++i) {
        const ConsoleLine& line = console->lines.data[i];
        if (line.lineNumber != 0 && line.text != nullptr &&
            std::string(line.text).find(text) != std::string::npos) {
            return true;
        }
    }
    return false;
}

uint32_t& Now() {
    return g_now;
}

uint32_t RecordingBackEnd::PlaySound(SoundResource*, float volume, float, float) {
    if (refuse) {
        return 0;
    }
    uint32_t id = nextId++;
    playing.push_back(id);
    calls.push_back(Line("Play", id, volume));
    return id;
}

void RecordingBackEnd::StopChannel(uint32_t channel) {
    calls.push_back("Stop " + std::to_string(channel));
    Finish(channel);
}

void RecordingBackEnd::SetChannelVolume(uint32_t channel, float volume) {
    calls.push_back(Line("Volume", channel, volume));
}

void RecordingBackEnd::SetChannelPaused(uint32_t channel, bool paused) {
    calls.push_back(Line("Paused", channel, paused ? 1.0f : 0.0f));
}

bool RecordingBackEnd::IsChannelPlaying(uint32_t channel) {
    for (uint32_t id : playing) {
        if (id == channel) {
            return true;
        }
    }
    return false;
}

void RecordingBackEnd::PlayMusic(SoundResource* sound, float volume) {
    calls.push_back(Line((std::string("PlayMusic ") + sound->name).c_str(), 0, volume));
}

void RecordingBackEnd::StopMusic() {
    calls.push_back("StopMusic");
}

void RecordingBackEnd::SetMusicVolume(float volume) {
    calls.push_back(Line("MusicVolume", 0, volume));
}

void RecordingBackEnd::SetMasterVolume(float volume) {
    calls.push_back(Line("Master", 0, volume));
}

void RecordingBackEnd::Finish(uint32_t channel) {
    for (size_t i = 0; i < playing.size(); ++i) {
        if (playing[i] == channel) {
            playing.erase(playing.begin() + static_cast<long>(i));
            return;
        }
    }
}

int32_t RecordingBackEnd::Count(const std::string& prefix) const {
    int32_t count = 0;
    for (const std::string& call : calls) {
        count += call.compare(0, prefix.size(), prefix) == 0 ? 1 : 0;
    }
    return count;
}

void AudioTest::SetUp() {
    g_popups.clear();
    g_core.developerMode = 1;
    g_core.consoleEnabled = 1;
    g_core.logVerboseLevel = 0;
    g_core.programInitCalled = 0;
    g_core.popupMessage = CatchPopup;
    memset(&g_program, 0, sizeof(g_program));
    g_core.program = &g_program;
    g_now = 1000;
    ZQI_SetAudioClock(ReadClock);
    ZQI_ResetSoundPool();
    Use(ZQI_GetNullSoundImplementation());
    StartLogInMemory();
}

void AudioTest::TearDown() {
    ZQI_StopLog(ZQI_GetConsole());
    Use(ZQI_GetNullSoundImplementation());  // a test's own back end may be gone already
    ZQI_ResetSoundPool();
    ZQI_SetAudioClock(nullptr);
    g_core.program = nullptr;
    g_core.popupMessage = nullptr;
    g_core.developerMode = 0;
    g_core.logVerboseLevel = 2;
}

void AudioTest::Use(SoundImplementation* backEnd) {
    ZQI_SetAudioSoundImplementation(backEnd);
}

}  // namespace AudioTest
