// The core's small system functions: threads, locks, condition variables, atomics, the per-thread
// engine id, clocks and sleeping. Portable code reaches the operating system only through these.
// SysWin32.cpp holds the product's bodies, SysPosix.cpp the host build's (used by tests only).
#pragma once

#include <cstdint>

// ---- Threads ----------------------------------------------------------------------------------

typedef void (*ZQI_SysThreadFunction)(void* argument);

// An operating-system thread started by ZQI_SysCreateThread; owned until joined or detached.
struct ZQI_SysThread;

// Starts function(argument) on a new thread with the default stack size; it runs at once.
// Null when the system refuses (nothing was started).
ZQI_SysThread* ZQI_SysCreateThread(ZQI_SysThreadFunction function, void* argument);
// Waits until the thread has ended, then releases the handle. Never call it on the thread itself.
void ZQI_SysJoinThread(ZQI_SysThread* thread);
// Releases the handle; the thread runs on and cleans up after itself when it ends.
void ZQI_SysDetachThread(ZQI_SysThread* thread);
// True when the calling thread is the given one (false for null).
bool ZQI_SysIsCurrentThread(const ZQI_SysThread* thread);
// The calling thread's handle as the system names it from inside (GetCurrentThread on Windows).
void* ZQI_SysGetCurrentThreadHandle();

// The engine thread id kept in thread-local storage: 0 on every thread until it is set.
uint32_t ZQI_SysGetEngineThreadId();
void ZQI_SysSetEngineThreadId(uint32_t id);

// Gives the rest of the time slice away; nonzero when another thread was run (0 when unknown).
int32_t ZQI_SysYield();
// Sleeps at least the given milliseconds (0 gives the time slice away).
void ZQI_SysSleep(uint32_t milliseconds);

// ---- Critical sections (recursive: the holder may enter again; each entry needs its leave) ----

struct ZQI_SysCriticalSection;

// Null when out of memory.
ZQI_SysCriticalSection* ZQI_SysNewCriticalSection();
// Must not be held by anyone. Null is ignored.
void ZQI_SysDeleteCriticalSection(ZQI_SysCriticalSection* section);
void ZQI_SysEnterCriticalSection(ZQI_SysCriticalSection* section);
// True when entered (also when the caller already holds it).
bool ZQI_SysTryEnterCriticalSection(ZQI_SysCriticalSection* section);
void ZQI_SysLeaveCriticalSection(ZQI_SysCriticalSection* section);

// ---- Condition variables --------------------------------------------------------------------

struct ZQI_SysConditionVariable;

// Null when out of memory.
ZQI_SysConditionVariable* ZQI_SysNewConditionVariable();
// Must have no waiters. Null is ignored.
void ZQI_SysDeleteConditionVariable(ZQI_SysConditionVariable* condition);
// Leaves the section (entered exactly once by the caller), waits for a wake-up, enters again.
// Wake-ups may be spurious: callers wait in a loop over their own predicate.
void ZQI_SysWaitConditionVariable(ZQI_SysConditionVariable* condition, ZQI_SysCriticalSection* section);
void ZQI_SysWakeOne(ZQI_SysConditionVariable* condition);
void ZQI_SysWakeAll(ZQI_SysConditionVariable* condition);

// ---- Atomics (full barriers) ------------------------------------------------------------------

// Each returns the new value, except Exchange, which returns the previous one.
int32_t ZQI_SysAtomicIncrement(volatile int32_t* value);
int32_t ZQI_SysAtomicDecrement(volatile int32_t* value);
int32_t ZQI_SysAtomicExchange(volatile int32_t* value, int32_t newValue);
int32_t ZQI_SysAtomicLoad(const volatile int32_t* value);

// ---- Clocks -----------------------------------------------------------------------------------

// Milliseconds of the system's millisecond clock (timeGetTime); wraps modulo 2^32.
uint32_t ZQI_SysMilliseconds();
// Nanoseconds of the high-resolution clock, from an arbitrary origin; never goes back.
int64_t ZQI_SysNanoseconds();

// A local calendar date and time.
struct ZQI_SysDate {
    int32_t year;     // full year, e.g. 2024
    int32_t month;    // 1-12
    int32_t day;      // 1-31
    int32_t hour;     // 0-23
    int32_t minute;   // 0-59
    int32_t second;   // 0-59 (60 on a leap second where the system reports one)
    int32_t weekday;  // 0 = Sunday
    int32_t yearDay;  // 0-based day of the year
};

// The current local date and time.
void ZQI_SysGetLocalDate(ZQI_SysDate* date);
