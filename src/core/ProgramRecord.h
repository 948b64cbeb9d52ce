// The program interface record: accepting the program library's record (interface version rule),
// checking the identity fields of the manifest record, and the built-in fallback record that
// stands in for an incompatible library while the process ends.
#pragma once

#include <cstddef>
#include <cstdint>

#include "zorqa.h"

// What the platform layer provides to load and unload the program library, and how the process
// ends. Installed during start-up; until then loading finds no record, unloading does nothing
// and ending the process calls exit().
struct ZQI_ProgramLibraryHooks {
    zq_program_t* (*loadLibrary)(void);  // LoadProgramLibrary: the library's record or null
    void (*unloadLibrary)(void);         // UnloadProgramLibrary
    void (*exitProcess)(int32_t code);   // never returns in the product
};

// Installs the hooks (copied). Null, or a null member, restores that default.
void ZQI_SetProgramLibraryHooks(const ZQI_ProgramLibraryHooks* hooks);

// True when the version's major and minor numbers are the engine's (any patch is accepted).
bool ZQI_IsProgramInterfaceVersionSupported(uint32_t version);
// "major.minor.patch" of a version word.
void ZQI_FormatInterfaceVersion(uint32_t version, char* out, size_t size);
// The incompatible-library message naming the program's version first and the required one
// second, cut to size (the engine uses 512 bytes).
void ZQI_FormatIncompatibleProgramMessage(uint32_t programVersion, char* out, size_t size);

// Loads the program library through the hooks and validates its record. False only when no
// record was obtained. An incompatible record unloads the library, puts the fallback record in
// use, reports the message (log and error popup) and ends the process with code 0. On success
// the record gets the engine API, the command line and the developer flag, and becomes the
// record in use.
bool LoadProgramImplementation();

// Makes the fallback record the record in use and sets the fallback flag: all zero except the
// engine's version word, windowed 1, developer 1 and callbacks that succeed and do nothing,
// except Draw, which clears the screen to green; HandleCrash stays null.
zq_program_t* ZQI_UseFallbackProgramRecord();

// Checks the record in use (the manifest record during start-up): copies the developer name and
// the user folder name into the core (the folder name limited to '-', letters and digits, the
// rest turned into '_'; in the developer name '/', backslash and ':' turned into '_'; "Ostrel" and
// "unknown" when empty) and raises one warning popup per
// missing identity field. Start-up carries on in every case.
void ZQI_CheckProgramFields();

// The fallback program's Draw: alpha 1, white, blend mode 1, then a green clear.
void ZQI_DrawFallbackProgram(float dt);
