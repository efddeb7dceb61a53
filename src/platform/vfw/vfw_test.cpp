#include "platform/vfw/vfw.h"

#include <gtest/gtest.h>

#include "media/compressor_catalogue.h"
#include "tests/support/temp_dir.h"

namespace {

// The pass learns why a call failed from AviLastFailure: the media core's reason, kept per
// call, for the failures the pass tells the user of.
TEST(VfwTest, AFailedCallLeavesTheCoresReason) {
  testing_support::TempDir dir;
  testing_support::WriteFile(dir.File("plain.txt"), "x");
  PAVIFILE file = nullptr;
  const std::string unwritable = dir.File("plain.txt/out.avi");
  EXPECT_EQ(AVIFileOpenA(&file, unwritable.c_str(), OF_WRITE | OF_CREATE, nullptr),
            AVIERR_FILEOPEN);
  EXPECT_EQ(AviLastFailure(), "cannot open " + unwritable + " for writing: Not a directory");

  const CompressorInfo* msvc = FindCompressor(MakeFourCC('M', 'S', 'V', 'C'));
  if (!msvc) GTEST_SKIP() << "no Microsoft Video 1";
  ASSERT_EQ(AVIFileOpenA(&file, dir.File("odd.avi").c_str(), OF_WRITE | OF_CREATE, nullptr), 0);
  AVISTREAMINFOA info{};
  info.dwRate = 25;
  info.dwScale = 1;
  PAVISTREAM stream = nullptr;
  PAVISTREAM compressed = nullptr;
  AVICOMPRESSOPTIONS options{};
  options.fccHandler = msvc->fourcc;
  ASSERT_EQ(AVIFileCreateStreamA(file, &stream, &info), 0);
  ASSERT_EQ(AVIMakeCompressedStream(&compressed, stream, &options, nullptr), 0);
  BITMAPINFOHEADER format{sizeof format, 66, 50, 1, 32, BI_RGB, 0};
  EXPECT_EQ(AVIStreamSetFormat(compressed, 0, &format, sizeof format), AVIERR_BADFORMAT);
  EXPECT_EQ(
      AviLastFailure(),
      "Microsoft Video 1 cannot take frames of 66 x 50: needs width and height divisible by 4");
  AVIFileRelease(file);
}

}  // namespace
