// The event queue and the dispatcher. Posting copies records under "RESOURCE_QUEUE"; the frame
// moves the queue into its working copy under that lock and delivers outside it, so a handler
// may post (to the next frame) without deadlock.
#include "core/EventQueue.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>

#include "core/Console.h"
#include "core/ConsoleEvents.h"
#include "core/CoreState.h"
#include "core/Log.h"
#include "core/NamedMutex.h"
#include "foundation/Array.h"

namespace {

// Input ids of the mouse and of the pointer blocks in the core's input tables.
const int32_t kMouseXId = 504;
const int32_t kMouseYId = 505;
const int32_t kFirstPointerBlockId = 524;
const int32_t kPointerBlockSize = 20;
const int32_t kPointerButtonStateOffset = 6;  // +6 button 510, +7 button 511
const uint16_t kLeftButtonId = 510;
const uint16_t kRightButtonId = 511;

const int32_t kStatePressed = 3;
const int32_t kStateReleased = 0;

// Service result types whose records own heap blocks.
const uint32_t kEventServiceBlock = 18;
const uint32_t kEventServiceOptionalBlock = 20;
const uint32_t kEventServiceFourBlocksA = 33;
const uint32_t kEventServiceFourBlocksB = 34;
const uint32_t kEventServiceThreeBlocks = 36;

// The queue and the frame's working copy live in static storage that is built on first use and
// never destroyed: threads the engine never joins may still post while the process exits, after
// the destructors of ordinary static objects have run.
template <int Which>
Array<zq_event_t>& EventArray() {
    alignas(Array<zq_event_t>) static unsigned char storage[sizeof(Array<zq_event_t>)];
    static Array<zq_event_t>* array = new (storage) Array<zq_event_t>();
    return *array;
}

// Posted records, guarded by "RESOURCE_QUEUE".
Array<zq_event_t>& Queue() {
    return EventArray<0>();
}

// The frame's records being delivered; main thread only.
Array<zq_event_t>& WorkingCopy() {
    return EventArray<1>();
}

bool g_delivering = false;  // guards the working copy against a nested frame step

bool IsValidInputId(int32_t id) {
    return id >= 1 && id < ZQ_INPUT_ID_COUNT;
}

// Float to int by truncation, without the undefined behaviour of casting NaN or an
// out-of-range value: the program may store anything in the value table.
int32_t TruncateToInt(float value) {
    if (std::isnan(value)) {
        return 0;
    }
    if (value >= 2147483647.0f) {
        return INT32_MAX;
    }
    if (value <= -2147483648.0f) {
        return INT32_MIN;
    }
    return static_cast<int32_t>(value);
}

// ---- Console toggle ---------------------------------------------------------------------------

// A character record with the toggle character, or a key-down record whose key code equals the
// toggle character (sign-extended, as the character is a plain char). A toggle character of 0
// means the console cannot be opened, so it matches nothing.
bool IsConsoleToggle(const zq_event_t* event, char toggleCharacter) {
    if (toggleCharacter == '\0') {
        return false;
    }
    if (event->type == ZQ_EVENT_CHARACTER) {
        return event->character.character == static_cast<uint8_t>(toggleCharacter);
    }
    if (event->type == ZQ_EVENT_KEY_DOWN) {
        return event->key.input_id == static_cast<int32_t>(toggleCharacter);
    }
    return false;
}

void ToggleConsole(Console* console) {
    console->ctrlHeld = 0;
    console->shiftHeld = 0;
    if (console->loggingStarted && g_core.developerMode) {
        console->open = console->open ? 0 : 1;
        if (g_core.program != nullptr) {
            g_core.program->parameters.console_open = console->open;
        }
    } else {
        console->open = 0;
    }
}

// ---- Input tables -----------------------------------------------------------------------------

void UpdateKeyState(zq_event_t* event) {
    const int32_t id = event->key.input_id;
    if (!IsValidInputId(id)) {
        return;
    }
    int32_t& state = g_core.inputStates[id];
    if (event->type == ZQ_EVENT_KEY_DOWN) {
        event->key.changed = state == kStateReleased ? 1 : 0;
        state = kStatePressed;
    } else {
        event->key.changed = state != kStateReleased ? 1 : 0;
        state = kStateReleased;
    }
}

// Pointers whose block would leave the table (or negative indexes, which would land on the
// mouse's and keyboard's ids) keep the tables untouched.
bool HasPointerBlock(int32_t pointerIndex) {
    const int32_t lastId =
        kFirstPointerBlockId + kPointerBlockSize * pointerIndex + kPointerButtonStateOffset + 1;
    return pointerIndex >= 0 && lastId < ZQ_INPUT_ID_COUNT;
}

bool IsButtonEvent(uint32_t type) {
    return type == ZQ_EVENT_POINTER_UP || type == ZQ_EVENT_POINTER_DOWN;
}

void UpdatePointerBlock(zq_event_t* event, int32_t pointerIndex) {
    const int32_t base = kFirstPointerBlockId + kPointerBlockSize * pointerIndex;
    event->pointer.previous_x = TruncateToInt(g_core.inputValues[base]);
    event->pointer.previous_y = TruncateToInt(g_core.inputValues[base + 1]);
    g_core.inputValues[base] = static_cast<float>(event->pointer.x);
    g_core.inputValues[base + 1] = static_cast<float>(event->pointer.y);
    const uint16_t button = event->pointer.button;
    if (IsButtonEvent(event->type) && (button == kLeftButtonId || button == kRightButtonId)) {
        const int32_t state = event->type == ZQ_EVENT_POINTER_DOWN ? kStatePressed : kStateReleased;
        g_core.inputStates[base + kPointerButtonStateOffset + (button - kLeftButtonId)] = state;
    }
}

void UpdateMouse(const zq_event_t* event) {
    g_core.inputStates[kMouseXId] = event->pointer.x;
    g_core.inputStates[kMouseYId] = event->pointer.y;
    g_core.inputValues[kMouseXId] = static_cast<float>(event->pointer.x);
    g_core.inputValues[kMouseYId] = static_cast<float>(event->pointer.y);
    const int32_t button = event->pointer.button;
    if (IsButtonEvent(event->type) && IsValidInputId(button)) {
        g_core.inputStates[button] = event->type == ZQ_EVENT_POINTER_DOWN ? kStatePressed : kStateReleased;
    }
}

void UpdatePointerState(zq_event_t* event) {
    const int32_t pointerIndex = event->pointer.pointer_index;
    if (HasPointerBlock(pointerIndex)) {
        UpdatePointerBlock(event, pointerIndex);
    }
    if (pointerIndex == 0) {
        UpdateMouse(event);
    }
}

// ---- Payload blocks ---------------------------------------------------------------------------

// Payload pointers sit at fixed byte offsets; they are read and cleared through memcpy so the
// record's view structs need not name every service type.
void* ReadPointer(const zq_event_t* event, size_t offset) {
    void* pointer;
    memcpy(&pointer, event->bytes + offset, sizeof pointer);
    return pointer;
}

// Blocks come from the engine's general heap (ZQ_AllocateMemory is plain malloc). The field is
// cleared so that a second free of the same record does nothing.
void FreeBlockAt(zq_event_t* event, size_t offset) {
    free(ReadPointer(event, offset));
    void* const cleared = nullptr;
    memcpy(event->bytes + offset, &cleared, sizeof cleared);
}

void FreeBlocksAt(zq_event_t* event, const size_t* offsets, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        FreeBlockAt(event, offsets[i]);
    }
}

