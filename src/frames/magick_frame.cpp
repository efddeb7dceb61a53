#include "frames/magick_frame.h"

#include <Magick++.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <limits>
#include <memory>
#include <mutex>
#include <new>
#include <stdexcept>

#include "frames/magick_policy.h"

namespace {

using MagickCore::Quantum;

// Frames are exported in bands of rows so that an image whose pixel cache is not in memory
// never needs a second whole-frame copy; an in-memory cache hands out its rows in place.
constexpr std::uint64_t kBandPixels = 1u << 20;

inline unsigned char Sample(Quantum q) { return MagickCore::ScaleQuantumToChar(q); }
inline unsigned char Alpha(const Magick::PixelPacket& p) {
  return MagickCore::ScaleQuantumToChar(static_cast<Quantum>(QuantumRange - p.opacity));
}

// Converts one row of the image into one row of the frame buffer. step is +1 when the image's
// columns run left to right in the picture, -1 when they run right to left.
// A colour sample of a linear-light frame, encoded with the sRGB curve from its 16 bits.
static_assert(QuantumRange == 65535, "the library's samples are 16-bit");
inline unsigned char Encoded(Quantum q) { return SrgbFromLinear16(static_cast<unsigned>(q)); }

template <bool kMatte, bool kAlpha, bool kLinear = false>
void ConvertRow(const Magick::PixelPacket* p, std::size_t columns, std::ptrdiff_t step,
                unsigned char* q) {
  if (step < 0) p += columns - 1;
  for (std::size_t x = 0; x < columns; ++x, p += step, q += 4) {
    const unsigned char a = kAlpha ? Alpha(*p) : 255;
    if (kMatte) {
      q[0] = q[1] = q[2] = q[3] = a;
    } else {
      q[0] = kLinear ? Encoded(p->blue) : Sample(p->blue);
      q[1] = kLinear ? Encoded(p->green) : Sample(p->green);
      q[2] = kLinear ? Encoded(p->red) : Sample(p->red);
      q[3] = a;
    }
  }
}

using RowConverter = void (*)(const Magick::PixelPacket*, std::size_t, std::ptrdiff_t,
                              unsigned char*);

RowConverter PickConverter(bool matte, bool alpha, bool linear) {
  if (matte) return alpha ? ConvertRow<true, true> : ConvertRow<true, false>;
  if (linear) return alpha ? ConvertRow<false, true, true> : ConvertRow<false, false, true>;
  return alpha ? ConvertRow<false, true> : ConvertRow<false, false>;
}

// Whether the samples can be taken as red, green and blue as they stand.
bool HoldsRgbSamples(MagickCore::ColorspaceType colorspace) {
  switch (colorspace) {
    case MagickCore::UndefinedColorspace:
    case MagickCore::RGBColorspace:
    case MagickCore::sRGBColorspace:
    case MagickCore::scRGBColorspace:
    case MagickCore::TransparentColorspace:
    case MagickCore::GRAYColorspace:
    case MagickCore::LinearGRAYColorspace:
      return true;
    default:
      return false;
  }
}

// Whether the samples are linear light: the library's linear RGB (as OpenEXR frames are read)
// and linear grey.
bool LinearLight(MagickCore::ColorspaceType colorspace) {
  return colorspace == MagickCore::RGBColorspace || colorspace == MagickCore::scRGBColorspace ||
         colorspace == MagickCore::LinearGRAYColorspace;
}

// Whether the picture's rows are the image's columns (the photographic orientations 5 to 8).
bool Transposes(MagickCore::OrientationType orientation) {
  switch (orientation) {
    case MagickCore::LeftTopOrientation:
    case MagickCore::RightTopOrientation:
    case MagickCore::RightBottomOrientation:
    case MagickCore::LeftBottomOrientation:
      return true;
    default:
      return false;
  }
}

bool g_magickConfined = false;  // set once, before any frame is read

}  // namespace

void EnsureMagickReady() {
  static std::once_flag once;
  std::call_once(once, [] {
    Magick::InitializeMagick(nullptr);
    g_magickConfined = ConfineMagick();
  });
}

