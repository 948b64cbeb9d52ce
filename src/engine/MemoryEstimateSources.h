// The resource tables' parts of the memory estimates ("RefreshMemUsageEstimates").
#pragma once

// Start-up: registers each resource table's source with the core (registering again changes
// nothing).
void ZQI_RegisterMemoryEstimateSources();
