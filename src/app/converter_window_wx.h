#pragma once
// The converter's window: the dialog template loaded from the XRC resource, bound to a
// CConverterDlg whose handlers do the work. While it lives, the platform services (message
// boxes, control text, busy cursor, file dialogs, the Escape key) are served by this window.
// The Convert command runs on a thread of its own, so that the window goes on painting while it
// works; meanwhile the window's controls are disabled, Escape asks the job to stop, and no other
// key nor the close box is taken.

#include <wx/dialog.h>

#include <thread>

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
  void OnPaintEvent(wxPaintEvent& event);

  CConverterDlg& m_dlg;
  bool m_loaded = false;
  WxDialogBackend m_backend;
  WxFileDialogBackend m_fileDialogs;
  FileDialogBackend* m_previousFileDialogs = nullptr;
  WxKeyState m_keys;
  // The Convert command, from the click until OnJobEnded joins it. The window cannot end
  // meanwhile: its close box and keys are refused.
  std::thread m_job;
};

/// Gives each control name of the template its IDC_ number as its window identifier. Call
/// before the template is loaded.
void RegisterControlIds();
