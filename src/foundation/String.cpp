// String and the shared formatting routines.
#include "foundation/String.h"

#include <cstdlib>
#include <cstring>

#include "foundation/TextUtils.h"

#if defined(_WIN32)
#include <malloc.h>  // _alloca
#define ZQ_STACK_ALLOC(bytes) _alloca(bytes)
#else
#include <alloca.h>
#define ZQ_STACK_ALLOC(bytes) alloca(bytes)
#endif

char* ZQI_FormatToBuffer(char* buffer, const char* format, va_list args) {
    va_list again;
    va_copy(again, args);
    int needed = ZQI_VSNPrintf(buffer, ZQI_FORMAT_BUFFER_SIZE, format, args);
    if (needed < 0) {
        buffer[0] = '\0';
        va_end(again);
        return buffer;
    }
    if (needed < ZQI_FORMAT_BUFFER_SIZE) {
        va_end(again);
        return buffer;
    }
    char* block = static_cast<char*>(malloc(static_cast<size_t>(needed) + 1));
    if (block == nullptr) {
        va_end(again);
        return buffer;  // out of memory: the text cut to 4095 characters
    }
    if (ZQI_VSNPrintf(block, static_cast<size_t>(needed) + 1, format, again) < 0) {
        block[0] = '\0';
    }
    va_end(again);
    return block;
}

char* ZQI_DuplicateString(const char* text) {
    if (text == nullptr) {
        text = "";
    }
    size_t bytes = strlen(text) + 1;
    char* copy = static_cast<char*>(malloc(bytes));
    if (copy != nullptr) {
        memcpy(copy, text, bytes);
    }
    return copy;
}

String::String() : data(nullptr), capacity(0), length(0) {
    inlineBuffer[0] = '\0';
}

String::String(const char* text) : String() {
    Assign(text);
}

String::String(const String& other) : String() {
    Assign(other.data);
}

String::~String() {
    if (OwnsHeapBlock()) {
        free(data);
    }
}

String& String::operator=(const String& other) {
    Assign(other.data);
    return *this;
}

String& String::operator=(const char* text) {
    Assign(text);
    return *this;
}

void String::Assign(const char* text) {
    int32_t n = text != nullptr ? static_cast<int32_t>(strlen(text)) : 0;
    if (n == length && text != nullptr && data != nullptr && memcmp(data, text, n) == 0) {
        return;
    }
    // Unrelated pointers are compared as integers.
    uintptr_t address = reinterpret_cast<uintptr_t>(text);
    uintptr_t begin = reinterpret_cast<uintptr_t>(data);
    bool inside = data != nullptr && text != nullptr && address >= begin &&
                  address < begin + static_cast<uintptr_t>(length);
    if (text == nullptr) {
        if (OwnsHeapBlock()) {
            free(data);
        }
        data = nullptr;
        length = 0;
        return;
    }
    if (data != nullptr && !inside && n <= length && length - n < 256) {
        memmove(data, text, static_cast<size_t>(n) + 1);
        length = n;
        return;
    }
    char* previous = OwnsHeapBlock() ? data : nullptr;
    char* storage;
    if (n + 1 < 16) {
        memmove(inlineBuffer, text, static_cast<size_t>(n) + 1);
        storage = inlineBuffer;
        capacity = 15;
    } else {
        storage = ZQI_DuplicateString(text);
        if (storage == nullptr) {
            return;  // out of memory: the string keeps its text
        }
        capacity = n;
    }
    free(previous);  // only now: text may have pointed into it
    data = storage;
    length = n;
}

void String::Append(const char* text) {
    if (text == nullptr) {
        return;
    }
    if (data == nullptr) {
        Assign(text);
        return;
    }
    size_t current = strlen(data);
    size_t added = strlen(text);
    char* block = static_cast<char*>(malloc(current + added + 1));
    if (block == nullptr) {
        return;  // out of memory: unchanged
    }
    memcpy(block, data, current);
    memcpy(block + current, text, added);
    block[current + added] = '\0';
    if (OwnsHeapBlock()) {
        free(data);  // only now: text may have pointed into it
    }
    data = block;
    length += static_cast<int32_t>(added);
    capacity = static_cast<int32_t>(current + added);
}

void String::AppendChar(char c) {
    if (c == '\0') {
        return;
    }
    char text[2] = {c, '\0'};
    Append(text);
}

void String::AppendFormatV(const char* format, va_list args) {
    char buffer[ZQI_FORMAT_BUFFER_SIZE];
    char* text = ZQI_FormatToBuffer(buffer, format, args);
    Append(text);
    if (text != buffer) {
        free(text);
    }
}

void String::AppendFormat(const char* format, ...) {
    va_list args;
    va_start(args, format);
    AppendFormatV(format, args);
    va_end(args);
}

void String::FormatV(const char* format, va_list args) {
    char buffer[ZQI_FORMAT_BUFFER_SIZE];
    char* text = ZQI_FormatToBuffer(buffer, format, args);
    Assign(text);
    if (text != buffer) {
        free(text);
    }
}

void String::Format(const char* format, ...) {
    va_list args;
    va_start(args, format);
    FormatV(format, args);
    va_end(args);
}

String String::FromFormat(const char* format, ...) {
    String result;
    va_list args;
    va_start(args, format);
    result.FormatV(format, args);
    va_end(args);
    return result;
}

String String::operator+(const char* text) const {
    String result;
    result.Assign(data);
    result.Append(text);
    return result;
}

bool String::IsEmpty() const {
    return data == nullptr || data[0] == '\0';
}

int32_t String::Length() const {
    return data != nullptr ? static_cast<int32_t>(strlen(data)) : 0;
}

bool String::Equals(const char* text) const {
    const char* mine = data != nullptr ? data : "";
    return strcmp(mine, text != nullptr ? text : "") == 0;
}

void String::Replace(const char* search, const char* replacement) {
    if (search == nullptr || replacement == nullptr || IsEmpty() || search[0] == '\0' ||
        strstr(data, search) == nullptr) {
        return;
    }
    int32_t textLength = Length();
    int32_t searchLength = static_cast<int32_t>(strlen(search));
    int32_t replacementLength = static_cast<int32_t>(strlen(replacement));
    int64_t workSize = static_cast<int64_t>(textLength) + 1;
    if (replacementLength > searchLength) {
        // Room for every possible replacement.
        workSize = (static_cast<int64_t>(textLength / searchLength) + 1) * replacementLength + 1;
    }
    if (workSize + 1 > INT32_MAX) {
        return;  // no result could be held by a String
    }
    int32_t bufferSize = static_cast<int32_t>(workSize + 1);
    bool onStack = bufferSize < 65535;
    char* work = onStack ? static_cast<char*>(ZQ_STACK_ALLOC(static_cast<size_t>(bufferSize)))
                         : static_cast<char*>(malloc(static_cast<size_t>(bufferSize)));
    if (work == nullptr) {
        return;
    }
    if (ZQI_ReplaceAll(data, search, replacement, work, bufferSize) != nullptr) {
        Assign(work);
    }
    if (!onStack) {
        free(work);
    }
}

String String::Substring(int32_t start, int32_t count) const {
    String result;
    int32_t total = Length();
    if (start < 0) {
        start = 0;  // callers give 0 or more; a negative start counts from the beginning
    }
    if (start >= total) {
        return result;
    }
    result.Assign(data + start);
    int32_t rest = total - start;
    if (count >= 0 && count <= rest) {
        result.data[count] = '\0';
        result.length = count;
    }
    return result;
}
