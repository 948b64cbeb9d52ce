// The engine API's re-initialisation request, which needs resolution selection and therefore
// lives with the lifecycle; start-up puts it into the root record.
#pragma once

#include "zorqa.h"

// False when no program or renderer exists, a request is already waiting, or no supported mode
// could be found (the pending size is then reset to the program's current one). Otherwise the
// pending parameters hold the mode and the frame announces and applies it.
bool ZQI_ReinitializeWithParameters(zq_parameters_t* parameters);
// Makes the root slot ReinitializeWithParameters call ZQI_ReinitializeWithParameters, now and in
// every later build of the API tables.
void ZQI_InstallReinitializeRequest();
