#pragma once
// The command line's view of the passes: the progress line and the pass summaries, made from
// the frames the job tells it are being written. The rate and the time left are the job
// meter's (dialog/job_meter.h), which the window's progress reads as well.

#include <optional>
#include <string>

#include "dialog/job_meter.h"  // JobMeter, ClockText

/// Which pass is writing which frame.
struct PassStatus {
  int pass = 0;         ///< 0: the colour pass, 1: the matte pass
  long long frame = 0;  ///< the frame number being read and written; those before it are done
};

/// "colour" or "matte".
const char* PassName(int pass);

/// Follows the passes over the frames first..last and says how far they are.
///
///   ProgressMeter meter(1, 120);
///   meter.Update({0, 57}, 2.0);  // frame 57 of the colour pass begins 2 s into the pass
///   meter.Line();                // "colour pass: frame 57 (57 of 120), 28.0 fps, 0:06 left"
class ProgressMeter {
 public:
  ProgressMeter(long long first, long long last);

  /// A pass is at status.frame, `seconds` after the meter's clock began. A status of another
  /// pass than the last one starts that pass's clock. True when it began a pass.
  bool Update(PassStatus status, double seconds);

  bool Started() const { return m_meter.Started(); }
  int Pass() const { return m_meter.Pass(); }
  long long Frame() const { return m_frame; }
  long long Count() const { return m_meter.Count(); }

  /// The progress line: pass, frame number, its place in the run, frames per second and the
  /// time left for both passes (the matte pass is taken to go as fast as the colour pass).
  std::string Line() const;

  /// The line for the current pass once it has ended with `frames` frames in its file,
  /// `seconds` after the meter's clock began: "colour pass: 120 frames in 4.2 s (28.6 fps)",
  /// or "colour pass: 57 of 120 frames in 2.0 s" for a pass that did not write them all.
  std::string Summary(long long frames, double seconds) const;

 private:
  long long m_first;
  long long m_frame = 0;
  JobMeter m_meter;
};
