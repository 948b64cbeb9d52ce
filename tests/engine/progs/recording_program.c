/* A program library for the engine's end-to-end tests: it counts its callbacks, records the
 * launch URIs it is sent, and quits when told. Its behaviour comes from the process command line,
 * so one library serves every test:
 *   --test-quit-after N          ask the engine to quit in the N-th Draw (default 5)
 *   --test-wait-launch-uri       instead, write "ready.txt" after the first Draw and quit once a
 *                                "launch-uri" event has arrived
 *   --test-interface-version X   report interface version X (hex) instead of the engine's
 *   --test-sound NAME            load the sound in Init and loop it from the first Draw
 *   --test-music NAME            play the sound as quiet music from the first Draw
 *   --test-sound-on-at N         in the N-th Draw ask for sound to be switched on, and play the
 *                                sound again two frames later
 *   --test-pause-after-ms MS     pause the sound and the music MS milliseconds after Init
 *   --test-quit-after-ms MS      ask the engine to quit MS milliseconds after Init
 *   --test-extension-calls       in the first Draw, asks named extension calls and the local date
 *                                and reports their answers
 *   --test-crash                 faults in the second Draw; the crash callback writes the trace
 *                                it is given to "crash.txt"
 *   --test-resources             keeps "res://reload.tga" in memory from Init; in the first Draw
 *                                asks for a reload, moves the file's time on, asks again and
 *                                asks for the resource listing
 *   --test-wait-gamepad          instead of a frame count, quit once a gamepad key has arrived;
 *                                pads are read only while the window is active, so meanwhile it
 *                                brings its window to the front (other tests' windows share the
 *                                display and may have taken the focus)
 *   --test-jobs-at-shutdown N    starts one worker thread in Init and, in its shutdown callback,
 *                                queues N jobs of 50 ms that each append a line to "jobs.txt"
 *   --test-save-write TEXT       in Init mounts save://, writes TEXT to "save://slot.dat" and
 *                                closes it, but never unmounts
 *   --test-save-read             in Init mounts save://, reports the contents of
 *                                "save://slot.dat" as save=..., deletes it and unmounts
 * At shutdown it writes "run-report.txt" beside itself, one "key=value" per line; it also reports
 * the first gamepad key pressed and whether pad 0 was connected. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>

#include "zorqa.h"

/* A waiting instance that never hears from the other one still ends, so a broken hand-over
 * fails the test instead of hanging it. */
#define WAIT_LIMIT_MILLISECONDS 60000u

static zq_program_t* g_program;
static int g_quitAfter = 5;
static int g_waitForLaunchUri;
static int g_initCalls;
static int g_updateCalls;
static int g_drawCalls;
static int g_shutdownCalls;
static int g_checkParameterEvents;
static int g_launchUriEvents;
static int g_queuedEvents;         /* events after Init, i.e. from the queue */
static unsigned g_firstQueuedType; /* type of the first of those */
static char g_launchUri[512];
static DWORD g_startTick;
static int g_quitSignalled;
static char g_soundName[128];
static char g_musicName[128];
static int g_soundOnAt = -1;
static DWORD g_pauseAfter;
static DWORD g_quitAfterTime;
static SoundResource* g_sound;
static int g_soundLoaded;
static uint32_t g_soundChannel;
static uint32_t g_soundChannelLater;
static int g_soundPlaying;
static int g_paused;
static int g_askExtensionCalls;
static int g_crash;
static int g_resources;
static char g_extensionAnswers[1024];
static int g_firstPadKey;
static int g_padConnected;
static int g_waitForGamepad;
static int g_jobsAtShutdown;
static char g_saveText[128];
static int g_saveRead;
static char g_savedText[128];

static const char* FindOption(const char* name) {
    const char* found = strstr(GetCommandLineA(), name);
    return found != NULL ? found + strlen(name) : NULL;
}

/* The word after an option, up to the next blank. */
static void ReadWord(const char* name, char* out, size_t size) {
    const char* found = FindOption(name);
    size_t length = 0;
    while (found != NULL && found[length] != '\0' && found[length] != ' ' && length + 1 < size) {
        ++length;
    }
    if (found != NULL) {
        memcpy(out, found, length);
    }
    out[length] = '\0';
}

