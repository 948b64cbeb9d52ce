// The resource commands of the named extension calls ("Cache" "ReloadResources" and
// "ListResourceUsage"), for developers working on a running program. Main thread.
#pragma once

// Reloads every counted, reloadable bitmap, font and sound whose file changed since it was loaded
// (in developer mode; outside it every one), with a developer print per resource and per kind.
void ZQI_ReloadChangedResources();

// Logs every bitmap, sound and font with what it holds in system and GPU memory, the totals, and
// the largest resources (at most 80), largest first.
void ZQI_ListResourceUsage();
