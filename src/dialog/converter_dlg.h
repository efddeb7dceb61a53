#pragma once
// The converter's dialog: the lasting state of the tool and the operations of one conversion.
// Declared here, above the frame reader it owns; the operations are defined in the folder of
// their level: TakeFrame here, GetCompressionOptions and WriteAviPass in avi/, OnConvert in
// job/, and the window's own handlers in app/. The dialog reaches its window only through its
// DialogBackend (platform/mfc/dialog_backend.h); it includes no toolkit.

#include "dialog/job_events.h"
#include "dialog/job_settings.h"
#include "dialog/resource.h"
#include "dialog/texts.h"
#include "frames/frame_buffer.h"
#include "frames/frame_ring.h"
#include "platform/mfc/cstring.h"
#include "platform/mfc/dialog.h"
#include "platform/user/icon.h"
#include "platform/vfw/vfw.h"

struct ConversionJob;

/// How one output pass ended.
enum class PassOutcome {
  kFinished,  ///< every frame of the range was written
  kStopped,   ///< Escape or a failed write ended it early; the abort flag is set
  kFailed,    ///< the file or its streams could not be set up; the job ends here
};

class CConverterDlg : public CDialog {
 public:
  enum { IDD = IDD_CONVERTER_DIALOG };

  explicit CConverterDlg(CWnd* pParent = nullptr);
  ~CConverterDlg() override;

  CString m_strFirstFile;
  CString m_strLastFile;
  CString m_strAviFile;
  CString m_strStatus;
  /// The rate and colour settings of the next Convert, set by the window or the command line.
  JobSettings m_settings;
  HICON m_hIcon;
  /// Every frame file the tool reads goes through here, on a reader thread, so that a read
  /// that hangs cannot hold the window: Escape still ends the wait.
  FrameRing m_frames;
  /// Frame n of the run m_frames is reading, into frame as FrameRing::Take puts it there. A
  /// frame that could not be read is told with its message at this its turn; Escape pressed
  /// while the read hangs ends the wait (kStopped, no message).
  FrameRead TakeFrame(long long n, FrameBuffer& frame,
                      std::optional<FrameSize> onlyOfSize = std::nullopt);

  /// Lets the user choose the compressor through a probe file in the job's frame format.
  /// Returns 1 when a compressor was chosen.
  int GetCompressionOptions(AVISTREAMINFOA* pStreamInfo, BITMAPINFOHEADER* pBitmapHeader,
                            AVICOMPRESSOPTIONS* pOptions);

  /// Writes the job's frame range into m_strAviFile: pass 0 the colour frames (choosing the
  /// compressor first), pass 1 the mattes with the same compressor.
  PassOutcome WriteAviPass(ConversionJob& job, int nPass);

  /// The Convert button: checks, the overwrite question, both passes and completion.
  void OnConvert();

  /// Tells observer what the next jobs do (not owned; null: nobody follows them).
  void SetObserver(JobObserver* observer) { m_pObserver = observer; }
  /// The job's follower: the one set, or one that listens to nothing.
  JobObserver& Observer();

  // The window's handlers, defined with the window.
  BOOL OnInitDialog();
  void OnBrowseFirst();
  void OnBrowseLast();
  void OnBrowseAvi();
  /// A file dropped on the window: a .avi file names the output, any other file the first
  /// frame, as their browse buttons would; the other fields keep what was typed in them.
  void OnDropFile(const CString& path);
  /// Gives an empty last-file field lastFile and an empty AVI field aviFile (an empty
  /// suggestion gives nothing); a field with text in it, typed or not, keeps it.
  void FillEmptyFields(const CString& lastFile, const CString& aviFile);

 protected:
  void DoDataExchange(CDataExchange* pDX) override;

 private:
  JobObserver* m_pObserver = nullptr;
};
