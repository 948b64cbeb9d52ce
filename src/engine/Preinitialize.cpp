// CorePreinitialize, the first start-up stage: API tables, defaults, locks, system information,
// file systems, manifest and feature words, user folders, log, program library, single
// instance, renderer object, extension modules, locale, display parameters and packages.
#include <windows.h>

#include <cstring>

#include "audio/AudioSystem.h"
#include "core/ApiTable.h"
#include "core/CommandLine.h"
#include "core/CoreState.h"
#include "core/EventQueue.h"
#include "core/Features.h"
#include "core/Log.h"
#include "core/NamedMutex.h"
#include "core/ProgramRecord.h"
#include "core/Threads.h"
#include "engine/Autoscale.h"
#include "engine/ExtensionCall.h"
#include "engine/Lifecycle.h"
#include "engine/ManifestSettings.h"
#include "engine/MemoryEstimateSources.h"
#include "engine/ReinitializeRequest.h"
#include "engine/ResolutionSelection.h"
#include "engine/RuntimeState.h"
#include "engine/SingleInstance.h"
#include "filesystem/FileSystemApi.h"
#include "filesystem/FileSystemTable.h"
#include "filesystem/UserFolders.h"
#include "graphics/BitmapTable.h"
#include "graphics/ImageLoader.h"
#include "services/ExtensionModules.h"
#include "services/ServiceTables.h"
#include "shadertool/SourceFiles.h"
#include "startup/Manifest.h"
#include "startup/ResourcePackages.h"

