#pragma once
// Reading the next frames on other threads while the current frame is compressed.

#include <Magick++.h>

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "frames/frame_buffer.h"

/// One frame file read and turned into a frame buffer, in an image and a blob of its own.
struct FrameRead {
  enum class Status {
    kOk,
    kOpenFailed,    ///< missing, unreadable, not a frame the readers know, damaged
    kExportFailed,  ///< read, but could not be turned into a frame buffer
    kTooLarge,      ///< declares more pixels than a frame buffer can hold; size says how many
    kStopped,       ///< the wait for it was given up (FrameReadAhead::Take)
  };
  Status status = Status::kOpenFailed;
  Magick::Image image;  ///< what the library read, also when the export then failed
  Magick::Blob blob;    ///< the frame buffer; empty unless status is kOk
  FrameSize size;
};

/// Reads path into a frame buffer (the matte one when bMatte) owned by blob, setting *size: a
/// .tga file with a Targa header by ReadTargaFrame alone (image is then left empty; a damaged
/// one is kOpenFailed), anything else into image with ReadFrameImage and out of it with
/// ExportFrameBuffer. Only a regular file is read. The blob is left alone unless the result is
/// kOk; *size holds the declared size after kTooLarge.
FrameRead::Status ReadFrameInto(Magick::Image& image, Magick::Blob& blob, FrameSize* size,
                                const std::string& path, bool bMatte);

/// ReadFrameInto into an image and a blob of their own.
FrameRead ReadFrame(const std::string& path, bool bMatte);

/// A few frame files being read on threads of their own, in the order they were started. The
/// caller starts the reads of the frames it will want next and takes each at its turn;
/// whatever it does not take (after Escape, a failed write, the end of a pass) is dropped
/// without being waited for, so a read that never returns (a file on a server that went away)
/// holds up nobody: its thread ends with the read, and what it read is thrown away. At most
/// kMaxPending frames are held beyond the caller's own.
class FrameReadAhead {
 public:
  static constexpr std::size_t kMaxPending = 2;

  /// How one frame is read; a test may put a read of its own in place of ReadFrameInto.
  using Reader = std::function<FrameRead(const std::string& path, bool bMatte)>;
  /// Asked while a take waits for its read: true stops the wait.
  using StopCheck = std::function<bool()>;

  FrameReadAhead();
  explicit FrameReadAhead(Reader reader);
  /// Gives reads still going on a moment to finish, so that none outlives the library it
  /// reads with; one that hangs is left behind.
  ~FrameReadAhead();
  FrameReadAhead(const FrameReadAhead&) = delete;
  FrameReadAhead& operator=(const FrameReadAhead&) = delete;

  /// Starts reading path after those already started; false (and nothing started) when
  /// kMaxPending reads are pending already.
  bool Start(const std::string& path, bool bMatte);

  /// The oldest read, once it has finished, when it is the read of path and bMatte; else
  /// nothing, and every pending read is abandoned. While the read is still going on,
  /// stopRequested is asked every tenth of a second once the first fifth has passed; when it
  /// says true the wait ends, every pending read is abandoned and the result has status
  /// kStopped.
  std::optional<FrameRead> Take(const std::string& path, bool bMatte,
                                const StopCheck& stopRequested = {});

  /// The frame path as bMatte asks: the read already started for it when it is the oldest,
  /// else a read started now (after dropping the others); waited for as Take does.
  FrameRead Read(const std::string& path, bool bMatte, const StopCheck& stopRequested = {});

  /// Drops every pending read at once; reads still going on finish on their own threads.
  void Abandon();

  /// Reads later frames with reader instead (tests put in a read that hangs).
  void UseReader(Reader reader) { m_reader = std::move(reader); }

  std::size_t PendingReads() const { return m_pending.size(); }

 private:
  struct Slot;
  struct Pending {
    std::string path;
    bool matte;
    std::shared_ptr<Slot> slot;
  };
  Reader m_reader;
  std::deque<Pending> m_pending;
  std::vector<std::shared_ptr<Slot>> m_abandoned;  // dropped while their read went on
};
