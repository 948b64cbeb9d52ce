// Drawing the developer console over the top of the screen: the log lines, the scroll bar, the
// input line with its cursor and the autocompletion hint. The debug overlay calls it once per frame.
#pragma once

struct Console;

// Draws this frame's console: only while logging runs, in developer mode, with the console (or its
// overlay mode) showing. Holds "PRINT" and the console mutex while it reads the ring, so no line
// is added meanwhile.
void ZQI_DrawConsole(Console* console);
