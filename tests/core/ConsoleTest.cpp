// The console overlay's input: answers, line editing, entered lines, history, scrolling, the
// filter and clicks, the clipboard through the extension-call slot (a fake here), command
// registration, Tab completion and the hint texts.
#include <string>
#include <vector>

#include "ApiTableTestSupport.h"
#include "core/ConsoleAutocompletion.h"
#include "core/ConsoleEvents.h"
#include "core/ConsoleFilter.h"
#include "core/EventQueue.h"

namespace {

struct ExtensionCallRecord {
    std::string function;
    std::string parameter;
};

std::vector<ExtensionCallRecord> g_extensionCalls;
std::string g_clipboard;
std::vector<std::string> g_commands;  // lines of the console-command events the program got

const char* FakeExtensionCall(const char* function, const char* parameter) {
    g_extensionCalls.push_back({function, parameter != nullptr ? parameter : "(null)"});
    if (strcmp(function, "Clipboard_GetText") == 0) {
        return g_clipboard.c_str();
    }
    if (strcmp(function, "Clipboard_SetText") == 0 && parameter != nullptr) {
        g_clipboard = parameter;
    }
    return nullptr;
}

// Command texts with '?' or '=' are not valid path texts.
bool FakeIsPathValid(const char* path) {
    return strpbrk(path, "?=") == nullptr;
}

int32_t RecordCommand(const zq_event_t* event) {
    if (event->type == ZQ_EVENT_CONSOLE_COMMAND) {
        g_commands.push_back(event->console_command.line);
    }
    return 0;
}

zq_event_t Event(uint32_t type) {
    zq_event_t event;
    ZQ_InitializeEvent(&event, type);
    return event;
}

zq_event_t Key(uint32_t type, int32_t code) {
    zq_event_t event = Event(type);
    event.key.input_id = code;
    return event;
}

class ConsoleTest : public CoreApiTest {
protected:
    void SetUp() override {
        CoreApiTest::SetUp();
        console_ = ZQI_GetConsole();
        ResetConsoleInput();
        g_core.developerMode = 1;
        g_core.coreRunning = 1;
        memset(&program_, 0, sizeof(program_));
        program_.HandleEvent = RecordCommand;
        g_core.program = &program_;
        ZQI_GetApi()->ExtensionCall = FakeExtensionCall;
        ZQI_GetApi()->filesystem->IsPathValid = FakeIsPathValid;
        g_extensionCalls.clear();
        g_clipboard.clear();
        g_commands.clear();
    }

    void TearDown() override {
        ResetConsoleInput();
        CoreApiTest::TearDown();
    }

    void ResetConsoleInput() {
        for (char* entry : console_->history) {
            free(entry);
        }
        console_->history.count = 0;
        console_->autocompletions.DeleteAll();
        console_->autocompletionHint.Assign("");
        console_->historyBrowsing = 0;
        console_->historyPosition = 0;
        console_->ctrlHeld = 0;
        console_->shiftHeld = 0;
        console_->openFactor = 0.0f;
        console_->lineCounter = 0;
        console_->inputLine[0] = '\0';
        console_->cursor = 0;
        console_->scrollOffset = 0;
        console_->toggleCharacter = 0;
    }

