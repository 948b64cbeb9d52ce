// Shared set-up of the lifecycle tests: the core's locks and API tables, the log running in
// memory (tests read the lines from the console's ring), a recording message box, a test clock,
// a renderer whose device start answers from a script, and a program whose callbacks record.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "engine/RuntimePlatform.h"
#include "platform/InputImp.h"
#include "zorqa.h"

// Everything the stand-ins and the recording program saw, in order ("Init", "Update 0.016" ...).
std::vector<std::string>& CallTrace();
void Trace(const std::string& entry);
// Index of the first trace entry equal to entry; -1 when absent.
int32_t TraceIndex(const std::string& entry);

// The test clock: each reading advances it by perRead; each sleep by its length.
struct TestClock {
    uint32_t now;
    uint32_t perRead;
    std::vector<uint32_t> sleepReadings;  // the last reading before each sleep
    uint32_t lastReading;
};
TestClock& Clock();
void InstallTestClock(uint32_t start, uint32_t perRead);

// The scripted renderer: each device start takes the next answer (true when the script ran
// out) and records the mode it was asked for.
struct RendererStart {
    int32_t width;
    int32_t height;
    uint8_t windowed;
};
struct TestRenderer {
    std::vector<bool> answers;
    std::vector<RendererStart> starts;
    int32_t presents;
    int32_t releases;
    std::vector<std::pair<int32_t, int32_t>> displayModes;
    int32_t displayModeQueries;
};
TestRenderer& Renderer();
void InstallTestRenderer();

// The recording program. Its Init answers InitAnswer(); its Draw runs DrawHook() when set.
zq_program_t& TestProgram();
bool& InitAnswer();
void (*&DrawHook())();
std::vector<zq_event_t>& ReceivedEvents();

// Texts the message box was asked to show.
std::vector<std::string>& Popups();

std::vector<std::string> LoggedLines();
// Lines containing text.
int32_t LoggedCount(const std::string& text);
bool WasLogged(const std::string& text);
// Index of the first line containing text; -1 when none does.
int32_t LoggedIndex(const std::string& text);

// An input back end that does nothing; tests override what they watch.
class StandInInput : public InputImp {
public:
    bool IsSupported() override { return true; }
    const char* GetName() override { return "StandIn"; }
    bool Initialize(void*) override { return true; }
    void Shutdown() override {}
    void SetActive(bool) override {}
    void Update() override {}
    void EndFrame() override {}
    const char* Call(const char*, const char*) override { return nullptr; }
};

class RuntimeTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
};
