#include "frames/frame_ring.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <exception>
#include <mutex>
#include <utility>

#include "frames/magick_frame.h"
#include "frames/targa_frame.h"

FrameRead ReadFrameInto(const std::string& path, bool bMatte, FrameBuffer& frame,
                        const FrameLook& look) {
  FrameRead read;
  read.path = path;
  // Only regular files: the library would wait for ever on a named pipe.
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) {
    const int cause = errno;
    if (cause == ENOENT) read.status = FrameRead::Status::kMissing;
    read.reason = std::strerror(cause);
    return read;
  }
  if (!S_ISREG(info.st_mode)) {
    read.reason = S_ISDIR(info.st_mode) ? std::strerror(EISDIR) : "not a regular file";
    return read;
  }
  // A Targa file is ours alone to read: handed to the library, a damaged one could be read by
  // whichever coder its bytes resemble.
  try {
    bool premultiplied = false;
    switch (ReadTargaFrame(path, bMatte, frame, &read.size, &read.reason, &premultiplied)) {
      case TargaRead::kRead:
        read.status = FrameRead::Status::kOk;
        if (!bMatte) ApplyFill(frame.data(), frame.bytes() / 4, look.fill, premultiplied);
        return read;
      case TargaRead::kUnreadable:
        return read;
      case TargaRead::kTooLarge:
        read.status = FrameRead::Status::kTooLarge;
        // Within a frame buffer's size, the limit met is the one every reader keeps to.
        read.reason = FrameByteCount(read.size.width, read.size.height) < 0
                          ? "more pixels than a frame can hold"
                          : "more pixels than the image library may hold in memory";
        return read;
      case TargaRead::kNotTarga:
        break;
    }
  } catch (const std::exception& e) {
    read.reason = e.what();  // no memory for the frame buffer
    return read;
  }
  FrameRead library = ReadLibraryFrame(path, bMatte, frame, look.transfer);
  library.path = path;
  if (library.status == FrameRead::Status::kOk && !bMatte) {
    ApplyFill(frame.data(), frame.bytes() / 4, look.fill, false);
  }
  return library;
}

// What a run's reader thread and the ring share; whichever lets go last frees it, so a read
// that outlives its run still has its buffer to write into.
struct FrameRing::Shared {
  struct Slot {
    bool ready = false;  // read holds frame number's result, and buffer its bytes after kOk
    FrameRead read;
    FrameBuffer buffer;
  };
  std::mutex mutex;
  std::condition_variable changed;
  Slot slots[kDepth];  // frame n of the run in slots[(n - first) % kDepth]
  long long next = 0;  // the next frame the caller takes
  bool stop = false;
  bool reading = false;   // the reader is inside a read, which might never return
  bool finished = false;  // the reader touches nothing here any more
};

namespace {

// Whether a header's size rules a frame out of a run of the given size. A picture stored on its
// side declares its sides swapped and is turned upright when read, so that one is read.
bool OtherSize(FrameSize declared, FrameSize wanted) {
  const bool same = declared.width == wanted.width && declared.height == wanted.height;
  const bool turned = declared.width == wanted.height && declared.height == wanted.width;
  return !same && !turned;
}

}  // namespace

void FrameRing::ReadFrames(const std::shared_ptr<Shared>& shared, const Reader& reader,
                           const Namer& name, long long first, long long last, bool bMatte,
                           std::optional<FrameSize> onlyOfSize, FrameLook look) {
  Shared& s = *shared;
  std::unique_lock<std::mutex> lock(s.mutex);
  for (long long k = first; k <= last; ++k) {
    s.changed.wait(lock, [&] { return s.stop || k - s.next < kDepth; });
    if (s.stop) break;
    // The slot's last frame has been taken: nobody else touches it until this one is ready.
    Shared::Slot& slot = s.slots[(k - first) % kDepth];
    s.reading = true;
    lock.unlock();
    FrameRead read;
    std::string path;
    try {
      path = name(k);
      const std::optional<FrameSize> declared =
          onlyOfSize ? ReadFrameSize(path) : std::optional<FrameSize>();
      if (declared && OtherSize(*declared, *onlyOfSize)) {
        read.status = FrameRead::Status::kOk;
        read.size = *declared;
      } else {
        read = reader ? reader(path, bMatte, slot.buffer)
                      : ReadFrameInto(path, bMatte, slot.buffer, look);
      }
    } catch (const std::exception& e) {
      // A reader's own failure (a name that cannot be made, no memory) is that frame's alone.
      read.status = FrameRead::Status::kOpenFailed;
      read.reason = e.what();
    }
    read.path = std::move(path);
    lock.lock();
    s.reading = false;
    slot.read = std::move(read);
    slot.ready = true;
    s.changed.notify_all();
  }
  s.finished = true;
  s.changed.notify_all();
}

