// Windows bodies of the core's small system functions (see Sys.h): _beginthreadex threads,
// CRITICAL_SECTION, CONDITION_VARIABLE, TLS, timeGetTime, QueryPerformanceCounter, Interlocked*.
#include "core/Sys.h"

#include <windows.h>
#include <mmsystem.h>
#include <process.h>

#include <cstdlib>

struct ZQI_SysThread {
    HANDLE handle;
    DWORD id;
};

struct ZQI_SysCriticalSection {
    CRITICAL_SECTION section;
};

struct ZQI_SysConditionVariable {
    CONDITION_VARIABLE condition;
};

namespace {

// What the new thread needs; owned by the new thread, which frees it before running the function.
struct ThreadStart {
    ZQI_SysThreadFunction function;
    void* argument;
};

unsigned __stdcall ThreadStartRoutine(void* parameter) {
    ThreadStart start = *static_cast<ThreadStart*>(parameter);
    free(parameter);
    start.function(start.argument);
    return 0;
}

// The TLS slot of the engine thread id, allocated once on first use by whichever thread comes
// first, so no static initialisation order matters.
INIT_ONCE g_tlsOnce = INIT_ONCE_STATIC_INIT;
DWORD g_tlsIndex = TLS_OUT_OF_INDEXES;

BOOL CALLBACK AllocateTlsIndex(PINIT_ONCE, PVOID, PVOID*) {
    g_tlsIndex = TlsAlloc();
    return TRUE;
}

DWORD EngineIdTlsIndex() {
    InitOnceExecuteOnce(&g_tlsOnce, AllocateTlsIndex, nullptr, nullptr);
    return g_tlsIndex;
}

int32_t DayOfYear(int32_t year, int32_t month, int32_t day) {
    static const int32_t kDaysBeforeMonth[12] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
    bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    int32_t days = kDaysBeforeMonth[(month - 1) % 12] + day - 1;
    return (leap && month > 2) ? days + 1 : days;
}

}  // namespace

ZQI_SysThread* ZQI_SysCreateThread(ZQI_SysThreadFunction function, void* argument) {
    ZQI_SysThread* thread = static_cast<ZQI_SysThread*>(malloc(sizeof(ZQI_SysThread)));
    ThreadStart* start = static_cast<ThreadStart*>(malloc(sizeof(ThreadStart)));
    if (thread == nullptr || start == nullptr) {
        free(thread);
        free(start);
        return nullptr;
    }
    start->function = function;
    start->argument = argument;
    unsigned id = 0;
    uintptr_t handle = _beginthreadex(nullptr, 0, ThreadStartRoutine, start, 0, &id);
    if (handle == 0) {
        free(thread);
        free(start);  // the thread never ran, so the start record is still ours
        return nullptr;
    }
    thread->handle = reinterpret_cast<HANDLE>(handle);
    thread->id = id;
    return thread;
}

void ZQI_SysJoinThread(ZQI_SysThread* thread) {
    if (thread == nullptr) {
        return;
    }
    WaitForSingleObject(thread->handle, INFINITE);
    CloseHandle(thread->handle);
    free(thread);
}

void ZQI_SysDetachThread(ZQI_SysThread* thread) {
    if (thread == nullptr) {
        return;
    }
    CloseHandle(thread->handle);
    free(thread);
}

bool ZQI_SysIsCurrentThread(const ZQI_SysThread* thread) {
    return thread != nullptr && thread->id == GetCurrentThreadId();
}

void* ZQI_SysGetCurrentThreadHandle() {
    return GetCurrentThread();
}

uint32_t ZQI_SysGetEngineThreadId() {
    DWORD index = EngineIdTlsIndex();
    if (index == TLS_OUT_OF_INDEXES) {
        return 0;
    }
    return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(TlsGetValue(index)));
}

void ZQI_SysSetEngineThreadId(uint32_t id) {
    DWORD index = EngineIdTlsIndex();
    if (index != TLS_OUT_OF_INDEXES) {
        TlsSetValue(index, reinterpret_cast<void*>(static_cast<uintptr_t>(id)));
    }
}