namespace {

const uint32_t kDefaultBitmapCacheMode = 4;
const uint32_t kDefaultSecondResourceSetting = 2;
const uint64_t kGigabyte = 1ull << 30;

void SetDefaults() {
    g_core.commandLine = const_cast<char*>(ZQI_GetCommandLine());
    ZQI_SetCoreDefaults();
    ZQI_ResetRuntimeState();  // boot windowed 1, boot size 0, scales 1, offsets 0, zoom 1
    g_runtime.defaultBitmapCacheMode = kDefaultBitmapCacheMode;
    g_runtime.secondResourceSetting = kDefaultSecondResourceSetting;
}

void ApplyStartupFeatureWords() {
    zq_program_t& manifest = g_core.programRecord;
    if (ZQI_IsFeatureEnabled("MULTITOUCH") || ZQI_IsFeatureEnabled("MULTIMOUSE")) {
        manifest.parameters.multitouch = 1;
        g_core.pendingParameters.multitouch = 1;
    }
    if (ZQI_IsFeatureEnabled("AUTOSCALE")) {
        g_runtime.autoscale = 1;
    }
    if (ZQI_IsFeatureEnabled("NO_SOUND")) {
        manifest.parameters.no_sound = 1;
        g_core.pendingParameters.no_sound = 1;
    }
}

void LogPlatformInfo() {
    const SystemInfo& info = ZQI_GetSystemInfoRecord();
    ZQ_Log(LOG_LEVEL_SYSTEM, "Logging Verbose Level set to %d.", g_core.logVerboseLevel);
    ZQ_Log(LOG_LEVEL_SYSTEM, "Platform info:");
    ZQ_Log(LOG_LEVEL_SYSTEM, "  CPU: %s", info.cpu[0] != '\0' ? info.cpu : "Unknown");
    ZQ_Log(LOG_LEVEL_SYSTEM, "  GPU: %s", info.gpu[0] != '\0' ? info.gpu : "Unknown");
    if (info.memoryBytes != 0) {
        unsigned long long gigabytes = (info.memoryBytes + kGigabyte - 1) / kGigabyte;
        ZQ_Log(LOG_LEVEL_SYSTEM, "  Memory: %llu GB (%llu bytes)", gigabytes,
               static_cast<unsigned long long>(info.memoryBytes));
    } else {
        ZQ_Log(LOG_LEVEL_SYSTEM, "  Memory: Unknown");
    }
    ZQ_Log(LOG_LEVEL_SYSTEM, "  OS: %s", info.os);
}

// The manifest's identity and parameters go over the library's record; the library keeps its
// version word, its callbacks and the engine API pointer it was given.
void MergeManifestIntoProgram() {
    zq_program_t* program = g_core.program;
    if (program != &g_core.programRecord) {
        zq_program_t kept = *program;
        *program = g_core.programRecord;
        program->interface_version = kept.interface_version;
        program->api = kept.api;
        program->parameters.developer = kept.parameters.developer;
        program->Init = kept.Init;
        program->Shutdown = kept.Shutdown;
        program->Update = kept.Update;
        program->Draw = kept.Draw;
        program->HandleEvent = kept.HandleEvent;
        program->HandleCrash = kept.HandleCrash;
    }
    if (g_core.pendingParameters.width == 0 || g_core.pendingParameters.height == 0) {
        g_core.pendingParameters.width = program->parameters.width;
        g_core.pendingParameters.height = program->parameters.height;
    }
    program->parameters.command_line = g_core.commandLine;
}

void ResolveLocale() {
    zq_program_t* program = g_core.program;
    if (g_runtime.settings.locale == nullptr && program->parameters.locale != nullptr) {
        ZQI_SetOwnedText(&g_runtime.settings.locale, program->parameters.locale);
    }
    if (g_runtime.settings.locale != nullptr && strcmp(g_runtime.settings.locale, "auto") == 0) {
        const char* language = ZQI_GetApi()->ExtensionCall("GetLanguage", nullptr);
        if (language != nullptr) {
            ZQI_SetOwnedText(&g_runtime.settings.locale, language);
            program->parameters.locale = g_runtime.settings.locale;
        }
    }
    const char* locale = program->parameters.locale;
    if (locale != nullptr && locale[0] != '\0') {
        String entry = String::FromFormat("data-%s", locale);
        ZQI_AppendAddonPackage(entry.CStr());
        ZQ_Log(LOG_LEVEL_SYSTEM, "Locale resolved to '%s'.", locale);
    } else {
        ZQ_Log(LOG_LEVEL_SYSTEM, "Locale not set.");
    }
}

void AddPackages() {
    ZQ_Log(LOG_LEVEL_SYSTEM, "Adding packages...");
    ZQI_AddConditionalPackages(ZQI_GetPackageList(), true);
    ZQI_AddConditionalPackages(ZQI_GetAddonPackageList(), true);
    ZQI_AddConditionalPackages(ZQI_GetMusicDataPackage(), true);
    ZQI_AddConditionalPackages(ZQI_GetSoundEffectDataPackage(), true);
    ZQI_AddConditionalPackages(ZQI_GetDeveloperPackageList(), false);
    ZQI_SelectGfxPackage();
}

// The modules read their data files (the leaderboard categories) through the search paths, as
// the program will: the resource folder joins the packages for that while, and takes its place
// behind them again with the other packages below.
void InitExtensionModulesWithResources() {
    const bool added = !ZQ_FileSystem_SearchPathExists("res://");
    if (added) {
        ZQ_FileSystem_AddSearchPath("res://", false);
    }
    InitExtensionModules();
    if (added) {
        ZQ_FileSystem_RemoveSearchPath("res://");
    }
}

void ReadResourceFlags() {
    g_runtime.printReferenceCountChanges = ZQI_IsFeatureEnabled("PRINT_REFERENCE_COUNT_CHANGES") ? 1 : 0;
    g_runtime.hideCursor = ZQI_IsFeatureEnabled("HIDE_CURSOR") ? 1 : 0;
    if (ZQI_IsFeatureEnabled("UNLIMITED_MEMORY")) {
        g_runtime.unlimitedMemory = 1;
        ZQ_Print("Virtually unlimited memory mode active.");
    }
    BitmapSwitches& bitmaps = ZQI_GetBitmapSwitches();
    bitmaps.printReferenceCountChanges = g_runtime.printReferenceCountChanges;
    bitmaps.unlimitedMemory = g_runtime.unlimitedMemory;
}

}  // namespace

