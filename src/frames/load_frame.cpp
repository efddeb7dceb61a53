#include "frames/converter_dlg.h"
#include "frames/frame_buffer.h"
#include "frames/read_ahead.h"
#include "platform/user/key_state.h"
#include "sequence/sequence_name.h"

bool CConverterDlg::LoadFrame(CString strFrameFile, bool bMatte) {
  EnsureMagickReady();
  CString strMessage;
  m_bLoadStopped = false;

  // Every frame is read on a thread of its own (most were started ahead of their turn), so
  // that a read that hangs cannot hold the window: Escape still ends the wait.
  const FrameRead read =
      m_readAhead.Read(strFrameFile.str(), bMatte, [] { return GetAsyncKeyState(VK_ESCAPE) != 0; });

  if (read.status == FrameRead::Status::kStopped) {
    m_bLoadStopped = true;
    return false;
  }
  // Its image, and its buffer when there is one, become ours.
  m_image = read.image;
  switch (read.status) {
    case FrameRead::Status::kStopped:
    case FrameRead::Status::kOpenFailed:
    case FrameRead::Status::kTooLarge:
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
  m_blob = read.blob;
  m_pFrameData = static_cast<BYTE*>(const_cast<void*>(m_blob.data()));
  m_nFrameWidth = read.size.width;
  m_nFrameHeight = read.size.height;
  return true;
}

bool CConverterDlg::ReadAhead(CString strFrameFile, bool bMatte) {
  return m_readAhead.Start(strFrameFile.str(), bMatte);
}

void CConverterDlg::AbandonReadAhead() { m_readAhead.Abandon(); }
