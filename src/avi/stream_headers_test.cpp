#include "avi/stream_headers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
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

TEST(StreamHeadersTest, BuildsTheThreeRecordsWithEveryOtherByteZero) {
  ConversionJob job;
  job.width = 720;
  job.height = 486;
  job.rate = 29.97F;
  job.frameByteSize = 720 * 486 * 4;
  std::memset(&job.streamInfo, 0xAB, sizeof job.streamInfo);
  std::memset(&job.bitmapHeader, 0xAB, sizeof job.bitmapHeader);
  std::memset(&job.options, 0xAB, sizeof job.options);

  BuildStreamHeaders(job);

  AVISTREAMINFOA info{};
  info.fccType = streamtypeVIDEO;
  info.dwFlags = 0x10000;
  info.dwScale = 1001;
  info.dwRate = 30000;
  info.dwSuggestedBufferSize = 1399680;
  info.dwQuality = 0xFFFFFFFF;
  info.rcFrame = RECT{0, 0, 720, 486};
  EXPECT_EQ(std::memcmp(&job.streamInfo, &info, sizeof info), 0);

  BITMAPINFOHEADER header{};
  header.biSize = sizeof header;
  header.biWidth = 720;
  header.biHeight = 486;
  header.biPlanes = 1;
  header.biBitCount = 32;
  EXPECT_EQ(std::memcmp(&job.bitmapHeader, &header, sizeof header), 0);

  EXPECT_EQ(job.options.fccType, streamtypeVIDEO);
  EXPECT_EQ(job.options.fccHandler, 0u);
  EXPECT_EQ(job.options.dwKeyFrameEvery, 0xFFFFFFFFu);
  EXPECT_EQ(job.options.dwQuality, 0xFFFFFFFFu);
  EXPECT_EQ(job.options.dwFlags, 8u);
  EXPECT_EQ(job.options.dwInterleaveEvery, 1u);
}

}  // namespace
