// CoreShutdown's order and messages with stand-in back ends, and the wait for threads that do
// not end.
#include <atomic>

#include "RuntimeTestSupport.h"
#include "core/ApiTable.h"
#include "core/Console.h"
#include "core/CoreState.h"
#include "core/EventQueue.h"
#include "core/Log.h"
#include "core/NamedMutex.h"
#include "core/Sys.h"
#include "core/Threads.h"
#include "engine/Lifecycle.h"
#include "audio/AudioSystem.h"
#include "audio/null/NullSoundImplementation.h"
#include "graphics/HighLevelRenderer.h"
#include "engine/RuntimeState.h"
#include "services/ExtensionModules.h"
#include "filesystem/SearchPaths.h"
#include "startup/ManifestState.h"

namespace {

class RecordingSound : public SoundImplementationNull {
public:
    ~RecordingSound() override { Trace("Sound destroyed"); }
    void Shutdown() override { Trace("Sound Shutdown"); }
};

// Destroyed only through its destructor slot, with the flag that frees its memory.
class RecordingModule final : public ExtensionModule {
public:
    void Destroy(uint32_t flags) override {
        Trace(flags == 1 ? "Module destroyed" : "Module destroyed with other flags");
        delete this;
    }
    const char* GetName() override { return "Recording"; }
    bool Initialize(zq_api_t*) override { return true; }
    void Shutdown() override { Trace("Module Shutdown"); }
    void Update(float) override {}
    BaseImplementation* GetImplementation(ImplementationType) override { return nullptr; }
};

class RecordingService final : public BaseImplementation {
public:
    void Destroy(uint32_t) override {}
    ImplementationType GetType() override { return IMPLEMENTATION_CLOUD; }
    const char* GetName() override { return "Recording"; }
    void Shutdown() override { Trace("Service Shutdown"); }
};

int g_windowToken = 1;
bool g_windowExists = true;

void* WindowHandle() {
    return g_windowExists ? &g_windowToken : nullptr;
}

void DestroyWindowStandIn() {
    Trace("Window destroyed");
    g_windowExists = false;
}

// The log is closed and its ring freed before CoreShutdown returns, so the lines written until
// the program library goes are kept here.
std::vector<std::string>& LinesAtUnload() {
    static std::vector<std::string> lines;
    return lines;
}

std::atomic<int32_t> g_releaseStuckThread(0);
std::atomic<int32_t> g_stuckThreadRunning(0);

// Like the platform's unload, it writes its own line.
void UnloadLibrary() {
    Trace("Library unloaded");
    ZQ_Log(LOG_LEVEL_SYSTEM, "Unloading ProgImp Library.");
    LinesAtUnload() = LoggedLines();
    // A thread left running must end before the registry it is listed in goes.
    g_releaseStuckThread = 1;
    while (ZQI_GetLiveThreadCount() > 0) {
        ZQI_SysYield();
    }
}

// Registered before it runs, so once it runs it is listed.
void StuckThread(void*) {
    g_stuckThreadRunning = 1;
    while (g_releaseStuckThread == 0) {
        ZQI_SysYield();
    }
}

int32_t IndexIn(const std::vector<std::string>& lines, const std::string& text) {
    for (size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].find(text) != std::string::npos) {
            return static_cast<int32_t>(i);
        }
    }
    return -1;
}

bool WasLoggedBeforeUnload(const std::string& text) {
    return IndexIn(LinesAtUnload(), text) >= 0;
}

class ShutdownTest : public RuntimeTest {
protected:
    void SetUp() override {
        RuntimeTest::SetUp();
        g_windowExists = true;
        g_releaseStuckThread = 0;
        LinesAtUnload().clear();
        RuntimePlatform platform = {};
        platform.GetGameWindow = WindowHandle;
        platform.DestroyGameWindow = DestroyWindowStandIn;
        platform.UnloadProgramLibrary = UnloadLibrary;
        ZQI_SetRuntimePlatform(&platform);
        ZQI_LoadRendererImplementation();
        g_runtime.rendererReady = 1;
        g_core.programInitCalled = 1;
        g_core.coreRunning = 1;
        g_core.logging = 1;
    }
    void TearDown() override {
        // CoreShutdown deleted the console's lock with the other mutexes; the console itself is
        // static and outlives it.
        ZQI_GetConsole()->mutex = nullptr;
        RuntimeTest::TearDown();
    }
};

