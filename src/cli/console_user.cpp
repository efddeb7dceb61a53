#include "cli/console_user.h"

#include <chrono>
#include <utility>

#include "cli/stop_signals.h"
#include "dialog/resource.h"
#include "dialog/texts.h"
#include "sequence/sequence_name.h"

namespace {

// The progress line is drawn at most this often (seconds).
constexpr double kRedrawEvery = 0.1;

// How the check's sequence line begins when a file did not hold what was written.
constexpr const char* kCheckFailedLead = "Check failed";

double SteadySeconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// The text of a message format before its first argument: "Error on opening ".
std::string Lead(const char* format) {
  const std::string text = format;
  return text.substr(0, text.find('%'));
}

bool StartsWith(const std::string& text, const std::string& lead) {
  return text.compare(0, lead.size(), lead) == 0;
}

}  // namespace

ConsoleUser::ConsoleUser(Console& console, const CommandLine& options, bool ask,
                         FramesOnDisk framesOnDisk, Clock clock)
    : m_console(console),
      m_options(options),
      m_ask(ask),
      m_framesOnDisk(std::move(framesOnDisk)),
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

void ConsoleUser::EndPass(double now) {
  if (!m_passOpen) return;
  m_passOpen = false;
  const long long frames = m_framesOnDisk ? m_framesOnDisk(m_meter.Pass()) : -1;
  m_console.Say(m_meter.Summary(frames < 0 ? 0 : frames, now));
}

void ConsoleUser::JobEnded() { EndPass(m_clock()); }

void ConsoleUser::NoteRepeated(const std::string& text) {
  if (!m_passOpen) return;
  const bool frameMessage = StartsWith(text, Lead(kFrameOpenError)) ||
                            StartsWith(text, Lead(kFrameReadError)) ||
                            StartsWith(text, Lead(kFrameSizeDiffers));
  if (!frameMessage) return;
  const int pass = m_meter.Pass();
  for (RepeatedFrame& repeated : m_repeated) {
    if (repeated.frame == m_meter.Frame() && repeated.why == text) {
      repeated.passes.push_back(pass);
      return;
    }
  }
  m_repeated.push_back({m_meter.Frame(), text, {pass}});
}

int ConsoleUser::MessageBox(const CString& text, const CString& /*caption*/, UINT style) {
  const UINT type = style & MB_TYPEMASK;
  if (type == MB_YESNO || type == MB_OKCANCEL) {
    const bool overwrite = text == kOverwriteQuestion;
    if (overwrite && m_options.overwrite) return IDYES;
    if (overwrite && m_ask) {
      m_messages.push_back(text.str());
      return m_console.Ask(text.str(), [] { return StopSignals::Requested(); }) ? IDYES : IDNO;
    }
    Say(overwrite ? "AVI file exists: " + m_options.output +
                        " (not overwritten: --overwrite writes over it)"
                  : text.str());
    // The answer that changes nothing.
    return type == MB_OKCANCEL ? IDCANCEL : IDNO;
  }
  // Both passes have ended and closed their files when the job says so.
  if (text == kFileCreated) EndPass(m_clock());
  NoteRepeated(text.str());
  Say(text.str());
  return IDOK;
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
  if (id == IDC_SEQUENCE) {
    // The job sets it once, after both passes, with what the check of the files found; a
    // failed check has said why in a message of its own.
    EndPass(m_clock());
    m_check = text.str();
    if (!m_check.empty() && !StartsWith(m_check, kCheckFailedLead)) m_console.Say(m_check);
    return;
  }
  if (id != IDC_STATUS || text.str() == m_status) return;
  m_status = text.str();
  const std::optional<PassStatus> status = ReadPassStatus(m_status);
  if (!status) return;
  const double now = m_clock();
  if (m_passOpen && status->pass != m_meter.Pass()) EndPass(now);
  m_passBegan[status->pass == 0 ? 0 : 1] = true;
  const bool begins = m_meter.Update(*status, now);
  m_passOpen = true;
  if (begins || now - m_lastDrawn >= kRedrawEvery) {
    m_console.ShowProgress(m_meter.Line());
    m_lastDrawn = now;
  }
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
