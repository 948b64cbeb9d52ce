// The two modules built into the engine: "Local Fallbacks" (the fallback in-app purchase
// implementation and the local leaderboards database) and "Simulation" (simulated cloud,
// leaderboards and social network for development). Each makes its implementations in
// Initialize, by feature word, and deletes them in Shutdown.
#pragma once

#include "services/ExtensionModule.h"

// Heap-made modules for RegisterExtensionModule (destroyed through their destructor slot);
// null when out of memory.
ExtensionModule* ZQI_NewLocalFallbacksModule();
ExtensionModule* ZQI_NewSimulatedModule();
