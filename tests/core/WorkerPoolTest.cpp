// The worker pool: queue order, every job run exactly once, the drain before the stop, and the
// refusals of a stopped pool, a pool without workers and a stop from inside a job.
#include <gtest/gtest.h>

#include <vector>

#include "ThreadTestSupport.h"
#include "core/Sys.h"
#include "core/WorkerPool.h"

namespace {

class WorkerPoolTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetUpCoreThreading();
        ASSERT_TRUE(ZQI_InitializeWorkerPool(&pool_));
    }
    void TearDown() override {
        ZQI_StopWorkerThreads(&pool_);
        ZQI_ReleaseWorkerPool(&pool_);
    }

    WorkerPool pool_;
};

// Jobs append their number; with one worker no lock is needed, and the join at the stop makes
// the appends visible to the test.
struct OrderedJob {
    std::vector<int>* order;
    int number;
};

void AppendNumber(void* argument) {
    OrderedJob* job = static_cast<OrderedJob*>(argument);
    job->order->push_back(job->number);
}

TEST_F(WorkerPoolTest, JobsQueuedBeforeTheStartRunInQueueOrderOnOneWorker) {
    const int kJobs = 1000;  // more than the queue's first block, so it grows while wrapped
    std::vector<int> order;
    std::vector<OrderedJob> jobs(kJobs);
    for (int i = 0; i < kJobs / 2; ++i) {
        jobs[i] = {&order, i};
        ZQI_QueueJob(&pool_, &jobs[i], AppendNumber);
    }
    EXPECT_EQ(ZQI_GetQueuedJobCount(&pool_), kJobs / 2);
    ZQI_StartWorkerThreads(&pool_, 1);
    for (int i = kJobs / 2; i < kJobs; ++i) {
        jobs[i] = {&order, i};
        ZQI_QueueJob(&pool_, &jobs[i], AppendNumber);
    }
    ZQI_StopWorkerThreads(&pool_);
    ASSERT_EQ(order.size(), static_cast<size_t>(kJobs));
    for (int i = 0; i < kJobs; ++i) {
        EXPECT_EQ(order[i], i);
    }
    EXPECT_EQ(ZQI_GetQueuedJobCount(&pool_), 0);
    EXPECT_EQ(pool_.workers.count, 0);
}

void CountRun(void* argument) {
    ZQI_SysAtomicIncrement(static_cast<volatile int32_t*>(argument));
}

TEST_F(WorkerPoolTest, EveryJobRunsExactlyOnceOnManyWorkersBeforeTheStopReturns) {
    const int kJobs = 20000;
    std::vector<int32_t> runs(kJobs, 0);
    ZQI_StartWorkerThreads(&pool_, 6);
    EXPECT_EQ(pool_.workers.count, 6);
    for (int i = 0; i < kJobs; ++i) {
        ZQI_QueueJob(&pool_, &runs[i], CountRun);
    }
    ZQI_StopWorkerThreads(&pool_);
    int wrong = 0;
    for (int i = 0; i < kJobs; ++i) {
        wrong += ZQI_SysAtomicLoad(&runs[i]) != 1 ? 1 : 0;
    }
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(ZQI_GetQueuedJobCount(&pool_), 0);
}

// A job that holds its worker until the test lets it go, so the stop must wait for it.
struct GatedJob {
    TestEvent started;
    TestEvent release;
    volatile int32_t finished = 0;
};

void RunGated(void* argument) {
    GatedJob* job = static_cast<GatedJob*>(argument);
    job->started.Set();
    job->release.Wait();
    ZQI_SysAtomicExchange(&job->finished, 1);
}

struct StopCall {
    WorkerPool* pool;
    TestEvent returned;
};

void StopPool(void* argument) {
    StopCall* call = static_cast<StopCall*>(argument);
    ZQI_StopWorkerThreads(call->pool);
    call->returned.Set();
}

TEST_F(WorkerPoolTest, StopWaitsForTheQueueAndTheRunningJobs) {
    GatedJob gated;
    volatile int32_t later = 0;
    ZQI_StartWorkerThreads(&pool_, 1);
    ZQI_QueueJob(&pool_, &gated, RunGated);
    ZQI_QueueJob(&pool_, const_cast<int32_t*>(&later), CountRun);
    gated.started.Wait();

    StopCall stop = {&pool_, {}};
    ZQI_SysThread* stopper = ZQI_SysCreateThread(StopPool, &stop);
    ASSERT_NE(stopper, nullptr);
    EXPECT_FALSE(stop.returned.IsSet());  // the gated job still holds the only worker
    gated.release.Set();
    stop.returned.Wait();
    EXPECT_EQ(ZQI_SysAtomicLoad(&gated.finished), 1);
    EXPECT_EQ(ZQI_SysAtomicLoad(&later), 1);
    ZQI_SysJoinThread(stopper);
}

