#include "cli/console.h"

#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>

namespace {

// Back to the line's start and the line cleared (ANSI "erase in line").
constexpr const char* kRewind = "\r\033[K";

// The text with each control character (a path may hold a newline or an escape sequence) spelt
// out as C would write it, so that one message stays one line and nothing in a file name drives
// the terminal: "\n", "\t", "\x1b".
std::string Shown(const std::string& text) {
  std::string shown;
  shown.reserve(text.size());
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte != 0x7F) {
      shown.push_back(c);
    } else if (c == '\n') {
      shown += "\\n";
    } else if (c == '\t') {
      shown += "\\t";
    } else if (c == '\r') {
      shown += "\\r";
    } else {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
      shown += escaped;
    }
  }
  return shown;
}

}  // namespace

void Console::SetLabel(const std::string& label) { m_lead = "tga2avi: " + Shown(label) + ": "; }

void Console::Say(const std::string& text) {
  ClearProgress();
  std::fprintf(m_stream, "%s%s\n", m_lead.c_str(), Shown(text).c_str());
  std::fflush(m_stream);
}

void Console::ShowProgress(const std::string& text) {
  if (!m_terminal) return;
  std::string line = m_lead + Shown(text);
  // A line longer than the terminal would wrap, and the carriage return would only go back to
  // the start of its last row.
  winsize size{};
  if (::ioctl(::fileno(m_stream), TIOCGWINSZ, &size) == 0 && size.ws_col > 1 &&
      line.size() >= size.ws_col) {
    line.resize(size.ws_col - 1U);
  }
  std::fprintf(m_stream, "%s%s", kRewind, line.c_str());
  std::fflush(m_stream);
  m_progressShown = true;
}

void Console::ClearProgress() {
  if (!m_progressShown) return;
  std::fputs(kRewind, m_stream);
  std::fflush(m_stream);
  m_progressShown = false;
}

bool Console::Ask(const std::string& question, const std::function<bool()>& stopRequested) {
  ClearProgress();
  std::fprintf(m_stream, "%s%s [y/N] ", m_lead.c_str(), Shown(question).c_str());
  std::fflush(m_stream);
  std::string answer;
  for (;;) {
    if (stopRequested && stopRequested()) {
      std::fputc('\n', m_stream);
      return false;
    }
    pollfd input{STDIN_FILENO, POLLIN, 0};
    const int ready = ::poll(&input, 1, 100);
    if (ready <= 0) continue;  // nothing typed yet, or a signal came
    char c = 0;
    const ssize_t got = ::read(STDIN_FILENO, &c, 1);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      // The end of input answers no.
      std::fputc('\n', m_stream);
      return false;
    }
    if (c == '\n') break;
    answer.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
  }
  answer.erase(std::remove_if(answer.begin(), answer.end(),
                              [](unsigned char c) { return std::isspace(c) != 0; }),
               answer.end());
  return answer == "y" || answer == "yes";
}
