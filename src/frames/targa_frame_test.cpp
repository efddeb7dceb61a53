#include "frames/targa_frame.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "frames/frame_buffer.h"
#include "tests/support/temp_dir.h"
#include "tests/support/tga_writer.h"

namespace {

using testing_support::EncodeTga;
using testing_support::Rgba;
using testing_support::TempDir;
using testing_support::TgaKind;
using testing_support::TgaOptions;
using testing_support::TgaOrigin;
using testing_support::TgaPicture;
using testing_support::WriteFile;
using Bytes = std::vector<std::uint8_t>;

Bytes BytesOf(const Magick::Blob& blob) {
  const auto* p = static_cast<const std::uint8_t*>(blob.data());
  return Bytes(p, p + blob.length());
}

// The frame buffer of path as ImageMagick reads and exports it: what the direct reader must
// give, byte for byte.
Bytes ThroughTheLibrary(const std::string& path, bool matte) {
  Magick::Image image = NewMagickImage();
  EXPECT_TRUE(ReadFrameImage(image, path)) << path;
  Magick::Blob blob;
  ExportFrameBuffer(image, matte, blob);
  return BytesOf(blob);
}

// Wide enough for packets of 128 pixels and rows that are not a multiple of anything, with
// runs of equal pixels among random ones.
TgaPicture Noisy(int width, int height, unsigned seed) {
  std::mt19937 random(seed);
  TgaPicture pic(width, height);
  for (Rgba& p : pic.pixels) {
    const std::uint32_t v = random();
    p = {std::uint8_t(v), std::uint8_t(v >> 8), std::uint8_t(v >> 16), std::uint8_t(v >> 24)};
  }
  for (int x = 10; x < std::min(width, 150); ++x) pic.At(x, 1) = pic.At(9, 1);
  return pic;
}

std::string Header(int imageType, int width, int height, int bits, int descriptor) {
  std::string h = EncodeTga(TgaPicture(1, 1)).substr(0, 18);
  h[2] = static_cast<char>(imageType);
  h[12] = static_cast<char>(width & 0xFF);
  h[13] = static_cast<char>(width >> 8);
  h[14] = static_cast<char>(height & 0xFF);
  h[15] = static_cast<char>(height >> 8);
  h[16] = static_cast<char>(bits);
  h[17] = static_cast<char>(descriptor);
  return h;
}

class TargaFrameTest : public ::testing::Test {
 protected:
  TargaFrameTest() { EnsureMagickReady(); }

  // Reads path directly, expecting it to be taken, and returns the buffer.
  Bytes Direct(const std::string& path, bool matte, FrameSize expected) {
    Magick::Blob blob;
    FrameSize size;
    EXPECT_TRUE(ReadPlainTarga(path, matte, blob, &size)) << path;
    EXPECT_EQ(size.width, expected.width);
    EXPECT_EQ(size.height, expected.height);
    return BytesOf(blob);
  }

  TempDir dir;
};

TEST_F(TargaFrameTest, GivesTheLibrarysBytesForEveryPlainLayout) {
  const TgaPicture pic = Noisy(301, 4, 7);
  for (int bits : {32, 24}) {
    for (bool rle : {false, true}) {
      for (TgaOrigin origin : {TgaOrigin::kBottomLeft, TgaOrigin::kBottomRight,
                               TgaOrigin::kTopLeft, TgaOrigin::kTopRight}) {
        for (int alphaBits : {-1, 0, 8}) {
          SCOPED_TRACE(::testing::Message() << "bits " << bits << " rle " << rle << " origin "
                                            << int(origin) << " alpha bits " << alphaBits);
          TgaOptions options{TgaKind::kTrueColor, bits, rle, origin};
          options.alphaBits = alphaBits;
          options.imageId = alphaBits == 0 ? "made by hand" : "";
          const std::string path = dir.File("shot0001.tga");
          testing_support::WriteTga(path, pic, options);
          for (bool matte : {false, true}) {
            EXPECT_EQ(Direct(path, matte, {pic.width, pic.height}),
                      ThroughTheLibrary(path, matte))
                << (matte ? "matte" : "video");
          }
        }
      }
    }
  }
}

TEST_F(TargaFrameTest, FollowsRunsThatCrossRowsAndIgnoresWhatFollowsThePixels) {
  // 3 × 2, 32-bit bottom-left: a run of four over both rows, then two stored pixels; then a
  // footer of the kind newer Targa files end with.
  std::string file = Header(10, 3, 2, 32, 8);
  file += std::string("\x83\x01\x02\x03\x04", 5);
  file += std::string("\x01\x05\x06\x07\x08\x09\x0A\x0B\x0C", 9);
  file += std::string(8, '\0') + "TRUEVISION-XFILE." + std::string(1, '\0');
  const std::string path = dir.File("cross0001.TGA");
  WriteFile(path, file);
  for (bool matte : {false, true}) {
    EXPECT_EQ(Direct(path, matte, {3, 2}), ThroughTheLibrary(path, matte));
  }
  EXPECT_EQ(Direct(path, false, {3, 2}),
            Bytes({1, 2, 3, 4, 1, 2, 3, 4, 1, 2, 3, 4, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}));
}

TEST_F(TargaFrameTest, LeavesEverythingElseToTheLibrary) {
  const TgaPicture pic = Noisy(20, 3, 11);
  std::string truncatedRaw = EncodeTga(pic);
  truncatedRaw.pop_back();
  std::string truncatedRle = EncodeTga(pic, {TgaKind::kTrueColor, 32, true});
  truncatedRle.resize(truncatedRle.size() - 3);
  std::string sixteenBits = Header(2, 2, 2, 16, 1) + std::string(8, '\x55');
  std::string interleaved = EncodeTga(pic);
  interleaved[17] = static_cast<char>(interleaved[17] | 0x40);
  const std::size_t widest = MagickCore::GetMagickResourceLimit(MagickCore::WidthResource);
  const struct {
    const char* name;
    std::string bytes;
  } cases[] = {
      {"grey0001.tga", EncodeTga(pic, {TgaKind::kGrey, 8, false})},
      {"mapped0001.tga", EncodeTga(pic, {TgaKind::kColorMapped, 32, true})},
      {"sixteen0001.tga", sixteenBits},
      {"interleaved0001.tga", interleaved},
      {"short0001.tga", truncatedRaw},
      {"shortrle0001.tga", truncatedRle},
      {"header0001.tga", EncodeTga(pic).substr(0, 10)},
      {"empty0001.tga", ""},
      {"huge0001.tga", testing_support::TgaHeader(65535, 65535) + std::string(4096, '\x11')},
      {"wide0001.tga", widest < 65535 ? Header(2, int(widest + 1), 1, 32, 8) +
                                            std::string((widest + 1) * 4, '\x22')
                                      : std::string()},
      {"named0001.png", EncodeTga(pic)},
      {"named0001.targa", EncodeTga(pic)},
      {"tga", EncodeTga(pic)},
  };
  Magick::Blob blob(std::string(4, 'x').data(), 4);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = dir.File(c.name);
    WriteFile(path, c.bytes);
    FrameSize size{-1, -1};
    EXPECT_FALSE(ReadPlainTarga(path, false, blob, &size));
    EXPECT_EQ(blob.length(), 4u);
    EXPECT_EQ(size.width, -1);
  }
  FrameSize size;
  EXPECT_FALSE(ReadPlainTarga(dir.File("missing0001.tga"), false, blob, &size));
  std::filesystem::create_directory(dir.File("folder.tga"));
  EXPECT_FALSE(ReadPlainTarga(dir.File("folder.tga"), false, blob, &size));
}

}  // namespace
