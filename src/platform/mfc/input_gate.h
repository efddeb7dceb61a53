#pragma once
// A conversion runs inside the Convert button's click, on the one thread the window has. The
// gate keeps the window alive meanwhile: between frames it dispatches what is pending (painting,
// the window manager's pings, the busy cursor) but lets no keyboard or mouse input reach the
// main window. An Escape press among that input is kept for the next poll of the key.
// Implemented over wxWidgets; the window installs it.

class wxWindow;

namespace input_gate {

/// Guards mainWindow from now on (not owned). Other top-level windows, such as the message boxes
/// and the compressor dialog a job opens, get their input as usual.
void Install(wxWindow* mainWindow);
void Uninstall();

/// Marks a job as running for as long as it lives. A scope opened while another is open does
/// not enter: one job at a time. Input queued during the job is dropped on the way out.
class JobScope {
 public:
  JobScope();
  ~JobScope();
  JobScope(const JobScope&) = delete;
  JobScope& operator=(const JobScope&) = delete;
  bool Entered() const { return m_entered; }

 private:
  bool m_entered;
};

bool JobRunning();

/// Dispatches the events pending now. While a job runs, the main window's input among them is
/// dropped and an Escape press is remembered.
void DispatchPending();

/// True when Escape was pressed in the main window since the last call, during a job.
bool TakeEscapePress();

}  // namespace input_gate
