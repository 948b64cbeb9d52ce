// RunFrame with stand-in back ends, a recording program and the test clock.
#include <cstdio>
#include <cstring>

#include "RuntimeTestSupport.h"
#include "core/ApiTable.h"
#include "core/CoreState.h"
#include "core/EventQueue.h"
#include "engine/Lifecycle.h"
#include "audio/AudioSystem.h"
#include "audio/null/NullSoundImplementation.h"
#include "graphics/HighLevelRenderer.h"
#include "engine/RuntimeState.h"
#include "services/ExtensionModules.h"

namespace {

class RecordingInput : public StandInInput {
public:
    void Update() override { Trace("Input Update"); }
    void EndFrame() override { Trace("Input EndFrame"); }
};

class RecordingSound : public SoundImplementationNull {
public:
    void Update() override { Trace("Sound Update"); }
    void EndFrame() override { Trace("Sound EndFrame"); }
};

class RecordingModule final : public ExtensionModule {
public:
    explicit RecordingModule(bool pausing) : pausing_(pausing) {}
    void Destroy(uint32_t) override {}
    const char* GetName() override { return "Recording"; }
    bool Initialize(zq_api_t*) override { return true; }
    void Shutdown() override {}
    BaseImplementation* GetImplementation(ImplementationType) override { return nullptr; }
    bool IsPausing() override {
        Trace("Module IsPausing");
        return pausing_;
    }
    void Update(float step) override {
        char text[48];
        snprintf(text, sizeof(text), "Module Update %.3f", step);
        Trace(text);
    }

private:
    bool pausing_;
};

class RecordingService final : public BaseImplementation {
public:
    void Destroy(uint32_t) override {}
    ImplementationType GetType() override { return IMPLEMENTATION_CLOUD; }
    const char* GetName() override { return "Recording"; }
    void Update() override { Trace("Service Update"); }
};

std::vector<std::string>& DrawCalls() {
    static std::vector<std::string> calls;
    return calls;
}

void RecordRectangle(const float* x, const float* y, const float* w, const float* h) {
    char text[96];
    snprintf(text, sizeof(text), "Rectangle %g %g %g %g", *x, *y, *w, *h);
    DrawCalls().push_back(text);
}

void RecordColor(const float* r, const float* g, const float* b) {
    char text[64];
    snprintf(text, sizeof(text), "Color %g %g %g", *r, *g, *b);
    DrawCalls().push_back(text);
}

void PushWorldAndForget() {
    HighLevelRenderer::PushWorldTransform(nullptr);
}

class FrameTest : public RuntimeTest {
protected:
    void SetUp() override {
        RuntimeTest::SetUp();
        ZQI_LoadRendererImplementation();
        g_runtime.rendererReady = 1;
        g_core.coreRunning = 1;
        g_runtime.previousFrameTime = 1000;
        Clock().now = 1000;
        DrawCalls().clear();
    }

    // Runs one frame that comes milliseconds after the previous one.
    static void RunFrameAfter(uint32_t milliseconds) {
        Clock().now = g_runtime.previousFrameTime + milliseconds;
        RunFrame();
    }

    static int32_t CountTrace(const std::string& entry) {
        int32_t count = 0;
        for (const std::string& e : CallTrace()) {
            count += e == entry ? 1 : 0;
        }
        return count;
    }

