// The worker pool: a first-in-first-out job queue under one lock, worker threads that take jobs
// from it, and the drain-then-join stop.
#include "core/WorkerPool.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "core/Log.h"
#include "core/Sys.h"

namespace {

// Appends a job at the back of the ring, growing it when full; the caller holds the queue lock.
bool PushJob(WorkerPool* pool, const WorkerJob& job) {
    if (pool->jobCount == pool->jobCapacity) {
        int32_t capacity = pool->jobCapacity == 0 ? 32 : pool->jobCapacity * 2;
        WorkerJob* jobs = static_cast<WorkerJob*>(malloc(sizeof(WorkerJob) * capacity));
        if (jobs == nullptr) {
            return false;
        }
        // Unroll the ring so the oldest job is at index 0 of the new block.
        for (int32_t i = 0; i < pool->jobCount; ++i) {
            jobs[i] = pool->jobs[(pool->jobHead + i) % pool->jobCapacity];
        }
        free(pool->jobs);
        pool->jobs = jobs;
        pool->jobCapacity = capacity;
        pool->jobHead = 0;
    }
    pool->jobs[(pool->jobHead + pool->jobCount) % pool->jobCapacity] = job;
    ++pool->jobCount;
    return true;
}

// Takes the oldest job; the caller holds the queue lock and has checked that one is queued.
WorkerJob PopJob(WorkerPool* pool) {
    WorkerJob job = pool->jobs[pool->jobHead];
    pool->jobHead = (pool->jobHead + 1) % pool->jobCapacity;
    --pool->jobCount;
    return job;
}

bool IsStopped(const WorkerPool* pool) {
    return ZQI_SysAtomicLoad(&pool->stopFlag) != 0;
}

bool IsWorkerThread(const WorkerPool* pool) {
    for (int32_t i = 0; i < pool->workers.count; ++i) {
        if (ZQI_SysIsCurrentThread(pool->workers[i])) {
            return true;
        }
    }
    return false;
}

// The body of every worker: takes jobs in queue order and runs them without holding the lock,
// until the pool stops. The stop flag is tested under the lock before every wait, so a stop
// cannot slip in between the test and the wait and leave the worker asleep for ever.
void WorkerThreadMain(void* parameter) {
    WorkerPool* pool = static_cast<WorkerPool*>(parameter);
    ZQI_SysEnterCriticalSection(pool->queueLock);
    for (;;) {
        while (!IsStopped(pool) && pool->jobCount == 0) {
            ZQI_SysWaitConditionVariable(pool->jobReady, pool->queueLock);
        }
        if (IsStopped(pool)) {
            break;
        }
        WorkerJob job = PopJob(pool);
        if (pool->jobCount == 0) {
            ZQI_SysWakeAll(pool->drained);
        }
        ZQI_SysLeaveCriticalSection(pool->queueLock);
        if (job.function != nullptr) {
            job.function(job.argument);
        }
        ZQI_SysEnterCriticalSection(pool->queueLock);
    }
    ZQI_SysLeaveCriticalSection(pool->queueLock);
}

}  // namespace

bool ZQI_InitializeWorkerPool(WorkerPool* pool) {
    pool->queueLock = ZQI_SysNewCriticalSection();
    pool->jobReady = ZQI_SysNewConditionVariable();
    pool->drained = ZQI_SysNewConditionVariable();
    pool->jobs = nullptr;
    pool->jobCapacity = 0;
    pool->jobHead = 0;
    pool->jobCount = 0;
    pool->stopFlag = 0;
    if (pool->queueLock == nullptr || pool->jobReady == nullptr || pool->drained == nullptr) {
        ZQI_LogFormat(LOG_LEVEL_ERROR, "ZQI_InitializeWorkerPool: out of memory.");
        ZQI_ReleaseWorkerPool(pool);
        return false;
    }
    return true;
}

void ZQI_ReleaseWorkerPool(WorkerPool* pool) {
    ZQI_SysDeleteCriticalSection(pool->queueLock);
    ZQI_SysDeleteConditionVariable(pool->jobReady);
    ZQI_SysDeleteConditionVariable(pool->drained);
    free(pool->jobs);
    pool->queueLock = nullptr;
    pool->jobReady = nullptr;
    pool->drained = nullptr;
    pool->jobs = nullptr;
    pool->jobCapacity = 0;
    pool->jobHead = 0;
    pool->jobCount = 0;
}

