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
// Under the sequence line the picture of the frames shows the run's first frame as the colour
// pass will write it (the dialog's look applied) over a checkerboard, and its matte beside it.
// It is read and made small on a thread of its own (frame_preview.h) whenever the run is asked
// about, never while a job runs; only the newest request's pictures are shown.
// After a job the line says what the job left (run_summary.h): where a stop cut it short and
// what each file holds, the frames repeated in place of others, the check of the written files,
// and why the job failed where it did. The Open Folder button under Convert then opens the
// folder of the written files.
// Under Convert a bar and a line follow the job's frames over both passes, and then say how the
// run ended; the program's launcher entry shows the same bar, and a user at another program is
// told the end in a notification (job_progress_wx.h).

#include <wx/dialog.h>
#include <wx/timer.h>

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "app/frame_preview.h"
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
  void SetUpSettingMenus();
  // The window may be made larger than the template: RecordLayout keeps where the template put
  // each control, Relayout moves and stretches them for the window's size.
  void RecordLayout();
  void Relayout();
  // A first file typed (not browsed or dropped) that exists: when its box loses the focus, the
  // run's last file and AVI name are offered in the empty boxes, shown greyed; Right or End in
  // such a box takes the offer. Returns false when there is nothing to ask.
  bool OfferSuggestions();
  void ShowOffers(const std::string& last, const std::string& avi);
  void ClearOffers();
  bool TakeOffer(int key);

 public:
  /// Files dropped on the window or one of its fields.
  void OnFilesDropped(const wxArrayString& paths);
  /// Shows line in the sequence line.
  void ShowSequenceLine(const std::string& line) { SetSequenceLine(line); }

  // The picture of the frames.
  /// Asks for the first frame's pictures again, with the first field, the dialog's settings and
  /// the picture's size as they are now; nothing when they are what was asked last, or while a
  /// job runs.
  void RequestPreview();

 private:
  /// Gives up the pictures asked for, so that the next RequestPreview asks again.
  void CancelPreview();
  void OnPreviewAnswer(const PreviewAnswer& answer);

 public:
  // The Open Folder button.
  /// Shows the button for the folder holding writtenFile.
  void ShowOpenFolder(const std::string& writtenFile);

 private:
  /// Opens the folder in the desktop's file manager, or says in a message box why it cannot.
  void OnOpenFolderClicked();

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
  // Follows the jobs for the sequence line and the Open Folder button: what each job left.
  std::unique_ptr<JobObserver> m_follower;
  // The Rate setting's values, in menu order; nothing stands for "from the frames".
  std::vector<std::optional<FrameRate>> m_rates;
  wxSize m_startClient;
  std::vector<std::pair<wxWindow*, wxRect>> m_startRects;
  std::string m_offeredFor;             // the typed first file the offers were asked for
  std::map<int, std::string> m_offers;  // box id -> the path offered in it
  // Follows the jobs for the progress under Convert and on the desktop.
  std::unique_ptr<ProgressFace> m_progress;
  // Every follower of the window's jobs; the dialog reports to this one.
  JobFollowers m_followers;

  // The picture of the frames: its reader thread, and what was last asked of it.
  std::unique_ptr<PreviewReader> m_previewer;
  std::string m_previewed;
  unsigned long long m_previewAwaited = 0;  // the request not yet answered, or 0
};

/// Gives each control name of the template its IDC_ number as its window identifier. Call
/// before the template is loaded.
void RegisterControlIds();
