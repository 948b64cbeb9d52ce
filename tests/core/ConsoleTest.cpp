// The console overlay's input: answers, editing, entered lines, history, scrolling, the filter
// and clicks, the clipboard through the extension-call slot (a fake here), registration, Tab
// completion and hints.
#include <string>
#include <vector>

#include "ApiTableTestSupport.h"
#include "core/ConsoleAutocompletion.h"
#include "core/ConsoleEvents.h"
#include "core/ConsoleFilter.h"
#include "core/ConsoleOverlay.h"
#include "core/EventQueue.h"

namespace {

enum : int32_t { kCtrl = 17, kHome = 36, kTab = 9 };

std::string g_clipboard;
std::vector<std::string> g_commands;  // lines of the console-command events the program got

const char* FakeExtensionCall(const char* function, const char* parameter) {
    if (strcmp(function, "Clipboard_SetText") == 0) {
        g_clipboard = parameter;
    }
    return strcmp(function, "Clipboard_GetText") == 0 ? g_clipboard.c_str() : nullptr;
}

bool FakeIsPathValid(const char* path) {
    return strpbrk(path, "?=") == nullptr;
}

int32_t RecordCommand(const zq_event_t* event) {
    if (event->type == ZQ_EVENT_CONSOLE_COMMAND) {
        g_commands.push_back(event->console_command.line);
    }
    return 0;
}

// A record of the type, with value as its character, key code, wheel delta or pointer y.
zq_event_t Make(uint32_t type, int32_t value = 0) {
    zq_event_t event;
    ZQ_InitializeEvent(&event, type);
    if (type == ZQ_EVENT_CHARACTER) {
        event.character.character = static_cast<uint8_t>(value);
    } else if (type == ZQ_EVENT_KEY_DOWN || type == ZQ_EVENT_KEY_UP) {
        event.key.input_id = value;
    } else if (type == ZQ_EVENT_POINTER_WHEEL) {
        event.pointer.wheel_delta = static_cast<int16_t>(value);
    } else {
        event.pointer.y = value;
    }
    return event;
}

class ConsoleTest : public CoreApiTest {
protected:
    void SetUp() override {
        CoreApiTest::SetUp();
        Reset();
        g_core.developerMode = 1;
        g_core.coreRunning = 1;
        program_ = {};
        program_.HandleEvent = RecordCommand;
        g_core.program = &program_;
        ZQI_GetApi()->ExtensionCall = FakeExtensionCall;
        ZQI_GetApi()->filesystem->IsPathValid = FakeIsPathValid;
        g_clipboard.clear();
        g_commands.clear();
    }
    void TearDown() override {
        Reset();
        CoreApiTest::TearDown();
    }
    void Reset() {
        for (char* entry : console_->history) {
            free(entry);
        }
        console_->history.count = 0;
        console_->autocompletions.DeleteAll();
        console_->autocompletionHint.Assign("");
        console_->historyBrowsing = console_->ctrlHeld = console_->toggleCharacter = 0;
        console_->historyPosition = console_->cursor = console_->scrollOffset = 0;
        console_->lineCounter = 0;
        console_->openFactor = 0.0f;
        console_->inputLine[0] = '\0';
    }

    int32_t Send(uint32_t type, int32_t value = 0) {
        zq_event_t event = Make(type, value);
        return ZQI_ConsoleHandleEvent(console_, &event);
    }
    void Type(const std::string& text) {
        for (char c : text) {
            Send(ZQ_EVENT_CHARACTER, static_cast<uint8_t>(c));
        }
    }
    int32_t Press(int32_t code) { return Send(ZQ_EVENT_KEY_DOWN, code); }
    int32_t PressWithCtrl(int32_t code) {
        Press(kCtrl);
        int32_t answer = Press(code);
        Send(ZQ_EVENT_KEY_UP, kCtrl);
        return answer;
    }
    void LogLines(int32_t count, const char* format) {
        for (int32_t i = 1; i <= count; ++i) {
            ZQ_Log(LOG_LEVEL_INFO, format, i);
        }
    }
    // The line number of the line the view shows at the bottom.
    uint32_t NewestShownLineNumber() {
        int32_t index = ZQI_FindNewestShownConsoleLine(console_, console_->scrollOffset);
        return index >= 0 ? console_->lines[index].lineNumber : 0;
    }
    std::string Line() const { return console_->inputLine; }