void ZQI_StartWorkerThreads(WorkerPool* pool, uint32_t count) {
    if (pool->queueLock == nullptr || count == 0) {
        return;
    }
    ZQI_SysEnterCriticalSection(pool->queueLock);
    if (IsStopped(pool)) {
        ZQI_SysLeaveCriticalSection(pool->queueLock);
        ZQI_LogFormat(LOG_LEVEL_ERROR,
                      "ZQ_Threading_StartWorkerThreads: the worker pool has been stopped and does "
                      "not start again.");
        return;
    }
    if (pool->workers.count > 0) {
        ZQI_SysLeaveCriticalSection(pool->queueLock);
        ZQI_LogFormat(LOG_LEVEL_ERROR,
                      "ZQ_Threading_StartWorkerThreads: %d worker threads are already running.",
                      pool->workers.count);
        return;
    }
    // The new workers wait for the lock until every one of them is registered.
    for (uint32_t i = 0; i < count; ++i) {
        ZQI_SysThread* worker = ZQI_SysCreateThread(WorkerThreadMain, pool);
        if (worker == nullptr) {
            ZQI_LogFormat(LOG_LEVEL_ERROR,
                          "ZQ_Threading_StartWorkerThreads: the system could not start worker "
                          "%u of %u.",
                          i + 1, count);
            break;
        }
        pool->workers.Push(worker);
    }
    ZQI_SysLeaveCriticalSection(pool->queueLock);
}

void ZQI_QueueJob(WorkerPool* pool, void* argument, ZQI_JobFunction function) {
    if (pool->queueLock == nullptr) {
        return;
    }
    ZQI_SysEnterCriticalSection(pool->queueLock);
    if (IsStopped(pool)) {
        ZQI_SysLeaveCriticalSection(pool->queueLock);
        ZQI_LogFormat(LOG_LEVEL_ERROR,
                      "ZQ_Threading_QueueJob: the worker pool has stopped; the job is not run.");
        return;
    }
    WorkerJob job = {argument, function};
    bool queued = PushJob(pool, job);
    ZQI_SysLeaveCriticalSection(pool->queueLock);
    if (!queued) {
        ZQI_LogFormat(LOG_LEVEL_ERROR, "ZQ_Threading_QueueJob: out of memory; the job is not run.");
        return;
    }
    ZQI_SysWakeOne(pool->jobReady);
}

void ZQI_StopWorkerThreads(WorkerPool* pool) {
    if (pool->queueLock == nullptr) {
        return;
    }
    ZQI_SysEnterCriticalSection(pool->queueLock);
    // A worker would wait for itself to end.
    if (IsWorkerThread(pool)) {
        ZQI_SysLeaveCriticalSection(pool->queueLock);
        ZQI_LogFormat(LOG_LEVEL_ERROR,
                      "ZQ_Threading_StopWorkerThreads: called from a job; the pool keeps running.");
        return;
    }
    if (pool->workers.count == 0 && pool->jobCount > 0) {
        ZQI_LogFormat(LOG_LEVEL_ERROR,
                      "ZQ_Threading_StopWorkerThreads: no worker threads run; %d queued jobs are "
                      "dropped.",
                      pool->jobCount);
        pool->jobCount = 0;
    }
    while (pool->jobCount > 0) {
        ZQI_SysWaitConditionVariable(pool->drained, pool->queueLock);
    }
    ZQI_SysAtomicExchange(&pool->stopFlag, 1);
    ZQI_SysWakeAll(pool->jobReady);
    // Joined outside the lock, which the ending workers need; a concurrent stop finds no workers.
    Array<ZQI_SysThread*> workers;
    workers = pool->workers;
    pool->workers.Clear();
    ZQI_SysLeaveCriticalSection(pool->queueLock);
    for (int32_t i = 0; i < workers.count; ++i) {
        ZQI_SysJoinThread(workers[i]);
    }
}

int32_t ZQI_GetQueuedJobCount(WorkerPool* pool) {
    if (pool->queueLock == nullptr) {
        return 0;
    }
    ZQI_SysEnterCriticalSection(pool->queueLock);
    int32_t count = pool->jobCount;
    ZQI_SysLeaveCriticalSection(pool->queueLock);
    return count;
}

namespace {

// The engine's one pool, made on first use (thread-safe) and never destroyed: the exit handler
// and late callers may still reach it while the process ends.
WorkerPool* EnginePool() {
    alignas(WorkerPool) static unsigned char storage[sizeof(WorkerPool)];
    static WorkerPool* pool = [] {
        WorkerPool* made = new (storage) WorkerPool();
        ZQI_InitializeWorkerPool(made);
        return made;
    }();
    return pool;
}

void ShutdownAtExit() {
    ZQI_ShutdownWorkerPool();
}

}  // namespace

void ZQ_Threading_StartWorkerThreads(uint32_t count) {
    static volatile int32_t exitHandlerRegistered = 0;
    if (ZQI_SysAtomicExchange(&exitHandlerRegistered, 1) == 0) {
        atexit(ShutdownAtExit);
    }
    ZQI_StartWorkerThreads(EnginePool(), count);
}

void ZQ_Threading_QueueJob(void* argument, ZQI_JobFunction function) {
    ZQI_QueueJob(EnginePool(), argument, function);
}

void ZQ_Threading_StopWorkerThreads() {
    ZQI_ShutdownWorkerPool();
}

void ZQI_ShutdownWorkerPool() {
    ZQI_StopWorkerThreads(EnginePool());
}
