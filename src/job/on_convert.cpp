#include <sys/stat.h>

#include <exception>
#include <string>
#include <utility>
#include <vector>

#include "avi/conversion_job.h"
#include "dialog/converter_dlg.h"
#include "dialog/texts.h"
#include "frames/frame_buffer.h"
#include "frames/frame_rate.h"
#include "frames/frame_ring.h"
#include "job/check_files.h"
#include "job/conversion.h"
#include "job/output_lock.h"
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

// The output files' problem that writing them would destroy something: one that is (through a
// link or not) a frame of the run, or an existing entry that is no regular file. Empty when
// both may be written. Every frame name is looked up once, whatever the number of outputs.
std::string OutputProblem(const SequenceName& first, int digitWidth, int lastNumber,
                          const CString& aviFile) {
  struct Output {
    const char* what;
    std::string path;
    struct stat status;
  };
  std::vector<Output> existing;
  const Output outputs[] = {{"The AVI file", aviFile.str(), {}},
                            {"The matte AVI file", MatteFileName(aviFile).str(), {}}};
  for (const Output& output : outputs) {
    Output found = output;
    if (::stat(found.path.c_str(), &found.status) != 0) continue;  // nothing there yet
    if (!S_ISREG(found.status.st_mode)) {
      return std::string(found.what) + " is not a regular file: " + found.path;
    }
    existing.push_back(found);
  }
  if (existing.empty()) return {};
  for (long long n = first.number; n <= lastNumber; ++n) {
    const CString frame = FrameFileName(first, digitWidth, static_cast<int>(n));
    struct stat status {};
    if (::stat(frame, &status) != 0) continue;
    for (const Output& output : existing) {
      if (output.status.st_dev == status.st_dev && output.status.st_ino == status.st_ino) {
        return std::string(output.what) + " " + output.path +
               " is one of the frames: " + frame.str();
      }
    }
  }
  return {};
}

constexpr UINT kOpenForReading = CFile::modeRead | CFile::shareDenyWrite | CFile::modeNoTruncate;

}  // namespace

