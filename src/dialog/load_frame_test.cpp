#include <Magick++.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "dialog/converter_dlg.h"
#include "frames/frame_buffer.h"
#include "tests/support/scripted_user.h"
#include "tests/support/temp_dir.h"
#include "tests/support/tga_writer.h"

namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using testing_support::FrameBufferOf;
using testing_support::Rgba;
using testing_support::ScriptedUser;
using testing_support::TempDir;
using testing_support::TgaKind;
using testing_support::TgaOptions;
using testing_support::TgaOrigin;
using testing_support::TgaPicture;
using testing_support::WriteFile;
using testing_support::WriteTga;
using Bytes = std::vector<std::uint8_t>;

// 5 × 3 with every pixel different, so that any flip, mirror or swizzle shows, and a run of
// equal pixels in the middle row for the run-length encoder.
TgaPicture Asymmetric() {
  TgaPicture pic(5, 3);
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 5; ++x) {
      pic.At(x, y) = {static_cast<std::uint8_t>(10 + 40 * x + y),
                      static_cast<std::uint8_t>(200 - 60 * y + x),
                      static_cast<std::uint8_t>(7 * x + 30 * y),
                      static_cast<std::uint8_t>(x == 0 ? 255 : 50 * x + y)};
    }
  }
  pic.At(2, 1) = pic.At(3, 1) = pic.At(4, 1);
  return pic;
}

