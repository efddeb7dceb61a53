#include "app/converter_window_wx.h"

#include <wx/button.h>
#include <wx/dnd.h>
#include <wx/panel.h>
#include <wx/textctrl.h>
#include <wx/xrc/xmlres.h>

#include <exception>
#include <string>
#include <utility>

#include "dialog/converter_dlg.h"
#include "dialog/job_events.h"
#include "dialog/resource.h"
#include "job/check_files.h"

// The sunken frame around the status line: a panel that never takes the focus, so that the tab
// order stays the template's and Enter cannot land on it.
class StatusFrame final : public wxPanel {
 public:
  bool AcceptsFocus() const override { return false; }
  bool AcceptsFocusFromKeyboard() const override { return false; }

 private:
  wxDECLARE_DYNAMIC_CLASS(StatusFrame);
};
wxIMPLEMENT_DYNAMIC_CLASS(StatusFrame, wxPanel);

// The sequence line: a read-only text that the keyboard's Tab passes by, so that the tab order
// stays the template's; the mouse can still select and copy from it.
class SequenceLine final : public wxTextCtrl {
 public:
  bool AcceptsFocusFromKeyboard() const override { return false; }

 private:
  wxDECLARE_DYNAMIC_CLASS(SequenceLine);
};
wxIMPLEMENT_DYNAMIC_CLASS(SequenceLine, wxTextCtrl);

namespace {

// The template's client area, in dialog units of the window's own font.
constexpr int kTemplateWidth = 194;
constexpr int kTemplateHeight = 290;

// How long typing in a frame field must pause before the run is looked over.
constexpr int kTypingPauseMs = 400;

// What a request asks about, in one text: the same text, the same answer.
std::string KeyOf(const ScanRequest& request) {
  return request.firstFile + '\n' + request.lastFile + '\n' + request.aviFile + '\n' +
         (request.rate ? RateText(*request.rate) : std::string());
}

std::string TextOf(wxWindow* window, int id) {
  auto* field = wxDynamicCast(window->FindWindow(id), wxTextCtrl);
  if (!field) return "";
  const wxString value = field->GetValue();  // alive while its UTF-8 bytes are copied
  const wxScopedCharBuffer utf8 = value.utf8_str();
  return std::string(utf8.data(), utf8.length());
}

// Puts what a job found into the sequence line: the check of the written files and, after a
// failure the check does not show, its reason. Called on the job's thread; the line is set on
// the window's, before the window takes input again.
class SequenceLineFollower final : public JobObserver {
 public:
  explicit SequenceLineFollower(ConverterWindow& window) : m_window(window) {}

  void OnFilesChecked(const FilesChecked& checked) override {
    m_line = CheckLine(checked);
    m_checkFailed = false;
    for (const FileCheck& file : checked.files) m_checkFailed = m_checkFailed || !file.ok;
  }
  void OnJobEnded(const JobEnded& ended) override {
    std::string line = std::exchange(m_line, std::string());
    if (ended.end == JobEnd::kFailed && !ended.reason.empty() && !m_checkFailed) {
      line = line.empty() ? ended.reason : line + "; " + ended.reason;
    }
    m_checkFailed = false;
    if (line.empty()) return;
    m_window.CallAfter([this, line] { m_window.ShowSequenceLine(line); });
  }

 private:
  ConverterWindow& m_window;
  std::string m_line;
  bool m_checkFailed = false;
};

class FileDrop final : public wxFileDropTarget {
 public:
  explicit FileDrop(ConverterWindow& window) : m_window(window) {}
  bool OnDropFiles(wxCoord /*x*/, wxCoord /*y*/, const wxArrayString& paths) override {
    m_window.OnFilesDropped(paths);
    return true;
  }

 private:
  ConverterWindow& m_window;
};

}  // namespace

void RegisterControlIds() {
  static const struct {
    const char* name;
    int id;
  } kControls[] = {
      {"IDC_STATUS", IDC_STATUS},
      {"IDC_AVI_FILE", IDC_AVI_FILE},
      {"IDC_LAST_FILE", IDC_LAST_FILE},
      {"IDC_CONVERT", IDC_CONVERT},
      {"IDC_BROWSE_FIRST", IDC_BROWSE_FIRST},
      {"IDC_BROWSE_AVI", IDC_BROWSE_AVI},
      {"IDC_BROWSE_LAST", IDC_BROWSE_LAST},
      {"IDC_FIRST_FILE", IDC_FIRST_FILE},
      {"IDC_SEQUENCE", IDC_SEQUENCE},
      {"IDC_PROGRESS", IDC_PROGRESS},
      {"IDC_PROGRESS_TEXT", IDC_PROGRESS_TEXT},
  };
  // The first lookup of a name fixes its identifier for every later load.
  for (const auto& control : kControls) wxXmlResource::GetXRCID(control.name, control.id);
}

