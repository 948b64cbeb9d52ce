// A named mutex held for the lifetime of a scope: the services lock their shared state this way
// so that every return path unlocks. A null mutex is never locked, as with the threading slots.
#pragma once

#include "core/NamedMutex.h"

class ScopedLock {
public:
    explicit ScopedLock(NamedMutex* mutex) : mutex_(mutex) { ZQ_Threading_LockMutex(mutex_); }
    ~ScopedLock() { ZQ_Threading_UnlockMutex(mutex_); }
    ScopedLock(const ScopedLock&) = delete;
    ScopedLock& operator=(const ScopedLock&) = delete;

private:
    NamedMutex* mutex_;
};
