// Feature words: the three lists, the known-word check and the question whether a word is on.
// The final texts are written only during start-up and read-only afterwards, so lookups take no
// lock.
#include "core/Features.h"

#include <cstdlib>
#include <cstring>

#include "core/CoreState.h"
#include "core/Log.h"
#include "foundation/StringTokenizer.h"
#include "foundation/TextUtils.h"

namespace {

// Words that programs and extension modules read; entry 0 stays empty so a failed lookup is 0.
const char* const kKnownFeatureTable[9] = {
    "",
    "ACCOUNT_MANAGEMENT",
    "ACCOUNT_MANAGEMENT_NO_INTERACTION",
    "ANALYST",
    "DEVELOPER_MODE",
    "HIDE_ACHIEVEMENT_NOTIFICATIONS",
    "NO_EXTERNAL_LINKS",
    "SEND_ACHIEVEMENTS_MULTIPLE_TIMES",
    "TROPHIES",
};

// Indexes of kKnownFeatureTable that belong in a variant's list, never in the application's.
const int32_t kForbiddenAtApplicationLevel[] = {3};

// Every word read by the engine itself or by its online services, besides kKnownFeatureTable.
const char* const kEngineFeatureWords[] = {
    // start-up, initialisation, autoscaling, resolution
    "MULTITOUCH",
    "MULTIMOUSE",
    "AUTOSCALE",
    "AUTOSCALE_RETAIN_ASPECT_RATIO",
    "NO_SOUND",
    "FORCE_ALT_SOUND_IMP",
    "ALLOW_MULTIPLE_PROGRAM_INSTANCES",
    "DISABLE_VSYNC",
    "FREE_RESOLUTION",
    "HIDE_CURSOR",
    "UNLIMITED_MEMORY",
    // reference counting of resources
    "PRINT_REFERENCE_COUNT_CHANGES",
    "DISABLE_REFERENCE_COUNTING",
    "DISABLE_REFERENCE_COUNT_ERROR_POPUPS",
    // popups and logging
    "NO_POPUPS",
    "NON_BLOCKING_POPUPS",
    "LOGS_IN_WORKING_DIR",
    "FIXED_LOGNAME",
    // console and debug overlays
    "CONSOLE_OVERLAY",
    "SHOW_FPS",
    "SHOW_INFO",
    "DRAW_SOUND_CHANNELS",
    "DRAW_NOTCH",
    "DEBUG_DRAW_TIME_DELTA_TEST",
    "DEBUG_DRAW_BLACK_SCREEN_INSTEAD_OF_PROGRAM",
    // named extension calls
    "TEST_EXTENSIONS",
    "GAME_CENTER",
    // extension module libraries
    "STEAM",
    "GALAXY",
    "KARTRIDGE",
    // online services
    "LEADERBOARDS",
    "ACHIEVEMENTS",
    "IN_APP_PURCHASES",
    "LOCAL_LEADERBOARDS",
    "SIMULATED_CLOUD",
    "SIMULATED_LEADERBOARDS",
    "SIMULATED_SOCIAL",
    "REGISTER_FOR_LOCAL_NOTIFICATIONS_ON_LAUNCH",
};

// The core's final texts; null until the manifest reader fixes them.
char* g_featureTexts[FEATURE_TEXT_COUNT] = {nullptr, nullptr, nullptr};

bool IsForbiddenAtApplicationLevel(int32_t knownIndex) {
    for (int32_t forbidden : kForbiddenAtApplicationLevel) {
        if (forbidden == knownIndex) {
            return true;
        }
    }
    return false;
}

String* TargetList(FeatureList* list, int32_t level) {
    switch (level) {
        case FEATURE_LEVEL_APPLICATION:
        case FEATURE_LEVEL_DEVELOPER:
            return &list->first;
        case FEATURE_LEVEL_COMMAND_LINE:
            return &list->commandLine;
        case FEATURE_LEVEL_VARIANT:
            return &list->variant;
        default:
            return nullptr;
    }
}

bool LevelIsChecked(const FeatureList* list, int32_t level) {
    return list->checkKnownWords != 0 &&
           (level == FEATURE_LEVEL_APPLICATION || level == FEATURE_LEVEL_VARIANT);
}

// The manifest is read before the program runs, so the message goes straight to the platform's
// message box; without one (host builds, tests) it is logged.
void ShowErrorPopup(const char* text) {
    if (g_core.popupMessage != nullptr) {
        g_core.popupMessage(LOG_LEVEL_ERROR, text);
    } else {
        ZQI_LogFormat(LOG_LEVEL_ERROR, "[POPUP] %s", text);
    }
}

// Only the application level has forbidden words; the variant level is looked up but has
// nothing to report.
void CheckKnownWord(const char* word, int32_t level) {
    const int32_t knownIndex = ZQI_FindKnownFeature(word);
    if (level == FEATURE_LEVEL_APPLICATION && IsForbiddenAtApplicationLevel(knownIndex)) {
        const String text = String::FromFormat(
            "Feature '%s' is forbidden at application level, specify it at variant level instead.", word);
        ShowErrorPopup(text.CStr());
    }
}

void AppendWord(String* target, const char* word) {
    if (!target->IsEmpty()) {
        target->Append(",");
    }
    target->Append(word);
}

}  // namespace

