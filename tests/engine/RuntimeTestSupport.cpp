// Shared set-up of the lifecycle tests (see RuntimeTestSupport.h).
#include "RuntimeTestSupport.h"

#include <cstring>

#include "core/ApiTable.h"
#include "core/Console.h"
#include "core/CoreState.h"
#include "core/Features.h"
#include "core/Log.h"
#include "core/NamedMutex.h"
#include "core/Threads.h"
#include "graphics/HighLevelRenderer.h"
#include "engine/RuntimeState.h"
#include "graphics/d3d11/RendererImplementation.h"

namespace {

TestClock g_clock;
TestRenderer g_renderer;
zq_program_t g_program;
bool g_initAnswer = true;
void (*g_drawHook)() = nullptr;
std::vector<zq_event_t> g_events;

uint32_t ReadClock() {
    g_clock.lastReading = g_clock.now;
    g_clock.now += g_clock.perRead;
    return g_clock.lastReading;
}

void SleepClock(uint32_t milliseconds) {
    g_clock.sleepReadings.push_back(g_clock.lastReading);
    g_clock.now += milliseconds;
}

bool StartDevice(RendererImplementation*, const RendererPlatform& platform) {
    g_renderer.starts.push_back(
        {platform.parameters->width, platform.parameters->height, platform.parameters->windowed});
    size_t attempt = g_renderer.starts.size() - 1;
    return attempt >= g_renderer.answers.size() || g_renderer.answers[attempt];
}

void ReleaseDevice(RendererImplementation*) {
    ++g_renderer.releases;
    Trace("Renderer Release");
}

void ListModes(int32_t, Array<Resolution>& out) {
    ++g_renderer.displayModeQueries;
    for (const auto& mode : g_renderer.displayModes) {
        out.Push(Resolution{mode.first, mode.second});
    }
}

bool RefuseResize(RendererImplementation*, int32_t, int32_t, int32_t, bool) {
    return false;
}

void CountPresent(RendererImplementation*) {
    ++g_renderer.presents;
    Trace("Present");
}

bool NoDesktopSize(RendererImplementation*, int32_t, int32_t*, int32_t*) {
    return false;
}

std::string StepText(float step) {
    char text[32];
    snprintf(text, sizeof(text), "%.3f", step);
    return text;
}

bool ProgramInit() {
    Trace("Init");
    return g_initAnswer;
}
void ProgramShutdown() {
    Trace("Program Shutdown");
}
void ProgramUpdate(float step) {
    Trace("Update " + StepText(step));
}
void ProgramDraw(float step) {
    Trace("Draw " + StepText(step));
    if (g_drawHook != nullptr) {
        g_drawHook();
    }
}
int32_t ProgramEvent(const zq_event_t* event) {
    g_events.push_back(*event);
    return 0;
}

int32_t RecordPopup(int32_t, const char* text) {
    Popups().push_back(text != nullptr ? text : "");
    return 0;
}

}  // namespace

std::vector<std::string>& Popups() {
    static std::vector<std::string> popups;
    return popups;
}

int32_t LoggedCount(const std::string& text) {
    int32_t count = 0;
    for (const std::string& line : LoggedLines()) {
        count += line.find(text) != std::string::npos ? 1 : 0;
    }
    return count;
}

std::vector<std::string>& CallTrace() {
    static std::vector<std::string> trace;
    return trace;
}

void Trace(const std::string& entry) {
    CallTrace().push_back(entry);
}

int32_t TraceIndex(const std::string& entry) {
    const std::vector<std::string>& trace = CallTrace();
    for (size_t i = 0; i < trace.size(); ++i) {
        if (trace[i] == entry) {
            return static_cast<int32_t>(i);
        }
    }
    return -1;
}

TestClock& Clock() {
    return g_clock;
}

void InstallTestClock(uint32_t start, uint32_t perRead) {
    g_clock = TestClock{start, perRead, {}, 0};
    RuntimeClock clock = {ReadClock, SleepClock};
    ZQI_SetRuntimeClock(&clock);
}

TestRenderer& Renderer() {
    return g_renderer;
}

