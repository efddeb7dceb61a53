#pragma once
// The user at a console, as the Convert command meets them: every message box becomes a
// "tga2avi: <text>" line, the status line becomes the progress line, the check of the written
// files (the window's sequence line) becomes a line of its own, the overwrite question is
// asked on a terminal (or answered by --overwrite, or refused), the compressor comes from the
// options, and Ctrl-C or SIGTERM is the Escape key. While it lives it is the keyboard the
// conversion polls and the chooser AVISaveOptions asks; attach it to the dialog as its
// backend. It also keeps what the job said, for the exit status and the JSON report.

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "cli/console.h"
#include "cli/options.h"
#include "cli/progress.h"
#include "platform/mfc/dialog.h"
#include "platform/user/key_state.h"
#include "platform/vfw/compressor_chooser.h"

/// A frame that a pass could not use at its turn, so that the frame before it (or black) was
/// written in its place.
struct RepeatedFrame {
  long long frame = 0;
  std::string why;          ///< what was said at its turn: "Error on opening shot0017.tga"
  std::vector<int> passes;  ///< the passes it was repeated in: 0 colour, 1 matte
};

class ConsoleUser final : public DialogBackend, public KeyStateBackend, public CompressorChooser {
 public:
  /// The frames the file of a pass holds, read back from it once the pass has closed it;
  /// negative when it cannot be read.
  using FramesOnDisk = std::function<long long(int pass)>;
  /// Seconds from any fixed origin.
  using Clock = std::function<double()>;

  /// ask: the overwrite question may be asked (standard input and error are a terminal).
  ConsoleUser(Console& console, const CommandLine& options, bool ask, FramesOnDisk framesOnDisk,
              Clock clock = {});
  ~ConsoleUser() override;
  ConsoleUser(const ConsoleUser&) = delete;
  ConsoleUser& operator=(const ConsoleUser&) = delete;

  /// Makes this user the one dlg talks to.
  void Attach(CDialog& dlg) { dlg.SetBackend(this); }

  /// Once the Convert command has returned: the pass still going on, if any, ends with the
  /// frames its file holds.
  void JobEnded();

  /// Every text the job showed, in order (the overwrite question included when it was asked or
  /// refused), and the chooser's refusal.
  const std::vector<std::string>& Messages() const { return m_messages; }
  const std::vector<RepeatedFrame>& Repeated() const { return m_repeated; }
  /// Whether pass 0 (colour) or 1 (matte) wrote at least its first frame's status.
  bool PassBegan(int pass) const { return m_passBegan[pass == 0 ? 0 : 1]; }
  /// Whether a poll of the Escape key was answered "pressed" (a stop signal had come).
  bool StopSeen() const { return m_stopSeen; }
  /// The frame size the compressor was chosen for, once it was asked (the first frame's).
  std::optional<CompressorRequest> Request() const { return m_request; }
  /// What the check of the written files found, in the window's words for its sequence line
  /// ("Checked: shot.avi and shot.matte.avi, 48 frames each, lossless frames identical"); empty
  /// when no check ran.
  const std::string& Check() const { return m_check; }

  int MessageBox(const CString& text, const CString& caption, UINT style) override;
  CString GetControlText(int id) override;
  void SetControlText(int id, const CString& text) override;
  void BeginWaitCursor() override {}
  void EndWaitCursor() override {}

  /// VK_ESCAPE is down once a stop signal has come.
  SHORT Poll(int vKey) override;

  /// The compressor and quality of the options; a compressor that cannot take the frame size
  /// is refused with its reason ("Microsoft Video 1 cannot take frames of 66 x 50: needs width
  /// and height divisible by 4"), which leaves the output as it was.
  int ChooseCompressor(const CompressorRequest& request, CompressorChoice* choice) override;

 private:
  void Say(const std::string& text);
  void EndPass(double now);
  void NoteRepeated(const std::string& text);

  Console& m_console;
  const CommandLine& m_options;
  bool m_ask;
  FramesOnDisk m_framesOnDisk;
  Clock m_clock;
  KeyStateBackend* m_previousKeys;
  CompressorChooser* m_previousChooser;

  std::vector<std::string> m_messages;
  std::vector<RepeatedFrame> m_repeated;
  std::optional<CompressorRequest> m_request;
  bool m_stopSeen = false;
  bool m_passBegan[2] = {false, false};
  bool m_passOpen = false;  // a pass has begun and its summary is not yet said
  ProgressMeter m_meter;
  double m_lastDrawn = -1.0;
  std::string m_status;
  std::string m_check;
};
