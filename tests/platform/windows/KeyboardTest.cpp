// The keyboard on a real game window: keys typed with SendInput arrive as raw input (WM_INPUT)
// and become key events with the left and right modifiers told apart; the Alt+Enter chord
// switches the display mode; Alt+F4 still closes; the legacy key messages serve when raw input is
// off; losing the focus releases every key and gamepad control.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <vector>

#include "PlatformTestSupport.h"
#include "core/ApiTable.h"
#include "core/CoreState.h"
#include "core/EventQueue.h"
#include "platform/windows/GameWindow.h"
#include "platform/windows/GameWindow_local.h"  // the raw-input flag, to play a window without it
#include "platform/windows/Keyboard.h"
#include "platform/windows/MessagePump.h"
#include "platform/windows/PlatformCommands.h"
#include "platform/windows/Popups.h"

namespace {

std::vector<zq_parameters_t> g_reinitRequests;

std::vector<bool> g_activations;
void RecordActivation(bool active) {
    g_activations.push_back(active);
}

bool RecordReinitialization(zq_parameters_t* parameters) {
    g_reinitRequests.push_back(*parameters);
    return true;
}

// One key stroke. Without the scan code raw input reports MakeCode 0, which maps to no modifier.
INPUT Key(WORD key, bool up, bool extended = false) {
    INPUT input = {};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyA(key, MAPVK_VK_TO_VSC));
    input.ki.dwFlags = (up ? KEYEVENTF_KEYUP : 0) | (extended ? KEYEVENTF_EXTENDEDKEY : 0);
    return input;
}

void SendKey(WORD key, bool up) {
    INPUT input = Key(key, up);
    ASSERT_EQ(1u, SendInput(1, &input, sizeof(input)));
}

// Key events as (type, key) pairs, in order.
std::vector<std::pair<uint32_t, int32_t>> KeyEvents() {
    std::vector<std::pair<uint32_t, int32_t>> keys;
    for (const RecordedEvent& recorded : TheRecordingProgram().events) {
        const zq_event_t& event = recorded.event;
        if (event.type == ZQ_EVENT_KEY_DOWN || event.type == ZQ_EVENT_KEY_UP) {
            keys.push_back({event.type, event.key.input_id});
        }
    }
    return keys;
}

size_t g_expectedKeyEvents = 0;
bool EnoughKeyEvents() {
    return KeyEvents().size() >= g_expectedKeyEvents;
}

bool QuitRequested() {
    return !RecordedEventsOfType(ZQ_EVENT_QUIT_REQUEST).empty();
}

// Points one import slot of this executable (the engine's code is linked into it) at a
// replacement for as long as it lives, so a test sees the system calls the engine makes.
class ImportPatch {
public:
    ImportPatch(const char* library, const char* function, void* replacement) {
        void* target = reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA(library), function));
        slot_ = FindImportSlot(library, target);
        if (slot_ != nullptr) {
            original_ = *slot_;
            Write(replacement);
        }
    }
    ~ImportPatch() {
        if (slot_ != nullptr) {
            Write(original_);
        }
    }
    ImportPatch(const ImportPatch&) = delete;
    ImportPatch& operator=(const ImportPatch&) = delete;
    bool Installed() const { return slot_ != nullptr; }
    void* Original() const { return original_; }

private:
    // The slot of the library's import table that holds the target's address.
    static void** FindImportSlot(const char* library, void* target) {
        BYTE* base = reinterpret_cast<BYTE*>(GetModuleHandleA(nullptr));
        const IMAGE_NT_HEADERS* headers = reinterpret_cast<const IMAGE_NT_HEADERS*>(
            base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
        const IMAGE_DATA_DIRECTORY& imports =
            headers->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
        for (auto* entry = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
             target != nullptr && entry->Name != 0; ++entry) {
            if (_stricmp(reinterpret_cast<const char*>(base + entry->Name), library) != 0) {
                continue;
            }
            for (auto* thunk = reinterpret_cast<IMAGE_THUNK_DATA*>(base + entry->FirstThunk);
                 thunk->u1.Function != 0; ++thunk) {
                if (reinterpret_cast<void*>(thunk->u1.Function) == target) {
                    return reinterpret_cast<void**>(&thunk->u1.Function);
                }
            }
        }
        return nullptr;
    }
    void Write(void* value) {
        DWORD protection = 0;
        VirtualProtect(slot_, sizeof(void*), PAGE_READWRITE, &protection);
        *slot_ = value;
        VirtualProtect(slot_, sizeof(void*), protection, &protection);
    }

    void** slot_ = nullptr;
    void* original_ = nullptr;
};

