// The console's view of the log ring: a non-empty input line filters the lines (ignoring case),
// and the view walks the lines that pass from the newest back. Input and drawing share these
// walks, so a click always lands on the line that was drawn there. Callers hold the console mutex
// while they walk the ring.
#pragma once

#include <cstdint>

#include "foundation/String.h"

struct Console;
struct ConsoleLine;

// A-Z to a-z; every other byte unchanged.
inline char ZQI_LowerAsciiLetter(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Whether text contains part, ignoring the case of A-Z. Only the first 4095 characters of each
// are compared. Null counts as the empty text (which every text contains).
bool ZQI_ContainsNoCase(const char* text, const char* part);

// Whether the ring line passes the console's filter (the input line, when it is not empty).
bool ZQI_IsConsoleLineShown(const Console* console, const ConsoleLine& line);
// The number of ring lines that pass the filter.
int32_t ZQI_CountShownConsoleLines(const Console* console);
// The ring index of the newest line that passes the filter once skip such lines are passed over
// (the line a view scrolled back by skip shows at the bottom); -1 when there is none.
int32_t ZQI_FindNewestShownConsoleLine(const Console* console, int32_t skip);
// The ring index of the nearest line older than index that passes the filter; -1 when none.
int32_t ZQI_FindOlderShownConsoleLine(const Console* console, int32_t index);

// The text with every occurrence of filter (in any case, kept as the text spells it) coloured
// "|#1199ff|...|#ffffff|". An empty filter leaves the text as it is.
String ZQI_HighlightConsoleFilter(const char* text, const char* filter);
