// The files the engine itself writes beside others for a moment and then moves into their
// place: a save's "<file>~.saving" and "<file>~.saved" (save://) and a download's
// "~.download-<unique>" in its cache file's folder (cache://). One test decides for every listing
// whether a name is one of them.
#pragma once

// Every such name carries a "~", which no path the file-system API takes may hold: a file the program
// or the player named, or the cache file of a URL, is never taken for one of them, neither
// hidden from a listing nor written over by a save of the file it seems to belong to.

// Added to a save's file name for the file its new contents are written to first.
#define ZQI_SAVING_SUFFIX "~.saving"
// The name such a file takes once it is whole and committed, where it cannot take its file's
// place at once: it is the file's latest save.
#define ZQI_SAVED_SUFFIX "~.saved"
// Begins a download's temporary file name; what follows makes it that download's own.
#define ZQI_DOWNLOAD_PREFIX "~.download-"

// True for a file name (the last part of a path) that is one of the engine's temporaries: a
// name ending in "~.saving" or "~.saved" with text before it, or one holding "~.download-" with
// text after it.
bool ZQI_IsEngineTemporaryName(const char* name);
// True for a name or path ending in "~.saving" with text before it: a save's temporary.
bool ZQI_IsSavingName(const char* name);
// True for a name or path ending in "~.saved" with text before it: a whole save beside its file.
bool ZQI_IsSavedName(const char* name);
