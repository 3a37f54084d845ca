// The millisecond clock: SDL's ticks, or a clock the tests drive by hand.
#include <mmsystem.h>
#include <vantor/platform_test.h>

#include <atomic>

#include "winstate.h"

namespace {

// Readers may be on any thread (the audio thread times its notifications).
std::atomic<bool> manualClock{false};
std::atomic<uint32_t> manualNow{0};
std::atomic<uint32_t> manualStep{0};

DWORD RealNow() {
  // Truncation is the point: a 32-bit clock that wraps like the platform's.
  return static_cast<DWORD>(SDL_GetTicks64());
}

}  // namespace

namespace vt {

DWORD ClockNow() { return manualClock.load() ? manualNow.load() : RealNow(); }

}  // namespace vt

extern "C" DWORD WINAPI timeGetTime(void) {
  if (!manualClock.load()) return RealNow();
  // Unsigned arithmetic wraps at 2^32, as the platform's clock does.
  return manualNow.fetch_add(manualStep.load());
}

extern "C" void WINAPI Sleep(DWORD milliseconds) {
  // A manual clock moves by the time slept, so that loops waiting on the
  // clock with Sleep end under a still test clock too.
  if (manualClock.load()) manualNow.fetch_add(milliseconds);
  SDL_Delay(milliseconds);
}

namespace platform_test {

void SetClockManual(uint32_t now, uint32_t stepPerRead) {
  manualNow.store(now);
  manualStep.store(stepPerRead);
  manualClock.store(true);
}

void AdvanceClock(uint32_t milliseconds) { manualNow.fetch_add(milliseconds); }

void UseRealClock() { manualClock.store(false); }

}  // namespace platform_test