// Raw-input packets handed to DefWindowProcA, and how many of them the engine had read by then
// (its reader's buffer holds the same packet).
int g_packetsPassedOn = 0;
int g_packetsPassedOnAfterReading = 0;
WNDPROC g_defWindowProc = nullptr;

LRESULT CALLBACK RecordPassedOnPackets(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INPUT) {
        ++g_packetsPassedOn;
        RAWINPUT packet;
        UINT size = sizeof(packet);
        const RawInputReader* reader = ZQI_GetRawInputReader();
        UINT read = GetRawInputData(reinterpret_cast<HRAWINPUT>(lParam), RID_INPUT, &packet, &size,
                                    sizeof(RAWINPUTHEADER));
        if (read != static_cast<UINT>(-1) && reader->buffer != nullptr && reader->capacity >= read &&
            memcmp(reader->buffer, &packet, read) == 0) {
            ++g_packetsPassedOnAfterReading;
        }
    }
    return g_defWindowProc(window, message, wParam, lParam);
}

const uint32_t kDown = ZQ_EVENT_KEY_DOWN;
const uint32_t kUp = ZQ_EVENT_KEY_UP;

class KeyboardTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(OpenTestWindow("Keyboard Test"));
        ZQI_GetApi()->ReinitializeWithParameters = RecordReinitialization;
        g_reinitRequests.clear();
        window_ = ZQI_GetGameWindow();
        ASSERT_TRUE(ZQI_IsRawInputRegistered());
    }

    void TearDown() override {
        g_gameWindow.rawInput = 1;
        ZQI_ResetAltEnterChord();
        CloseTestWindow();
    }

    // Sends the keys, then waits for the given number of key events.
    void Type(const std::vector<INPUT>& keys, size_t expectedEvents) {
        std::vector<INPUT> copy = keys;
        ASSERT_EQ(copy.size(), SendInput(static_cast<UINT>(copy.size()), copy.data(), sizeof(INPUT)));
        g_expectedKeyEvents = expectedEvents;
        EXPECT_TRUE(DeliverUntil(EnoughKeyEvents)) << "got " << KeyEvents().size() << " key events";
    }

    HWND window_ = nullptr;
};

}  // namespace

TEST_F(KeyboardTest, ModifiersPostTheirSideThenTheGenericKey) {
    const struct {
        WORD key;
        bool extended;
        int32_t side;
        int32_t generic;
    } cases[] = {
        {VK_CONTROL, true, 163, 17}, {VK_CONTROL, false, 162, 17}, {VK_SHIFT, false, 160, 16},
        {VK_MENU, true, 165, 18},    {VK_MENU, false, 164, 18},
    };
    for (const auto& test : cases) {
        TheRecordingProgram().events.clear();
        Type({Key(test.key, false, test.extended), Key(test.key, true, test.extended)}, 4);
        std::vector<std::pair<uint32_t, int32_t>> expected = {
            {kDown, test.side}, {kDown, test.generic}, {kUp, test.side}, {kUp, test.generic}};
        EXPECT_EQ(expected, KeyEvents()) << "key " << test.key << (test.extended ? " extended" : "");
    }
}

