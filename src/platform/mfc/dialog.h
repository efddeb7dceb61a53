#pragma once
// The framework's dialog base: its message box, the transfer between member strings and
// controls (UpdateData through DoDataExchange and DDX_Text), and the application's wait cursor.

#include "platform/mfc/cstring.h"
#include "platform/mfc/dialog_backend.h"
#include "platform/mfc/win_types.h"

class CWnd;
class CDialog;

/// One direction of one UpdateData call, handed to DoDataExchange.
class CDataExchange {
 public:
  CDataExchange(DialogBackend& backend, BOOL saveAndValidate)
      : m_bSaveAndValidate(saveAndValidate), m_backend(backend) {}

  BOOL m_bSaveAndValidate;  // TRUE: controls to members; FALSE: members to controls
  DialogBackend& m_backend;
};

/// Exchanges the text of control nIDC with value in the direction pDX asks for.
void DDX_Text(CDataExchange* pDX, int nIDC, CString& value);

class CDialog {
 public:
  explicit CDialog(UINT nIDTemplate, CWnd* pParentWnd = nullptr);
  CDialog(const CDialog&) = delete;
  CDialog& operator=(const CDialog&) = delete;
  virtual ~CDialog();

  /// Routes the dialog's services to backend (not owned; null restores the console fallback).
  void SetBackend(DialogBackend* backend);
  DialogBackend& Backend() const;
  UINT GetTemplateId() const { return m_nIDTemplate; }

  /// Shows a modal message box owned by the dialog and returns the button pressed:
  /// MessageBox("AVI file exists, overwrite?", "TGA to AVI Converter", MB_YESNO) gives IDYES
  /// or IDNO.
  int MessageBox(LPCSTR text, LPCSTR caption, UINT type = MB_OK);

  /// TRUE copies the controls into the members, FALSE the members into the controls.
  BOOL UpdateData(BOOL bSaveAndValidate = TRUE);

  void BeginWaitCursor();
  void EndWaitCursor();

  /// Sets the text of one control, leaving the members alone: SetDlgItemText(IDC_STATUS, "").
  void SetDlgItemText(int nID, LPCSTR text);

 protected:
  virtual void DoDataExchange(CDataExchange* pDX);

 private:
  UINT m_nIDTemplate;
  DialogBackend* m_backend = nullptr;
};
