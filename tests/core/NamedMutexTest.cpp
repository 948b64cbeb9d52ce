// Named mutexes and the renderer lock: the core mutexes, sharing by name, try-lock across
// threads, refused destruction of engine mutexes, and counting under both locks from many
// threads at once.
#include <gtest/gtest.h>

#include <vector>

#include "ThreadTestSupport.h"
#include "core/NamedMutex.h"
#include "core/RendererLock.h"
#include "core/Sys.h"
#include "core/Threads.h"

namespace {

class NamedMutexTest : public ::testing::Test {
protected:
    void SetUp() override { SetUpCoreThreading(); }
};

TEST_F(NamedMutexTest, CoreMutexesExistInIndexOrder) {
    const char* const names[CORE_MUTEX_COUNT] = {"PRINT",          "GET_MUTEX", "CREATE_DIR",    "GET_PATH",
                                                 "GET_BITMAP",     "GET_SOUND", "GET_FONT",      "GET_SHADER",
                                                 "RESOURCE_QUEUE", "CORE_IMP",  "CORE_VARIABLE", "UNKNOWN"};
    for (int32_t i = 0; i < CORE_MUTEX_COUNT; ++i) {
        NamedMutex* mutex = ZQI_GetCoreMutex(static_cast<CoreMutexId>(i));
        ASSERT_NE(mutex, nullptr) << i;
        EXPECT_STREQ(mutex->name, names[i]);
        EXPECT_STREQ(ZQI_GetCoreMutexName(static_cast<CoreMutexId>(i)), names[i]);
    }
    EXPECT_EQ(ZQI_GetCoreMutex(CORE_MUTEX_COUNT), nullptr);
    EXPECT_EQ(ZQI_GetCoreMutex(static_cast<CoreMutexId>(-1)), nullptr);
    // Creating them again keeps the ones that exist.
    NamedMutex* print = ZQI_GetCoreMutex(CORE_MUTEX_PRINT);
    ZQI_CreateCoreMutexes();
    EXPECT_EQ(ZQI_GetCoreMutex(CORE_MUTEX_PRINT), print);
    EXPECT_STREQ(ZQI_GetThreadRegistryLock()->name, "ZQT_TIM");
}

TEST_F(NamedMutexTest, MutexesAreSharedByNameButNeverWhenUnnamed) {
    NamedMutex* first = ZQ_Threading_CreateMutex("SharedByName");
    NamedMutex* again = ZQ_Threading_CreateMutex("SharedByName");
    NamedMutex* other = ZQ_Threading_CreateMutex("SharedByNameToo");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first, again);
    EXPECT_NE(first, other);
    EXPECT_STREQ(first->name, "SharedByName");

    NamedMutex* emptyA = ZQ_Threading_CreateMutex("");
    NamedMutex* emptyB = ZQ_Threading_CreateMutex("");
    NamedMutex* nullA = ZQ_Threading_CreateMutex(nullptr);
    EXPECT_NE(emptyA, emptyB);
    EXPECT_NE(emptyA, nullA);
    EXPECT_STREQ(nullA->name, "");

    ZQ_Threading_DestroyMutex(first);
    ZQ_Threading_DestroyMutex(other);
    ZQ_Threading_DestroyMutex(emptyA);
    ZQ_Threading_DestroyMutex(emptyB);
    ZQ_Threading_DestroyMutex(nullA);
    // Gone from the list: the name makes a fresh, usable mutex.
    NamedMutex* fresh = ZQ_Threading_CreateMutex("SharedByName");
    ASSERT_NE(fresh, nullptr);
    EXPECT_TRUE(ZQ_Threading_TryLockMutex(fresh));
    ZQ_Threading_UnlockMutex(fresh);
    ZQ_Threading_DestroyMutex(fresh);
}

TEST_F(NamedMutexTest, NullMutexesAreIgnored) {
    ZQ_Threading_LockMutex(nullptr);
    ZQ_Threading_UnlockMutex(nullptr);
    EXPECT_FALSE(ZQ_Threading_TryLockMutex(nullptr));
    ZQ_Threading_DestroyMutex(nullptr);
}

struct TryLockProbe {
    NamedMutex* mutex;
    TestEvent firstTry;
    TestEvent secondTryAllowed;
    TestEvent secondTry;
    bool firstResult = true;
    bool secondResult = false;
};

