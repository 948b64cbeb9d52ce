// The named extension calls' handlers, shared by their files; nothing else may reach in.
#pragma once

#include <cstring>

#include "engine/ExtensionCall.h"

// What one handler made of a call: it ends the call (with its text, which may be null), or the
// call goes on down the chain.
struct ExtensionAnswer {
    bool ends;
    const char* text;
};

inline ExtensionAnswer ExtensionGoesOn() {
    return {false, nullptr};
}
inline ExtensionAnswer ExtensionEnds(const char* text) {
    return {true, text};
}
// Ends the call only with a text; null lets it go on.
inline ExtensionAnswer ExtensionEndsIfAnswered(const char* text) {
    return {text != nullptr, text};
}

// True when text is the expected name; false for a null text.
inline bool Is(const char* text, const char* expected) {
    return text != nullptr && strcmp(text, expected) == 0;
}

typedef ExtensionAnswer (*ExtensionHandler)(const char* function, const char* parameter);

// ExtensionServices.cpp
ExtensionAnswer ZQI_HandlePurchaseCall(const char* function, const char* parameter);
ExtensionAnswer ZQI_HandleGameCenterCall(const char* function, const char* parameter);
ExtensionAnswer ZQI_HandleTestExtensionCall(const char* function, const char* parameter);

// ExtensionQueries.cpp
ExtensionAnswer ZQI_HandleLanguageQuery(const char* function, const char* parameter);
ExtensionAnswer ZQI_HandleRendererQuery(const char* function, const char* parameter);
ExtensionAnswer ZQI_HandleProgramQuery(const char* function, const char* parameter);
ExtensionAnswer ZQI_HandlePlatformQuery(const char* function, const char* parameter);
ExtensionAnswer ZQI_HandleDateQuery(const char* function, const char* parameter);