ConverterWindow::ConverterWindow(CConverterDlg& dlg, wxXmlResource& resources)
    : m_dlg(dlg), m_backend(this), m_fileDialogs(this), m_typingPause(this) {
  RegisterControlIds();
  m_loaded = resources.LoadDialog(this, nullptr, "IDD_CONVERTER_DIALOG");
  if (!m_loaded) return;
  SetClientSize(ConvertDialogToPixels(wxSize(kTemplateWidth, kTemplateHeight)));

  m_dlg.SetBackend(&m_backend);
  m_follower = std::make_unique<SequenceLineFollower>(*this);
  m_followers.Add(*m_follower);
  m_progress = std::make_unique<ProgressFace>(*this);
  m_followers.Add(m_progress->Follower());
  m_dlg.SetObserver(&m_followers);
  m_previousFileDialogs = SetFileDialogBackend(&m_fileDialogs);

  Bind(wxEVT_INIT_DIALOG, &ConverterWindow::OnInit, this);
  Bind(wxEVT_CHAR_HOOK, &ConverterWindow::OnCharHook, this);
  Bind(wxEVT_CLOSE_WINDOW, &ConverterWindow::OnClose, this);
  Bind(wxEVT_BUTTON, &ConverterWindow::OnConvertClicked, this, IDC_CONVERT);
  Bind(
      wxEVT_BUTTON, [this](wxCommandEvent&) { OnBrowseFirstClicked(); }, IDC_BROWSE_FIRST);
  Bind(
      wxEVT_BUTTON,
      [this](wxCommandEvent&) {
        m_dlg.OnBrowseLast();
        RequestScan(false);
      },
      IDC_BROWSE_LAST);
  Bind(
      wxEVT_BUTTON, [this](wxCommandEvent&) { m_dlg.OnBrowseAvi(); }, IDC_BROWSE_AVI);

  // The scanner's answers are carried to this thread; the scanner goes before the window does.
  m_scanner = std::make_unique<RunScanner>(
      [this](const ScanAnswer& answer) { CallAfter([this, answer] { OnScanAnswer(answer); }); });
  Bind(
      wxEVT_TIMER, [this](wxTimerEvent&) { RequestScan(false); }, m_typingPause.GetId());
  SetDropTarget(new FileDrop(*this));  // owned by the window
  for (const int id : {IDC_FIRST_FILE, IDC_LAST_FILE, IDC_AVI_FILE}) {
    wxWindow* field = FindWindow(id);
    if (!field) continue;
    Bind(
        wxEVT_TEXT, [this](wxCommandEvent&) { m_typingPause.StartOnce(kTypingPauseMs); }, id);
    field->Bind(wxEVT_KILL_FOCUS, [this](wxFocusEvent& event) {
      event.Skip();
      RequestScan(false);
    });
  }
  for (const int id : {IDC_FIRST_FILE, IDC_LAST_FILE, IDC_AVI_FILE, IDC_SEQUENCE}) {
    if (wxWindow* field = FindWindow(id)) field->SetDropTarget(new FileDrop(*this));
  }
}

ConverterWindow::~ConverterWindow() {
  // A scan under way is given up and its thread joined before anything it answers to goes.
  m_scanner.reset();
  m_typingPause.Stop();
  if (!m_loaded) return;
  SetFileDialogBackend(m_previousFileDialogs);
  m_dlg.SetBackend(nullptr);
  m_dlg.SetObserver(nullptr);
}

int ConverterWindow::DoModal() { return ShowModal() == wxID_OK ? IDOK : IDCANCEL; }

void ConverterWindow::OnInit(wxInitDialogEvent& /*event*/) {
  m_dlg.OnInitDialog();
  if (wxWindow* convert = FindWindow(IDC_CONVERT)) convert->SetFocus();
  RequestScan(false);
}

void ConverterWindow::OnBrowseFirstClicked() {
  const std::string before = TextOf(this, IDC_FIRST_FILE);
  m_dlg.OnBrowseFirst();
  // A file chosen (a cancelled browse leaves the field as it was) suggests the empty fields.
  RequestScan(TextOf(this, IDC_FIRST_FILE) != before);
}