    Console* console_ = ZQI_GetConsole();
    zq_program_t program_;
};

TEST_F(ConsoleTest, EveryKindOfRecordGetsItsAnswer) {
    const struct {
        uint32_t type;
        int32_t value;
        bool ctrl;
        int32_t answer;
    } cases[] = {
        {ZQ_EVENT_CHARACTER, 'a', false, 1},  {ZQ_EVENT_CHARACTER, 5, false, 1},
        {ZQ_EVENT_KEY_DOWN, 16, false, 0},    {ZQ_EVENT_KEY_DOWN, 65, false, 0},
        {ZQ_EVENT_KEY_DOWN, kCtrl, false, 1}, {ZQ_EVENT_KEY_DOWN, 37, true, 1},
        {ZQ_EVENT_KEY_UP, kCtrl, true, 0},    {ZQ_EVENT_POINTER_WHEEL, 0, false, 1},
        {ZQ_EVENT_POINTER_MOVE, 0, false, 1}, {ZQ_EVENT_POINTER_UP, 0, false, 1},
        {ZQ_EVENT_POINTER_DOWN, 0, false, 1}, {ZQ_EVENT_ACTIVE_CHANGED, 0, false, 0},
    };
    for (const auto& c : cases) {
        console_->ctrlHeld = c.ctrl ? 1 : 0;
        EXPECT_EQ(c.answer, Send(c.type, c.value)) << "type " << c.type << " value " << c.value;
    }
    EXPECT_EQ(0, console_->ctrlHeld);
    g_core.developerMode = 0;
    EXPECT_EQ(0, Send(ZQ_EVENT_CHARACTER, 'b'));
    g_core.developerMode = 1;
    console_->loggingStarted = 0;
    EXPECT_EQ(0, Send(ZQ_EVENT_CHARACTER, 'c'));
    console_->loggingStarted = 1;
    EXPECT_EQ("a", Line());
}

TEST_F(ConsoleTest, KeysEditTheLineUpToFiveHundredTwelveCharacters) {
    const struct {
        int32_t key;  // 0: type the text
        const char* text;
        const char* line;
        int32_t cursor;
    } steps[] = {
        {0, "abc", "abc", 3}, {37, "", "abc", 2},  {37, "", "abc", 1}, {0, "X", "aXbc", 2},
        {36, "", "aXbc", 0},  {37, "", "aXbc", 0}, {46, "", "Xbc", 0}, {35, "", "Xbc", 3},
        {39, "", "Xbc", 3},   {46, "", "Xbc", 3},  {0, "\b", "Xb", 2}, {36, "", "Xb", 0},
        {0, "\b", "Xb", 0},
    };
    for (const auto& step : steps) {
        step.key == 0 ? Type(step.text) : static_cast<void>(Press(step.key));
        EXPECT_EQ(step.line, Line()) << step.key << " '" << step.text << "'";
        EXPECT_EQ(step.cursor, console_->cursor) << step.key << " '" << step.text << "'";
    }
    Type(std::string(600, 'x'));
    EXPECT_EQ(512u, Line().size());
}

TEST_F(ConsoleTest, HashAndALineNumberScrollThereAndLeaveNoHistory) {
    LogLines(30, "line %d");
    Type("#12\r");
    EXPECT_EQ(12u, NewestShownLineNumber());
    EXPECT_EQ(0, console_->history.count);
    EXPECT_TRUE(g_commands.empty());
    Type("#99999999999999999999\r");  // past the newest line, however long the number
    EXPECT_EQ(0, console_->scrollOffset);
    Type("#-99999999999999999999\r");
    EXPECT_EQ(1u, NewestShownLineNumber());
}

TEST_F(ConsoleTest, EnteredLinesGoToTheProgramAtOnceAndUpAndDownWalkTheirHistory) {
    Type("one\rtwo\rdr");
    EXPECT_EQ((std::vector<std::string>{"one", "two"}), g_commands);
    EXPECT_EQ(1, CountLoggedLines("one"));  // the echo
    for (const char* line : {"two", "one", "one"}) {
        EXPECT_EQ(0, Press(38));
        EXPECT_EQ(line, Line());
    }
    for (const char* line : {"one", "two", "dr", "one"}) {
        Press(40);
        EXPECT_EQ(line, Line());
    }
    Type("\r");
    ASSERT_EQ(3, console_->history.count);  // one, two and the entered line; "dr" is gone
    EXPECT_STREQ("one", console_->history[2]);
    EXPECT_EQ(3, console_->historyPosition);
}

TEST_F(ConsoleTest, ScrollingStopsAtTheOldestAndTheNewestLine) {
    LogLines(25, "line %d");
    const struct {
        int32_t key;  // key codes below 100; anything else is a wheel delta
        bool ctrl;
        int32_t offset;
    } steps[] = {{33, false, 10}, {33, false, 20},   {33, false, 24}, {34, false, 14},
                 {35, true, 0},   {34, false, 0},    {240, false, 2}, {-120, false, 1},
                 {119, false, 1}, {kHome, true, 24}, {40, true, 23},  {38, true, 24}};
    for (const auto& step : steps) {
        const bool wheel = step.key > 100 || step.key < 0;
        if (wheel) {
            Send(ZQ_EVENT_POINTER_WHEEL, step.key);
        } else {
            step.ctrl ? PressWithCtrl(step.key) : Press(step.key);
        }
        EXPECT_EQ(step.offset, console_->scrollOffset) << step.key;
    }
    EXPECT_EQ(1u, NewestShownLineNumber());  // page up past the oldest line shows the oldest
}

// A text area of 100 pixels with lines 10 apart holds 10 of the 25 lines: the thumb is 40 pixels,
// the view stops 15 lines back, and a drag maps the pointer's y over the area onto the lines.
TEST_F(ConsoleTest, TheDrawnViewStopsAtTheOldestLineAndFollowsAScrollBarDrag) {
    LogLines(25, "line %d");
    const struct {
        int32_t textHeight;
        int32_t offsetBefore;
        bool dragging;
        int32_t pointerY;
        int32_t visible;
        int32_t thumb;
        int32_t offsetAfter;
    } frames[] = {
        {100, 24, false, 0, 10, 40, 15},    // page up past the oldest shown line
        {100, 3, false, 0, 10, 40, 3},      //
        {100, 3, true, 50, 10, 40, 12},     // (1 - 50 / 100) x 25, truncated
        {100, 3, true, 100, 10, 40, 0},     // the bottom of the bar is the newest line
        {100, 3, true, 0, 10, 40, 15},      // its top the oldest the view can show
        {100, 3, true, -900, 10, 40, 15},   // far above the bar
        {100, 3, true, 5000, 10, 40, 0},    // far below
        {1000, 9, false, 0, 25, 1000, 0},   // all lines fit
        {0, 9, true, 50, 0, 0, 9},          // no text area: no drag, nothing visible
        {-40, 30, true, 50, 0, 0, 25},      //
    };
    for (const auto& frame : frames) {
        console_->scrollOffset = frame.offsetBefore;
        const ConsoleView view =
            ZQI_UpdateConsoleView(console_, frame.textHeight, 10, frame.dragging, frame.pointerY);
        EXPECT_EQ(25, view.shownLines);
        EXPECT_EQ(frame.visible, view.visibleLines) << frame.textHeight;
        EXPECT_EQ(frame.thumb, view.thumbSize) << frame.textHeight;
        EXPECT_EQ(frame.offsetAfter, console_->scrollOffset) << frame.textHeight << " " << frame.pointerY;
    }
    Type("no such line");
    console_->scrollOffset = 4;
    const ConsoleView empty = ZQI_UpdateConsoleView(console_, 100, 10, true, 50);
    EXPECT_EQ(0, empty.shownLines);
    EXPECT_EQ(0, empty.thumbSize);
    EXPECT_EQ(0, console_->scrollOffset);
}

TEST_F(ConsoleTest, TheFilterShowsMatchingLinesInAnyCaseAndAClickCopiesOne) {
    for (const char* line : {"alpha one", "Beta two", "ALPHA three", "gamma"}) {
        ZQ_Log(LOG_LEVEL_INFO, "%s", line);
    }
    Type("alpha");
    EXPECT_EQ(2, ZQI_CountShownConsoleLines(console_));
    console_->drawnAreaHeight = 400;
    console_->drawnLineAdvance = 20.0f;
    console_->openFactor = 1.0f;
    // The newest shown line lies in 358..377, the one above it in 338..357; 0.9 is still sliding.
    const struct {
        int32_t y;
        float openFactor;
        const char* copied;
    } clicks[] = {{360, 1.0f, "ALPHA three"},
                  {377, 1.0f, "ALPHA three"},
                  {357, 1.0f, "alpha one"},
                  {330, 1.0f, ""},
                  {390, 1.0f, ""},
                  {360, 0.9f, ""}};
    for (const auto& click : clicks) {
        g_clipboard.clear();
        console_->openFactor = click.openFactor;
        EXPECT_EQ(1, Send(ZQ_EVENT_POINTER_DOWN, click.y));
        EXPECT_EQ(click.copied, g_clipboard) << click.y;
    }
    EXPECT_STREQ("An |#1199ff|Error|#ffffff| and |#1199ff|error|#ffffff|.",
                 ZQI_HighlightConsoleFilter("An Error and error.", "ERROR").CStr());
    std::string longText(5000, '-');
    longText.replace(4000, 3, "abc").replace(4500, 3, "xyz");  // only 4095 characters are compared
    EXPECT_TRUE(ZQI_ContainsNoCase(longText.c_str(), "ABC"));
    EXPECT_FALSE(ZQI_ContainsNoCase(longText.c_str(), "xyz"));
    EXPECT_FALSE(ZQI_ContainsNoCase("\xC4", "\xE4"));  // A-Z only
}

TEST_F(ConsoleTest, CtrlCCopiesTheLineOrTheWholeFullRing) {
    LogLines(8200, "line %d.");
    ASSERT_EQ(8192, console_->lines.count);
    std::string ring = "...";
    for (int32_t i = 10; i <= 8200; ++i) {
        ring += "line " + std::to_string(i) + ".";
    }
    EXPECT_EQ(1, PressWithCtrl(67));
    EXPECT_EQ(ring, g_clipboard);
    Type("LINE 81");  // 81, 810-819 and 8100-8199
    EXPECT_EQ(111, ZQI_CountShownConsoleLines(console_));
    PressWithCtrl(kHome);
    EXPECT_EQ(81u, NewestShownLineNumber());
    PressWithCtrl(67);
    EXPECT_EQ("LINE 81", g_clipboard);
}

TEST_F(ConsoleTest, PasteStopsAtALineEndTheCursorBoundAndAFullLine) {
    const struct {
        const char* line;
        std::string clipboard;
        std::string pasted;
    } cases[] = {{"", "hello\nworld", "hello"},
                 {"", std::string(600, 'p'), std::string(510, 'p')}};  // the cursor passed 509
    for (const auto& c : cases) {
        ZQI_SetConsoleInput(console_, c.line);
        Press(kHome);
        g_clipboard = c.clipboard;
        EXPECT_EQ(1, PressWithCtrl(86));
        EXPECT_EQ(c.pasted, Line());
    }
    // A long line: it fills up before the cursor reaches its bound.
    ZQI_SetConsoleInput(console_, std::string(500, 'x').c_str());
    Press(kHome);
    PressWithCtrl(86);
    EXPECT_EQ(std::string(12, 'p') + std::string(500, 'x'), Line());
    EXPECT_EQ(12, console_->cursor);
}

TEST_F(ConsoleTest, RegistrationRefusesInvalidTextsAndCommandsAlreadyFound) {
    for (const char* command :
         {"spawn_enemy", "spawn", "SPAWN_ENEMY", static_cast<const char*>(nullptr), "set x=1"}) {
        ZQI_GetApi()->RegisterAutocompletion(command, "Spawns one enemy");
    }
    ZQI_AddAutocompletion("god", nullptr);
    ASSERT_EQ(2, console_->autocompletions.count);
    EXPECT_TRUE(console_->autocompletions[1]->command.Equals("god"));
    ASSERT_EQ(1u, RecordedPopups().size());
    EXPECT_EQ(1, RecordedPopups()[0].level);
    EXPECT_EQ("Invalid autocompletion string registered: 'set x=1' is not allowed.",
              RecordedPopups()[0].text);
    Type("SPA");
    EXPECT_EQ(0, Press(kTab));
    EXPECT_EQ("spawn_enemy", Line());
    EXPECT_EQ(11, console_->cursor);
    console_->toggleCharacter = '\t';  // Tab opens the console then, and completes nothing
    ZQI_SetConsoleInput(console_, "go");
    Press(kTab);
    EXPECT_EQ("go", Line());
}

TEST_F(ConsoleTest, HintsColourTheMatchedPartAndDescribeTheOneCommandMeant) {
    ZQI_AddAutocompletion("help", "Lists the commands");
    ZQI_AddAutocompletion("hello", nullptr);
    ZQI_AddAutocompletion("shelf", nullptr);
    const char* const cases[][2] = {
        {"he", "Autocomplete (tab): |#ffaa55|he|#ffffff|lp |#ffaa55|he|#ffffff|llo "},
        {"HEL", "Autocomplete (tab): |#ffaa55|hel|#ffffff|p |#ffaa55|hel|#ffffff|lo "},
        {"hel",
         "Autocomplete (tab): |#ffaa55|hel|#ffffff|p |#ffaa55|hel|#ffffff|lo s|#ffaa55|hel|#ffffff|f "},
        {"help", "Autocomplete (tab): |#ffaa55|help|#ffffff| \n\nLists the commands"},
        {"HELP", "Autocomplete (tab): |#ffaa55|help|#ffffff| \n\nLists the commands"},
        {"elf", "Autocomplete (tab): sh|#ffaa55|elf|#ffffff| "},
        {"lo", ""},
        {"", ""},
    };
    for (const auto& c : cases) {
        ZQI_SetConsoleInput(console_, c[0]);
        EXPECT_STREQ(c[1], console_->autocompletionHint.CStr()) << "text '" << c[0] << "'";
    }
    EXPECT_STREQ("help", ZQI_FindAutocompletion(console_, ""));
    EXPECT_STREQ("shelf", ZQI_FindAutocompletion(console_, "elf"));
    EXPECT_EQ(nullptr, ZQI_FindAutocompletion(console_, "helpers"));
}

}  // namespace
