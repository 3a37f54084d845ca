// Frame timing: the frames-per-second meter the overlay prints and the
// limiter behind "Frame sync". Both read the 32-bit millisecond clock and
// compare with unsigned subtraction, so a clock wrap is harmless.
#pragma once

#include <cstdint>

// framePeriod := 1000 / rate. A rate of 0 or below means no limit (period 0).
void SetFrameRate(int32_t framesPerSecond);
void SetFramePeriod(uint32_t milliseconds);
// Busy-waits until framePeriod has passed since the previous release and
// returns the clock value at release.
uint32_t WaitFrame();
// Counts a frame; once at least a second has passed since the window opened,
// recomputes the rate over that window. Returns the last computed rate.
float MeasureFps();
// Spins until at least `milliseconds` have passed; returns the time waited.
uint32_t WaitMilliseconds(uint32_t milliseconds);

// Back to the state at program start (tests run several programs in one
// process).
void ResetFrameTiming();
uint32_t FramePeriod();
