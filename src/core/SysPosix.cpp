// Host-build bodies of the core's small system functions (see Sys.h), on pthreads and the POSIX
// clocks. The product never uses them: they let the portable core run under the host's tests.
#include "core/Sys.h"

#include <pthread.h>
#include <sched.h>
#include <time.h>

#include <cerrno>
#include <cstdlib>

struct ZQI_SysThread {
    pthread_t thread;
};

struct ZQI_SysCriticalSection {
    pthread_mutex_t mutex;
};

struct ZQI_SysConditionVariable {
    pthread_cond_t condition;
};

namespace {

struct ThreadStart {
    ZQI_SysThreadFunction function;
    void* argument;
};

void* ThreadStartRoutine(void* parameter) {
    ThreadStart start = *static_cast<ThreadStart*>(parameter);
    free(parameter);
    start.function(start.argument);
    return nullptr;
}

pthread_once_t g_keyOnce = PTHREAD_ONCE_INIT;
pthread_key_t g_engineIdKey;
bool g_haveEngineIdKey = false;

void CreateEngineIdKey() {
    g_haveEngineIdKey = pthread_key_create(&g_engineIdKey, nullptr) == 0;
}

timespec Now(clockid_t clock) {
    timespec now;
    clock_gettime(clock, &now);
    return now;
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
    if (pthread_create(&thread->thread, nullptr, ThreadStartRoutine, start) != 0) {
        free(thread);
        free(start);
        return nullptr;
    }
    return thread;
}

void ZQI_SysJoinThread(ZQI_SysThread* thread) {
    if (thread == nullptr) {
        return;
    }
    pthread_join(thread->thread, nullptr);
    free(thread);
}

void ZQI_SysDetachThread(ZQI_SysThread* thread) {
    if (thread == nullptr) {
        return;
    }
    pthread_detach(thread->thread);
    free(thread);
}

bool ZQI_SysIsCurrentThread(const ZQI_SysThread* thread) {
    return thread != nullptr && pthread_equal(thread->thread, pthread_self()) != 0;
}

void* ZQI_SysGetCurrentThreadHandle() {
    return reinterpret_cast<void*>(static_cast<uintptr_t>(pthread_self()));
}

uint32_t ZQI_SysGetEngineThreadId() {
    pthread_once(&g_keyOnce, CreateEngineIdKey);
    if (!g_haveEngineIdKey) {
        return 0;
    }
    return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(pthread_getspecific(g_engineIdKey)));
}

void ZQI_SysSetEngineThreadId(uint32_t id) {
    pthread_once(&g_keyOnce, CreateEngineIdKey);
    if (g_haveEngineIdKey) {
        pthread_setspecific(g_engineIdKey, reinterpret_cast<void*>(static_cast<uintptr_t>(id)));
    }
}

int32_t ZQI_SysYield() {
    sched_yield();
    return 0;  // POSIX does not say whether another thread ran
}

void ZQI_SysSleep(uint32_t milliseconds) {
    timespec duration;
    duration.tv_sec = static_cast<time_t>(milliseconds / 1000);
    duration.tv_nsec = static_cast<long>(milliseconds % 1000) * 1000000L;
    while (nanosleep(&duration, &duration) != 0 && errno == EINTR) {
    }
}

ZQI_SysCriticalSection* ZQI_SysNewCriticalSection() {
    ZQI_SysCriticalSection* section =
        static_cast<ZQI_SysCriticalSection*>(malloc(sizeof(ZQI_SysCriticalSection)));
    if (section == nullptr) {
        return nullptr;
    }
    // Recursive like a Windows critical section, which the engine's code relies on.
    pthread_mutexattr_t attributes;
    pthread_mutexattr_init(&attributes);
    pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_RECURSIVE);
    pthread_mutex_init(&section->mutex, &attributes);
    pthread_mutexattr_destroy(&attributes);
    return section;
}

void ZQI_SysDeleteCriticalSection(ZQI_SysCriticalSection* section) {
    if (section == nullptr) {
        return;
    }
    pthread_mutex_destroy(&section->mutex);
    free(section);
}

void ZQI_SysEnterCriticalSection(ZQI_SysCriticalSection* section) {
    pthread_mutex_lock(&section->mutex);
}

bool ZQI_SysTryEnterCriticalSection(ZQI_SysCriticalSection* section) {
    return pthread_mutex_trylock(&section->mutex) == 0;
}

void ZQI_SysLeaveCriticalSection(ZQI_SysCriticalSection* section) {
    pthread_mutex_unlock(&section->mutex);
}

ZQI_SysConditionVariable* ZQI_SysNewConditionVariable() {
    ZQI_SysConditionVariable* condition =
        static_cast<ZQI_SysConditionVariable*>(malloc(sizeof(ZQI_SysConditionVariable)));
    if (condition != nullptr) {
        pthread_cond_init(&condition->condition, nullptr);
    }
    return condition;
}

void ZQI_SysDeleteConditionVariable(ZQI_SysConditionVariable* condition) {
    if (condition == nullptr) {
        return;
    }
    pthread_cond_destroy(&condition->condition);
    free(condition);
}

void ZQI_SysWaitConditionVariable(ZQI_SysConditionVariable* condition, ZQI_SysCriticalSection* section) {
    pthread_cond_wait(&condition->condition, &section->mutex);
}

void ZQI_SysWakeOne(ZQI_SysConditionVariable* condition) {
    pthread_cond_signal(&condition->condition);
}

void ZQI_SysWakeAll(ZQI_SysConditionVariable* condition) {
    pthread_cond_broadcast(&condition->condition);
}

int32_t ZQI_SysAtomicIncrement(volatile int32_t* value) {
    return __atomic_add_fetch(value, 1, __ATOMIC_SEQ_CST);
}

int32_t ZQI_SysAtomicDecrement(volatile int32_t* value) {
    return __atomic_sub_fetch(value, 1, __ATOMIC_SEQ_CST);
}

int32_t ZQI_SysAtomicExchange(volatile int32_t* value, int32_t newValue) {
    return __atomic_exchange_n(value, newValue, __ATOMIC_SEQ_CST);
}

int32_t ZQI_SysAtomicLoad(const volatile int32_t* value) {
    return __atomic_load_n(value, __ATOMIC_SEQ_CST);
}

uint32_t ZQI_SysMilliseconds() {
    timespec now = Now(CLOCK_MONOTONIC);
    uint64_t milliseconds =
        static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
    return static_cast<uint32_t>(milliseconds);
}

int64_t ZQI_SysNanoseconds() {
    timespec now = Now(CLOCK_MONOTONIC);
    return static_cast<int64_t>(now.tv_sec) * 1000000000LL + now.tv_nsec;
}

void ZQI_SysGetLocalDate(ZQI_SysDate* date) {
    time_t seconds = time(nullptr);
    tm local;
    localtime_r(&seconds, &local);
    date->year = local.tm_year + 1900;
    date->month = local.tm_mon + 1;
    date->day = local.tm_mday;
    date->hour = local.tm_hour;
    date->minute = local.tm_min;
    date->second = local.tm_sec;
    date->weekday = local.tm_wday;
    date->yearDay = local.tm_yday;
}
