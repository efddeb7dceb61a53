#include <exception>

#include "avi/conversion_job.h"
#include "dialog/converter_dlg.h"
#include "dialog/texts.h"
#include "frames/frame_buffer.h"
#include "frames/frame_ring.h"
#include "job/check_files.h"
#include "job/conversion.h"
#include "platform/mfc/cfile.h"
#include "platform/user/key_state.h"
#include "sequence/sequence_name.h"

namespace {

// Keeps the busy cursor on for as long as it lives, whichever way the job leaves.
class WaitCursor {
 public:
  explicit WaitCursor(CDialog& dlg) : m_dlg(dlg) { m_dlg.BeginWaitCursor(); }
  ~WaitCursor() { m_dlg.EndWaitCursor(); }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;

 private:
  CDialog& m_dlg;
};

constexpr UINT kOpenForReading = CFile::modeRead | CFile::shareDenyWrite | CFile::modeNoTruncate;

}  // namespace

void CConverterDlg::OnConvert() {
  UpdateData(TRUE);

  // Both ends of the sequence must be readable before anything is asked or written.
  {
    CFile firstFile;
    CFile lastFile;
    if (!firstFile.Open(m_strFirstFile, kOpenForReading)) {
      MessageBox("Failed to open First TGA file", kConverterCaption, MB_OK);
      return;
    }
    if (!lastFile.Open(m_strLastFile, kOpenForReading)) {
      MessageBox("Failed to open Last TGA file", kConverterCaption, MB_OK);
      firstFile.Close();
      return;
    }
    firstFile.Close();
    lastFile.Close();
  }

  ConversionJob job;
  job.first = SplitSequencePath(m_strFirstFile);
  job.last = SplitSequencePath(m_strLastFile);
  // The first file's digit count names every frame: shot1.tga .. shot10.tga stays unpadded.
  job.digitWidth = job.first.width;
  if (const char* problem = SequenceProblem(job.first, job.last)) {
    MessageBox(problem, kConverterCaption, MB_OK);
    return;
  }

  CFileStatus status;
  if (CFile::GetStatus(m_strAviFile, status) &&
      MessageBox(kOverwriteQuestion, kConverterCaption, MB_YESNO) == IDNO) {
    return;
  }

  job.abort = false;
  if (!CheckVideoForWindowsVersion(*this, VideoForWindowsVersion())) return;

  // The first frame decides the size and rate of both files. It is read as every frame of the
  // passes is, by the same reader. One that cannot be read, or whose buffer would not fit a
  // 32-bit byte count, leaves nothing to size the streams by, so the job ends before anything
  // is created.
  job.frameFile = FrameFileName(job.first, job.digitWidth, job.first.number);
  const FrameRead firstFrame = [this, &job] {
    FrameBuffer pixels;  // only the size is kept, not the pixels
    return m_frames.Read(job.frameFile.str(), false, pixels,
                         [] { return GetAsyncKeyState(VK_ESCAPE) != 0; });
  }();
  if (firstFrame.status == FrameRead::Status::kStopped) return;
  const FrameSize size = firstFrame.size;
  const std::optional<FrameGeometry> geometry = firstFrame.status == FrameRead::Status::kOk
                                                    ? MakeFrameGeometry(size.width, size.height)
                                                    : std::nullopt;
  if (!geometry) {
    CString text;
    if (firstFrame.status == FrameRead::Status::kTooLarge) {
      text.Format("Frame too large to convert: %s (%d x %d)", job.frameFile.GetString(), size.width,
                  size.height);
    } else {
      job.errorText.Format("Error reading %s", job.frameFile.GetString());
      text = job.errorText;
    }
    MessageBox(text, kConverterCaption, MB_OK);
    return;
  }
  job.width = geometry->width;
  job.height = geometry->height;
  job.rate = geometry->rate;
  job.frameByteSize = geometry->frameByteSize;

  WaitCursor waitCursor(*this);
  try {
    for (job.pass = 0; job.pass < 2; ++job.pass) {
      if (job.abort) break;
      if (job.pass == 1) m_strAviFile = MatteFileName(m_strAviFile);
      if (WriteAviPass(job, job.pass) == PassOutcome::kFailed) return;
    }
  } catch (const std::exception& error) {
    // Nothing below is expected to throw; if something does, say so rather than vanish.
    CString text;
    text.Format("Conversion stopped: %s", error.what());
    MessageBox(text, kConverterCaption, MB_OK);
    return;
  }

  // Both files are read back before completion is told; a file that does not hold what was
  // written has a box of its own, and the result stays in the sequence line.
  const CString checked = CheckWrittenFiles(*this, job);
  if (!checked.IsEmpty()) SetDlgItemText(IDC_SEQUENCE, checked);

  m_strStatus.Empty();
  MessageBox(kFileCreated, kConverterCaption, MB_OK);
  UpdateData(FALSE);
}
