// The Console record: the log's state (ring of the last lines, level counters, threshold, log
// file name) and the console overlay's state, in one static record. The log writer (Log.cpp)
// fills the ring; the console overlay reads it and owns the input and drawing fields.
#pragma once

#include <cstdint>

#include "foundation/Array.h"
#include "foundation/String.h"
#include "zorqa.h"

struct NamedMutex;
struct AutocompletionEntry;  // the console overlay's registered commands

// One logged line, owned by the ring.
struct ConsoleLine {
    uint32_t level;
    uint32_t lineNumber;  // the line counter after this line; 0 for the "..." marker
    zq_date_t time;       // local time when written
    char* text;           // heap copy; "[WARNING] ..." style prefix for levels 1 to 3
    char* threadName;     // heap copy; "MAIN" for threads without a name; null for the marker
};

struct Console {
    uint8_t loggingStarted;  // while clear, the writer drops everything
    uint8_t ctrlHeld;
    uint8_t shiftHeld;
    uint8_t open;
    float openFactor;     // 0 closed .. 1 fully open
    uint8_t overlayMode;  // CONSOLE_OVERLAY: drawn at half strength even while closed
    zq_font_t* font;
    int32_t scrollOffset;  // lines scrolled back from the newest
    uint32_t lineCounter;  // lines written since start
    uint8_t logToFile;
    char logFileName[512];      // virtual path of the log file; "" when there is none
    char toggleCharacter;       // low byte of the console toggle key (developer mode only)
    uint32_t levelCounters[8];  // messages that reached the writer, per level 0..7
    int16_t verboseThreshold;   // lines below this level are counted but not written
    char inputLine[513];
    int32_t cursor;
    uint8_t historyBrowsing;
    Array<char*> history;  // heap copies of entered lines; shrinks on removal
    int32_t historyPosition;
    Array<AutocompletionEntry*> autocompletions;
    float blinkPhase;
    Array<ConsoleLine> lines;  // the ring: at most ZQI_LOG_RING_LINES lines, oldest first
    NamedMutex* mutex;         // "ZQ_CONSOLE": the ring, the counters, the autocompletions
    String autocompletionHint;
    // Where the last drawn frame put the ring's lines, so that a click copies the line drawn
    // under the pointer: the area height and the console font's line advance.
    int32_t drawnAreaHeight;
    float drawnLineAdvance;
};
