#pragma once
// Reading the next frames on other threads while the current frame is compressed.

#include <Magick++.h>

#include <deque>
#include <future>
#include <optional>
#include <string>

#include "frames/frame_buffer.h"

/// One frame file read and turned into a frame buffer, in an image and a blob of its own.
struct FrameRead {
  enum class Status { kOk, kOpenFailed, kExportFailed };
  Status status = Status::kOpenFailed;
  Magick::Image image;  ///< what the library read, also when the export then failed
  Magick::Blob blob;    ///< the frame buffer; empty unless status is kOk
  FrameSize size;
};

/// Reads path into a frame buffer (the matte one when bMatte) owned by blob, setting *size: a
/// plain Targa file directly (image is then left empty), anything else into image with
/// ReadFrameImage and out of it with ExportFrameBuffer. The blob is left alone unless the
/// result is kOk.
FrameRead::Status ReadFrameInto(Magick::Image& image, Magick::Blob& blob, FrameSize* size,
                                const std::string& path, bool bMatte);

/// A few frame files being read on threads of their own, in the order they were started. The
/// caller starts the reads of the frames it will want next and takes each at its turn;
/// whatever it does not take (after Escape, a failed write, the end of a pass) is waited for
/// and dropped. At most kMaxPending frames are held beyond the caller's own.
class FrameReadAhead {
 public:
  static constexpr std::size_t kMaxPending = 2;

  FrameReadAhead() = default;
  ~FrameReadAhead() { Abandon(); }
  FrameReadAhead(const FrameReadAhead&) = delete;
  FrameReadAhead& operator=(const FrameReadAhead&) = delete;

  /// Starts reading path after those already started; false (and nothing started) when
  /// kMaxPending reads are pending already.
  bool Start(const std::string& path, bool bMatte);

  /// The oldest read, once it has finished, when it is the read of path and bMatte; else
  /// nothing, and every pending read is abandoned.
  std::optional<FrameRead> Take(const std::string& path, bool bMatte);

  /// Waits for every pending read and drops what they read.
  void Abandon();

  std::size_t PendingReads() const { return m_pending.size(); }

 private:
  struct Pending {
    std::string path;
    bool matte;
    std::future<FrameRead> read;
  };
  std::deque<Pending> m_pending;
};
