// Building the engine API: the root record and its twelve sub-tables, all in static storage, filled
// once at start-up in slot order. Subsystems above the core register fillers that each build runs
// last, so a rebuild keeps their slots (the graphics sub-table, slot 40, is the graphics filler's).
#include "core/ApiTable.h"

#include <cstring>

#include "core/ApiPlaceholders.h"
#include "core/Buffer.h"
#include "core/ConsoleAutocompletion.h"
#include "core/EventQueue.h"
#include "core/Features.h"
#include "core/Log.h"
#include "core/NamedMutex.h"
#include "core/RendererLock.h"
#include "core/Threads.h"
#include "core/WorkerPool.h"
#include "foundation/FunctionList.h"

namespace {

zq_api_t g_api;

zq_achievements_api_t g_achievements;
zq_audio_api_t g_audio;
zq_cloud_api_t g_cloud;
zq_filesystem_api_t g_filesystem;
zq_graphics_api_t g_graphics;
zq_iap_api_t g_iap;
zq_leaderboards_api_t g_leaderboards;
zq_notification_api_t g_notification;
zq_social_api_t g_social;
zq_statistic_api_t g_statistic;
zq_threading_api_t g_threading;
zq_ugc_api_t g_ugc;

// Registered fillers in registration order.
FunctionList<ZQI_ApiTableFiller, ZQI_MAX_API_TABLE_FILLERS> g_fillers;

void RunFillers(zq_api_t* api) {
    for (int32_t i = 0; i < g_fillers.count; ++i) {
        g_fillers.items[i](api);
    }
}

void FillThreadingTable(zq_threading_api_t* table) {
    table->CreateThread = ZQ_Threading_CreateThread;
    table->GetThreadId = ZQ_Threading_GetThreadId;
    table->CreateMutex = ZQ_Threading_CreateMutex;
    table->StartWorkerThreads = ZQ_Threading_StartWorkerThreads;
    table->IsMainThread = ZQ_Threading_IsMainThread;
    table->IsRendererLocked = ZQ_Threading_IsRendererLocked;
    table->LockMutex = ZQ_Threading_LockMutex;
    table->DestroyMutex = ZQ_Threading_DestroyMutex;
    table->QueueJob = ZQ_Threading_QueueJob;
    table->Sleep = ZQ_Threading_Sleep;
    table->SleepNanoseconds = ZQ_Threading_SleepNanoseconds;
    table->LockRenderer = ZQ_Threading_LockRenderer;
    table->UnlockRenderer = ZQ_Threading_UnlockRenderer;
    table->TryLockMutex = ZQ_Threading_TryLockMutex;
    table->UnlockMutex = ZQ_Threading_UnlockMutex;
    table->StopWorkerThreads = ZQ_Threading_StopWorkerThreads;
    table->YieldThread = ZQ_Threading_YieldThread;
}

// The 36 function slots. Slots of subsystems not in this build get stand-ins first.
void FillRootSlots(zq_api_t* api) {
    ZQI_FillUnavailableRootSlots(api);
    api->Print = ZQ_Print;
    api->Log = ZQ_Log;
    api->Popup = ZQ_Popup;
    api->RegisterAutocompletion = ZQ_RegisterAutocompletion;
    api->GetMilliseconds = ZQ_GetMilliseconds;
    api->GetNanoseconds = ZQ_GetNanoseconds;
    api->GetCalendarTime = ZQ_GetCalendarTime;
    api->ConvertTimeToDate = ZQ_ConvertTimeToDate;
    api->GetLocalDate = ZQ_GetLocalDate;
    api->SignalShutdown = ZQ_SignalShutdown;
    api->IsShutdownSignalled = ZQ_IsShutdownSignalled;
    api->IsFeatureEnabled = ZQI_IsFeatureEnabled;
    api->ReinitializeWithParameters = ZQ_ReinitializeWithParameters;
    api->FreeStringList = ZQ_FreeStringList;
    api->CreateBuffer = ZQ_CreateBuffer;
    api->FreeBuffer = ZQ_FreeBuffer;
    api->CompressBuffer = ZQ_CompressBuffer;
    api->IsCompressedBuffer = ZQ_IsCompressedBuffer;
    api->DecompressBuffer = ZQ_DecompressBuffer;
    api->AllocateMemory = ZQ_AllocateMemory;
    api->FreeMemory = ZQ_FreeMemory;
    api->PostEvent = ZQI_PostEvent;
    api->InitializeEvent = ZQ_InitializeEvent;
    api->GetInputState = ZQ_GetInputState;
    api->SetInputState = ZQ_SetInputState;
    api->GetInputValue = ZQ_GetInputValue;
    api->SetInputValue = ZQ_SetInputValue;
    api->GetSystemInfo = ZQ_GetSystemInfo;
    api->IsDeveloperMode = ZQ_IsDeveloperMode;
}

}  // namespace

zq_api_t* ZQI_GetApi() {
    return &g_api;
}

void ZQI_BuildApiTables() {
    memset(&g_api, 0, sizeof(g_api));
    ZQI_RestartUnavailableReports();

    // The online-service sub-tables are the services subsystem's to fill (ZQI_InstallServiceTables).
    g_api.achievements = &g_achievements;
    // Filled by the audio subsystem's registered filler.
    memset(&g_audio, 0, sizeof(g_audio));
    g_api.audio = &g_audio;
    g_api.cloud = &g_cloud;
    ZQI_FillUnavailableFileSystemTable(&g_filesystem);
    g_api.filesystem = &g_filesystem;

    // Filled by the graphics subsystem's registered filler, the font slots by the fonts' filler.
    memset(&g_graphics, 0, sizeof(g_graphics));
    g_api.graphics = &g_graphics;

    g_api.iap = &g_iap;
    g_api.leaderboards = &g_leaderboards;
    g_api.notification = &g_notification;
    g_api.statistic = &g_statistic;
    g_api.social = &g_social;
    FillThreadingTable(&g_threading);
    g_api.threading = &g_threading;
    g_api.ugc = &g_ugc;

    FillRootSlots(&g_api);
    RunFillers(&g_api);
}

bool ZQI_RegisterApiTableFiller(ZQI_ApiTableFiller fill) {
    if (fill == nullptr) {
        ZQ_Log(LOG_LEVEL_ERROR, "ZQI_RegisterApiTableFiller: the filler is null.");
        return false;
    }
    if (!g_fillers.Add(fill)) {
        ZQ_Log(LOG_LEVEL_ERROR, "ZQI_RegisterApiTableFiller: all %d fillers are in use.",
               ZQI_MAX_API_TABLE_FILLERS);
        return false;
    }
    return true;
}

bool ZQI_UnregisterApiTableFiller(ZQI_ApiTableFiller fill) {
    return g_fillers.Remove(fill);
}
