// The console overlay on screen: it slides down from the top while open and its cursor blinks.
// The debug overlay drives it once per frame.
#pragma once

struct Console;

// Once per frame while logging runs: the open factor moves 4 x step toward 1 while the console
// is open or in overlay mode, else toward 0 (a full slide takes 0.25 s), and the cursor's blink
// phase advances by step, wrapping past 1.
void ZQI_AnimateConsole(Console* console, float step);
