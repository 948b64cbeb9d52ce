// The graphics sub-table (root slot 40): every slot but the fonts' (which the fonts subsystem
// fills) put in place by one API table filler, reserved slots with their fixed answers.
#pragma once

#include "zorqa.h"

// Puts the slots into the API's graphics sub-table (nothing when it has none).
void ZQI_InstallGraphicsApi(zq_api_t* api);
// Registers that filler and installs the slots into the current record. Start-up, when the
// renderer object is made.
void ZQI_BuildGraphicsApiTable();
