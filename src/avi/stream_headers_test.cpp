#include "avi/stream_headers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

TEST(StreamHeadersTest, RateIsWholeOrNtscStyle) {
  const struct {
    float rate;
    DWORD dwRate, dwScale;
  } rows[] = {
      {25.0F, 25, 1},         {29.97F, 30000, 1001},
      {23.976F, 24000, 1001}, {59.94F, 60000, 1001},
      {30.0F, 30, 1},         {1.0F, 1, 1},
      {0.0F, 0, 1},           {-25.0F, 0, 1},
      {std::nanf(""), 0, 1},  {std::numeric_limits<float>::infinity(), 0, 1},
  };
  for (const auto& row : rows) {
    DWORD dwRate = 7;
    DWORD dwScale = 7;
    StreamRate(row.rate, &dwRate, &dwScale);
    EXPECT_EQ(dwRate, row.dwRate) << row.rate;
    EXPECT_EQ(dwScale, row.dwScale) << row.rate;
  }
}

}  // namespace
