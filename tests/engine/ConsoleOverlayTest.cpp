// The console and the debug overlays in the running engine, in developer mode: the program posts
// the toggle character, typed characters, Tab and Enter through the engine API, as the window
// would, and gets the entered line back as a console-command event; then the overlays are drawn
// over a known clear and read back from the swap chain.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <string>
#include <thread>
#include <vector>

#include "InProcessEngine.h"
#include "core/ApiTable.h"
#include "core/Console.h"
#include "core/ConsoleAutocompletion.h"
#include "core/CoreState.h"
#include "core/Features.h"
#include "core/Log.h"
#include "core/NamedMutex.h"
#include "engine/Lifecycle.h"
#include "engine/RuntimeState.h"
#include "fonts/FontTable.h"
#include "graphics/d3d11/RendererImplementation.h"
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

class ConsoleEngine : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        InstallInProcessPlatform();
        started_ = CorePreinitialize() && CoreInitialize();
    }
    static void TearDownTestSuite() { CoreShutdown(); }
    void SetUp() override {
        ASSERT_TRUE(started_);
        ASSERT_TRUE(g_core.developerMode);
    }
    // heldKey (0: none) is held down through every frame: another test's window on the shared
    // display may take the focus, and the engine then lets go of every key.
    static void RunFrames(int count, int heldKey = 0) {
        for (int i = 0; i < count; ++i) {
            PumpWindowMessages();
            if (heldKey != 0) {
                g_core.inputStates[heldKey] = 1;
            }
            RunFrame();
        }
    }
    static bool started_;
};

bool ConsoleEngine::started_ = false;

TEST_F(ConsoleEngine, TypedAndCompletedLinesReachTheProgramAsCommands) {
    g_core.program->Draw = TypingDraw;
    g_core.program->HandleEvent = RecordEvent;
    ZQI_GetApi()->RegisterAutocompletion("spawn_enemy", "Spawns an enemy");
    RunFrames(3);
    ASSERT_EQ(1u, g_commands.size());
    EXPECT_EQ("spawn_enemy 3", g_commands[0]);
    // Only the Tab key went on to the program: the console took the characters.
    EXPECT_EQ(std::vector<uint32_t>{ZQ_EVENT_KEY_DOWN}, g_typingEvents);
    Console* console = ZQI_GetConsole();
    EXPECT_EQ(1, console->open);
    EXPECT_EQ(1, g_core.program->parameters.console_open);
    EXPECT_GT(console->openFactor, 0.0f);  // sliding down
}

// ---- Read back -------------------------------------------------------------------------------

// The program clears to 0.2, 0.6, 0.4 (51, 153, 102 exactly in 8-bit unorm) every frame.
const double kClear[3] = {51.0, 153.0, 102.0};

void ClearingDraw(float) {
    g_core.renderer->ClearRenderTargets(0.2f, 0.6f, 0.4f, 1.0f);
}

// Colour (0..1) at alpha over an 8-bit background, rounded as the 8-bit target stores it.
struct Rgb {
    double c[3];
};

Rgb Over(const double (&background)[3], double r, double g, double b, double alpha) {
    const double colour[3] = {r * 255.0, g * 255.0, b * 255.0};
    Rgb out;
    for (int i = 0; i < 3; ++i) {
        out.c[i] = std::floor(colour[i] * alpha + background[i] * (1.0 - alpha) + 0.5);
    }
    return out;
}

Rgb Clear() {
    return Rgb{{kClear[0], kClear[1], kClear[2]}};
}

