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

TEST(CompressorCatalogueTest, FrameSizeReadsInTwoFiguresAndSwitchesUnitsAfterRounding) {
  const struct {
    double bytes;
    const char* text;
  } rows[] = {
      {0, ""},
      {-5, ""},
      {300, "about 1 kB a frame"},
      {12'400, "about 12 kB a frame"},
      {123'456, "about 120 kB a frame"},
      {994'999, "about 990 kB a frame"},
      {995'000, "about 1.0 MB a frame"},
      {999'600, "about 1.0 MB a frame"},
      {3'110'400, "about 3.1 MB a frame"},
      {9'960'000, "about 10 MB a frame"},
      {33'177'600, "about 33 MB a frame"},
      {132'710'400, "about 130 MB a frame"},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(FrameSizeText(row.bytes), row.text) << row.bytes << " bytes";
  }
}

TEST(CompressorCatalogueTest, SummaryEstimatesTheSizeOnlyWhereItIsKnown) {
  const CompressorInfo& full = Entry(kFullFramesFourCC);
  const struct {
    const CompressorInfo* compressor;
    int width, height;
    const char* text;
  } rows[] = {
      // Full Frames are exactly 4 bytes a pixel.
      {&full, 1920, 1080, "lossless, keeps alpha, about 8.3 MB a frame, read nearly everywhere"},
      {&full, 0, 1080, "lossless, keeps alpha, read nearly everywhere"},
      {&full, 640, 0, "lossless, keeps alpha, read nearly everywhere"},
      {&full, 160, 120, "lossless, keeps alpha, about 77 kB a frame, read nearly everywhere"},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(CompressorSummary(*row.compressor, row.width, row.height), row.text)
        << row.width << "x" << row.height;
  }
  // A lossy codec is estimated far smaller than the same frames uncompressed.
  EXPECT_LT(EstimatedFrameBytes(Entry(kMjpg), 1920, 1080) * 4,
            EstimatedFrameBytes(full, 1920, 1080));
  // x264 codes odd sides as 4:4:4, which fewer players read than its 4:2:0.
  EXPECT_NE(CompressorReaders(Entry(kH264), 33, 18), CompressorReaders(Entry(kH264), 34, 18));
  EXPECT_EQ(CompressorReaders(Entry(kH264), 0, 0), CompressorReaders(Entry(kH264), 34, 18));
}

TEST(CompressorCatalogueTest, EveryCompressorHasAnEstimateAndReadersInPlausibleOrder) {
  // A row added without its figures would drop the size from its line without a word.
  const double full = EstimatedFrameBytes(Entry(kFullFramesFourCC), 640, 360);
  for (const CompressorInfo& compressor : AllCompressors()) {
    SCOPED_TRACE(compressor.name);
    const double bytes = EstimatedFrameBytes(compressor, 640, 360);
    EXPECT_GT(bytes, 0);
    EXPECT_LE(bytes, full);
    EXPECT_EQ(compressor.lossless, bytes > full / 4) << "lossy codecs are far smaller";
    EXPECT_FALSE(CompressorReaders(compressor, 640, 360).empty());
  }
}

TEST(CompressorCatalogueTest, FourCCTextReadsInFileOrder) {
  EXPECT_EQ(FourCCText(MakeFourCC('v', 'i', 'd', 's')), "vids");
  EXPECT_EQ(FourCCText(kFullFramesFourCC), "DIB ");
  EXPECT_EQ(FourCCText(0), "");
}

}  // namespace
