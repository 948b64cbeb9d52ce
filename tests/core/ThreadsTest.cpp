// Threads made through the threading sub-table: engine ids, names, the registry and the live
// count, refused calls, and the sleep slot.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "ThreadTestSupport.h"
#include "core/CoreState.h"
#include "core/Sys.h"
#include "core/Threads.h"

namespace {

class ThreadsTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetUpCoreThreading();
        baseline_ = ZQI_GetLiveThreadCount();
    }
    int32_t baseline_ = 0;
};

// What a test thread reports about itself, and when it may finish.
struct ThreadProbe {
    TestEvent started;
    TestEvent release;
    uint32_t id = 0;
    bool isMain = true;
    bool hasName = false;
    char name[64] = {};
};

void ProbeAndWait(void* argument) {
    ThreadProbe* probe = static_cast<ThreadProbe*>(argument);
    probe->id = ZQ_Threading_GetThreadId();
    probe->isMain = ZQ_Threading_IsMainThread();
    probe->hasName = ZQI_CopyCurrentThreadName(probe->name, sizeof(probe->name));
    probe->started.Set();
    probe->release.Wait();
}

void ProbeOnly(void* argument) {
    ThreadProbe* probe = static_cast<ThreadProbe*>(argument);
    probe->id = ZQ_Threading_GetThreadId();
    probe->isMain = ZQ_Threading_IsMainThread();
    probe->hasName = ZQI_CopyCurrentThreadName(probe->name, sizeof(probe->name));
}

bool RegistryHolds(uint32_t id, std::string* name) {
    struct Search {
        uint32_t id;
        bool found;
        std::string name;
    } search = {id, false, ""};
    ZQI_VisitRegisteredThreads(
        [](int32_t, const ThreadRecord* record, void* context) {
            Search* s = static_cast<Search*>(context);
            if (record->id == s->id) {
                s->found = true;
                s->name = record->name != nullptr ? record->name : "<null>";
            }
        },
        &search);
    if (name != nullptr) {
        *name = search.name;
    }
    return search.found;
}

TEST_F(ThreadsTest, MainThreadIsOneAndUnregisteredThreadsAreZero) {
    EXPECT_EQ(ZQ_Threading_GetThreadId(), 1u);
    EXPECT_TRUE(ZQ_Threading_IsMainThread());
    char name[16];
    EXPECT_FALSE(ZQI_CopyCurrentThreadName(name, sizeof(name)));
    EXPECT_STREQ(name, "");

    ThreadProbe probe;
    ZQI_SysThread* thread = ZQI_SysCreateThread(ProbeOnly, &probe);
    ASSERT_NE(thread, nullptr);
    ZQI_SysJoinThread(thread);
    EXPECT_EQ(probe.id, 0u);
    EXPECT_FALSE(probe.isMain);
    EXPECT_FALSE(probe.hasName);
}

TEST_F(ThreadsTest, ApiThreadsGetConsecutiveIdsAndTheirNames) {
    ThreadProbe first;
    ThreadProbe second;
    uint32_t firstId = ZQ_Threading_CreateThread("First", ProbeAndWait, &first, 0);
    uint32_t secondId = ZQ_Threading_CreateThread("Second", ProbeAndWait, &second, 0);
    first.started.Wait();
    second.started.Wait();

    EXPECT_GE(firstId, 2u);
    EXPECT_EQ(secondId, firstId + 1);
    EXPECT_EQ(first.id, firstId);
    EXPECT_EQ(second.id, secondId);
    EXPECT_FALSE(first.isMain);
    EXPECT_TRUE(first.hasName);
    EXPECT_STREQ(first.name, "First");
    EXPECT_STREQ(second.name, "Second");

    first.release.Set();
    second.release.Set();
    WaitForApiThreadsToEnd(baseline_);  // before the probes go out of scope
}

TEST_F(ThreadsTest, RegistryAndLiveCountFollowTheThreadsLife) {
    int32_t registered = ZQI_GetRegisteredThreadCount();
    ThreadProbe probe;
    uint32_t id = ZQ_Threading_CreateThread("Loader", ProbeAndWait, &probe, 0);
    ASSERT_NE(id, 0u);
    // Counted from the moment it was created, before it has run.
    EXPECT_EQ(ZQI_GetLiveThreadCount(), baseline_ + 1);
    probe.started.Wait();

    std::string name;
    EXPECT_TRUE(RegistryHolds(id, &name));
    EXPECT_EQ(name, "Loader");
    EXPECT_EQ(ZQI_GetRegisteredThreadCount(), registered + 1);

    probe.release.Set();
    WaitForApiThreadsToEnd(baseline_);
    EXPECT_EQ(ZQI_GetLiveThreadCount(), baseline_);
    EXPECT_FALSE(RegistryHolds(id, nullptr));
    EXPECT_EQ(ZQI_GetRegisteredThreadCount(), registered);
}

