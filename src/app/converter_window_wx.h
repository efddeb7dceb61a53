#pragma once
// The converter's window: the dialog template loaded from the XRC resource, bound to a
// CConverterDlg whose handlers do the work. While it lives, the platform services (message
// boxes, control text, busy cursor, file dialogs, the Escape key) are served by this window.
// The Convert command runs on a thread of its own, so that the window goes on painting while it
// works; meanwhile the window's controls are disabled, Escape asks the job to stop, and no other
// key nor the close box is taken.
//
// The sequence line under the AVI box says what Convert would do with the run the two frame
// fields name. It is worked out on a scanner thread of its own (sequence_line.h) after a browse
// or a drop, when a field loses the focus, or after a pause in typing; answers come back to this
// thread, and only the newest counts. A frame file dropped on the window fills the first field
// as a browse does, an AVI file the AVI field; the run's suggestions fill only empty fields.
// After a job the line says what the check of the written files found, and why the job failed
// where it did.
//
// Under Convert a bar and a line follow the job's frames over both passes, and then say how the
// run ended; the program's launcher entry shows the same bar, and a user at another program is
// told the end in a notification (job_progress_wx.h).

#include <wx/dialog.h>
#include <wx/timer.h>

#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <utility>

#include "app/job_progress_wx.h"
#include "app/sequence_line.h"
#include "dialog/job_events.h"

#include "platform/mfc/dialog_wx.h"
#include "platform/user/key_state_wx.h"

class CConverterDlg;
class wxXmlResource;

class ConverterWindow final : public wxDialog {
 public:
  /// Builds the window from the template IDD_CONVERTER_DIALOG of resources. Check IsOk() after.
  ConverterWindow(CConverterDlg& dlg, wxXmlResource& resources);
  ~ConverterWindow() override;

  bool IsOk() const { return m_loaded; }
  /// Runs the window modally, as the dialog's DoModal: IDOK or IDCANCEL.
  int DoModal();

 private:
  void OnInit(wxInitDialogEvent& event);
  void OnConvertClicked(wxCommandEvent& event);
  void OnJobEnded();
  void EnableControls(bool enable);
  void OnCharHook(wxKeyEvent& event);
  void OnClose(wxCloseEvent& event);
  void OnBrowseFirstClicked();
  /// Asks the scanner about the two frame fields as they read now; without suggest, only when
  /// they changed since the last time.
  void RequestScan(bool suggest);
  void OnScanAnswer(const ScanAnswer& answer);
  void SetSequenceLine(const std::string& line);
  /// The fields and the rate as they stand, without suggestions.
  ScanRequest Asked();

 public:
  /// Files dropped on the window or one of its fields.
  void OnFilesDropped(const wxArrayString& paths);
  /// Shows line in the sequence line.
  void ShowSequenceLine(const std::string& line) { SetSequenceLine(line); }

 private:
  CConverterDlg& m_dlg;
  bool m_loaded = false;
  WxDialogBackend m_backend;
  WxFileDialogBackend m_fileDialogs;
  FileDialogBackend* m_previousFileDialogs = nullptr;
  WxKeyState m_keys;
  // The Convert command, from the click until OnJobEnded joins it. The window cannot end
  // meanwhile: its close box and keys are refused.
  std::thread m_job;
  // Restarted by every keystroke in a frame field; when it runs out the fields are scanned.
  wxTimer m_typingPause;
  std::string m_scanned;  // the fields and rate last asked about
  std::unique_ptr<RunScanner> m_scanner;
  // Follows the jobs for the sequence line: the check of the files, or why the job failed.
  std::unique_ptr<JobObserver> m_follower;
  // Follows the jobs for the progress under Convert and on the desktop.
  std::unique_ptr<ProgressFace> m_progress;
  // Every follower of the window's jobs; the dialog reports to this one.
  JobFollowers m_followers;
};

/// Gives each control name of the template its IDC_ number as its window identifier. Call
/// before the template is loaded.
void RegisterControlIds();
