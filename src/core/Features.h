// Feature words: upper-case switches such as NO_SOUND that stand in one of three comma-separated
// lists (manifest and developer settings, chosen variant, command line). Builds the lists while
// the manifest is read, keeps the final texts for the whole run and answers whether a word is on.
#pragma once

#include <cstdint>

#include "foundation/String.h"

// Where ZQI_AddFeatures takes its words from; decides the target list and the known-word check.
enum FeatureLevel : int32_t {
    FEATURE_LEVEL_APPLICATION = 0,   // application node "features" -> first list, checked
    FEATURE_LEVEL_COMMAND_LINE = 1,  // "--features" -> command-line list, never checked
    FEATURE_LEVEL_DEVELOPER = 2,     // developer node "features" -> first list, never checked
    FEATURE_LEVEL_VARIANT = 3        // chosen variant "features" -> variant list, checked
};

// The three final texts the core keeps for the whole run.
enum FeatureTextId : int32_t {
    FEATURE_TEXT_FIRST = 0,         // DEVELOPER_MODE, application and developer words
    FEATURE_TEXT_COMMAND_LINE = 1,  // the "--features" words
    FEATURE_TEXT_VARIANT = 2,       // the chosen variant's words
    FEATURE_TEXT_COUNT = 3
};

// Temporary record used while the manifest is read; destroyed with its texts afterwards. Each
// list is the words joined by "," without blanks.
struct FeatureList {
    String first;             // DEVELOPER_MODE, then application and developer words
    String commandLine;       // the command line's words
    String variant;           // the chosen variant's words
    uint8_t checkKnownWords;  // set when developer mode is switched on

    FeatureList() : checkKnownWords(0) {}
};

// Appends the words of a comma-separated text to the level's list. With the list's check flag
// set, an application-level word that is forbidden there raises an error popup and is still
// added. Null words or a null list do nothing.
void ZQI_AddFeatures(FeatureList* list, const char* words, int32_t level);

// True when word stands as a whole item in the first, the variant or the command-line text.
// Exact and case-sensitive; false for null or "". Any thread, once the texts are fixed.
bool ZQI_IsFeatureEnabled(const char* word);

// Fixes one of the core's feature texts to a heap copy of text (null forgets it). Called while
// the manifest is read, before other threads run.
void ZQI_SetFeatureText(FeatureTextId id, const char* text);
// The core's text, or null when the list was never made.
const char* ZQI_GetFeatureText(FeatureTextId id);
// Shutdown: frees the three texts.
void ZQI_ReleaseFeatureTexts();

// Index 1 .. 8 of word in the table of known words that programs and extension modules read
// (ACCOUNT_MANAGEMENT ... TROPHIES); 0 when it is not there.
int32_t ZQI_FindKnownFeature(const char* word);
// True for every feature word the engine, its services, programs or extension modules read.
// Unknown words are still accepted in the lists; this only lets tools tell them apart.
bool ZQI_IsEngineFeatureWord(const char* word);
