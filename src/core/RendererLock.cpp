// The renderer lock shared by the frame on the main thread and the threads that touch renderer
// state through the threading sub-table.
#include "core/RendererLock.h"

#include "core/Sys.h"
#include "core/Threads.h"

namespace {

struct RendererLock {
    ZQI_SysCriticalSection* section;  // recursive
    volatile int32_t waitingCount;    // non-main threads holding or waiting for the lock
};

// Made on first use (thread-safe), so it exists before anything can take it, whatever the order
// of static initialisation; never destroyed, since threads may hold it while the process exits.
RendererLock& Lock() {
    static RendererLock lock = {ZQI_SysNewCriticalSection(), 0};
    return lock;
}

}  // namespace

void ZQ_Threading_LockRenderer() {
    if (ZQ_Threading_IsMainThread()) {
        return;
    }
    RendererLock& lock = Lock();
    // Raised before blocking, so the frame sees the waiter and hands the lock over.
    ZQI_SysAtomicIncrement(&lock.waitingCount);
    ZQI_SysEnterCriticalSection(lock.section);
}

void ZQ_Threading_UnlockRenderer() {
    if (ZQ_Threading_IsMainThread()) {
        return;
    }
    RendererLock& lock = Lock();
    ZQI_SysLeaveCriticalSection(lock.section);
    ZQI_SysAtomicDecrement(&lock.waitingCount);
}

bool ZQ_Threading_IsRendererLocked() {
    if (ZQ_Threading_IsMainThread()) {
        return true;
    }
    return ZQI_SysAtomicLoad(&Lock().waitingCount) > 0;
}

void ZQI_LockRendererForFrame() {
    ZQI_SysEnterCriticalSection(Lock().section);
}

void ZQI_UnlockRendererForFrame() {
    ZQI_SysLeaveCriticalSection(Lock().section);
}

void ZQI_HandOverRendererLock() {
    RendererLock& lock = Lock();
    ZQI_SysLeaveCriticalSection(lock.section);
    if (ZQI_SysAtomicLoad(&lock.waitingCount) > 0) {
        ZQ_Threading_Sleep(1);
    }
    ZQI_SysEnterCriticalSection(lock.section);
}

int32_t ZQI_GetRendererWaitingCount() {
    return ZQI_SysAtomicLoad(&Lock().waitingCount);
}
