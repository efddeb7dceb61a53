// One output pass: the frame range into one AVI file through the chosen compressor.

#include <climits>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "avi/conversion_job.h"
#include "avi/stream_headers.h"
#include "dialog/converter_dlg.h"
#include "dialog/texts.h"
#include "frames/frame_buffer.h"
#include "frames/frame_ring.h"
#include "media/avi_reader.h"
#include "media/compressor_catalogue.h"
#include "platform/mfc/cfile.h"
#include "platform/user/key_state.h"
#include "platform/vfw/vfw.h"
#include "sequence/sequence_name.h"

namespace {

// What a frame that could not be used at its turn was replaced for, or nothing for a frame
// that was used as it was.
std::optional<RepeatCause> CauseOf(const FrameRead& read, int width, int height) {
  switch (read.status) {
    case FrameRead::Status::kOk:
      if (read.size.width == width && read.size.height == height) return std::nullopt;
      return RepeatCause::kOtherSize;
    case FrameRead::Status::kMissing:
      return RepeatCause::kMissing;
    default:
      return RepeatCause::kUnreadable;
  }
}

// The frames a finished file holds: as its writer counted them (a compressor that works on
// several frames at once may have handed fewer to the file than it was given when a write
// failed), unless finishing it failed (a frame the compressor held found no room), when the
// file itself is asked.
long long FramesInFile(const WrittenFile& written, PAVISTREAM stream, bool finishFailed) {
  if (!finishFailed) return AVIStreamLength(stream);
  AviReader reader;
  return reader.Open(written.file.str()) ? reader.Facts().frames : 0;
}

}  // namespace

