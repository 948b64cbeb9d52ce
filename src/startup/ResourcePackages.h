// Resource packages: folders or PAK archives below res:// that the manifest's package lists name,
// added to the file system's search paths at start-up, optionally behind a condition on the
// screen size or a feature word; and the choice of the graphics package that best fits the
// screen height.
//
// A list is a text of entries separated by ","; at most 32 entries are read and an entry of 512
// or more characters ends the list. An entry is a package name, or "@<condition>:<name>" with a
// condition of at most 63 characters:
//   res[==|=|>=|<=]<w>x<h>       the current size compares with the given one ("*" = any value)
//   resolution[=]<w>x<h>         the current size equals the given one in either orientation
//   feature=<word>               the feature word is on
//   open                         always
// anything else never holds.
#pragma once

// Adds "res://<name>" to the search paths (at the front when first is set). A name containing
// ".pak" gets a developer popup and is added without it.
void ZQI_AddSearchPathList(const char* name, bool first);

// Adds every entry of a list whose condition holds; names shorter than 2 characters are skipped.
void ZQI_AddConditionalPackages(const char* list, bool first);

// Removes the search path of every entry of a list (conditions are not evaluated), up to the
// first empty entry.
void ZQI_RemovePackageSearchPaths(const char* list);

// Removes the search paths of the graphics package list, then adds at the front the entry whose
// design height (the number after its last "-" or "_") is strictly closer to the current height
// than the program's design height and every earlier candidate; nothing when there is none.
void ZQI_SelectGfxPackage();

// Whether a package condition (the text between "@" and ":") holds for the current size and
// feature words.
bool ZQI_IsPackageConditionMet(const char* condition);

// The manifest's lists as start-up hands them to the operations above: null when a list is
// absent or empty.
const char* ZQI_GetPackageList();
const char* ZQI_GetAddonPackageList();
const char* ZQI_GetMusicDataPackage();
const char* ZQI_GetSoundEffectDataPackage();
const char* ZQI_GetDeveloperPackageList();
const char* ZQI_GetGfxPackageList();
// Appends an entry to the add-on list (start-up's locale package "data-<locale>"); a "," joins
// it to the entries before it.
void ZQI_AppendAddonPackage(const char* entry);
