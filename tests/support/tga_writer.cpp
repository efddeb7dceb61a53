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

struct MapFields {
  int type = 0;  // colour map type: 1 when the file carries a map
  int first = 0;
  int length = 0;
  int entryBits = 0;
};

std::string Header(int imageType, int width, int height, int bits, int descriptor,
                   const MapFields& map, size_t idLength) {
  std::string h;
  h.push_back(static_cast<char>(idLength));
  h.push_back(static_cast<char>(map.type));
  h.push_back(static_cast<char>(imageType));
  PutWord(h, map.first);
  PutWord(h, map.length);
  h.push_back(static_cast<char>(map.entryBits));
  PutWord(h, 0);  // x origin
  PutWord(h, 0);  // y origin
  PutWord(h, width);
  PutWord(h, height);
  h.push_back(static_cast<char>(bits));
  h.push_back(static_cast<char>(descriptor));
  return h;
}

// The 5-bit sample nearest to an 8-bit one.
int Quantise5(int v) { return (v * 31 + 127) / 255; }

// Blue, green, red[, alpha] bytes, or a little-endian 5-5-5 word whose top bit (16 bits only)
// is set where alpha is at least half.
void PutColour(std::string& out, const Rgba& p, int bits) {
  if (bits == 15 || bits == 16) {
    int v = Quantise5(p.b) | Quantise5(p.g) << 5 | Quantise5(p.r) << 10;
    if (bits == 16 && p.a >= 128) v |= 0x8000;
    PutWord(out, v);
    return;
  }
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
  return Header(2, width, height, bits, bits == 32 ? 8 : 0, {}, 0);
}

std::uint8_t Expand5(int v) { return static_cast<std::uint8_t>((v * 255 + 15) / 31); }

std::vector<std::uint8_t> FrameBufferOf(const TgaPicture& pic, bool matte) {
  std::vector<std::uint8_t> out;
  out.reserve(pic.pixels.size() * 4);
  for (int y = pic.height - 1; y >= 0; --y) {
    for (int x = 0; x < pic.width; ++x) {
      const Rgba& p = pic.At(x, y);
      if (matte) {
        out.insert(out.end(), {p.a, p.a, p.a, p.a});
      } else {
        out.insert(out.end(), {p.b, p.g, p.r, p.a});
      }
    }
  }
  return out;
}

std::string EncodeTga(const TgaPicture& pic, const TgaOptions& options) {
  if (pic.width < 1 || pic.width > 65535 || pic.height < 1 || pic.height > 65535 ||
      pic.pixels.size() != size_t(pic.width) * pic.height) {
    throw std::invalid_argument("EncodeTga: bad picture size");
  }
  const bool colourBits =
      options.bits == 15 || options.bits == 16 || options.bits == 24 || options.bits == 32;
  if ((options.kind == TgaKind::kTrueColor || options.kind == TgaKind::kColorMapped) &&
      !colourBits) {
    throw std::invalid_argument("EncodeTga: bits must be 15, 16, 24 or 32");
  }
  if (options.kind == TgaKind::kColorMapped && options.indexBits != 8 && options.indexBits != 16) {
    throw std::invalid_argument("EncodeTga: indices must be 8 or 16 bits");
  }
  if (options.imageId.size() > 255) throw std::invalid_argument("EncodeTga: image id too long");

  // Colour map: the distinct colours of the picture in sorted order, from mapFirst on.
  std::map<Rgba, int> indexOf;
  if (options.kind == TgaKind::kColorMapped) {
    for (const Rgba& p : pic.pixels) indexOf.emplace(p, 0);
    const size_t reach = options.indexBits == 8 ? 256 : 65536;
    if (options.mapFirst < 0 || options.mapFirst + indexOf.size() > reach) {
      throw std::invalid_argument("EncodeTga: more colours than the indices reach");
    }
    int next = options.mapFirst;
    for (auto& entry : indexOf) entry.second = next++;
  }

  int imageType = 2;
  int pixelBits = options.bits;
  MapFields map;
  int defaultAlphaBits = options.bits == 32 ? 8 : options.bits == 16 ? 1 : 0;
  switch (options.kind) {
    case TgaKind::kTrueColor:
      break;
    case TgaKind::kGrey:
      imageType = 3;
      pixelBits = 8;
      defaultAlphaBits = 0;
      break;
    case TgaKind::kGreyAlpha:
      imageType = 3;
      pixelBits = 16;
      defaultAlphaBits = 8;
      break;
    case TgaKind::kColorMapped:
      imageType = 1;
      pixelBits = options.indexBits;
      map = {1, options.mapFirst, static_cast<int>(indexOf.size()), options.bits};
      break;
  }
  if (options.kind != TgaKind::kColorMapped && options.unusedMapEntries > 0) {
    if (options.unusedMapEntries > 65535) throw std::invalid_argument("EncodeTga: map too long");
    map = {1, 0, options.unusedMapEntries, 24};
  }
  if (options.rle) imageType += 8;

  const bool right =
      options.origin == TgaOrigin::kBottomRight || options.origin == TgaOrigin::kTopRight;
  const bool top = options.origin == TgaOrigin::kTopLeft || options.origin == TgaOrigin::kTopRight;
  const int alphaBits = options.alphaBits < 0 ? defaultAlphaBits : options.alphaBits;
  const int descriptor = (alphaBits & 0x0F) | (right ? 0x10 : 0) | (top ? 0x20 : 0);

  std::string out =
      Header(imageType, pic.width, pic.height, pixelBits, descriptor, map, options.imageId.size());
  out += options.imageId;
  if (options.kind == TgaKind::kColorMapped) {
    for (const auto& entry : indexOf) PutColour(out, entry.first, map.entryBits);
  } else {
    for (int i = 0; i < map.length; ++i) {
      PutColour(out, {std::uint8_t(i), std::uint8_t(255 - i), std::uint8_t(i * 7)}, 24);
    }
  }

  const size_t bytesPerPixel = static_cast<size_t>((pixelBits + 7) / 8);
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
        case TgaKind::kGreyAlpha:
          row.push_back(static_cast<char>(p.r));
          row.push_back(static_cast<char>(p.a));
          break;
        case TgaKind::kColorMapped:
          if (options.indexBits == 8) {
            row.push_back(static_cast<char>(indexOf.at(p)));
          } else {
            PutWord(row, indexOf.at(p));
          }
          break;
      }
    }
    if (options.rle) {
      PutRleRow(out, row, bytesPerPixel);
    } else {
      out += row;
    }
  }

  if (options.alphaType >= 0) {
    // The extension area (495 bytes: its own size first, the attributes type last), then the
    // footer: the extension area's offset, no developer area, the signature.
    const size_t extension = out.size();
    std::string area(495, '\0');
    area[0] = static_cast<char>(495 & 0xFF);
    area[1] = static_cast<char>(495 >> 8);
    area[494] = static_cast<char>(options.alphaType);
    out += area;
    PutWord(out, static_cast<int>(extension & 0xFFFF));
    PutWord(out, static_cast<int>(extension >> 16));
    PutWord(out, 0);
    PutWord(out, 0);
    out += "TRUEVISION-XFILE.";
    out.push_back('\0');
  }
  return out;
}

void WriteTga(const std::string& path, const TgaPicture& pic, const TgaOptions& options) {
  WriteFile(path, EncodeTga(pic, options));
}

}  // namespace testing_support
