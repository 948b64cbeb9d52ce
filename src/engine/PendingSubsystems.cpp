// Bodies of the stand-ins declared in PendingSubsystems.h: they do nothing.
#include "engine/PendingSubsystems.h"

void ZQI_DrawSoundChannels() {}
