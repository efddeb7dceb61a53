#include "app/job_progress_wx.h"

#include <wx/app.h>
#include <wx/gauge.h>
#include <wx/textctrl.h>

#include <cmath>
#include <string>

#include "dialog/resource.h"

#ifndef TGA2AVI_DESKTOP_ID
#define TGA2AVI_DESKTOP_ID "tga2avi.desktop"
#endif

// The progress line: a read-only text that the keyboard's Tab passes by, as the sequence line
// is, so that the tab order stays the template's; the mouse can still select and copy from it.
class ProgressLine final : public wxTextCtrl {
 public:
  bool AcceptsFocusFromKeyboard() const override { return false; }

 private:
  wxDECLARE_DYNAMIC_CLASS(ProgressLine);
};
wxIMPLEMENT_DYNAMIC_CLASS(ProgressLine, wxTextCtrl);

namespace {

// The bar's steps: a tenth of a percent.
constexpr int kGaugeRange = 1000;

// Whether one of the program's windows has the keyboard: the main window, or a dialog of its
// own such as the compressor choice.
bool ProgramActive() {
  for (wxWindow* window : wxTopLevelWindows) {
    auto* topLevel = wxDynamicCast(window, wxTopLevelWindow);
    if (topLevel && topLevel->IsActive()) return true;
  }
  return false;
}

}  // namespace

ProgressFace::ProgressFace(wxTopLevelWindow& window)
    : m_window(window),
      // Called on the job's thread, at most ten times a second; the window takes the newest
      // view when its thread is free.
      m_progress([this] { m_window.CallAfter([this] { Show(m_progress.Take()); }); }),
      m_desktop(TGA2AVI_DESKTOP_ID, wxTheApp ? wxTheApp->GetAppDisplayName().utf8_string()
                                             : std::string("TGA to AVI Converter")) {
  if (auto* gauge = wxDynamicCast(m_window.FindWindow(IDC_PROGRESS), wxGauge)) {
    gauge->SetRange(kGaugeRange);
  }
}

void ProgressFace::Clear() { Show(ProgressView()); }

void ProgressFace::Show(const ProgressView& view) {
  if (auto* gauge = wxDynamicCast(m_window.FindWindow(IDC_PROGRESS), wxGauge)) {
    gauge->SetValue(static_cast<int>(std::lround(view.fraction * kGaugeRange)));
  }
  if (auto* line = wxDynamicCast(m_window.FindWindow(IDC_PROGRESS_TEXT), wxTextCtrl)) {
    line->ChangeValue(wxString::FromUTF8(view.line.data(), view.line.size()));
  }
  // The launcher is told of a change of a tenth of a percent or more, and of the bar's end.
  if (view.running != m_launcherVisible ||
      (view.running && std::fabs(view.fraction - m_launcherFraction) >= 0.001)) {
    m_desktop.ShowProgress(view.fraction, view.running);
    m_launcherFraction = view.fraction;
    m_launcherVisible = view.running;
  }
  // Someone looking at another program is told how the run ended.
  if (view.notice && !ProgramActive()) m_desktop.Notify(view.notice->title, view.notice->body);
}