// The frame as the overlays left it: every buffer of the swap chain has drawn the same state.
class OverlayPicture : public ConsoleEngine {
protected:
    void SetUp() override {
        ConsoleEngine::SetUp();
        g_core.program->Draw = ClearingDraw;
        g_core.program->HandleEvent = RecordEvent;
        Console* console = ZQI_GetConsole();
        console->open = 0;
        console->openFactor = 0.0f;
        ZQI_SetConsoleInput(console, nullptr);
        g_runtime.showFps = 0;
        features_ = ZQI_GetFeatureText(FEATURE_TEXT_COMMAND_LINE);
    }
    void TearDown() override {
        ZQI_SetFeatureText(FEATURE_TEXT_COMMAND_LINE, features_.c_str());
        g_core.inputStates[kKeyF2] = 0;
        g_core.inputStates[kKeyF3] = 0;
        g_runtime.showFps = 0;
        Console* console = ZQI_GetConsole();
        console->open = 0;
        console->openFactor = 0.0f;
    }
    void AddFeature(const char* word) {
        ZQI_SetFeatureText(FEATURE_TEXT_COMMAND_LINE, (features_ + "," + word).c_str());
    }
    void Draw(int heldKey = 0) {
        RunFrames(3, heldKey);
        uint32_t width = 0;
        pixels_ = ReadBackBuffer(*g_core.renderer, &width);
        ASSERT_EQ(static_cast<uint32_t>(g_runtime.displayWidth), width);
        ASSERT_EQ(static_cast<size_t>(g_runtime.displayWidth) * g_runtime.displayHeight, pixels_.size());
    }
    // The pixel at (x, y) is the colour, each channel within one step.
    void Expect(int x, int y, const Rgb& rgb) {
        ASSERT_TRUE(x >= 0 && y >= 0 && x < g_runtime.displayWidth && y < g_runtime.displayHeight);
        const uint32_t word = pixels_[static_cast<size_t>(y) * g_runtime.displayWidth + x];
        const int got[3] = {static_cast<int>((word >> 16) & 255), static_cast<int>((word >> 8) & 255),
                            static_cast<int>(word & 255)};
        for (int i = 0; i < 3; ++i) {
            EXPECT_NEAR(rgb.c[i], got[i], 1.0)
                << "channel " << i << " at (" << x << ", " << y << "): 0x" << std::hex << word;
        }
    }
    static const int kKeyF2 = 113;
    static const int kKeyF3 = 114;
    std::vector<uint32_t> pixels_;
    std::string features_;
};

TEST_F(OverlayPicture, TheOpenConsoleCoversFourFifthsOfTheScreenInItsBlueAtSixTenths) {
    Console* console = ZQI_GetConsole();
    console->open = 1;
    console->openFactor = 1.0f;
    Draw();
    const int area = static_cast<int>(g_runtime.displayHeight * 0.8f);
    const Rgb blue = Over(kClear, 0.2, 0.3, 0.5, 0.6);
    // Left of the text columns (which start at x 10) only the background and the rules lie.
    Expect(5, 0, blue);
    Expect(5, area / 2, blue);
    Expect(5, area - 1, blue);
    Expect(5, area, Rgb{{255, 255, 255}});  // the 2-pixel white rule along its lower edge
    Expect(5, area + 1, Rgb{{255, 255, 255}});
    Expect(5, area + 2, Clear());
    Expect(g_runtime.displayWidth / 2, g_runtime.displayHeight - 1, Clear());
}

// The console font (DejaVu Sans Mono, made from its source on first use) writes the input line
// at (10, y0 + 1), y0 being the line advance above the console's lower edge: white strokes there,
// none right of the text and its cursor.
TEST_F(OverlayPicture, TheInputLineIsWrittenInWhiteGlyphsAboveTheLowerEdge) {
    Console* console = ZQI_GetConsole();
    console->open = 1;
    console->openFactor = 1.0f;
    ZQI_SetConsoleInput(console, "WWWW");
    Draw();
    ASSERT_NE(nullptr, console->font);
    ASSERT_GT(console->font->size, 0) << "the console font was not made";
    const int area = static_cast<int>(g_runtime.displayHeight * 0.8f);
    const int top = area - console->font->lineHeight;  // y0; its separator rule lies at y0 - 2
    const int textWidth = static_cast<int>(ZQI_GetApi()->graphics->GetTextWidth(console->font, "%s", "WWWW"));
    ASSERT_GT(textWidth, 20);
    auto brightPixels = [&](int x0, int x1) {
        int count = 0;
        for (int y = top; y < area; ++y) {
            for (int x = x0; x < x1; ++x) {
                const uint32_t word = pixels_[static_cast<size_t>(y) * g_runtime.displayWidth + x];
                count += ((word >> 16) & 255) >= 200 && ((word >> 8) & 255) >= 200 && (word & 255) >= 200;
            }
        }
        return count;
    };
    EXPECT_GE(brightPixels(10, 10 + textWidth), 4 * 8);  // four W of at least eight lit pixels
    EXPECT_EQ(0, brightPixels(0, 10));
    EXPECT_EQ(0, brightPixels(10 + textWidth + 4, 10 + textWidth + 80));
}

