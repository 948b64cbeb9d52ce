// The console's command list for Tab completion and the hint line under the input: commands are
// registered by the program (root slot RegisterAutocompletion, named call "Console_AddCommand"),
// from any thread, and looked up on the main thread, both under the console mutex.
#pragma once

#include <cstdint>

#include "foundation/String.h"

struct Console;

// One registered command; heap records owned by the list for the whole run.
struct AutocompletionEntry {
    String command;
    String description;  // may be empty
};

// Registers a command on the engine's console. Null does nothing; a text that is not a valid
// path text gives the level-1 popup "Invalid autocompletion string registered: '%s' is not
// allowed."; a command that ZQI_FindAutocompletion already finds is not added again.
void ZQI_AddAutocompletion(const char* command, const char* description);
// Root slot 3: ZQI_AddAutocompletion.
void ZQ_RegisterAutocompletion(const char* command, const char* description);

// The command Tab completes text to (among commands at least as long as text, in registration
// order): the first that begins with text ignoring the case of A-Z, else the first that contains
// text exactly; an empty text gives the first command. Null when none does.
const char* ZQI_FindAutocompletion(Console* console, const char* text);

// Rebuilds the console's hint from text: "Autocomplete (tab): " and every matching command with
// the matched part coloured, plus the description when one command is meant. Empty for an empty
// text or when nothing matches.
void ZQI_ListAutocompletions(Console* console, const char* text);

// Replaces the input line (null empties it; a text of 511 characters or more is ignored), puts
// the cursor at its end and rebuilds the hint.
void ZQI_SetConsoleInput(Console* console, const char* text);