void ConverterWindow::OnFilesDropped(const wxArrayString& paths) {
  if (m_job.joinable()) return;
  bool frame = false;
  for (const wxString& path : paths) {
    const wxScopedCharBuffer utf8 = path.utf8_str();
    const CString file(std::string(utf8.data(), utf8.length()));
    m_dlg.OnDropFile(file);
    frame = frame || !path.Lower().EndsWith(".avi");
  }
  RequestScan(frame);
}

void ConverterWindow::RequestScan(bool suggest) {
  if (!m_scanner || m_job.joinable()) return;
  m_typingPause.Stop();
  ScanRequest request = Asked();
  request.suggest = suggest;
  if (!suggest && KeyOf(request) == m_scanned) return;
  m_scanned = KeyOf(request);
  m_scanner->Request(std::move(request));
}

ScanRequest ConverterWindow::Asked() {
  return {TextOf(this, IDC_FIRST_FILE), TextOf(this, IDC_LAST_FILE), false,
          TextOf(this, IDC_AVI_FILE), m_dlg.m_settings.rate};
}

void ConverterWindow::OnScanAnswer(const ScanAnswer& answer) {
  // Stale, or a job has the window: the line then keeps what the job puts there.
  if (!m_scanner || m_job.joinable() || !m_scanner->IsLatest(answer.id)) return;
  if (answer.request.suggest) {
    m_dlg.FillEmptyFields(answer.suggestedLast, answer.suggestedAvi);
    m_scanned = KeyOf(Asked());
  }
  SetSequenceLine(answer.line);
}

void ConverterWindow::SetSequenceLine(const std::string& line) {
  if (auto* field = wxDynamicCast(FindWindow(IDC_SEQUENCE), wxTextCtrl)) {
    field->ChangeValue(wxString::FromUTF8(line.data(), line.size()));
  }
}

void ConverterWindow::OnConvertClicked(wxCommandEvent& /*event*/) {
  // One job at a time: the button is disabled while one runs.
  if (m_job.joinable()) return;
  EnableControls(false);
  m_keys.ForgetEscape();
  m_progress->Clear();
  // The job calls the dialog's services from its thread; each is carried out on this one
  // (window_thread_wx.h), which runs its event loop meanwhile.
  m_job = std::thread([this] {
    try {
      m_dlg.OnConvert();
    } catch (const std::exception& error) {
      CString text;
      text.Format("Conversion stopped: %s", error.what());
      m_dlg.MessageBox(text, kConverterCaption, MB_OK);
    }
    CallAfter(&ConverterWindow::OnJobEnded);
  });
}

void ConverterWindow::OnJobEnded() {
  m_job.join();
  EnableControls(true);
}

void ConverterWindow::EnableControls(bool enable) {
  for (const int id : {IDC_CONVERT, IDC_BROWSE_FIRST, IDC_BROWSE_AVI, IDC_FIRST_FILE, IDC_AVI_FILE,
                       IDC_BROWSE_LAST, IDC_LAST_FILE}) {
    if (wxWindow* control = FindWindow(id)) control->Enable(enable);
  }
  // With every control disabled GTK gives the keyboard to no widget of the window, and Escape
  // would never arrive: the window itself holds the focus while the job runs.
  if (enable) {
    if (wxWindow* convert = FindWindow(IDC_CONVERT)) convert->SetFocus();
    SetCanFocus(false);
  } else {
    SetCanFocus(true);
    SetFocus();
  }
}

void ConverterWindow::OnCharHook(wxKeyEvent& event) {
  const int key = event.GetKeyCode();
  if (m_job.joinable()) {
    // A busy window takes no keys; Escape asks the job to stop at its next poll.
    if (key == WXK_ESCAPE) m_keys.PressEscape();
    return;
  }
  const bool enter = key == WXK_RETURN || key == WXK_NUMPAD_ENTER;
  // Enter on a push button presses that button (the toolkit does it); anywhere else it ends the
  // dialog as OK, with the fields read back first.
  if (enter && !wxDynamicCast(FindFocus(), wxButton)) {
    m_dlg.UpdateData(TRUE);
    EndModal(wxID_OK);
    return;
  }
  // Escape ends it as Cancel, as the close box does; the toolkit would only do so for a dialog
  // with a Cancel button.
  if (key == WXK_ESCAPE) {
    EndModal(wxID_CANCEL);
    return;
  }
  event.Skip();
}

void ConverterWindow::OnClose(wxCloseEvent& event) {
  // The job uses the window until it ends: the close box does nothing meanwhile.
  if (m_job.joinable()) {
    if (event.CanVeto()) event.Veto();
    return;
  }
  event.Skip();
}
