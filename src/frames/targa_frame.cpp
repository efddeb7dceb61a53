#include "frames/targa_frame.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "frames/frame_memory.h"
#include "platform/mfc/cfile.h"

namespace {

constexpr std::size_t kHeaderBytes = 18;

// What the 18-byte header says, for the files this reader takes.
struct PlainTarga {
  std::size_t idBytes = 0;
  bool rle = false;
  std::size_t pixelBytes = 0;  // 3 or 4
  std::size_t width = 0;
  std::size_t height = 0;
  bool topFirst = false;  // the first stored row is the top of the picture
  bool mirrored = false;  // each stored row runs from the right edge to the left
};

unsigned Little16(const unsigned char* p) { return p[0] | unsigned(p[1]) << 8; }

bool EndsWithTga(const std::string& path) {
  if (path.size() < 4) return false;
  const char* ext = path.c_str() + path.size() - 4;
  return ext[0] == '.' && (ext[1] | 0x20) == 't' && (ext[2] | 0x20) == 'g' &&
         (ext[3] | 0x20) == 'a';
}

// Within what ImageMagick would agree to decode, so that a file it refuses is refused here
// with its message.
bool WithinMagickLimits(std::size_t width, std::size_t height) {
  using MagickCore::GetMagickResourceLimit;
  return width <= GetMagickResourceLimit(MagickCore::WidthResource) &&
         height <= GetMagickResourceLimit(MagickCore::HeightResource) &&
         width * height <= GetMagickResourceLimit(MagickCore::AreaResource);
}

bool ParseHeader(const unsigned char* h, PlainTarga* t) {
  const unsigned colorMapType = h[1];
  const unsigned imageType = h[2];
  const unsigned bits = h[16];
  const unsigned descriptor = h[17];
  // True colour without a colour map, 24 or 32 bits, rows not interleaved.
  if (colorMapType != 0 || (imageType != 2 && imageType != 10)) return false;
  if ((bits != 24 && bits != 32) || (descriptor & 0xC0) != 0) return false;
  t->idBytes = h[0];
  t->rle = imageType == 10;
  t->pixelBytes = bits / 8;
  t->width = Little16(h + 12);
  t->height = Little16(h + 14);
  t->mirrored = (descriptor & 0x10) != 0;
  t->topFirst = (descriptor & 0x20) != 0;
  return FrameByteCount(t->width, t->height) >= 0 && WithinMagickLimits(t->width, t->height);
}

// Turns one stored row (pixelBytes a pixel, blue green red [alpha]) into one row of the frame
// buffer: blue green red alpha, or the alpha four times for the matte. 24-bit pixels are opaque.
void ConvertRow(const unsigned char* in, std::size_t pixelBytes, std::size_t width, bool mirrored,
                bool matte, unsigned char* out) {
  if (!mirrored && !matte && pixelBytes == 4) {
    std::memcpy(out, in, width * 4);
    return;
  }
  for (std::size_t x = 0; x < width; ++x) {
    const unsigned char* p = in + (mirrored ? width - 1 - x : x) * pixelBytes;
    unsigned char* q = out + x * 4;
    const unsigned char alpha = pixelBytes == 4 ? p[3] : 255;
    if (matte) {
      q[0] = q[1] = q[2] = q[3] = alpha;
    } else {
      q[0] = p[0];
      q[1] = p[1];
      q[2] = p[2];
      q[3] = alpha;
    }
  }
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

}  // namespace

bool ReadPlainTarga(const std::string& path, bool bMatte, Magick::Blob& blob, FrameSize* size) {
  if (!EndsWithTga(path)) return false;
  EnsureMagickReady();
  CFile file;
  unsigned char header[kHeaderBytes];
  PlainTarga t;
  if (!file.Open(path.c_str(), CFile::modeRead | CFile::shareDenyWrite | CFile::modeNoTruncate) ||
      file.Read(header, sizeof header) != sizeof header || !ParseHeader(header, &t) ||
      file.Seek(static_cast<std::int64_t>(t.idBytes), CFile::current) == CFile::kFailed) {
    return false;
  }
  const std::uint64_t length = file.GetLength();
  const std::uint64_t position = file.GetPosition();
  if (length == CFile::kFailed || position == CFile::kFailed || position > length) return false;
  const std::uint64_t available = length - position;

  const std::size_t width = t.width;
  const std::size_t height = t.height;
  const std::size_t storedRow = width * t.pixelBytes;
  const std::size_t frameBytes = width * height * 4;
  // Raw pixels are read exactly; run-length data is at most one packet byte a pixel more.
  const std::size_t wanted = t.rle ? static_cast<std::size_t>(std::min<std::uint64_t>(
                                         available, height * (storedRow + width)))
                                   : height * storedRow;
  if (available < wanted) return false;

  MagickBytes frame = AcquireMagickBytes(frameBytes);
  // The frame buffer runs bottom-up, as a bottom-left file stores it: such a file's 32-bit
  // pixels are the video buffer as they stand.
  if (!t.rle && !t.topFirst && !t.mirrored && !bMatte && t.pixelBytes == 4) {
    if (file.Read(frame.get(), static_cast<UINT>(frameBytes)) != frameBytes) return false;
  } else {
    MagickBytes stored = AcquireMagickBytes(std::max<std::size_t>(wanted, 1));
    if (file.Read(stored.get(), static_cast<UINT>(wanted)) != wanted) return false;
    const unsigned char* in = stored.get();
    const unsigned char* const end = in + wanted;
    std::vector<unsigned char> row(t.rle ? storedRow : 0);
    RunState run;
    for (std::size_t r = 0; r < height; ++r) {
      const unsigned char* rowIn = in;
      if (t.rle) {
        if (!DecodeRun(&in, end, t.pixelBytes, width, &run, row.data())) return false;
        rowIn = row.data();
      } else {
        in += storedRow;
      }
      const std::size_t target = t.topFirst ? height - 1 - r : r;
      ConvertRow(rowIn, t.pixelBytes, width, t.mirrored, bMatte, frame.get() + target * width * 4);
    }
  }

  blob.updateNoCopy(frame.release(), frameBytes, Magick::Blob::MallocAllocator);
  size->width = static_cast<int>(width);
  size->height = static_cast<int>(height);
  return true;
}
