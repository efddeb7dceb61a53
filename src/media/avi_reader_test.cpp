#include "media/avi_reader.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "media/avi_writer.h"
#include "tests/support/avi_reader.h"
#include "tests/support/temp_dir.h"

namespace {

using testing::HasSubstr;
using testing_support::TempDir;
using testing_support::TgaPicture;

// Writes pictures as the output pass does; false when any step failed.
bool Write(const std::string& path, FourCC fourcc, const std::vector<TgaPicture>& pictures) {
  AviWriter writer;
  VideoFormat format;
  format.width = pictures[0].width;
  format.height = pictures[0].height;
  format.rate = 30000;
  format.scale = 1001;
  format.compressor = FindCompressor(fourcc);
  if (!writer.Open(path) || !writer.Start(format)) return false;
  for (std::size_t n = 0; n < pictures.size(); ++n) {
    const std::vector<std::uint8_t> frame = testing_support::FrameBufferOf(pictures[n]);
    if (!writer.Write(frame.data(), frame.size(), static_cast<long long>(n), true)) return false;
  }
  return writer.Finish().ok();
}

TEST(AviReaderTest, ReadsTheFactsAndAnyFrameAsWritten) {
  TempDir dir;
  // Compressed or stored as they are, frame n comes back as it was written.
  for (const FourCC fourcc : {MakeFourCC('F', 'F', 'V', '1'), kFullFramesFourCC}) {
    SCOPED_TRACE(FourCCText(fourcc));
    const std::string path = dir.File("read.avi");
    std::vector<TgaPicture> pictures;
    for (int n = 0; n < 5; ++n) pictures.push_back(testing_support::RampPicture(12, 8, n));
    ASSERT_TRUE(Write(path, fourcc, pictures));

    AviReader reader;
    ASSERT_TRUE(reader.Open(path));
    const AviStreamFacts& facts = reader.Facts();
    EXPECT_EQ(facts.handler, fourcc == kFullFramesFourCC ? 0u : fourcc);
    EXPECT_EQ(facts.width, 12);
    EXPECT_EQ(facts.height, 8);
    EXPECT_EQ(facts.rate, 30000u);
    EXPECT_EQ(facts.scale, 1001u);
    EXPECT_EQ(facts.frames, 5);
    std::vector<unsigned char> frame;
    for (const long long n : {3, 0, 4}) {  // out of order: each read finds its own frame
      ASSERT_TRUE(reader.ReadFrame(n, frame));
      EXPECT_EQ(frame, testing_support::FrameBufferOf(pictures[n])) << n;
    }
    for (const long long n : {5LL, -1LL}) {
      EXPECT_EQ(reader.ReadFrame(n, frame).reason(),
                "frame " + std::to_string(n) + " of " + path + " is not there: it holds 5 frames");
    }
  }
}

TEST(AviReaderTest, RefusesWhatIsNoAviFileWithTheReason) {
  TempDir dir;
  testing_support::WriteFile(dir.File("not.avi"), "RIFF....WAVE");
  ASSERT_EQ(::mkfifo(dir.File("pipe.avi").c_str(), 0600), 0);
  const struct {
    std::string path;
    std::string reason;
  } rows[] = {
      {dir.File("none.avi"), "cannot open " + dir.File("none.avi") + ": No such file or directory"},
      {dir.File("pipe.avi"), "cannot open " + dir.File("pipe.avi") + ": not a regular file"},
      {dir.path().string(), "cannot open " + dir.path().string() + ": not a regular file"},
      {dir.File("not.avi"), dir.File("not.avi") + " is not an AVI file: "},
  };
  for (const auto& row : rows) {
    AviReader reader;
    EXPECT_THAT(reader.Open(row.path).reason(), HasSubstr(row.reason));
    EXPECT_EQ(reader.Facts().frames, 0);
    std::vector<unsigned char> frame;
    EXPECT_FALSE(reader.ReadFrame(0, frame));
  }
}

}  // namespace
