// ReadFrameInto, the one way a frame file is read: what the library's formats come to in a frame
// buffer (deep samples, orientation, warnings), and what each kind of failure comes to with the
// reason it carries. The Targa layouts are targa_frame_test.cpp's.

#include <Magick++.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "frames/frame_ring.h"
#include "tests/support/exr_writer.h"
#include "tests/support/temp_dir.h"
#include "tests/support/tga_writer.h"

namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using testing_support::EncodeExr;
using testing_support::EncodeTga;
using testing_support::TempDir;
using testing_support::TgaPicture;
using testing_support::WriteFile;
using Status = FrameRead::Status;
using Bytes = std::vector<std::uint8_t>;

Bytes BytesOf(const FrameBuffer& frame) {
  return Bytes(frame.data(), frame.data() + frame.bytes());
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

// raw as a zlib stream of stored (uncompressed) blocks.
std::string Stored(const std::string& raw) {
  std::string z = "\x78\x01";
  std::size_t at = 0;
  do {
    const std::size_t n = std::min<std::size_t>(raw.size() - at, 0xFFFF);
    z.push_back(at + n == raw.size() ? 1 : 0);  // last block or not
    z.push_back(static_cast<char>(n & 0xFF));
    z.push_back(static_cast<char>(n >> 8));
    z.push_back(static_cast<char>(~n & 0xFF));
    z.push_back(static_cast<char>((~n >> 8) & 0xFF));
    z.append(raw, at, n);
    at += n;
  } while (at < raw.size());
  std::uint32_t a = 1, b = 0;
  for (unsigned char c : raw) {
    a = (a + c) % 65521;
    b = (b + a) % 65521;
  }
  PutBig32(z, b << 16 | a);
  return z;
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
  std::string png = "\x89PNG\r\n\x1a\n";
  png += Chunk("IHDR", ihdr);
  if (badTextCrc) png += Chunk("tEXt", std::string("Comment\0made by hand", 20), true);
  png += Chunk("IDAT", Stored(raw));
  png += Chunk("IEND", "");
  return png;
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

TEST(ReadFrameTest, ExportsSixteenBitSamplesAsEightBits) {
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
  TempDir dir;
  const std::string path = dir.File("deep0001.png");
  WriteFile(path, EncodePng16(4, 2, pixels));
  FrameBuffer frame;
  FrameRead read = ReadFrameInto(path, false, frame);
  ASSERT_EQ(read.status, Status::kOk) << read.reason;
  EXPECT_EQ(read.size.width, 4);
  EXPECT_EQ(read.size.height, 2);
  EXPECT_THAT(BytesOf(frame),
              ElementsAreArray<int>({0,  0,  0,   0,   50,  100, 200, 255,  // bottom
                                     1,  1,  1,   1,   255, 255, 255, 0,    //
                                     30, 20, 10,  40,  1,   0,   255, 255,  // top
                                     2,  1,  255, 128, 9,   8,   7,   10}));
  read = ReadFrameInto(path, true, frame);
  ASSERT_EQ(read.status, Status::kOk) << read.reason;
  EXPECT_THAT(BytesOf(frame), ElementsAreArray<int>({0,   0,   0,   0,   255, 255, 255, 255,  //
                                                     1,   1,   1,   1,   0,   0,   0,   0,    //
                                                     40,  40,  40,  40,  255, 255, 255, 255,
                                                     128, 128, 128, 128, 10,  10,  10,  10}));
}

TEST(ReadFrameTest, LinearLightIsEncodedForDisplayUnlessKeptAsStored) {
  // Linear 0.18, 1, above 1 and 0; the last pixel's alpha of 0.18 must stay 46: alpha is
  // coverage, never light.
  TempDir dir;
  const std::string path = dir.File("lin0001.exr");
  WriteFile(
      path,
      EncodeExr(4, 1,
                {{0.18F, 0.18F, 0.18F, 1}, {1, 1, 1, 1}, {4, 2.5F, 1.01F, 1}, {0, 0, 0, 0.18F}}));
  const struct {
    Transfer transfer;
    bool matte;
    std::vector<int> bytes;
  } cases[] = {
      {Transfer::kSrgb,
       false,
       {118, 118, 118, 255, 255, 255, 255, 255, 255, 255, 255, 255, 0, 0, 0, 46}},
      {Transfer::kAsStored,
       false,
       {46, 46, 46, 255, 255, 255, 255, 255, 255, 255, 255, 255, 0, 0, 0, 46}},
      {Transfer::kSrgb,
       true,
       {255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 46, 46, 46, 46}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(TransferName(c.transfer)) + (c.matte ? " matte" : " colour"));
    FrameBuffer frame;
    const FrameRead read = ReadFrameInto(path, c.matte, frame, {c.transfer, Fill::kAsStored});
    ASSERT_EQ(read.status, Status::kOk) << read.reason;
    const Bytes got = BytesOf(frame);
    ASSERT_EQ(got.size(), c.bytes.size());
    for (std::size_t i = 0; i < got.size(); ++i) EXPECT_NEAR(got[i], c.bytes[i], 1) << i;
  }
}

TEST(ReadFrameTest, FillDividesOrMultipliesColourByAlphaAsTheSourceDeclares) {
  TgaPicture picture(4, 1);
  picture.At(0, 0) = {60, 30, 0, 128};
  picture.At(1, 0) = {10, 20, 30, 0};
  picture.At(2, 0) = {200, 100, 50, 255};
  picture.At(3, 0) = {200, 100, 0, 128};
  // Each pixel as red, green, blue, alpha.
  const std::vector<int> stored = {60,  30,  0,  128, 10,  20,  30, 0,
                                   200, 100, 50, 255, 200, 100, 0,  128};
  const std::vector<int> divided = {120, 60,  0,  128, 10,  20,  30, 0,
                                    200, 100, 50, 255, 255, 199, 0,  128};
  const std::vector<int> multiplied = {30,  15,  0,  128, 0,   0,  0, 0,
                                       200, 100, 50, 255, 100, 50, 0, 128};
  const struct {
    int alphaType;  // the extension area's; -1: none; 4: premultiplied
    Fill fill;
    const std::vector<int>& rgba;
  } cases[] = {
      {4, Fill::kAsStored, stored},
      {4, Fill::kStraight, divided},
      {4, Fill::kPremultiplied, stored},
      {3, Fill::kStraight, stored},
      {3, Fill::kPremultiplied, multiplied},
      {-1, Fill::kPremultiplied, multiplied},
      {-1, Fill::kStraightFromPremultiplied, divided},
  };
  TempDir dir;
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.alphaType) + " " + FillName(c.fill));
    const std::string path = dir.File("fill0001.tga");
    testing_support::TgaOptions options;
    options.alphaType = c.alphaType;
    WriteFile(path, EncodeTga(picture, options));
    FrameBuffer frame;
    ASSERT_EQ(ReadFrameInto(path, false, frame, {Transfer::kSrgb, c.fill}).status, Status::kOk);
    const Bytes got = BytesOf(frame);
    for (std::size_t i = 0; i < got.size(); i += 4) {
      EXPECT_THAT(std::vector<int>({got[i + 2], got[i + 1], got[i], got[i + 3]}),
                  ElementsAreArray(c.rgba.data() + i, 4))
          << "pixel " << i / 4;
    }
    // The matte is the alpha whatever the fill.
    ASSERT_EQ(ReadFrameInto(path, true, frame, {Transfer::kSrgb, c.fill}).status, Status::kOk);
    EXPECT_EQ(BytesOf(frame), FrameBufferOf(picture, true));
  }
}

