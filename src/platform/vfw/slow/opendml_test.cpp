// Files past 1 GiB: the muxer must turn OpenDML (RIFF AVIX segments, a super index, dmlh) and
// every reader must still see every frame. Its own executable, labelled slow: it writes about
// 1.2 GB, which takes seconds, not the milliseconds of the other tests.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "platform/vfw/compressor_catalogue.h"
#include "platform/vfw/vfw.h"
#include "platform/vfw/vfw_trace.h"
#include "tests/support/avi_reader.h"
#include "tests/support/temp_dir.h"
#include "tests/support/vfw_records.h"

namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;
constexpr int kFrames = 140;  // 140 x 8,294,400 bytes: 1.16 GB
constexpr LONG kFrameBytes = kWidth * kHeight * 4;

void Stamp(std::vector<std::uint8_t>& frame, std::uint32_t n) {
  std::memcpy(frame.data(), &n, 4);
  std::memcpy(frame.data() + frame.size() - 4, &n, 4);
}

std::uint32_t StampAt(const std::uint8_t* data, std::size_t offset) {
  std::uint32_t n;
  std::memcpy(&n, data + offset, 4);
  return n;
}

TEST(OpenDmlTest, AnUncompressedFilePastOneGibReadsBackWhole) {
  testing_support::TempDir dir;
  const std::string path = dir.File("large.avi");

  PAVIFILE file = nullptr;
  ASSERT_EQ(AVIFileOpenA(&file, path.c_str(), OF_WRITE | OF_CREATE, nullptr), 0);
  AVISTREAMINFOA info = testing_support::VideoStreamInfo(25, 1);
  PAVISTREAM raw = nullptr;
  PAVISTREAM compressed = nullptr;
  ASSERT_EQ(AVIFileCreateStreamA(file, &raw, &info), 0);
  AVICOMPRESSOPTIONS options{};
  options.fccHandler = kFullFramesFourCC;
  ASSERT_EQ(AVIMakeCompressedStream(&compressed, raw, &options, nullptr), 0);
  BITMAPINFOHEADER format = testing_support::Format32(kWidth, kHeight);
  ASSERT_EQ(AVIStreamSetFormat(compressed, 0, &format, sizeof format), 0);
  std::vector<std::uint8_t> frame(kFrameBytes, 0x5A);
  for (int n = 0; n < kFrames; ++n) {
    Stamp(frame, static_cast<std::uint32_t>(n));
    ASSERT_EQ(AVIStreamWrite(compressed, n, 1, frame.data(), kFrameBytes, AVIIF_KEYFRAME, nullptr,
                             nullptr),
              0)
        << "frame " << n;
  }
  AVIStreamRelease(raw);
  AVIStreamRelease(compressed);
  AVIFileRelease(file);
  ASSERT_EQ(VfwLiveObjects(), 0);
  EXPECT_GT(std::filesystem::file_size(path), std::uintmax_t{1} << 30);

  testing_support::AviHeaders headers;
  std::string error;
  ASSERT_TRUE(testing_support::ReadAviHeaders(path, &headers, &error)) << error;
  ASSERT_GE(headers.riffForms.size(), 2u);
  EXPECT_EQ(headers.riffForms[0], "AVI ");
  EXPECT_EQ(headers.riffForms[1], "AVIX");
  EXPECT_TRUE(headers.hasIndx);
  EXPECT_TRUE(headers.hasIdx1) << "old readers see the first segment";
  EXPECT_EQ(headers.dmlhFrames, static_cast<std::uint32_t>(kFrames));
  EXPECT_EQ(headers.length, static_cast<std::uint32_t>(kFrames));
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
  EXPECT_EQ(seen, kFrames);
  EXPECT_EQ(wrong, 0);

  if (testing_support::HaveTool("ffprobe")) {
    testing_support::FfprobeView probe;
    EXPECT_TRUE(testing_support::FfprobeRead(path, &probe)) << probe.output;
    EXPECT_EQ(probe.packets, kFrames) << probe.output;
    EXPECT_EQ(probe.width, kWidth);
  } else {
    std::printf("ffprobe is not installed: the ffprobe read is skipped\n");
  }
  if (testing_support::HaveTool("gst-launch-1.0")) {
    testing_support::GstreamerView gst;
    EXPECT_TRUE(testing_support::GstreamerRead(path, &gst)) << gst.output;
    EXPECT_EQ(gst.buffers, kFrames) << gst.output;
    EXPECT_EQ(gst.deltaUnits, 0);
  } else {
    std::printf("gst-launch-1.0 is not installed: the GStreamer read is skipped\n");
  }
}

}  // namespace
