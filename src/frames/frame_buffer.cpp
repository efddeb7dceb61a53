#include "frames/frame_buffer.h"

#include "frames/magick_policy.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <memory>
#include <mutex>
#include <new>
#include <stdexcept>

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
template <bool kMatte, bool kAlpha>
void ConvertRow(const Magick::PixelPacket* p, std::size_t columns, std::ptrdiff_t step,
                unsigned char* q) {
  if (step < 0) p += columns - 1;
  for (std::size_t x = 0; x < columns; ++x, p += step, q += 4) {
    const unsigned char a = kAlpha ? Alpha(*p) : 255;
    if (kMatte) {
      q[0] = q[1] = q[2] = q[3] = a;
    } else {
      q[0] = Sample(p->blue);
      q[1] = Sample(p->green);
      q[2] = Sample(p->red);
      q[3] = a;
    }
  }
}

using RowConverter = void (*)(const Magick::PixelPacket*, std::size_t, std::ptrdiff_t,
                              unsigned char*);

RowConverter PickConverter(bool matte, bool alpha) {
  if (matte) return alpha ? ConvertRow<true, true> : ConvertRow<true, false>;
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

}  // namespace

namespace {
bool g_magickConfined = false;  // set once, before any frame is read
}  // namespace

void EnsureMagickReady() {
  static std::once_flag once;
  std::call_once(once, [] {
    Magick::InitializeMagick(nullptr);
    g_magickConfined = ConfineMagick();
  });
}

Magick::Image NewMagickImage() {
  EnsureMagickReady();
  return Magick::Image();
}

unsigned char* FrameBuffer::Reserve(FrameSize size) {
  const std::int64_t count =
      FrameByteCount(size.width < 0 ? 0 : size.width, size.height < 0 ? 0 : size.height);
  if (count < 0) throw std::length_error("no frame buffer of that size");
  const auto length = static_cast<std::size_t>(count);
  if (length != m_length || !m_bytes) {
    // The old block goes first, so that a change of size never holds both.
    m_bytes.reset();
    m_length = 0;
    m_size = FrameSize{};
    m_bytes = std::make_unique<unsigned char[]>(length);  // zeroed once per size
    m_length = length;
  }
  m_size = size;
  return m_bytes.get();
}

bool ReadFrameImage(Magick::Image& image, const std::string& path) {
  EnsureMagickReady();
  // A library that would not take our limits reads no frame at all.
  if (!g_magickConfined) return false;
  // The header alone first: a file that claims 65535 × 65535 must not get a pixel cache of
  // tens of gigabytes (in memory or on disk) before it is refused.
  try {
    image.ping(path);
  } catch (const Magick::Warning&) {
    // A warning is not a failure by itself; a ping that left no size is refused just below.
  } catch (...) {
    return false;
  }
  if (FrameByteCount(image.columns(), image.rows()) < 0) return false;

  try {
    image.read(path);
  } catch (const Magick::Warning&) {
    // Magick++ throws warnings too (a PNG text chunk with a bad checksum); the image it has
    // decoded stands, and no image at all is checked below.
  } catch (...) {
    return false;
  }
  try {
    // Turned upright here, so that the size callers take from the image is the buffer's.
    if (image.columns() > 0 && Transposes(image.orientation())) image.autoOrient();
  } catch (...) {
    return false;
  }
  return FrameByteCount(image.columns(), image.rows()) >= 0;
}

FrameSize ExportFrameBuffer(Magick::Image& image, bool bMatte, FrameBuffer& frame) {
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

  const RowConverter convert = PickConverter(bMatte, image.matte());
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
