#include "platform/mfc/dialog.h"

#include <cstdio>
#include <map>

namespace {

// Serves a dialog that no window or script has been attached to: messages go to standard
// error and every question is answered with the answer that changes nothing.
class ConsoleBackend final : public DialogBackend {
 public:
  int MessageBox(const CString& text, const CString& caption, UINT style) override {
    std::fprintf(stderr, "%s: %s\n", caption.GetString(), text.GetString());
    switch (style & MB_TYPEMASK) {
      case MB_YESNO:
        return IDNO;
      case MB_OKCANCEL:
        return IDCANCEL;
      default:
        return IDOK;
    }
  }
  CString GetControlText(int id) override { return m_texts[id]; }
  void SetControlText(int id, const CString& text) override { m_texts[id] = text; }
  void BeginWaitCursor() override {}
  void EndWaitCursor() override {}

 private:
  std::map<int, CString> m_texts;
};

}  // namespace

void DDX_Text(CDataExchange* pDX, int nIDC, CString& value) {
  if (pDX->m_bSaveAndValidate) {
    value = pDX->m_backend.GetControlText(nIDC);
  } else {
    pDX->m_backend.SetControlText(nIDC, value);
  }
}

CDialog::CDialog(UINT nIDTemplate, CWnd* /*pParentWnd*/) : m_nIDTemplate(nIDTemplate) {}

CDialog::~CDialog() = default;

void CDialog::SetBackend(DialogBackend* backend) { m_backend = backend; }

DialogBackend& CDialog::Backend() const {
  if (m_backend) return *m_backend;
  static ConsoleBackend console;
  return console;
}

void CDialog::SetDlgItemText(int nID, LPCSTR text) { Backend().SetControlText(nID, CString(text)); }

int CDialog::MessageBox(LPCSTR text, LPCSTR caption, UINT type) {
  return Backend().MessageBox(CString(text), CString(caption), type);
}

BOOL CDialog::UpdateData(BOOL bSaveAndValidate) {
  CDataExchange dx(Backend(), bSaveAndValidate);
  DoDataExchange(&dx);
  return TRUE;
}

void CDialog::BeginWaitCursor() { Backend().BeginWaitCursor(); }

void CDialog::EndWaitCursor() { Backend().EndWaitCursor(); }

void CDialog::DoDataExchange(CDataExchange* /*pDX*/) {}