namespace {

// The library's words for a failure, without the program's name before them, the file's name
// quoted among them or the place in the library's source after them: "tga2avi: unable to open
// image `x.png': No such file or directory @ error/blob.c/OpenBlob/3014" gives "unable to open
// image: No such file or directory".
std::string ReasonOf(const std::exception& e) {
  std::string text = e.what();
  const char* client = MagickCore::GetClientName();
  const std::string lead = std::string(client ? client : "") + ": ";
  if (text.compare(0, lead.size(), lead) == 0) text.erase(0, lead.size());
  const std::size_t at = text.find(" @ ");
  if (at != std::string::npos) text.erase(at, text.find(' ', at + 3) - at);
  const std::size_t quote = text.find(" `");
  if (quote != std::string::npos) {
    const std::size_t end = text.find('\'', quote + 2);
    if (end != std::string::npos) text.erase(quote, end + 1 - quote);
  }
  return text;
}

// The library holds a decoded picture in memory or nowhere: its disk cache is closed (no frame
// spills into the temporary folder), so the system policy's memory limit caps a frame's size.
// A pixel costs one PixelPacket, plus one IndexPacket where the picture keeps a palette or a
// black channel. Checked on the header's size, so that such a frame is told as too large
// instead of failing half-way with the library's bare "cache resources exhausted".
bool FitsLibraryMemory(std::size_t columns, std::size_t rows, bool indexes) {
  const std::uint64_t perPixel =
      sizeof(Magick::PixelPacket) + (indexes ? sizeof(MagickCore::IndexPacket) : 0);
  const std::uint64_t limit = MagickCore::GetMagickResourceLimit(MagickCore::MemoryResource);
  return static_cast<std::uint64_t>(columns) * rows <= limit / perPixel;
}

bool HoldsIndexes(const Magick::Image& image) {
  return image.classType() == MagickCore::PseudoClass ||
         image.colorSpace() == MagickCore::CMYKColorspace;
}

// Reads source into image, turned upright so that its columns and rows are the frame buffer's.
// On failure returns false with read's status and reason set.
bool ReadFrameImage(Magick::Image& image, const std::string& source, FrameRead& read) {
  read.status = FrameRead::Status::kOpenFailed;
  // A library that would not take our limits reads no frame at all.
  if (!g_magickConfined) {
    read.reason = "the image library would not take the frame limits";
    return false;
  }
  // A warning is not a failure by itself; it is the reason only if no picture comes of it.
  std::string warning = "no picture in the file";
  // The header alone first: a file that claims 65535 × 65535 must not get a pixel cache of
  // tens of gigabytes (in memory or on disk) before it is refused.
  try {
    image.ping(source);
  } catch (const Magick::Warning& e) {
    warning = ReasonOf(e);
  } catch (const std::exception& e) {
    read.reason = ReasonOf(e);
    return false;
  }
  const char* tooLarge = nullptr;
  if (image.columns() > 0 && image.rows() > 0) {
    if (FrameByteCount(image.columns(), image.rows()) < 0) {
      tooLarge = "more pixels than a frame can hold";
    } else if (!FitsLibraryMemory(image.columns(), image.rows(), HoldsIndexes(image))) {
      tooLarge = "more pixels than the image library may hold in memory";
    }
  }
  if (tooLarge) {
    read.status = FrameRead::Status::kTooLarge;
    read.size.width = static_cast<int>(std::min<std::size_t>(image.columns(), INT_MAX));
    read.size.height = static_cast<int>(std::min<std::size_t>(image.rows(), INT_MAX));
    read.reason = tooLarge;
    return false;
  }
  if (FrameByteCount(image.columns(), image.rows()) < 0) {
    read.reason = warning;
    return false;
  }

  try {
    image.read(source);
  } catch (const Magick::Warning& e) {
    // Magick++ throws warnings too (a PNG text chunk with a bad checksum); the image it has
    // decoded stands, and no image at all is checked below.
    warning = ReasonOf(e);
  } catch (const std::exception& e) {
    read.reason = ReasonOf(e);
    return false;
  }
  try {
    if (image.columns() > 0 && Transposes(image.orientation())) image.autoOrient();
  } catch (const std::exception& e) {
    read.reason = ReasonOf(e);
    return false;
  }
  if (FrameByteCount(image.columns(), image.rows()) < 0) {
    read.reason = warning;
    return false;
  }
  return true;
}

// Exports image into frame, orienting the picture as its file declares it (a bottom-left Targa
// file, whose rows the library keeps in file order, comes out the same as a top-left one of the
// same picture). Returns the buffer's columns and rows. Throws (a Magick::Exception,
// std::bad_alloc, ...) when the export fails; frame's bytes are then undefined.
FrameSize ExportFrameBuffer(Magick::Image& image, bool bMatte, Transfer transfer,
                            FrameBuffer& frame) {
  if (!HoldsRgbSamples(image.colorSpace())) image.colorSpace(MagickCore::sRGBColorspace);

  bool topFirst = true;   // image row 0 is the top of the picture
  bool mirrored = false;  // image column 0 is the right edge of the picture
  switch (image.orientation()) {
    case MagickCore::TopRightOrientation:
      mirrored = true;
      break;
    case MagickCore::BottomRightOrientation:
      mirrored = true;
      topFirst = false;
      break;
    case MagickCore::BottomLeftOrientation:
      topFirst = false;
      break;
    default:
      // Rows and columns trade places: rare enough (photographs) to let the library turn it.
      if (Transposes(image.orientation())) image.autoOrient();
      break;
  }

  const std::size_t columns = image.columns();
  const std::size_t rows = image.rows();
  const std::int64_t bytes = FrameByteCount(columns, rows);
  if (bytes < 0) throw std::length_error("frame too large for a 32-bit byte count");

  unsigned char* const buffer =
      frame.Reserve(FrameSize{static_cast<int>(columns), static_cast<int>(rows)});

  const bool linear = transfer == Transfer::kSrgb && LinearLight(image.colorSpace());
  const RowConverter convert = PickConverter(bMatte, image.matte(), linear);
  const std::ptrdiff_t step = mirrored ? -1 : 1;
  const std::size_t rowBytes = columns * 4;
  const std::size_t band = std::max<std::size_t>(1, kBandPixels / columns);
  for (std::size_t y0 = 0; y0 < rows; y0 += band) {
    const std::size_t count = std::min(band, rows - y0);
    const Magick::PixelPacket* pixels =
        image.getConstPixels(0, static_cast<ssize_t>(y0), columns, count);
    if (!pixels) throw std::runtime_error("no pixels");
    for (std::size_t k = 0; k < count; ++k) {
      const std::size_t y = y0 + k;
      // The buffer runs bottom-up: the picture's bottom row comes first.
      const std::size_t target = topFirst ? rows - 1 - y : y;
      convert(pixels + k * columns, columns, step, buffer + target * rowBytes);
    }
  }
  return FrameSize{static_cast<int>(columns), static_cast<int>(rows)};
}

}  // namespace

