// The window side of the converter's dialog: its start, its icon and the three browse buttons.

#include <string>

#include "dialog/converter_dlg.h"
#include "platform/mfc/file_dialog.h"

namespace {

constexpr const char* kFrameFilter = "Graphic Files (*.tga)|*.tga||";
constexpr const char* kVideoFilter = "Video Files (*.avi)|*.avi||";
constexpr DWORD kBrowseFlags = OFN_HIDEREADONLY | OFN_NONETWORKBUTTON;

// The three browse buttons differ only in their filter, extension, style and member. The output
// file is asked for in the save style, since the toolkit's open dialog only picks existing files;
// its flags leave the overwrite question to the Convert command.
void Browse(CConverterDlg& dlg, CString& member, BOOL bOpen, LPCSTR defaultExt, LPCSTR filter) {
  CFileDialog fileDialog(bOpen, defaultExt, nullptr, kBrowseFlags, filter, nullptr);
  if (fileDialog.DoModal() != IDOK) return;
  member = fileDialog.GetPathName();
  dlg.UpdateData(FALSE);
}

}  // namespace

BOOL CConverterDlg::OnInitDialog() {
  UpdateData(FALSE);
  Backend().SetIcon(m_hIcon, TRUE);
  Backend().SetIcon(m_hIcon, FALSE);
  // TRUE: the focus goes to the first control in tab order, the Convert button.
  return TRUE;
}

void CConverterDlg::OnBrowseFirst() { Browse(*this, m_strFirstFile, TRUE, "tga", kFrameFilter); }

void CConverterDlg::OnBrowseLast() { Browse(*this, m_strLastFile, TRUE, "tga", kFrameFilter); }

void CConverterDlg::OnBrowseAvi() { Browse(*this, m_strAviFile, FALSE, "avi", kVideoFilter); }

void CConverterDlg::OnDropFile(const CString& path) {
  // Read back first: a dropped file replaces its own field only.
  UpdateData(TRUE);
  const std::string& text = path.str();
  const bool avi = text.size() >= 4 && (text[text.size() - 4] == '.') &&
                   (text[text.size() - 3] | 0x20) == 'a' && (text[text.size() - 2] | 0x20) == 'v' &&
                   (text[text.size() - 1] | 0x20) == 'i';
  (avi ? m_strAviFile : m_strFirstFile) = path;
  UpdateData(FALSE);
}

void CConverterDlg::FillEmptyFields(const CString& lastFile, const CString& aviFile) {
  UpdateData(TRUE);
  const bool fillLast = m_strLastFile.IsEmpty() && !lastFile.IsEmpty();
  const bool fillAvi = m_strAviFile.IsEmpty() && !aviFile.IsEmpty();
  if (!fillLast && !fillAvi) return;
  if (fillLast) m_strLastFile = lastFile;
  if (fillAvi) m_strAviFile = aviFile;
  UpdateData(FALSE);
}
