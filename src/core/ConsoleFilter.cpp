// Case-insensitive matching of ring lines against the console's input line, and the walks over
// the lines that pass it.
#include "core/ConsoleFilter.h"

#include <cstring>

#include "core/Console.h"

namespace {

// Texts are compared in buffers of this size; longer texts are cut.
const size_t kCompareBufferSize = 4096;
const char* const kFilterColour = "|#1199ff|";
const char* const kPlainColour = "|#ffffff|";

// A lower-case copy of text cut to the buffer; returns its length.
size_t CopyLowered(char (&out)[kCompareBufferSize], const char* text) {
    size_t length = 0;
    if (text != nullptr) {
        for (; text[length] != '\0' && length + 1 < kCompareBufferSize; ++length) {
            out[length] = ZQI_LowerAsciiLetter(text[length]);
        }
    }
    out[length] = '\0';
    return length;
}

bool HasFilter(const Console* console) {
    return console->inputLine[0] != '\0';
}

}  // namespace

// Compares in place, as if both texts were lowered into the buffers first: the console's filter
// runs over the whole ring several times a frame, and copying every line cost more than the
// drawing.
bool ZQI_ContainsNoCase(const char* text, const char* part) {
    if (text == nullptr) {
        text = "";
    }
    if (part == nullptr) {
        part = "";
    }
    const size_t limit = kCompareBufferSize - 1;
    const size_t partLength = strnlen(part, limit);
    for (size_t at = 0; at + partLength <= limit; ++at) {
        size_t matched = 0;
        while (matched < partLength &&
               ZQI_LowerAsciiLetter(text[at + matched]) == ZQI_LowerAsciiLetter(part[matched])) {
            ++matched;
        }
        if (matched == partLength) {
            return true;
        }
        if (text[at] == '\0') {
            return false;
        }
    }
    return false;
}

bool ZQI_IsConsoleLineShown(const Console* console, const ConsoleLine& line) {
    return !HasFilter(console) || ZQI_ContainsNoCase(line.text, console->inputLine);
}

int32_t ZQI_CountShownConsoleLines(const Console* console) {
    if (!HasFilter(console)) {
        return console->lines.count;
    }
    int32_t shown = 0;
    for (int32_t i = 0; i < console->lines.count; ++i) {
        shown += ZQI_IsConsoleLineShown(console, console->lines[i]) ? 1 : 0;
    }
    return shown;
}

int32_t ZQI_FindNewestShownConsoleLine(const Console* console, int32_t skip) {
    if (skip < 0) {
        skip = 0;
    }
    if (!HasFilter(console)) {
        int32_t index = console->lines.count - 1 - skip;
        return index >= 0 ? index : -1;
    }
    int32_t index = ZQI_FindOlderShownConsoleLine(console, console->lines.count);
    for (; index >= 0 && skip > 0; --skip) {
        index = ZQI_FindOlderShownConsoleLine(console, index);
    }
    return index;
}

int32_t ZQI_FindOlderShownConsoleLine(const Console* console, int32_t index) {
    if (index > console->lines.count) {
        index = console->lines.count;
    }
    for (int32_t i = index - 1; i >= 0; --i) {
        if (ZQI_IsConsoleLineShown(console, console->lines[i])) {
            return i;
        }
    }
    return -1;
}

String ZQI_HighlightConsoleFilter(const char* text, const char* filter) {
    char loweredText[kCompareBufferSize];
    char loweredFilter[kCompareBufferSize];
    CopyLowered(loweredText, text);
    const size_t filterLength = CopyLowered(loweredFilter, filter);
    String out;
    if (text == nullptr) {
        return out;
    }
    if (filterLength == 0) {
        out.Assign(text);
        return out;
    }
    // Positions in the lowered copy are positions in the text: lowering keeps every byte in place.
    const String whole(text);
    size_t done = 0;
    for (const char* found = strstr(loweredText, loweredFilter); found != nullptr;
         found = strstr(loweredText + done, loweredFilter)) {
        const size_t at = static_cast<size_t>(found - loweredText);
        out.Append(whole.Substring(static_cast<int32_t>(done), static_cast<int32_t>(at - done)).CStr());
        out.Append(kFilterColour);
        out.Append(whole.Substring(static_cast<int32_t>(at), static_cast<int32_t>(filterLength)).CStr());
        out.Append(kPlainColour);
        done = at + filterLength;
    }
    out.Append(text + done);
    return out;
}