void ZQI_AddFeatures(FeatureList* list, const char* words, int32_t level) {
    if (list == nullptr || words == nullptr) {
        return;
    }
    String* target = TargetList(list, level);
    if (target == nullptr) {
        ZQI_LogFormat(LOG_LEVEL_ERROR, "ZQI_AddFeatures: unknown level %d", level);
        return;
    }
    const bool checked = LevelIsChecked(list, level);
    StringTokenizer tokenizer(words, ',');
    for (const char* word = tokenizer.Next(); word != nullptr; word = tokenizer.Next()) {
        if (checked) {
            CheckKnownWord(word, level);
        }
        AppendWord(target, word);
    }
}

bool ZQI_IsFeatureEnabled(const char* word) {
    if (word == nullptr || word[0] == '\0') {
        return false;
    }
    return ZQI_ListContainsWord(g_featureTexts[FEATURE_TEXT_FIRST], word) ||
           ZQI_ListContainsWord(g_featureTexts[FEATURE_TEXT_VARIANT], word) ||
           ZQI_ListContainsWord(g_featureTexts[FEATURE_TEXT_COMMAND_LINE], word);
}

void ZQI_SetFeatureText(FeatureTextId id, const char* text) {
    if (id < 0 || id >= FEATURE_TEXT_COUNT) {
        ZQI_LogFormat(LOG_LEVEL_ERROR, "ZQI_SetFeatureText: unknown list %d", static_cast<int>(id));
        return;
    }
    char* copy = nullptr;
    if (text != nullptr) {
        copy = ZQI_DuplicateString(text);
        if (copy == nullptr) {
            ZQI_LogFormat(LOG_LEVEL_ERROR, "ZQI_SetFeatureText: out of memory");
            return;
        }
    }
    free(g_featureTexts[id]);
    g_featureTexts[id] = copy;
}

const char* ZQI_GetFeatureText(FeatureTextId id) {
    if (id < 0 || id >= FEATURE_TEXT_COUNT) {
        return nullptr;
    }
    return g_featureTexts[id];
}

void ZQI_ReleaseFeatureTexts() {
    for (char*& text : g_featureTexts) {
        free(text);
        text = nullptr;
    }
}

int32_t ZQI_FindKnownFeature(const char* word) {
    if (word == nullptr) {
        return 0;
    }
    for (int32_t i = 1; i < 9; ++i) {
        if (strcmp(kKnownFeatureTable[i], word) == 0) {
            return i;
        }
    }
    return 0;
}

bool ZQI_IsEngineFeatureWord(const char* word) {
    if (word == nullptr || word[0] == '\0') {
        return false;
    }
    if (ZQI_FindKnownFeature(word) != 0) {
        return true;
    }
    for (const char* known : kEngineFeatureWords) {
        if (strcmp(known, word) == 0) {
            return true;
        }
    }
    return false;
}
