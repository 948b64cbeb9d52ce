// The console overlay on screen: it slides down from the top while open and its cursor blinks.
// The debug overlay drives it once per frame; the engine draws it (ConsoleDrawing.cpp) with what
// ZQI_UpdateConsoleView decides here.
#pragma once

#include <cstdint>

struct Console;

// Once per frame while logging runs: the open factor moves 4 x step toward 1 while the console
// is open or in overlay mode, else toward 0 (a full slide takes 0.25 s), and the cursor's blink
// phase advances by step, wrapping past 1.
void ZQI_AnimateConsole(Console* console, float step);

// What one frame of the console shows of the ring.
struct ConsoleView {
    int32_t shownLines;    // N: ring lines passing the filter
    int32_t visibleLines;  // V: the lines the text area holds, at most N
    int32_t thumbSize;     // the scroll bar thumb's height in pixels; 0 without lines
};

// The frame's view for a text area textHeight pixels high with lines pixelSize apart. While the
// scroll bar is dragged (dragging: button 510 held at its x), the offset follows the pointer's y
// over the area. The scroll offset is then clamped so the view never runs past the oldest line.
// No drag without a text area (textHeight <= 0). The caller holds the console mutex.
ConsoleView ZQI_UpdateConsoleView(Console* console, int32_t textHeight, int32_t pixelSize, bool dragging,
                                  int32_t pointerY);
