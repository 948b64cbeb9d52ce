// Helpers for the core's threading tests: a one-shot event to hand control between threads
// without sleeping, a wait on a condition that other threads make true, and the start-up steps
// that the threading code needs (main thread id, registry lock, core mutexes).
#pragma once

#include <cstdint>

#include "core/NamedMutex.h"
#include "core/Sys.h"
#include "core/Threads.h"

// A manual-reset event: Wait returns once Set has been called, however late the waiter comes.
class TestEvent {
public:
    TestEvent() : section_(ZQI_SysNewCriticalSection()), condition_(ZQI_SysNewConditionVariable()) {}
    ~TestEvent() {
        ZQI_SysDeleteConditionVariable(condition_);
        ZQI_SysDeleteCriticalSection(section_);
    }
    TestEvent(const TestEvent&) = delete;
    TestEvent& operator=(const TestEvent&) = delete;

    void Set() {
        ZQI_SysEnterCriticalSection(section_);
        set_ = true;
        ZQI_SysLeaveCriticalSection(section_);
        ZQI_SysWakeAll(condition_);
    }
    void Wait() {
        ZQI_SysEnterCriticalSection(section_);
        while (!set_) {
            ZQI_SysWaitConditionVariable(condition_, section_);
        }
        ZQI_SysLeaveCriticalSection(section_);
    }
    bool IsSet() {
        ZQI_SysEnterCriticalSection(section_);
        bool set = set_;
        ZQI_SysLeaveCriticalSection(section_);
        return set;
    }

private:
    ZQI_SysCriticalSection* section_;
    ZQI_SysConditionVariable* condition_;
    bool set_ = false;
};

// Gives the processor away until condition() holds. For states that another thread is certain
// to reach (a thread ending, a waiter arriving); a failure shows as the test's time-out.
template <typename Condition>
void WaitUntil(Condition condition) {
    while (!condition()) {
        ZQI_SysYield();
    }
}

// The start-up steps the threading code relies on; safe to repeat.
inline void SetUpCoreThreading() {
    ZQI_InitializeMainThread();
    ZQI_CreateThreadRegistryLock();
    ZQI_CreateCoreMutexes();
}

// Waits until every API thread has ended, so counts and the registry are back at rest.
inline void WaitForApiThreadsToEnd(int32_t liveCount) {
    WaitUntil([liveCount] { return ZQI_GetLiveThreadCount() <= liveCount; });
}