// Drawing a line reports its deprecated scale tag (a popup, so a log line); were that added to the
// ring, the next frame would draw and report it again, more lines every frame.
TEST_F(OverlayPicture, WhatDrawingTheLinesReportsDoesNotFeedTheRing) {
    AddFeature("NO_POPUPS");
    Console* console = ZQI_GetConsole();
    console->open = 1;
    console->openFactor = 1.0f;
    RunFrames(2);  // the console font is made and announced
    ZQI_GetApi()->Log(0, "%s", "an old layout: |scale=2|big");
    const int32_t lines = console->lines.count;
    RunFrames(5);
    EXPECT_EQ(lines, console->lines.count);
}

// A line's image tag waits for the bitmap table while the frame draws, and the table's holder may
// log meanwhile: the console is drawn holding neither "PRINT" nor its own lock, or both wait for ever.
TEST_F(OverlayPicture, ALogLineGoesThroughWhileTheConsoleWaitsForTheBitmapTable) {
    AddFeature("NO_POPUPS");
    Console* console = ZQI_GetConsole();
    console->open = 1;
    console->openFactor = 1.0f;
    RunFrames(2);  // the console font is made and announced
    ZQI_GetApi()->Log(0, "%s", "an icon: |img src='console-icon'| in a line");
    std::atomic<bool> logged(false);
    bool loggedWhileHeld = false;
    std::thread holder([&] {
        ZQI_LockCoreMutex(CORE_MUTEX_GET_BITMAP);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));  // the frame reaches the image
        std::thread logger([&] {
            ZQI_GetApi()->Log(0, "%s", "logged while the table is held");
            logged = true;
        });
        const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        while (!logged && std::chrono::steady_clock::now() < limit) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        loggedWhileHeld = logged;
        ZQI_UnlockCoreMutex(CORE_MUTEX_GET_BITMAP);  // lets a waiting frame, and so the log, go on
        logger.join();
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    RunFrames(1);
    holder.join();
    EXPECT_TRUE(loggedWhileHeld);
}

// Ctrl-V pastes the real clipboard's first line at the cursor.
TEST_F(OverlayPicture, CtrlVPastesTheClipboardsFirstLine) {
    Console* console = ZQI_GetConsole();
    console->open = 1;
    console->openFactor = 1.0f;
    ZQI_SetConsoleInput(console, "say ");
    ZQI_GetApi()->ExtensionCall("Clipboard_SetText", "hello there\r\nsecond line");
    PostKeyDown(17);
    PostKeyDown(86);
    zq_event_t release;
    ZQI_GetApi()->InitializeEvent(&release, ZQ_EVENT_KEY_UP);
    release.key.input_id = 17;
    ZQI_GetApi()->PostEvent(&release);
    RunFrames(2);
    EXPECT_STREQ("say hello there", console->inputLine);
}

TEST_F(OverlayPicture, ShowFpsPutsTheRateInADarkBoxInTheCorner) {
    g_runtime.showFps = 1;
    Draw();
    zq_font_t* font = ZQI_GetFontSlot(0);
    const int height = (font->size > 0 ? font->size : 16) + 2;
    const Rgb dark = Over(kClear, 0, 0, 0, 0.8);
    Expect(0, 0, Clear());
    Expect(1, 1, dark);  // the text starts at x 2
    Expect(1, height, dark);
    Expect(1, height + 1, Clear());
    Expect(0, height, Clear());
}

