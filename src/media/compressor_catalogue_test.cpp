#include "media/compressor_catalogue.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <set>
#include <stdexcept>
#include <string>

namespace {

constexpr FourCC kMjpg = MakeFourCC('M', 'J', 'P', 'G');
constexpr FourCC kH264 = MakeFourCC('H', '2', '6', '4');
constexpr FourCC kMsvc = MakeFourCC('M', 'S', 'V', 'C');
constexpr FourCC kCvid = MakeFourCC('c', 'v', 'i', 'd');
constexpr FourCC kUlra = MakeFourCC('U', 'L', 'R', 'A');

const CompressorInfo& Entry(FourCC fourcc) {
  for (const CompressorInfo& info : AllCompressors()) {
    if (info.fourcc == fourcc) return info;
  }
  throw std::logic_error("not in the catalogue: " + FourCCText(fourcc));
}

TEST(CompressorCatalogueTest, FullFramesAlwaysComeFirst) {
  const std::vector<CompressorInfo> available = AvailableCompressors();
  ASSERT_FALSE(available.empty());
  EXPECT_STREQ(available[0].name, "Full Frames (Uncompressed)");
  EXPECT_EQ(available[0].fourcc, kFullFramesFourCC);
  EXPECT_TRUE(available[0].lossless && available[0].keepsAlpha);
  EXPECT_NE(FindCompressor(kFullFramesFourCC), nullptr);
}

TEST(CompressorCatalogueTest, CodesAreUniqueAndMatchedExactly) {
  std::set<FourCC> codes;
  for (const CompressorInfo& info : AllCompressors()) {
    EXPECT_TRUE(codes.insert(info.fourcc).second) << info.name;
  }
  EXPECT_EQ(FindCompressor(0), nullptr);
  EXPECT_EQ(FindCompressor(MakeFourCC('C', 'V', 'I', 'D')), nullptr);
  EXPECT_EQ(FindCompressor(MakeFourCC('m', 'j', 'p', 'g')), nullptr);
}

TEST(CompressorCatalogueTest, PixelFormatFollowsTheFrameSizeAndARefusalSaysWhy) {
  const char* const kBy4 = "needs width and height divisible by 4";
  const struct {
    FourCC fourcc;
    int width, height;
    const char* format;
    const char* refusal;
  } rows[] = {
      {kFullFramesFourCC, 33, 17, "bgra", ""},
      {kUlra, 33, 17, "gbrap", ""},
      {kMjpg, 33, 17, "yuv420p", ""},
      {kH264, 34, 18, "yuv420p", ""},
      {kH264, 33, 18, "yuv444p", ""},
      {kH264, 34, 17, "yuv444p", ""},
      {kMsvc, 36, 20, "rgb555le", ""},
      {kMsvc, 34, 20, "", kBy4},
      {kMsvc, 36, 18, "", kBy4},
      {kMsvc, 66, 50, "", kBy4},
      {kCvid, 32, 16, "rgb24", ""},
      {kCvid, 30, 16, "", kBy4},
      {kMjpg, 0, 16, "", "needs frames of a known size"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(FourCCText(row.fourcc) + " " + std::to_string(row.width) + "x" +
                 std::to_string(row.height));
    EXPECT_EQ(CompressorPixelFormat(Entry(row.fourcc), row.width, row.height), row.format);
    EXPECT_EQ(CompressorRefusal(Entry(row.fourcc), row.width, row.height), row.refusal);
  }
}

TEST(CompressorCatalogueTest, QualityMapsOntoEachCodecsKnob) {
  const struct {
    FourCC fourcc;
    std::uint32_t quality;
    int value;
  } rows[] = {
      {kMjpg, 10000, 2}, {kMjpg, 0, 31},
      {kMjpg, 5000, 17}, {kMjpg, kDefaultQuality, 3},
      {kMjpg, 20000, 2}, {kH264, 10000, 0},
      {kH264, 0, 51},    {kH264, kDefaultQuality, 18},
      {kUlra, 5000, 0},  {kMsvc, kDefaultQuality, 0},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(CodecQualityValue(Entry(row.fourcc), row.quality), row.value)
        << FourCCText(row.fourcc) << " quality " << row.quality;
  }
}

TEST(CompressorCatalogueTest, FourCCTextReadsInFileOrder) {
  EXPECT_EQ(FourCCText(MakeFourCC('v', 'i', 'd', 's')), "vids");
  EXPECT_EQ(FourCCText(kFullFramesFourCC), "DIB ");
  EXPECT_EQ(FourCCText(0), "");
}

}  // namespace
