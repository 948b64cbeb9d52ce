// Stand-ins for the engine API slots of subsystems that are not part of this build (file
// system, the manifest, HTTP). Every stand-in answers "not available": nothing happens,
// the result is zero, false, null or an empty list, and the first call of each slot logs an error
// naming it. A program may call any slot
// without jumping through null; the owning subsystem replaces the stand-ins when it is built.
#pragma once

#include "zorqa.h"

// Lets every stand-in report again on its next call; each build of the API tables does this.
void ZQI_RestartUnavailableReports();

void ZQI_FillUnavailableFileSystemTable(zq_filesystem_api_t* table);
// GetParameter (null), SendHttpRequest and SendRawHttpRequest. The pointer slots (9 to 11) and
// ExtensionCall (17) stay null here: the platform layer and the engine fill them before a program
// is loaded. The HTTP stand-ins still store a new empty buffer through each non-null out pointer,
// as the real slots do, so a program that frees its buffers afterwards stays correct; they answer
// -2 (no socket).
void ZQI_FillUnavailableRootSlots(zq_api_t* api);
