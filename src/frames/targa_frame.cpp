#include "frames/targa_frame.h"

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>

#include "frames/magick_frame.h"
#include "platform/mfc/cfile.h"

namespace {

constexpr std::size_t kHeaderBytes = 18;
constexpr std::size_t kFooterBytes = 26;
constexpr std::size_t kExtensionBytes = 495;        // a Targa 2.0 extension area, its size first
constexpr char kSignature[] = "TRUEVISION-XFILE.";  // the footer's last 18 bytes, with the zero
constexpr std::size_t kMostPixelsAPacket = 128;
// Pixels that must be converted are read through a block of about this size, not whole.
constexpr std::size_t kBlockBytes = std::size_t{1} << 20;

// How one stored pixel holds its colour.
enum class Pixel {
  kBgra32,       // blue, green, red, alpha
  kBgr24,        // blue, green, red
  kRgb555,       // a little-endian word: blue, green, red in 5 bits each, an attribute bit on top
  kGrey8,        // grey
  kGreyAlpha16,  // grey, alpha
  kIndex8,       // an index into the colour map
  kIndex16,      // a little-endian index into the colour map
};

constexpr std::size_t BytesOf(Pixel pixel) {
  switch (pixel) {
    case Pixel::kBgra32:
      return 4;
    case Pixel::kBgr24:
      return 3;
    case Pixel::kGrey8:
    case Pixel::kIndex8:
      return 1;
    case Pixel::kRgb555:
    case Pixel::kGreyAlpha16:
    case Pixel::kIndex16:
      break;
  }
  return 2;
}

// What the 18-byte header says.
struct TargaLayout {
  Pixel pixel = Pixel::kBgra32;
  std::size_t pixelBytes = 4;
  bool rle = false;
  std::size_t width = 0;
  std::size_t height = 0;
  bool topFirst = false;        // the first stored row is the top of the picture
  bool mirrored = false;        // each stored row runs from the right edge to the left
  bool interleaved = false;     // rows stored two or four ways interleaved
  bool attributeAlpha = false;  // the top bit of a 5-5-5 pixel or map entry is its alpha
  std::size_t idBytes = 0;
  // The colour map, used by indexed pixels and skipped by the others.
  bool hasMap = false;
  std::size_t mapFirst = 0;  // the index of its first entry
  std::size_t mapLength = 0;
  std::size_t mapEntryBytes = 0;
  unsigned mapEntryBits = 0;
};

unsigned Little16(const unsigned char* p) { return p[0] | unsigned(p[1]) << 8; }
std::uint32_t Little32(const unsigned char* p) {
  return Little16(p) | std::uint32_t(Little16(p + 2)) << 16;
}

bool EndsWithTga(const std::string& path) {
  if (path.size() < 4) return false;
  const char* ext = path.c_str() + path.size() - 4;
  return ext[0] == '.' && (ext[1] | 0x20) == 't' && (ext[2] | 0x20) == 'g' &&
         (ext[3] | 0x20) == 'a';
}

// False when the header is not a Targa header at all: a map type, image type, pixel size or map
// entry size the format does not have, or indexed pixels without a map.
bool ParseHeader(const unsigned char* h, TargaLayout* t) {
  const unsigned mapType = h[1];
  const unsigned imageType = h[2];
  const unsigned bits = h[16];
  const unsigned descriptor = h[17];
  if (mapType > 1) return false;
  t->hasMap = mapType == 1;
  if (t->hasMap) {
    t->mapFirst = Little16(h + 3);
    t->mapLength = Little16(h + 5);
    t->mapEntryBits = h[7];
    if (t->mapEntryBits != 15 && t->mapEntryBits != 16 && t->mapEntryBits != 24 &&
        t->mapEntryBits != 32) {
      return false;
    }
    t->mapEntryBytes = (t->mapEntryBits + 7) / 8;
  }
  switch (imageType) {
    case 1:
    case 9:  // colour-mapped
      if (!t->hasMap || (bits != 8 && bits != 16)) return false;
      t->pixel = bits == 8 ? Pixel::kIndex8 : Pixel::kIndex16;
      break;
    case 2:
    case 10:  // true colour
      if (bits == 15 || bits == 16) {
        t->pixel = Pixel::kRgb555;
      } else if (bits == 24 || bits == 32) {
        t->pixel = bits == 24 ? Pixel::kBgr24 : Pixel::kBgra32;
      } else {
        return false;
      }
      break;
    case 3:
    case 11:  // grey
      if (bits != 8 && bits != 16) return false;
      t->pixel = bits == 8 ? Pixel::kGrey8 : Pixel::kGreyAlpha16;
      break;
    default:
      return false;
  }
  t->pixelBytes = BytesOf(t->pixel);
  t->rle = imageType >= 9;
  t->idBytes = h[0];
  t->width = Little16(h + 12);
  t->height = Little16(h + 14);
  t->attributeAlpha = (descriptor & 0x0F) == 1;
  t->mirrored = (descriptor & 0x10) != 0;
  t->topFirst = (descriptor & 0x20) != 0;
  t->interleaved = (descriptor & 0xC0) != 0;
  return true;
}

// The alpha type of the file's Targa 2.0 extension area, when it has one: a footer that ends in
// the signature and points at an area between the header and itself that says it is 495 bytes.
std::optional<unsigned> ExtensionAlphaType(CFile& file, std::uint64_t length) {
  if (length < kHeaderBytes + kFooterBytes) return std::nullopt;
  const std::uint64_t footerAt = length - kFooterBytes;
  unsigned char footer[kFooterBytes];
  if (file.Seek(static_cast<std::int64_t>(footerAt), CFile::begin) == CFile::kFailed ||
      file.Read(footer, sizeof footer) != sizeof footer ||
      std::memcmp(footer + 8, kSignature, sizeof kSignature) != 0) {
    return std::nullopt;
  }
  const std::uint64_t areaAt = Little32(footer);
  if (areaAt < kHeaderBytes || areaAt > footerAt || footerAt - areaAt < kExtensionBytes) {
    return std::nullopt;
  }
  unsigned char area[kExtensionBytes];
  if (file.Seek(static_cast<std::int64_t>(areaAt), CFile::begin) == CFile::kFailed ||
      file.Read(area, sizeof area) != sizeof area || Little16(area) != kExtensionBytes) {
    return std::nullopt;
  }
  return area[kExtensionBytes - 1];
}

// A pixel as the frame buffer's video bytes hold it: blue in the low byte, alpha in the high.
constexpr std::uint32_t Bgra(unsigned b, unsigned g, unsigned r, unsigned a) {
  return b | g << 8 | r << 16 | std::uint32_t(a) << 24;
}

// The 8-bit sample each 5-bit one stands for, in proportion and rounded (the library's values).
constexpr std::array<unsigned char, 32> kFromFiveBits = [] {
  std::array<unsigned char, 32> table{};
  for (unsigned v = 0; v < 32; ++v) table[v] = static_cast<unsigned char>((v * 255 + 15) / 31);
  return table;
}();

inline std::uint32_t FromRgb555(unsigned word, bool attributeAlpha) {
  const unsigned alpha = !attributeAlpha || (word & 0x8000) != 0 ? 255 : 0;
  return Bgra(kFromFiveBits[word & 31], kFromFiveBits[(word >> 5) & 31],
              kFromFiveBits[(word >> 10) & 31], alpha);
}

// What a row needs besides its bytes: the attribute bit's meaning and the colour map.
struct PixelContext {
  bool attributeAlpha = false;
  const std::uint32_t* map = nullptr;
  std::size_t mapFirst = 0;
  std::size_t mapLength = 0;
};

// One stored pixel as Bgra; false for an index outside the colour map.
template <Pixel kPixel>
inline bool DecodePixel(const unsigned char* p, const PixelContext& c, std::uint32_t* bgra) {
  if constexpr (kPixel == Pixel::kBgra32) {
    *bgra = Bgra(p[0], p[1], p[2], p[3]);
  } else if constexpr (kPixel == Pixel::kBgr24) {
    *bgra = Bgra(p[0], p[1], p[2], 255);
  } else if constexpr (kPixel == Pixel::kRgb555) {
    *bgra = FromRgb555(Little16(p), c.attributeAlpha);
  } else if constexpr (kPixel == Pixel::kGrey8) {
    *bgra = Bgra(p[0], p[0], p[0], 255);
  } else if constexpr (kPixel == Pixel::kGreyAlpha16) {
    *bgra = Bgra(p[0], p[0], p[0], p[1]);
  } else {
    const std::size_t index = kPixel == Pixel::kIndex8 ? p[0] : Little16(p);
    // Below the first entry the difference wraps past the map's length too.
    const std::size_t entry = index - c.mapFirst;
    if (entry >= c.mapLength) return false;
    *bgra = c.map[entry];
  }
  return true;
}

// Turns one stored row into one row of the frame buffer: blue green red alpha, or the alpha four
// times for the matte. False when a pixel is an index outside the colour map.
template <Pixel kPixel, bool kMatte, bool kMirrored>
bool ConvertRow(const unsigned char* in, std::size_t width, const PixelContext& c,
                unsigned char* out) {
  constexpr std::size_t kBytes = BytesOf(kPixel);
  if constexpr (kPixel == Pixel::kBgra32 && !kMatte && !kMirrored) {
    std::memcpy(out, in, width * 4);
    return true;
  }
  for (std::size_t x = 0; x < width; ++x, out += 4) {
    std::uint32_t v;
    if (!DecodePixel<kPixel>(in + (kMirrored ? width - 1 - x : x) * kBytes, c, &v)) return false;
    if (kMatte) {
      out[0] = out[1] = out[2] = out[3] = static_cast<unsigned char>(v >> 24);
    } else {
      out[0] = static_cast<unsigned char>(v);
      out[1] = static_cast<unsigned char>(v >> 8);
      out[2] = static_cast<unsigned char>(v >> 16);
      out[3] = static_cast<unsigned char>(v >> 24);
    }
  }
  return true;
}

using RowConverter = bool (*)(const unsigned char*, std::size_t, const PixelContext&,
                              unsigned char*);

template <Pixel kPixel>
RowConverter PickConverter(bool matte, bool mirrored) {
  if (matte) return mirrored ? ConvertRow<kPixel, true, true> : ConvertRow<kPixel, true, false>;
  return mirrored ? ConvertRow<kPixel, false, true> : ConvertRow<kPixel, false, false>;
}

RowConverter PickConverter(Pixel pixel, bool matte, bool mirrored) {
  switch (pixel) {
    case Pixel::kBgra32:
      return PickConverter<Pixel::kBgra32>(matte, mirrored);
    case Pixel::kBgr24:
      return PickConverter<Pixel::kBgr24>(matte, mirrored);
    case Pixel::kRgb555:
      return PickConverter<Pixel::kRgb555>(matte, mirrored);
    case Pixel::kGrey8:
      return PickConverter<Pixel::kGrey8>(matte, mirrored);
    case Pixel::kGreyAlpha16:
      return PickConverter<Pixel::kGreyAlpha16>(matte, mirrored);
    case Pixel::kIndex8:
      return PickConverter<Pixel::kIndex8>(matte, mirrored);
    case Pixel::kIndex16:
      break;
  }
  return PickConverter<Pixel::kIndex16>(matte, mirrored);
}

// The colour map's entries as Bgra.
std::vector<std::uint32_t> DecodeMap(const unsigned char* in, const TargaLayout& t) {
  std::vector<std::uint32_t> map(t.mapLength);
  for (std::uint32_t& entry : map) {
    switch (t.mapEntryBits) {
      case 32:
        entry = Bgra(in[0], in[1], in[2], in[3]);
        break;
      case 24:
        entry = Bgra(in[0], in[1], in[2], 255);
        break;
      default:  // 15 or 16
        entry = FromRgb555(Little16(in), t.attributeAlpha);
        break;
    }
    in += t.mapEntryBytes;
  }
  return map;
}

// A run-length packet may run on past the end of a row: what it still owes the next one.
struct RunState {
  std::size_t pending = 0;  // pixels
  bool repeat = false;      // copies of pixel, else stored pixels that follow
  unsigned char pixel[4] = {};
};

// Decodes packets from [*in, end) into count pixels at out, moving *in past what it used.
// False when the data ends first.
bool DecodeRun(const unsigned char** in, const unsigned char* end, std::size_t pixelBytes,
               std::size_t count, RunState* state, unsigned char* out) {
  const unsigned char* p = *in;
  while (count > 0) {
    if (state->pending == 0) {
      if (p == end) return false;
      const unsigned char packet = *p++;
      state->repeat = (packet & 0x80) != 0;
      state->pending = (packet & 0x7F) + 1u;
      if (state->repeat) {
        if (static_cast<std::size_t>(end - p) < pixelBytes) return false;
        std::memcpy(state->pixel, p, pixelBytes);
        p += pixelBytes;
      }
    }
    const std::size_t n = std::min(count, state->pending);
    if (state->repeat) {
      for (std::size_t i = 0; i < n; ++i)
        std::memcpy(out + i * pixelBytes, state->pixel, pixelBytes);
    } else {
      if (static_cast<std::size_t>(end - p) < n * pixelBytes) return false;
      std::memcpy(out, p, n * pixelBytes);
      p += n * pixelBytes;
    }
    out += n * pixelBytes;
    count -= n;
    state->pending -= n;
  }
  *in = p;
  return true;
}

// Alpha types 0 and 1 say the file has no alpha to use; 2 says keep it, but a file that says 2
// and holds 0 everywhere (Truevision's own samples do) means no alpha either.
void ApplyAlphaType(unsigned alphaType, bool matte, unsigned char* frame, std::size_t bytes) {
  if (alphaType > 2) return;
  const std::size_t first = matte ? 0 : 3;
  const std::size_t step = matte ? 1 : 4;
  if (alphaType == 2) {
    for (std::size_t i = first; i < bytes; i += step) {
      if (frame[i] != 0) return;
    }
  }
  if (matte) {
    std::memset(frame, 255, bytes);
  } else {
    for (std::size_t i = 3; i < bytes; i += 4) frame[i] = 255;
  }
}

// Turns 32-bit pixels, where they lie, into the matte: each pixel's alpha in all four bytes.
void SpreadAlpha(unsigned char* frame, std::size_t bytes) {
  for (std::size_t i = 0; i < bytes; i += 4) {
    std::uint32_t pixel;
    std::memcpy(&pixel, frame + i, 4);
    pixel = (pixel >> 24) * 0x01010101u;
    std::memcpy(frame + i, &pixel, 4);
  }
}

// The file's stored pixels, read a block at a time: the frame buffer is the only frame-sized
// block a read needs, whatever the layout.
class StoredPixels {
 public:
  // Reads at most length bytes on from file's position, in blocks that hold at least least.
  StoredPixels(CFile& file, std::uint64_t length, std::size_t least)
      : m_file(file),
        m_left(length),
        // No bigger than what is left to read, so that a small file costs a small block.
        m_capacity(std::max(
            least, static_cast<std::size_t>(std::min<std::uint64_t>(kBlockBytes, length)))),
        m_block(std::make_unique<unsigned char[]>(m_capacity)),
        m_in(m_block.get()),
        m_end(m_block.get()) {}

