#include "cli/console_user.h"

#include <chrono>
#include <utility>

#include "cli/stop_signals.h"
#include "dialog/resource.h"
#include "job/check_files.h"
#include "sequence/sequence_name.h"

namespace {

// The progress line is drawn at most this often (seconds).
constexpr double kRedrawEvery = 0.1;

double SteadySeconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

int PassNumber(Pass pass) { return pass == Pass::kColour ? 0 : 1; }

}  // namespace

ConsoleUser::ConsoleUser(Console& console, const CommandLine& options, bool ask, Clock clock)
    : m_console(console),
      m_options(options),
      m_ask(ask),
      m_clock(clock ? std::move(clock) : Clock(SteadySeconds)),
      m_previousKeys(SetKeyStateBackend(this)),
      m_previousChooser(SetCompressorChooser(this)),
      m_meter(SplitSequencePath(CString(options.first)).number,
              SplitSequencePath(CString(options.last)).number),
      m_status(kStatusNotice) {}

ConsoleUser::~ConsoleUser() {
  SetCompressorChooser(m_previousChooser);
  SetKeyStateBackend(m_previousKeys);
}

void ConsoleUser::Say(const std::string& text) {
  m_messages.push_back(text);
  m_console.Say(text);
}

int ConsoleUser::MessageBox(const CString& text, const CString& /*caption*/, UINT style) {
  const UINT type = style & MB_TYPEMASK;
  if (type == MB_YESNO) {
    // The one question the job asks: whether to write over an existing AVI file.
    return MayWriteOver(m_options.output, text.str()) ? IDYES : IDNO;
  }
  if (type == MB_OKCANCEL) {
    Say(text.str());
    return IDCANCEL;  // the answer that changes nothing
  }
  m_messages.push_back(text.str());
  // The reason the job gave for the failure this message tells, said with it.
  const std::string reason = std::exchange(m_pendingReason, std::string());
  m_console.Say(reason.empty() ? text.str() : text.str() + ": " + reason);
  return IDOK;
}

bool ConsoleUser::MayWriteOver(const std::string& path, const std::string& question) {
  if (m_options.overwrite) return true;
  if (m_ask) {
    m_messages.push_back(question);
    return m_console.Ask(question, [] { return StopSignals::Requested(); });
  }
  Say("AVI file exists: " + path + " (not overwritten: --overwrite writes over it)");
  return false;
}

CString ConsoleUser::GetControlText(int id) {
  switch (id) {
    case IDC_FIRST_FILE:
      return CString(m_options.first);
    case IDC_LAST_FILE:
      return CString(m_options.last);
    case IDC_AVI_FILE:
      return CString(m_options.output);
    case IDC_STATUS:
      return CString(m_status);
    default:
      return CString();
  }
}

void ConsoleUser::SetControlText(int id, const CString& text) {
  if (id == IDC_STATUS) m_status = text.str();
}

SHORT ConsoleUser::Poll(int vKey) {
  if (vKey != VK_ESCAPE || !StopSignals::Requested()) return 0;
  m_stopSeen = true;
  return 1;
}

int ConsoleUser::ChooseCompressor(const CompressorRequest& request, CompressorChoice* choice) {
  m_request = request;
  const CompressorInfo& compressor = *m_options.compressor;
  const std::string refusal = CompressorRefusal(compressor, request.width, request.height);
  if (!refusal.empty()) {
    Say(std::string(compressor.name) + " cannot take frames of " + std::to_string(request.width) +
        " x " + std::to_string(request.height) + ": " + refusal);
    return 0;
  }
  *choice = CompressorChoice{compressor.fourcc, m_options.quality};
  return 1;
}

void ConsoleUser::OnPassBegan(const PassBegan& event) {
  m_passes[PassNumber(event.pass)].began = true;
  if (!m_began) m_began = event;
}

void ConsoleUser::OnFrameWriting(const FrameWriting& event) {
  const double now = m_clock();
  const bool begins = m_meter.Update({PassNumber(event.pass), event.frame}, now);
  if (begins || now - m_lastDrawn >= kRedrawEvery) {
    m_console.ShowProgress(m_meter.Line());
    m_lastDrawn = now;
  }
}

void ConsoleUser::OnFrameRepeated(const FrameRepeated& event) {
  const int pass = PassNumber(event.pass);
  for (RepeatedFrame& repeated : m_repeated) {
    if (repeated.first.frame == event.frame && repeated.first.cause == event.cause) {
      repeated.passes.push_back(pass);
      return;
    }
  }
  m_repeated.push_back({event, {pass}});
}

void ConsoleUser::OnPassEnded(const PassEnded& event) {
  const int pass = PassNumber(event.pass);
  m_passes[pass].ended = event;
  if (m_passes[pass].began && m_meter.Started() && m_meter.Pass() == pass) {
    std::string line = m_meter.Summary(event.framesInFile, m_clock());
    if (event.end == PassEnd::kWriteFailed && !event.reason.empty()) line += "; " + event.reason;
    m_console.Say(line);
  } else if (event.end == PassEnd::kNotStarted) {
    m_pendingReason = event.reason;
  }
}

void ConsoleUser::OnFilesChecked(const FilesChecked& event) {
  m_check = event;
  // A file that failed its check has said why in a message of its own.
  for (const FileCheck& file : event.files) {
    if (!file.ok) return;
  }
  const std::string line = CheckLine(event);
  if (!line.empty()) m_console.Say(line);
}

void ConsoleUser::OnJobEnded(const JobEnded& event) { m_ended = event; }
