#pragma once
// What one Convert command left behind, in one line for the window's sequence line: where a
// stop or a failed write cut the passes short and what each file holds then, the frames that
// another frame stood in for and why, the check of the written files, and a failure's reason.
// Worked out from the job's events alone; the command line says the same facts in its own
// lines and keeps them.

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "dialog/job_events.h"

class RunSummary final : public JobObserver {
 public:
  /// Ranges of repeated frames named one by one; the frames of the rest are counted ("and 12
  /// more").
  static constexpr std::size_t kListedRepeats = 3;

  void OnPassBegan(const PassBegan& event) override;
  void OnFrameRepeated(const FrameRepeated& event) override;
  void OnPassEnded(const PassEnded& event) override;
  void OnFilesChecked(const FilesChecked& event) override;
  void OnJobEnded(const JobEnded& event) override;

  /// The line once the job has ended, e.g. "Stopped at frame 210 of 600: shot.avi holds 210 of
  /// 600 frames; no matte written. Checked: shot.avi, 210 frames"; empty when the job said
  /// nothing worth keeping (a refused job, whose message said it all).
  std::string Line() const;
  /// The first file the job left on disk with its frames in it, or "" when it left none.
  const std::string& WrittenFile() const { return m_writtenFile; }

 private:
  // Frames in a row that another frame stood in for, for the same reason.
  struct Repeat {
    FrameRepeated event;               // the range's first frame
    long long last = 0;                // its last
    std::optional<long long> standIn;  // the frame written in their place; none: black
  };
  static bool Alike(const Repeat& a, const Repeat& b);
  std::string HoldingsSentence() const;
  std::string RepeatText(const Repeat& repeat, int pass, bool both) const;
  std::string RepeatsText() const;
  std::string FrameName(long long n) const;

  std::array<std::optional<PassBegan>, 2> m_began;
  std::array<std::optional<PassEnded>, 2> m_ended;
  std::array<std::vector<Repeat>, 2> m_repeats;  // per pass, in frame order
  std::optional<FilesChecked> m_checked;
  std::optional<JobEnded> m_jobEnded;
  std::string m_writtenFile;
};
