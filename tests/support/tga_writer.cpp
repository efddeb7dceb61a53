#include "tests/support/tga_writer.h"

#include <algorithm>
#include <map>
#include <stdexcept>

#include "tests/support/temp_dir.h"

namespace testing_support {
namespace {

void PutWord(std::string& out, int value) {
  out.push_back(static_cast<char>(value & 0xFF));
  out.push_back(static_cast<char>((value >> 8) & 0xFF));
}

std::string Header(int imageType, int width, int height, int bits, int descriptor, int mapLength,
                   int mapEntryBits, size_t idLength) {
  std::string h;
  h.push_back(static_cast<char>(idLength));
  h.push_back(static_cast<char>(mapLength > 0 ? 1 : 0));  // colour map type
  h.push_back(static_cast<char>(imageType));
  PutWord(h, 0);  // first map entry
  PutWord(h, mapLength);
  h.push_back(static_cast<char>(mapEntryBits));
  PutWord(h, 0);  // x origin
  PutWord(h, 0);  // y origin
  PutWord(h, width);
  PutWord(h, height);
  h.push_back(static_cast<char>(bits));
  h.push_back(static_cast<char>(descriptor));
  return h;
}

void PutColour(std::string& out, const Rgba& p, int bits) {
  out.push_back(static_cast<char>(p.b));
  out.push_back(static_cast<char>(p.g));
  out.push_back(static_cast<char>(p.r));
  if (bits == 32) out.push_back(static_cast<char>(p.a));
}

// Run-length packets over one row of encoded pixels (each bytesPerPixel long): a run of two or
// more equal pixels becomes a run packet, everything else raw packets, at most 128 pixels each.
void PutRleRow(std::string& out, const std::string& row, size_t bytesPerPixel) {
  const size_t count = row.size() / bytesPerPixel;
  auto pixel = [&](size_t i) { return row.substr(i * bytesPerPixel, bytesPerPixel); };
  size_t i = 0;
  while (i < count) {
    size_t run = 1;
    while (i + run < count && run < 128 && pixel(i + run) == pixel(i)) ++run;
    if (run >= 2) {
      out.push_back(static_cast<char>(0x80 | (run - 1)));
      out += pixel(i);
      i += run;
      continue;
    }
    size_t raw = 1;
    while (i + raw < count && raw < 128 &&
           !(i + raw + 1 < count && pixel(i + raw) == pixel(i + raw + 1))) {
      ++raw;
    }
    out.push_back(static_cast<char>(raw - 1));
    out += row.substr(i * bytesPerPixel, raw * bytesPerPixel);
    i += raw;
  }
}

}  // namespace

std::string TgaHeader(int width, int height, int bits) {
  return Header(2, width, height, bits, bits == 32 ? 8 : 0, 0, 0, 0);
}

std::string EncodeTga(const TgaPicture& pic, const TgaOptions& options) {
  if (pic.width < 1 || pic.width > 65535 || pic.height < 1 || pic.height > 65535 ||
      pic.pixels.size() != size_t(pic.width) * pic.height) {
    throw std::invalid_argument("EncodeTga: bad picture size");
  }
  if (options.kind != TgaKind::kGrey && options.bits != 24 && options.bits != 32) {
    throw std::invalid_argument("EncodeTga: bits must be 24 or 32");
  }
  if (options.imageId.size() > 255) throw std::invalid_argument("EncodeTga: image id too long");

  // Colour map: the distinct colours of the picture in sorted order.
  std::map<Rgba, int> indexOf;
  if (options.kind == TgaKind::kColorMapped) {
    for (const Rgba& p : pic.pixels) indexOf.emplace(p, 0);
    if (indexOf.size() > 256) throw std::invalid_argument("EncodeTga: more than 256 colours");
    int next = 0;
    for (auto& entry : indexOf) entry.second = next++;
  }

  int imageType = 2;
  int pixelBits = options.bits;
  int mapLength = 0;
  int mapEntryBits = 0;
  switch (options.kind) {
    case TgaKind::kTrueColor:
      break;
    case TgaKind::kGrey:
      imageType = 3;
      pixelBits = 8;
      break;
    case TgaKind::kColorMapped:
      imageType = 1;
      pixelBits = 8;
      mapLength = static_cast<int>(indexOf.size());
      mapEntryBits = options.bits;
      break;
  }
  if (options.rle) imageType += 8;

  const bool right =
      options.origin == TgaOrigin::kBottomRight || options.origin == TgaOrigin::kTopRight;
  const bool top = options.origin == TgaOrigin::kTopLeft || options.origin == TgaOrigin::kTopRight;
  int alphaBits = options.alphaBits;
  if (alphaBits < 0) alphaBits = options.bits == 32 && options.kind != TgaKind::kGrey ? 8 : 0;
  const int descriptor = (alphaBits & 0x0F) | (right ? 0x10 : 0) | (top ? 0x20 : 0);

  std::string out = Header(imageType, pic.width, pic.height, pixelBits, descriptor, mapLength,
                           mapEntryBits, options.imageId.size());
  out += options.imageId;
  for (const auto& entry : indexOf) PutColour(out, entry.first, mapEntryBits);

  const size_t bytesPerPixel = static_cast<size_t>(pixelBits / 8);
  for (int stored = 0; stored < pic.height; ++stored) {
    const int y = top ? stored : pic.height - 1 - stored;
    std::string row;
    row.reserve(bytesPerPixel * pic.width);
    for (int column = 0; column < pic.width; ++column) {
      const int x = right ? pic.width - 1 - column : column;
      const Rgba& p = pic.At(x, y);
      switch (options.kind) {
        case TgaKind::kTrueColor:
          PutColour(row, p, pixelBits);
          break;
        case TgaKind::kGrey:
          row.push_back(static_cast<char>(p.r));
          break;
        case TgaKind::kColorMapped:
          row.push_back(static_cast<char>(indexOf.at(p)));
          break;
      }
    }
    if (options.rle) {
      PutRleRow(out, row, bytesPerPixel);
    } else {
      out += row;
    }
  }
  return out;
}

void WriteTga(const std::string& path, const TgaPicture& pic, const TgaOptions& options) {
  WriteFile(path, EncodeTga(pic, options));
}

}  // namespace testing_support