static void ReadOptions(void) {
    const char* quitAfter = FindOption("--test-quit-after ");
    if (quitAfter != NULL) {
        g_quitAfter = atoi(quitAfter);
    }
    g_waitForLaunchUri = FindOption("--test-wait-launch-uri") != NULL;
    ReadWord("--test-sound ", g_soundName, sizeof(g_soundName));
    ReadWord("--test-music ", g_musicName, sizeof(g_musicName));
    const char* soundOn = FindOption("--test-sound-on-at ");
    g_soundOnAt = soundOn != NULL ? atoi(soundOn) : -1;
    const char* pause = FindOption("--test-pause-after-ms ");
    g_pauseAfter = pause != NULL ? (DWORD)atoi(pause) : 0;
    const char* quitTime = FindOption("--test-quit-after-ms ");
    g_quitAfterTime = quitTime != NULL ? (DWORD)atoi(quitTime) : 0;
    g_askExtensionCalls = FindOption("--test-extension-calls") != NULL;
    g_crash = FindOption("--test-crash") != NULL;
    g_resources = FindOption("--test-resources") != NULL;
    g_waitForGamepad = FindOption("--test-wait-gamepad") != NULL;
    const char* jobs = FindOption("--test-jobs-at-shutdown ");
    g_jobsAtShutdown = jobs != NULL ? atoi(jobs) : 0;
    ReadWord("--test-save-write ", g_saveText, sizeof(g_saveText));
    g_saveRead = FindOption("--test-save-read") != NULL;
}

/* A file of the given name in the folder that holds this library. */
static void PathBesideLibrary(const char* name, char* path, size_t size) {
    HMODULE self = NULL;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       (LPCSTR)&PathBesideLibrary, &self);
    DWORD length = GetModuleFileNameA(self, path, (DWORD)size);
    while (length > 0 && path[length - 1] != '\\' && path[length - 1] != '/') {
        --length;
    }
    snprintf(path + length, size - length, "%s", name);
}

static void WriteReport(void) {
    char path[MAX_PATH];
    PathBesideLibrary("run-report.txt", path, sizeof(path));
    FILE* file = fopen(path, "w");
    if (file == NULL) {
        return;
    }
    fprintf(file,
            "init=%d\nupdate=%d\ndraw=%d\nshutdown=%d\ncheck_parameters=%d\nlaunch_uri_events=%d\n"
            "launch_uri=%s\nqueued_events=%d\nfirst_queued_type=%u\napi=%d\nsound_loaded=%d\n"
            "sound_channel=%u\nsound_playing=%d\nsound_channel_later=%u\nfirst_pad_key=%d\n"
            "pad0_connected=%d\nsave=%s\n%s",
            g_initCalls, g_updateCalls, g_drawCalls, g_shutdownCalls, g_checkParameterEvents,
            g_launchUriEvents, g_launchUri, g_queuedEvents, g_firstQueuedType, g_program->api != NULL,
            g_soundLoaded, g_soundChannel, g_soundPlaying, g_soundChannelLater, g_firstPadKey, g_padConnected,
            g_savedText, g_extensionAnswers);
    fclose(file);
}

/* Written once the window exists and frames run, so another instance can find this one. */
static void WriteReadyFile(void) {
    char path[MAX_PATH];
    char temporary[MAX_PATH];
    PathBesideLibrary("ready.txt", path, sizeof(path));
    PathBesideLibrary("ready.tmp", temporary, sizeof(temporary));
    FILE* file = fopen(temporary, "w");
    if (file == NULL) {
        return;
    }
    fprintf(file, "ready\n");
    fclose(file);
    /* Renamed into place, so a reader never sees a half-written file. */
    MoveFileExA(temporary, path, MOVEFILE_REPLACE_EXISTING);
}

static void Quit(void) {
    if (!g_quitSignalled && g_soundChannel != 0) {
        g_soundPlaying = g_program->api->audio->IsSoundPlaying(g_soundChannel);
    }
    if (!g_quitSignalled) {
        g_quitSignalled = 1;
        g_program->api->SignalShutdown();
    }
}

/* A job of the worker pool: takes its time, then leaves a line in "jobs.txt". */
static void SlowJob(void* argument) {
    char path[MAX_PATH];
    FILE* file;
    Sleep(50);
    PathBesideLibrary("jobs.txt", path, sizeof(path));
    file = fopen(path, "ab");
    if (file != NULL) {
        fprintf(file, "job %d\n", (int)(intptr_t)argument);
        fclose(file);
    }
}

static void WriteSave(void) {
    const zq_filesystem_api_t* files = g_program->api->filesystem;
    zq_file_t* file;
    if (!files->Mount("save", 0)) {
        return;
    }
    file = files->OpenFile("save://slot.dat", "w");
    if (file != NULL) {
        files->WriteFile(g_saveText, strlen(g_saveText), file);
        files->CloseFile(file);
    }
}

