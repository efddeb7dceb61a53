#pragma once
// Reading the frames of a pass on a reader thread of its own, a few frames ahead of the pass,
// into a ring of frame buffers that go round from frame to frame.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "frames/frame_buffer.h"
#include "frames/frame_look.h"

/// What one read of one frame file came to.
struct FrameRead {
  enum class Status {
    kOk,
    kMissing,       ///< no file of that name
    kOpenFailed,    ///< unreadable, not a regular file, not a frame the readers know, damaged
    kExportFailed,  ///< read, but could not be turned into a frame buffer
    kTooLarge,      ///< declares more pixels than a frame buffer can hold; size says how many
    kStopped,       ///< the wait for it was given up (FrameRing::Take)
  };
  Status status = Status::kOpenFailed;
  FrameSize size;      ///< the frame's after kOk, what the file declares after kTooLarge
  std::string path;    ///< the file read
  std::string reason;  ///< after a failure, why, in the words of the system or the reader that
                       ///< refused it: "No such file or directory", "cut short"
};

/// Reads path into frame (the matte buffer when bMatte): a .tga file with a Targa header by
/// ReadTargaFrame alone (a damaged one is kOpenFailed), anything else with ReadLibraryFrame
/// (magick_frame.h). Only a regular file is read. frame's bytes count only after kOk.
/// ReadFrameInto("shot0001.tga", false, frame) without such a file gives kMissing, reason
/// "No such file or directory".
/// The colour buffer's samples are brought to look: linear light transferred (by the library's
/// reader), then the fill convention (ApplyFill; a Targa frame says whether it is premultiplied).
FrameRead ReadFrameInto(const std::string& path, bool bMatte, FrameBuffer& frame,
                        const FrameLook& look = {});

/// The frames of one run (a pass's range, or a single file) read on one reader thread, at most
/// kDepth frames ahead of the frame the caller took last. The caller takes them by number, in
/// order: the frame comes into the caller's buffer, and the buffer it held there goes round to
/// be read into. A frame's failure is told when it is taken, at its turn. A read that never
/// returns (a file on a server that went away) holds up nobody: Take gives up waiting on
/// request, the run is abandoned, and its thread ends with the read.
/// Start(name, 1, 240, false), then Take(1, frame) .. Take(240, frame): shot0001.tga ..
/// shot0240.tga, each in frame at its turn, while the ring reads the next two into buffers of
/// its own.
class FrameRing {
 public:
  /// How many frames the reader reads ahead of the one the caller took last.
  static constexpr long long kDepth = 2;

  /// How one frame is read; a test may put a read of its own in place of ReadFrameInto.
  using Reader = std::function<FrameRead(const std::string& path, bool bMatte, FrameBuffer&)>;
  /// The file name of frame n of a run.
  using Namer = std::function<std::string(long long n)>;
  /// Asked while a take waits for its read: true stops the wait.
  using StopCheck = std::function<bool()>;

  FrameRing();
  /// Gives a read still going on up to about two seconds to finish, so that none outlives the
  /// library it reads with; one that hangs longer is left behind.
  ~FrameRing();
  FrameRing(const FrameRing&) = delete;
  FrameRing& operator=(const FrameRing&) = delete;

  /// Ends the run going on, if any, and starts reading frames first..last, named by name, the
  /// matte buffers when bMatte. With onlyOfSize, a frame whose header declares another size is
  /// not decoded: it is kOk with the size it declares, and Take leaves the caller's frame as it
  /// was (an 8192 x 8192 frame in a run of 64 x 48 costs a header's read, not its pixels).
  /// The frames are read with look (ReadFrameInto), unless a reader of a test's own is in use.
  void Start(Namer name, long long first, long long last, bool bMatte,
             std::optional<FrameSize> onlyOfSize = std::nullopt, FrameLook look = {});

  /// Frame n of the run, the next one not yet taken, once it is read. After kOk the frame is
  /// in frame (which gives the ring its old block to read into), unless onlyOfSize is given
  /// and the frame is of another size; frame is otherwise as it was. While the read goes on,
  /// stopRequested is asked every tenth of a second once the first fifth has passed; when it
  /// says true the wait ends, the run ends (the read is left to finish on its own) and the
  /// status is kStopped. A number that is not the run's next frame gives kOpenFailed at once.
  FrameRead Take(long long n, FrameBuffer& frame, const StopCheck& stopRequested = {},
                 std::optional<FrameSize> onlyOfSize = std::nullopt);

  /// The file at path as a run of its own, taken into frame as Take does, and the run ended.
  FrameRead Read(const std::string& path, bool bMatte, FrameBuffer& frame,
                 const StopCheck& stopRequested = {}, FrameLook look = {});

  /// Ends the run: frames read and not taken are dropped, and a read still going on finishes
  /// on its own thread, into a buffer the ring no longer uses.
  void Stop();

  /// Reads the frames of later runs with reader instead (tests put in a read that hangs).
  void UseReader(Reader reader) { m_reader = std::move(reader); }

 private:
  struct Shared;
  static void ReadFrames(const std::shared_ptr<Shared>& shared, const Reader& reader,
                         const Namer& name, long long first, long long last, bool bMatte,
                         std::optional<FrameSize> onlyOfSize, FrameLook look);

  Reader m_reader;                   // empty: ReadFrameInto with the run's look
  std::shared_ptr<Shared> m_shared;  // the run's, or kept from the last run for its buffers
  std::thread m_thread;
  long long m_first = 0;
  long long m_last = -1;
  std::vector<std::shared_ptr<Shared>> m_abandoned;  // runs whose read was still going on
};