void InstallTestRenderer() {
    g_renderer = TestRenderer{};
    RuntimeRendererCalls calls = {StartDevice,  ReleaseDevice, ListModes,
                                  RefuseResize, CountPresent,  NoDesktopSize};
    ZQI_SetRuntimeRendererCalls(&calls);
}

zq_program_t& TestProgram() {
    return g_program;
}

bool& InitAnswer() {
    return g_initAnswer;
}

void (*&DrawHook())() {
    return g_drawHook;
}

std::vector<zq_event_t>& ReceivedEvents() {
    return g_events;
}

std::vector<std::string> LoggedLines() {
    std::vector<std::string> lines;
    const Console* console = ZQI_GetConsole();
    for (int32_t i = 0; i < console->lines.count; ++i) {
        const char* text = console->lines[i].text;
        lines.push_back(text != nullptr ? text : "");
    }
    return lines;
}

int32_t LoggedIndex(const std::string& text) {
    std::vector<std::string> lines = LoggedLines();
    for (size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].find(text) != std::string::npos) {
            return static_cast<int32_t>(i);
        }
    }
    return -1;
}

bool WasLogged(const std::string& text) {
    return LoggedIndex(text) >= 0;
}

void RuntimeTest::SetUp() {
    ZQI_InitializeMainThread();
    ZQI_CreateThreadRegistryLock();
    ZQI_BuildApiTables();
    ZQI_CreateCoreMutexes();
    ZQI_ResetRuntimeState();
    HighLevelRenderer::ResetForTests();
    CallTrace().clear();
    g_events.clear();
    g_initAnswer = true;
    g_drawHook = nullptr;

    g_core.developerMode = 1;  // developer prints are written
    g_core.consoleEnabled = 1;
    g_core.logging = 0;
    g_core.logVerboseLevel = 0;
    g_core.programInitCalled = 0;
    g_core.coreRunning = 0;
    g_core.reinitRequest = g_core.reinitApply = g_core.reinitForce = 0;
    g_core.quitFlag = 0;
    g_core.fallbackRecordInUse = 0;
    g_core.popupMessage = RecordPopup;
    Popups().clear();
    memset(&g_core.appliedParameters, 0, sizeof(g_core.appliedParameters));
    memset(&g_core.pendingParameters, 0, sizeof(g_core.pendingParameters));

    memset(&g_program, 0, sizeof(g_program));
    g_program.interface_version = ZQ_INTERFACE_VERSION;
    strcpy(g_program.id, "runtime-test");
    strcpy(g_program.title, "Runtime Test");
    strcpy(g_program.version, "1.2.3");
    g_program.api = ZQI_GetApi();
    g_program.Init = ProgramInit;
    g_program.Shutdown = ProgramShutdown;
    g_program.Update = ProgramUpdate;
    g_program.Draw = ProgramDraw;
    g_program.HandleEvent = ProgramEvent;
    g_core.program = &g_program;
    g_core.renderer = nullptr;

    LogSettings settings;
    memset(&settings, 0, sizeof(settings));
    settings.loggingEnabled = true;
    settings.verboseThreshold = 0;
    settings.developerMode = true;
    settings.programId = "runtime-test";
    ZQI_StartLog(ZQI_GetConsole(), settings);

    InstallTestClock(1000, 0);
    InstallTestRenderer();
    ZQI_SetRuntimePlatform(nullptr);
    ZQI_SetFeatureText(FEATURE_TEXT_COMMAND_LINE, nullptr);
}

void RuntimeTest::TearDown() {
    ZQI_StopLog(ZQI_GetConsole());
    ZQI_ReleasePopupLists();
    delete g_core.renderer;
    g_core.renderer = nullptr;
    g_core.program = nullptr;
    g_core.coreRunning = 0;
    ZQI_SetFeatureText(FEATURE_TEXT_COMMAND_LINE, nullptr);
    ZQI_SetRuntimePlatform(nullptr);
    ZQI_SetRuntimeRendererCalls(nullptr);
    ZQI_SetRuntimeClock(nullptr);
    ZQI_ResetRuntimeState();
    ZQI_BuildApiTables();  // tests may have patched graphics slots
}