TEST_F(KeyboardTest, AltThenEnterSwitchesTheModeAndSwallowsEnterButEnterThenAltDoesNot) {
    Type({Key(VK_MENU, false), Key(VK_RETURN, false), Key(VK_RETURN, true), Key(VK_MENU, true)}, 4);
    ASSERT_EQ(1u, g_reinitRequests.size());
    EXPECT_EQ(0, g_reinitRequests[0].windowed);  // the windowed program asks for fullscreen
    std::vector<std::pair<uint32_t, int32_t>> altOnly = {{kDown, 164}, {kDown, 18}, {kUp, 164}, {kUp, 18}};
    EXPECT_EQ(altOnly, KeyEvents());

    TheRecordingProgram().events.clear();
    Type({Key(VK_RETURN, false), Key(VK_MENU, false), Key(VK_MENU, true), Key(VK_RETURN, true)}, 6);
    EXPECT_EQ(1u, g_reinitRequests.size());
    std::vector<std::pair<uint32_t, int32_t>> all = {{kDown, 13}, {kDown, 164}, {kDown, 18},
                                                     {kUp, 164},  {kUp, 18},    {kUp, 13}};
    EXPECT_EQ(all, KeyEvents());
}

TEST_F(KeyboardTest, AltF4StillReachesTheQuitRequest) {
    std::vector<INPUT> keys = {Key(VK_MENU, false), Key(VK_F4, false), Key(VK_F4, true), Key(VK_MENU, true)};
    ASSERT_EQ(keys.size(), SendInput(static_cast<UINT>(keys.size()), keys.data(), sizeof(INPUT)));
    EXPECT_TRUE(DeliverUntil(QuitRequested));
    EXPECT_TRUE(ZQI_IsQuitSignalled());
}

TEST_F(KeyboardTest, LegacyMessagesCarryTheKeysOnlyWithoutRawInput) {
    // With raw input the legacy messages are swallowed: raw input posts these keys already.
    EXPECT_EQ(0, SendMessageA(window_, WM_KEYDOWN, 'A', 0));
    EXPECT_EQ(0, SendMessageA(window_, WM_SYSKEYDOWN, 'A', 0));
    DeliverFor(20);
    EXPECT_TRUE(KeyEvents().empty());

    g_gameWindow.rawInput = 0;
    SendMessageA(window_, WM_KEYDOWN, 'A', 0);
    SendMessageA(window_, WM_KEYUP, 'A', 0);
    EXPECT_EQ(0, SendMessageA(window_, WM_SYSKEYDOWN, '7', 0));
    EXPECT_EQ(3, g_core.inputStates['7']);
    SendMessageA(window_, WM_SYSKEYDOWN, VK_RETURN, 0);
    SendMessageA(window_, WM_SYSKEYUP, VK_RETURN, 0);
    DeliverFor(20);
    std::vector<std::pair<uint32_t, int32_t>> expected = {{kDown, 'A'}, {kUp, 'A'}, {kDown, '7'}};
    EXPECT_EQ(expected, KeyEvents());
    ASSERT_EQ(1u, g_reinitRequests.size());

    const LPARAM altHeld = 1 << 29;  // the context code of a system key pressed with Alt
    SendMessageA(window_, WM_SYSKEYDOWN, VK_F4, altHeld);  // not the program's: DefWindowProcA closes
    EXPECT_TRUE(DeliverUntil(QuitRequested));
}

TEST_F(KeyboardTest, APostedRawInputMessageIsLoggedAndDropped) {
    StartMemoryLog();
    ASSERT_TRUE(PostMessageA(window_, WM_INPUT, RIM_INPUT, 0x1234));
    DeliverFor(20);
    EXPECT_TRUE(KeyEvents().empty());
    EXPECT_EQ(1, CountLoggedLinesWith("Failed to get Raw Input data."));
    StopMemoryLog();
}

TEST_F(KeyboardTest, DeactivationTellsTheBackEndsAndReleasesKeysAndGamepadControls) {
    SendMessageA(window_, WM_ACTIVATE, WA_ACTIVE, 0);
    g_activations.clear();
    ZQI_SetActivationHook(RecordActivation);
    g_core.inputStates['W'] = 3;
    g_core.inputStates[826] = 3;  // pad 0, button A
    g_core.inputValues[804] = 0.5f;
    SendMessageA(window_, WM_ACTIVATE, WA_INACTIVE, 0);
    SendMessageA(window_, WM_ACTIVATE, WA_INACTIVE, 0);  // no change: nobody hears of it
    ZQI_SetActivationHook(nullptr);
    EXPECT_EQ(std::vector<bool>{false}, g_activations);
    EXPECT_EQ(0, g_core.inputStates['W']);
    EXPECT_EQ(0, g_core.inputStates[826]);
    EXPECT_EQ(0.0f, g_core.inputValues[804]);
}

