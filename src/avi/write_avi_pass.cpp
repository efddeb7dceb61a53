// One output pass: the frame range into one AVI file through the chosen compressor.

#include <climits>
#include <cstdio>
#include <vector>

#include "avi/conversion_job.h"
#include "avi/stream_headers.h"
#include "frames/converter_dlg.h"
#include "platform/mfc/cfile.h"
#include "platform/user/key_state.h"
#include "platform/vfw/vfw.h"
#include "sequence/sequence_name.h"

namespace {

// Picks the bytes each frame number is written from, so that the compressor is never handed
// bytes outside a buffer: the frame just loaded when it has the stream's size, else the last
// frame that did, else a black, transparent frame. The stream keeps one sample per frame number.
class FrameSource {
 public:
  explicit FrameSource(int frameBytes) : m_frameBytes(frameBytes < 0 ? 0 : frameBytes) {}

  const BYTE* Pick(const CConverterDlg& dlg, bool loaded, int width, int height) {
    if (loaded && dlg.m_pFrameData && dlg.m_nFrameWidth == width && dlg.m_nFrameHeight == height) {
      // Shares the blob's storage: no pixel is copied, and a later load leaves it alone.
      m_lastGood = dlg.m_blob;
      return dlg.m_pFrameData;
    }
    if (m_lastGood.data() && m_lastGood.length() >= static_cast<size_t>(m_frameBytes)) {
      return static_cast<const BYTE*>(m_lastGood.data());
    }
    if (m_black.empty()) m_black.assign(static_cast<size_t>(m_frameBytes) + 1, 0);
    return m_black.data();
  }

 private:
  int m_frameBytes;
  Magick::Blob m_lastGood;
  std::vector<BYTE> m_black;
};

int FrameByteSize(int width, int height) {
  const long long bytes = static_cast<long long>(width) * height * 4;
  // Out of range only for a job that never got this far; the format step then refuses it.
  return bytes >= 0 && bytes <= INT_MAX ? static_cast<int>(bytes) : 0;
}

}  // namespace

PassOutcome CConverterDlg::WriteAviPass(ConversionJob& job, int nPass) {
  AVIFileInit();

  // A cancelled compressor choice must leave the disk as it was: the open below creates a
  // missing file (and empties nothing), so only a file it created is removed again.
  CFileStatus status;
  const bool existedBefore = CFile::GetStatus(m_strAviFile, status) != FALSE;

  PAVIFILE pFile = nullptr;
  if (AVIFileOpenA(&pFile, m_strAviFile, OF_WRITE | OF_CREATE, nullptr) != 0) {
    MessageBox("Failed to open AVI file for writing", kConverterCaption, MB_OK);
    AVIFileExit();
    return PassOutcome::kFailed;
  }

  if (nPass == 0) {
    BuildStreamHeaders(job);
    if (GetCompressionOptions(&job.streamInfo, &job.bitmapHeader, &job.options) != 1) {
      AVIFileRelease(pFile);
      if (!existedBefore) std::remove(m_strAviFile);
      AVIFileExit();
      return PassOutcome::kFailed;
    }
  }

  PAVISTREAM pStream = nullptr;
  PAVISTREAM pCompressed = nullptr;
  const auto releaseAll = [&]() {
    if (pStream) AVIStreamRelease(pStream);
    if (pCompressed) AVIStreamRelease(pCompressed);
    AVIFileRelease(pFile);
    AVIFileExit();
  };

  if (AVIFileCreateStreamA(pFile, &pStream, &job.streamInfo) != 0) {
    releaseAll();
    return PassOutcome::kFailed;
  }
  job.bitmapHeader.biWidth = job.width;
  job.bitmapHeader.biHeight = job.height;
  job.frameByteSize = FrameByteSize(job.width, job.height);
  job.bitmapHeader.biSizeImage = static_cast<DWORD>(job.frameByteSize);

  if (AVIMakeCompressedStream(&pCompressed, pStream, &job.options, nullptr) != 0) {
    releaseAll();
    return PassOutcome::kFailed;
  }
  if (AVIStreamSetFormat(pCompressed, 0, &job.bitmapHeader, sizeof(BITMAPINFOHEADER)) != 0) {
    // Most often a compressor that cannot take this frame size; the user must hear of it.
    MessageBox("Failed to set AVI stream format", kConverterCaption, MB_OK);
    releaseAll();
    return PassOutcome::kFailed;
  }

  FrameSource frames(job.frameByteSize);
  bool stopped = false;
  bool writeFailed = false;  // "AVI stream write error" has been shown
  const long long first = job.first.number;
  long long readAheadTo = first;  // the last frame number whose read has been started
  // Counted in 64 bits, so that a last frame number of INT_MAX ends the loop.
  for (long long n = first; n <= job.last.number; ++n) {
    if (GetAsyncKeyState(VK_ESCAPE)) {
      job.abort = true;
      stopped = true;
      break;
    }
    const int frameNumber = static_cast<int>(n);
    m_strStatus.Format(nPass == 0 ? "Saving Video Frame %d" : "Saving Matte Frame %d", frameNumber);
    UpdateData(FALSE);
    job.frameFile = FrameFileName(job.first, job.digitWidth, frameNumber);
    const bool loaded = LoadFrame(job.frameFile, nPass == 1);
    if (m_bLoadStopped) {
      // Escape ended the wait for a read that hung: nothing more is written.
      job.abort = true;
      stopped = true;
      break;
    }
    if (loaded && (m_nFrameWidth != job.width || m_nFrameHeight != job.height)) {
      CString text;
      text.Format("Frame size differs from the first frame: %s (%d x %d, expected %d x %d)",
                  job.frameFile.GetString(), m_nFrameWidth, m_nFrameHeight, job.width, job.height);
      MessageBox(text, kConverterCaption, MB_OK);
    }
    // The next frames are read while this one is compressed; a failure shows at its own turn.
    while (readAheadTo < job.last.number &&
           ReadAhead(FrameFileName(job.first, job.digitWidth, static_cast<int>(readAheadTo + 1)),
                     nPass == 1)) {
      ++readAheadTo;
    }
    const BYTE* frame = frames.Pick(*this, loaded, job.width, job.height);
    if (AVIStreamWrite(pCompressed, static_cast<LONG>(n - first), 1, const_cast<BYTE*>(frame),
                       job.frameByteSize, AVIIF_KEYFRAME, nullptr, nullptr) != 0) {
      MessageBox("AVI stream write error", kConverterCaption, MB_OK);
      job.abort = true;
      stopped = true;
      writeFailed = true;
      break;
    }
  }

  // After Escape or a failed write the frame read ahead is not wanted any more.
  AbandonReadAhead();
  // The frames written so far become a finished file, on every way out of the loop; a file
  // that cannot be finished is a write error as well, told once.
  if (AVIStreamFinish(pCompressed) != 0 && !writeFailed) {
    MessageBox("AVI stream write error", kConverterCaption, MB_OK);
    job.abort = true;
    stopped = true;
  }
  releaseAll();
  return stopped ? PassOutcome::kStopped : PassOutcome::kFinished;
}