FrameRead ReadLibraryFrame(const std::string& source, bool bMatte, FrameBuffer& frame,
                           Transfer transfer) {
  EnsureMagickReady();
  FrameRead read;
  read.path = source;
  Magick::Image image;
  if (!ReadFrameImage(image, source, read)) return read;
  try {
    read.size = ExportFrameBuffer(image, bMatte, transfer, frame);
  } catch (const std::exception& e) {
    read.status = FrameRead::Status::kExportFailed;
    read.reason = ReasonOf(e);
    return read;
  }
  read.status = FrameRead::Status::kOk;
  return read;
}

std::optional<FrameSize> PingFrameSize(const std::string& path) {
  EnsureMagickReady();
  Magick::Image image;
  try {
    image.ping(path);
  } catch (const Magick::Warning&) {
    // A warning that leaves a size is no failure, as with a frame's read.
  } catch (const std::exception&) {
    return std::nullopt;
  }
  if (image.columns() == 0 || image.rows() == 0) return std::nullopt;
  if (image.columns() > INT_MAX || image.rows() > INT_MAX) return std::nullopt;
  return FrameSize{static_cast<int>(image.columns()), static_cast<int>(image.rows())};
}

bool WithinLibraryLimits(std::size_t width, std::size_t height) {
  EnsureMagickReady();
  using MagickCore::GetMagickResourceLimit;
  return width <= GetMagickResourceLimit(MagickCore::WidthResource) &&
         height <= GetMagickResourceLimit(MagickCore::HeightResource) &&
         width * height <= GetMagickResourceLimit(MagickCore::AreaResource) &&
         FitsLibraryMemory(width, height, false);
}