TEST_F(WorkerPoolTest, AStoppedPoolTakesNoJobsAndDoesNotStartAgain) {
    volatile int32_t runs = 0;
    ZQI_StartWorkerThreads(&pool_, 2);
    ZQI_StopWorkerThreads(&pool_);
    ZQI_QueueJob(&pool_, const_cast<int32_t*>(&runs), CountRun);
    EXPECT_EQ(ZQI_GetQueuedJobCount(&pool_), 0);
    ZQI_StartWorkerThreads(&pool_, 2);
    EXPECT_EQ(pool_.workers.count, 0);
    ZQI_StopWorkerThreads(&pool_);
    EXPECT_EQ(ZQI_SysAtomicLoad(&runs), 0);
}

TEST_F(WorkerPoolTest, StopWithoutWorkersDropsTheQueueInsteadOfWaitingForEver) {
    volatile int32_t runs = 0;
    for (int i = 0; i < 3; ++i) {
        ZQI_QueueJob(&pool_, const_cast<int32_t*>(&runs), CountRun);
    }
    ZQI_StopWorkerThreads(&pool_);
    EXPECT_EQ(ZQI_GetQueuedJobCount(&pool_), 0);
    EXPECT_EQ(ZQI_SysAtomicLoad(&runs), 0);
}

struct StopFromJob {
    WorkerPool* pool;
    volatile int32_t returned = 0;
};

void StopInsideJob(void* argument) {
    StopFromJob* job = static_cast<StopFromJob*>(argument);
    ZQI_StopWorkerThreads(job->pool);  // refused: the worker would wait for itself
    ZQI_SysAtomicExchange(&job->returned, 1);
}

TEST_F(WorkerPoolTest, StopFromInsideAJobIsRefusedAndThePoolKeepsRunning) {
    StopFromJob job = {&pool_};
    volatile int32_t after = 0;
    ZQI_StartWorkerThreads(&pool_, 2);
    ZQI_QueueJob(&pool_, &job, StopInsideJob);
    ZQI_QueueJob(&pool_, nullptr, nullptr);  // a job without a function is skipped
    ZQI_QueueJob(&pool_, const_cast<int32_t*>(&after), CountRun);
    ZQI_StopWorkerThreads(&pool_);
    EXPECT_EQ(ZQI_SysAtomicLoad(&job.returned), 1);
    EXPECT_EQ(ZQI_SysAtomicLoad(&after), 1);
}

TEST_F(WorkerPoolTest, StartingTwiceKeepsTheRunningWorkers) {
    ZQI_StartWorkerThreads(&pool_, 2);
    ZQI_StartWorkerThreads(&pool_, 5);
    EXPECT_EQ(pool_.workers.count, 2);
    ZQI_StartWorkerThreads(&pool_, 0);
    EXPECT_EQ(pool_.workers.count, 2);
}

// The engine's own pool through the threading slots; it can be stopped once per process.
TEST(WorkerPoolApiTest, EnginePoolRunsQueuedJobsAndDrainsOnStop) {
    static bool enginePoolStopped = false;
    if (enginePoolStopped) {
        GTEST_SKIP() << "the engine's pool stops once per process";
    }
    enginePoolStopped = true;
    SetUpCoreThreading();
    const int kJobs = 500;
    std::vector<int32_t> runs(kJobs, 0);
    for (int i = 0; i < kJobs / 2; ++i) {
        ZQ_Threading_QueueJob(&runs[i], CountRun);
    }
    ZQ_Threading_StartWorkerThreads(3);
    for (int i = kJobs / 2; i < kJobs; ++i) {
        ZQ_Threading_QueueJob(&runs[i], CountRun);
    }
    ZQ_Threading_StopWorkerThreads();
    int wrong = 0;
    for (int i = 0; i < kJobs; ++i) {
        wrong += ZQI_SysAtomicLoad(&runs[i]) != 1 ? 1 : 0;
    }
    EXPECT_EQ(wrong, 0);
    volatile int32_t afterStop = 0;
    ZQ_Threading_QueueJob(const_cast<int32_t*>(&afterStop), CountRun);
    ZQI_ShutdownWorkerPool();
    EXPECT_EQ(ZQI_SysAtomicLoad(&afterStop), 0);
}

}  // namespace