TEST_F(ShutdownTest, EverythingIsReleasedInOrder) {
    RecordingSound* sound = new RecordingSound();
    g_runtime.loadedSound = sound;
    g_runtime.sound = sound;
    RecordingService service;
    AddImplementation(&service);
    RegisterExtensionModule(new RecordingModule());

    CoreShutdown();

    const std::vector<std::string> expected = {"Program Shutdown", "Sound Shutdown",   "Sound destroyed",
                                               "Renderer Release", "Window destroyed", "Service Shutdown",
                                               "Module Shutdown",  "Module destroyed", "Library unloaded"};
    EXPECT_EQ(CallTrace(), expected);
    const std::vector<std::string>& lines = LinesAtUnload();
    const char* const messages[] = {"ZORQA Shutdown.",
                                    "Waiting for threads to exit... (0 threads)",
                                    "Performance optimization: skipping releasing resources on exit.",
                                    "Releasing Sound Implementation.",
                                    "Zorqa RendererImplementation Shutdown.",
                                    "Destroying window...",
                                    "Unloading ProgImp Library."};
    int32_t previous = -1;
    for (const char* message : messages) {
        int32_t index = IndexIn(lines, message);
        EXPECT_GT(index, previous) << message;
        previous = index;
    }
    EXPECT_EQ(IndexIn(lines, "Time out"), -1);
    EXPECT_NE(g_core.quitFlag, 0);
    EXPECT_EQ(g_core.renderer, nullptr);
    EXPECT_EQ(g_core.program, nullptr);
    EXPECT_EQ(g_core.programInitCalled, 0);
    EXPECT_EQ(g_runtime.sound, ZQI_GetNullSoundImplementation());
    EXPECT_EQ(ZQI_GetExtensionModules().count, 0);
    EXPECT_EQ(ZQI_GetResolvedImplementationList().count, 0);
    EXPECT_EQ(ZQI_GetCoreMutex(CORE_MUTEX_PRINT), nullptr);
    EXPECT_EQ(ZQI_GetThreadRegistryLock(), nullptr);
}

TEST_F(ShutdownTest, TheSearchPathsAndTheManifestAreForgotten) {
    ZQI_GetSearchPathList().Push(String("res://"));
    g_manifest.resolutions.Assign("1024x768");
    g_manifest.packages.Assign("base-pack");
    CoreShutdown();
    EXPECT_EQ(ZQI_GetSearchPathList().count, 0);
    EXPECT_TRUE(g_manifest.resolutions.IsEmpty());
    EXPECT_TRUE(g_manifest.packages.IsEmpty());
}

TEST_F(ShutdownTest, EventsStillQueuedAreReleasedWithTheirPayloads) {
    zq_event_t event;
    ZQ_InitializeEvent(&event, ZQ_EVENT_LEADERBOARD_SCORES);
    event.leaderboard_scores.count = 1;
    event.leaderboard_scores.scores = static_cast<LeaderboardScore*>(ZQ_AllocateMemory(sizeof(LeaderboardScore)));
    ZQI_PostEvent(&event);
    ASSERT_EQ(ZQI_GetQueuedEventCount(), 1);
    CoreShutdown();
    EXPECT_EQ(ZQI_GetQueuedEventCount(), 0);
}

TEST_F(ShutdownTest, TheProgramIsNotShutDownWhenItsInitNeverRan) {
    g_core.programInitCalled = 0;
    CoreShutdown();
    EXPECT_EQ(TraceIndex("Program Shutdown"), -1);
    EXPECT_NE(TraceIndex("Library unloaded"), -1);
}

TEST_F(ShutdownTest, TheFallbackRecordHasNoLibraryToUnload) {
    g_core.fallbackRecordInUse = 1;
    CoreShutdown();
    EXPECT_EQ(TraceIndex("Library unloaded"), -1);
    g_core.fallbackRecordInUse = 0;
}

TEST_F(ShutdownTest, AThreadThatNeverEndsIsWaitedForTwelveSecondsAndListed) {
    g_stuckThreadRunning = 0;
    ASSERT_NE(ZQ_Threading_CreateThread("Stuck", StuckThread, nullptr, 0), 0u);
    while (g_stuckThreadRunning == 0) {
        ZQI_SysYield();
    }
    CoreShutdown();
    // 60 waits of 200 ms on the test clock, then the listing.
    EXPECT_EQ(Clock().sleepReadings.size(), 60u);
    EXPECT_EQ(Clock().now, 1000u + 60u * 200u);
    const std::vector<std::string>& lines = LinesAtUnload();
    EXPECT_NE(IndexIn(lines, "[WARNING] Time out: 1 threads left running!"), -1);
    EXPECT_NE(IndexIn(lines, "List of threads alive:"), -1);
    EXPECT_NE(IndexIn(lines, "'Stuck' (id "), -1);
}

TEST_F(ShutdownTest, NothingHappensWhenTheApiWasNeverBuilt) {
    ZQI_GetApi()->Log = nullptr;
    CoreShutdown();
    EXPECT_TRUE(CallTrace().empty());
    EXPECT_NE(g_core.renderer, nullptr);
    ZQI_BuildApiTables();
}

TEST_F(ShutdownTest, TheNullBackEndFromTheLoaderIsShutDownButNeverDeleted) {
    SoundImplementation* null = ZQI_GetNullSoundImplementation();
    g_runtime.loadedSound = null;
    g_runtime.sound = null;
    CoreShutdown();
    EXPECT_TRUE(WasLoggedBeforeUnload("Releasing Sound Implementation."));
    EXPECT_EQ(g_runtime.loadedSound, nullptr);
    EXPECT_EQ(g_runtime.sound, null);
    // A deleted static object would be left as a bare SoundImplementation (its destructors
    // took it back to the base class), which only the type check can see without calling it.
    EXPECT_NE(dynamic_cast<SoundImplementationNull*>(ZQI_GetNullSoundImplementation()), nullptr);
}

TEST_F(ShutdownTest, AProgramWhoseInitFailedIsStillShutDown) {
    g_core.programInitCalled = 0;
    InitAnswer() = false;
    g_runtime.previousFrameTime = 1000;
    Clock().now = 1016;
    RunFrame();
    ASSERT_NE(TraceIndex("Init"), -1);
    CoreShutdown();
    EXPECT_GT(TraceIndex("Program Shutdown"), TraceIndex("Init"));
}

}  // namespace
