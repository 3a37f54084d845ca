#include <gtest/gtest.h>

#include "display/timing.h"
#include "support/headless.h"

namespace {

class Timing : public vantor_test::Headless {
 protected:
  void SetUp() override {
    Headless::SetUp();
    ResetFrameTiming();
  }
  // Counts `frames` frames: all but the last with the clock where the
  // previous count left it, the last one read at `at`.
  float CountFrames(int frames, uint32_t at) {
    float value = 0;
    for (int i = 0; i < frames; ++i) {
      platform_test::SetClockManual(i + 1 == frames ? at : lastAt);
      value = MeasureFps();
    }
    lastAt = at;
    return value;
  }
  uint32_t lastAt = 0;
};

TEST_F(Timing, FrameRateSetsTruncatedPeriodAndTreatsNonPositiveAsNoLimit) {
  SetFrameRate(30);
  EXPECT_EQ(FramePeriod(), 33u);
  SetFrameRate(7);
  EXPECT_EQ(FramePeriod(), 142u);
  SetFrameRate(0);
  EXPECT_EQ(FramePeriod(), 0u);
  SetFrameRate(-5);
  EXPECT_EQ(FramePeriod(), 0u);
}

TEST_F(Timing, MeterClosesItsWindowAtOneSecond) {
  // The window opened at clock 0: the first frame after a second closes it.
  EXPECT_FLOAT_EQ(CountFrames(1, 1500), 1000.0f / 1500.0f);

  EXPECT_FLOAT_EQ(CountFrames(60, 2500), 60.0f);
  // 66 frames over 1100 ms is 60 as well.
  EXPECT_FLOAT_EQ(CountFrames(66, 3600), 60.0f);

  // 59 frames over 999 ms leave the window open and the old value standing;
  // the next frame closes it.
  EXPECT_FLOAT_EQ(CountFrames(59, 4599), 60.0f);
  EXPECT_FLOAT_EQ(CountFrames(1, 4600), 60.0f);
  EXPECT_FLOAT_EQ(CountFrames(10, 5600), 10.0f);
}

TEST_F(Timing, MeterShowsNothingBeforeTheFirstSecond) {
  platform_test::SetClockManual(500);
  EXPECT_FLOAT_EQ(MeasureFps(), 0.0f);
  platform_test::SetClockManual(999);
  EXPECT_FLOAT_EQ(MeasureFps(), 0.0f);
  platform_test::SetClockManual(1000);
  EXPECT_FLOAT_EQ(MeasureFps(), 3.0f);
}

TEST_F(Timing, MeterSurvivesClockWrap) {
  platform_test::SetClockManual(4294967290u);
  float opened = MeasureFps();  // closes the window from 0, opens one at the wrap point
  // 16 ms later the clock reads 10: the window stays open.
  platform_test::SetClockManual(10);
  EXPECT_FLOAT_EQ(MeasureFps(), opened);
  // Two frames over exactly 1000 ms across the wrap.
  platform_test::SetClockManual(4294967290u + 1000u);
  EXPECT_FLOAT_EQ(MeasureFps(), 2.0f);
}

TEST_F(Timing, LimiterHoldsThePeriodFromReleaseToRelease) {
  SetFrameRate(30);
  // Every clock read advances the clock by 1 ms, as a busy wait sees it.
  platform_test::SetClockManual(5000, 1);
  uint32_t first = WaitFrame();
  uint32_t second = WaitFrame();
  EXPECT_EQ(second - first, 33u);

  // A frame that already took 50 ms passes after a single read.
  platform_test::SetClockManual(second + 50, 0);
  EXPECT_EQ(WaitFrame(), second + 50);
}

TEST_F(Timing, LimiterWithoutPeriodNeverWaitsAndWrapIsHarmless) {
  platform_test::SetClockManual(4294967280u, 0);
  SetFrameRate(0);
  EXPECT_EQ(WaitFrame(), 4294967280u);
  EXPECT_EQ(WaitFrame(), 4294967280u);

  SetFrameRate(30);
  platform_test::SetClockManual(4294967290u, 1);
  uint32_t release = WaitFrame();
  EXPECT_EQ(release, 4294967280u + 33u);  // wrapped past zero: 17
}

TEST_F(Timing, WaitMillisecondsSpinsAtLeastThatLong) {
  platform_test::SetClockManual(100, 3);
  uint32_t waited = WaitMilliseconds(10);
  EXPECT_GE(waited, 10u);
  EXPECT_LT(waited, 13u);
}

}  // namespace
