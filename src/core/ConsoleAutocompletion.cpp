// Registered console commands: registration from any thread, Tab completion and the hint text.
// Entries are never removed, so a command text handed out stays valid for the whole run.
#include "core/ConsoleAutocompletion.h"

#include <cstring>
#include <new>

#include "core/ApiTable.h"
#include "core/Console.h"
#include "core/ConsoleFilter.h"
#include "core/Log.h"
#include "core/NamedMutex.h"

namespace {

// Colour codes of the font markup around the matched part of a command.
const char* const kMatchColour = "|#ffaa55|";
const char* const kPlainColour = "|#ffffff|";
// Lines of this length or longer never become the input line (which holds 512 characters).
const size_t kMaxInputText = 511;

// Whether command begins with text, ignoring the case of A-Z.
bool StartsWithNoCase(const String& command, const char* text, size_t length) {
    if (static_cast<size_t>(command.Length()) < length) {
        return false;
    }
    const char* c = command.CStr();
    for (size_t i = 0; i < length; ++i) {
        if (ZQI_LowerAsciiLetter(c[i]) != ZQI_LowerAsciiLetter(text[i])) {
            return false;
        }
    }
    return true;
}

bool ContainsExactly(const String& command, const char* text) {
    return strstr(command.CStr(), text) != nullptr;
}

// The command with every exact occurrence of text coloured.
void AppendColouredOccurrences(String& hint, const char* command, const char* text, size_t length) {
    const char* rest = command;
    while (const char* found = strstr(rest, text)) {
        String before = String(rest).Substring(0, static_cast<int32_t>(found - rest));
        hint.Append(before.CStr());
        hint.Append(kMatchColour);
        hint.Append(text);
        hint.Append(kPlainColour);
        rest = found + length;
    }
    hint.Append(rest);
}

// The command with its first length characters coloured.
void AppendColouredPrefix(String& hint, const String& command, size_t length) {
    hint.Append(kMatchColour);
    hint.Append(command.Substring(0, static_cast<int32_t>(length)).CStr());
    hint.Append(kPlainColour);
    hint.Append(command.CStr() + length);
}

}  // namespace

void ZQI_AddAutocompletion(const char* command, const char* description) {
    if (command == nullptr) {
        return;
    }
    zq_filesystem_api_t* files = ZQI_GetApi()->filesystem;
    if (files == nullptr || files->IsPathValid == nullptr || !files->IsPathValid(command)) {
        ZQ_Popup(LOG_LEVEL_WARNING, "Invalid autocompletion string registered: '%s' is not allowed.",
                 command);
        return;
    }
    Console* console = ZQI_GetConsole();
    // Looked up and appended under one hold, so two threads registering the same command add it
    // once.
    ZQ_Threading_LockMutex(console->mutex);
    if (ZQI_FindAutocompletion(console, command) == nullptr) {
        AutocompletionEntry* entry = new (std::nothrow) AutocompletionEntry();
        if (entry == nullptr) {
            ZQ_Threading_UnlockMutex(console->mutex);
            ZQI_LogFormat(LOG_LEVEL_ERROR, "ZQI_AddAutocompletion: out of memory for '%s'.", command);
            return;
        }
        entry->command.Assign(command);
        entry->description.Assign(description != nullptr ? description : "");
        console->autocompletions.Push(entry);
    }
    ZQ_Threading_UnlockMutex(console->mutex);
}

void ZQ_RegisterAutocompletion(const char* command, const char* description) {
    ZQI_AddAutocompletion(command, description);
}

const char* ZQI_FindAutocompletion(Console* console, const char* text) {
    if (console == nullptr) {
        return nullptr;
    }
    if (text == nullptr) {
        text = "";
    }
    const size_t length = strlen(text);
    const char* found = nullptr;
    ZQ_Threading_LockMutex(console->mutex);
    const Array<AutocompletionEntry*>& entries = console->autocompletions;
    for (int32_t i = 0; i < entries.count && found == nullptr; ++i) {
        if (StartsWithNoCase(entries[i]->command, text, length)) {
            found = entries[i]->command.CStr();
        }
    }
    for (int32_t i = 0; i < entries.count && found == nullptr; ++i) {
        if (ContainsExactly(entries[i]->command, text)) {
            found = entries[i]->command.CStr();
        }
    }
    ZQ_Threading_UnlockMutex(console->mutex);
    return found;
}

void ZQI_ListAutocompletions(Console* console, const char* text) {
    if (console == nullptr) {
        return;
    }
    console->autocompletionHint.Assign("");
    if (text == nullptr || text[0] == '\0') {
        return;
    }
    const size_t length = strlen(text);
    String hint;
    int32_t matches = 0;
    const AutocompletionEntry* first = nullptr;
    const AutocompletionEntry* equal = nullptr;
    ZQ_Threading_LockMutex(console->mutex);
    const Array<AutocompletionEntry*>& entries = console->autocompletions;
    for (int32_t i = 0; i < entries.count; ++i) {
        const AutocompletionEntry* entry = entries[i];
        const bool exact = ContainsExactly(entry->command, text);
        if (!StartsWithNoCase(entry->command, text, length) && !(length >= 3 && exact)) {
            continue;
        }
        ++matches;
        first = first != nullptr ? first : entry;
        if (equal == nullptr && entry->command.Equals(text)) {
            equal = entry;
        }
        if (exact) {
            AppendColouredOccurrences(hint, entry->command.CStr(), text, length);
        } else {
            AppendColouredPrefix(hint, entry->command, length);
        }
        hint.Append(" ");
    }
    ZQ_Threading_UnlockMutex(console->mutex);
    if (hint.IsEmpty()) {
        return;
    }
    console->autocompletionHint.Assign("Autocomplete (tab): ");
    console->autocompletionHint.Append(hint.CStr());
    const AutocompletionEntry* described = equal != nullptr ? equal : (matches == 1 ? first : nullptr);
    if (described != nullptr && !described->description.IsEmpty()) {
        console->autocompletionHint.Append("\n\n");
        console->autocompletionHint.Append(described->description.CStr());
    }
}

void ZQI_SetConsoleInput(Console* console, const char* text) {
    if (console == nullptr) {
        return;
    }
    if (text == nullptr) {
        text = "";
    }
    const size_t length = strlen(text);
    if (length >= kMaxInputText) {
        return;
    }
    memmove(console->inputLine, text, length + 1);  // text may be the line itself
    console->cursor = static_cast<int32_t>(length);
    ZQI_ListAutocompletions(console, console->inputLine);
}
