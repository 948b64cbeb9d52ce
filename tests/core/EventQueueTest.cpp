// The event queue: posting, delivery in order, the dispatcher's console toggle and input tables,
// payload freeing (ASan reports leaks and double frees) and posting from many threads at once.
#include "core/EventQueue.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/Console.h"
#include "core/CoreState.h"
#include "core/Log.h"
#include "core/NamedMutex.h"
#include "core/Sys.h"

namespace {

// What the test program's event callback saw, and what it answers.
std::vector<zq_event_t> g_delivered;
int32_t g_answer = 0;
std::vector<std::string> g_texts;  // texts an event callback copied while its record was alive
void (*g_onEvent)(const zq_event_t*) = nullptr;

int32_t RecordEvent(const zq_event_t* event) {
    g_delivered.push_back(*event);
    if (g_onEvent != nullptr) g_onEvent(event);
    return g_answer;
}

char* HeapText(const char* text) {
    char* copy = static_cast<char*>(malloc(strlen(text) + 1));
    strcpy(copy, text);
    return copy;
}

void WritePointer(zq_event_t* event, size_t offset, void* pointer) {
    memcpy(event->bytes + offset, &pointer, sizeof pointer);
}

void* ReadPointer(const zq_event_t* event, size_t offset) {
    void* pointer;
    memcpy(&pointer, event->bytes + offset, sizeof pointer);
    return pointer;
}

zq_event_t MakeEvent(uint32_t type) {
    zq_event_t event;
    ZQ_InitializeEvent(&event, type);
    return event;
}

zq_event_t MakeKey(uint32_t type, int32_t id) {
    zq_event_t event = MakeEvent(type);
    event.key.input_id = id;
    return event;
}

zq_event_t MakePointer(uint32_t type, int8_t index, int32_t x, int32_t y, uint16_t button = 0) {
    zq_event_t event = MakeEvent(type);
    event.pointer.pointer_index = index;
    event.pointer.x = x;
    event.pointer.y = y;
    event.pointer.button = button;
    event.pointer.device_kind = 2;
    return event;
}

// Posts one record from its destructor once armed: a stand-in for a thread the engine never
// joins that still posts while the process exits. As a static object of this file it is made
// before the core library's own static objects (the tests are linked ahead of the library), so
// it is destroyed after them.
struct PostAtExit {
    bool armed = false;
    ~PostAtExit() {
        if (armed) {
            zq_event_t late = MakeEvent(ZQ_EVENT_PAIR_GAMEPAD);
            ZQI_PostEvent(&late);
        }
    }
};
PostAtExit g_postAtExit;

class EventQueueTest : public ::testing::Test {
protected:
    void SetUp() override {
        ZQI_CreateCoreMutexes();
        savedCore_ = CopyCore();
        memset(&program_, 0, sizeof program_);
        program_.HandleEvent = RecordEvent;
        g_core.program = &program_;
        g_core.coreRunning = 1;
        g_core.developerMode = 0;
        memset(g_core.inputStates, 0, sizeof g_core.inputStates);
        memset(g_core.inputValues, 0, sizeof g_core.inputValues);
        Console* console = ZQI_GetConsole();
        savedToggle_ = console->toggleCharacter;
        savedLoggingStarted_ = console->loggingStarted;
        console->toggleCharacter = 0;
        console->open = 0;
        g_delivered.clear();
        g_answer = 0;
        g_onEvent = nullptr;
    }

    void TearDown() override {
        ZQI_ReleaseEventQueue();
        Console* console = ZQI_GetConsole();
        console->toggleCharacter = savedToggle_;
        console->loggingStarted = savedLoggingStarted_;
        console->open = 0;
        g_core.program = savedCore_.program;
        g_core.coreRunning = savedCore_.coreRunning;
        g_core.developerMode = savedCore_.developerMode;
        ZQI_DeleteCoreMutexes();
    }

    struct CoreFields {
        zq_program_t* program;
        uint8_t coreRunning;
        uint8_t developerMode;
    };
    static CoreFields CopyCore() { return {g_core.program, g_core.coreRunning, g_core.developerMode}; }

    // Opens the developer console's door: developer mode with logging started.
    void EnableDeveloperConsole(char toggle) {
        g_core.developerMode = 1;
        Console* console = ZQI_GetConsole();
        console->loggingStarted = 1;
        console->toggleCharacter = toggle;
    }

