#include "frames/read_ahead.h"

#include <utility>

#include "frames/targa_frame.h"

FrameRead::Status ReadFrameInto(Magick::Image& image, Magick::Blob& blob, FrameSize* size,
                                const std::string& path, bool bMatte) {
  // A Targa file is ours alone to read: handed to the library, a damaged one could be read by
  // whichever coder its bytes resemble.
  try {
    switch (ReadTargaFrame(path, bMatte, blob, size)) {
      case TargaRead::kRead:
        image = Magick::Image();  // nothing read through the library
        return FrameRead::Status::kOk;
      case TargaRead::kUnreadable:
        image = Magick::Image();
        return FrameRead::Status::kOpenFailed;
      case TargaRead::kNotTarga:
        break;
    }
  } catch (...) {
    image = Magick::Image();  // no memory for the frame buffer
    return FrameRead::Status::kOpenFailed;
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
