#pragma once
// The progress under Convert, as the job's events tell it: a bar over both passes and a line
// such as "Colour 101 of 600 · 28 fps · 0:20 left"; once the run is over, how it ended, in the
// line and as a notice for a user who looks at another window ("shot.avi and shot.matte.avi
// written, 600 frames"). No toolkit here: the window (job_progress_wx.cpp) shows what this
// works out, and the desktop's launcher entry and notifications get the same.
//
// The run is over once its files were checked, before the job waits for "AVI File Created" to
// be answered, or when the job ended without a check (refused, or failed before or in a pass).
//
// The events come on the job's thread, one a frame; the window takes the newest view on its
// own. So that a frame costs the job next to nothing, a frame only updates the meter under a
// lock, and the window is asked to take a view at most once every `every` seconds (a pass or
// the run beginning or ending at once), never again before it took the last one. The texts are
// made when the view is taken.

#include <functional>
#include <mutex>
#include <optional>
#include <string>

#include "dialog/job_events.h"
#include "dialog/job_meter.h"

/// How a run ended, said to a user who was not looking.
struct RunNotice {
  std::string title;  ///< "Conversion done", "Conversion stopped", "Conversion failed", ...
  std::string body;   ///< the progress line's last words: "shot.avi and shot.matte.avi written,
                      ///< 600 frames"
};

/// What the progress shows at one moment.
struct ProgressView {
  bool running = false;   ///< frames are being written (the launcher shows the bar)
  double fraction = 0.0;  ///< of both passes' frames, 0 to 1
  std::string line;       ///< empty before the first run
  /// Once per run, in the first view taken after it ended.
  std::optional<RunNotice> notice;
};

class JobProgress final : public JobObserver {
 public:
  /// Seconds from any fixed origin.
  using Clock = std::function<double()>;

  /// post: asks, on the job's thread, that Take be called (the window carries that to its own
  /// thread); it is called without the lock held.
  explicit JobProgress(std::function<void()> post, Clock clock = {}, double every = 0.1);

  /// The newest view; afterwards a newer one may be posted again. Any thread.
  ProgressView Take();

  void OnPassBegan(const PassBegan& event) override;
  void OnFrameWriting(const FrameWriting& event) override;
  void OnPassEnded(const PassEnded& event) override;
  void OnFilesChecked(const FilesChecked& event) override;
  void OnJobEnded(const JobEnded& event) override;

 private:
  // The run's end, once known: the bar's last place and the notice.
  struct Outcome {
    double fraction = 0.0;
    RunNotice notice;
  };
  // Makes change(now) under the lock and posts when due: always, or for a frame once `every`
  // seconds have passed since the last post.
  template <typename Change>
  void Apply(bool always, Change change);
  // How the run ended, from its passes and the check of its files (or how the job ended, where
  // there was no check).
  Outcome Concluded(const JobEnded* ended) const;

  std::function<void()> m_post;
  Clock m_clock;
  double m_every;

  std::mutex m_mutex;
  // Everything below is guarded by m_mutex.
  bool m_posted = false;  // a view was asked for and not yet taken
  double m_lastPost = 0.0;
  bool m_everPosted = false;
  JobMeter m_meter;
  bool m_began = false;    // a pass of this job began
  bool m_jobOver = false;  // the job ended: its next event is the next job's
  int m_pass = 0;
  std::string m_files[2];  // the passes' file names, without their folders
  std::optional<PassEnded> m_ended[2];
  std::optional<FilesChecked> m_checked;
  std::optional<Outcome> m_outcome;  // the current run's, once it is over
  bool m_noticed = false;            // its notice was taken
};
