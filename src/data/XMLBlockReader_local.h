// Character rules shared by the XML reader's scanner and block decoder, and by the writer, which
// asks them how the reader will take a text back; private to the data manager.
#pragma once

#include <cstdint>

inline bool IsXMLBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// True when a quote stored after stored[0 .. length) closes a quoted run: the character before
// it is not a backslash, or the two before it are both backslashes.
inline bool XMLQuoteCloses(const char* stored, int32_t length) {
    if (length < 1 || stored[length - 1] != '\\') {
        return true;
    }
    return length >= 2 && stored[length - 2] == '\\';
}
