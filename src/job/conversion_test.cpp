#include "job/conversion.h"

#include <gtest/gtest.h>

namespace {

TEST(FrameGeometryTest, RateAndSizeFollowTheFirstFrame) {
  struct Case {
    std::size_t columns;
    std::size_t rows;
    double rate;
    int bytes;
  } cases[] = {
      {720, 486, 29.97F, 720 * 486 * 4},
      {640, 500, 29.97F, 640 * 500 * 4},
      {640, 501, 25.0F, 640 * 501 * 4},
      {1920, 1080, 25.0F, 1920 * 1080 * 4},
      {1, 1, 29.97F, 4},
      {32768, 16383, 25.0F, 32768 * 16383 * 4},  // the largest frame that still fits
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.columns << " x " << c.rows);
    const auto geometry = MakeFrameGeometry(c.columns, c.rows);
    ASSERT_TRUE(geometry.has_value());
    EXPECT_EQ(geometry->width, static_cast<int>(c.columns));
    EXPECT_EQ(geometry->height, static_cast<int>(c.rows));
    EXPECT_NEAR(static_cast<double>(geometry->rate.num) / geometry->rate.den, c.rate, 1e-4);
    EXPECT_EQ(geometry->frameByteSize, c.bytes);
  }
}

TEST(FrameGeometryTest, RefusesFramesWhoseByteCountWouldWrap) {
  const std::pair<std::size_t, std::size_t> refused[] = {
      {32768, 16384},
      {65535, 65535},
      {46341, 46341},
      {0, 480},
      {640, 0},
      {0, 0},
      {std::size_t{1} << 32, 1},
  };
  for (const auto& [columns, rows] : refused) {
    EXPECT_FALSE(MakeFrameGeometry(columns, rows).has_value()) << columns << " x " << rows;
  }
}

TEST(MatteFileNameTest, ReplacesAThreeCharacterExtensionElseAppends) {
  const std::pair<const char*, const char*> cases[] = {
      {"D:\\clips\\shot.avi", "D:\\clips\\shot.matte.avi"},
      {"/home/ed/shot.avi", "/home/ed/shot.matte.avi"},
      {"take1.mov", "take1.matte.avi"},
      {"shot.matte.avi", "shot.matte.matte.avi"},
      // No three-character extension: nothing of the name is cut.
      {"edit_v2", "edit_v2.matte.avi"},
      {"out", "out.matte.avi"},
      {"clip", "clip.matte.avi"},
      {"shot.mp4v", "shot.mp4v.matte.avi"},
      {"a.b.c", "a.b.c.matte.avi"},
      // The folder never counts: the matte stays where the user asked.
      {"/home/ed/out/ab", "/home/ed/out/ab.matte.avi"},
      {"/home/ed/v1.0/clip", "/home/ed/v1.0/clip.matte.avi"},
      {"D:\\clips\\ab", "D:\\clips\\ab.matte.avi"},
  };
  for (const auto& [name, matte] : cases) EXPECT_EQ(MatteFileName(name), matte) << name;
}

}  // namespace