    zq_program_t program_;
    CoreFields savedCore_ = {};
    char savedToggle_ = 0;
    uint8_t savedLoggingStarted_ = 0;
};

// ---- Records and delivery ---------------------------------------------------------------------

TEST_F(EventQueueTest, InitializeEventZeroesAllSixtyFourBytes) {
    zq_event_t event;
    memset(&event, 0xCD, sizeof event);
    ZQ_InitializeEvent(&event, ZQ_EVENT_LAUNCH_URI);
    EXPECT_EQ(event.type, ZQ_EVENT_LAUNCH_URI);
    for (size_t i = 4; i < sizeof event; ++i) EXPECT_EQ(event.bytes[i], 0) << i;
    ZQ_InitializeEvent(nullptr, 1);  // logged, no crash
}

TEST_F(EventQueueTest, QueuedEventsArriveInPostingOrderAsCopies) {
    for (int32_t i = 0; i < 100; ++i) {
        zq_event_t event = MakeEvent(ZQ_EVENT_PAIR_GAMEPAD);
        event.pair_gamepad.result = i;
        ZQI_PostEvent(&event);
    }
    EXPECT_EQ(ZQI_GetQueuedEventCount(), 100);
    EXPECT_TRUE(g_delivered.empty());
    ZQI_ProcessEventQueue();
    EXPECT_EQ(ZQI_GetQueuedEventCount(), 0);
    ASSERT_EQ(g_delivered.size(), 100u);
    for (int32_t i = 0; i < 100; ++i) EXPECT_EQ(g_delivered[i].pair_gamepad.result, i);
    ZQI_ProcessEventQueue();  // nothing new
    EXPECT_EQ(g_delivered.size(), 100u);
}

// Each launch-URI record carries its own copy of the text, freed after delivery (the sanitizers
// of the host build report a leak or a bad free); a record the program made itself points at
// the program's text, which the engine leaves alone.
TEST_F(EventQueueTest, LaunchUriRecordsOwnTheirTexts) {
    char uri[64] = "zorqa://first";
    ZQI_PostLaunchUriEvent(uri);
    snprintf(uri, sizeof uri, "zorqa://second-and-longer");
    ZQI_PostLaunchUriEvent(uri);
    memset(uri, 'x', sizeof uri - 1);
    static const char kProgramUri[] = "zorqa://posted-by-the-program";
    zq_event_t own = MakeEvent(ZQ_EVENT_LAUNCH_URI);
    own.launch_uri.name = "launch-uri";
    own.launch_uri.uri = kProgramUri;
    ZQI_PostEvent(&own);
    g_onEvent = [](const zq_event_t* event) { g_texts.push_back(event->launch_uri.uri); };
    g_texts.clear();
    ZQI_ProcessEventQueue();
    ASSERT_EQ(g_delivered.size(), 3u);
    EXPECT_STREQ(g_delivered[0].launch_uri.name, "launch-uri");
    EXPECT_EQ(g_texts, (std::vector<std::string>{"zorqa://first", "zorqa://second-and-longer", kProgramUri}));
    ZQI_PostLaunchUriEvent("zorqa://never-delivered");  // freed with the queue at shutdown
}

TEST_F(EventQueueTest, PostingWorksBeforeTheMutexesExist) {
    ZQI_DeleteCoreMutexes();
    zq_event_t event = MakeEvent(ZQ_EVENT_ACTIVE_CHANGED);
    ZQI_PostEvent(&event);
    ZQI_PostEvent(nullptr);  // logged and ignored
    ZQI_ProcessEventQueue();
    EXPECT_EQ(g_delivered.size(), 1u);
    ZQI_CreateCoreMutexes();
}

TEST_F(EventQueueTest, EventsPostedDuringDeliveryWaitForTheNextFrame) {
    g_onEvent = [](const zq_event_t* event) {
        if (event->type == ZQ_EVENT_ACTIVE_CHANGED) {
            zq_event_t follow = MakeEvent(ZQ_EVENT_PAIR_GAMEPAD);
            ZQI_PostEvent(&follow);
            ZQI_ProcessEventQueue();  // a nested frame step is refused
        }
    };
    zq_event_t event = MakeEvent(ZQ_EVENT_ACTIVE_CHANGED);
    ZQI_PostEvent(&event);
    ZQI_ProcessEventQueue();
    ASSERT_EQ(g_delivered.size(), 1u);
    EXPECT_EQ(ZQI_GetQueuedEventCount(), 1);
    ZQI_ProcessEventQueue();
    ASSERT_EQ(g_delivered.size(), 2u);
    EXPECT_EQ(g_delivered[1].type, ZQ_EVENT_PAIR_GAMEPAD);
}

// Posts two numbered records, as a producer thread would while the frame dispatches.
void PostTwoFromAnotherThread(void*) {
    for (int32_t i = 1; i <= 2; ++i) {
        zq_event_t follow = MakeEvent(ZQ_EVENT_PAIR_GAMEPAD);
        follow.pair_gamepad.result = i;
        ZQI_PostEvent(&follow);
    }
}

TEST_F(EventQueueTest, RecordsPostedByAnotherThreadDuringDeliveryComeNextFrameInOrder) {
    // The second thread posts while the main thread is inside the program's callback and is
    // joined there, so its records are certainly queued while this frame still dispatches.
    g_onEvent = [](const zq_event_t* event) {
        if (event->type == ZQ_EVENT_ACTIVE_CHANGED) {
            ZQI_SysThread* producer = ZQI_SysCreateThread(PostTwoFromAnotherThread, nullptr);
            ASSERT_NE(producer, nullptr);
            ZQI_SysJoinThread(producer);
        }
    };
    zq_event_t first = MakeEvent(ZQ_EVENT_ACTIVE_CHANGED);
    zq_event_t second = MakeEvent(ZQ_EVENT_REINITIALIZE);
    ZQI_PostEvent(&first);
    ZQI_PostEvent(&second);
    ZQI_ProcessEventQueue();
    ASSERT_EQ(g_delivered.size(), 2u);
    EXPECT_EQ(g_delivered[1].type, ZQ_EVENT_REINITIALIZE);
    EXPECT_EQ(ZQI_GetQueuedEventCount(), 2);

    ZQI_ProcessEventQueue();
    ASSERT_EQ(g_delivered.size(), 4u);
    EXPECT_EQ(g_delivered[2].pair_gamepad.result, 1);
    EXPECT_EQ(g_delivered[3].pair_gamepad.result, 2);
}

TEST_F(EventQueueTest, PostingStillWorksWhileTheProcessExits) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            zq_event_t early = MakeEvent(ZQ_EVENT_ACTIVE_CHANGED);
            ZQI_PostEvent(&early);  // the queue has storage now
            g_postAtExit.armed = true;
            exit(0);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST_F(EventQueueTest, TheProgramAnswersOnlyOnceTheCoreRuns) {
    zq_event_t event = MakeEvent(ZQ_EVENT_QUIT_REQUEST);
    g_answer = ZQ_EVENT_ANSWER_CANCEL_QUIT;
    EXPECT_EQ(ZQI_DispatchEvent(&event), ZQ_EVENT_ANSWER_CANCEL_QUIT);
    g_delivered.clear();
    g_core.coreRunning = 0;
    EXPECT_EQ(ZQI_DispatchEvent(&event), 0);
    g_core.coreRunning = 1;
    program_.HandleEvent = nullptr;
    EXPECT_EQ(ZQI_DispatchEvent(&event), 0);
    g_core.program = nullptr;
    EXPECT_EQ(ZQI_DispatchEvent(&event), 0);
    EXPECT_TRUE(g_delivered.empty());
    EXPECT_EQ(ZQI_DispatchEvent(nullptr), 0);
}

// ---- Input tables -----------------------------------------------------------------------------

TEST_F(EventQueueTest, KeyDownMarksTheFirstPressOnlyAndKeyUpMarksAReleasedKey) {
    zq_event_t down = MakeKey(ZQ_EVENT_KEY_DOWN, 65);
    ZQI_DispatchEvent(&down);
    EXPECT_EQ(down.key.changed, 1);
    EXPECT_EQ(g_core.inputStates[65], 3);
    zq_event_t repeat = MakeKey(ZQ_EVENT_KEY_DOWN, 65);
    ZQI_DispatchEvent(&repeat);
    EXPECT_EQ(repeat.key.changed, 0);
    zq_event_t up = MakeKey(ZQ_EVENT_KEY_UP, 65);
    ZQI_DispatchEvent(&up);
    EXPECT_EQ(up.key.changed, 1);
    EXPECT_EQ(g_core.inputStates[65], 0);
    zq_event_t upAgain = MakeKey(ZQ_EVENT_KEY_UP, 65);
    ZQI_DispatchEvent(&upAgain);
    EXPECT_EQ(upAgain.key.changed, 0);
    // The program receives the records as the dispatcher left them.
    ASSERT_EQ(g_delivered.size(), 4u);
    EXPECT_EQ(g_delivered[0].key.changed, 1);
    EXPECT_EQ(g_delivered[1].key.changed, 0);
}

TEST_F(EventQueueTest, InputIdsOutsideTheTableStillReachTheProgram) {
    for (int32_t id : {0, -5, 2048, 100000}) {
        zq_event_t down = MakeKey(ZQ_EVENT_KEY_DOWN, id);
        ZQI_DispatchEvent(&down);
        EXPECT_EQ(down.key.changed, 0) << id;
    }
    for (int32_t i = 0; i < ZQ_INPUT_ID_COUNT; ++i) ASSERT_EQ(g_core.inputStates[i], 0) << i;
    EXPECT_EQ(g_delivered.size(), 4u);
}

TEST_F(EventQueueTest, PointerRecordsCarryThePreviousPositionAndUpdateTheTables) {
    zq_event_t first = MakePointer(ZQ_EVENT_POINTER_MOVE, 1, 100, 200);
    ZQI_DispatchEvent(&first);
    EXPECT_EQ(first.pointer.previous_x, 0);
    EXPECT_EQ(g_core.inputValues[544], 100.0f);
    EXPECT_EQ(g_core.inputValues[545], 200.0f);
    zq_event_t second = MakePointer(ZQ_EVENT_POINTER_DOWN, 1, 110, 220, 511);
    ZQI_DispatchEvent(&second);
    EXPECT_EQ(second.pointer.previous_x, 100);
    EXPECT_EQ(second.pointer.previous_y, 200);
    EXPECT_EQ(g_core.inputStates[544 + 7], 3);
    EXPECT_EQ(g_core.inputStates[504], 0);  // the mouse block belongs to pointer 0 only
    EXPECT_EQ(g_core.inputStates[511], 0);
    zq_event_t up = MakePointer(ZQ_EVENT_POINTER_UP, 1, 110, 220, 511);
    ZQI_DispatchEvent(&up);
    EXPECT_EQ(g_core.inputStates[544 + 7], 0);
}

TEST_F(EventQueueTest, PointerZeroAlsoDrivesTheMouse) {
    g_core.inputValues[524] = 7.9f;  // previous position is truncated
    g_core.inputValues[525] = -3.7f;
    zq_event_t down = MakePointer(ZQ_EVENT_POINTER_DOWN, 0, 40, 50, 510);
    ZQI_DispatchEvent(&down);
    EXPECT_EQ(down.pointer.previous_x, 7);
    EXPECT_EQ(down.pointer.previous_y, -3);
    EXPECT_EQ(g_core.inputStates[504], 40);
    EXPECT_EQ(g_core.inputStates[505], 50);
    EXPECT_EQ(g_core.inputValues[504], 40.0f);
    EXPECT_EQ(g_core.inputValues[505], 50.0f);
    EXPECT_EQ(g_core.inputStates[510], 3);
    EXPECT_EQ(g_core.inputStates[524 + 6], 3);
    zq_event_t middle = MakePointer(ZQ_EVENT_POINTER_DOWN, 0, 40, 50, 512);
    ZQI_DispatchEvent(&middle);
    EXPECT_EQ(g_core.inputStates[512], 3);  // the button's own id, not the pointer block
    zq_event_t up = MakePointer(ZQ_EVENT_POINTER_UP, 0, 41, 51, 510);
    ZQI_DispatchEvent(&up);
    EXPECT_EQ(g_core.inputStates[510], 0);
    EXPECT_EQ(g_core.inputStates[524 + 6], 0);
}

TEST_F(EventQueueTest, WheelAndOutOfRangePointersLeaveTheTablesAlone) {
    g_core.inputValues[524] = 1e30f;  // whatever the program stored, reading it is safe
    zq_event_t wheel = MakePointer(ZQ_EVENT_POINTER_WHEEL, 0, 5, 6);
    wheel.pointer.wheel_delta = 120;
    ZQI_DispatchEvent(&wheel);
    EXPECT_EQ(wheel.pointer.previous_x, 0);
    EXPECT_EQ(g_core.inputStates[504], 0);
    for (int8_t index : {int8_t{-1}, int8_t{76}, int8_t{127}, int8_t{-128}}) {
        zq_event_t move = MakePointer(ZQ_EVENT_POINTER_DOWN, index, 5, 6, 510);
        ZQI_DispatchEvent(&move);
    }
    for (int32_t i = 0; i < ZQ_INPUT_ID_COUNT; ++i) ASSERT_EQ(g_core.inputStates[i], 0) << i;
    EXPECT_EQ(g_delivered.size(), 5u);
    // Pointer 75 is the last whose button entries (+6, +7) lie inside the table.
    zq_event_t last = MakePointer(ZQ_EVENT_POINTER_DOWN, 75, 5, 6, 511);
    ZQI_DispatchEvent(&last);
    EXPECT_EQ(g_core.inputValues[524 + 20 * 75], 5.0f);
    EXPECT_EQ(g_core.inputStates[524 + 20 * 75 + 7], 3);
    zq_event_t huge = MakePointer(ZQ_EVENT_POINTER_MOVE, 0, 1, 1);
    ZQI_DispatchEvent(&huge);
    EXPECT_EQ(huge.pointer.previous_x, INT32_MAX);
}

// ---- Console toggle ---------------------------------------------------------------------------

TEST_F(EventQueueTest, WithoutDeveloperModeNothingIsSwallowed) {
    zq_event_t character = MakeEvent(ZQ_EVENT_CHARACTER);
    character.character.character = 0;
    ZQI_DispatchEvent(&character);
    zq_event_t key = MakeKey(ZQ_EVENT_KEY_DOWN, 0);
    ZQI_DispatchEvent(&key);
    EXPECT_EQ(g_delivered.size(), 2u);
    EXPECT_EQ(ZQI_GetConsole()->open, 0);
}

TEST_F(EventQueueTest, TheToggleCharacterFlipsTheConsoleAndIsSwallowed) {
    EnableDeveloperConsole('`');
    Console* console = ZQI_GetConsole();
    console->ctrlHeld = 1;
    zq_event_t character = MakeEvent(ZQ_EVENT_CHARACTER);
    character.character.character = '`';
    EXPECT_EQ(ZQI_DispatchEvent(&character), 0);
    EXPECT_EQ(console->open, 1);
    EXPECT_EQ(console->ctrlHeld, 0);
    EXPECT_EQ(program_.parameters.console_open, 1);
    zq_event_t key = MakeKey(ZQ_EVENT_KEY_DOWN, '`');
    EXPECT_EQ(ZQI_DispatchEvent(&key), 0);
    EXPECT_EQ(console->open, 0);
    EXPECT_EQ(program_.parameters.console_open, 0);
    EXPECT_TRUE(g_delivered.empty());
    EXPECT_EQ(g_core.inputStates['`'], 0);  // swallowed before the key table
    // Other keys pass; a key-up of the toggle key is not a toggle.
    zq_event_t other = MakeKey(ZQ_EVENT_KEY_UP, '`');
    ZQI_DispatchEvent(&other);
    EXPECT_EQ(g_delivered.size(), 1u);
}

TEST_F(EventQueueTest, AToggleCharacterAboveSevenBitsMatchesTheCharacterRecord) {
    EnableDeveloperConsole(static_cast<char>(0xA7));
    zq_event_t character = MakeEvent(ZQ_EVENT_CHARACTER);
    character.character.character = 0xA7;
    ZQI_DispatchEvent(&character);
    EXPECT_EQ(ZQI_GetConsole()->open, 1);
    EXPECT_TRUE(g_delivered.empty());
}

TEST_F(EventQueueTest, BeforeLoggingStartsTheToggleOnlyClosesTheConsole) {
    EnableDeveloperConsole('`');
    Console* console = ZQI_GetConsole();
    console->loggingStarted = 0;
    console->open = 1;
    zq_event_t character = MakeEvent(ZQ_EVENT_CHARACTER);
    character.character.character = '`';
    ZQI_DispatchEvent(&character);
    EXPECT_EQ(console->open, 0);
    ZQI_DispatchEvent(&character);
    EXPECT_EQ(console->open, 0);
    EXPECT_TRUE(g_delivered.empty());
}

TEST_F(EventQueueTest, WhileTheConsoleIsOpenUnconsumedEventsReachTheProgram) {
    EnableDeveloperConsole('`');
    ZQI_GetConsole()->open = 1;
    zq_event_t key = MakeKey(ZQ_EVENT_KEY_DOWN, 65);
    ZQI_DispatchEvent(&key);
    zq_event_t command = MakeEvent(ZQ_EVENT_CONSOLE_COMMAND);
    ZQI_DispatchEvent(&command);
    EXPECT_EQ(g_delivered.size(), 2u);
}

// ---- Payload blocks ---------------------------------------------------------------------------

// Every block below comes from malloc; ASan reports any that is not freed exactly once.
TEST_F(EventQueueTest, FreeEventPayloadFreesEveryListedBlock) {
    zq_event_t simple = MakeEvent(18);
    WritePointer(&simple, 8, malloc(16));
    zq_event_t scores = MakeEvent(ZQ_EVENT_LEADERBOARD_SCORES);
    scores.leaderboard_scores.error = HeapText("timeout");
    scores.leaderboard_scores.category = HeapText("highscores");
    scores.leaderboard_scores.scores = static_cast<LeaderboardScore*>(calloc(2, sizeof(LeaderboardScore)));
    zq_event_t optional = MakeEvent(20);
    zq_event_t four = MakeEvent(33);
    zq_event_t fourB = MakeEvent(34);
    for (size_t offset : {8, 24, 32, 40}) {
        WritePointer(&four, offset, malloc(4));
        WritePointer(&fourB, offset, malloc(4));
    }
    zq_event_t three = MakeEvent(36);
    WritePointer(&three, 16, malloc(4));  // 8 and 24 may be null
    zq_event_t login = MakeEvent(ZQ_EVENT_SOCIAL_LOGIN);
    login.social_login.block = malloc(8);
    login.social_login.user = static_cast<zq_social_user_t*>(calloc(1, sizeof(zq_social_user_t)));
    login.social_login.user->id = HeapText("id");  // the name may be null
    zq_event_t friends = MakeEvent(ZQ_EVENT_SOCIAL_FRIENDS);
    friends.social_friends.users = static_cast<zq_social_user_t*>(calloc(3, sizeof(zq_social_user_t)));
    friends.social_friends.count = 3;
    friends.social_friends.users[0].id = HeapText("a");
    friends.social_friends.users[0].name = HeapText("Ann");
    friends.social_friends.users[2].name = HeapText("Cy");

    for (zq_event_t* event : {&simple, &scores, &optional, &four, &fourB, &three, &login, &friends}) {
        ZQI_FreeEventPayload(event);
        for (size_t offset = 8; offset + sizeof(void*) <= 48; offset += 8) {
            if (event->type == ZQ_EVENT_SOCIAL_FRIENDS && offset == 16) continue;  // the count
            if (event->type == ZQ_EVENT_LEADERBOARD_SCORES && offset >= 24 && offset < 40) continue;
            EXPECT_EQ(ReadPointer(event, offset), nullptr) << event->type << "@" << offset;
        }
        ZQI_FreeEventPayload(event);  // a second call finds nothing left to free
    }
}

TEST_F(EventQueueTest, EmptyFriendListAndMissingLoginRecordFreeOnlyWhatIsThere) {
    zq_event_t friends = MakeEvent(ZQ_EVENT_SOCIAL_FRIENDS);
    friends.social_friends.users = static_cast<zq_social_user_t*>(malloc(24));
    memset(friends.social_friends.users, 0xEE, 24);  // garbage must not be taken for pointers
    friends.social_friends.count = 0;
    ZQI_FreeEventPayload(&friends);
    zq_event_t login = MakeEvent(ZQ_EVENT_SOCIAL_LOGIN);
    login.social_login.block = malloc(8);
    ZQI_FreeEventPayload(&login);
    EXPECT_EQ(login.social_login.block, nullptr);
}

TEST_F(EventQueueTest, OtherTypesAreLeftAlone) {
    static const char kName[] = "launch-uri";
    static char kUri[] = "zorqa://x";
    zq_event_t launch = MakeEvent(ZQ_EVENT_LAUNCH_URI);
    launch.launch_uri.name = kName;
    launch.launch_uri.uri = kUri;  // freeing a static block would be caught by ASan
    ZQI_FreeEventPayload(&launch);
    EXPECT_EQ(launch.launch_uri.uri, kUri);
    zq_event_t dropped = MakeEvent(ZQ_EVENT_FILE_DROPPED);
    dropped.file_dropped.path = kUri;
    ZQI_FreeEventPayload(&dropped);
    EXPECT_EQ(dropped.file_dropped.path, kUri);
    ZQI_FreeEventPayload(nullptr);
}

TEST_F(EventQueueTest, PayloadsAreValidDuringDeliveryAndFreedAfterIt) {
    g_onEvent = [](const zq_event_t* event) { EXPECT_STREQ(event->leaderboard_scores.category, "weekly"); };
    zq_event_t scores = MakeEvent(ZQ_EVENT_LEADERBOARD_SCORES);
    scores.leaderboard_scores.has_scores = 1;
    scores.leaderboard_scores.category = HeapText("weekly");
    ZQI_PostEvent(&scores);
    ZQI_ProcessEventQueue();
    EXPECT_EQ(g_delivered.size(), 1u);
}

TEST_F(EventQueueTest, ReleasingTheQueueFreesPayloadsStillWaiting) {
    zq_event_t simple = MakeEvent(18);
    WritePointer(&simple, 8, malloc(32));
    ZQI_PostEvent(&simple);
    ZQI_ReleaseEventQueue();
    EXPECT_EQ(ZQI_GetQueuedEventCount(), 0);
    ZQI_ProcessEventQueue();
    EXPECT_TRUE(g_delivered.empty());
}

// ---- Many producers ---------------------------------------------------------------------------

const int32_t kProducers = 8;
const int32_t kEventsPerProducer = 5000;

struct Producer {
    int32_t index;
    volatile int32_t* started;
};

void ProduceEvents(void* argument) {
    const Producer* producer = static_cast<const Producer*>(argument);
    ZQI_SysAtomicIncrement(producer->started);
    for (int32_t sequence = 0; sequence < kEventsPerProducer; ++sequence) {
        zq_event_t event = MakeEvent(ZQ_EVENT_PAIR_GAMEPAD);
        event.bytes[4] = static_cast<uint8_t>(producer->index);
        event.pair_gamepad.result = sequence;
        WritePointer(&event, 16, nullptr);
        ZQI_PostEvent(&event);
    }
}

TEST_F(EventQueueTest, EightProducersLoseAndDuplicateNothing) {
    volatile int32_t started = 0;
    Producer producers[kProducers];
    ZQI_SysThread* threads[kProducers];
    for (int32_t i = 0; i < kProducers; ++i) {
        producers[i] = {i, &started};
        threads[i] = ZQI_SysCreateThread(ProduceEvents, &producers[i]);
        ASSERT_NE(threads[i], nullptr);
    }
    // Drain while the producers post, so delivery and posting overlap.
    while (ZQI_SysAtomicLoad(&started) < kProducers) ZQI_ProcessEventQueue();
    for (int32_t round = 0; round < 1000; ++round) ZQI_ProcessEventQueue();
    for (ZQI_SysThread* thread : threads) ZQI_SysJoinThread(thread);
    ZQI_ProcessEventQueue();

    ASSERT_EQ(g_delivered.size(), static_cast<size_t>(kProducers * kEventsPerProducer));
    std::vector<int32_t> next(kProducers, 0);
    for (const zq_event_t& event : g_delivered) {
        const int32_t producer = event.bytes[4];
        ASSERT_LT(producer, kProducers);
        // Each producer's records arrive once each, in the order it posted them.
        ASSERT_EQ(event.pair_gamepad.result, next[producer]) << "producer " << producer;
        ++next[producer];
    }
    for (int32_t count : next) EXPECT_EQ(count, kEventsPerProducer);
}

}  // namespace
