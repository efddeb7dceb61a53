#pragma once
// What one Convert command does, told as it happens to whoever follows it: the window's
// progress and summary, the command line's progress line, exit status and report, and the
// tests. The job still says what it says in its status line and message boxes; these events
// are the same facts as data, so no one has to read them back out of a text.

#include <cstdint>
#include <string>
#include <vector>

#include "frames/frame_buffer.h"  // FrameSize

/// 0: the colour pass, 1: the matte pass.
enum class Pass { kColour = 0, kMatte = 1 };

/// Where the rate of both files came from.
enum class RateSource {
  kSize,    ///< the first frame's height: up to 500 rows 30000/1001, taller 25
  kHeader,  ///< the first frame's header (DPX, OpenEXR)
  kChosen,  ///< the user's setting
};

/// A pass has set up its file and is about to write its first frame.
struct PassBegan {
  Pass pass = Pass::kColour;
  std::string file;
  long long first = 0;  ///< the first and last frame numbers of the run
  long long last = 0;
  FrameSize size;          ///< the frames' columns and rows
  std::uint32_t rate = 0;  ///< frames per second as rate / scale
  std::uint32_t scale = 1;
  std::uint32_t compressor = 0;  ///< the chosen compressor's four-character code
  std::uint32_t quality = 0;     ///< as chosen: 0..10000, or the default's code
  RateSource rateSource = RateSource::kSize;
  int digits = 0;  ///< the frame names' number width, leading zeros counted ("0019": 4)
};

/// Frame `frame` is being read and written: the place-th of count in this pass.
struct FrameWriting {
  Pass pass = Pass::kColour;
  long long frame = 0;
  long long place = 0;  ///< 1 for the first frame of the run
  long long count = 0;
};

/// Why a frame could not be used, so that the frame before it (or black) stands in for it.
enum class RepeatCause {
  kMissing,     ///< no file of that name
  kUnreadable,  ///< there, but not read or not turned into a frame; detail says why
  kOtherSize,   ///< read, but of another size than the first frame
};

struct FrameRepeated {
  Pass pass = Pass::kColour;
  long long frame = 0;
  std::string path;
  RepeatCause cause = RepeatCause::kUnreadable;
  std::string detail;  ///< the reader's own words, when it gave any
  FrameSize size;      ///< kOtherSize: the frame's size, and the first frame's
  FrameSize expected;
};

/// How a pass ended.
enum class PassEnd {
  kFinished,     ///< every frame of the run is in the file
  kStopped,      ///< Escape (or a stop signal) ended it; the frames written are in the file
  kWriteFailed,  ///< the disk refused a frame or the file's end; the frames before are in it
  kNotStarted,   ///< the file or its stream could not be set up; reason says why
  kCancelled,    ///< no compressor was chosen; a file the pass created is gone again
};

struct PassEnded {
  Pass pass = Pass::kColour;
  std::string file;
  PassEnd end = PassEnd::kFinished;
  long long framesInFile = 0;  ///< what the finished file holds
  std::string reason;          ///< after kWriteFailed and kNotStarted, when known
};

/// One written file read back after both passes.
struct FileCheck {
  std::string file;
  bool ok = false;              ///< it holds what was written
  long long frames = 0;         ///< the frames it holds
  long long written = 0;        ///< the frames handed to it
  bool pixelsCompared = false;  ///< a lossless file's first and last frames equal the written
  std::string problem;          ///< when not ok, in words
};

struct FilesChecked {
  std::vector<FileCheck> files;  ///< the files checked, colour first
};

enum class JobEnd {
  kCreated,  ///< both passes wrote every frame
  kStopped,  ///< Escape (or a stop signal) ended a pass; what was written is whole on disk
  kRefused,  ///< a check before the passes, or the user, said no: nothing was written
  kFailed,   ///< a frame, a file or the check of the files failed; reason says why
};

struct JobEnded {
  JobEnd end = JobEnd::kCreated;
  std::string reason;
};

/// Follows a job. Each call comes on the job's thread, in the order the job goes.
class JobObserver {
 public:
  virtual ~JobObserver() = default;
  virtual void OnPassBegan(const PassBegan& /*event*/) {}
  virtual void OnFrameWriting(const FrameWriting& /*event*/) {}
  virtual void OnFrameRepeated(const FrameRepeated& /*event*/) {}
  virtual void OnPassEnded(const PassEnded& /*event*/) {}
  virtual void OnFilesChecked(const FilesChecked& /*event*/) {}
  virtual void OnJobEnded(const JobEnded& /*event*/) {}
};

/// Hands every event to each of its followers in the order they were added: one job, several
/// faces (the window's sequence line, its progress, the desktop). The followers outlive it.
class JobFollowers final : public JobObserver {
 public:
  void Add(JobObserver& follower) { m_followers.push_back(&follower); }
  void OnPassBegan(const PassBegan& event) override {
    for (JobObserver* f : m_followers) f->OnPassBegan(event);
  }
  void OnFrameWriting(const FrameWriting& event) override {
    for (JobObserver* f : m_followers) f->OnFrameWriting(event);
  }
  void OnFrameRepeated(const FrameRepeated& event) override {
    for (JobObserver* f : m_followers) f->OnFrameRepeated(event);
  }
  void OnPassEnded(const PassEnded& event) override {
    for (JobObserver* f : m_followers) f->OnPassEnded(event);
  }
  void OnFilesChecked(const FilesChecked& event) override {
    for (JobObserver* f : m_followers) f->OnFilesChecked(event);
  }
  void OnJobEnded(const JobEnded& event) override {
    for (JobObserver* f : m_followers) f->OnJobEnded(event);
  }

 private:
  std::vector<JobObserver*> m_followers;
};