void TryLockTwice(void* argument) {
    TryLockProbe* probe = static_cast<TryLockProbe*>(argument);
    probe->firstResult = ZQ_Threading_TryLockMutex(probe->mutex);
    probe->firstTry.Set();
    probe->secondTryAllowed.Wait();
    probe->secondResult = ZQ_Threading_TryLockMutex(probe->mutex);
    if (probe->secondResult) {
        ZQ_Threading_UnlockMutex(probe->mutex);
    }
    probe->secondTry.Set();
}

TEST_F(NamedMutexTest, TryLockFailsWhileAnotherThreadHoldsIt) {
    TryLockProbe probe;
    probe.mutex = ZQ_Threading_CreateMutex("TryLockAcrossThreads");
    ZQ_Threading_LockMutex(probe.mutex);
    ZQ_Threading_LockMutex(probe.mutex);  // recursive for its holder
    EXPECT_EQ(probe.mutex->held, 1);

    ZQI_SysThread* thread = ZQI_SysCreateThread(TryLockTwice, &probe);
    ASSERT_NE(thread, nullptr);
    probe.firstTry.Wait();
    EXPECT_FALSE(probe.firstResult);
    EXPECT_EQ(probe.mutex->held, 1);

    ZQ_Threading_UnlockMutex(probe.mutex);
    ZQ_Threading_UnlockMutex(probe.mutex);
    probe.secondTryAllowed.Set();
    probe.secondTry.Wait();
    EXPECT_TRUE(probe.secondResult);
    ZQI_SysJoinThread(thread);
    EXPECT_EQ(probe.mutex->held, 0);
    ZQ_Threading_DestroyMutex(probe.mutex);
}

TEST_F(NamedMutexTest, EngineMutexesCannotBeDestroyedThroughTheApi) {
    NamedMutex* getMutex = ZQI_GetCoreMutex(CORE_MUTEX_GET_MUTEX);
    ZQ_Threading_DestroyMutex(getMutex);
    ZQ_Threading_DestroyMutex(ZQI_GetThreadRegistryLock());
    EXPECT_EQ(ZQI_GetCoreMutex(CORE_MUTEX_GET_MUTEX), getMutex);
    EXPECT_STREQ(getMutex->name, "GET_MUTEX");
    // Both still work: creating a mutex takes "GET_MUTEX", and reading the registry "ZQT_TIM".
    NamedMutex* mutex = ZQ_Threading_CreateMutex("AfterRefusedDestroy");
    ASSERT_NE(mutex, nullptr);
    ZQ_Threading_DestroyMutex(mutex);
    EXPECT_GE(ZQI_GetRegisteredThreadCount(), 0);
}

// ---- Many threads counting under a lock ----------------------------------------------------

const int kStressThreads = 8;
const int kStressIncrements = 20000;

struct Counter {
    NamedMutex* mutex = nullptr;
    TestEvent go;
    int64_t value = 0;
    int32_t maxInside = 0;
    int32_t inside = 0;
};

// Increments under the lock and notes how many threads were ever inside at once.
void CountUnderNamedMutex(void* argument) {
    Counter* counter = static_cast<Counter*>(argument);
    counter->go.Wait();
    for (int i = 0; i < kStressIncrements; ++i) {
        ZQ_Threading_LockMutex(counter->mutex);
        int32_t inside = ++counter->inside;
        if (inside > counter->maxInside) {
            counter->maxInside = inside;
        }
        counter->value += 1;
        --counter->inside;
        ZQ_Threading_UnlockMutex(counter->mutex);
    }
}

void CountUnderRendererLock(void* argument) {
    Counter* counter = static_cast<Counter*>(argument);
    counter->go.Wait();
    for (int i = 0; i < kStressIncrements; ++i) {
        ZQ_Threading_LockRenderer();
        ZQ_Threading_LockRenderer();  // nested, as code that calls itself may
        int32_t inside = ++counter->inside;
        if (inside > counter->maxInside) {
            counter->maxInside = inside;
        }
        counter->value += 1;
        --counter->inside;
        ZQ_Threading_UnlockRenderer();
        ZQ_Threading_UnlockRenderer();
    }
}

std::vector<ZQI_SysThread*> StartThreads(void (*function)(void*), void* argument) {
    std::vector<ZQI_SysThread*> threads;
    for (int i = 0; i < kStressThreads; ++i) {
        threads.push_back(ZQI_SysCreateThread(function, argument));
        EXPECT_NE(threads.back(), nullptr);
    }
    return threads;
}