int32_t ZQI_SysYield() {
    return SwitchToThread() ? 1 : 0;
}

void ZQI_SysSleep(uint32_t milliseconds) {
    Sleep(milliseconds);
}

ZQI_SysCriticalSection* ZQI_SysNewCriticalSection() {
    ZQI_SysCriticalSection* section =
        static_cast<ZQI_SysCriticalSection*>(malloc(sizeof(ZQI_SysCriticalSection)));
    if (section != nullptr) {
        InitializeCriticalSection(&section->section);
    }
    return section;
}

void ZQI_SysDeleteCriticalSection(ZQI_SysCriticalSection* section) {
    if (section == nullptr) {
        return;
    }
    DeleteCriticalSection(&section->section);
    free(section);
}

void ZQI_SysEnterCriticalSection(ZQI_SysCriticalSection* section) {
    EnterCriticalSection(&section->section);
}

bool ZQI_SysTryEnterCriticalSection(ZQI_SysCriticalSection* section) {
    return TryEnterCriticalSection(&section->section) != 0;
}

void ZQI_SysLeaveCriticalSection(ZQI_SysCriticalSection* section) {
    LeaveCriticalSection(&section->section);
}

ZQI_SysConditionVariable* ZQI_SysNewConditionVariable() {
    ZQI_SysConditionVariable* condition =
        static_cast<ZQI_SysConditionVariable*>(malloc(sizeof(ZQI_SysConditionVariable)));
    if (condition != nullptr) {
        InitializeConditionVariable(&condition->condition);
    }
    return condition;
}

void ZQI_SysDeleteConditionVariable(ZQI_SysConditionVariable* condition) {
    free(condition);  // Windows condition variables need no clean-up
}

void ZQI_SysWaitConditionVariable(ZQI_SysConditionVariable* condition, ZQI_SysCriticalSection* section) {
    SleepConditionVariableCS(&condition->condition, &section->section, INFINITE);
}

void ZQI_SysWakeOne(ZQI_SysConditionVariable* condition) {
    WakeConditionVariable(&condition->condition);
}

void ZQI_SysWakeAll(ZQI_SysConditionVariable* condition) {
    WakeAllConditionVariable(&condition->condition);
}

// LONG is 32 bits on Windows (LLP64), so int32_t and LONG share their representation.
int32_t ZQI_SysAtomicIncrement(volatile int32_t* value) {
    return InterlockedIncrement(reinterpret_cast<volatile LONG*>(value));
}

int32_t ZQI_SysAtomicDecrement(volatile int32_t* value) {
    return InterlockedDecrement(reinterpret_cast<volatile LONG*>(value));
}

int32_t ZQI_SysAtomicExchange(volatile int32_t* value, int32_t newValue) {
    return InterlockedExchange(reinterpret_cast<volatile LONG*>(value), newValue);
}

int32_t ZQI_SysAtomicLoad(const volatile int32_t* value) {
    // A compare-exchange that never changes the value reads it with a full barrier.
    return InterlockedCompareExchange(
        const_cast<volatile LONG*>(reinterpret_cast<const volatile LONG*>(value)), 0, 0);
}

uint32_t ZQI_SysMilliseconds() {
    return timeGetTime();
}

int64_t ZQI_SysNanoseconds() {
    LARGE_INTEGER frequency;
    LARGE_INTEGER counter;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&counter);
    // Whole seconds and the remainder apart, so counter * 10^9 cannot overflow.
    int64_t seconds = counter.QuadPart / frequency.QuadPart;
    int64_t remainder = counter.QuadPart % frequency.QuadPart;
    return seconds * 1000000000LL + remainder * 1000000000LL / frequency.QuadPart;
}

void ZQI_SysGetLocalDate(ZQI_SysDate* date) {
    SYSTEMTIME now;
    GetLocalTime(&now);
    date->year = now.wYear;
    date->month = now.wMonth;
    date->day = now.wDay;
    date->hour = now.wHour;
    date->minute = now.wMinute;
    date->second = now.wSecond;
    date->weekday = now.wDayOfWeek;
    date->yearDay = DayOfYear(now.wYear, now.wMonth, now.wDay);
}