TEST_F(ThreadsTest, RefusedCallsStartNothing) {
    int32_t registered = ZQI_GetRegisteredThreadCount();
    ThreadProbe probe;
    EXPECT_EQ(ZQ_Threading_CreateThread("Flagged", ProbeOnly, &probe, 1), 0u);
    EXPECT_EQ(ZQ_Threading_CreateThread("NoFunction", nullptr, &probe, 0), 0u);
    EXPECT_EQ(ZQI_GetLiveThreadCount(), baseline_);
    EXPECT_EQ(ZQI_GetRegisteredThreadCount(), registered);

    // A refused call does not use up an id.
    ThreadProbe next;
    uint32_t first = ZQ_Threading_CreateThread("A", ProbeOnly, &next, 0);
    ThreadProbe after;
    uint32_t second = ZQ_Threading_CreateThread("B", ProbeOnly, &after, 0);
    EXPECT_EQ(second, first + 1);
    WaitForApiThreadsToEnd(baseline_);
}

TEST_F(ThreadsTest, NullNameRunsUnderAnEmptyName) {
    ThreadProbe probe;
    uint32_t id = ZQ_Threading_CreateThread(nullptr, ProbeAndWait, &probe, 0);
    ASSERT_NE(id, 0u);
    probe.started.Wait();
    EXPECT_TRUE(probe.hasName);
    EXPECT_STREQ(probe.name, "");
    std::string name;
    EXPECT_TRUE(RegistryHolds(id, &name));
    EXPECT_EQ(name, "");
    probe.release.Set();
    WaitForApiThreadsToEnd(baseline_);
}

std::vector<std::string>* g_popups = nullptr;

int32_t CapturePopup(int32_t, const char* text) {
    g_popups->push_back(text);
    return 0;
}

TEST_F(ThreadsTest, DeveloperModeWarnsAboutANullNameAndRefusesFlags) {
    CoreState saved = g_core;
    std::vector<std::string> popups;
    g_popups = &popups;
    g_core.developerMode = 1;
    g_core.programInitCalled = 0;
    g_core.logVerboseLevel = 0;
    g_core.popupMessage = CapturePopup;

    ThreadProbe probe;
    EXPECT_NE(ZQ_Threading_CreateThread(nullptr, ProbeOnly, &probe, 0), 0u);
    EXPECT_EQ(ZQ_Threading_CreateThread("Flagged", ProbeOnly, &probe, 4), 0u);
    WaitForApiThreadsToEnd(baseline_);

    g_core.developerMode = saved.developerMode;
    g_core.programInitCalled = saved.programInitCalled;
    g_core.logVerboseLevel = saved.logVerboseLevel;
    g_core.popupMessage = saved.popupMessage;
    g_popups = nullptr;
    std::vector<std::string> expected = {
        "ZQ_Threading_CreateThread: creating a thread with null name.",
        "ZQ_Threading_CreateThread: 'flags' must be set to zero - reserved for future use."};
    EXPECT_EQ(popups, expected);
}

TEST_F(ThreadsTest, UnregisteredThreadsShareTheRecordOfTheirId) {
    ThreadRecord* mainRecord = ZQI_GetCurrentThreadRecord();
    ASSERT_NE(mainRecord, nullptr);
    EXPECT_EQ(mainRecord->id, 1u);
    EXPECT_EQ(mainRecord->name, nullptr);
    EXPECT_EQ(ZQI_GetCurrentThreadRecord(), mainRecord);

    struct Records {
        ThreadRecord* record;
    } first = {nullptr}, second = {nullptr};
    auto grab = [](void* argument) {
        static_cast<Records*>(argument)->record = ZQI_GetCurrentThreadRecord();
    };
    ZQI_SysJoinThread(ZQI_SysCreateThread(grab, &first));
    ZQI_SysJoinThread(ZQI_SysCreateThread(grab, &second));
    ASSERT_NE(first.record, nullptr);
    EXPECT_EQ(first.record, second.record);
    EXPECT_EQ(first.record->id, 0u);
    EXPECT_EQ(first.record->name, nullptr);
}

TEST_F(ThreadsTest, SleepNanosecondsWaitsForItsDeadline) {
    ZQ_Threading_SleepNanoseconds(0);
    ZQ_Threading_SleepNanoseconds(-5);
    ZQ_Threading_SleepNanoseconds(INT64_MIN);

    int64_t before = ZQI_SysNanoseconds();
    ZQ_Threading_SleepNanoseconds(200000);
    EXPECT_GE(ZQI_SysNanoseconds() - before, 200000);

    before = ZQI_SysNanoseconds();
    ZQ_Threading_SleepNanoseconds(3000000);
    EXPECT_GE(ZQI_SysNanoseconds() - before, 3000000);
}

}  // namespace
