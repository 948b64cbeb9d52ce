// Frame pacing and the frame's time step: the limiter waits out the program's frame time on the
// runtime clock, and the time-step rules turn the elapsed time into what the program sees.
#pragma once

#include <cstdint>

// What one frame hands on: dt after the rules, its whole milliseconds and the program's step.
struct FrameStep {
    float dt;    // seconds, after the rules
    int32_t ms;  // integer part of dt x 1000
    float step;  // ms x 0.001: what Update and Draw receive
};

// Waits until frameTime milliseconds have passed since the previous frame: 1 ms sleeps while more
// than 2 ms remain, then spins. The first call measures from its own first reading. Returns the
// elapsed milliseconds (a 32-bit difference, so the clock's wrap does no harm) and makes the
// current reading the previous one. A frame time of 0 or less does not wait.
int32_t ZQI_WaitForFrameTime(int32_t frameTime);

// The time-step rules: above 0.2 s the step becomes 1/33 s (after a stall the program sees one
// normal step); a negative one becomes 0.001 s, with a warning when developer is set.
float ZQI_DetermineFrameTimeDelta(float dt, bool developer);

// dt = elapsed x 0.001 through the rules, then the whole milliseconds and the program's step.
FrameStep ZQI_MakeFrameStep(int32_t elapsedMilliseconds, bool developer);
