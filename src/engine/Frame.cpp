// RunFrame: one pass of the engine's work on the main thread - pacing, the time step, the back
// ends, the program's Init, events, Update and Draw, the engine's overlays, the resource queues,
// present, and handing the renderer lock to waiting threads between frames.
#include <windows.h>

#include "core/ApiTable.h"
#include "core/CoreState.h"
#include "core/EventQueue.h"
#include "core/Log.h"
#include "core/RendererLock.h"
#include "engine/Autoscale.h"
#include "engine/DebugOverlay.h"
#include "engine/FrameOverlays.h"
#include "engine/FrameTiming.h"
#include "engine/Lifecycle.h"
#include "audio/AudioSystem.h"
#include "audio/null/NullSoundImplementation.h"
#include "engine/SoundChannelOverlay.h"
#include "graphics/BatchRenderer.h"
#include "graphics/BitmapUpload.h"
#include "graphics/BufferObjects.h"
#include "graphics/HighLevelRenderer.h"
#include "graphics/RendererDevice.h"
#include "graphics/ShaderManager.h"
#include "engine/RuntimePlatform.h"
#include "engine/RuntimeState.h"
#include "graphics/d3d11/RendererImplementation.h"
#include "platform/InputImp.h"
#include "services/ExtensionModules.h"