// Type 37: a block at 8, and at 16 a user record whose two texts are freed before it.
void FreeSocialLoginBlocks(zq_event_t* event) {
    FreeBlockAt(event, 8);
    zq_social_user_t* user = event->social_login.user;
    if (user != nullptr) {
        free(user->id);
        free(user->name);
    }
    FreeBlockAt(event, 16);
}

// Type 38: at 8 an array of 24-byte user records with a count at 16; both texts of each record,
// then the array.
void FreeSocialFriendsBlocks(zq_event_t* event) {
    zq_social_user_t* users = event->social_friends.users;
    if (users != nullptr) {
        for (int32_t i = 0; i < event->social_friends.count; ++i) {
            free(users[i].id);
            free(users[i].name);
        }
    }
    FreeBlockAt(event, 8);
}

// ---- Queue storage ----------------------------------------------------------------------------

// Moves the queued records into the working copy, whose storage matches the queue's capacity.
// The caller holds "RESOURCE_QUEUE". False when the storage could not be had; the records then
// stay queued for the next frame.
bool MoveQueueToWorkingCopy() {
    Array<zq_event_t>& queue = Queue();
    Array<zq_event_t>& working = WorkingCopy();
    working.count = 0;
    if (queue.count == 0) {
        return true;
    }
    if (working.capacity != queue.capacity) {
        zq_event_t* block =
            static_cast<zq_event_t*>(malloc(sizeof(zq_event_t) * static_cast<size_t>(queue.capacity)));
        if (block == nullptr) {
            return false;
        }
        Array<zq_event_t>::ReleaseBlock(working.data);
        working.data = block;
        working.capacity = queue.capacity;
    }
    memcpy(static_cast<void*>(working.data), static_cast<const void*>(queue.data),
           sizeof(zq_event_t) * static_cast<size_t>(queue.count));
    working.count = queue.count;
    queue.count = 0;
    return true;
}

}  // namespace