    int32_t Send(const zq_event_t& event) { return ZQI_ConsoleHandleEvent(console_, &event); }
    int32_t Type(uint8_t c) {
        zq_event_t event = Event(ZQ_EVENT_CHARACTER);
        event.character.character = c;
        return Send(event);
    }
    void Type(const char* text) {
        for (; *text != '\0'; ++text) {
            Type(static_cast<uint8_t>(*text));
        }
    }
    int32_t Press(int32_t code) { return Send(Key(ZQ_EVENT_KEY_DOWN, code)); }
    int32_t PressWithCtrl(int32_t code) {
        Press(17);
        int32_t answer = Press(code);
        Send(Key(ZQ_EVENT_KEY_UP, 17));
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

    Console* console_ = nullptr;
    zq_program_t program_;
};

// ---- Answers and editing ----------------------------------------------------------------------

TEST_F(ConsoleTest, EveryKindOfRecordGetsItsAnswer) {
    struct Case {
        uint32_t type;
        int32_t code;
        bool ctrl;
        int32_t answer;
    };
    const Case cases[] = {
        {ZQ_EVENT_CHARACTER, 'a', false, 1},  {ZQ_EVENT_CHARACTER, 5, false, 1},
        {ZQ_EVENT_KEY_DOWN, 16, false, 0},    {ZQ_EVENT_KEY_DOWN, 37, false, 0},
        {ZQ_EVENT_KEY_DOWN, 65, false, 0},    {ZQ_EVENT_KEY_DOWN, 17, false, 1},
        {ZQ_EVENT_KEY_DOWN, 37, true, 1},     {ZQ_EVENT_KEY_UP, 65, false, 0},
        {ZQ_EVENT_KEY_UP, 17, true, 0},       {ZQ_EVENT_POINTER_WHEEL, 0, false, 1},
        {ZQ_EVENT_POINTER_MOVE, 0, false, 1}, {ZQ_EVENT_POINTER_UP, 0, false, 1},
        {ZQ_EVENT_POINTER_DOWN, 0, false, 1}, {ZQ_EVENT_ACTIVE_CHANGED, 0, false, 0},
        {ZQ_EVENT_QUIT_REQUEST, 0, false, 0},
    };
    for (const Case& c : cases) {
        console_->ctrlHeld = c.ctrl ? 1 : 0;
        zq_event_t event = c.type == ZQ_EVENT_CHARACTER ? Event(c.type) : Key(c.type, c.code);
        if (c.type == ZQ_EVENT_CHARACTER) {
            event.character.character = static_cast<uint8_t>(c.code);
        }
        EXPECT_EQ(c.answer, Send(event)) << "type " << c.type << " code " << c.code;
    }
    EXPECT_EQ(0, console_->ctrlHeld);  // the key-up of 17 cleared it
    g_core.developerMode = 0;
    EXPECT_EQ(0, Type('a'));
    g_core.developerMode = 1;
    console_->loggingStarted = 0;
    EXPECT_EQ(0, Type('a'));
    console_->loggingStarted = 1;
    EXPECT_EQ("a", Line());  // only the printable character of the table was taken
}

TEST_F(ConsoleTest, CursorKeysEditTheLine) {
    struct Step {
        int32_t key;  // 0: type text
        const char* text;
        const char* line;
        int32_t cursor;
    };
    const Step steps[] = {
        {0, "abc", "abc", 3}, {37, "", "abc", 2},  {37, "", "abc", 1}, {0, "X", "aXbc", 2},
        {36, "", "aXbc", 0},  {37, "", "aXbc", 0}, {46, "", "Xbc", 0}, {35, "", "Xbc", 3},
        {39, "", "Xbc", 3},   {46, "", "Xbc", 3},  {0, "\b", "Xb", 2}, {36, "", "Xb", 0},
        {0, "\b", "Xb", 0},
    };
    for (const Step& step : steps) {
        if (step.key == 0) {
            Type(step.text);
        } else {
            Press(step.key);
        }
        EXPECT_EQ(step.line, Line()) << "after " << step.key << " '" << step.text << "'";
        EXPECT_EQ(step.cursor, console_->cursor) << "after " << step.key << " '" << step.text << "'";
    }
}

TEST_F(ConsoleTest, TheLineHoldsFiveHundredTwelveCharacters) {
    Type(std::string(600, 'x').c_str());
    EXPECT_EQ(512u, Line().size());
}

// ---- Entered lines and history ----------------------------------------------------------------

TEST_F(ConsoleTest, EnterEchoesTheLineAndSendsItToTheProgramAtOnce) {
    Type("spawn enemy");
    EXPECT_EQ(1, Type('\r'));
    ASSERT_EQ(1u, g_commands.size());
    EXPECT_EQ("spawn enemy", g_commands[0]);
    EXPECT_EQ(1, CountLoggedLines("spawn enemy"));
    EXPECT_EQ("", Line());
    EXPECT_EQ(0, console_->cursor);
    ASSERT_EQ(1, console_->history.count);
    EXPECT_STREQ("spawn enemy", console_->history[0]);
    EXPECT_EQ(1, console_->historyPosition);
}

TEST_F(ConsoleTest, HashAndALineNumberScrollThereAndLeaveNoHistory) {
    LogLines(30, "line %d");
    Type("#12\r");
    EXPECT_EQ(12u, NewestShownLineNumber());
    EXPECT_EQ(0, console_->history.count);
    EXPECT_TRUE(g_commands.empty());
    // Numbers past either end, however long, stop at the oldest and the newest line.
    Type("#99999999999999999999\r");
    EXPECT_EQ(0, console_->scrollOffset);
    Type("#-99999999999999999999\r");
    EXPECT_EQ(console_->lines.count - 1, console_->scrollOffset);
}

TEST_F(ConsoleTest, UpAndDownWalkTheHistoryAndEnterDropsTheKeptLine) {
    Type("one\r");
    Type("two\r");
    Type("dr");
    const char* expected[] = {"two", "one", "one"};
    for (const char* line : expected) {
        EXPECT_EQ(0, Press(38));
        EXPECT_EQ(line, Line());
    }
    const char* forward[] = {"one", "two", "dr", "one"};
    for (const char* line : forward) {
        Press(40);
        EXPECT_EQ(line, Line());
    }
    Type("\r");
    ASSERT_EQ(3, console_->history.count);  // one, two, and the entered line; "dr" is gone
    EXPECT_STREQ("one", console_->history[2]);
    EXPECT_EQ(3, console_->historyPosition);
    EXPECT_EQ(0, console_->historyBrowsing);
}

// ---- Scrolling --------------------------------------------------------------------------------

TEST_F(ConsoleTest, ScrollingStopsAtTheOldestAndTheNewestLine) {
    LogLines(25, "line %d");
    struct Step {
        int32_t key;  // 0: wheel
        bool ctrl;
        int32_t wheel;
        int32_t offset;
    };
    const Step steps[] = {
        {33, false, 0, 10}, {33, false, 0, 20}, {33, false, 0, 24}, {34, false, 0, 14},
        {35, true, 0, 0},   {34, false, 0, 0},  {0, false, 240, 2}, {0, false, -120, 1},
        {0, false, 119, 1}, {36, true, 0, 24},  {40, true, 0, 23},  {38, true, 0, 24},
    };
    for (const Step& step : steps) {
        if (step.key == 0) {
            zq_event_t wheel = Event(ZQ_EVENT_POINTER_WHEEL);
            wheel.pointer.wheel_delta = static_cast<int16_t>(step.wheel);
            EXPECT_EQ(1, Send(wheel));
        } else if (step.ctrl) {
            EXPECT_EQ(1, PressWithCtrl(step.key));
        } else {
            EXPECT_EQ(0, Press(step.key));
        }
        EXPECT_EQ(step.offset, console_->scrollOffset) << "key " << step.key << " wheel " << step.wheel;
    }
    EXPECT_EQ(1u, NewestShownLineNumber());  // page up past the oldest line shows the oldest
}

// ---- Filter, clicks and the clipboard ---------------------------------------------------------

TEST_F(ConsoleTest, TheFilterShowsMatchingLinesInAnyCaseAndAClickCopiesOne) {
    const char* lines[] = {"alpha one", "Beta two", "ALPHA three", "gamma"};
    for (const char* line : lines) {
        ZQ_Log(LOG_LEVEL_INFO, "%s", line);
    }
    Type("alpha");
    EXPECT_EQ(2, ZQI_CountShownConsoleLines(console_));
    console_->drawnAreaHeight = 400;
    console_->drawnLineAdvance = 20.0f;
    console_->openFactor = 1.0f;
    // The newest shown line lies in 358..377, the one above it in 338..357.
    const struct {
        int32_t y;
        const char* copied;
    } clicks[] = {{360, "ALPHA three"}, {377, "ALPHA three"}, {357, "alpha one"}, {330, ""}, {390, ""}};
    for (const auto& click : clicks) {
        g_clipboard.clear();
        zq_event_t down = Event(ZQ_EVENT_POINTER_DOWN);
        down.pointer.y = click.y;
        EXPECT_EQ(1, Send(down));
        EXPECT_EQ(click.copied, g_clipboard) << "y " << click.y;
    }
    console_->openFactor = 0.9f;  // still sliding: clicks copy nothing
    zq_event_t down = Event(ZQ_EVENT_POINTER_DOWN);
    down.pointer.y = 360;
    g_clipboard.clear();
    EXPECT_EQ(1, Send(down));
    EXPECT_EQ("", g_clipboard);
    EXPECT_EQ("An |#1199ff|Error|#ffffff| and |#1199ff|error|#ffffff|.",
              std::string(ZQI_HighlightConsoleFilter("An Error and error.", "ERROR").CStr()));
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
    EXPECT_EQ(1, PressWithCtrl(36));
    EXPECT_EQ(81u, NewestShownLineNumber());
    EXPECT_EQ(1, PressWithCtrl(67));
    EXPECT_EQ("LINE 81", g_clipboard);
}

TEST_F(ConsoleTest, PasteStopsAtALineEndTheCursorBoundAndAFullLine) {
    g_clipboard = "hello\nworld";
    EXPECT_EQ(1, PressWithCtrl(86));
    EXPECT_EQ("hello", Line());
    EXPECT_EQ("Clipboard_GetText", g_extensionCalls.back().function);

    ZQI_SetConsoleInput(console_, nullptr);
    g_clipboard = std::string(600, 'p');
    PressWithCtrl(86);
    EXPECT_EQ(510u, Line().size());  // the cursor passed 509

    // A long line with the cursor at its start: the line fills up before the cursor bound.
    ZQI_SetConsoleInput(console_, std::string(500, 'x').c_str());
    Press(36);
    PressWithCtrl(86);
    EXPECT_EQ(512u, Line().size());
    EXPECT_EQ(12, console_->cursor);
    EXPECT_EQ(std::string(12, 'p') + std::string(500, 'x'), Line());
}

// ---- Registration, completion and hints -------------------------------------------------------

TEST_F(ConsoleTest, RegistrationRefusesInvalidTextsAndCommandsAlreadyFound) {
    ZQI_GetApi()->RegisterAutocompletion("spawn_enemy", "Spawns one enemy");
    ZQI_GetApi()->RegisterAutocompletion("spawn", nullptr);  // its beginning: already found
    ZQI_GetApi()->RegisterAutocompletion("SPAWN_ENEMY", nullptr);
    ZQI_GetApi()->RegisterAutocompletion(nullptr, "nothing");
    ZQI_GetApi()->RegisterAutocompletion("set x=1", nullptr);
    ZQI_AddAutocompletion("god", nullptr);
    ASSERT_EQ(2, console_->autocompletions.count);
    EXPECT_TRUE(console_->autocompletions[1]->command.Equals("god"));
    ASSERT_EQ(1u, RecordedPopups().size());
    EXPECT_EQ(1, RecordedPopups()[0].level);
    EXPECT_EQ("Invalid autocompletion string registered: 'set x=1' is not allowed.",
              RecordedPopups()[0].text);

    Type("SPA");
    EXPECT_EQ(0, Press(9));
    EXPECT_EQ("spawn_enemy", Line());
    EXPECT_EQ(11, console_->cursor);
    console_->toggleCharacter = '\t';  // Tab opens the console then, and completes nothing
    ZQI_SetConsoleInput(console_, "go");
    Press(9);
    EXPECT_EQ("go", Line());
}

TEST_F(ConsoleTest, HintsColourTheMatchedPartAndDescribeTheOneCommandMeant) {
    ZQI_AddAutocompletion("help", "Lists the commands");
    ZQI_AddAutocompletion("hello", nullptr);
    ZQI_AddAutocompletion("shelf", nullptr);
    const struct {
        const char* text;
        const char* hint;
    } cases[] = {
        {"he", "Autocomplete (tab): |#ffaa55|he|#ffffff|lp |#ffaa55|he|#ffffff|llo "},
        {"HEL", "Autocomplete (tab): |#ffaa55|hel|#ffffff|p |#ffaa55|hel|#ffffff|lo "},
        {"hel",
         "Autocomplete (tab): |#ffaa55|hel|#ffffff|p |#ffaa55|hel|#ffffff|lo s|#ffaa55|hel|#ffffff|f "},
        {"help", "Autocomplete (tab): |#ffaa55|help|#ffffff| \n\nLists the commands"},
        {"HELP", "Autocomplete (tab): |#ffaa55|help|#ffffff| \n\nLists the commands"},
        {"elf", "Autocomplete (tab): sh|#ffaa55|elf|#ffffff| "},
        {"l", ""},
        {"lo", ""},
        {"", ""},
    };
    for (const auto& c : cases) {
        ZQI_SetConsoleInput(console_, c.text);
        EXPECT_EQ(c.hint, std::string(console_->autocompletionHint.CStr())) << "text '" << c.text << "'";
    }
    EXPECT_STREQ("help", ZQI_FindAutocompletion(console_, ""));
    EXPECT_STREQ("shelf", ZQI_FindAutocompletion(console_, "elf"));
    EXPECT_EQ(nullptr, ZQI_FindAutocompletion(console_, "helpers"));
}

TEST(ConsoleFilter, ContainsNoCaseFoldsOnlyAsciiLettersAndLooksAtTheFirst4095Characters) {
    std::string longText(5000, '-');
    longText.replace(4000, 3, "abc");
    longText.replace(4500, 3, "xyz");
    const struct {
        const char* text;
        const char* part;
        bool contains;
    } cases[] = {
        {"Hello World", "WORLD", true},  {"abc", "", true},
        {"ABC", "abd", false},           {"\xC4", "\xE4", false},
        {longText.c_str(), "ABC", true}, {longText.c_str(), "xyz", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.contains, ZQI_ContainsNoCase(c.text, c.part)) << c.part;
    }
}

}  // namespace
