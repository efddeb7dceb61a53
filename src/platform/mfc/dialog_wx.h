#pragma once
// The dialog's services over a wxWidgets window: message boxes owned by it, the text of its
// controls found by their identifiers (IDC_...), the application's busy cursor, its icons, and
// its file dialogs. Declared without the toolkit; only the window includes wxWidgets. A job
// thread may call the dialog's services: each runs on the window's thread, and the call returns
// when it is done there (window_thread_wx.h), except setting a control's text, which is posted
// and shown as soon as the window's thread is free.

#include <memory>
#include <string>

#include "platform/mfc/dialog_backend.h"
#include "platform/mfc/file_dialog.h"

class wxTopLevelWindow;
class wxWindow;

class WxDialogBackend final : public DialogBackend {
 public:
  /// window holds the controls, each with its IDC_ number as its window identifier.
  explicit WxDialogBackend(wxTopLevelWindow* window);
  ~WxDialogBackend() override;
  WxDialogBackend(const WxDialogBackend&) = delete;
  WxDialogBackend& operator=(const WxDialogBackend&) = delete;

  int MessageBox(const CString& text, const CString& caption, UINT style) override;
  CString GetControlText(int id) override;
  void SetControlText(int id, const CString& text) override;
  void BeginWaitCursor() override;
  void EndWaitCursor() override;
  void SetIcon(HICON icon, BOOL bBigIcon) override;

 private:
  struct Posted;
  wxTopLevelWindow* m_window;
  std::shared_ptr<Posted> m_posted;
  int m_busy = 0;  // used on the window's thread only
};

/// File dialogs owned by a window. The Open style picks an existing file; the Save style takes
/// any name and never asks about overwriting unless the caller's flags say so. Each dialog starts
/// in the folder of the last path chosen, remembered from one run to the next (settings.h).
class WxFileDialogBackend final : public FileDialogBackend {
 public:
  explicit WxFileDialogBackend(wxWindow* owner) : m_owner(owner) {}
  int Run(const CFileDialog& dialog, std::string* path) override;

 private:
  wxWindow* m_owner;
  std::string m_lastFolder;
};
