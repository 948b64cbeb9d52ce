// The worker pool: threads that run queued jobs, function(argument), in first-in-first-out order.
// The program starts the engine's pool through the threading sub-table; stopping it waits for the
// queue to drain, then joins the workers. A stopped pool stays stopped.
#pragma once

#include <cstdint>

#include "foundation/Array.h"

struct ZQI_SysConditionVariable;
struct ZQI_SysCriticalSection;
struct ZQI_SysThread;

typedef void (*ZQI_JobFunction)(void* argument);

struct WorkerJob {
    void* argument;
    ZQI_JobFunction function;
};

struct WorkerPool {
    ZQI_SysCriticalSection* queueLock;   // guards everything below except stopFlag's reads
    ZQI_SysConditionVariable* jobReady;  // a job was queued, or the pool stops
    ZQI_SysConditionVariable* drained;   // a worker took the last queued job
    Array<ZQI_SysThread*> workers;
    WorkerJob* jobs;  // ring of jobCapacity slots
    int32_t jobCapacity;
    int32_t jobHead;  // index of the oldest job
    int32_t jobCount;
    volatile int32_t stopFlag;  // set once, never cleared
};

// Makes the pool's lock and condition variables; the pool starts idle with an empty queue.
// False (after a logged error) when out of memory.
bool ZQI_InitializeWorkerPool(WorkerPool* pool);
// Frees what ZQI_InitializeWorkerPool made and the queue storage. No worker may be running.
void ZQI_ReleaseWorkerPool(WorkerPool* pool);

// Starts count workers. Refused with a logged error while workers run or once the pool has
// stopped. Jobs queued before the start are taken once the workers run.
void ZQI_StartWorkerThreads(WorkerPool* pool, uint32_t count);
// Appends a job and wakes one worker. Refused with a logged error once the pool has stopped.
void ZQI_QueueJob(WorkerPool* pool, void* argument, ZQI_JobFunction function);
// Waits until every queued job has been taken, stops the pool and joins the workers, so every
// job has finished when it returns. Without workers the queued jobs are dropped with a logged
// error, since nothing could ever run them. Refused with a logged error from inside a job.
void ZQI_StopWorkerThreads(WorkerPool* pool);
// Jobs still queued (not yet taken by a worker).
int32_t ZQI_GetQueuedJobCount(WorkerPool* pool);

// Threading sub-table slots on the engine's one pool.
// Slot 3. The first start also registers ZQI_ShutdownWorkerPool to run at process exit.
void ZQ_Threading_StartWorkerThreads(uint32_t count);
// Slot 8.
void ZQ_Threading_QueueJob(void* argument, ZQI_JobFunction function);
// Slot 15: ZQI_ShutdownWorkerPool.
void ZQ_Threading_StopWorkerThreads();
// Stops the engine's pool (ZQI_StopWorkerThreads); does nothing more once it has stopped.
void ZQI_ShutdownWorkerPool();
