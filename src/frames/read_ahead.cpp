#include "frames/read_ahead.h"

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <mutex>
#include <thread>
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
      case TargaRead::kTooLarge:
        image = Magick::Image();
        return FrameRead::Status::kTooLarge;
      case TargaRead::kNotTarga:
        break;
    }
  } catch (...) {
    image = Magick::Image();  // no memory for the frame buffer
    return FrameRead::Status::kOpenFailed;
  }
  // Only regular files: the library would wait for ever on a named pipe.
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
    return FrameRead::Status::kOpenFailed;
  }
  if (!ReadFrameImage(image, path)) {
    // A header that promised too many pixels leaves its size in the image, for the message.
    if (image.columns() > 0 && image.rows() > 0 &&
        FrameByteCount(image.columns(), image.rows()) < 0) {
      size->width = static_cast<int>(std::min<std::size_t>(image.columns(), INT_MAX));
      size->height = static_cast<int>(std::min<std::size_t>(image.rows(), INT_MAX));
      return FrameRead::Status::kTooLarge;
    }
    return FrameRead::Status::kOpenFailed;
  }
  try {
    *size = ExportFrameBuffer(image, bMatte, blob);
  } catch (...) {
    return FrameRead::Status::kExportFailed;
  }
  return FrameRead::Status::kOk;
}

FrameRead ReadFrame(const std::string& path, bool bMatte) {
  FrameRead read;
  read.image = NewMagickImage();
  read.status = ReadFrameInto(read.image, read.blob, &read.size, path, bMatte);
  return read;
}

// What the reading thread and the taker share; whichever lets go last frees it.
struct FrameReadAhead::Slot {
  std::mutex mutex;
  std::condition_variable finished;
  bool done = false;
  FrameRead read;
};

FrameReadAhead::FrameReadAhead() : m_reader(ReadFrame) {}

FrameReadAhead::FrameReadAhead(Reader reader) : m_reader(std::move(reader)) {}

bool FrameReadAhead::Start(const std::string& path, bool bMatte) {
  if (m_pending.size() >= kMaxPending) return false;
  auto slot = std::make_shared<Slot>();
  std::thread([slot, reader = m_reader, path, bMatte] {
    FrameRead read = reader(path, bMatte);
    std::lock_guard<std::mutex> lock(slot->mutex);
    slot->read = std::move(read);
    slot->done = true;
    slot->finished.notify_all();
  }).detach();
  m_pending.push_back({path, bMatte, std::move(slot)});
  return true;
}

std::optional<FrameRead> FrameReadAhead::Take(const std::string& path, bool bMatte,
                                              const StopCheck& stopRequested) {
  if (m_pending.empty()) return std::nullopt;
  if (m_pending.front().path != path || m_pending.front().matte != bMatte) {
    Abandon();
    return std::nullopt;
  }
  Slot& slot = *m_pending.front().slot;
  std::unique_lock<std::mutex> lock(slot.mutex);
  // A read that ends soon is waited for quietly; only a slow one asks whether to go on, so
  // the keyboard is polled no more often than before unless a read really hangs.
  auto slice = std::chrono::milliseconds(200);
  while (!slot.finished.wait_for(lock, slice, [&slot] { return slot.done; })) {
    if (stopRequested) {
      lock.unlock();
      const bool stop = stopRequested();
      lock.lock();
      if (stop) {
        // The press was taken by this poll: the wait ends even if the read just finished.
        lock.unlock();
        Abandon();
        FrameRead stopped;
        stopped.status = FrameRead::Status::kStopped;
        return stopped;
      }
    }
    slice = std::chrono::milliseconds(100);
  }
  FrameRead read = std::move(slot.read);
  lock.unlock();
  m_pending.pop_front();
  return read;
}

FrameRead FrameReadAhead::Read(const std::string& path, bool bMatte,
                               const StopCheck& stopRequested) {
  if (std::optional<FrameRead> read = Take(path, bMatte, stopRequested)) return std::move(*read);
  Abandon();
  Start(path, bMatte);
  return *Take(path, bMatte, stopRequested);
}

FrameReadAhead::~FrameReadAhead() {
  Abandon();
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
  for (const std::shared_ptr<Slot>& slot : m_abandoned) {
    std::unique_lock<std::mutex> lock(slot->mutex);
    if (!slot->finished.wait_until(lock, deadline, [&slot] { return slot->done; })) break;
  }
}

void FrameReadAhead::Abandon() {
  for (Pending& pending : m_pending) m_abandoned.push_back(std::move(pending.slot));
  m_pending.clear();
  // Keep only those still reading.
  m_abandoned.erase(std::remove_if(m_abandoned.begin(), m_abandoned.end(),
                                   [](const std::shared_ptr<Slot>& slot) {
                                     std::lock_guard<std::mutex> lock(slot->mutex);
                                     return slot->done;
                                   }),
                    m_abandoned.end());
}