TEST_F(KeyboardTest, EachRawInputPacketIsPassedOnToTheSystemAfterItIsRead) {
    g_packetsPassedOn = 0;
    g_packetsPassedOnAfterReading = 0;
    {
        ImportPatch patch("user32.dll", "DefWindowProcA", reinterpret_cast<void*>(RecordPassedOnPackets));
        ASSERT_TRUE(patch.Installed());
        g_defWindowProc = reinterpret_cast<WNDPROC>(patch.Original());
        Type({Key('R', false), Key('R', true)}, 2);
    }
    std::vector<std::pair<uint32_t, int32_t>> expected = {{kDown, 'R'}, {kUp, 'R'}};
    EXPECT_EQ(expected, KeyEvents());
    EXPECT_EQ(2, g_packetsPassedOn);
    EXPECT_EQ(2, g_packetsPassedOnAfterReading);
}

TEST_F(KeyboardTest, KeysTypedIntoAValueDialogReachItNotTheProgram) {
    std::string typed;
    DialogDriver driver("EditValue", [&](HWND dialog) {
        SendKey('Q', false);
        SendKey('Q', true);
        SendKey('Z', false);
        SendKey('Z', true);
        for (int i = 0; i < 200 && typed != "qz"; ++i) {
            Sleep(10);
            typed = ControlText(dialog, 1001);
        }
        // The text shows Z's character before Z's release has left the input queue (posted
        // characters come before input messages); give the release time to be dropped too.
        Sleep(100);
        PressButton(dialog, IDOK);
    });
    const char* value = CallPlatformCommand("EditValue", "");
    EXPECT_STREQ("qz", value != nullptr ? value : "(null)");
    DeliverFor(100);
    // A release still queued when the dialog closed may reach the program (every release is
    // posted); a press never may.
    for (const auto& key : KeyEvents()) {
        EXPECT_NE(kDown, key.first) << "key " << key.second << " reached the program";
    }
    EXPECT_EQ(0, g_core.inputStates['Q']);
}

TEST_F(KeyboardTest, TheKeyThatClosesAPopupNeverReachesTheProgram) {
    // The program's explicit boxes are a developer's tool.
    g_core.developerMode = 1;
    g_core.consoleEnabled = 1;
    g_core.logVerboseLevel = 0;
    const struct {
        WORD key;
        const char* mode;  // null: an engine popup; otherwise the program's ShowPopup with this mode
        const char* answer;
    } cases[] = {
        {VK_RETURN, nullptr, "OK"},
        {VK_SPACE, "OK", "OK"},
        {VK_ESCAPE, "OK_CANCEL", "CANCEL"},
    };
    for (const auto& test : cases) {
        TheRecordingProgram().events.clear();
        // Both boxes are level 0, titled with the program's title alone.
        DialogDriver driver("Keyboard Test", [&](HWND box) {
            SendKey(test.key, false);
            SendKey(test.key, true);
            for (int i = 0; i < 200 && IsWindow(box); ++i) {
                Sleep(10);
            }
            if (IsWindow(box)) {
                PressButton(box, IDOK);  // the keys never reached the box; the answer check fails
            }
        });
        std::string answer;
        if (test.mode == nullptr) {
            answer = PopupMessage(POPUP_LEVEL_PLAIN, "Press a key.") == POPUP_ANSWER_OK ? "OK" : "(other)";
        } else {
            const char* text =
                CallPlatformCommand("ShowPopup", (std::string(test.mode) + ";Press a key.").c_str());
            answer = text != nullptr ? text : "(null)";
        }
        EXPECT_TRUE(driver.Found()) << "key " << test.key;
        EXPECT_EQ(test.answer, answer) << "key " << test.key;
        DeliverFor(100);
        // The release may still be queued when the box closes (every release is posted); the
        // press belongs to the box.
        for (const auto& key : KeyEvents()) {
            EXPECT_NE(kDown, key.first) << "key " << key.second << " reached the program";
        }
    }
    g_core.developerMode = 0;
}
