// StringTokenizer.
#include "foundation/StringTokenizer.h"

#include <cstring>

StringTokenizer::StringTokenizer() : ringIndex(0), position(0), separatorChar('\0') {
    tokens[0][0] = '\0';
}

StringTokenizer::StringTokenizer(const char* textToSplit, char separator) : StringTokenizer() {
    text.Assign(textToSplit);
    separatorChar = separator;
}

StringTokenizer::StringTokenizer(const char* textToSplit, const char* separator) : StringTokenizer() {
    text.Assign(textToSplit);
    separatorText.Assign(separator);
}

const char* StringTokenizer::Next() {
    ringIndex = (ringIndex >= 0 && ringIndex < 7) ? ringIndex + 1 : 0;
    bool useText = separatorChar == '\0';
    if ((useText && separatorText.IsEmpty()) || text.data == nullptr) {
        return nullptr;
    }
    int32_t textLength = text.Length();
    if (position < 0 || position > textLength) {
        return nullptr;
    }
    const char* start = text.data + position;
    const char* separator = useText ? strstr(start, separatorText.data) : strchr(start, separatorChar);
    int32_t tokenLength =
        separator != nullptr ? static_cast<int32_t>(separator - start) : textLength - position;
    if (tokenLength >= 512) {
        return nullptr;
    }
    char* token = tokens[ringIndex];
    memcpy(token, start, static_cast<size_t>(tokenLength));
    token[tokenLength] = '\0';
    if (position == textLength) {
        return nullptr;
    }
    position += tokenLength;
    if (position == textLength) {
        return token;
    }
    position += useText ? separatorText.Length() : 1;
    return token;
}
