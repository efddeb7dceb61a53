#include "frames/converter_dlg.h"
#include "frames/frame_buffer.h"
#include "sequence/sequence_name.h"

bool CConverterDlg::LoadFrame(CString strFrameFile, bool bMatte) {
  EnsureMagickReady();
  CString strMessage;

  if (!ReadFrameImage(m_image, strFrameFile.str())) {
    strMessage.Format("Error on opening %s", strFrameFile.GetString());
    MessageBox(strMessage, kConverterCaption, MB_OK);
    return false;
  }

  FrameSize size;
  try {
    size = ExportFrameBuffer(m_image, bMatte, m_blob);
  } catch (...) {
    strMessage.Format("Error on reading %s", strFrameFile.GetString());
    MessageBox(strMessage, kConverterCaption, MB_OK);
    return false;
  }

  m_pFrameData = static_cast<BYTE*>(const_cast<void*>(m_blob.data()));
  m_nFrameWidth = size.width;
  m_nFrameHeight = size.height;
  return true;
}