void JoinThreads(const std::vector<ZQI_SysThread*>& threads) {
    for (ZQI_SysThread* thread : threads) {
        ZQI_SysJoinThread(thread);
    }
}

TEST_F(NamedMutexTest, StressCountingUnderANamedMutex) {
    Counter counter;
    counter.mutex = ZQ_Threading_CreateMutex("StressCounter");
    std::vector<ZQI_SysThread*> threads = StartThreads(CountUnderNamedMutex, &counter);
    counter.go.Set();
    JoinThreads(threads);
    EXPECT_EQ(counter.value, int64_t{kStressThreads} * kStressIncrements);
    EXPECT_EQ(counter.maxInside, 1);
    ZQ_Threading_DestroyMutex(counter.mutex);
}

// ---- Renderer lock ----------------------------------------------------------------------------

TEST_F(NamedMutexTest, RendererLockIsAlwaysHeldOnTheMainThread) {
    EXPECT_TRUE(ZQ_Threading_IsRendererLocked());
    int32_t waiting = ZQI_GetRendererWaitingCount();
    ZQ_Threading_LockRenderer();  // nothing on the main thread
    EXPECT_EQ(ZQI_GetRendererWaitingCount(), waiting);
    ZQ_Threading_UnlockRenderer();
    EXPECT_EQ(ZQI_GetRendererWaitingCount(), waiting);

    struct Answers {
        bool before = true;
        bool holding = false;
        bool after = true;
    } answers;
    auto ask = [](void* argument) {
        Answers* a = static_cast<Answers*>(argument);
        a->before = ZQ_Threading_IsRendererLocked();
        ZQ_Threading_LockRenderer();
        a->holding = ZQ_Threading_IsRendererLocked();
        ZQ_Threading_UnlockRenderer();
        a->after = ZQ_Threading_IsRendererLocked();
    };
    ZQI_SysJoinThread(ZQI_SysCreateThread(ask, &answers));
    EXPECT_FALSE(answers.before);
    EXPECT_TRUE(answers.holding);
    EXPECT_FALSE(answers.after);
    EXPECT_EQ(ZQI_GetRendererWaitingCount(), 0);
}

TEST_F(NamedMutexTest, FrameHandsTheRendererLockToAWaitingThread) {
    struct Waiter {
        TestEvent gotLock;
        bool frameWasOut = false;
    } waiter;
    ZQI_LockRendererForFrame();
    auto takeLock = [](void* argument) {
        Waiter* w = static_cast<Waiter*>(argument);
        ZQ_Threading_LockRenderer();
        w->gotLock.Set();
        ZQ_Threading_UnlockRenderer();
    };
    ZQI_SysThread* thread = ZQI_SysCreateThread(takeLock, &waiter);
    ASSERT_NE(thread, nullptr);
    WaitUntil([] { return ZQI_GetRendererWaitingCount() == 1; });
    EXPECT_FALSE(waiter.gotLock.IsSet());  // blocked while the frame holds the lock

    // Frames go on until the waiter got its turn in one of the hand-overs.
    while (!waiter.gotLock.IsSet()) {
        ZQI_HandOverRendererLock();
    }
    ZQI_UnlockRendererForFrame();
    ZQI_SysJoinThread(thread);
    EXPECT_EQ(ZQI_GetRendererWaitingCount(), 0);
}

TEST_F(NamedMutexTest, StressCountingUnderTheRendererLockWithFramesRunning) {
    Counter counter;
    std::vector<ZQI_SysThread*> threads = StartThreads(CountUnderRendererLock, &counter);
    counter.go.Set();
    // The main thread runs frames meanwhile, counting inside each frame body as well.
    const int64_t frames = 50;
    for (int64_t frame = 0; frame < frames; ++frame) {
        ZQI_LockRendererForFrame();
        counter.value += 1;
        ZQI_HandOverRendererLock();
        counter.value += 1;
        ZQI_UnlockRendererForFrame();
    }
    JoinThreads(threads);
    EXPECT_EQ(counter.value, int64_t{kStressThreads} * kStressIncrements + 2 * frames);
    EXPECT_EQ(counter.maxInside, 1);
    EXPECT_EQ(ZQI_GetRendererWaitingCount(), 0);
}

}  // namespace
