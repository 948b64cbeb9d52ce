// Resource package lists and the graphics package choice (see the header).
#include "startup/ResourcePackages.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "core/CoreState.h"
#include "core/Features.h"
#include "filesystem/FileSystemApi.h"
#include "foundation/StringTokenizer.h"
#include "foundation/TextUtils.h"
#include "startup/ManifestMessages.h"
#include "startup/ManifestState.h"

namespace {

const int32_t kMaxEntries = 32;
const size_t kMaxConditionLength = 63;
const int32_t kMinNameLength = 2;

// Calls visit(entry) for each entry of the list, within the list's limits; visit answers false
// to stop early.
template <typename Visit>
void ForEachEntry(const char* list, Visit visit) {
    if (list == nullptr) {
        return;
    }
    StringTokenizer tokenizer(list, ',');
    for (int32_t i = 0; i < kMaxEntries; ++i) {
        const char* entry = tokenizer.Next();  // null at the end and for an entry too long
        if (entry == nullptr || !visit(entry)) {
            return;
        }
    }
}

// The size the conditions test: the program's current width and height.
const zq_program_t& CurrentProgram() {
    return g_core.program != nullptr ? *g_core.program : g_core.programRecord;
}

// Package names never carry their archive extension: the file system finds the archive itself.
String WithoutPakExtension(const char* name) {
    String result(name);
    result.Replace(".pak", "");
    return result;
}

// ---- Conditions ----

enum Comparison { COMPARE_EQUAL, COMPARE_AT_LEAST, COMPARE_AT_MOST };

// One part of "<w>x<h>": "*" accepts any value; a missing number counts as 0.
struct SizePart {
    bool any;
    int32_t value;
};

SizePart ReadSizePart(const char* size, int32_t index) {
    char field[512];
    SizePart part = {false, 0};
    if (ZQI_GetFieldByChar(field, sizeof(field), size, 'x', index) != nullptr) {
        part.any = field[0] == '*';
        part.value = atoi(field);
    }
    return part;
}

bool Compare(int32_t current, const SizePart& part, Comparison comparison) {
    if (part.any) {
        return true;
    }
    switch (comparison) {
        case COMPARE_AT_LEAST:
            return current >= part.value;
        case COMPARE_AT_MOST:
            return current <= part.value;
        default:
            return current == part.value;
    }
}

// Reads the operator at text and returns where the size begins.
const char* ReadComparison(const char* condition, const char* text, Comparison* comparison) {
    *comparison = COMPARE_EQUAL;
    if (text[0] == '=') {
        return text + (text[1] == '=' ? 2 : 1);
    }
    if (text[0] != '>' && text[0] != '<') {
        return text;
    }
    *comparison = text[0] == '>' ? COMPARE_AT_LEAST : COMPARE_AT_MOST;
    if (text[1] == '=') {
        return text + 2;
    }
    ZQI_ManifestDeveloperPopup(
        1, "prog.xml: res comparison needs to be ==, >=, or <=. '%s' is not supported.", condition);
    return text + 1;
}

bool IsResConditionMet(const char* condition) {
    Comparison comparison;
    const char* size = ReadComparison(condition, condition + strlen("res"), &comparison);
    const zq_program_t& program = CurrentProgram();
    return Compare(program.parameters.width, ReadSizePart(size, 0), comparison) &&
           Compare(program.parameters.height, ReadSizePart(size, 1), comparison);
}

bool IsResolutionConditionMet(const char* condition) {
    const char* size = condition + strlen("resolution");
    if (size[0] == '=') {
        ++size;
    }
    const int32_t width = ReadSizePart(size, 0).value;
    const int32_t height = ReadSizePart(size, 1).value;
    const zq_program_t& program = CurrentProgram();
    const int32_t currentWidth = program.parameters.width;
    const int32_t currentHeight = program.parameters.height;
    return (currentWidth == width && currentHeight == height) ||
           (currentWidth == height && currentHeight == width);
}

// ---- Entries ----

// The name of a conditional entry "@<condition>:<name>" when its condition holds; null when it
// does not or the entry is malformed.
const char* ConditionalEntryName(const char* entry) {
    const char* colon = strchr(entry, ':');
    if (colon == nullptr) {
        return nullptr;
    }
    const size_t length = static_cast<size_t>(colon - (entry + 1));
    if (length > kMaxConditionLength) {
        ZQI_ManifestLog(2, "ZQI_AddConditionalPackages: the condition of '%s' is longer than %d characters.",
                        entry, static_cast<int>(kMaxConditionLength));
        return nullptr;
    }
    char condition[kMaxConditionLength + 1];
    memcpy(condition, entry + 1, length);
    condition[length] = '\0';
    return ZQI_IsPackageConditionMet(condition) ? colon + 1 : nullptr;
}

// The package an entry names without looking at its condition; null when it names none.
const char* EntryPackageName(const char* entry) {
    if (entry[0] != '@') {
        return entry;
    }
    const char* colon = strchr(entry, ':');
    return colon != nullptr ? colon + 1 : nullptr;
}

// The design height a graphics package name ends in: the number after its last "-" or "_".
int32_t GfxPackageHeight(const char* entry) {
    const char* number = entry;
    for (const char* c = entry; *c != '\0'; ++c) {
        if (*c == '-' || *c == '_') {
            number = c + 1;
        }
    }
    return atoi(number);
}

void RemoveSearchPathIfPresent(const char* name) {
    const String path = String::FromFormat("res://%s", name);
    if (ZQ_FileSystem_SearchPathExists(path.CStr())) {
        ZQ_FileSystem_RemoveSearchPath(path.CStr());
    }
}

}  // namespace

