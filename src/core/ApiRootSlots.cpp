// The small root slots of the engine API whose work is the core's own: the shutdown signal,
// the re-initialisation request, string lists, the general heap, the input tables, the system
// information text and the developer flag.
#include <cstdlib>

#include "core/ApiTable.h"
#include "core/CoreState.h"
#include "core/Log.h"
#include "core/Sys.h"

namespace {

// Ids 1..2047 address the input tables; id 0 is never read or written.
bool IsInputId(int32_t id) {
    return id >= 1 && id < ZQ_INPUT_ID_COUNT;
}

// Keyboard keys (ids up to 255) carry a "pressed since last read" bit that each read clears.
const int32_t kLastKeyboardId = 255;
const int32_t kPressedSinceReadBit = 2;

ZQI_HeapReleaseObserver g_heapReleaseObserver = nullptr;

}  // namespace

void ZQ_SignalShutdown() {
    // The exchange makes the first caller the only one that logs, even when threads race.
    if (ZQI_SysAtomicExchange(&g_core.quitFlag, 1) == 0) {
        zq_date_t now = ZQ_GetLocalDate();
        ZQ_Log(LOG_LEVEL_SYSTEM, "Signalling shutdown at %d-%d-%d %.2d:%.2d.%2d", now.year, now.month,
               now.day, now.hour, now.minute, now.second);
    }
    if (g_core.program != nullptr) {
        g_core.program->parameters.quit_requested = 1;
    }
}

bool ZQ_IsShutdownSignalled() {
    return ZQI_IsQuitSignalled();
}

bool ZQ_ReinitializeWithParameters(zq_parameters_t* parameters) {
    if (parameters == nullptr) {
        ZQ_Log(LOG_LEVEL_ERROR, "ZQ_ReinitializeWithParameters: parameters are null.");
        return false;
    }
    bool waiting = g_core.reinitRequest != 0 || g_core.reinitApply != 0;
    if (g_core.program == nullptr || g_core.renderer == nullptr || waiting) {
        return false;
    }
    // A renderer exists only once the graphics subsystem is part of the build; until then the
    // check above already answered.
    ZQ_Log(LOG_LEVEL_ERROR, "ZQ_ReinitializeWithParameters: resolution selection is not available.");
    return false;
}

void ZQ_FreeStringList(zq_string_list_t* list) {
    if (list == nullptr) {
        return;
    }
    if (list->items != nullptr) {
        for (int32_t i = 0; i < list->count; ++i) {
            ZQ_FreeMemory(list->items[i]);
        }
    }
    ZQ_FreeMemory(list->items);
    ZQ_FreeMemory(list);
}

void* ZQ_AllocateMemory(uint32_t size) {
    return malloc(size);
}

void ZQ_FreeMemory(void* memory) {
    ZQI_HeapReleaseObserver observe = g_heapReleaseObserver;
    if (memory != nullptr && observe != nullptr) {
        observe(memory);
    }
    free(memory);
}

void ZQI_SetHeapReleaseObserver(ZQI_HeapReleaseObserver observe) {
    g_heapReleaseObserver = observe;
}

int32_t ZQ_GetInputState(int32_t id) {
    if (!IsInputId(id)) {
        return 0;
    }
    int32_t state = g_core.inputStates[id];
    if (id <= kLastKeyboardId) {
        g_core.inputStates[id] = state & ~kPressedSinceReadBit;
    }
    return state;
}

void ZQ_SetInputState(int32_t id, int32_t state) {
    if (IsInputId(id)) {
        g_core.inputStates[id] = state;
    }
}

float ZQ_GetInputValue(int32_t id) {
    return IsInputId(id) ? g_core.inputValues[id] : 0.0f;
}

void ZQ_SetInputValue(int32_t id, float value) {
    if (IsInputId(id)) {
        g_core.inputValues[id] = value;
    }
}

const char* ZQ_GetSystemInfo() {
    return g_core.systemInfoText.CStr();
}

bool ZQ_IsDeveloperMode() {
    return g_core.developerMode != 0;
}

const char* ZQI_CallExtension(const char* function, const char* parameter) {
    zq_api_t* api = ZQI_GetApi();
    return api->ExtensionCall != nullptr ? api->ExtensionCall(function, parameter) : nullptr;
}