TEST(ReadFrameTest, AWarningThatLeavesAnImageIsNotAFailure) {
  TempDir dir;
  const std::string path = dir.File("note0001.png");
  WriteFile(path, EncodePng16(1, 1, {{257 * 1, 257 * 2, 257 * 3, 257 * 4}}, true));
  EnsureMagickReady();
  Magick::Image probe;
  EXPECT_THROW(probe.read(path), Magick::Warning);  // the library does complain

  FrameBuffer frame;
  const FrameRead read = ReadFrameInto(path, false, frame);
  EXPECT_EQ(read.status, Status::kOk) << read.reason;
  EXPECT_THAT(BytesOf(frame), ElementsAre(3, 2, 1, 4));
}

TEST(ReadFrameTest, TurnsAPictureStoredOnItsSideUpright) {
  // Stored 3 × 2, tagged "row 0 is the right edge, column 0 the top": seen 2 wide, 3 high.
  const std::uint8_t stored[] = {1, 0, 0, 255, 2, 0, 0, 255, 3, 0, 0, 255,
                                 4, 0, 0, 255, 5, 0, 0, 255, 6, 0, 0, 255};
  TempDir dir;
  const std::string path = dir.File("side0001.tif");
  WriteFile(path, TiffRgba(3, 2, stored, sizeof stored, 6));

  FrameBuffer frame;
  const FrameRead read = ReadFrameInto(path, false, frame);
  ASSERT_EQ(read.status, Status::kOk) << read.reason;
  EXPECT_EQ(read.size.width, 2);
  EXPECT_EQ(read.size.height, 3);
  // Seen top to bottom: (4 1), (5 2), (6 3); the buffer starts at the bottom row.
  const Bytes buffer = BytesOf(frame);
  std::vector<int> reds;
  for (std::size_t i = 2; i < buffer.size(); i += 4) reds.push_back(buffer[i]);
  EXPECT_THAT(reds, ElementsAre(6, 3, 5, 2, 4, 1));
}

