#include "media/avi_writer.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <utility>

#include "media/writer_faults.h"
#include "tests/support/avi_reader.h"
#include "tests/support/file_limits.h"
#include "tests/support/temp_dir.h"

namespace {

using testing::Each;
using testing::ElementsAre;
using testing::HasSubstr;
using testing_support::AviHeaders;
using testing_support::DecodedAvi;
using testing_support::TempDir;
using testing_support::TgaPicture;

constexpr FourCC kFFV1 = MakeFourCC('F', 'F', 'V', '1');
constexpr FourCC kMotionJpeg = MakeFourCC('M', 'J', 'P', 'G');
constexpr FourCC kUtVideo = MakeFourCC('U', 'L', 'R', 'A');

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

VideoFormat FormatOf(FourCC fourcc, const TgaPicture& picture, std::uint32_t rate = 30000,
                     std::uint32_t scale = 1001) {
  VideoFormat format;
  format.width = picture.width;
  format.height = picture.height;
  format.rate = rate;
  format.scale = scale;
  format.compressor = FindCompressor(fourcc);
  return format;
}

// What writing pictures as the output pass does (open, start, key frames until the first
// failure, finish) came to.
struct Written {
  MediaResult start;  // Open's or Start's result
  MediaResult write;  // the first failed write's result
  int frames = 0;     // the writes that succeeded
  MediaResult finish;
  long long inFile = 0;  // the frames the finished file holds, as the writer counts them
  std::string Report() const {
    return std::to_string(frames) + "|" + start.reason() + "|" + write.reason() + "|" +
           finish.reason() + "|" + std::to_string(inFile);
  }
};

Written WriteAll(const std::string& path, FourCC fourcc, const std::vector<TgaPicture>& pictures,
                 std::uint32_t rate = 30000, std::uint32_t scale = 1001) {
  Written result;
  AviWriter writer;
  result.start = writer.Open(path);
  if (result.start) result.start = writer.Start(FormatOf(fourcc, pictures[0], rate, scale));
  if (!result.start) return result;
  for (const TgaPicture& picture : pictures) {
    const std::vector<std::uint8_t> frame = testing_support::FrameBufferOf(picture);
    result.write = writer.Write(frame.data(), frame.size(), result.frames, true);
    if (!result.write) break;
    ++result.frames;
  }
  result.finish = writer.Finish();
  result.inFile = writer.FramesInFile();
  return result;
}

// WriteAll in a child process whose files cannot grow past limit bytes: the frames written and
// the reasons, "" for each step that succeeded.
struct WrittenWithin {
  int frames = -1;
  std::string start, write, finish;
  int inFile = -1;
};

WrittenWithin WriteAllWithin(std::uint64_t limit, const std::string& path, FourCC fourcc,
                             const std::vector<TgaPicture>& pictures) {
  const testing_support::ChildRun run = testing_support::RunWithFileSizeLimit(
      limit, [&] { return WriteAll(path, fourcc, pictures).Report(); });
  EXPECT_TRUE(run.ok) << run.error;
  WrittenWithin result;
  std::vector<std::string> parts(1);
  for (const char c : run.report) {
    if (c == '|') {
      parts.emplace_back();
    } else {
      parts.back() += c;
    }
  }
  EXPECT_EQ(parts.size(), 5u) << run.report;
  if (parts.size() != 5) return result;
  result.frames = std::stoi(parts[0]);
  result.start = parts[1];
  result.write = parts[2];
  result.finish = parts[3];
  result.inFile = std::stoi(parts[4]);
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

class AviWriterTest : public testing::Test {
 protected:
  void TearDown() override { ClearWriterFaults(); }
  TempDir dir;
};

TEST_F(AviWriterTest, OpenFailsWithTheReasonWhereNoFileCanBe) {
  testing_support::WriteFile(dir.File("plain.txt"), "text");
  const struct {
    std::string path;
    const char* why;
  } rows[] = {
      {dir.File("plain.txt/out.avi"), "Not a directory"},
      {dir.File("missing/out.avi"), "No such file or directory"},
      {dir.path().string(), "Is a directory"},
      {"", "No such file or directory"},
  };
  for (const auto& row : rows) {
    AviWriter writer;
    EXPECT_EQ(writer.Open(row.path).reason(),
              "cannot open " + row.path + " for writing: " + row.why);
  }
}

TEST_F(AviWriterTest, AnExistingFileKeepsItsBytesUntilStart) {
  const std::string kept = dir.File("kept.avi");
  testing_support::WriteFile(kept, "precious bytes");
  {
    AviWriter writer;
    ASSERT_TRUE(writer.Open(kept));
  }
  EXPECT_EQ(ReadAll(kept), "precious bytes");

  const std::string fresh = dir.File("fresh.avi");
  {
    AviWriter writer;
    ASSERT_TRUE(writer.Open(fresh));
  }
  EXPECT_EQ(ReadAll(fresh), "") << "created, and empty";

  testing_support::WriteFile(kept, std::string(100000, 'x'));
  ASSERT_TRUE(WriteAll(kept, kFullFramesFourCC, {testing_support::RampPicture(8, 4, 0)}).finish);
  testing_support::ExpectWholeAvi(kept, {testing_support::RampPicture(8, 4, 0)}, true);
  EXPECT_LT(std::filesystem::file_size(kept), 100000u);
}

// One row per catalogue compressor this machine has, at odd sides where it takes them (the
// output pass's round trips cover even ones), and a rate that is no whole number.
class WriterRoundTrip : public AviWriterTest, public testing::WithParamInterface<CompressorInfo> {};

TEST_P(WriterRoundTrip, ReadsBackWhatWasWritten) {
  const CompressorInfo& compressor = GetParam();
  if (CompressorPixelFormat(compressor, 33, 17).empty()) GTEST_SKIP() << "needs other sides";
  const bool fullFrames = compressor.fourcc == kFullFramesFourCC;
  const std::string path = dir.File("round.avi");
  std::vector<TgaPicture> pictures;
  for (int seed = 0; seed < 3; ++seed) {
    pictures.push_back(testing_support::RampPicture(33, 17, seed));
  }
  const Written written = WriteAll(path, compressor.fourcc, pictures, 24000, 1001);
  ASSERT_TRUE(written.finish) << written.Report();

  AviHeaders headers;
  std::string error;
  ASSERT_TRUE(testing_support::ReadAviHeaders(path, &headers, &error)) << error;
  EXPECT_EQ(headers.handler, fullFrames ? 0u : compressor.fourcc);
  EXPECT_EQ(headers.compression, fullFrames ? 0u : compressor.fourcc);
  EXPECT_EQ(headers.rate, 24000u);
  EXPECT_EQ(headers.scale, 1001u);
  EXPECT_EQ(headers.length, 3u);
  EXPECT_EQ(headers.totalFrames, 3u);
  EXPECT_EQ(headers.width, 33);
  EXPECT_EQ(headers.height, 17) << "positive: rows bottom-up";
  EXPECT_TRUE(headers.hasIdx1);

  const DecodedAvi decoded = testing_support::DecodeAviOrFail(path);
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

INSTANTIATE_TEST_SUITE_P(Catalogue, WriterRoundTrip, testing::ValuesIn(AvailableCompressors()),
                         [](const testing::TestParamInfo<CompressorInfo>& info) {
                           std::string name;
                           for (char c : FourCCText(info.param.fourcc)) {
                             if (std::isalnum(static_cast<unsigned char>(c))) name += c;
                           }
                           return name;
                         });

// Motion JPEG's frames are converted to full-range 4:2:0 by hand. Flat colours come back within
// JPEG's rounding at every size, odd last rows and columns included; saturated blue and red are
// where a chroma sample reaches the top of its range.
TEST_F(AviWriterTest, MotionJpegKeepsFlatColoursAtEverySize) {
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
    ASSERT_TRUE(WriteAll(path, kMotionJpeg, pictures).finish);
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
TEST_F(AviWriterTest, MotionJpegCodesGreyFramesAsTheColourConversionWould) {
  if (!FindCompressor(kMotionJpeg)) GTEST_SKIP() << "no Motion JPEG encoder";
  for (const auto& [width, height] : {std::pair{64, 48}, std::pair{45, 35}}) {
    SCOPED_TRACE(std::to_string(width) + "x" + std::to_string(height));
    const TgaPicture grey =
        testing_support::MatteOf(testing_support::RampPicture(width, height, 3));
    TgaPicture coloured = grey;
    // Rows are stored bottom-up, so the top row's last pixel is the last one the grey fill meets.
    coloured.At(width - 1, 0) = {255, 0, 0, 255};
    const std::string path = dir.File("grey.avi");
    ASSERT_TRUE(WriteAll(path, kMotionJpeg, {grey, coloured}).finish);
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

TEST_F(AviWriterTest, SidesACompressorCannotTakeFailTheStartWithTheReason) {
  const struct {
    FourCC fourcc;
    int width, height;
    const char* reason;  // "": the file is written
  } rows[] = {
      {MakeFourCC('M', 'S', 'V', 'C'), 66, 50,
       "Microsoft Video 1 cannot take frames of 66 x 50: needs width and height divisible by 4"},
      {MakeFourCC('M', 'S', 'V', 'C'), 36, 20, ""},
      {MakeFourCC('c', 'v', 'i', 'd'), 33, 16,
       "Cinepak cannot take frames of 33 x 16: needs width and height divisible by 4"},
      {MakeFourCC('c', 'v', 'i', 'd'), 32, 16, ""},
  };
  for (const auto& row : rows) {
    if (!FindCompressor(row.fourcc)) continue;
    SCOPED_TRACE(FourCCText(row.fourcc) + " " + std::to_string(row.width));
    const std::string path = dir.File("size.avi");
    const TgaPicture picture = testing_support::RampPicture(row.width, row.height, 1);
    const Written written = WriteAll(path, row.fourcc, {picture});
    EXPECT_EQ(written.start.reason(), row.reason);
    if (*row.reason != '\0') continue;
    const DecodedAvi decoded = testing_support::DecodeAviOrFail(path);
    ASSERT_EQ(decoded.frames.size(), 1u);
    EXPECT_LT(testing_support::ComparePictures(decoded.frames[0], picture, false).meanDiff, 12.0);
  }
}

TEST_F(AviWriterTest, RefusesWhatWouldReadOutsideTheFrameOrRewriteTheStream) {
  AviWriter writer;
  const std::vector<std::uint8_t> frame(8 * 4 * 4);
  EXPECT_FALSE(writer.Write(frame.data(), frame.size(), 0, true)) << "not open";
  ASSERT_TRUE(writer.Open(dir.File("refused.avi")));
  EXPECT_FALSE(writer.Write(frame.data(), frame.size(), 0, true)) << "not started";
  VideoFormat format = FormatOf(kFFV1, testing_support::RampPicture(8, 4, 0));
  format.rate = 0;
  EXPECT_THAT(writer.Start(format).reason(), HasSubstr("no frame rate"));
  format.rate = 25;
  ASSERT_TRUE(writer.Start(format));
  EXPECT_TRUE(writer.Started());
  EXPECT_FALSE(writer.Start(format)) << "started already";
  EXPECT_THAT(writer.Write(frame.data(), frame.size() - 1, 0, true).reason(),
              HasSubstr("127 bytes is short of 128"));
  ASSERT_TRUE(writer.Write(frame.data(), frame.size(), 0, true));
  EXPECT_FALSE(writer.Write(frame.data(), frame.size(), 0, true)) << "a sample written already";
  ASSERT_TRUE(writer.Finish());
  EXPECT_EQ(writer.FramesInFile(), 1);
  EXPECT_FALSE(writer.Write(frame.data(), frame.size(), 1, true)) << "finished";
}

// A named pipe would take the file's bytes without ever being sought in or finished, or hold the
// open until a reader comes: it is refused at once, with or without a reader.
TEST_F(AviWriterTest, ANamedPipeIsRefusedAtOnce) {
  const std::string pipe = dir.File("pipe.avi");
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  AviWriter writer;
  EXPECT_EQ(writer.Open(pipe).reason(), "cannot open " + pipe + " for writing: not a regular file");
}

TEST_F(AviWriterTest, AFullDiskFailsTheStartWithTheSystemsWords) {
  // A disk with no room for the header: here, a file-size limit of 100 bytes on the child.
  const std::string path = dir.File("full.avi");
  const testing_support::ChildRun run = testing_support::RunWithFileSizeLimit(100, [&] {
    AviWriter writer;
    if (!writer.Open(path)) return std::string("not opened");
    return writer.Start(FormatOf(kFullFramesFourCC, testing_support::RampPicture(16, 16, 0)))
        .reason();
  });
  ASSERT_TRUE(run.ok) << run.error;
  EXPECT_EQ(run.report, "cannot write the header to " + path + ": File too large");
}

TEST_F(AviWriterTest, FinishWritesTheWholeFileOnceAndADroppedWriterFinishesItsFile) {
  const std::vector<TgaPicture> pictures = NoisePictures(2, 16, 8);
  const std::string finished = dir.File("finished.avi");
  const std::string dropped = dir.File("dropped.avi");
  {
    AviWriter writer;
    AviWriter unfinished;
    ASSERT_TRUE(writer.Open(finished));
    ASSERT_TRUE(unfinished.Open(dropped));
    ASSERT_TRUE(writer.Start(FormatOf(kFFV1, pictures[0])));
    ASSERT_TRUE(unfinished.Start(FormatOf(kFFV1, pictures[0])));
    for (int n = 0; n < 2; ++n) {
      const std::vector<std::uint8_t> frame = testing_support::FrameBufferOf(pictures[n]);
      ASSERT_TRUE(writer.Write(frame.data(), frame.size(), n, true));
      ASSERT_TRUE(unfinished.Write(frame.data(), frame.size(), n, true));
    }
    EXPECT_TRUE(writer.Finish());
    EXPECT_EQ(writer.FramesInFile(), 2);
    testing_support::ExpectWholeAvi(finished, pictures, true);
    const std::string bytes = ReadAll(finished);
    EXPECT_TRUE(writer.Finish()) << "the same answer again";
    EXPECT_EQ(ReadAll(finished), bytes) << "and nothing more written";
  }
  testing_support::ExpectWholeAvi(dropped, pictures, true);
}

// The seam's faults fail the named step once; a failed finish still leaves a whole file.
TEST_F(AviWriterTest, InjectedFaultsFailTheNamedStepOnce) {
  const std::string path = dir.File("fault.avi");
  const std::vector<TgaPicture> pictures(3, testing_support::RampPicture(8, 4, 0));
  FailWriterStep(WriterStep::kWrite, 2);
  Written written = WriteAll(path, kFullFramesFourCC, pictures);
  EXPECT_EQ(written.write.reason(), "injected failure");
  EXPECT_TRUE(written.finish);
  testing_support::ExpectWholeAvi(path, FirstOf(pictures, 1), true);

  FailWriterStep(WriterStep::kFinish);
  written = WriteAll(path, kFullFramesFourCC, pictures);
  EXPECT_EQ(written.finish.reason(), "injected failure");
  testing_support::ExpectWholeAvi(path, pictures, true);

  for (const WriterStep step : {WriterStep::kOpen, WriterStep::kStart}) {
    testing_support::WriteFile(path, "older bytes");
    FailWriterStep(step);
    EXPECT_EQ(WriteAll(path, kFullFramesFourCC, pictures).start.reason(), "injected failure");
    EXPECT_EQ(ReadAll(path), "older bytes");
  }
  EXPECT_TRUE(WriteAll(path, kFullFramesFourCC, pictures).finish) << "the faults were used up";
}

// ---- disks that fill up ---------------------------------------------------------------------

// Writes past the process's file size limit fail just as on a full disk, without privileges.
// Each file is left whole with exactly the frames the writer counts in it: those whose writes
// succeeded, fewer when frames were still in flight in the compressor's threads.
TEST_F(AviWriterTest, AFullDiskLeavesAWholeFileOfTheFramesWrittenBeforeIt) {
  // 640 x 480 noise: 1.2 MB a frame, stored, FFV1 or Ut Video alike.
  const std::vector<TgaPicture> pictures = NoisePictures(30, 640, 480);
  const struct {
    const char* what;
    FourCC fourcc;
    std::uint64_t limit;
    int inFlight;  // frames the compressor may hold when a write fails: one per thread
  } rows[] = {
      {"Full Frames, about 5 frames", kFullFramesFourCC, 6'500'000, 0},
      {"Full Frames, about 20 frames", kFullFramesFourCC, 25'000'000, 0},
      {"FFV1 in slices, about 5 frames", kFFV1, 7'000'000, 0},
      {"FFV1, about 20 frames", kFFV1, 27'000'000, 0},
      {"Ut Video, frames in flight, about 20 frames", kUtVideo, 27'000'000, 4},
  };
  for (const auto& row : rows) {
    if (!FindCompressor(row.fourcc)) continue;
    SCOPED_TRACE(row.what);
    SetEncoderThreads(4);
    const std::string path = dir.File("full.avi");
    const WrittenWithin done = WriteAllWithin(row.limit, path, row.fourcc, pictures);
    SetEncoderThreads(0);
    EXPECT_EQ(done.start, "");
    EXPECT_EQ(done.write, "cannot write frame " + std::to_string(done.frames) + " to " + path +
                              ": File too large");
    EXPECT_EQ(done.finish, "");
    ASSERT_GT(done.inFile, 0);
    ASSERT_LT(done.frames, 30);
    EXPECT_LE(done.inFile, done.frames);
    EXPECT_GE(done.inFile, done.frames - row.inFlight);
    testing_support::ExpectWholeAvi(path, FirstOf(pictures, done.inFile), true);
    // The room kept for the file's end is small: one frame more would not have fitted.
    const std::uintmax_t size = std::filesystem::file_size(path);
    EXPECT_GT(size + 2 * size / done.inFile, row.limit);
  }
}

// Every size limit, down to one that leaves no room for an empty file, around the last
// packets and the indexes of small frames: the file is whole, or empty when not even the
// header and the end of an empty file fitted.
TEST_F(AviWriterTest, EveryLimitLeavesAWholeOrAnEmptyFile) {
  const std::vector<TgaPicture> pictures = NoisePictures(12, 16, 8);
  for (const FourCC fourcc : {kFullFramesFourCC, kFFV1}) {
    SCOPED_TRACE(FourCCText(fourcc));
    const std::string path = dir.File("sweep.avi");
    ASSERT_TRUE(WriteAll(path, fourcc, pictures).finish);
    const std::uintmax_t whole = std::filesystem::file_size(path);
    ASSERT_TRUE(WriteAll(path, fourcc, FirstOf(pictures, 1)).finish);
    const std::uintmax_t oneFrame = std::filesystem::file_size(path);
    int previous = 0;
    for (std::uintmax_t limit = oneFrame - 2048; limit < whole + 4096; limit += 61) {
      SCOPED_TRACE(limit);
      const WrittenWithin done = WriteAllWithin(limit, path, fourcc, pictures);
      if (!done.start.empty()) {
        EXPECT_THAT(done.start, HasSubstr("File too large"));
        EXPECT_EQ(previous, 0);
        EXPECT_EQ(std::filesystem::file_size(path), 0u);
        continue;
      }
      EXPECT_EQ(done.finish, "");
      EXPECT_EQ(done.write.empty(), done.frames == 12);
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
TEST_F(AviWriterTest, AtTheSmallestLimitForEveryWriteOnlyAHeldFrameIsLost) {
  const std::vector<TgaPicture> pictures = NoisePictures(8, 64, 32);
  const struct {
    FourCC fourcc;
    int framesInFile;
    bool finishFails;
  } rows[] = {
      {kFullFramesFourCC, 8, false},
      {kFFV1, 8, false},
      {MakeFourCC('H', '2', '6', '4'), 7, true},
  };
  for (const auto& row : rows) {
    if (!FindCompressor(row.fourcc)) continue;
    SCOPED_TRACE(FourCCText(row.fourcc));
    const std::string path = dir.File("held.avi");
    ASSERT_TRUE(WriteAll(path, row.fourcc, pictures).finish);
    std::uint64_t low = 0;  // a limit that fails a write
    std::uint64_t high = std::filesystem::file_size(path) + (1 << 16);  // one that takes all
    while (high - low > 1) {
      const std::uint64_t middle = low + (high - low) / 2;
      (WriteAllWithin(middle, path, row.fourcc, pictures).frames == 8 ? high : low) = middle;
    }

    const WrittenWithin done = WriteAllWithin(high, path, row.fourcc, pictures);

    EXPECT_EQ(done.write, "");
    EXPECT_EQ(done.frames, 8);
    EXPECT_EQ(done.finish, row.finishFails
                               ? "cannot write the last frames to " + path + ": File too large"
                               : "");
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