    RecordingInput input_;
    RecordingSound sound_;
    RecordingService service_;
};

TEST_F(FrameTest, NothingHappensBeforeTheCoreRuns) {
    g_core.coreRunning = 0;
    Clock().perRead = 1;
    RunFrameAfter(16);
    EXPECT_TRUE(CallTrace().empty());
    EXPECT_EQ(Clock().now, 1016u);  // the clock was not even read
}

TEST_F(FrameTest, NothingHappensWithoutAProgram) {
    g_core.program = nullptr;
    RunFrameAfter(16);
    EXPECT_TRUE(CallTrace().empty());
}

TEST_F(FrameTest, OneFrameRunsItsStepsInOrder) {
    RecordingModule module(false);
    g_runtime.inputs[0] = &input_;
    g_runtime.inputCount = 1;
    g_runtime.sound = &sound_;
    RegisterExtensionModule(&module);
    AddImplementation(&service_);
    RunFrameAfter(16);
    const std::vector<std::string> expected = {
        "Input Update",   "Sound Update", "Module IsPausing", "Module Update 0.016",
        "Service Update", "Init",         "Update 0.016",     "Draw 0.016",
        "Sound EndFrame", "Present",      "Input EndFrame"};
    EXPECT_EQ(CallTrace(), expected);
    EXPECT_LT(LoggedIndex("Initializing Program 'Runtime Test'.."),
              LoggedIndex("Program initialization OK. Running program 'Runtime Test' version 1.2.3."));
}

TEST_F(FrameTest, InitRunsOnceEvenWhenItFails) {
    InitAnswer() = false;
    RunFrameAfter(16);
    RunFrameAfter(16);
    EXPECT_EQ(CountTrace("Init"), 1);
    EXPECT_EQ(CountTrace("Update 0.016"), 2);
    EXPECT_EQ(CountTrace("Draw 0.016"), 2);
    ASSERT_EQ(Popups().size(), 1u);
    EXPECT_EQ(Popups()[0], "Program initialization failed.");
    EXPECT_FALSE(WasLogged("Program initialization OK."));
    EXPECT_EQ(g_core.programInitCalled, 1);
}

TEST_F(FrameTest, APausingModuleZeroesTheStepButUpdateStillRuns) {
    RecordingModule pausing(true);
    RecordingModule second(false);
    RegisterExtensionModule(&second);
    RegisterExtensionModule(&pausing);  // registered last, asked first
    RunFrameAfter(16);
    EXPECT_EQ(CountTrace("Module IsPausing"), 1);  // the first true answer ends the asking
    EXPECT_EQ(CountTrace("Module Update 0.000"), 2);
    EXPECT_EQ(CountTrace("Update 0.000"), 1);
    EXPECT_EQ(CountTrace("Draw 0.000"), 1);
}

TEST_F(FrameTest, AFrameUnderOneMillisecondDrawsWithoutUpdate) {
    RunFrameAfter(0);
    EXPECT_EQ(CountTrace("Draw 0.000"), 1);
    EXPECT_EQ(TraceIndex("Update 0.000"), -1);
}

TEST_F(FrameTest, AStallGivesOneNormalStep) {
    RunFrameAfter(10000);
    EXPECT_EQ(CountTrace("Update 0.030"), 1);
    EXPECT_EQ(CountTrace("Draw 0.030"), 1);
}

TEST_F(FrameTest, TheLimiterWaitsForTheProgramsFrameTime) {
    TestProgram().parameters.frame_time = 20;
    Clock().perRead = 1;
    RunFrameAfter(0);
    EXPECT_EQ(CountTrace("Update 0.020"), 1);
    EXPECT_FALSE(Clock().sleepReadings.empty());
}

TEST_F(FrameTest, AnUnpoppedWorldPushIsReportedEveryFrame) {
    DrawHook() = PushWorldAndForget;
    RunFrameAfter(16);
    RunFrameAfter(16);
    const std::string text = "zq_program_t::Draw() has made too many world transform pushes.";
    EXPECT_EQ(LoggedCount("[POPUP] " + text), 2);
    EXPECT_EQ(LoggedCount("view transform pushes"), 0);
    EXPECT_EQ(LoggedCount("render target pushes"), 0);
}

TEST_F(FrameTest, AReinitializationIsAnnouncedThenAppliedInTheNextFrame) {
    g_core.reinitRequest = 1;
    RunFrameAfter(16);
    ASSERT_EQ(ReceivedEvents().size(), 1u);
    EXPECT_EQ(ReceivedEvents()[0].type, ZQ_EVENT_REINITIALIZE);
    EXPECT_EQ(ReceivedEvents()[0].reinitialize.done, 0);
    EXPECT_EQ(g_core.reinitRequest, 0);
    EXPECT_EQ(g_core.reinitApply, 1);
    RunFrameAfter(16);
    EXPECT_EQ(g_core.reinitApply, 0);
    EXPECT_FALSE(WasLogged("Applying ReInit"));  // the same parameters change nothing
}

TEST_F(FrameTest, AFailedWindowRecreationEndsTheRun) {
    g_core.appliedParameters.width = 1024;
    g_core.appliedParameters.height = 768;
    g_core.pendingParameters = g_core.appliedParameters;
    g_core.pendingParameters.width = 1280;
    g_core.pendingParameters.height = 720;
    g_core.reinitApply = 1;
    RunFrameAfter(16);
    EXPECT_TRUE(WasLogged("Applying ReInit: 1024x768 (fs) -> 1280x720 (fs) display index 0"));
    EXPECT_TRUE(WasLogged("Unable to do quick reinit. Doing full shutdown and init."));
    EXPECT_NE(g_core.quitFlag, 0);
    EXPECT_EQ(g_runtime.rendererReady, 0);
    EXPECT_EQ(TraceIndex("Draw 0.016"), -1);  // no device to draw with
    ASSERT_FALSE(Popups().empty());
    EXPECT_EQ(Popups().back(), "Reinitialization failed. Please restart the application.");
}

bool CreateWindowAlways() {
    return true;
}

TEST_F(FrameTest, AFullReinitializationAnnouncesTheNewSize) {
    RuntimePlatform platform = {};
    platform.CreateGameWindow = CreateWindowAlways;
    ZQI_SetRuntimePlatform(&platform);
    g_core.appliedParameters.width = 1024;
    g_core.appliedParameters.height = 768;
    g_core.pendingParameters = g_core.appliedParameters;
    g_core.pendingParameters.width = 1280;
    g_core.pendingParameters.height = 720;
    g_core.reinitApply = 1;
    RunFrameAfter(16);
    ASSERT_GE(ReceivedEvents().size(), 2u);
    EXPECT_EQ(ReceivedEvents()[0].type, ZQ_EVENT_REINITIALIZE);
    EXPECT_EQ(ReceivedEvents()[0].reinitialize.done, 1);
    EXPECT_EQ(ReceivedEvents()[1].type, ZQ_EVENT_DISPLAY_SIZE);
    EXPECT_EQ(ReceivedEvents()[1].display_size.width, 1280);
    EXPECT_EQ(ReceivedEvents()[1].display_size.height, 720);
    EXPECT_EQ(TestProgram().parameters.width, 1280);
    EXPECT_EQ(g_runtime.displayWidth, 1280);
    EXPECT_EQ(CountTrace("Draw 0.016"), 1);
}

TEST_F(FrameTest, KeysAreReleasedAcrossADisplayChange) {
    RuntimePlatform platform = {};
    platform.CreateGameWindow = CreateWindowAlways;
    ZQI_SetRuntimePlatform(&platform);
    g_core.inputStates[65] = 1;
    g_core.inputStates[510] = 1;
    g_core.inputStates[600] = 1;
    g_core.reinitForce = 1;
    g_core.reinitApply = 1;
    RunFrameAfter(16);
    EXPECT_EQ(g_core.inputStates[65], 0);
    EXPECT_EQ(g_core.inputStates[510], 0);
    EXPECT_EQ(g_core.inputStates[600], 1);
    EXPECT_EQ(g_core.reinitForce, 0);
}

TEST_F(FrameTest, WithoutAReadyRendererOnlyTheEndOfFrameWorkRuns) {
    g_runtime.rendererReady = 0;
    g_runtime.displayWidth = 1000;
    g_runtime.displayHeight = 600;
    g_runtime.nativeOrientation = ORIENTATION_LANDSCAPE;
    g_core.appliedParameters.design_width = 1000;
    g_core.appliedParameters.design_height = 600;
    g_runtime.overlayZoom = 0.5f;
    RunFrameAfter(16);
    EXPECT_TRUE(CallTrace().empty());
    EXPECT_EQ(g_runtime.zoomOffsetX, 250);
}

TEST_F(FrameTest, LetterboxBarsCoverTheMarginsAboveAndBelow) {
    ZQI_GetApi()->graphics->DrawRectangle = RecordRectangle;
    ZQI_GetApi()->graphics->SetColor = RecordColor;
    TestProgram().parameters.width = 1280;
    TestProgram().parameters.height = 720;
    g_runtime.offsetY = 60.0f;
    RunFrameAfter(16);
    const std::vector<std::string> expected = {"Color 0 0 0", "Rectangle -1280 720 3840 720",
                                               "Rectangle -1280 -720 3840 720", "Color 1 1 1"};
    EXPECT_EQ(DrawCalls(), expected);
}

TEST_F(FrameTest, LetterboxBarsCoverTheMarginsLeftAndRight) {
    ZQI_GetApi()->graphics->DrawRectangle = RecordRectangle;
    ZQI_GetApi()->graphics->SetColor = RecordColor;
    TestProgram().parameters.width = 800;
    TestProgram().parameters.height = 600;
    g_runtime.offsetX = 40.0f;
    RunFrameAfter(16);
    const std::vector<std::string> expected = {"Color 0 0 0", "Rectangle 800 -1 800 602",
                                               "Rectangle -800 -1 800 602", "Color 1 1 1"};
    EXPECT_EQ(DrawCalls(), expected);
}

TEST_F(FrameTest, TheBlackScreenSwitchTakesThePlaceOfDraw) {
    g_runtime.debugDrawBlackScreen = 1;
    RunFrameAfter(16);
    EXPECT_EQ(TraceIndex("Draw 0.016"), -1);
    EXPECT_EQ(CountTrace("Update 0.016"), 1);
}

// ---- Overlay zoom --------------------------------------------------------------------------

// Records without GPU data: the render-target stack takes them, and binds the back buffer instead.
zq_bitmap_t g_zoomColorRecord = {};
zq_bitmap_t g_zoomDepthRecord = {};
zq_bitmap_t* g_zoomColor = &g_zoomColorRecord;
zq_bitmap_t* g_zoomDepth = &g_zoomDepthRecord;

const char* BitmapName(const zq_bitmap_t* bitmap) {
    return bitmap == g_zoomColor ? "color" : bitmap == g_zoomDepth ? "depth" : "other";
}

zq_bitmap_t* RecordCreateBitmap(const char* name, const zq_bitmap_desc_t* desc) {
    char text[128];
    snprintf(text, sizeof(text), "Create %s format %u type %u mips %u %dx%dx%d target %u", name, desc->format,
             desc->type, desc->mip_levels, desc->width, desc->height, desc->depth, desc->render_target);
    DrawCalls().push_back(text);
    return strcmp(name, "OVERLAY_ZOOM_COLOR") == 0 ? g_zoomColor : g_zoomDepth;
}

void RecordResizeBitmap(zq_bitmap_t* bitmap, int32_t width, int32_t height) {
    char text[64];
    snprintf(text, sizeof(text), "Resize %s %dx%d", BitmapName(bitmap), width, height);
    DrawCalls().push_back(text);
}

void RecordDrawBitmap(zq_bitmap_t* bitmap, const float* x, const float* y) {
    char text[64];
    snprintf(text, sizeof(text), "DrawBitmap %s %g %g", BitmapName(bitmap), *x, *y);
    DrawCalls().push_back(text);
}

void RecordClearScreen(float r, float g, float b) {
    char text[64];
    snprintf(text, sizeof(text), "Clear %g %g %g", r, g, b);
    DrawCalls().push_back(text);
}

void RecordZoomCalls() {
    zq_graphics_api_t* graphics = ZQI_GetApi()->graphics;
    graphics->CreateBitmap = RecordCreateBitmap;
    graphics->ResizeBitmap = RecordResizeBitmap;
    graphics->DrawBitmap = RecordDrawBitmap;
    graphics->ClearScreen = RecordClearScreen;
}

TEST_F(FrameTest, AZoomOfExactlyOneDrawsStraightToTheBackBuffer) {
    RecordZoomCalls();
    g_runtime.overlayZoom = 1.0f;
    RunFrameAfter(16);
    EXPECT_TRUE(DrawCalls().empty());
    EXPECT_EQ(CountTrace("Draw 0.016"), 1);
}

TEST_F(FrameTest, AnyOtherZoomRendersTheFrameIntoTheZoomTargetsAndDrawsItOnce) {
    RecordZoomCalls();
    g_runtime.displayWidth = 1024;
    g_runtime.displayHeight = 768;
    TestProgram().parameters.width = 800;  // the design size is not what the targets take
    TestProgram().parameters.height = 600;
    g_runtime.overlayZoom = 0.5f;
    RunFrameAfter(16);
    g_runtime.displayWidth = 1280;
    g_runtime.displayHeight = 720;
    RunFrameAfter(16);
    const std::vector<std::string> expected = {
        "Create OVERLAY_ZOOM_COLOR format 8 type 1 mips 1 1024x768x1 target 1",
        "Create OVERLAY_ZOOM_DEPTH format 3 type 1 mips 1 1024x768x1 target 1",
        "Clear 0 0 0",
        "DrawBitmap color 0 0",
        "Resize color 1280x720",
        "Resize depth 1280x720",
        "Clear 0 0 0",
        "DrawBitmap color 0 0"};
    EXPECT_EQ(DrawCalls(), expected);
    // The zoom's own render-target push is balanced by the frame, not blamed on the program.
    EXPECT_EQ(LoggedCount("render target pushes"), 0);
    EXPECT_EQ(HighLevelRenderer::GetStackDepth(HLR_STACK_RENDER_TARGETS), 0);
    EXPECT_EQ(HighLevelRenderer::GetStackDepth(HLR_STACK_WORLD), 0);
}

// ---- Events and requests made during the frame -------------------------------------------

int32_t PostWhileDelivering(const zq_event_t* event) {
    ReceivedEvents().push_back(*event);
    if (event->type == ZQ_EVENT_KEY_DOWN) {
        zq_event_t next;
        ZQ_InitializeEvent(&next, ZQ_EVENT_KEY_UP);
        ZQI_PostEvent(&next);
    }
    return 0;
}

TEST_F(FrameTest, AnEventPostedDuringDeliveryArrivesInTheNextFrame) {
    TestProgram().HandleEvent = PostWhileDelivering;
    zq_event_t first;
    ZQ_InitializeEvent(&first, ZQ_EVENT_KEY_DOWN);
    ZQI_PostEvent(&first);
    RunFrameAfter(16);
    ASSERT_EQ(ReceivedEvents().size(), 1u);
    EXPECT_EQ(ReceivedEvents()[0].type, ZQ_EVENT_KEY_DOWN);
    RunFrameAfter(16);
    ASSERT_EQ(ReceivedEvents().size(), 2u);
    EXPECT_EQ(ReceivedEvents()[1].type, ZQ_EVENT_KEY_UP);
}

void RequestDuringUpdate(float) {
    Trace("Update");
    if (CallTrace().size() == 2) {  // "Init", then the first Update
        g_core.reinitRequest = 1;
    }
}

TEST_F(FrameTest, AReinitializationRequestedDuringUpdateIsAnnouncedNextFrameAndAppliedAfter) {
    RuntimePlatform platform = {};
    platform.CreateGameWindow = CreateWindowAlways;
    ZQI_SetRuntimePlatform(&platform);
    TestProgram().Update = RequestDuringUpdate;
    g_core.appliedParameters.width = 1024;
    g_core.appliedParameters.height = 768;
    g_core.pendingParameters = g_core.appliedParameters;
    RunFrameAfter(16);
    EXPECT_TRUE(ReceivedEvents().empty());  // the announcement step came before Update
    g_core.pendingParameters.width = 1280;
    g_core.pendingParameters.height = 720;
    RunFrameAfter(16);
    ASSERT_EQ(ReceivedEvents().size(), 1u);
    EXPECT_EQ(ReceivedEvents()[0].type, ZQ_EVENT_REINITIALIZE);
    EXPECT_EQ(ReceivedEvents()[0].reinitialize.done, 0);
    EXPECT_FALSE(WasLogged("Applying ReInit"));
    RunFrameAfter(16);
    EXPECT_TRUE(WasLogged("Applying ReInit: 1024x768 (fs) -> 1280x720 (fs) display index 0"));
    ASSERT_EQ(ReceivedEvents().size(), 3u);
    EXPECT_EQ(ReceivedEvents()[1].type, ZQ_EVENT_REINITIALIZE);
    EXPECT_EQ(ReceivedEvents()[1].reinitialize.done, 1);
    EXPECT_EQ(ReceivedEvents()[2].type, ZQ_EVENT_DISPLAY_SIZE);
}

// ---- Display changes ------------------------------------------------------------------------

std::vector<RendererStart>& Resizes() {
    static std::vector<RendererStart> resizes;
    return resizes;
}

bool RecordResize(RendererImplementation*, int32_t, int32_t width, int32_t height, bool windowed) {
    Resizes().push_back({width, height, static_cast<uint8_t>(windowed ? 1 : 0)});
    return true;
}

void InstallRecordingResize() {
    Resizes().clear();
    RuntimeRendererCalls calls = ZQI_GetRuntimeRendererCalls();
    calls.ResizeSwapChain = RecordResize;
    ZQI_SetRuntimeRendererCalls(&calls);
}

TEST_F(FrameTest, AQuickSwitchFromAWindowToFullscreen800x400StaysWindowed) {
    InstallRecordingResize();
    g_core.appliedParameters.width = 1024;
    g_core.appliedParameters.height = 768;
    g_core.appliedParameters.windowed = 1;
    g_core.pendingParameters.width = 800;
    g_core.pendingParameters.height = 400;
    g_core.pendingParameters.windowed = 0;
    g_core.reinitApply = 1;
    RunFrameAfter(16);
    ASSERT_EQ(Resizes().size(), 1u);
    EXPECT_EQ(Resizes()[0].width, 800);
    EXPECT_EQ(Resizes()[0].height, 400);
    EXPECT_EQ(Resizes()[0].windowed, 1);
    EXPECT_TRUE(WasLogged("Applying ReInit: 1024x768 (w) -> 800x400 (w) display index 0"));
    EXPECT_EQ(g_core.appliedParameters.windowed, 1);
    EXPECT_EQ(TestProgram().parameters.windowed, 1);
    // The quick path announces its end, then the new size.
    ASSERT_EQ(ReceivedEvents().size(), 2u);
    EXPECT_EQ(ReceivedEvents()[0].type, ZQ_EVENT_REINITIALIZE);
    EXPECT_EQ(ReceivedEvents()[0].reinitialize.done, 1);
    EXPECT_EQ(ReceivedEvents()[1].type, ZQ_EVENT_DISPLAY_SIZE);
    EXPECT_EQ(ReceivedEvents()[1].display_size.width, 800);
    EXPECT_EQ(ReceivedEvents()[1].display_size.height, 400);
    EXPECT_FALSE(WasLogged("Unable to do quick reinit"));
}

class LoadedSound : public SoundImplementationNull {
public:
    bool Initialize(CoreState*, const zq_parameters_t*) override {
        Trace("Sound Initialize");
        return true;
    }
};

SoundImplementation* LoadSound() {
    Trace("Sound loaded");
    return new LoadedSound();
}

TEST_F(FrameTest, TurningSoundOnAfterANoSoundRunBringsTheBackEndBack) {
    RuntimePlatform platform = {};
    platform.LoadSoundImplementation = LoadSound;
    ZQI_SetRuntimePlatform(&platform);
    // The run started on the null back end that the loader handed out; a request then switched
    // sound off.
    g_runtime.sound = ZQI_GetNullSoundImplementation();
    g_runtime.loadedSound = ZQI_GetNullSoundImplementation();
    TestProgram().parameters.no_sound = 1;
    g_core.appliedParameters.no_sound = 1;
    g_core.pendingParameters = g_core.appliedParameters;
    g_core.pendingParameters.no_sound = 0;
    g_core.reinitApply = 1;
    RunFrameAfter(16);
    EXPECT_LT(TraceIndex("Sound loaded"), TraceIndex("Sound Initialize"));
    EXPECT_LT(TraceIndex("Sound Initialize"), TraceIndex("Draw 0.016"));
    EXPECT_TRUE(WasLogged("SoundImplementation initialized."));
    ASSERT_NE(g_runtime.sound, ZQI_GetNullSoundImplementation());
    EXPECT_EQ(g_runtime.sound, g_runtime.loadedSound);
    EXPECT_EQ(TestProgram().parameters.no_sound, 0);
    EXPECT_FALSE(WasLogged("Applying ReInit"));  // the display itself did not change
    // The static null back end is replaced, not deleted: a deleted one would be left as a bare
    // SoundImplementation, which only the type check can see without calling it.
    EXPECT_NE(dynamic_cast<SoundImplementationNull*>(ZQI_GetNullSoundImplementation()), nullptr);
    ZQI_DeleteLoadedSound();
}

}  // namespace