TEST(ReadFrameTest, ReadsAPathOutsideAscii) {
  TempDir dir;
  const std::string folder = "pr\xc3\xa9visu \xe5\xb8\xa7/";
  std::filesystem::create_directories(dir.path() / folder);
  const std::string tga = dir.File(folder + "\xc3\xa9t\xc3\xa9 0001.tga");
  const std::string png = dir.File(folder + "\xc3\xa9t\xc3\xa9 0001.png");
  testing_support::WriteTga(tga, TgaPicture(1, 1, {10, 20, 30, 40}));
  WriteFile(png, EncodePng16(1, 1, {{257 * 10, 257 * 20, 257 * 30, 257 * 40}}));
  for (const std::string& path : {tga, png}) {
    SCOPED_TRACE(path);
    FrameBuffer frame;
    const FrameRead read = ReadFrameInto(path, false, frame);
    EXPECT_EQ(read.status, Status::kOk) << read.reason;
    EXPECT_THAT(BytesOf(frame), ElementsAre(30, 20, 10, 40));
  }
}

TEST(ReadFrameTest, AFailureCarriesItsStatusAndReason) {
  TempDir dir;
  std::string truncated = EncodeTga(TgaPicture(64, 64, {1, 2, 3, 4}));
  truncated.resize(truncated.size() / 2);
  const std::string png = "\x89PNG\r\n\x1a\n" + std::string(29, 'x');
  std::filesystem::create_directories(dir.path() / "folder0001.tga");
  // 8000 x 8000 one-bit grey, 8 MB as a file, 512 MB or more in the library's pixel cache.
  std::string ihdr8000;
  PutBig32(ihdr8000, 8000);
  PutBig32(ihdr8000, 8000);
  ihdr8000 += std::string("\x01\x00\x00\x00\x00", 5);
  const std::string black8000(8000 * (1 + 1000), '\0');
  const struct {
    const char* name;
    bool write;
    std::string bytes;
    Status status;
    std::string reason;
  } cases[] = {
      {"missing0001.tga", false, "", Status::kMissing, "No such file or directory"},
      {"folder0001.tga", false, "", Status::kOpenFailed, "Is a directory"},
      {"truncated0001.tga", true, truncated, Status::kOpenFailed,
       "shorter than its header declares"},
      {"huge0001.tga", true, testing_support::TgaHeader(65535, 65535) + std::string(4096, '\x11'),
       Status::kTooLarge, "more pixels than a frame can hold"},
      // The image library's memory limit holds for every format, Targa included.
      {"limit0001.png", true,
       "\x89PNG\r\n\x1a\n" + Chunk("IHDR", ihdr8000) + Chunk("IDAT", Stored(black8000)) +
           Chunk("IEND", ""),
       Status::kTooLarge, "more pixels than the image library may hold in memory"},
      {"limit0001.tga", true, testing_support::TgaHeader(8000, 8000) + std::string(4096, '\x11'),
       Status::kTooLarge, "more pixels than the image library may hold in memory"},
      {"notes0001.txt", true, "just some words\n", Status::kOpenFailed,
       "attempt to perform an operation not allowed by the security policy"},
      {"damaged0001.png", true, png, Status::kOpenFailed, "insufficient image data in file"},
      {"empty0001.tga", true, "", Status::kOpenFailed, "improper image header"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = dir.File(c.name);
    if (c.write) WriteFile(path, c.bytes);
    for (bool matte : {false, true}) {
      FrameBuffer frame;
      const FrameRead read = ReadFrameInto(path, matte, frame);
      EXPECT_EQ(read.status, c.status);
      EXPECT_EQ(read.reason, c.reason);
      EXPECT_EQ(read.path, path);
    }
  }
}

}  // namespace
