// The console's picture: it slides down from the top of the screen (the slide also fades every
// alpha), the ring's lines stand above the input line, newest at the bottom, and a scroll bar on
// the right shows where the view is in the ring and can be dragged.
#include "engine/ConsoleDrawing.h"

#include <cmath>
#include <cstring>

#include "core/ApiTable.h"
#include "core/Console.h"
#include "core/ConsoleFilter.h"
#include "core/ConsoleOverlay.h"
#include "core/CoreState.h"
#include "core/Log.h"
#include "core/NamedMutex.h"
#include "engine/OverlayDrawing.h"
#include "engine/RuntimeState.h"

namespace {

const float kAreaShare = 0.8f;        // of the screen height, at full slide
const int32_t kScrollGrabWidth = 58;  // from the right edge: where a held button drags the bar
const int32_t kScrollButton = 510;    // the left mouse button
const int32_t kPointerX = 504;
const int32_t kPointerY = 505;
const float kColumnScale = 0.9f;  // line number, time and thread columns
const float kHalfPi = 1.57079632679f;
const float kBackground[3] = {0.2f, 0.3f, 0.5f};
const float kThumb[3] = {0.5f, 0.6f, 0.9f};

// Per frame: sizes in screen pixels and the slide s that multiplies every alpha.
struct ConsoleFrame {
    zq_font_t* font;
    int32_t pixelSize;    // p
    int32_t lineAdvance;  // h
    float slide;          // s
    float width;
    float height;
    float areaBottom;    // A x s: the console's lower edge on screen
    int32_t textHeight;  // T
    int32_t inputTop;    // y0
};

void SetColor(const float (&rgb)[3]) {
    ZQI_OverlayColor(rgb[0], rgb[1], rgb[2]);
}

void SetFadedAlpha(const ConsoleFrame& frame, float alpha) {
    ZQI_OverlayAlpha(alpha * frame.slide);
}

ConsoleFrame MeasureFrame(const Console* console) {
    ConsoleFrame frame;
    frame.font = ZQI_GetOverlayFont();
    frame.pixelSize = ZQI_FontPixelSize(frame.font);
    frame.lineAdvance = ZQI_FontLineAdvance(frame.font);
    frame.slide = std::sin(console->openFactor * kHalfPi);
    if (console->overlayMode) {
        frame.slide *= 0.5f;
    }
    frame.width = static_cast<float>(g_runtime.displayWidth);
    frame.height = static_cast<float>(g_runtime.displayHeight);
    const int32_t area = static_cast<int32_t>(frame.height * kAreaShare);
    frame.areaBottom = static_cast<float>(area) * frame.slide;
    frame.textHeight = static_cast<int32_t>(static_cast<float>(area - frame.pixelSize - 2) * frame.slide);
    frame.inputTop = static_cast<int32_t>(frame.areaBottom) - frame.lineAdvance;
    return frame;
}

bool IsDraggingScrollBar(const ConsoleFrame& frame) {
    return (ZQ_GetInputState(kScrollButton) & 1) != 0 &&
           static_cast<float>(ZQ_GetInputState(kPointerX)) >=
               frame.width - static_cast<float>(kScrollGrabWidth);
}

// What one frame shows of the console, copied under its locks and drawn after them: a line's
// markup may look up an image in the bitmap table, whose holder may be logging at the time.
struct DrawnLine {
    uint32_t level;
    uint32_t lineNumber;
    int32_t hour;
    int32_t minute;
    String threadName;
    String text;  // with the input line's filter highlighted where there is one
};

struct ConsoleShown {
    ConsoleView view;
    int32_t scrollOffset;
    String hint;
    Array<DrawnLine> lines;  // newest first, as many as fit above the input line
};

void DrawBackground(const ConsoleShown& shown, const ConsoleFrame& frame) {
    ZQI_OverlayBlendMode(1);
    SetFadedAlpha(frame, 0.6f);
    SetColor(kBackground);
    ZQI_OverlayRectangle(0.0f, 0.0f, frame.width, frame.areaBottom);
    if (!shown.hint.IsEmpty()) {
        ZQI_OverlayColor(0.0f, 0.0f, 0.0f);
        ZQI_OverlayRectangle(0.0f, frame.areaBottom, frame.width, frame.height - frame.areaBottom);
    }
}

void DrawScrollBar(const ConsoleShown& shown, const ConsoleFrame& frame) {
    const ConsoleView& view = shown.view;
    const float t = static_cast<float>(frame.textHeight);
    const bool hasTrack = frame.textHeight > 0;
    SetColor(kBackground);
    SetFadedAlpha(frame, 0.9f);
    if (hasTrack) {
        ZQI_OverlayRectangle(frame.width - 8.0f, 0.0f, 8.0f, t);
    }
    ZQI_OverlayColor(1.0f, 1.0f, 1.0f);
    SetFadedAlpha(frame, 1.0f);
    ZQI_OverlayRectangle(0.0f, frame.areaBottom, frame.width, 2.0f);
    if (hasTrack) {
        ZQI_OverlayRectangle(frame.width - 8.0f, 0.0f, 1.0f, t);
    }
    SetColor(kThumb);
    if (hasTrack && view.shownLines > 0) {
        const float thumb = static_cast<float>(view.thumbSize);
        const float scrolled =
            t * static_cast<float>(shown.scrollOffset) / static_cast<float>(view.shownLines);
        ZQI_OverlayRectangle(frame.width - 7.0f, t - thumb - scrolled - 1.0f, 7.0f, thumb + 1.0f);
    }
}

// The input line and the cursor belong to the main thread, which draws them.
void DrawInputLine(const Console* console, const ConsoleShown& shown, const ConsoleFrame& frame) {
    const float y0 = static_cast<float>(frame.inputTop);
    const float h = static_cast<float>(frame.lineAdvance);
    ZQI_OverlayColor(1.0f, 1.0f, 1.0f);
    SetFadedAlpha(frame, 1.0f);
    ZQI_OverlayText(frame.font, 10.0f, y0 + 1.0f, console->inputLine);
    if (!shown.hint.IsEmpty()) {
        SetFadedAlpha(frame, 0.95f);
        ZQI_OverlayTextMaxWidth(frame.width - 20.0f);
        ZQI_OverlayText(frame.font, 10.0f, y0 + h + 9.0f, shown.hint.CStr());
        ZQI_OverlayTextMaxWidth(0.0f);
    }
    char beforeCursor[sizeof(console->inputLine)];
    const size_t cursor = console->cursor > 0 ? static_cast<size_t>(console->cursor) : 0;
    const size_t length = strnlen(console->inputLine, cursor);
    memcpy(beforeCursor, console->inputLine, length);
    beforeCursor[length] = '\0';
    SetFadedAlpha(frame, 1.0f - console->blinkPhase);
    const float cursorX = 10.0f + ZQI_OverlayTextWidth(frame.font, beforeCursor);
    ZQI_OverlayRectangle(cursorX, y0 + 2.0f, 2.0f, static_cast<float>(frame.pixelSize - 3));
    SetFadedAlpha(frame, 0.75f);
    ZQI_OverlayRectangle(0.0f, y0 - 2.0f, frame.width, 1.0f);
}

void SetLevelColor(uint32_t level) {
    switch (level) {
        case 1:
            ZQI_OverlayColor(1.0f, 1.0f, 0.0f);
            break;
        case 2:
            ZQI_OverlayColor(1.0f, 0.0f, 0.0f);
            break;
        case 3:
            ZQI_OverlayColor(0.0f, 1.0f, 0.0f);
            break;
        default:
            ZQI_OverlayColor(1.0f, 1.0f, 1.0f);
            break;
    }
}

void DrawLine(const ConsoleFrame& frame, const DrawnLine& line, float y) {
    SetLevelColor(line.level);
    ZQI_OverlayTextTransform(kColumnScale, kColumnScale);
    ZQI_OverlayPrint(frame.font, 10.0f, y, "#%.4d: ", static_cast<int32_t>(line.lineNumber));
    ZQI_OverlayPrint(frame.font, 60.0f, y, "[%.2d:%.2d]", line.hour, line.minute);
    const float threadWidth = ZQI_OverlayPrint(frame.font, 110.0f, y, "[%s]>", line.threadName.CStr());
    ZQI_OverlayTextTransform(1.0f, 1.0f);
    const float x = static_cast<float>(static_cast<int32_t>(threadWidth * kColumnScale + 110.0f) + 10);
    ZQI_OverlayText(frame.font, x, y, line.text.CStr());
}

// Under the console's locks: the newest shown line, and older ones above it until the top of the
// screen.
void CopyShownLines(const Console* console, const ConsoleFrame& frame, Array<DrawnLine>& out) {
    int32_t index = ZQI_FindNewestShownConsoleLine(console, console->scrollOffset);
    const float h = static_cast<float>(frame.lineAdvance);
    for (float y = static_cast<float>(frame.inputTop) - 2.0f - h; y >= 0.0f && index >= 0; y -= h) {
        const ConsoleLine& line = console->lines[index];
        DrawnLine copy;
        copy.level = line.level;
        copy.lineNumber = line.lineNumber;
        copy.hour = line.time.hour;
        copy.minute = line.time.minute;
        copy.threadName.Assign(line.threadName != nullptr ? line.threadName : "");
        const char* text = line.text != nullptr ? line.text : "";
        if (console->inputLine[0] != '\0') {
            copy.text = ZQI_HighlightConsoleFilter(text, console->inputLine);
        } else {
            copy.text.Assign(text);
        }
        out.Push(copy);
        index = ZQI_FindOlderShownConsoleLine(console, index);
    }
}

// Newest shown line at the bottom, older ones above it.
void DrawLines(const ConsoleShown& shown, const ConsoleFrame& frame) {
    SetFadedAlpha(frame, 1.0f);
    const float h = static_cast<float>(frame.lineAdvance);
    float y = static_cast<float>(frame.inputTop) - 2.0f - h;
    for (int32_t i = 0; i < shown.lines.count; ++i, y -= h) {
        DrawLine(frame, shown.lines[i], y);
    }
    ZQI_OverlayTextTransform(1.0f, 1.0f);
}

}  // namespace