static void ReadSave(void) {
    const zq_filesystem_api_t* files = g_program->api->filesystem;
    zq_file_t* file;
    if (!files->Mount("save", 0)) {
        return;
    }
    file = files->OpenFile("save://slot.dat", "r");
    if (file != NULL) {
        uint64_t got = files->ReadFile(g_savedText, sizeof(g_savedText) - 1, file);
        g_savedText[got] = '\0';
        files->CloseFile(file);
    }
    files->DeleteFile("save://slot.dat");
    files->Unmount("save");
}

static bool RecordingInit(void) {
    ++g_initCalls;
    if (g_resources) {
        g_program->api->graphics->GetBitmapWithCacheMode("res://reload.tga", CACHE_PIXELS);
    }
    g_startTick = GetTickCount();
    if (g_jobsAtShutdown > 0) {
        g_program->api->threading->StartWorkerThreads(1);
    }
    if (g_saveText[0] != '\0') {
        WriteSave();
    }
    if (g_saveRead) {
        ReadSave();
    }
    if (g_soundName[0] != '\0') {
        g_sound = g_program->api->audio->LoadSound(g_soundName);
        g_soundLoaded = g_program->api->audio->IsSoundLoaded(g_sound);
    }
    return true;
}

static void AppendAnswer(const char* key, const char* answer) {
    size_t used = strlen(g_extensionAnswers);
    snprintf(g_extensionAnswers + used, sizeof(g_extensionAnswers) - used, "%s=%s\n", key,
             answer != NULL ? answer : "(null)");
}

static void AskExtensionCalls(void) {
    zq_api_t* api = g_program->api;
    char date[32];
    zq_date_t today = api->GetLocalDate();
    AppendAnswer("ext_program_id", api->ExtensionCall("ProgramInfo", "ProgramId"));
    AppendAnswer("ext_language", api->ExtensionCall("GetLanguage", NULL));
    AppendAnswer("ext_max_texture", api->ExtensionCall("Renderer", "MaximumTextureSize"));
    AppendAnswer("ext_date", api->ExtensionCall("GetDate", NULL));
    snprintf(date, sizeof(date), "%d-%.2d-%.2d", today.year, today.month, today.day);
    AppendAnswer("local_date", date);
}

static void WriteCrashTrace(const char* trace) {
    char path[MAX_PATH];
    FILE* file;
    PathBesideLibrary("crash.txt", path, sizeof(path));
    file = fopen(path, "wb");
    if (file != NULL) {
        fputs(trace, file);
        fclose(file);
    }
}

/* A reload finds nothing to do until the file's time moves on; then the bitmap is loaded again. */
static void ExerciseResourceCommands(void) {
    zq_api_t* api = g_program->api;
    char path[MAX_PATH];
    HANDLE file;
    FILETIME written;
    ULARGE_INTEGER time;
    api->ExtensionCall("Cache", "ReloadResources");
    PathBesideLibrary("reload.tga", path, sizeof(path));
    file = CreateFileA(path, FILE_WRITE_ATTRIBUTES, 0, NULL, OPEN_EXISTING, 0, NULL);
    if (file != INVALID_HANDLE_VALUE && GetFileTime(file, NULL, NULL, &written)) {
        time.LowPart = written.dwLowDateTime;
        time.HighPart = written.dwHighDateTime;
        time.QuadPart += 3600ull * 10000000ull; /* one hour in 100 ns steps */
        written.dwLowDateTime = time.LowPart;
        written.dwHighDateTime = time.HighPart;
        SetFileTime(file, NULL, NULL, &written);
    }
    if (file != INVALID_HANDLE_VALUE) {
        CloseHandle(file);
    }
    api->ExtensionCall("Cache", "ReloadResources");
    api->ExtensionCall("ListResourceUsage", NULL);
}

static __attribute__((noinline)) void CrashInDraw(void) {
    *(volatile int*)NULL = 1;
}

static void RecordingShutdown(void) {
    int i;
    ++g_shutdownCalls;
    for (i = 0; i < g_jobsAtShutdown; ++i) {
        g_program->api->threading->QueueJob((void*)(intptr_t)i, SlowJob);
    }
    g_padConnected = g_program->api->GetInputState(800);
    WriteReport();
}

static void RecordingUpdate(float dt) {
    (void)dt;
    ++g_updateCalls;
}

