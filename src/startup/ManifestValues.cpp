// Reading manifest texts as values (see the header).
#include "startup/ManifestValues.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "foundation/StringTokenizer.h"
#include "foundation/TextUtils.h"

namespace {

// Fields of "WxH" are taken into a buffer of this size (longer parts count as missing).
const int32_t kSizeFieldBytes = 512;

int32_t ParseSizeField(const char* value, int32_t index) {
    char field[kSizeFieldBytes];
    if (ZQI_GetFieldByChar(field, sizeof(field), value, 'x', index) == nullptr) {
        return 0;
    }
    return atoi(field);
}

}  // namespace

bool ZQI_IsManifestFlagOn(const char* value) {
    return value != nullptr && (value[0] == '1' || value[0] == 't');
}

int32_t ZQI_ParseLogLevelName(const char* value) {
    static const char* const kLevelNames[] = {"INFO", "WARNING", "ERROR", "SYSTEM"};
    if (value == nullptr) {
        return 0;
    }
    for (int32_t level = 0; level < 4; ++level) {
        if (strstr(value, kLevelNames[level]) != nullptr) {
            return level;
        }
    }
    return 0;
}

void ZQI_ParseManifestSize(const char* value, int32_t* width, int32_t* height) {
    *width = value != nullptr ? ParseSizeField(value, 0) : 0;
    *height = value != nullptr ? ParseSizeField(value, 1) : 0;
}

bool ZQI_ComputeFrameTime(const char* fpsLimit, uint32_t* frameTime) {
    if (fpsLimit == nullptr) {
        return false;
    }
    const float limit = static_cast<float>(atof(fpsLimit));
    const float milliseconds = 1000.0f / (limit + 2.0f);
    // A limit of -2 or below would divide by zero or give a negative time; converting those
    // (or an enormous one) to an integer is undefined, so they are refused instead.
    if (!std::isfinite(milliseconds) || milliseconds < 0.0f || milliseconds > 4.0e9f) {
        return false;
    }
    *frameTime = static_cast<uint32_t>(static_cast<int64_t>(milliseconds));
    return true;
}

void ZQI_CopyManifestText(char* field, size_t fieldSize, const char* value) {
    if (fieldSize == 0) {
        return;
    }
    if (value == nullptr) {
        value = "";
    }
    size_t length = strlen(value);
    if (length > fieldSize - 1) {
        length = fieldSize - 1;
    }
    memcpy(field, value, length);
    field[length] = '\0';
}

String ZQI_AddLibrarySuffixes(const char* list) {
    String result;
    if (list == nullptr) {
        return result;
    }
    StringTokenizer tokenizer(list, ',');
    while (const char* item = tokenizer.Next()) {
        if (item[0] == '\0') {
            continue;
        }
        if (!result.IsEmpty()) {
            result.Append(",");
        }
        result.Append(item);
        if (strstr(item, ".dll") == nullptr) {
            result.Append(".dll");
        }
    }
    return result;
}

String ZQI_LowerCaseText(const char* text) {
    String result;
    if (text == nullptr) {
        return result;
    }
    for (const char* c = text; *c != '\0'; ++c) {
        result.AppendChar(*c >= 'A' && *c <= 'Z' ? static_cast<char>(*c - 'A' + 'a') : *c);
    }
    return result;
}