// A PNG of 16-bit red, green, blue, alpha samples (stored, not compressed), written here so
// that nothing but the file format decides what the reader sees. badTextCrc adds a tEXt chunk
// whose checksum is wrong, which the reader reports as a warning and skips.
std::uint32_t Crc32(const std::string& bytes) {
  std::uint32_t crc = 0xFFFFFFFFu;
  for (unsigned char c : bytes) {
    crc ^= c;
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

void PutBig32(std::string& out, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<char>(v >> shift));
}

std::string Chunk(const std::string& type, const std::string& data, bool badCrc = false) {
  std::string out;
  PutBig32(out, static_cast<std::uint32_t>(data.size()));
  out += type + data;
  PutBig32(out, Crc32(type + data) ^ (badCrc ? 1u : 0u));
  return out;
}

using Rgba16 = std::array<std::uint16_t, 4>;

std::string EncodePng16(int width, int height, const std::vector<Rgba16>& pixels,
                        bool badTextCrc = false) {
  std::string ihdr;
  PutBig32(ihdr, width);
  PutBig32(ihdr, height);
  ihdr += std::string("\x10\x06\x00\x00\x00", 5);  // 16-bit, RGBA, deflate, no filter, no interlace
  std::string raw;
  for (int y = 0; y < height; ++y) {
    raw.push_back(0);  // filter: none
    for (int x = 0; x < width; ++x) {
      for (std::uint16_t s : pixels[y * width + x]) {
        raw.push_back(static_cast<char>(s >> 8));
        raw.push_back(static_cast<char>(s & 0xFF));
      }
    }
  }
  std::string z = "\x78\x01";
  z.push_back(1);  // the one and last stored block
  z.push_back(static_cast<char>(raw.size() & 0xFF));
  z.push_back(static_cast<char>(raw.size() >> 8));
  z.push_back(static_cast<char>(~raw.size() & 0xFF));
  z.push_back(static_cast<char>((~raw.size() >> 8) & 0xFF));
  z += raw;
  std::uint32_t a = 1, b = 0;
  for (unsigned char c : raw) {
    a = (a + c) % 65521;
    b = (b + a) % 65521;
  }
  PutBig32(z, b << 16 | a);

  std::string png = "\x89PNG\r\n\x1a\n";
  png += Chunk("IHDR", ihdr);
  if (badTextCrc) png += Chunk("tEXt", std::string("Comment\0made by hand", 20), true);
  png += Chunk("IDAT", z);
  png += Chunk("IEND", "");
  return png;
}

class LoadFrameTest : public ::testing::Test {
 protected:
  LoadFrameTest() { user.Attach(dlg); }

  Bytes Buffer() const {
    const std::size_t n = std::size_t(dlg.m_nFrameWidth) * dlg.m_nFrameHeight * 4;
    return Bytes(dlg.m_pFrameData, dlg.m_pFrameData + n);
  }

  // Writes pic as a Targa file, loads it, and returns the buffer.
  Bytes Load(const TgaPicture& pic, const TgaOptions& options, bool matte,
             const std::string& name = "shot0001.tga") {
    WriteTga(dir.File(name), pic, options);
    EXPECT_TRUE(dlg.LoadFrame(dir.File(name).c_str(), matte));
    EXPECT_EQ(dlg.m_nFrameWidth, pic.width);
    EXPECT_EQ(dlg.m_nFrameHeight, pic.height);
    return Buffer();
  }

  TempDir dir;
  CConverterDlg dlg;
  ScriptedUser user;
};

TEST_F(LoadFrameTest, ConvertsOnePixelToVideoAndMatteOrder) {
  const TgaPicture pic(1, 1, {10, 20, 30, 40});
  EXPECT_THAT(Load(pic, {}, false), ElementsAre(30, 20, 10, 40));
  EXPECT_THAT(Load(pic, {}, true), ElementsAre(40, 40, 40, 40));
  EXPECT_TRUE(user.boxes.empty());
}

TEST_F(LoadFrameTest, PutsTheTopRowOfThePictureLastInMemory) {
  TgaPicture pic(2, 2);
  pic.At(0, 0) = pic.At(1, 0) = {255, 0, 0, 255};  // top: red
  pic.At(0, 1) = pic.At(1, 1) = {0, 0, 255, 255};  // bottom: blue
  EXPECT_THAT(Load(pic, {}, false),
              ElementsAre(255, 0, 0, 255, 255, 0, 0, 255, 0, 0, 255, 255, 0, 0, 255, 255));
}

TEST_F(LoadFrameTest, FollowsThePictureInEveryTargaLayout) {
  for (TgaKind kind : {TgaKind::kTrueColor, TgaKind::kGrey, TgaKind::kColorMapped}) {
    for (int bits : {32, 24}) {
      if (kind == TgaKind::kGrey && bits == 24) continue;
      for (bool rle : {false, true}) {
        for (TgaOrigin origin : {TgaOrigin::kBottomLeft, TgaOrigin::kBottomRight,
                                 TgaOrigin::kTopLeft, TgaOrigin::kTopRight}) {
          SCOPED_TRACE(::testing::Message() << "kind " << int(kind) << " bits " << bits << " rle "
                                            << rle << " origin " << int(origin));
          TgaPicture pic = Asymmetric();
          for (Rgba& p : pic.pixels) {
            if (kind == TgaKind::kGrey) p.g = p.b = p.r;
            if (kind == TgaKind::kGrey || bits == 24) p.a = 255;
          }
          const TgaOptions options{kind, bits, rle, origin};
          EXPECT_EQ(Load(pic, options, false), FrameBufferOf(pic, false));
          EXPECT_EQ(Load(pic, options, true), FrameBufferOf(pic, true));
        }
      }
    }
  }
  EXPECT_TRUE(user.boxes.empty());
}

TEST_F(LoadFrameTest, MatteIsWhiteWhereOpaqueAndBlackWhereClear) {
  const TgaPicture opaque(3, 2, {12, 34, 56, 255});
  EXPECT_EQ(Load(opaque, {}, true), Bytes(24, 255));
  EXPECT_THAT(Load(opaque, {}, false), ::testing::Each(::testing::AnyOf(12, 34, 56, 255)));

  const TgaPicture clear(3, 2, {12, 34, 56, 0});
  EXPECT_EQ(Load(clear, {}, true), Bytes(24, 0));
  const Bytes video = Load(clear, {}, false);
  EXPECT_THAT(Bytes(video.begin(), video.begin() + 4), ElementsAre(56, 34, 12, 0));
}

TEST_F(LoadFrameTest, ExportsSixteenBitSamplesAsEightBits) {
  // 257 × k is the 16-bit form of the 8-bit sample k; the others round to the nearest k, as the
  // library's own 8-bit export does (0x00F0 to 1, 0x0181 to 1, 0x0182 to 2, 0x8000 to 128,
  // 0xFF80 to 255).
  const std::vector<Rgba16> pixels = {
      {257 * 10, 257 * 20, 257 * 30, 257 * 40},
      {0xFFFF, 0, 0x00F0, 0xFFFF},
      {0xFF80, 0x0181, 0x0182, 0x8000},
      {257 * 7, 257 * 8, 257 * 9, 257 * 10},
      {0, 0, 0, 0},
      {257 * 200, 257 * 100, 257 * 50, 257 * 255},
      {0x00F0, 0x00F0, 0x00F0, 0x00F0},
      {0xFFFF, 0xFFFF, 0xFFFF, 0},
  };
  const std::string path = dir.File("deep0001.png");
  WriteFile(path, EncodePng16(4, 2, pixels));
  ASSERT_TRUE(dlg.LoadFrame(path.c_str(), false));
  EXPECT_EQ(dlg.m_nFrameWidth, 4);
  EXPECT_EQ(dlg.m_nFrameHeight, 2);
  EXPECT_THAT(Buffer(), ElementsAreArray<int>({0,  0,  0,   0,   50,  100, 200, 255,  // bottom row
                                               1,  1,  1,   1,   255, 255, 255, 0,    //
                                               30, 20, 10,  40,  1,   0,   255, 255,  // top row
                                               2,  1,  255, 128, 9,   8,   7,   10}));
  ASSERT_TRUE(dlg.LoadFrame(path.c_str(), true));
  EXPECT_THAT(Buffer(), ElementsAreArray<int>({0,   0,   0,   0,   255, 255, 255, 255,  //
                                               1,   1,   1,   1,   0,   0,   0,   0,    //
                                               40,  40,  40,  40,  255, 255, 255, 255,
                                               128, 128, 128, 128, 10,  10,  10,  10}));
  EXPECT_TRUE(user.boxes.empty());
}

TEST_F(LoadFrameTest, AWarningThatLeavesAnImageIsNotAFailure) {
  const std::string path = dir.File("note0001.png");
  WriteFile(path, EncodePng16(1, 1, {{257 * 1, 257 * 2, 257 * 3, 257 * 4}}, true));
  EnsureMagickReady();
  Magick::Image probe;
  EXPECT_THROW(probe.read(path), Magick::Warning);  // the library does complain

  EXPECT_TRUE(dlg.LoadFrame(path.c_str(), false));
  EXPECT_THAT(Buffer(), ElementsAre(3, 2, 1, 4));
  EXPECT_TRUE(user.boxes.empty());
}

TEST_F(LoadFrameTest, AnUnreadableFrameShowsItsPathAndKeepsTheLastGoodBuffer) {
  const TgaPicture good = Asymmetric();
  std::string truncated = testing_support::EncodeTga(TgaPicture(64, 64, {1, 2, 3, 4}));
  truncated.resize(truncated.size() / 2);
  const struct {
    const char* name;
    std::string bytes;
    bool exists;  // false: no file at all
  } cases[] = {
      {"missing0001.tga", "", false},
      {"empty0001.tga", "", true},
      {"truncated0001.tga", truncated, true},
      {"garbage0001.tga", std::string(200, '\xA7'), true},
      {"huge0001.tga", testing_support::TgaHeader(65535, 65535) + std::string(4096, '\x11'), true},
  };

  // Before any good frame there is no buffer, and a failure leaves none.
  const std::string first = dir.File(cases[0].name);
  EXPECT_FALSE(dlg.LoadFrame(first.c_str(), false));
  EXPECT_EQ(dlg.m_pFrameData, nullptr);
  EXPECT_EQ(dlg.m_nFrameWidth, 0);
  EXPECT_EQ(dlg.m_nFrameHeight, 0);

  const Bytes kept = Load(good, {}, false);
  const BYTE* keptData = dlg.m_pFrameData;
  user.boxes.clear();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = dir.File(std::string("sub dir/") + c.name);
    std::filesystem::create_directories(dir.path() / "sub dir");
    if (c.exists) WriteFile(path, c.bytes);
    user.boxes.clear();
    EXPECT_FALSE(dlg.LoadFrame(path.c_str(), true));
    ASSERT_EQ(user.boxes.size(), 1u);
    EXPECT_EQ(user.boxes[0].text, "Error on opening " + path);
    EXPECT_EQ(user.boxes[0].caption, "TGA to AVI Converter");
    EXPECT_EQ(user.boxes[0].style, MB_OK);
    EXPECT_EQ(dlg.m_pFrameData, keptData);
    EXPECT_EQ(dlg.m_nFrameWidth, good.width);
    EXPECT_EQ(dlg.m_nFrameHeight, good.height);
    EXPECT_EQ(Buffer(), kept);
  }
}

