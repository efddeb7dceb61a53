#pragma once
// The converter's dialog: the lasting state of the tool and the operations of one conversion.
// Each operation is defined in the folder of its level: LoadFrame in frames/,
// GetCompressionOptions and WriteAviPass in avi/, OnConvert in job/, and the window's own
// handlers in app/. This part of the class includes no toolkit.

#include <Magick++.h>

#include "frames/read_ahead.h"
#include "frames/resource.h"
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
  HICON m_hIcon;
  Magick::Image m_image;
  Magick::Blob m_blob;
  /// The converted pixels of the current frame, inside m_blob; null until a frame converted.
  BYTE* m_pFrameData;
  /// The columns and rows of the frame buffer m_pFrameData points at (0 while it is null), so
  /// that no caller reads past its end.
  int m_nFrameWidth = 0;
  int m_nFrameHeight = 0;
  /// The next frames, being read while the current one is compressed.
  FrameReadAhead m_readAhead;
  /// True after a LoadFrame that gave up waiting for its file because Escape was pressed:
  /// nothing was loaded, nothing was shown, and the pass must stop.
  bool m_bLoadStopped = false;

  /// Reads one frame file into the frame buffer: rows bottom-up, bytes blue, green, red, alpha
  /// (video) or alpha four times (matte). On failure shows its message and keeps the previous
  /// buffer. Escape pressed while the read hangs ends the wait: false, no message, and
  /// m_bLoadStopped set.
  bool LoadFrame(CString strFrameFile, bool bMatte);

  /// Starts reading, on a thread of its own, a frame that a later LoadFrame of the same name
  /// and flag will want; that LoadFrame then only waits for it, and reports its failure at
  /// that frame's turn. Frames must be asked for in the order they will be loaded. False, and
  /// nothing started, when enough frames are being read already.
  bool ReadAhead(CString strFrameFile, bool bMatte);
  /// Drops the frames read ahead and not taken (after Escape or at the end of a pass).
  void AbandonReadAhead();

  /// Lets the user choose the compressor through a probe file in the job's frame format.
  /// Returns 1 when a compressor was chosen.
  int GetCompressionOptions(AVISTREAMINFOA* pStreamInfo, BITMAPINFOHEADER* pBitmapHeader,
                            AVICOMPRESSOPTIONS* pOptions);

  /// Writes the job's frame range into m_strAviFile: pass 0 the colour frames (choosing the
  /// compressor first), pass 1 the mattes with the same compressor.
  PassOutcome WriteAviPass(ConversionJob& job, int nPass);

  /// The Convert button: checks, the overwrite question, both passes and completion.
  void OnConvert();

  // The window's handlers, defined with the window.
  BOOL OnInitDialog();
  void OnPaint();
  HCURSOR OnQueryDragIcon();
  void OnBrowseFirst();
  void OnBrowseLast();
  void OnBrowseAvi();

 protected:
  void DoDataExchange(CDataExchange* pDX) override;
};

/// The line the status shows before the first conversion.
constexpr const char* kStatusNotice = "Choose frames, then Convert";
