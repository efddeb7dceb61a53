#include "dialog/converter_dlg.h"

#include "frames/frame_buffer.h"

CConverterDlg::CConverterDlg(CWnd* pParent)
    : CDialog(IDD, pParent), m_strStatus(kStatusNotice), m_hIcon(LoadIconA(IDR_MAINFRAME)) {
  // Ready before any reader thread reads a frame with it.
  EnsureMagickReady();
}

CConverterDlg::~CConverterDlg() = default;

void CConverterDlg::DoDataExchange(CDataExchange* pDX) {
  CDialog::DoDataExchange(pDX);
  DDX_Text(pDX, IDC_FIRST_FILE, m_strFirstFile);
  DDX_Text(pDX, IDC_LAST_FILE, m_strLastFile);
  DDX_Text(pDX, IDC_AVI_FILE, m_strAviFile);
  DDX_Text(pDX, IDC_STATUS, m_strStatus);
}

JobObserver& CConverterDlg::Observer() {
  static JobObserver nobody;
  return m_pObserver ? *m_pObserver : nobody;
}