  // Makes want bytes (want at most least) ready from cursor() on, or as many as are left to
  // read; false when the file cannot be read.
  bool Hold(std::size_t want) {
    const std::size_t held = static_cast<std::size_t>(m_end - m_in);
    if (held >= want || m_left == 0) return true;
    std::memmove(m_block.get(), m_in, held);
    const std::size_t add =
        static_cast<std::size_t>(std::min<std::uint64_t>(m_capacity - held, m_left));
    if (m_file.Read(m_block.get() + held, static_cast<UINT>(add)) != add) return false;
    m_left -= add;
    m_in = m_block.get();
    m_end = m_in + held + add;
    return true;
  }
  // The first byte not used yet, moved on by the caller.
  const unsigned char*& cursor() { return m_in; }
  const unsigned char* end() const { return m_end; }

 private:
  CFile& m_file;
  std::uint64_t m_left;
  std::size_t m_capacity;
  std::unique_ptr<unsigned char[]> m_block;
  const unsigned char* m_in;
  const unsigned char* m_end;
};

}  // namespace

TargaRead ReadTargaFrame(const std::string& path, bool bMatte, FrameBuffer& frame, FrameSize* size,
                         std::string* reason, bool* premultiplied) {
  if (!EndsWithTga(path)) return TargaRead::kNotTarga;
  auto refuse = [reason](const char* why) {
    if (reason) *reason = why;
    return TargaRead::kUnreadable;
  };
  CFile file;
  CFileException error;
  if (!file.Open(path.c_str(), CFile::modeRead | CFile::shareDenyWrite | CFile::modeNoTruncate,
                 &error)) {
    return refuse(std::strerror(error.m_cause));
  }
  unsigned char header[kHeaderBytes];
  TargaLayout t;
  if (file.Read(header, sizeof header) != sizeof header || !ParseHeader(header, &t)) {
    return TargaRead::kNotTarga;
  }
  if (t.interleaved) return refuse("interleaved rows");
  if (t.width == 0 || t.height == 0) return refuse("an empty frame");
  if (FrameByteCount(t.width, t.height) < 0 || !WithinLibraryLimits(t.width, t.height)) {
    size->width = static_cast<int>(t.width);
    size->height = static_cast<int>(t.height);
    return TargaRead::kTooLarge;
  }

  // Whatever the header declares must be in the file before a frame-sized block is reserved:
  // raw pixels all of them, run-length data at least one packet (a count byte and a pixel) for
  // every 128 pixels.
  const std::uint64_t length = file.GetLength();
  const std::uint64_t mapAt = kHeaderBytes + t.idBytes;
  const std::uint64_t mapBytes = t.hasMap ? t.mapLength * t.mapEntryBytes : 0;
  const std::uint64_t dataAt = mapAt + mapBytes;
  const std::size_t pixels = t.width * t.height;
  const std::size_t rawBytes = pixels * t.pixelBytes;
  const std::uint64_t leastData =
      t.rle ? (pixels + kMostPixelsAPacket - 1) / kMostPixelsAPacket * (1 + t.pixelBytes)
            : rawBytes;
  if (length == CFile::kFailed || length < dataAt || length - dataAt < leastData) {
    return refuse("shorter than its header declares");
  }
  const std::optional<unsigned> alphaType = ExtensionAlphaType(file, length);

  PixelContext context;
  context.attributeAlpha = t.attributeAlpha;
  std::vector<std::uint32_t> map;
  if (t.pixel == Pixel::kIndex8 || t.pixel == Pixel::kIndex16) {
    std::vector<unsigned char> stored(static_cast<std::size_t>(mapBytes));
    if (file.Seek(static_cast<std::int64_t>(mapAt), CFile::begin) == CFile::kFailed ||
        file.Read(stored.data(), static_cast<UINT>(mapBytes)) != mapBytes) {
      return refuse("cut short");
    }
    map = DecodeMap(stored.data(), t);
    context.map = map.data();
    context.mapFirst = t.mapFirst;
    context.mapLength = map.size();
  }
  if (file.Seek(static_cast<std::int64_t>(dataAt), CFile::begin) == CFile::kFailed) {
    return refuse("cut short");
  }

  const std::size_t width = t.width;
  const std::size_t height = t.height;
  const std::size_t frameBytes = pixels * 4;
  unsigned char* const out =
      frame.Reserve(FrameSize{static_cast<int>(width), static_cast<int>(height)});
  // The frame buffer runs bottom-up, as a bottom-left file stores it: such a file's raw 32-bit
  // pixels are the video buffer as they stand, and the matte is made from them where they lie.
  if (!t.rle && t.pixel == Pixel::kBgra32 && !t.topFirst && !t.mirrored) {
    if (file.Read(out, static_cast<UINT>(frameBytes)) != frameBytes) {
      return refuse("cut short");
    }
    if (bMatte) SpreadAlpha(out, frameBytes);
  } else {
    // Raw pixels are read exactly; run-length data is at most one packet byte a pixel more.
    const std::size_t wanted = t.rle ? static_cast<std::size_t>(std::min<std::uint64_t>(
                                           length - dataAt, pixels * (1 + t.pixelBytes)))
                                     : rawBytes;
    const std::size_t storedRow = width * t.pixelBytes;
    // The most one row can take from the file: a packet byte for every pixel.
    const std::size_t rowMost = t.rle ? width * (1 + t.pixelBytes) : storedRow;
    StoredPixels stored(file, wanted, rowMost);
    const RowConverter convert = PickConverter(t.pixel, bMatte, t.mirrored);
    const unsigned char*& in = stored.cursor();
    std::vector<unsigned char> row(t.rle ? storedRow : 0);
    RunState run;
    for (std::size_t r = 0; r < height; ++r) {
      if (!stored.Hold(rowMost)) return refuse("cut short");
      const unsigned char* rowIn = in;
      if (t.rle) {
        if (!DecodeRun(&in, stored.end(), t.pixelBytes, width, &run, row.data())) {
          return refuse("run-length data cut short");
        }
        rowIn = row.data();
      } else {
        if (static_cast<std::size_t>(stored.end() - in) < storedRow) return refuse("cut short");
        in += storedRow;
      }
      const std::size_t target = t.topFirst ? height - 1 - r : r;
      if (!convert(rowIn, width, context, out + target * width * 4)) {
        return refuse("a colour index outside the colour map");
      }
    }
  }
  if (alphaType) ApplyAlphaType(*alphaType, bMatte, out, frameBytes);
  if (premultiplied) *premultiplied = alphaType == 4U;

  size->width = static_cast<int>(width);
  size->height = static_cast<int>(height);
  return TargaRead::kRead;
}

std::optional<FrameSize> ReadFrameSize(const std::string& path) {
  if (EndsWithTga(path)) {
    CFile file;
    if (!file.Open(path.c_str(), CFile::modeRead | CFile::shareDenyWrite | CFile::modeNoTruncate)) {
      return std::nullopt;
    }
    unsigned char header[kHeaderBytes];
    TargaLayout t;
    if (file.Read(header, sizeof header) == sizeof header && ParseHeader(header, &t)) {
      if (t.width == 0 || t.height == 0) return std::nullopt;
      return FrameSize{static_cast<int>(t.width), static_cast<int>(t.height)};
    }
    // A .tga file without a Targa header is read by the library, as ReadTargaFrame leaves it.
  }
  // Only regular files reach the library: it would wait for ever on a named pipe.
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
  return PingFrameSize(path);
}