TEST_F(LoadFrameTest, LoadingTheSameFileAgainGivesTheSameBuffer) {
  const TgaPicture pic = Asymmetric();
  const Bytes video = Load(pic, {}, false);
  EXPECT_EQ(Load(pic, {}, true), FrameBufferOf(pic, true));  // from a fresh read, not the video
  EXPECT_EQ(Load(pic, {}, false), video);
  EXPECT_EQ(video, FrameBufferOf(pic, false));
}

// An uncompressed 8-bit RGBA TIFF file of width x height with the given orientation tag, written
// by hand: the converter's own library may not write files.
std::string TiffRgba(int width, int height, const std::uint8_t* rgba, std::size_t bytes,
                     int orientation) {
  auto u16 = [](unsigned v) { return std::string{char(v), char(v >> 8)}; };
  auto u32 = [&](unsigned v) { return u16(v & 0xFFFF) + u16(v >> 16); };
  const unsigned kEntries = 12;
  const unsigned directory = 8;
  const unsigned bitsAt = directory + 2 + kEntries * 12 + 4;
  const unsigned pixelsAt = bitsAt + 8;
  auto entry = [&](unsigned tag, unsigned type, unsigned count, unsigned value) {
    return u16(tag) + u16(type) + u32(count) +
           (type == 3 && count == 1 ? u16(value) + u16(0) : u32(value));
  };
  std::string file = "II" + u16(42) + u32(directory) + u16(kEntries);
  file += entry(256, 3, 1, unsigned(width)) + entry(257, 3, 1, unsigned(height)) +
          entry(258, 3, 4, bitsAt) + entry(259, 3, 1, 1) + entry(262, 3, 1, 2) +
          entry(273, 4, 1, pixelsAt) + entry(274, 3, 1, unsigned(orientation)) +
          entry(277, 3, 1, 4) + entry(278, 3, 1, unsigned(height)) +
          entry(279, 4, 1, unsigned(bytes)) + entry(284, 3, 1, 1) + entry(338, 3, 1, 2);
  file += u32(0) + u16(8) + u16(8) + u16(8) + u16(8);
  file.append(reinterpret_cast<const char*>(rgba), bytes);
  return file;
}