void ZQI_CheckResolution() {
    zq_program_t* program = g_core.program;
    zq_parameters_t& parameters = program->parameters;
    g_core.appliedParameters = parameters;
    g_core.pendingParameters = parameters;
    ZQ_Log(LOG_LEVEL_SYSTEM, "Checking parameters with the program before video init.");
    if (program->HandleEvent != nullptr) {
        zq_event_t event;
        ZQ_InitializeEvent(&event, ZQ_EVENT_CHECK_PARAMETERS);
        event.check_parameters.api = ZQI_GetApi();
        event.check_parameters.parameters = &parameters;
        program->HandleEvent(&event);
    }
    if (g_core.developerMode && g_runtime.settings.bootWindowed) {
        parameters.windowed = 1;
    }
    bool chosen = false;
    if (parameters.width != 0 && parameters.height != 0 && ZQI_IsFeatureEnabled("FREE_RESOLUTION")) {
        ZQ_Print("Checking if program selected resolution (%dx%d %s) is supported by device.",
                 parameters.width, parameters.height, parameters.windowed ? "windowed" : "fullscreen");
        if (ZQI_IsResolutionSupported(parameters.display_index, parameters.width, parameters.height,
                                      parameters.windowed != 0)) {
            g_core.pendingParameters = parameters;
            chosen = true;
        } else {
            ZQ_Print("Resolution is not supported, falling back to autoselected resolution for this run.");
        }
    }
    if (!chosen) {
        bool selected = ZQI_SelectOptimalResolution(parameters.display_index, parameters.windowed != 0,
                                                    g_runtime.settings.forcedVariant != nullptr);
        // Without a resolutions list nothing is selected; a size with a zero side cannot be
        // displayed, so the program's own choice stands instead.
        zq_parameters_t& pending = g_core.pendingParameters;
        if (!selected && (pending.width == 0 || pending.height == 0)) {
            pending.width = parameters.width;
            pending.height = parameters.height;
            pending.windowed = parameters.windowed;
        }
    }
    g_core.appliedParameters = g_core.pendingParameters;
    parameters.width = g_core.pendingParameters.width;
    parameters.height = g_core.pendingParameters.height;
    parameters.windowed = g_core.pendingParameters.windowed;
}

bool CorePreinitialize() {
    ZQI_InstallErrorReportSink();
    ZQI_InitializeMainThread();
    ZQI_CreateThreadRegistryLock();
    g_core.renderer = nullptr;
    ZQI_RegisterApiTableFiller(ZQI_InstallAudioApi);
    ZQI_RegisterApiTableFiller(ZQI_InstallServiceTables);
    ZQI_BuildApiTables();
    ZQI_InstallReinitializeRequest();
    ZQI_InstallExtensionCall();
    ZQI_RegisterMemoryEstimateSources();
    memset(&g_core.appliedParameters, 0, sizeof(g_core.appliedParameters));
    SetDefaults();
    ZQI_CreateCoreMutexes();
    CollectSystemInfo();
    ZQI_BuildSystemInfoText();
    if (!ZQI_InitializeFileSystems()) {
        return false;
    }
    // The shader tool reads stage sources and included files, and their times, through them.
    ShaderTool::UseEngineFileSystem();
    g_core.program = &g_core.programRecord;
    ZQI_PrepareManifestReading();
    LoadProgXml();
    ZQI_TakeManifestSettings();
    ApplyStartupFeatureWords();
    ZQI_CheckProgramFields();
    const bool userFolders = ZQI_InitializeUserFolders(g_core.developerName, g_core.userDirName);
    g_runtime.displayWidth = g_runtime.displayHeight = 0;
    g_runtime.desktopWidth = GetSystemMetrics(SM_CXSCREEN);
    g_runtime.desktopHeight = GetSystemMetrics(SM_CYSCREEN);
    ZQI_InitializeLogging();
    if (!userFolders) {
        // Said again now: the user folders' own message came before there was a log to keep it.
        ZQ_Log(LOG_LEVEL_ERROR,
               "User folders for developer name '%s' and user folder name '%s' could not be made; logs "
               "and saves go to the working folder.",
               g_core.developerName, g_core.userDirName);
    }
    LogPlatformInfo();
    if (!LoadProgramImplementation()) {
        return false;
    }
    MergeManifestIntoProgram();
    g_runtime.allowMultipleInstances = ZQI_IsFeatureEnabled("ALLOW_MULTIPLE_PROGRAM_INSTANCES") ? 1 : 0;
    ZQI_CheckSingleInstance();
    g_runtime.verticalSync = ZQI_IsFeatureEnabled("DISABLE_VSYNC") ? 0 : 1;
    ZQI_LoadRendererImplementation();
    const char* resolutions = g_runtime.settings.resolutionsText;
    if (g_core.renderer != nullptr && resolutions != nullptr && resolutions[0] == '*') {
        BuildDisplayModeList(g_core.program->parameters.display_index);
    }
    ZQI_AddConditionalPackages(ZQI_GetPackageList(), true);
    ZQI_AddConditionalPackages(ZQI_GetAddonPackageList(), true);
    InitExtensionModulesWithResources();
    // Added again below, after the locale package has joined the addon list.
    ZQI_RemovePackageSearchPaths(ZQI_GetAddonPackageList());
    ResolveLocale();
    ZQI_CheckResolution();
    AddPackages();
    ZQI_ApplyParameterOverrides();
    ZQ_FileSystem_AddSearchPath("res://", false);
    ReadResourceFlags();
    ZQI_CreateImageLoader();
    ZQ_Log(LOG_LEVEL_SYSTEM, "Preinitialization complete.");
    return true;
}
