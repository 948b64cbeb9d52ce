// The program library loader: finds and loads prog.dll, asks it for the program interface
// record, and frees it again at the end of the run.
#pragma once

#include "zorqa.h"

// Loads "res://prog.dll" (its native path), else "prog.dll" through the system's search order,
// and obtains the record through "ZQ_GetProgramInterface" (the engine's own zero-filled record),
// else "ZQ_GetInterface" (the library's record). Null, after an error popup, when the library
// has neither export or refuses to create the program. When no library loads at all the user is
// told so and the process ends with exit code 1.
zq_program_t* LoadProgramLibrary();

// Frees the library when loaded and clears the core's program record and the handle.
void UnloadProgramLibrary();

// Makes the two functions above the core's program library hooks.
void ZQI_InstallProgramLibraryLoader();
