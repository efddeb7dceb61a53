#include "dialog/converter_dlg.h"
#include "dialog/texts.h"
#include "frames/frame_ring.h"
#include "platform/user/key_state.h"

namespace {

bool EscapePressed() { return GetAsyncKeyState(VK_ESCAPE) != 0; }

}  // namespace

FrameRead CConverterDlg::TakeFrame(long long n, FrameBuffer& frame,
                                   std::optional<FrameSize> onlyOfSize) {
  FrameRead read = m_frames.Take(n, frame, EscapePressed, onlyOfSize);
  CString strMessage;
  switch (read.status) {
    case FrameRead::Status::kOk:
    case FrameRead::Status::kStopped:
      break;
    case FrameRead::Status::kMissing:
    case FrameRead::Status::kOpenFailed:
    case FrameRead::Status::kTooLarge:
      strMessage.Format("Error on opening %s", read.path.c_str());
      MessageBox(strMessage, kConverterCaption, MB_OK);
      break;
    case FrameRead::Status::kExportFailed:
      strMessage.Format("Error on reading %s", read.path.c_str());
      MessageBox(strMessage, kConverterCaption, MB_OK);
      break;
  }
  return read;
}
