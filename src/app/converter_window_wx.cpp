#include "app/converter_window_wx.h"

#include <wx/filename.h>

#include <wx/button.h>
#include <wx/dnd.h>
#include <wx/panel.h>
#include <wx/textctrl.h>
#include <wx/xrc/xmlres.h>

#include <algorithm>
#include <exception>
#include <iterator>
#include <string>
#include <utility>

#include "app/open_folder_wx.h"
#include "app/preview_panel_wx.h"
#include "app/run_summary.h"
#include "app/setting_menu_wx.h"
#include "dialog/converter_dlg.h"
#include "dialog/job_events.h"
#include "dialog/resource.h"
#include "job/check_files.h"
#include "platform/mfc/settings.h"

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
constexpr int kTemplateHeight = 310;

// The Rate setting's values after "From the frames"; a remembered rate not among them is added.
constexpr const char* kListedRates[] = {"24000/1001", "24", "25",         "30000/1001", "30",
                                        "48",         "50", "60000/1001", "60"};
constexpr const char* kFillLabels[] = {"As stored", "Straight", "Premultiplied",
                                       "Straight from premultiplied"};
constexpr Fill kFills[] = {Fill::kAsStored, Fill::kStraight, Fill::kPremultiplied,
                           Fill::kStraightFromPremultiplied};

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

// Puts what a job left into the sequence line (run_summary.h), and shows the Open Folder button
// once a job has written a file. Called on the job's thread; the window is changed on its own
// thread, before it takes input again.
class SequenceLineFollower final : public JobObserver {
 public:
  explicit SequenceLineFollower(ConverterWindow& window) : m_window(window) {}

  void OnPassBegan(const PassBegan& event) override { m_summary.OnPassBegan(event); }
  void OnFrameRepeated(const FrameRepeated& event) override { m_summary.OnFrameRepeated(event); }
  void OnPassEnded(const PassEnded& event) override { m_summary.OnPassEnded(event); }
  void OnFilesChecked(const FilesChecked& event) override { m_summary.OnFilesChecked(event); }
  void OnJobEnded(const JobEnded& ended) override {
    m_summary.OnJobEnded(ended);
    const RunSummary summary = std::exchange(m_summary, RunSummary());
    const std::string line = summary.Line();
    const std::string& written = summary.WrittenFile();
    if (line.empty() && written.empty()) return;
    ConverterWindow& window = m_window;
    window.CallAfter([&window, line, written] {
      if (!line.empty()) window.ShowSequenceLine(line);
      if (!written.empty()) window.ShowOpenFolder(written);
    });
  }

 private:
  ConverterWindow& m_window;
  RunSummary m_summary;
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
      {"IDC_RATE", IDC_RATE},
      {"IDC_FILL", IDC_FILL},
      {"IDC_PREVIEW", IDC_PREVIEW},
      {"IDC_OPEN_FOLDER", IDC_OPEN_FOLDER},
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
  RecordLayout();

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
  SetUpSettingMenus();
  for (const int id : {IDC_FIRST_FILE, IDC_LAST_FILE, IDC_AVI_FILE}) {
    wxWindow* field = FindWindow(id);
    if (!field) continue;
    Bind(
        wxEVT_TEXT,
        [this, id](wxCommandEvent&) {
          if (id == IDC_FIRST_FILE) ClearOffers();
          m_typingPause.StartOnce(kTypingPauseMs);
        },
        id);
    field->Bind(wxEVT_KILL_FOCUS, [this, id](wxFocusEvent& event) {
      event.Skip();
      if (id == IDC_FIRST_FILE && OfferSuggestions()) return;
      RequestScan(false);
    });
  }
  for (const int id : {IDC_FIRST_FILE, IDC_LAST_FILE, IDC_AVI_FILE, IDC_SEQUENCE}) {
    if (wxWindow* field = FindWindow(id)) field->SetDropTarget(new FileDrop(*this));
  }

  // The picture of the frames: answers are carried to this thread, and a picture of another
  // size is asked for again. The reader goes before the window does.
  m_previewer = std::make_unique<PreviewReader>([this](const PreviewAnswer& answer) {
    CallAfter([this, answer] { OnPreviewAnswer(answer); });
  });
  if (wxWindow* preview = FindWindow(IDC_PREVIEW)) {
    preview->Bind(wxEVT_SIZE, [this](wxSizeEvent& event) {
      event.Skip();
      RequestPreview();
    });
  }
  // The Open Folder button, shown once a job has written a file.
  Bind(
      wxEVT_BUTTON, [this](wxCommandEvent&) { OnOpenFolderClicked(); }, IDC_OPEN_FOLDER);
}