TEST_F(OverlayPicture, ShowInfoDarkensRowsZeroTo209WithRulesBeforeEachLaterColumn) {
    AddFeature("SHOW_INFO");
    Draw();
    const Rgb dark = Over(kClear, 0, 0, 0, 0.8);
    Expect(1, 0, dark);
    Expect(1, 209, dark);
    Expect(1, 210, Clear());
    for (int rule = 190; rule < g_runtime.displayWidth && rule <= 790; rule += 200) {
        Expect(rule, 5, Rgb{{255, 255, 255}});
        Expect(rule, 204, Rgb{{255, 255, 255}});
        Expect(rule, 4, dark);
        Expect(rule, 205, dark);
        Expect(rule - 1, 100, dark);
    }
}

// The rows and columns whose pixel centres lie in [from, to).
struct Span {
    int first;
    int last;
};

Span Covered(double from, double to) {
    return Span{static_cast<int>(std::ceil(from - 0.5)), static_cast<int>(std::ceil(to - 0.5)) - 1};
}

TEST_F(OverlayPicture, DrawNotchBlackensTheCameraNotchOnTheLongSidesEdge) {
    AddFeature("DRAW_NOTCH");
    Draw();
    const double w = g_runtime.displayWidth;
    const double h = g_runtime.displayHeight;
    Span across;
    Span along;
    if (h < w) {  // landscape: on the left edge
        across = Covered(0.0, 0.0369 * w);
        along = Covered(h / 2 - 0.5573 * h / 2, h / 2 + 0.5573 * h / 2);
    } else {  // portrait: on the top edge
        across = Covered(w / 2 - 0.5573 * w / 2, w / 2 + 0.5573 * w / 2);
        along = Covered(0.0, 0.0369 * h);
    }
    const Rgb black = {{0, 0, 0}};
    auto at = [&](int a, int b, const Rgb& rgb) { h < w ? Expect(a, b, rgb) : Expect(b, a, rgb); };
    // a runs across the notch's depth in landscape (x), b along its length (y); swapped in portrait.
    const Span depth = h < w ? across : along;
    const Span length = h < w ? along : across;
    at(depth.first, length.first, black);
    at(depth.last, length.last, black);
    at(depth.last + 1, length.first, Clear());
    at(depth.first, length.first - 1, Clear());
    at(depth.first, length.last + 1, Clear());
}

TEST_F(OverlayPicture, F3DrawsTheThirtyHertzLineInRedAtHalfStrength) {
    Draw(kKeyF3);
    const int width = g_runtime.displayWidth - 20 < 2048 ? g_runtime.displayWidth - 20 : 2048;
    ASSERT_GT(width, 100);
    const double dark[3] = {std::floor(kClear[0] * 0.2 + 0.5), std::floor(kClear[1] * 0.2 + 0.5),
                            std::floor(kClear[2] * 0.2 + 0.5)};
    const int row = static_cast<int>(110.0 - 1000.0 * 0.033333335);  // 76
    const int x = 10 + width / 2;
    Expect(x, row, Over(dark, 1, 0, 0, 0.5));
    Expect(x, row - 1, Rgb{{dark[0], dark[1], dark[2]}});
    Expect(x, row + 1, Rgb{{dark[0], dark[1], dark[2]}});
    Expect(x, 9, Clear());  // the graph's box spans rows 10 to 109
    Expect(x, 10, Rgb{{dark[0], dark[1], dark[2]}});
}

// F2: the memory panel 50 pixels in from every edge, black at 0.6, its lowest grid line (0.4 grey)
// on its last row and a 0.9 grey bar 4 pixels high below it.
TEST_F(OverlayPicture, F2DrawsTheMemoryPanelWithItsGridAndBottomBar) {
    Draw(kKeyF2);
    const int bottom = 50 + (g_runtime.displayHeight - 100);
    const int x = 51;  // left of the labels (x 55) and the bars (x 100)
    Expect(x, 49, Clear());
    Expect(x, 50, Over(kClear, 0, 0, 0, 0.6));
    Expect(x, bottom - 2, Over(kClear, 0, 0, 0, 0.6));
    Expect(x, bottom - 1, Rgb{{102, 102, 102}});
    Expect(x, bottom, Over(kClear, 0.9, 0.9, 0.9, 1.0));
    Expect(x, bottom + 3, Over(kClear, 0.9, 0.9, 0.9, 1.0));
    Expect(x, bottom + 4, Clear());
    Expect(49, 100, Clear());
}
