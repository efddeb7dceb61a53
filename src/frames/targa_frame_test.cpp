#include "frames/targa_frame.h"

#include <Magick++.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <new>
#include <random>
#include <string>
#include <vector>

#include "frames/frame_buffer.h"
#include "frames/frame_ring.h"
#include "frames/magick_frame.h"
#include "tests/support/temp_dir.h"
#include "tests/support/tga_writer.h"

namespace {

using testing_support::EncodeTga;
using testing_support::Expand5;
using testing_support::FrameBufferOf;
using testing_support::Rgba;
using testing_support::TempDir;
using testing_support::TgaKind;
using testing_support::TgaOptions;
using testing_support::TgaOrigin;
using testing_support::TgaPicture;
using testing_support::WriteFile;
using Bytes = std::vector<std::uint8_t>;

constexpr TgaOrigin kOrigins[] = {TgaOrigin::kBottomLeft, TgaOrigin::kBottomRight,
                                  TgaOrigin::kTopLeft, TgaOrigin::kTopRight};

Bytes BytesOf(const FrameBuffer& frame) {
  return Bytes(frame.data(), frame.data() + frame.bytes());
}

// The frame buffer of path as ImageMagick reads and exports it: what the direct reader must
// give, byte for byte, for the layouts the library reads right.
Bytes ThroughTheLibrary(const std::string& path, bool matte) {
  FrameBuffer frame;
  const FrameRead read = ReadLibraryFrame(path, matte, frame);
  EXPECT_EQ(read.status, FrameRead::Status::kOk) << path << ": " << read.reason;
  return BytesOf(frame);
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

// What a layout keeps of a picture's alpha.
enum class Alpha { kStored, kOpaque, kTopBit };

// A layout of the table tests: how the file is written, what the picture must be made of for
// the layout to hold it exactly (grey, 5-bit samples), and what becomes of its alpha.
struct Layout {
  const char* name;
  TgaOptions options;
  bool grey = false;
  bool fiveBits = false;
  Alpha alpha = Alpha::kStored;
  bool libraryAgrees = false;  // ImageMagick reads it right too
};

TgaOptions Mapped(int entryBits, int indexBits, int first, int alphaBits = -1) {
  TgaOptions options{TgaKind::kColorMapped, entryBits};
  options.indexBits = indexBits;
  options.mapFirst = first;
  options.alphaBits = alphaBits;
  return options;
}

TgaOptions With(TgaKind kind, int bits, int alphaBits = -1, int unusedMapEntries = 0) {
  TgaOptions options{kind, bits};
  options.alphaBits = alphaBits;
  options.unusedMapEntries = unusedMapEntries;
  return options;
}

const Layout kLayouts[] = {
    {"grey", With(TgaKind::kGrey, 8), true, false, Alpha::kOpaque, true},
    {"grey declaring alpha bits", With(TgaKind::kGrey, 8, 8), true, false, Alpha::kOpaque, true},
    {"grey and alpha", With(TgaKind::kGreyAlpha, 16), true, false, Alpha::kStored},
    {"grey and alpha declaring none", With(TgaKind::kGreyAlpha, 16, 0), true, false,
     Alpha::kStored},
    {"15-bit", With(TgaKind::kTrueColor, 15), false, true, Alpha::kOpaque, true},
    {"16-bit, attribute alpha", With(TgaKind::kTrueColor, 16), false, true, Alpha::kTopBit, true},
    {"16-bit declaring no alpha", With(TgaKind::kTrueColor, 16, 0), false, true, Alpha::kOpaque,
     true},
    {"16-bit declaring 8 alpha bits", With(TgaKind::kTrueColor, 16, 8), false, true,
     Alpha::kOpaque},
    {"8-bit indices, 24-bit map", Mapped(24, 8, 0), false, false, Alpha::kOpaque, true},
    {"8-bit indices, 32-bit map from 17", Mapped(32, 8, 17), false, false, Alpha::kStored, true},
    {"8-bit indices, 32-bit map declaring no alpha", Mapped(32, 8, 0, 0), false, false,
     Alpha::kStored, true},
    {"8-bit indices, 15-bit map", Mapped(15, 8, 3), false, true, Alpha::kOpaque, true},
    {"8-bit indices, 16-bit map", Mapped(16, 8, 0), false, true, Alpha::kTopBit},
    {"16-bit indices, 24-bit map from 300", Mapped(24, 16, 300), false, false, Alpha::kOpaque},
    {"16-bit indices, 32-bit map", Mapped(32, 16, 0), false, false, Alpha::kStored},
    {"16-bit indices, 16-bit map from 1000", Mapped(16, 16, 1000), false, true, Alpha::kTopBit},
    {"32-bit with an unused map", With(TgaKind::kTrueColor, 32, -1, 40), false, false,
     Alpha::kStored},
    {"24-bit with an unused map", With(TgaKind::kTrueColor, 24, -1, 3), false, false,
     Alpha::kOpaque},
    {"grey with an unused map", With(TgaKind::kGrey, 8, -1, 256), true, false, Alpha::kOpaque},
};

// pic as the layout can hold it exactly: grey, or 5-bit samples. Alpha stays; Seen gives
// what the layout keeps of it.
TgaPicture Held(const Layout& layout, TgaPicture pic) {
  for (Rgba& p : pic.pixels) {
    if (layout.fiveBits) p = {Expand5(p.r >> 3), Expand5(p.g >> 3), Expand5(p.b >> 3), p.a};
    if (layout.grey) p.g = p.b = p.r;
  }
  return pic;
}

// 9 × 4, every pixel random but for a run of three equal pixels, as the layout can hold it.
TgaPicture Written(const Layout& layout, unsigned seed) {
  std::mt19937 random(seed);
  TgaPicture pic(9, 4);
  for (Rgba& p : pic.pixels) {
    const std::uint32_t v = random();
    p = {std::uint8_t(v), std::uint8_t(v >> 8), std::uint8_t(v >> 16), std::uint8_t(v >> 24)};
  }
  pic.At(4, 2) = pic.At(5, 2) = pic.At(6, 2);
  return Held(layout, pic);
}

TgaPicture Seen(TgaPicture pic, Alpha alpha) {
  for (Rgba& p : pic.pixels) {
    if (alpha == Alpha::kOpaque) p.a = 255;
    if (alpha == Alpha::kTopBit) p.a = p.a >= 128 ? 255 : 0;
  }
  return pic;
}

class TargaFrameTest : public ::testing::Test {
 protected:
  TargaFrameTest() { EnsureMagickReady(); }

  // Reads path directly, expecting it to be taken, and returns the buffer. The read lands in
  // a buffer that already holds a frame of that size, of bytes no layout gives, so that a
  // byte the reader leaves unwritten shows.
  Bytes Direct(const std::string& path, bool matte, FrameSize expected) {
    FrameBuffer frame;
    std::memset(frame.Reserve(expected), 0xA5, frame.bytes());
    const unsigned char* storage = frame.data();
    FrameSize size;
    EXPECT_EQ(ReadTargaFrame(path, matte, frame, &size), TargaRead::kRead) << path;
    EXPECT_EQ(size.width, expected.width);
    EXPECT_EQ(size.height, expected.height);
    EXPECT_EQ(frame.data(), storage) << "a frame of the same size is read into the same block";
    return BytesOf(frame);
  }

  // Writes bytes to a file of that name and reads it directly.
  Bytes DirectBytes(const std::string& bytes, bool matte, FrameSize expected,
                    const std::string& name = "shot0001.tga") {
    const std::string path = dir.File(name);
    WriteFile(path, bytes);
    return Direct(path, matte, expected);
  }

  TempDir dir;
};

TEST_F(TargaFrameTest, GivesTheLibrarysBytesForEveryPlainLayout) {
  const TgaPicture pic = Noisy(301, 4, 7);
  for (int bits : {32, 24}) {
    for (bool rle : {false, true}) {
      for (TgaOrigin origin : kOrigins) {
        for (int alphaBits : {-1, 0, 8}) {
          SCOPED_TRACE(::testing::Message() << "bits " << bits << " rle " << rle << " origin "
                                            << int(origin) << " alpha bits " << alphaBits);
          TgaOptions options{TgaKind::kTrueColor, bits, rle, origin};
          options.alphaBits = alphaBits;
          options.imageId = alphaBits == 0 ? "made by hand" : "";
          const std::string path = dir.File("shot0001.tga");
          testing_support::WriteTga(path, pic, options);
          for (bool matte : {false, true}) {
            EXPECT_EQ(Direct(path, matte, {pic.width, pic.height}), ThroughTheLibrary(path, matte))
                << (matte ? "matte" : "video");
          }
        }
      }
    }
  }
}

TEST_F(TargaFrameTest, ReadsEveryLayoutAsThePictureItHolds) {
  unsigned seed = 1;
  for (const Layout& layout : kLayouts) {
    for (bool rle : {false, true}) {
      for (TgaOrigin origin : kOrigins) {
        SCOPED_TRACE(::testing::Message()
                     << layout.name << ", rle " << rle << ", origin " << int(origin));
        const TgaPicture written = Written(layout, seed++);
        const TgaPicture seen = Seen(written, layout.alpha);
        TgaOptions options = layout.options;
        options.rle = rle;
        options.origin = origin;
        const std::string path = dir.File("shot0001.tga");
        testing_support::WriteTga(path, written, options);
        for (bool matte : {false, true}) {
          SCOPED_TRACE(matte ? "matte" : "video");
          const Bytes direct = Direct(path, matte, {written.width, written.height});
          EXPECT_EQ(direct, FrameBufferOf(seen, matte));
          if (layout.libraryAgrees) {
            EXPECT_EQ(direct, ThroughTheLibrary(path, matte));
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

  // The same over 16-bit grey and alpha, a run of three from the bottom row into the top one.
  std::string grey = Header(11, 2, 2, 16, 8);
  grey += std::string("\x82\x50\x60\x00\x70\x80", 6);
  EXPECT_EQ(DirectBytes(grey, false, {2, 2}),
            Bytes({80, 80, 80, 96, 80, 80, 80, 96, 80, 80, 80, 96, 112, 112, 112, 128}));
}

TEST_F(TargaFrameTest, ReadsFramesWhosePixelsSpanManyReadBlocks) {
  // About 1.7 MB of stored pixels, read a block of 1 MiB at a time: rows and packets end
  // anywhere in a block.
  const TgaPicture pic = Noisy(700, 600, 3);
  const struct {
    const char* what;
    TgaOptions options;
    Alpha alpha;
  } cases[] = {
      {"32-bit rle", {TgaKind::kTrueColor, 32, true}, Alpha::kStored},
      {"32-bit top-left", {TgaKind::kTrueColor, 32, false, TgaOrigin::kTopLeft}, Alpha::kStored},
      {"24-bit rle top-right",
       {TgaKind::kTrueColor, 24, true, TgaOrigin::kTopRight},
       Alpha::kOpaque},
      {"24-bit bottom-right",
       {TgaKind::kTrueColor, 24, false, TgaOrigin::kBottomRight},
       Alpha::kOpaque},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string path = dir.File("big0001.tga");
    testing_support::WriteTga(path, pic, c.options);
    for (bool matte : {false, true}) {
      EXPECT_EQ(Direct(path, matte, {pic.width, pic.height}),
                FrameBufferOf(Seen(pic, c.alpha), matte))
          << (matte ? "matte" : "video");
    }
  }
}

TEST_F(TargaFrameTest, IgnoresTheColourMapFieldsOfAFileWithoutAMap) {
  // Found by the differential fuzzer: 1 × 259, 16-bit run-length pixels, no alpha bits declared,
  // colour map type 0 but a map entry size of 32. The library then takes the top bit for alpha;
  // without a map the field means nothing, and the frame is opaque.
  const std::string found(
      "\x00\x00\x0a\x00\x00\x00\x00\x20\x2d\x26\x3e\x00\x01\x00\x03\x01\x10\x00\xc0\x04"
      "\xc0\xc4\xc4\x04\x00\x00\x02\x00\x00\x00\xfa\xff\x00\x00\x00\x00\x05\x00\x03\x18"
      "\xc8\x28\xcc\xbc\x00\xd1\xd0\x00\x10\x01\xc0\x00\x04\x02\x06\xc4",
      56);
  EXPECT_EQ(DirectBytes(found, true, {1, 259}), Bytes(259 * 4, 255));
}

TEST_F(TargaFrameTest, AnExtensionAreaSaysWhetherAlphaCounts) {
  TgaPicture mixed(5, 2, {10, 20, 30, 200});
  mixed.At(1, 0).a = 0;
  mixed.At(3, 1).a = 90;
  const TgaPicture clear(5, 2, {10, 20, 30, 0});
  const struct {
    int alphaType;  // -1: no extension area
    const TgaPicture& pic;
    bool opaque;  // else the alpha as stored
  } cases[] = {
      {0, mixed, true},   {1, mixed, true},  {2, clear, true},    {2, mixed, false},
      {3, clear, false},  {3, mixed, false}, {4, mixed, false},   {-1, clear, false},
      {-1, mixed, false}, {0, clear, true},  {200, clear, false},
  };
  const Layout layouts[] = {
      {"32-bit", {}},
      {"32-bit rle top-left", {TgaKind::kTrueColor, 32, true, TgaOrigin::kTopLeft}},
      {"24-bit", With(TgaKind::kTrueColor, 24), false, false, Alpha::kOpaque},
      {"16-bit", With(TgaKind::kTrueColor, 16), false, true, Alpha::kTopBit},
      {"grey and alpha rle", {TgaKind::kGreyAlpha, 8, true}, true},
      {"32-bit map", Mapped(32, 8, 0)},
  };
  for (const Layout& layout : layouts) {
    for (const auto& c : cases) {
      SCOPED_TRACE(::testing::Message() << layout.name << ", alpha type " << c.alphaType);
      TgaOptions options = layout.options;
      options.alphaType = c.alphaType;
      const TgaPicture written = Held(layout, c.pic);
      const TgaPicture seen = Seen(written, c.opaque ? Alpha::kOpaque : layout.alpha);
      const std::string file = EncodeTga(written, options);
      for (bool matte : {false, true}) {
        EXPECT_EQ(DirectBytes(file, matte, {5, 2}), FrameBufferOf(seen, matte))
            << (matte ? "matte" : "video");
      }
    }
  }
}

TEST_F(TargaFrameTest, IgnoresAnExtensionAreaThatIsNotWhereTheFooterSays) {
  const TgaPicture clear(4, 3, {1, 2, 3, 0});
  TgaOptions options;
  options.alphaType = 0;
  const std::string good = EncodeTga(clear, options);
  const std::size_t footer = good.size() - 26;
  const std::size_t area = footer - 495;
  auto patched = [&](std::size_t at, const std::string& bytes) {
    std::string file = good;
    file.replace(at, bytes.size(), bytes);
    return file;
  };
  const struct {
    const char* name;
    std::string file;
  } cases[] = {
      {"no offset", patched(footer, std::string(4, '\0'))},
      {"inside the header", patched(footer, std::string("\x05\0\0\0", 4))},
      {"overlapping the footer", patched(footer, std::string("\x01\x01\0\0", 4))},
      {"past the end", patched(footer, std::string("\0\0\0\x01", 4))},
      {"another size", patched(area, std::string("\xEE\x01", 2))},
      {"another signature", patched(good.size() - 2, "!")},
  };
  EXPECT_EQ(DirectBytes(good, true, {4, 3}), Bytes(48, 255));
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(DirectBytes(c.file, true, {4, 3}), Bytes(48, 0));
  }
}

TEST_F(TargaFrameTest, ATargaFileIsOursAloneToReadOrRefuse) {
  // ImageMagick picks its coder by content: " EMF\0\0\1\0" at byte 40 is a Windows metafile
  // to it, "ILBM" at byte 8 (here the origin fields) an Amiga picture. Raw 32-bit bottom-left
  // pixels start at byte 18: byte 40 is the red sample of pixel 5.
  TgaPicture emf = Noisy(10, 2, 3);
  emf.At(5, 1).r = ' ';
  emf.At(5, 1).a = 'E';
  emf.At(6, 1) = {0, 'F', 'M', 0};
  emf.At(7, 1).b = 1;
  emf.At(7, 1).g = 0;
  const std::string emfFile = EncodeTga(emf);
  ASSERT_EQ(emfFile.substr(40, 8), std::string(" EMF\0\0\1\0", 8));
  const TgaPicture ilbm = Seen(Noisy(6, 3, 4), Alpha::kOpaque);
  std::string ilbmFile = EncodeTga(ilbm, {TgaKind::kTrueColor, 24, true});
  ilbmFile.replace(8, 4, "ILBM");
  // Damaged: an index outside the map, a run cut short.
  std::string badIndex = EncodeTga(TgaPicture(3, 1, {1, 2, 3, 4}), {TgaKind::kColorMapped, 24});
  badIndex.back() = 1;
  std::string cut = EncodeTga(Noisy(20, 3, 5), {TgaKind::kTrueColor, 32, true});
  cut.resize(cut.size() - 1);
  // No Targa header: the library's.
  const TgaPicture red(3, 2, {255, 0, 0, 255});
  // A 3 x 2 red PNG file, written out here: the confined library writes no files.
  const std::string pngFile(
      "\x89\x50\x4e\x47\x0d\x0a\x1a\x0a\x00\x00\x00\x0d\x49\x48\x44\x52\x00\x00\x00\x03\x00\x00"
      "\x00\x02\x08\x02\x00\x00\x00\x12\x16\xf1\x4d\x00\x00\x00\x10\x49\x44\x41\x54\x78\x9c"
      "\x63\xf8\xcf\xc0\x00\x41\x0c\x70\x16\x00\x41\xd2\x05\xfb\x87\xf0\xb9\x48\x00\x00\x00"
      "\x00\x49\x45\x4e\x44\xae\x42\x60\x82",
      73);

  const struct {
    const char* name;
    std::string file;
    FrameRead::Status status;
    TgaPicture seen;
  } cases[] = {
      {"emf0001.tga", emfFile, FrameRead::Status::kOk, emf},
      {"ilbm0001.tga", ilbmFile, FrameRead::Status::kOk, ilbm},
      {"index0001.tga", badIndex, FrameRead::Status::kOpenFailed, {}},
      {"cut0001.tga", cut, FrameRead::Status::kOpenFailed, {}},
      {"png0001.tga", pngFile, FrameRead::Status::kOk, red},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = dir.File(c.name);
    WriteFile(path, c.file);
    for (bool matte : {false, true}) {
      FrameBuffer frame;
      ASSERT_EQ(ReadFrameInto(path, matte, frame).status, c.status);
      if (c.status == FrameRead::Status::kOk) {
        EXPECT_EQ(BytesOf(frame), FrameBufferOf(c.seen, matte));
      }
    }
  }
}

TEST_F(TargaFrameTest, RefusesDamagedFilesAndLeavesOthersToTheLibrary) {
  const TgaPicture pic = Noisy(20, 3, 11);
  std::string truncatedRaw = EncodeTga(pic);
  truncatedRaw.pop_back();
  std::string truncatedRle = EncodeTga(pic, {TgaKind::kTrueColor, 32, true});
  truncatedRle.resize(truncatedRle.size() - 3);
  std::string cutInPacket = EncodeTga(TgaPicture(300, 1, {1, 2, 3, 4}), {TgaKind::kGrey, 8, true});
  cutInPacket.pop_back();  // the last run's pixel
  std::string interleaved = EncodeTga(pic);
  interleaved[17] = static_cast<char>(interleaved[17] | 0x40);
  std::string fourWays = EncodeTga(pic);
  fourWays[17] = static_cast<char>(fourWays[17] | 0x80);
  TgaPicture few(4, 2, {1, 2, 3, 4});
  few.At(1, 1) = {5, 6, 7, 8};
  std::string shortMap = EncodeTga(few, {TgaKind::kColorMapped, 32});
  shortMap[5] = 60;  // 60 map entries declared, the file ends long before
  std::string aboveMap = EncodeTga(few, {TgaKind::kColorMapped, 24});
  aboveMap.back() = 2;  // the map has entries 0 and 1
  TgaOptions from10 = {TgaKind::kColorMapped, 24};
  from10.mapFirst = 10;
  std::string belowFirst = EncodeTga(few, from10);
  belowFirst.back() = 9;
  TgaOptions wide = {TgaKind::kColorMapped, 32};
  wide.indexBits = 16;
  wide.mapFirst = 256;
  std::string aboveWideMap = EncodeTga(few, wide);
  aboveWideMap.back() = 0x02;  // index 0x02nn: the map ends at 0x0101
  std::string noWidth = EncodeTga(pic);
  noWidth[12] = noWidth[13] = 0;
  std::string noHeight = EncodeTga(pic);
  noHeight[14] = noHeight[15] = 0;
  std::string mapWithoutMapType = EncodeTga(few, {TgaKind::kColorMapped, 24});
  mapWithoutMapType[1] = 0;
  std::string oddMapEntries = EncodeTga(few, {TgaKind::kColorMapped, 24});
  oddMapEntries[7] = 8;
  const std::size_t widest = MagickCore::GetMagickResourceLimit(MagickCore::WidthResource);

  const TargaRead kUnreadable = TargaRead::kUnreadable;
  const TargaRead kNotTarga = TargaRead::kNotTarga;
  const struct {
    const char* name;
    std::string bytes;
    TargaRead result;
  } cases[] = {
      {"short0001.tga", truncatedRaw, kUnreadable},
      {"shortrle0001.tga", truncatedRle, kUnreadable},
      {"packet0001.tga", cutInPacket, kUnreadable},
      {"interleaved0001.tga", interleaved, kUnreadable},
      {"fourways0001.tga", fourWays, kUnreadable},
      {"shortmap0001.tga", shortMap, kUnreadable},
      {"above0001.tga", aboveMap, kUnreadable},
      {"below0001.tga", belowFirst, kUnreadable},
      {"abovewide0001.tga", aboveWideMap, kUnreadable},
      {"nowidth0001.tga", noWidth, kUnreadable},
      {"noheight0001.tga", noHeight, kUnreadable},
      {"huge0001.tga", testing_support::TgaHeader(65535, 65535) + std::string(4096, '\x11'),
       TargaRead::kTooLarge},
      {"wide0001.tga",
       widest < 65535 ? Header(2, int(widest + 1), 1, 32, 8) + std::string((widest + 1) * 4, '\x22')
                      : std::string(),
       widest < 65535 ? TargaRead::kTooLarge : kNotTarga},
      {"header0001.tga", EncodeTga(pic).substr(0, 10), kNotTarga},
      {"empty0001.tga", "", kNotTarga},
      {"maptype0001.tga", Header(2, 1, 1, 32, 8).replace(1, 1, "\x02") + "abcd", kNotTarga},
      {"type0001.tga", Header(0, 1, 1, 32, 8) + "abcd", kNotTarga},
      {"huffman0001.tga", Header(32, 1, 1, 8, 0) + "abcd", kNotTarga},
      {"greydepth0001.tga", Header(3, 1, 1, 24, 0) + "abcd", kNotTarga},
      {"colourdepth0001.tga", Header(2, 1, 1, 8, 0) + "abcd", kNotTarga},
      {"mapless0001.tga", mapWithoutMapType, kNotTarga},
      {"mapentries0001.tga", oddMapEntries, kNotTarga},
      {"named0001.png", EncodeTga(pic), kNotTarga},
      {"named0001.targa", EncodeTga(pic), kNotTarga},
      {"tga", EncodeTga(pic), kNotTarga},
  };
  FrameBuffer frame;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = dir.File(c.name);
    WriteFile(path, c.bytes);
    FrameSize size{-1, -1};
    for (bool matte : {false, true}) {
      EXPECT_EQ(ReadTargaFrame(path, matte, frame, &size), c.result);
      // Only a frame too large says how large, for the message that names its size.
      EXPECT_EQ(size.width != -1, c.result == TargaRead::kTooLarge);
    }
  }
  FrameSize size;
  EXPECT_EQ(ReadTargaFrame(dir.File("missing0001.tga"), false, frame, &size), kUnreadable);
  std::filesystem::create_directory(dir.File("folder.tga"));
  EXPECT_EQ(ReadTargaFrame(dir.File("folder.tga"), false, frame, &size), kUnreadable);
}

// The address space this process has mapped now, in bytes.
rlim_t MappedBytes() {
  std::ifstream statm("/proc/self/statm");
  rlim_t pages = 0;
  statm >> pages;
  return pages * static_cast<rlim_t>(sysconf(_SC_PAGESIZE));
}

TEST_F(TargaFrameTest, RefusesAFileTooShortForItsFrameBeforeReservingTheFrame) {
  // 5500 × 5500 is a 121 MB frame buffer, within the frame limits. Run-length data needs at
  // least a packet of five bytes for every 128 pixels; raw data all of its pixels.
  const std::string rle = Header(10, 5500, 5500, 32, 8) + std::string("\xFF\1\2\3\4", 5);
  const std::string raw = Header(3, 5500, 5500, 8, 0) + std::string(1 << 20, '\x40');
  ASSERT_EQ(rle.size(), 23u);
  WriteFile(dir.File("rle0001.tga"), rle);
  WriteFile(dir.File("raw0001.tga"), raw);
  // In a child whose address space can grow by no more than 64 MB, reserving the frame would
  // fail (std::bad_alloc, or the sanitizer's allocator aborting).
  auto readBoth = [&] {
    const rlimit limit{MappedBytes() + (rlim_t{64} << 20), RLIM_INFINITY};
    if (setrlimit(RLIMIT_AS, &limit) != 0) return 3;
    try {
      FrameBuffer frame;
      FrameSize size;
      for (const char* name : {"rle0001.tga", "raw0001.tga"}) {
        for (bool matte : {false, true}) {
          if (ReadTargaFrame(dir.File(name), matte, frame, &size) != TargaRead::kUnreadable) {
            return 1;
          }
        }
      }
    } catch (const std::bad_alloc&) {
      return 2;
    }
    return 0;
  };
  EXPECT_EXIT(std::_Exit(readBoth()), ::testing::ExitedWithCode(0), "");
}

}  // namespace

namespace {

// The size a frame file declares is read from its header alone; a file that is not a regular
// file never reaches a reader, so a named pipe cannot hold the caller.
TEST_F(TargaFrameTest, TheSizeAFileDeclaresComesFromItsHeaderAlone) {
  TempDir dir;
  testing_support::WriteTga(dir.File("shot0001.tga"), TgaPicture(7, 5));
  // A Targa header promising more pixels than the file holds: its size is still what it says.
  std::string cut = EncodeTga(TgaPicture(640, 480), {});
  cut.resize(100);
  WriteFile(dir.File("cut0001.tga"), cut);
  WriteFile(dir.File("grey0001.pgm"), std::string("P5\n3 2\n255\n") + std::string(6, '\x80'));
  WriteFile(dir.File("junk0001.png"), "not a picture at all");
  ASSERT_EQ(::mkfifo(dir.File("pipe0001.pgm").c_str(), 0600), 0);
  ASSERT_EQ(::mkfifo(dir.File("pipe0002.tga").c_str(), 0600), 0);
  std::filesystem::create_directory(dir.File("folder0001.tga"));
  const struct {
    const char* name;
    int width, height;  // 0 x 0: no size
  } cases[] = {
      {"shot0001.tga", 7, 5},   {"cut0001.tga", 640, 480}, {"grey0001.pgm", 3, 2},
      {"junk0001.png", 0, 0},   {"pipe0001.pgm", 0, 0},    {"pipe0002.tga", 0, 0},
      {"folder0001.tga", 0, 0}, {"missing0001.tga", 0, 0},
  };
  for (const auto& c : cases) {
    const std::optional<FrameSize> size = ReadFrameSize(dir.File(c.name));
    EXPECT_EQ(size ? size->width : 0, c.width) << c.name;
    EXPECT_EQ(size ? size->height : 0, c.height) << c.name;
  }
}

}  // namespace
