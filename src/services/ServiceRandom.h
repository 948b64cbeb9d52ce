// The simulated services' own pseudo-random generator: the classic linear congruential one
// (state = state * 214013 + 2531011, yielding bits 16 to 30), with its state kept per thread
// and starting at 1 in every thread. It is the engine's own rather than the C library's rand,
// whose state the program and other engine code share and would shift.
#pragma once

#include <cstdint>

// The next draw of the calling thread, 0 to 32767.
int32_t ZQI_ServiceRandom();
// ZQI_ServiceRandom() % n for n >= 1; 0 for n <= 0 (nothing is drawn then).
int32_t ZQI_ServiceRandomBelow(int32_t n);
