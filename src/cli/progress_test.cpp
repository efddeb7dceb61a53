#include "cli/progress.h"

#include <gtest/gtest.h>

namespace {

TEST(ProgressTest, ClockShowsMinutesAndHours) {
  EXPECT_EQ(ClockText(0), "0:00");
  EXPECT_EQ(ClockText(6.4), "0:06");
  EXPECT_EQ(ClockText(750), "12:30");
  EXPECT_EQ(ClockText(3723), "1:02:03");
  EXPECT_EQ(ClockText(-3), "0:00");
}

TEST(ProgressTest, LineSaysPassFrameRateAndTimeLeftForBothPasses) {
  ProgressMeter meter(1001, 1120);
  EXPECT_TRUE(meter.Update({0, 1001}, 10.0));
  EXPECT_EQ(meter.Line(), "colour pass: frame 1001 (1 of 120)");
  EXPECT_FALSE(meter.Update({0, 1057}, 12.0));
  // 56 frames in 2 s: 28 fps; 64 colour frames and 120 matte frames left.
  EXPECT_EQ(meter.Line(), "colour pass: frame 1057 (57 of 120), 28.0 fps, 0:07 left");
  EXPECT_EQ(meter.Summary(120, 14.3), "colour pass: 120 frames in 4.3 s (27.9 fps)");

  EXPECT_TRUE(meter.Update({1, 1001}, 14.3));
  EXPECT_EQ(meter.Pass(), 1);
  EXPECT_FALSE(meter.Update({1, 1061}, 15.3));
  EXPECT_EQ(meter.Line(), "matte pass: frame 1061 (61 of 120), 60.0 fps, 0:01 left");
  EXPECT_EQ(meter.Summary(61, 15.3), "matte pass: 61 of 120 frames in 1.0 s");
}

}  // namespace
