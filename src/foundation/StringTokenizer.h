// StringTokenizer: splits a text at a separator character or text, handing out each
// token from a ring of eight 512-byte buffers inside the tokenizer, so callers can hold a few
// tokens at once without allocating. A token stays valid until eight more have been taken.
#pragma once

#include <cstdint>

#include "foundation/String.h"

class StringTokenizer {
public:
    // Fields in declared order.
    char tokens[8][512];   // ring of token buffers
    int32_t ringIndex;     // buffer used by the last token (0 .. 7)
    int32_t position;      // where the next token starts in text
    String text;           // the text being split
    String separatorText;  // separator used when separatorChar is 0
    char separatorChar;    // separator character; 0 selects separatorText

    // Empty tokenizer: no text, no separator, position 0, ringIndex 0. The owner sets the
    // fields, or uses the constructors below.
    StringTokenizer();
    StringTokenizer(const char* text, char separator);
    StringTokenizer(const char* text, const char* separator);

    // The next token, or null at the end (or without text or separator, or for a token of 512
    // characters or more). Adjacent separators give an empty token, a leading separator an
    // empty first token; a separator at the very end gives no further token.
    const char* Next();
};