ConverterWindow::~ConverterWindow() {
  // A scan under way is given up and its thread joined before anything it answers to goes.
  m_scanner.reset();
  m_previewer.reset();
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

void ConverterWindow::SetUpSettingMenus() {
  auto* rate = wxDynamicCast(FindWindow(IDC_RATE), SettingMenu);
  auto* fill = wxDynamicCast(FindWindow(IDC_FILL), SettingMenu);
  if (!rate || !fill) return;
  // The rates offered, and the one the user chose last time when it is still a rate.
  m_rates.assign(1, std::nullopt);
  for (const char* listed : kListedRates) m_rates.push_back(ParseRate(listed));
  const std::optional<FrameRate> remembered = ParseRate(LoadSetting("Rate"));
  if (remembered && std::find(m_rates.begin(), m_rates.end(), remembered) == m_rates.end()) {
    m_rates.push_back(remembered);
  }
  std::vector<wxString> rateLabels;
  for (const std::optional<FrameRate>& listed : m_rates) {
    rateLabels.push_back(listed ? wxString(RateDecimal(*listed) + " fps")
                                : wxString("From the frames"));
  }
  const auto chosen = std::find(m_rates.begin(), m_rates.end(), remembered);
  m_dlg.m_settings.rate = remembered;
  rate->SetUp("Rate", std::move(rateLabels),
              static_cast<int>(chosen == m_rates.end() ? 0 : chosen - m_rates.begin()),
              [this](int picked) {
                const std::optional<FrameRate>& value = m_rates[static_cast<std::size_t>(picked)];
                m_dlg.m_settings.rate = value;
                SaveSetting("Rate", value ? RateText(*value) : std::string());
                RequestScan(false);
              });

  const std::optional<Fill> rememberedFill = FillNamed(LoadSetting("Fill"));
  int fillChosen = 0;
  for (std::size_t i = 0; i < std::size(kFills); ++i) {
    if (rememberedFill == kFills[i]) fillChosen = static_cast<int>(i);
  }
  m_dlg.m_settings.look.fill = kFills[fillChosen];
  fill->SetUp("Fill", std::vector<wxString>(std::begin(kFillLabels), std::end(kFillLabels)),
              fillChosen, [this](int picked) {
                m_dlg.m_settings.look.fill = kFills[picked];
                SaveSetting("Fill", FillName(kFills[picked]));
                RequestPreview();
              });
}

void ConverterWindow::RecordLayout() {
  m_startClient = GetClientSize();
  for (wxWindow* child : GetChildren()) m_startRects.emplace_back(child, child->GetRect());
  // The template's size is the smallest; wider, the path boxes take the width, and taller, the
  // picture of the frames takes the height.
  SetMinClientSize(m_startClient);
  Bind(wxEVT_SIZE, [this](wxSizeEvent& event) {
    event.Skip();
    Relayout();
  });
}

void ConverterWindow::Relayout() {
  const wxSize client = GetClientSize();
  const int dx = std::max(0, client.x - m_startClient.x);
  const int dy = std::max(0, client.y - m_startClient.y);
  // Which way each control goes follows from where the template puts it: the browse buttons
  // and Convert sit at the right and move; what reaches from the left towards them stretches;
  // the row of the picture grows, and what lies under it moves down.
  const int rightColumn = ConvertDialogToPixels(wxPoint(120, 0)).x;
  const int reachesRight = ConvertDialogToPixels(wxPoint(115, 0)).x;
  const int growTop = ConvertDialogToPixels(wxPoint(0, 194)).y;
  const int growBottom = ConvertDialogToPixels(wxPoint(0, 242)).y;
  for (const auto& [child, start] : m_startRects) {
    wxRect rect = start;
    if (start.x >= rightColumn) {
      rect.x += dx;
    } else if (start.GetRight() >= reachesRight) {
      rect.width += dx;
    }
    if (start.y >= growBottom) {
      rect.y += dy;
    } else if (start.y >= growTop) {
      rect.height += dy;
    }
    if (rect != child->GetRect()) child->SetSize(rect);
  }
}

bool ConverterWindow::OfferSuggestions() {
  const std::string first = TextOf(this, IDC_FIRST_FILE);
  if (first.empty() || first == m_offeredFor || !wxFileName::FileExists(wxString::FromUTF8(first)))
    return false;
  if (!m_scanner || m_job.joinable()) return false;
  m_offeredFor = first;
  m_typingPause.Stop();
  ScanRequest request = Asked();
  request.suggest = true;
  request.offerOnly = true;
  m_scanned = KeyOf(request);
  m_scanner->Request(std::move(request));
  RequestPreview();
  return true;
}

void ConverterWindow::ShowOffers(const std::string& last, const std::string& avi) {
  m_offers.clear();
  for (const auto& [id, offer] : {std::pair<int, const std::string&>{IDC_LAST_FILE, last},
                                  std::pair<int, const std::string&>{IDC_AVI_FILE, avi}}) {
    auto* field = wxDynamicCast(FindWindow(id), wxTextCtrl);
    if (!field || offer.empty() || !field->IsEmpty()) continue;
    // The name alone: a hint cannot scroll, and the folder is the first file's.
    const wxString name = wxFileName(wxString::FromUTF8(offer)).GetFullName();
    field->SetHint(wxString::FromUTF8("\u2192 ") + name);
    m_offers[id] = offer;
  }
}

void ConverterWindow::ClearOffers() {
  for (auto& [id, offer] : m_offers) {
    if (auto* field = wxDynamicCast(FindWindow(id), wxTextCtrl)) field->SetHint(wxString());
  }
  m_offers.clear();
  m_offeredFor.clear();
}

bool ConverterWindow::TakeOffer(int key) {
  if (key != WXK_RIGHT && key != WXK_END && key != WXK_NUMPAD_RIGHT && key != WXK_NUMPAD_END)
    return false;
  wxWindow* focus = FindFocus();
  if (!focus) return false;
  const auto offer = m_offers.find(focus->GetId());
  auto* field = wxDynamicCast(focus, wxTextCtrl);
  if (offer == m_offers.end() || !field || !field->IsEmpty()) return false;
  field->ChangeValue(wxString::FromUTF8(offer->second));
  field->SetInsertionPointEnd();
  field->SetHint(wxString());
  m_offers.erase(offer);
  RequestScan(false);
  return true;
}

void ConverterWindow::RequestScan(bool suggest) {
  if (!m_scanner || m_job.joinable()) return;
  m_typingPause.Stop();
  ScanRequest request = Asked();
  request.suggest = suggest;
  if (!suggest && KeyOf(request) == m_scanned) return;
  m_scanned = KeyOf(request);
  m_scanner->Request(std::move(request));
  RequestPreview();
}

ScanRequest ConverterWindow::Asked() {
  return {TextOf(this, IDC_FIRST_FILE), TextOf(this, IDC_LAST_FILE), false,
          TextOf(this, IDC_AVI_FILE), m_dlg.m_settings.rate};
}

void ConverterWindow::OnScanAnswer(const ScanAnswer& answer) {
  // Stale, or a job has the window: the line then keeps what the job puts there.
  if (!m_scanner || m_job.joinable() || !m_scanner->IsLatest(answer.id)) return;
  if (answer.request.suggest && answer.request.offerOnly) {
    // A typed first file: the suggestions are offered in the empty boxes, not written in, so
    // that what Convert does with the boxes as typed stays the same.
    ShowOffers(answer.suggestedLast, answer.suggestedAvi);
  } else if (answer.request.suggest) {
    ClearOffers();
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
  CancelPreview();
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
  RequestPreview();
}

void ConverterWindow::EnableControls(bool enable) {
  for (const int id : {IDC_CONVERT, IDC_BROWSE_FIRST, IDC_BROWSE_AVI, IDC_FIRST_FILE, IDC_AVI_FILE,
                       IDC_BROWSE_LAST, IDC_LAST_FILE, IDC_RATE, IDC_FILL, IDC_OPEN_FOLDER}) {
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
  if (TakeOffer(key)) return;
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

// The picture of the frames.

void ConverterWindow::RequestPreview() {
  if (!m_previewer || m_job.joinable()) return;
  auto* panel = wxDynamicCast(FindWindow(IDC_PREVIEW), PreviewPanel);
  if (!panel) return;
  PreviewRequest request{TextOf(this, IDC_FIRST_FILE), m_dlg.m_settings.look, panel->HalfPixels(),
                         panel->CellPixels()};
  // The same file, look and size: the same pictures.
  const std::string key = request.firstFile + '\n' + FillName(request.look.fill) + ' ' +
                          TransferName(request.look.transfer) + ' ' +
                          std::to_string(request.half.width) + 'x' +
                          std::to_string(request.half.height) + ' ' + std::to_string(request.cell);
  if (key == m_previewed) return;
  m_previewed = key;
  m_previewAwaited = m_previewer->Request(std::move(request));
}

void ConverterWindow::CancelPreview() {
  if (!m_previewer || m_previewAwaited == 0) return;
  // Given up unanswered: the same request is to be made again.
  m_previewer->Cancel();
  m_previewAwaited = 0;
  m_previewed.clear();
}

void ConverterWindow::OnPreviewAnswer(const PreviewAnswer& answer) {
  if (!m_previewer || !m_previewer->IsLatest(answer.id)) return;
  m_previewAwaited = 0;
  if (auto* panel = wxDynamicCast(FindWindow(IDC_PREVIEW), PreviewPanel)) {
    panel->SetPictures(answer.pictures);
  }
}
// ---- The Open Folder button ----

void ConverterWindow::ShowOpenFolder(const std::string& writtenFile) {
  if (auto* button = wxDynamicCast(FindWindow(IDC_OPEN_FOLDER), OpenFolderButton)) {
    button->ShowFor(writtenFile);
  }
}

void ConverterWindow::OnOpenFolderClicked() {
  auto* button = wxDynamicCast(FindWindow(IDC_OPEN_FOLDER), OpenFolderButton);
  if (m_job.joinable() || !button || button->Folder().empty()) return;
  const std::string failure = OpenInFileManager(button->Folder());
  if (failure.empty()) return;
  CString text;
  text.Format("Cannot open the folder %s: %s", button->Folder().c_str(), failure.c_str());
  m_dlg.MessageBox(text, kConverterCaption, MB_OK | MB_ICONEXCLAMATION);
}
