#include "platform/mfc/dialog_wx.h"

#include <wx/app.h>
#include <wx/artprov.h>
#include <wx/control.h>
#include <wx/dialog.h>
#include <wx/filedlg.h>
#include <wx/filename.h>
#include <wx/sizer.h>
#include <wx/statbmp.h>
#include <wx/stattext.h>
#include <wx/textentry.h>
#include <wx/thread.h>
#include <wx/toplevel.h>
#include <wx/utils.h>
#include <wx/window.h>

#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "platform/mfc/settings.h"
#include "platform/mfc/window_thread_wx.h"
#include "platform/user/icon_wx.h"

namespace {

wxString ToWx(const std::string& text) { return wxString::FromUTF8(text.data(), text.size()); }

std::string FromWx(const wxString& text) {
  const wxScopedCharBuffer utf8 = text.utf8_str();
  return std::string(utf8.data(), utf8.length());
}

// A message box: the text, an exclamation mark when the style asks for one, and the buttons of
// the style. Built here rather than taken from the toolkit, whose native box handles its keys
// out of reach of the toolkit's event filters: an Escape still held since it stopped a job must
// not dismiss the job's last message (WxKeyState keeps it from every window). And a box without
// an icon really has none.
int ShowMessageBox(wxWindow* owner, const wxString& text, const wxString& caption, UINT style) {
  const bool yesNo = (style & MB_TYPEMASK) == MB_YESNO;
  const bool okCancel = (style & MB_TYPEMASK) == MB_OKCANCEL;
  wxDialog box(owner, wxID_ANY, caption, wxDefaultPosition, wxDefaultSize,
               wxDEFAULT_DIALOG_STYLE | ((style & MB_TOPMOST) ? wxSTAY_ON_TOP : 0));
  auto* row = new wxBoxSizer(wxHORIZONTAL);
  if ((style & MB_ICONMASK) == MB_ICONEXCLAMATION) {
    row->Add(
        new wxStaticBitmap(&box, wxID_ANY, wxArtProvider::GetMessageBoxIcon(wxICON_EXCLAMATION)),
        wxSizerFlags().Top().Border(wxRIGHT, 2 * wxSizerFlags::GetDefaultBorder()));
  }
  row->Add(new wxStaticText(&box, wxID_ANY, text), wxSizerFlags(1).CentreVertical());
  auto* column = new wxBoxSizer(wxVERTICAL);
  column->Add(row, wxSizerFlags(1).Expand().DoubleBorder());
  const long buttons = yesNo ? wxYES_NO : okCancel ? wxOK | wxCANCEL : wxOK;
  column->Add(box.CreateSeparatedButtonSizer(buttons), wxSizerFlags().Expand().Border());
  box.SetSizerAndFit(column);
  if (yesNo) {
    // Yes and No end the box with their own answers; Escape and the close box answer No.
    box.Bind(
        wxEVT_BUTTON, [&box](wxCommandEvent& event) { box.EndModal(event.GetId()); }, wxID_YES);
    box.Bind(
        wxEVT_BUTTON, [&box](wxCommandEvent& event) { box.EndModal(event.GetId()); }, wxID_NO);
    box.SetEscapeId(wxID_NO);
    box.SetAffirmativeId(wxID_YES);
  } else if (!okCancel) {
    box.SetEscapeId(wxID_OK);
  }
  box.CentreOnParent();
  // The job's busy cursor stays on underneath; the box itself shows the usual pointer.
  wxBusyCursorSuspender normalCursor;
  return box.ShowModal();
}

void ShowControlText(wxTopLevelWindow* window, int id, const std::string& text) {
  wxWindow* control = window->FindWindow(id);
  if (!control) return;
  const wxString value = ToWx(text);
  if (auto* entry = dynamic_cast<wxTextEntry*>(control)) {
    // Rewriting an unchanged field would move its caret for nothing. A path written in is
    // shown from its end: the frame number and the extension are what the user looks for.
    if (entry->GetValue() != value) {
      entry->ChangeValue(value);
      entry->SetInsertionPointEnd();
    }
  } else if (auto* label = wxDynamicCast(control, wxControl)) {
    // As text, not as a label with '&' mnemonics.
    if (label->GetLabelText() != value) label->SetLabelText(value);
  }
}

}  // namespace

// Control texts set from a job's thread, waiting for the window's thread to show them. Shared
// with the call that will show them, which finds no window once the backend has gone.
struct WxDialogBackend::Posted {
  std::mutex mutex;
  wxTopLevelWindow* window = nullptr;
  std::map<int, std::string> texts;  // the newest text of each control not yet shown
};

WxDialogBackend::WxDialogBackend(wxTopLevelWindow* window)
    : m_window(window), m_posted(std::make_shared<Posted>()) {
  m_posted->window = window;
}

