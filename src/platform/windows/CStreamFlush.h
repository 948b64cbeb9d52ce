// Flushing what the C streams of every C runtime in the process still buffer, before the process
// is terminated (Cancel on an engine popup): terminating drops those buffers, as exit() would not.
#pragma once

#include <cstdint>

// Flushes the streams of the engine's own C runtime and of every shared C runtime loaded in the
// process (a program library built with another compiler uses another), waiting at most
// waitMilliseconds for them. A stream that another thread holds cannot be flushed; it costs only
// itself where the runtime lets its streams be reached one by one (msvcrt.dll and msvcr80-120:
// the first 20 streams of each), and otherwise the streams its runtime flushes after it.
// Returns once every flush ended or the time is up; flushes still waiting then are left running.
void ZQI_FlushEveryCStream(uint32_t waitMilliseconds);
