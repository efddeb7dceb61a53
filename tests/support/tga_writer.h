#pragma once
// A small Targa writer for test fixtures, so that every fixture says exactly what its header
// declares. The picture is given as it is seen (top row first, left to right); the options say
// how the file stores it: true colour (32-bit with alpha, 24-bit without, 15- and 16-bit 5-5-5),
// 8-bit grey, grey with alpha, or colour-mapped (8- or 16-bit indices, map entries of 15 to 32
// bits), raw or run-length encoded, from which of the four corners the rows run, and whether a
// Targa 2.0 extension area declares an alpha type.
//
//   TgaPicture pic(2, 1);
//   pic.At(0, 0) = {10, 20, 30, 40};
//   WriteTga(dir.File("shot0001.tga"), pic, {});                    // 32-bit raw, bottom-left
//   std::string rle = EncodeTga(pic, {TgaKind::kTrueColor, 24, true, TgaOrigin::kTopLeft});

#include <cstdint>
#include <string>
#include <vector>

namespace testing_support {

struct Rgba {
  std::uint8_t r = 0;
  std::uint8_t g = 0;
  std::uint8_t b = 0;
  std::uint8_t a = 255;
  friend bool operator==(const Rgba& x, const Rgba& y) {
    return x.r == y.r && x.g == y.g && x.b == y.b && x.a == y.a;
  }
  friend bool operator<(const Rgba& x, const Rgba& y) {
    return std::uint32_t(x.r << 24 | x.g << 16 | x.b << 8 | x.a) <
           std::uint32_t(y.r << 24 | y.g << 16 | y.b << 8 | y.a);
  }
};

/// A picture as it is seen: width × height pixels, top row first, each row left to right.
struct TgaPicture {
  TgaPicture() = default;
  TgaPicture(int w, int h, Rgba fill = {}) : width(w), height(h), pixels(size_t(w) * h, fill) {}

  /// The pixel in column x of row y, row 0 being the top of the picture.
  Rgba& At(int x, int y) { return pixels[size_t(y) * width + x]; }
  const Rgba& At(int x, int y) const { return pixels[size_t(y) * width + x]; }

  int width = 0;
  int height = 0;
  std::vector<Rgba> pixels;
};

enum class TgaKind {
  kTrueColor,    ///< image type 2 (10 with RLE): blue, green, red[, alpha] per pixel, or 5-5-5
  kGrey,         ///< image type 3 (11): one byte per pixel, the red sample of the picture
  kGreyAlpha,    ///< image type 3 (11), 16 bits: the red sample, then alpha
  kColorMapped,  ///< image type 1 (9): one index per pixel into a map of the colours used
};

/// The corner of the picture that the file's first stored pixel belongs to.
enum class TgaOrigin { kBottomLeft, kBottomRight, kTopLeft, kTopRight };

struct TgaOptions {
  TgaKind kind = TgaKind::kTrueColor;
  /// 32, 24, 16 or 15: the pixel size of true-colour files and the entry size of the colour map.
  /// 24 and 15 drop alpha; 16 keeps its top bit (set where alpha is 128 or more); 16 and 15 keep
  /// the five high bits of each colour sample, rounded. Grey files ignore it.
  int bits = 32;
  bool rle = false;
  TgaOrigin origin = TgaOrigin::kBottomLeft;
  /// The alpha bits declared in the descriptor byte; -1 gives 8 for 32 bits and grey with
  /// alpha, 1 for 16 bits, else 0.
  int alphaBits = -1;
  /// Text of the image identification field that follows the header (at most 255 bytes).
  std::string imageId = {};
  /// Colour-mapped files: 8 or 16 bits an index, and the index of the map's first entry (the
  /// pixels' indices start there).
  int indexBits = 8;
  int mapFirst = 0;
  /// True-colour and grey files: a colour map of this many 24-bit entries that no pixel uses.
  int unusedMapEntries = 0;
  /// 0 to 255: the file ends with a Targa 2.0 extension area declaring this alpha type
  /// (attributes type) and the footer that points at it; -1: neither.
  int alphaType = -1;
};

/// The bytes of a Targa file holding pic as options asks. RLE packets never cross a row.
/// Throws std::invalid_argument on a picture that the options cannot hold (a size outside
/// 1..65535, more colours than the indices reach, a pixel size the kind does not have).
std::string EncodeTga(const TgaPicture& pic, const TgaOptions& options = {});

/// Writes EncodeTga(pic, options) to path, replacing it.
void WriteTga(const std::string& path, const TgaPicture& pic, const TgaOptions& options = {});

/// An 18-byte Targa header alone (true colour, raw, bottom-left) declaring width × height at
/// bits per pixel, with no pixels after it: for files whose header promises what is not there.
std::string TgaHeader(int width, int height, int bits = 32);

/// The 8-bit sample a 5-bit one stands for: v × 255 / 31, rounded (0 → 0, 16 → 132, 31 → 255).
std::uint8_t Expand5(int v);

/// The frame buffer a reader must give for pic: rows bottom-up, each pixel blue, green, red,
/// alpha, or (matte) its alpha four times.
std::vector<std::uint8_t> FrameBufferOf(const TgaPicture& pic, bool matte);

}  // namespace testing_support
