#include "frames/read_ahead.h"

#include <utility>

#include "frames/targa_frame.h"

FrameRead::Status ReadFrameInto(Magick::Image& image, Magick::Blob& blob, FrameSize* size,
                                const std::string& path, bool bMatte) {
  try {
    if (ReadPlainTarga(path, bMatte, blob, size)) {
      image = Magick::Image();  // nothing read through the library
      return FrameRead::Status::kOk;
    }
  } catch (...) {
    // No memory for the buffer: the library's reader will say so in its own way.
  }
  if (!ReadFrameImage(image, path)) return FrameRead::Status::kOpenFailed;
  try {
    *size = ExportFrameBuffer(image, bMatte, blob);
  } catch (...) {
    return FrameRead::Status::kExportFailed;
  }
  return FrameRead::Status::kOk;
}

namespace {

FrameRead ReadOnItsOwn(const std::string& path, bool bMatte) {
  FrameRead read;
  read.image = NewMagickImage();
  read.status = ReadFrameInto(read.image, read.blob, &read.size, path, bMatte);
  return read;
}

}  // namespace

bool FrameReadAhead::Start(const std::string& path, bool bMatte) {
  if (m_pending.size() >= kMaxPending) return false;
  m_pending.push_back({path, bMatte, std::async(std::launch::async, ReadOnItsOwn, path, bMatte)});
  return true;
}

std::optional<FrameRead> FrameReadAhead::Take(const std::string& path, bool bMatte) {
  if (m_pending.empty()) return std::nullopt;
  if (m_pending.front().path != path || m_pending.front().matte != bMatte) {
    Abandon();
    return std::nullopt;
  }
  FrameRead read = m_pending.front().read.get();
  m_pending.pop_front();
  return read;
}

void FrameReadAhead::Abandon() {
  for (Pending& pending : m_pending) pending.read.wait();
  m_pending.clear();
}
