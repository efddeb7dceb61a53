#include "platform/vfw/vfw.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <utility>

#include "platform/vfw/compressor_catalogue.h"
#include "platform/vfw/vfw_trace.h"
#include "tests/support/avi_reader.h"
#include "tests/support/file_limits.h"
#include "tests/support/scripted_chooser.h"
#include "tests/support/temp_dir.h"
#include "tests/support/vfw_records.h"

namespace {

using testing::Each;
using testing::ElementsAre;
using testing_support::AviHeaders;
using testing_support::DecodedAvi;
using testing_support::TempDir;
using testing_support::TgaPicture;

using testing_support::Format32;
using testing_support::VideoStreamInfo;

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

// Writes pictures through a compressed stream of the layer, as the converter does, and
// releases in the converter's order. Returns the first failing result, or 0.
HRESULT WriteThrough(const std::string& path, FOURCC fourcc,
                     const std::vector<TgaPicture>& pictures, DWORD rate = 30000,
                     DWORD scale = 1001, DWORD quality = kDefaultQuality) {
  PAVIFILE file = nullptr;
  HRESULT hr = AVIFileOpenA(&file, path.c_str(), OF_WRITE | OF_CREATE, nullptr);
  if (hr != 0) return hr;
  AVISTREAMINFOA info = VideoStreamInfo(rate, scale);
  PAVISTREAM raw = nullptr;
  PAVISTREAM compressed = nullptr;
  AVICOMPRESSOPTIONS options{};
  options.fccType = streamtypeVIDEO;
  options.fccHandler = fourcc;
  options.dwQuality = quality;
  BITMAPINFOHEADER format = Format32(pictures[0].width, pictures[0].height);
  hr = AVIFileCreateStreamA(file, &raw, &info);
  if (hr == 0) hr = AVIMakeCompressedStream(&compressed, raw, &options, nullptr);
  if (hr == 0) hr = AVIStreamSetFormat(compressed, 0, &format, sizeof format);
  for (std::size_t i = 0; hr == 0 && i < pictures.size(); ++i) {
    std::vector<std::uint8_t> frame = testing_support::FrameBufferOf(pictures[i]);
    hr = AVIStreamWrite(compressed, static_cast<LONG>(i), 1, frame.data(),
                        static_cast<LONG>(frame.size()), AVIIF_KEYFRAME, nullptr, nullptr);
  }
  if (raw) AVIStreamRelease(raw);
  if (compressed) AVIStreamRelease(compressed);
  AVIFileRelease(file);
  return hr;
}

// What writing pictures through a compressed stream and finishing it came to.
struct Finished {
  HRESULT format = 0;  // AVIStreamSetFormat's result
  HRESULT write = 0;   // the first failed write's result, or 0
  int frames = 0;      // the writes that succeeded
  HRESULT finish = 0;  // AVIStreamFinish's result
};

// As WriteThrough, with AVIStreamFinish after the last write or the first failed one, as the
// converter's pass does.
Finished WriteAndFinish(const std::string& path, FOURCC fourcc,
                        const std::vector<TgaPicture>& pictures) {
  Finished result;
  PAVIFILE file = nullptr;
  result.format = AVIFileOpenA(&file, path.c_str(), OF_WRITE | OF_CREATE, nullptr);
  if (result.format != 0) return result;
  AVISTREAMINFOA info = VideoStreamInfo(30000, 1001);
  PAVISTREAM raw = nullptr;
  PAVISTREAM compressed = nullptr;
  AVICOMPRESSOPTIONS options{};
  options.fccType = streamtypeVIDEO;
  options.fccHandler = fourcc;
  options.dwQuality = kDefaultQuality;
  BITMAPINFOHEADER format = Format32(pictures[0].width, pictures[0].height);
  result.format = AVIFileCreateStreamA(file, &raw, &info);
  if (result.format == 0)
    result.format = AVIMakeCompressedStream(&compressed, raw, &options, nullptr);
  if (result.format == 0) result.format = AVIStreamSetFormat(compressed, 0, &format, sizeof format);
  if (result.format == 0) {
    for (const TgaPicture& picture : pictures) {
      std::vector<std::uint8_t> frame = testing_support::FrameBufferOf(picture);
      result.write =
          AVIStreamWrite(compressed, result.frames, 1, frame.data(),
                         static_cast<LONG>(frame.size()), AVIIF_KEYFRAME, nullptr, nullptr);
      if (result.write != 0) break;
      ++result.frames;
    }
    result.finish = AVIStreamFinish(compressed);
  }
  if (raw) AVIStreamRelease(raw);
  if (compressed) AVIStreamRelease(compressed);
  AVIFileRelease(file);
  return result;
}

// WriteAndFinish in a child process whose files cannot grow past limit bytes.
Finished WriteAndFinishWithin(std::uint64_t limit, const std::string& path, FOURCC fourcc,
                              const std::vector<TgaPicture>& pictures) {
  const testing_support::ChildRun run = testing_support::RunWithFileSizeLimit(limit, [&] {
    const Finished done = WriteAndFinish(path, fourcc, pictures);
    char report[64];
    std::snprintf(report, sizeof report, "%ld %ld %d %ld", static_cast<long>(done.format),
                  static_cast<long>(done.write), done.frames, static_cast<long>(done.finish));
    return std::string(report);
  });
  Finished result;
  long format = 0;
  long write = 0;
  long finish = 0;
  EXPECT_TRUE(run.ok) << run.error;
  EXPECT_EQ(
      std::sscanf(run.report.c_str(), "%ld %ld %d %ld", &format, &write, &result.frames, &finish),
      4)
      << run.report;
  result.format = static_cast<HRESULT>(format);
  result.write = static_cast<HRESULT>(write);
  result.finish = static_cast<HRESULT>(finish);
  return result;
}

std::vector<TgaPicture> FirstOf(const std::vector<TgaPicture>& pictures, int count) {
  return std::vector<TgaPicture>(pictures.begin(), pictures.begin() + count);
}

std::vector<TgaPicture> NoisePictures(int count, int width, int height) {
  std::vector<TgaPicture> pictures;
  for (int i = 0; i < count; ++i) {
    pictures.push_back(testing_support::NoisePicture(width, height, static_cast<unsigned>(i + 1)));
  }
  return pictures;
}

const FOURCC kFFV1 = mmioFOURCC('F', 'F', 'V', '1');

class VfwTest : public testing::Test {
 protected:
  void TearDown() override {
    ClearVfwFaults();
    EXPECT_EQ(VfwLiveObjects(), 0) << "a handle was not released";
  }
  TempDir dir;
};

TEST_F(VfwTest, AnswersVersionOnePointTen) { EXPECT_EQ(VideoForWindowsVersion() >> 16, 0x010Au); }

TEST_F(VfwTest, RecordsKeepThePlatformLayout) {
  EXPECT_EQ(offsetof(AVISTREAMINFOA, dwScale), 20u);
  EXPECT_EQ(offsetof(AVISTREAMINFOA, rcFrame), 52u);
  EXPECT_EQ(offsetof(AVISTREAMINFOA, szName), 76u);
  EXPECT_EQ(offsetof(BITMAPINFOHEADER, biCompression), 16u);
  EXPECT_EQ(offsetof(AVICOMPRESSOPTIONS, dwFlags), 20u);
  EXPECT_EQ(offsetof(AVICOMPRESSOPTIONS, lpFormat), 24u);
  EXPECT_EQ(offsetof(AVICOMPRESSOPTIONS, dwInterleaveEvery), sizeof(void*) == 8 ? 52u : 40u);
}

TEST_F(VfwTest, OpenForWritingFailsWhereNoFileCanBe) {
  testing_support::WriteFile(dir.File("plain.txt"), "text");
  for (const std::string& path : {dir.File("plain.txt/out.avi"), dir.File("missing/out.avi"),
                                  dir.path().string(), std::string()}) {
    PAVIFILE file = reinterpret_cast<PAVIFILE>(1);
    EXPECT_EQ(AVIFileOpenA(&file, path.c_str(), OF_WRITE | OF_CREATE, nullptr), AVIERR_FILEOPEN)
        << path;
    EXPECT_EQ(file, nullptr);
  }
}

TEST_F(VfwTest, OpenForWritingLeavesAnExistingFileUntilAFormatIsSet) {
  const std::string path = dir.File("kept.avi");
  testing_support::WriteFile(path, "precious bytes");
  PAVIFILE file = nullptr;
  ASSERT_EQ(AVIFileOpenA(&file, path.c_str(), OF_WRITE | OF_CREATE, nullptr), 0);
  AVISTREAMINFOA info = VideoStreamInfo(25, 1);
  PAVISTREAM stream = nullptr;
  ASSERT_EQ(AVIFileCreateStreamA(file, &stream, &info), 0);
  AVIStreamRelease(stream);
  AVIFileRelease(file);
  EXPECT_EQ(ReadAll(path), "precious bytes");

  const std::string fresh = dir.File("fresh.avi");
  ASSERT_EQ(AVIFileOpenA(&file, fresh.c_str(), OF_WRITE | OF_CREATE, nullptr), 0);
  AVIFileRelease(file);
  EXPECT_TRUE(std::filesystem::exists(fresh));
  EXPECT_EQ(std::filesystem::file_size(fresh), 0u);
}

TEST_F(VfwTest, SettingTheFormatReplacesAnExistingFile) {
  const std::string path = dir.File("replaced.avi");
  testing_support::WriteFile(path, std::string(100000, 'x'));
  ASSERT_EQ(WriteThrough(path, kFullFramesFourCC, {testing_support::RampPicture(8, 4, 0)}), 0);
  AviHeaders headers;
  std::string error;
  ASSERT_TRUE(testing_support::ReadAviHeaders(path, &headers, &error)) << error;
  EXPECT_EQ(headers.length, 1u);
  EXPECT_LT(std::filesystem::file_size(path), 100000u);
}

// One row per catalogue compressor this machine has: what a file written through it holds.
class CompressorRoundTrip : public VfwTest, public testing::WithParamInterface<CompressorInfo> {};

TEST_P(CompressorRoundTrip, ReadsBackWhatWasWritten) {
  const CompressorInfo& compressor = GetParam();
  const bool fullFrames = compressor.fourcc == kFullFramesFourCC;
  // An even size every compressor takes, and odd sides for those that can take them.
  for (const auto& [width, height] : {std::pair{64, 32}, std::pair{33, 17}}) {
    if (CompressorPixelFormat(compressor, width, height).empty()) continue;
    SCOPED_TRACE(std::to_string(width) + "x" + std::to_string(height));
    const std::string path = dir.File("round.avi");
    std::vector<TgaPicture> pictures;
    for (int seed = 0; seed < 3; ++seed) {
      pictures.push_back(testing_support::RampPicture(width, height, seed));
    }
    ASSERT_EQ(WriteThrough(path, compressor.fourcc, pictures), 0);

    AviHeaders headers;
    std::string error;
    ASSERT_TRUE(testing_support::ReadAviHeaders(path, &headers, &error)) << error;
    EXPECT_EQ(headers.handler, fullFrames ? 0u : compressor.fourcc);
    EXPECT_EQ(headers.compression, fullFrames ? BI_RGB : compressor.fourcc);
    EXPECT_EQ(headers.rate, 30000u);
    EXPECT_EQ(headers.scale, 1001u);
    EXPECT_EQ(headers.length, 3u);
    EXPECT_EQ(headers.totalFrames, 3u);
    EXPECT_EQ(headers.width, width);
    EXPECT_EQ(headers.height, height);
    EXPECT_TRUE(headers.hasIdx1);
    if (fullFrames) {
      EXPECT_EQ(headers.bitCount, 32);
    }

    DecodedAvi decoded;
    ASSERT_TRUE(testing_support::DecodeAvi(path, &decoded, &error)) << error;
    ASSERT_EQ(decoded.frames.size(), 3u);
    EXPECT_THAT(decoded.keyFrames, Each(true));
    EXPECT_THAT(decoded.pts, ElementsAre(0, 1, 2));
    for (std::size_t i = 0; i < pictures.size(); ++i) {
      const auto diff =
          testing_support::ComparePictures(decoded.frames[i], pictures[i], compressor.keepsAlpha);
      if (compressor.lossless) {
        EXPECT_EQ(diff.maxDiff, 0) << "frame " << i << " as " << decoded.pixelFormat;
      } else {
        // Turned over, a frame would differ by about 85 on average (the green ramp).
        EXPECT_LT(diff.meanDiff, 12.0) << "frame " << i << " as " << decoded.pixelFormat;
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Catalogue, CompressorRoundTrip, testing::ValuesIn(AvailableCompressors()),
                         [](const testing::TestParamInfo<CompressorInfo>& info) {
                           std::string name;
                           for (char c : FourCCText(info.param.fourcc)) {
                             if (std::isalnum(static_cast<unsigned char>(c))) name += c;
                           }
                           return name;
                         });

const FOURCC kMotionJpeg = mmioFOURCC('M', 'J', 'P', 'G');

// Motion JPEG's frames are converted to full-range 4:2:0 by hand. Flat colours come back within
// JPEG's rounding at every size, odd last rows and columns included; saturated blue and red are
// where a chroma sample reaches the top of its range.
TEST_F(VfwTest, MotionJpegKeepsFlatColoursAtEverySize) {
  if (!FindCompressor(kMotionJpeg)) GTEST_SKIP() << "no Motion JPEG encoder";
  const std::vector<testing_support::Rgba> colours = {
      {0, 0, 255, 255}, {255, 0, 0, 255},   {0, 255, 0, 255},    {255, 255, 255, 255},
      {0, 0, 0, 255},   {128, 128, 128, 0}, {200, 120, 40, 255}, {30, 90, 220, 255}};
  for (const auto& [width, height] : {std::pair{64, 32}, std::pair{33, 17}, std::pair{1, 1}}) {
    SCOPED_TRACE(std::to_string(width) + "x" + std::to_string(height));
    std::vector<TgaPicture> pictures;
    for (const testing_support::Rgba& colour : colours) {
      pictures.emplace_back(width, height, colour);
    }
    const std::string path = dir.File("flat.avi");
    ASSERT_EQ(WriteThrough(path, kMotionJpeg, pictures), 0);
    const DecodedAvi decoded = testing_support::DecodeAviOrFail(path);
    ASSERT_EQ(decoded.frames.size(), pictures.size());
    for (std::size_t i = 0; i < pictures.size(); ++i) {
      EXPECT_LE(testing_support::ComparePictures(decoded.frames[i], pictures[i], false).maxDiff, 4)
          << "colour " << i;
    }
  }
}

// A grey frame (every matte frame) takes a shorter way to the same picture: a frame that differs
// from it in one pixel, the last one in memory, goes the colour conversion's way and must decode
// the same everywhere but around that pixel. The grey frame's chroma is neutral: it decodes grey.
TEST_F(VfwTest, MotionJpegCodesGreyFramesAsTheColourConversionWould) {
  if (!FindCompressor(kMotionJpeg)) GTEST_SKIP() << "no Motion JPEG encoder";
  for (const auto& [width, height] : {std::pair{64, 48}, std::pair{45, 35}}) {
    SCOPED_TRACE(std::to_string(width) + "x" + std::to_string(height));
    const TgaPicture grey =
        testing_support::MatteOf(testing_support::RampPicture(width, height, 3));
    TgaPicture coloured = grey;
    // Rows are stored bottom-up, so the top row's last pixel is the last one the grey fill meets.
    coloured.At(width - 1, 0) = {255, 0, 0, 255};
    const std::string path = dir.File("grey.avi");
    ASSERT_EQ(WriteThrough(path, kMotionJpeg, {grey, coloured}), 0);
    const DecodedAvi decoded = testing_support::DecodeAviOrFail(path);
    ASSERT_EQ(decoded.frames.size(), 2u);
    const TgaPicture& fast = decoded.frames[0];
    const TgaPicture& general = decoded.frames[1];
    EXPECT_LT(testing_support::ComparePictures(fast, grey, false).meanDiff, 2.0);
    // The changed pixel's 16 x 16 block of the frame, and two pixels past it where the reader's
    // upsampling of chroma reaches.
    const int nearX = (width - 1) / 16 * 16 - 2;
    const int nearY = 16 + 2;
    int differing = 0;
    int tinted = 0;
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        const testing_support::Rgba& p = fast.At(x, y);
        if (p.r != p.g || p.r != p.b) ++tinted;
        if ((x < nearX || y >= nearY) && !(p == general.At(x, y))) ++differing;
      }
    }
    EXPECT_EQ(tinted, 0) << "pixels of the grey frame that decode with colour";
    EXPECT_EQ(differing, 0) << "pixels away from the change that decode differently";
  }
}

TEST_F(VfwTest, RatesAreWrittenAsGiven) {
  const struct { DWORD rate, scale; } rates[] = {{25, 1}, {30000, 1001}, {24000, 1001}};
  for (const auto& r : rates) {
    const std::string path = dir.File("rate.avi");
    ASSERT_EQ(WriteThrough(path, mmioFOURCC('F', 'F', 'V', '1'),
                           {testing_support::RampPicture(8, 8, 0)}, r.rate, r.scale),
              0);
    AviHeaders headers;
    std::string error;
    ASSERT_TRUE(testing_support::ReadAviHeaders(path, &headers, &error)) << error;
    EXPECT_EQ(headers.rate, r.rate);
    EXPECT_EQ(headers.scale, r.scale);
  }
}

TEST_F(VfwTest, SidesACompressorCannotTakeFailTheFormat) {
  const struct {
    FOURCC fourcc;
    int width, height;
    HRESULT expected;
  } rows[] = {
      {mmioFOURCC('M', 'S', 'V', 'C'), 34, 18, AVIERR_BADFORMAT},
      {mmioFOURCC('M', 'S', 'V', 'C'), 36, 20, 0},
      {mmioFOURCC('c', 'v', 'i', 'd'), 33, 16, AVIERR_BADFORMAT},
      {mmioFOURCC('c', 'v', 'i', 'd'), 32, 16, 0},
      // 4:2:0 needs even sides; x264 gets 4:4:4 instead and still works.
      {mmioFOURCC('H', '2', '6', '4'), 33, 17, 0},
      {mmioFOURCC('M', 'J', 'P', 'G'), 33, 17, 0},
      {mmioFOURCC('F', 'M', 'P', '4'), 33, 17, 0},
      {mmioFOURCC('U', 'L', 'R', 'A'), 33, 17, 0},
  };
  for (const auto& row : rows) {
    if (!FindCompressor(row.fourcc)) continue;
    const std::string path = dir.File("size.avi");
    TgaPicture picture = testing_support::RampPicture(row.width, row.height, 1);
    EXPECT_EQ(WriteThrough(path, row.fourcc, {picture}), row.expected)
        << FourCCText(row.fourcc) << " " << row.width << "x" << row.height;
    if (row.expected != 0) continue;
    DecodedAvi decoded;
    std::string error;
    ASSERT_TRUE(testing_support::DecodeAvi(path, &decoded, &error)) << error;
    ASSERT_EQ(decoded.frames.size(), 1u);
    EXPECT_LT(testing_support::ComparePictures(decoded.frames[0], picture, false).meanDiff, 12.0)
        << FourCCText(row.fourcc);
  }
}

TEST_F(VfwTest, RefusesWhatWouldReadOutsideTheFrameOrRewriteTheStream) {
  const std::string path = dir.File("refused.avi");
  PAVIFILE file = nullptr;
  ASSERT_EQ(AVIFileOpenA(&file, path.c_str(), OF_WRITE | OF_CREATE, nullptr), 0);
  AVISTREAMINFOA info = VideoStreamInfo(25, 1);
  PAVISTREAM stream = nullptr;
  ASSERT_EQ(AVIFileCreateStreamA(file, &stream, &info), 0);
  std::vector<std::uint8_t> frame(8 * 4 * 4);
  EXPECT_EQ(AVIStreamWrite(stream, 0, 1, frame.data(), 128, AVIIF_KEYFRAME, nullptr, nullptr),
            AVIERR_BADFORMAT)
      << "no format yet";
  BITMAPINFOHEADER format = Format32(8, 4);
  BITMAPINFOHEADER palette = format;
  palette.biBitCount = 8;
  EXPECT_EQ(AVIStreamSetFormat(stream, 0, &palette, sizeof palette), AVIERR_BADFORMAT);
  ASSERT_EQ(AVIStreamSetFormat(stream, 0, &format, sizeof format), 0);
  EXPECT_EQ(AVIStreamSetFormat(stream, 0, &format, sizeof format), AVIERR_UNSUPPORTED);
  EXPECT_EQ(AVIStreamWrite(stream, 0, 1, frame.data(), 127, AVIIF_KEYFRAME, nullptr, nullptr),
            AVIERR_BADSIZE);
  LONG samples = -1;
  LONG bytes = -1;
  EXPECT_EQ(AVIStreamWrite(stream, 0, 1, frame.data(), 128, AVIIF_KEYFRAME, &samples, &bytes), 0);
  EXPECT_EQ(samples, 1);
  EXPECT_EQ(bytes, 128);
  EXPECT_EQ(AVIStreamWrite(stream, 0, 1, frame.data(), 128, AVIIF_KEYFRAME, nullptr, nullptr),
            AVIERR_BADPARAM);
  EXPECT_EQ(AVIStreamWrite(stream, 1, 2, frame.data(), 256, AVIIF_KEYFRAME, nullptr, nullptr),
            AVIERR_UNSUPPORTED);
  AVICOMPRESSOPTIONS options{};
  options.fccHandler = mmioFOURCC('N', 'O', 'N', 'E');
  PAVISTREAM compressed = reinterpret_cast<PAVISTREAM>(1);
  EXPECT_EQ(AVIMakeCompressedStream(&compressed, stream, &options, nullptr), AVIERR_NOCOMPRESSOR);
  EXPECT_EQ(compressed, nullptr);
  AVIStreamRelease(stream);
  AVIFileRelease(file);
}

TEST_F(VfwTest, StreamInfoOfAFileReadBackSaysWhatTheFileHolds) {
  const std::string path = dir.File("three.avi");
  const TgaPicture picture = testing_support::RampPicture(34, 18, 0);
  ASSERT_EQ(WriteThrough(path, mmioFOURCC('F', 'F', 'V', '1'), {picture, picture, picture}), 0);
  PAVIFILE file = nullptr;
  ASSERT_EQ(AVIFileOpenA(&file, path.c_str(), OF_READ, nullptr), 0);
  PAVISTREAM stream = nullptr;
  ASSERT_EQ(AVIFileGetStream(file, &stream, streamtypeVIDEO, 0), 0);
  AVISTREAMINFOA info{};
  ASSERT_EQ(AVIStreamInfoA(stream, &info, sizeof info), 0);
  EXPECT_EQ(info.fccType, streamtypeVIDEO);
  EXPECT_EQ(info.fccHandler, mmioFOURCC('F', 'F', 'V', '1'));
  EXPECT_EQ(info.dwRate, 30000u);
  EXPECT_EQ(info.dwScale, 1001u);
  EXPECT_EQ(info.dwLength, 3u);
  EXPECT_EQ(info.rcFrame.right, 34);
  EXPECT_EQ(info.rcFrame.bottom, 18);
  EXPECT_EQ(AVIStreamInfoA(nullptr, &info, sizeof info), AVIERR_BADPARAM);
  AVIStreamRelease(stream);
  AVIFileRelease(file);
  EXPECT_EQ(VfwLiveObjects(), 0);
}

TEST_F(VfwTest, ReadsTheFileItWroteBack) {
  const std::string path = dir.File("probe.avi");
  ASSERT_EQ(WriteThrough(path, kFullFramesFourCC, {testing_support::RampPicture(88, 40, 0)}, 25, 1),
            0);
  PAVIFILE file = nullptr;
  ASSERT_EQ(AVIFileOpenA(&file, path.c_str(), OF_READ, nullptr), 0);
  PAVISTREAM stream = nullptr;
  EXPECT_EQ(AVIFileGetStream(file, &stream, 0, 1), AVIERR_NODATA);
  ASSERT_EQ(AVIFileGetStream(file, &stream, 0, 0), 0);
  AVIFileRelease(file);  // the stream keeps the file open

  testing_support::ScriptedChooser chooser;
  chooser.Pick(mmioFOURCC('F', 'F', 'V', '1'), 5000);
  AVICOMPRESSOPTIONS options{};
  options.dwFlags = 0;
  AVICOMPRESSOPTIONS* list[] = {&options};
  EXPECT_EQ(AVISaveOptions(nullptr, 0, 1, &stream, list), 1);
  ASSERT_EQ(chooser.calls.size(), 1u);
  EXPECT_EQ(chooser.calls[0].width, 88);
  EXPECT_EQ(chooser.calls[0].height, 40);
  EXPECT_EQ(options.fccType, streamtypeVIDEO);
  EXPECT_EQ(options.fccHandler, mmioFOURCC('F', 'F', 'V', '1'));
  EXPECT_EQ(options.dwQuality, 5000u);
  EXPECT_EQ(options.dwFlags, AVICOMPRESSF_VALID);
  AVIStreamRelease(stream);

  testing_support::WriteFile(dir.File("not.avi"), "RIFF....WAVE");
  EXPECT_EQ(AVIFileOpenA(&file, dir.File("not.avi").c_str(), OF_READ, nullptr), AVIERR_FILEOPEN);
  EXPECT_EQ(AVIFileOpenA(&file, dir.File("none.avi").c_str(), OF_READ, nullptr), AVIERR_FILEOPEN);
}

TEST_F(VfwTest, ReadsAFramesCountAndDecodesAnyFrameOfIt) {
  // Compressed or stored as they are, frame n comes back as it was written.
  for (const FOURCC fourcc : {mmioFOURCC('F', 'F', 'V', '1'), kFullFramesFourCC}) {
    SCOPED_TRACE(FourCCText(fourcc));
    const std::string path = dir.File("read" + FourCCText(fourcc).substr(0, 3) + ".avi");
    std::vector<TgaPicture> pictures;
    for (int n = 0; n < 5; ++n) pictures.push_back(testing_support::RampPicture(12, 8, n));
    ASSERT_EQ(WriteThrough(path, fourcc, pictures), 0);
    PAVIFILE file = nullptr;
    ASSERT_EQ(AVIFileOpenA(&file, path.c_str(), OF_READ, nullptr), 0);
    PAVISTREAM stream = nullptr;
    ASSERT_EQ(AVIFileGetStream(file, &stream, streamtypeVIDEO, 0), 0);
    EXPECT_EQ(AVIStreamLength(stream), 5);
    std::vector<std::uint8_t> frame(12 * 8 * 4);
    for (const LONG n : {3, 0, 4}) {  // out of order: each read finds its own frame
      LONG bytes = 0;
      ASSERT_EQ(AVIStreamRead(stream, n, 1, frame.data(), static_cast<LONG>(frame.size()), &bytes,
                              nullptr),
                0);
      EXPECT_EQ(bytes, 12 * 8 * 4);
      EXPECT_EQ(frame, testing_support::FrameBufferOf(pictures[n])) << n;
    }
    EXPECT_EQ(AVIStreamRead(stream, 5, 1, frame.data(), static_cast<LONG>(frame.size()), nullptr,
                            nullptr),
              AVIERR_NODATA);
    EXPECT_EQ(AVIStreamRead(stream, 0, 1, frame.data(), static_cast<LONG>(frame.size()) - 1,
                            nullptr, nullptr),
              AVIERR_BUFFERTOOSMALL);
    AVIStreamRelease(stream);
    AVIFileRelease(file);
  }
}

TEST_F(VfwTest, SaveOptionsWithoutAChoiceLeavesTheOptions) {
  AVICOMPRESSOPTIONS options{};
  options.fccHandler = 0;
  options.dwQuality = 0xFFFFFFFF;
  AVICOMPRESSOPTIONS* list[] = {&options};
  PAVISTREAM none = nullptr;
  // No chooser installed: no choice.
  EXPECT_EQ(AVISaveOptions(nullptr, 0, 1, &none, list), 0);
  testing_support::ScriptedChooser chooser;
  chooser.Cancel();
  chooser.Answer(2);
  EXPECT_EQ(AVISaveOptions(nullptr, 0, 1, &none, list), 0);
  EXPECT_EQ(AVISaveOptions(nullptr, 0, 1, &none, list), 2);
  EXPECT_EQ(options.fccHandler, 0u);
  EXPECT_EQ(options.dwQuality, 0xFFFFFFFFu);
  EXPECT_EQ(options.dwFlags, 0u);
}

TEST_F(VfwTest, TheLastReferenceFinishesTheFile) {
  std::vector<std::string> trace;
  SetVfwTrace(&trace);
  const std::string path = dir.File("order.avi");
  PAVIFILE file = nullptr;
  ASSERT_EQ(AVIFileOpenA(&file, path.c_str(), OF_WRITE | OF_CREATE, nullptr), 0);
  AVISTREAMINFOA info = VideoStreamInfo(25, 1);
  PAVISTREAM raw = nullptr;
  ASSERT_EQ(AVIFileCreateStreamA(file, &raw, &info), 0);
  AVICOMPRESSOPTIONS options{};
  options.fccHandler = mmioFOURCC('F', 'F', 'V', '1');
  PAVISTREAM compressed = nullptr;
  ASSERT_EQ(AVIMakeCompressedStream(&compressed, raw, &options, nullptr), 0);
  BITMAPINFOHEADER format = Format32(16, 8);
  ASSERT_EQ(AVIStreamSetFormat(compressed, 0, &format, sizeof format), 0);
  std::vector<std::uint8_t> frame =
      testing_support::FrameBufferOf(testing_support::RampPicture(16, 8, 0));
  ASSERT_EQ(AVIStreamWrite(compressed, 0, 1, frame.data(), 512, AVIIF_KEYFRAME, nullptr, nullptr),
            0);
  // Released file first: it stays open while its streams hold it.
  EXPECT_EQ(AVIFileRelease(file), 1u);
  EXPECT_EQ(AVIStreamRelease(raw), 1u);
  EXPECT_EQ(AVIStreamRelease(compressed), 0u);
  SetVfwTrace(nullptr);
  EXPECT_THAT(trace,
              ElementsAre("vfw:AVIFileOpenA write", "vfw:AVIFileCreateStreamA",
                          "vfw:AVIMakeCompressedStream FFV1", "vfw:AVIStreamSetFormat compressed",
                          "vfw:AVIStreamWrite compressed 0", "vfw:AVIFileRelease",
                          "vfw:AVIStreamRelease uncompressed", "vfw:AVIStreamRelease compressed"));
  DecodedAvi decoded;
  std::string error;
  ASSERT_TRUE(testing_support::DecodeAvi(path, &decoded, &error)) << error;
  EXPECT_EQ(decoded.frames.size(), 1u);
}

TEST_F(VfwTest, AFullDiskFailsWhenTheHeaderIsWritten) {
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full here";
  PAVIFILE file = nullptr;
  ASSERT_EQ(AVIFileOpenA(&file, "/dev/full", OF_WRITE | OF_CREATE, nullptr), 0);
  AVISTREAMINFOA info = VideoStreamInfo(25, 1);
  PAVISTREAM stream = nullptr;
  ASSERT_EQ(AVIFileCreateStreamA(file, &stream, &info), 0);
  BITMAPINFOHEADER format = Format32(16, 16);
  EXPECT_EQ(AVIStreamSetFormat(stream, 0, &format, sizeof format), AVIERR_FILEWRITE);
  AVIStreamRelease(stream);
  AVIFileRelease(file);
}

TEST_F(VfwTest, InjectedFaultsFailTheNamedCallOnce) {
  const std::string path = dir.File("fault.avi");
  FailVfwCall(VfwOp::kWrite, 2);
  const std::vector<TgaPicture> pictures(3, testing_support::RampPicture(8, 4, 0));
  EXPECT_EQ(WriteThrough(path, kFullFramesFourCC, pictures), AVIERR_FILEWRITE);
  DecodedAvi decoded;
  std::string error;
  ASSERT_TRUE(testing_support::DecodeAvi(path, &decoded, &error)) << error;
  EXPECT_EQ(decoded.frames.size(), 1u) << "the frame before the fault stays";
  EXPECT_EQ(WriteThrough(path, kFullFramesFourCC, pictures), 0) << "the fault was used up";
}

// ---- finishing, and disks that fill up ----------------------------------------------------

TEST_F(VfwTest, FinishingWritesTheWholeFileAndReleasesOnlyFree) {
  const std::string path = dir.File("finish.avi");
  const std::vector<TgaPicture> pictures = NoisePictures(2, 16, 8);
  PAVIFILE file = nullptr;
  ASSERT_EQ(AVIFileOpenA(&file, path.c_str(), OF_WRITE | OF_CREATE, nullptr), 0);
  AVISTREAMINFOA info = VideoStreamInfo(25, 1);
  PAVISTREAM raw = nullptr;
  ASSERT_EQ(AVIFileCreateStreamA(file, &raw, &info), 0);
  AVICOMPRESSOPTIONS options{};
  options.fccHandler = kFFV1;
  PAVISTREAM compressed = nullptr;
  ASSERT_EQ(AVIMakeCompressedStream(&compressed, raw, &options, nullptr), 0);
  BITMAPINFOHEADER format = Format32(16, 8);
  ASSERT_EQ(AVIStreamSetFormat(compressed, 0, &format, sizeof format), 0);
  std::vector<std::uint8_t> frame;
  for (LONG n = 0; n < 2; ++n) {
    frame = testing_support::FrameBufferOf(pictures[n]);
    ASSERT_EQ(AVIStreamWrite(compressed, n, 1, frame.data(), 512, AVIIF_KEYFRAME, nullptr, nullptr),
              0);
  }

  EXPECT_EQ(AVIStreamFinish(compressed), 0);

  // Whole while every handle is still held.
  testing_support::ExpectWholeAvi(path, pictures, true);
  const std::string finished = ReadAll(path);
  AVIStreamRelease(raw);
  AVIStreamRelease(compressed);
  AVIFileRelease(file);
  EXPECT_EQ(ReadAll(path), finished) << "the releases wrote nothing more";
}

// Writes past the process's file size limit fail just as on a full disk, without privileges.
// Each file is left whole with exactly the frames whose writes succeeded.
TEST_F(VfwTest, AFullDiskLeavesAWholeFileOfTheFramesWrittenBeforeIt) {
  // 640 x 480 noise: 1.2 MB a frame, stored or FFV1 alike.
  const std::vector<TgaPicture> pictures = NoisePictures(30, 640, 480);
  const struct {
    const char* what;
    FOURCC fourcc;
    std::uint64_t limit;
  } rows[] = {
      {"Full Frames, about 5 frames", kFullFramesFourCC, 6'500'000},
      {"Full Frames, about 20 frames", kFullFramesFourCC, 25'000'000},
      {"FFV1, about 5 frames", kFFV1, 7'000'000},
      {"FFV1, about 20 frames", kFFV1, 27'000'000},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    const std::string path = dir.File("full.avi");
    const Finished done = WriteAndFinishWithin(row.limit, path, row.fourcc, pictures);
    EXPECT_EQ(done.format, 0);
    EXPECT_EQ(done.write, AVIERR_FILEWRITE);
    EXPECT_EQ(done.finish, 0);
    ASSERT_GT(done.frames, 0);
    ASSERT_LT(done.frames, 30);
    testing_support::ExpectWholeAvi(path, FirstOf(pictures, done.frames), true);
    // The room kept for the file's end is small: one frame more would not have fitted.
    const std::uintmax_t size = std::filesystem::file_size(path);
    EXPECT_GT(size + 2 * size / done.frames, row.limit);
  }
}

// Every size limit, down to one that leaves no room for an empty file, around the last
// packets and the indexes of small frames: the file is whole, or empty when not even the
// header and the end of an empty file fitted.
TEST_F(VfwTest, EveryLimitLeavesAWholeOrAnEmptyFile) {
  const std::vector<TgaPicture> pictures = NoisePictures(12, 16, 8);
  for (const FOURCC fourcc : {kFullFramesFourCC, kFFV1}) {
    SCOPED_TRACE(FourCCText(fourcc));
    const std::string path = dir.File("sweep.avi");
    ASSERT_EQ(WriteAndFinish(path, fourcc, pictures).finish, 0);
    const std::uintmax_t whole = std::filesystem::file_size(path);
    ASSERT_EQ(WriteAndFinish(path, fourcc, FirstOf(pictures, 1)).finish, 0);
    const std::uintmax_t oneFrame = std::filesystem::file_size(path);
    int previous = 0;
    for (std::uintmax_t limit = oneFrame - 2048; limit < whole + 4096; limit += 61) {
      SCOPED_TRACE(limit);
      const Finished done = WriteAndFinishWithin(limit, path, fourcc, pictures);
      if (done.format != 0) {
        EXPECT_EQ(done.format, AVIERR_FILEWRITE);
        EXPECT_EQ(previous, 0);
        EXPECT_EQ(std::filesystem::file_size(path), 0u);
        continue;
      }
      EXPECT_EQ(done.finish, 0);
      EXPECT_EQ(done.write, done.frames == 12 ? 0 : AVIERR_FILEWRITE);
      EXPECT_GE(done.frames, previous) << "more room never holds fewer frames";
      previous = done.frames;
      AviHeaders headers;
      std::string error;
      ASSERT_TRUE(testing_support::ReadAviHeaders(path, &headers, &error)) << error;
      EXPECT_EQ(std::uint64_t{headers.riffSizes.at(0)} + 8, headers.fileSize);
      EXPECT_EQ(headers.totalFrames, static_cast<std::uint32_t>(done.frames));
      EXPECT_EQ(headers.length, static_cast<std::uint32_t>(done.frames));
      EXPECT_TRUE(headers.hasIdx1);
      const DecodedAvi decoded = testing_support::DecodeAviOrFail(path);
      ASSERT_EQ(decoded.frames.size(), static_cast<std::size_t>(done.frames));
      for (int i = 0; i < done.frames; ++i) {
        EXPECT_EQ(testing_support::ComparePictures(decoded.frames[i], pictures[i], true).maxDiff,
                  0);
      }
    }
    EXPECT_EQ(previous, 12) << "the largest limits take every frame";
  }
}

// At the smallest size limit that takes every write, the file's end always fits, since room
// for it was kept with each packet. Only a compressor that still holds a frame when the writes
// end (x264 holds one) has a last packet to hand over then; it finds no room, the finish says
// so, and the file is whole without that frame.
TEST_F(VfwTest, AtTheSmallestLimitForEveryWriteOnlyAHeldFrameIsLost) {
  const std::vector<TgaPicture> pictures = NoisePictures(8, 64, 32);
  const struct {
    FOURCC fourcc;
    int framesInFile;
    HRESULT finish;
  } rows[] = {
      {kFullFramesFourCC, 8, 0},
      {kFFV1, 8, 0},
      {mmioFOURCC('H', '2', '6', '4'), 7, AVIERR_FILEWRITE},
  };
  for (const auto& row : rows) {
    if (!FindCompressor(row.fourcc)) continue;
    SCOPED_TRACE(FourCCText(row.fourcc));
    const std::string path = dir.File("held.avi");
    ASSERT_EQ(WriteAndFinish(path, row.fourcc, pictures).finish, 0);
    std::uint64_t low = 0;  // a limit that fails a write
    std::uint64_t high = std::filesystem::file_size(path) + (1 << 16);  // one that takes all
    while (high - low > 1) {
      const std::uint64_t middle = low + (high - low) / 2;
      (WriteAndFinishWithin(middle, path, row.fourcc, pictures).frames == 8 ? high : low) = middle;
    }

    const Finished done = WriteAndFinishWithin(high, path, row.fourcc, pictures);

    EXPECT_EQ(done.write, 0);
    EXPECT_EQ(done.frames, 8);
    EXPECT_EQ(done.finish, row.finish);
    AviHeaders headers;
    std::string error;
    ASSERT_TRUE(testing_support::ReadAviHeaders(path, &headers, &error)) << error;
    EXPECT_EQ(std::uint64_t{headers.riffSizes.at(0)} + 8, headers.fileSize);
    EXPECT_EQ(headers.totalFrames, static_cast<std::uint32_t>(row.framesInFile));
    EXPECT_EQ(headers.length, static_cast<std::uint32_t>(row.framesInFile));
    EXPECT_EQ(testing_support::DecodeAviOrFail(path).frames.size(),
              static_cast<std::size_t>(row.framesInFile));
  }
}

}  // namespace
