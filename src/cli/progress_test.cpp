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
  // The first frame took 4 s, the compressor's setup with it: no rate from it.
  EXPECT_FALSE(meter.Update({0, 1002}, 14.0));
  EXPECT_EQ(meter.Line(), "colour pass: frame 1002 (2 of 120)");
  EXPECT_FALSE(meter.Update({0, 1058}, 16.0));
  // 56 frames in 2 s: 28 fps; 63 colour frames and 120 matte frames left.
  EXPECT_EQ(meter.Line(), "colour pass: frame 1058 (58 of 120), 28.0 fps, 0:07 left");
  EXPECT_EQ(meter.Summary(120, 18.3), "colour pass: 120 frames in 8.3 s (14.5 fps)");

  EXPECT_TRUE(meter.Update({1, 1001}, 18.3));
  EXPECT_EQ(meter.Pass(), 1);
  EXPECT_EQ(meter.Line(), "matte pass: frame 1001 (1 of 120)")
      << "the colour pass's rate is not the matte's";
  EXPECT_FALSE(meter.Update({1, 1002}, 18.5));
  EXPECT_FALSE(meter.Update({1, 1062}, 19.5));
  EXPECT_EQ(meter.Line(), "matte pass: frame 1062 (62 of 120), 60.0 fps, 0:01 left");
  EXPECT_EQ(meter.Summary(61, 19.3), "matte pass: 61 of 120 frames in 1.0 s");
}

}  // namespace