void CConverterDlg::OnConvert() {
  // Every way out of the job is told to its follower, with the words of its message.
  const auto end = [this](JobEnd how, const std::string& reason) {
    Observer().OnJobEnded({how, reason});
  };
  const auto refuse = [&](const char* message) {
    MessageBox(message, kConverterCaption, MB_OK);
    end(JobEnd::kRefused, message);
  };
  UpdateData(TRUE);

  // Both ends of the sequence must be readable before anything is asked or written.
  {
    CFile firstFile;
    CFile lastFile;
    if (!firstFile.Open(m_strFirstFile, kOpenForReading)) {
      refuse("Failed to open First TGA file");
      return;
    }
    if (!lastFile.Open(m_strLastFile, kOpenForReading)) {
      refuse("Failed to open Last TGA file");
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
    refuse(problem);
    return;
  }
  // Writing an output must destroy neither a frame of the run nor anything that is not a file.
  if (const std::string problem =
          OutputProblem(job.first, job.digitWidth, job.last.number, m_strAviFile);
      !problem.empty()) {
    refuse(problem.c_str());
    return;
  }
  // Both outputs stay this job's until it returns; another conversion writing either is told
  // before anything is asked.
  const CString matteFile = MatteFileName(m_strAviFile);
  const OutputLock colourLock(m_strAviFile.str());
  const OutputLock matteLock(matteFile.str());
  const std::pair<const OutputLock*, const CString*> locks[] = {{&colourLock, &m_strAviFile},
                                                                {&matteLock, &matteFile}};
  for (const auto& [lock, path] : locks) {
    if (lock->state() != OutputLock::State::kBusy) continue;
    std::string text = path->str() + " is being written by another conversion";
    if (lock->Holder() > 0) text += " (process " + std::to_string(lock->Holder()) + ")";
    refuse(text.c_str());
    return;
  }

  CFileStatus status;
  if (CFile::GetStatus(m_strAviFile, status) &&
      MessageBox("AVI file exists, overwrite?", kConverterCaption, MB_YESNO) == IDNO) {
    end(JobEnd::kRefused, "the AVI file exists and was not overwritten");
    return;
  }

  job.abort = false;
  // The AVI layer here is always 1.10; the check stands for the one the converter has always
  // made before writing.
  if ((VideoForWindowsVersion() >> 16) < 0x010AU) {
    MessageBox("Video for Windows must be v1.1 or greater", "Cannot save to AVI",
               MB_OK | MB_ICONEXCLAMATION | MB_TOPMOST);
    end(JobEnd::kRefused, "Video for Windows must be v1.1 or greater");
    return;
  }

  // The first frame decides the size and rate of both files. It is read as every frame of the
  // passes is, by the same reader. One that cannot be read, or whose buffer would not fit a
  // 32-bit byte count, leaves nothing to size the streams by, so the job ends before anything
  // is created.
  const CString firstFile = FrameFileName(job.first, job.digitWidth, job.first.number);
  const FrameRead firstFrame = [this, &firstFile] {
    FrameBuffer pixels;  // only the size is kept, not the pixels
    return m_frames.Read(firstFile.str(), false, pixels,
                         [] { return GetAsyncKeyState(VK_ESCAPE) != 0; });
  }();
  if (firstFrame.status == FrameRead::Status::kStopped) {
    end(JobEnd::kStopped, "");
    return;
  }
  const FrameSize size = firstFrame.size;
  const std::optional<FrameGeometry> geometry = firstFrame.status == FrameRead::Status::kOk
                                                    ? MakeFrameGeometry(size.width, size.height)
                                                    : std::nullopt;
  if (!geometry) {
    CString text;
    if (firstFrame.status == FrameRead::Status::kTooLarge) {
      text.Format("Frame too large to convert: %s (%d x %d)", firstFile.GetString(), size.width,
                  size.height);
    } else {
      text.Format("Error reading %s", firstFile.GetString());
    }
    MessageBox(text, kConverterCaption, MB_OK);
    end(JobEnd::kFailed,
        firstFrame.reason.empty() ? text.str() : text.str() + ": " + firstFrame.reason);
    return;
  }
  job.width = geometry->width;
  job.height = geometry->height;
  const JobRate rate =
      ChooseRate(m_settings.rate, m_settings.rate ? std::nullopt : HeaderFrameRate(firstFile.str()),
                 *geometry);
  job.rate = rate.rate;
  job.rateSource = rate.source;
  job.look = m_settings.look;
  job.frameByteSize = geometry->frameByteSize;

  WaitCursor waitCursor(*this);
  try {
    for (job.pass = 0; job.pass < 2; ++job.pass) {
      if (job.abort) break;
      if (job.pass == 1) m_strAviFile = MatteFileName(m_strAviFile);
      if (WriteAviPass(job, job.pass) == PassOutcome::kFailed) {
        const WrittenFile& failed = job.written[job.pass];
        // A compressor choice not made is the user's no; anything else a failure.
        end(failed.end == PassEnd::kCancelled ? JobEnd::kRefused : JobEnd::kFailed, failed.reason);
        return;
      }
    }
  } catch (const std::exception& error) {
    // Nothing below is expected to throw; if something does, say so rather than vanish.
    CString text;
    text.Format("Conversion stopped: %s", error.what());
    MessageBox(text, kConverterCaption, MB_OK);
    end(JobEnd::kFailed, text.str());
    return;
  }

  // Both files are read back before completion is told; a file that does not hold what was
  // written has a box of its own.
  const FilesChecked checked = CheckWrittenFiles(*this, job);
  Observer().OnFilesChecked(checked);

  m_strStatus.Empty();
  MessageBox("AVI File Created", kConverterCaption, MB_OK);
  UpdateData(FALSE);

  // A write error or a file that does not hold what was written is a failure; Escape a stop.
  std::string problem;
  bool stopped = false;
  for (const WrittenFile& written : job.written) {
    if (written.end == PassEnd::kWriteFailed && problem.empty()) {
      problem = "AVI stream write error: " + written.file.str() +
                (written.reason.empty() ? "" : ": " + written.reason);
    }
    stopped = stopped || written.end == PassEnd::kStopped;
  }
  for (const FileCheck& file : checked.files) {
    if (!file.ok && problem.empty()) problem = file.problem;
  }
  if (!problem.empty()) {
    end(JobEnd::kFailed, problem);
  } else {
    end(stopped ? JobEnd::kStopped : JobEnd::kCreated, "");
  }
}