/* Plays, switches sound on and pauses as the options ask, by frame and by time. */
static void DriveSound(void) {
    const zq_audio_api_t* audio = g_program->api->audio;
    if (g_drawCalls == 1 && g_sound != NULL) {
        g_soundChannel = audio->PlaySoundWithDelay(g_sound, 1.0f, 0.0f, 1.0f, true, 0.0f);
    }
    if (g_drawCalls == 1 && g_musicName[0] != '\0') {
        audio->PlayMusic(audio->LoadSound(g_musicName), 0.25f, 0.0f);
    }
    if (g_drawCalls == g_soundOnAt) {
        zq_parameters_t parameters = g_program->parameters;
        parameters.no_sound = 0;
        g_program->api->ReinitializeWithParameters(&parameters);
    }
    if (g_drawCalls == g_soundOnAt + 2 && g_sound != NULL) {
        g_soundChannelLater = audio->PlaySound(g_sound, 1.0f, 0.0f, 1.0f);
    }
    if (g_pauseAfter != 0 && !g_paused && GetTickCount() - g_startTick >= g_pauseAfter) {
        g_paused = 1;
        audio->SetChannelPaused(g_soundChannel, true);
        audio->SetMusicPaused(true);
    }
    if (g_quitAfterTime != 0 && GetTickCount() - g_startTick >= g_quitAfterTime) {
        Quit();
    }
}

static BOOL CALLBACK ForegroundOwnWindow(HWND window, LPARAM unused) {
    (void)unused;
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process != GetCurrentProcessId() || !IsWindowVisible(window)) {
        return TRUE;
    }
    SetForegroundWindow(window);
    return FALSE;
}

static int OwnWindowHasFocus(void) {
    DWORD process = 0;
    HWND foreground = GetForegroundWindow();
    return foreground != NULL && GetWindowThreadProcessId(foreground, &process) != 0 &&
           process == GetCurrentProcessId();
}

/* Quits once a pad key has come; until then, twice a second, takes the focus back. */
static void WaitForGamepad(void) {
    static DWORD lastFocusTry;
    DWORD now = GetTickCount();
    if (g_firstPadKey != 0 || now - g_startTick > WAIT_LIMIT_MILLISECONDS) {
        Quit();
    } else if (now - lastFocusTry >= 500 && !OwnWindowHasFocus()) {
        lastFocusTry = now;
        EnumWindows(ForegroundOwnWindow, 0);
    }
}

static void RecordingDraw(float dt) {
    (void)dt;
    ++g_drawCalls;
    if (g_askExtensionCalls && g_drawCalls == 1) {
        AskExtensionCalls();
    }
    if (g_resources && g_drawCalls == 1) {
        ExerciseResourceCommands();
    }
    if (g_crash && g_drawCalls == 2) {
        CrashInDraw();
    }
    DriveSound();
    if (g_waitForLaunchUri) {
        if (g_drawCalls == 1) {
            WriteReadyFile();
        }
        if (g_launchUriEvents > 0 || GetTickCount() - g_startTick > WAIT_LIMIT_MILLISECONDS) {
            Quit();
        }
    } else if (g_waitForGamepad) {
        WaitForGamepad();
    } else if (g_drawCalls == g_quitAfter && g_quitAfterTime == 0) {
        Quit();
    }
}

static void RecordLaunchUri(const zq_event_t* event) {
    if (event->launch_uri.name == NULL || strcmp(event->launch_uri.name, "launch-uri") != 0) {
        return;
    }
    ++g_launchUriEvents;
    snprintf(g_launchUri, sizeof(g_launchUri), "%s",
             event->launch_uri.uri != NULL ? event->launch_uri.uri : "");
}

static int32_t RecordingHandleEvent(const zq_event_t* event) {
    if (event->type == ZQ_EVENT_CHECK_PARAMETERS) {
        ++g_checkParameterEvents;
        event->check_parameters.parameters->width = 320;
        event->check_parameters.parameters->height = 240;
        event->check_parameters.parameters->windowed = 1;
        return 0;
    }
    if (g_initCalls > 0) {
        if (g_queuedEvents++ == 0) {
            g_firstQueuedType = event->type;
        }
    }
    if (event->type == ZQ_EVENT_LAUNCH_URI) {
        RecordLaunchUri(event);
    }
    if (event->type == ZQ_EVENT_KEY_DOWN && event->key.input_id >= 800 && g_firstPadKey == 0) {
        g_firstPadKey = event->key.input_id;
    }
    return 0;
}

__declspec(dllexport) bool ZQ_GetProgramInterface(zq_program_t* program, uint32_t engine_version) {
    (void)engine_version;
    ReadOptions();
    g_program = program;
    program->interface_version = ZQ_INTERFACE_VERSION;
    const char* version = FindOption("--test-interface-version ");
    if (version != NULL) {
        program->interface_version = (uint32_t)strtoul(version, NULL, 16);
    }
    program->Init = RecordingInit;
    program->Shutdown = RecordingShutdown;
    program->Update = RecordingUpdate;
    program->Draw = RecordingDraw;
    program->HandleEvent = RecordingHandleEvent;
    program->HandleCrash = g_crash ? WriteCrashTrace : NULL;
    return true;
}
