// CoreInitialize with stand-in window, renderer and sound back ends.
#include "RuntimeTestSupport.h"
#include "core/CoreState.h"
#include "core/Features.h"
#include "engine/Lifecycle.h"
#include "audio/AudioSystem.h"
#include "audio/null/NullSoundImplementation.h"
#include "engine/RuntimeState.h"
#include "graphics/d3d11/RendererImplementation.h"

namespace {

bool g_windowCreates = true;
bool g_windowExists = false;
int g_windowToken = 1;
bool g_soundStarts = true;

bool CreateWindowStandIn() {
    g_windowExists = g_windowCreates;
    return g_windowCreates;
}
void* WindowHandle() {
    return g_windowExists ? &g_windowToken : nullptr;
}
void DestroyWindowStandIn() {
    Trace("Window destroyed");
    g_windowExists = false;
}

class StartingSound : public SoundImplementationNull {
public:
    bool Initialize(CoreState*, const zq_parameters_t*) override { return g_soundStarts; }
};

SoundImplementation* LoadStartingSound() {
    Trace("Sound loaded");
    return new StartingSound();
}

class InitializeTest : public RuntimeTest {
protected:
    void SetUp() override {
        RuntimeTest::SetUp();
        g_windowCreates = true;
        g_windowExists = false;
        g_soundStarts = true;
        RuntimePlatform platform = {};
        platform.CreateGameWindow = CreateWindowStandIn;
        platform.GetGameWindow = WindowHandle;
        platform.DestroyGameWindow = DestroyWindowStandIn;
        platform.LoadSoundImplementation = LoadStartingSound;
        ZQI_SetRuntimePlatform(&platform);
        ZQI_LoadRendererImplementation();
        g_core.pendingParameters.width = 1024;
        g_core.pendingParameters.height = 768;
        g_core.pendingParameters.windowed = 1;
    }
    void TearDown() override {
        ZQI_DeleteLoadedSound();
        RuntimeTest::TearDown();
    }
};

TEST_F(InitializeTest, ASuccessfulStartLeavesTheCoreRunning) {
    EXPECT_TRUE(CoreInitialize());
    EXPECT_EQ(g_core.coreRunning, 1);
    EXPECT_EQ(g_core.queueInputEvents, 1);
    EXPECT_EQ(g_runtime.rendererReady, 1);
    EXPECT_EQ(g_runtime.sound, g_runtime.loadedSound);
    EXPECT_TRUE(WasLogged("Endianness: 1234."));
    EXPECT_TRUE(WasLogged("Sound Implementation initialized."));
    EXPECT_TRUE(WasLogged("[WARNING] XInput is not supported on this system."));
}

TEST_F(InitializeTest, NoWindowNoStart) {
    g_windowCreates = false;
    EXPECT_FALSE(CoreInitialize());
    EXPECT_EQ(g_core.coreRunning, 0);
    EXPECT_TRUE(Renderer().starts.empty());
    ASSERT_EQ(Popups().size(), 1u);
    EXPECT_EQ(Popups()[0], "Unable to create window. Please try rebooting your system.");
}

TEST_F(InitializeTest, ARendererThatCannotStartTakesTheWindowWithIt) {
    Renderer().answers = {false, false, false, false, false};
    g_core.appliedParameters = g_core.pendingParameters;  // nothing to roll back to
    EXPECT_FALSE(CoreInitialize());
    EXPECT_EQ(g_core.coreRunning, 0);
    EXPECT_EQ(TraceIndex("Window destroyed"), 0);
    EXPECT_TRUE(
        WasLogged("[ERROR] Unable to initialize the renderer. Tried all listed renderers but was unable to "
                  "initialize any."));
    ASSERT_EQ(Popups().size(), 2u);
    EXPECT_EQ(
        Popups()[1],
        "Unable to initialize the graphics (1024x768 windowed). Please try restarting the application.\nIf "
        "that doesn't help, consider updating your display adapter driver software.\nFor more information on "
        "how to do this, please see your hardware \nmanufacturer's support page.");
}

TEST_F(InitializeTest, NoSoundUsesTheNullBackEnd) {
    TestProgram().parameters.no_sound = 1;
    EXPECT_TRUE(CoreInitialize());
    EXPECT_EQ(TraceIndex("Sound loaded"), -1);
    EXPECT_EQ(g_runtime.sound, ZQI_GetNullSoundImplementation());
    EXPECT_TRUE(WasLogged("Sounds disabled. Null Sound Implementation used."));
}

TEST_F(InitializeTest, ASoundBackEndThatFailsFallsBackToTheNullOne) {
    g_soundStarts = false;
    EXPECT_TRUE(CoreInitialize());
    EXPECT_EQ(g_runtime.sound, ZQI_GetNullSoundImplementation());
    EXPECT_TRUE(WasLogged("[WARNING] No Sound Implementation available. Null Sound Implementation used."));
}

TEST_F(InitializeTest, FeatureSwitchesAreRead) {
    ZQI_SetFeatureText(FEATURE_TEXT_COMMAND_LINE, "DISABLE_REFERENCE_COUNTING,DEBUG_DRAW_TIME_DELTA_TEST");
    EXPECT_TRUE(CoreInitialize());
    EXPECT_EQ(g_runtime.referenceCounting, 0);
    EXPECT_EQ(g_runtime.debugDrawTimeDeltaTest, 1);
    EXPECT_EQ(g_runtime.debugDrawBlackScreen, 0);
}

TEST_F(InitializeTest, TheLocaleBecomesTheCoresOwnCopy) {
    char locale[] = "fi";
    TestProgram().parameters.locale = locale;
    EXPECT_TRUE(CoreInitialize());
    ASSERT_NE(g_runtime.settings.locale, nullptr);
    EXPECT_STREQ(g_runtime.settings.locale, "fi");
    EXPECT_NE(g_runtime.settings.locale, locale);
    EXPECT_EQ(TestProgram().parameters.locale, g_runtime.settings.locale);
}

}  // namespace
