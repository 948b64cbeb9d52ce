// CoreShutdown: waits for the engine's threads, lets the program shut down, then releases the
// back ends, the renderer, the window, the modules, the program library, the log, the file
// systems and the locks - in that order, each after everything that may still use it.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "core/ApiTable.h"
#include "core/EventQueue.h"
#include "core/CommandLine.h"
#include "core/CoreState.h"
#include "core/Features.h"
#include "core/Log.h"
#include "core/NamedMutex.h"
#include "core/Threads.h"
#include "core/WorkerPool.h"
#include "engine/DebugOverlay.h"
#include "engine/Lifecycle.h"
#include "audio/AudioSystem.h"
#include "audio/null/NullSoundImplementation.h"
#include "engine/RuntimePlatform.h"
#include "engine/RuntimeState.h"
#include "filesystem/FileSystemApi.h"
#include "filesystem/FileSystemTable.h"
#include "filesystem/SearchPaths.h"
#include "graphics/d3d11/RendererImplementation.h"
#include "platform/InputImp.h"
#include "services/ExtensionModules.h"
#include "startup/Manifest.h"

namespace {

const uint32_t kThreadWaitStepMilliseconds = 200;
const int32_t kThreadWaitSteps = 60;  // 12 seconds in all

// A registered thread as copied out of the registry, so it can be printed without the lock.
struct ThreadLine {
    int32_t index;
    char name[64];
    uint32_t id;
};

void CopyThreadLine(int32_t index, const ThreadRecord* record, void* context) {
    Array<ThreadLine>* lines = static_cast<Array<ThreadLine>*>(context);
    ThreadLine line;
    line.index = index;
    snprintf(line.name, sizeof(line.name), "%s", record->name != nullptr ? record->name : "<null>");
    line.id = record->id;
    lines->Push(line);
}

void WaitForThreads() {
    ZQ_Log(LOG_LEVEL_SYSTEM, "Waiting for threads to exit... (%d threads)", ZQI_GetLiveThreadCount());
    for (int32_t i = 0; i < kThreadWaitSteps && ZQI_GetLiveThreadCount() >= 1; ++i) {
        ZQI_GetRuntimeClock().Sleep(kThreadWaitStepMilliseconds);
    }
    int32_t left = ZQI_GetLiveThreadCount();
    if (left < 1) {
        return;
    }
    ZQ_Log(LOG_LEVEL_WARNING, "Time out: %d threads left running!", left);
    // Printing takes "PRINT" and then the registry lock to name the thread, so the list is
    // copied under the registry lock and printed after it is released.
    Array<ThreadLine> lines;
    ZQI_VisitRegisteredThreads(CopyThreadLine, &lines);
    ZQ_Print("List of threads alive:");
    for (const ThreadLine& line : lines) {
        ZQ_Print("#%d. '%s' (id %u)", line.index, line.name, line.id);
    }
}

void ShutdownProgram() {
    if (g_core.programInitCalled && g_core.program != nullptr && g_core.program->Shutdown != nullptr) {
        g_core.program->Shutdown();
    }
    g_core.programInitCalled = 0;
}

void ReleaseSoundBackEnd() {
    ZQ_Log(LOG_LEVEL_SYSTEM, "Releasing Sound Implementation.");
    if (g_runtime.sound != nullptr) {
        g_runtime.sound->Shutdown();
    }
    ZQI_DeleteLoadedSound();
    g_runtime.sound = ZQI_GetNullSoundImplementation();
    ZQI_SetAudioSoundImplementation(g_runtime.sound);
}

void ReleaseInputBackEnds() {
    for (int32_t i = 0; i < g_runtime.inputCount; ++i) {
        if (g_runtime.inputs[i] != nullptr) {
            g_runtime.inputs[i]->Shutdown();
        }
    }
    delete g_runtime.xinput;
    g_runtime.xinput = nullptr;
    for (int32_t i = 0; i < ZQI_MAX_INPUT_BACK_ENDS; ++i) {
        if (g_runtime.inputLibraries[i] != nullptr) {
            FreeLibrary(static_cast<HMODULE>(g_runtime.inputLibraries[i]));
        }
        g_runtime.inputs[i] = nullptr;
        g_runtime.inputLibraries[i] = nullptr;
    }
}

void ReleaseRenderer() {
    ZQI_ShutdownRenderer();
    delete g_core.renderer;
    g_core.renderer = nullptr;
}

void DestroyWindowIfAny() {
    const RuntimePlatform& platform = ZQI_GetRuntimePlatform();
    g_runtime.windowCreated = 0;
    if (platform.GetGameWindow() != nullptr) {
        ZQ_Log(LOG_LEVEL_SYSTEM, "Destroying window...");
        platform.DestroyGameWindow();
    }
}

void ReleaseModulesAndServices() {
    ZQI_ShutdownExtensionModules();
    g_runtime.inputCount = 0;
}

void CloseSingleInstanceMutex() {
    if (g_runtime.singleInstanceMutex != nullptr) {
        CloseHandle(static_cast<HANDLE>(g_runtime.singleInstanceMutex));
        g_runtime.singleInstanceMutex = nullptr;
    }
}

void UnloadProgram() {
    if (g_core.fallbackRecordInUse) {
        return;
    }
    // The platform's unload logs "Unloading ProgImp Library." itself (it also serves the
    // incompatible-library path), so the line is not written twice.
    ZQI_GetRuntimePlatform().UnloadProgramLibrary();
    g_core.program = nullptr;
}

void CloseLog() {
    ZQ_Print("Shutdown successful. Closing console and logging.");
    if (g_core.logging) {
        ZQI_LogClosingSummary();
        ZQI_LogFilesLeftOpen();
    }
    ZQI_ShutdownLogging();
}

void ReleaseOwnedTexts() {
    ZQI_ReleaseRuntimeTexts();
    ZQI_ReleaseManifest();
    ZQI_ReleaseFeatureTexts();
    ZQI_ReleaseCommandLine();
}

}  // namespace

void CoreShutdown() {
    if (ZQI_GetApi()->Log == nullptr) {
        return;  // the engine API was never built: nothing was started
    }
    ZQ_Log(LOG_LEVEL_SYSTEM, "ZORQA Shutdown.");
    ZQ_SignalShutdown();
    WaitForThreads();
    ShutdownProgram();
    // Jobs still queued run now, while their code is loaded and the engine is whole; nothing of
    // the program may run once its library is unloaded.
    ZQI_ShutdownWorkerPool();
    // The program may have saved without unmounting: its saves reach the disk here.
    ZQ_FileSystem_Unmount("save");
    ZQI_FreeDebugOverlayState();
    ZQ_Print("Performance optimization: skipping releasing resources on exit.");
    ReleaseSoundBackEnd();
    ReleaseInputBackEnds();
    ReleaseRenderer();
    DestroyWindowIfAny();
    ReleaseModulesAndServices();
    CloseSingleInstanceMutex();
    UnloadProgram();
    // Events still queued (service results among them) own heap blocks nobody will deliver now.
    ZQI_ReleaseEventQueue();
    CloseLog();
    ZQI_DestroyFileSystems();
    ZQI_ClearSearchPaths();
    ZQI_DeleteCoreMutexes();
    ZQI_DeleteThreadRegistry();
    ReleaseOwnedTexts();
}
