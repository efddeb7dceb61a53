#include "frames/converter_dlg.h"
#include "frames/frame_buffer.h"
#include "frames/read_ahead.h"
#include "sequence/sequence_name.h"

bool CConverterDlg::LoadFrame(CString strFrameFile, bool bMatte) {
  EnsureMagickReady();
  CString strMessage;

  FrameRead::Status status;
  FrameSize size;
  if (std::optional<FrameRead> ahead = m_readAhead.Take(strFrameFile.str(), bMatte)) {
    // Read on the second thread: its image, and its buffer when there is one, become ours.
    status = ahead->status;
    m_image = ahead->image;
    if (status == FrameRead::Status::kOk) {
      m_blob = ahead->blob;
      size = ahead->size;
    }
  } else {
    status = ReadFrameInto(m_image, m_blob, &size, strFrameFile.str(), bMatte);
  }

  switch (status) {
    case FrameRead::Status::kOpenFailed:
      strMessage.Format("Error on opening %s", strFrameFile.GetString());
      MessageBox(strMessage, kConverterCaption, MB_OK);
      return false;
    case FrameRead::Status::kExportFailed:
      strMessage.Format("Error on reading %s", strFrameFile.GetString());
      MessageBox(strMessage, kConverterCaption, MB_OK);
      return false;
    case FrameRead::Status::kOk:
      break;
  }
  m_pFrameData = static_cast<BYTE*>(const_cast<void*>(m_blob.data()));
  m_nFrameWidth = size.width;
  m_nFrameHeight = size.height;
  return true;
}

bool CConverterDlg::ReadAhead(CString strFrameFile, bool bMatte) {
  return m_readAhead.Start(strFrameFile.str(), bMatte);
}

void CConverterDlg::AbandonReadAhead() { m_readAhead.Abandon(); }