namespace {

const uint32_t kSlowUploadMilliseconds = 200;

const char* const kUnbalancedPushMessages[HLR_STACK_COUNT] = {
    "zq_program_t::Draw() has made too many world transform pushes.",
    "zq_program_t::Draw() has made too many view transform pushes.",
    "zq_program_t::Draw() has made too many projection transform pushes.",
    "zq_program_t::Draw() has made too many render target pushes."};

bool IsRendererReady() {
    return g_core.renderer != nullptr && g_runtime.rendererReady;
}

void UpdateInputBackEnds() {
    for (int32_t i = 0; i < g_runtime.inputCount; ++i) {
        if (g_runtime.inputs[i] != nullptr) {
            g_runtime.inputs[i]->Update();
        }
    }
}

void EndInputFrames() {
    for (int32_t i = 0; i < g_runtime.inputCount; ++i) {
        if (g_runtime.inputs[i] != nullptr) {
            g_runtime.inputs[i]->EndFrame();
        }
    }
}

void StartRendererFrame() {
    ZQI_GetRendererDevice().BindDepthState();
    HighLevelRenderer::ResetState();
    HighLevelRenderer::ResetFrameState();
    HighLevelRenderer::ApplyState();
    BatchRenderer::BeginFrame();
}

void InitializeProgramOnce() {
    if (g_core.programInitCalled) {
        return;
    }
    zq_program_t* program = g_core.program;
    ZQ_Log(LOG_LEVEL_SYSTEM, "Initializing Program '%s'..", program->title);
    // Set before the call: shutdown calls the program's Shutdown whenever Init was called.
    g_core.programInitCalled = 1;
    bool ok = program->Init == nullptr || program->Init();
    if (!ok) {
        ZQ_Popup(LOG_LEVEL_ERROR, "Program initialization failed.");
        return;
    }
    ZQ_Log(LOG_LEVEL_SYSTEM, "Program initialization OK. Running program '%s' version %s.", program->title,
           program->version);
}

// A request seen in this frame is announced now and applied at the start of the next one.
void AnnounceReinitializeRequest() {
    if (!g_core.reinitRequest) {
        return;
    }
    g_core.reinitRequest = 0;
    g_core.reinitApply = 1;
    zq_event_t event;
    ZQ_InitializeEvent(&event, ZQ_EVENT_REINITIALIZE);
    ZQI_DispatchEvent(&event);
}

void DrawProgram(float step) {
    int32_t depths[HLR_STACK_COUNT];
    for (int32_t i = 0; i < HLR_STACK_COUNT; ++i) {
        depths[i] = HighLevelRenderer::GetStackDepth(static_cast<HighLevelRendererStack>(i));
    }
    if (g_runtime.debugDrawBlackScreen) {
        ZQI_GetApi()->graphics->ClearScreen(0.0f, 0.0f, 0.0f);
    } else if (g_core.program->Draw != nullptr) {
        g_core.program->Draw(step);
    }
    if (g_runtime.debugDrawTimeDeltaTest) {
        ZQI_DrawTimeDeltaTest(step);
    }
    // Reported, not repaired: popping on the program's behalf would hide where the push was.
    for (int32_t i = 0; i < HLR_STACK_COUNT; ++i) {
        if (HighLevelRenderer::GetStackDepth(static_cast<HighLevelRendererStack>(i)) != depths[i]) {
            ZQ_Popup(LOG_LEVEL_ERROR, "%s", kUnbalancedPushMessages[i]);
        }
    }
}

void DrawEngineOverlays(float step, bool zoomed) {
    HighLevelRenderer::ResetFrameState();
    float depth = g_drawing.depth;
    ZQI_GetApi()->graphics->SetDepth(&depth);
    ZQI_DrawSoundChannels();
    if (zoomed) {
        ZQI_EndOverlayZoom();
    }
    ZQI_DrawLetterboxBars();
    HighLevelRenderer::PopWorldTransform();  // the screen transform
    ZQI_DrawDebugOverlay(step);
}

void ProcessResourceQueues() {
    if (!g_core.coreRunning || !IsRendererReady()) {
        return;
    }
    uint32_t t0 = ZQ_GetMilliseconds();
    ZQI_ProcessBitmapResourceQueues();
    ProcessPendingBufferOperations();
    ProcessShaderResourceQueue();
    uint32_t spent = ZQ_GetMilliseconds() - t0;
    if (spent > kSlowUploadMilliseconds) {
        ZQ_Log(LOG_LEVEL_WARNING, "Spent %d msecs uploading resources to GPU!", static_cast<int32_t>(spent));
    }
}

void FinishRendererFrame() {
    BatchRenderer::UnmapVertexBuffer();
    if (BatchRenderer::HasVertices()) {
        BatchRenderer::Flush();
    }
    HighLevelRenderer::ApplyState();
    ZQI_GetRuntimeRendererCalls().Present(g_core.renderer);
}

// Steps 5 to 24 of the frame: everything that needs a ready renderer.
void RunFrameBody(const FrameStep& frameStep) {
    UpdateInputBackEnds();
    if (g_runtime.sound != nullptr) {
        g_runtime.sound->Update();
    }
    UpdateAudio();
    // A module that pauses makes the step 0 for the rest of the frame.
    const float step = ZQI_UpdateExtensionModules(frameStep.step);
    ZQI_UpdateResolvedImplementations();
    if (g_core.reinitApply) {
        ZQI_ApplyPendingReInit();
        // A failed full re-initialisation leaves no device to draw with.
        if (!IsRendererReady()) {
            return;
        }
    }
    StartRendererFrame();
    ZQI_BuildScreenTransform();
    const bool zoomed = ZQI_IsOverlayZoomActive();
    if (zoomed) {
        ZQI_BeginOverlayZoom();
    }
    InitializeProgramOnce();
    AnnounceReinitializeRequest();
    ZQI_ProcessEventQueue();
    if (frameStep.ms > 0 && g_core.program->Update != nullptr) {
        g_core.program->Update(step);
    }
    DrawProgram(step);
    DrawEngineOverlays(step, zoomed);
    ProcessResourceQueues();
    if (g_runtime.sound != nullptr) {
        g_runtime.sound->EndFrame();
    }
    FinishRendererFrame();
    EndInputFrames();
}

}  // namespace

void RunFrame() {
    if (!g_core.coreRunning || g_core.program == nullptr) {
        return;
    }
    zq_parameters_t& parameters = g_core.program->parameters;
    int32_t elapsed = ZQI_WaitForFrameTime(static_cast<int32_t>(parameters.frame_time));
    FrameStep frameStep = ZQI_MakeFrameStep(elapsed, parameters.developer != 0);
    g_runtime.dt = frameStep.dt;

    ZQI_LockRendererForFrame();
    if (IsRendererReady()) {
        RunFrameBody(frameStep);
    }
    ZQI_HandOverRendererLock();
    ZQI_UpdateAutoscale();
    ZQI_UpdateAutoscaleOffsets();
    ZQI_ShowQueuedPopups();
    ZQI_UnlockRendererForFrame();
}