bool ZQI_IsPackageConditionMet(const char* condition) {
    if (condition == nullptr) {
        return false;
    }
    // "resolution" before "res", which it begins with.
    if (ZQI_StartsWith(condition, "resolution")) {
        return IsResolutionConditionMet(condition);
    }
    if (ZQI_StartsWith(condition, "res")) {
        return IsResConditionMet(condition);
    }
    if (ZQI_StartsWith(condition, "feature=")) {
        return ZQI_IsFeatureEnabled(condition + strlen("feature="));
    }
    return ZQI_StartsWith(condition, "open");
}

void ZQI_AddSearchPathList(const char* name, bool first) {
    if (name == nullptr) {
        return;
    }
    String package(name);
    if (strstr(name, ".pak") != nullptr) {
        ZQI_ManifestDeveloperPopup(1, "Adding search path with .pak extension! Remove it from '%s'", name);
        package = WithoutPakExtension(name);
    }
    const String path = String::FromFormat("res://%s", package.CStr());
    ZQ_FileSystem_AddSearchPath(path.CStr(), first);
}

void ZQI_AddConditionalPackages(const char* list, bool first) {
    ForEachEntry(list, [first](const char* entry) {
        const char* name = entry[0] == '@' ? ConditionalEntryName(entry) : entry;
        if (name != nullptr && strlen(name) >= static_cast<size_t>(kMinNameLength)) {
            ZQI_AddSearchPathList(name, first);
        }
        return true;
    });
}

void ZQI_RemovePackageSearchPaths(const char* list) {
    ForEachEntry(list, [](const char* entry) {
        if (entry[0] == '\0') {
            return false;
        }
        const char* name = EntryPackageName(entry);
        if (name != nullptr && name[0] != '\0') {
            // Added without ".pak", so looked for without it.
            RemoveSearchPathIfPresent(WithoutPakExtension(name).CStr());
        }
        return true;
    });
}

void ZQI_SelectGfxPackage() {
    const char* list = g_manifest.gfxPackages.CStr();
    ForEachEntry(list, [](const char* entry) {
        RemoveSearchPathIfPresent(entry);
        return true;
    });
    const zq_program_t& program = CurrentProgram();
    const double current = program.parameters.height;
    double best = program.parameters.design_height;
    String chosen;
    ForEachEntry(list, [&](const char* entry) {
        const int32_t height = GfxPackageHeight(entry);
        if (height > 0 && std::fabs(height - current) < std::fabs(current - best)) {
            chosen.Assign(entry);
            best = height;
        }
        return true;
    });
    if (chosen.IsEmpty()) {
        return;
    }
    ZQI_ManifestPrint("Selecting most fitting gfx package '%s'", chosen.CStr());
    const String path = String::FromFormat("res://%s", chosen.CStr());
    ZQ_FileSystem_AddSearchPath(path.CStr(), true);
}

namespace {

const char* ListOrNull(const String& list) {
    return list.IsEmpty() ? nullptr : list.CStr();
}

}  // namespace

const char* ZQI_GetPackageList() {
    return ListOrNull(g_manifest.packages);
}

const char* ZQI_GetAddonPackageList() {
    return ListOrNull(g_manifest.addonPackages);
}

const char* ZQI_GetMusicDataPackage() {
    return ListOrNull(g_manifest.musicPackage);
}

const char* ZQI_GetSoundEffectDataPackage() {
    return ListOrNull(g_manifest.soundFxPackage);
}

const char* ZQI_GetDeveloperPackageList() {
    return ListOrNull(g_manifest.developerPackages);
}

const char* ZQI_GetGfxPackageList() {
    return ListOrNull(g_manifest.gfxPackages);
}

void ZQI_AppendAddonPackage(const char* entry) {
    if (entry == nullptr || entry[0] == '\0') {
        return;
    }
    // No leading "," on an empty list: an empty first entry would end the list for removal.
    if (!g_manifest.addonPackages.IsEmpty()) {
        g_manifest.addonPackages.Append(",");
    }
    g_manifest.addonPackages.Append(entry);
}