WxDialogBackend::~WxDialogBackend() {
  {
    const std::lock_guard<std::mutex> lock(m_posted->mutex);
    m_posted->window = nullptr;
  }
  while (m_busy > 0) EndWaitCursor();
}

int WxDialogBackend::MessageBox(const CString& text, const CString& caption, UINT style) {
  return OnWindowThread([&] {
    switch (ShowMessageBox(m_window, ToWx(text.str()), ToWx(caption.str()), style)) {
      case wxID_YES:
        return IDYES;
      case wxID_NO:
        return IDNO;
      case wxID_CANCEL:
        // A Yes/No box closed without an answer changes nothing.
        return (style & MB_TYPEMASK) == MB_YESNO ? IDNO : IDCANCEL;
      default:
        return IDOK;
    }
  });
}

CString WxDialogBackend::GetControlText(int id) {
  {
    // A text set and not yet shown is the control's text already.
    const std::lock_guard<std::mutex> lock(m_posted->mutex);
    const auto posted = m_posted->texts.find(id);
    if (posted != m_posted->texts.end()) return CString(posted->second);
  }
  return OnWindowThread([&] {
    wxWindow* control = m_window->FindWindow(id);
    if (!control) return CString();
    if (auto* entry = dynamic_cast<wxTextEntry*>(control)) {
      return CString(FromWx(entry->GetValue()));
    }
    if (auto* label = wxDynamicCast(control, wxControl)) {
      return CString(FromWx(label->GetLabelText()));
    }
    return CString(FromWx(control->GetLabel()));
  });
}

void WxDialogBackend::SetControlText(int id, const CString& text) {
  if (wxThread::IsMain()) {
    ShowControlText(m_window, id, text.str());
    return;
  }
  // From a job's thread the text is posted, not waited for: the job goes on with its next frame
  // while the window shows it, and a newer text replaces one the window has not shown yet.
  bool first = false;
  {
    const std::lock_guard<std::mutex> lock(m_posted->mutex);
    first = m_posted->texts.empty();
    m_posted->texts[id] = text.str();
  }
  if (!first) return;  // already on its way
  wxTheApp->CallAfter([posted = m_posted] {
    std::map<int, std::string> texts;
    wxTopLevelWindow* window = nullptr;
    {
      const std::lock_guard<std::mutex> lock(posted->mutex);
      texts.swap(posted->texts);
      window = posted->window;
    }
    if (!window) return;
    for (const auto& [id, text] : texts) ShowControlText(window, id, text);
  });
}

void WxDialogBackend::BeginWaitCursor() {
  RunOnWindowThread([this] {
    ++m_busy;
    wxBeginBusyCursor();
  });
}

void WxDialogBackend::EndWaitCursor() {
  RunOnWindowThread([this] {
    if (m_busy == 0) return;
    --m_busy;
    wxEndBusyCursor();
  });
}

void WxDialogBackend::SetIcon(HICON icon, BOOL bBigIcon) {
  // The toolkit takes every size at once and lets the desktop choose; both calls give the same.
  if (!icon || !bBigIcon) return;
  RunOnWindowThread([&] { m_window->SetIcons(IconBundle(icon)); });
}

int WxFileDialogBackend::Run(const CFileDialog& dialog, std::string* path) {
  wxString wildcard;
  for (const auto& [description, pattern] : dialog.Filters()) {
    if (!wildcard.empty()) wildcard += "|";
    wildcard += ToWx(description) + "|" + ToWx(pattern);
  }
  long style = dialog.IsOpenStyle() ? wxFD_OPEN | wxFD_FILE_MUST_EXIST : wxFD_SAVE;
  if (!dialog.IsOpenStyle() && (dialog.Flags() & OFN_OVERWRITEPROMPT)) {
    style |= wxFD_OVERWRITE_PROMPT;
  }
  if (dialog.Flags() & OFN_FILEMUSTEXIST) style |= wxFD_FILE_MUST_EXIST;
  // The folder of the last file chosen, in this run or the last one while it still exists.
  if (m_lastFolder.empty()) m_lastFolder = LoadSetting("LastFolder");
  if (!m_lastFolder.empty() && !wxFileName::DirExists(ToWx(m_lastFolder))) m_lastFolder.clear();
  const wxString folder = m_lastFolder.empty() ? wxGetCwd() : ToWx(m_lastFolder);
  wxFileDialog fileDialog(m_owner, dialog.IsOpenStyle() ? "Open" : "Save As", folder,
                          ToWx(dialog.InitialFileName().str()), wildcard, style);
  if (fileDialog.ShowModal() != wxID_OK) return IDCANCEL;
  *path = FromWx(fileDialog.GetPath());
  m_lastFolder = FromWx(wxFileName(fileDialog.GetPath()).GetPath());
  SaveSetting("LastFolder", m_lastFolder);
  return IDOK;
}
