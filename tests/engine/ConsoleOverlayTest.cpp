// The console in the running engine, in developer mode: the program posts the toggle character,
// typed characters, Tab and Enter through the engine API, as the window would, and gets the
// entered line back as a console-command event.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "InProcessEngine.h"
#include "core/ApiTable.h"
#include "core/Console.h"
#include "core/CoreState.h"
#include "core/Log.h"
#include "engine/Lifecycle.h"
#include "platform/windows/MessagePump.h"

namespace {

const uint8_t kToggleCharacter = 167;  // low byte of the default console toggle key
const int32_t kTabKey = 9;

std::vector<std::string> g_commands;
std::vector<uint32_t> g_typingEvents;  // characters and keys the console let through
int g_draws = 0;

void PostCharacters(const char* text) {
    for (; *text != '\0'; ++text) {
        zq_event_t event;
        ZQI_GetApi()->InitializeEvent(&event, ZQ_EVENT_CHARACTER);
        event.character.character = static_cast<uint8_t>(*text);
        ZQI_GetApi()->PostEvent(&event);
    }
}

void PostKeyDown(int32_t code) {
    zq_event_t event;
    ZQI_GetApi()->InitializeEvent(&event, ZQ_EVENT_KEY_DOWN);
    event.key.input_id = code;
    ZQI_GetApi()->PostEvent(&event);
}

// The first Draw types "SPA", completes it with Tab, adds " 3" and enters the line; the events
// arrive in the next frame.
void TypingDraw(float) {
    if (++g_draws == 1) {
        const char toggle[] = {static_cast<char>(kToggleCharacter), '\0'};
        PostCharacters(toggle);
        PostCharacters("SPA");
        PostKeyDown(kTabKey);
        PostCharacters(" 3\r");
    }
}

int32_t RecordEvent(const zq_event_t* event) {
    if (event->type == ZQ_EVENT_CONSOLE_COMMAND) {
        g_commands.push_back(event->console_command.line);
    } else if (event->type == ZQ_EVENT_CHARACTER || event->type == ZQ_EVENT_KEY_DOWN) {
        g_typingEvents.push_back(event->type);
    }
    return 0;
}

}  // namespace

TEST(ConsoleOverlay, TypedAndCompletedLinesReachTheProgramAsCommands) {
    InstallInProcessPlatform();
    ASSERT_TRUE(CorePreinitialize());
    ASSERT_TRUE(CoreInitialize());
    ASSERT_TRUE(g_core.developerMode);
    g_core.program->Draw = TypingDraw;
    g_core.program->HandleEvent = RecordEvent;
    ZQI_GetApi()->RegisterAutocompletion("spawn_enemy", "Spawns an enemy");
    for (int i = 0; i < 3; ++i) {
        PumpWindowMessages();
        RunFrame();
    }
    ASSERT_EQ(1u, g_commands.size());
    EXPECT_EQ("spawn_enemy 3", g_commands[0]);
    // Only the Tab key went on to the program: the console took the characters.
    EXPECT_EQ(std::vector<uint32_t>{ZQ_EVENT_KEY_DOWN}, g_typingEvents);
    Console* console = ZQI_GetConsole();
    EXPECT_EQ(1, console->open);
    EXPECT_EQ(1, g_core.program->parameters.console_open);
    EXPECT_GT(console->openFactor, 0.0f);  // sliding down
    CoreShutdown();
}