void ZQI_DrawConsole(Console* console) {
    if (console == nullptr || !console->loggingStarted || !g_core.developerMode ||
        !(console->openFactor > 0.0f)) {
        return;
    }
    const ConsoleFrame frame = MeasureFrame(console);
    ZQI_ResetOverlayTextState();
    // What the frame shows is copied under the locks and drawn after them: the lines are drawn
    // as markup, whose image tags are looked up in the bitmap table, and a thread holding that
    // table may be logging, which needs these locks.
    ConsoleShown shown;
    ZQI_LockCoreMutex(CORE_MUTEX_PRINT);
    ZQ_Threading_LockMutex(console->mutex);
    shown.view = ZQI_UpdateConsoleView(console, frame.textHeight, frame.pixelSize, IsDraggingScrollBar(frame),
                                       ZQ_GetInputState(kPointerY));
    shown.scrollOffset = console->scrollOffset;
    shown.hint = console->autocompletionHint;
    CopyShownLines(console, frame, shown.lines);
    // A click next frame finds the line drawn under the pointer now.
    console->drawnAreaHeight = static_cast<int32_t>(frame.areaBottom);
    console->drawnLineAdvance = static_cast<float>(frame.lineAdvance);
    ZQ_Threading_UnlockMutex(console->mutex);
    ZQI_UnlockCoreMutex(CORE_MUTEX_PRINT);
    // The text drawing reports what it dislikes in the texts (a deprecated tag, say). Logged, such
    // a report would join the ring, and next frame its own text would be drawn and reported
    // again, more lines every frame; so what the drawing reports is dropped.
    ZQI_BeginQuietLogging();
    DrawBackground(shown, frame);
    DrawScrollBar(shown, frame);
    DrawInputLine(console, shown, frame);
    DrawLines(shown, frame);
    ZQI_EndQuietLogging();
    ZQI_OverlayColor(1.0f, 1.0f, 1.0f);
    ZQI_OverlayAlpha(1.0f);
}
