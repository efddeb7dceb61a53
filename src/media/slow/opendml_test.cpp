// Files past 1 GiB: the muxer must turn OpenDML (RIFF AVIX segments, a super index, dmlh) and
// every reader must still see every frame, also when the disk fills up past the first GiB. Its
// own executable, labelled slow: each file is about 1.1 GB, which takes seconds, not the
// milliseconds of the other tests.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "media/avi_writer.h"
#include "tests/support/avi_reader.h"
#include "tests/support/file_limits.h"
#include "tests/support/temp_dir.h"

namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;
constexpr int kFrames = 140;  // 140 x 8,294,400 bytes: 1.16 GB
constexpr int kFrameBytes = kWidth * kHeight * 4;

void Stamp(std::vector<std::uint8_t>& frame, std::uint32_t n) {
  std::memcpy(frame.data(), &n, 4);
  std::memcpy(frame.data() + frame.size() - 4, &n, 4);
}

std::uint32_t StampAt(const std::uint8_t* data, std::size_t offset) {
  std::uint32_t n;
  std::memcpy(&n, data + offset, 4);
  return n;
}

// Writes up to frames stamped frames as the converter does, stopping at the first failed
// write, and finishes the file. The frames written; *finish is the finish's result.
int WriteStamped(const std::string& path, int frames, MediaResult* finish) {
  *finish = MediaResult::Failed("not started");
  AviWriter writer;
  VideoFormat format;
  format.width = kWidth;
  format.height = kHeight;
  format.compressor = FindCompressor(kFullFramesFourCC);
  if (!writer.Open(path) || !writer.Start(format)) return 0;
  std::vector<std::uint8_t> frame(kFrameBytes, 0x5A);
  int written = 0;
  for (; written < frames; ++written) {
    Stamp(frame, static_cast<std::uint32_t>(written));
    if (!writer.Write(frame.data(), frame.size(), written, true)) break;
  }
  *finish = writer.Finish();
  return written;
}

// The file holds frames 0 .. frames - 1, each whole and in order, as every reader sees it.
void ExpectStampedFile(const std::string& path, int frames) {
  testing_support::AviHeaders headers;
  std::string error;
  ASSERT_TRUE(testing_support::ReadAviHeaders(path, &headers, &error)) << error;
  ASSERT_GE(headers.riffForms.size(), 2u);
  EXPECT_EQ(headers.riffForms[0], "AVI ");
  EXPECT_EQ(headers.riffForms[1], "AVIX");
  std::uint64_t chunks = 0;
  for (const std::uint32_t size : headers.riffSizes) chunks += 8 + std::uint64_t{size};
  EXPECT_EQ(chunks, headers.fileSize) << "the RIFF chunks end where the file does";
  EXPECT_TRUE(headers.hasIndx);
  EXPECT_TRUE(headers.hasIdx1) << "old readers see the first segment";
  EXPECT_EQ(headers.dmlhFrames, static_cast<std::uint32_t>(frames));
  EXPECT_EQ(headers.length, static_cast<std::uint32_t>(frames));
  EXPECT_EQ(headers.height, kHeight) << "rows bottom-up";

  int seen = 0;
  int wrong = 0;
  ASSERT_TRUE(testing_support::ForEachAviPacket(
      path,
      [&](const testing_support::AviPacket& packet) {
        const bool ok = packet.size == kFrameBytes && packet.key && packet.pts == seen &&
                        StampAt(packet.data, 0) == std::uint32_t(seen) &&
                        StampAt(packet.data, kFrameBytes - 4) == std::uint32_t(seen) &&
                        packet.data[kFrameBytes / 2] == 0x5A;
        if (!ok) ++wrong;
        ++seen;
      },
      &error))
      << error;
  EXPECT_EQ(seen, frames);
  EXPECT_EQ(wrong, 0);

  if (testing_support::HaveTool("ffprobe")) {
    testing_support::FfprobeView probe;
    EXPECT_TRUE(testing_support::FfprobeRead(path, &probe)) << probe.output;
    EXPECT_EQ(probe.packets, frames) << probe.output;
    EXPECT_EQ(probe.width, kWidth);
  } else {
    std::printf("ffprobe is not installed: the ffprobe read is skipped\n");
  }
  if (testing_support::HaveTool("gst-launch-1.0")) {
    testing_support::GstreamerView gst;
    EXPECT_TRUE(testing_support::GstreamerRead(path, &gst)) << gst.output;
    EXPECT_EQ(gst.buffers, frames) << gst.output;
    EXPECT_EQ(gst.deltaUnits, 0);
  } else {
    std::printf("gst-launch-1.0 is not installed: the GStreamer read is skipped\n");
  }
}

TEST(OpenDmlTest, AnUncompressedFilePastOneGibReadsBackWhole) {
  testing_support::TempDir dir;
  const std::string path = dir.File("large.avi");
  MediaResult finish;
  ASSERT_EQ(WriteStamped(path, kFrames, &finish), kFrames);
  EXPECT_TRUE(finish) << finish.reason();
  EXPECT_GT(std::filesystem::file_size(path), std::uintmax_t{1} << 30);
  ExpectStampedFile(path, kFrames);
}

// A disk that fills up past the first GiB (the size limit of a child process): the segment
// the muxer started there, its indexes and the old index of the first segment all fit in the
// room kept for them.
TEST(OpenDmlTest, AFullDiskPastOneGibLeavesAWholeFile) {
  testing_support::TempDir dir;
  const std::string path = dir.File("full.avi");
  // Room for one frame and a half of the second segment, and for a few more.
  for (const std::uint64_t limit : {1'090'000'000ULL, 1'120'000'000ULL}) {
    SCOPED_TRACE(limit);
    const testing_support::ChildRun run = testing_support::RunWithFileSizeLimit(limit, [&] {
      MediaResult finish;
      const int written = WriteStamped(path, kFrames, &finish);
      return std::to_string(written) + " " + (finish ? "finished" : finish.reason());
    });
    ASSERT_TRUE(run.ok) << run.error;
    int written = 0;
    char finish[16] = {};
    ASSERT_EQ(std::sscanf(run.report.c_str(), "%d %15s", &written, finish), 2) << run.report;
    EXPECT_STREQ(finish, "finished") << run.report;
    EXPECT_LT(written, kFrames);
    EXPECT_GT(std::uint64_t(written + 2) * kFrameBytes, limit) << "no room was wasted";
    ExpectStampedFile(path, written);
  }
}

}  // namespace
