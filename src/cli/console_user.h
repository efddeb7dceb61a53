#pragma once
// The user at a console, as the Convert command meets them: every message box becomes a
// "tga2avi: <text>" line (with the reason where the job gave one), the job's frames become the
// progress line and its passes a summary line each, the check of the written files becomes a
// line of its own, the overwrite question is asked on a terminal (or answered by --overwrite,
// or refused), the compressor comes from the options, and Ctrl-C or SIGTERM is the Escape key.
// While it lives it is the keyboard the conversion polls and the chooser AVISaveOptions asks;
// attach it to the dialog as its backend and follower. It also keeps what the job told, for
// the exit status and the JSON report.

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "cli/console.h"
#include "cli/options.h"
#include "cli/progress.h"
#include "dialog/converter_dlg.h"
#include "dialog/job_events.h"
#include "platform/mfc/dialog.h"
#include "platform/user/key_state.h"
#include "platform/vfw/compressor_chooser.h"

/// A frame that a pass could not use at its turn, so that the frame before it (or black) was
/// written in its place.
struct RepeatedFrame {
  FrameRepeated first;      ///< as the first pass that repeated it told it
  std::vector<int> passes;  ///< the passes it was repeated in: 0 colour, 1 matte
};

/// How far one pass got.
struct PassRecord {
  bool began = false;              ///< its file was set up and its frames began
  std::optional<PassEnded> ended;  ///< how it ended, once it did
};

class ConsoleUser final : public DialogBackend,
                          public KeyStateBackend,
                          public CompressorChooser,
                          public JobObserver {
 public:
  /// Seconds from any fixed origin.
  using Clock = std::function<double()>;

  /// ask: the overwrite question may be asked (standard input and error are a terminal).
  ConsoleUser(Console& console, const CommandLine& options, bool ask, Clock clock = {});
  ~ConsoleUser() override;
  ConsoleUser(const ConsoleUser&) = delete;
  ConsoleUser& operator=(const ConsoleUser&) = delete;

  /// Makes this user the one dlg talks to and the follower of its jobs.
  void Attach(CConverterDlg& dlg) {
    dlg.SetBackend(this);
    dlg.SetObserver(this);
  }

  /// Every text the job showed, in order (the overwrite question included when it was asked or
  /// refused), and the chooser's refusal.
  const std::vector<std::string>& Messages() const { return m_messages; }
  const std::vector<RepeatedFrame>& Repeated() const { return m_repeated; }
  /// Pass 0 (colour) or 1 (matte) as the job told it.
  const PassRecord& PassOf(int pass) const { return m_passes[pass == 0 ? 0 : 1]; }
  /// The first pass that began, as it began: the frames' size, rate and compressor.
  const std::optional<PassBegan>& Began() const { return m_began; }
  /// Whether a poll of the Escape key was answered "pressed" (a stop signal had come).
  bool StopSeen() const { return m_stopSeen; }
  /// The frame size the compressor was chosen for, once it was asked (the first frame's).
  std::optional<CompressorRequest> Request() const { return m_request; }
  /// What the check of the written files found; nothing when no check ran.
  const std::optional<FilesChecked>& Check() const { return m_check; }
  /// How the job ended; nothing when it did not tell (it threw).
  const std::optional<JobEnded>& Ended() const { return m_ended; }

  /// Whether the existing file at path may be written over: yes with --overwrite; on a
  /// terminal the question is asked; otherwise no, said as "AVI file exists: <path> (not
  /// overwritten: --overwrite writes over it)".
  bool MayWriteOver(const std::string& path, const std::string& question);

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

  void OnPassBegan(const PassBegan& event) override;
  void OnFrameWriting(const FrameWriting& event) override;
  void OnFrameRepeated(const FrameRepeated& event) override;
  void OnPassEnded(const PassEnded& event) override;
  void OnFilesChecked(const FilesChecked& event) override;
  void OnJobEnded(const JobEnded& event) override;

 private:
  void Say(const std::string& text);

  Console& m_console;
  const CommandLine& m_options;
  bool m_ask;
  Clock m_clock;
  KeyStateBackend* m_previousKeys;
  CompressorChooser* m_previousChooser;

  std::vector<std::string> m_messages;
  std::vector<RepeatedFrame> m_repeated;
  std::optional<CompressorRequest> m_request;
  bool m_stopSeen = false;
  PassRecord m_passes[2];
  std::optional<PassBegan> m_began;
  std::optional<FilesChecked> m_check;
  std::optional<JobEnded> m_ended;
  // The reason of a failure the job told just before its message, said with the message.
  std::string m_pendingReason;
  ProgressMeter m_meter;
  double m_lastDrawn = -1.0;
  std::string m_status;
};