void ZQ_InitializeEvent(zq_event_t* event, uint32_t type) {
    if (event == nullptr) {
        ZQI_LogFormat(LOG_LEVEL_ERROR, "ZQ_InitializeEvent: no event record");
        return;
    }
    memset(event, 0, sizeof *event);
    event->type = type;
}

void ZQI_PostEvent(const zq_event_t* event) {
    if (event == nullptr) {
        ZQI_LogFormat(LOG_LEVEL_ERROR, "ZQI_PostEvent: no event record");
        return;
    }
    ZQI_LockCoreMutex(CORE_MUTEX_RESOURCE_QUEUE);
    Array<zq_event_t>& queue = Queue();
    const int32_t countBefore = queue.count;
    queue.Push(*event);
    const bool stored = queue.count > countBefore;
    ZQI_UnlockCoreMutex(CORE_MUTEX_RESOURCE_QUEUE);
    if (!stored) {
        // The queue owns the record's blocks from now on; since it cannot keep the record, it
        // frees them rather than leaking them.
        zq_event_t dropped = *event;
        ZQI_FreeEventPayload(&dropped);
        ZQI_LogFormat(LOG_LEVEL_ERROR, "ZQI_PostEvent: out of memory, event of type %u dropped", event->type);
    }
}

int32_t ZQI_DispatchEvent(zq_event_t* event) {
    if (event == nullptr) {
        ZQI_LogFormat(LOG_LEVEL_ERROR, "ZQI_DispatchEvent: no event record");
        return 0;
    }
    Console* console = ZQI_GetConsole();
    if (IsConsoleToggle(event, console->toggleCharacter)) {
        ToggleConsole(console);
        return 0;
    }
    if (console->open && event->type != ZQ_EVENT_CONSOLE_COMMAND) {
        const int32_t answer = ZQI_ConsoleHandleEvent(console, event);
        if (answer != 0) {
            return answer;
        }
    }
    if (event->type == ZQ_EVENT_KEY_DOWN || event->type == ZQ_EVENT_KEY_UP) {
        UpdateKeyState(event);
    }
    if (event->type == ZQ_EVENT_POINTER_MOVE || IsButtonEvent(event->type)) {
        UpdatePointerState(event);
    }
    zq_program_t* program = g_core.program;
    if (program == nullptr || program->HandleEvent == nullptr || !g_core.coreRunning) {
        return 0;
    }
    // The program gets its own copy, so it cannot change what the engine frees afterwards.
    zq_event_t copy = *event;
    return program->HandleEvent(&copy);
}

namespace {

// The name of the launch-URI records the engine posts. Only a record whose name points at this
// very text owns its URI: the program may post launch-URI records of its own, whose texts the
// engine must not free.
const char kOwnedLaunchUriName[] = "launch-uri";

void FreeOwnedLaunchUri(zq_event_t* event) {
    if (event->launch_uri.name == kOwnedLaunchUriName) {
        free(const_cast<char*>(event->launch_uri.uri));
        event->launch_uri.uri = nullptr;
    }
}

}  // namespace