PassOutcome CConverterDlg::WriteAviPass(ConversionJob& job, int nPass) {
  const Pass pass = nPass == 0 ? Pass::kColour : Pass::kMatte;
  WrittenFile& written = job.written[nPass];
  written = WrittenFile();
  // A pass that ends before its first frame: told to the job's follower first, so that a face
  // that shows reasons has it when the pass's message comes.
  const auto notStarted = [&](std::string reason, PassEnd end = PassEnd::kNotStarted) {
    written.end = end;
    written.reason = reason;
    Observer().OnPassEnded({pass, m_strAviFile.str(), end, 0, std::move(reason)});
  };
  AVIFileInit();

  // A cancelled compressor choice must leave the disk as it was: the open below creates a
  // missing file (and empties nothing), so only a file it created is removed again.
  CFileStatus status;
  const bool existedBefore = CFile::GetStatus(m_strAviFile, status) != FALSE;

  PAVIFILE pFile = nullptr;
  if (AVIFileOpenA(&pFile, m_strAviFile, OF_WRITE | OF_CREATE, nullptr) != 0) {
    notStarted(AviLastFailure());
    MessageBox("Failed to open AVI file for writing", kConverterCaption, MB_OK);
    AVIFileExit();
    return PassOutcome::kFailed;
  }

  if (nPass == 0) {
    BuildStreamHeaders(job);
    if (GetCompressionOptions(&job.streamInfo, &job.bitmapHeader, &job.options) != 1) {
      notStarted("no compressor was chosen", PassEnd::kCancelled);
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
    notStarted(AviLastFailure());
    releaseAll();
    return PassOutcome::kFailed;
  }
  job.bitmapHeader.biWidth = job.width;
  job.bitmapHeader.biHeight = job.height;
  // 0 only for a size no job gets this far with; the format step then refuses it.
  const std::int64_t frameBytes =
      job.width > 0 && job.height > 0 ? FrameByteCount(job.width, job.height) : -1;
  job.frameByteSize = frameBytes < 0 ? 0 : static_cast<int>(frameBytes);
  job.bitmapHeader.biSizeImage = static_cast<DWORD>(job.frameByteSize);

  if (AVIMakeCompressedStream(&pCompressed, pStream, &job.options, nullptr) != 0) {
    notStarted(AviLastFailure());
    releaseAll();
    return PassOutcome::kFailed;
  }
  if (nPass == 1) AVIStreamSetMatte(pCompressed);
  if (AVIStreamSetFormat(pCompressed, 0, &job.bitmapHeader, sizeof(BITMAPINFOHEADER)) != 0) {
    // Most often a compressor that cannot take this frame size; the user must hear of it.
    notStarted(AviLastFailure());
    MessageBox("Failed to set AVI stream format", kConverterCaption, MB_OK);
    releaseAll();
    return PassOutcome::kFailed;
  }

  const long long first = job.first.number;
  const long long count = job.last.number - first + 1;
  Observer().OnPassBegan({pass, m_strAviFile.str(), first, job.last.number,
                          FrameSize{job.width, job.height}, job.streamInfo.dwRate,
                          job.streamInfo.dwScale, job.options.fccHandler, job.options.dwQuality,
                          job.rateSource, job.digitWidth});

  // The frames are read on the ring's thread, a few ahead of the one being compressed, each
  // named once there; a failure is told here, at its own turn.
  const SequenceName sequence = job.first;
  const int digits = job.digitWidth;
  m_frames.Start(
      [sequence, digits](long long n) {
        return FrameFileName(sequence, digits, static_cast<int>(n)).str();
      },
      first, job.last.number, nPass == 1, FrameSize{job.width, job.height}, job.look);

  // The compressor is only ever handed a whole frame of the stream's size: the frame just read
  // when it has that size, else the last one that had, else a black, transparent frame. The
  // stream keeps one sample per frame number.
  const FrameSize streamSize{job.width, job.height};
  FrameBuffer lastGood;
  std::vector<BYTE> black;
  bool stopped = false;
  bool writeFailed = false;  // "AVI stream write error" has been shown
  // The check after both passes reads the file back: it needs the count, and for a lossless
  // compressor the first and last frames as written (two frames, however long the run).
  written.file = m_strAviFile;
  const CompressorInfo* compressor = FindCompressor(job.options.fccHandler);
  const bool keepFrames = compressor && compressor->lossless;
  const BYTE* lastWritten = nullptr;
  // Counted in 64 bits, so that a last frame number of INT_MAX ends the loop.
  for (long long n = first; n <= job.last.number; ++n) {
    if (GetAsyncKeyState(VK_ESCAPE)) {
      job.abort = true;
      stopped = true;
      break;
    }
    m_strStatus.Format(nPass == 0 ? "Saving Video Frame %d" : "Saving Matte Frame %d",
                       static_cast<int>(n));
    UpdateData(FALSE);
    Observer().OnFrameWriting({pass, n, n - first + 1, count});
    const FrameRead read = TakeFrame(n, lastGood, streamSize);
    if (read.status == FrameRead::Status::kStopped) {
      // Escape ended the wait for a read that hung: nothing more is written.
      job.abort = true;
      stopped = true;
      break;
    }
    if (const std::optional<RepeatCause> cause = CauseOf(read, job.width, job.height)) {
      Observer().OnFrameRepeated(
          {pass, n, read.path, *cause, read.reason, read.size, FrameSize{job.width, job.height}});
    }
    if (read.status == FrameRead::Status::kOk &&
        (read.size.width != job.width || read.size.height != job.height)) {
      CString text;
      text.Format("Frame size differs from the first frame: %s (%d x %d, expected %d x %d)",
                  read.path.c_str(), read.size.width, read.size.height, job.width, job.height);
      MessageBox(text, kConverterCaption, MB_OK);
    }
    const BYTE* frame = lastGood.data();
    if (!frame) {
      if (black.empty()) black.assign(static_cast<std::size_t>(job.frameByteSize) + 1, 0);
      frame = black.data();
    }
    if (AVIStreamWrite(pCompressed, static_cast<LONG>(n - first), 1, const_cast<BYTE*>(frame),
                       job.frameByteSize, AVIIF_KEYFRAME, nullptr, nullptr) != 0) {
      written.reason = AviLastFailure();
      MessageBox("AVI stream write error", kConverterCaption, MB_OK);
      job.abort = true;
      stopped = true;
      writeFailed = true;
      break;
    }
    if (keepFrames && written.frames == 0) {
      written.firstFrame.assign(frame, frame + job.frameByteSize);
    }
    lastWritten = frame;
    ++written.frames;
  }
  // The buffer last written still holds that frame unless a later read or write failed.
  if (keepFrames && !stopped && lastWritten) {
    written.lastFrame.assign(lastWritten, lastWritten + job.frameByteSize);
  }

  // After Escape or a failed write the frames read ahead are not wanted any more.
  m_frames.Stop();
  // The frames written so far become a finished file, on every way out of the loop; a file
  // that cannot be finished is a write error as well, told once.
  const bool finishFailed = AVIStreamFinish(pCompressed) != 0;
  if (finishFailed && !writeFailed) {
    written.reason = AviLastFailure();
    MessageBox("AVI stream write error", kConverterCaption, MB_OK);
    job.abort = true;
    stopped = true;
    written.told = true;
  }
  const long long framesInFile = FramesInFile(written, pCompressed, finishFailed);
  written.told = written.told || writeFailed;
  written.finished = !stopped;
  written.end = writeFailed || finishFailed ? PassEnd::kWriteFailed
                : stopped                   ? PassEnd::kStopped
                                            : PassEnd::kFinished;
  releaseAll();
  Observer().OnPassEnded({pass, written.file.str(), written.end, framesInFile, written.reason});
  return stopped ? PassOutcome::kStopped : PassOutcome::kFinished;
}