TEST_F(LoadFrameTest, TurnsAPictureStoredOnItsSideUpright) {
  // Stored 3 × 2, tagged "row 0 is the right edge, column 0 the top": seen 2 wide, 3 high.
  const std::uint8_t stored[] = {1, 0, 0, 255, 2, 0, 0, 255, 3, 0, 0, 255,
                                 4, 0, 0, 255, 5, 0, 0, 255, 6, 0, 0, 255};
  const std::string path = dir.File("side0001.tif");
  testing_support::WriteFile(path, TiffRgba(3, 2, stored, sizeof stored, 6));

  ASSERT_TRUE(dlg.LoadFrame(path.c_str(), false));
  EXPECT_EQ(dlg.m_nFrameWidth, 2);
  EXPECT_EQ(dlg.m_nFrameHeight, 3);
  // Seen top to bottom: (4 1), (5 2), (6 3); the buffer starts at the bottom row.
  const Bytes buffer = Buffer();
  std::vector<int> reds;
  for (std::size_t i = 2; i < buffer.size(); i += 4) reds.push_back(buffer[i]);
  EXPECT_THAT(reds, ElementsAre(6, 3, 5, 2, 4, 1));
}

TEST_F(LoadFrameTest, TakesEachFrameAtItsOwnSize) {
  Load(TgaPicture(6, 2), {}, false);
  Load(TgaPicture(3, 7), {}, false, "shot0002.tga");
  EXPECT_EQ(Buffer().size(), 3u * 7u * 4u);
}

TEST_F(LoadFrameTest, LoadsAPathOutsideAscii) {
  std::filesystem::create_directories(dir.path() / "pr\xc3\xa9visu \xe5\xb8\xa7");
  const TgaPicture pic(1, 1, {10, 20, 30, 40});
  EXPECT_THAT(Load(pic, {}, false, "pr\xc3\xa9visu \xe5\xb8\xa7/\xc3\xa9t\xc3\xa9 0001.tga"),
              ElementsAre(30, 20, 10, 40));
  EXPECT_TRUE(user.boxes.empty());
}

}  // namespace