bool ZQI_MakeLaunchUriEvent(zq_event_t* event, const char* uri) {
    char* copy = ZQI_DuplicateString(uri != nullptr ? uri : "");
    if (copy == nullptr) {
        ZQI_LogFormat(LOG_LEVEL_ERROR, "ZQI_MakeLaunchUriEvent: out of memory, launch URI '%s' dropped",
                      uri != nullptr ? uri : "");
        return false;
    }
    ZQ_InitializeEvent(event, ZQ_EVENT_LAUNCH_URI);
    event->launch_uri.name = kOwnedLaunchUriName;
    event->launch_uri.uri = copy;
    return true;
}

void ZQI_PostLaunchUriEvent(const char* uri) {
    zq_event_t event;
    if (ZQI_MakeLaunchUriEvent(&event, uri)) {
        ZQI_PostEvent(&event);
    }
}

void ZQI_FreeEventPayload(zq_event_t* event) {
    if (event == nullptr) {
        return;
    }
    static const size_t kOneBlock[] = {8};
    static const size_t kLeaderboardBlocks[] = {8, 16, 40};
    static const size_t kFourBlocks[] = {8, 24, 32, 40};
    static const size_t kThreeBlocks[] = {8, 16, 24};
    switch (event->type) {
        case kEventServiceBlock:
        case kEventServiceOptionalBlock:
            FreeBlocksAt(event, kOneBlock, 1);
            break;
        case ZQ_EVENT_LEADERBOARD_SCORES:
            FreeBlocksAt(event, kLeaderboardBlocks, 3);
            break;
        case kEventServiceFourBlocksA:
        case kEventServiceFourBlocksB:
            FreeBlocksAt(event, kFourBlocks, 4);
            break;
        case kEventServiceThreeBlocks:
            FreeBlocksAt(event, kThreeBlocks, 3);
            break;
        case ZQ_EVENT_SOCIAL_LOGIN:
            FreeSocialLoginBlocks(event);
            break;
        case ZQ_EVENT_SOCIAL_FRIENDS:
            FreeSocialFriendsBlocks(event);
            break;
        case ZQ_EVENT_LAUNCH_URI:
            FreeOwnedLaunchUri(event);
            break;
        default:
            break;
    }
}

void ZQI_ProcessEventQueue() {
    if (g_delivering) {
        ZQI_LogFormat(LOG_LEVEL_ERROR,
                      "ZQI_ProcessEventQueue: called while delivering; events wait for the next "
                      "frame");
        return;
    }
    ZQI_LockCoreMutex(CORE_MUTEX_RESOURCE_QUEUE);
    const bool moved = MoveQueueToWorkingCopy();
    ZQI_UnlockCoreMutex(CORE_MUTEX_RESOURCE_QUEUE);
    if (!moved) {
        ZQI_LogFormat(LOG_LEVEL_ERROR, "ZQI_ProcessEventQueue: out of memory, events wait");
        return;
    }
    g_delivering = true;
    Array<zq_event_t>& working = WorkingCopy();
    for (int32_t i = 0; i < working.count; ++i) {
        ZQI_DispatchEvent(&working[i]);
        ZQI_FreeEventPayload(&working[i]);
    }
    working.count = 0;
    g_delivering = false;
}

int32_t ZQI_GetQueuedEventCount() {
    ZQI_LockCoreMutex(CORE_MUTEX_RESOURCE_QUEUE);
    const int32_t count = Queue().count;
    ZQI_UnlockCoreMutex(CORE_MUTEX_RESOURCE_QUEUE);
    return count;
}

void ZQI_ReleaseEventQueue() {
    ZQI_LockCoreMutex(CORE_MUTEX_RESOURCE_QUEUE);
    Array<zq_event_t>& queue = Queue();
    for (int32_t i = 0; i < queue.count; ++i) {
        ZQI_FreeEventPayload(&queue[i]);
    }
    Array<zq_event_t>::ReleaseBlock(queue.data);
    queue.data = nullptr;
    queue.count = 0;
    queue.capacity = 0;
    ZQI_UnlockCoreMutex(CORE_MUTEX_RESOURCE_QUEUE);
    Array<zq_event_t>& working = WorkingCopy();
    Array<zq_event_t>::ReleaseBlock(working.data);
    working.data = nullptr;
    working.count = 0;
    working.capacity = 0;
}
