// The engine API root record and its sub-tables: every slot filled and wired to the right
// function, the core's own root slots (input tables, string lists, memory, shutdown, clock and
// date), and the stand-in answers of subsystems not in this build.
#include <cstdlib>
#include <ctime>
#include <vector>

#include "ApiTableTestSupport.h"
#include "core/Buffer.h"
#include "core/NamedMutex.h"
#include "core/Sys.h"
#include "core/Threads.h"

namespace {

// Null slots in a table of function pointers (read as raw pointer words).
template <typename Table>
int32_t CountNullSlots(const Table* table) {
    static_assert(sizeof(Table) % sizeof(void*) == 0, "tables are arrays of pointers");
    const size_t count = sizeof(Table) / sizeof(void*);
    int32_t nulls = 0;
    for (size_t i = 0; i < count; ++i) {
        void* slot = nullptr;
        memcpy(&slot, reinterpret_cast<const char*>(table) + i * sizeof(void*), sizeof(slot));
        nulls += slot == nullptr ? 1 : 0;
    }
    return nulls;
}

using ApiTableTest = CoreApiTest;

// The audio, graphics and online-service sub-tables are their subsystems' to fill; the engine's
// tests build the tables with every filler.
TEST_F(ApiTableTest, EveryRootSlotAndSubTableSlotIsFilled) {
    zq_api_t* api = ZQI_GetApi();
    // The pointer slots and the named extension calls are the platform layer's and the engine's,
    // which fill them when they start.
    EXPECT_EQ(nullptr, api->SetMouseCursor);
    EXPECT_EQ(nullptr, api->GetMousePosition);
    EXPECT_EQ(nullptr, api->SetMousePosition);
    EXPECT_EQ(nullptr, api->ExtensionCall);
    EXPECT_EQ(4, CountNullSlots(api));
    EXPECT_EQ(0, CountNullSlots(api->filesystem));
    EXPECT_EQ(0, CountNullSlots(api->threading));
}

TEST_F(ApiTableTest, RootSlotsReachTheCoreFunctions) {
    zq_api_t* api = ZQI_GetApi();
    EXPECT_EQ(&ZQ_Print, api->Print);
    EXPECT_EQ(&ZQ_Log, api->Log);
    EXPECT_EQ(&ZQ_Popup, api->Popup);
    EXPECT_EQ(&ZQ_GetMilliseconds, api->GetMilliseconds);
    EXPECT_EQ(&ZQ_GetLocalDate, api->GetLocalDate);
    EXPECT_EQ(&ZQ_SignalShutdown, api->SignalShutdown);
    EXPECT_EQ(&ZQ_FreeStringList, api->FreeStringList);
    EXPECT_EQ(&ZQ_CreateBuffer, api->CreateBuffer);
    EXPECT_EQ(&ZQ_DecompressBuffer, api->DecompressBuffer);
    EXPECT_EQ(&ZQ_GetInputState, api->GetInputState);
    EXPECT_EQ(&ZQ_SetInputValue, api->SetInputValue);
    EXPECT_EQ(&ZQ_IsDeveloperMode, api->IsDeveloperMode);
}

TEST_F(ApiTableTest, ThreadingSlotsReachTheThreadingFunctionsInOrder) {
    zq_threading_api_t* threading = ZQI_GetApi()->threading;
    EXPECT_EQ(&ZQ_Threading_CreateThread, threading->CreateThread);
    EXPECT_EQ(&ZQ_Threading_CreateMutex, threading->CreateMutex);
    EXPECT_EQ(&ZQ_Threading_LockMutex, threading->LockMutex);
    EXPECT_EQ(&ZQ_Threading_DestroyMutex, threading->DestroyMutex);
    EXPECT_EQ(&ZQ_Threading_TryLockMutex, threading->TryLockMutex);
    EXPECT_EQ(&ZQ_Threading_UnlockMutex, threading->UnlockMutex);
    EXPECT_EQ(&ZQ_Threading_YieldThread, threading->YieldThread);
    EXPECT_TRUE(threading->IsMainThread());
}

// ---- Input tables ----

TEST_F(ApiTableTest, KeyboardStateLosesItsPressedBitOnRead) {
    zq_api_t* api = ZQI_GetApi();
    api->SetInputState(65, 3);
    EXPECT_EQ(3, api->GetInputState(65));
    EXPECT_EQ(1, api->GetInputState(65));
    EXPECT_EQ(1, api->GetInputState(65));
}

TEST_F(ApiTableTest, StatesAboveTheKeyboardRangeAreReadWithoutChange) {
    zq_api_t* api = ZQI_GetApi();
    api->SetInputState(255, 2);
    api->SetInputState(256, 2);
    api->SetInputState(MOUSE_BUTTON_0, 3);
    EXPECT_EQ(2, api->GetInputState(255));
    EXPECT_EQ(0, api->GetInputState(255));
    EXPECT_EQ(2, api->GetInputState(256));
    EXPECT_EQ(2, api->GetInputState(256));
    EXPECT_EQ(3, api->GetInputState(MOUSE_BUTTON_0));
    EXPECT_EQ(3, api->GetInputState(MOUSE_BUTTON_0));
}

TEST_F(ApiTableTest, InputIdsOutsideTheTableAreIgnored) {
    zq_api_t* api = ZQI_GetApi();
    api->SetInputState(2047, 7);
    api->SetInputValue(2047, 1.5f);
    api->SetInputState(2048, 9);
    api->SetInputState(0, 9);
    api->SetInputState(-1, 9);
    api->SetInputValue(2048, 9.0f);
    api->SetInputValue(0, 9.0f);
    EXPECT_EQ(0, api->GetInputState(0));
    EXPECT_EQ(0, api->GetInputState(2048));
    EXPECT_EQ(0, api->GetInputState(-5));
    EXPECT_EQ(0.0f, api->GetInputValue(0));
    EXPECT_EQ(0.0f, api->GetInputValue(2048));
    EXPECT_EQ(7, api->GetInputState(2047));
    EXPECT_EQ(1.5f, api->GetInputValue(2047));
    EXPECT_EQ(0, g_core.inputStates[0]);
    EXPECT_EQ(0.0f, g_core.inputValues[0]);
}

TEST_F(ApiTableTest, InputValuesAreStoredPerId) {
    zq_api_t* api = ZQI_GetApi();
    api->SetInputValue(MOUSE_X, 12.5f);
    api->SetInputValue(MOUSE_Y, -3.0f);
    EXPECT_EQ(12.5f, api->GetInputValue(MOUSE_X));
    EXPECT_EQ(-3.0f, api->GetInputValue(MOUSE_Y));
    EXPECT_EQ(0.0f, api->GetInputValue(MOUSE_Z));
}

// ---- String lists and memory -------------------------------------------------------------------

char* HeapText(const char* text) {
    char* copy = static_cast<char*>(malloc(strlen(text) + 1));
    strcpy(copy, text);
    return copy;
}

zq_string_list_t* NewList(int32_t count, int32_t slots) {
    zq_string_list_t* list = static_cast<zq_string_list_t*>(malloc(sizeof(zq_string_list_t)));
    list->items = static_cast<char**>(calloc(static_cast<size_t>(slots), sizeof(char*)));
    list->count = count;
    return list;
}

// The blocks the general heap released while a test watched, in order.
std::vector<void*>& Released() {
    static std::vector<void*> blocks;
    return blocks;
}

void RecordRelease(void* block) {
    Released().push_back(block);
}

class StringListTest : public CoreApiTest {
protected:
    void SetUp() override {
        CoreApiTest::SetUp();
        Released().clear();
        ZQI_SetHeapReleaseObserver(RecordRelease);
    }
    void TearDown() override {
        ZQI_SetHeapReleaseObserver(nullptr);
        CoreApiTest::TearDown();
    }
};

TEST_F(StringListTest, FreeStringListFreesItemsArrayAndRecord) {
    zq_string_list_t* list = NewList(3, 3);
    char** items = list->items;
    char* first = items[0] = HeapText("res://a.png");
    items[1] = nullptr;  // a null item is skipped
    char* last = items[2] = HeapText("res://b.png");
    ZQI_GetApi()->FreeStringList(list);
    EXPECT_EQ(std::vector<void*>({first, last, items, list}), Released());
}

TEST_F(StringListTest, FreeStringListWithCountBelowOneFreesOnlyArrayAndRecord) {
    for (int32_t count : {0, -1}) {
        Released().clear();
        zq_string_list_t* list = NewList(count, 1);
        char** items = list->items;
        char* item = items[0] = HeapText("kept");  // beyond the count: not the list's to free
        ZQI_GetApi()->FreeStringList(list);
        EXPECT_EQ(std::vector<void*>({items, list}), Released()) << count;
        free(item);
    }
    Released().clear();
    zq_string_list_t* list = NewList(2, 0);
    free(list->items);
    list->items = nullptr;
    ZQI_GetApi()->FreeStringList(list);
    ZQI_GetApi()->FreeStringList(nullptr);
    EXPECT_EQ(std::vector<void*>({list}), Released());
}

TEST_F(ApiTableTest, AllocatedMemoryIsWritableAndFreed) {
    zq_api_t* api = ZQI_GetApi();
    uint8_t* block = static_cast<uint8_t*>(api->AllocateMemory(64));
    ASSERT_NE(nullptr, block);
    memset(block, 0xAB, 64);
    EXPECT_EQ(0xAB, block[63]);
    api->FreeMemory(block);
    api->FreeMemory(nullptr);
}

// ---- Shutdown signal ----

TEST_F(ApiTableTest, SignalShutdownLogsOnceAndSetsQuitRequestedEveryTime) {
    zq_program_t program;
    memset(&program, 0, sizeof(program));
    g_core.program = &program;
    zq_api_t* api = ZQI_GetApi();
    EXPECT_FALSE(api->IsShutdownSignalled());

    api->SignalShutdown();
    EXPECT_TRUE(api->IsShutdownSignalled());
    EXPECT_EQ(1u, program.parameters.quit_requested);

    program.parameters.quit_requested = 0;
    api->SignalShutdown();
    EXPECT_EQ(1u, program.parameters.quit_requested);

    int32_t signalLines = 0;
    for (const std::string& line : LoggedLines()) {
        if (line.find("[SYSTEM] Signalling shutdown at ") == 0) {
            ++signalLines;
        }
    }
    EXPECT_EQ(1, signalLines);
}

TEST_F(ApiTableTest, SignalShutdownWithoutProgramOnlySetsTheFlag) {
    ZQI_GetApi()->SignalShutdown();
    EXPECT_TRUE(ZQI_IsQuitSignalled());
}

// ---- Clock and date ----

TEST_F(ApiTableTest, MillisecondsAndNanosecondsCountFromTheStartTimes) {
    g_core.startMilliseconds = ZQI_SysMilliseconds();
    g_core.startNanoseconds = ZQI_SysNanoseconds();
    uint32_t milliseconds = ZQ_GetMilliseconds();
    int64_t nanoseconds = ZQ_GetNanoseconds();
    uint32_t elapsedMilliseconds = ZQI_SysMilliseconds() - g_core.startMilliseconds;
    int64_t elapsedNanoseconds = ZQI_SysNanoseconds() - g_core.startNanoseconds;
    EXPECT_LE(milliseconds, elapsedMilliseconds);
    EXPECT_GE(nanoseconds, 0);
    EXPECT_LE(nanoseconds, elapsedNanoseconds);
}

TEST_F(ApiTableTest, MillisecondsWrapModulo32Bits) {
    // An origin just ahead of the clock gives a difference that wraps below 2^32.
    g_core.startMilliseconds = ZQI_SysMilliseconds() + 1000u;
    uint32_t milliseconds = ZQ_GetMilliseconds();
    EXPECT_GT(milliseconds, 0xFFFFFFFFu - 1000u);
}

TEST_F(ApiTableTest, CalendarTimeIsTheCurrentTime) {
    int64_t before = static_cast<int64_t>(time(nullptr));
    int64_t now = ZQI_GetApi()->GetCalendarTime();
    int64_t after = static_cast<int64_t>(time(nullptr));
    EXPECT_LE(before, now);
    EXPECT_LE(now, after);
}

TEST_F(ApiTableTest, ConvertTimeToDateGivesLocalTimeWithoutWeekdayAndDayOfYear) {
    const uint32_t instant = 1700000000u;  // November 2023
    time_t asTime = static_cast<time_t>(instant);
    struct tm expected = *localtime(&asTime);
    zq_date_t date = ZQI_GetApi()->ConvertTimeToDate(instant);
    EXPECT_EQ(expected.tm_year + 1900, date.year);
    EXPECT_EQ(expected.tm_mon + 1, date.month);
    EXPECT_EQ(expected.tm_mday, date.day);
    EXPECT_EQ(expected.tm_hour, date.hour);
    EXPECT_EQ(expected.tm_min, date.minute);
    EXPECT_EQ(expected.tm_sec, date.second);
    EXPECT_EQ(0, date.weekday);
    EXPECT_EQ(0, date.day_of_year);
    EXPECT_EQ(0, date.unused);
}

TEST_F(ApiTableTest, LocalDateFillsEveryField) {
    time_t before = time(nullptr);
    zq_date_t date = ZQI_GetApi()->GetLocalDate();
    struct tm expected = *localtime(&before);
    // Only the year could change between the two readings on New Year's Eve; allow it.
    EXPECT_GE(date.year, expected.tm_year + 1900);
    EXPECT_GE(date.month, 1);
    EXPECT_LE(date.month, 12);
    EXPECT_GE(date.day, 1);
    EXPECT_LE(date.day, 31);
    EXPECT_LE(date.hour, 23);
    EXPECT_LE(date.minute, 59);
    EXPECT_GE(date.weekday, 0);
    EXPECT_LE(date.weekday, 6);
    EXPECT_GE(date.day_of_year, 0);
    EXPECT_LE(date.day_of_year, 365);
}

// ---- Other root slots ----

TEST_F(ApiTableTest, ReinitializeIsRefusedWithoutProgramOrRenderer) {
    zq_api_t* api = ZQI_GetApi();
    zq_parameters_t parameters;
    memset(&parameters, 0, sizeof(parameters));
    EXPECT_FALSE(api->ReinitializeWithParameters(&parameters));
    zq_program_t program;
    memset(&program, 0, sizeof(program));
    g_core.program = &program;
    EXPECT_FALSE(api->ReinitializeWithParameters(&parameters));
    EXPECT_FALSE(api->ReinitializeWithParameters(nullptr));
    EXPECT_EQ(0, g_core.reinitRequest);
}

TEST_F(ApiTableTest, SystemInfoIsNeverNull) {
    String saved = g_core.systemInfoText;
    g_core.systemInfoText.Assign(nullptr);
    ASSERT_NE(nullptr, ZQI_GetApi()->GetSystemInfo());
    EXPECT_STREQ("", ZQI_GetApi()->GetSystemInfo());
    g_core.systemInfoText.Assign("CPU: Test");
    EXPECT_STREQ("CPU: Test", ZQI_GetApi()->GetSystemInfo());
    g_core.systemInfoText = saved;
}

TEST_F(ApiTableTest, DeveloperModeSlotFollowsTheCoreFlag) {
    EXPECT_FALSE(ZQI_GetApi()->IsDeveloperMode());
    g_core.developerMode = 1;
    EXPECT_TRUE(ZQI_GetApi()->IsDeveloperMode());
}

// ---- Stand-ins of subsystems not in this build ----

TEST_F(ApiTableTest, UnavailableFileSystemListsAreEmptyAndFreeable) {
    zq_api_t* api = ZQI_GetApi();
    zq_string_list_t* found = api->filesystem->FindFiles("", "*.png", false);
    ASSERT_NE(nullptr, found);
    EXPECT_EQ(0, found->count);
    api->FreeStringList(found);
    zq_string_list_t* paths = api->filesystem->GetSearchPaths();
    ASSERT_NE(nullptr, paths);
    EXPECT_EQ(0, paths->count);
    api->FreeStringList(paths);
    EXPECT_EQ(nullptr, api->filesystem->OpenFile("res://prog.xml", "r"));
    EXPECT_FALSE(api->filesystem->FileExists("res://prog.xml"));
}

TEST_F(ApiTableTest, UnavailableHttpStillHandsOutEmptyBuffers) {
    zq_api_t* api = ZQI_GetApi();
    zq_buffer_t* response = nullptr;
    EXPECT_GT(0, api->SendHttpRequest(ZQ_HTTP_REQUEST_GET, "http://example.com/", nullptr, nullptr, 0,
                                      &response, nullptr));
    ASSERT_NE(nullptr, response);
    EXPECT_EQ(nullptr, response->data);
    EXPECT_EQ(0u, response->size);
    api->FreeBuffer(response);

    zq_buffer_t* header = nullptr;
    EXPECT_GT(0, api->SendRawHttpRequest(ZQ_HTTP_REQUEST_GET, "http://example.com/", "", 0, nullptr, 0,
                                         &header, nullptr, nullptr));
    ASSERT_NE(nullptr, header);
    api->FreeBuffer(header);
}

TEST_F(ApiTableTest, UnavailableRootSlotsAnswerNothing) {
    zq_api_t* api = ZQI_GetApi();
    EXPECT_EQ(nullptr, api->GetParameter("fps_limit"));
    EXPECT_EQ(1, CountLoggedLines("[ERROR] ZQ_GetParameter: the manifest subsystem is not "
                                  "available."));
}

}  // namespace