FrameRing::FrameRing() = default;

FrameRing::~FrameRing() {
  Stop();
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
  for (const std::shared_ptr<Shared>& shared : m_abandoned) {
    std::unique_lock<std::mutex> lock(shared->mutex);
    if (!shared->changed.wait_until(lock, deadline, [&shared] { return shared->finished; })) {
      break;
    }
  }
}

void FrameRing::Start(Namer name, long long first, long long last, bool bMatte,
                      std::optional<FrameSize> onlyOfSize, FrameLook look) {
  Stop();
  m_abandoned.erase(std::remove_if(m_abandoned.begin(), m_abandoned.end(),
                                   [](const std::shared_ptr<Shared>& shared) {
                                     std::lock_guard<std::mutex> lock(shared->mutex);
                                     return shared->finished;
                                   }),
                    m_abandoned.end());
  // The last run's buffers are read into again, unless its reader was left behind in a read.
  if (!m_shared) m_shared = std::make_shared<Shared>();
  Shared& s = *m_shared;
  for (Shared::Slot& slot : s.slots) {
    slot.ready = false;
    slot.read = FrameRead();
  }
  s.next = first;
  s.stop = false;
  s.reading = false;
  s.finished = false;
  m_first = first;
  m_last = last;
  m_thread = std::thread(ReadFrames, m_shared, m_reader, std::move(name), first, last, bMatte,
                         onlyOfSize, look);
}

FrameRead FrameRing::Take(long long n, FrameBuffer& frame, const StopCheck& stopRequested,
                          std::optional<FrameSize> onlyOfSize) {
  if (!m_thread.joinable() || n < m_first || n > m_last) return FrameRead();
  Shared& s = *m_shared;
  std::unique_lock<std::mutex> lock(s.mutex);
  if (n != s.next) return FrameRead();
  Shared::Slot& slot = s.slots[(n - m_first) % kDepth];
  // A read that ends soon is waited for quietly; only a slow one asks whether to go on, so
  // the keyboard is polled no more often than once a frame unless a read really hangs.
  auto slice = std::chrono::milliseconds(200);
  while (!s.changed.wait_for(lock, slice, [&slot] { return slot.ready; })) {
    if (stopRequested) {
      lock.unlock();
      if (stopRequested()) {
        // The press was taken by this poll: the wait ends even if the read just finished.
        Stop();
        FrameRead stopped;
        stopped.status = FrameRead::Status::kStopped;
        return stopped;
      }
      lock.lock();
    }
    slice = std::chrono::milliseconds(100);
  }
  FrameRead read = std::move(slot.read);
  slot.read = FrameRead();
  slot.ready = false;
  if (read.status == FrameRead::Status::kOk &&
      (!onlyOfSize ||
       (read.size.width == onlyOfSize->width && read.size.height == onlyOfSize->height))) {
    std::swap(frame, slot.buffer);
  }
  ++s.next;
  s.changed.notify_all();
  return read;
}

FrameRead FrameRing::Read(const std::string& path, bool bMatte, FrameBuffer& frame,
                          const StopCheck& stopRequested, FrameLook look) {
  Start([path](long long) { return path; }, 0, 0, bMatte, std::nullopt, look);
  FrameRead read = Take(0, frame, stopRequested);
  Stop();
  return read;
}

void FrameRing::Stop() {
  if (!m_thread.joinable()) return;
  bool reading = false;
  {
    std::lock_guard<std::mutex> lock(m_shared->mutex);
    m_shared->stop = true;
    reading = m_shared->reading;
    m_shared->changed.notify_all();
  }
  if (reading) {
    // The read may never return. Its thread keeps what it shares with the ring alive, and
    // the next run gets buffers of its own.
    m_thread.detach();
    m_abandoned.push_back(std::move(m_shared));
    m_shared.reset();
  } else {
    // Waiting for space or done: it sees the stop at once.
    m_thread.join();
  }
}
