#pragma once
// The window's face of the job's progress (job_progress.h): the bar IDC_PROGRESS and the line
// IDC_PROGRESS_TEXT under Convert, the same bar on the program's launcher entry, and a
// notification of how the run ended when none of the program's windows is active then.

#include <wx/toplevel.h>

#include "app/desktop_bus.h"
#include "app/job_progress.h"

class ProgressFace {
 public:
  explicit ProgressFace(wxTopLevelWindow& window);
  ProgressFace(const ProgressFace&) = delete;
  ProgressFace& operator=(const ProgressFace&) = delete;

  /// The follower to add to the window's followers; its views are shown on the window's thread.
  JobObserver& Follower() { return m_progress; }
  /// A job is starting: the bar and the line are emptied until it tells how far it is.
  void Clear();

 private:
  void Show(const ProgressView& view);

  wxTopLevelWindow& m_window;
  JobProgress m_progress;
  DesktopBus m_desktop;
  // What the launcher entry was last told.
  double m_launcherFraction = 0.0;
  bool m_launcherVisible = false;
};
