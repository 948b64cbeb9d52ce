// The recording program and core set-up shared by the platform tests.
#include "PlatformTestSupport.h"

#include <cstring>

#include "core/ApiTable.h"
#include "core/Console.h"
#include "core/CoreState.h"
#include "core/EventQueue.h"
#include "core/Log.h"
#include "core/Sys.h"
#include "core/Threads.h"
#include "platform/windows/GameWindow.h"
#include "platform/windows/MessagePump.h"

namespace {

RecordingProgram g_recording;

int32_t RecordEvent(const zq_event_t* event) {
    RecordedEvent recorded;
    recorded.event = *event;
    if (event->type == ZQ_EVENT_LAUNCH_URI) {
        recorded.name = event->launch_uri.name != nullptr ? event->launch_uri.name : "";
        recorded.text = event->launch_uri.uri != nullptr ? event->launch_uri.uri : "";
    } else if (event->type == ZQ_EVENT_FILE_DROPPED) {
        recorded.text = event->file_dropped.path != nullptr ? event->file_dropped.path : "";
    }
    g_recording.events.push_back(recorded);
    return g_recording.answer;
}

}  // namespace

RecordingProgram& TheRecordingProgram() {
    return g_recording;
}

void UseRecordingProgram(const char* title) {
    ZQI_InitializeMainThread();
    ZQI_BuildApiTables();
    memset(&g_recording.record, 0, sizeof(g_recording.record));
    g_recording.record.interface_version = ZQ_INTERFACE_VERSION;
    strncpy(g_recording.record.title, title, sizeof(g_recording.record.title) - 1);
    g_recording.record.parameters.windowed = 1;
    g_recording.record.HandleEvent = RecordEvent;
    g_recording.events.clear();
    g_recording.answer = 0;
    g_core.program = &g_recording.record;
    g_core.coreRunning = 1;
    g_core.queueInputEvents = 1;
}

void ForgetRecordingProgram() {
    g_core.program = nullptr;
    g_core.coreRunning = 0;
    g_core.queueInputEvents = 0;
    ZQI_SysAtomicExchange(&g_core.quitFlag, 0);
    g_recording.events.clear();
}

std::vector<RecordedEvent> RecordedEventsOfType(uint32_t type) {
    std::vector<RecordedEvent> found;
    for (const RecordedEvent& recorded : g_recording.events) {
        if (recorded.event.type == type) {
            found.push_back(recorded);
        }
    }
    return found;
}

std::string TestExecutableFolder() {
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, path, sizeof(path));
    std::string folder(path, length);
    size_t slash = folder.find_last_of("\\/");
    return slash == std::string::npos ? std::string(".\\") : folder.substr(0, slash + 1);
}

void StartMemoryLog() {
    LogSettings settings;
    memset(&settings, 0, sizeof(settings));
    settings.loggingEnabled = true;
    settings.logToFile = false;
    settings.verboseThreshold = 0;
    settings.programId = "platform-test";
    g_core.consoleEnabled = 1;
    g_core.logVerboseLevel = 0;
    ZQI_StartLog(ZQI_GetConsole(), settings);
}

void StopMemoryLog() {
    ZQI_StopLog(ZQI_GetConsole());
}

int CountLoggedLinesWith(const std::string& text) {
    int count = 0;
    const Console* console = ZQI_GetConsole();
    for (int32_t i = 0; i < console->lines.count; ++i) {
        const ConsoleLine& line = console->lines.data[i];
        if (line.lineNumber != 0 && line.text != nullptr &&
            std::string(line.text).find(text) != std::string::npos) {
            ++count;
        }
    }
    return count;
}

bool DeliverUntil(bool (*done)(), DWORD milliseconds) {
    DWORD start = GetTickCount();
    for (;;) {
        PumpWindowMessages();
        ZQI_ProcessEventQueue();
        if (done()) {
            return true;
        }
        if (GetTickCount() - start > milliseconds) {
            return false;
        }
        Sleep(5);
    }
}

void DeliverFor(DWORD milliseconds) {
    DWORD start = GetTickCount();
    while (GetTickCount() - start <= milliseconds) {
        PumpWindowMessages();
        ZQI_ProcessEventQueue();
        Sleep(5);
    }
}

std::string ControlText(HWND dialog, int control) {
    char text[4096] = "";
    GetDlgItemTextA(dialog, control, text, sizeof(text));
    return text;
}

void PressButton(HWND dialog, int button) {
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
}

DialogDriver::DialogDriver(const char* caption, std::function<void(HWND)> action)
    : thread_([this, caption, action] { Watch(caption, action); }) {}

DialogDriver::~DialogDriver() {
    stop_ = true;
    thread_.join();
}

void DialogDriver::Watch(const char* caption, const std::function<void(HWND)>& action) {
    const int kPolls = 1000;
    const DWORD kPollMilliseconds = 10;
    for (int i = 0; i < kPolls && !stop_; ++i) {
        HWND dialog = FindWindowA("#32770", caption);
        if (dialog != nullptr && IsWindowVisible(dialog)) {
            found_ = true;
            action(dialog);
            return;
        }
        Sleep(kPollMilliseconds);
    }
}

bool OpenTestWindow(const char* title) {
    UseRecordingProgram(title);
    g_core.appliedParameters.width = 320;
    g_core.appliedParameters.height = 240;
    g_core.appliedParameters.windowed = 1;
    if (!CreateGameWindow()) {
        return false;
    }
    DeliverFor(30);
    g_recording.events.clear();
    return true;
}

void CloseTestWindow() {
    DestroyGameWindow();
    PumpWindowMessages();
    ZQI_ProcessEventQueue();
    ForgetRecordingProgram();
}
