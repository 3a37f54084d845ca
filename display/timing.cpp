#include "display/timing.h"

#include <windows.h>

namespace {

uint32_t framePeriod = 0;
uint32_t lastRelease = 0;
uint32_t limiterSample = 0;
bool limiterSampled = false;
int32_t frameCounter = 0;
uint32_t windowStart = 0;
float framesPerSecond = 0.0f;

}  // namespace

void SetFrameRate(int32_t framesPerSecond) {
  framePeriod = framesPerSecond > 0 ? 1000u / static_cast<uint32_t>(framesPerSecond) : 0u;
}

void SetFramePeriod(uint32_t milliseconds) { framePeriod = milliseconds; }

uint32_t WaitFrame() {
  if (!limiterSampled) {
    limiterSample = timeGetTime();
    limiterSampled = true;
  }
  // Measured from the previous release, so a frame that already took longer
  // than the period passes after the one comparison.
  while (limiterSample - lastRelease < framePeriod) limiterSample = timeGetTime();
  lastRelease = limiterSample;
  return lastRelease;
}

float MeasureFps() {
  ++frameCounter;
  uint32_t now = timeGetTime();
  uint32_t elapsed = now - windowStart;
  if (elapsed >= 1000) {
    framesPerSecond = static_cast<float>(static_cast<double>(frameCounter) * 1000.0 / elapsed);
    frameCounter = 0;
    windowStart = now;
  }
  return framesPerSecond;
}

uint32_t WaitMilliseconds(uint32_t milliseconds) {
  uint32_t start = timeGetTime();
  uint32_t waited = 0;
  while ((waited = timeGetTime() - start) < milliseconds) {
  }
  return waited;
}

void ResetFrameTiming() {
  framePeriod = lastRelease = limiterSample = windowStart = 0;
  limiterSampled = false;
  frameCounter = 0;
  framesPerSecond = 0.0f;
}

uint32_t FramePeriod() { return framePeriod; }
